// EntryExists and DeleteOldFile: what a lookup finds, and what an old-output deletion removes.
#include "core/file_entry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "support/temp_dir_test.h"

namespace terravox {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDirTest;
using testing::WriteFile;

class FileEntryTest : public TempDirTest {};

TEST_F(FileEntryTest, DeletesOnlyWhatALookupFindsAsAPlainFile) {
  struct Row {
    const char* name;
    std::string path;
    std::function<void(const std::string&)> make;
    bool exists;        // EntryExists before the deletion
    bool deleted;       // the entry is gone afterwards
    bool lookup_fails;  // only a failing lookup tells the two policies apart
  };
  const auto file = [](const std::string& p) { WriteFile(p, "old"); };
  const Row rows[] = {
      {"regular file", PathIn("a.asc"), file, true, true, false},
      {"hidden file", PathIn(".asc"), file, true, false, false},
      {"folder", PathIn("d.asc"), [](const std::string& p) { fs::create_directory(p); }, true,
       false, false},
      {"link to a file", PathIn("l.asc"),
       [&](const std::string& p) {
         WriteFile(PathIn("target"), "theirs");
         fs::create_symlink("target", p);
       },
       true, true, false},
      {"dangling link", PathIn("n.asc"),
       [](const std::string& p) { fs::create_symlink("nowhere", p); }, true, false, false},
      {"nothing", PathIn("none.asc"), [](const std::string&) {}, false, false, false},
      {"link loop", PathIn("loop.asc"),
       [](const std::string& p) { fs::create_symlink("loop.asc", p); }, true, false, true},
  };
  for (const Row& row : rows) {
    for (LookupFailure policy : {LookupFailure::kFails, LookupFailure::kFindsNothing}) {
      SCOPED_TRACE(std::string(row.name) +
                   (policy == LookupFailure::kFails ? " (lookup fails)" : " (finds nothing)"));
      row.make(row.path);
      EXPECT_EQ(EntryExists(row.path), row.exists);

      Status s = DeleteOldFile(row.path, policy);

      EXPECT_EQ(s.ok(), !(row.lookup_fails && policy == LookupFailure::kFails)) << s.description();
      EXPECT_EQ(EntryExists(row.path), row.exists && !row.deleted);
      std::error_code ec;
      fs::remove_all(row.path, ec);
    }
  }
  EXPECT_EQ(ReadFile(PathIn("target")), "theirs");  // a link goes, never what it points to
}

}  // namespace
}  // namespace terravox

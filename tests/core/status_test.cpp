// RunUnderHandler: whatever escapes a step comes back as a Status with a readable description.
#include "core/status.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>

namespace terravox {
namespace {

TEST(RunUnderHandlerTest, StatusOfTheStepPassesThrough) {
  EXPECT_TRUE(RunUnderHandler([] { return Status::Ok(); }).ok());

  Status failed =
      RunUnderHandler([] { return Status(Error(ErrorKind::kEngine, "no such raster")); });
  ASSERT_FALSE(failed.ok());
  EXPECT_EQ(failed.error().kind(), ErrorKind::kEngine);
  EXPECT_EQ(failed.description(), "no such raster");
}

TEST(RunUnderHandlerTest, EscapedExceptionsBecomeErrors) {
  namespace fs = std::filesystem;
  struct Row {
    const char* name;
    std::function<Status()> step;
    ErrorKind kind;
    std::string description;
  };
  const Row rows[] = {
      {"step error", []() -> Status { throw StepError(ErrorKind::kOverflow); },
       ErrorKind::kOverflow, "Overflow"},
      {"filesystem error: the short standard text, as in a step's message",
       []() -> Status {
         throw fs::filesystem_error("remove", fs::path("/data/ascii/a.asc"),
                                    std::make_error_code(std::errc::permission_denied));
       },
       ErrorKind::kPermissionDenied, "Permission denied"},
      {"filesystem error without a path",
       []() -> Status {
         throw fs::filesystem_error("list", std::error_code(ENOENT, std::system_category()));
       },
       ErrorKind::kFileNotFound, "File not found"},
      {"allocation failure", []() -> Status { throw std::bad_alloc(); }, ErrorKind::kOutOfMemory,
       "Out of memory"},
      {"any standard exception", []() -> Status { throw std::runtime_error("lost the disk"); },
       ErrorKind::kOther, "lost the disk"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Status status = RunUnderHandler(row.step);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.error().kind(), row.kind);
    EXPECT_EQ(status.description(), row.description);
  }
}

}  // namespace
}  // namespace terravox

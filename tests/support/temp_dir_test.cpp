// TempDirTest and small file helpers for tests.
#include "support/temp_dir_test.h"

#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>

namespace terravox::testing {

void TempDirTest::SetUp() {
  static std::atomic<int> counter{0};
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  dir_ = std::filesystem::path(::testing::TempDir()) /
         ("terravox-" + name + "-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(dir_);
  std::filesystem::create_directories(dir_);
}

void TempDirTest::TearDown() {
  std::error_code ec;
  // Restore write permission first: some tests make folders read-only.
  for (auto it = std::filesystem::recursive_directory_iterator(dir_, ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(dir_, ec);
}

std::string TempDirTest::PathIn(const std::string& name) const { return (dir_ / name).string(); }

std::string TempDirTest::MakeDir(const std::string& name) const {
  std::filesystem::create_directories(dir_ / name);
  return PathIn(name);
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  ASSERT_TRUE(out.good()) << "cannot write " << path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

}  // namespace terravox::testing

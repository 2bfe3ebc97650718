// TempDirTest: a fixture giving each test a fresh, uniquely named folder, removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace terravox::testing {

class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The test's own folder.
  const std::filesystem::path& dir() const { return dir_; }
  // dir()/name as a string.
  std::string PathIn(const std::string& name) const;
  // Creates dir()/name (and its parents) and returns its path.
  std::string MakeDir(const std::string& name) const;

 private:
  std::filesystem::path dir_;
};

// Writes bytes to a file, replacing it. Fails the test when it cannot.
void WriteFile(const std::string& path, const std::string& bytes);
// The whole file as bytes; empty when it cannot be read.
std::string ReadFile(const std::string& path);

}  // namespace terravox::testing

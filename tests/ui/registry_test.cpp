// GetKeyValue over an in-memory registry: text and DWORD values, missing keys and values, the
// buffer limit, the empty value, and that every opened key is closed again.
#include "ui/registry.h"
#include "support/in_memory_registry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/status.h"

namespace terravox {
namespace {

constexpr const char* kKey = "SOFTWARE\\Tools\\Info";

InMemoryRegistry::Value Bytes(std::uint32_t type, std::vector<unsigned char> bytes) {
  return {type, std::move(bytes)};
}

std::vector<unsigned char> TextBytes(const std::string& text) {
  return std::vector<unsigned char>(text.begin(), text.end());
}

TEST(GetKeyValueTest, ReadsValuesByType) {
  struct Row {
    const char* name;
    InMemoryRegistry::Value value;
    std::string expected;
  };
  std::vector<unsigned char> with_nul = TextBytes("C:\\Tools\\info.exe");
  with_nul.push_back(0);
  const Row rows[] = {
      {"text with its final NUL", Bytes(kRegSz, with_nul), "C:\\Tools\\info.exe"},
      {"text without a final NUL", Bytes(kRegSz, TextBytes("C:\\Tools")), "C:\\Tools"},
      {"one NUL only", Bytes(kRegSz, {0}), ""},
      {"DWORD with zero high bytes", Bytes(kRegDword, {0x02, 0x01, 0x00, 0x00}), "&h102"},
      {"DWORD using all bytes", Bytes(kRegDword, {0x78, 0x56, 0x34, 0x12}), "&h12345678"},
      {"DWORD zero", Bytes(kRegDword, {0, 0, 0, 0}), "&h0"},
      {"expandable text leaves the value", Bytes(kRegExpandSz, with_nul), "before"},
      {"binary leaves the value", Bytes(kRegBinary, {1, 2, 3}), "before"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    InMemoryRegistry registry;
    registry.SetValue(kHkeyLocalMachine, kKey, "PATH", row.value);
    std::string value = "before";
    EXPECT_TRUE(GetKeyValue(registry, kHkeyLocalMachine, kKey, "PATH", value));
    EXPECT_EQ(value, row.expected);
    EXPECT_EQ(registry.open_key_count(), 0);
  }
}

TEST(GetKeyValueTest, FailsAndEmptiesTheValueWhenNothingCanBeRead) {
  struct Row {
    const char* name;
    bool add_key;
    std::string value_name;
    RegKey root;
  };
  const Row rows[] = {
      {"missing key", false, "PATH", kHkeyLocalMachine},
      {"missing value", true, "OTHER", kHkeyLocalMachine},
      {"key under another root", true, "PATH", 0x80000001},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    InMemoryRegistry registry;
    if (row.add_key) registry.SetString(kHkeyLocalMachine, kKey, "PATH", "x");
    std::string value = "before";
    EXPECT_FALSE(GetKeyValue(registry, row.root, kKey, row.value_name, value));
    EXPECT_EQ(value, "");
    EXPECT_EQ(registry.open_key_count(), 0);
  }
}

TEST(GetKeyValueTest, ReadsValuesUpTo1024Bytes) {
  struct Row {
    const char* name;
    size_t bytes;  // the NUL included
    bool read;
  };
  const Row rows[] = {{"exactly the buffer", 1024, true}, {"one byte more", 1025, false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    InMemoryRegistry registry;
    const std::string text(row.bytes - 1, 'a');
    registry.SetString(kHkeyLocalMachine, kKey, "PATH", text);
    std::string value = "before";
    EXPECT_EQ(GetKeyValue(registry, kHkeyLocalMachine, kKey, "PATH", value), row.read);
    EXPECT_EQ(value, row.read ? text : "");
    EXPECT_EQ(registry.open_key_count(), 0);
  }
}

TEST(GetKeyValueTest, EmptyValueIsAnErrorAndStillClosesTheKey) {
  InMemoryRegistry registry;
  registry.SetValue(kHkeyLocalMachine, kKey, "PATH", Bytes(kRegSz, {}));
  std::string value = "before";
  EXPECT_THROW(GetKeyValue(registry, kHkeyLocalMachine, kKey, "PATH", value), StepError);
  EXPECT_EQ(registry.open_key_count(), 0);
}

// A standard user gets read rights on machine keys and no more; asking for more would make
// every read fail for them.
TEST(GetKeyValueTest, AsksForReadRightsOnly) {
  InMemoryRegistry registry;
  registry.set_granted_access(kKeyRead);
  registry.SetString(kHkeyLocalMachine, kKey, "PATH", "C:\\info.exe");
  std::string value;
  EXPECT_TRUE(GetKeyValue(registry, kHkeyLocalMachine, kKey, "PATH", value));
  EXPECT_EQ(value, "C:\\info.exe");
  EXPECT_EQ(registry.last_access(), kKeyRead);
}

TEST(GetKeyValueTest, RegistryWithoutKeysReadsNothing) {
  NoKeysRegistry registry;
  std::string value = "before";
  EXPECT_FALSE(GetKeyValue(registry, kHkeyLocalMachine, kKey, "PATH", value));
  EXPECT_EQ(value, "");
}

}  // namespace
}  // namespace terravox

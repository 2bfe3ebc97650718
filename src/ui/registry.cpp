// The registry without keys, and GetKeyValue over any registry.
#include "ui/registry.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "core/status.h"

namespace terravox {

long NoKeysRegistry::Open(RegKey, const std::string&, std::uint32_t, RegKey* key) {
  *key = 0;
  return kErrorFileNotFound;
}

long NoKeysRegistry::Query(RegKey, const std::string&, std::uint32_t*, unsigned char*,
                           std::uint32_t*) {
  return kErrorInvalidHandle;
}

long NoKeysRegistry::Close(RegKey) { return kErrorInvalidHandle; }

namespace {

constexpr std::uint32_t kValueBufferSize = 1024;

// Closes the key however GetKeyValue leaves, the error of an empty value included. A failed
// open leaves handle 0, and closing that is harmless.
class KeyCloser {
 public:
  KeyCloser(Registry& registry, const RegKey& key) : registry_(registry), key_(key) {}
  ~KeyCloser() { registry_.Close(key_); }
  KeyCloser(const KeyCloser&) = delete;
  KeyCloser& operator=(const KeyCloser&) = delete;

 private:
  Registry& registry_;
  const RegKey& key_;
};

// A DWORD is stored little-endian; its text is the value in hex, upper case, no leading zeros.
std::string DwordText(const unsigned char* data, std::uint32_t count) {
  std::uint32_t value = 0;
  for (std::uint32_t i = std::min<std::uint32_t>(count, 4); i > 0; --i) {
    value = (value << 8) | data[i - 1];
  }
  std::array<char, 16> digits{};
  std::snprintf(digits.data(), digits.size(), "%X", static_cast<unsigned>(value));
  return std::string("&h") + digits.data();
}

}  // namespace

bool GetKeyValue(Registry& registry, RegKey KeyRoot, const std::string& KeyName,
                 const std::string& SubKeyRef, std::string& KeyVal) {
  RegKey key = 0;
  KeyCloser closer(registry, key);
  if (registry.Open(KeyRoot, KeyName, kKeyRead, &key) != kErrorSuccess) {
    KeyVal.clear();
    return false;
  }

  std::array<unsigned char, kValueBufferSize> data{};
  std::uint32_t size = kValueBufferSize;
  std::uint32_t type = 0;
  if (registry.Query(key, SubKeyRef, &type, data.data(), &size) != kErrorSuccess) {
    KeyVal.clear();
    return false;
  }

  // An empty value has no last byte to look at: an error, not a read.
  if (size == 0) {
    throw StepError(Error(ErrorKind::kOther, "Invalid procedure call or argument"));
  }
  std::uint32_t kept = data[size - 1] == 0 ? size - 1 : size;

  if (type == kRegSz) {
    KeyVal.assign(reinterpret_cast<const char*>(data.data()), kept);
  } else if (type == kRegDword) {
    // The trim above would drop a zero high byte; the number needs all of them.
    KeyVal = DwordText(data.data(), size);
  }
  return true;
}

}  // namespace terravox

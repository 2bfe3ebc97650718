// The registry without keys, the one in memory, and GetKeyValue over either.
#include "ui/registry.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "batch/status.h"

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

void InMemoryRegistry::SetString(RegKey root, const std::string& key_name,
                                 const std::string& value_name, const std::string& text,
                                 std::uint32_t type) {
  Value value{type, std::vector<unsigned char>(text.begin(), text.end())};
  value.bytes.push_back(0);
  SetValue(root, key_name, value_name, std::move(value));
}

void InMemoryRegistry::SetValue(RegKey root, const std::string& key_name,
                                const std::string& value_name, Value value) {
  keys_[{root, key_name}][value_name] = std::move(value);
}

void InMemoryRegistry::AddKey(RegKey root, const std::string& key_name) {
  keys_[{root, key_name}];
}

long InMemoryRegistry::Open(RegKey root, const std::string& key_name, std::uint32_t access,
                            RegKey* key) {
  last_access_ = access;
  *key = 0;
  if ((access & ~granted_access_) != 0) return kErrorAccessDenied;
  if (keys_.find({root, key_name}) == keys_.end()) return kErrorFileNotFound;
  *key = next_handle_++;
  open_[*key] = {root, key_name};
  return kErrorSuccess;
}

long InMemoryRegistry::Query(RegKey key, const std::string& value_name, std::uint32_t* type,
                             unsigned char* data, std::uint32_t* size) {
  auto handle = open_.find(key);
  if (handle == open_.end()) return kErrorInvalidHandle;
  const auto& values = keys_.at(handle->second);
  auto found = values.find(value_name);
  if (found == values.end()) return kErrorFileNotFound;
  const Value& value = found->second;
  if (value.bytes.size() > *size) {
    *size = static_cast<std::uint32_t>(value.bytes.size());
    return kErrorMoreData;
  }
  std::copy(value.bytes.begin(), value.bytes.end(), data);
  *type = value.type;
  *size = static_cast<std::uint32_t>(value.bytes.size());
  return kErrorSuccess;
}

long InMemoryRegistry::Close(RegKey key) {
  return open_.erase(key) == 1 ? kErrorSuccess : kErrorInvalidHandle;
}

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

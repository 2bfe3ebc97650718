// InMemoryRegistry: keys and values in maps, with the rights of a standard user on request.
#include "support/in_memory_registry.h"

#include <algorithm>

namespace terravox {

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

void InMemoryRegistry::AddKey(RegKey root, const std::string& key_name) { keys_[{root, key_name}]; }

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

}  // namespace terravox

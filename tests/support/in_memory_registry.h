// InMemoryRegistry: a registry held in memory, for the tests of GetKeyValue's steps.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "ui/registry.h"

namespace terravox {

// Keys and values held in memory. Key names compare exactly; values keep their type and bytes.
class InMemoryRegistry final : public Registry {
 public:
  struct Value {
    std::uint32_t type = kRegSz;
    std::vector<unsigned char> bytes;
  };

  // A text value with its final NUL, as the system stores one.
  void SetString(RegKey root, const std::string& key_name, const std::string& value_name,
                 const std::string& text, std::uint32_t type = kRegSz);
  // Any value, bytes exactly as given.
  void SetValue(RegKey root, const std::string& key_name, const std::string& value_name,
                Value value);
  // An existing key without values.
  void AddKey(RegKey root, const std::string& key_name);
  // Opens asking for more than this fail with kErrorAccessDenied (a standard user's rights).
  void set_granted_access(std::uint32_t access) { granted_access_ = access; }

  // Keys opened and not closed yet.
  int open_key_count() const { return static_cast<int>(open_.size()); }
  // The access asked for by the last open.
  std::uint32_t last_access() const { return last_access_; }

  long Open(RegKey root, const std::string& key_name, std::uint32_t access, RegKey* key) override;
  long Query(RegKey key, const std::string& value_name, std::uint32_t* type, unsigned char* data,
             std::uint32_t* size) override;
  long Close(RegKey key) override;

 private:
  using KeyId = std::pair<RegKey, std::string>;
  std::map<KeyId, std::map<std::string, Value>> keys_;
  std::map<RegKey, KeyId> open_;
  RegKey next_handle_ = 0x100;
  std::uint32_t granted_access_ = 0xFFFFFFFF;
  std::uint32_t last_access_ = 0;
};

}  // namespace terravox

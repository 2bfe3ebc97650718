// Registry: the three calls of the system registry the about box needs, as an interface, with a
// registry that has no keys (this platform). GetKeyValue reads one value through it.
#pragma once

#include <cstdint>
#include <string>

namespace terravox {

// Handles and codes as the registry functions use them.
using RegKey = std::uint32_t;
inline constexpr RegKey kHkeyLocalMachine = 0x80000002;

inline constexpr long kErrorSuccess = 0;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr long kErrorAccessDenied = 5;
inline constexpr long kErrorInvalidHandle = 6;
inline constexpr long kErrorMoreData = 234;

inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;

// Read rights: standard read plus query value, enumerate sub-keys and notify. Reading a value
// needs no more, and a standard user is not granted more on machine keys.
inline constexpr std::uint32_t kKeyRead = 0x20019;

class Registry {
 public:
  virtual ~Registry() = default;

  // Opens key_name under root asking for the given access. On success returns kErrorSuccess and
  // sets *key; on failure returns an error code and sets *key to 0.
  virtual long Open(RegKey root, const std::string& key_name, std::uint32_t access,
                    RegKey* key) = 0;
  // Reads the value value_name of an open key into data, which holds *size bytes. On success
  // sets *type and *size (the byte count). A missing value fails; so does one longer than *size
  // (kErrorMoreData, *size set to the length needed, data untouched).
  virtual long Query(RegKey key, const std::string& value_name, std::uint32_t* type,
                     unsigned char* data, std::uint32_t* size) = 0;
  virtual long Close(RegKey key) = 0;
};

// The registry of a system that has none: every open fails.
class NoKeysRegistry final : public Registry {
 public:
  long Open(RegKey root, const std::string& key_name, std::uint32_t access, RegKey* key) override;
  long Query(RegKey key, const std::string& value_name, std::uint32_t* type, unsigned char* data,
             std::uint32_t* size) override;
  long Close(RegKey key) override;
};

// Reads the value SubKeyRef of the key KeyName under KeyRoot into KeyVal, asking only for read
// rights. Text values (type 1) are stored without their final NUL; DWORD values (type 4) become
// "&h" and their upper-case hex digits; other types leave KeyVal as it was. Returns false, with
// KeyVal emptied, when the key cannot be opened or the value cannot be read (missing, or longer
// than 1024 bytes). The key is closed on every path. Throws StepError for a value of zero
// bytes, which has no last byte to trim.
bool GetKeyValue(Registry& registry, RegKey KeyRoot, const std::string& KeyName,
                 const std::string& SubKeyRef, std::string& KeyVal);

}  // namespace terravox

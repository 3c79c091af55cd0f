#pragma once
// The settings store: a tree of keys under HKEY_CURRENT_USER holding typed
// values. Key paths are relative to that root and backslash-separated
// ("Tillgate\\Equipment"); key and value names compare without regard to
// ASCII case, as the registry does.
//
// Like the registry access object the settings code was written against, the
// store has one current key: OpenKey selects it, value operations act on it,
// CloseKey clears it. With no current key, value tests find nothing and every
// read and write fails.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/status.h"

namespace tillgate {

enum class RegValueType {
  kString,  // REG_SZ
  kDword,   // REG_DWORD
  kBinary,  // REG_BINARY
  kOther,   // any other type; kept as raw bytes, never read by the program
};

// "Invalid data type for '<name>'": a value exists but has another type or
// does not fit the reader's buffer.
std::string InvalidDataTypeMessage(const std::string& value_name);
// "Failed to set data for '<name>'": a write the store refused.
std::string FailedToSetMessage(const std::string& value_name);

class RegistryStore {
 public:
  virtual ~RegistryStore() = default;

  // True when `key` exists. Never fails; an unreadable store has no keys.
  virtual bool KeyExists(const std::string& key) = 0;

  // Makes `key` the current key. When it is missing and `create` is true it is
  // created together with any missing parents and the creation is stored.
  // True: `key` is now current. False: it is missing and was not (or could not
  // be) created; there is then no current key.
  virtual bool OpenKey(const std::string& key, bool create) = 0;

  // Clears the current key. Always succeeds.
  virtual void CloseKey() = 0;

  // True when the current key holds a value `name` of any type.
  virtual bool ValueExists(const std::string& name) = 0;

  // The type of value `name` of the current key. False when there is none.
  virtual bool GetValueType(const std::string& name, RegValueType* type) = 0;

  // Reads a REG_SZ value. Error InvalidDataTypeMessage(name) when the value is
  // missing or of another type; *value is then unchanged.
  virtual Status ReadString(const std::string& name, std::string* value) = 0;

  // Reads a REG_DWORD value; same failure as ReadString.
  virtual Status ReadDword(const std::string& name, uint32_t* value) = 0;

  // Reads a REG_BINARY value into buffer[0..capacity) and sets *size to the
  // number of bytes read; bytes past *size are untouched. Error
  // InvalidDataTypeMessage(name) when it is missing, of another type, or
  // longer than `capacity`; nothing is copied then.
  virtual Status ReadBinary(const std::string& name, uint8_t* buffer, size_t capacity,
                            size_t* size) = 0;

  // Writes (creating or replacing) a value of the current key and stores the
  // change before returning. Error FailedToSetMessage(name) when there is no
  // current key, the data cannot be represented, or storing failed; the store
  // is then as it was before the call.
  virtual Status WriteString(const std::string& name, const std::string& value) = 0;
  virtual Status WriteDword(const std::string& name, uint32_t value) = 0;
  virtual Status WriteBinary(const std::string& name, const uint8_t* data, size_t size) = 0;

  // Deletes `key` with every value and every subkey below it, and stores the
  // change. True when the key existed and is gone; false otherwise (missing
  // key, or storing failed and nothing was deleted). Closes the current key
  // when it lies inside the deleted tree.
  virtual bool DeleteKey(const std::string& key) = 0;
};

}  // namespace tillgate

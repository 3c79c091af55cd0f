// The settings store over the Windows registry itself. Strings are UTF-8 in
// the program and UTF-16 in the registry; the registry compares key and
// value names without case on its own.

#include <windows.h>

#include <vector>

#include "platform/registry_store.h"
#include "platform/system_registry.h"
#include "platform/win32/win32_text.h"

namespace tillgate {
namespace {

// A value's type and size as the registry has it; false when it has none
// of that name (or the name cannot be told to it).
bool QueryValue(HKEY key, const std::wstring& name, DWORD* type, DWORD* size) {
  return RegQueryValueExW(key, name.c_str(), nullptr, type, nullptr, size) == ERROR_SUCCESS;
}

// The value's bytes when it has `wanted_type`; false otherwise. Read again
// when another program changed its size between the two calls.
bool ReadValue(HKEY key, const std::wstring& name, DWORD wanted_type,
               std::vector<unsigned char>* bytes) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD type = 0;
    DWORD size = 0;
    if (!QueryValue(key, name, &type, &size) || type != wanted_type) return false;
    bytes->resize(size);
    const LONG read = RegQueryValueExW(key, name.c_str(), nullptr, &type,
                                       size > 0 ? bytes->data() : nullptr, &size);
    if (read == ERROR_MORE_DATA) continue;
    if (read != ERROR_SUCCESS || type != wanted_type) return false;
    bytes->resize(size);
    return true;
  }
  return false;
}

// Whether `inner` is `outer` or lies below it, compared as the registry
// compares names.
bool WithinKey(const std::wstring& inner, const std::wstring& outer) {
  if (inner.size() < outer.size() || outer.size() > INT32_MAX) return false;
  const int length = static_cast<int>(outer.size());
  if (CompareStringOrdinal(inner.data(), length, outer.data(), length, TRUE) != CSTR_EQUAL)
    return false;
  return inner.size() == outer.size() || inner[outer.size()] == L'\\';
}

class Win32RegistryStore final : public RegistryStore {
 public:
  Win32RegistryStore(HKEY root, std::wstring base) : root_(root), base_(std::move(base)) {}
  ~Win32RegistryStore() override { CloseKey(); }

  bool KeyExists(const std::string& key) override {
    std::wstring path;
    if (!KeyPath(key, &path)) return false;
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root_, path.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
  }

  // Full access when the account has it; a key it may only read is still
  // opened, so that reading works and writes fail as refused.
  bool OpenKey(const std::string& key, bool create) override {
    CloseKey();
    std::wstring path;
    if (!KeyPath(key, &path)) return false;
    HKEY handle = nullptr;
    LONG result = create ? RegCreateKeyExW(root_, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           KEY_READ | KEY_WRITE, nullptr, &handle, nullptr)
                         : RegOpenKeyExW(root_, path.c_str(), 0, KEY_READ | KEY_WRITE, &handle);
    if (result == ERROR_ACCESS_DENIED)
      result = RegOpenKeyExW(root_, path.c_str(), 0, KEY_READ, &handle);
    if (result != ERROR_SUCCESS) return false;
    current_ = handle;
    current_path_ = path;
    return true;
  }

  void CloseKey() override {
    if (current_ != nullptr) RegCloseKey(current_);
    current_ = nullptr;
    current_path_.clear();
  }

  bool ValueExists(const std::string& name) override {
    RegValueType type;
    return GetValueType(name, &type);
  }

  bool GetValueType(const std::string& name, RegValueType* type) override {
    std::wstring wide;
    DWORD kind = 0;
    DWORD size = 0;
    if (current_ == nullptr || !WideFromUtf8(name, &wide) ||
        !QueryValue(current_, wide, &kind, &size))
      return false;
    *type = kind == REG_SZ       ? RegValueType::kString
            : kind == REG_DWORD  ? RegValueType::kDword
            : kind == REG_BINARY ? RegValueType::kBinary
                                 : RegValueType::kOther;
    return true;
  }

  // The text ends at its first NUL: a value stored without one, or with
  // more, reads as Windows programs read it.
  Status ReadString(const std::string& name, std::string* value) override {
    std::vector<unsigned char> bytes;
    if (!Read(name, REG_SZ, &bytes)) return Status::Error(InvalidDataTypeMessage(name));
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    const size_t end = text.find(L'\0');
    if (end != std::wstring::npos) text.resize(end);
    *value = Utf8FromWide(text);
    return Status::Ok();
  }

  Status ReadDword(const std::string& name, uint32_t* value) override {
    std::vector<unsigned char> bytes;
    if (!Read(name, REG_DWORD, &bytes) || bytes.size() != sizeof(uint32_t))
      return Status::Error(InvalidDataTypeMessage(name));
    memcpy(value, bytes.data(), sizeof(uint32_t));
    return Status::Ok();
  }

  Status ReadBinary(const std::string& name, uint8_t* buffer, size_t capacity,
                    size_t* size) override {
    std::vector<unsigned char> bytes;
    if (!Read(name, REG_BINARY, &bytes) || bytes.size() > capacity)
      return Status::Error(InvalidDataTypeMessage(name));
    if (!bytes.empty()) memcpy(buffer, bytes.data(), bytes.size());
    *size = bytes.size();
    return Status::Ok();
  }

  // A text with a NUL inside would be cut there by every reader: refused.
  Status WriteString(const std::string& name, const std::string& value) override {
    std::wstring text;
    if (value.find('\0') != std::string::npos || !WideFromUtf8(value, &text) ||
        text.size() >= MAXDWORD / sizeof(wchar_t))
      return Status::Error(FailedToSetMessage(name));
    return Write(name, REG_SZ, text.c_str(),
                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }

  Status WriteDword(const std::string& name, uint32_t value) override {
    const DWORD data = value;
    return Write(name, REG_DWORD, &data, sizeof data);
  }

  Status WriteBinary(const std::string& name, const uint8_t* data, size_t size) override {
    if (size > MAXDWORD) return Status::Error(FailedToSetMessage(name));
    return Write(name, REG_BINARY, data, static_cast<DWORD>(size));
  }

  // The root itself is never deleted through a key path.
  bool DeleteKey(const std::string& key) override {
    std::wstring path;
    if (key.empty() || !KeyPath(key, &path) || !KeyExists(key)) return false;
    if (current_ != nullptr && WithinKey(current_path_, path)) CloseKey();
    return RegDeleteTreeW(root_, path.c_str()) == ERROR_SUCCESS;
  }

 private:
  bool KeyPath(const std::string& key, std::wstring* path) const {
    std::wstring wide;
    if (!WideFromUtf8(key, &wide)) return false;
    if (base_.empty()) {
      *path = wide;
    } else {
      *path = wide.empty() ? base_ : base_ + L"\\" + wide;
    }
    return true;
  }

  bool Read(const std::string& name, DWORD type, std::vector<unsigned char>* bytes) {
    std::wstring wide;
    return current_ != nullptr && WideFromUtf8(name, &wide) &&
           ReadValue(current_, wide, type, bytes);
  }

  Status Write(const std::string& name, DWORD type, const void* data, DWORD size) {
    std::wstring wide;
    if (current_ == nullptr || !WideFromUtf8(name, &wide) ||
        RegSetValueExW(current_, wide.c_str(), 0, type, static_cast<const BYTE*>(data), size) !=
            ERROR_SUCCESS)
      return Status::Error(FailedToSetMessage(name));
    return Status::Ok();
  }

  HKEY root_;
  std::wstring base_;  // the key path the root stands for under root_
  HKEY current_ = nullptr;
  std::wstring current_path_;
};

}  // namespace

std::unique_ptr<RegistryStore> OpenSystemRegistry(RegistryRoot root) {
  if (root == RegistryRoot::kLocalMachineSoftware)
    return std::make_unique<Win32RegistryStore>(HKEY_LOCAL_MACHINE, L"SOFTWARE");
  return std::make_unique<Win32RegistryStore>(HKEY_CURRENT_USER, L"");
}

}  // namespace tillgate

#include "config/settings_transfer.h"

#include <cstdint>
#include <optional>
#include <vector>

#include "config/registry_names.h"
#include "config/settings.h"

namespace tillgate {
namespace {

// The key path from "Tillgate" on ("HKEY_CURRENT_USER\Tillgate\DataBase"
// gives "Tillgate\DataBase"); none for a key outside it.
std::optional<std::string> SettingsKeyOf(const std::string& path) {
  size_t at = 0;
  while (at <= path.size()) {
    const size_t end = std::min(path.find('\\', at), path.size());
    if (SameRegName(std::string_view(path).substr(at, end - at), kRootKey)) return path.substr(at);
    if (end == path.size()) break;
    at = end + 1;
  }
  return std::nullopt;
}

std::vector<std::string> EquipmentValueNames() {
  std::vector<std::string> names;
  for (int i = 0; i < kPortCount; ++i)
    for (const char* stem : {"COM", "MASKA", "STROKA", "COD_LENGTH", "DEVICE", "QUICK", "STRICT"})
      names.push_back(PortValueName(stem, i));
  names.push_back(kAvtoStartValue);
  names.push_back(kRescanValue);
  return names;
}

// The value as the store has it; none when missing or unreadable.
std::optional<RegValue> ReadValue(RegistryStore& store, const std::string& name) {
  RegValueType type;
  if (!store.GetValueType(name, &type)) return std::nullopt;
  RegValue value;
  value.name = name;
  value.type = type;
  if (type == RegValueType::kString && store.ReadString(name, &value.text).ok()) return value;
  if (type == RegValueType::kDword && store.ReadDword(name, &value.dword).ok()) return value;
  if (type == RegValueType::kBinary) {
    uint8_t bytes[256];
    size_t size = 0;
    if (!store.ReadBinary(name, bytes, sizeof bytes, &size).ok()) return std::nullopt;
    value.bytes.assign(reinterpret_cast<const char*>(bytes), size);
    return value;
  }
  return std::nullopt;
}

RegKey ExportKey(RegistryStore& store, const std::string& root_name, const std::string& key,
                 const std::vector<std::string>& names) {
  RegKey out;
  out.path = root_name + "\\" + key;
  if (!store.OpenKey(key, false)) return out;
  for (const std::string& name : names)
    if (auto value = ReadValue(store, name)) out.values.push_back(std::move(*value));
  store.CloseKey();
  return out;
}

Status WriteValue(RegistryStore& store, const RegValue& value) {
  switch (value.type) {
    case RegValueType::kString:
      return store.WriteString(value.name, value.text);
    case RegValueType::kDword:
      return store.WriteDword(value.name, value.dword);
    case RegValueType::kBinary:
      return store.WriteBinary(value.name, reinterpret_cast<const uint8_t*>(value.bytes.data()),
                               value.bytes.size());
    case RegValueType::kOther:
      break;
  }
  return Status::kNotSupported;
}

}  // namespace

RegDocument ExportSettings(RegistryStore& store, const std::string& root_name) {
  RegDocument document;
  document.header = kRegHeader5;
  document.encoding = RegFileEncoding::kUtf16Le;
  if (!store.KeyExists(kRootKey)) return document;
  document.keys.push_back(ExportKey(store, root_name, kRootKey, {}));
  document.keys.push_back(
      ExportKey(store, root_name, kDataBaseKey, {kInPathValue, kOutPathValue, kResValue}));
  document.keys.push_back(ExportKey(store, root_name, kEquipmentKey, EquipmentValueNames()));
  return document;
}

ImportResult ImportSettings(const RegDocument& document, RegistryStore& store) {
  ImportResult result;
  bool any = false;
  for (const RegKey& key : document.keys) any = any || SettingsKeyOf(key.path).has_value();
  if (!any) {
    result.status = Status(Status::kNotFound, "the file has no key Tillgate");
    return result;
  }
  for (const RegKey& key : document.keys) {
    const std::optional<std::string> target = SettingsKeyOf(key.path);
    if (!target) {
      result.skipped += static_cast<int>(key.values.size());
      continue;
    }
    if (!store.OpenKey(*target, true)) {
      result.status = Status(Status::kError, "key " + *target + " cannot be created");
      return result;
    }
    for (const RegValue& value : key.values) {
      if (value.type == RegValueType::kOther) {
        ++result.skipped;
        continue;
      }
      const Status written = WriteValue(store, value);
      if (!written.ok()) {
        store.CloseKey();
        result.status = written;
        return result;
      }
      ++result.values;
    }
    store.CloseKey();
  }
  return result;
}

}  // namespace tillgate

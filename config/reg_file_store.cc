// The settings store over a registry export file. The file is read once when
// the store is opened; every change is written back at once as a whole new
// file, so the file always holds the complete last state.

#include "config/reg_file_store.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "config/reg_document.h"

namespace tillgate {
namespace {

constexpr char kHive[] = "HKEY_CURRENT_USER";

bool HasLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// A key path relative to the hive is usable when it has no empty part and
// nothing that would break the line it is written on.
bool ValidRelativeKey(std::string_view key) {
  if (key.empty() || key.front() == '\\' || key.back() == '\\') return false;
  if (key.find("\\\\") != std::string_view::npos) return false;
  return !HasLineBreakOrNul(key);
}

bool IsInside(std::string_view path, std::string_view ancestor) {
  return path.size() > ancestor.size() && path[ancestor.size()] == '\\' &&
         SameRegName(path.substr(0, ancestor.size()), ancestor);
}

bool IsSameOrInside(std::string_view path, std::string_view ancestor) {
  return SameRegName(path, ancestor) || IsInside(path, ancestor);
}

RegKey* FindKey(RegDocument& document, std::string_view full_path) {
  for (RegKey& key : document.keys) {
    if (SameRegName(key.path, full_path)) return &key;
  }
  return nullptr;
}

bool SameData(const RegValue& a, const RegValue& b) {
  return a.type == b.type && a.text == b.text && a.dword == b.dword && a.bytes == b.bytes &&
         a.type_code == b.type_code;
}

RegValue* FindValue(RegKey& key, std::string_view name) {
  for (RegValue& value : key.values) {
    if (SameRegName(value.name, name)) return &value;
  }
  return nullptr;
}

// Adds `full_path` and its missing ancestors below the hive, each placed after
// its parent's subtree so the file keeps the order of an export.
void AddKeyPath(RegDocument& document, const std::string& full_path) {
  size_t start = std::strlen(kHive) + 1;
  while (true) {
    size_t slash = full_path.find('\\', start);
    std::string path = full_path.substr(0, slash);
    if (!FindKey(document, path)) {
      std::string parent = path.substr(0, path.rfind('\\'));
      auto insert_at = document.keys.end();
      for (auto it = document.keys.begin(); it != document.keys.end(); ++it) {
        if (IsSameOrInside(it->path, parent)) insert_at = it + 1;
      }
      document.keys.insert(insert_at, RegKey{path, {}});
    }
    if (slash == std::string::npos) return;
    start = slash + 1;
  }
}

class RegFileStore final : public RegistryStore {
 public:
  RegFileStore(std::shared_ptr<FileLayer> files, std::string path, RegDocument document,
               bool writable)
      : files_(std::move(files)),
        path_(std::move(path)),
        document_(std::move(document)),
        writable_(writable) {}

  bool KeyExists(const std::string& key) override {
    if (!ValidRelativeKey(key)) return false;
    std::string full = FullPath(key);
    return std::any_of(document_.keys.begin(), document_.keys.end(),
                       [&](const RegKey& k) { return IsSameOrInside(k.path, full); });
  }

  bool OpenKey(const std::string& key, bool create) override {
    current_.clear();
    if (!ValidRelativeKey(key)) return false;
    if (!KeyExists(key)) {
      if (!create || !writable_) return false;
      RegDocument next = document_;
      AddKeyPath(next, FullPath(key));
      if (!Commit(std::move(next))) return false;
    }
    current_ = FullPath(key);
    return true;
  }

  void CloseKey() override { current_.clear(); }

  bool ValueExists(const std::string& name) override { return CurrentValue(name) != nullptr; }

  bool GetValueType(const std::string& name, RegValueType* type) override {
    const RegValue* value = CurrentValue(name);
    if (!value) return false;
    *type = value->type;
    return true;
  }

  Status ReadString(const std::string& name, std::string* out) override {
    const RegValue* value = CurrentValue(name);
    if (!value || value->type != RegValueType::kString) {
      return Status::Error(InvalidDataTypeMessage(name));
    }
    *out = value->text;
    return Status::Ok();
  }

  Status ReadDword(const std::string& name, uint32_t* out) override {
    const RegValue* value = CurrentValue(name);
    if (!value || value->type != RegValueType::kDword) {
      return Status::Error(InvalidDataTypeMessage(name));
    }
    *out = value->dword;
    return Status::Ok();
  }

  Status ReadBinary(const std::string& name, uint8_t* buffer, size_t capacity,
                    size_t* size) override {
    const RegValue* value = CurrentValue(name);
    if (!value || value->type != RegValueType::kBinary || value->bytes.size() > capacity) {
      return Status::Error(InvalidDataTypeMessage(name));
    }
    if (!value->bytes.empty()) std::memcpy(buffer, value->bytes.data(), value->bytes.size());
    *size = value->bytes.size();
    return Status::Ok();
  }

  Status WriteString(const std::string& name, const std::string& text) override {
    if (HasLineBreakOrNul(text)) return Status::Error(FailedToSetMessage(name));
    RegValue value;
    value.type = RegValueType::kString;
    value.text = text;
    return WriteValue(name, std::move(value));
  }

  Status WriteDword(const std::string& name, uint32_t dword) override {
    RegValue value;
    value.type = RegValueType::kDword;
    value.dword = dword;
    return WriteValue(name, std::move(value));
  }

  Status WriteBinary(const std::string& name, const uint8_t* data, size_t size) override {
    RegValue value;
    value.type = RegValueType::kBinary;
    if (size > 0) value.bytes.assign(reinterpret_cast<const char*>(data), size);
    return WriteValue(name, std::move(value));
  }

  bool DeleteKey(const std::string& key) override {
    if (!writable_ || !ValidRelativeKey(key) || !KeyExists(key)) return false;
    std::string full = FullPath(key);
    RegDocument next = document_;
    std::erase_if(next.keys, [&](const RegKey& k) { return IsSameOrInside(k.path, full); });
    if (!Commit(std::move(next))) return false;
    if (!current_.empty() && IsSameOrInside(current_, full)) current_.clear();
    return true;
  }

 private:
  static std::string FullPath(const std::string& key) { return std::string(kHive) + "\\" + key; }

  const RegValue* CurrentValue(const std::string& name) {
    if (current_.empty()) return nullptr;
    RegKey* key = FindKey(document_, current_);
    return key ? FindValue(*key, name) : nullptr;
  }

  Status WriteValue(const std::string& name, RegValue value) {
    if (!writable_ || current_.empty() || HasLineBreakOrNul(name)) {
      return Status::Error(FailedToSetMessage(name));
    }
    value.name = name;
    // Writing what is already there changes nothing, so the file is left as
    // it is, byte for byte (a save of unchanged settings rewrites nothing).
    if (RegKey* key = FindKey(document_, current_)) {
      const RegValue* existing = FindValue(*key, name);
      if (existing && SameData(*existing, value)) return Status::Ok();
    }
    RegDocument next = document_;
    if (!FindKey(next, current_)) AddKeyPath(next, current_);
    RegKey& key = *FindKey(next, current_);
    if (RegValue* existing = FindValue(key, name)) {
      value.name = existing->name;  // keep the spelling already stored
      *existing = std::move(value);
    } else {
      key.values.push_back(std::move(value));
    }
    if (!Commit(std::move(next))) return Status::Error(FailedToSetMessage(name));
    return Status::Ok();
  }

  // Stores `next` and makes it current; on failure nothing changes.
  bool Commit(RegDocument next) {
    if (!files_->ReplaceFile(path_, FormatRegFile(next)).ok()) return false;
    document_ = std::move(next);
    return true;
  }

  std::shared_ptr<FileLayer> files_;
  std::string path_;
  RegDocument document_;
  bool writable_;
  std::string current_;  // full path of the current key; empty when none
};

std::unique_ptr<RegistryStore> OpenStore(std::shared_ptr<FileLayer> files, const std::string& path,
                                         Status* status, bool writable) {
  std::string contents;
  bool exists = false;
  RegDocument document;
  *status = files->ReadWholeFile(path, &contents, &exists);
  if (status->ok() && exists) {
    Status parsed = ParseRegFile(contents, &document);
    if (!parsed.ok()) *status = Status::Error(path + ": " + parsed.message());
  }
  // A file that cannot be read or parsed is never overwritten.
  if (!status->ok())
    return std::make_unique<RegFileStore>(std::move(files), path, RegDocument(), false);
  return std::make_unique<RegFileStore>(std::move(files), path, std::move(document), writable);
}

}  // namespace

std::unique_ptr<RegistryStore> OpenRegistryFile(std::shared_ptr<FileLayer> files,
                                                const std::string& path, Status* status) {
  return OpenStore(std::move(files), path, status, true);
}

std::unique_ptr<RegistryStore> OpenRegistryFileForReading(std::shared_ptr<FileLayer> files,
                                                          const std::string& path, Status* status) {
  return OpenStore(std::move(files), path, status, false);
}

}  // namespace tillgate

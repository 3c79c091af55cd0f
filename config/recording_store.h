#pragma once
// A settings store that logs every operation before passing it on, so tests
// can check the order in which values are written. For tests.

#include <string>
#include <vector>

#include "config/registry_store.h"

namespace tillgate {

class RecordingStore final : public RegistryStore {
 public:
  explicit RecordingStore(RegistryStore& inner) : inner_(inner) {}

  // Entries such as "open Tillgate\\DataBase", "write InPath", "close", "delete Tillgate".
  const std::vector<std::string>& log() const { return log_; }
  // Only the names of the values written, in order.
  std::vector<std::string> Writes() const {
    std::vector<std::string> names;
    for (const std::string& entry : log_) {
      if (entry.rfind("write ", 0) == 0) names.push_back(entry.substr(6));
    }
    return names;
  }

  bool KeyExists(const std::string& key) override { return inner_.KeyExists(key); }
  bool OpenKey(const std::string& key, bool create) override {
    log_.push_back("open " + key);
    return inner_.OpenKey(key, create);
  }
  void CloseKey() override {
    log_.push_back("close");
    inner_.CloseKey();
  }
  bool ValueExists(const std::string& name) override { return inner_.ValueExists(name); }
  bool GetValueType(const std::string& name, RegValueType* type) override {
    return inner_.GetValueType(name, type);
  }
  Status ReadString(const std::string& name, std::string* value) override {
    return inner_.ReadString(name, value);
  }
  Status ReadDword(const std::string& name, uint32_t* value) override {
    return inner_.ReadDword(name, value);
  }
  Status ReadBinary(const std::string& name, uint8_t* buffer, size_t capacity,
                    size_t* size) override {
    return inner_.ReadBinary(name, buffer, capacity, size);
  }
  Status WriteString(const std::string& name, const std::string& value) override {
    log_.push_back("write " + name);
    return inner_.WriteString(name, value);
  }
  Status WriteDword(const std::string& name, uint32_t value) override {
    log_.push_back("write " + name);
    return inner_.WriteDword(name, value);
  }
  Status WriteBinary(const std::string& name, const uint8_t* data, size_t size) override {
    log_.push_back("write " + name);
    return inner_.WriteBinary(name, data, size);
  }
  bool DeleteKey(const std::string& key) override {
    log_.push_back("delete " + key);
    return inner_.DeleteKey(key);
  }

 private:
  RegistryStore& inner_;
  std::vector<std::string> log_;
};

}  // namespace tillgate

#pragma once
// A settings store that logs every operation before passing it on, so tests
// can check the order in which values are written. For tests.

#include <string>
#include <vector>

#include "config/forwarding_registry_store.h"

namespace tillgate {

class RecordingRegistryStore final : public ForwardingRegistryStore {
 public:
  explicit RecordingRegistryStore(RegistryStore& inner) : ForwardingRegistryStore(inner) {}

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

  bool OpenKey(const std::string& key, bool create) override {
    log_.push_back("open " + key);
    return ForwardingRegistryStore::OpenKey(key, create);
  }
  void CloseKey() override {
    log_.push_back("close");
    ForwardingRegistryStore::CloseKey();
  }
  Status WriteString(const std::string& name, const std::string& value) override {
    log_.push_back("write " + name);
    return ForwardingRegistryStore::WriteString(name, value);
  }
  Status WriteDword(const std::string& name, uint32_t value) override {
    log_.push_back("write " + name);
    return ForwardingRegistryStore::WriteDword(name, value);
  }
  Status WriteBinary(const std::string& name, const uint8_t* data, size_t size) override {
    log_.push_back("write " + name);
    return ForwardingRegistryStore::WriteBinary(name, data, size);
  }
  bool DeleteKey(const std::string& key) override {
    log_.push_back("delete " + key);
    return ForwardingRegistryStore::DeleteKey(key);
  }

 private:
  std::vector<std::string> log_;
};

}  // namespace tillgate

#pragma once
// A settings store that passes every operation on to another one. Wrappers
// for tests (recording, refusing chosen writes) override only what they
// change, as an environment wrapper does.

#include <string>

#include "platform/registry_store.h"

namespace tillgate {

class ForwardingRegistryStore : public RegistryStore {
 public:
  explicit ForwardingRegistryStore(RegistryStore& inner) : inner_(inner) {}

  bool KeyExists(const std::string& key) override { return inner_.KeyExists(key); }
  bool OpenKey(const std::string& key, bool create) override { return inner_.OpenKey(key, create); }
  void CloseKey() override { inner_.CloseKey(); }
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
    return inner_.WriteString(name, value);
  }
  Status WriteDword(const std::string& name, uint32_t value) override {
    return inner_.WriteDword(name, value);
  }
  Status WriteBinary(const std::string& name, const uint8_t* data, size_t size) override {
    return inner_.WriteBinary(name, data, size);
  }
  bool DeleteKey(const std::string& key) override { return inner_.DeleteKey(key); }

 private:
  RegistryStore& inner_;
};

}  // namespace tillgate

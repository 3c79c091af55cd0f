#include "platform/registry_store.h"

namespace tillgate {

std::string InvalidDataTypeMessage(const std::string& value_name) {
  return "Invalid data type for '" + value_name + "'";
}

std::string FailedToSetMessage(const std::string& value_name) {
  return "Failed to set data for '" + value_name + "'";
}

}  // namespace tillgate

// Where things live on Windows: the state folder under the account's local
// application data (the service's under ProgramData), serial ports by their
// device names, the environment and the working folder read as UTF-16.

#include <windows.h>

#include <mutex>
#include <set>
#include <string>

#include "platform/locations.h"
#include "platform/paths.h"
#include "platform/win32/win32_text.h"

namespace tillgate {
namespace {

std::string Value(const EnvironmentReader& environment, const char* name) {
  const char* value = environment(name);
  return value ? value : "";
}

// The first of `names` that is set and not empty.
std::string FirstSet(const EnvironmentReader& environment,
                     std::initializer_list<const char*> names) {
  for (const char* name : names) {
    std::string value = Value(environment, name);
    if (!value.empty()) return value;
  }
  return std::string();
}

std::string Joined(std::string folder, const char* name) {
  if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
  return folder + name;
}

// The variable as UTF-8, kept for the rest of the process: readers get a
// pointer, as from getenv, that stays valid even when the value changes.
const char* ReadVariable(const char* name) {
  std::wstring wide_name;
  if (!WideFromUtf8(name, &wide_name)) return nullptr;
  const DWORD size = GetEnvironmentVariableW(wide_name.c_str(), nullptr, 0);
  if (size == 0) return nullptr;  // not set
  std::wstring value(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(wide_name.c_str(), value.data(), size);
  if (length >= size) return nullptr;  // changed meanwhile: taken as not set
  value.resize(length);
  static std::mutex mutex;
  static std::set<std::string>* values = new std::set<std::string>;
  std::lock_guard<std::mutex> lock(mutex);
  return values->insert(Utf8FromWide(value)).first->c_str();
}

}  // namespace

EnvironmentReader SystemEnvironment() { return ReadVariable; }

std::string SettingsFilePath(const EnvironmentReader& environment) {
  const std::string explicit_path = Value(environment, "TILLGATE_REGISTRY");
  if (!explicit_path.empty()) return explicit_path;
  std::string config = Value(environment, "XDG_CONFIG_HOME");
  if (config.empty()) {
    const std::string home = FirstSet(environment, {"HOME", "USERPROFILE"});
    config = home.empty() ? ".config" : Joined(home, ".config");
  }
  return Joined(Joined(config, "tillgate"), "HKEY_CURRENT_USER.reg");
}

// Without the usual variables the folder is still somewhere the journal
// can be kept: never silently off.
std::string StateFolderPath(const EnvironmentReader& environment, Runner runner) {
  const std::string explicit_folder = Value(environment, "TILLGATE_STATE_DIR");
  if (!explicit_folder.empty()) return explicit_folder;
  if (runner == Runner::kService) {
    const std::string common = FirstSet(environment, {"ProgramData", "ALLUSERSPROFILE"});
    if (!common.empty()) return Joined(common, "Tillgate");
  } else {
    const std::string local = Value(environment, "LOCALAPPDATA");
    if (!local.empty()) return Joined(local, "Tillgate");
    const std::string profile = Value(environment, "USERPROFILE");
    if (!profile.empty()) return Joined(profile, "AppData\\Local\\Tillgate");
  }
  return "tillgate-state";
}

PathStyle SystemPathStyle() { return PathStyle::kWindows; }

// The device namespace opens every port, COM10 to COM16 too.
std::string DefaultDevicePath(int port_index) {
  if (port_index < 0 || port_index > 15) return std::string();
  return "\\\\.\\COM" + std::to_string(port_index + 1);
}

std::string WorkingFolder() {
  const DWORD size = GetCurrentDirectoryW(0, nullptr);
  if (size == 0) return ".";
  std::wstring folder(size, L'\0');
  const DWORD length = GetCurrentDirectoryW(size, folder.data());
  if (length == 0 || length >= size) return ".";
  folder.resize(length);
  return Utf8FromWide(folder);
}

}  // namespace tillgate

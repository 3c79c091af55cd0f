#include "app/headless/settings_source.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "app/headless/check.h"
#include "platform/memory_file_system.h"

namespace tillgate {
namespace {

EnvironmentReader Environment(std::map<std::string, std::string> values) {
  return [values = std::move(values)](const char* name) -> const char* {
    auto found = values.find(name);
    return found == values.end() ? nullptr : found->second.c_str();
  };
}

// $TILLGATE_REGISTRY wins everywhere; otherwise the registry where the
// system has one (the user's for a console, the machine's for the
// service), else the settings file. Each source names itself as the
// server's lines and --check name it.
TEST(SettingsSource, WhatTheServerReads) {
  const SettingsSource given =
      SettingsSource::ForServer(Environment({{"TILLGATE_REGISTRY", "shop.reg"}}), Runner::kService);
  EXPECT_TRUE(given.IsFile());
  EXPECT_EQ(given.Name(), "settings file shop.reg");

  const EnvironmentReader plain = Environment({{"HOME", "/home/kassa"}});
  const SettingsSource console = SettingsSource::ForServer(plain, Runner::kConsole);
  const SettingsSource service = SettingsSource::ForServer(plain, Runner::kService);
  if (OpenSystemRegistry(RegistryRoot::kCurrentUser) != nullptr) {
    EXPECT_FALSE(console.IsFile());
    EXPECT_EQ(console.Name(), "registry key HKEY_CURRENT_USER\\Tillgate");
    EXPECT_EQ(service.Where(), "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tillgate");
  } else {
    EXPECT_TRUE(console.IsFile());
    EXPECT_EQ(console.Where(), SettingsFilePath(plain));
    EXPECT_EQ(service.Where(), console.Where());
  }
}

// Not installed: a settings file that is not there is told apart from one
// without the key; the registry says which key it lacks.
TEST(SettingsSource, WhyNotInstalled) {
  MemoryFileSystem files;
  files.Put("empty.reg", "");
  EXPECT_EQ(NotInstalledReason(files, SettingsSource("empty.reg")),
            "the settings file has no key Tillgate (not installed): no port is served");
  EXPECT_NE(
      NotInstalledReason(files, SettingsSource("missing.reg")).find("settings file missing.reg: "),
      std::string::npos);
  EXPECT_EQ(
      NotInstalledReason(files, SettingsSource::Registry(RegistryRoot::kLocalMachineSoftware)),
      "the registry has no key HKEY_LOCAL_MACHINE\\SOFTWARE\\Tillgate (not installed): no "
      "port is served");
}

}  // namespace
}  // namespace tillgate

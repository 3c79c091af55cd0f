// What keeps the server from starting, told once with its reason and an
// exit status the service does not restart on; everything the running
// server copes with passes.

#include "app/headless/settings_check.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/headless/headless_child.h"
#include "config/event_collector.h"
#include "store/store_test_util.h"

namespace tillgate {
namespace {

// Equipment values written into a scratch shop's settings file.
constexpr char kMissingDevice[] = "\"COM1\"=hex:01,01,01\n\"DEVICE1\"=\"/dev/tillgate-none\"\n";

TEST(SettingsCheck, OnlySettingsTheServerCannotStartWithAreFatal) {
  // No goods file, a serial device not there, no state folder: the server
  // starts and serves each once it is there.
  ScratchShop usable(kMissingDevice, "/nonexistent/shop");
  EventCollector quiet;
  EXPECT_EQ(RunSettingsCheck(usable.Registry(), usable.Dir(), &quiet), 0);
  // Not installed: the server runs, says so and serves nothing.
  EXPECT_EQ(RunSettingsCheck(usable.Dir() + "/no-such.reg", usable.Dir(), &quiet), 0);
  ScratchShop no_key("");
  testing::WriteFile(no_key.Registry(), "Windows Registry Editor Version 5.00\n\n");
  EXPECT_EQ(RunSettingsCheck(no_key.Registry(), no_key.Dir(), &quiet), 0);
  EXPECT_TRUE(quiet.Events().empty());

  ScratchShop wrong_type("\"COM3\"=\"text\"\n");
  EventCollector events;
  EXPECT_EQ(RunSettingsCheck(wrong_type.Registry(), wrong_type.Dir(), &events),
            kExitSettingsRefused);
  ASSERT_EQ(events.Events().size(), 1u);
  EXPECT_EQ(events.Events()[0].severity, Severity::kError);
  EXPECT_EQ(events.Events()[0].text,
            "settings file " + wrong_type.Registry() +
                ": Invalid data type for 'COM3' (the server cannot start with these "
                "settings; mend them and start it again)");

  // One that cannot be parsed names its line; one that cannot be read
  // (here a folder where the file should be) its reason. The file is named
  // once.
  ScratchShop broken("");
  testing::WriteFile(broken.Registry(), "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT");
  EventCollector parse;
  EXPECT_EQ(RunSettingsCheck(broken.Registry(), broken.Dir(), &parse), kExitSettingsRefused);
  ASSERT_EQ(parse.Events().size(), 1u);
  EXPECT_EQ(parse.Events()[0].text,
            broken.Registry() +
                ": Registry file line 3: key line without closing ']' (the server cannot start "
                "with these settings; mend them and start it again)");
  std::filesystem::remove(broken.Registry());
  std::filesystem::create_directory(broken.Registry());
  EventCollector unreadable;
  EXPECT_EQ(RunSettingsCheck(broken.Registry(), broken.Dir(), &unreadable), kExitSettingsRefused);
  ASSERT_EQ(unreadable.Events().size(), 1u);
  EXPECT_NE(unreadable.Events()[0].text.find(broken.Registry()), std::string::npos);
}

// The programs: the check before the start and the server itself end with
// the status the service does not restart on; the check is silent when the
// server can start.
TEST(SettingsCheck, TheCheckAndTheServerExitWithTheStatusTheServiceKeepsFailed) {
  ScratchShop wrong_type("\"COM3\"=\"text\"\n");
  HeadlessChild check(wrong_type.Registry(), {"--check-settings"}, {}, "tillgate-headless");
  EXPECT_NE(check.ReadAll(10).find("error: settings file " + wrong_type.Registry() +
                                   ": Invalid data type for 'COM3'"),
            std::string::npos)
      << check.Output();
  EXPECT_EQ(check.Wait(5), kExitSettingsRefused);
  HeadlessChild server(wrong_type.Registry(), {}, {}, "tillgate-headless");
  EXPECT_TRUE(server.WaitFor("Invalid data type for 'COM3'", 10)) << server.Output();
  EXPECT_EQ(server.Wait(10), kExitSettingsRefused);

  ScratchShop usable(kMissingDevice);
  HeadlessChild fine(usable.Registry(), {"--check-settings"}, {}, "tillgate-headless");
  EXPECT_EQ(fine.ReadAll(10), "");
  EXPECT_EQ(fine.Wait(5), 0);
  EXPECT_FALSE(std::filesystem::exists(usable.Dir() + "/state"));  // it writes nothing
}

}  // namespace
}  // namespace tillgate

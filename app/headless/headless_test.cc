// The headless program run as a child process against a registry file and a
// pseudo-terminal with registers on it.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "app/headless/headless_child.h"
#include "app/headless/settings_check.h"
#include "app/headless/stderr_sink.h"
#include "config/utf16.h"
#include "line/register_peer.h"

namespace tillgate {
namespace {

using Child = HeadlessChild;
using Scratch = ScratchShop;

TEST(Headless, ServesTheStoredSelectionAndStopsCleanly) {
  RegisterPeer peer;
  ASSERT_TRUE(peer.ok());
  peer.SetAnswering({2});
  Scratch scratch("\"COM1\"=hex:01,01,01\n\"DEVICE1\"=\"" + peer.DevicePath() +
                  "\"\n\"COM2\"=hex:01,01,03\n\"DEVICE2\"=\"/dev/tillgate-none\"\n");
  Child child(scratch.Registry());
  ASSERT_TRUE(child.ok());
  EXPECT_TRUE(child.WaitFor("register 2 answered the start command", 20)) << child.Output();
  EXPECT_TRUE(child.WaitFor("COM2 (/dev/tillgate-none): port failed to open: ", 1))
      << child.Output();
  // COM2 is started but talks to no register: it is named apart.
  EXPECT_TRUE(child.WaitFor("start: polling COM1; no open port: COM2", 1)) << child.Output();
  // Register 2 stays in the rotation and gets poll bytes.
  for (int i = 0; i < 200 && peer.Served().size() < 13; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_GE(peer.Served().size(), 13u);
  child.Signal(ProcessSignal::kTerminate);
  EXPECT_EQ(child.Wait(10), 0);
  EXPECT_TRUE(child.WaitFor("stopped", 1)) << child.Output();
  EXPECT_TRUE(std::filesystem::exists(scratch.Dir() + "/otchet.dbf"));
}

TEST(Headless, AGoneReaderOfItsEventLinesDoesNotStopTheServer) {
  RegisterPeer peer;
  ASSERT_TRUE(peer.ok());
  peer.SetAnswering({3});
  Scratch scratch("\"COM1\"=hex:01,01,01\n\"DEVICE1\"=\"" + peer.DevicePath() + "\"\n");
  Child child(scratch.Registry());
  ASSERT_TRUE(child.ok());
  child.CloseOutput();
  // Register 3 answers the start command (an event line) and is polled on.
  for (int i = 0; i < 300 && peer.Served().size() < 13; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_GE(peer.Served().size(), 13u);
  child.Signal(ProcessSignal::kTerminate);
  EXPECT_EQ(child.Wait(10), 0);
}

TEST(Headless, ASettingsFailureIsShownAndEndsTheProgram) {
  Scratch scratch("\"COM3\"=\"text\"\n");
  Child child(scratch.Registry());
  ASSERT_TRUE(child.ok());
  EXPECT_EQ(child.Wait(10), kExitSettingsRefused);
  EXPECT_TRUE(child.WaitFor("Invalid data type for 'COM3'", 1)) << child.Output();
}

TEST(StderrSink, EveryEventIsOneLineWithItsLevel) {
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  StderrSink sink(out, EventLineStyle::kStamped);
  Report(&sink, "COM1: register 2 answered\nforged line\r");
  Report(&sink, Severity::kError, "report append failed");
  std::rewind(out);
  char line[256] = {};
  ASSERT_NE(std::fgets(line, sizeof line, out), nullptr);
  std::string text(line);
  EXPECT_NE(text.find(" tillgate: info: COM1: register 2 answered forged line \n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text[4], '-');  // a date first
  ASSERT_NE(std::fgets(line, sizeof line, out), nullptr);
  EXPECT_NE(std::string(line).find(" tillgate: error: report append failed\n"), std::string::npos)
      << line;
  EXPECT_EQ(std::fgets(line, sizeof line, out), nullptr);
  std::fclose(out);
}

TEST(StderrSink, TheJournalGetsPriorityPrefixesAndNoTimeStamp) {
  const std::chrono::system_clock::time_point now{std::chrono::seconds(1'000'000'000)};
  const std::pair<Severity, const char*> cases[] = {{Severity::kError, "<3>"},
                                                    {Severity::kWarning, "<4>"},
                                                    {Severity::kNotice, "<5>"},
                                                    {Severity::kInfo, "<6>"}};
  for (const auto& [severity, prefix] : cases) {
    EventLine event{severity, "goods folder\tgone", {}, false};
    EXPECT_EQ(FormatEventLine(event, EventLineStyle::kJournal, now),
              std::string(prefix) + "goods folder gone\n");
  }
  // Bytes from a wire that are not UTF-8 (a register's serial number) would
  // make the journal keep the whole line as "blob data" that journalctl does
  // not show: they are written as \xNN, and the unprintable DEL and C1
  // controls as spaces. Other text stays as it is.
  EventLine odd{
      Severity::kInfo, "COM1: serial number 03\x80\xFF\xD0 \x7F\xC2\x85 Товары", {}, false};
  for (const EventLineStyle style : {EventLineStyle::kJournal, EventLineStyle::kStamped}) {
    const std::string line = FormatEventLine(odd, style, now);
    EXPECT_TRUE(IsValidUtf8(line)) << line;
    EXPECT_NE(line.find("COM1: serial number 03\\x80\\xFF\\xD0    Товары\n"), std::string::npos)
        << line;
  }
}

}  // namespace
}  // namespace tillgate

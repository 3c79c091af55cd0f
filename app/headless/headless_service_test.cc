// The headless program as a service runs it: the service manager told when
// it is ready and when it stops, journal priority prefixes, SIGHUP as the
// Start action, folders reported missing once and again when they return,
// and --check, --version and --help.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "app/headless/headless_child.h"
#include "app/headless/service_status.h"
#include "line/register_peer.h"
#include "platform/platform.h"
#include "platform/posix/service_manager_socket.h"
#include "store/journal.h"
#include "store/journal_entries.h"
#include "store/store_test_util.h"

namespace tillgate {
namespace {

using testing::DbfImage;
using testing::GoodsFields;
using testing::GoodsRow;
using testing::WriteFile;

// The service manager's end of NOTIFY_SOCKET, waited on in seconds.
class NotifySocket {
 public:
  explicit NotifySocket(const std::string& path) : socket_(path) {}
  bool ok() const { return socket_.ok(); }
  bool WaitFor(const std::string& text, int seconds) {
    return socket_.WaitFor(text, seconds * 1000);
  }
  const std::string& Received() const { return socket_.Received(); }
  void Clear() { socket_.Clear(); }

 private:
  testing::ServiceManagerSocket socket_;
};

void Pause(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

int Count(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

std::string Line(const RegisterPeer& peer) {
  return "\"COM1\"=hex:01,01,01\n\"DEVICE1\"=\"" + peer.DevicePath() + "\"\n";
}

TEST(HeadlessService, TheServiceManagerHearsReadyOnceTheLinesAreUpAndStopping) {
  RegisterPeer peer;
  ASSERT_TRUE(peer.ok());
  // COM2's device is not there: its line exists, but it serves nothing, and
  // "systemctl status" must not count it among the lines up.
  ScratchShop shop(Line(peer) + "\"COM2\"=hex:01,01,01\n\"DEVICE2\"=\"/dev/tillgate-none\"\n");
  NotifySocket manager(shop.Dir() + "/notify");
  ASSERT_TRUE(manager.ok());
  HeadlessChild child(shop.Registry(), {}, {"NOTIFY_SOCKET=" + shop.Dir() + "/notify"});
  ASSERT_TRUE(child.ok());
  ASSERT_TRUE(manager.WaitFor("READY=1", 20)) << manager.Received();
  EXPECT_NE(manager.Received().find("STATUS=running, lines COM1; port failed to open: COM2\n"),
            std::string::npos)
      << manager.Received();
  // The port was opened before the manager heard of it.
  EXPECT_TRUE(child.WaitFor("COM1 (" + peer.DevicePath() + "): port opened", 1)) << child.Output();
  child.Signal(ProcessSignal::kTerminate);
  EXPECT_TRUE(manager.WaitFor("STOPPING=1", 10)) << manager.Received();
  EXPECT_EQ(child.Wait(10), 0);
}

// "systemctl status" follows the lines: a port that a rescan opens joins
// the lines served, one that hangs up is named apart.
TEST(HeadlessService, TheServiceStatusFollowsTheLines) {
  ScratchShop shop("\"COM1\"=hex:01,01,01\n\"RESCAN\"=dword:00000001\n");
  const std::string device = shop.Dir() + "/ttyUSB0";
  {
    std::ofstream out(shop.Registry(), std::ios::app);
    out << "\"DEVICE1\"=\"" << device << "\"\n";
  }
  NotifySocket manager(shop.Dir() + "/notify");
  ASSERT_TRUE(manager.ok());
  HeadlessChild child(shop.Registry(), {}, {"NOTIFY_SOCKET=" + shop.Dir() + "/notify"});
  ASSERT_TRUE(child.ok());
  ASSERT_TRUE(manager.WaitFor("READY=1", 20)) << manager.Received();
  EXPECT_NE(manager.Received().find("STATUS=running, no line; port failed to open: COM1\n"),
            std::string::npos)
      << manager.Received();
  auto peer = std::make_unique<RegisterPeer>();
  ASSERT_TRUE(peer->ok());
  peer->SetAnswering({2});
  std::filesystem::create_symlink(peer->DevicePath(), device);
  EXPECT_TRUE(manager.WaitFor("STATUS=running, lines COM1\n", 10)) << manager.Received();
  ASSERT_TRUE(child.WaitFor("register 2 answered the start command", 10)) << child.Output();
  manager.Clear();
  std::filesystem::remove(device);
  peer.reset();  // the line hangs up; its rescans then find no device
  EXPECT_TRUE(manager.WaitFor("STATUS=running, no line; port", 10))
      << manager.Received() << child.Output();
  child.Signal(ProcessSignal::kTerminate);
  EXPECT_EQ(child.Wait(10), 0);
}

TEST(ServiceStatusText, NamesTheLinesServedAndEachOtherApart) {
  StatusBoard board;
  EXPECT_EQ(ServiceStatusText(board.Snapshot()), "running, no line");
  board.SetPortHealth(0, PortHealth::kOpen);
  board.SetPortHealth(2, PortHealth::kFailing, "read: Input/output error");
  board.SetPortHealth(3, PortHealth::kOpenFailed, "port failed to open: x");
  board.SetPortHealth(4, PortHealth::kClosed, "port closed: y");
  board.SetPortHealth(5, PortHealth::kOpen);
  EXPECT_EQ(ServiceStatusText(board.Snapshot()),
            "running, lines COM1, COM3, COM6; transfers failing: COM3; port failed to open: COM4; "
            "port closed: COM5");
}

TEST(HeadlessService, IntoTheJournalLinesCarryPrioritiesInsteadOfTimes) {
  ScratchShop shop("");
  HeadlessChild child(shop.Registry(), {}, {"JOURNAL_STREAM=@OUTPUT@"});
  ASSERT_TRUE(child.ok());
  ASSERT_TRUE(child.WaitFor("<6>settings from " + shop.Registry() + "\n", 10)) << child.Output();
  Pause(300);  // its signal handling is set up right after that line
  child.Signal(ProcessSignal::kTerminate);
  EXPECT_EQ(child.Wait(10), 0);
  // The store says what its journal keeps for the next start before the end.
  EXPECT_TRUE(
      child.WaitFor("<5>stopping on SIGTERM\n<5>stop: the journal keeps 0 open "
                    "operation(s) and 0 waiting row(s) for the next start\n<5>stopped\n",
                    1))
      << child.Output();
  EXPECT_EQ(child.Output().find(" tillgate: "), std::string::npos) << child.Output();
}

TEST(HeadlessService, SighupRunsTheStartActionWithTheStoredSelection) {
  RegisterPeer peer;
  ASSERT_TRUE(peer.ok());
  peer.SetAnswering({2});
  ScratchShop shop(Line(peer));
  HeadlessChild child(shop.Registry());
  ASSERT_TRUE(child.ok());
  ASSERT_TRUE(child.WaitFor("register 2 answered the start command", 20)) << child.Output();
  peer.ClearServed();
  child.Signal(ProcessSignal::kHangUp);
  EXPECT_TRUE(child.WaitFor("SIGHUP: Start with the stored start selection", 5)) << child.Output();
  // Every register of the line gets the start command again.
  for (int i = 0; i < 100 && Count(child.Output(), "answered the start command") < 2; ++i)
    child.Drain(100);
  EXPECT_EQ(Count(child.Output(), "register 2 answered the start command"), 2) << child.Output();
  EXPECT_EQ(Count(child.Output(), "start: polling COM1"), 2) << child.Output();
  const auto served = peer.Served();
  EXPECT_NE(std::find(served.begin(), served.end(), "start 2"), served.end());
  child.Signal(ProcessSignal::kTerminate);
  EXPECT_EQ(child.Wait(10), 0);
}

TEST(HeadlessService, SighupStartsARegisterSwitchedOnLateAndTheTraceShowsIt) {
  RegisterPeer peer;  // every register still off
  ASSERT_TRUE(peer.ok());
  ScratchShop shop(Line(peer));
  const std::string traces = shop.Dir() + "/traces";
  HeadlessChild child(shop.Registry(), {"--headless", "--trace=1", "--trace-dir=" + traces});
  ASSERT_TRUE(child.ok());
  EXPECT_TRUE(child.WaitFor("protocol traces go to " + traces, 10)) << child.Output();
  // The first sweep ends with register 1.
  ASSERT_TRUE(child.WaitFor("register 1 did not answer the start command", 20)) << child.Output();
  child.Drain(200);
  peer.ClearServed();
  peer.SetAnswering({4});
  child.Drain(1000);
  EXPECT_TRUE(peer.Served().empty());  // every register dropped: nobody is asked
  child.Signal(ProcessSignal::kHangUp);
  EXPECT_TRUE(child.WaitFor("register 4 answered the start command", 10)) << child.Output();
  for (int i = 0; i < 100; ++i) {
    const auto served = peer.Served();
    if (std::find(served.begin(), served.end(), "poll 4") != served.end()) break;
    Pause(20);
  }
  child.Signal(ProcessSignal::kTerminate);
  EXPECT_EQ(child.Wait(10), 0);
  const std::string trace = testing::ReadFile(traces + "/COM1.trace");
  EXPECT_NE(trace.find(" > 04 30 03 00 61 9F start command to register 4\n"), std::string::npos)
      << trace;
  EXPECT_NE(trace.find(" > 14 poll byte for register 4\n"), std::string::npos) << trace;
}

TEST(HeadlessService, AMissingFolderIsReportedOnceAndAgainWhenItIsBack) {
  testing::ScratchDir base;
  const std::string folder = base.File("shop");
  ScratchShop shop("", folder);
  HeadlessChild child(shop.Registry());
  ASSERT_TRUE(child.ok());
  const std::string missing =
      "error: goods folder (InPath) " + folder + ": No such file or directory";
  EXPECT_TRUE(child.WaitFor(missing, 10)) << child.Output();
  EXPECT_TRUE(child.WaitFor("error: report folder (OutPath) " + folder, 1)) << child.Output();
  child.Drain(5000);  // two checks at least while it is still missing
  EXPECT_EQ(Count(child.Output(), missing), 1) << child.Output();
  ASSERT_TRUE(std::filesystem::create_directory(folder));
  EXPECT_TRUE(child.WaitFor("notice: goods folder (InPath) " + folder + " is usable again", 10))
      << child.Output();
  child.Signal(ProcessSignal::kTerminate);
  EXPECT_EQ(child.Wait(10), 0);
}

TEST(HeadlessService, AWindowsFolderIsNamedAsSuch) {
  ScratchShop shop("", "D:\\\\Shop");
  HeadlessChild child(shop.Registry());
  ASSERT_TRUE(child.ok());
  EXPECT_TRUE(
      child.WaitFor("goods folder (InPath) \"D:\\Shop\" is a Windows path: set a local "
                    "folder such as /srv/shop/goods in the settings file",
                    10))
      << child.Output();
  Pause(300);
  child.Signal(ProcessSignal::kTerminate);
  EXPECT_EQ(child.Wait(10), 0);
}

TEST(HeadlessService, TheSettingsFileIsNeverWritten) {
  // Installed, but without the keys a load would otherwise create.
  ScratchShop shop("");
  const std::string settings = "REGEDIT4\n[HKEY_CURRENT_USER\\Tillgate]\n";
  WriteFile(shop.Registry(), settings);
  for (const char* option : {"--headless", "--check"}) {
    HeadlessChild child(shop.Registry(), {option});
    ASSERT_TRUE(child.ok());
    if (std::string(option) == "--headless") {
      ASSERT_TRUE(child.WaitFor("settings from", 10)) << child.Output();
      Pause(300);
      child.Signal(ProcessSignal::kTerminate);
    }
    child.Wait(10);
    EXPECT_EQ(testing::ReadFile(shop.Registry()), settings) << option;
  }
}

TEST(HeadlessCheck, AGoodShopPassesAndEachProblemIsNamed) {
  RegisterPeer peer;
  ASSERT_TRUE(peer.ok());
  ScratchShop shop(Line(peer) + "\"COM3\"=hex:01,00,00\n\"COM4\"=hex:01,01,02\n");
  DbfImage goods{GoodsFields(), {GoodsRow("101", "Bread", "45.90", "1", "", "10")}};
  WriteFile(shop.Dir() + "/tovars.dbf", goods.Bytes());
  {
    HeadlessChild check(shop.Registry(), {"--check"});
    const std::string& out = check.ReadAll(10);
    EXPECT_EQ(check.Wait(5), 1) << out;
    EXPECT_NE(out.find("goods file " + shop.Dir() +
                       "/tovars.dbf: 1 records; CODE C13, "
                       "NAME C30, PRICE N10.2, DIVNUM C2, SH_CODE C13, RES N10.3"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("COM1: connected, started, model 1"), std::string::npos) << out;
    EXPECT_NE(out.find("problem: COM3 is connected but has no register model"), std::string::npos)
        << out;
    EXPECT_NE(out.find("problem: COM4 device /dev/ttyS3"), std::string::npos) << out;
    EXPECT_NE(out.find("2 problem(s) found"), std::string::npos) << out;
    EXPECT_EQ(out.find("problem: COM1"), std::string::npos) << out;
  }
  // Only COM1 left: nothing wrong. The check opened no port: the line saw
  // no start command.
  ScratchShop good(Line(peer));
  WriteFile(good.Dir() + "/tovars.dbf", goods.Bytes());
  HeadlessChild check(good.Registry(), {"--check"});
  const std::string& out = check.ReadAll(10);
  EXPECT_EQ(check.Wait(5), 0) << out;
  EXPECT_NE(out.find("no problem found"), std::string::npos) << out;
  EXPECT_TRUE(peer.Served().empty());
}

// The check says where the journal is and what it keeps, beside a
// running server too, without taking its lock or changing a byte of it.
TEST(HeadlessCheck, TheStateFolderAndItsJournalAreOnlyLookedAt) {
  RegisterPeer peer;
  ASSERT_TRUE(peer.ok());
  ScratchShop shop(Line(peer) + "\"QUICK1\"=dword:00000001\n\"RESCAN\"=dword:0000001e\n");
  DbfImage goods{GoodsFields(), {GoodsRow("101", "Bread", "45.90", "1", "", "10")}};
  WriteFile(shop.Dir() + "/tovars.dbf", goods.Bytes());
  const std::string state = shop.Dir() + "/state";
  const std::string journal = state + "/journal";
  // Whether the check's report holds `line`, with the exit status it wants.
  const auto check_says = [&shop](const std::string& line, int status) {
    HeadlessChild check(shop.Registry(), {"--check"});
    const std::string out = check.ReadAll(10);
    EXPECT_EQ(check.Wait(5), status) << out;
    return ::testing::AssertionResult(out.find(line) != std::string::npos) << out;
  };
  EXPECT_TRUE(check_says("rescan (RESCAN): every 30 s\n", 0));
  EXPECT_TRUE(check_says("code length 0, QUICK1 on, STRICT1 off\n", 0));
  EXPECT_TRUE(check_says("state folder: " + state + "\n", 0));
  EXPECT_TRUE(check_says("journal " + journal + ": none yet (made at the first start)\n", 0));
  // Left by a server that stopped with a document open and rows waiting.
  {
    Journal kept(&SystemFileSystem(), state);
    JournalRecovery recovery;
    ASSERT_TRUE(kept.Open(&recovery).ok());
    JournalOperation sale;
    sale.id = 1;
    sale.record.network_number = 2;
    JournalDocument closed{2, {}, std::vector<ReportRecordBytes>(2)};
    for (ReportRecordBytes& row : closed.rows) row.fill(' ');
    ASSERT_TRUE(kept.Append({EncodeEntry(sale), EncodeEntry(closed)}).ok());
  }
  const std::string bytes = testing::ReadFile(journal);
  EXPECT_TRUE(check_says(
      "journal " + journal + ": 1 open operation(s) and 2 waiting row(s) for the next start\n", 0));
  EXPECT_EQ(testing::ReadFile(journal), bytes);
  HeadlessChild server(shop.Registry());
  ASSERT_TRUE(server.WaitFor("2 waiting row(s) from the journal written to otchet.dbf", 10))
      << server.Output();
  EXPECT_TRUE(check_says("journal " + journal +
                             ": in use by a running server; 1 open operation(s) and 0 "
                             "waiting row(s)\n",
                         0));
  // The server kept its journal through the check.
  {
    Journal other(&SystemFileSystem(), state);
    JournalRecovery ignored;
    EXPECT_EQ(other.Open(&ignored), Status::kBusy);
  }
  server.Signal(ProcessSignal::kTerminate);
  EXPECT_EQ(server.Wait(10), 0);
  EXPECT_TRUE(server.WaitFor("stop: the journal keeps 1 open operation(s) and 0 waiting row(s)", 1))
      << server.Output();
  EXPECT_EQ(server.Output().find("held by another"), std::string::npos) << server.Output();

  // What the next start would have to keep aside is a problem; the file
  // stays as it is.
  WriteFile(journal, "this is no journal");
  EXPECT_TRUE(check_says(
      "problem: journal " + journal + " is not a journal file; it is kept aside at the next start",
      1));
  EXPECT_EQ(testing::ReadFile(journal), "this is no journal");
  // A state folder where none can be.
  std::filesystem::remove_all(state);
  WriteFile(state, "");
  EXPECT_TRUE(check_says("problem: state folder " + state +
                             ": not a folder (no journal of open documents can be kept: "
                             "every goods message would be refused)",
                         1));
}

TEST(HeadlessCheck, FoldersGoodsFileAndSettingsProblems) {
  ScratchShop windows("", "C:\\\\Shop");
  HeadlessChild a(windows.Registry(), {"--check"});
  EXPECT_NE(a.ReadAll(10).find("problem: goods folder (InPath) \"C:\\Shop\" is a Windows path"),
            std::string::npos)
      << a.Output();
  EXPECT_EQ(a.Wait(5), 1);

  ScratchShop no_goods("");
  HeadlessChild b(no_goods.Registry(), {"--check"});
  EXPECT_NE(b.ReadAll(10).find("problem: goods file " + no_goods.Dir() +
                               "/tovars.dbf: No such file or directory"),
            std::string::npos)
      << b.Output();
  EXPECT_EQ(b.Wait(5), 1);

  ScratchShop damaged("");
  DbfImage no_divnum{{{"CODE", 'C', 6}, {"NAME", 'C', 20}, {"PRICE", 'N', 8, 2}}, {}};
  WriteFile(damaged.Dir() + "/tovars.dbf", no_divnum.Bytes());
  HeadlessChild c(damaged.Registry(), {"--check"});
  EXPECT_NE(c.ReadAll(10).find("/tovars.dbf is refused: field DIVNUM is missing"),
            std::string::npos)
      << c.Output();
  EXPECT_EQ(c.Wait(5), 1);

  // A settings file that is not there (a mistyped TILLGATE_REGISTRY) is
  // named as missing, not taken for a file without the key Tillgate; the
  // server itself warns that it serves nothing.
  const std::string nowhere = no_goods.Dir() + "/no-such.reg";
  HeadlessChild missing(nowhere, {"--check"});
  EXPECT_NE(missing.ReadAll(10).find("problem: settings file " + nowhere +
                                     ": No such file or directory (not installed: no port is "
                                     "served)"),
            std::string::npos)
      << missing.Output();
  EXPECT_EQ(missing.Wait(5), 1);
  HeadlessChild server(nowhere);
  EXPECT_TRUE(server.WaitFor("warning: settings file " + nowhere +
                                 ": No such file or directory (not installed: no port is served)",
                             10))
      << server.Output();

  ScratchShop wrong_type("\"COM3\"=\"text\"\n");
  HeadlessChild d(wrong_type.Registry(), {"--check"});
  EXPECT_NE(d.ReadAll(10).find("problem: Invalid data type for 'COM3'"), std::string::npos)
      << d.Output();
  EXPECT_EQ(d.Wait(5), 1);
}

TEST(HeadlessCommandLine, VersionHelpAndMistakes) {
  ScratchShop shop("");
  HeadlessChild version(shop.Registry(), {"--version"});
  EXPECT_EQ(version.ReadAll(10), std::string("tillgate ") + TILLGATE_VERSION_TEXT + "\n");
  EXPECT_EQ(version.Wait(5), 0);
  // Its usage names the program as it was started.
  HeadlessChild help(shop.Registry(), {"--help"}, {}, "/usr/bin/tillgate-headless");
  EXPECT_EQ(help.ReadAll(10).find("usage: tillgate-headless [--check"), 0u) << help.Output();
  EXPECT_EQ(help.Output().find("tillgate --headless"), std::string::npos) << help.Output();
  EXPECT_EQ(help.Wait(5), 0);
  HeadlessChild as_tillgate(shop.Registry(), {"--headless", "--help"}, {}, "tillgate");
  EXPECT_EQ(as_tillgate.ReadAll(10).find("usage: tillgate --headless [--check"), 0u)
      << as_tillgate.Output();
  HeadlessChild wrong(shop.Registry(), {"--bogus"});
  EXPECT_NE(wrong.ReadAll(10).find("unknown argument '--bogus'"), std::string::npos);
  EXPECT_EQ(wrong.Wait(5), 2);
  HeadlessChild bad_trace(shop.Registry(), {"--headless", "--trace=1,17"});
  EXPECT_NE(bad_trace.ReadAll(10).find("--trace needs port numbers 1 to 16 separated by commas, "
                                       "or all, not '1,17'"),
            std::string::npos)
      << bad_trace.Output();
  EXPECT_EQ(bad_trace.Wait(5), 2);
}

// Where the settings are a file, --import and --export have no registry to
// fill or read and say so; a missing file name is a command-line mistake.
TEST(HeadlessCommandLine, ImportAndExportNeedARegistry) {
  ScratchShop shop("");
  HeadlessChild import(shop.Registry(), {"--import", shop.Dir() + "/other.reg"});
  EXPECT_NE(import.ReadAll(10).find("--import: the settings are kept in the settings file " +
                                    shop.Registry() + ": copy the file there instead"),
            std::string::npos)
      << import.Output();
  EXPECT_EQ(import.Wait(5), 1);
  HeadlessChild bare(shop.Registry(), {"--export"});
  EXPECT_NE(bare.ReadAll(10).find("--export needs a file name"), std::string::npos)
      << bare.Output();
  EXPECT_EQ(bare.Wait(5), 2);
}

}  // namespace
}  // namespace tillgate

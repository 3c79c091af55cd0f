// status.json: written at once, replaced every interval while the server
// runs and a last time when it stops; a reader never finds a part of one,
// and a file that cannot be written is told once and leaves the old one.

#include "engine/status_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "config/event_collector.h"
#include "platform/fault_file_system.h"
#include "platform/paths.h"
#include "platform/platform.h"
#include "store/store_test_util.h"

namespace tillgate {
namespace {

using testing::FileExists;
using testing::ReadFile;
using testing::ScratchDir;

class StatusFileTest : public ::testing::Test {
 protected:
  StatusFileTest() : fs_(&SystemFileSystem()) {}
  std::unique_ptr<StatusFile> Make(std::chrono::milliseconds interval = std::chrono::hours(1)) {
    StatusFileOptions options;
    options.interval = interval;
    options.process_id = 4242;
    return std::make_unique<StatusFile>(board_, fs_, folder_, &events_, options);
  }
  std::string Read() { return ReadFile(JoinedPath(folder_, "status.json")); }

  ScratchDir dir_;
  // Not there yet: the status file makes it.
  std::string folder_ = dir_.File("state");
  FaultFileSystem fs_;
  StatusBoard board_;
  EventCollector events_;
};

TEST_F(StatusFileTest, WrittenAtOnceThenEveryIntervalAndALastTimeAtTheStop) {
  auto file = Make(std::chrono::milliseconds(20));
  file->Start();
  EXPECT_NE(Read().find("\"running\": true"), std::string::npos) << Read();
  EXPECT_NE(Read().find("\"pid\": 4242,"), std::string::npos) << Read();
  EXPECT_NE(Read().find("\"state\": 0"), std::string::npos);
  board_.SetPortState(0, 2);
  bool seen = false;
  for (int i = 0; i < 200 && !seen; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    seen = Read().find("\"number\": 1, \"name\": \"COM1\", \"device\": \"\", \"state\": 2") !=
           std::string::npos;
  }
  EXPECT_TRUE(seen) << Read();
  file->Stop();
  EXPECT_NE(Read().find("\"running\": false"), std::string::npos);
  file->Stop();  // twice is harmless
  EXPECT_FALSE(FileExists(JoinedPath(folder_, "status.json.new")));
  EXPECT_TRUE(events_.Events().empty());
}

TEST_F(StatusFileTest, AFileThatCannotBeWrittenLeavesTheOldOneAndIsToldOnce) {
  auto file = Make();
  ASSERT_TRUE(file->Write(true));
  const std::string before = Read();
  board_.SetPortState(2, 1);
  fs_.FailAlways(FsOp::kSync, "status.json.new", Status(Status::kNoSpace));
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(file->Write(true));
  EXPECT_EQ(Read(), before);
  EXPECT_FALSE(FileExists(JoinedPath(folder_, "status.json.new")));
  fs_.Clear();
  // One left behind by a write cut short is no obstacle.
  testing::WriteFile(JoinedPath(folder_, "status.json.new"), "{\"cut");
  EXPECT_TRUE(file->Write(true));
  EXPECT_NE(Read().find("\"number\": 3, \"name\": \"COM3\", \"device\": \"\", \"state\": 1"),
            std::string::npos);
  const std::vector<CollectedEvent> events = events_.Events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].text, "status file " + JoinedPath(folder_, "status.json") +
                                " cannot be written (No space left on device): "
                                "monitoring tools see an old one, or none");
  EXPECT_EQ(events[0].severity, Severity::kError);
  EXPECT_EQ(events[0].condition, "status file");
  EXPECT_EQ(events[1].text, "status file " + JoinedPath(folder_, "status.json") + " written again");
  EXPECT_TRUE(events[1].cleared);
}

// Two servers on one state folder: the first holds the lock file and
// writes; the second says so once and leaves the file alone until the
// first has gone, then takes it over. What they write is the owner's alone.
TEST_F(StatusFileTest, OnlyTheServerHoldingTheLockWritesTheFile) {
  board_.SetPortState(0, 2);
  auto first = Make(std::chrono::milliseconds(10));
  first->Start();
  StatusBoard other_board;
  EventCollector other_events;
  // Its own file system: the first one's thread uses fs_.
  StatusFile second(other_board, SystemFileSystem(), folder_, &other_events);
  const std::string first_port =
      "\"number\": 1, \"name\": \"COM1\", \"device\": \"\", \"state\": 2";
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(second.Write(true));
  // The first goes on writing all the while, and nothing else does.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_NE(Read().find(first_port), std::string::npos) << Read();
  EXPECT_NE(Read().find("\"running\": true"), std::string::npos);
  ASSERT_EQ(other_events.Events().size(), 1u);
  EXPECT_EQ(other_events.Events()[0].text,
            "status file " + JoinedPath(folder_, "status.json") +
                " is left to another server that runs with this state folder");
  EXPECT_EQ(other_events.Events()[0].severity, Severity::kWarning);
  EXPECT_TRUE(events_.Events().empty());

  // The first stops: its last file says so, and the second takes over.
  first->Stop();
  EXPECT_NE(Read().find("\"running\": false"), std::string::npos);
  EXPECT_TRUE(second.Write(true));
  EXPECT_EQ(Read().find(first_port), std::string::npos) << Read();
  EXPECT_NE(Read().find("\"running\": true"), std::string::npos);
  EXPECT_TRUE(other_events.Has("status.json written by this server now: the other one has gone"));
  EXPECT_FALSE(first->Write(true));  // now it is the first that must wait

#ifndef _WIN32
  for (const auto& [name, mode] :
       {std::pair{"", 0700}, std::pair{"/status.json", 0600}, std::pair{"/status.json.lock", 0600}})
    EXPECT_EQ(testing::PermissionBits(folder_ + name), mode) << name;
#endif
}

// A server that finds the journal held by another (one that predates the
// lock file, or won the journal in a start at the same moment) leaves the
// status file to that server, and lets go of the lock for it.
TEST_F(StatusFileTest, AServerWhoseJournalIsHeldElsewhereLeavesTheFileAlone) {
  std::filesystem::create_directories(folder_);
  testing::WriteFile(JoinedPath(folder_, "status.json"), "the other server's");
  auto file = Make();
  ASSERT_TRUE(file->Write(true));
  testing::WriteFile(JoinedPath(folder_, "status.json"), "the other server's");
  StoreStatus held;
  held.journal = JournalHealth::kHeld;
  board_.SetStore(held);
  EXPECT_FALSE(file->Write(true));
  EXPECT_FALSE(file->Write(true));
  EXPECT_EQ(Read(), "the other server's");
  EXPECT_EQ(events_.Count("is left to another server that runs with this state folder"), 1);
  LockFile journal_holder(&SystemFileSystem(), JoinedPath(folder_, "status.json.lock"));
  EXPECT_TRUE(journal_holder.Hold().ok());
  journal_holder.Release();
  held.journal = JournalHealth::kOk;
  board_.SetStore(held);
  EXPECT_TRUE(file->Write(true));
  EXPECT_TRUE(events_.Has("written by this server now"));
}

}  // namespace
}  // namespace tillgate

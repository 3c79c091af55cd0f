// status.json: written at once, replaced every interval while the server
// runs and a last time when it stops; a reader never finds a part of one,
// and a file that cannot be written is told once and leaves the old one.

#include "engine/status_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "config/event_collector.h"
#include "platform/fault_file_system.h"
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
  std::string Read() { return ReadFile(folder_ + "/status.json"); }

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
  EXPECT_FALSE(FileExists(folder_ + "/status.json.new"));
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
  EXPECT_FALSE(FileExists(folder_ + "/status.json.new"));
  fs_.Clear();
  // One left behind by a write cut short is no obstacle.
  testing::WriteFile(folder_ + "/status.json.new", "{\"cut");
  EXPECT_TRUE(file->Write(true));
  EXPECT_NE(Read().find("\"number\": 3, \"name\": \"COM3\", \"device\": \"\", \"state\": 1"),
            std::string::npos);
  const std::vector<CollectedEvent> events = events_.Events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].text, "status file " + folder_ +
                                "/status.json cannot be written (No space left on device): "
                                "monitoring tools see an old one, or none");
  EXPECT_EQ(events[0].severity, Severity::kError);
  EXPECT_EQ(events[0].condition, "status file");
  EXPECT_EQ(events[1].text, "status file " + folder_ + "/status.json written again");
  EXPECT_TRUE(events[1].cleared);
}

// Two servers on one state folder: the one holding the journal serves,
// and its status file is not overwritten by the other.
TEST_F(StatusFileTest, AServerWhoseJournalIsHeldElsewhereLeavesTheFileAlone) {
  std::filesystem::create_directories(folder_);
  testing::WriteFile(folder_ + "/status.json", "the other server's");
  StoreStatus held;
  held.journal = JournalHealth::kHeld;
  board_.SetStore(held);
  auto file = Make();
  EXPECT_FALSE(file->Write(true));
  EXPECT_FALSE(file->Write(true));
  EXPECT_EQ(Read(), "the other server's");
  EXPECT_EQ(events_.Count("not written: another server keeps its journal in this state folder"), 1);
  held.journal = JournalHealth::kOk;
  board_.SetStore(held);
  EXPECT_TRUE(file->Write(true));
  EXPECT_TRUE(events_.Has("written again"));
}

}  // namespace
}  // namespace tillgate

#include "line/protocol_trace.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "config/event_collector.h"
#include "line/kkm_ekr.h"
#include "line/trace_options.h"
#include "line/trace_text.h"
#include "platform/fake_serial_device.h"
#include "platform/platform.h"
#include "platform/scratch_dir.h"

namespace tillgate {
namespace {

// The trace file and its old copy in memory, failing on demand.
struct Disk {
  std::string current, old;
  bool fail_open = false, fail_append = false, fail_move = false;
};

class MemoryTraceFile final : public TraceFile {
 public:
  explicit MemoryTraceFile(Disk* disk) : disk_(disk) {}
  Status Open(uint64_t* size) override {
    if (disk_->fail_open) return Status::Error("/trace/COM3.trace: Permission denied");
    *size = disk_->current.size();
    return Status::Ok();
  }
  Status Append(std::string_view text) override {
    if (disk_->fail_append) return Status::Error("/trace/COM3.trace: No space left on device");
    disk_->current.append(text);
    return Status::Ok();
  }
  void Close() override {}
  Status MoveAside() override {
    if (disk_->fail_move) return Status::Error("moving aside /trace/COM3.trace: Read-only");
    disk_->old = std::move(disk_->current);
    disk_->current.clear();
    return Status::Ok();
  }

 private:
  Disk* disk_;
};

std::chrono::system_clock::time_point TodayAt(int hour, int minute, int second, int millis) {
  std::tm local{};
  local.tm_year = 126;
  local.tm_mon = 11;
  local.tm_mday = 7;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;
  return std::chrono::system_clock::from_time_t(std::mktime(&local)) +
         std::chrono::milliseconds(millis);
}

TEST(ProtocolTrace, ALineIsTimeDirectionHexAndWords) {
  const uint8_t f[] = {0x02, 0x30, 0x03, 0x05, 0x66, 0x95};
  EXPECT_EQ(ProtocolTrace::FormatLine(TodayAt(14, 2, 7, 513), '<', f, 6, "message"),
            "14:02:07.513 < 02 30 03 05 66 95 message\n");
  const uint8_t poll = 0x1A;
  EXPECT_EQ(ProtocolTrace::FormatLine(TodayAt(9, 0, 0, 5), '>', &poll, 1, "poll"),
            "09:00:00.005 > 1A poll\n");
}

TEST(ProtocolTrace, WordsForWhatWasSentAndWhatCameBack) {
  uint8_t frame[kFrameBufferSize];
  const uint8_t poll = PollByte(10);
  EXPECT_EQ(DescribeSent(&poll, 1), "poll byte for register 10");
  BuildCommandFrame(frame, 2, kCommandStart);
  EXPECT_EQ(DescribeSent(frame, 6), "start command to register 2");
  BuildCommandFrame(frame, 2, kCommandRefused);
  EXPECT_EQ(DescribeSent(frame, 6), "command \"u\" to register 2");
  // "Молоко" in code page 866, on two display lines.
  const std::string text = "\x8C\xAE\xAB\xAE\xAA\xAE         \r\n12.50     *1.0 ";
  const int size = BuildGoodsFrame(frame, kFrameBufferSize, 3, text.data(), 32, 1250, '1');
  EXPECT_EQ(DescribeSent(frame, static_cast<size_t>(size)),
            "goods answer \"Молоко         |12.50     *1.0 \" 12.50 section 1 to register 3");
  EXPECT_EQ(DescribeSent(frame, 9), "9 bytes");

  using Bytes = std::vector<uint8_t>;
  const Bytes f = {0x02, 0x30, 0x03, 0x07, 0x66, 0x93};
  const Bytes bad_sum = {0x02, 0x30, 0x03, 0x07, 0x66, 0x94};
  const Bytes long_one = {0x02, 0x30, 0x15, 0x07, 0x66, 0x93};
  struct Case {
    Bytes bytes;
    size_t first;
    uint8_t polled;
    bool strict;
    std::string words;
  } cases[] = {
      {f, 6, 2, false, "message \"f\" seq 0x07 from register 2; accepted"},
      {f, 6, 3, false,
       "message \"f\" seq 0x07 from register 3; accepted, although byte 0 names register 2"},
      {f, 6, 3, true,
       "message \"f\" seq 0x07 from register 3; rejected (STRICT): byte 0 names register 2"},
      {bad_sum, 6, 2, true,
       "message \"f\" seq 0x07 from register 2; rejected (STRICT): the checksum does not add up"},
      {{f.begin(), f.begin() + 4},
       4,
       2,
       false,
       "4 bytes from register 2; rejected: 4 bytes in the first read, fewer than 5"},
      {long_one, 6, 2, false,
       "message \"f\" seq 0x07 from register 2; rejected: the length byte 21 is above the 6 "
       "bytes of the first read"},
      {{}, 0, 4, false, "no answer from register 4"},
  };
  for (const Case& c : cases) {
    const size_t total = c.bytes.size();
    const AnswerCheck check = CheckAnswer(c.bytes.data(), c.first, total, c.polled);
    EXPECT_EQ(DescribeAnswer(c.bytes.data(), c.first, total, c.polled, check, c.strict), c.words);
  }
}

TEST(ProtocolTrace, MovedAsideAtTheLimitAndNeverStoppingTheLine) {
  Disk disk;
  EventCollector events;
  ProtocolTrace trace("COM3", std::make_unique<MemoryTraceFile>(&disk), &events, 100);
  const uint8_t poll = 0x12;
  for (int i = 0; i < 5; ++i) trace.Sent(&poll, 1, "poll byte for register 2");  // 43 bytes each
  EXPECT_EQ(disk.old.size(), 86u);      // two lines fit under the limit ...
  EXPECT_EQ(disk.current.size(), 43u);  // ... the fifth began the second new file
  EXPECT_TRUE(events.Lines().empty());

  // Failing writes are told once; lines are lost, the caller goes on.
  disk.fail_append = true;
  for (int i = 0; i < 3; ++i) trace.Sent(&poll, 1, "x");
  disk.fail_append = false;
  disk.fail_open = true;
  trace.Sent(&poll, 1, "x");
  disk.fail_open = false;
  trace.Sent(&poll, 1, "back");
  EXPECT_EQ(events.Lines(),
            (std::vector<std::string>{
                "COM3 trace: /trace/COM3.trace: No space left on device; the line goes on "
                "untraced",
                "COM3 trace: written again"}));
  EXPECT_EQ(events.Events()[0].severity, Severity::kWarning);
  EXPECT_EQ(events.Events()[0].condition, "COM3 trace");
  EXPECT_NE(disk.current.find("back\n"), std::string::npos);

  // A file that cannot be moved aside does not grow past the limit.
  disk.fail_move = true;
  for (int i = 0; i < 4; ++i) trace.Sent(&poll, 1, "poll byte for register 2");
  EXPECT_LE(disk.current.size(), 100u);
  EXPECT_EQ(events.Count("moving aside"), 1);
}

TEST(ProtocolTrace, ALineTracesEveryByteItSendsReceivesAndDiscards) {
  Disk disk;
  EventCollector events;
  ProtocolTrace trace("COM3", std::make_unique<MemoryTraceFile>(&disk), &events);
  auto owned = std::make_unique<FakeSerialDevice>();
  FakeSerialDevice* fake = owned.get();
  TKkmEkr line(2, "COM3", "/dev/ttyS2", std::move(owned), &events, &trace);
  line.SetOptions(LineOptions{false, true, 0});
  line.Restart();
  fake->QueueWaiting({0xEE, 0x01});
  fake->QueueRead({0x02, 0x30, 0x03, 0x07, 0x66, 0x93});
  line.PollStep();  // register 2: start command, "f", "+"
  fake->QueueRead({0x04, 0x30, 0x03, 0x07, 0x66, 0x93});
  line.PollStep();  // register 3 is silent; register 4's late "f" comes instead
  std::vector<std::string> lines;
  std::istringstream in(disk.current);
  for (std::string l; std::getline(in, l);) lines.push_back(l.substr(13));  // after the time
  EXPECT_EQ(lines,
            (std::vector<std::string>{
                "< EE 01 discarded: waiting before the start command to register 2",
                "> 02 30 03 00 61 9F start command to register 2",
                "< 02 30 03 07 66 93 message \"f\" seq 0x07 from register 2; accepted",
                "> 02 30 03 00 2B D5 command \"+\" to register 2",
                "> 03 30 03 00 61 9F start command to register 3",
                "< 04 30 03 07 66 93 message \"f\" seq 0x07 from register 3; rejected (STRICT): "
                "byte 0 names register 4"}));
  EXPECT_FALSE(line.Slot(2).present);  // no answer of its own: dropped
}

TEST(ProtocolTrace, TheFileAppendsAndKeepsOneOldCopy) {
  testing::ScratchDir base;
  FileSystem& files = SystemFileSystem();
  const std::string folder = JoinedPath(base.path(), JoinedPath("state", "trace"));
  {
    // Made when missing, with its folders.
    auto fresh = NewTraceFile(files, folder, "new.trace");
    uint64_t size = 99;
    ASSERT_TRUE(fresh->Open(&size).ok());
    EXPECT_EQ(size, 0u);
    ASSERT_TRUE(fresh->Append("first\n").ok());
  }
  EXPECT_EQ(testing::ReadFile(JoinedPath(folder, "new.trace")), "first\n");
  const std::string name = TraceFileName("COM1");  // a name Windows does not take for the port
  const std::string path = JoinedPath(folder, name);
  testing::WriteFile(path, "from before\n");
  auto file = NewTraceFile(files, folder, name);
  uint64_t size = 0;
  ASSERT_TRUE(file->Open(&size).ok());
  EXPECT_EQ(size, 12u);
  ASSERT_TRUE(file->Append("one\n").ok());
  // Lines appended by hand meanwhile are never written over.
  { std::ofstream(path, std::ios::app | std::ios::binary) << "by hand\n"; }
  ASSERT_TRUE(file->Append("two\n").ok());
  ASSERT_TRUE(file->MoveAside().ok());
  ASSERT_TRUE(file->Open(&size).ok());
  EXPECT_EQ(size, 0u);
  ASSERT_TRUE(file->Append("three\n").ok());
  file->Close();
  EXPECT_EQ(file->Append("four\n").message(), path + ": not open");
  EXPECT_EQ(testing::ReadFile(path + ".1"), "from before\none\nby hand\ntwo\n");
  EXPECT_EQ(testing::ReadFile(path), "three\n");
  // Where no folder can be made, and where the file is something else.
  const std::string nowhere_folder = JoinedPath(path, "below");
  auto nowhere = NewTraceFile(files, nowhere_folder, name);
  const Status refused = nowhere->Open(&size);
  EXPECT_FALSE(refused.ok());
  EXPECT_EQ(refused.message().find(nowhere_folder + ": "), 0u) << refused.message();
  const std::string other = TraceFileName("COM2");
  std::filesystem::create_directory(JoinedPath(folder, other));
  auto folder_in_the_way = NewTraceFile(files, folder, other);
  const Status not_a_file = folder_in_the_way->Open(&size);
  EXPECT_FALSE(not_a_file.ok());
  EXPECT_EQ(not_a_file.message().find(JoinedPath(folder, other) + ": "), 0u)
      << not_a_file.message();  // POSIX: "Is a directory"
}

TEST(TraceOptions, FileNamesWindowsDoesNotTakeForThePort) {
  EXPECT_EQ(TraceFileName("COM1", PathStyle::kPosix), "COM1.trace");
  EXPECT_EQ(TraceFileName("COM16", PathStyle::kPosix), "COM16.trace");
  EXPECT_EQ(TraceFileName("COM1", PathStyle::kWindows), "COM1-trace.txt");
}

TEST(TraceOptions, PortListsAndFolders) {
  TraceOptions options;
  std::string error;
  EXPECT_EQ(TakeTraceArgument("--check", &options, &error), TraceArgument::kNotTrace);
  EXPECT_EQ(TakeTraceArgument("--trace=1,3,16", &options, &error), TraceArgument::kTaken);
  EXPECT_EQ(options.ports.to_ulong(), 0b1000000000000101u);
  EXPECT_EQ(TakeTraceArgument("--trace-dir=/var/tmp/t", &options, &error), TraceArgument::kTaken);
  EXPECT_EQ(TraceFolder(options, "/var/lib/tillgate"), "/var/tmp/t");
  EXPECT_EQ(TakeTraceArgument("--trace=all", &options, &error), TraceArgument::kTaken);
  EXPECT_TRUE(options.ports.all());
  for (const char* wrong : {"--trace=0", "--trace=17", "--trace=1,,2", "--trace=", "--trace=x",
                            "--trace=1;2", "--trace", "--trace-dir=", "--trace-dir"}) {
    error.clear();
    EXPECT_EQ(TakeTraceArgument(wrong, &options, &error), TraceArgument::kWrong) << wrong;
    EXPECT_FALSE(error.empty());
  }
  EXPECT_EQ(TraceFolder(TraceOptions{}, "state"), JoinedPath("state", "trace"));
}

}  // namespace
}  // namespace tillgate

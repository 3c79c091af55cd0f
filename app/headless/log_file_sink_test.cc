#include "app/headless/log_file_sink.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/fault_file_system.h"
#include "platform/memory_file_system.h"
#include "platform/paths.h"

namespace tillgate {
namespace {

int Lines(const std::string& text) {
  int n = 0;
  for (char c : text) n += c == '\n';
  return n;
}

// Each event is one stamped line with its level; past the limit the log
// becomes its one old copy and a new one begins, so that no more than
// twice the limit is ever kept.
TEST(LogFileSink, LevelsRotationAndOneOldCopy) {
  MemoryFileSystem files;
  const std::string folder = "state";
  const std::string log = JoinedPath(folder, kServiceLogName);
  LogFileSink sink(NewTraceFile(files, folder, kServiceLogName), 400);
  Report(&sink, Severity::kError, "COM3 port failed to open");
  Report(&sink, Severity::kNotice, "stopping on service stop");
  const std::string first = files.Get(log);
  EXPECT_NE(first.find(" tillgate: error: COM3 port failed to open\n"), std::string::npos);
  EXPECT_NE(first.find(" tillgate: notice: stopping on service stop\n"), std::string::npos);
  EXPECT_EQ(Lines(first), 2);

  for (int i = 0; i < 20; ++i) Report(&sink, "line " + std::to_string(i));
  const std::string now = files.Get(log);
  const std::string old = files.Get(log + ".1");
  EXPECT_LE(now.size(), 400u);
  EXPECT_LE(old.size(), 400u);
  EXPECT_GT(old.size(), 300u);  // filled up to the limit before it moved aside
  EXPECT_NE(now.find(" tillgate: info: line 19\n"), std::string::npos);
  EXPECT_EQ(old.find("COM3"), std::string::npos);  // the oldest copy went
  EXPECT_EQ(Lines(now) + Lines(old) <= 22, true);
}

// Lines that cannot be written are lost, never the caller's work, and the
// first line written again is followed by a warning that lines were lost.
TEST(LogFileSink, AFailingLogIsToldOnceItWorksAgain) {
  MemoryFileSystem memory;
  FaultFileSystem files(&memory);
  LogFileSink sink(NewTraceFile(files, "state", kServiceLogName), 1 << 20);
  Report(&sink, "first");
  files.FailAlways(FsOp::kWrite);
  Report(&sink, "dropped");
  files.Clear();
  Report(&sink, "after");
  const std::string text = memory.Get(JoinedPath("state", kServiceLogName));
  EXPECT_EQ(text.find("dropped"), std::string::npos);
  const size_t after = text.find("info: after\n");
  const size_t warning = text.find("warning: event lines were lost");
  ASSERT_NE(after, std::string::npos) << text;
  ASSERT_NE(warning, std::string::npos) << text;
  EXPECT_LT(after, warning);
  EXPECT_EQ(Lines(text), 3);
}

}  // namespace
}  // namespace tillgate

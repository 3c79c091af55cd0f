// The program as other tests use it: first line, exit status, errors.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/platform.h"
#include "platform/posix/child_process.h"
#include "platform/scratch_dir.h"

namespace tillgate {
namespace {

std::string Program() {
  const char* dir = std::getenv("TILLGATE_BINARY_DIR");
  return std::string(dir ? dir : ".") + "/tools/regsim/tillgate-regsim";
}

struct Outcome {
  int status = -1;
  std::string out;
};

Outcome RunAll(const std::string& args) {
  Outcome r;
  r.status = testing::RunShell(Program() + " " + args + " 2>&1", &r.out);
  return r;
}

TEST(RegsimProgram, HelpAndCommandLineErrors) {
  Outcome help = RunAll("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--scenario FILE"), std::string::npos);

  testing::ScratchDir dir;
  const std::string bad = dir.File("bad.txt");
  std::ofstream(bad) << "register 2\nd 1234567 26\np 70000\n";
  Outcome scenario = RunAll("--scenario " + bad);
  EXPECT_EQ(scenario.status, 2);
  EXPECT_NE(scenario.out.find("line 3: goods code must be 0..65535"), std::string::npos)
      << scenario.out;

  Outcome send = RunAll("--register 4 --send 'd 1234567 26; x'");
  EXPECT_EQ(send.status, 2);
  EXPECT_NE(send.out.find("unknown step \"x\""), std::string::npos) << send.out;
  EXPECT_EQ(RunAll("--frobnicate").status, 2);
  EXPECT_EQ(RunAll("").status, 2);  // nothing to simulate
}

TEST(RegsimProgram, PrintsThePtyFirstAndExitsCleanWhenDone) {
  testing::ChildProcess sim(
      {Program(), "--register", "3", "--send", "f expect=+", "--max-time", "20"});
  ASSERT_TRUE(sim.ok()) << sim.StartError();
  const std::string first = sim.ReadLine(5000);
  ASSERT_EQ(first.substr(0, 4), "pty ") << first;
  const std::string path = first.substr(4);
  // The server's end, as the server opens it.
  auto server = NewSystemSerialDevice();
  ASSERT_TRUE(server->Open(path).ok()) << path;
  ASSERT_TRUE(server->SetLineSettings(LineSettings{}).ok());
  const WriteTimeouts write_timeouts{10, 500};
  const uint8_t poll_byte = 0x13;
  size_t written = 0;
  ASSERT_TRUE(server->Write(&poll_byte, 1, write_timeouts, &written).ok());
  uint8_t frame[16];
  size_t got = 0;
  ASSERT_TRUE(server->Read(frame, 6, ReadTimeouts{5000, 0, 5000}, &got).ok());
  ASSERT_EQ(got, 6u);
  EXPECT_EQ(frame[4], 'f');
  const uint8_t plus[] = {0x03, 0x30, 0x03, 0x00, '+', 0xD5};
  ASSERT_TRUE(server->Write(plus, sizeof plus, write_timeouts, &written).ok());
  const std::string& rest = sim.ReadAll(30000);
  EXPECT_EQ(sim.Wait(5000), 0) << rest;
  EXPECT_NE(rest.find("net=3 sent f seq=1\nnet=3 got command +\n"), std::string::npos) << rest;
  EXPECT_NE(rest.find("done sent=1 answers=1 malformed=0"), std::string::npos);
}

}  // namespace
}  // namespace tillgate

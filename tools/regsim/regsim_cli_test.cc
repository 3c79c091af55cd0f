// The program as other tests use it: first line, exit status, errors.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

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
  FILE* pipe = popen((Program() + " " + args + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) r.out.append(buf, n);
  r.status = WEXITSTATUS(pclose(pipe));
  return r;
}

TEST(RegsimProgram, HelpAndCommandLineErrors) {
  Outcome help = RunAll("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--scenario FILE"), std::string::npos);

  const std::filesystem::path bad =
      std::filesystem::temp_directory_path() / ("regsim_bad_" + std::to_string(getpid()));
  std::ofstream(bad) << "register 2\nd 1234567 26\np 70000\n";
  Outcome scenario = RunAll("--scenario " + bad.string());
  std::filesystem::remove(bad);
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
  FILE* pipe = popen((Program() + " --register 3 --send 'f expect=+' --max-time 20").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char line[256];
  ASSERT_NE(fgets(line, sizeof line, pipe), nullptr);
  std::string first(line);
  ASSERT_EQ(first.substr(0, 4), "pty ");
  const std::string path = first.substr(4, first.size() - 5);
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0) << path;
  termios tio{};
  tcgetattr(fd, &tio);
  cfmakeraw(&tio);
  tcsetattr(fd, TCSANOW, &tio);
  const uint8_t poll_byte = 0x13;
  ASSERT_EQ(write(fd, &poll_byte, 1), 1);
  uint8_t frame[16];
  size_t got = 0;
  while (got < 6) {
    pollfd p{fd, POLLIN, 0};
    ASSERT_GT(::poll(&p, 1, 5000), 0);
    const ssize_t n = read(fd, frame + got, sizeof frame - got);
    ASSERT_GT(n, 0);
    got += static_cast<size_t>(n);
  }
  EXPECT_EQ(frame[4], 'f');
  const uint8_t plus[] = {0x03, 0x30, 0x03, 0x00, '+', 0xD5};
  ASSERT_EQ(write(fd, plus, sizeof plus), ssize_t(sizeof plus));
  std::string rest;
  while (fgets(line, sizeof line, pipe) != nullptr) rest += line;
  EXPECT_EQ(WEXITSTATUS(pclose(pipe)), 0) << rest;
  close(fd);
  EXPECT_NE(rest.find("net=3 sent f seq=1\nnet=3 got command +\n"), std::string::npos) << rest;
  EXPECT_NE(rest.find("done sent=1 answers=1 malformed=0"), std::string::npos);
}

}  // namespace

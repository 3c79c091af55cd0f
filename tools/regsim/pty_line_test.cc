// The simulator on a real pseudo-terminal, with the test playing the server.

#include <gtest/gtest.h>

#include <chrono>
#include <numeric>
#include <sstream>
#include <thread>

#include "platform/platform.h"
#include "platform/sim_port.h"
#include "store/cp866.h"
#include "tools/regsim/line_simulator.h"
#include "tools/regsim/scenario.h"

namespace tillgate::regsim {
namespace {

using Bytes = std::vector<uint8_t>;

// Reads until the line has been quiet for 60 ms or `first` passes without a byte.
Bytes ReadBurst(SerialDevice& server, uint32_t first_ms) {
  Bytes out;
  uint32_t wait = first_ms;
  for (;;) {
    uint8_t buf[64];
    size_t got = 0;
    const Status read = server.Read(buf, sizeof buf, ReadTimeouts{60, 0, wait}, &got);
    out.insert(out.end(), buf, buf + got);
    if (!read.ok() || got == 0) return out;
    wait = 60;
  }
}

Bytes Sealed(Bytes f) {
  const unsigned sum = std::accumulate(f.begin() + 3, f.end(), 0u);
  f.push_back(static_cast<uint8_t>(0x100 - (sum & 0xFF)));
  return f;
}

Bytes Command(uint8_t net, uint8_t code) { return Sealed({net, 0x30, 0x03, 0x00, code}); }

class PtyLineTest : public ::testing::Test {
 protected:
  void Start(const std::string& scenario_text) {
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(ParseScenarioText(scenario_text, &scenario, &error)) << error;
    std::string path;
    Status made;
    port_ = CreatePseudoTerminal(&path, &made);
    ASSERT_NE(port_, nullptr) << made.message();
    // The server's end, as the server opens it.
    ASSERT_TRUE(server_->Open(path).ok());
    ASSERT_TRUE(server_->SetLineSettings(LineSettings{}).ok());
    options_.max_time = std::chrono::seconds(20);  // never hang the test run
    line_ = std::make_unique<LineSimulator>(scenario, options_, log_);
    thread_ = std::thread([this] { status_ = line_->Run(*port_, stop_); });
  }
  int Finish() {
    thread_.join();
    return status_;
  }
  void TearDown() override {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  void Send(const Bytes& b) {
    size_t written = 0;
    ASSERT_TRUE(server_->Write(b.data(), b.size(), WriteTimeouts{10, 500}, &written).ok());
    ASSERT_EQ(written, b.size());
  }

  SimOptions options_;
  std::ostringstream log_;
  std::unique_ptr<SimPort> port_;
  std::unique_ptr<LineSimulator> line_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  int status_ = -1;
  std::unique_ptr<SerialDevice> server_ = NewSystemSerialDevice();
};

TEST_F(PtyLineTest, AnswersLikeRegistersAndReportsAMalformedServerFrame) {
  Start(
      "register 3\noff\n"
      "register 2\nd 1234567 26\ns 2512345012345 expect=goods\ni 7 date=01.02 time=03:04\n");

  Send(Command(3, 'a'));  // switched off: no answer
  EXPECT_TRUE(ReadBurst(*server_, 200).empty());

  Send(Command(2, 'a'));
  Bytes d = ReadBurst(*server_, 1000);
  ASSERT_EQ(d.size(), 17u);
  EXPECT_EQ(d[0], 2);
  EXPECT_EQ(d[4], 'd');
  EXPECT_EQ(std::string(d.begin() + 9, d.begin() + 16), "1234567");
  Send(Command(2, '!'));

  Send({0x12});
  Bytes s = ReadBurst(*server_, 1000);
  ASSERT_EQ(s.size(), 18u);
  EXPECT_EQ(s[4], 's');
  EXPECT_EQ(s[5], 0x25);
  const std::string text = Utf8ToCp866("Сыр            ") + "\r\n" + "12.50     *1.0 ";
  Bytes goods{0x02, 0x30, 44, 0x02, 'n', 32};
  for (char c : text) goods.push_back(static_cast<uint8_t>(c));
  goods.insert(goods.end(), {'t', 0xE2, 0x04, 0, 0, 0, 0, '1'});
  Send(Sealed(goods));

  Send({0x12});
  Bytes i = ReadBurst(*server_, 1000);
  ASSERT_EQ(i.size(), 14u);
  EXPECT_EQ(Bytes(i.begin() + 5, i.begin() + 13), (Bytes{0, 0, 0, 7, 0x01, 0x02, 0x03, 0x04}));
  Bytes broken = Command(2, 'o');
  broken.back() ^= 0xFF;
  Send(broken);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  Send(Command(2, 'o'));

  EXPECT_EQ(Finish(), 1);  // the malformed frame makes the run fail
  const std::string out = log_.str();
  EXPECT_NE(out.find("net=3 off\nnet=3 got command a\n"), std::string::npos) << out;
  EXPECT_NE(out.find("net=2 got goods text=\"Сыр            |12.50     *1.0 \" amount=1250 "
                     "section=1\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("net=2 sent i seq=3 doc=7 date=01.02 time=03:04\n"), std::string::npos);
  EXPECT_NE(out.find("malformed net=2 reason=\"bad checksum\" bytes=023003006F6E\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("done sent=3 answers=3 malformed=1 unanswered=0 mismatched=0"),
            std::string::npos);
}

TEST_F(PtyLineTest, FaultsGoOutAsWrittenJunkUnaskedAndTheWireIsKept) {
  options_.keep_wire = true;
  Start("register 3\np 101 from=2 sum=bad expect=none\njunk EE EE\np 102 late=150ms\n");
  Send({0x13});
  Bytes p = ReadBurst(*server_, 1000);
  ASSERT_EQ(p.size(), 16u);
  EXPECT_EQ(p[0], 2);                                                     // names register 2
  EXPECT_EQ(Sealed(Bytes(p.begin(), p.end() - 1)).back() + 1, p.back());  // one off
  // Unanswered (as it expects), the register goes on: the junk, unasked.
  EXPECT_EQ(ReadBurst(*server_, 4000), (Bytes{0xEE, 0xEE}));
  const auto polled = std::chrono::steady_clock::now();
  Send({0x13});
  Bytes late = ReadBurst(*server_, 1000);
  EXPECT_GE(std::chrono::steady_clock::now() - polled, std::chrono::milliseconds(150));
  ASSERT_EQ(late.size(), 16u);
  EXPECT_EQ(late[0], 3);
  Send(Command(3, 'u'));
  EXPECT_EQ(Finish(), 0) << log_.str();
  EXPECT_TRUE(line_->Finished());
  EXPECT_EQ(line_->WireIn(), (Bytes{0x13, 0x13, 3, 0x30, 3, 0, 'u', 0x8B}));
  Bytes out = p;
  out.insert(out.end(), {0xEE, 0xEE});
  out.insert(out.end(), late.begin(), late.end());
  EXPECT_EQ(line_->WireOut(), out);
  EXPECT_NE(log_.str().find("net=3 sent p seq=1 code=101 qty=0 from=2 sum=bad\n"),
            std::string::npos)
      << log_.str();
  EXPECT_NE(log_.str().find("net=3 sent junk bytes=EEEE\n"), std::string::npos);
}

TEST_F(PtyLineTest, CleanRunEndsWithStatusZeroAndIdleRegistersSayNothingNew) {
  Start("register 10\nf\n");
  Send({0x1A});
  Bytes f = ReadBurst(*server_, 1000);
  EXPECT_EQ(f, (Bytes{0x0A, 0x30, 0x03, 0x01, 'f', 0x99}));
  Send(Command(10, '+'));
  EXPECT_EQ(Finish(), 0);
  EXPECT_TRUE(line_->tally().Clean());
}

}  // namespace
}  // namespace tillgate::regsim

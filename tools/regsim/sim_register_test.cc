#include "tools/regsim/sim_register.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tools/regsim/scenario.h"

namespace tillgate::regsim {
namespace {

using std::chrono::milliseconds;

// One register driven by hand with a made-up clock.
class SimRegisterTest : public ::testing::Test {
 protected:
  SimRegister& Make(const std::string& script) {
    Scenario s;
    std::string error;
    EXPECT_TRUE(ParseScenarioText("register 4\n" + script, &s, &error)) << error;
    reg_ = std::make_unique<SimRegister>(s.registers.at(0), options_, log_, tally_);
    return *reg_;
  }
  std::vector<uint8_t> Poll() { return reg_->OnPoll(now_, false); }
  void Answer(char command) {
    ServerEvent e;
    e.kind = ServerEvent::Kind::kCommand;
    e.net = 4;
    e.command = command;
    reg_->OnAnswer(e);
  }
  void AnswerGoods() {
    ServerEvent e;
    e.kind = ServerEvent::Kind::kGoods;
    e.net = 4;
    e.text = std::string(15, ' ');
    e.section = '1';
    reg_->OnAnswer(e);
  }
  void Pass(milliseconds d) {
    now_ += d;
    reg_->Advance(now_);
  }

  SimOptions options_;
  std::ostringstream log_;
  Tally tally_;
  Clock::time_point now_ = Clock::now();
  std::unique_ptr<SimRegister> reg_;
};

TEST_F(SimRegisterTest, OffAtFirstThenSwitchedOnLater) {
  SimRegister& reg = Make("off\nwait 500ms\non\nd 1234567 26\n");
  reg.Advance(now_);
  EXPECT_FALSE(reg.on());
  EXPECT_TRUE(reg.OnPoll(now_, true).empty());  // silent to the start command
  Pass(milliseconds(400));
  EXPECT_TRUE(Poll().empty());
  Pass(milliseconds(200));
  EXPECT_TRUE(reg.on());
  const auto frame = Poll();
  ASSERT_EQ(frame.size(), 17u);
  EXPECT_EQ(frame[4], 'd');
  EXPECT_FALSE(reg.Done());
  Answer('!');
  EXPECT_TRUE(reg.Done());
  EXPECT_TRUE(tally_.Clean());
  EXPECT_NE(log_.str().find("net=4 sent d seq=1 serial=1234567 year=26\nnet=4 got command !\n"),
            std::string::npos)
      << log_.str();
}

TEST_F(SimRegisterTest, SequenceBytesAutomaticExplicitAndRepeated) {
  Make("p 1\np 2 seq=0x40\ns 46012345\nrepeat\nf\n");
  EXPECT_EQ(Poll()[3], 1);
  AnswerGoods();
  EXPECT_EQ(Poll()[3], 0x40);
  AnswerGoods();
  const auto sale = Poll();
  EXPECT_EQ(sale[3], 0x41);
  AnswerGoods();
  EXPECT_EQ(Poll(), sale);  // the same frame, same sequence byte
  AnswerGoods();
  EXPECT_EQ(Poll()[3], 0x42);
  Answer('+');
  EXPECT_EQ(tally_.sent, 5);
  EXPECT_TRUE(tally_.Clean());
  EXPECT_NE(log_.str().find("sent s seq=65 barcode=46012345 qty=0 repeat"), std::string::npos);
}

TEST_F(SimRegisterTest, NothingToSayWhenIdleOrWaiting) {
  SimRegister& reg = Make("wait 1s\nf\n");
  auto idle = Poll();
  EXPECT_EQ(idle, (std::vector<uint8_t>{4, 0x30, 3, 0, 'f', 0x9A}));
  Answer('+');
  EXPECT_EQ(tally_.sent, 0);  // idle exchanges are not the scenario's messages
  Pass(milliseconds(1000));
  Poll();
  Answer('+');
  EXPECT_TRUE(reg.Done());
  EXPECT_EQ(tally_.sent, 1);
  EXPECT_TRUE(tally_.Clean());
}

TEST_F(SimRegisterTest, MissingAndWrongAnswersAreCounted) {
  options_.answer_timeout = milliseconds(300);
  Make("p 1 expect=u\np 2\nraw 04300300669A expect=none\np 3 expect=goods\n");
  Poll();
  AnswerGoods();  // wanted "u"
  EXPECT_EQ(tally_.mismatched, 1);
  Poll();  // p 2 ...
  Poll();  // ... polled again without an answer
  EXPECT_EQ(tally_.unanswered, 1);
  Pass(milliseconds(400));  // the raw frame timed out, as it should
  EXPECT_EQ(tally_.unanswered, 1);
  Poll();
  Pass(milliseconds(400));
  EXPECT_EQ(tally_.unanswered, 2);
  Answer('o');  // nothing outstanding any more
  EXPECT_EQ(tally_.mismatched, 2);
  EXPECT_NE(log_.str().find("net=4 mismatch seq=1 want=u got=goods"), std::string::npos);
  EXPECT_NE(log_.str().find("no-answer to=raw expected"), std::string::npos) << log_.str();
  EXPECT_NE(log_.str().find("no-answer to=p seq=3 reason=timeout"), std::string::npos);
}

TEST_F(SimRegisterTest, WithResendAnUnansweredMessageGoesAgainUntilAnswered) {
  options_.resend = true;
  options_.answer_timeout = milliseconds(300);
  SimRegister& reg = Make("p 7\ni 42\n");
  const auto sale = Poll();
  EXPECT_EQ(reg.OnPoll(now_, true), sale);  // the server started again: same frame
  Pass(milliseconds(400));                  // no answer in time
  EXPECT_FALSE(reg.Done());
  EXPECT_EQ(Poll(), sale);
  AnswerGoods();
  const auto close = Poll();
  ASSERT_EQ(close[4], 'i');
  EXPECT_EQ(close[3], 0x02);
  EXPECT_EQ(Poll(), close);  // polled again: the same document, the same byte
  Answer('o');
  // A server that restarts before it answers "nothing to say" costs nothing:
  // the register says it, or its next message, at the next poll.
  EXPECT_EQ(Poll()[4], 'f');
  EXPECT_EQ(reg.OnPoll(now_, true)[4], 'f');
  Answer('+');
  EXPECT_TRUE(reg.Done());
  EXPECT_TRUE(tally_.Clean());
  EXPECT_EQ(tally_.unanswered, 0);
  EXPECT_NE(log_.str().find("no-answer to=p seq=1 reason=timeout resend\n"
                            "net=4 sent p seq=1 code=7 qty=0 resend"),
            std::string::npos)
      << log_.str();
}

TEST_F(SimRegisterTest, LoopRepeatsFromItsMarkWithRisingDocuments) {
  options_.loop = true;
  options_.first_document = 100;
  SimRegister& reg = Make("d 1234567 26\nloop\np 5\ni\n");
  Poll();
  Answer('!');
  for (uint32_t doc = 100; doc < 103; ++doc) {
    EXPECT_EQ(Poll()[4], 'p');
    AnswerGoods();
    const auto close = Poll();
    ASSERT_EQ(close[4], 'i');
    EXPECT_EQ(uint32_t{close[7]} << 8 | close[8], doc);
    Answer('o');
    EXPECT_FALSE(reg.Done());
  }
  EXPECT_EQ(tally_.sent, 7);  // "d" went out once
}

}  // namespace
}  // namespace tillgate::regsim

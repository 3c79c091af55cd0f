#include "tools/regsim/scenario.h"

#include <gtest/gtest.h>

namespace tillgate::regsim {
namespace {

std::string ErrorOf(const std::string& text) {
  Scenario s;
  std::string error;
  EXPECT_FALSE(ParseScenarioText(text, &s, &error)) << text;
  return error;
}

TEST(Scenario, ParsesEveryStepAndOption) {
  const char* text =
      "# two registers\n"
      "register 2\n"
      "  off\n"
      "  wait 1.5s\n"
      "  on\n"
      "  d 1234567 26\n"
      "\n"
      "register 5\n"
      "  loop\n"
      "  s 2512345012345 seq=0x10 expect=goods   # weight barcode\n"
      "  repeat\n"
      "  i date=07.12 time=09:05 expect=o\n"
      "register 2\n"
      "  p 12345 1500 expect=u\n"
      "  i 258\n"
      "  raw 02 3003 00 66 9A expect=none\n"
      "  wait 20ms\n"
      "  f\n";
  Scenario s;
  std::string error;
  ASSERT_TRUE(ParseScenarioText(text, &s, &error)) << error;
  ASSERT_EQ(s.registers.size(), 2u);
  const RegisterScript& two = s.registers[0];
  const RegisterScript& five = s.registers[1];
  EXPECT_EQ(two.net, 2);
  ASSERT_EQ(two.steps.size(), 9u);
  EXPECT_EQ(two.steps[0].kind, StepKind::kOff);
  EXPECT_EQ(two.steps[1].wait, std::chrono::milliseconds(1500));
  EXPECT_EQ(two.steps[3].message.serial, "1234567");
  EXPECT_EQ(two.steps[3].message.year, 26);
  EXPECT_EQ(two.steps[3].line, 6);
  const Message& p = two.steps[4].message;
  EXPECT_EQ(p.type, 'p');
  EXPECT_EQ(p.code, 12345);
  EXPECT_EQ(p.quantity, 1500u);
  EXPECT_EQ(p.expect, Expect::kCommand);
  EXPECT_EQ(p.expect_command, 'u');
  EXPECT_EQ(two.steps[5].message.document, 258u);
  EXPECT_FALSE(two.steps[5].message.day.has_value());
  EXPECT_EQ(two.steps[6].message.raw, (std::vector<uint8_t>{0x02, 0x30, 0x03, 0x00, 0x66, 0x9A}));
  EXPECT_EQ(two.steps[6].message.expect, Expect::kNone);
  EXPECT_EQ(two.steps[7].wait, std::chrono::milliseconds(20));
  EXPECT_EQ(two.steps[8].message.kind, MessageKind::kNothing);

  ASSERT_EQ(five.steps.size(), 4u);
  EXPECT_EQ(five.steps[0].kind, StepKind::kLoopStart);
  EXPECT_EQ(five.steps[1].message.barcode, "2512345012345");
  EXPECT_EQ(five.steps[1].message.seq, 0x10);
  EXPECT_EQ(five.steps[1].message.quantity, 0u);
  EXPECT_EQ(five.steps[2].kind, StepKind::kRepeat);
  const Message& i = five.steps[3].message;
  EXPECT_FALSE(i.document.has_value());
  EXPECT_EQ(*i.day, 7);
  EXPECT_EQ(*i.month, 12);
  EXPECT_EQ(*i.hour, 9);
  EXPECT_EQ(*i.minute, 5);
}

TEST(Scenario, FaultsAndJunk) {
  Scenario s;
  std::string error;
  ASSERT_TRUE(
      ParseScenarioText("register 3\n"
                        "p 101 from=2 sum=bad late=130ms expect=none\n"
                        "junk 02 30 0500\n",
                        &s, &error))
      << error;
  const auto& steps = s.registers.at(0).steps;
  ASSERT_EQ(steps.size(), 2u);
  EXPECT_EQ(steps[0].message.from, 2);
  EXPECT_TRUE(steps[0].message.bad_sum);
  EXPECT_EQ(steps[0].message.late, std::chrono::milliseconds(130));
  EXPECT_EQ(steps[1].kind, StepKind::kJunk);
  EXPECT_EQ(steps[1].message.raw, (std::vector<uint8_t>{0x02, 0x30, 0x05, 0x00}));
  EXPECT_EQ(ErrorOf("register 1\np 1 sum=good\n"), "line 2: sum can only be bad");
  EXPECT_EQ(ErrorOf("register 1\np 1 late=5\n"), "line 2: late must be a duration such as 130ms");
  EXPECT_EQ(ErrorOf("register 1\njunk\n").substr(0, 7), "line 2:");
  EXPECT_EQ(ErrorOf("register 1\nraw 0230 from=2\n").substr(0, 7), "line 2:");
}

TEST(Scenario, ErrorsNameTheLine) {
  EXPECT_EQ(ErrorOf("p 1\n"), "line 1: no register chosen: write \"register N\" first");
  EXPECT_EQ(ErrorOf("register 2\n\nx 1\n"), "line 3: unknown step \"x\"");
  EXPECT_EQ(ErrorOf("register 11\n").substr(0, 7), "line 1:");
  EXPECT_EQ(ErrorOf("register 0\n").substr(0, 7), "line 1:");
  EXPECT_EQ(ErrorOf("register 1\ns 123456789012345\n"), "line 2: barcode must be 1..14 digits");
  EXPECT_EQ(ErrorOf("register 1\ns 12a\n"), "line 2: barcode must be 1..14 digits");
  EXPECT_EQ(ErrorOf("register 1\np 65536\n"), "line 2: goods code must be 0..65535");
  EXPECT_EQ(ErrorOf("register 1\np 1 -5\n").substr(0, 7), "line 2:");
  EXPECT_EQ(ErrorOf("register 1\nd 123456 26\n").substr(0, 7), "line 2:");
  EXPECT_EQ(ErrorOf("register 1\nd 1234567 100\n"), "line 2: the year of \"d\" must be 0..99");
  EXPECT_EQ(ErrorOf("register 1\nrepeat\n"),
            "line 2: \"repeat\" needs an earlier goods message of the register");
  EXPECT_EQ(ErrorOf("register 1\np 1 seq=256\n"), "line 2: seq must be 0..255");
  EXPECT_EQ(ErrorOf("register 1\np 1 expect=x\n").substr(0, 7), "line 2:");
  EXPECT_EQ(ErrorOf("register 1\nwait 5\n").substr(0, 7), "line 2:");
  EXPECT_EQ(ErrorOf("register 1\ni date=32.01\n"), "line 2: date must be DD.MM");
  EXPECT_EQ(ErrorOf("register 1\ni time=24:00\n"), "line 2: time must be HH:MM");
  EXPECT_EQ(ErrorOf("register 1\nraw 0\n").substr(0, 7), "line 2:");
  EXPECT_EQ(ErrorOf("register 1\nraw 02 seq=1\n").substr(0, 7), "line 2:");
  EXPECT_EQ(ErrorOf("register 1\noff now\n").substr(0, 7), "line 2:");
  EXPECT_EQ(ErrorOf("register 1\np 1 colour=red\n"), "line 2: unknown option \"colour\"");
}

TEST(Scenario, ParserTakesSingleLinesAsTheCommandLineDoes) {
  ScenarioParser parser;
  EXPECT_TRUE(parser.AddLine("register 3", 1));
  EXPECT_TRUE(parser.AddLine("d ABC1234 5", 2));
  EXPECT_FALSE(parser.AddLine("q", 3));
  EXPECT_EQ(parser.error(), "goods by code needs CODE [QUANTITY]");
  ASSERT_EQ(parser.scenario().registers.size(), 1u);
  EXPECT_EQ(parser.scenario().registers[0].steps.size(), 1u);
}

}  // namespace
}  // namespace tillgate::regsim

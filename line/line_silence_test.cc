// A dead line is told once when it has been silent long enough, and again
// when a register answers.

#include "line/line_silence.h"

#include <gtest/gtest.h>

#include "config/event_collector.h"

namespace tillgate {
namespace {

using std::chrono::seconds;

TEST(LineSilence, ASilentLineIsToldOnceAndItsReturnOnce) {
  EventCollector events;
  LineSilence silence(&events, "COM2", "COM2 (/dev/ttyUSB1)");
  const auto t0 = LineSilence::Clock::time_point() + seconds(1000);
  silence.Restart(t0);
  silence.Polled(true, t0 + seconds(1));
  for (int s = 2; s < 11; ++s) silence.Polled(false, t0 + seconds(s));
  EXPECT_TRUE(events.Events().empty());  // 9 s since the last answer
  for (int s = 11; s < 40; ++s) silence.Polled(false, t0 + seconds(s));
  silence.Polled(true, t0 + seconds(40));
  silence.Polled(true, t0 + seconds(41));
  const std::vector<CollectedEvent> told = events.Events();
  ASSERT_EQ(told.size(), 2u);
  EXPECT_EQ(told[0].text,
            "COM2 (/dev/ttyUSB1): no register has answered for 10 s: is the line connected and "
            "are the registers on?");
  EXPECT_EQ(told[0].condition, "COM2 line");
  EXPECT_EQ(told[0].severity, Severity::kWarning);
  EXPECT_EQ(told[1].text, "COM2 (/dev/ttyUSB1): registers answer again");
  EXPECT_TRUE(told[1].cleared);

  // A Start counts afresh: the silence before it is not held against it.
  events.Clear();
  silence.Restart(t0 + seconds(100));
  silence.Polled(false, t0 + seconds(105));
  EXPECT_TRUE(events.Events().empty());
  silence.Polled(false, t0 + seconds(112));
  EXPECT_EQ(events.Count("no register has answered for 12 s"), 1);
}

}  // namespace
}  // namespace tillgate

// The window's event list: what it keeps, what the foot line shows, and
// events arriving from other threads.

#include "app/presenter/event_log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "app/presenter/event_text.h"
#include "config/event_collector.h"

namespace tillgate::testing {
namespace {

KeptEvent Make(uint64_t serial, Severity severity, std::string text, std::string condition = {},
               bool cleared = false) {
  KeptEvent event;
  event.serial = serial;
  event.severity = severity;
  event.text = std::move(text);
  event.condition = std::move(condition);
  event.cleared = cleared;
  return event;
}

std::string Shown(const ProblemTracker& tracker) {
  const std::optional<KeptEvent> current = tracker.Current();
  return current ? current->text : "";
}

TEST(ProblemTracker, NewestProblemWinsUntilClearedOrSeen) {
  ProblemTracker tracker;
  tracker.Add(Make(1, Severity::kInfo, "COM1 opened", "COM1 port", true));
  tracker.Add(Make(2, Severity::kNotice, "register identified"));
  EXPECT_EQ(Shown(tracker), "");
  tracker.Add(Make(3, Severity::kError, "COM3 failed", "COM3 port"));
  tracker.Add(Make(4, Severity::kWarning, "candidate rejected", "goods candidate"));
  EXPECT_EQ(Shown(tracker), "candidate rejected");
  // A notice naming a condition without clearing it changes nothing.
  tracker.Add(Make(5, Severity::kNotice, "COM3 still trying", "COM3 port"));
  EXPECT_EQ(tracker.Active().at("COM3 port").text, "COM3 failed");
  // The newer condition over, the older one shows again.
  tracker.Add(Make(6, Severity::kNotice, "taken in", "goods candidate", true));
  EXPECT_EQ(Shown(tracker), "COM3 failed");
  // One-offs: shown while newest, gone once seen; seen only up to event 7,
  // event 8 stays.
  tracker.Add(Make(7, Severity::kWarning, "no RES field"));
  tracker.Add(Make(8, Severity::kError, "step failed"));
  EXPECT_FALSE(tracker.Acknowledge(7));
  EXPECT_EQ(Shown(tracker), "step failed");
  EXPECT_TRUE(tracker.Acknowledge(8));
  EXPECT_EQ(Shown(tracker), "COM3 failed");
  tracker.Add(Make(9, Severity::kInfo, "COM3 opened", "COM3 port", true));
  EXPECT_EQ(Shown(tracker), "");
  EXPECT_TRUE(tracker.Active().empty());
}

TEST(EventLog, KeepsTheNewestFirstAndPassesEveryEventOn) {
  EventCollector terminal;
  EventLog log(&terminal, 500);
  for (int i = 1; i <= 1200; ++i) Report(&log, std::to_string(i));
  const std::vector<KeptEvent> recent = log.Recent();
  ASSERT_EQ(recent.size(), 500u);
  EXPECT_EQ(recent.front().text, "1200");
  EXPECT_EQ(recent.back().text, "701");
  EXPECT_GT(recent.front().serial, recent.back().serial);
  EXPECT_EQ(terminal.Lines().size(), 1200u);
  // A condition reported before the list wrapped is still in force.
  EventLog small(nullptr, 3);
  ReportCondition(&small, Severity::kError, "report file", "report file cannot be created");
  for (int i = 0; i < 10; ++i) Report(&small, "tick");
  ASSERT_TRUE(small.Problem().has_value());
  EXPECT_EQ(small.Problem()->text, "report file cannot be created");
  EXPECT_GE(EventLog::kDefaultKept, 500u);
}

TEST(EventLog, EventsFromEngineThreadsCostTheListenerOneCallUntilNoticed) {
  EventLog log;
  std::atomic<int> calls{0};
  log.SetListener([&] { ++calls; });
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&log, t] {
      for (int i = 0; i < 200; ++i)
        ReportCondition(&log, Severity::kWarning, "line " + std::to_string(t),
                        "line " + std::to_string(t) + " event " + std::to_string(i));
    });
  for (std::thread& thread : threads) thread.join();
  // Nobody has looked yet: the burst cost one call.
  EXPECT_EQ(calls.load(), 1);
  EXPECT_EQ(log.Recent().size(), 800u);
  EXPECT_EQ(log.ActiveConditions().size(), 4u);
  for (const auto& [name, event] : log.ActiveConditions())
    EXPECT_EQ(event.text, name + " event 199");
  log.TakeNotice();
  Report(&log, "after the look");
  EXPECT_EQ(calls.load(), 2);
  // Removed, the listener hears nothing more; a new one hears the next event.
  log.SetListener({});
  Report(&log, "unheard");
  int later = 0;
  log.SetListener([&] { ++later; });
  Report(&log, "heard");
  EXPECT_EQ(calls.load(), 2);
  EXPECT_EQ(later, 1);
}

TEST(EventText, ControlCharactersBecomeSpacesAndSeveritiesHaveRussianNames) {
  EXPECT_EQ(OneLine("COM1:\tbad\r\nframe \x01 Ж"), "COM1: bad  frame   Ж");
  EXPECT_STREQ(SeverityText(Severity::kError), "ошибка");
  EXPECT_STREQ(SeverityText(Severity::kWarning), "предупреждение");
  EXPECT_STREQ(SeverityText(Severity::kNotice), "уведомление");
  EXPECT_STREQ(SeverityText(Severity::kInfo), "сведения");
}

}  // namespace
}  // namespace tillgate::testing

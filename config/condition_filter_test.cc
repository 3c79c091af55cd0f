#include "config/condition_filter.h"

#include <gtest/gtest.h>

#include "config/event_collector.h"

namespace tillgate {
namespace {

TEST(ConditionFilter, ALastingConditionIsReportedOnceAndAgainWhenItChanges) {
  EventCollector out;
  ConditionFilter filter(&out);
  for (int i = 0; i < 3; ++i)
    ReportCondition(&filter, Severity::kError, "goods folder", "goods folder: missing");
  ReportCondition(&filter, Severity::kError, "report folder", "report folder: missing");
  ReportCondition(&filter, Severity::kError, "goods folder", "goods folder: not a folder");
  ReportCondition(&filter, Severity::kError, "goods folder", "goods folder: not a folder");
  // One-off events are never held back, however often they repeat.
  Report(&filter, Severity::kWarning, "hand-over refused");
  Report(&filter, Severity::kWarning, "hand-over refused");
  EXPECT_EQ(out.Lines(),
            (std::vector<std::string>{"goods folder: missing", "report folder: missing",
                                      "goods folder: not a folder", "hand-over refused",
                                      "hand-over refused"}));
}

TEST(ConditionFilter, AConditionComingBackAfterItClearedIsNewsAgain) {
  EventCollector out;
  ConditionFilter filter(&out);
  ReportConditionCleared(&filter, "COM1 port", "COM1: port opened", Severity::kInfo);
  ReportCondition(&filter, Severity::kError, "COM1 port", "COM1: port failed");
  ReportCondition(&filter, Severity::kError, "COM1 port", "COM1: port failed");
  ReportConditionCleared(&filter, "COM1 port", "COM1: port opened", Severity::kInfo);
  ReportCondition(&filter, Severity::kError, "COM1 port", "COM1: port failed");
  const auto events = out.Events();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_TRUE(events[0].cleared);
  EXPECT_EQ(events[1].severity, Severity::kError);
  EXPECT_TRUE(events[2].cleared);
  EXPECT_EQ(events[3].text, "COM1: port failed");
}

}  // namespace
}  // namespace tillgate

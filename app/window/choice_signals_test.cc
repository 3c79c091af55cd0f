// A list's choice is reported once, however it was made.

#include "app/window/choice_signals.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QTest>
#include <vector>

#include "app/window/window_test_support.h"

namespace tillgate::testing {
namespace {

TEST(OnChoice, EveryWayOfChoosingCountsOnceAndTheProgramsOwnChangesNot) {
  EnsureApplication();
  QComboBox box;
  box.addItems({"a", "b", "c"});
  box.show();
  bool muted = false;
  std::vector<int> chosen;
  OnChoice(
      &box, [&] { return muted; }, [&](int item) { chosen.push_back(item); });
  const auto settle = [] {
    QApplication::processEvents();
    QTest::qWait(1);
    QApplication::processEvents();
  };

  box.setFocus();
  QTest::keyClick(&box, Qt::Key_Down);  // changed, then activated
  settle();
  EXPECT_EQ(chosen, std::vector<int>({1}));

  emit box.activated(1);  // the item already shown, picked again
  settle();
  EXPECT_EQ(chosen, std::vector<int>({1, 1}));

  // An accessibility client selects an item of the closed list.
  QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&box)->child(0);
  list->child(2)->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
  settle();
  EXPECT_EQ(box.currentIndex(), 2);
  EXPECT_EQ(chosen, std::vector<int>({1, 1, 2}));

  muted = true;
  box.setCurrentIndex(0);
  settle();
  EXPECT_EQ(chosen, std::vector<int>({1, 1, 2}));
  muted = false;
  box.setCurrentIndex(-1);  // no item: nothing chosen
  settle();
  EXPECT_EQ(chosen, std::vector<int>({1, 1, 2}));
}

}  // namespace
}  // namespace tillgate::testing

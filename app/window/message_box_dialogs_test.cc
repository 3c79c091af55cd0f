// The real message boxes: titles, icons and button captions as the operator
// sees them, answered by clicking.

#include "app/window/message_box_dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/window/window_test_support.h"

namespace tillgate::testing {
namespace {

struct SeenBox {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QStringList buttons;
};

// Shows one dialog; while it is up, records it and clicks `press`.
DialogAnswer ShowAndPress(DialogKind kind, const QString& text, unsigned buttons,
                          const QString& press, SeenBox* seen) {
  QTimer::singleShot(0, [=] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    seen->title = box->windowTitle();
    seen->text = box->text();
    seen->icon = box->icon();
    for (QAbstractButton* button : box->buttons()) seen->buttons << button->text();
    for (QAbstractButton* button : box->buttons())
      if (button->text() == press) button->click();
    if (press == "Escape") QTest::keyClick(box, Qt::Key_Escape);
    if (press.isEmpty()) box->reject();
  });
  MessageBoxDialogs dialogs(nullptr);
  return dialogs.Show(kind, text, buttons);
}

TEST(MessageBoxDialogs, ConfirmationWithYesNoCancel) {
  EnsureApplication();
  SeenBox seen;
  const unsigned all = kButtonYes | kButtonNo | kButtonCancel;
  EXPECT_EQ(ShowAndPress(DialogKind::kConfirmation, "Сохранить изменения", all, "&No", &seen),
            DialogAnswer::kNo);
  EXPECT_EQ(seen.title, "Confirm");
  EXPECT_EQ(seen.text, "Сохранить изменения");
  EXPECT_EQ(seen.icon, QMessageBox::Question);
  EXPECT_TRUE(seen.buttons.contains("&Yes"));
  EXPECT_TRUE(seen.buttons.contains("&No"));
  EXPECT_TRUE(seen.buttons.contains("Cancel"));
  EXPECT_EQ(seen.buttons.size(), 3);
  EXPECT_EQ(ShowAndPress(DialogKind::kConfirmation, "x", all, "&Yes", &seen), DialogAnswer::kYes);
  EXPECT_EQ(ShowAndPress(DialogKind::kConfirmation, "x", all, "Cancel", &seen),
            DialogAnswer::kCancel);
  // Escape (or the close box) counts as Cancel where Cancel is offered.
  EXPECT_EQ(ShowAndPress(DialogKind::kConfirmation, "x", all, "Escape", &seen),
            DialogAnswer::kCancel);
}

TEST(MessageBoxDialogs, InformationAndErrorBoxes) {
  EnsureApplication();
  SeenBox seen;
  EXPECT_EQ(ShowAndPress(DialogKind::kInformation, "Будем инсталлировать", kButtonYes | kButtonNo,
                         "&Yes", &seen),
            DialogAnswer::kYes);
  EXPECT_EQ(seen.title, "Information");
  EXPECT_EQ(seen.icon, QMessageBox::Information);
  EXPECT_EQ(seen.buttons.size(), 2);
  seen = {};
  EXPECT_EQ(ShowAndPress(DialogKind::kInformation, "Драйвер инсталлирован", kButtonOk, "OK", &seen),
            DialogAnswer::kOk);
  EXPECT_EQ(seen.buttons, QStringList{"OK"});
  seen = {};
  EXPECT_EQ(
      ShowAndPress(DialogKind::kError, "'' is not a valid integer value", kButtonOk, "OK", &seen),
      DialogAnswer::kOk);
  EXPECT_EQ(seen.icon, QMessageBox::Critical);
  EXPECT_EQ(seen.title, "Tillgate");
  // Yes/No without Cancel, dismissed: neither answer.
  EXPECT_EQ(ShowAndPress(DialogKind::kConfirmation, "x", kButtonYes | kButtonNo, "", &seen),
            DialogAnswer::kClosed);
}

}  // namespace
}  // namespace tillgate::testing

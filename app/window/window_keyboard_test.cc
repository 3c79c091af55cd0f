// The window driven only from the keyboard and through the accessibility
// interface, as a screen reader or an automation tool drives it.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAccessibleEditableTextInterface>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <filesystem>

#include "app/window/folder_lists.h"
#include "app/window/window_test_support.h"

namespace tillgate::testing {
namespace {

QAccessibleInterface* Accessible(QObject* object) {
  return QAccessible::queryAccessibleInterface(object);
}

QString AccessibleName(QWidget* widget) { return Accessible(widget)->text(QAccessible::Name); }

// Runs an accessibility action on `object` (or on its accessible child
// `child` when given), as a screen reader would.
void Act(QObject* object, const QString& action, int child = -1) {
  QAccessibleInterface* target = Accessible(object);
  ASSERT_NE(target, nullptr);
  if (child >= 0) target = target->child(child);
  ASSERT_NE(target, nullptr);
  ASSERT_NE(target->actionInterface(), nullptr);
  ASSERT_TRUE(target->actionInterface()->actionNames().contains(action))
      << action.toStdString() << " on " << object->objectName().toStdString();
  target->actionInterface()->doAction(action);
  QApplication::processEvents();
}

// Chooses item `item` of a closed list through its accessible items.
void ChooseItem(QComboBox* box, int item) {
  QAccessibleInterface* list = Accessible(box)->child(0);
  ASSERT_NE(list, nullptr);
  ASSERT_LT(item, list->childCount());
  QAccessibleInterface* entry = list->child(item);
  entry->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
  QApplication::processEvents();
}

// Replaces the whole text of `field` through its accessible text interface.
void TypeAccessibly(QLineEdit* field, const QString& text) {
  QAccessibleEditableTextInterface* editable = Accessible(field)->editableTextInterface();
  ASSERT_NE(editable, nullptr);
  editable->replaceText(0, field->text().size(), text);
  QApplication::processEvents();
}

void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QWidget* focus = QApplication::focusWidget();
  ASSERT_NE(focus, nullptr);
  QTest::keyClick(focus, static_cast<Qt::Key>(key), modifiers);
  QApplication::processEvents();
}

// Presses Tab until `target` has the focus; false when it never does.
bool TabTo(QWidget* target) {
  for (int presses = 0; presses < 60; ++presses) {
    if (QApplication::focusWidget() == target) return true;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QApplication::processEvents();
  }
  return false;
}

// COM1..COM4 each with settings of its own.
std::string FourPorts(const std::string& folder) {
  return InstalledRegistry(
      folder,
      "\"COM1\"=hex:01,01,03\n\"MASKA1\"=\"21CCCCCWWWWW\"\n"
      "\"STROKA1\"=\"CN\"\n\"COD_LENGTH1\"=dword:00000009\n"
      "\"COD_LENGTH2\"=dword:00000005\n"
      "\"COM3\"=hex:00,00,02\n\"MASKA3\"=\"23CCCCCWWWWW\"\n\"STROKA3\"=\"NN\"\n"
      "\"COM4\"=hex:00,00,01\n\"MASKA4\"=\"24CCCCCWWWWW\"\n\"STROKA4\"=\"CC\"\n"
      "\"COD_LENGTH4\"=dword:00000007\n");
}

class WindowDrivenWithoutMouse : public ::testing::Test {
 protected:
  void SetUp() override {
    h = std::make_unique<Harness>(FourPorts(folder.path()));
    ASSERT_TRUE(h->Start());
    h->Find<QTabWidget>("PageControl1")->setCurrentIndex(1);
    h->form->show();
    QApplication::setActiveWindow(h->form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(h->form.get()));
  }
  template <typename W>
  W* Find(const char* name) {
    return h->Find<W>(QString::fromLatin1(name));
  }
  const PortConfig& Port(int number) { return h->form->settings().ports[number - 1]; }
  // The "Оборудование" page shows these settings.
  void ExpectPageShows(const QString& model, const QString& mask, int first_line, int second_line,
                       const QString& split) {
    EXPECT_EQ(Find<QComboBox>("ComboBox1")->currentText(), model);
    EXPECT_EQ(Find<QLineEdit>("Edit3")->text(), mask);
    EXPECT_EQ(Find<QComboBox>("ComboBox2")->currentIndex(), first_line);
    EXPECT_EQ(Find<QComboBox>("ComboBox3")->currentIndex(), second_line);
    EXPECT_EQ(Find<QLineEdit>("MaskEdit1")->text(), split);
  }
  ScratchDir folder;
  std::unique_ptr<Harness> h;
};

TEST_F(WindowDrivenWithoutMouse, ArrowKeysSelectThePortAndTypedEditsLandInItAlone) {
  Find<QRadioButton>("RadioButton2")->setFocus(Qt::TabFocusReason);
  Press(Qt::Key_Down);
  EXPECT_TRUE(Find<QRadioButton>("RadioButton3")->isChecked());
  EXPECT_EQ(h->form->selected_port(), 2);
  // COM3's split length (0) is not shown: the field keeps COM2's.
  ExpectPageShows("Электроника-92", "23CCCCCWWWWW", 0, 0, "5");
  Press(Qt::Key_Down);
  ExpectPageShows("ЭКР-3102Ф", "24CCCCCWWWWW", 1, 1, "7");
  Press(Qt::Key_Up);
  EXPECT_EQ(h->form->selected_port(), 2);
  ExpectPageShows("Электроника-92", "23CCCCCWWWWW", 0, 0, "7");
  // Nothing was edited: browsing stored nothing.
  EXPECT_EQ(Port(3).split_length, 0);
  EXPECT_EQ(Port(4).split_length, 7);

  // Space on COM3's connect box, the next stop.
  Press(Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget(), Find<QCheckBox>("CheckBox4"));
  Press(Qt::Key_Space);
  EXPECT_TRUE(Find<QCheckBox>("CheckBox4")->isChecked());

  ASSERT_TRUE(TabTo(Find<QLineEdit>("Edit3")));
  Press(Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(QApplication::focusWidget(), "29CCCCWWWWWW");
  Press(Qt::Key_Tab);
  Press(Qt::Key_Down);  // ComboBox2: "Количество"
  Press(Qt::Key_Tab);
  Press(Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget(), Find<QLineEdit>("MaskEdit1"));
  Press(Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(QApplication::focusWidget(), "8");
  Press(Qt::Key_Up);  // the spinner from the keyboard
  EXPECT_EQ(Find<QLineEdit>("MaskEdit1")->text(), "9");
  Press(Qt::Key_Tab);
  QTest::keyClicks(QApplication::focusWidget(), "/dev/ttyUSB7");
  Press(Qt::Key_Tab);  // out of the group
  EXPECT_EQ(QApplication::focusWidget()->objectName(), "EventLine");

  EXPECT_EQ(Port(3).mask, "29CCCCWWWWWW");
  EXPECT_EQ(Port(3).name_lines, "CN");
  EXPECT_EQ(Port(3).split_length, 9);
  EXPECT_EQ(Port(3).device, "/dev/ttyUSB7");
  EXPECT_EQ(Port(3).model, 2);
  for (int other : {1, 2, 4}) {
    EXPECT_NE(Port(other).mask, "29CCCCWWWWWW") << other;
    EXPECT_TRUE(Port(other).device.empty()) << other;
  }
  EXPECT_EQ(Port(2).split_length, 5);
  EXPECT_EQ(Port(4).split_length, 7);
  EXPECT_EQ(Port(4).name_lines, "CC");
  EXPECT_TRUE(h->dialogs.shown.empty());
}

TEST_F(WindowDrivenWithoutMouse, TabRunsDownThePageAsItReads) {
  h->Find<QTabWidget>("PageControl1")->tabBar()->setFocus(Qt::TabFocusReason);
  QStringList visited;
  for (int presses = 0; presses < 26; ++presses) {
    Press(Qt::Key_Tab);
    visited << QApplication::focusWidget()->objectName();
  }
  // The port group is one stop, at the checked port, between COM1's and
  // COM2's connect boxes.
  QStringList expected{"CheckBox2", "RadioButton2"};
  for (int box = 3; box <= 17; ++box) expected << QStringLiteral("CheckBox%1").arg(box);
  expected << "ComboBox1"
           << "Edit3"
           << "ComboBox2"
           << "ComboBox3"
           << "MaskEdit1"
           << "Edit4"
           << "EventLine"
           << "Button1"
           << "qt_tabwidget_tabbar";
  EXPECT_EQ(visited.join(' ').toStdString(), expected.join(' ').toStdString());
  // Checked another way, the port keeps the stop.
  Act(Find<QRadioButton>("RadioButton9"), QAccessibleActionInterface::toggleAction());
  Find<QCheckBox>("CheckBox2")->setFocus(Qt::TabFocusReason);
  Press(Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget()->objectName(), "CheckBox3");
  ASSERT_TRUE(TabTo(Find<QCheckBox>("CheckBox10")));
  Press(Qt::Key_Tab, Qt::ShiftModifier);
  EXPECT_EQ(QApplication::focusWidget()->objectName(), "RadioButton9");
}

TEST_F(WindowDrivenWithoutMouse, AccessibilityActionsSelectThePortAndEditsLandInItAlone) {
  // Toggling COM1 shows COM1, exactly as a click does.
  Act(Find<QRadioButton>("RadioButton1"), QAccessibleActionInterface::toggleAction());
  EXPECT_TRUE(Find<QRadioButton>("RadioButton1")->isChecked());
  EXPECT_EQ(h->form->selected_port(), 0);
  ExpectPageShows("Ладога Ф", "21CCCCCWWWWW", 1, 0, "9");

  // An edit, then another port toggled without the focus ever moving: the
  // edit is COM1's.
  TypeAccessibly(Find<QLineEdit>("Edit3"), "20CCCCCWWWWW");
  ChooseItem(Find<QComboBox>("ComboBox3"), 1);
  Act(Find<QRadioButton>("RadioButton4"), QAccessibleActionInterface::toggleAction());
  EXPECT_EQ(Port(1).mask, "20CCCCCWWWWW");
  EXPECT_EQ(Port(1).name_lines, "CC");
  EXPECT_EQ(Port(4).mask, "24CCCCCWWWWW");
  ExpectPageShows("ЭКР-3102Ф", "24CCCCCWWWWW", 1, 1, "7");

  // The model list, the name lines and the spinner's arrows on COM4.
  ChooseItem(Find<QComboBox>("ComboBox1"), 2);
  EXPECT_EQ(Find<QComboBox>("ComboBox1")->currentText(), "Ладога Ф");
  EXPECT_EQ(Port(4).model, 3);
  EXPECT_EQ(Port(1).model, 3);
  EXPECT_EQ(Port(2).model, 1);
  ChooseItem(Find<QComboBox>("ComboBox2"), 0);
  auto* up = h->form->findChild<QAbstractButton*>("UpArrow");
  ASSERT_NE(up, nullptr);
  Act(up, QAccessibleActionInterface::pressAction());
  ASSERT_TRUE(
      WaitUntil([&] { return Find<QLineEdit>("MaskEdit1")->text() == QString("8"); }, 2000));
  EXPECT_EQ(Port(4).split_length, 8);  // the field's own handler, at once
  Act(Find<QRadioButton>("RadioButton2"), QAccessibleActionInterface::toggleAction());
  EXPECT_EQ(Port(4).name_lines, "NC");
  EXPECT_EQ(Port(2).name_lines, "NC");
  EXPECT_EQ(Port(2).split_length, 5);
  ExpectPageShows("ЭКР-3102Ф", "25CCCCCWWWWW", 0, 1, "5");

  // Filling the page is not an edit: COM3 (split length 0) is shown and
  // left for another page without its settings changing.
  Act(Find<QRadioButton>("RadioButton3"), QAccessibleActionInterface::toggleAction());
  h->Find<QTabWidget>("PageControl1")->setCurrentIndex(2);
  QApplication::processEvents();
  EXPECT_EQ(Port(3).split_length, 0);
  EXPECT_EQ(Port(3).name_lines, "NN");
  EXPECT_TRUE(h->dialogs.shown.empty());
}

TEST_F(WindowDrivenWithoutMouse, AccessibilityActionsOnBoxesFoldersAndExit) {
  auto* stock = Find<QCheckBox>("CheckBox1");
  Act(stock, QAccessibleActionInterface::toggleAction());
  EXPECT_TRUE(h->form->settings().track_stock);
  Act(stock, QAccessibleActionInterface::toggleAction());
  EXPECT_FALSE(h->form->settings().track_stock);

  // Selecting a folder of the list enters it, as Enter does.
  std::filesystem::create_directory(folder.path() + "/reports");
  auto* folders = Find<DirectoryListBox>("DirectoryListBox2");
  ASSERT_TRUE(folders->SetDirectory(QString::fromStdString(folder.path()), nullptr));
  int reports_row = -1;
  for (int row = 0; row < folders->count(); ++row)
    if (folders->item(row)->text().trimmed() == "reports") reports_row = row;
  ASSERT_GE(reports_row, 0);
  Act(folders, QAccessibleActionInterface::toggleAction(), reports_row);
  ASSERT_TRUE(WaitUntil(
      [&] {
        return Find<QLineEdit>("Edit2")->text() ==
               QString::fromStdString(folder.path() + "/reports");
      },
      2000));

  // Mask edited, then "Выход" pressed without the focus moving: the edit is
  // saved with the rest.
  Act(Find<QCheckBox>("CheckBox6"), QAccessibleActionInterface::toggleAction());
  TypeAccessibly(Find<QLineEdit>("Edit3"), "26CCCCCWWWWW");
  h->dialogs.answers = {DialogAnswer::kYes};
  Act(Find<QPushButton>("Button1"), QAccessibleActionInterface::pressAction());
  ASSERT_TRUE(WaitUntil([&] { return h->form->ended(); }, 2000));
  const std::string saved = h->RegistryText();
  EXPECT_NE(saved.find("\"MASKA2\"=\"26CCCCCWWWWW\""), std::string::npos) << saved;
  EXPECT_NE(saved.find("\"COM5\"=hex:01,00,01"), std::string::npos) << saved;
  EXPECT_NE(saved.find("\"OutPath\"=\"" + folder.path() + "/reports\""), std::string::npos)
      << saved;
}

TEST_F(WindowDrivenWithoutMouse, EveryControlHasADistinctName) {
  // Whatever takes the focus or can be pressed, and the grids; the inner
  // parts of lists and grids speak for themselves.
  QSet<QString> names;
  int controls = 0;
  for (QWidget* widget : h->form->findChildren<QWidget*>()) {
    bool inner = false;
    for (QWidget* up = widget->parentWidget(); up != nullptr; up = up->parentWidget())
      inner |= qobject_cast<QAbstractItemView*>(up) || qobject_cast<QComboBox*>(up) ||
               qobject_cast<QTabBar*>(up);
    if (inner) continue;
    const bool control = (widget->focusPolicy() & Qt::ClickFocus) ||
                         qobject_cast<QAbstractButton*>(widget) ||
                         qobject_cast<QAbstractItemView*>(widget);
    if (!control) continue;
    ++controls;
    const QString name = AccessibleName(widget);
    EXPECT_FALSE(name.trimmed().isEmpty()) << widget->objectName().toStdString();
    EXPECT_FALSE(names.contains(name))
        << widget->objectName().toStdString() << " repeats \"" << name.toStdString() << "\"";
    names.insert(name);
  }
  EXPECT_GE(controls, 70);
  EXPECT_EQ(AccessibleName(Find<QCheckBox>("CheckBox2")), "Подключить COM1");
  EXPECT_EQ(AccessibleName(Find<QCheckBox>("CheckBox17")), "Подключить COM16");
  EXPECT_EQ(AccessibleName(Find<QCheckBox>("CheckBox18")), "Запуск COM1");
  // A list is named for what it is, its item is its value.
  auto* models = Find<QComboBox>("ComboBox1");
  EXPECT_EQ(AccessibleName(models), "Модель кассы");
  EXPECT_EQ(Accessible(models)->text(QAccessible::Value), "ЭКР-3102Ф");
  // The captions stay as they were.
  EXPECT_EQ(Find<QCheckBox>("CheckBox18")->text(), "COM1");
  EXPECT_TRUE(Find<QCheckBox>("CheckBox2")->text().isEmpty());
}

}  // namespace
}  // namespace tillgate::testing

// The main window driven through its controls, found by designer name.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <filesystem>
#include <stdexcept>

#include "app/window/up_down.h"
#include "app/window/window_test_support.h"

namespace tillgate::testing {
namespace {

QString Com(int port) { return QStringLiteral("RadioButton%1").arg(port); }
QString StartBox(int port) { return QStringLiteral("CheckBox%1").arg(port + 17); }
QString ConnectBox(int port) { return QStringLiteral("CheckBox%1").arg(port + 1); }

// Shows the window and makes it active so that clicks move the focus as they
// do for the operator.
void ShowActive(TForm1& form) {
  form.show();
  QApplication::setActiveWindow(&form);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
}

// Gives `widget` the focus the way a click would.
void Focus(QWidget* widget) {
  widget->setFocus(Qt::MouseFocusReason);
  QApplication::processEvents();
}

void ClickRadio(Harness& h, int port) {
  auto* radio = h.Find<QRadioButton>(Com(port));
  QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(8, radio->height() / 2));
  QApplication::processEvents();
}

// --- First run without the key -------------------------------------------

TEST(WindowFirstRun, PagesDisabledInstallButtonAndWorkingFolders) {
  Harness h("");
  ASSERT_TRUE(h.Start());
  auto* pages = h.Find<QTabWidget>("PageControl1");
  ASSERT_EQ(pages->count(), 7);
  const QStringList titles{"Базы",       "Оборудование", "Запуск",     "Диагностика",
                           "Мониторинг", "Сведения",     "Инсталляция"};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(pages->tabText(i), titles[i]);
    EXPECT_EQ(pages->widget(i)->isEnabled(), i == 6) << titles[i].toStdString();
  }
  EXPECT_EQ(pages->currentIndex(), 5);  // "Сведения" at start-up
  EXPECT_EQ(h.Find<QPushButton>("Button4")->text(), "ИНСТАЛЛЯЦИЯ");
  const QString cwd = QString::fromStdString(h.dir.path());
  EXPECT_EQ(h.Find<QLineEdit>("Edit1")->text(), cwd);
  EXPECT_EQ(h.Find<QLineEdit>("Edit2")->text(), cwd);
  EXPECT_EQ(h.form->windowTitle(), "Tillgate");
  // The drawn place and size, grown for the font in use, never shrunk.
  EXPECT_EQ(h.form->pos(), QPoint(205, 161));
  EXPECT_EQ(h.form->size(), h.form->scale().Size(544, 375));
  EXPECT_GE(h.form->width(), 544);
  EXPECT_GE(h.form->height(), 375);
  EXPECT_EQ(h.Find<QPushButton>("Button1")->text(), "Выход");
  for (int port = 1; port <= kPortCount; ++port)
    EXPECT_FALSE(h.Find<QCheckBox>(StartBox(port))->isEnabled());
  EXPECT_TRUE(h.dialogs.shown.empty());
}

TEST(WindowFirstRun, InformationPageHasPictureAndTwoCentredLines) {
  Harness h("");
  ASSERT_TRUE(h.Start());
  auto* picture = h.Find<QLabel>("Image1");
  EXPECT_FALSE(picture->pixmap().isNull());
  for (const char* name : {"Label1", "Label2"}) {
    auto* line = h.Find<QLabel>(name);
    EXPECT_EQ(line->size(), QSize(200, 50)) << name;
    EXPECT_TRUE(line->alignment() & Qt::AlignHCenter) << name;
    EXPECT_TRUE(line->wordWrap()) << name;
  }
  EXPECT_EQ(h.Find<QLabel>("Label1")->text(), "Tillgate");
  EXPECT_TRUE(h.Find<QLabel>("Label1")->font().bold());
}

TEST(WindowFirstRun, YesOnExitWritesNothing) {
  Harness h("");
  ASSERT_TRUE(h.Start());
  h.dialogs.answers = {DialogAnswer::kYes};
  h.Find<QPushButton>("Button1")->click();
  ASSERT_EQ(h.dialogs.shown.size(), 1u);
  EXPECT_EQ(h.dialogs.shown[0].kind, DialogKind::kConfirmation);
  EXPECT_EQ(h.dialogs.shown[0].text, "Сохранить изменения");
  EXPECT_EQ(h.dialogs.shown[0].buttons, unsigned{kButtonYes | kButtonNo | kButtonCancel});
  EXPECT_TRUE(h.form->ended());
  EXPECT_EQ(h.end_requests, 1);
  EXPECT_FALSE(std::filesystem::exists(h.registry_path));
}

// --- Equipment page -------------------------------------------------------

class WindowEquipment : public ::testing::Test {
 protected:
  void StartWith(const std::string& extra) {
    h = std::make_unique<Harness>(InstalledRegistry(h_dir.path(), extra));
    ASSERT_TRUE(h->Start());
    h->Find<QTabWidget>("PageControl1")->setCurrentIndex(1);
    ShowActive(*h->form);
  }
  ScratchDir h_dir;
  std::unique_ptr<Harness> h;
};

TEST_F(WindowEquipment, ShowsComTwoAtStartUp) {
  StartWith("\"COD_LENGTH2\"=dword:00000007\n\"COM2\"=hex:01,00,02\n\"STROKA2\"=\"CN\"\n");
  EXPECT_TRUE(h->Find<QRadioButton>(Com(2))->isChecked());
  EXPECT_EQ(h->form->selected_port(), 1);
  EXPECT_EQ(h->Find<QLineEdit>("MaskEdit1")->text(), "7");
  EXPECT_EQ(h->Find<UpDown>("UpDown1")->value(), 7);
  EXPECT_EQ(h->Find<UpDown>("UpDown1")->minimum(), 4);
  EXPECT_EQ(h->Find<UpDown>("UpDown1")->maximum(), 12);
  EXPECT_EQ(h->Find<QComboBox>("ComboBox1")->currentText(), "Электроника-92");
  EXPECT_EQ(h->Find<QComboBox>("ComboBox2")->currentText(), "Количество");
  EXPECT_EQ(h->Find<QComboBox>("ComboBox3")->currentText(), "Наименование");
  EXPECT_EQ(h->Find<QLineEdit>("Edit3")->text(), "25CCCCCWWWWW");
  EXPECT_TRUE(h->Find<QCheckBox>(ConnectBox(2))->isChecked());
  EXPECT_EQ(h->Find<QPushButton>("Button4")->text(), "ДЕИНСТАЛЛЯЦИЯ");
}

TEST_F(WindowEquipment, SplitLengthOutsideFourToThirteenKeepsFieldAndIsStoredOnExit) {
  StartWith("\"COD_LENGTH2\"=dword:00000006\n");  // COM3 keeps split length 0
  auto* field = h->Find<QLineEdit>("MaskEdit1");
  ClickRadio(*h, 3);
  EXPECT_EQ(h->form->selected_port(), 2);
  EXPECT_EQ(field->text(), "6");
  EXPECT_EQ(h->form->settings().ports[2].split_length, 0);
  // Working in the group and leaving it stores the shown value into COM3.
  Focus(h->Find<QLineEdit>("Edit3"));
  Focus(h->Find<QRadioButton>(Com(3)));
  EXPECT_EQ(h->form->settings().ports[2].split_length, 6);
}

TEST_F(WindowEquipment, ModelZeroKeepsPreviousModelUntilChosen) {
  StartWith("\"COM2\"=hex:00,00,03\n\"COM4\"=hex:00,00,00\n");
  auto* models = h->Find<QComboBox>("ComboBox1");
  EXPECT_EQ(models->currentText(), "Ладога Ф");
  ClickRadio(*h, 4);
  EXPECT_EQ(models->currentText(), "Ладога Ф");
  EXPECT_EQ(h->form->settings().ports[3].model, 0);
  h->form->presenter().ComboBox1Change(1);  // as picking "Электроника-92"
  EXPECT_EQ(h->form->settings().ports[3].model, 2);
  EXPECT_EQ(h->form->settings().ports[1].model, 3);
}

TEST_F(WindowEquipment, MaskEditedThenOtherPortClickedGoesToShownPort) {
  StartWith("");
  auto* mask = h->Find<QLineEdit>("Edit3");
  Focus(mask);
  mask->setText("29CCCCWWWWWW");
  h->Find<QComboBox>("ComboBox2")->setCurrentIndex(1);
  h->Find<QComboBox>("ComboBox3")->setCurrentIndex(1);
  h->Find<QLineEdit>("Edit4")->setText("/dev/ttyUSB3");
  ClickRadio(*h, 5);
  const Settings& s = h->form->settings();
  EXPECT_EQ(s.ports[1].mask, "29CCCCWWWWWW");
  EXPECT_EQ(s.ports[1].name_lines, "CC");
  EXPECT_EQ(s.ports[1].device, "/dev/ttyUSB3");
  EXPECT_EQ(s.ports[4].mask, "25CCCCCWWWWW");
  EXPECT_EQ(h->form->selected_port(), 4);
  EXPECT_EQ(mask->text(), "25CCCCCWWWWW");
  EXPECT_EQ(h->Find<QLineEdit>("Edit4")->text(), "");
  EXPECT_EQ(h->Find<QLineEdit>("Edit4")->placeholderText(), "/dev/ttyS4");
  // Back on COM2 the stored values show again.
  ClickRadio(*h, 2);
  EXPECT_EQ(mask->text(), "29CCCCWWWWWW");
  EXPECT_EQ(h->Find<QLineEdit>("Edit4")->text(), "/dev/ttyUSB3");
  EXPECT_EQ(h->Find<QComboBox>("ComboBox2")->currentIndex(), 1);
}

TEST_F(WindowEquipment, LeavingForAnotherPageOrTheExitButtonStoresToo) {
  StartWith("");
  auto* mask = h->Find<QLineEdit>("Edit3");
  Focus(mask);
  mask->setText("22CCCCCWWWWW");
  h->Find<QTabWidget>("PageControl1")->setCurrentIndex(2);
  QApplication::processEvents();
  EXPECT_EQ(h->form->settings().ports[1].mask, "22CCCCCWWWWW");

  h->Find<QTabWidget>("PageControl1")->setCurrentIndex(1);
  Focus(mask);
  mask->setText("23CCCCCWWWWW");
  h->dialogs.answers = {DialogAnswer::kCancel};
  auto* exit_button = h->Find<QPushButton>("Button1");
  QTest::mouseClick(exit_button, Qt::LeftButton);
  EXPECT_EQ(h->form->settings().ports[1].mask, "23CCCCCWWWWW");
  EXPECT_EQ(h->dialogs.shown.back().text, "Сохранить изменения");
  // A message box taking the focus from the group does not count as leaving
  // it (else the bad text would be reported twice).
  h->dialogs.take_focus = true;
  ShowActive(*h->form);
  Focus(h->Find<QLineEdit>("MaskEdit1"));
  ASSERT_EQ(QApplication::focusWidget(), h->Find<QLineEdit>("MaskEdit1"));
  const size_t before = h->dialogs.shown.size();
  h->Find<QLineEdit>("MaskEdit1")->setText("x");
  QApplication::processEvents();
  EXPECT_EQ(h->dialogs.shown.size(), before + 1);
}

TEST_F(WindowEquipment, ThirteenTypedIsShownAgainFourteenStoredIsNot) {
  StartWith("\"COD_LENGTH3\"=dword:0000000e\n\"COD_LENGTH2\"=dword:00000005\n");
  auto* field = h->Find<QLineEdit>("MaskEdit1");
  Focus(field);
  field->setText("13");  // typed: beyond the spinner's range, stored all the same
  EXPECT_EQ(h->form->settings().ports[1].split_length, 13);
  ClickRadio(*h, 3);
  EXPECT_EQ(field->text(), "13");  // COM3's 14 is not shown
  EXPECT_EQ(h->form->settings().ports[2].split_length, 14);
  Focus(h->Find<QRadioButton>(Com(3)));
  h->Find<QLineEdit>("MaskEdit1")->setText("5");
  ClickRadio(*h, 2);
  EXPECT_EQ(field->text(), "13");
}

TEST_F(WindowEquipment, InvalidSplitLengthTextShowsMessageAndKeepsValue) {
  StartWith("\"COD_LENGTH2\"=dword:00000008\n");
  auto* field = h->Find<QLineEdit>("MaskEdit1");
  Focus(field);
  h->Find<QComboBox>("ComboBox2")->setCurrentIndex(1);
  field->setText("");
  ASSERT_FALSE(h->dialogs.shown.empty());
  EXPECT_EQ(h->dialogs.shown.back().kind, DialogKind::kError);
  EXPECT_EQ(h->dialogs.shown.back().text, "'' is not a valid integer value");
  field->setText("7x");
  EXPECT_EQ(h->dialogs.shown.back().text, "'7x' is not a valid integer value");
  EXPECT_EQ(h->form->settings().ports[1].split_length, 8);
  // Leaving the group: the mask is stored, the split length and the name
  // lines are not.
  h->Find<QLineEdit>("Edit3")->setText("21CCCCCWWWWW");
  const size_t before = h->dialogs.shown.size();
  ClickRadio(*h, 6);
  EXPECT_EQ(h->dialogs.shown.size(), before + 1);
  EXPECT_EQ(h->form->settings().ports[1].mask, "21CCCCCWWWWW");
  EXPECT_EQ(h->form->settings().ports[1].split_length, 8);
  EXPECT_EQ(h->form->settings().ports[1].name_lines, "NC");
  EXPECT_FALSE(h->form->ended());
}

TEST_F(WindowEquipment, SpinnerStepsWithinRangeThroughTheField) {
  StartWith("\"COD_LENGTH2\"=dword:0000000b\n");
  auto* spinner = h->Find<UpDown>("UpDown1");
  spinner->StepUp();
  EXPECT_EQ(h->Find<QLineEdit>("MaskEdit1")->text(), "12");
  spinner->StepUp();  // no wrap-around
  EXPECT_EQ(h->Find<QLineEdit>("MaskEdit1")->text(), "12");
  EXPECT_EQ(h->form->settings().ports[1].split_length, 12);
  h->Find<QLineEdit>("MaskEdit1")->setText("4");
  spinner->StepDown();
  EXPECT_EQ(h->Find<QLineEdit>("MaskEdit1")->text(), "4");
}

// --- Start page -----------------------------------------------------------

TEST(WindowStart, StartWithNoBoxAndTwice) {
  ScratchDir folder;
  Harness h(InstalledRegistry(folder.path(), "\"COM3\"=hex:01,00,01\n"));
  ASSERT_TRUE(h.Start());
  ASSERT_NE(h.engine, nullptr);
  EXPECT_TRUE(h.engine->starts.empty());  // auto start off
  h.Find<QCheckBox>(StartBox(1))->setChecked(false);
  h.Find<QPushButton>("Button2")->click();
  ASSERT_EQ(h.engine->starts.size(), 1u);
  EXPECT_TRUE(h.engine->starts[0].clear_diagnostics);
  for (bool box : h.engine->starts[0].boxes) EXPECT_FALSE(box);

  h.Find<QCheckBox>(StartBox(1))->setChecked(true);
  h.Find<QCheckBox>(StartBox(3))->setChecked(true);
  h.Find<QPushButton>("Button2")->click();
  h.Find<QPushButton>("Button2")->click();
  ASSERT_EQ(h.engine->starts.size(), 3u);
  for (int call = 1; call < 3; ++call) {
    EXPECT_TRUE(h.engine->starts[call].boxes[0]);
    EXPECT_TRUE(h.engine->starts[call].boxes[2]);
    EXPECT_FALSE(h.engine->starts[call].boxes[1]);
  }
}

TEST(WindowStart, StoredStartOfUnconnectedPortIsUncheckedAndDisabled) {
  ScratchDir folder;
  Harness h(InstalledRegistry(folder.path(), "\"COM5\"=hex:00,01,03\n"));
  ASSERT_TRUE(h.Start());
  auto* box = h.Find<QCheckBox>(StartBox(5));
  EXPECT_FALSE(box->isChecked());
  EXPECT_FALSE(box->isEnabled());
  EXPECT_TRUE(h.Find<QCheckBox>(StartBox(1))->isChecked());
  EXPECT_TRUE(h.Find<QCheckBox>(StartBox(1))->isEnabled());
  // Connecting it during the run does not enable its box.
  h.Find<QCheckBox>(ConnectBox(5))->setChecked(true);
  EXPECT_FALSE(box->isEnabled());
}

TEST(WindowStart, AutoStartRunsWithoutClearingDiagnostics) {
  ScratchDir folder;
  Harness h(InstalledRegistry(folder.path(), "", /*auto_start=*/1));
  ASSERT_TRUE(h.Start());
  EXPECT_TRUE(h.Find<QCheckBox>("CheckBox34")->isChecked());
  ASSERT_EQ(h.engine->starts.size(), 1u);
  EXPECT_FALSE(h.engine->starts[0].clear_diagnostics);
  EXPECT_TRUE(h.engine->starts[0].boxes[0]);
}

TEST(WindowStart, ConnectedPortWithoutModelIsNotStartedAndSaysSo) {
  ScratchDir folder;
  Harness h(InstalledRegistry(folder.path(), "\"COM2\"=hex:01,01,00\n"));
  ASSERT_TRUE(h.Start());
  auto* box = h.Find<QCheckBox>(StartBox(2));
  EXPECT_TRUE(box->isChecked());
  EXPECT_TRUE(box->isEnabled());
  h.Find<QPushButton>("Button2")->click();
  ASSERT_EQ(h.engine->starts.size(), 1u);
  EXPECT_FALSE(h.engine->starts[0].boxes[1]);
  EXPECT_TRUE(h.engine->starts[0].boxes[0]);
  EXPECT_TRUE(box->property("notStarted").toBool());
  EXPECT_FALSE(box->toolTip().isEmpty());
  EXPECT_TRUE(box->isChecked());  // the stored selection is kept for the save
  EXPECT_FALSE(h.Find<QCheckBox>(StartBox(1))->property("notStarted").toBool());
  // Cleared by the operator: no longer marked.
  box->setChecked(false);
  h.Find<QPushButton>("Button2")->click();
  EXPECT_FALSE(box->property("notStarted").toBool());
}

TEST(WindowStart, RefreshButtonAsksTheEngine) {
  ScratchDir folder;
  Harness h(InstalledRegistry(folder.path()));
  ASSERT_TRUE(h.Start());
  h.Find<QPushButton>("Button3")->click();
  EXPECT_EQ(h.engine->refresh_requests, 1);
}

TEST(WindowStart, TrackStockBoxSetsTheSetting) {
  ScratchDir folder;
  Harness h(InstalledRegistry(folder.path()));
  ASSERT_TRUE(h.Start());
  auto* box = h.Find<QCheckBox>("CheckBox1");
  EXPECT_EQ(box->text(), "Отслеживать остатки товаров");
  EXPECT_FALSE(h.form->settings().track_stock);
  box->click();
  EXPECT_TRUE(h.form->settings().track_stock);
}

// --- Exit -------------------------------------------------------------------

TEST(WindowExit, CancelKeepsWindowAndSavesNothing) {
  ScratchDir folder;
  Harness h(InstalledRegistry(folder.path()));
  ASSERT_TRUE(h.Start());
  const std::string before = h.RegistryText();
  h.Find<QCheckBox>(ConnectBox(7))->setChecked(true);
  for (DialogAnswer answer : {DialogAnswer::kCancel, DialogAnswer::kClosed}) {
    h.dialogs.answers = {answer};
    h.Find<QPushButton>("Button1")->click();
    EXPECT_FALSE(h.form->ended());
    EXPECT_EQ(h.engine->stops, 0);
  }
  EXPECT_EQ(h.RegistryText(), before);
}

TEST(WindowExit, NoEndsWithoutSaving) {
  ScratchDir folder;
  Harness h(InstalledRegistry(folder.path()));
  ASSERT_TRUE(h.Start());
  const std::string before = h.RegistryText();
  h.Find<QCheckBox>(ConnectBox(7))->setChecked(true);
  h.dialogs.answers = {DialogAnswer::kNo};
  h.Find<QPushButton>("Button1")->click();
  EXPECT_TRUE(h.form->ended());
  EXPECT_EQ(h.end_requests, 1);
  EXPECT_GE(h.engine->stops, 1);
  EXPECT_EQ(h.RegistryText(), before);
}

TEST(WindowExit, YesSavesBoxesAndFieldsThenEnds) {
  ScratchDir folder;
  Harness h(InstalledRegistry(folder.path()));
  ASSERT_TRUE(h.Start());
  h.Find<QCheckBox>(ConnectBox(7))->setChecked(true);
  h.Find<QCheckBox>("CheckBox34")->setChecked(true);
  h.Find<QLineEdit>("Edit2")->setText("/srv/reports");
  h.dialogs.answers = {DialogAnswer::kYes};
  h.Find<QPushButton>("Button1")->click();
  EXPECT_TRUE(h.form->ended());
  const std::string saved = h.RegistryText();
  EXPECT_NE(saved.find("\"COM7\"=hex:01,00,01"), std::string::npos) << saved;
  EXPECT_NE(saved.find("\"OutPath\"=\"/srv/reports\""), std::string::npos) << saved;
  EXPECT_NE(saved.find("\"AvtoStart\"=dword:00000001"), std::string::npos) << saved;
}

TEST(WindowExit, RefusedSaveIsShownAndTheProgramGoesOn) {
  ScratchDir folder;
  Harness h(InstalledRegistry(folder.path()));
  ASSERT_TRUE(h.Start());
  h.Find<QCheckBox>(ConnectBox(3))->setChecked(true);
  h.Find<QCheckBox>(ConnectBox(9))->setChecked(true);
  h.failing->fail_name = "MASKA5";
  h.dialogs.answers = {DialogAnswer::kYes};
  h.Find<QPushButton>("Button1")->click();
  ASSERT_EQ(h.dialogs.shown.size(), 2u);
  EXPECT_EQ(h.dialogs.shown[1].kind, DialogKind::kError);
  EXPECT_EQ(h.dialogs.shown[1].text, "Failed to set data for 'MASKA5'");
  EXPECT_FALSE(h.form->ended());
  EXPECT_EQ(h.engine->stops, 0);
  // Values before the refused one are written, later ones are not.
  const std::string text = h.RegistryText();
  EXPECT_NE(text.find("\"COM3\"=hex:01,00,01"), std::string::npos) << text;
  EXPECT_EQ(text.find("\"COM9\"=hex:01"), std::string::npos) << text;
}

TEST(WindowExit, CloseBoxStopsEngineAndSavesNothing) {
  ScratchDir folder;
  Harness h(InstalledRegistry(folder.path()));
  ASSERT_TRUE(h.Start());
  ShowActive(*h.form);
  const std::string before = h.RegistryText();
  h.Find<QTabWidget>("PageControl1")->setCurrentIndex(1);
  Focus(h.Find<QLineEdit>("Edit3"));
  h.Find<QLineEdit>("Edit3")->setText("99");
  h.form->close();
  EXPECT_TRUE(h.form->ended());
  EXPECT_GE(h.engine->stops, 1);
  EXPECT_TRUE(h.dialogs.shown.empty());
  EXPECT_EQ(h.RegistryText(), before);
}

// --- Installation and removal --------------------------------------------

TEST(WindowInstall, NoChangesNothingYesWritesDefaultsAndEnds) {
  Harness h("");
  ASSERT_TRUE(h.Start());
  auto* button = h.Find<QPushButton>("Button4");
  h.dialogs.answers = {DialogAnswer::kNo};
  button->click();
  EXPECT_FALSE(h.form->ended());
  EXPECT_FALSE(std::filesystem::exists(h.registry_path));

  h.dialogs.answers = {DialogAnswer::kYes};
  button->click();
  ASSERT_EQ(h.dialogs.shown.size(), 3u);
  EXPECT_EQ(h.dialogs.shown[1].kind, DialogKind::kInformation);
  EXPECT_EQ(h.dialogs.shown[1].text, "Будем инсталлировать");
  EXPECT_EQ(h.dialogs.shown[1].buttons, unsigned{kButtonYes | kButtonNo});
  EXPECT_EQ(h.dialogs.shown[2].text, "Драйвер инсталлирован");
  EXPECT_EQ(h.dialogs.shown[2].buttons, unsigned{kButtonOk});
  EXPECT_TRUE(h.form->ended());
  const std::string text = h.RegistryText();
  EXPECT_NE(text.find("\"InPath\"=\"" + h.dir.path() + "\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"COM16\"=hex:00,00,01"), std::string::npos) << text;
  EXPECT_NE(text.find("\"STROKA16\"=\"NC\""), std::string::npos) << text;
  EXPECT_EQ(button->text(), "ИНСТАЛЛЯЦИЯ");  // the handler leaves the caption
}

TEST(WindowInstall, RefusedWriteStopsInstallationAndTheProgramGoesOn) {
  Harness h("");
  ASSERT_TRUE(h.Start());
  h.failing->fail_name = "STROKA4";
  h.dialogs.answers = {DialogAnswer::kYes};
  h.Find<QPushButton>("Button4")->click();
  ASSERT_EQ(h.dialogs.shown.size(), 2u);
  EXPECT_EQ(h.dialogs.shown[1].kind, DialogKind::kError);
  EXPECT_EQ(h.dialogs.shown[1].text, "Failed to set data for 'STROKA4'");
  EXPECT_FALSE(h.form->ended());
  EXPECT_FALSE(h.form->settings().installed);
  const std::string text = h.RegistryText();
  EXPECT_NE(text.find("\"MASKA4\""), std::string::npos) << text;
  EXPECT_EQ(text.find("\"COM5\""), std::string::npos) << text;
  // Asked again, it asks to install again: nothing counts as installed.
  h.failing->fail_name.clear();
  h.dialogs.answers = {DialogAnswer::kNo};
  h.Find<QPushButton>("Button4")->click();
  EXPECT_EQ(h.dialogs.shown.back().text, "Будем инсталлировать");
}

TEST(WindowInstall, RemovalAsksDeletesTheTreeAndEnds) {
  ScratchDir folder;
  Harness h(InstalledRegistry(folder.path()) +
            "\n[HKEY_CURRENT_USER\\Tillgate\\Extra]\n\"Other\"=\"x\"\n");
  ASSERT_TRUE(h.Start());
  h.dialogs.answers = {DialogAnswer::kNo};
  h.Find<QPushButton>("Button4")->click();
  EXPECT_FALSE(h.form->ended());
  EXPECT_NE(h.RegistryText().find("Tillgate"), std::string::npos);

  h.dialogs.answers = {DialogAnswer::kYes};
  h.Find<QPushButton>("Button4")->click();
  ASSERT_EQ(h.dialogs.shown.size(), 3u);
  EXPECT_EQ(h.dialogs.shown[1].kind, DialogKind::kConfirmation);
  EXPECT_EQ(h.dialogs.shown[1].text, "Будем деинсталировать");
  EXPECT_EQ(h.dialogs.shown[2].kind, DialogKind::kInformation);
  EXPECT_EQ(h.dialogs.shown[2].text, "Драйвер деинсталлирован");
  EXPECT_TRUE(h.form->ended());
  EXPECT_EQ(h.RegistryText().find("Tillgate"), std::string::npos) << h.RegistryText();
}

// --- Start-up failures and the folder mend ----------------------------------

TEST(WindowStartUp, WrongValueTypeIsShownAndEndsTheProgram) {
  ScratchDir folder;
  Harness h(InstalledRegistry(folder.path(), "\"COM3\"=\"text\"\n"));
  EXPECT_FALSE(h.Start());
  ASSERT_EQ(h.dialogs.shown.size(), 1u);
  EXPECT_EQ(h.dialogs.shown[0].kind, DialogKind::kError);
  EXPECT_EQ(h.dialogs.shown[0].text, "Invalid data type for 'COM3'");
  EXPECT_TRUE(h.form->ended());
  EXPECT_EQ(h.engine, nullptr);  // no server built
}

TEST(WindowStartUp, FailureBuildingTheServerIsShownAndEndsTheProgram) {
  ScratchDir folder;
  Harness h(InstalledRegistry(folder.path()), [](const Settings&) -> std::unique_ptr<EngineLink> {
    throw std::runtime_error("cannot start the engine thread");
  });
  EXPECT_FALSE(h.Start());
  ASSERT_EQ(h.dialogs.shown.size(), 1u);
  EXPECT_EQ(h.dialogs.shown[0].text, "cannot start the engine thread");
  EXPECT_TRUE(h.form->ended());
}

TEST(WindowStartUp, MissingFolderIsShownAndTheProgramGoesOn) {
  ScratchDir folder;
  const std::string missing = folder.path() + "/not-mounted-yet";
  Harness h(InstalledRegistry(missing));
  ASSERT_TRUE(h.Start());
  ASSERT_EQ(h.dialogs.shown.size(), 2u);  // one for each folder list
  EXPECT_EQ(h.dialogs.shown[0].kind, DialogKind::kError);
  EXPECT_TRUE(h.dialogs.shown[0].text.contains(QString::fromStdString(missing)));
  EXPECT_FALSE(h.form->ended());
  EXPECT_NE(h.engine, nullptr);
  EXPECT_EQ(h.Find<QLineEdit>("Edit1")->text(), QString::fromStdString(missing));
  EXPECT_EQ(h.Find<QLineEdit>("Edit2")->text(), QString::fromStdString(missing));
  // Saving keeps the configured folder.
  h.dialogs.answers = {DialogAnswer::kYes};
  h.Find<QPushButton>("Button1")->click();
  EXPECT_NE(h.RegistryText().find("\"InPath\"=\"" + missing + "\""), std::string::npos);
}

TEST(WindowStartUp, AWindowsFolderIsNamedAsSuchAndKept) {
  // Escaped as a .reg file escapes a backslash.
  Harness h(InstalledRegistry("D:\\\\Shop\\\\Goods"));
  ASSERT_TRUE(h.Start());
  ASSERT_EQ(h.dialogs.shown.size(), 2u);
  EXPECT_TRUE(h.dialogs.shown[0].text.contains("(InPath) \"D:\\Shop\\Goods\" is a Windows path"))
      << h.dialogs.shown[0].text.toStdString();
  EXPECT_TRUE(h.dialogs.shown[1].text.contains("(OutPath)"));
  EXPECT_FALSE(h.form->ended());
  // Saving keeps the configured value as it was.
  h.dialogs.answers = {DialogAnswer::kYes};
  h.Find<QPushButton>("Button1")->click();
  EXPECT_NE(h.RegistryText().find("\"InPath\"=\"D:\\\\Shop\\\\Goods\""), std::string::npos)
      << h.RegistryText();
}

TEST(WindowStartUp, FolderListsMoveTheFieldsToTheNormalisedFolder) {
  ScratchDir folder;
  std::filesystem::create_directory(folder.path() + "/goods");
  Harness h(InstalledRegistry(folder.path() + "/goods/../goods/"));
  ASSERT_TRUE(h.Start());
  EXPECT_TRUE(h.dialogs.shown.empty());
  EXPECT_EQ(h.Find<QLineEdit>("Edit1")->text(), QString::fromStdString(folder.path() + "/goods"));
}

}  // namespace
}  // namespace tillgate::testing

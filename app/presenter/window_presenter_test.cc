// The window's behaviour without a toolkit: a recording view reports the
// operator's changes by control name and shows what the presenter says; the
// settings live in an in-memory registry file.

#include "app/presenter/window_presenter.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/presenter/event_log.h"
#include "app/presenter/fake_engine.h"
#include "app/presenter/recording_view.h"
#include "config/installation.h"
#include "config/memory_file_layer.h"
#include "config/reg_file_store.h"
#include "config/registry_names.h"
#include "store/cp866.h"

namespace tillgate::testing {
namespace {

constexpr char kPath[] = "HKEY_CURRENT_USER.reg";
// Folders and serial devices as this system writes them.
std::string Sys(const std::string& posix) {
#ifdef _WIN32
  std::string path = "C:" + posix;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
#else
  return posix;
#endif
}
std::string Device(int com) {
#ifdef _WIN32
  return "\\\\.\\COM" + std::to_string(com);
#else
  return "/dev/ttyS" + std::to_string(com - 1);
#endif
}
const std::string kShop = Sys("/shop");

class Presenter : public ::testing::Test {
 protected:
  // Installed with both folders at /shop; every port as installation leaves
  // it but COM1, connected, started, model 1.
  void Install() {
    view.enterable = {kShop, Sys("/work")};
    ASSERT_TRUE(InstallDefaults(*store, kShop, kShop).ok());
    Com(1, 1, 1, 1);
  }
  void Com(int number, uint8_t connect, uint8_t start, uint8_t model) {
    const uint8_t data[] = {connect, start, model};
    Write([&] { return store->WriteBinary("COM" + std::to_string(number), data, 3); });
  }
  void Dword(const std::string& name, uint32_t value) {
    Write([&] { return store->WriteDword(name, value); });
  }
  void String(const std::string& name, const std::string& value) {
    Write([&] { return store->WriteString(name, value); });
  }
  template <typename F>
  void Write(F write) {
    ASSERT_TRUE(store->OpenKey(kEquipmentKey, true));
    ASSERT_TRUE(write().ok());
    store->CloseKey();
  }
  // The window opened over the store, as the program starts it.
  bool Open() {
    PresenterDeps deps;
    deps.store = store.get();
    deps.working_dir = Sys("/work");
    deps.end_program = [this] { ++ends; };
    deps.events = &events;
    deps.make_engine = [this](const Settings& settings) {
      auto fake = std::make_unique<FakeEngine>();
      for (int port = 0; port < kPortCount; ++port)
        fake->lines[port] = settings.ports[port].connect == 1 && settings.ports[port].model != 0;
      fake->own_views = engine_views.get();
      engine = fake.get();
      return fake;
    };
    presenter = std::make_unique<WindowPresenter>(view, std::move(deps));
    presenter->ShowInitialContents();
    return presenter->StartUp();
  }
  // The operator's changes: the control shows them, the view reports them.
  void Type(Control control, const std::string& text) {
    view.texts[control] = text;
    presenter->TextChanged(control, text);
  }
  void Choose(Control control, int item) {
    view.selections[control] = item;
    presenter->ItemChosen(control, item);
  }
  void Tick(Control control, bool checked) {
    view.checked[control] = checked;
    presenter->CheckChanged(control, checked);
  }
  std::string Registry() { return files->files()[kPath]; }
  const PortConfig& Port(int number) { return presenter->settings().ports[number - 1]; }
  std::string Shows(Control control) { return view.texts[control]; }

  std::shared_ptr<MemoryFileLayer> files = std::make_shared<MemoryFileLayer>();
  Status opened;
  std::unique_ptr<RegistryStore> store = OpenRegistryFile(files, kPath, &opened);
  RecordingView view;
  EventLog events;
  std::unique_ptr<MonitoringViews> engine_views;  // null: the engine writes the window's grids
  FakeEngine* engine = nullptr;
  int ends = 0;
  std::unique_ptr<WindowPresenter> presenter;
};

// --- The pages as loaded ------------------------------------------------------------

TEST_F(Presenter, FirstRunShowsTheCaptionsAndOnlyTheInstallationPage) {
  view.enterable = {Sys("/work")};
  ASSERT_TRUE(Open());
  EXPECT_EQ(Shows(Control::Form1), "Tillgate");
  EXPECT_EQ(Shows(Control::TabSheet2), "Оборудование");
  EXPECT_EQ(Shows(Control::TabSheet8), "Инсталляция");
  EXPECT_EQ(Shows(Control::GroupBox2), " Порты ");
  EXPECT_EQ(Shows(Control::StaticText8), "(симв.) Разделение Код/Ш-код");
  EXPECT_EQ(Shows(Control::RadioButton16), "COM16");
  EXPECT_EQ(Shows(Control::CheckBox33), "COM16");
  EXPECT_EQ(view.texts.count(Control::CheckBox17), 0u);  // connect boxes have no caption
  EXPECT_EQ(Shows(Control::Button1), "Выход");
  EXPECT_EQ(Shows(Control::Button4), "ИНСТАЛЛЯЦИЯ");
  EXPECT_EQ(view.items[Control::ComboBox1],
            (std::vector<std::string>{"ЭКР-3102Ф", "Электроника-92", "Ладога Ф"}));
  EXPECT_EQ(view.items[Control::ComboBox3],
            (std::vector<std::string>{"Наименование", "Количество"}));
  EXPECT_EQ(view.selections[Control::ComboBox1], -1);
  EXPECT_EQ(Shows(Control::Edit3), "");  // COM2's mask: none without settings
  EXPECT_EQ(Shows(Control::MaskEdit1), "4");
  EXPECT_TRUE(view.checked[Control::RadioButton2]);
  for (Control page : {Control::TabSheet1, Control::TabSheet3, Control::TabSheet6})
    EXPECT_FALSE(view.enabled[page]);
  EXPECT_EQ(view.enabled.count(Control::TabSheet8), 0u);  // never disabled
  EXPECT_FALSE(view.enabled[Control::CheckBox18]);
  EXPECT_EQ(Shows(Control::Edit1), Sys("/work"));
  EXPECT_EQ(view.folder_lists[Control::DirectoryListBox2], Sys("/work"));
  EXPECT_TRUE(view.dialogs.empty());
}

TEST_F(Presenter, InstalledShowsComTwoTheBoxesAndTheNormalisedFolders) {
  Install();
  Com(2, 1, 0, 2);
  Com(5, 0, 1, 3);  // start stored, but not connected
  String("STROKA2", "CN");
  Dword("COD_LENGTH2", 7);
  ASSERT_TRUE(store->OpenKey(kDataBaseKey, false));
  ASSERT_TRUE(store->WriteString(kOutPathValue, Sys("/shop/reports/")).ok());
  store->CloseKey();
  view.enterable = {kShop, Sys("/shop/reports/")};
  ASSERT_TRUE(Open());
  EXPECT_EQ(presenter->selected_port(), 1);
  EXPECT_EQ(view.selections[Control::ComboBox1], 1);
  EXPECT_EQ(view.selections[Control::ComboBox2], 1);
  EXPECT_EQ(view.selections[Control::ComboBox3], 0);
  EXPECT_EQ(Shows(Control::MaskEdit1), "7");
  EXPECT_EQ(view.selections[Control::UpDown1], 7);
  EXPECT_EQ(view.placeholders[Control::Edit4], Device(2));
  EXPECT_EQ(Shows(Control::Button4), "ДЕИНСТАЛЛЯЦИЯ");
  EXPECT_TRUE(view.enabled[Control::TabSheet1]);
  EXPECT_TRUE(view.checked[Control::CheckBox3]);  // COM2 connected
  EXPECT_TRUE(view.checked[Control::CheckBox18]);
  EXPECT_TRUE(view.enabled[Control::CheckBox19]);
  EXPECT_FALSE(view.checked[Control::CheckBox22]);  // COM5's start, unconnected
  EXPECT_FALSE(view.enabled[Control::CheckBox22]);
  EXPECT_EQ(Shows(Control::Edit2), Sys("/shop/reports"));
  EXPECT_TRUE(view.dialogs.empty());
}

TEST_F(Presenter, AFolderThatCannotBeShownIsKeptAndItsListFollowsTheOperatorLater) {
  Install();
  view.enterable = {Sys("/work")};  // /shop is not mounted yet
  ASSERT_TRUE(Open());
  EXPECT_EQ(view.DialogTexts(),
            (std::vector<std::string>{"cannot enter " + kShop, "cannot enter " + kShop}));
  EXPECT_EQ(Shows(Control::Edit1), kShop);
  EXPECT_EQ(view.folder_lists[Control::DirectoryListBox1], Sys("/work"));
  presenter->TextChanged(Control::DirectoryListBox2, Sys("/work/reports"));
  EXPECT_EQ(Shows(Control::Edit2), Sys("/work/reports"));
}

// --- The selected port, however its settings are changed --------------------------------

TEST_F(Presenter, ClickingAnotherPortStoresTheGroupIntoThePortShown) {
  Install();
  Dword("COD_LENGTH5", 0);
  ASSERT_TRUE(Open());
  // The mouse: into the group, edits, then a click on COM5 moves the focus
  // out before COM5 is checked.
  presenter->FocusEntered(Control::GroupBox3);
  Type(Control::Edit3, "29CCCCWWWWWW");
  Choose(Control::ComboBox2, 1);
  Choose(Control::ComboBox3, 1);
  Type(Control::Edit4, "  /dev/ttyUSB3 ");
  Type(Control::MaskEdit1, "9");
  presenter->FocusLeft(Control::GroupBox3);
  Tick(Control::RadioButton5, true);
  EXPECT_EQ(Port(2).mask, "29CCCCWWWWWW");
  EXPECT_EQ(Port(2).name_lines, "CC");
  EXPECT_EQ(Port(2).device, "/dev/ttyUSB3");
  EXPECT_EQ(Port(2).split_length, 9);
  EXPECT_EQ(presenter->selected_port(), 4);
  EXPECT_EQ(Shows(Control::Edit3), "25CCCCCWWWWW");
  EXPECT_EQ(Shows(Control::Edit4), "");
  EXPECT_EQ(view.placeholders[Control::Edit4], Device(5));
  EXPECT_EQ(view.selections[Control::ComboBox2], 0);
  EXPECT_EQ(Shows(Control::MaskEdit1), "9");  // COM5's 0 is not shown
  EXPECT_EQ(Port(5).split_length, 0);
  // Browsing stored nothing; back on COM2 its values show again.
  Tick(Control::RadioButton2, true);
  EXPECT_EQ(Port(5).mask, "25CCCCCWWWWW");
  EXPECT_EQ(Shows(Control::Edit3), "29CCCCWWWWWW");
  EXPECT_EQ(view.selections[Control::ComboBox3], 1);
}

TEST_F(Presenter, WorkWithoutTheFocusGoesToThePortItWasDoneFor) {
  Install();
  ASSERT_TRUE(Open());
  // An accessibility client: edits and another port checked, the focus
  // never moving.
  Type(Control::Edit3, "20CCCCCWWWWW");
  Choose(Control::ComboBox2, 1);
  Tick(Control::RadioButton4, true);
  EXPECT_EQ(Port(2).mask, "20CCCCCWWWWW");
  EXPECT_EQ(Port(2).name_lines, "CC");
  EXPECT_EQ(Port(4).mask, "25CCCCCWWWWW");
  // The model list acts on the port shown at once.
  Choose(Control::ComboBox1, 2);
  EXPECT_EQ(Port(4).model, 3);
  EXPECT_EQ(Port(2).model, 1);
  // The focus still in the group: later work counts too, and "Выход"
  // pressed without moving it stores it before asking.
  view.focus = Control::GroupBox3;
  Type(Control::Edit3, "24CCCCCWWWWW");
  Tick(Control::RadioButton6, true);
  EXPECT_EQ(Port(4).mask, "24CCCCCWWWWW");
  Type(Control::Edit3, "26CCCCCWWWWW");
  view.answers = {DialogAnswer::kCancel};
  presenter->Pressed(Control::Button1);
  EXPECT_EQ(Port(6).mask, "26CCCCCWWWWW");
  EXPECT_EQ(view.DialogTexts().back(), "Сохранить изменения");
}

TEST_F(Presenter, ABadSplitLengthStoresOnlyTheMaskOnLeavingAndOnlyOnce) {
  Install();
  Dword("COD_LENGTH2", 8);
  ASSERT_TRUE(Open());
  Choose(Control::ComboBox2, 1);
  Type(Control::MaskEdit1, "7x");
  Type(Control::Edit3, "21CCCCCWWWWW");
  presenter->FocusLeft(Control::GroupBox3);
  presenter->FocusLeft(Control::GroupBox3);
  EXPECT_EQ(view.DialogTexts(), (std::vector<std::string>{"'7x' is not a valid integer value",
                                                          "'7x' is not a valid integer value"}));
  EXPECT_EQ(Port(2).mask, "21CCCCCWWWWW");
  EXPECT_EQ(Port(2).split_length, 8);
  EXPECT_EQ(Port(2).name_lines, "NC");
}

TEST_F(Presenter, ModelZeroAndUnknownNameLinesLeaveTheListsAsTheyWere) {
  Install();
  Com(2, 0, 0, 3);
  Com(4, 0, 0, 0);
  String("STROKA4", "XY");
  ASSERT_TRUE(Open());
  Choose(Control::ComboBox2, 1);
  Tick(Control::RadioButton4, true);
  EXPECT_EQ(view.selections[Control::ComboBox1], 2);  // COM2's "Ладога Ф"
  EXPECT_EQ(view.selections[Control::ComboBox2], 1);
  EXPECT_EQ(Port(4).model, 0);
  EXPECT_EQ(Port(4).name_lines, "XY");
}

// --- Exit and saving -----------------------------------------------------------------------

TEST_F(Presenter, ExitQuestionAnsweredCancelAndYes) {
  Install();
  ASSERT_TRUE(Open());
  const std::string before = Registry();
  Tick(Control::CheckBox8, true);  // COM7 connected
  Tick(Control::CheckBox34, true);
  Type(Control::Edit2, Sys("/srv/reports"));
  Tick(Control::CheckBox1, true);
  EXPECT_TRUE(presenter->settings().track_stock);
  for (DialogAnswer answer : {DialogAnswer::kCancel, DialogAnswer::kClosed}) {
    view.answers = {answer};
    presenter->Pressed(Control::Button1);
    EXPECT_FALSE(presenter->ended());
  }
  EXPECT_EQ(engine->stops, 0);
  EXPECT_EQ(Registry(), before);

  view.answers = {DialogAnswer::kYes};
  presenter->Pressed(Control::Button1);
  EXPECT_TRUE(presenter->ended());
  EXPECT_EQ(ends, 1);
  EXPECT_GE(engine->stops, 1);
  LoadResult saved = LoadSettings(*store, Sys("/work"));
  ASSERT_TRUE(saved.status.ok());
  EXPECT_EQ(saved.settings.ports[6].connect, 1);
  EXPECT_EQ(saved.settings.auto_start, 1);
  EXPECT_EQ(saved.settings.report_folder, Sys("/srv/reports"));
  EXPECT_TRUE(saved.settings.track_stock);
  EXPECT_EQ(saved.settings.ports[0].start, 1);
}

// --- Installation and removal ------------------------------------------------------------

TEST_F(Presenter, InstallationAndRemovalWriteAndDeleteTheTreeOnYesOnly) {
  view.enterable = {Sys("/work")};
  ASSERT_TRUE(Open());
  view.answers = {DialogAnswer::kNo};
  presenter->Pressed(Control::Button4);
  EXPECT_FALSE(presenter->ended());
  EXPECT_FALSE(store->KeyExists(kRootKey));
  view.answers = {DialogAnswer::kYes};
  presenter->Pressed(Control::Button4);
  EXPECT_EQ(view.DialogTexts(),
            (std::vector<std::string>{"Будем инсталлировать", "Будем инсталлировать",
                                      "Драйвер инсталлирован"}));
  EXPECT_TRUE(presenter->ended());
  LoadResult loaded = LoadSettings(*store, Sys("/elsewhere"));
  ASSERT_TRUE(loaded.status.ok());
  EXPECT_TRUE(loaded.settings.installed);
  EXPECT_EQ(loaded.settings.goods_folder, Sys("/work"));
  EXPECT_EQ(loaded.settings.ports[15].mask, "25CCCCCWWWWW");

  // The next start removes it, with whatever else is under the key.
  ASSERT_TRUE(store->OpenKey("Tillgate\\Extra", true));
  ASSERT_TRUE(store->WriteString("Other", "x").ok());
  store->CloseKey();
  view.dialogs.clear();
  ASSERT_TRUE(Open());
  view.answers = {DialogAnswer::kNo, DialogAnswer::kYes};
  presenter->Pressed(Control::Button4);
  EXPECT_TRUE(store->KeyExists(kRootKey));
  presenter->Pressed(Control::Button4);
  EXPECT_EQ(view.DialogTexts(),
            (std::vector<std::string>{"Будем деинсталировать", "Будем деинсталировать",
                                      "Драйвер деинсталлирован"}));
  EXPECT_EQ(view.dialogs[0].kind, DialogKind::kConfirmation);
  EXPECT_FALSE(store->KeyExists(kRootKey));
  EXPECT_TRUE(presenter->ended());
}

// --- Start -----------------------------------------------------------------------------------

TEST_F(Presenter, StartTakesTheBoxesAndMarksAConnectedPortWithoutModel) {
  Install();
  Com(3, 1, 0, 1);
  Com(2, 1, 1, 0);  // connected and ticked, but no model: no line
  Dword(kAvtoStartValue, 1);
  ASSERT_TRUE(Open());
  ASSERT_EQ(engine->starts.size(), 1u);  // the automatic start
  EXPECT_FALSE(engine->starts[0].clear_diagnostics);
  EXPECT_TRUE(engine->starts[0].boxes[0]);
  EXPECT_FALSE(engine->starts[0].boxes[1]);
  EXPECT_EQ(view.alerts[Control::CheckBox19].text, "Не запущен: для порта не выбрана модель кассы");
  EXPECT_EQ(view.alerts[Control::CheckBox18].text, "");

  Tick(Control::CheckBox18, false);
  Tick(Control::CheckBox20, true);
  Tick(Control::CheckBox19, false);
  presenter->Pressed(Control::Button2);
  presenter->Pressed(Control::Button2);
  ASSERT_EQ(engine->starts.size(), 3u);
  for (int call = 1; call < 3; ++call) {
    EXPECT_TRUE(engine->starts[call].clear_diagnostics);
    EXPECT_EQ(engine->starts[call].boxes, (std::array<bool, kPortCount>{false, false, true}));
  }
  EXPECT_EQ(view.alerts[Control::CheckBox19].text, "");
  presenter->Pressed(Control::Button3);
  EXPECT_EQ(engine->refresh_requests, 1);
}

// --- Grids and problems ------------------------------------------------------------------

TEST_F(Presenter, GridsOfTheEngineAreShownAndOnlyTheirChangesAreTold) {
  Install();
  engine_views = std::make_unique<MonitoringViews>();
  engine_views->WriteHeadings();
  ASSERT_TRUE(Open());
  EXPECT_EQ(&presenter->views(), engine_views.get());
  // Start-up draws each grid whole, the engine's headings included.
  ASSERT_EQ(view.grid_changes.size(), 3u);
  for (const auto& [grid, change] : view.grid_changes) EXPECT_TRUE(change.reshaped);
  EXPECT_EQ(view.grid_changes[0].second.rows, kDiagnosticsRows - 1);
  EXPECT_EQ(presenter->Grid(Control::StringGrid3).HeadingText(1), "N чека");
  view.grid_changes.clear();
  presenter->RefreshGrids();
  EXPECT_TRUE(view.grid_changes.empty());

  engine_views->report.SetCell(6, 4, Utf8ToCp866("Молоко"));
  presenter->RefreshGrids();
  ASSERT_EQ(view.grid_changes.size(), 1u);
  EXPECT_EQ(view.grid_changes[0].first, Control::StringGrid3);
  EXPECT_FALSE(view.grid_changes[0].second.reshaped);
  EXPECT_EQ(view.grid_changes[0].second.first_row, 3);
  EXPECT_EQ(view.grid_changes[0].second.last_row, 3);
  EXPECT_EQ(view.grid_changes[0].second.newest_row, 3);
  EXPECT_EQ(presenter->Grid(Control::StringGrid3).CellText(6, 3), "Молоко");
}

TEST_F(Presenter, ProblemsShowAtTheFootOnTheirPortAndLeaveWhenOverOrSeen) {
  Install();
  ASSERT_TRUE(Open());
  EXPECT_EQ(view.alerts[Control::EventLine].text, "");
  view.TakeAlertCalls();
  ReportCondition(&events, Severity::kError, "COM3 port",
                  "COM3 (/dev/ttyS2): port failed\nto open");
  presenter->EventsChanged();
  EXPECT_EQ(view.alerts[Control::EventLine].text, "COM3 (/dev/ttyS2): port failed to open");
  EXPECT_EQ(view.alerts[Control::EventLine].severity, Severity::kError);
  EXPECT_EQ(view.alerts[Control::RadioButton3].text, "COM3 (/dev/ttyS2): port failed to open");
  EXPECT_EQ(view.alerts[Control::PortProblem].text, "");  // COM2 on display
  Tick(Control::RadioButton3, true);
  EXPECT_EQ(view.alerts[Control::PortProblem].text, "COM3 (/dev/ttyS2): port failed to open");

  // A newer one-off warning shows until the list has been seen; the ports
  // are told nothing new.
  Report(&events, Severity::kNotice, "COM1: register 1 identified");
  Report(&events, Severity::kWarning, "goods file has no RES field");
  view.TakeAlertCalls();
  presenter->EventsChanged();
  EXPECT_EQ(view.alerts[Control::EventLine].text, "goods file has no RES field");
  EXPECT_EQ(view.alerts[Control::EventLine].severity, Severity::kWarning);
  for (const auto& [control, text] : view.TakeAlertCalls())
    EXPECT_EQ(PortOf(control, Control::RadioButton1), -1) << ControlName(control);
  presenter->Pressed(Control::EventLine);
  EXPECT_EQ(view.event_list_opened, 1);
  ASSERT_EQ(view.event_list.size(), 3u);
  EXPECT_EQ(view.event_list[0].text, "goods file has no RES field");
  EXPECT_EQ(view.alerts[Control::EventLine].text, "COM3 (/dev/ttyS2): port failed to open");

  ReportConditionCleared(&events, "COM3 port", "COM3 (/dev/ttyS2): port opened", Severity::kInfo);
  presenter->EventsChanged();
  EXPECT_EQ(view.alerts[Control::EventLine].text, "");
  EXPECT_EQ(view.alerts[Control::RadioButton3].text, "");
  EXPECT_EQ(view.alerts[Control::PortProblem].text, "");
}

}  // namespace
}  // namespace tillgate::testing

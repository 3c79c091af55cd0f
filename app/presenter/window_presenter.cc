// The main window's start-up and handlers.

#include "app/presenter/window_presenter.h"

#include <exception>
#include <optional>
#include <utility>
#include <vector>

#include "app/presenter/captions.h"
#include "app/presenter/event_log.h"
#include "app/presenter/event_text.h"
#include "app/presenter/integer_text.h"
#include "config/folder_check.h"
#include "config/installation.h"

namespace tillgate {
namespace {

constexpr Control kPages[] = {Control::TabSheet1, Control::TabSheet2, Control::TabSheet3,
                              Control::TabSheet4, Control::TabSheet5, Control::TabSheet6};
constexpr char kNotStarted[] = "Не запущен: для порта не выбрана модель кассы";

// Item of a name-line list for a letter; -1 for any other letter.
int NameLineItem(char letter) {
  if (letter == 'N') return 0;
  if (letter == 'C') return 1;
  return -1;
}

// The port (0..15) whose lasting condition `condition` is ("COM3 port" is
// COM3's); -1 for any other condition.
int PortOfCondition(const std::string& condition) {
  const std::string prefix = "COM";
  const std::string suffix = " port";
  if (condition.size() <= prefix.size() + suffix.size()) return -1;
  if (condition.compare(0, prefix.size(), prefix) != 0) return -1;
  if (condition.compare(condition.size() - suffix.size(), suffix.size(), suffix) != 0) return -1;
  const std::string digits =
      condition.substr(prefix.size(), condition.size() - prefix.size() - suffix.size());
  if (digits.empty() || digits.size() > 2 || digits[0] == '0') return -1;
  int number = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return -1;
    number = number * 10 + (c - '0');
  }
  return number >= 1 && number <= kPortCount ? number - 1 : -1;
}

std::string Trimmed(const std::string& text) {
  const char* const blanks = " \t\n\v\f\r";
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

}  // namespace

WindowPresenter::WindowPresenter(WindowView& view, PresenterDeps deps)
    : view_(view), deps_(std::move(deps)) {
  // The report grid reuses its rows: the newest is marked wherever it is.
  report_grid_.MarkNewestRow(true);
}

WindowPresenter::~WindowPresenter() {
  StopEngine();
  engine_.reset();
}

void WindowPresenter::StopEngine() {
  // The engine writes the grids on show: it stops before the watches let go
  // of them.
  if (engine_) engine_->Stop();
  for (GridWatch* grid : {&diagnostics_grid_, &goods_grid_, &report_grid_}) grid->Release();
}

// --- What the controls show ---------------------------------------------------

void WindowPresenter::ShowText(Control control, const std::string& text) {
  shown_[static_cast<int>(control)].text = text;
  view_.SetText(control, text);
}

void WindowPresenter::ShowItem(Control control, int item) {
  shown_[static_cast<int>(control)].item = item;
  view_.SetSelection(control, item);
}

void WindowPresenter::ShowChecked(Control control, bool checked) {
  shown_[static_cast<int>(control)].checked = checked;
  view_.SetChecked(control, checked);
}

const std::string& WindowPresenter::TextOf(Control control) const {
  return shown_[static_cast<int>(control)].text;
}

void WindowPresenter::ShowInitialContents() {
  for (int index = 0; index < kControlCount; ++index) {
    const auto control = static_cast<Control>(index);
    const std::string caption = Caption(control);
    if (!caption.empty()) ShowText(control, caption);
  }
  view_.SetItems(Control::ComboBox1, ModelItems());
  view_.SetItems(Control::ComboBox2, NameLineItems());
  view_.SetItems(Control::ComboBox3, NameLineItems());
  for (Control list : {Control::ComboBox1, Control::ComboBox2, Control::ComboBox3})
    ShowItem(list, -1);
  ShowText(Control::Edit3, kDefaultMask);
  ShowText(Control::MaskEdit1, "4");
  ShowItem(Control::UpDown1, 4);
  ShowChecked(RadioButton(1), true);
}

const GridWatch& WindowPresenter::Grid(Control grid) const {
  if (grid == Control::StringGrid1) return diagnostics_grid_;
  if (grid == Control::StringGrid2) return goods_grid_;
  return report_grid_;
}

// --- Start-up -------------------------------------------------------------------

bool WindowPresenter::StartUp() {
  LoadResult loaded = LoadSettings(*deps_.store, deps_.working_dir);
  settings_ = std::move(loaded.settings);
  if (!loaded.status.ok()) {
    ShowError(loaded.status.message());
    EndProgram();
    return false;
  }
  ApplySettingsToControls();
  views_.WriteHeadings();
  try {
    if (deps_.make_engine) engine_ = deps_.make_engine(settings_);
  } catch (const std::exception& error) {
    // Anything escaping the server's construction ends the start-up.
    ShowError(error.what());
    EndProgram();
    return false;
  }
  if (engine_ && engine_->Views()) {
    shown_views_ = engine_->Views();
    diagnostics_grid_.Rebind(shown_views_->diagnostics);
    goods_grid_.Rebind(shown_views_->goods);
    report_grid_.Rebind(shown_views_->report);
  }
  RefreshGrids();
  // Building the server reported how its ports opened.
  ShowEvents();
  if (settings_.auto_start == 1) StartLines(/*clear_diagnostics=*/false);
  return true;
}

void WindowPresenter::ApplySettingsToControls() {
  ShowText(Control::Edit1, settings_.goods_folder);
  ShowText(Control::Edit2, settings_.report_folder);
  for (int port = 0; port < kPortCount; ++port) {
    ShowChecked(ConnectBox(port), settings_.connect_checked[port]);
    ShowChecked(StartBox(port), settings_.start_checked[port]);
  }
  if (settings_.installed) {
    // COM2 is the port on display when the window opens.
    selected_port_ = 1;
    ShowItem(Control::UpDown1, settings_.shown_split_length);
    ShowText(Control::MaskEdit1, std::to_string(settings_.shown_split_length));
  }
  ShowChecked(Control::CheckBox34, settings_.auto_start == 1);
  ShowChecked(Control::CheckBox1, settings_.track_stock);
  PointFolderList(Control::DirectoryListBox1, Control::Edit1, "goods folder", "InPath");
  PointFolderList(Control::DirectoryListBox2, Control::Edit2, "report folder", "OutPath");
  ShowChecked(RadioButton(1), true);
  ShowPortSettings(1);
  ShowText(Control::Button4, std::string(InstallButtonCaption(settings_.installed)));
  ApplyEnableRules();
}

void WindowPresenter::PointFolderList(Control list, Control field, const char* role,
                                      const char* value_name) {
  const std::string wanted = TextOf(field);
  if (wanted.empty()) return;
  std::string error;
  std::string shown;
  // A folder brought over from the other system would read as missing
  // under the working folder; say what it is instead.
  if (LooksForeign(wanted)) {
    error = FolderSettingProblem(role, value_name, wanted);
  } else if (view_.PointFolderList(list, wanted, &shown, &error)) {
    // The field takes the list's normalised folder, as when the operator
    // moves the list.
    ShowText(field, shown);
    return;
  }
  // The folder may appear later (a share not yet mounted): say so and go
  // on. The field keeps the configured text, so a save keeps it too; the
  // list shows the working folder meanwhile.
  ShowError(error);
  view_.PointFolderList(list, deps_.working_dir, nullptr, nullptr);
}

void WindowPresenter::ApplyEnableRules() {
  for (Control page : kPages) view_.SetEnabled(page, settings_.installed);
  // A port unconnected at start-up has no line this run, whatever the
  // operator ticks now.
  for (int port = 0; port < kPortCount; ++port)
    view_.SetEnabled(StartBox(port), settings_.ports[port].connect != 0);
}

// --- The operator's changes ---------------------------------------------------

void WindowPresenter::TextChanged(Control control, const std::string& text) {
  shown_[static_cast<int>(control)].text = text;
  switch (control) {
    case Control::DirectoryListBox1:
      DirectoryListBox1Change(text);
      break;
    case Control::DirectoryListBox2:
      DirectoryListBox2Change(text);
      break;
    case Control::Edit3:
    case Control::Edit4:
      // The group's controls are stored when the operator leaves the group;
      // a change made without entering it counts as working in it.
      group3_entered_ = true;
      break;
    case Control::MaskEdit1:
      group3_entered_ = true;
      MaskEdit1Change();
      break;
    default:
      break;
  }
}

void WindowPresenter::CheckChanged(Control control, bool checked) {
  shown_[static_cast<int>(control)].checked = checked;
  // Whatever checks a radio button selects its port.
  if (const int port = PortOf(control, Control::RadioButton1); port >= 0) {
    if (checked) RadioButtonClick(port);
  } else if (control == Control::CheckBox1) {
    CheckBox1Click();
  }
}

void WindowPresenter::ItemChosen(Control control, int item) {
  if (item < 0) return;
  shown_[static_cast<int>(control)].item = item;
  if (control == Control::ComboBox1) {
    ComboBox1Change(item);
  } else if (control == Control::ComboBox2 || control == Control::ComboBox3) {
    group3_entered_ = true;
  }
}

void WindowPresenter::Pressed(Control control) {
  switch (control) {
    case Control::Button1:
      Button1Click();
      break;
    case Control::Button2:
      Button2Click();
      break;
    case Control::Button3:
      Button3Click();
      break;
    case Control::Button4:
      Button4Click();
      break;
    case Control::EventLine:
      OpenEventList();
      break;
    default:
      break;
  }
}

void WindowPresenter::FocusEntered(Control group) {
  if (group == Control::GroupBox3) group3_entered_ = true;
}

void WindowPresenter::FocusLeft(Control group) {
  if (group == Control::GroupBox3 && group3_entered_) GroupBox3Exit();
}

void WindowPresenter::Closed() { EndProgram(); }

// --- Folders and the equipment page ---------------------------------------------

void WindowPresenter::DirectoryListBox1Change(const std::string& folder) {
  ShowText(Control::Edit1, folder);
}

void WindowPresenter::DirectoryListBox2Change(const std::string& folder) {
  ShowText(Control::Edit2, folder);
}

void WindowPresenter::RadioButtonClick(int port_index) {
  // A click has moved the focus out of the group, and so stored the work
  // there, before its radio button is checked; other ways of checking it
  // leave that to be done here, for the port the work was done for.
  if (port_index != selected_port_) StoreGroupBox3Work();
  ShowPortSettings(port_index);
}

void WindowPresenter::ShowPortSettings(int port_index) {
  if (port_index < 0 || port_index >= kPortCount) return;
  selected_port_ = port_index;
  const PortConfig& port = settings_.ports[port_index];
  if (port.model >= 1 && port.model <= 3) ShowItem(Control::ComboBox1, port.model - 1);
  ShowText(Control::Edit3, port.mask);
  if (port.name_lines == "NC" || port.name_lines == "CN" || port.name_lines == "NN" ||
      port.name_lines == "CC") {
    ShowItem(Control::ComboBox2, NameLineItem(port.name_lines[0]));
    ShowItem(Control::ComboBox3, NameLineItem(port.name_lines[1]));
  }
  ShowText(Control::Edit4, port.device);
  // The device the port uses while the field is empty.
  view_.SetPlaceholder(Control::Edit4, DevicePath(Settings{}, port_index));
  if (port.split_length > 3 && port.split_length < 14)
    ShowText(Control::MaskEdit1, std::to_string(port.split_length));
  ShowPortProblem();
}

void WindowPresenter::ShowPortProblem() {
  view_.SetAlert(Control::PortProblem, port_problems_[selected_port_], Severity::kError);
}

void WindowPresenter::ComboBox1Change(int item) {
  if (item < 0) return;
  settings_.ports[selected_port_].model = static_cast<uint8_t>(item + 1);
}

bool WindowPresenter::ReadSplitLength(int32_t* value) {
  const std::string& text = TextOf(Control::MaskEdit1);
  if (ParseInteger(text, value)) return true;
  ShowError(NotValidIntegerMessage(text));
  return false;
}

void WindowPresenter::MaskEdit1Change() {
  int32_t value = 0;
  if (ReadSplitLength(&value)) settings_.ports[selected_port_].split_length = value;
}

void WindowPresenter::GroupBox3Exit() {
  group3_entered_ = false;
  // The port on display: a radio button just clicked is selected only after
  // this has run.
  PortConfig& port = settings_.ports[selected_port_];
  port.mask = TextOf(Control::Edit3);
  port.device = Trimmed(TextOf(Control::Edit4));
  int32_t split = 0;
  if (!ReadSplitLength(&split)) return;
  port.split_length = split;
  const int first = shown_[static_cast<int>(Control::ComboBox2)].item;
  const int second = shown_[static_cast<int>(Control::ComboBox3)].item;
  if (first < 0 || second < 0) return;
  port.name_lines = {first == 0 ? 'N' : 'C', second == 0 ? 'N' : 'C'};
}

void WindowPresenter::StoreGroupBox3Work() {
  if (!group3_entered_) return;
  GroupBox3Exit();
  // Still in the group (nothing moved the focus): later work counts too.
  group3_entered_ = view_.HasFocus(Control::GroupBox3);
}

void WindowPresenter::CheckBox1Click() {
  settings_.track_stock = shown_[static_cast<int>(Control::CheckBox1)].checked;
}

// --- Start, refresh, exit, installation -------------------------------------------

void WindowPresenter::StartLines(bool clear_diagnostics) {
  std::array<bool, kPortCount> boxes{};
  for (int port = 0; port < kPortCount; ++port) {
    const bool wanted = shown_[static_cast<int>(StartBox(port))].checked;
    const bool connected = settings_.ports[port].connect == 1;
    const bool has_line = engine_ && engine_->HasLine(port);
    // A connected port without a line object cannot be polled: it is not
    // started, and its box tells the operator so.
    const bool not_started = wanted && connected && !has_line;
    view_.SetAlert(StartBox(port), not_started ? kNotStarted : "", Severity::kError);
    boxes[port] = wanted && has_line;
  }
  if (engine_) {
    engine_->Start(boxes, clear_diagnostics);
  } else if (clear_diagnostics) {
    shown_views_->diagnostics.ClearCells(0, kDiagnosticsColumns - 1, 1, kDiagnosticsLastRow);
  }
}

void WindowPresenter::Button2Click() { StartLines(/*clear_diagnostics=*/true); }

void WindowPresenter::Button3Click() {
  if (engine_) engine_->RequestGoodsRefresh();
}

SaveControls WindowPresenter::CurrentSaveControls() const {
  SaveControls controls;
  for (int port = 0; port < kPortCount; ++port) {
    controls.connect_checked[port] = shown_[static_cast<int>(ConnectBox(port))].checked;
    controls.start_checked[port] = shown_[static_cast<int>(StartBox(port))].checked;
  }
  controls.goods_field = TextOf(Control::Edit1);
  controls.report_field = TextOf(Control::Edit2);
  controls.auto_start_checked = shown_[static_cast<int>(Control::CheckBox34)].checked;
  return controls;
}

void WindowPresenter::Button1Click() {
  // Pressed without moving the focus (a shortcut, an accessibility action):
  // the group's work is stored as leaving it would.
  StoreGroupBox3Work();
  const DialogAnswer answer = view_.ShowDialog(DialogKind::kConfirmation, "Сохранить изменения",
                                               kButtonYes | kButtonNo | kButtonCancel);
  if (answer == DialogAnswer::kYes) {
    const Status saved = SaveSettings(*deps_.store, settings_, CurrentSaveControls());
    if (!saved.ok()) {
      ShowError(saved.message());
      return;
    }
    EndProgram();
  } else if (answer == DialogAnswer::kNo) {
    EndProgram();
  }
}

void WindowPresenter::Button4Click() {
  if (!settings_.installed) {
    if (view_.ShowDialog(DialogKind::kInformation, "Будем инсталлировать",
                         kButtonYes | kButtonNo) != DialogAnswer::kYes)
      return;
    const Status written =
        InstallDefaults(*deps_.store, settings_.goods_folder, settings_.report_folder);
    if (!written.ok()) {
      ShowError(written.message());
      return;
    }
    settings_.installed = true;
    view_.ShowDialog(DialogKind::kInformation, "Драйвер инсталлирован", kButtonOk);
  } else {
    if (view_.ShowDialog(DialogKind::kConfirmation, "Будем деинсталировать",
                         kButtonYes | kButtonNo) != DialogAnswer::kYes)
      return;
    // Whatever is left behind, the program runs uninstalled from now on.
    RemoveInstallation(*deps_.store);
    settings_.installed = false;
    view_.ShowDialog(DialogKind::kInformation, "Драйвер деинсталлирован", kButtonOk);
  }
  EndProgram();
}

void WindowPresenter::ShowError(const std::string& message) {
  view_.ShowDialog(DialogKind::kError, message, kButtonOk);
}

void WindowPresenter::EndProgram() {
  // The engine ends its current tick before the program goes; nothing is
  // saved here.
  if (engine_) engine_->Stop();
  if (ended_) return;
  ended_ = true;
  if (deps_.end_program) deps_.end_program();
}

// --- Grids and events -------------------------------------------------------------

void WindowPresenter::RefreshGrids() {
  const std::pair<Control, GridWatch*> grids[] = {{Control::StringGrid1, &diagnostics_grid_},
                                                  {Control::StringGrid2, &goods_grid_},
                                                  {Control::StringGrid3, &report_grid_}};
  for (const auto& [control, grid] : grids)
    if (const std::optional<GridChange> change = grid->Poll()) view_.GridChanged(control, *change);
}

void WindowPresenter::EventsChanged() {
  // Taken before reading: whatever arrives meanwhile brings news again.
  if (deps_.events) deps_.events->TakeNotice();
  ShowEvents();
}

void WindowPresenter::ShowEvents() {
  if (deps_.events == nullptr) return;
  const std::optional<KeptEvent> problem = deps_.events->Problem();
  if (problem) {
    view_.SetAlert(Control::EventLine, OneLine(problem->text), problem->severity);
  } else {
    view_.SetAlert(Control::EventLine, {}, Severity::kInfo);
  }
  // Each port's own problem, on its radio button and beside its settings.
  std::array<std::string, kPortCount> problems{};
  for (const auto& [condition, event] : deps_.events->ActiveConditions()) {
    const int port = PortOfCondition(condition);
    if (port >= 0) problems[port] = OneLine(event.text);
  }
  for (int port = 0; port < kPortCount; ++port) {
    // Most events change nothing on the ports; telling the view would cost.
    if (problems[port] == port_problems_[port]) continue;
    view_.SetAlert(RadioButton(port), problems[port], Severity::kError);
  }
  port_problems_ = std::move(problems);
  ShowPortProblem();
}

void WindowPresenter::OpenEventList() {
  view_.OpenEventList();
  FillEventList();
}

void WindowPresenter::FillEventList() {
  if (deps_.events == nullptr) return;
  const std::vector<KeptEvent> recent = deps_.events->Recent();
  view_.FillEventList(recent);
  // Seen: one-off problems leave the foot line.
  if (deps_.events->Acknowledge(recent.empty() ? 0 : recent.front().serial)) ShowEvents();
}

}  // namespace tillgate

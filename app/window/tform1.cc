// The main window's start-up and handlers.

#include "app/window/tform1.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <exception>
#include <optional>
#include <utility>
#include <vector>

#include "app/window/choice_signals.h"
#include "app/window/combo_box_accessible.h"
#include "app/window/event_list_dialog.h"
#include "app/window/event_log.h"
#include "app/window/folder_lists.h"
#include "app/window/foot_line.h"
#include "app/window/grid_table_model.h"
#include "app/window/integer_text.h"
#include "app/window/message_box_dialogs.h"
#include "app/window/up_down.h"
#include "config/folder_check.h"
#include "config/installation.h"
#include "platform/locations.h"

namespace tillgate {
namespace {

constexpr int kInstallPage = 6;
constexpr int kEventListRefreshMs = 250;
const char kNotStartedProperty[] = "notStarted";

// Item of a name-line list for a letter; -1 for any other letter.
int NameLineItem(char letter) {
  if (letter == 'N') return 0;
  if (letter == 'C') return 1;
  return -1;
}

QString DefaultDevice(int port_index) {
  return QString::fromStdString(DefaultDevicePath(port_index));
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

// The text cut to `width` pixels of `label`, whole in its tooltip.
void ShowCut(QLabel* label, const QString& text) {
  label->setText(label->fontMetrics().elidedText(text, Qt::ElideRight, label->width()));
  label->setToolTip(text);
  label->setAccessibleDescription(text);
}

}  // namespace

TForm1::TForm1(WindowDeps deps, QWidget* parent) : QWidget(parent), deps_(std::move(deps)) {
  InstallComboBoxAccessibility();
  if (deps_.dialogs) {
    dialogs_ = deps_.dialogs;
  } else {
    own_dialogs_ = std::make_unique<MessageBoxDialogs>(this);
    dialogs_ = own_dialogs_.get();
  }
  diagnostics_model_ = new GridTableModel(views_.diagnostics, this);
  goods_model_ = new GridTableModel(views_.goods, this);
  report_model_ = new GridTableModel(views_.report, this);
  // The report grid reuses its rows: the newest is marked wherever it is.
  report_model_->MarkNewestRow(true);
  BuildControls();
  ConnectHandlers();
}

TForm1::~TForm1() {
  // The engine writes the grids on show: it stops first. Then the controls
  // go while every member they read still exists (closing a shown window
  // lays out its grids once more and moves the focus).
  if (engine_) engine_->Stop();
  // Nothing writes the grids any more: the report model lets go of its grid.
  report_model_->MarkNewestRow(false);
  if (deps_.events) disconnect(deps_.events, nullptr, this, nullptr);
  disconnect(qApp, nullptr, this, nullptr);
  Timer1->stop();
  delete PageControl1;
  PageControl1 = nullptr;
  engine_.reset();
}

void TForm1::ConnectHandlers() {
  connect(DirectoryListBox1, &DirectoryListBox::Changed, this, &TForm1::DirectoryListBox1Change);
  connect(DirectoryListBox2, &DirectoryListBox::Changed, this, &TForm1::DirectoryListBox2Change);
  connect(DirectoryListBox1, &DirectoryListBox::Failed, this, &TForm1::ShowError);
  connect(DirectoryListBox2, &DirectoryListBox::Failed, this, &TForm1::ShowError);
  connect(DriveComboBox1, &DriveComboBox::Failed, this, &TForm1::ShowError);
  connect(DriveComboBox2, &DriveComboBox::Failed, this, &TForm1::ShowError);
  // Whatever checks a radio button (mouse, arrow keys, an accessibility
  // action) selects its port.
  for (int port = 0; port < kPortCount; ++port)
    connect(port_radios_[port], &QRadioButton::toggled, this, [this, port](bool checked) {
      if (!checked) return;
      KeepTabStopOnCheckedPort();
      if (!filling_) RadioButtonClick(port);
    });
  KeepTabStopOnCheckedPort();
  const auto muted = [this] { return filling_; };
  OnChoice(ComboBox1, muted, [this](int item) { ComboBox1Change(item); });
  // The group's controls are stored when the operator leaves the group;
  // a change made without entering it counts as working in it.
  for (QComboBox* list : {ComboBox2, ComboBox3})
    OnChoice(list, muted, [this](int) { GroupBox3WorkedOn(); });
  for (QLineEdit* field : {Edit3, Edit4})
    connect(field, &QLineEdit::textChanged, this, [this] {
      if (!filling_) GroupBox3WorkedOn();
    });
  connect(MaskEdit1, &QLineEdit::textChanged, this, [this] {
    if (filling_) return;
    GroupBox3WorkedOn();
    MaskEdit1Change();
  });
  connect(CheckBox1, &QCheckBox::toggled, this, [this] {
    if (!filling_) CheckBox1Click();
  });
  connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
  connect(Button4, &QPushButton::clicked, this, &TForm1::Button4Click);
  connect(qApp, &QApplication::focusChanged, this, &TForm1::FocusChanged);
  // Leaving the equipment page counts as leaving the group even when the
  // focus had nowhere to go.
  connect(PageControl1, &QTabWidget::currentChanged, this, [this] {
    if (group3_entered_ && !InGroupBox3(QApplication::focusWidget())) GroupBox3Exit();
  });
  connect(Timer1, &QTimer::timeout, this, &TForm1::RefreshGrids);
  connect(EventLine, &QPushButton::clicked, this, &TForm1::OpenEventList);
  if (deps_.events) connect(deps_.events, &EventLog::Changed, this, &TForm1::ShowEvents);
}

bool TForm1::StartUp() {
  LoadResult loaded = LoadSettings(*deps_.store, deps_.working_dir);
  settings_ = std::move(loaded.settings);
  if (!loaded.status.ok()) {
    ShowError(QString::fromStdString(loaded.status.message()));
    EndProgram();
    return false;
  }
  ApplySettingsToControls();
  views_.WriteHeadings();
  try {
    if (deps_.make_engine) engine_ = deps_.make_engine(settings_);
  } catch (const std::exception& error) {
    // Anything escaping the server's construction ends the start-up.
    ShowError(QString::fromUtf8(error.what()));
    EndProgram();
    return false;
  }
  if (engine_ && engine_->Views()) {
    shown_views_ = engine_->Views();
    diagnostics_model_->Rebind(shown_views_->diagnostics);
    goods_model_->Rebind(shown_views_->goods);
    report_model_->Rebind(shown_views_->report);
  }
  RefreshGrids();
  // Building the server reported how its ports opened.
  ShowEvents();
  if (settings_.auto_start == 1) StartLines(/*clear_diagnostics=*/false);
  Timer1->start();
  return true;
}

void TForm1::ApplySettingsToControls() {
  const bool was_filling = std::exchange(filling_, true);
  Edit1->setText(QString::fromStdString(settings_.goods_folder));
  Edit2->setText(QString::fromStdString(settings_.report_folder));
  for (int port = 0; port < kPortCount; ++port) {
    connect_boxes_[port]->setChecked(settings_.connect_checked[port]);
    start_boxes_[port]->setChecked(settings_.start_checked[port]);
  }
  if (settings_.installed) {
    // COM2 is the port on display when the window opens.
    selected_port_ = 1;
    UpDown1->setValue(settings_.shown_split_length);
    MaskEdit1->setText(QString::number(settings_.shown_split_length));
  }
  CheckBox34->setChecked(settings_.auto_start == 1);
  CheckBox1->setChecked(settings_.track_stock);
  PointFolderList(DirectoryListBox1, Edit1, "goods folder", "InPath");
  PointFolderList(DirectoryListBox2, Edit2, "report folder", "OutPath");
  port_radios_[1]->setChecked(true);
  ShowPortSettings(1);
  Button4->setText(settings_.installed ? QStringLiteral("ДЕИНСТАЛЛЯЦИЯ")
                                       : QStringLiteral("ИНСТАЛЛЯЦИЯ"));
  ApplyEnableRules();
  filling_ = was_filling;
}

void TForm1::PointFolderList(DirectoryListBox* list, QLineEdit* field, const char* role,
                             const char* value_name) {
  const QString wanted = field->text();
  if (wanted.isEmpty()) return;
  QString error;
  // A folder brought over from Windows would read as missing under the
  // working folder; say what it is instead.
  if (LooksLikeWindowsPath(wanted.toStdString())) {
    error = QString::fromStdString(FolderSettingProblem(role, value_name, wanted.toStdString()));
  } else if (list->SetDirectory(wanted, &error)) {
    return;
  }
  // The folder may appear later (a share not yet mounted): say so and go
  // on. The field keeps the configured text, so a save keeps it too; the
  // list shows the working folder meanwhile.
  ShowError(error);
  folder_change_muted_ = true;
  list->SetDirectory(QString::fromStdString(deps_.working_dir), nullptr);
  folder_change_muted_ = false;
}

void TForm1::ApplyEnableRules() {
  for (int page = 0; page < PageControl1->count(); ++page)
    if (page != kInstallPage) PageControl1->widget(page)->setEnabled(settings_.installed);
  // A port unconnected at start-up has no line this run, whatever the
  // operator ticks now.
  for (int port = 0; port < kPortCount; ++port)
    start_boxes_[port]->setEnabled(settings_.ports[port].connect != 0);
}

void TForm1::DirectoryListBox1Change() {
  if (!folder_change_muted_) Edit1->setText(DirectoryListBox1->Directory());
}

void TForm1::DirectoryListBox2Change() {
  if (!folder_change_muted_) Edit2->setText(DirectoryListBox2->Directory());
}

void TForm1::RadioButtonClick(int port_index) {
  // A click has moved the focus out of the group, and so stored the work
  // there, before its radio button is checked; other ways of checking it
  // leave that to be done here, for the port the work was done for.
  if (port_index != selected_port_) StoreGroupBox3Work();
  ShowPortSettings(port_index);
}

void TForm1::ShowPortSettings(int port_index) {
  if (port_index < 0 || port_index >= kPortCount) return;
  const bool was_filling = std::exchange(filling_, true);
  selected_port_ = port_index;
  const PortConfig& port = settings_.ports[port_index];
  if (port.model >= 1 && port.model <= 3) ComboBox1->setCurrentIndex(port.model - 1);
  Edit3->setText(QString::fromStdString(port.mask));
  if (port.name_lines == "NC" || port.name_lines == "CN" || port.name_lines == "NN" ||
      port.name_lines == "CC") {
    ComboBox2->setCurrentIndex(NameLineItem(port.name_lines[0]));
    ComboBox3->setCurrentIndex(NameLineItem(port.name_lines[1]));
  }
  Edit4->setText(QString::fromStdString(port.device));
  Edit4->setPlaceholderText(DefaultDevice(port_index));
  if (port.split_length > 3 && port.split_length < 14)
    MaskEdit1->setText(QString::number(port.split_length));
  ShowPortProblem();
  filling_ = was_filling;
}

void TForm1::ShowPortProblem() { ShowCut(PortProblem, port_problems_[selected_port_]); }

void TForm1::ComboBox1Change(int item) {
  if (item < 0) return;
  settings_.ports[selected_port_].model = static_cast<uint8_t>(item + 1);
}

bool TForm1::ReadSplitLength(int32_t* value) {
  if (ParseInteger(MaskEdit1->text(), value)) return true;
  ShowError(NotValidIntegerMessage(MaskEdit1->text()));
  return false;
}

void TForm1::MaskEdit1Change() {
  int32_t value = 0;
  if (ReadSplitLength(&value)) settings_.ports[selected_port_].split_length = value;
}

void TForm1::GroupBox3Exit() {
  group3_entered_ = false;
  // The port on display: a radio button just clicked is selected only after
  // this has run.
  PortConfig& port = settings_.ports[selected_port_];
  port.mask = Edit3->text().toStdString();
  port.device = Edit4->text().trimmed().toStdString();
  int32_t split = 0;
  if (!ReadSplitLength(&split)) return;
  port.split_length = split;
  const int first = ComboBox2->currentIndex();
  const int second = ComboBox3->currentIndex();
  if (first < 0 || second < 0) return;
  port.name_lines = {first == 0 ? 'N' : 'C', second == 0 ? 'N' : 'C'};
}

void TForm1::KeepTabStopOnCheckedPort() {
  // The port group is one stop for Tab, at the checked port (the arrow keys
  // move within it); Qt would leave the stop on the radio button focused
  // last, which an accessibility action need not have moved.
  for (QRadioButton* radio : port_radios_)
    radio->setFocusPolicy(radio->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
}

void TForm1::GroupBox3WorkedOn() { group3_entered_ = true; }

void TForm1::StoreGroupBox3Work() {
  if (!group3_entered_) return;
  GroupBox3Exit();
  // Still in the group (nothing moved the focus): later work counts too.
  group3_entered_ = InGroupBox3(QApplication::focusWidget());
}

bool TForm1::InGroupBox3(const QWidget* widget) const {
  return widget != nullptr && (widget == GroupBox3 || GroupBox3->isAncestorOf(widget));
}

void TForm1::FocusChanged(QWidget* /*old_widget*/, QWidget* now_widget) {
  // Only moves inside this window count: a message box or a list's pop-up
  // opening over the group does not leave it.
  if (now_widget == nullptr || now_widget->window() != this) return;
  if (InGroupBox3(now_widget)) {
    group3_entered_ = true;
  } else if (group3_entered_) {
    GroupBox3Exit();
  }
}

void TForm1::CheckBox1Click() { settings_.track_stock = CheckBox1->isChecked(); }

void TForm1::MarkNotStarted(int port_index, bool not_started) {
  QCheckBox* box = start_boxes_[port_index];
  box->setProperty(kNotStartedProperty, not_started);
  box->setToolTip(not_started ? QStringLiteral("Не запущен: для порта не выбрана модель кассы")
                              : QString());
  box->setStyleSheet(not_started ? QStringLiteral("color: #b00000;") : QString());
}

void TForm1::StartLines(bool clear_diagnostics) {
  std::array<bool, kPortCount> boxes{};
  for (int port = 0; port < kPortCount; ++port) {
    const bool wanted = start_boxes_[port]->isChecked();
    const bool connected = settings_.ports[port].connect == 1;
    const bool has_line = engine_ && engine_->HasLine(port);
    // A connected port without a line object cannot be polled: it is not
    // started, and its box tells the operator so.
    MarkNotStarted(port, wanted && connected && !has_line);
    boxes[port] = wanted && has_line;
  }
  if (engine_) {
    engine_->Start(boxes, clear_diagnostics);
  } else if (clear_diagnostics) {
    shown_views_->diagnostics.ClearCells(0, kDiagnosticsColumns - 1, 1, kDiagnosticsLastRow);
  }
}

void TForm1::Button2Click() { StartLines(/*clear_diagnostics=*/true); }

void TForm1::Button3Click() {
  if (engine_) engine_->RequestGoodsRefresh();
}

SaveControls TForm1::CurrentSaveControls() const {
  SaveControls controls;
  for (int port = 0; port < kPortCount; ++port) {
    controls.connect_checked[port] = connect_boxes_[port]->isChecked();
    controls.start_checked[port] = start_boxes_[port]->isChecked();
  }
  controls.goods_field = Edit1->text().toStdString();
  controls.report_field = Edit2->text().toStdString();
  controls.auto_start_checked = CheckBox34->isChecked();
  return controls;
}

void TForm1::Button1Click() {
  // Pressed without moving the focus (a shortcut, an accessibility action):
  // the group's work is stored as leaving it would.
  StoreGroupBox3Work();
  const DialogAnswer answer =
      dialogs_->Show(DialogKind::kConfirmation, QStringLiteral("Сохранить изменения"),
                     kButtonYes | kButtonNo | kButtonCancel);
  if (answer == DialogAnswer::kYes) {
    const Status saved = SaveSettings(*deps_.store, settings_, CurrentSaveControls());
    if (!saved.ok()) {
      ShowError(QString::fromStdString(saved.message()));
      return;
    }
    EndProgram();
  } else if (answer == DialogAnswer::kNo) {
    EndProgram();
  }
}

void TForm1::Button4Click() {
  if (!settings_.installed) {
    if (dialogs_->Show(DialogKind::kInformation, QStringLiteral("Будем инсталлировать"),
                       kButtonYes | kButtonNo) != DialogAnswer::kYes)
      return;
    const Status written =
        InstallDefaults(*deps_.store, settings_.goods_folder, settings_.report_folder);
    if (!written.ok()) {
      ShowError(QString::fromStdString(written.message()));
      return;
    }
    settings_.installed = true;
    dialogs_->Show(DialogKind::kInformation, QStringLiteral("Драйвер инсталлирован"), kButtonOk);
  } else {
    if (dialogs_->Show(DialogKind::kConfirmation, QStringLiteral("Будем деинсталировать"),
                       kButtonYes | kButtonNo) != DialogAnswer::kYes)
      return;
    // Whatever is left behind, the program runs uninstalled from now on.
    RemoveInstallation(*deps_.store);
    settings_.installed = false;
    dialogs_->Show(DialogKind::kInformation, QStringLiteral("Драйвер деинсталлирован"), kButtonOk);
  }
  EndProgram();
}

void TForm1::RefreshGrids() {
  diagnostics_model_->Refresh();
  goods_model_->Refresh();
  const int newest = report_model_->NewestRow();
  if (report_model_->Refresh() && report_model_->NewestRow() != newest &&
      report_model_->NewestRow() >= 0) {
    // Into view without moving the columns the operator scrolled to.
    const int column = std::max(StringGrid3->columnAt(0), 0);
    StringGrid3->scrollTo(report_model_->index(report_model_->NewestRow(), column));
  }
}

void TForm1::ShowEvents() {
  if (deps_.events == nullptr) return;
  const std::optional<KeptEvent> problem = deps_.events->Problem();
  if (problem) {
    EventLine->ShowProblem(OneLine(problem->text), problem->severity);
  } else {
    EventLine->ShowProblem({}, Severity::kInfo);
  }
  // Each port's own problem, on its radio button and beside its settings.
  port_problems_ = {};
  for (const auto& [condition, event] : deps_.events->ActiveConditions()) {
    const int port = PortOfCondition(condition);
    if (port >= 0) port_problems_[port] = OneLine(event.text);
  }
  for (int port = 0; port < kPortCount; ++port) {
    const QString& text = port_problems_[port];
    QRadioButton* radio = port_radios_[port];
    if (radio->toolTip() == text) continue;  // restyling costs; most events change nothing
    radio->setStyleSheet(text.isEmpty() ? QString() : QStringLiteral("color: #b00000;"));
    radio->setToolTip(text);
    radio->setAccessibleDescription(text);
  }
  ShowPortProblem();
  // An open list follows, a few times a second at most: a busy line
  // reports many events.
  if (event_list_ != nullptr && event_list_->isVisible() && !list_refresh_->isActive())
    list_refresh_->start();
}

void TForm1::OpenEventList() {
  if (event_list_ == nullptr) {
    event_list_ = new EventListDialog(this);
    list_refresh_ = new QTimer(event_list_);
    list_refresh_->setSingleShot(true);
    list_refresh_->setInterval(kEventListRefreshMs);
    connect(list_refresh_, &QTimer::timeout, this, [this] {
      if (event_list_->isVisible()) FillEventList();
    });
  }
  FillEventList();
  event_list_->show();
  event_list_->raise();
  event_list_->activateWindow();
}

void TForm1::FillEventList() {
  if (deps_.events == nullptr) return;
  event_list_->Fill(deps_.events->Recent());
  // Seen: one-off problems leave the foot line.
  deps_.events->Acknowledge(event_list_->NewestShown());
}

void TForm1::ShowError(const QString& message) {
  dialogs_->Show(DialogKind::kError, message, kButtonOk);
}

void TForm1::EndProgram() {
  // The engine ends its current tick before the program goes; nothing is
  // saved here.
  if (engine_) engine_->Stop();
  Timer1->stop();
  if (ended_) return;
  ended_ = true;
  if (deps_.end_program) deps_.end_program();
}

void TForm1::closeEvent(QCloseEvent* event) {
  EndProgram();
  event->accept();
}

}  // namespace tillgate

// The main window as a view: the presenter's changes applied to the
// controls, the operator's changes reported to the presenter.

#include "app/window/tform1.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "app/presenter/event_log.h"
#include "app/window/choice_signals.h"
#include "app/window/combo_box_accessible.h"
#include "app/window/event_list_dialog.h"
#include "app/window/folder_lists.h"
#include "app/window/foot_line.h"
#include "app/window/grid_table_model.h"
#include "app/window/message_box_dialogs.h"
#include "app/window/up_down.h"

namespace tillgate {
namespace {

constexpr int kEventListRefreshMs = 250;
const char kNotStartedProperty[] = "notStarted";
const QString kRed = QStringLiteral("color: #b00000;");

QString Text(const std::string& text) { return QString::fromStdString(text); }

// The text cut to `width` pixels of `label`, whole in its tooltip.
void ShowCut(QLabel* label, const QString& text) {
  label->setText(label->fontMetrics().elidedText(text, Qt::ElideRight, label->width()));
  label->setToolTip(text);
  label->setAccessibleDescription(text);
}

// The page control holding `page`, if it is a page.
QTabWidget* PagesOf(QWidget* page) {
  for (QWidget* up = page->parentWidget(); up != nullptr; up = up->parentWidget())
    if (auto* pages = qobject_cast<QTabWidget*>(up))
      return pages->indexOf(page) >= 0 ? pages : nullptr;
  return nullptr;
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
  PresenterDeps presenter_deps;
  presenter_deps.store = deps_.store;
  presenter_deps.working_dir = deps_.working_dir;
  presenter_deps.make_engine = deps_.make_engine;
  presenter_deps.events = deps_.events;
  presenter_deps.end_program = [this] {
    // No grid is looked at once the program is to end.
    Timer1->stop();
    if (deps_.end_program) deps_.end_program();
  };
  WindowView& view = *this;
  presenter_ = std::make_unique<WindowPresenter>(view, std::move(presenter_deps));
  diagnostics_model_ = new GridTableModel(presenter_->Grid(Control::StringGrid1), this);
  goods_model_ = new GridTableModel(presenter_->Grid(Control::StringGrid2), this);
  report_model_ = new GridTableModel(presenter_->Grid(Control::StringGrid3), this);
  BuildControls();
  FindControls();
  presenter_->ShowInitialContents();
  ConnectHandlers();
}

TForm1::~TForm1() {
  // No more news of events for this window.
  if (deps_.events) deps_.events->SetListener({});
  // The engine writes the grids on show: it stops first. Then the controls
  // go while the presenter they report to still exists (closing a shown
  // window lays out its grids once more and moves the focus).
  presenter_->StopEngine();
  disconnect(qApp, nullptr, this, nullptr);
  Timer1->stop();
  delete PageControl1;
  PageControl1 = nullptr;
  presenter_.reset();
}

void TForm1::FindControls() {
  for (int index = 0; index < kControlCount; ++index) {
    const auto control = static_cast<Control>(index);
    const std::string_view name = ControlName(control);
    QWidget* widget =
        control == Control::Form1
            ? this
            : findChild<QWidget*>(QString::fromLatin1(name.data(), qsizetype(name.size())));
    if (widget == nullptr) {
      std::fprintf(stderr, "tillgate: the window has no control %.*s\n", int(name.size()),
                   name.data());
      std::abort();
    }
    widgets_[index] = widget;
  }
}

void TForm1::ForwardText(Control control, QLineEdit* field) {
  connect(field, &QLineEdit::textChanged, this, [this, control](const QString& text) {
    if (!applying_) presenter_->TextChanged(control, text.toStdString());
  });
}

void TForm1::ForwardCheck(Control control, QAbstractButton* box) {
  connect(box, &QAbstractButton::toggled, this, [this, control](bool checked) {
    if (!applying_) presenter_->CheckChanged(control, checked);
  });
}

void TForm1::ForwardPress(Control control, QAbstractButton* button) {
  connect(button, &QAbstractButton::clicked, this,
          [this, control] { presenter_->Pressed(control); });
}

void TForm1::ConnectHandlers() {
  const std::pair<Control, DirectoryListBox*> lists[] = {
      {Control::DirectoryListBox1, DirectoryListBox1},
      {Control::DirectoryListBox2, DirectoryListBox2}};
  for (const auto& [control, list] : lists)
    connect(list, &DirectoryListBox::Changed, this, [this, control = control, list = list] {
      if (!applying_) presenter_->TextChanged(control, list->Directory().toStdString());
    });
  const auto failed = [this](const QString& message) {
    presenter_->ShowError(message.toStdString());
  };
  for (DirectoryListBox* list : {DirectoryListBox1, DirectoryListBox2})
    connect(list, &DirectoryListBox::Failed, this, failed);
  for (DriveComboBox* drives : {DriveComboBox1, DriveComboBox2})
    connect(drives, &DriveComboBox::Failed, this, failed);
  // Whatever checks a radio button (mouse, arrow keys, an accessibility
  // action) selects its port.
  for (int port = 0; port < kPortCount; ++port)
    connect(port_radios_[port], &QRadioButton::toggled, this, [this, port](bool checked) {
      if (!checked) return;
      KeepTabStopOnCheckedPort();
      if (!applying_) presenter_->CheckChanged(RadioButton(port), true);
    });
  KeepTabStopOnCheckedPort();
  for (int port = 0; port < kPortCount; ++port) {
    ForwardCheck(ConnectBox(port), connect_boxes_[port]);
    ForwardCheck(StartBox(port), start_boxes_[port]);
  }
  ForwardCheck(Control::CheckBox1, CheckBox1);
  ForwardCheck(Control::CheckBox34, CheckBox34);
  const auto muted = [this] { return applying_; };
  const std::pair<Control, QComboBox*> choices[] = {{Control::ComboBox1, ComboBox1},
                                                    {Control::ComboBox2, ComboBox2},
                                                    {Control::ComboBox3, ComboBox3}};
  for (const auto& [control, list] : choices)
    OnChoice(list, muted,
             [this, control = control](int item) { presenter_->ItemChosen(control, item); });
  const std::pair<Control, QLineEdit*> fields[] = {{Control::Edit1, Edit1},
                                                   {Control::Edit2, Edit2},
                                                   {Control::Edit3, Edit3},
                                                   {Control::Edit4, Edit4},
                                                   {Control::MaskEdit1, MaskEdit1}};
  for (const auto& [control, field] : fields) ForwardText(control, field);
  ForwardPress(Control::Button1, Button1);
  ForwardPress(Control::Button2, Button2);
  ForwardPress(Control::Button3, Button3);
  ForwardPress(Control::Button4, Button4);
  ForwardPress(Control::EventLine, EventLine);
  connect(qApp, &QApplication::focusChanged, this, &TForm1::FocusChanged);
  // Leaving the equipment page counts as leaving the group even when the
  // focus had nowhere to go.
  connect(PageControl1, &QTabWidget::currentChanged, this, [this] {
    if (!InGroupBox3(QApplication::focusWidget())) presenter_->FocusLeft(Control::GroupBox3);
  });
  connect(Timer1, &QTimer::timeout, this, [this] { presenter_->RefreshGrids(); });
  // The log tells of events on the thread that reported them; the window
  // looks on its own.
  if (deps_.events)
    deps_.events->SetListener([this] {
      QMetaObject::invokeMethod(
          this, [this] { EventsArrived(); }, Qt::QueuedConnection);
    });
}

bool TForm1::StartUp() {
  if (!presenter_->StartUp()) return false;
  Timer1->start();
  return true;
}

template <typename F>
void TForm1::Applying(F&& apply) {
  const bool was_applying = std::exchange(applying_, true);
  apply();
  applying_ = was_applying;
}

// --- What the presenter shows ----------------------------------------------------

void TForm1::SetText(Control control, const std::string& text) {
  Applying([&] {
    QWidget* widget = Widget(control);
    const QString shown = Text(text);
    if (widget == this) {
      setWindowTitle(shown);
    } else if (QTabWidget* pages = PagesOf(widget)) {
      pages->setTabText(pages->indexOf(widget), shown);
    } else if (auto* field = qobject_cast<QLineEdit*>(widget)) {
      field->setText(shown);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
      label->setText(shown);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      button->setText(shown);
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
      group->setTitle(shown);
    }
  });
}

void TForm1::SetPlaceholder(Control control, const std::string& text) {
  if (auto* field = qobject_cast<QLineEdit*>(Widget(control)))
    field->setPlaceholderText(Text(text));
}

void TForm1::SetItems(Control control, const std::vector<std::string>& items) {
  auto* list = qobject_cast<QComboBox*>(Widget(control));
  if (list == nullptr) return;
  Applying([&] {
    list->clear();
    for (const std::string& item : items) list->addItem(Text(item));
  });
}

void TForm1::SetSelection(Control control, int item) {
  Applying([&] {
    if (auto* list = qobject_cast<QComboBox*>(Widget(control))) list->setCurrentIndex(item);
    if (auto* spinner = qobject_cast<UpDown*>(Widget(control))) spinner->setValue(item);
  });
}

void TForm1::SetChecked(Control control, bool checked) {
  Applying([&] {
    if (auto* box = qobject_cast<QAbstractButton*>(Widget(control))) box->setChecked(checked);
  });
}

void TForm1::SetEnabled(Control control, bool enabled) {
  Applying([&] { Widget(control)->setEnabled(enabled); });
}

void TForm1::SetAlert(Control control, const std::string& text, Severity severity) {
  const QString shown = Text(text);
  if (control == Control::EventLine) {
    EventLine->ShowProblem(shown, severity);
  } else if (control == Control::PortProblem) {
    ShowCut(PortProblem, shown);
  } else if (const int port = PortOf(control, Control::RadioButton1); port >= 0) {
    QRadioButton* radio = port_radios_[port];
    radio->setStyleSheet(shown.isEmpty() ? QString() : kRed);
    radio->setToolTip(shown);
    radio->setAccessibleDescription(shown);
  } else if (const int port = PortOf(control, Control::CheckBox18); port >= 0) {
    QCheckBox* box = start_boxes_[port];
    box->setProperty(kNotStartedProperty, !shown.isEmpty());
    box->setToolTip(shown);
    box->setStyleSheet(shown.isEmpty() ? QString() : kRed);
  }
}

bool TForm1::HasFocus(Control control) const {
  const QWidget* focus = QApplication::focusWidget();
  const QWidget* widget = Widget(control);
  return focus != nullptr && (focus == widget || widget->isAncestorOf(focus));
}

bool TForm1::PointFolderList(Control list, const std::string& folder, std::string* shown,
                             std::string* error) {
  auto* folders = qobject_cast<DirectoryListBox*>(Widget(list));
  if (folders == nullptr) return false;
  QString why;
  bool entered = false;
  Applying([&] { entered = folders->SetDirectory(Text(folder), &why); });
  if (entered && shown) *shown = folders->Directory().toStdString();
  if (!entered && error) *error = why.toStdString();
  return entered;
}

void TForm1::GridChanged(Control grid, const GridChange& change) {
  GridTableModel* model = grid == Control::StringGrid1   ? diagnostics_model_
                          : grid == Control::StringGrid2 ? goods_model_
                                                         : report_model_;
  model->Apply(change);
  if (grid == Control::StringGrid3 && change.newest_row != change.old_newest_row &&
      change.newest_row >= 0) {
    // Into view without moving the columns the operator scrolled to.
    const int column = std::max(StringGrid3->columnAt(0), 0);
    StringGrid3->scrollTo(report_model_->index(change.newest_row, column));
  }
}

void TForm1::OpenEventList() {
  if (event_list_ == nullptr) {
    event_list_ = new EventListDialog(this);
    list_refresh_ = new QTimer(event_list_);
    list_refresh_->setSingleShot(true);
    list_refresh_->setInterval(kEventListRefreshMs);
    connect(list_refresh_, &QTimer::timeout, this, [this] {
      if (event_list_->isVisible()) presenter_->FillEventList();
    });
  }
  event_list_->show();
  event_list_->raise();
  event_list_->activateWindow();
}

void TForm1::FillEventList(const std::vector<KeptEvent>& events) {
  if (event_list_ != nullptr) event_list_->Fill(events);
}

DialogAnswer TForm1::ShowDialog(DialogKind kind, const std::string& text, unsigned buttons) {
  return dialogs_->Show(kind, Text(text), buttons);
}

// --- What the operator does ------------------------------------------------------

void TForm1::EventsArrived() {
  presenter_->EventsChanged();
  // An open list follows, a few times a second at most: a busy line
  // reports many events.
  if (event_list_ != nullptr && event_list_->isVisible() && !list_refresh_->isActive())
    list_refresh_->start();
}

void TForm1::KeepTabStopOnCheckedPort() {
  // The port group is one stop for Tab, at the checked port (the arrow keys
  // move within it); Qt would leave the stop on the radio button focused
  // last, which an accessibility action need not have moved.
  for (QRadioButton* radio : port_radios_)
    radio->setFocusPolicy(radio->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
}

bool TForm1::InGroupBox3(const QWidget* widget) const {
  return widget != nullptr && (widget == GroupBox3 || GroupBox3->isAncestorOf(widget));
}

void TForm1::FocusChanged(QWidget* /*old_widget*/, QWidget* now_widget) {
  // Only moves inside this window count: a message box or a list's pop-up
  // opening over the group does not leave it.
  if (now_widget == nullptr || now_widget->window() != this) return;
  if (InGroupBox3(now_widget)) {
    presenter_->FocusEntered(Control::GroupBox3);
  } else {
    presenter_->FocusLeft(Control::GroupBox3);
  }
}

void TForm1::closeEvent(QCloseEvent* event) {
  presenter_->Closed();
  event->accept();
}

}  // namespace tillgate

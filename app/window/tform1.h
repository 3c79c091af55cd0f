#pragma once
// The main window as Qt draws it: folders, ports, start, diagnostics,
// monitoring, information and installation pages. What the pages show and
// what the operator's changes do is the presenter's (WindowPresenter); this
// window builds the controls with their layout, fonts and accessible names,
// reports every change the operator makes, however made, and shows what the
// presenter says.

#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/presenter/window_presenter.h"
#include "app/presenter/window_view.h"
#include "app/window/dialogs.h"
#include "app/window/font_scale.h"
#include "config/settings.h"
#include "platform/registry_store.h"
#include "store/monitoring_views.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTableView;
class QTimer;

namespace tillgate {

class DirectoryListBox;
class DriveComboBox;
class EventListDialog;
class EventLog;
class FootLine;
class GridTableModel;
class UpDown;

struct WindowDeps {
  RegistryStore* store = nullptr;     // the settings; not owned, outlives the window
  Dialogs* dialogs = nullptr;         // not owned; null: message boxes over the window
  std::string working_dir;            // the folders when not installed
  EngineFactory make_engine;          // may be empty
  std::function<void()> end_program;  // ends the message loop; may be empty
  // The server's events, shown at the foot and in the event list; not
  // owned, outlives the window; may be null (then nothing is shown).
  EventLog* events = nullptr;
};

class TForm1 final : public QWidget, private WindowView {
  Q_OBJECT

 public:
  explicit TForm1(WindowDeps deps, QWidget* parent = nullptr);
  ~TForm1() override;

  // Loads the settings, fills the controls, builds the server and runs the
  // Start action when auto start is 1. False when the settings could not be
  // loaded: the message has been shown and the program is to end.
  bool StartUp();

  WindowPresenter& presenter() { return *presenter_; }
  const Settings& settings() const { return presenter_->settings(); }
  int selected_port() const { return presenter_->selected_port(); }
  // The grids on show: the engine's, or the window's own without one.
  MonitoringViews& views() { return presenter_->views(); }
  // Set once the program has been asked to end (exit, install, remove, close).
  bool ended() const { return presenter_->ended(); }
  // Pulls changed grid cells into the views; Timer1 does this regularly.
  void RefreshGrids() { presenter_->RefreshGrids(); }

  // How much the window's pixel sizes have grown for the font in use.
  const LayoutScale& scale() const { return scale_; }

 protected:
  void closeEvent(class QCloseEvent* event) override;
  void resizeEvent(class QResizeEvent* event) override;

 private:
  // WindowView: what the presenter shows.
  void SetText(Control control, const std::string& text) override;
  void SetPlaceholder(Control control, const std::string& text) override;
  void SetItems(Control control, const std::vector<std::string>& items) override;
  void SetSelection(Control control, int item) override;
  void SetChecked(Control control, bool checked) override;
  void SetEnabled(Control control, bool enabled) override;
  void SetAlert(Control control, const std::string& text, Severity severity) override;
  bool HasFocus(Control control) const override;
  bool PointFolderList(Control list, const std::string& folder, std::string* shown,
                       std::string* error) override;
  void GridChanged(Control grid, const GridChange& change) override;
  void OpenEventList() override;
  void FillEventList(const std::vector<KeptEvent>& events) override;
  DialogAnswer ShowDialog(DialogKind kind, const std::string& text, unsigned buttons) override;

  void BuildControls();
  void NameControls();
  void SetTabOrder();
  void FindControls();
  QWidget* BuildFoldersPage();
  QWidget* BuildEquipmentPage();
  QWidget* BuildStartPage();
  QWidget* BuildDiagnosticsPage();
  QWidget* BuildMonitoringPage();
  QWidget* BuildInformationPage();
  QWidget* BuildInstallationPage();
  QTableView* BuildGrid(const QString& name, GridTableModel* model, QWidget* parent);
  void ConnectHandlers();
  void ForwardText(Control control, QLineEdit* field);
  void ForwardCheck(Control control, QAbstractButton* box);
  void ForwardPress(Control control, QAbstractButton* button);

  void LayOutWindow();
  QWidget* Widget(Control control) const { return widgets_[static_cast<int>(control)]; }
  void FocusChanged(QWidget* old_widget, QWidget* now_widget);
  bool InGroupBox3(const QWidget* widget) const;
  void KeepTabStopOnCheckedPort();
  void EventsArrived();
  // Runs `apply` as the presenter's own change: nothing it changes is
  // reported back as the operator's.
  template <typename F>
  void Applying(F&& apply);

  WindowDeps deps_;
  std::unique_ptr<Dialogs> own_dialogs_;
  Dialogs* dialogs_;
  std::unique_ptr<WindowPresenter> presenter_;
  // The presenter is changing controls.
  bool applying_ = false;
  LayoutScale scale_;
  std::array<QWidget*, kControlCount> widgets_{};

  // Controls, under their designer names.
  QTabWidget* PageControl1 = nullptr;
  QPushButton* Button1 = nullptr;
  FootLine* EventLine = nullptr;
  EventListDialog* event_list_ = nullptr;  // made when first opened
  QTimer* list_refresh_ = nullptr;         // paces an open list's refills
  QLineEdit* Edit1 = nullptr;
  QLineEdit* Edit2 = nullptr;
  DriveComboBox* DriveComboBox1 = nullptr;
  DriveComboBox* DriveComboBox2 = nullptr;
  DirectoryListBox* DirectoryListBox1 = nullptr;
  DirectoryListBox* DirectoryListBox2 = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  QCheckBox* CheckBox1 = nullptr;
  QGroupBox* GroupBox2 = nullptr;
  std::array<QRadioButton*, kPortCount> port_radios_{};  // RadioButton1..16
  std::array<QCheckBox*, kPortCount> connect_boxes_{};   // CheckBox2..17
  QComboBox* ComboBox1 = nullptr;
  QGroupBox* GroupBox3 = nullptr;
  QLineEdit* Edit3 = nullptr;
  QComboBox* ComboBox2 = nullptr;
  QComboBox* ComboBox3 = nullptr;
  QLineEdit* MaskEdit1 = nullptr;
  UpDown* UpDown1 = nullptr;
  QLineEdit* Edit4 = nullptr;     // device path of the port on display
  QLabel* PortProblem = nullptr;  // the problem of the port on display
  QGroupBox* GroupBox4 = nullptr;
  std::array<QCheckBox*, kPortCount> start_boxes_{};  // CheckBox18..33
  QCheckBox* CheckBox34 = nullptr;
  QPushButton* Button2 = nullptr;
  QTabWidget* PageControl2 = nullptr;
  QPushButton* Button3 = nullptr;
  QTableView* StringGrid1 = nullptr;
  QTableView* StringGrid2 = nullptr;
  QTableView* StringGrid3 = nullptr;
  QPushButton* Button4 = nullptr;
  QTimer* Timer1 = nullptr;
  GridTableModel* diagnostics_model_ = nullptr;
  GridTableModel* goods_model_ = nullptr;
  GridTableModel* report_model_ = nullptr;
};

}  // namespace tillgate

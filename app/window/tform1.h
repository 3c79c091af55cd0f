#pragma once
// The main window: folders, ports, start, diagnostics, monitoring,
// information and installation pages. Building it is the program's start-up:
// it loads the settings, shows them, builds the running server and starts
// the stored selection when auto start is on.

#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "app/window/dialogs.h"
#include "app/window/engine_link.h"
#include "app/window/font_scale.h"
#include "config/settings.h"
#include "platform/registry_store.h"
#include "store/monitoring_views.h"

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

// Builds the running server from the loaded settings. The window runs the
// automatic start itself. May return null (nothing to poll).
using EngineFactory = std::function<std::unique_ptr<EngineLink>(const Settings& settings)>;

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

class TForm1 final : public QWidget {
  Q_OBJECT

 public:
  explicit TForm1(WindowDeps deps, QWidget* parent = nullptr);
  ~TForm1() override;

  // Loads the settings, fills the controls, builds the server and runs the
  // Start action when auto start is 1. False when the settings could not be
  // loaded: the message has been shown and the program is to end.
  bool StartUp();

  // Handlers, named after their controls and events.
  void DirectoryListBox1Change();
  void DirectoryListBox2Change();
  void RadioButtonClick(int port_index);
  void ComboBox1Change(int item);
  void GroupBox3Exit();
  void MaskEdit1Change();
  void CheckBox1Click();
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();

  void ShowPortSettings(int port_index);
  // The Start action; clears diagnostics rows 1..14 first when asked.
  void StartLines(bool clear_diagnostics);

  const Settings& settings() const { return settings_; }
  int selected_port() const { return selected_port_; }
  // The grids on show: the engine's, or the window's own without one.
  MonitoringViews& views() { return *shown_views_; }
  // Set once the program has been asked to end (exit, install, remove, close).
  bool ended() const { return ended_; }
  // Pulls changed grid cells into the views; Timer1 does this regularly.
  void RefreshGrids();

  // Brings the foot line, the port marks and an open event list up to date
  // with the event log; runs whenever the log changes.
  void ShowEvents();
  // Opens the list of recent events (pressing the foot line does).
  void OpenEventList();
  void FillEventList();

  // How much the window's pixel sizes have grown for the font in use.
  const LayoutScale& scale() const { return scale_; }

 protected:
  void closeEvent(class QCloseEvent* event) override;
  void resizeEvent(class QResizeEvent* event) override;

 private:
  void BuildControls();
  void NameControls();
  void SetTabOrder();
  QWidget* BuildFoldersPage();
  QWidget* BuildEquipmentPage();
  QWidget* BuildStartPage();
  QWidget* BuildDiagnosticsPage();
  QWidget* BuildMonitoringPage();
  QWidget* BuildInformationPage();
  QWidget* BuildInstallationPage();
  QTableView* BuildGrid(const QString& name, GridTableModel* model, QWidget* parent);
  void ConnectHandlers();

  void LayOutWindow();
  void ShowPortProblem();
  void ApplySettingsToControls();
  // Shows `field`'s folder in `list`; a folder that cannot be shown is
  // reported (naming the setting `value_name` of the `role` folder) and the
  // list shows the working folder meanwhile.
  void PointFolderList(DirectoryListBox* list, QLineEdit* field, const char* role,
                       const char* value_name);
  void ApplyEnableRules();
  void MarkNotStarted(int port_index, bool not_started);
  void FocusChanged(QWidget* old_widget, QWidget* now_widget);
  bool InGroupBox3(const QWidget* widget) const;
  void GroupBox3WorkedOn();
  void KeepTabStopOnCheckedPort();
  void StoreGroupBox3Work();
  bool ReadSplitLength(int32_t* value);
  SaveControls CurrentSaveControls() const;
  void ShowError(const QString& message);
  void EndProgram();

  WindowDeps deps_;
  std::unique_ptr<Dialogs> own_dialogs_;
  Dialogs* dialogs_;
  Settings settings_;
  MonitoringViews views_;
  MonitoringViews* shown_views_ = &views_;
  std::unique_ptr<EngineLink> engine_;
  int selected_port_ = 1;  // the port on display; COM2 when the window opens
  // The operator has entered GroupBox3, or changed one of its controls by
  // any means, since its values were last stored.
  bool group3_entered_ = false;
  // The window itself is filling controls: no change is the operator's.
  bool filling_ = false;
  bool folder_change_muted_ = false;
  bool ended_ = false;
  LayoutScale scale_;
  // The problem text of each port whose port condition is in force.
  std::array<QString, kPortCount> port_problems_{};

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

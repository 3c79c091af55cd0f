#pragma once
// The main window's behaviour, whatever toolkit draws it: which values the
// pages show, what selecting a port and editing its settings do, the Start
// action, installation and removal, the exit question and the save, the
// monitoring grids and the problems shown. Starting it is the program's
// start-up: it loads the settings, shows them, builds the running server and
// starts the stored selection when auto start is on.
//
// A view (WindowView) shows what this says and reports the operator's
// changes: however a control was changed (mouse, keyboard, an accessibility
// client), the view reports it once, by the control's designer name.

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "app/presenter/control.h"
#include "app/presenter/engine_link.h"
#include "app/presenter/grid_watch.h"
#include "app/presenter/window_view.h"
#include "config/settings.h"
#include "platform/registry_store.h"
#include "store/monitoring_views.h"

namespace tillgate {

class EventLog;

// Builds the running server from the loaded settings. The presenter runs
// the automatic start itself. May return null (nothing to poll).
using EngineFactory = std::function<std::unique_ptr<EngineLink>(const Settings& settings)>;

struct PresenterDeps {
  RegistryStore* store = nullptr;     // the settings; not owned, outlives the presenter
  std::string working_dir;            // the folders when not installed
  EngineFactory make_engine;          // may be empty
  std::function<void()> end_program;  // ends the program's loop; may be empty
  // The server's events, shown at the foot, on the ports and in the event
  // list; not owned, outlives the presenter; may be null.
  EventLog* events = nullptr;
};

class WindowPresenter {
 public:
  WindowPresenter(WindowView& view, PresenterDeps deps);
  ~WindowPresenter();
  WindowPresenter(const WindowPresenter&) = delete;
  WindowPresenter& operator=(const WindowPresenter&) = delete;

  // Gives the controls their captions, list items and first values; once,
  // as soon as the view has built them.
  void ShowInitialContents();

  // Loads the settings, fills the controls, builds the server and runs the
  // Start action when auto start is 1. False when the settings could not be
  // loaded or the server not built: the message has been shown and the
  // program is to end.
  bool StartUp();

  // The operator's changes, as the view reports them.
  void TextChanged(Control control, const std::string& text);
  void CheckChanged(Control control, bool checked);
  void ItemChosen(Control control, int item);
  void Pressed(Control control);
  // The keyboard focus moved within the window into `group` (or inside
  // it), or to a control outside it.
  void FocusEntered(Control group);
  void FocusLeft(Control group);
  // The window was closed by the window system: the program ends unsaved.
  void Closed();
  // A failure the view met in an operator's action (a folder that cannot be
  // entered): shown, and the program goes on.
  void ShowError(const std::string& message);

  // Tells the view which grid cells changed; the view calls it regularly.
  void RefreshGrids();
  // The event log has news (on the window's thread): the foot line, the
  // port marks and the port's problem line follow.
  void EventsChanged();
  // Refills an open event list; the operator has then seen what it shows.
  void FillEventList();
  // The engine finishes its tick and stops; nothing writes the grids after.
  void StopEngine();

  // Handlers, named after their controls and events.
  void DirectoryListBox1Change(const std::string& folder);
  void DirectoryListBox2Change(const std::string& folder);
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
  // The Start action; clears diagnostics rows 1..15 first when asked.
  void StartLines(bool clear_diagnostics);

  const Settings& settings() const { return settings_; }
  int selected_port() const { return selected_port_; }
  // The grids on show: the engine's, or the presenter's own without one.
  MonitoringViews& views() { return *shown_views_; }
  // The grid a view draws: StringGrid1, StringGrid2 or StringGrid3.
  const GridWatch& Grid(Control grid) const;
  // Set once the program has been asked to end (exit, install, remove, close).
  bool ended() const { return ended_; }

 private:
  // What a control shows, as set here or changed by the operator.
  struct Shown {
    std::string text;
    int item = -1;
    bool checked = false;
  };

  void ShowText(Control control, const std::string& text);
  void ShowItem(Control control, int item);
  void ShowChecked(Control control, bool checked);
  const std::string& TextOf(Control control) const;

  void ApplySettingsToControls();
  void PointFolderList(Control list, Control field, const char* role, const char* value_name);
  void ApplyEnableRules();
  void ShowEvents();
  void ShowPortProblem();
  void OpenEventList();
  void StoreGroupBox3Work();
  bool ReadSplitLength(int32_t* value);
  SaveControls CurrentSaveControls() const;
  void EndProgram();

  WindowView& view_;
  PresenterDeps deps_;
  Settings settings_;
  MonitoringViews views_;
  MonitoringViews* shown_views_ = &views_;
  std::unique_ptr<EngineLink> engine_;
  GridWatch diagnostics_grid_{views_.diagnostics};
  GridWatch goods_grid_{views_.goods};
  GridWatch report_grid_{views_.report};
  std::array<Shown, kControlCount> shown_{};
  int selected_port_ = 1;  // the port on display; COM2 when the window opens
  // The operator has entered GroupBox3, or changed one of its controls by
  // any means, since its values were last stored.
  bool group3_entered_ = false;
  bool ended_ = false;
  // The problem text of each port whose port condition is in force.
  std::array<std::string, kPortCount> port_problems_{};
};

}  // namespace tillgate

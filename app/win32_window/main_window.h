#pragma once
// The main window drawn with the system's own controls (wide-character API,
// common controls version 6): the pages on a tab control, the port rows as
// radio buttons and check boxes, the grids as virtual list views. What the
// pages show and what the operator's changes do is the presenter's
// (WindowPresenter); this window builds the controls with their layout,
// fonts, access keys and accessible names, reports every change the
// operator makes, however made, and shows what the presenter says.

#include <windows.h>
// After windows.h, which they need first.
#include <commctrl.h>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/presenter/window_presenter.h"
#include "app/presenter/window_view.h"
#include "app/win32_window/layout_scale.h"

namespace tillgate {

class EventListWindow;
class FolderList;

// Answers a message box in the operator's place (tests).
using DialogAnswerer =
    std::function<DialogAnswer(DialogKind kind, const std::string& text, unsigned buttons)>;

struct MainWindowDeps {
  // The settings, the folders, the server, the events; end_program ends the
  // message loop.
  PresenterDeps presenter;
  // Empty: message boxes over the window.
  DialogAnswerer answer_dialog;
};

class MainWindow final : private WindowView {
 public:
  // Creates the window and its controls, hidden.
  explicit MainWindow(MainWindowDeps deps);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Loads the settings, fills the controls, builds the server and runs the
  // Start action when auto start is 1; starts the grids' refresh. False
  // when the settings could not be loaded: the message has been shown.
  bool StartUp();

  // The window's keys for a message taken from the queue, before it is
  // dispatched: Ctrl+Tab between pages, the arrow keys among the ports,
  // Enter in a folder list, then the dialog keys (Tab, access keys, Enter,
  // Esc). True when the message was handled and is not to be dispatched.
  bool PreTranslate(MSG* msg);

  HWND hwnd() const { return hwnd_; }
  // The window of a control; a page's own window for a tab sheet.
  HWND Handle(Control control) const { return handles_[static_cast<int>(control)]; }
  // The drive lists above the folder lists (0: goods, 1: reports).
  HWND DriveList(int which) const;
  // The event list's window once opened, else null.
  HWND EventListHandle() const;
  int CurrentPage() const;
  void ShowPage(int index);
  // The name a screen reader reads for `window` (a control of this window).
  std::wstring AccessibleName(HWND window) const;

  // The tips of the controls with a problem.
  HWND tooltip() const { return tooltip_; }

  WindowPresenter& presenter() { return *presenter_; }
  const LayoutScale& scale() const { return scale_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK PageProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

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

  // Building (main_window_layout.cc).
  void BuildControls();
  HWND Make(Control control, const wchar_t* window_class, DWORD style, HWND parent, int x, int y,
            int width, int height);
  HWND MakePage(Control control, HWND parent);
  void BuildFoldersPage();
  void BuildEquipmentPage();
  void BuildStartPage();
  void BuildDiagnosticsPage();
  void BuildMonitoringPage();
  void BuildInformationPage();
  void BuildInstallationPage();
  void MakeGrid(Control grid, HWND parent);
  void ShapeGridColumns(Control grid, int columns);
  void MakeFonts();
  void NameControls();
  void LayOutWindow();
  void LayOutMonitoring();

  // The operator's changes.
  void Command(int id, int code, HWND from);
  LRESULT Notify(NMHDR* header);
  LRESULT CustomDrawGrid(Control grid, NMLVCUSTOMDRAW* draw);
  void FocusMoved(HWND now);
  bool InGroupBox3(HWND window) const;
  void ShowSubPage(int index);
  void EnterFolder(int which, bool drive);
  void PortClicked(int port);
  bool MovePortSelection(HWND from, UINT key);
  void StepSplitLength(int delta);
  bool AccessKeyPressed(wchar_t letter);
  bool AncestorsEnabled(HWND window) const;
  void EventsArrived();
  HBRUSH ColourStatic(HDC dc, HWND control);
  void DrawItem(DRAWITEMSTRUCT* item);
  void DrawFootLine(const DRAWITEMSTRUCT& item);
  void SetTip(HWND window, const std::wstring& text);
  void ApplyEnabled(Control control);
  // The page a control is on (a tab sheet), or Form1.
  Control PageOf(HWND window) const;

  Control ControlOf(HWND window) const;
  void SetWindowTextUtf8(HWND window, const std::string& text);
  // Runs `apply` as the presenter's own change: nothing it changes is
  // reported back as the operator's.
  template <typename F>
  void Applying(F&& apply);

  MainWindowDeps deps_;
  std::unique_ptr<WindowPresenter> presenter_;
  bool applying_ = false;
  HWND hwnd_ = nullptr;
  std::array<HWND, kControlCount> handles_{};
  std::array<HWND, 2> drive_lists_{};
  std::array<std::unique_ptr<FolderList>, 2> folder_lists_;
  std::unique_ptr<EventListWindow> event_list_;
  HWND image_ = nullptr;
  HWND panel_ = nullptr;
  LayoutScale scale_;
  HFONT font_ = nullptr;
  HFONT grid_font_ = nullptr;
  HFONT banner_font_ = nullptr;
  HFONT note_font_ = nullptr;
  HBRUSH teal_brush_ = nullptr;
  // What the foot line and the alerts show.
  std::wstring foot_text_;
  Severity foot_severity_ = Severity::kInfo;
  bool foot_showing_ = false;
  std::array<bool, kControlCount> alerted_{};
  std::map<HWND, std::wstring> accessible_names_;
  // Each control's own enabled state; a page's state applies on top.
  std::array<bool, kControlCount> enabled_{};
  std::map<HWND, std::wstring> tips_;
  HWND tooltip_ = nullptr;
  std::wstring cell_text_;  // the text a grid asked for last
  HWND last_focus_ = nullptr;
  POINT min_track_{};
  HWND saved_focus_ = nullptr;  // the focus when the window was last active
  int page_ = -1;
  int sub_page_ = -1;
};

}  // namespace tillgate

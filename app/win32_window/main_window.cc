// The main window as a view: the presenter's changes applied to the
// controls, the operator's changes reported to the presenter.

#include "app/win32_window/main_window.h"

#include <commctrl.h>
#include <oleacc.h>
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <utility>

#include "app/presenter/event_log.h"
#include "app/win32_window/about_picture.h"
#include "app/win32_window/control_ids.h"
#include "app/win32_window/event_list_window.h"
#include "app/win32_window/folder_list.h"
#include "platform/win32/win32_text.h"

namespace tillgate {
namespace {

constexpr UINT_PTR kGridTimer = 1;
constexpr UINT_PTR kEventListTimer = 2;
constexpr UINT kGridRefreshMs = 50;
constexpr UINT kEventListRefreshMs = 250;
constexpr UINT kEventsMessage = WM_APP + 1;
constexpr wchar_t kQuietCaption[] = L"Журнал событий";
constexpr int kSplitMinimum = 4;
constexpr int kSplitMaximum = 12;

constexpr Control kPages[] = {Control::TabSheet1, Control::TabSheet2, Control::TabSheet3,
                              Control::TabSheet4, Control::TabSheet5, Control::TabSheet6,
                              Control::TabSheet8};
constexpr Control kSubPages[] = {Control::TabSheet9, Control::TabSheet10};

// Where a caption takes its access key: before the first of these words
// found in it.
struct AccessKey {
  Control control;
  const wchar_t* words[2];
};
const AccessKey kAccessKeys[] = {
    {Control::StaticText1, {L"товаров", nullptr}},
    {Control::StaticText2, {L"отчетов", nullptr}},
    {Control::CheckBox1, {L"леживать", nullptr}},
    {Control::StaticText5, {L"Маска", nullptr}},
    {Control::StaticText6, {L"1", nullptr}},
    {Control::StaticText7, {L"2", nullptr}},
    {Control::StaticText8, {L"Разделение", nullptr}},
    {Control::StaticText9, {L"Устройство", nullptr}},
    {Control::CheckBox34, {L"Автозапуск", nullptr}},
    {Control::Button2, {L"Запуск", nullptr}},
    {Control::Button3, {L"Обновить", nullptr}},
    {Control::Button4, {L"ДЕИНСТАЛЛЯЦИЯ", L"ИНСТАЛЛЯЦИЯ"}},
    {Control::Button1, {L"Выход", nullptr}},
};

std::wstring WithAccessKey(Control control, std::wstring caption) {
  for (const AccessKey& key : kAccessKeys) {
    if (key.control != control) continue;
    for (const wchar_t* word : key.words) {
      if (word == nullptr) continue;
      const size_t at = caption.find(word);
      if (at != std::wstring::npos) return caption.insert(at, 1, L'&');
    }
  }
  return caption;
}

bool IsEdit(Control c) {
  return c == Control::Edit1 || c == Control::Edit2 || c == Control::Edit3 || c == Control::Edit4 ||
         c == Control::MaskEdit1;
}
bool IsChoice(Control c) {
  return c == Control::ComboBox1 || c == Control::ComboBox2 || c == Control::ComboBox3;
}
bool IsFolderList(Control c) {
  return c == Control::DirectoryListBox1 || c == Control::DirectoryListBox2;
}
bool IsPushButton(Control c) {
  return c == Control::Button1 || c == Control::Button2 || c == Control::Button3 ||
         c == Control::Button4 || c == Control::EventLine;
}
bool IsGrid(Control c) {
  return c == Control::StringGrid1 || c == Control::StringGrid2 || c == Control::StringGrid3;
}
bool IsPage(Control c) {
  return std::find(std::begin(kPages), std::end(kPages), c) != std::end(kPages) ||
         std::find(std::begin(kSubPages), std::end(kSubPages), c) != std::end(kSubPages);
}

std::wstring WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
  return text;
}

std::wstring WithoutAccessKey(std::wstring text) {
  const size_t at = text.find(L'&');
  if (at != std::wstring::npos) text.erase(at, 1);
  return text;
}

void RegisterClasses(WNDPROC window, WNDPROC page) {
  static bool registered = false;
  if (registered) return;
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS |
                   ICC_STANDARD_CLASSES | ICC_BAR_CLASSES;
  InitCommonControlsEx(&controls);
  WNDCLASSEXW main_class{};
  main_class.cbSize = sizeof(main_class);
  main_class.lpfnWndProc = window;
  main_class.hInstance = GetModuleHandleW(nullptr);
  main_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  main_class.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
  main_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  main_class.lpszClassName = kWindowClass;
  RegisterClassExW(&main_class);
  WNDCLASSEXW page_class = main_class;
  page_class.lpfnWndProc = page;
  page_class.hIcon = nullptr;
  page_class.lpszClassName = kPageClass;
  RegisterClassExW(&page_class);
  registered = true;
}

}  // namespace

MainWindow::MainWindow(MainWindowDeps deps) : deps_(std::move(deps)) {
  RegisterClasses(WindowProc, PageProc);
  PresenterDeps presenter_deps = deps_.presenter;
  presenter_deps.end_program = [this] {
    // No grid is looked at once the program is to end.
    KillTimer(hwnd_, kGridTimer);
    if (deps_.presenter.end_program) deps_.presenter.end_program();
  };
  WindowView& view = *this;
  presenter_ = std::make_unique<WindowPresenter>(view, std::move(presenter_deps));
  BuildControls();
  presenter_->ShowInitialContents();
  // The log tells of events on the thread that reported them; the window
  // looks on its own.
  if (deps_.presenter.events) {
    HWND window = hwnd_;
    deps_.presenter.events->SetListener([window] { PostMessageW(window, kEventsMessage, 0, 0); });
  }
}

MainWindow::~MainWindow() {
  if (deps_.presenter.events) deps_.presenter.events->SetListener({});
  // The engine writes the grids on show: it stops first.
  presenter_->StopEngine();
  KillTimer(hwnd_, kGridTimer);
  KillTimer(hwnd_, kEventListTimer);
  event_list_.reset();
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  DestroyWindow(hwnd_);
  presenter_.reset();
  for (HFONT font : {font_, grid_font_, banner_font_, note_font_})
    if (font != nullptr) DeleteObject(font);
}

bool MainWindow::StartUp() {
  if (!presenter_->StartUp()) return false;
  SetTimer(hwnd_, kGridTimer, kGridRefreshMs, nullptr);
  return true;
}

HWND MainWindow::DriveList(int which) const { return drive_lists_[which == 0 ? 0 : 1]; }

HWND MainWindow::EventListHandle() const { return event_list_ ? event_list_->hwnd() : nullptr; }

int MainWindow::CurrentPage() const { return page_; }

std::wstring MainWindow::AccessibleName(HWND window) const {
  const auto named = accessible_names_.find(window);
  if (named != accessible_names_.end()) return named->second;
  return WithoutAccessKey(WindowText(window));
}

template <typename F>
void MainWindow::Applying(F&& apply) {
  const bool was_applying = std::exchange(applying_, true);
  apply();
  applying_ = was_applying;
}

Control MainWindow::ControlOf(HWND window) const {
  if (window == hwnd_) return Control::Form1;
  Control control = Control::Form1;
  if (window == nullptr || !IsChild(hwnd_, window) || !ControlOfId(GetDlgCtrlID(window), &control))
    return Control::Form1;
  return Handle(control) == window ? control : Control::Form1;
}

// --- Pages ------------------------------------------------------------------------

void MainWindow::ShowPage(int index) {
  if (index < 0 || index >= static_cast<int>(std::size(kPages))) return;
  HWND tabs = Handle(Control::PageControl1);
  page_ = index;
  if (TabCtrl_GetCurSel(tabs) != index) TabCtrl_SetCurSel(tabs, index);
  // The focus must not stay on a page that goes out of sight.
  HWND focus = GetFocus();
  HWND shown = Handle(kPages[index]);
  if (focus != nullptr && focus != tabs && IsChild(hwnd_, focus) && !IsChild(shown, focus)) {
    for (Control page : kPages)
      if (page != kPages[index] && IsChild(Handle(page), focus)) SetFocus(tabs);
  }
  ShowWindow(shown, SW_SHOW);
  for (Control page : kPages)
    if (page != kPages[index]) ShowWindow(Handle(page), SW_HIDE);
  // Leaving the equipment page counts as leaving the port's group even
  // when the focus had nowhere to go.
  if (!InGroupBox3(GetFocus())) presenter_->FocusLeft(Control::GroupBox3);
}

void MainWindow::ShowSubPage(int index) {
  if (index < 0 || index > 1) return;
  sub_page_ = index;
  HWND tabs = Handle(Control::PageControl2);
  if (TabCtrl_GetCurSel(tabs) != index) TabCtrl_SetCurSel(tabs, index);
  HWND hidden = Handle(kSubPages[1 - index]);
  HWND focus = GetFocus();
  if (focus != nullptr && IsChild(hidden, focus)) SetFocus(tabs);
  ShowWindow(Handle(kSubPages[index]), SW_SHOW);
  ShowWindow(hidden, SW_HIDE);
}

// --- What the presenter shows ---------------------------------------------------

void MainWindow::SetWindowTextUtf8(HWND window, const std::string& text) {
  SetWindowTextW(window, WideFromUtf8(text).c_str());
}

void MainWindow::SetText(Control control, const std::string& text) {
  Applying([&] {
    const std::wstring shown = WideFromUtf8(text);
    const auto tab = [&](HWND tabs, int index) {
      TCITEMW item{};
      item.mask = TCIF_TEXT;
      item.pszText = const_cast<wchar_t*>(shown.c_str());
      TabCtrl_SetItem(tabs, index, &item);
      LayOutWindow();  // the tabs' rows may have changed
    };
    if (const auto* page = std::find(std::begin(kPages), std::end(kPages), control);
        page != std::end(kPages)) {
      tab(Handle(Control::PageControl1), static_cast<int>(page - std::begin(kPages)));
    } else if (const auto* sub = std::find(std::begin(kSubPages), std::end(kSubPages), control);
               sub != std::end(kSubPages)) {
      tab(Handle(Control::PageControl2), static_cast<int>(sub - std::begin(kSubPages)));
    } else {
      SetWindowTextW(Handle(control), WithAccessKey(control, shown).c_str());
    }
  });
}

void MainWindow::SetPlaceholder(Control control, const std::string& text) {
  if (!IsEdit(control)) return;
  const std::wstring shown = WideFromUtf8(text);
  SendMessageW(Handle(control), EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(shown.c_str()));
}

void MainWindow::SetItems(Control control, const std::vector<std::string>& items) {
  if (!IsChoice(control)) return;
  Applying([&] {
    HWND list = Handle(control);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (const std::string& item : items)
      SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideFromUtf8(item).c_str()));
  });
}

void MainWindow::SetSelection(Control control, int item) {
  Applying([&] {
    if (IsChoice(control))
      SendMessageW(Handle(control), CB_SETCURSEL, static_cast<WPARAM>(item), 0);
    // The arrows' position only; the number lives in the edit.
    if (control == Control::UpDown1)
      SendMessageW(Handle(control), UDM_SETPOS32, 0,
                   std::clamp(item, kSplitMinimum, kSplitMaximum));
  });
}

void MainWindow::SetChecked(Control control, bool checked) {
  Applying([&] {
    if (PortOf(control, Control::RadioButton1) >= 0 && checked) {
      // One port is checked, and it is the ports' one stop for Tab.
      for (int port = 0; port < kPortCount; ++port) {
        HWND radio = Handle(RadioButton(port));
        const bool on = RadioButton(port) == control;
        SendMessageW(radio, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
        LONG_PTR style = GetWindowLongPtrW(radio, GWL_STYLE);
        style = on ? (style | WS_TABSTOP) : (style & ~static_cast<LONG_PTR>(WS_TABSTOP));
        SetWindowLongPtrW(radio, GWL_STYLE, style);
      }
      return;
    }
    SendMessageW(Handle(control), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  });
}

bool MainWindow::AncestorsEnabled(HWND window) const {
  for (HWND up = GetParent(window); up != nullptr && up != hwnd_; up = GetParent(up)) {
    const Control page = ControlOf(up);
    if (IsPage(page) && !enabled_[static_cast<int>(page)]) return false;
  }
  return true;
}

void MainWindow::ApplyEnabled(Control control) {
  HWND window = Handle(control);
  EnableWindow(window, enabled_[static_cast<int>(control)] && AncestorsEnabled(window));
}

void MainWindow::SetEnabled(Control control, bool enabled) {
  enabled_[static_cast<int>(control)] = enabled;
  if (!IsPage(control)) {
    ApplyEnabled(control);
    return;
  }
  // A page: everything on it, each control keeping its own state.
  EnableWindow(Handle(control), enabled);
  std::vector<HWND> children;
  EnumChildWindows(
      Handle(control),
      [](HWND child, LPARAM list) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&children));
  for (HWND child : children) {
    const Control owned = ControlOf(child);
    if (owned != Control::Form1) {
      ApplyEnabled(owned);
    } else {
      EnableWindow(child, AncestorsEnabled(child));
    }
  }
}

void MainWindow::SetTip(HWND window, const std::wstring& text) {
  TOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = hwnd_;
  tool.uId = reinterpret_cast<UINT_PTR>(window);
  const bool known = tips_.count(window) != 0;
  if (text.empty()) {
    if (known) SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    tips_.erase(window);
    return;
  }
  tips_[window] = text;
  tool.lpszText = tips_[window].data();
  SendMessageW(tooltip_, known ? TTM_UPDATETIPTEXTW : TTM_ADDTOOLW, 0,
               reinterpret_cast<LPARAM>(&tool));
}

void MainWindow::SetAlert(Control control, const std::string& text, Severity severity) {
  const std::wstring shown = WideFromUtf8(text);
  HWND window = Handle(control);
  if (control == Control::EventLine) {
    foot_showing_ = !shown.empty();
    foot_text_ = shown;
    foot_severity_ = severity;
    // What a screen reader reads is the whole text.
    SetWindowTextW(window, foot_showing_ ? shown.c_str() : kQuietCaption);
  } else if (control == Control::PortProblem) {
    Applying([&] { SetWindowTextW(window, shown.c_str()); });
  } else if (PortOf(control, Control::RadioButton1) >= 0 ||
             PortOf(control, Control::CheckBox18) >= 0) {
    alerted_[static_cast<int>(control)] = !shown.empty();
  } else {
    return;
  }
  SetTip(window, shown);
  InvalidateRect(window, nullptr, TRUE);
}

bool MainWindow::InGroupBox3(HWND window) const {
  if (window == nullptr) return false;
  for (Control member : {Control::GroupBox3, Control::Edit3, Control::ComboBox2, Control::ComboBox3,
                         Control::MaskEdit1, Control::UpDown1, Control::Edit4})
    if (window == Handle(member) || IsChild(Handle(member), window)) return true;
  return false;
}

bool MainWindow::HasFocus(Control control) const {
  HWND focus = GetFocus();
  if (control == Control::GroupBox3) return InGroupBox3(focus);
  HWND window = Handle(control);
  return focus != nullptr && (focus == window || IsChild(window, focus));
}

bool MainWindow::PointFolderList(Control list, const std::string& folder, std::string* shown,
                                 std::string* error) {
  if (!IsFolderList(list)) return false;
  FolderList& folders = *folder_lists_[list == Control::DirectoryListBox1 ? 0 : 1];
  std::string why;
  bool entered = false;
  Applying([&] { entered = folders.Enter(WideFromUtf8(folder), &why); });
  if (entered && shown) *shown = Utf8FromWide(folders.folder());
  if (!entered && error) *error = why;
  return entered;
}

void MainWindow::GridChanged(Control grid, const GridChange& change) {
  if (!IsGrid(grid)) return;
  HWND view = Handle(grid);
  const GridWatch& watch = presenter_->Grid(grid);
  HWND header = ListView_GetHeader(view);
  if (change.reshaped) {
    if (Header_GetItemCount(header) != change.columns) ShapeGridColumns(grid, change.columns);
    ListView_SetItemCountEx(view, change.rows, 0);
  }
  if (change.reshaped || change.headings) {
    for (int column = 0; column < change.columns; ++column) {
      const std::wstring heading = WideFromUtf8(watch.HeadingText(column));
      LVCOLUMNW info{};
      info.mask = LVCF_TEXT;
      info.pszText = const_cast<wchar_t*>(heading.c_str());
      ListView_SetColumn(view, column, &info);
      // A heading shows whole.
      HFONT font = reinterpret_cast<HFONT>(SendMessageW(view, WM_GETFONT, 0, 0));
      const int needed = TextWidth(font, heading.c_str()) + kCellMargins;
      if (ListView_GetColumnWidth(view, column) < needed)
        ListView_SetColumnWidth(view, column, needed);
    }
  }
  if (change.reshaped) {
    InvalidateRect(view, nullptr, TRUE);
  } else if (change.first_row <= change.last_row) {
    ListView_RedrawItems(view, change.first_row, change.last_row);
  }
  if (change.newest_row != change.old_newest_row) {
    for (int row : {change.old_newest_row, change.newest_row})
      if (row >= 0) ListView_RedrawItems(view, row, row);
    // Into view without moving the columns the operator scrolled to.
    if (grid == Control::StringGrid3 && change.newest_row >= 0)
      ListView_EnsureVisible(view, change.newest_row, FALSE);
  }
}

void MainWindow::OpenEventList() {
  if (!event_list_) event_list_ = std::make_unique<EventListWindow>(hwnd_, font_);
  event_list_->Show();
}

void MainWindow::FillEventList(const std::vector<KeptEvent>& events) {
  if (event_list_) event_list_->Fill(events);
}

DialogAnswer MainWindow::ShowDialog(DialogKind kind, const std::string& text, unsigned buttons) {
  if (deps_.answer_dialog) return deps_.answer_dialog(kind, text, buttons);
  UINT style = MB_OK;
  if ((buttons & kButtonYes) && (buttons & kButtonNo))
    style = (buttons & kButtonCancel) ? MB_YESNOCANCEL : MB_YESNO;
  else if ((buttons & kButtonOk) && (buttons & kButtonCancel))
    style = MB_OKCANCEL;
  style |= kind == DialogKind::kConfirmation  ? MB_ICONQUESTION
           : kind == DialogKind::kInformation ? MB_ICONINFORMATION
                                              : MB_ICONERROR;
  const int answer =
      MessageBoxW(IsWindowVisible(hwnd_) ? hwnd_ : nullptr, WideFromUtf8(text).c_str(),
                  WideFromUtf8(DialogTitle(kind)).c_str(), style);
  switch (answer) {
    case IDYES:
      return DialogAnswer::kYes;
    case IDNO:
      return DialogAnswer::kNo;
    case IDOK:
      return DialogAnswer::kOk;
    case IDCANCEL:
      return (buttons & kButtonCancel) ? DialogAnswer::kCancel : DialogAnswer::kClosed;
    default:
      return DialogAnswer::kClosed;
  }
}

// --- What the operator does ------------------------------------------------------

void MainWindow::FocusMoved(HWND now) {
  if (now == last_focus_) return;
  last_focus_ = now;
  // Only moves inside this window count: a message box opening over the
  // group does not leave it.
  if (now == nullptr || !IsChild(hwnd_, now)) return;
  if (InGroupBox3(now)) {
    presenter_->FocusEntered(Control::GroupBox3);
  } else {
    presenter_->FocusLeft(Control::GroupBox3);
  }
}

void MainWindow::PortClicked(int port) {
  HWND radio = Handle(RadioButton(port));
  if (SendMessageW(radio, BM_GETCHECK, 0, 0) == BST_CHECKED) return;
  SetChecked(RadioButton(port), true);
  if (!applying_) presenter_->CheckChanged(RadioButton(port), true);
}

bool MainWindow::MovePortSelection(HWND from, UINT key) {
  const int port = PortOf(ControlOf(from), Control::RadioButton1);
  if (port < 0) return false;
  // The ports stand in two columns of eight; the arrows move to the
  // neighbour that way, and stop at the edge.
  int target = port;
  const int row = port % 8;
  if (key == VK_UP && row > 0) target = port - 1;
  if (key == VK_DOWN && row < 7) target = port + 1;
  if (key == VK_LEFT && port >= 8) target = port - 8;
  if (key == VK_RIGHT && port < 8) target = port + 8;
  if (target != port) {
    SetFocus(Handle(RadioButton(target)));
    PortClicked(target);
  }
  return true;
}

void MainWindow::StepSplitLength(int delta) {
  // One step from the edit's number, or from the arrows' last position
  // when the edit holds none; no wrap-around at either end.
  HWND edit = Handle(Control::MaskEdit1);
  const std::wstring text = WindowText(edit);
  int value = static_cast<int>(SendMessageW(Handle(Control::UpDown1), UDM_GETPOS32, 0, 0));
  if (!text.empty() && text.size() <= 2 &&
      std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
    value = std::stoi(text);
  const int next = std::clamp(value + delta, kSplitMinimum, kSplitMaximum);
  Applying([&] { SendMessageW(Handle(Control::UpDown1), UDM_SETPOS32, 0, next); });
  SetWindowTextW(edit, std::to_wstring(next).c_str());
}

void MainWindow::EnterFolder(int which, bool drive) {
  FolderList& folders = *folder_lists_[which];
  const std::wstring before = folders.folder();
  std::string error;
  const bool entered = drive ? folders.EnterChosenDrive(&error) : folders.EnterSelected(&error);
  if (!entered) {
    presenter_->ShowError(error);
    return;
  }
  if (!applying_)
    presenter_->TextChanged(which == 0 ? Control::DirectoryListBox1 : Control::DirectoryListBox2,
                            Utf8FromWide(folders.folder()));
}

void MainWindow::Command(int id, int code, HWND from) {
  if (id == kDriveListId || id == kDriveListId + 1) {
    if (code == CBN_SELCHANGE) EnterFolder(id - kDriveListId, true);
    if (code == CBN_SETFOCUS) FocusMoved(from);
    return;
  }
  Control control = Control::Form1;
  if (!ControlOfId(id, &control) || Handle(control) != from) return;
  if (IsEdit(control)) {
    if (code == EN_CHANGE && !applying_)
      presenter_->TextChanged(control, Utf8FromWide(WindowText(from)));
    if (code == EN_SETFOCUS) FocusMoved(from);
  } else if (IsChoice(control)) {
    if (code == CBN_SELCHANGE && !applying_)
      presenter_->ItemChosen(control, static_cast<int>(SendMessageW(from, CB_GETCURSEL, 0, 0)));
    if (code == CBN_SETFOCUS) FocusMoved(from);
  } else if (IsFolderList(control)) {
    if (code == LBN_DBLCLK) EnterFolder(control == Control::DirectoryListBox1 ? 0 : 1, false);
    if (code == LBN_SETFOCUS) FocusMoved(from);
  } else if (code == BN_SETFOCUS) {
    FocusMoved(from);
  } else if (code == BN_CLICKED) {
    if (const int port = PortOf(control, Control::RadioButton1); port >= 0) {
      PortClicked(port);
    } else if (IsPushButton(control)) {
      presenter_->Pressed(control);
    } else if (!applying_) {
      presenter_->CheckChanged(control, SendMessageW(from, BM_GETCHECK, 0, 0) == BST_CHECKED);
    }
  }
}

LRESULT MainWindow::CustomDrawGrid(Control grid, NMLVCUSTOMDRAW* draw) {
  if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
  if (draw->nmcd.dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
  const int row = static_cast<int>(draw->nmcd.dwItemSpec);
  draw->clrText = RGB(0, 0, 0);
  draw->clrTextBk = row == presenter_->Grid(grid).newest_row() ? kNewestRow : kTeal;
  return CDRF_DODEFAULT;
}

LRESULT MainWindow::Notify(NMHDR* header) {
  Control control = Control::Form1;
  if (!ControlOfId(static_cast<int>(header->idFrom), &control)) return 0;
  if (header->code == NM_SETFOCUS) FocusMoved(header->hwndFrom);
  if (control == Control::PageControl1 && header->code == TCN_SELCHANGE) {
    ShowPage(TabCtrl_GetCurSel(header->hwndFrom));
  } else if (control == Control::PageControl2 && header->code == TCN_SELCHANGE) {
    ShowSubPage(TabCtrl_GetCurSel(header->hwndFrom));
  } else if (control == Control::UpDown1 && header->code == UDN_DELTAPOS) {
    StepSplitLength(reinterpret_cast<NMUPDOWN*>(header)->iDelta > 0 ? 1 : -1);
    return 1;  // the edit has been stepped here
  } else if (IsGrid(control) && header->code == LVN_GETDISPINFOW) {
    auto* info = reinterpret_cast<NMLVDISPINFOW*>(header);
    if ((info->item.mask & LVIF_TEXT) && info->item.cchTextMax > 0) {
      cell_text_ =
          WideFromUtf8(presenter_->Grid(control).CellText(info->item.iSubItem, info->item.iItem));
      lstrcpynW(info->item.pszText, cell_text_.c_str(), info->item.cchTextMax);
    }
  } else if (IsGrid(control) && header->code == NM_CUSTOMDRAW) {
    return CustomDrawGrid(control, reinterpret_cast<NMLVCUSTOMDRAW*>(header));
  }
  return 0;
}

void MainWindow::EventsArrived() {
  presenter_->EventsChanged();
  // An open list follows, a few times a second at most: a busy line
  // reports many events.
  if (event_list_ && event_list_->IsOpen())
    SetTimer(hwnd_, kEventListTimer, kEventListRefreshMs, nullptr);
}

HBRUSH MainWindow::ColourStatic(HDC dc, HWND control) {
  const Control which = ControlOf(control);
  const bool red = which == Control::PortProblem || alerted_[static_cast<int>(which)];
  SetTextColor(dc, red ? kAlertRed : GetSysColor(COLOR_BTNTEXT));
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return GetSysColorBrush(COLOR_BTNFACE);
}

void MainWindow::DrawFootLine(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  RECT area = item.rcItem;
  FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
  if (item.itemState & ODS_SELECTED) DrawEdge(dc, &area, BDR_SUNKENOUTER, BF_RECT);
  COLORREF colour = GetSysColor(COLOR_GRAYTEXT);
  if (foot_showing_)
    colour = foot_severity_ == Severity::kError ? kAlertRed : GetSysColor(COLOR_BTNTEXT);
  SetTextColor(dc, colour);
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ old = SelectObject(dc, font_);
  RECT text = area;
  InflateRect(&text, -scale_.X(4), 0);
  DrawTextW(dc, foot_showing_ ? foot_text_.c_str() : kQuietCaption, -1, &text,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
  SelectObject(dc, old);
  if (item.itemState & ODS_FOCUS) {
    RECT focus = area;
    InflateRect(&focus, -2, -2);
    DrawFocusRect(dc, &focus);
  }
}

void MainWindow::DrawItem(DRAWITEMSTRUCT* item) {
  if (item->hwndItem == Handle(Control::EventLine)) DrawFootLine(*item);
  if (item->hwndItem == image_) DrawAboutPicture(item->hDC, item->rcItem);
}

bool MainWindow::PreTranslate(MSG* msg) {
  if (event_list_ && event_list_->PreTranslate(msg)) return true;
  if (msg->hwnd != hwnd_ && !IsChild(hwnd_, msg->hwnd)) return false;
  if (msg->message == WM_KEYDOWN) {
    const bool control_key = GetKeyState(VK_CONTROL) < 0;
    const bool shift_key = GetKeyState(VK_SHIFT) < 0;
    const UINT key = static_cast<UINT>(msg->wParam);
    // Ctrl+Tab, Ctrl+PageDown and their reverses turn the pages.
    if (control_key && (key == VK_TAB || key == VK_NEXT || key == VK_PRIOR)) {
      const int step = (key == VK_PRIOR || (key == VK_TAB && shift_key)) ? -1 : 1;
      const int count = static_cast<int>(std::size(kPages));
      ShowPage((page_ + step + count) % count);
      return true;
    }
    if ((key == VK_UP || key == VK_DOWN || key == VK_LEFT || key == VK_RIGHT) &&
        MovePortSelection(msg->hwnd, key))
      return true;
    // The split length's Up and Down keys step it, as its arrows do.
    if ((key == VK_UP || key == VK_DOWN) && msg->hwnd == Handle(Control::MaskEdit1)) {
      StepSplitLength(key == VK_UP ? 1 : -1);
      return true;
    }
    if (key == VK_RETURN && IsFolderList(ControlOf(msg->hwnd))) {
      EnterFolder(ControlOf(msg->hwnd) == Control::DirectoryListBox1 ? 0 : 1, false);
      return true;
    }
  }
  if (msg->message == WM_SYSCHAR && AccessKeyPressed(static_cast<wchar_t>(msg->wParam)))
    return true;
  return IsDialogMessageW(hwnd_, msg) != FALSE;
}

bool MainWindow::AccessKeyPressed(wchar_t letter) {
  const auto upper = [](wchar_t c) {
    return static_cast<wchar_t>(reinterpret_cast<ULONG_PTR>(
        CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(c)))));
  };
  std::vector<HWND> controls;
  EnumChildWindows(
      hwnd_,
      [](HWND child, LPARAM list) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&controls));
  // The caption in sight whose marked letter it is: a label hands the
  // focus on to its field, a button is pressed.
  for (HWND control : controls) {
    if (!IsWindowVisible(control) || !IsWindowEnabled(control)) continue;
    const std::wstring text = WindowText(control);
    const size_t mark = text.find(L'&');
    if (mark == std::wstring::npos || mark + 1 >= text.size() ||
        upper(text[mark + 1]) != upper(letter))
      continue;
    const LRESULT code = SendMessageW(control, WM_GETDLGCODE, 0, 0);
    if (code & DLGC_STATIC) {
      HWND field = GetNextDlgTabItem(hwnd_, control, FALSE);
      if (field != nullptr) SetFocus(field);
    } else if (code & DLGC_BUTTON) {
      SetFocus(control);
      SendMessageW(control, BM_CLICK, 0, 0);
    } else {
      continue;
    }
    return true;
  }
  return false;
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      Command(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
      return 0;
    case WM_NOTIFY:
      return Notify(reinterpret_cast<NMHDR*>(lparam));
    case WM_NEXTDLGCTL: {
      // The dialog keys' moves (an access key of a label goes on to its
      // field).
      HWND next = lparam ? reinterpret_cast<HWND>(wparam)
                         : GetNextDlgTabItem(hwnd_, GetFocus(), wparam != 0);
      if (next != nullptr) SetFocus(next);
      return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return reinterpret_cast<LRESULT>(
          ColourStatic(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam)));
    case WM_DRAWITEM:
      DrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lparam));
      return TRUE;
    case WM_SIZE:
      if (Handle(Control::PageControl1) != nullptr) LayOutWindow();
      return 0;
    case WM_GETMINMAXINFO:
      reinterpret_cast<MINMAXINFO*>(lparam)->ptMinTrackSize = min_track_;
      return 0;
    case WM_ACTIVATE:
      // The focus comes back where it was when the window is active again.
      if (LOWORD(wparam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(hwnd_, focus)) saved_focus_ = focus;
      } else if (saved_focus_ != nullptr && IsWindow(saved_focus_)) {
        SetFocus(saved_focus_);
        return 0;
      }
      break;
    case WM_TIMER:
      if (wparam == kGridTimer) presenter_->RefreshGrids();
      if (wparam == kEventListTimer) {
        KillTimer(hwnd_, kEventListTimer);
        if (event_list_ && event_list_->IsOpen()) presenter_->FillEventList();
      }
      return 0;
    case kEventsMessage:
      EventsArrived();
      return 0;
    case WM_CLOSE:
      // Closed by the window system: the program ends unsaved.
      presenter_->Closed();
      ShowWindow(hwnd_, SW_HIDE);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

LRESULT CALLBACK MainWindow::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    auto* self = static_cast<MainWindow*>(create->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr || self->presenter_ == nullptr)
    return DefWindowProcW(hwnd, message, wparam, lparam);
  return self->HandleMessage(message, wparam, lparam);
}

LRESULT CALLBACK MainWindow::PageProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    // What the page's controls tell their parent is the window's.
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_DRAWITEM:
      return SendMessageW(GetAncestor(hwnd, GA_ROOT), message, wparam, lparam);
    case WM_SIZE: {
      HWND root = GetAncestor(hwnd, GA_ROOT);
      auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(root, GWLP_USERDATA));
      if (self != nullptr && hwnd == self->Handle(Control::TabSheet5)) self->LayOutMonitoring();
      break;
    }
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace tillgate

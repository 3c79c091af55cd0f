#include "app/win32_window/event_list_window.h"

#include <commctrl.h>
#include <windows.h>

#include <ctime>
#include <string>

#include "app/presenter/event_text.h"
#include "app/win32_window/layout_scale.h"
#include "platform/win32/win32_text.h"

namespace tillgate {
namespace {

constexpr wchar_t kClassName[] = L"TillgateEventList";
constexpr int kCloseId = IDCANCEL;

std::wstring TimeText(int64_t time_ms) {
  // Shown in the PC's local time.
  const std::time_t seconds = static_cast<std::time_t>(time_ms / 1000);
  std::tm parts{};
  if (localtime_s(&parts, &seconds) != 0) return {};
  wchar_t text[32];
  wcsftime(text, 32, L"%Y-%m-%d %H:%M:%S", &parts);
  return text;
}

void RegisterClassOnce(WNDPROC procedure) {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kClassName;
  registered = RegisterClassExW(&window_class) != 0;
}

}  // namespace

EventListWindow::EventListWindow(HWND owner, HFONT font) : font_(font) {
  RegisterClassOnce(WindowProc);
  const int letter = TextWidth(font, L"x");
  const int line = TextWidth(font, L"W") * 2;
  hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, L"Журнал событий", WS_OVERLAPPEDWINDOW,
                          CW_USEDEFAULT, CW_USEDEFAULT, letter * 130, line * 20, owner, nullptr,
                          GetModuleHandleW(nullptr), this);
  table_ = CreateWindowExW(
      WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
      WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, 0, 0, 10,
      10, hwnd_, nullptr, GetModuleHandleW(nullptr), nullptr);
  close_ = CreateWindowExW(0, WC_BUTTONW, L"Закрыть",
                           WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0, 10, 10,
                           hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCloseId)),
                           GetModuleHandleW(nullptr), nullptr);
  for (HWND child : {table_, close_})
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
  ListView_SetExtendedListViewStyle(table_, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  const wchar_t* headings[] = {L"Время", L"Важность", L"Событие"};
  const int widths[] = {letter * 22, letter * 16, letter * 88};
  for (int column = 0; column < 3; ++column) {
    LVCOLUMNW info{};
    info.mask = LVCF_TEXT | LVCF_WIDTH;
    info.pszText = const_cast<wchar_t*>(headings[column]);
    info.cx = widths[column];
    ListView_InsertColumn(table_, column, &info);
  }
  LayOut();
}

EventListWindow::~EventListWindow() {
  if (hwnd_ != nullptr) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

void EventListWindow::Show() {
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  SetFocus(table_);
}

void EventListWindow::Fill(const std::vector<KeptEvent>& events) {
  SendMessageW(table_, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(table_);
  int row = 0;
  for (const KeptEvent& event : events) {
    const std::wstring cells[] = {TimeText(event.time_ms),
                                  WideFromUtf8(SeverityText(event.severity)),
                                  WideFromUtf8(OneLine(event.text))};
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<wchar_t*>(cells[0].c_str());
    ListView_InsertItem(table_, &item);
    for (int column = 1; column < 3; ++column)
      ListView_SetItemText(table_, row, column, const_cast<wchar_t*>(cells[column].c_str()));
    ++row;
  }
  SendMessageW(table_, WM_SETREDRAW, TRUE, 0);
}

bool EventListWindow::PreTranslate(MSG* msg) {
  if (hwnd_ == nullptr || (msg->hwnd != hwnd_ && !IsChild(hwnd_, msg->hwnd))) return false;
  return IsDialogMessageW(hwnd_, msg) != FALSE;
}

void EventListWindow::LayOut() {
  RECT client{};
  GetClientRect(hwnd_, &client);
  const int margin = 6;
  const int button_width = TextWidth(font_, L"Закрыть") + 24;
  const int button_height = TextWidth(font_, L"W") * 2;
  const int button_top = client.bottom - margin - button_height;
  MoveWindow(table_, margin, margin, client.right - 2 * margin, button_top - 2 * margin, TRUE);
  MoveWindow(close_, client.right - margin - button_width, button_top, button_width, button_height,
             TRUE);
}

LRESULT CALLBACK EventListWindow::WindowProc(HWND hwnd, UINT message, WPARAM wparam,
                                             LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<EventListWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self != nullptr) {
    switch (message) {
      case WM_SIZE:
        if (self->table_ != nullptr) self->LayOut();
        return 0;
      case WM_COMMAND:
        if (LOWORD(wparam) == kCloseId || LOWORD(wparam) == IDOK) ShowWindow(hwnd, SW_HIDE);
        return 0;
      case WM_CLOSE:
        // Hidden, not destroyed: it is shown again as it was.
        ShowWindow(hwnd, SW_HIDE);
        return 0;
      default:
        break;
    }
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace tillgate

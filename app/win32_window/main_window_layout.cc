// Building the controls of the main window in their places; the presenter
// gives them their captions, items and values. Positions are the pixels the
// window was drawn in, grown by the layout scale for the system's font; the
// window can grow beyond that, and the grids take the extra room.

#include <windows.h>
// After windows.h, which they need first.
#include <commctrl.h>
#include <initguid.h>
#include <oleacc.h>
#include <uxtheme.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/presenter/window_design.h"
#include "app/win32_window/control_ids.h"
#include "app/win32_window/folder_list.h"
#include "app/win32_window/main_window.h"
#include "platform/win32/win32_text.h"
#include "store/monitoring_views.h"

namespace tillgate {
namespace {

// Controls draw over their page (a group box's frame is drawn around, not
// over, the controls in it).
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kStop = kChild | WS_TABSTOP;

// The columns of the grids as drawn, with what each was drawn to show whole.
struct ColumnDesign {
  int width;
  const wchar_t* sized_for;
};
const ColumnDesign kGoodsDesign[] = {
    {103, L""}, {146, L""}, {71, L""}, {29, L""}, {64, L"0000000000000"}, {64, L""}};
// The report's name column was drawn for the first eight characters of a name.
const ColumnDesign kReportDesign[] = {
    {42, L"0000000"},  {33, L""}, {53, L"00000000"}, {48, L"00:00:00"}, {47, L""}, {49, L""},
    {46, L"Кефир 1%"}, {40, L""}, {37, L""},         {34, L""},         {44, L""}};
const ColumnDesign kDiagnosticsDesign[] = {
    {57, L"Тип кассы"}, {57, L"Зав.Номер"}, {57, L"Сет.Номер"}, {57, L"0000000"}, {57, L"COM16"}};

// The design's columns grown by one common factor (at least the layout
// scale) just large enough for each to show its text whole.
std::vector<int> FittedWidths(const ColumnDesign* design, int count, HFONT font, double scale) {
  double factor = scale;
  for (int i = 0; i < count; ++i)
    if (design[i].sized_for[0] != L'\0')
      factor = std::max(factor, (TextWidth(font, design[i].sized_for) + kCellMargins) /
                                    static_cast<double>(design[i].width));
  std::vector<int> widths;
  for (int i = 0; i < count; ++i)
    widths.push_back(static_cast<int>(design[i].width * factor + 0.5));
  return widths;
}

// The first of `faces` this system has, else the message font's face.
std::wstring AvailableFace(std::initializer_list<const wchar_t*> faces, const wchar_t* fallback) {
  HDC dc = GetDC(nullptr);
  std::wstring chosen = fallback;
  for (const wchar_t* face : faces) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    EnumFontFamiliesExW(
        dc, &wanted,
        [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) -> int {
          *reinterpret_cast<bool*>(found) = true;
          return 0;
        },
        reinterpret_cast<LPARAM>(&found), 0);
    if (found) {
      chosen = face;
      break;
    }
  }
  ReleaseDC(nullptr, dc);
  return chosen;
}

HFONT FaceFont(const LOGFONTW& base, const std::wstring& face, int pixels, bool bold) {
  LOGFONTW font = base;
  font.lfHeight = -pixels;
  font.lfWidth = 0;
  font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  lstrcpynW(font.lfFaceName, face.c_str(), LF_FACESIZE);
  return CreateFontIndirectW(&font);
}

std::wstring Com(int port) { return L"COM" + std::to_wstring(port + 1); }

}  // namespace

void MainWindow::MakeFonts() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  font_ = CreateFontIndirectW(&metrics.lfMessageFont);
  scale_ = ScaleForFont(font_);
  // The serif face the goods and report texts were drawn in; Cyrillic must
  // render.
  const std::wstring serif = AvailableFace(
      {L"Times New Roman", L"Liberation Serif", L"DejaVu Serif"}, metrics.lfMessageFont.lfFaceName);
  grid_font_ = FaceFont(metrics.lfMessageFont, serif, scale_.Y(11), false);
  banner_font_ = FaceFont(metrics.lfMessageFont, serif, scale_.Y(22), true);
  note_font_ = FaceFont(metrics.lfMessageFont, serif, scale_.Y(13), false);
}

HWND MainWindow::Make(Control control, const wchar_t* window_class, DWORD style, HWND parent, int x,
                      int y, int width, int height) {
  HWND window = CreateWindowExW(0, window_class, L"", style, scale_.X(x), scale_.Y(y),
                                scale_.X(width), scale_.Y(height), parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(IdOf(control))),
                                GetModuleHandleW(nullptr), nullptr);
  SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font_), 0);
  handles_[static_cast<int>(control)] = window;
  return window;
}

HWND MainWindow::MakePage(Control control, HWND parent) {
  // A page paints its whole face, also behind its group boxes, which draw
  // only their frames.
  HWND page =
      CreateWindowExW(WS_EX_CONTROLPARENT, kPageClass, L"", WS_CHILD | WS_CLIPSIBLINGS, 0, 0, 10,
                      10, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IdOf(control))),
                      GetModuleHandleW(nullptr), nullptr);
  handles_[static_cast<int>(control)] = page;
  return page;
}

void MainWindow::BuildControls() {
  MakeFonts();
  RECT frame{0, 0, scale_.X(kDesignWidth), scale_.Y(kDesignHeight)};
  AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_CONTROLPARENT);
  hwnd_ =
      CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, L"", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                      CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                      frame.bottom - frame.top, nullptr, nullptr, GetModuleHandleW(nullptr), this);
  handles_[static_cast<int>(Control::Form1)] = hwnd_;
  // Smaller would cut the pages' controls; larger gives the grids room.
  min_track_ = {frame.right - frame.left, frame.bottom - frame.top};

  // The pages are the tab control's own children, so that it never draws
  // over them, and the keyboard goes from its tabs on into the page shown.
  HWND pages =
      Make(Control::PageControl1, WC_TABCONTROLW, kStop | WS_CLIPCHILDREN | TCS_FOCUSONBUTTONDOWN,
           hwnd_, 0, 0, kDesignWidth, kDesignPagesHeight);
  SetWindowLongPtrW(pages, GWL_EXSTYLE,
                    GetWindowLongPtrW(pages, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
  const Control page_order[] = {Control::TabSheet1, Control::TabSheet2, Control::TabSheet3,
                                Control::TabSheet4, Control::TabSheet5, Control::TabSheet6,
                                Control::TabSheet8};
  for (Control page : page_order) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(L"");
    TabCtrl_InsertItem(pages, TabCtrl_GetItemCount(pages), &item);
    MakePage(page, pages);
  }
  BuildFoldersPage();
  BuildEquipmentPage();
  BuildStartPage();
  BuildDiagnosticsPage();
  BuildMonitoringPage();
  BuildInformationPage();
  BuildInstallationPage();

  Make(Control::EventLine, WC_BUTTONW, kStop | BS_OWNERDRAW | BS_NOTIFY, hwnd_, kMargin, 344, 440,
       25);
  Make(Control::Button1, WC_BUTTONW, kStop | BS_PUSHBUTTON | BS_NOTIFY, hwnd_, 456, 344, 80, 25);
  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, scale_.X(400));
  enabled_.fill(true);
  // The grids as they stand; their changes come from the presenter.
  for (Control grid : {Control::StringGrid1, Control::StringGrid2, Control::StringGrid3}) {
    const GridWatch& watch = presenter_->Grid(grid);
    ShapeGridColumns(grid, watch.columns());
    ListView_SetItemCountEx(Handle(grid), watch.rows(), 0);
  }
  NameControls();
  ShowPage(5);
  LayOutWindow();
}

void MainWindow::BuildFoldersPage() {
  HWND page = Handle(Control::TabSheet1);
  const std::pair<int, int> columns[] = {{8, 0}, {272, 1}};
  for (const auto& [x, which] : columns) {
    Make(which == 0 ? Control::StaticText1 : Control::StaticText2, WC_STATICW, kChild, page, x, 6,
         250, 16);
    Make(which == 0 ? Control::Edit1 : Control::Edit2, WC_EDITW, kStop | ES_AUTOHSCROLL | WS_BORDER,
         page, x, 24, 254, 21);
    HWND drives =
        CreateWindowExW(0, WC_COMBOBOXW, L"", kStop | CBS_DROPDOWNLIST | WS_VSCROLL, scale_.X(x),
                        scale_.Y(50), scale_.X(254), scale_.Y(200), page,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kDriveListId + which)),
                        GetModuleHandleW(nullptr), nullptr);
    SendMessageW(drives, WM_SETFONT, reinterpret_cast<WPARAM>(font_), 0);
    drive_lists_[which] = drives;
    HWND list =
        Make(which == 0 ? Control::DirectoryListBox1 : Control::DirectoryListBox2, WC_LISTBOXW,
             kStop | WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS,
             page, x, 76, 254, 160);
    folder_lists_[which] = std::make_unique<FolderList>(list, drives);
  }
  Make(Control::GroupBox1, WC_BUTTONW, kChild | BS_GROUPBOX, page, 8, 242, 518, 48);
  Make(Control::CheckBox1, WC_BUTTONW, kStop | BS_AUTOCHECKBOX | BS_NOTIFY, page, 20, 258, 300, 22);
}

void MainWindow::BuildEquipmentPage() {
  HWND page = Handle(Control::TabSheet2);
  // The group's controls are the page's, placed inside its frame, so that
  // the page hears them.
  constexpr int kGroupX = 8, kGroupY = 4;
  Make(Control::GroupBox2, WC_BUTTONW, kChild | BS_GROUPBOX, page, kGroupX, kGroupY, 256, 292);
  for (int column = 0; column < 2; ++column) {
    const int x = kGroupX + 10 + column * 124;
    Make(column == 0 ? Control::StaticText3 : Control::StaticText4, WC_STATICW, kChild, page,
         x + 38, kGroupY + 18, 80, 16);
  }
  for (int port = 0; port < kPortCount; ++port) {
    const int x = kGroupX + 10 + (port / 8) * 124;
    const int y = kGroupY + 38 + (port % 8) * 31;
    // The ports are one stop for Tab, at the checked port; the arrow keys
    // move among them.
    HWND radio = Make(RadioButton(port), WC_BUTTONW, kChild | WS_GROUP | BS_RADIOBUTTON | BS_NOTIFY,
                      page, x, y, 62, 22);
    HWND box = Make(ConnectBox(port), WC_BUTTONW, kStop | BS_AUTOCHECKBOX | BS_NOTIFY, page, x + 68,
                    y, 22, 22);
    // Drawn by the system's classic look, which takes the red of a port
    // with a problem.
    SetWindowTheme(radio, L"", L"");
    (void)box;
  }

  Make(Control::ComboBox1, WC_COMBOBOXW, kStop | CBS_DROPDOWNLIST | WS_VSCROLL, page, 272, 8, 256,
       160);
  constexpr int kX = 272, kY = 36;
  Make(Control::GroupBox3, WC_BUTTONW, kChild | BS_GROUPBOX, page, kX, kY, 256, 260);
  Make(Control::StaticText5, WC_STATICW, kChild, page, kX + 10, kY + 12, 230, 16);
  Make(Control::Edit3, WC_EDITW, kStop | ES_AUTOHSCROLL | WS_BORDER, page, kX + 10, kY + 30, 160,
       21);
  Make(Control::StaticText6, WC_STATICW, kChild, page, kX + 10, kY + 58, 230, 16);
  Make(Control::ComboBox2, WC_COMBOBOXW, kStop | CBS_DROPDOWNLIST | WS_VSCROLL, page, kX + 10,
       kY + 76, 160, 120);
  Make(Control::StaticText7, WC_STATICW, kChild, page, kX + 10, kY + 104, 230, 16);
  Make(Control::ComboBox3, WC_COMBOBOXW, kStop | CBS_DROPDOWNLIST | WS_VSCROLL, page, kX + 10,
       kY + 122, 160, 120);
  // The label goes before its field, so that its access key reaches it.
  Make(Control::StaticText8, WC_STATICW, kChild, page, kX + 64, kY + 158, 190, 16);
  HWND split = Make(Control::MaskEdit1, WC_EDITW, kStop | ES_AUTOHSCROLL | ES_NUMBER | WS_BORDER,
                    page, kX + 10, kY + 156, 34, 21);
  SendMessageW(split, EM_SETLIMITTEXT, 2, 0);
  HWND arrows = Make(Control::UpDown1, UPDOWN_CLASSW,
                     kChild | UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_NOTHOUSANDS, page, kX + 44,
                     kY + 156, 16, 21);
  SendMessageW(arrows, UDM_SETRANGE32, 4, 12);
  SendMessageW(arrows, UDM_SETBUDDY, reinterpret_cast<WPARAM>(split), 0);
  Make(Control::StaticText9, WC_STATICW, kChild, page, kX + 10, kY + 194, 230, 16);
  Make(Control::Edit4, WC_EDITW, kStop | ES_AUTOHSCROLL | WS_BORDER, page, kX + 10, kY + 212, 232,
       21);
  Make(Control::PortProblem, WC_STATICW, kChild | SS_ENDELLIPSIS | SS_NOPREFIX | SS_NOTIFY, page,
       kX + 10, kY + 236, 232, 16);
}

void MainWindow::BuildStartPage() {
  HWND page = Handle(Control::TabSheet3);
  constexpr int kX = 8, kY = 4;
  Make(Control::GroupBox4, WC_BUTTONW, kChild | BS_GROUPBOX, page, kX, kY, 518, 290);
  for (int port = 0; port < kPortCount; ++port) {
    HWND box = Make(StartBox(port), WC_BUTTONW, kStop | BS_AUTOCHECKBOX | BS_NOTIFY, page,
                    kX + 20 + (port / 4) * 124, kY + 20 + (port % 4) * 32, 100, 22);
    SetWindowTheme(box, L"", L"");
  }
  Make(Control::CheckBox34, WC_BUTTONW, kStop | BS_AUTOCHECKBOX | BS_NOTIFY, page, kX + 20,
       kY + 170, 260, 22);
  Make(Control::Button2, WC_BUTTONW, kStop | BS_PUSHBUTTON | BS_NOTIFY, page, kX + 20, kY + 214,
       100, 28);
}

void MainWindow::MakeGrid(Control grid, HWND parent) {
  HWND view = Make(
      grid, WC_LISTVIEWW,
      kStop | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
      parent, 0, 0, 10, 10);
  SetWindowLongPtrW(view, GWL_EXSTYLE, GetWindowLongPtrW(view, GWL_EXSTYLE) | WS_EX_CLIENTEDGE);
  ListView_SetExtendedListViewStyle(view,
                                    LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  if (grid != Control::StringGrid1)
    SendMessageW(view, WM_SETFONT, reinterpret_cast<WPARAM>(grid_font_), 0);
  ListView_SetBkColor(view, kTeal);
  ListView_SetTextBkColor(view, kTeal);
  ListView_SetTextColor(view, RGB(0, 0, 0));
  SetWindowPos(view, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
}

void MainWindow::ShapeGridColumns(Control grid, int columns) {
  HWND view = Handle(grid);
  HWND header = ListView_GetHeader(view);
  while (Header_GetItemCount(header) > 0) ListView_DeleteColumn(view, 0);
  const ColumnDesign* design = nullptr;
  int designed = 0;
  if (grid == Control::StringGrid1) {
    design = kDiagnosticsDesign;
    designed = static_cast<int>(std::size(kDiagnosticsDesign));
  } else if (grid == Control::StringGrid2) {
    design = kGoodsDesign;
    designed = static_cast<int>(std::size(kGoodsDesign));
  } else {
    design = kReportDesign;
    designed = static_cast<int>(std::size(kReportDesign));
  }
  HFONT font = grid == Control::StringGrid1 ? font_ : grid_font_;
  std::vector<int> widths = FittedWidths(design, designed, font, scale_.x);
  if (grid == Control::StringGrid1) {
    // One width for all, the widest any of them needs.
    const int widest = *std::max_element(widths.begin(), widths.end());
    widths.assign(widths.size(), widest);
  }
  const GridWatch& watch = presenter_->Grid(grid);
  HFONT heading_font = reinterpret_cast<HFONT>(SendMessageW(view, WM_GETFONT, 0, 0));
  for (int column = 0; column < columns; ++column) {
    const std::wstring heading = WideFromUtf8(watch.HeadingText(column));
    LVCOLUMNW info{};
    info.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    info.fmt = LVCFMT_LEFT;
    info.pszText = const_cast<wchar_t*>(heading.c_str());
    info.cx = column < designed ? widths[static_cast<size_t>(column)] : scale_.X(64);
    // Its heading shows whole too.
    info.cx = std::max(info.cx, TextWidth(heading_font, heading.c_str()) + kCellMargins);
    ListView_InsertColumn(view, column, &info);
  }
}

void MainWindow::BuildDiagnosticsPage() {
  MakeGrid(Control::StringGrid1, Handle(Control::TabSheet4));
}

void MainWindow::BuildMonitoringPage() {
  HWND page = Handle(Control::TabSheet5);
  // The sub-pages first: above their tab control, and before its tabs in
  // the order of Tab, as the grids are read before the tabs below them.
  HWND goods = MakePage(Control::TabSheet9, page);
  MakeGrid(Control::StringGrid2, goods);
  Make(Control::Button3, WC_BUTTONW, kStop | BS_PUSHBUTTON | BS_NOTIFY, goods, 0, 0, 90, 25);
  HWND report = MakePage(Control::TabSheet10, page);
  MakeGrid(Control::StringGrid3, report);
  HWND tabs =
      Make(Control::PageControl2, WC_TABCONTROLW,
           kStop | WS_CLIPSIBLINGS | TCS_BOTTOM | TCS_FOCUSONBUTTONDOWN, page, 0, 0, 10, 10);
  for (int index = 0; index < 2; ++index) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(L"");
    TabCtrl_InsertItem(tabs, index, &item);
  }
  ShowSubPage(1);
}

void MainWindow::BuildInformationPage() {
  HWND page = Handle(Control::TabSheet6);
  image_ = CreateWindowExW(0, WC_STATICW, L"", kChild | SS_OWNERDRAW, scale_.X(24), scale_.Y(40),
                           scale_.Y(200), scale_.Y(200), page,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(kImageId)),
                           GetModuleHandleW(nullptr), nullptr);
  panel_ = CreateWindowExW(0, WC_STATICW, L"", kChild | SS_SUNKEN, scale_.X(256), scale_.Y(70),
                           scale_.X(250), scale_.Y(140), page, nullptr, GetModuleHandleW(nullptr),
                           nullptr);
  // The labels are the panel's, so that its face is drawn behind them.
  HWND banner =
      Make(Control::Label1, WC_STATICW, kChild | SS_CENTER | SS_NOPREFIX, panel_, 25, 15, 200, 50);
  SendMessageW(banner, WM_SETFONT, reinterpret_cast<WPARAM>(banner_font_), 0);
  HWND note =
      Make(Control::Label2, WC_STATICW, kChild | SS_CENTER | SS_NOPREFIX, panel_, 25, 75, 200, 50);
  SendMessageW(note, WM_SETFONT, reinterpret_cast<WPARAM>(note_font_), 0);
}

void MainWindow::BuildInstallationPage() {
  Make(Control::Button4, WC_BUTTONW, kStop | BS_PUSHBUTTON | BS_NOTIFY, Handle(Control::TabSheet8),
       162, 120, 210, 40);
}

void MainWindow::NameControls() {
  // What each control is, for screen readers and automation; a control
  // whose caption says it all is read by its caption.
  const std::pair<Control, const wchar_t*> names[] = {
      {Control::PageControl1, L"Страницы окна"},
      {Control::PageControl2, L"Страницы мониторинга"},
      {Control::Edit1, L"Путь к базе товаров"},
      {Control::DirectoryListBox1, L"Папки базы товаров"},
      {Control::Edit2, L"Путь к базе отчетов"},
      {Control::DirectoryListBox2, L"Папки базы отчетов"},
      {Control::GroupBox1, L"Остатки товаров"},
      {Control::GroupBox2, L"Порты"},
      {Control::ComboBox1, L"Модель кассы"},
      {Control::GroupBox3, L"Настройки порта"},
      {Control::Edit3, L"Маска штрих-кода"},
      {Control::ComboBox2, L"1-ая строка наименования"},
      {Control::ComboBox3, L"2-ая строка наименования"},
      {Control::MaskEdit1, L"Разделение Код/Ш-код, символов"},
      {Control::UpDown1, L"Стрелки разделения Код/Ш-код"},
      {Control::Edit4, L"Устройство порта"},
      {Control::PortProblem, L"Неполадка порта"},
      {Control::GroupBox4, L"Порты для запуска"},
      {Control::StringGrid1, L"Таблица опознанных касс"},
      {Control::StringGrid2, L"Таблица товаров"},
      {Control::StringGrid3, L"Таблица отчетов"},
  };
  for (const auto& [control, name] : names) accessible_names_[Handle(control)] = name;
  accessible_names_[drive_lists_[0]] = L"Диск базы товаров";
  accessible_names_[drive_lists_[1]] = L"Диск базы отчетов";
  accessible_names_[image_] = L"Рисунок кассового аппарата";
  for (int port = 0; port < kPortCount; ++port) {
    accessible_names_[Handle(RadioButton(port))] = Com(port);
    accessible_names_[Handle(ConnectBox(port))] = L"Подключить " + Com(port);
    accessible_names_[Handle(StartBox(port))] = L"Запуск " + Com(port);
  }
  // Told to the system's accessibility layer, where it has one.
  IAccPropServices* services = nullptr;
  if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IAccPropServices, reinterpret_cast<void**>(&services))) ||
      services == nullptr)
    return;
  for (const auto& [window, name] : accessible_names_)
    services->SetHwndPropStr(window, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                             PROPID_ACC_NAME, name.c_str());
  services->Release();
}

void MainWindow::LayOutWindow() {
  RECT client{};
  GetClientRect(hwnd_, &client);
  const int width = client.right;
  const int height = client.bottom;
  // The pages fill the window above the foot; the exit button keeps the
  // bottom right corner and the event line the room left of it.
  const int foot_top = height - scale_.Y(kDesignFootGap);
  const int pages_height = height - scale_.Y(kDesignHeight - kDesignPagesHeight);
  MoveWindow(Handle(Control::PageControl1), 0, 0, width, pages_height, TRUE);
  RECT display{0, 0, width, pages_height};
  TabCtrl_AdjustRect(Handle(Control::PageControl1), FALSE, &display);
  for (Control page :
       {Control::TabSheet1, Control::TabSheet2, Control::TabSheet3, Control::TabSheet4,
        Control::TabSheet5, Control::TabSheet6, Control::TabSheet8})
    MoveWindow(Handle(page), display.left, display.top, display.right - display.left,
               display.bottom - display.top, TRUE);
  const int button_left = width - scale_.X(kDesignButton1Right);
  MoveWindow(Handle(Control::Button1), button_left, foot_top, scale_.X(80), scale_.Y(25), TRUE);
  const int line_left = scale_.X(kMargin);
  MoveWindow(Handle(Control::EventLine), line_left, foot_top,
             std::max(0, button_left - scale_.X(kMargin) - line_left), scale_.Y(25), TRUE);

  // The diagnostics grid fills its page; the monitoring page its tabs.
  const int page_width = display.right - display.left;
  const int page_height = display.bottom - display.top;
  MoveWindow(Handle(Control::StringGrid1), scale_.X(8), scale_.Y(8),
             std::max(0, page_width - scale_.X(16)), std::max(0, page_height - scale_.Y(16)), TRUE);
  LayOutMonitoring();
}

void MainWindow::LayOutMonitoring() {
  if (Handle(Control::StringGrid3) == nullptr) return;  // still being built
  RECT page{};
  GetClientRect(Handle(Control::TabSheet5), &page);
  const int margin = scale_.X(4);
  RECT tabs{margin, margin, std::max<LONG>(margin, page.right - margin),
            std::max<LONG>(margin, page.bottom - margin)};
  MoveWindow(Handle(Control::PageControl2), tabs.left, tabs.top, tabs.right - tabs.left,
             tabs.bottom - tabs.top, TRUE);
  RECT display = tabs;
  TabCtrl_AdjustRect(Handle(Control::PageControl2), FALSE, &display);
  const int width = std::max(0, static_cast<int>(display.right - display.left));
  const int height = std::max(0, static_cast<int>(display.bottom - display.top));
  for (Control sub : {Control::TabSheet9, Control::TabSheet10})
    MoveWindow(Handle(sub), display.left, display.top, width, height, TRUE);
  const int inner = scale_.X(2);
  const int button_height = scale_.Y(25);
  const int gap = scale_.Y(4);
  MoveWindow(Handle(Control::StringGrid2), inner, inner, std::max(0, width - 2 * inner),
             std::max(0, height - 2 * inner - gap - button_height), TRUE);
  MoveWindow(Handle(Control::Button3), inner, height - inner - button_height, scale_.X(90),
             button_height, TRUE);
  MoveWindow(Handle(Control::StringGrid3), inner, inner, std::max(0, width - 2 * inner),
             std::max(0, height - 2 * inner), TRUE);
}

}  // namespace tillgate

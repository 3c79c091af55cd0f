// The window drawn with the system's controls, created in the test's own
// process on an X server under wine and driven by window messages: clicks,
// list choices, typed text and keys as the controls themselves report them.
// The settings live in an in-memory registry file; the folders are real.

#include "app/win32_window/main_window.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <oleacc.h>

#include <deque>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/presenter/event_log.h"
#include "app/presenter/fake_engine.h"
#include "app/win32_window/control_ids.h"
#include "config/installation.h"
#include "config/memory_file_layer.h"
#include "config/reg_file_store.h"
#include "config/registry_names.h"
#include "platform/win32/win32_text.h"
#include "store/cp866.h"

namespace tillgate::testing {
namespace {

constexpr char kPath[] = "HKEY_CURRENT_USER.reg";

struct Shown {
  DialogKind kind;
  std::string text;
};

std::wstring TempFolder(const wchar_t* name) {
  wchar_t base[MAX_PATH];
  GetTempPathW(MAX_PATH, base);
  std::wstring folder = std::wstring(base) + name + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

class Win32Window : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    work_ = TempFolder(L"tillgate-window-");
    shop_ = work_ + L"\\Магазин";
    CreateDirectoryW(shop_.c_str(), nullptr);
    CreateDirectoryW((shop_ + L"\\Отчеты").c_str(), nullptr);
  }
  void TearDown() override {
    window.reset();
    RemoveDirectoryW((shop_ + L"\\Отчеты").c_str());
    RemoveDirectoryW(shop_.c_str());
    RemoveDirectoryW(work_.c_str());
    CoUninitialize();
  }

  // Installed with both folders at the shop; COM1 connected, started,
  // model 1.
  void Install() {
    ASSERT_TRUE(InstallDefaults(*store, Utf8FromWide(shop_), Utf8FromWide(shop_)).ok());
    Com(1, 1, 1, 1);
  }
  void Com(int number, uint8_t connect, uint8_t start, uint8_t model) {
    const uint8_t data[] = {connect, start, model};
    ASSERT_TRUE(store->OpenKey(kEquipmentKey, true));
    ASSERT_TRUE(store->WriteBinary("COM" + std::to_string(number), data, 3).ok());
    store->CloseKey();
  }

  // The window opened over the store and shown, as the program starts it.
  bool Open() {
    MainWindowDeps deps;
    deps.presenter.store = store.get();
    deps.presenter.working_dir = Utf8FromWide(work_);
    deps.presenter.events = &events;
    deps.presenter.end_program = [this] { ++ends; };
    deps.presenter.make_engine = [this](const Settings& settings) {
      auto fake = std::make_unique<FakeEngine>();
      for (int port = 0; port < kPortCount; ++port)
        fake->lines[port] = settings.ports[port].connect == 1 && settings.ports[port].model != 0;
      engine = fake.get();
      return fake;
    };
    deps.answer_dialog = [this](DialogKind kind, const std::string& text, unsigned) {
      dialogs.push_back({kind, text});
      if (answers.empty()) return DialogAnswer::kOk;
      const DialogAnswer answer = answers.front();
      answers.pop_front();
      return answer;
    };
    window.reset();
    window = std::make_unique<MainWindow>(std::move(deps));
    ShowWindow(window->hwnd(), SW_SHOW);
    UpdateWindow(window->hwnd());
    const bool started = window->StartUp();
    Pump();
    return started;
  }

  // Everything queued for the window, through its own keys first.
  void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (window && window->PreTranslate(&message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }

  HWND H(Control control) const { return window->Handle(control); }
  std::string WindowText(HWND window_handle) const {
    wchar_t text[512] = {};
    GetWindowTextW(window_handle, text, 512);
    return Utf8FromWide(text);
  }
  std::string TabText(Control tabs, int index) const {
    wchar_t text[128] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 128;
    TabCtrl_GetItem(H(tabs), index, &item);
    return Utf8FromWide(text);
  }
  bool Checked(Control control) const {
    return SendMessageW(H(control), BM_GETCHECK, 0, 0) == BST_CHECKED;
  }
  bool TabStop(Control control) const {
    return (GetWindowLongPtrW(H(control), GWL_STYLE) & WS_TABSTOP) != 0;
  }

  // The operator's actions, as the controls report them.
  void Click(Control control) {
    SendMessageW(H(control), BM_CLICK, 0, 0);
    Pump();
  }
  void Choose(Control control, int item) {
    HWND list = H(control);
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
    SendMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(IdOf(control), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
    Pump();
  }
  void Type(Control control, const std::wstring& text) {
    SetFocus(H(control));
    SendMessageW(H(control), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    Pump();
  }
  // A key pressed and let go where the focus is, through the message loop.
  void Key(UINT key) {
    for (UINT message : {WM_KEYDOWN, WM_KEYUP}) {
      MSG msg{};
      msg.hwnd = GetFocus();
      msg.message = message;
      msg.wParam = key;
      msg.lParam = message == WM_KEYUP ? (1u << 30 | 1u << 31 | 1) : 1;
      if (!window->PreTranslate(&msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      Pump();
    }
  }
  // Alt with a letter: the access key of a caption.
  void AccessKey(wchar_t letter) {
    MSG msg{};
    msg.hwnd = GetFocus();
    msg.message = WM_SYSCHAR;
    msg.wParam = letter;
    msg.lParam = 1 | (1 << 29);
    if (!window->PreTranslate(&msg)) DispatchMessageW(&msg);
    Pump();
  }
  // The tip a control shows when the mouse rests on it.
  std::string Tip(HWND control) const {
    wchar_t text[256] = {};
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = window->hwnd();
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = text;
    SendMessageW(window->tooltip(), TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
    return Utf8FromWide(text);
  }
  // The name the system's accessibility layer gives `control`.
  std::string SystemName(HWND control) const {
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT),
                                          IID_IAccessible, reinterpret_cast<void**>(&object))))
      return "(none)";
    VARIANT self;
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    std::string text;
    if (object->get_accName(self, &name) == S_OK && name != nullptr) text = Utf8FromWide(name);
    SysFreeString(name);
    object->Release();
    return text;
  }
  std::string Cell(Control grid, int row, int column) const {
    wchar_t text[256] = {};
    ListView_GetItemText(H(grid), row, column, text, 256);
    return Utf8FromWide(text);
  }
  LoadResult Saved() { return LoadSettings(*store, "C:\\elsewhere"); }
  std::string Registry() { return files->files()[kPath]; }
  const PortConfig& Port(int number) { return window->presenter().settings().ports[number - 1]; }

  std::wstring work_;
  std::wstring shop_;
  std::shared_ptr<MemoryFileLayer> files = std::make_shared<MemoryFileLayer>();
  Status opened;
  std::unique_ptr<RegistryStore> store = OpenRegistryFile(files, kPath, &opened);
  EventLog events;
  FakeEngine* engine = nullptr;
  int ends = 0;
  std::deque<DialogAnswer> answers;
  std::vector<Shown> dialogs;
  std::unique_ptr<MainWindow> window;
};

// --- The pages as built and loaded ----------------------------------------------------

TEST_F(Win32Window, FirstRunShowsTheCaptionsAndOnlyTheInstallationPageWorks) {
  ASSERT_TRUE(Open());
  EXPECT_EQ(WindowText(window->hwnd()), "Tillgate");
  const char* const pages[] = {"Базы",       "Оборудование", "Запуск",     "Диагностика",
                               "Мониторинг", "Сведения",     "Инсталляция"};
  for (int index = 0; index < 7; ++index)
    EXPECT_EQ(TabText(Control::PageControl1, index), pages[index]);
  EXPECT_EQ(TabText(Control::PageControl2, 0), "Товары");
  EXPECT_EQ(TabText(Control::PageControl2, 1), "Отчеты");
  EXPECT_EQ(window->CurrentPage(), 5);
  EXPECT_EQ(WindowText(H(Control::GroupBox2)), " Порты ");
  EXPECT_EQ(WindowText(H(Control::RadioButton16)), "COM16");
  EXPECT_EQ(WindowText(H(Control::CheckBox33)), "COM16");
  // Captions carry their access keys.
  EXPECT_EQ(WindowText(H(Control::Button1)), "&Выход");
  EXPECT_EQ(WindowText(H(Control::Button4)), "&ИНСТАЛЛЯЦИЯ");
  EXPECT_EQ(WindowText(H(Control::StaticText5)), "&Маска штрих-кода");
  EXPECT_EQ(SendMessageW(H(Control::ComboBox1), CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageW(H(Control::ComboBox1), CB_GETCURSEL, 0, 0), CB_ERR);
  EXPECT_EQ(WindowText(H(Control::MaskEdit1)), "4");
  EXPECT_TRUE(Checked(Control::RadioButton2));
  EXPECT_FALSE(Checked(Control::RadioButton1));
  // Not installed: the pages but installation and information are out of use.
  EXPECT_FALSE(IsWindowEnabled(H(Control::Edit1)));
  EXPECT_FALSE(IsWindowEnabled(H(Control::Button2)));
  EXPECT_FALSE(IsWindowEnabled(window->DriveList(0)));
  EXPECT_TRUE(IsWindowEnabled(H(Control::Button4)));
  EXPECT_EQ(WindowText(H(Control::Edit1)), Utf8FromWide(work_));

  // Installation: No leaves the registry alone, Yes writes it and ends.
  const std::string before = Registry();
  answers = {DialogAnswer::kNo};
  Click(Control::Button4);
  EXPECT_EQ(Registry(), before);
  EXPECT_EQ(ends, 0);
  answers = {DialogAnswer::kYes};
  Click(Control::Button4);
  ASSERT_EQ(dialogs.size(), 3u);
  EXPECT_EQ(dialogs[2].text, "Драйвер инсталлирован");
  EXPECT_EQ(ends, 1);
  LoadResult saved = Saved();
  ASSERT_TRUE(saved.status.ok());
  EXPECT_TRUE(saved.settings.installed);
  EXPECT_EQ(saved.settings.goods_folder, Utf8FromWide(work_));

  // The next start shows every page in use and offers the removal; Yes
  // deletes the tree.
  dialogs.clear();
  ASSERT_TRUE(Open());
  EXPECT_TRUE(IsWindowEnabled(H(Control::Edit1)));
  EXPECT_TRUE(IsWindowEnabled(window->DriveList(0)));
  EXPECT_EQ(WindowText(H(Control::Button4)), "&ДЕИНСТАЛЛЯЦИЯ");
  answers = {DialogAnswer::kYes};
  Click(Control::Button4);
  EXPECT_FALSE(store->KeyExists(kRootKey));
  EXPECT_EQ(ends, 2);
}

TEST_F(Win32Window, EveryControlHasANameAndEachPortItsOwn) {
  ASSERT_TRUE(Open());
  std::set<std::wstring> port_names;
  for (int port = 0; port < kPortCount; ++port)
    for (Control control : {RadioButton(port), ConnectBox(port), StartBox(port)})
      port_names.insert(window->AccessibleName(H(control)));
  EXPECT_EQ(port_names.size(), 3u * kPortCount);
  EXPECT_EQ(window->AccessibleName(H(Control::CheckBox17)), L"Подключить COM16");
  EXPECT_EQ(window->AccessibleName(H(Control::CheckBox33)), L"Запуск COM16");
  EXPECT_EQ(window->AccessibleName(H(Control::Button1)), L"Выход");
  EXPECT_EQ(window->AccessibleName(window->DriveList(1)), L"Диск базы отчетов");
  // What the system reads from captions and from the label before a field
  // (each label stands just before its field in the window's order).
  window->ShowPage(1);
  EXPECT_EQ(SystemName(H(Control::Button1)), "Выход");
  EXPECT_EQ(SystemName(H(Control::RadioButton5)), "COM5");
  EXPECT_EQ(SystemName(H(Control::Edit3)), "Маска штрих-кода");
  EXPECT_EQ(SystemName(H(Control::MaskEdit1)), "(симв.) Разделение Код/Ш-код");
  EXPECT_EQ(SystemName(H(Control::Edit4)), "Устройство порта");
  for (int index = 0; index < kControlCount; ++index) {
    const auto control = static_cast<Control>(index);
    if (control == Control::Form1) continue;
    ASSERT_NE(H(control), nullptr) << ControlName(control);
    // Whatever the keyboard can reach is named, empty fields too.
    if (TabStop(control) || PortOf(control, Control::RadioButton1) >= 0) {
      EXPECT_FALSE(window->AccessibleName(H(control)).empty()) << ControlName(control);
    }
  }
}

// --- The selected port ------------------------------------------------------------------

TEST_F(Win32Window, APortIsSelectedByClickAndByArrowKeysAndIsTheOnlyTabStop) {
  Install();
  ASSERT_TRUE(Open());
  window->ShowPage(1);
  Click(Control::RadioButton5);
  EXPECT_EQ(window->presenter().selected_port(), 4);
  EXPECT_TRUE(Checked(Control::RadioButton5));
  EXPECT_FALSE(Checked(Control::RadioButton2));
  EXPECT_TRUE(TabStop(Control::RadioButton5));
  EXPECT_FALSE(TabStop(Control::RadioButton2));
  EXPECT_EQ(GetFocus(), H(Control::RadioButton5));
  EXPECT_EQ(WindowText(H(Control::Edit3)), "25CCCCCWWWWW");

  Key(VK_DOWN);
  EXPECT_EQ(window->presenter().selected_port(), 5);
  EXPECT_EQ(GetFocus(), H(Control::RadioButton6));
  Key(VK_RIGHT);
  EXPECT_EQ(window->presenter().selected_port(), 13);
  EXPECT_TRUE(Checked(Control::RadioButton14));
  EXPECT_FALSE(Checked(Control::RadioButton6));
  Key(VK_RIGHT);  // at the edge: stays
  EXPECT_EQ(window->presenter().selected_port(), 13);
  // Tab goes on to the port's connect box; the unchecked ports are no stop.
  Key(VK_TAB);
  EXPECT_EQ(GetFocus(), H(ConnectBox(13)));
  Key(VK_TAB);
  EXPECT_EQ(GetFocus(), H(ConnectBox(14)));
}

TEST_F(Win32Window, EditsAndListsOfThePortAreStoredWhenAnotherPortIsClicked) {
  Install();
  ASSERT_TRUE(Open());
  window->ShowPage(1);
  // COM2 on show: into its group, type, choose, step the split length.
  Type(Control::Edit3, L"29CCCCWWWWWW");
  Choose(Control::ComboBox2, 1);
  Choose(Control::ComboBox3, 1);
  Type(Control::Edit4, L"COM12");
  // The split length: typed, then stepped by its Up and Down keys, never
  // past its range.
  Type(Control::MaskEdit1, L"11");
  Key(VK_UP);
  Key(VK_UP);
  EXPECT_EQ(WindowText(H(Control::MaskEdit1)), "12");
  Key(VK_DOWN);
  Key(VK_DOWN);
  Key(VK_DOWN);
  Key(VK_DOWN);
  Key(VK_DOWN);
  Key(VK_DOWN);
  EXPECT_EQ(WindowText(H(Control::MaskEdit1)), "6");
  Choose(Control::ComboBox1, 2);  // COM2's model
  Click(Control::RadioButton5);
  EXPECT_EQ(Port(2).mask, "29CCCCWWWWWW");
  EXPECT_EQ(Port(2).name_lines, "CC");
  EXPECT_EQ(Port(2).device, "COM12");
  EXPECT_EQ(Port(2).split_length, 6);
  EXPECT_EQ(Port(2).model, 3);
  EXPECT_EQ(WindowText(H(Control::Edit4)), "");
  EXPECT_EQ(SendMessageW(H(Control::ComboBox2), CB_GETCURSEL, 0, 0), 0);

  // The exit question: Cancel keeps the window and the registry as they
  // were; Yes saves what was changed.
  const std::string before = Registry();
  answers = {DialogAnswer::kCancel};
  Click(Control::Button1);
  EXPECT_EQ(ends, 0);
  EXPECT_EQ(Registry(), before);
  ASSERT_EQ(dialogs.back().text, "Сохранить изменения");
  answers = {DialogAnswer::kYes};
  Click(Control::Button1);
  EXPECT_EQ(ends, 1);
  LoadResult saved = Saved();
  ASSERT_TRUE(saved.status.ok());
  EXPECT_EQ(saved.settings.ports[1].mask, "29CCCCWWWWWW");
  EXPECT_EQ(saved.settings.ports[1].device, "COM12");
  EXPECT_EQ(saved.settings.ports[1].split_length, 6);
  EXPECT_EQ(saved.settings.ports[1].model, 3);
}

TEST_F(Win32Window, LeavingThePortGroupByTabOrByTurningThePageStoresIt) {
  Install();
  ASSERT_TRUE(Open());
  window->ShowPage(1);
  Type(Control::Edit3, L"22CCCCCCWWWW");
  EXPECT_NE(Port(2).mask, "22CCCCCCWWWW");  // not while the focus is in the group
  SetFocus(H(Control::Edit4));
  Key(VK_TAB);
  EXPECT_EQ(GetFocus(), H(Control::EventLine));
  EXPECT_EQ(Port(2).mask, "22CCCCCCWWWW");

  Type(Control::Edit4, L"COM9");
  window->ShowPage(2);  // the focus had nowhere to go on the page
  EXPECT_EQ(Port(2).device, "COM9");
}

TEST_F(Win32Window, ExitAnsweredNoEndsWithoutSaving) {
  Install();
  ASSERT_TRUE(Open());
  window->ShowPage(0);
  const std::string before = Registry();
  Click(Control::CheckBox1);
  EXPECT_TRUE(window->presenter().settings().track_stock);
  answers = {DialogAnswer::kNo};
  Click(Control::Button1);
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(Registry(), before);
  EXPECT_FALSE(Saved().settings.track_stock);
}

// --- Keyboard -----------------------------------------------------------------------------

TEST_F(Win32Window, AccessKeysAndTabReachTheFieldsAndCtrlTabTurnsThePages) {
  Install();
  ASSERT_TRUE(Open());
  window->ShowPage(1);
  SetFocus(H(Control::ComboBox1));
  AccessKey(L'м');  // "&Маска штрих-кода" names the mask's field
  EXPECT_EQ(GetFocus(), H(Control::Edit3));
  AccessKey(L'у');  // "&Устройство порта"
  EXPECT_EQ(GetFocus(), H(Control::Edit4));
  Key(VK_TAB);  // the last field of the page: on to the foot
  EXPECT_EQ(GetFocus(), H(Control::EventLine));

  // Ctrl+Tab turns to the next page, Ctrl+Shift+Tab back.
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  Key(VK_TAB);
  EXPECT_EQ(window->CurrentPage(), 2);
  EXPECT_TRUE(IsWindowVisible(H(Control::TabSheet3)));
  EXPECT_FALSE(IsWindowVisible(H(Control::TabSheet2)));
  keys[VK_SHIFT] = 0x80;
  SetKeyboardState(keys);
  Key(VK_TAB);
  Key(VK_TAB);
  keys[VK_CONTROL] = keys[VK_SHIFT] = 0;
  SetKeyboardState(keys);
  EXPECT_EQ(window->CurrentPage(), 0);
  EXPECT_EQ(TabCtrl_GetCurSel(H(Control::PageControl1)), 0);
}

// --- Start, grids and the foot line ----------------------------------------------------------

TEST_F(Win32Window, StartTakesTheBoxesAndMarksAPortWithoutModel) {
  Install();
  Com(3, 1, 0, 0);  // connected, no model: no line
  ASSERT_TRUE(Open());
  window->ShowPage(2);
  ASSERT_NE(engine, nullptr);
  EXPECT_TRUE(IsWindowEnabled(H(Control::CheckBox20)));
  EXPECT_FALSE(IsWindowEnabled(H(Control::CheckBox21)));  // COM4 not connected
  Click(Control::CheckBox20);
  EXPECT_TRUE(Checked(Control::CheckBox20));
  const size_t before = engine->starts.size();
  Click(Control::Button2);
  ASSERT_EQ(engine->starts.size(), before + 1);
  EXPECT_TRUE(engine->starts.back().boxes[0]);
  EXPECT_FALSE(engine->starts.back().boxes[1]);
  EXPECT_FALSE(engine->starts.back().boxes[2]);  // ticked, but it has no line
  EXPECT_TRUE(engine->starts.back().clear_diagnostics);
  // Its box says why, in its tip.
  EXPECT_EQ(Tip(H(Control::CheckBox20)), "Не запущен: для порта не выбрана модель кассы");
  EXPECT_EQ(Tip(H(Control::CheckBox18)), "");
  Click(Control::CheckBox20);
  Click(Control::Button2);
  EXPECT_EQ(Tip(H(Control::CheckBox20)), "");
}

TEST_F(Win32Window, GridsShowTheCellsWrittenAndGrowWithTheWindow) {
  Install();
  ASSERT_TRUE(Open());
  MonitoringViews& views = window->presenter().views();
  views.diagnostics.SetCell(0, 1, "ECR");
  views.diagnostics.SetCell(1, 1, "1234567");
  views.report.SetCell(6, 4, Utf8ToCp866("Молоко"));
  window->presenter().RefreshGrids();
  Pump();
  EXPECT_EQ(ListView_GetItemCount(H(Control::StringGrid1)), kDiagnosticsRows - 1);
  EXPECT_EQ(Header_GetItemCount(ListView_GetHeader(H(Control::StringGrid1))), kDiagnosticsColumns);
  EXPECT_EQ(Cell(Control::StringGrid1, 0, 0), "ECR");
  EXPECT_EQ(Cell(Control::StringGrid1, 0, 1), "1234567");
  EXPECT_EQ(Cell(Control::StringGrid3, 3, 6), "Молоко");
  views.diagnostics.SetCell(0, 1, "ECR-2");
  window->presenter().RefreshGrids();
  EXPECT_EQ(Cell(Control::StringGrid1, 0, 0), "ECR-2");

  window->ShowPage(4);
  RECT small{}, large{};
  GetClientRect(H(Control::StringGrid3), &small);
  RECT frame{};
  GetWindowRect(window->hwnd(), &frame);
  SetWindowPos(window->hwnd(), nullptr, 0, 0, frame.right - frame.left + 200,
               frame.bottom - frame.top + 150, SWP_NOMOVE | SWP_NOZORDER);
  Pump();
  GetClientRect(H(Control::StringGrid3), &large);
  EXPECT_GE(large.right - small.right, 150);
  EXPECT_GE(large.bottom - small.bottom, 100);
  // It never gets smaller than drawn.
  SetWindowPos(window->hwnd(), nullptr, 0, 0, 100, 100, SWP_NOMOVE | SWP_NOZORDER);
  Pump();
  GetWindowRect(window->hwnd(), &large);
  EXPECT_EQ(large.right - large.left, frame.right - frame.left);
}

TEST_F(Win32Window, AProblemShowsAtTheFootAndItsButtonOpensTheEventList) {
  Install();
  ASSERT_TRUE(Open());
  EXPECT_EQ(WindowText(H(Control::EventLine)), "Журнал событий");
  Report(&events, Severity::kError, "COM1: the port cannot be opened");
  Pump();
  EXPECT_EQ(WindowText(H(Control::EventLine)), "COM1: the port cannot be opened");
  Click(Control::EventLine);
  HWND list = window->EventListHandle();
  ASSERT_NE(list, nullptr);
  EXPECT_TRUE(IsWindowVisible(list));
  HWND table = FindWindowExW(list, nullptr, WC_LISTVIEWW, nullptr);
  ASSERT_NE(table, nullptr);
  ASSERT_GE(ListView_GetItemCount(table), 1);
  wchar_t text[256] = {};
  ListView_GetItemText(table, 0, 2, text, 256);
  EXPECT_EQ(Utf8FromWide(text), "COM1: the port cannot be opened");
  // Seen: the one-off problem goes from the foot.
  EXPECT_EQ(WindowText(H(Control::EventLine)), "Журнал событий");
  // Esc closes the list.
  SetFocus(table);
  Key(VK_ESCAPE);
  EXPECT_FALSE(IsWindowVisible(list));
}

// --- Folders ---------------------------------------------------------------------------------

TEST_F(Win32Window, AFolderIsEnteredByDoubleClickAndByEnter) {
  Install();
  ASSERT_TRUE(Open());
  window->ShowPage(0);
  EXPECT_EQ(WindowText(H(Control::Edit1)), Utf8FromWide(shop_));
  HWND list = H(Control::DirectoryListBox1);
  // The shop's sub-folder is listed last, below the shop itself.
  const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  ASSERT_GE(count, 2);
  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(count - 1), 0);
  SendMessageW(GetParent(list), WM_COMMAND,
               MAKEWPARAM(IdOf(Control::DirectoryListBox1), LBN_DBLCLK),
               reinterpret_cast<LPARAM>(list));
  Pump();
  EXPECT_EQ(WindowText(H(Control::Edit1)), Utf8FromWide(shop_ + L"\\Отчеты"));
  // Enter on the entry above it (the shop) goes back up.
  const int now = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(now - 1), 0);
  SetFocus(list);
  Key(VK_RETURN);
  EXPECT_EQ(WindowText(H(Control::Edit1)), Utf8FromWide(shop_));
  EXPECT_EQ(Port(1).model, 1);  // nothing else moved
}

}  // namespace
}  // namespace tillgate::testing

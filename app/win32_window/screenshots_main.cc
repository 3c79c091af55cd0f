// For the documents: each page of the window, drawn on the screen under
// wine over sample settings and grid rows, saved as a BMP file named after
// the page. Not part of the program.
//
//   win32_window_screenshots.exe FOLDER

#include <objbase.h>
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/presenter/event_log.h"
#include "app/presenter/fake_engine.h"
#include "app/win32_window/main_window.h"
#include "config/installation.h"
#include "config/memory_file_layer.h"
#include "config/reg_file_store.h"
#include "config/registry_names.h"
#include "platform/win32/win32_text.h"
#include "store/cp866.h"

namespace tillgate {
namespace {

void Pump(MainWindow& window) {
  for (int round = 0; round < 5; ++round) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (window.PreTranslate(&message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(60);
  }
}

// The window's inside as the screen shows it, as a 24-bit BMP.
bool SaveWindow(HWND window, const std::wstring& path) {
  RECT inside{};
  GetClientRect(window, &inside);
  const int width = inside.right;
  const int height = inside.bottom;
  HDC screen = GetDC(window);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP picture = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, picture);
  BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
  SelectObject(memory, old);

  BITMAPINFOHEADER info{};
  info.biSize = sizeof(info);
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const int stride = (width * 3 + 3) & ~3;
  std::vector<char> pixels(static_cast<size_t>(stride) * height);
  GetDIBits(memory, picture, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
            DIB_RGB_COLORS);
  DeleteObject(picture);
  DeleteDC(memory);
  ReleaseDC(window, screen);

  BITMAPFILEHEADER header{};
  header.bfType = 0x4d42;
  header.bfOffBits = sizeof(header) + sizeof(info);
  header.bfSize = header.bfOffBits + static_cast<DWORD>(pixels.size());
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(&header, sizeof(header), 1, file) == 1 &&
                       std::fwrite(&info, sizeof(info), 1, file) == 1 &&
                       std::fwrite(pixels.data(), 1, pixels.size(), file) == pixels.size();
  return std::fclose(file) == 0 && written;
}

void Row(GridModel& grid, int row, std::initializer_list<const char*> cells) {
  int column = 0;
  for (const char* cell : cells) grid.SetCell(column++, row, Utf8ToCp866(cell));
}

void FillGrids(MonitoringViews& views) {
  views.WriteHeadings();
  Row(views.diagnostics, 1, {"COM1", "EKR", "0310001", "1"});
  Row(views.diagnostics, 2, {"COM1", "EKR", "0310002", "2"});
  Row(views.diagnostics, 3, {"COM2", "EL92", "0420007", "1"});
  Row(views.goods, 1, {"1001", "Хлеб Бородинский 400 г", "42.50", "1", "4600000000011", "120"});
  Row(views.goods, 2, {"1002", "Молоко 3,2% 1 л", "79.90", "2", "4600000000028", "64"});
  Row(views.goods, 3, {"1003", "Кефир 1% 0,5 л", "51.00", "2", "4600000000035", "40"});
  Row(views.goods, 4, {"2001", "Сахар 1 кг", "89.00", "3", "4600000000042", "25"});
  Row(views.report, 1,
      {"1", "101", "07.12.26", "10:02:15", "1", "1001", "Хлеб Бор", "42.50", "2", "85.00", "1"});
  Row(views.report, 2,
      {"1", "101", "07.12.26", "10:02:19", "1", "1002", "Молоко 3", "79.90", "1", "79.90", "2"});
  Row(views.report, 3,
      {"2", "57", "07.12.26", "10:04:41", "1", "2001", "Сахар 1 ", "89.00", "1", "89.00", "3"});
}

int Run(const std::wstring& folder) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring shop = std::wstring(temp) + L"Магазин";
  CreateDirectoryW(shop.c_str(), nullptr);
  CreateDirectoryW((shop + L"\\Отчеты").c_str(), nullptr);

  auto files = std::make_shared<MemoryFileLayer>();
  Status opened;
  std::unique_ptr<RegistryStore> store = OpenRegistryFile(files, "HKEY_CURRENT_USER.reg", &opened);
  if (!InstallDefaults(*store, Utf8FromWide(shop), Utf8FromWide(shop + L"\\Отчеты")).ok()) return 1;
  store->OpenKey(kEquipmentKey, true);
  const uint8_t com1[] = {1, 1, 1};
  const uint8_t com2[] = {1, 1, 2};
  store->WriteBinary("COM1", com1, 3);
  store->WriteBinary("COM2", com2, 3);
  store->CloseKey();

  EventLog events;
  MainWindowDeps deps;
  deps.presenter.store = store.get();
  deps.presenter.working_dir = Utf8FromWide(shop);
  deps.presenter.events = &events;
  deps.presenter.make_engine = [](const Settings& settings) {
    auto engine = std::make_unique<testing::FakeEngine>();
    for (int port = 0; port < kPortCount; ++port)
      engine->lines[port] = settings.ports[port].connect == 1 && settings.ports[port].model != 0;
    return engine;
  };
  deps.answer_dialog = [](DialogKind, const std::string&, unsigned) { return DialogAnswer::kOk; };
  MainWindow window(std::move(deps));
  if (!window.StartUp()) return 1;
  SetWindowPos(window.hwnd(), nullptr, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ShowWindow(window.hwnd(), SW_SHOW);
  FillGrids(window.presenter().views());
  ReportCondition(&events, Severity::kError, "COM2 port",
                  "COM2 (\\\\.\\COM2): port failed to open: held by another program");
  Pump(window);

  const wchar_t* const names[] = {L"1-bazy",         L"2-oborudovanie", L"3-zapusk",
                                  L"4-diagnostika",  L"5-monitoring",   L"6-svedeniya",
                                  L"7-installyaciya"};
  int failed = 0;
  for (int page = 0; page < 7; ++page) {
    window.ShowPage(page);
    if (page == 1) SendMessageW(window.Handle(Control::RadioButton2), BM_CLICK, 0, 0);
    Pump(window);
    const std::wstring name = names[page];
    if (page == 4) {
      for (int sub = 0; sub < 2; ++sub) {
        TabCtrl_SetCurSel(window.Handle(Control::PageControl2), sub);
        NMHDR changed{window.Handle(Control::PageControl2),
                      static_cast<UINT_PTR>(GetDlgCtrlID(window.Handle(Control::PageControl2))),
                      static_cast<UINT>(TCN_SELCHANGE)};
        SendMessageW(GetParent(changed.hwndFrom), WM_NOTIFY, changed.idFrom,
                     reinterpret_cast<LPARAM>(&changed));
        Pump(window);
        failed += !SaveWindow(
            window.hwnd(), folder + L"\\" + name + (sub == 0 ? L"-tovary.bmp" : L"-otchety.bmp"));
      }
      continue;
    }
    failed += !SaveWindow(window.hwnd(), folder + L"\\" + name + L".bmp");
  }
  SendMessageW(window.Handle(Control::EventLine), BM_CLICK, 0, 0);
  Pump(window);
  if (HWND list = window.EventListHandle()) {
    SetWindowPos(list, HWND_TOP, 80, 80, 0, 0, SWP_NOSIZE);
    Pump(window);
    failed += !SaveWindow(list, folder + L"\\8-zhurnal-sobytiy.bmp");
  }
  return failed == 0 ? 0 : 1;
}

}  // namespace
}  // namespace tillgate

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fputs("usage: win32_window_screenshots FOLDER\n", stderr);
    return 2;
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const int code = tillgate::Run(argv[1]);
  CoUninitialize();
  return code;
}

// The program with its window on Windows: the settings from the registry
// under HKEY_CURRENT_USER, the server running in the window's process, as
// on Linux.

#include <objbase.h>
#include <windows.h>

#include <memory>
#include <string>

#include "app/presenter/event_log.h"
#include "app/presenter/station_engine.h"
#include "app/win32_window/main_window.h"
#include "platform/locations.h"
#include "platform/system_registry.h"
#include "platform/win32/win32_text.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
  // The accessibility layer the controls' names are told to.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::unique_ptr<tillgate::RegistryStore> store =
      tillgate::OpenSystemRegistry(tillgate::RegistryRoot::kCurrentUser);
  const std::string state_folder = tillgate::StateFolderPath(tillgate::SystemEnvironment());

  // The window lists the server's events and shows its problems at its
  // foot. The list outlives the window and so the engine.
  tillgate::EventLog events;
  tillgate::MainWindowDeps deps;
  deps.presenter.store = store.get();
  deps.presenter.working_dir = tillgate::WorkingFolder();
  deps.presenter.events = &events;
  // Open documents are kept in the journal in the state folder across a
  // stop or a crash.
  deps.presenter.make_engine = [&events, state_folder](const tillgate::Settings& settings) {
    return tillgate::MakeStationEngine(settings, &events, state_folder);
  };
  deps.presenter.end_program = [] { PostQuitMessage(0); };
  int code = 1;
  {
    tillgate::MainWindow window(std::move(deps));
    if (store == nullptr || !window.StartUp()) return 1;
    ShowWindow(window.hwnd(), show);
    MSG message;
    BOOL got;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) != 0 && got != -1) {
      if (window.PreTranslate(&message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    code = got == -1 ? 1 : static_cast<int>(message.wParam);
  }
  CoUninitialize();
  return code;
}

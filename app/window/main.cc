// The program: the window, or the same server without one (--headless).

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/window/message_box_dialogs.h"
#include "app/window/station_engine.h"
#include "app/window/stop_signals.h"
#include "app/window/tform1.h"
#include "config/reg_file_store.h"
#ifdef TILLGATE_HAVE_HEADLESS
#include "app/headless/headless.h"
#endif

namespace {

bool HasArgument(int argc, char** argv, const char* wanted) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], wanted) == 0) return true;
  return false;
}

bool EnvSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// Without a display the platform plugin would abort with a cryptic message.
bool DisplayAvailable() {
  return EnvSet("DISPLAY") || EnvSet("WAYLAND_DISPLAY") || EnvSet("QT_QPA_PLATFORM");
}

std::string WorkingDirectory() {
  std::error_code error;
  std::string path = std::filesystem::current_path(error).string();
  return error ? std::string(".") : path;
}

}  // namespace

int main(int argc, char** argv) {
  if (HasArgument(argc, argv, "--headless")) {
#ifdef TILLGATE_HAVE_HEADLESS
    return tillgate::RunHeadless(argc, argv);
#else
    std::fputs("tillgate: this build has no headless runner\n", stderr);
    return 2;
#endif
  }
  if (!DisplayAvailable()) {
    std::fputs(
        "tillgate: no display ($DISPLAY and $WAYLAND_DISPLAY are unset).\n"
        "  Run without a window:   tillgate --headless\n"
        "  Or on a virtual screen: xvfb-run -a tillgate\n",
        stderr);
    return 2;
  }

  QApplication app(argc, argv);
  app.setApplicationName(QStringLiteral("Tillgate"));

  tillgate::Status opened;
  std::unique_ptr<tillgate::RegistryStore> store =
      tillgate::OpenRegistryFile(tillgate::DefaultRegistryPath(), &opened);

  tillgate::WindowDeps deps;
  deps.store = store.get();
  deps.working_dir = WorkingDirectory();
  deps.make_engine = tillgate::MakeStationEngine;
  deps.end_program = [] { QCoreApplication::quit(); };
  tillgate::TForm1 form(std::move(deps));
  if (!opened.ok()) {
    // An unreadable settings file is never overwritten; the operator must
    // see why before anything else happens.
    tillgate::MessageBoxDialogs(nullptr).Show(tillgate::DialogKind::kError,
                                              QString::fromStdString(opened.message()),
                                              tillgate::kButtonOk);
    return 1;
  }
  if (!form.StartUp()) return 1;
  tillgate::CloseOnStopSignals(&form);
  form.show();
  return app.exec();
}

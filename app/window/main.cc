// The program: the window, or the same server without one (--headless).

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/headless/headless.h"
#include "app/headless/stderr_sink.h"
#include "app/presenter/event_log.h"
#include "app/window/message_box_dialogs.h"
#include "app/presenter/station_engine.h"
#include "app/window/stop_signals.h"
#include "app/window/tform1.h"
#include "config/condition_filter.h"
#include "config/reg_file_store.h"
#include "config/version.h"
#include "line/trace_options.h"
#include "platform/control_requests.h"
#include "platform/locations.h"
#include "platform/platform.h"

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

// Message boxes for the operator; error texts also go to standard error, so
// that a failed start is explained in the terminal that started it.
class OperatorDialogs final : public tillgate::Dialogs {
 public:
  tillgate::DialogAnswer Show(tillgate::DialogKind kind, const QString& text,
                              unsigned buttons) override {
    if (kind == tillgate::DialogKind::kError)
      std::fprintf(stderr, "tillgate: %s\n", text.toUtf8().constData());
    return boxes_.Show(kind, text, buttons);
  }
  void SetParent(QWidget* parent) { boxes_ = tillgate::MessageBoxDialogs(parent); }

 private:
  tillgate::MessageBoxDialogs boxes_{nullptr};
};

constexpr char kUsage[] =
    "usage: tillgate [--headless | --check | --version | --help] [--trace=LIST]\n"
    "                [--trace-dir=DIR]\n"
    "Opens the cash-register server's window; with --headless runs the same\n"
    "server without one (see tillgate --headless --help). Settings come from the\n"
    "registry file ($TILLGATE_REGISTRY, else\n"
    "$XDG_CONFIG_HOME/tillgate/HKEY_CURRENT_USER.reg).\n"
    "\n"
    "  --check    print the configuration and every problem found; exit 1 on a\n"
    "             problem. Opens no port and no window.\n"
    "  --check-settings\n"
    "             exit 78 with the reason when the settings would keep the server\n"
    "             from starting, else 0 (see tillgate --headless --help).\n"
    "  --version  print the version\n";

// The trace options of the window; false (with the reason printed) when one
// is wrong.
bool TakeTraceOptions(int argc, char** argv, tillgate::TraceOptions* trace) {
  for (int i = 1; i < argc; ++i) {
    std::string error;
    if (tillgate::TakeTraceArgument(argv[i], trace, &error) == tillgate::TraceArgument::kWrong) {
      std::fprintf(stderr, "tillgate: %s\n", error.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // Neither needs a display: both are answered before Qt is started.
  if (HasArgument(argc, argv, "--version")) {
    tillgate::PrintVersion();
    return 0;
  }
  if ((HasArgument(argc, argv, "--check") || HasArgument(argc, argv, "--check-settings")) &&
      !HasArgument(argc, argv, "--headless")) {
    return tillgate::RunHeadless(argc, argv, "tillgate");
  }
  if (!HasArgument(argc, argv, "--headless") &&
      (HasArgument(argc, argv, "--help") || HasArgument(argc, argv, "-h"))) {
    std::fputs(kUsage, stdout);
    std::fputs(tillgate::kTraceUsage, stdout);
    return 0;
  }
  if (HasArgument(argc, argv, "--headless")) {
    return tillgate::RunHeadless(argc, argv, "tillgate --headless");
  }
  tillgate::TraceOptions trace;
  if (!TakeTraceOptions(argc, argv, &trace)) return 2;
  if (!DisplayAvailable()) {
    std::fputs(
        "tillgate: no display ($DISPLAY and $WAYLAND_DISPLAY are unset).\n"
        "  Run without a window:   tillgate --headless\n"
        "  Or on a virtual screen: xvfb-run -a tillgate\n",
        stderr);
    return 2;
  }

  // Event lines go to standard error; a terminal closed under the window
  // must not end the server in the middle of a tick.
  tillgate::IgnoreBrokenPipes();
  // Taken before Qt starts any thread, so that a stop request reaches the
  // window instead of ending the process.
  std::unique_ptr<tillgate::ControlRequests> requests = tillgate::ListenForControlRequests();
  QApplication app(argc, argv);
  app.setApplicationName(QStringLiteral("Tillgate"));

  const tillgate::EnvironmentReader environment = tillgate::SystemEnvironment();
  const std::string state_folder = tillgate::StateFolderPath(environment);
  trace.folder = tillgate::TraceFolder(trace, state_folder);
  tillgate::Status opened;
  std::unique_ptr<tillgate::RegistryStore> store = tillgate::OpenRegistryFile(
      tillgate::NewSystemFileLayer(), tillgate::SettingsFilePath(environment), &opened);

  OperatorDialogs dialogs;
  tillgate::WindowDeps deps;
  deps.store = store.get();
  deps.dialogs = &dialogs;
  deps.working_dir = tillgate::WorkingFolder();
  // The window lists the server's events and shows its problems at its
  // foot; whoever started the program from a terminal also sees the event
  // lines there. The list outlives the window and so the engine.
  static tillgate::StderrSink terminal_lines;
  // A lasting condition is printed once, as the headless server does.
  static tillgate::ConditionFilter filtered_lines(&terminal_lines);
  tillgate::EventLog events(&filtered_lines);
  deps.events = &events;
  // Open documents are kept in the journal in the state folder across a
  // stop or a crash; the store says at start-up what it restored and at
  // stop what it keeps.
  deps.make_engine = [&events, state_folder, trace](const tillgate::Settings& settings) {
    return tillgate::MakeStationEngine(settings, &events, state_folder, trace);
  };
  deps.end_program = [] { QCoreApplication::quit(); };
  tillgate::TForm1 form(std::move(deps));
  dialogs.SetParent(&form);
  if (!opened.ok()) {
    // An unreadable settings file is never overwritten; the operator must
    // see why before anything else happens.
    dialogs.Show(tillgate::DialogKind::kError, QString::fromStdString(opened.message()),
                 tillgate::kButtonOk);
    return 1;
  }
  if (!form.StartUp()) return 1;
  tillgate::CloseOnStopRequests close_on_stop(&form, *requests);
  form.show();
  return app.exec();
}

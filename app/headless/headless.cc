#include "app/headless/headless.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/headless/stderr_sink.h"
#include "config/reg_file_store.h"
#include "config/settings.h"
#include "line/station.h"
#include "line/store_factory.h"

namespace tillgate {
namespace {

constexpr char kUsage[] =
    "usage: tillgate --headless\n"
    "Runs the server without a window. Settings come from the registry file\n"
    "($TILLGATE_REGISTRY, else $XDG_CONFIG_HOME/tillgate/HKEY_CURRENT_USER.reg).\n"
    "SIGINT or SIGTERM stops it after the current tick.\n";

std::string WorkingFolder() {
  char buffer[4096];
  if (getcwd(buffer, sizeof buffer)) return buffer;
  return ".";
}

// Blocks the stop signals in this thread and in every thread started after
// it, so that only the sigwait below takes them.
sigset_t BlockStopSignals(sigset_t* previous) {
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop, previous);
  return stop;
}

int WaitForStopSignal(const sigset_t& stop) {
  int signal_number = 0;
  while (sigwait(&stop, &signal_number) != 0) {
  }
  return signal_number;
}

}  // namespace

int RunHeadless(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--headless") == 0) continue;
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    std::fprintf(stderr, "tillgate: unknown argument '%s'\n%s", argv[i], kUsage);
    return 2;
  }

  // Event lines go to standard error; a reader that goes away must cost the
  // lines, never the registers being served (nor a document half written).
  signal(SIGPIPE, SIG_IGN);
  StderrSink sink;
  const std::string registry_path = DefaultRegistryPath();
  Status status;
  auto registry = OpenRegistryFile(registry_path, &status);
  if (!status.ok()) {
    Report(&sink, Severity::kError, status.message());
    return 1;
  }
  LoadResult loaded = LoadSettings(*registry, WorkingFolder());
  if (!loaded.status.ok()) {
    Report(&sink, Severity::kError, loaded.status.message());
    return 1;
  }
  Report(&sink, "settings from " + registry_path +
                    (loaded.settings.installed ? "" : " (not installed: no port is served)"));

  sigset_t previous;
  const sigset_t stop = BlockStopSignals(&previous);
  int signal_number = 0;
  {
    StationOptions options;
    options.events = &sink;
    options.make_store = ServerStoreFactory();
    Station station(loaded.settings, std::move(options));
    Engine& engine = station.GetEngine();
    // The stored selection starts at once, as automatic start would.
    if (!station.AutoStarted()) engine.Start(station.StoredStartBoxes(), false);
    engine.Launch();
    signal_number = WaitForStopSignal(stop);
    Report(&sink, Severity::kNotice,
           std::string("stopping on ") + (signal_number == SIGINT ? "SIGINT" : "SIGTERM"));
    engine.Stop();
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  Report(&sink, Severity::kNotice, "stopped");
  return 0;
}

}  // namespace tillgate

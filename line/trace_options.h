#pragma once
// Which ports the programs trace and where (--trace=LIST, --trace-dir=DIR).

#include <bitset>
#include <string>
#include <string_view>

#include "config/port_config.h"
#include "platform/paths.h"

namespace tillgate {

struct TraceOptions {
  std::bitset<kPortCount> ports;  // index i = COM(i+1)
  std::string folder;             // empty: DefaultTraceFolder(the state folder)
};

// "trace" in `state_folder`.
std::string DefaultTraceFolder(const std::string& state_folder);

// The trace file of port `port_name` ("COM1"): "COM1.trace"; on Windows
// "COM1-trace.txt", since Windows takes any "COM1.<extension>" for the
// serial port itself.
std::string TraceFileName(const std::string& port_name, PathStyle style = SystemPathStyle());

// The folder the traces go to: the given one, else trace/ in `state_folder`.
inline std::string TraceFolder(const TraceOptions& options, const std::string& state_folder) {
  return options.folder.empty() ? DefaultTraceFolder(state_folder) : options.folder;
}

enum class TraceArgument {
  kNotTrace,  // not a trace option: the caller's to handle
  kTaken,     // read into the options
  kWrong,     // a trace option with a value that is not right; *error says why
};

// Reads "--trace=LIST" (port numbers 1 to 16 separated by commas, or "all")
// or "--trace-dir=DIR" into `options`.
TraceArgument TakeTraceArgument(std::string_view argument, TraceOptions* options,
                                std::string* error);

// The usage lines of the two options, for the programs' --help.
inline constexpr char kTraceUsage[] =
    "  --trace=LIST      write a protocol trace of the ports in LIST (port numbers\n"
    "                    1 to 16 separated by commas, or all) to COMn.trace\n"
    "  --trace-dir=DIR   where the traces go (default: trace/ in the state folder,\n"
    "                    $TILLGATE_STATE_DIR, else $XDG_STATE_HOME/tillgate, else\n"
    "                    ~/.local/state/tillgate)\n";

}  // namespace tillgate

#include "line/trace_options.h"

#include <charconv>

namespace tillgate {
namespace {

constexpr std::string_view kTracePrefix = "--trace=";
constexpr std::string_view kFolderPrefix = "--trace-dir=";

bool ParsePorts(std::string_view list, std::bitset<kPortCount>* ports) {
  if (list == "all") {
    ports->set();
    return true;
  }
  std::bitset<kPortCount> chosen;
  while (true) {
    const size_t comma = list.find(',');
    const std::string_view item = list.substr(0, comma);
    int number = 0;
    const auto [end, ec] = std::from_chars(item.data(), item.data() + item.size(), number);
    if (item.empty() || ec != std::errc() || end != item.data() + item.size() || number < 1 ||
        number > kPortCount)
      return false;
    chosen.set(static_cast<size_t>(number - 1));
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  *ports |= chosen;
  return true;
}

}  // namespace

std::string DefaultTraceFolder(const std::string& state_folder) {
  return JoinedPath(state_folder, "trace");
}

std::string TraceFileName(const std::string& port_name, PathStyle style) {
  return port_name + (style == PathStyle::kWindows ? "-trace.txt" : ".trace");
}

TraceArgument TakeTraceArgument(std::string_view argument, TraceOptions* options,
                                std::string* error) {
  if (argument.substr(0, kTracePrefix.size()) == kTracePrefix) {
    const std::string_view list = argument.substr(kTracePrefix.size());
    if (ParsePorts(list, &options->ports)) return TraceArgument::kTaken;
    *error = "--trace needs port numbers 1 to 16 separated by commas, or all, not '" +
             std::string(list) + "'";
    return TraceArgument::kWrong;
  }
  if (argument.substr(0, kFolderPrefix.size()) == kFolderPrefix) {
    options->folder = std::string(argument.substr(kFolderPrefix.size()));
    if (!options->folder.empty()) return TraceArgument::kTaken;
    *error = "--trace-dir needs a folder";
    return TraceArgument::kWrong;
  }
  if (argument == "--trace" || argument == "--trace-dir") {
    *error = std::string(argument) + " takes its value after '=', as in " + std::string(argument) +
             (argument == "--trace" ? "=1,3" : "=/var/tmp/traces");
    return TraceArgument::kWrong;
  }
  return TraceArgument::kNotTrace;
}

}  // namespace tillgate

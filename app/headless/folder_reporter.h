#pragma once
// Watches the goods and report folders the store was given: a folder that
// is missing (or written for Windows, or not usable) is reported as a lasting
// condition at start-up and at every check while it lasts (a condition
// filter in the sink path keeps that to one line), and its return is
// reported once.

#include <string>
#include <vector>

#include "config/event_sink.h"
#include "config/settings.h"

namespace tillgate {

class FolderReporter {
 public:
  // Nothing is watched when the settings are not installed (the store then
  // touches no file).
  FolderReporter(const Settings& settings, EventSink* events);
  // Looks at every watched folder now.
  void Check();

 private:
  struct Watched {
    std::string role;        // "goods folder"
    std::string value_name;  // "InPath"
    std::string path;
    bool missing = false;
  };
  std::vector<Watched> folders_;
  EventSink* events_;
};

}  // namespace tillgate

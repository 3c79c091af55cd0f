#pragma once
// Watches the goods and report folders the store was given: a folder that
// is missing (or written for Windows, or not usable) is reported as a lasting
// condition when first seen and again only when the reason changes, and its
// return is reported once, so that a check every few seconds never floods
// the events.

#include <string>
#include <vector>

#include "config/event_sink.h"
#include "config/settings.h"
#include "platform/file_system.h"

namespace tillgate {

class FolderReporter {
 public:
  // Nothing is watched when the settings are not installed (the store then
  // touches no file). The folders are looked at through `files`.
  FolderReporter(const Settings& settings, FileSystem& files, EventSink* events);
  // Looks at every watched folder now.
  void Check();

 private:
  struct Watched {
    std::string role;        // "goods folder"
    std::string value_name;  // "InPath"
    std::string path;
    std::string problem;  // the one told; empty while the folder is usable
  };
  std::vector<Watched> folders_;
  FileSystem& files_;
  EventSink* events_;
};

}  // namespace tillgate

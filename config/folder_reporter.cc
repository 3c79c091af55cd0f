#include "config/folder_reporter.h"

#include "config/folder_check.h"
#include "config/registry_names.h"

namespace tillgate {

FolderReporter::FolderReporter(const Settings& settings, FileSystem& files, EventSink* events)
    : files_(files), events_(events) {
  if (!settings.installed) return;
  folders_.push_back({"goods folder", kInPathValue, settings.store_goods_folder, {}});
  folders_.push_back({"report folder", kOutPathValue, settings.store_report_folder, {}});
}

void FolderReporter::Check() {
  for (Watched& folder : folders_) {
    const std::string problem = FolderProblem(files_, folder.role, folder.value_name, folder.path);
    if (problem == folder.problem) continue;
    if (!problem.empty()) {
      ReportCondition(events_, Severity::kError, folder.role, problem);
    } else {
      ReportConditionCleared(
          events_, folder.role,
          folder.role + " (" + folder.value_name + ") " + folder.path + " is usable again");
    }
    folder.problem = problem;
  }
}

}  // namespace tillgate

#include "app/presenter/recording_view.h"

namespace tillgate::testing {

void RecordingView::SetAlert(Control control, const std::string& text, Severity severity) {
  alerts[control] = {text, severity};
  alert_calls.emplace_back(control, text);
}

bool RecordingView::PointFolderList(Control list, const std::string& folder, std::string* shown,
                                    std::string* error) {
  if (enterable.count(folder) == 0) {
    if (error) *error = "cannot enter " + folder;
    return false;
  }
  // Normalised as a folder list does: no separator at the end.
  std::string normal = folder;
  while (normal.size() > 1 && (normal.back() == '/' || normal.back() == '\\')) normal.pop_back();
  folder_lists[list] = normal;
  if (shown) *shown = normal;
  return true;
}

void RecordingView::GridChanged(Control grid, const GridChange& change) {
  grid_changes.emplace_back(grid, change);
}

DialogAnswer RecordingView::ShowDialog(DialogKind kind, const std::string& text, unsigned buttons) {
  dialogs.push_back({kind, text, buttons});
  if (!answers.empty()) {
    const DialogAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  return (buttons & kButtonOk) ? DialogAnswer::kOk : DialogAnswer::kClosed;
}

std::vector<std::string> RecordingView::DialogTexts() const {
  std::vector<std::string> texts_shown;
  for (const Dialog& dialog : dialogs) texts_shown.push_back(dialog.text);
  return texts_shown;
}

std::vector<std::pair<Control, std::string>> RecordingView::TakeAlertCalls() {
  return std::exchange(alert_calls, {});
}

}  // namespace tillgate::testing

#pragma once
// For the presenter's tests: a view that keeps what it was told to show,
// answers dialogs from a script and enters only the folders it is given.

#include <deque>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/presenter/window_view.h"

namespace tillgate::testing {

class RecordingView final : public WindowView {
 public:
  struct Dialog {
    DialogKind kind;
    std::string text;
    unsigned buttons;
  };
  struct Alert {
    std::string text;
    Severity severity = Severity::kInfo;
  };

  void SetText(Control control, const std::string& text) override { texts[control] = text; }
  void SetPlaceholder(Control control, const std::string& text) override {
    placeholders[control] = text;
  }
  void SetItems(Control control, const std::vector<std::string>& list) override {
    items[control] = list;
  }
  void SetSelection(Control control, int item) override { selections[control] = item; }
  void SetChecked(Control control, bool checked) override { this->checked[control] = checked; }
  void SetEnabled(Control control, bool enabled) override { this->enabled[control] = enabled; }
  void SetAlert(Control control, const std::string& text, Severity severity) override;
  bool HasFocus(Control control) const override { return focus == control; }
  bool PointFolderList(Control list, const std::string& folder, std::string* shown,
                       std::string* error) override;
  void GridChanged(Control grid, const GridChange& change) override;
  void OpenEventList() override { ++event_list_opened; }
  void FillEventList(const std::vector<KeptEvent>& events) override { event_list = events; }
  DialogAnswer ShowDialog(DialogKind kind, const std::string& text, unsigned buttons) override;

  // Texts of every dialog shown so far.
  std::vector<std::string> DialogTexts() const;
  // Alerts told since the last call, in order, and forgotten.
  std::vector<std::pair<Control, std::string>> TakeAlertCalls();

  std::map<Control, std::string> texts, placeholders;
  std::map<Control, std::vector<std::string>> items;
  std::map<Control, int> selections;
  std::map<Control, bool> checked, enabled;
  std::map<Control, Alert> alerts;
  std::vector<std::pair<Control, std::string>> alert_calls;
  // Folders a folder list can enter (as given); the folder it shows.
  std::set<std::string> enterable;
  std::map<Control, std::string> folder_lists;
  std::vector<std::pair<Control, GridChange>> grid_changes;
  int event_list_opened = 0;
  std::vector<KeptEvent> event_list;
  // Answers in order; once they run out, OK where offered, else kClosed.
  std::deque<DialogAnswer> answers;
  std::vector<Dialog> dialogs;
  Control focus = Control::Form1;  // the control the focus is in
};

}  // namespace tillgate::testing

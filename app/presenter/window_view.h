#pragma once
// What the presenter asks of a view of the main window. The view builds the
// controls (with the layout, fonts, accessible names and timers of its
// toolkit), applies what it is told here, and reports the operator's changes
// to the presenter. Nothing the presenter sets here is reported back as the
// operator's change. Texts are UTF-8.

#include <string>
#include <vector>

#include "app/presenter/control.h"
#include "app/presenter/dialog_kind.h"
#include "app/presenter/grid_watch.h"
#include "app/presenter/problem_tracker.h"
#include "config/event_sink.h"

namespace tillgate {

class WindowView {
 public:
  virtual ~WindowView() = default;

  // The caption of the window, a page, a label, a box or a button; the text
  // of a field.
  virtual void SetText(Control control, const std::string& text) = 0;
  // What an empty field shows in grey.
  virtual void SetPlaceholder(Control control, const std::string& text) = 0;
  // The items of a list.
  virtual void SetItems(Control control, const std::vector<std::string>& items) = 0;
  // The chosen item of a list (-1: none); the position of a spinner.
  virtual void SetSelection(Control control, int item) = 0;
  // A box's or a radio button's check.
  virtual void SetChecked(Control control, bool checked) = 0;
  // Whether the operator can use the control (a page: everything on it).
  virtual void SetEnabled(Control control, bool enabled) = 0;
  // A problem the control shows (a port, a start box, the port's problem
  // line, the foot line); an empty text shows none.
  virtual void SetAlert(Control control, const std::string& text, Severity severity) = 0;

  // True when the keyboard focus is on `control` or inside it.
  virtual bool HasFocus(Control control) const = 0;

  // Points a folder list at `folder`. True with the folder it now shows (made
  // absolute and normalised) in *shown; false, with the reason in *error,
  // when `folder` cannot be entered: the list stays where it was. Either
  // pointer may be null.
  virtual bool PointFolderList(Control list, const std::string& folder, std::string* shown,
                               std::string* error) = 0;

  // A monitoring grid is to be drawn again as told.
  virtual void GridChanged(Control grid, const GridChange& change) = 0;

  // Brings up the list of recent events; then fills it (newest first).
  virtual void OpenEventList() = 0;
  virtual void FillEventList(const std::vector<KeptEvent>& events) = 0;

  // Shows `text` modally and returns the button pressed.
  virtual DialogAnswer ShowDialog(DialogKind kind, const std::string& text, unsigned buttons) = 0;
};

}  // namespace tillgate

#pragma once
// The list of recent events, newest first, with the same texts as the
// terminal's event lines: a window of its own over the main window, with a
// list view and a close button (Enter and Esc close it too).

#include <windows.h>

#include <vector>

#include "app/presenter/problem_tracker.h"

namespace tillgate {

class EventListWindow {
 public:
  EventListWindow(HWND owner, HFONT font);
  ~EventListWindow();
  EventListWindow(const EventListWindow&) = delete;
  EventListWindow& operator=(const EventListWindow&) = delete;

  void Show();
  bool IsOpen() const { return IsWindowVisible(hwnd_) != FALSE; }
  // Shows `events` (newest first).
  void Fill(const std::vector<KeptEvent>& events);
  // Its keys (Tab, Enter, Esc) for a message taken from the queue.
  bool PreTranslate(MSG* msg);

  HWND hwnd() const { return hwnd_; }
  HWND table() const { return table_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  void LayOut();

  HWND hwnd_ = nullptr;
  HWND table_ = nullptr;
  HWND close_ = nullptr;
  HFONT font_;
};

}  // namespace tillgate

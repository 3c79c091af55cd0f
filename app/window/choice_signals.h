#pragma once
// A list's choice, however the operator made it.

#include <QComboBox>
#include <functional>

namespace tillgate {

// Calls `chosen(item)` once for every item the operator picks in `box`:
// with the mouse or the keyboard (also the item already shown, which Qt
// reports only as activated), or by an accessibility client selecting an
// item of the closed list (which Qt would leave at that). Changes made while
// `muted()` returns true are the program's own and are not choices.
void OnChoice(QComboBox* box, std::function<bool()> muted, std::function<void(int)> chosen);

}  // namespace tillgate

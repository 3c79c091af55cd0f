#pragma once
// The fixed texts of the window: captions of the window, its pages, labels,
// boxes and buttons, and the items of its lists. Every view shows these, so
// they are kept once, here.

#include <string>
#include <string_view>
#include <vector>

#include "app/presenter/control.h"

namespace tillgate {

// The caption `control` carries from the start; empty for a control without
// one (fields, lists, grids, the connect boxes).
std::string Caption(Control control);

// Items of the register model list (item k is model k + 1).
const std::vector<std::string>& ModelItems();
// Items of the two name-line lists (item 0 is the letter "N", item 1 "C").
const std::vector<std::string>& NameLineItems();

// Button4's caption for the installed state.
std::string_view InstallButtonCaption(bool installed);

}  // namespace tillgate

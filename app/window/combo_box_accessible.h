#pragma once
// Drop-down lists as screen readers meet them. Qt on this platform gives a
// list's current item as its accessible name, so every list of the window
// would be called by whatever it shows ("ЭКР-3102Ф", "/"). The interface
// here names a list by its accessible name (what the list is for) and gives
// the current item as its value; items and actions stay as Qt has them.

namespace tillgate {

// Makes every non-editable drop-down list created from now on use that
// interface. Once per process; later calls do nothing.
void InstallComboBoxAccessibility();

}  // namespace tillgate

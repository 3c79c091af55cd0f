#pragma once
// SIGINT and SIGTERM close the window as its close box does: the engine
// ends its current tick, nothing is saved, the program exits.

class QWidget;

namespace tillgate {

// Installs the handlers; `window` must live until the event loop ends.
// False when the signal pipe could not be made (the signals then keep their
// default effect).
bool CloseOnStopSignals(QWidget* window);

}  // namespace tillgate

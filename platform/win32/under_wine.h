#pragma once
// Whether this Windows program runs under wine, for tests only: a few
// things Windows enforces wine does not (an exclusive open of a serial
// port, byte-range locks against plain reads), and modem lines do not exist
// on the pseudo-terminals wine's ports stand on.

namespace tillgate::testing {

bool RunningUnderWine();

}  // namespace tillgate::testing

#pragma once
// The version every program reports: the project version the build was
// configured with.

namespace tillgate {

// "X.Y.Z".
const char* TillgateVersion();

// Prints "tillgate X.Y.Z" and a line end on standard output, as every
// program's --version does.
void PrintVersion();

}  // namespace tillgate

#pragma once
// `--import FILE` and `--export FILE`: the server's settings moved between
// the registry and a registry file, so that they travel between a Windows
// and a Linux PC (which keeps them in such a file) in both directions.

#include <cstdio>
#include <string>

#include "app/headless/settings_source.h"

namespace tillgate {

// Writes the settings of the registry file `file` (REGEDIT4 in code page
// 1251, version 5.00 in UTF-16 or UTF-8) into `source`; says what it
// wrote on `out`, or why not on `err`. 0 when done, 1 otherwise (a source
// that is a settings file itself is not written: copy the file instead).
int RunImport(const SettingsSource& source, const std::string& file, std::FILE* out,
              std::FILE* err);

// Writes the settings `source` holds to `file` as regedit exports them
// (version 5.00, UTF-16LE with its mark, CRLF). 0 when done, 1 otherwise.
int RunExport(const SettingsSource& source, const std::string& file, std::FILE* out,
              std::FILE* err);

}  // namespace tillgate

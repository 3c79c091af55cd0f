#include "app/headless/settings_transfer_command.h"

#include "config/reg_document.h"
#include "config/registry_names.h"
#include "config/settings_transfer.h"
#include "platform/platform.h"

namespace tillgate {
namespace {

// Where the registry keeps the settings, as a file names its root.
std::string RootOf(const SettingsSource& source) {
  const std::string& key = source.Where();
  return key.substr(0, key.size() - std::string(kRootKey).size() - 1);
}

int Refuse(std::FILE* err, const std::string& text) {
  std::fprintf(err, "%s\n", text.c_str());
  return 1;
}

}  // namespace

int RunImport(const SettingsSource& source, const std::string& file, std::FILE* out,
              std::FILE* err) {
  if (source.IsFile())
    return Refuse(err, "--import: the settings are kept in the settings file " + source.Where() +
                           ": copy the file there instead");
  std::string bytes;
  bool exists = false;
  const Status read = NewSystemFileLayer()->ReadWholeFile(file, &bytes, &exists);
  if (!read.ok()) return Refuse(err, "--import: " + file + ": " + read.Reason());
  if (!exists) return Refuse(err, "--import: " + file + ": no such file");
  RegDocument document;
  const Status parsed = ParseRegFile(bytes, &document);
  if (!parsed.ok()) return Refuse(err, "--import: " + file + ": " + parsed.message());
  Status opened;
  auto store = source.OpenForReading(&opened);
  if (!opened.ok()) return Refuse(err, "--import: " + source.Name() + ": " + opened.message());
  const ImportResult imported = ImportSettings(document, *store);
  if (!imported.status.ok())
    return Refuse(err, "--import: " + file + ": " + imported.status.message() +
                           (imported.values > 0 ? " (" + std::to_string(imported.values) +
                                                      " value(s) written before)"
                                                : std::string()));
  std::fprintf(out, "%d value(s) from %s written to %s", imported.values, file.c_str(),
               source.Where().c_str());
  if (imported.skipped > 0)
    std::fprintf(out, "; %d left out (outside the key Tillgate or of another type)",
                 imported.skipped);
  std::fprintf(out, "\n");
  return 0;
}

int RunExport(const SettingsSource& source, const std::string& file, std::FILE* out,
              std::FILE* err) {
  if (source.IsFile())
    return Refuse(err, "--export: the settings are kept in the settings file " + source.Where() +
                           ": copy the file instead");
  Status opened;
  auto store = source.OpenForReading(&opened);
  if (!opened.ok()) return Refuse(err, "--export: " + source.Name() + ": " + opened.message());
  const RegDocument document = ExportSettings(*store, RootOf(source));
  if (document.keys.empty())
    return Refuse(err,
                  "--export: the registry has no key " + source.Where() + ": nothing to export");
  const Status written = NewSystemFileLayer()->ReplaceFile(file, FormatRegFile(document));
  if (!written.ok()) return Refuse(err, "--export: " + file + ": " + written.Reason());
  size_t values = 0;
  for (const RegKey& key : document.keys) values += key.values.size();
  std::fprintf(out, "%zu value(s) of %s written to %s\n", values, source.Where().c_str(),
               file.c_str());
  return 0;
}

}  // namespace tillgate

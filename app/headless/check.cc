#include "app/headless/check.h"

#include <string>
#include <vector>

#include "config/folder_check.h"
#include "config/reg_file_store.h"
#include "config/registry_names.h"
#include "config/settings.h"
#include "platform/paths.h"
#include "platform/platform.h"
#include "store/goods_layout.h"
#include "store/journal.h"
#include "store/journal_entries.h"

namespace tillgate {
namespace {

const char* ModelName(uint8_t model) {
  switch (model) {
    case kModelEkr3102F:
      return "ЭКР-3102Ф";
    case kModelElektronika92:
      return "Электроника-92";
    case kModelLadogaF:
      return "Ладога Ф";
  }
  return "none";
}

// Why the server could not keep its journal in `folder`; empty when it can
// (the folder is there and writable, or can be made).
std::string StateFolderProblem(FileSystem& files, const std::string& folder) {
  const Status access = files.FolderAccess(folder);
  if (access == Status::kNotAFolder) return "not a folder";
  if (access != Status::kNotFound) return access.Reason();
  // Made at the first start: the nearest folder that is there must take it.
  std::string parent = folder;
  FileIdentity ignored;
  while (true) {
    const std::string up = ParentFolder(parent);
    const bool top = up == parent || up == ".";
    parent = up;
    const Status found = files.Identity(parent, &ignored);
    if (found.ok()) break;
    if (found != Status::kNotFound || top) return found.Reason();
  }
  const Status parent_access = files.FolderAccess(parent);
  if (parent_access == Status::kNotAFolder) return parent + " is not a folder";
  if (!parent_access.ok()) return "cannot be made in " + parent + ": " + parent_access.Reason();
  return "";
}

std::string FieldText(const char* name, const DbfField& field) {
  if (field.length == 0) return std::string(name) + " missing";
  std::string text = std::string(name) + " " + field.type + std::to_string(field.length);
  if (field.decimals > 0) text += "." + std::to_string(field.decimals);
  return text;
}

class Checker {
 public:
  Checker(FileSystem& files, std::FILE* out) : files_(files), out_(out) {}

  void Line(const std::string& text) { std::fprintf(out_, "%s\n", text.c_str()); }
  void Problem(const std::string& text) {
    Line("problem: " + text);
    ++problems_;
  }
  int problems() const { return problems_; }

  void Folders(const Settings& s) {
    for (const auto& [role, name, path] :
         {std::tuple{"goods folder", kInPathValue, s.store_goods_folder},
          std::tuple{"report folder", kOutPathValue, s.store_report_folder}}) {
      const std::string problem = FolderProblem(files_, role, name, path);
      if (!problem.empty()) Problem(problem);
    }
  }

  void GoodsFile(const Settings& s) {
    if (LooksForeign(s.store_goods_folder)) return;  // said already
    const std::string path = JoinedPath(s.store_goods_folder, "tovars.dbf");
    // Read without a lock and without write access, so that a check beside
    // the running server disturbs nothing.
    std::unique_ptr<File> file;
    const Status opened = files_.Open(path, OpenMode::kReadOnlyUnlocked, &file);
    if (!opened.ok()) {
      Problem("goods file " + path + ": " + opened.Reason() +
              " (every goods message is refused until it is there)");
      return;
    }
    TDBFF dbf;
    GoodsLayout layout;
    std::string why;
    if (!ReadGoodsLayout(dbf, file.get(), &layout, &why)) {
      Problem("goods file " + path + " is refused: " + why);
      return;
    }
    DbfHeader header;
    dbf.ReadHeader(file.get(), &header);
    std::string fields;
    for (const auto& [name, field] :
         {std::pair{"CODE", layout.code}, std::pair{"NAME", layout.name},
          std::pair{"PRICE", layout.price}, std::pair{"DIVNUM", layout.divnum},
          std::pair{"SH_CODE", layout.sh_code}, std::pair{"RES", layout.res}})
      fields += (fields.empty() ? "" : ", ") + FieldText(name, field);
    Line("goods file " + path + ": " + std::to_string(header.record_count) + " records; " + fields);
    if (s.track_stock && layout.res.length == 0)
      Problem("goods file " + path + " has no RES field, but stock tracking (Res) is on");
  }

  // Where the journal of open documents lives: it must be usable, or every
  // goods message would be refused. The journal is only read: no lock is
  // taken and nothing is repaired, so a running server goes on undisturbed.
  void StateFolder(const std::string& folder) {
    Line("state folder: " + folder);
    const std::string problem = StateFolderProblem(files_, folder);
    if (!problem.empty()) {
      Problem("state folder " + folder + ": " + problem +
              " (no journal of open documents can be kept: every goods message would be "
              "refused)");
      return;
    }
    JournalFile(JoinedPath(folder, kJournalFileName));
  }

  void JournalFile(const std::string& path) {
    std::unique_ptr<File> file;
    const Status opened = files_.Open(path, OpenMode::kReadOnlyUnlocked, &file);
    if (opened == Status::kNotFound) {
      Line("journal " + path + ": none yet (made at the first start)");
      return;
    }
    if (!opened.ok()) {
      Problem("journal " + path + ": " + opened.Reason() +
              " (every goods message would be refused)");
      return;
    }
    // Whether a running server holds the lock it keeps on its journal,
    // asked without taking it.
    bool held = false;
    if (!files_.LockHeld(path, &held).ok()) held = false;
    uint64_t size = 0;
    Status read = file->Size(&size);
    std::string bytes(read.ok() ? size : 0, '\0');
    size_t got = 0;
    if (read.ok()) read = file->ReadAt(0, bytes.data(), bytes.size(), &got);
    if (!read.ok()) {
      Problem("journal " + path + ": " + read.Reason());
      return;
    }
    bytes.resize(got);
    const JournalReading reading = ReadJournalBytes(bytes);
    const JournalTotals totals = CountJournal(reading.entries);
    Line("journal " + path + ": " + (held ? "in use by a running server; " : "") +
         std::to_string(totals.open_operations) + " open operation(s) and " +
         std::to_string(totals.waiting_rows) + " waiting row(s)" +
         (held ? "" : " for the next start"));
    // A running server may be in the middle of an append.
    if (reading.damaged)
      Problem("journal " + path + " " + reading.problem);
    else if (!reading.problem.empty() && !held)
      Line("journal " + path + ": " + reading.problem);
  }

  void Port(const Settings& s, int index) {
    const PortConfig& port = s.ports[static_cast<size_t>(index)];
    const std::string name = "COM" + std::to_string(index + 1);
    if (port.connect != 1) return;
    const std::string device = DevicePath(s, index);
    Line(name + ": connected, " + (s.start_checked[static_cast<size_t>(index)] ? "" : "not ") +
         "started, model " + std::to_string(port.model) + " " + ModelName(port.model) +
         ", device " + device + ", mask \"" + port.mask + "\", name lines \"" + port.name_lines +
         "\", code length " + std::to_string(port.split_length) + ", QUICK" +
         std::to_string(index + 1) + " " + (port.quick ? "on" : "off") + ", STRICT" +
         std::to_string(index + 1) + " " + (port.strict ? "on" : "off"));
    if (port.model < kModelEkr3102F || port.model > kModelLadogaF) {
      Problem(name + " is connected but has no register model: it is not served");
      return;
    }
    if (port.mask.size() > static_cast<size_t>(kMaskCapacity))
      Problem(name + " mask \"" + port.mask + "\" is longer than 17 characters");
    Device(name, device);
  }

  void Device(const std::string& name, const std::string& device) {
    bool present = false;
    const Status access = SerialDeviceAccess(device, &present);
    if (!present) {
      Problem(name + " device " + device + ": " + access.Reason());
    } else if (access == Status::kNotSupported) {
      Problem(name + " device " + device + " is not a serial device");
    } else if (!access.ok()) {
      Problem(name + " device " + device + ": " + access.Reason() +
              " (is the server's user in the group dialout?)");
    }
  }

 private:
  FileSystem& files_;
  std::FILE* out_;
  int problems_ = 0;
};

}  // namespace

std::string NotInstalledReason(FileSystem& files, const SettingsSource& source) {
  if (!source.IsFile())
    return "the registry has no key " + source.Where() + " (not installed): no port is served";
  const std::string& registry_path = source.Where();
  // A missing file reads as an empty one; a mistyped path must not pass
  // for a file without the key.
  FileIdentity ignored;
  const Status found = files.Identity(registry_path, &ignored);
  if (!found.ok())
    return "settings file " + registry_path + ": " + found.Reason() +
           " (not installed: no port is served)";
  return "the settings file has no key Tillgate (not installed): no port is served";
}

int RunCheck(const SettingsSource& source, const std::string& working_folder,
             const std::string& state_folder, std::FILE* out) {
  FileSystem& files = SystemFileSystem();
  Checker check(files, out);
  check.Line(std::string(source.Kind()) + ": " + source.Where());
  Status status;
  auto registry = source.OpenForReading(&status);
  if (status.ok()) {
    LoadResult loaded = LoadSettings(*registry, working_folder);
    status = loaded.status;
    if (status.ok()) {
      const Settings& s = loaded.settings;
      if (!s.installed) {
        check.Problem(NotInstalledReason(files, source));
      } else {
        check.Line("goods folder (InPath): " + s.store_goods_folder);
        check.Line("report folder (OutPath): " + s.store_report_folder);
        check.Line(std::string("stock tracking (Res): ") + (s.track_stock ? "on" : "off"));
        check.Line("automatic start (AvtoStart): " + std::to_string(s.auto_start));
        check.Line("rescan (RESCAN): " + (s.rescan_seconds > 0
                                              ? "every " + std::to_string(s.rescan_seconds) + " s"
                                              : std::string("off")));
        check.Folders(s);
        check.GoodsFile(s);
        check.StateFolder(state_folder);
        int connected = 0;
        for (int i = 0; i < kPortCount; ++i) {
          check.Port(s, i);
          connected += s.ports[static_cast<size_t>(i)].connect == 1;
        }
        if (connected == 0) check.Line("no port is connected");
      }
    }
  }
  if (!status.ok()) check.Problem(status.message());
  check.Line(check.problems() == 0 ? "no problem found"
                                   : std::to_string(check.problems()) + " problem(s) found");
  return check.problems() == 0 ? 0 : 1;
}

}  // namespace tillgate

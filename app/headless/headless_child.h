#pragma once
// For tests: the headless program run as a child process with its standard
// error (and standard output) in a pipe, and a scratch shop whose registry
// file points the goods and report folders into it.

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/posix/child_process.h"
#include "platform/scratch_dir.h"

namespace tillgate {

using testing::ProcessSignal;

class HeadlessChild {
 public:
  // Runs the program with `args` (after its name), TILLGATE_REGISTRY set to
  // `registry`, TILLGATE_STATE_DIR to the folder "state" beside it (so that
  // no test shares a journal with another) and `extra_env` ("NAME=value";
  // "@OUTPUT@" stands for OutputId()) added to the environment, started
  // under the name `program_name`.
  HeadlessChild(const std::string& registry, std::vector<std::string> args = {"--headless"},
                std::vector<std::string> extra_env = {},
                const std::string& program_name = "tillgate")
      : child_(Arguments(program_name, args), &Environment(registry, extra_env),
               TILLGATE_HEADLESS_BIN) {}

  bool ok() const { return child_.ok(); }
  // Collects the output until `text` shows up or `seconds` pass.
  bool WaitFor(const std::string& text, int seconds) {
    return child_.WaitFor(text, seconds * 1000);
  }
  // Collects whatever the program writes for `milliseconds`.
  void Drain(int milliseconds) { child_.Drain(milliseconds); }
  // Everything until the program closes its output.
  const std::string& ReadAll(int seconds) { return child_.ReadAll(seconds * 1000); }
  // Exit status, or -1 when the child does not end within `seconds`.
  int Wait(int seconds) { return child_.Wait(seconds * 1000); }
  void Signal(ProcessSignal signal) { child_.Signal(signal); }
  // Stops reading the output: the program's next event line meets a pipe
  // without a reader.
  void CloseOutput() { child_.CloseOutput(); }
  const std::string& Output() const { return child_.Output(); }

 private:
  static std::vector<std::string> Arguments(const std::string& program_name,
                                            const std::vector<std::string>& args) {
    std::vector<std::string> argv{program_name};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
  }
  // The test's environment with the settings file, the state folder and
  // `extra` set in it.
  const std::vector<std::string>& Environment(const std::string& registry,
                                              const std::vector<std::string>& extra) {
    std::vector<std::string> own = {"TILLGATE_REGISTRY=" + registry};
    bool own_state = false;
    for (const std::string& e : extra) own_state |= e.rfind("TILLGATE_STATE_DIR=", 0) == 0;
    if (!own_state)
      own.push_back("TILLGATE_STATE_DIR=" + std::filesystem::path(registry).parent_path().string() +
                    "/state");
    own.insert(own.end(), extra.begin(), extra.end());
    for (const std::string& entry : testing::ProcessEnvironment()) {
      const std::string name = entry.substr(0, entry.find('=') + 1);
      bool replaced = false;
      for (const std::string& x : own) replaced = replaced || x.rfind(name, 0) == 0;
      if (!replaced) own.push_back(entry);
    }
    environment_ = std::move(own);
    return environment_;
  }

  std::vector<std::string> environment_;  // made before the child is started
  testing::ChildProcess child_;
};

// A scratch folder with the registry file; the store's goods and report
// folders point into it (or to `folders` when given), so that runs never
// share report files.
class ScratchShop {
 public:
  explicit ScratchShop(const std::string& equipment, const std::string& folders = "") {
    const std::string folder = folders.empty() ? Dir() : folders;
    std::ofstream out(Registry());
    out << "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_CURRENT_USER\\Tillgate]\n\n"
           "[HKEY_CURRENT_USER\\Tillgate\\DataBase]\n"
           "\"InPath\"=\""
        << folder << "\"\n\"OutPath\"=\"" << folder
        << "\"\n\n"
           "[HKEY_CURRENT_USER\\Tillgate\\Equipment]\n"
        << equipment << "\"AvtoStart\"=dword:00000000\n";
  }
  const std::string& Registry() const { return registry_; }
  const std::string& Dir() const { return dir_.path(); }

 private:
  testing::ScratchDir dir_;
  std::string registry_ = dir_.File("HKEY_CURRENT_USER.reg");
};

}  // namespace tillgate

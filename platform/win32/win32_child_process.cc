// Programs run to their end for tests on Windows: CreateProcessW, the
// shell being cmd.exe. The running child with its output read line by line
// (ChildProcess) has no Windows implementation: tests that need it are left
// out of the Windows build.

#include <windows.h>

#include <string>
#include <vector>

#include "platform/posix/child_process.h"
#include "platform/win32/win32_text.h"

namespace tillgate::testing {
namespace {

// Waits for the end of a process started; its exit code, or -1.
int ExitCodeOf(const PROCESS_INFORMATION& process) {
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  const bool known = GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  return known ? static_cast<int>(code) : -1;
}

}  // namespace

std::vector<std::string> ProcessEnvironment() {
  std::vector<std::string> entries;
  wchar_t* block = GetEnvironmentStringsW();
  if (block == nullptr) return entries;
  for (const wchar_t* entry = block; *entry != L'\0'; entry += wcslen(entry) + 1)
    entries.push_back(Utf8FromWide(entry));
  FreeEnvironmentStringsW(block);
  return entries;
}

int RunToEnd(const std::vector<std::string>& argv) {
  if (argv.empty()) return -1;
  std::wstring command_line;
  for (const std::string& argument : argv)
    command_line += (command_line.empty() ? L"" : L" ") + QuotedArgument(WideFromUtf8(argument));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return -1;
  return ExitCodeOf(process);
}

// The output comes through a pipe read on this thread, so the child is
// started first and the pipe drained before the wait.
int RunShell(const std::string& command, std::string* output,
             const std::vector<std::string>& environment) {
  for (const std::string& entry : environment) {
    const size_t equals = entry.find('=');
    if (equals != std::string::npos)
      SetEnvironmentVariableW(WideFromUtf8(entry.substr(0, equals)).c_str(),
                              WideFromUtf8(entry.substr(equals + 1)).c_str());
  }
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inherited, 0)) return -1;
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  std::wstring command_line = L"cmd.exe /s /c \"" + WideFromUtf8(command) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = write_end;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  const bool started = CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE, 0,
                                      nullptr, nullptr, &startup, &process);
  CloseHandle(write_end);  // the child holds its own copy
  if (!started) {
    CloseHandle(read_end);
    return -1;
  }
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(read_end, chunk, sizeof chunk, &got, nullptr) && got > 0)
    if (output) output->append(chunk, got);
  CloseHandle(read_end);
  return ExitCodeOf(process);
}

}  // namespace tillgate::testing

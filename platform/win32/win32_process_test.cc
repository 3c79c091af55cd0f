// Where things live on Windows, the local time, the system's error texts
// and the console's stop requests.

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>

#include "platform/control_requests.h"
#include "platform/local_time.h"
#include "platform/locations.h"
#include "platform/platform.h"
#include "platform/posix/child_process.h"
#include "platform/scratch_dir.h"
#include "platform/win32/win32_status.h"
#include "platform/win32/win32_text.h"

namespace tillgate {
namespace {

using std::chrono::milliseconds;

EnvironmentReader Fake(std::map<std::string, std::string> values) {
  auto shared = std::make_shared<std::map<std::string, std::string>>(std::move(values));
  return [shared](const char* name) -> const char* {
    auto found = shared->find(name);
    return found == shared->end() ? nullptr : found->second.c_str();
  };
}

TEST(Win32Locations, TheStateFolderByWhoRunsTheServer) {
  const auto env = Fake({{"LOCALAPPDATA", "C:\\Users\\Кассир\\AppData\\Local"},
                         {"ProgramData", "C:\\ProgramData"},
                         {"USERPROFILE", "C:\\Users\\Кассир"}});
  EXPECT_EQ(StateFolderPath(env, Runner::kConsole), "C:\\Users\\Кассир\\AppData\\Local\\Tillgate");
  EXPECT_EQ(StateFolderPath(env, Runner::kService), "C:\\ProgramData\\Tillgate");
  const auto chosen =
      Fake({{"TILLGATE_STATE_DIR", "D:\\state"}, {"ProgramData", "C:\\ProgramData"}});
  EXPECT_EQ(StateFolderPath(chosen, Runner::kConsole), "D:\\state");
  EXPECT_EQ(StateFolderPath(chosen, Runner::kService), "D:\\state");
  // Without the usual variables the journal still has a folder.
  EXPECT_EQ(StateFolderPath(Fake({{"USERPROFILE", "C:\\Users\\a"}}), Runner::kConsole),
            "C:\\Users\\a\\AppData\\Local\\Tillgate");
  EXPECT_EQ(StateFolderPath(Fake({{"ALLUSERSPROFILE", "C:\\ProgramData\\"}}), Runner::kService),
            "C:\\ProgramData\\Tillgate");
  EXPECT_EQ(StateFolderPath(Fake({}), Runner::kService), "tillgate-state");
  EXPECT_EQ(StateFolderPath(Fake({{"TILLGATE_STATE_DIR", ""}}), Runner::kConsole),
            "tillgate-state");
}

TEST(Win32Locations, SettingsFileAndDefaultDevices) {
  EXPECT_EQ(SettingsFilePath(Fake({{"TILLGATE_REGISTRY", "D:\\s.reg"}})), "D:\\s.reg");
  EXPECT_EQ(SettingsFilePath(Fake({{"USERPROFILE", "C:\\Users\\a"}})),
            "C:\\Users\\a\\.config\\tillgate\\HKEY_CURRENT_USER.reg");
  EXPECT_EQ(DefaultDevicePath(0), "\\\\.\\COM1");
  EXPECT_EQ(DefaultDevicePath(15), "\\\\.\\COM16");  // the device namespace opens COM10 and up too
  EXPECT_EQ(DefaultDevicePath(16), "");
  EXPECT_EQ(DefaultDevicePath(-1), "");
}

// The environment and the working folder come as UTF-8 whatever the
// system's code page.
TEST(Win32Locations, EnvironmentAndWorkingFolderInUtf8) {
  ASSERT_TRUE(SetEnvironmentVariableW(L"TILLGATE_TEST_VALUE", L"\u041a\u0430\u0441\u0441\u0430"));
  const EnvironmentReader env = SystemEnvironment();
  const char* value = env("TILLGATE_TEST_VALUE");
  ASSERT_NE(value, nullptr);
  EXPECT_STREQ(value, "Касса");
  SetEnvironmentVariableW(L"TILLGATE_TEST_VALUE", L"other");
  EXPECT_STREQ(env("TILLGATE_TEST_VALUE"), "other");
  EXPECT_STREQ(value, "Касса");  // an earlier answer stays readable
  SetEnvironmentVariableW(L"TILLGATE_TEST_VALUE", nullptr);
  EXPECT_EQ(env("TILLGATE_TEST_VALUE"), nullptr);

  testing::ScratchDir dir;
  const std::string folder = dir.path() + "\\Смена";
  ASSERT_TRUE(CreateDirectoryW(WideFromUtf8(folder).c_str(), nullptr));
  wchar_t previous[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(WideFromUtf8(folder).c_str()));
  const std::string working = WorkingFolder();
  SetCurrentDirectoryW(previous);
  EXPECT_EQ(working, folder);
}

std::chrono::system_clock::time_point At(int64_t unix_ms) {
  return std::chrono::system_clock::time_point(std::chrono::milliseconds(unix_ms));
}

TEST(Win32LocalTime, CalendarTimes) {
  // 2024-02-29 13:45:12.345 UTC
  EXPECT_EQ(UniversalTime(At(1709214312345)), (CivilTime{2024, 2, 29, 13, 45, 12, 345}));
  EXPECT_EQ(UniversalTime(At(0)), (CivilTime{1970, 1, 1, 0, 0, 0, 0}));
  // Local time is the same moment in whole minutes of offset, at most 14 h.
  const CivilTime local = LocalTime(At(1709214312345));
  EXPECT_EQ(local.second, 12);
  EXPECT_EQ(local.millisecond, 345);
  const int minutes = (local.day - 29) * 24 * 60 + (local.hour - 13) * 60 + (local.minute - 45);
  EXPECT_LE(std::abs(minutes), 14 * 60);
}

TEST(Win32Status, ErrorKindsAndTheSystemsText) {
  EXPECT_EQ(Win32ErrorKind(ERROR_SUCCESS), Status::kOk);
  EXPECT_EQ(Win32ErrorKind(ERROR_FILE_NOT_FOUND), Status::kNotFound);
  EXPECT_EQ(Win32ErrorKind(ERROR_PATH_NOT_FOUND), Status::kNotFound);
  EXPECT_EQ(Win32ErrorKind(ERROR_ALREADY_EXISTS), Status::kExists);
  EXPECT_EQ(Win32ErrorKind(ERROR_FILE_EXISTS), Status::kExists);
  EXPECT_EQ(Win32ErrorKind(ERROR_SHARING_VIOLATION), Status::kBusy);
  EXPECT_EQ(Win32ErrorKind(ERROR_LOCK_VIOLATION), Status::kBusy);
  EXPECT_EQ(Win32ErrorKind(ERROR_DISK_FULL), Status::kNoSpace);
  EXPECT_EQ(Win32ErrorKind(ERROR_HANDLE_DISK_FULL), Status::kNoSpace);
  EXPECT_EQ(Win32ErrorKind(ERROR_ACCESS_DENIED), Status::kDenied);
  EXPECT_EQ(Win32ErrorKind(ERROR_WRITE_PROTECT), Status::kDenied);
  EXPECT_EQ(Win32ErrorKind(ERROR_NOT_SUPPORTED), Status::kNotSupported);
  EXPECT_EQ(Win32ErrorKind(ERROR_DIRECTORY), Status::kNotAFolder);
  EXPECT_EQ(Win32ErrorKind(ERROR_CRC), Status::kError);

  const Status denied = StatusFromWin32(ERROR_ACCESS_DENIED, "open");
  EXPECT_EQ(denied.error_number(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(denied.operation(), "open");
  EXPECT_FALSE(denied.Reason().empty());
  EXPECT_NE(denied.Reason().back(), '\n');
  EXPECT_EQ(denied.message(), "open: " + denied.Reason());
  EXPECT_EQ(Win32ErrorText(0xDEAD0000u), "error 3735879680");  // no text for it
  SetLastError(ERROR_DISK_FULL);
  EXPECT_EQ(LastWin32Error("write"), Status::kNoSpace);
}

// Requests posted from other threads (the service's control handler) come
// in order; the console's own are tried on a running program by
// platform/win32/control_probe_test.sh.
TEST(Win32ControlRequests, PostedRequestsComeInOrder) {
  auto requests = ListenForControlRequests();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(requests->Wait(milliseconds(50)).kind, ControlRequest::Kind::kNone);
  EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(45));

  std::thread poster([&] {
    std::this_thread::sleep_for(milliseconds(20));
    requests->Post(ControlRequest{ControlRequest::Kind::kStart, "service paramchange"});
    requests->Post(ControlRequest{ControlRequest::Kind::kStop, "service stop"});
  });
  ControlRequest first = requests->Wait(milliseconds(5000));
  ControlRequest second = requests->Wait(milliseconds(5000));
  poster.join();
  EXPECT_EQ(first.kind, ControlRequest::Kind::kStart);
  EXPECT_EQ(first.name, "service paramchange");
  EXPECT_EQ(second.kind, ControlRequest::Kind::kStop);
}

// Tests here run programs to their end through cmd.exe, as POSIX tests do
// through the shell: output, exit status, the environment handed on.
TEST(Win32ChildProcess, RunToItsEndThroughTheShell) {
  std::string output;
  // cmd.exe writes in the console's code page: plain ASCII here.
  EXPECT_EQ(testing::RunShell("echo Kassa& exit 3", &output), 3);
  EXPECT_EQ(output, "Kassa\r\n");
  output.clear();
  EXPECT_EQ(testing::RunShell("echo %TILLGATE_TEST_RUN%", &output, {"TILLGATE_TEST_RUN=a b"}), 0);
  EXPECT_EQ(output, "a b\r\n");
  bool found = false;
  for (const std::string& entry : testing::ProcessEnvironment())
    found = found || entry == "TILLGATE_TEST_RUN=a b";
  EXPECT_TRUE(found);
  EXPECT_EQ(testing::RunToEnd({"cmd.exe", "/c", "exit 4"}), 4);
  EXPECT_EQ(testing::RunToEnd({"no-such-program-here.exe"}), -1);
  EXPECT_GT(ProcessId(), 0);
}

}  // namespace
}  // namespace tillgate

// The simulator's end of a line on Windows: a COM port (one end of a
// null-modem cable whose other end the server opens). Windows has no
// pseudo-terminals.

#include <windows.h>

#include <algorithm>

#include "platform/sim_port.h"
#include "platform/win32/comm_state.h"
#include "platform/win32/win32_status.h"
#include "platform/win32/win32_text.h"

namespace tillgate {
namespace {

class Win32SimPort final : public SimPort {
 public:
  explicit Win32SimPort(HANDLE handle) : handle_(handle) {}
  ~Win32SimPort() override { CloseHandle(handle_); }

  // Interval and multiplier MAXDWORD: the read returns as soon as a byte is
  // there, or after the constant with none.
  Status Read(uint8_t* buffer, size_t capacity, std::chrono::milliseconds timeout,
              size_t* got) override {
    *got = 0;
    COMMTIMEOUTS wanted{};
    wanted.ReadIntervalTimeout = MAXDWORD;
    wanted.ReadTotalTimeoutMultiplier = MAXDWORD;
    wanted.ReadTotalTimeoutConstant =
        static_cast<DWORD>(std::clamp<int64_t>(timeout.count(), 1, MAXDWORD - 1));
    if (!timeouts_set_ || !SameTimeouts(wanted, timeouts_)) {
      if (!SetCommTimeouts(handle_, &wanted)) return LastWin32Error("SetCommTimeouts");
      timeouts_ = wanted;
      timeouts_set_ = true;
    }
    DWORD n = 0;
    const DWORD asked = static_cast<DWORD>(std::min<size_t>(capacity, MAXDWORD));
    if (!ReadFile(handle_, buffer, asked, &n, nullptr)) return LastWin32Error("read");
    *got = n;
    return Status::Ok();
  }

  // The write time-outs stay 0: a write waits until its bytes have left.
  Status Write(const uint8_t* bytes, size_t size) override {
    size_t done = 0;
    while (done < size) {
      DWORD n = 0;
      const DWORD asked = static_cast<DWORD>(std::min<size_t>(size - done, MAXDWORD));
      if (!WriteFile(handle_, bytes + done, asked, &n, nullptr)) return LastWin32Error("write");
      if (n == 0) return Status(Status::kShortTransfer, "the port took no bytes");
      done += n;
    }
    return Status::Ok();
  }

 private:
  HANDLE handle_;
  COMMTIMEOUTS timeouts_{};
  bool timeouts_set_ = false;
};

}  // namespace

std::unique_ptr<SimPort> CreatePseudoTerminal(std::string* /*device_path*/, Status* status) {
  *status = Status(Status::kNotSupported,
                   "Windows has no pseudo-terminals: give the simulator a COM port (--device)");
  return nullptr;
}

// 9600 8N1 without flow control, as a register's port runs.
std::unique_ptr<SimPort> OpenSimPort(const std::string& path, Status* status) {
  std::wstring wide;
  if (!WideFromUtf8(path, &wide)) {
    *status = Status(Status::kNotFound, "the device name is not valid UTF-8").Within("", path);
    return nullptr;
  }
  HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    *status = LastWin32Error().Within("", path);
    return nullptr;
  }
  LineSettings line;
  line.rts_toggle = false;
  DCB dcb = DcbFor(line);
  COMMTIMEOUTS no_write_limit{};
  if (!SetCommState(handle, &dcb) || !SetCommTimeouts(handle, &no_write_limit)) {
    *status = LastWin32Error().Within("", path);
    CloseHandle(handle);
    return nullptr;
  }
  *status = Status::Ok();
  return std::make_unique<Win32SimPort>(handle);
}

}  // namespace tillgate

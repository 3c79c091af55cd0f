// The serial device over the Windows communications functions: opened with
// share mode 0 (held exclusively) for synchronous I/O, given a whole DCB and
// COMMTIMEOUTS, so that the driver times every read and write itself.

#include <windows.h>

#include <algorithm>
#include <chrono>

#include "platform/platform.h"
#include "platform/serial_device.h"
#include "platform/win32/comm_state.h"
#include "platform/win32/win32_status.h"
#include "platform/win32/win32_text.h"

namespace tillgate {
namespace {

using Clock = std::chrono::steady_clock;

Status NotOpen() { return Status(Status::kNotOpen, "port is not open"); }

uint64_t MillisecondsSince(Clock::time_point start) {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

Status HangUp(const char* operation, DWORD error) {
  std::string message = std::string(operation) + ": line hung up";
  if (error != 0) message += " (" + Win32ErrorText(error) + ")";
  return Status(Status::kHangUp, std::move(message), static_cast<int>(error));
}

// What a transfer that failed with `error` means. A device that went away
// (a USB adapter pulled out; under wine, the far end of a pseudo-terminal
// closed) fails its transfers with one of these instead of saying so.
Status TransferFailure(DWORD error, const char* operation) {
  switch (error) {
    case ERROR_NOT_READY:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_ACCESS_DENIED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
      return HangUp(operation, error);
    default:
      return StatusFromWin32(error, operation);
  }
}

bool RtsToggleRefused(const LineSettings& settings, DWORD error) {
  return settings.rts_toggle && !settings.hardware_flow &&
         (error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_PARAMETER);
}

class Win32SerialDevice final : public SerialDevice {
 public:
  ~Win32SerialDevice() override { (void)Close(); }

  // A bare device name (DEVICE3 = "COM12") is looked up in the device
  // namespace, where COM10 and up are found too.
  Status Open(const std::string& path) override {
    if (IsOpen()) (void)Close();
    std::wstring wide;
    if (!WideFromUtf8(path, &wide))
      return Status(Status::kNotFound, "the device name is not valid UTF-8").Within("open");
    if (!wide.empty() && wide.find_first_of(L"\\/:") == std::wstring::npos)
      wide = L"\\\\.\\" + wide;
    HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      // Windows refuses a port another program holds as access denied.
      if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
        return Status(Status::kBusy, "held by another program", static_cast<int>(error))
            .Within("open");
      return StatusFromWin32(error, "open");
    }
    handle_ = handle;
    timeouts_known_ = false;
    return Status::Ok();
  }

  Status Close() override {
    if (!IsOpen()) return NotOpen();
    HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;  // forgotten first: the handle is gone either way
    if (!CloseHandle(handle)) return LastWin32Error("close");
    return Status::Ok();
  }

  bool IsOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }

  Status GetLineSettings(LineSettings* settings) override {
    if (!IsOpen()) return NotOpen();
    DCB dcb;
    ZeroMemory(&dcb, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle_, &dcb)) return LastWin32Error("GetCommState");
    *settings = LineSettingsFrom(dcb);
    return Status::Ok();
  }

  // The device's own state is read first (a handle that is no serial device
  // fails here), then replaced whole; the time-outs likewise.
  Status SetLineSettings(const LineSettings& settings) override {
    if (!IsOpen()) return NotOpen();
    DCB current;
    ZeroMemory(&current, sizeof current);
    current.DCBlength = sizeof current;
    if (!GetCommState(handle_, &current)) return LastWin32Error("GetCommState");
    COMMTIMEOUTS timeouts;
    if (!GetCommTimeouts(handle_, &timeouts)) return LastWin32Error("GetCommTimeouts");
    DCB wanted = DcbFor(settings);
    if (!SetCommState(handle_, &wanted)) {
      const DWORD error = GetLastError();
      if (!RtsToggleRefused(settings, error)) return StatusFromWin32(error, "SetCommState");
      // Drivers that cannot toggle RTS (many USB adapters; wine) leave it
      // up while the port is open, as drivers elsewhere do.
      LineSettings without_toggle = settings;
      without_toggle.rts_toggle = false;
      wanted = DcbFor(without_toggle);
      if (!SetCommState(handle_, &wanted)) return LastWin32Error("SetCommState");
    }
    const PortTimeouts defaults;
    timeouts_known_ = false;
    return ApplyTimeouts(CommTimeoutsFor(defaults.read, defaults.write));
  }

  Status Read(uint8_t* buffer, size_t count, const ReadTimeouts& timeouts, size_t* got) override {
    *got = 0;
    if (!IsOpen()) return NotOpen();
    if (count == 0) return Status::Ok();
    Status applied = ApplyTimeouts(CommTimeoutsFor(timeouts, write_timeouts_));
    if (!applied.ok()) return applied;
    const DWORD asked = static_cast<DWORD>(std::min<size_t>(count, MAXDWORD));
    DWORD n = 0;
    const BOOL done = ReadFile(handle_, buffer, asked, &n, nullptr);
    *got = n;
    if (!done) return TransferFailure(GetLastError(), "read");
    return Status::Ok();
  }

  // One read per step of the target, each given what is left of the total
  // time-out and, after the first bytes, no more than the interval: the
  // driver cannot carry its interval timer from one read to the next.
  Status ReadUntil(uint8_t* buffer, size_t count, const ReadTimeouts& timeouts,
                   const ReadTarget& target, size_t* got) override {
    *got = 0;
    if (!IsOpen()) return NotOpen();
    const Clock::time_point start = Clock::now();
    const uint64_t total_ms = TotalReadMs(timeouts, count);
    while (*got < count) {
      const size_t wanted = target ? std::min(count, target(buffer, *got)) : count;
      if (*got >= wanted) break;
      const uint64_t elapsed = MillisecondsSince(start);
      if (elapsed >= total_ms) break;
      uint64_t limit = total_ms - elapsed;
      if (*got > 0 && timeouts.interval_ms > 0)
        limit = std::min<uint64_t>(limit, timeouts.interval_ms);
      ReadTimeouts step;
      step.interval_ms = timeouts.interval_ms;
      step.total_multiplier_ms = 0;
      step.total_constant_ms = static_cast<uint32_t>(std::min<uint64_t>(limit, MAXDWORD - 1));
      Status applied = ApplyTimeouts(CommTimeoutsFor(step, write_timeouts_));
      if (!applied.ok()) return applied;
      const DWORD asked = static_cast<DWORD>(std::min<size_t>(wanted - *got, MAXDWORD));
      DWORD n = 0;
      const BOOL done = ReadFile(handle_, buffer + *got, asked, &n, nullptr);
      *got += n;
      if (!done) return TransferFailure(GetLastError(), "read");
      if (n < asked) break;  // timed out
    }
    return Status::Ok();
  }

  // What is waiting is read first without waiting, only so that it can be
  // shown; PurgeComm then drops whatever is left.
  Status FlushInput(uint8_t* kept, size_t capacity, size_t* kept_count) override {
    *kept_count = 0;
    if (!IsOpen()) return NotOpen();
    if (kept != nullptr && capacity > 0) {
      Status applied = ApplyTimeouts(ImmediateReadTimeouts(write_timeouts_));
      if (!applied.ok()) return applied;
      DWORD n = 0;
      const BOOL done = ReadFile(
          handle_, kept, static_cast<DWORD>(std::min<size_t>(capacity, MAXDWORD)), &n, nullptr);
      *kept_count = n;
      if (!done) return TransferFailure(GetLastError(), "read");
    }
    if (!PurgeComm(handle_, PURGE_RXCLEAR)) return TransferFailure(GetLastError(), "PurgeComm");
    return Status::Ok();
  }

  Status Write(const uint8_t* bytes, size_t count, const WriteTimeouts& timeouts,
               size_t* written) override {
    *written = 0;
    if (!IsOpen()) return NotOpen();
    if (count == 0) return Status::Ok();
    write_timeouts_ = timeouts;
    COMMTIMEOUTS wanted = applied_;
    if (!timeouts_known_) wanted = CommTimeoutsFor(PortTimeouts().read, timeouts);
    wanted.WriteTotalTimeoutMultiplier = timeouts.total_multiplier_ms;
    wanted.WriteTotalTimeoutConstant = timeouts.total_constant_ms;
    Status applied = ApplyTimeouts(wanted);
    if (!applied.ok()) return applied;
    DWORD n = 0;
    const BOOL done = WriteFile(handle_, bytes,
                                static_cast<DWORD>(std::min<size_t>(count, MAXDWORD)), &n, nullptr);
    *written = n;
    if (!done) return TransferFailure(GetLastError(), "write");
    return Status::Ok();
  }

  // Devices without modem lines (virtual ports, a pseudo-terminal under
  // wine) refuse the escape function; the caller only needs to know that.
  Status SetDtr(bool raise) override {
    if (!IsOpen()) return NotOpen();
    if (EscapeCommFunction(handle_, raise ? SETDTR : CLRDTR)) return Status::Ok();
    const DWORD error = GetLastError();
    return Status(Status::kNotSupported,
                  "DTR control not supported by this device (" + Win32ErrorText(error) + ")",
                  static_cast<int>(error));
  }

  Status ClearErrors() override {
    if (!IsOpen()) return NotOpen();
    DWORD errors = 0;
    COMSTAT status;
    // A device that went away fails here too, before any transfer.
    if (!ClearCommError(handle_, &errors, &status))
      return TransferFailure(GetLastError(), "ClearCommError");
    return Status::Ok();
  }

 private:
  // SetCommTimeouts only when they change: a line reads and writes with the
  // same ones all the time.
  Status ApplyTimeouts(const COMMTIMEOUTS& wanted) {
    if (timeouts_known_ && SameTimeouts(applied_, wanted)) return Status::Ok();
    COMMTIMEOUTS copy = wanted;
    if (!SetCommTimeouts(handle_, &copy)) {
      timeouts_known_ = false;
      return LastWin32Error("SetCommTimeouts");
    }
    applied_ = wanted;
    timeouts_known_ = true;
    return Status::Ok();
  }

  HANDLE handle_ = INVALID_HANDLE_VALUE;
  COMMTIMEOUTS applied_{};
  bool timeouts_known_ = false;
  WriteTimeouts write_timeouts_;
};

}  // namespace

std::unique_ptr<SerialDevice> NewSystemSerialDevice() {
  return std::make_unique<Win32SerialDevice>();
}

// A port is a name in the device namespace ("\\.\COM7", or "COM7"), which
// the system can look up without opening the port; whether this process
// may use it shows only when it is opened. Any other name is a file or
// nothing.
Status SerialDeviceAccess(const std::string& path, bool* present) {
  *present = false;
  std::wstring wide;
  if (!WideFromUtf8(path, &wide) || wide.empty())
    return Status(Status::kNotFound, "the device name is not valid UTF-8");
  const std::wstring device_prefix = L"\\\\.\\";
  std::wstring device = wide.compare(0, device_prefix.size(), device_prefix) == 0
                            ? wide.substr(device_prefix.size())
                            : wide;
  if (device.find_first_of(L"\\/:") == std::wstring::npos) {
    wchar_t target[1024];
    if (QueryDosDeviceW(device.c_str(), target, 1024) == 0) return LastWin32Error();
    *present = true;
    return Status::Ok();
  }
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return LastWin32Error();
  *present = true;
  return Status::kNotSupported;
}

}  // namespace tillgate

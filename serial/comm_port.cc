#include "serial/comm_port.h"

#include <utility>

namespace tillgate {

TCommPort::TCommPort(std::unique_ptr<SerialDevice> device) : device_(std::move(device)) {}

// Ports are left open until the process ends; releasing the device here is
// what the process end would do anyway.
TCommPort::~TCommPort() = default;

bool TCommPort::Fail(Status result) {
  last_result_ = std::move(result);
  return false;
}

void TCommPort::CloseAfterFailure() {
  // The device forgets its descriptor even when close reports an error, so
  // the port counts as closed either way.
  (void)device_->Close();
  open_ = false;
}

void TCommPort::ApplySettings() {
  device_state_ = port_settings_.line;
  device_timeouts_ = port_settings_.timeouts;
}

bool TCommPort::Open(const std::string& device_path) {
  if (open_) {
    Status closed = device_->Close();
    open_ = false;
    if (!closed.ok()) return Fail(std::move(closed));
  }
  Status opened = device_->Open(device_path);
  if (!opened.ok()) return Fail(std::move(opened));
  open_ = true;
  last_result_ = Status::Ok();
  return true;
}

bool TCommPort::Configure() {
  if (!open_) return Fail(Status(Status::kNotOpen, "port is not open"));
  Status result = device_->GetLineSettings(&device_state_);
  if (result.ok()) {
    ApplySettings();
    result = device_->SetLineSettings(device_state_);
  }
  if (!result.ok()) {
    CloseAfterFailure();
    return Fail(std::move(result));
  }
  last_result_ = Status::Ok();
  return true;
}

bool TCommPort::OpenAndConfigure(const std::string& device_path) {
  return Open(device_path) && Configure();
}

void TCommPort::IoFailed(Status result) {
  (void)device_->ClearErrors();
  if (io_failure_.ok()) io_failure_ = result;
  // A hung-up line never carries another byte; holding on to it would also
  // keep the device from being opened again once it is back.
  if (result.code() == Status::kHangUp) CloseAfterFailure();
  Fail(std::move(result));
}

Status TCommPort::TakeIoFailure() {
  Status taken = std::move(io_failure_);
  io_failure_ = Status::Ok();
  return taken;
}

uint32_t TCommPort::Received(Status result, size_t got) {
  if (!result.ok()) {
    IoFailed(std::move(result));
    return 0;
  }
  bytes_read_ = static_cast<uint32_t>(got);
  return bytes_read_;
}

uint32_t TCommPort::Read(uint8_t* buffer, uint32_t count) {
  bytes_read_ = 0;
  if (!open_) return 0;
  size_t got = 0;
  Status result = device_->Read(buffer, count, device_timeouts_.read, &got);
  return Received(std::move(result), got);
}

uint32_t TCommPort::ReadUntil(uint8_t* buffer, uint32_t count, const ReadTarget& target) {
  bytes_read_ = 0;
  if (!open_) return 0;
  size_t got = 0;
  Status result = device_->ReadUntil(buffer, count, device_timeouts_.read, target, &got);
  return Received(std::move(result), got);
}

bool TCommPort::FlushInput(uint8_t* kept, size_t capacity, size_t* kept_count) {
  size_t count = 0;
  if (kept_count) *kept_count = 0;
  if (!open_) return false;
  Status result = device_->FlushInput(kept, kept ? capacity : 0, &count);
  if (kept_count) *kept_count = count;
  if (!result.ok()) {
    IoFailed(std::move(result));
    return false;
  }
  return true;
}

uint32_t TCommPort::Write(const uint8_t* bytes, uint32_t count) {
  if (!open_) return 0;
  Status cleared = device_->ClearErrors();
  if (!cleared.ok()) {
    // A device that went away is told here first (Windows): the port is
    // closed as after a transfer that hung up.
    if (cleared.code() == Status::kHangUp) {
      if (io_failure_.ok()) io_failure_ = cleared;
      CloseAfterFailure();
    }
    Fail(std::move(cleared));
    return 0;
  }
  bytes_written_ = 0;
  size_t written = 0;
  Status result = device_->Write(bytes, count, device_timeouts_.write, &written);
  if (!result.ok()) {
    IoFailed(std::move(result));
    return 0;
  }
  bytes_written_ = static_cast<uint32_t>(written);
  return bytes_written_;
}

bool TCommPort::SetDtr(bool raise) {
  if (!open_) return false;
  Status result = device_->SetDtr(raise);
  if (!result.ok()) return Fail(std::move(result));
  return true;
}

}  // namespace tillgate

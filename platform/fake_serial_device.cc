#include "platform/fake_serial_device.h"

#include <algorithm>
#include <cstdio>

namespace tillgate {

bool FakeSerialDevice::Failing(Op op, Status* result) const {
  auto it = failures_.find(op);
  if (it != failures_.end()) {
    *result = it->second;
    return true;
  }
  if (!open_ && op != Op::kOpen) {
    *result = Status(Status::kNotOpen, "port is not open");
    return true;
  }
  return false;
}

Status FakeSerialDevice::Open(const std::string& path) {
  calls_.push_back("open " + path);
  Status result;
  auto it = failures_.find(Op::kOpen);
  if (it != failures_.end()) return it->second;
  open_ = true;
  return result;
}

Status FakeSerialDevice::Close() {
  calls_.push_back("close");
  Status result;
  bool failing = Failing(Op::kClose, &result);
  open_ = false;  // released either way, as the interface promises
  return failing ? result : Status::Ok();
}

Status FakeSerialDevice::GetLineSettings(LineSettings* settings) {
  calls_.push_back("get");
  Status result;
  if (Failing(Op::kGetLineSettings, &result)) return result;
  *settings = line_;
  return result;
}

Status FakeSerialDevice::SetLineSettings(const LineSettings& settings) {
  calls_.push_back("set");
  Status result;
  if (Failing(Op::kSetLineSettings, &result)) return result;
  line_ = settings;
  return result;
}

std::vector<uint8_t>* FakeSerialDevice::Source() {
  if (!waiting_.empty()) return &waiting_;
  if (!reads_.empty()) return &reads_.front();
  return nullptr;
}

// Takes from one source only, as a real read ends with what had arrived.
Status FakeSerialDevice::Take(uint8_t* buffer, size_t count, const ReadTarget& target,
                              size_t* got) {
  if (read_hook_) read_hook_(count);
  *got = 0;
  Status result;
  if (Failing(Op::kRead, &result)) return result;
  std::vector<uint8_t>* source = Source();
  if (source == nullptr) return result;
  while (*got < count && *got < source->size()) {
    if (target && *got >= std::min(count, target(buffer, *got))) break;
    buffer[*got] = (*source)[*got];
    ++*got;
  }
  source->erase(source->begin(), source->begin() + static_cast<std::ptrdiff_t>(*got));
  if (source != &waiting_ && source->empty()) reads_.pop_front();
  return result;
}

Status FakeSerialDevice::Read(uint8_t* buffer, size_t count, const ReadTimeouts&, size_t* got) {
  calls_.push_back("read " + std::to_string(count));
  return Take(buffer, count, {}, got);
}

Status FakeSerialDevice::ReadUntil(uint8_t* buffer, size_t count, const ReadTimeouts&,
                                   const ReadTarget& target, size_t* got) {
  calls_.push_back("read " + std::to_string(count) + " until");
  return Take(buffer, count, target, got);
}

Status FakeSerialDevice::FlushInput(uint8_t* kept, size_t capacity, size_t* kept_count) {
  calls_.push_back("flush");
  *kept_count = 0;
  Status result;
  if (Failing(Op::kFlushInput, &result)) return result;
  *kept_count = std::min(capacity, waiting_.size());
  std::copy_n(waiting_.begin(), *kept_count, kept);
  waiting_.clear();
  return result;
}

Status FakeSerialDevice::Write(const uint8_t* bytes, size_t count, const WriteTimeouts&,
                               size_t* written) {
  std::string call = "write";
  char hex[4];
  for (size_t i = 0; i < count; ++i) {
    std::snprintf(hex, sizeof hex, " %02X", bytes[i]);
    call += hex;
  }
  calls_.push_back(call);
  *written = 0;
  Status result;
  if (Failing(Op::kWrite, &result)) return result;
  written_.insert(written_.end(), bytes, bytes + count);
  *written = count;
  return result;
}

Status FakeSerialDevice::SetDtr(bool raise) {
  calls_.push_back(raise ? "dtr 1" : "dtr 0");
  Status result;
  Failing(Op::kSetDtr, &result);
  return result;
}

Status FakeSerialDevice::ClearErrors() {
  calls_.push_back("clear");
  Status result;
  Failing(Op::kClearErrors, &result);
  return result;
}

}  // namespace tillgate

#include "line/register_peer.h"

#include <thread>

#include "line/frames.h"

namespace tillgate {

RegisterPeer::RegisterPeer() {
  if (pty_.ok()) thread_ = std::thread([this] { Run(); });
}

RegisterPeer::~RegisterPeer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void RegisterPeer::SetAnswering(std::set<int> network_numbers) {
  std::lock_guard<std::mutex> lock(mutex_);
  answering_ = std::move(network_numbers);
}

void RegisterPeer::SetReply(char type) {
  std::lock_guard<std::mutex> lock(mutex_);
  reply_ = type;
}

void RegisterPeer::SetLineSpeed(uint32_t bits_per_second) { bits_per_second_ = bits_per_second; }

std::chrono::nanoseconds RegisterPeer::WireTime(size_t count) const {
  const uint32_t speed = bits_per_second_.load();
  if (speed == 0) return std::chrono::nanoseconds(0);
  return std::chrono::nanoseconds(static_cast<int64_t>(count) * 10 * 1'000'000'000 / speed);
}

std::vector<std::chrono::steady_clock::time_point> RegisterPeer::PollTimes(int network_number) {
  std::lock_guard<std::mutex> lock(mutex_);
  return polled_at_[network_number];
}

std::vector<std::string> RegisterPeer::Served() {
  std::lock_guard<std::mutex> lock(mutex_);
  return served_;
}

void RegisterPeer::ClearServed() {
  std::lock_guard<std::mutex> lock(mutex_);
  served_.clear();
}

void RegisterPeer::Run() {
  std::vector<uint8_t> pending;
  while (!stop_) {
    if (!pty_.WaitReadable(5)) continue;
    std::vector<uint8_t> bytes = pty_.Drain();
    // On a serial line the last of them would only now have arrived.
    std::this_thread::sleep_for(WireTime(bytes.size()));
    pending.insert(pending.end(), bytes.begin(), bytes.end());
    Handle(pending);
  }
}

void RegisterPeer::Handle(std::vector<uint8_t>& pending) {
  while (!pending.empty()) {
    const uint8_t first = pending[0];
    if (first >= PollByte(1) && first <= PollByte(10)) {
      const uint8_t nn = first & 0x0F;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        served_.push_back("poll " + std::to_string(nn));
        polled_at_[nn].push_back(std::chrono::steady_clock::now());
      }
      pending.erase(pending.begin());
      Answer(nn);
      continue;
    }
    if (pending.size() < 3) return;
    const size_t size = pending[2] + 3u;
    if (pending.size() < size) return;
    const uint8_t nn = first;
    const bool start = size == kCommandFrameSize && pending[4] == kCommandStart;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      served_.push_back(start ? "start " + std::to_string(nn)
                              : "frame " + std::to_string(nn) + " " + std::to_string(pending[4]));
    }
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(size));
    if (start) Answer(nn);
  }
}

void RegisterPeer::Answer(uint8_t network_number) {
  char type;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!answering_.count(network_number)) return;
    type = reply_;
  }
  uint8_t frame[kFrameBufferSize];
  // A message frame of 6 bytes, laid out like a command frame.
  BuildCommandFrame(frame, network_number, static_cast<uint8_t>(type));
  if (bits_per_second_.load() == 0) {
    pty_.Send(std::vector<uint8_t>(frame, frame + kCommandFrameSize));
    return;
  }
  auto next = std::chrono::steady_clock::now();
  for (int i = 0; i < kCommandFrameSize; ++i) {
    next += WireTime(1);
    std::this_thread::sleep_until(next);
    pty_.Send({frame[i]});
  }
}

}  // namespace tillgate

#include "line/register_peer.h"

#include <poll.h>
#include <unistd.h>

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
    pollfd pfd{pty_.MasterFd(), POLLIN, 0};
    if (poll(&pfd, 1, 5) <= 0) continue;
    if (!(pfd.revents & POLLIN)) {
      usleep(2000);  // no slave open yet
      continue;
    }
    std::vector<uint8_t> bytes = pty_.Drain();
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
  pty_.Send(std::vector<uint8_t>(frame, frame + kCommandFrameSize));
}

}  // namespace tillgate

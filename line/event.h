#pragma once
// THandledObject and TEvent: the program's only delay. The one instance,
// DelayEvent, is never signalled while the server runs, so every WaitFor on
// it lasts its full time; stopping the engine signals it so that any wait in
// progress ends at once.

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace tillgate {

// Owns one synchronisation object ("handle") for its whole life and releases
// it on destruction.
class THandledObject {
 public:
  virtual ~THandledObject();
  THandledObject(const THandledObject&) = delete;
  THandledObject& operator=(const THandledObject&) = delete;

  // Non-zero while the object is held.
  uintptr_t Handle() const { return reinterpret_cast<uintptr_t>(state_.get()); }

 protected:
  struct State {
    std::mutex mutex;
    std::condition_variable changed;
    bool signalled = false;
  };
  THandledObject();
  State& state() const { return *state_; }

 private:
  std::unique_ptr<State> state_;
};

class TEvent final : public THandledObject {
 public:
  // Named `name` + ".Data"; initially not signalled.
  TEvent(const std::string& name, bool manual_reset);

  // True only when the event was (or becomes) signalled within `ms`
  // milliseconds; false when the time ran out. An auto-reset event is
  // consumed by the wait that sees it.
  bool WaitFor(uint32_t ms);
  void SetEvent();
  void ResetEvent();

  const std::string& Name() const { return name_; }
  bool ManualReset() const { return manual_reset_; }

 private:
  std::string name_;
  bool manual_reset_;
};

// The name DelayEvent is created with.
inline constexpr const char* kDelayEventName = "NNN";

}  // namespace tillgate

#pragma once
// Test helpers for the window: a QApplication on the offscreen platform,
// dialogs answered from a script, and a window started over a registry file
// in a scratch folder (with an engine that records its commands).

#include <gtest/gtest.h>

#include <QString>
#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/presenter/event_log.h"
#include "app/presenter/fake_engine.h"
#include "app/window/dialogs.h"
#include "app/window/tform1.h"
#include "config/forwarding_registry_store.h"
#include "platform/registry_store.h"
#include "platform/scratch_dir.h"

class QWidget;

namespace tillgate::testing {

// Creates the application once per process.
void EnsureApplication();

// Runs the event loop until `condition` holds (true) or `timeout_ms` has
// passed (false). Qt's QTRY_ macros must not be used under GoogleTest: when
// they time out they only return from the test, which then passes.
bool WaitUntil(const std::function<bool()>& condition, int timeout_ms);

class ScriptedDialogs final : public Dialogs {
 public:
  struct Shown {
    DialogKind kind;
    QString text;
    unsigned buttons;
  };
  // Answers in order; once they run out, OK where offered, else kClosed.
  std::deque<DialogAnswer> answers;
  std::vector<Shown> shown;
  // Like a real message box: a window of its own takes the focus while the
  // dialog is up.
  bool take_focus = false;

  DialogAnswer Show(DialogKind kind, const QString& text, unsigned buttons) override;
  // Texts of every dialog shown so far.
  std::vector<QString> Texts() const;
};

// A store that refuses writes of one chosen value, like a registry that
// cannot create a key; everything else goes to the real store.
class FailingStore final : public ForwardingRegistryStore {
 public:
  explicit FailingStore(RegistryStore& real) : ForwardingRegistryStore(real) {}
  std::string fail_name;  // empty: refuse nothing

  Status WriteString(const std::string& name, const std::string& value) override {
    return name == fail_name ? Refuse(name) : ForwardingRegistryStore::WriteString(name, value);
  }
  Status WriteDword(const std::string& name, uint32_t value) override {
    return name == fail_name ? Refuse(name) : ForwardingRegistryStore::WriteDword(name, value);
  }
  Status WriteBinary(const std::string& name, const uint8_t* data, size_t size) override {
    return name == fail_name ? Refuse(name)
                             : ForwardingRegistryStore::WriteBinary(name, data, size);
  }

 private:
  static Status Refuse(const std::string& name) { return Status::Error(FailedToSetMessage(name)); }
};

// A window over the registry file `registry_text` (not written when empty),
// showing the events of `events` when given.
class Harness {
 public:
  explicit Harness(const std::string& registry_text, EngineFactory factory = nullptr,
                   bool fake_engine = true, EventLog* events = nullptr);
  ~Harness();

  // Runs StartUp; the result is kept in started.
  bool Start();
  // A control of the window by its designer name; fails the test when absent.
  template <typename W>
  W* Find(const QString& name) const {
    W* widget = form->findChild<W*>(name);
    if (widget == nullptr)
      ADD_FAILURE_AT(__FILE__, __LINE__) << "no control " << name.toStdString();
    return widget;
  }
  std::string RegistryText() const { return ReadFile(registry_path); }

  ScratchDir dir;
  std::string registry_path;
  std::unique_ptr<RegistryStore> store;
  std::unique_ptr<FailingStore> failing;  // what the window writes through
  ScriptedDialogs dialogs;
  FakeEngine* engine = nullptr;  // owned by the window once built
  int end_requests = 0;
  std::unique_ptr<TForm1> form;
};

// An installed registry with COM1 connected (model 1, started), the given
// extra Equipment lines, and both folders at `folder`.
std::string InstalledRegistry(const std::string& folder, const std::string& equipment_extra = "",
                              int auto_start = 0);

}  // namespace tillgate::testing

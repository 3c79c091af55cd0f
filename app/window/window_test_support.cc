#include "app/window/window_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QThread>

#include "config/reg_file_store.h"
#include "platform/platform.h"

namespace tillgate::testing {

void EnsureApplication() {
  static QApplication* app = [] {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "window_test";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);
  }();
  (void)app;
}

bool WaitUntil(const std::function<bool()>& condition, int timeout_ms) {
  QDeadlineTimer deadline(timeout_ms);
  while (!condition()) {
    if (deadline.hasExpired()) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  return true;
}

DialogAnswer ScriptedDialogs::Show(DialogKind kind, const QString& text, unsigned buttons) {
  shown.push_back({kind, text, buttons});
  if (take_focus) {
    QLineEdit box;
    box.show();
    QApplication::setActiveWindow(&box);
    box.setFocus(Qt::ActiveWindowFocusReason);
    QApplication::processEvents();
  }
  if (!answers.empty()) {
    const DialogAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  return (buttons & kButtonOk) ? DialogAnswer::kOk : DialogAnswer::kClosed;
}

std::vector<QString> ScriptedDialogs::Texts() const {
  std::vector<QString> texts;
  for (const Shown& s : shown) texts.push_back(s.text);
  return texts;
}

Harness::Harness(const std::string& registry_text, EngineFactory factory, bool fake_engine,
                 EventLog* events) {
  EnsureApplication();
  registry_path = dir.File("HKEY_CURRENT_USER.reg");
  if (!registry_text.empty()) WriteFile(registry_path, registry_text);
  Status opened;
  store = OpenRegistryFile(NewSystemFileLayer(), registry_path, &opened);
  EXPECT_TRUE(opened.ok()) << opened.message();
  WindowDeps deps;
  failing = std::make_unique<FailingStore>(*store);
  deps.store = failing.get();
  deps.dialogs = &dialogs;
  deps.working_dir = dir.path();
  deps.end_program = [this] { ++end_requests; };
  deps.events = events;
  if (factory) {
    deps.make_engine = std::move(factory);
  } else if (fake_engine) {
    deps.make_engine = [this](const Settings& settings) {
      auto fake = std::make_unique<FakeEngine>();
      for (int port = 0; port < kPortCount; ++port)
        fake->lines[port] = settings.ports[port].connect == 1 && settings.ports[port].model >= 1 &&
                            settings.ports[port].model <= 3;
      engine = fake.get();
      return fake;
    };
  }
  form = std::make_unique<TForm1>(std::move(deps));
}

Harness::~Harness() { form.reset(); }

bool Harness::Start() { return form->StartUp(); }

std::string InstalledRegistry(const std::string& folder, const std::string& equipment_extra,
                              int auto_start) {
  std::string text =
      "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_CURRENT_USER\\Tillgate]\n\n"
      "[HKEY_CURRENT_USER\\Tillgate\\DataBase]\n"
      "\"InPath\"=\"" +
      folder +
      "\"\n"
      "\"OutPath\"=\"" +
      folder +
      "\"\n\n"
      "[HKEY_CURRENT_USER\\Tillgate\\Equipment]\n";
  for (int port = 1; port <= kPortCount; ++port) {
    const std::string n = std::to_string(port);
    if (equipment_extra.find("\"COM" + n + "\"=") == std::string::npos)
      text += "\"COM" + n + "\"=hex:" + (port == 1 ? "01,01,01" : "00,00,01") + "\n";
    text += "\"MASKA" + n + "\"=\"25CCCCCWWWWW\"\n";
    text += "\"STROKA" + n + "\"=\"NC\"\n";
  }
  text += equipment_extra;
  char dword[16];
  std::snprintf(dword, sizeof dword, "%08x", auto_start);
  text += "\"AvtoStart\"=dword:" + std::string(dword) + "\n";
  return text;
}

}  // namespace tillgate::testing

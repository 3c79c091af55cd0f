// tillgate-regsim: simulated cash registers on one serial line.

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

#include "config/version.h"
#include "config/whole_number.h"
#include "platform/arguments.h"
#include "platform/control_requests.h"
#include "platform/sim_port.h"
#include "tools/regsim/line_simulator.h"
#include "tools/regsim/scenario.h"

namespace {

using tillgate::regsim::Scenario;
using tillgate::regsim::ScenarioParser;

// Ends `stop` when a stop request comes from outside (SIGINT, SIGTERM, and
// SIGHUP, which ended the simulator before requests were taken), until the
// simulator ends by itself.
class StopOnRequest {
 public:
  explicit StopOnRequest(std::atomic<bool>& stop)
      : requests_(tillgate::ListenForControlRequests()), stop_(stop) {
    watcher_ = std::thread([this] {
      while (!stop_.load()) {
        if (requests_->Wait(std::chrono::minutes(1)).kind != tillgate::ControlRequest::Kind::kNone)
          stop_.store(true);
      }
    });
  }
  ~StopOnRequest() {
    stop_.store(true);
    requests_->Post({tillgate::ControlRequest::Kind::kStop, "simulation over"});
    watcher_.join();
  }

 private:
  std::unique_ptr<tillgate::ControlRequests> requests_;
  std::atomic<bool>& stop_;
  std::thread watcher_;
};

constexpr const char* kHelp = R"(Usage: tillgate-regsim [options]

Simulates cash registers (network numbers 1..10) on one serial line. Without
--device it creates a pseudo-terminal and prints "pty PATH" as the first line;
point the server's port at PATH. Each register answers the start command and
its poll byte with the next message of its script, with a short "f" frame when
it has nothing to say, and with silence while it is off. Every frame from the
server is checked; one line is printed per exchange.

Options:
  --scenario FILE     read the scenario from FILE
  --register N        following --send steps belong to register N (1..10)
  --send "STEP"       one scenario step; several may be joined with ';'
  --device PATH       use an existing device instead of a new pseudo-terminal
  --loop              repeat each script (from its "loop" step) until killed;
                      automatic document numbers keep rising
  --forever           keep answering after the scenario is done, until killed
  --resend            send a message left without an answer again at the next
                      poll, with the same sequence byte, until it is answered
                      (as a real register does; for a server that restarts)
  --answer-timeout MS how long to wait for the answer to a message (3000)
  --max-time SECONDS  give up (exit 1) when the scenario is not done by then
  --first-document N  first automatic document number (1)
  --verbose           also print polls and "nothing to say" exchanges
  --version           print the version
  --help              this text

Scenario steps (one per line in a file; '#' starts a comment):
  register N                 following steps belong to register N
  d SERIAL YEAR              identification: 7-character serial, year 0..99
  p|q|l CODE [QTY]           sale / return / void by goods code (0..65535)
  s|z|k BARCODE [QTY]        sale / return / void by barcode (1..14 digits)
  i [DOC] [date=DD.MM] [time=HH:MM]
                             close the document; DOC rising from 1 and the
                             current date and time when left out
  f                          "f" message (answered "+")
  raw HEX...                 a frame sent exactly as given, e.g. raw 02300300669A
  repeat                     the previous goods message again, same sequence byte
  wait DURATION              e.g. wait 500ms, wait 2s
  off / on                   stop / resume answering
  junk HEX...                bytes sent at once, unasked (noise on the line)
  loop                       with --loop, the script repeats from here
QTY is in thousandths as on the wire (1500 = 1.5; 0 stands for one piece).
Messages take options: seq=N (sequence byte; automatic otherwise),
expect=goods|none|+|o|!|u (the answer required; any answer otherwise), and
faults to test a server with: late=DURATION (sent that long after the poll),
from=N (byte 0 names register N), sum=bad (the checksum is one off).

Output lines (examples):
  pty /dev/pts/7
  net=2 got command a
  net=2 sent s seq=5 barcode=2512345012345 qty=0
  net=2 got goods text="Сыр             |12.50     *1.234" amount=1543 section=1
  net=2 got command o
  net=2 no-answer to=p seq=3 reason=timeout
  net=2 no-answer to=p seq=3 reason=polled again resend      (with --resend)
  net=2 sent p seq=3 code=101 qty=0 resend
  net=2 mismatch seq=3 want=u got=goods
  malformed net=2 reason="bad checksum" bytes=0130030061FF
  done sent=4 answers=4 malformed=0 unanswered=0 mismatched=0

Exit status: 0 when every frame was well-formed and every message got the
answer it needed; 1 otherwise; 2 for a bad command line or scenario.
)";

bool ReadFile(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream all;
  all << in.rdbuf();
  *text = all.str();
  return true;
}

int Usage(const std::string& message) {
  std::cerr << "tillgate-regsim: " << message << "\n(see tillgate-regsim --help)\n";
  return 2;
}

// Parses a non-negative whole number; false on anything else.
bool Whole(const char* text, long long max, long long* out) {
  return tillgate::ParseWholeNumber(text, max, out);
}

}  // namespace

int main(int argc, char** argv) {
  // As UTF-8 on every system (a Cyrillic file name on Windows).
  tillgate::ProgramArguments arguments(argc, argv);
  argc = arguments.argc();
  argv = arguments.argv();
  tillgate::regsim::SimOptions options;
  std::string scenario_path;
  std::string device;
  ScenarioParser cli;  // --register and --send, in order
  bool cli_steps = false;

  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    long long number = 0;
    if (arg == "--help" || arg == "-h") {
      std::cout << kHelp;
      return 0;
    } else if (arg == "--version") {
      tillgate::PrintVersion();
      return 0;
    } else if (arg == "--loop") {
      options.loop = true;
    } else if (arg == "--forever") {
      options.forever = true;
    } else if (arg == "--verbose") {
      options.verbose = true;
    } else if (arg == "--resend") {
      options.resend = true;
    } else if (arg == "--scenario" || arg == "--device") {
      const char* v = value();
      if (v == nullptr) return Usage(arg + " needs a path");
      (arg == "--scenario" ? scenario_path : device) = v;
    } else if (arg == "--register" || arg == "--send") {
      const char* v = value();
      if (v == nullptr) return Usage(arg + " needs a value");
      std::string text = arg == "--register" ? std::string("register ") + v : std::string(v);
      std::stringstream steps(text);
      std::string step;
      while (std::getline(steps, step, ';')) {
        if (!cli.AddLine(step, i)) {
          return Usage("argument " + std::to_string(i) + " \"" + v + "\": " + cli.error());
        }
      }
      cli_steps = true;
    } else if (arg == "--answer-timeout" || arg == "--max-time" || arg == "--first-document") {
      const char* v = value();
      if (v == nullptr || !Whole(v, 0xFFFFFFFFLL, &number)) return Usage(arg + " needs a number");
      if (arg == "--answer-timeout") {
        if (number == 0) return Usage("--answer-timeout must be at least 1 ms");
        options.answer_timeout = std::chrono::milliseconds(number);
      }
      if (arg == "--max-time") options.max_time = std::chrono::seconds(number);
      if (arg == "--first-document") options.first_document = static_cast<uint32_t>(number);
    } else {
      return Usage("unknown argument \"" + arg + "\"");
    }
  }

  Scenario scenario;
  if (!scenario_path.empty()) {
    std::string text, error;
    if (!ReadFile(scenario_path, &text)) return Usage("cannot read " + scenario_path);
    if (!tillgate::regsim::ParseScenarioText(text, &scenario, &error)) {
      return Usage(scenario_path + ": " + error);
    }
  }
  if (cli_steps) {
    for (const auto& script : cli.scenario().registers) {
      bool merged = false;
      for (auto& existing : scenario.registers) {
        if (existing.net == script.net) {
          existing.steps.insert(existing.steps.end(), script.steps.begin(), script.steps.end());
          merged = true;
        }
      }
      if (!merged) scenario.registers.push_back(script);
    }
  }
  if (scenario.registers.empty())
    return Usage("no register to simulate (--scenario or --register)");

  std::string path;
  tillgate::Status opened;
  std::unique_ptr<tillgate::SimPort> port = device.empty()
                                                ? tillgate::CreatePseudoTerminal(&path, &opened)
                                                : tillgate::OpenSimPort(device, &opened);
  if (!port) {
    std::cerr << "tillgate-regsim: " << opened.message() << "\n";
    return 2;
  }
  std::cout << (device.empty() ? "pty " + path : "device " + device) << std::endl;

  tillgate::IgnoreBrokenPipes();
  std::atomic<bool> stop{false};
  StopOnRequest stop_on_request(stop);
  tillgate::regsim::LineSimulator line(scenario, options, std::cout);
  return line.Run(*port, stop);
}

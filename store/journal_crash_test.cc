// Registers selling and closing documents while the store crashes or fails
// at every single write it makes: after a restart, with the registers
// repeating what was not answered, every answered sale is in the report
// exactly once, every document whole and in order, and the header count
// true.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "store/store_fixture.h"

namespace tillgate {
namespace {

using testing::StoreTest;

struct Step {
  enum Kind { kSale, kRepeat, kClose, kRestart, kHandOver } kind;
  uint32_t line = 0;
  uint8_t network = 0;
  const char* code = "";
  double quantity = 0;  // distinct for every sale: it names the sale in the report
  char op = kOpSaleByCode;
  uint32_t document = 0;
};

Step Sale(uint32_t line, uint8_t network, const char* code, double quantity,
          char op = kOpSaleByCode) {
  return {Step::kSale, line, network, code, quantity, op};
}
Step Repeat(uint32_t line, uint8_t network) { return {Step::kRepeat, line, network}; }
Step Close(uint32_t line, uint8_t network, uint32_t document) {
  return {Step::kClose, line, network, "", 0, 0, document};
}
Step Restart() { return {Step::kRestart}; }
Step HandOver() { return {Step::kHandOver}; }

// Two registers on two lines; a repeated message, a return, a clean stop
// with documents open, hand-overs to the back office.
const std::vector<Step> kScenario = {
    Sale(0, 1, "100", 1.001),
    Sale(0, 1, "300", 1.002),
    Sale(1, 3, "100", 1.003),
    Repeat(0, 1),
    Sale(1, 3, "300", 1.004),
    Close(0, 1, 11),
    HandOver(),
    Restart(),
    Sale(1, 3, "100", 1.005),
    Sale(0, 1, "100", 1.006),
    Close(1, 3, 21),
    Sale(0, 1, "300", 1.007, kOpReturn),
    Close(0, 1, 12),
    HandOver(),
    Sale(1, 3, "300", 1.008),
    Close(1, 3, 22),
};

// What a register knows: its sequence byte, its last goods message, and the
// sales it was answered for in the document it has open.
struct SimulatedRegister {
  uint8_t sequence = 0;
  GoodsRequest last;
  std::vector<std::string> answered;
};

class JournalCrash : public StoreTest {
 protected:
  void SetUp() override { PutGoods("tovars.dbf", testing::TwoGoods("100000.000")); }

  // One row as the check compares it: document, operation, code, quantity.
  static std::string RowText(uint32_t document, char op, const std::string& code, double quantity) {
    char text[64];
    std::snprintf(text, sizeof text, "%u %c%s %.3f", document, op, code.c_str(), quantity);
    return text;
  }

  // A start of the server; a crash armed beforehand stays armed.
  void Start() { MakeJournaledStore(/*track_stock=*/true); }

  // The process died: the store goes without another word to the disk, and
  // a new one starts on what the disk holds.
  void StartAfterCrash() {
    ++restarts_;
    store_.reset();  // still crashed: nothing it tries on its way out lands
    fs_.Clear();
    if (ask_while_down_) BackOfficeAsks();
    Start();
  }

  SimulatedRegister& Register(uint32_t line, uint8_t network) {
    return registers_[line * 10 + network - 1];
  }

  // Sends until the register has its answer: a message cut off by a crash
  // goes again with the same sequence byte after the restart; a refused one
  // is keyed again as a new message.
  void SendGoods(SimulatedRegister& r, GoodsRequest request) {
    for (int attempt = 0; attempt < 20; ++attempt) {
      const GoodsOutcome outcome = store_->ServeGoods(request);
      if (fs_.Crashed()) {
        StartAfterCrash();
        continue;
      }
      if (outcome.Served()) {
        r.last = request;
        r.answered.push_back(
            RowText(0, request.operation_code, request.goods_code, request.quantity));
        return;
      }
      request.sequence = r.sequence = static_cast<uint8_t>(r.sequence + 1);
    }
    ADD_FAILURE() << "a goods message was never answered";
  }

  // A repetition takes the previous answer back and is answered anew: the
  // register still holds that one sale.
  void RepeatGoods(SimulatedRegister& r) {
    ASSERT_FALSE(r.answered.empty());
    r.answered.pop_back();
    SendGoods(r, r.last);
  }

  void CloseDocument(SimulatedRegister& r, const Step& step) {
    DocumentClose document;
    document.document_number = step.document;
    document.day = 0x15;
    document.month = 0x03;
    for (int attempt = 0; attempt < 20; ++attempt) {
      const int rows = store_->CloseDocument(step.line, step.network, document);
      if (fs_.Crashed()) {
        StartAfterCrash();
        continue;
      }
      if (rows < 0) continue;  // not booked: the register closes it again
      for (const std::string& sale : r.answered)
        expected_.push_back(std::to_string(step.document) + sale.substr(1));
      r.answered.clear();
      r.sequence = 0;
      return;
    }
    ADD_FAILURE() << "a document was never closed";
  }

  // The back office: once its last request is done, collects what it
  // handed over, if anything, and asks for the next hand-over.
  void BackOfficeAsks() {
    if (testing::FileExists(Reports("otchet.exp"))) return;  // not done yet
    if (testing::FileExists(Reports("otchet2.dbf"))) {
      std::string problem;
      for (const std::string& row : ReportRows("otchet2.dbf", &problem)) collected_.push_back(row);
      EXPECT_EQ(problem, "") << "otchet2.dbf";
      std::filesystem::remove(Reports("otchet2.dbf"));
    }
    Signal(Reports("otchet.exp"));
  }

  // A report step carries the request out.
  void AskForHandOver() {
    BackOfficeAsks();
    store_->ExchangeReport();
    if (fs_.Crashed()) StartAfterCrash();
  }

  void Run(const std::vector<Step>& scenario) {
    for (const Step& step : scenario) {
      if (step.kind == Step::kHandOver) {
        AskForHandOver();
        continue;
      }
      if (step.kind == Step::kRestart) {
        Start();
        // A crash while it starts: it starts again.
        if (fs_.Crashed()) StartAfterCrash();
        continue;
      }
      SimulatedRegister& r = Register(step.line, step.network);
      if (step.kind == Step::kSale) {
        r.sequence = static_cast<uint8_t>(r.sequence + 1);
        SendGoods(r, testing::Request(step.line, step.network, r.sequence, step.code, step.quantity,
                                      step.op));
      } else if (step.kind == Step::kRepeat) {
        RepeatGoods(r);
      } else {
        CloseDocument(r, step);
      }
    }
    // Whatever waits for the report is written at the next step.
    store_->ExchangeReport();
    if (fs_.Crashed()) {
      StartAfterCrash();
      store_->ExchangeReport();
    }
  }

  // A report file as a reader that trusts the header sees it.
  std::vector<std::string> ReportRows(const std::string& name, std::string* problem) {
    const std::string bytes = testing::ReadFile(Reports(name));
    if (bytes.size() < static_cast<size_t>(kReportHeaderLength)) {
      *problem = "no " + name;
      return {};
    }
    uint32_t count = 0;
    std::memcpy(&count, bytes.data() + 4, 4);
    if (bytes.size() != kReportHeaderLength + size_t{count} * kReportRecordLength)
      *problem = name + ": header counts " + std::to_string(count) + " records in " +
                 std::to_string(bytes.size()) + " bytes";
    std::vector<std::string> rows;
    for (const auto& record : testing::ReadDbfRecords(Reports(name)))
      rows.push_back(RowText(std::stoul(record.at("CHECK")), record.at("OPERATE")[0],
                             record.at("CODE"), std::stod(record.at("QUANTY"))));
    return rows;
  }

  // Every row the back office collected or will collect, in order.
  void ExpectReportTrue(const std::string& what) {
    std::string problem;
    std::vector<std::string> rows = collected_;
    if (testing::FileExists(Reports("otchet2.dbf"))) {
      for (const std::string& row : ReportRows("otchet2.dbf", &problem)) rows.push_back(row);
      EXPECT_EQ(problem, "") << what;
    }
    for (const std::string& row : ReportRows("otchet.dbf", &problem)) rows.push_back(row);
    EXPECT_EQ(problem, "") << what;
    EXPECT_EQ(rows, expected_) << what;
    EXPECT_EQ(Pool().PendingCount(), 0) << what;
    EXPECT_EQ(QueuedRows(), 0) << what;
  }

  // Runs the scenario from scratch; `arm` sets the fault up after the first
  // start. The writes of the whole run, counted.
  int RunFresh(const std::function<void()>& arm) {
    for (const char* name : {"otchet.dbf", "otchet2.dbf", "otchet.exp"})
      std::filesystem::remove_all(report_dir_.path() + "/" + name);
    collected_.clear();
    std::filesystem::remove_all(state_dir_.path());
    std::filesystem::create_directory(state_dir_.path());
    SetUp();
    for (auto& r : registers_) r = SimulatedRegister();
    expected_.clear();
    restarts_ = 0;
    fs_.Clear();
    Start();
    const int writes_before = fs_.Calls(FsOp::kWrite);
    arm();
    Run(kScenario);
    return fs_.Calls(FsOp::kWrite) - writes_before;
  }

  SimulatedRegister registers_[160];
  std::vector<std::string> expected_;
  std::vector<std::string> collected_;  // from hand-overs the back office took
  bool ask_while_down_ = false;         // the back office asks while the server is down
  int restarts_ = 0;
};

TEST_F(JournalCrash, ACrashAtAnyWriteLosesNoAnsweredSaleAndTearsNoDocument) {
  const int writes = RunFresh([] {});
  ExpectReportTrue("without a crash");
  ASSERT_EQ(expected_.size(), 8u);
  ASSERT_GT(writes, 30);
  // The back office may ask for the report while the server is down: the
  // hand-over then comes first at the start.
  for (const auto& [torn, ask] : {std::pair{false, false}, {true, false}, {false, true}}) {
    ask_while_down_ = ask;
    for (int n = 1; n <= writes; ++n) {
      const std::string what = std::string(torn ? "torn " : "") + "crash at write " +
                               std::to_string(n) + " of " + std::to_string(writes) +
                               (ask ? ", hand-over asked for while down" : "");
      RunFresh([&] { fs_.CrashAtWrite(n, torn); });
      EXPECT_EQ(restarts_, 1) << what;
      ExpectReportTrue(what);
      if (HasFailure()) return;
    }
  }
}

TEST_F(JournalCrash, AFailedWriteLosesNoAnsweredSaleAndTearsNoDocument) {
  const int writes = RunFresh([] {});
  for (const Status& status : {Status(Status::kNoSpace), Status(Status::kShortTransfer)}) {
    for (int n = 1; n <= writes; ++n) {
      const std::string what = "write " + std::to_string(n) + " failed (" + status.Reason() + ")";
      RunFresh([&] { fs_.FailNth(FsOp::kWrite, n, "", 1, status); });
      ExpectReportTrue(what);
      // And a start afterwards finds nothing more to do.
      Start();
      ExpectReportTrue(what + ", then a restart");
      if (HasFailure()) return;
    }
  }
}

TEST_F(JournalCrash, AFailedSyncOfTheJournalRefusesTheSale) {
  RunFresh([&] { fs_.FailNth(FsOp::kSync, 1, "/journal"); });
  ExpectReportTrue("sync failed");
  EXPECT_EQ(
      events_.Count("journal " + State("journal") + " cannot be written (Input/output error)"), 1);
  EXPECT_EQ(events_.Count("can be written again"), 1);
}

}  // namespace
}  // namespace tillgate

#pragma once
// A Store for tests of the engine and the lines: it records the
// transactions called, fails the steps a test chooses, and serves every goods
// message with one fixed operation. Thread-safe.

#include <cstring>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "store/store.h"

namespace tillgate {

class RecordingStore final : public Store {
 public:
  // The name, price and kopecks every goods message is served with.
  static constexpr const char* kGoodsName = "TEST GOODS";
  static constexpr uint32_t kKopecks = 12345;

  GoodsOutcome ServeGoods(const GoodsRequest& request) override {
    Record(std::string("serve ") + request.goods_code);
    GoodsOutcome outcome;
    outcome.looked_up = true;
    std::strcpy(outcome.goods.name, kGoodsName);
    outcome.goods.operation_code = request.operation_code;
    outcome.goods.quantity = request.quantity;
    outcome.goods.price = 123.45;
    outcome.goods.section = '1';
    outcome.goods.kopecks = kKopecks;
    return outcome;
  }
  int CloseDocument(uint32_t, uint8_t network_number, const DocumentClose&) override {
    Record("close " + std::to_string(network_number));
    return 0;
  }
  void ShowIdentification(const Identification& identification) override {
    Record("identify " + identification.SerialText());
  }
  void ClearDiagnostics() override { Record("clear diagnostics"); }
  bool ExchangeReport() override {
    Record("report");
    if (Throws("report")) throw std::runtime_error("otchet.dbf is locked");
    return true;
  }
  bool ExchangeGoods() override {
    Record("goods");
    if (Throws("goods")) throw std::runtime_error("tovars.dbf is locked");
    return true;
  }
  void FillGoodsView() override {
    Record("fill");
    std::function<void()> hook;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      hook = on_fill_;
    }
    if (hook) hook();
  }

  // The named step ("report" or "goods") throws from now on, or stops.
  void SetThrowing(const std::string& step, bool on) {
    std::lock_guard<std::mutex> lock(mutex_);
    (step == "report" ? throw_report_ : throw_goods_) = on;
  }
  // Runs inside every FillGoodsView.
  void OnFill(std::function<void()> hook) {
    std::lock_guard<std::mutex> lock(mutex_);
    on_fill_ = std::move(hook);
  }
  std::vector<std::string> Calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  void ClearCalls() {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.clear();
  }

 private:
  void Record(std::string call) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(std::move(call));
  }
  bool Throws(const std::string& step) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return step == "report" ? throw_report_ : throw_goods_;
  }

  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
  bool throw_report_ = false;
  bool throw_goods_ = false;
  std::function<void()> on_fill_;
};

}  // namespace tillgate

#pragma once
// A store over two scratch folders, with a fault-injecting file system, the
// monitoring grids and a list of the events it reported.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "config/event_collector.h"
#include "platform/fault_file_system.h"
#include "platform/platform.h"
#include "store/monitoring_views.h"
#include "store/store_test_util.h"
#include "store/tdb.h"

namespace tillgate::testing {

using EventList = EventCollector;

class StoreTest : public ::testing::Test {
 protected:
  StoreTest() : fs_(&SystemFileSystem()) {}

  std::string Goods(const std::string& name) const { return goods_dir_.File(name); }
  std::string Reports(const std::string& name) const { return report_dir_.File(name); }

  void PutGoods(const std::string& name, const DbfImage& image) {
    WriteFile(Goods(name), image.Bytes());
  }
  void Signal(const std::string& path) { WriteFile(path, ""); }

  TDB& MakeStore(bool track_stock = false) {
    store_.reset();  // a store that goes says so before the next one starts
    store_ = std::make_unique<TDB>(goods_dir_.path(), report_dir_.path(), fs_, &events_);
    store_->SetViews(&views_.goods, &views_.report);
    store_->SetTrackStock(track_stock);
    return *store_;
  }
  // The same with its journal in the state folder, as the server runs it.
  TDB& MakeJournaledStore(bool track_stock = false) {
    store_.reset();
    store_ = std::make_unique<TDB>(goods_dir_.path(), report_dir_.path(), fs_, &events_,
                                   state_dir_.path());
    store_->SetViews(&views_.goods, &views_.report);
    store_->SetTrackStock(track_stock);
    return *store_;
  }
  std::string State(const std::string& name) const { return state_dir_.File(name); }

  // Fills the store's current record as decoding would and looks it up.
  OperationRecord& LookUpCode(const std::string& code, double quantity, char op = kOpSaleByCode,
                              uint8_t kind = kLookupByCode, uint32_t line = 0,
                              uint8_t network = 1) {
    OperationRecord& r = store_->Current();
    std::memset(r.goods_code, ' ', kGoodsCodeSize - 1);
    std::memcpy(r.goods_code, code.data(), std::min<size_t>(code.size(), kGoodsCodeSize - 1));
    r.goods_code[std::min<size_t>(code.size(), kGoodsCodeSize - 1)] = 0;
    r.quantity = quantity;
    r.operation_code = op;
    r.lookup_kind = kind;
    r.line_index = line;
    r.network_number = network;
    store_->LookUp(r);
    return r;
  }

  // The stock of goods record `record` (from 1) as the goods file holds it.
  double Stock(int record) {
    const auto records = ReadDbfRecords(Goods("tovars.dbf"));
    return std::stod(records.at(static_cast<size_t>(record - 1)).at("RES"));
  }

  // Every DBF file the store leaves behind must read cleanly elsewhere: the
  // report files always, the goods file when the store accepted it.
  void TearDown() override {
    std::vector<std::string> files = {Reports("otchet2.dbf")};
    if (!damaged_report_) files.push_back(Reports("otchet.dbf"));
    if (store_ && store_->GoodsOpen() && !damaged_goods_) files.push_back(Goods("tovars.dbf"));
    for (const std::string& path : files) {
      if (!FileExists(path) || ReadFile(path).substr(0, 1) != "\x03") continue;
      const DbfreadResult read = ReadWithDbfread(path);
      ASSERT_TRUE(read.ok) << path << ": " << read.error;
      EXPECT_EQ(static_cast<int64_t>(read.rows.size()), read.record_count) << path;
    }
  }

  bool damaged_goods_ = false;   // a test's own goods file that lies on purpose
  bool damaged_report_ = false;  // a test's otchet.dbf that is no report on purpose
  ScratchDir goods_dir_;
  ScratchDir report_dir_;
  ScratchDir state_dir_;
  FaultFileSystem fs_;
  EventList events_;
  MonitoringViews views_;
  std::unique_ptr<TDB> store_;
};

// Five goods in GoodsFields() layout.
inline DbfImage SampleGoods() {
  DbfImage image;
  image.fields = GoodsFields();
  image.records = {
      GoodsRow("100", "Bread", "12.50", "1", "4600000000011", "10.000"),
      GoodsRow("12", "Milk", "45.90", "2", "4600000000028", "0.001"),
      GoodsRow("2000", "Cheese", "300.00", "3", "", "5.000"),
      GoodsRow("77", "Salt", "9.70", "1", "", ""),
      GoodsRow("5", "Tea", "100", "4", "", "999999.000"),
  };
  return image;
}

// Bread (code 100, 12.50, department 1) and Cheese (300, 0.99, department
// 3), with `stock` of each in RES (N 12.3).
inline DbfImage TwoGoods(const std::string& stock) {
  DbfImage image;
  image.fields = {{"CODE", 'C', 13},
                  {"NAME", 'C', 30},
                  {"PRICE", 'N', 10, 2},
                  {"DIVNUM", 'C', 2},
                  {"RES", 'N', 12, 3}};
  image.records = {{"100", "Bread", "12.50", "1", stock}, {"300", "Cheese", "0.99", "3", stock}};
  return image;
}

// A goods message as decoding makes it of a register's frame.
inline GoodsRequest Request(uint32_t line, uint8_t network, uint8_t sequence, const char* code,
                            double quantity, char op = kOpSaleByCode) {
  GoodsRequest r;
  r.line_index = line;
  r.network_number = network;
  r.sequence = sequence;
  r.operation_code = op;
  std::snprintf(r.goods_code, sizeof r.goods_code, "%s", code);
  r.quantity = quantity;
  return r;
}

// A closed document's stamp: serial number, document number and its date
// (binary-coded decimal, as a register sends it).
inline DocumentStamp Stamp(const std::string& serial, uint32_t document, uint8_t year,
                           uint8_t month, uint8_t day) {
  DocumentStamp stamp;
  std::snprintf(stamp.serial_number, sizeof stamp.serial_number, "%s", serial.c_str());
  stamp.document_number = document;
  stamp.year = year;
  stamp.month = month;
  stamp.day = day;
  return stamp;
}

}  // namespace tillgate::testing

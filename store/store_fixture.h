#pragma once
// A store over two scratch folders, with a fault-injecting file system, the
// monitoring grids and a list of the events it reported; its parts are
// tested over the same folders.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "config/event_collector.h"
#include "platform/fault_file_system.h"
#include "platform/platform.h"
#include "store/monitoring_views.h"
#include "store/store_test_util.h"
#include "store/tdb.h"
#include "store/tdb_probe.h"

namespace tillgate::testing {

using EventList = EventCollector;

// What a register's close message tells of the document `stamp` stamps.
inline DocumentClose CloseOf(const DocumentStamp& stamp) {
  DocumentClose document;
  document.document_number = stamp.document_number;
  document.day = stamp.day;
  document.month = stamp.month;
  document.hour = stamp.hour;
  document.minute = stamp.minute;
  return document;
}

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

  TdbProbe Probe() { return TdbProbe(*store_); }
  TPEREBOR& Pool() { return Probe().Pool(); }
  int QueuedRows() { return Probe().QueuedRows(); }

  // A register closes its document as a line does it: its identification
  // (the stamp's serial number and year, when it has one) first, then the
  // close message (the stamp's document number, date and time).
  int Close(uint32_t line, uint8_t network, const DocumentStamp& stamp) {
    const size_t serial = strnlen(stamp.serial_number, kSerialNumberLength);
    if (serial > 0)
      store_->ShowIdentification({"COM" + std::to_string(line + 1), "EKR",
                                  std::string(stamp.serial_number, serial), network, line,
                                  stamp.year});
    return store_->CloseDocument(line, network, CloseOf(stamp));
  }

  // The stock of goods record `record` (from 1) as the goods file holds it.
  double Stock(int record) {
    const auto records = ReadDbfRecords(Goods("tovars.dbf"));
    return std::stod(records.at(static_cast<size_t>(record - 1)).at("RES"));
  }

  // RES of record `n` (from 1) of a goods file laid out as SampleGoods().
  std::string SampleRes(int n);

  // Whether the goods file in the folder was accepted by what the test ran.
  virtual bool GoodsAccepted() { return store_ && Probe().Goods().IsOpen(); }

  // Every DBF file the store leaves behind must read cleanly elsewhere: the
  // report files always, the goods file when the store accepted it.
  void TearDown() override {
    std::vector<std::string> files = {Reports("otchet2.dbf")};
    if (!damaged_report_) files.push_back(Reports("otchet.dbf"));
    if (GoodsAccepted() && !damaged_goods_) files.push_back(Goods("tovars.dbf"));
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

// An operation as a closed document holds it (line and register not set).
inline OperationRecord Operation(const char* code, const char* name, double price, double quantity,
                                 char op, char section) {
  OperationRecord r;
  std::string_view(code).copy(r.goods_code, sizeof r.goods_code - 1);
  std::string_view(name).copy(r.name, sizeof r.name - 1);
  r.price = price;
  r.quantity = quantity;
  r.amount = price * quantity;
  r.operation_code = op;
  r.section = section;
  return r;
}

// A closed document's stamp: serial number, document number and its date
// (binary-coded decimal, as a register sends it).
inline DocumentStamp Stamp(const std::string& serial, uint32_t document, uint8_t year,
                           uint8_t month, uint8_t day) {
  DocumentStamp stamp;
  serial.copy(stamp.serial_number, sizeof stamp.serial_number - 1);
  stamp.document_number = document;
  stamp.year = year;
  stamp.month = month;
  stamp.day = day;
  return stamp;
}

inline std::string StoreTest::SampleRes(int n) {
  const DbfImage image = SampleGoods();
  const std::string bytes = ReadFile(Goods("tovars.dbf"));
  return bytes.substr(static_cast<size_t>(image.HeaderLength() + image.RecordLength() * n - 10),
                      10);
}

// The stamp of a document closed on 15 March at 09:41.
inline DocumentStamp DocumentAt(const std::string& serial, uint32_t document, uint8_t year) {
  DocumentStamp stamp = Stamp(serial, document, year, 0x03, 0x15);
  stamp.hour = 0x09;
  stamp.minute = 0x41;
  return stamp;
}

}  // namespace tillgate::testing

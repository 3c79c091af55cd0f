// Decoding against a real store on small goods files in scratch folders; the
// register's frames come through a fake serial device and the answers are
// read back from what the line wrote.

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "config/event_collector.h"
#include "line/decoding_rig.h"
#include "line/event.h"
#include "line/kkm_ekr.h"
#include "platform/fake_serial_device.h"
#include "platform/fault_file_system.h"
#include "platform/platform.h"
#include "store/monitoring_views.h"
#include "store/store_test_util.h"
#include "store/tdb_probe.h"

namespace tillgate {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::DbfImage;
using testing::GoodsFields;
using testing::GoodsRow;

Bytes Frame(Bytes body) {
  body[2] = static_cast<uint8_t>(body.size() - 3);
  return body;
}

void PutLe32(Bytes& f, int at, uint32_t v) {
  for (int i = 0; i < 4; ++i) f[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

Bytes ByCode(char type, uint8_t sequence, uint16_t code, uint32_t thousandths) {
  Bytes f(15, 0);
  f[0] = 1;
  f[1] = 0x30;
  f[3] = sequence;
  f[4] = static_cast<uint8_t>(type);
  f[5] = code & 0xFF;
  f[6] = code >> 8;
  PutLe32(f, 11, thousandths);
  return Frame(f);
}

Bytes ByBarcode(char type, uint8_t sequence, const std::string& digits, uint32_t thousandths) {
  Bytes f(17, 0);
  f[0] = 1;
  f[1] = 0x30;
  f[3] = sequence;
  f[4] = static_cast<uint8_t>(type);
  std::string d = digits + "\x0D";  // the end marker as a nibble
  if (d.size() % 2) d += "\x0D";
  for (size_t i = 0; i < d.size() && i / 2 < 7; i += 2) {
    auto nibble = [](char c) { return c == '\x0D' ? 0xD : c - '0'; };
    f[5 + i / 2] = static_cast<uint8_t>(nibble(d[i]) << 4 | nibble(d[i + 1]));
  }
  PutLe32(f, 13, thousandths);
  return Frame(f);
}

Bytes Document(Bytes number_msb_first, uint8_t day, uint8_t month, uint8_t hour, uint8_t minute) {
  Bytes f = {1, 0x30, 0, 0, 'i'};
  f.insert(f.end(), number_msb_first.begin(), number_msb_first.end());
  f.insert(f.end(), {day, month, hour, minute});
  return Frame(f);
}

Bytes Identification(uint8_t year, const std::string& serial) {
  Bytes f = {1, 0x30, 0, 0, 'd', 0, 0, 0, year};
  f.insert(f.end(), serial.begin(), serial.end());
  f.resize(16, 0);
  return Frame(f);
}

// What the server answered to one message.
struct Answer {
  Bytes bytes;
  bool IsCommand(char code) const { return bytes.size() == 6 && bytes[4] == code; }
  bool IsGoods() const { return bytes.size() >= 30 && bytes[4] == 'n'; }
  std::string Text() const { return std::string(bytes.begin() + 6, bytes.begin() + 6 + bytes[5]); }
  uint32_t Kopecks() const {
    const int at = 7 + bytes[5];
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | uint32_t{bytes[at + 3]} << 24;
  }
  char Section() const { return static_cast<char>(bytes[13 + bytes[5]]); }
};

using Events = EventCollector;

DbfImage ShopGoods() {
  DbfImage image;
  image.fields =
      GoodsFields();  // CODE C13, NAME C30, PRICE N10.2, DIVNUM C2, SH_CODE C13, RES N10.3
  image.records = {
      GoodsRow("12345", "MOLOKO 3.2% 1L", "12.50", "1", "4600000000011", "10.000"),
      GoodsRow("100", "BREAD", "7", "7", "4600000000028", "5.000"),
      GoodsRow("300", "CHEESE BY WEIGHT", "0.99", "3", "12345", "20.000"),
      GoodsRow("777", "JUICE", "45.90", "2", "46012345", "3.000"),
      GoodsRow("4321", "SUGAR", "60", " ", "", "1.000"),
      GoodsRow("54321", "TEA", "99.90", "4", "", "2.000"),
      GoodsRow("888", "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123", "1", "5", "", "100.000"),
      // An EAN-8 that is the start of an EAN-13 above.
      GoodsRow("778", "BUNS", "19", "1", "46000000", "9.000"),
  };
  return image;
}

class Decode : public ::testing::Test {
 protected:
  void SetUp() override { Build(); }

  void Build(bool track_stock = false, const char* mask = "25CCCCCWWWWW", int split = 0,
             char first = 'N', char second = 'C') {
    testing::WriteFile(goods_dir_.File("tovars.dbf"), goods_.Bytes());
    RigLineSettings settings;
    settings.mask = mask;
    settings.split_length = split;
    settings.first_line = first;
    settings.second_line = second;
    settings.track_stock = track_stock;
    rig_.Build(goods_dir_.path(), report_dir_.path(), SystemFileSystem(), &events_, 2, settings);
  }

  // Sends one frame from register `network` and returns the server's answer.
  Answer Send(const Bytes& frame, uint8_t network = 1) {
    const size_t before = rig_.fake->Written().size();
    rig_.fake->QueueRead(frame);
    EXPECT_TRUE(rig_.line->ReadAnswer(network));
    const Bytes& all = rig_.fake->Written();
    return Answer{Bytes(all.begin() + static_cast<long>(before), all.end())};
  }

  TdbProbe Probe() { return TdbProbe(*rig_.store); }
  TPEREBOR& Pool() { return Probe().Pool(); }

  // Pending operations, oldest first, as "code op quantity" texts.
  std::vector<std::string> Pending() {
    std::vector<std::string> out;
    int index = Pool().Head();
    for (int n = Pool().PendingCount(); n > 0; --n) {
      const OperationRecord& r = Pool().Record(index);
      char text[64];
      std::snprintf(text, sizeof text, "%s %c %g", r.goods_code, r.operation_code, r.quantity);
      out.emplace_back(text);
      index = r.next;
    }
    return out;
  }

  // RES of goods record `n` (1-based) as the file holds it.
  std::string Stock(int n) const {
    const auto read = testing::ReadWithDbfread(goods_dir_.File("tovars.dbf"));
    EXPECT_TRUE(read.ok) << read.error;
    if (n < 1 || n > static_cast<int>(read.rows.size())) return "";
    const std::string& row = read.rows[n - 1];
    return row.substr(row.rfind('|') + 1);
  }

  std::vector<std::string> ReportRows() const {
    const auto read = testing::ReadWithDbfread(report_dir_.File("otchet.dbf"));
    EXPECT_TRUE(read.ok) << read.error;
    return read.rows;
  }

  DbfImage goods_ = ShopGoods();
  testing::ScratchDir goods_dir_;
  testing::ScratchDir report_dir_;
  Events events_;
  DecodingRig rig_;  // views, store, fake device and the line on COM3
};

TEST_F(Decode, GoodsByCodeAndTheirQuantities) {
  Answer a = Send(ByCode('p', 1, 0x3039, 0));
  ASSERT_TRUE(a.IsGoods());
  EXPECT_EQ(Send(ByCode('p', 2, 0x3039, 1000)).Kopecks(), 1250u);
  EXPECT_EQ(Send(ByCode('q', 3, 0x3039, 1500)).Kopecks(), 1875u);
  EXPECT_EQ(Pending(), (std::vector<std::string>{"12345 1 1", "12345 1 1", "12345 3 1.5"}));
  const OperationRecord& first = Pool().Record(Pool().Head());
  EXPECT_EQ(first.line_index, 2u);
  EXPECT_EQ(first.network_number, 1);
  EXPECT_EQ(first.lookup_kind, kLookupByCode);
  EXPECT_DOUBLE_EQ(first.amount, 12.5);  // roubles after the answer
  EXPECT_TRUE(events_.Has("COM3 register 1: sale by code 12345 quantity 1 amount 12.5"));
}

TEST_F(Decode, NameAndPriceLinesByteForByte) {
  Answer a = Send(ByCode('p', 1, 0x3039, 0));
  const Bytes expected_text_frame_head = {1, 0x30, 44, 0x02, 'n', 32};
  EXPECT_EQ(Bytes(a.bytes.begin(), a.bytes.begin() + 6), expected_text_frame_head);
  EXPECT_EQ(a.bytes.size(), 47u);
  EXPECT_EQ(a.Text(), std::string("MOLOKO 3.2% 1L \r\n12.50      *1.0"));
  EXPECT_EQ(a.bytes[38], 't');
  EXPECT_EQ(a.Kopecks(), 1250u);
  EXPECT_EQ(a.Section(), '1');
  uint8_t sum = 0;
  for (size_t i = 3; i < a.bytes.size(); ++i) sum = static_cast<uint8_t>(sum + a.bytes[i]);
  EXPECT_EQ(sum, 0);
}

TEST_F(Decode, AmountSectionAndShortNames) {
  Answer bread = Send(ByCode('p', 1, 100, 500));  // 7 x 0.5, section "7"
  EXPECT_EQ(bread.Kopecks(), 350u);
  EXPECT_EQ(bread.Section(), '1');
  EXPECT_EQ(bread.Text().substr(17), "7.00        *.5");
  EXPECT_DOUBLE_EQ(Pool().Record(Pool().Head()).amount, 3.5);

  Answer cheese = Send(ByBarcode('s', 2, "2512345010050", 0));  // 0.99 x 1.005
  EXPECT_EQ(cheese.Kopecks(), 99u);
  EXPECT_EQ(cheese.Section(), '3');
}

TEST_F(Decode, NamesNarrowerThanTheDisplayArePadded) {
  goods_.fields = {{"CODE", 'N', 5}, {"NAME", 'C', 4}, {"PRICE", 'N', 8, 2}, {"DIVNUM", 'C', 1}};
  goods_.records = {{"888", "LONG", "1", "5"}, {"54321", "TEA", "2", "4"}};
  goods_.records[0][1] = "LONG";
  Build(false, "25CCCCCWWWWW", 0, 'N', 'N');
  ASSERT_TRUE(Send(ByCode('p', 1, 888, 0)).IsGoods());
  Answer tea = Send(ByCode('p', 2, 54321, 0));
  EXPECT_EQ(tea.Text(), std::string("TEA            \r\n               "));
}

TEST_F(Decode, BarcodesSplitLengthAndCodes) {
  Build(false, "25CCCCCWWWWW", 4);
  EXPECT_TRUE(Send(ByBarcode('s', 1, "4321", 0)).IsGoods());              // short: a goods code
  EXPECT_TRUE(Send(ByBarcode('s', 2, "4600000000011", 2000)).IsGoods());  // by SH_CODE
  EXPECT_TRUE(Send(ByBarcode('s', 3, "46012345", 0)).IsGoods());          // EAN-8
  Answer buns = Send(ByBarcode('s', 4, "46000000", 0));
  EXPECT_EQ(buns.Text().substr(0, 15), "BUNS           ");
  EXPECT_EQ(Pending(), (std::vector<std::string>{"4321 1 1", "4600000000011 2 2", "46012345 2 1",
                                                 "46000000 2 1"}));
  EXPECT_EQ(Pool().Record(Pool().Head()).lookup_kind, kLookupByCode);

  // Five digits count five: under split length 5 they are a goods code.
  Build(false, "25CCCCCWWWWW", 5);
  EXPECT_TRUE(Send(ByBarcode('s', 1, "54321", 0)).IsGoods());
  EXPECT_EQ(Pending().back(), "54321 1 1");
}

TEST_F(Decode, WeightBarcodes) {
  // Default mask: code 12345 from positions 2..6, weight 01234 from 7..11.
  Answer sale = Send(ByBarcode('s', 1, "2512345012345", 7777));
  ASSERT_TRUE(sale.IsGoods());
  EXPECT_EQ(sale.Text().substr(17), "0.99     *1.234");
  // A return by weight barcode ignores the message's quantity too.
  EXPECT_TRUE(Send(ByBarcode('z', 2, "2512345005000", 9000)).IsGoods());
  EXPECT_EQ(Pending(), (std::vector<std::string>{"12345 2 1.234", "12345 3 0.5"}));
  EXPECT_EQ(Pool().Record(Pool().Head()).lookup_kind, kLookupByBarcode);

  // Second digit differs from the mask's: looked up whole, message quantity.
  EXPECT_TRUE(Send(ByBarcode('s', 3, "4600000000011", 3000)).IsGoods());
  EXPECT_TRUE(Send(ByBarcode('s', 4, "2612345012345", 3000)).IsCommand('u'));
  EXPECT_EQ(Pending().back(), "4600000000011 2 3");

  // A mask without "W": the code is reduced, the quantity is the message's.
  Build(false, "25CCCCC");
  EXPECT_TRUE(Send(ByBarcode('s', 1, "2512345012345", 2500)).IsGoods());
  EXPECT_EQ(Pending().back(), "12345 2 2.5");
}

TEST_F(Decode, RepeatedSequenceByteKeepsOnlyTheSecondOperation) {
  EXPECT_TRUE(Send(ByCode('p', 7, 0x3039, 1000)).IsGoods());
  EXPECT_TRUE(Send(ByCode('p', 7, 0x3039, 2000)).IsGoods());
  EXPECT_EQ(Pending(), (std::vector<std::string>{"12345 1 2"}));
  EXPECT_TRUE(events_.Has("repeated message"));
}

TEST_F(Decode, WithdrawalTakesOnlyThisRegistersPendingOperation) {
  // Register 2's sale is pending; register 1's slot points at it.
  EXPECT_TRUE(Send(ByCode('p', 1, 100, 0), 2).IsGoods());
  Probe().Register(2, 1)->last_operation = Pool().Head();
  Probe().Register(2, 1)->last_sequence = 9;
  EXPECT_TRUE(Send(ByCode('p', 9, 0x3039, 0), 1).IsGoods());
  EXPECT_EQ(Pending().size(), 2u);

  // After the document closed nothing of it is pending any more.
  Send(Document({0, 0, 0, 1}, 0x01, 0x02, 0x03, 0x04), 1);
  Send(ByCode('p', 0xFF, 0x3039, 0), 1);  // 0xFF after "i" counts as repeated
  EXPECT_EQ(Pending().size(), 2u);

  // A refused message leaves nothing to withdraw: its repetition must not
  // take back the sale before it.
  EXPECT_TRUE(Send(ByCode('p', 3, 100, 0), 1).IsGoods());
  EXPECT_TRUE(Send(ByCode('p', 4, 999, 0), 1).IsCommand('u'));
  EXPECT_TRUE(Send(ByCode('p', 4, 999, 0), 1).IsCommand('u'));
  EXPECT_EQ(Pending().size(), 3u);
}

TEST_F(Decode, VoidMustBeCoveredByTheDocument) {
  EXPECT_TRUE(Send(ByCode('p', 1, 100, 2000)).IsGoods());
  EXPECT_TRUE(Send(ByCode('l', 2, 100, 2500)).IsCommand('u'));
  EXPECT_TRUE(Send(ByCode('l', 3, 100, 2000)).IsGoods());
  EXPECT_EQ(Pending(), (std::vector<std::string>{"100 1 2", "100 4 2"}));
  EXPECT_TRUE(events_.Has("not covered"));
}

TEST_F(Decode, StockMovesExactlyAsTheOperationsSay) {
  Build(true);
  EXPECT_EQ(Stock(1), "10.0");
  EXPECT_TRUE(Send(ByCode('p', 1, 0x3039, 2000)).IsGoods());
  EXPECT_EQ(Stock(1), "8.0");
  // A repetition withdraws the first sale and its stock movement.
  EXPECT_TRUE(Send(ByCode('p', 1, 0x3039, 3000)).IsGoods());
  EXPECT_EQ(Stock(1), "7.0");
  // A void refused by the check leaves the stock as it was.
  EXPECT_TRUE(Send(ByCode('l', 2, 0x3039, 4000)).IsCommand('u'));
  EXPECT_EQ(Stock(1), "7.0");
  EXPECT_TRUE(Send(ByCode('l', 3, 0x3039, 1000)).IsGoods());
  EXPECT_EQ(Stock(1), "8.0");
  // More than the stock: refused, unchanged, and told apart from unknown goods.
  EXPECT_TRUE(Send(ByCode('p', 4, 0x3039, 9000)).IsCommand('u'));
  EXPECT_EQ(Stock(1), "8.0");
  EXPECT_TRUE(events_.Has("COM3 register 1: \"p\" refused (u): goods 12345 out of stock"));
  EXPECT_TRUE(Send(ByCode('p', 5, 999, 1000)).IsCommand('u'));
  EXPECT_TRUE(events_.Has("COM3 register 1: \"p\" refused (u): goods 999 not found"));
  EXPECT_EQ(Pending(), (std::vector<std::string>{"12345 1 3", "12345 4 1"}));
}

// What the journal cannot keep is refused: the register is never told of a
// sale or a booked document a crash could lose, and closes it again.
TEST_F(Decode, WhatTheJournalCannotKeepIsRefused) {
  testing::ScratchDir state;
  FaultFileSystem fs(&SystemFileSystem());
  RigLineSettings settings;
  settings.state_folder = state.path();
  rig_.Build(goods_dir_.path(), report_dir_.path(), fs, &events_, 2, settings);
  ASSERT_TRUE(Send(ByCode('p', 1, 0x3039, 1000)).IsGoods());
  fs.FailAlways(FsOp::kSync, "/journal", Status::kNoSpace);
  fs.FailAlways(FsOp::kCreate, "/journal.new", Status::kNoSpace);
  EXPECT_TRUE(Send(ByCode('p', 2, 0x3039, 1000)).IsCommand('u'));
  EXPECT_TRUE(events_.Has("\"p\" refused (u): goods 12345: the journal cannot keep it"));
  const Bytes close = Document({0, 0, 0, 7}, 0x15, 0x03, 0x10, 0x20);
  EXPECT_TRUE(Send(close).IsCommand('u'));
  EXPECT_TRUE(events_.Has("\"i\" refused (u): document 7 not closed: the journal cannot keep it"));
  EXPECT_EQ(Pending(), std::vector<std::string>{"12345 1 1"});
  fs.Clear();
  EXPECT_TRUE(Send(close).IsCommand('o'));
  EXPECT_TRUE(Pending().empty());
  EXPECT_EQ(testing::ReadDbfRecords(report_dir_.File("otchet.dbf")).size(), 1u);
  rig_.line.reset();
  rig_.store.reset();  // before the file system it uses
}

TEST_F(Decode, FullPoolRefusesBeforeAnyLookUp) {
  Build(true);
  for (int i = 0; i < TPEREBOR::kCapacity; ++i) {
    ASSERT_TRUE(Send(ByCode('p', static_cast<uint8_t>(i % 200), 888, 1), 1 + i % 10).IsGoods());
  }
  ASSERT_TRUE(Pool().Full());
  const std::string stock = Stock(7);
  EXPECT_TRUE(Send(ByCode('p', 250, 888, 1), 1).IsCommand('u'));
  EXPECT_TRUE(Send(ByBarcode('k', 251, "888", 1), 1).IsCommand('u'));
  EXPECT_EQ(Stock(7), stock);
  EXPECT_EQ(Pool().PendingCount(), TPEREBOR::kCapacity);
  EXPECT_TRUE(events_.Has("all operation records pending"));
  // Register 2 repeats its last message (sequence 91, i = 491): the earlier
  // copy is withdrawn, which frees the record the repetition then takes. A
  // refusal here would leave that copy to reach the report while the
  // register was told the sale failed.
  EXPECT_TRUE(Send(ByCode('p', 91, 888, 2), 2).IsGoods());
  EXPECT_EQ(Pool().PendingCount(), TPEREBOR::kCapacity);
  EXPECT_EQ(Stock(7), "99.499");  // 500 sales of 0.001, one replaced by 0.002
  const OperationRecord& newest = Pool().Record(Probe().Register(2, 2)->last_operation);
  EXPECT_TRUE(Pool().IsPending(newest.pool_index));
  EXPECT_DOUBLE_EQ(newest.quantity, 0.002);
  EXPECT_EQ(newest.network_number, 2);
  // A new message of a full pool still changes nothing.
  EXPECT_TRUE(Send(ByCode('p', 92, 888, 2), 2).IsCommand('u'));
  EXPECT_EQ(Stock(7), "99.499");
  // A closed document makes room again.
  EXPECT_TRUE(Send(Document({0, 0, 0, 9}, 1, 1, 1, 1), 3).IsCommand('o'));
  EXPECT_EQ(Pool().PendingCount(), TPEREBOR::kCapacity - 50);
  EXPECT_TRUE(Send(ByCode('p', 252, 888, 1), 3).IsGoods());
}

TEST_F(Decode, DocumentClosesOnlyThisRegistersOperations) {
  EXPECT_TRUE(Send(Document({0, 0, 0, 0}, 0, 0, 0, 0)).IsCommand('o'));  // nothing pending
  EXPECT_TRUE(Send(Identification(0x24, "0012345"), 1).IsCommand('!'));
  Send(ByCode('p', 1, 0x3039, 1500), 1);
  Send(ByCode('p', 1, 100, 0), 2);
  EXPECT_TRUE(Send(Document({0, 0, 1, 2}, 0x15, 0x03, 0x09, 0x41), 1).IsCommand('o'));
  // The store keeps the register's stamp: its identification and the
  // document it closed last.
  const DocumentStamp& kept = Probe().Register(2, 1)->stamp;
  EXPECT_EQ(kept.document_number, 258u);
  EXPECT_EQ(std::string(kept.serial_number), "0012345");
  EXPECT_EQ(kept.year, 0x24);
  EXPECT_EQ(kept.day, 0x15);
  EXPECT_EQ(kept.minute, 0x41);
  EXPECT_EQ(Probe().Register(2, 1)->last_sequence, 0xFF);
  EXPECT_EQ(Pending(), (std::vector<std::string>{"100 1 1"}));
  EXPECT_EQ(ReportRows(), (std::vector<std::string>{
                              "0012345|258|2024-03-15|09:41:00|1|12345|MOLOKO 3.2% 1L|12.5|1.5|"
                              "18.75|1"}));
  EXPECT_TRUE(events_.Has("COM3 register 1: document 258 closed, 1 rows written"));
}

TEST_F(Decode, ReportDatesAndRegistersNeverIdentified) {
  // No "d" yet: serial number zero bytes, year 00.
  Send(ByCode('p', 1, 100, 0), 2);
  Send(Document({0, 0, 0, 7}, 0x31, 0x12, 0x23, 0x59), 2);
  Send(Identification(0x95, "7654321"), 4);
  Send(ByCode('p', 1, 100, 0), 4);
  Send(Document({0, 0, 0, 8}, 0x01, 0x01, 0x00, 0x00), 4);
  Send(Identification(0x79, "1111111"), 4);
  Send(ByCode('p', 2, 100, 0), 4);
  Send(Document({0, 0, 0, 9}, 0x01, 0x01, 0x00, 0x00), 4);
  // dbfread turns DATA into a date; BANK keeps the "J"s.
  EXPECT_EQ(ReportRows(),
            (std::vector<std::string>{"JJJJJJJ|7|2000-12-31|23:59:00|1|100|BREAD|7.0|1.0|7.0|7",
                                      "7654321|8|1995-01-01|00:00:00|1|100|BREAD|7.0|1.0|7.0|7",
                                      "1111111|9|2079-01-01|00:00:00|1|100|BREAD|7.0|1.0|7.0|7"}));
}

TEST_F(Decode, IdentificationFillsTheDiagnosticsRows) {
  for (int i = 1; i <= 16; ++i) {
    char serial[8];
    std::snprintf(serial, sizeof serial, "%07d", i);
    EXPECT_TRUE(
        Send(Identification(0x24, serial), static_cast<uint8_t>(1 + i % 10)).IsCommand('!'));
  }
  for (int row = 1; row <= 14; ++row) {
    char serial[8];
    std::snprintf(serial, sizeof serial, "%07d", row);
    EXPECT_EQ(rig_.views.diagnostics.Cell(2, row), serial);
    EXPECT_EQ(rig_.views.diagnostics.Cell(0, row), "COM3");
    EXPECT_EQ(rig_.views.diagnostics.Cell(1, row), "EKR");
  }
  EXPECT_EQ(rig_.views.diagnostics.Cell(2, 15), "0000016");
  EXPECT_EQ(rig_.views.diagnostics.Cell(3, 15), "7");
  EXPECT_EQ(std::string(Probe().Register(2, 7)->stamp.serial_number), "0000016");
  EXPECT_EQ(Probe().Register(2, 7)->stamp.year, 0x24);
}

TEST_F(Decode, OtherTypesAndShortFramesChangeNothing) {
  EXPECT_TRUE(Send(Frame({1, 0x30, 0, 0, 'f'})).IsCommand('+'));
  EXPECT_TRUE(Send(Frame({1, 0x30, 0, 5, 'x', 1, 2, 3})).IsCommand('u'));
  EXPECT_EQ(Probe().Register(2, 1)->last_sequence, 0xFF);

  Bytes code = ByCode('p', 1, 0x3039, 0);
  code.resize(14);
  Bytes barcode = ByBarcode('s', 1, "4600000000011", 0);
  barcode.resize(16);
  Bytes document = Document({0, 0, 1, 2}, 1, 1, 1, 1);
  document.resize(12);
  Bytes ident = Identification(0x24, "1234567");
  ident.resize(15);
  for (const Bytes& f : {code, barcode, document, ident}) {
    EXPECT_TRUE(Send(Frame(f)).IsCommand('u'));
  }
  EXPECT_EQ(Probe().Register(2, 1)->last_sequence, 0xFF);
  EXPECT_EQ(Probe().Register(2, 1)->stamp.document_number, 0u);
  EXPECT_EQ(Probe().Register(2, 1)->stamp.serial_number[0], 0);
  EXPECT_FALSE(Probe().Register(2, 1)->identified);
  EXPECT_EQ(Pool().PendingCount(), 0);
  EXPECT_EQ(rig_.views.diagnostics.Cell(0, 1), "");
  EXPECT_TRUE(events_.Has("message too short"));
}

TEST_F(Decode, WaitsAfterLookUpByCodeAndIdentification) {
  TEvent delay(kDelayEventName, true);
  rig_.line->SetDelayEvent(&delay);
  using Clock = std::chrono::steady_clock;
  auto ms = [](Clock::duration d) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
  };
  auto t0 = Clock::now();
  Send(ByCode('p', 1, 999, 0));  // not found: the waits come all the same
  auto t1 = Clock::now();
  Send(ByBarcode('s', 2, "4600000000011", 0));
  auto t2 = Clock::now();
  Send(Identification(0x24, "1234567"));
  auto t3 = Clock::now();
  EXPECT_GE(ms(t1 - t0), 50);
  EXPECT_LT(ms(t2 - t1), 50);
  EXPECT_GE(ms(t3 - t2), 100);
}

}  // namespace
}  // namespace tillgate

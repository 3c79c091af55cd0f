// The status board's JSON: what a monitoring tool reads must be valid
// whatever a register or a device name holds, and list the registers that
// matter.

#include "engine/status_json.h"

#include <gtest/gtest.h>

#include "store/status_board.h"

namespace tillgate {
namespace {

TEST(StatusJson, TextStaysValidJsonWhateverItHolds) {
  EXPECT_EQ(JsonString("COM1"), "\"COM1\"");
  EXPECT_EQ(JsonString("a \"b\" \\ c"), "\"a \\\"b\\\" \\\\ c\"");
  EXPECT_EQ(JsonString(std::string("line\none\ttab\x7f", 13)),
            "\"line\\u000Aone\\u0009tab\\u007F\"");
  EXPECT_EQ(JsonString("Касса"), "\"Касса\"");
  // A register's bytes that are not UTF-8 (code page 866 here) are shown,
  // not passed on to break the reader.
  EXPECT_EQ(JsonString("\x8a\xa0"), "\"\\\\x8A\\\\xA0\"");
  EXPECT_EQ(JsonString(std::string("a\0b", 3)), "\"a\\u0000b\"");
  EXPECT_EQ(JsonTime(std::chrono::system_clock::from_time_t(1796630706)), "2026-12-07T08:05:06Z");
}

TEST(StatusJson, ListsEveryPortAndOnlyRegistersThatAnsweredOrHoldADocument) {
  StatusBoard board;
  board.SetPort(0, "COM1", "/dev/ttyUSB0");
  board.SetPortState(0, 2);
  board.SetPortHealth(0, PortHealth::kOpenFailed, "port failed to open: open: Permission denied");
  board.SetPortHealth(0, PortHealth::kOpen);  // back: the error is still told
  const WallTime answered = std::chrono::system_clock::from_time_t(1796630706);
  board.RegisterAnswered(0, 3, answered);
  board.DocumentClosed(0, 3, 258);
  RegisterTable registers;
  registers[0][2].serial_number = "0310001";
  registers[4][9].pending_operations = 2;     // restored, not heard from yet
  registers[7][0].serial_number = "0000009";  // known, but neither
  board.SetRegisters(registers);
  StoreStatus store;
  store.goods_open = true;
  store.goods_records = 21;
  store.rows_written = 7;
  store.rows_waiting = 3;
  store.journal = JournalHealth::kFailing;
  board.SetStore(store);

  StatusFileHeader header;
  header.version = "1.2.3";
  header.pid = 42;
  header.started = answered - std::chrono::seconds(60);
  header.written = answered + std::chrono::seconds(1);
  const std::string json = StatusJson(board.Snapshot(), header);
  EXPECT_NE(json.find("\"version\": \"1.2.3\",\n  \"pid\": 42,\n  \"started\": "
                      "\"2026-12-07T08:04:06Z\",\n  \"written\": \"2026-12-07T08:05:07Z\",\n  "
                      "\"running\": true,\n"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("{\"number\": 1, \"name\": \"COM1\", \"device\": \"/dev/ttyUSB0\", "
                      "\"state\": 2, \"line\": true, \"open\": true, \"condition\": \"open\", "
                      "\"last_error\": \"port failed to open: open: Permission denied\", "
                      "\"last_error_time\": \"20"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("{\"number\": 16, \"name\": \"COM16\", \"device\": \"\", \"state\": 0, "
                      "\"line\": false, \"open\": false, \"condition\": \"none\", \"last_error\": "
                      "null, \"last_error_time\": null}\n  ],"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("  \"registers\": [\n    {\"port\": 1, \"network_number\": 3, "
                      "\"serial_number\": \"0310001\", \"last_answer\": \"2026-12-07T08:05:06Z\", "
                      "\"last_document\": 258, \"document_open\": false, \"pending_operations\": "
                      "0},\n    {\"port\": 5, \"network_number\": 10, \"serial_number\": null, "
                      "\"last_answer\": null, \"last_document\": null, \"document_open\": true, "
                      "\"pending_operations\": 2}\n  ],\n"),
            std::string::npos)
      << json;
  EXPECT_NE(
      json.find("  \"store\": {\"goods_file\": true, \"goods_records\": 21, \"report_file\": "
                "false, \"rows_written\": 7, \"rows_waiting\": 3, \"journal\": \"failing\"}\n}\n"),
      std::string::npos)
      << json;
}

// Open operations kept for registers that are not at their line and network
// number now are counted by serial number, and only when there are any.
TEST(StatusJson, KeptOperationsAreToldByTheirRegistersSerialNumber) {
  StatusBoard board;
  StoreStatus store;
  store.kept_operations = {{"0310001", 3}, {"0310007", 1}};
  board.SetStore(store);
  const std::string json = StatusJson(board.Snapshot(), StatusFileHeader());
  EXPECT_NE(json.find("\"journal\": \"none\", \"kept_operations\": {\"0310001\": 3, "
                      "\"0310007\": 1}}\n}\n"),
            std::string::npos)
      << json;
  board.SetStore(StoreStatus());
  EXPECT_EQ(StatusJson(board.Snapshot(), StatusFileHeader()).find("kept"), std::string::npos);
}

}  // namespace
}  // namespace tillgate

#include "config/tables.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "config/memory_file_layer.h"
#include "config/reg_file_store.h"

namespace tillgate {
namespace {

struct Built {
  Tables tables;
  std::vector<std::pair<int, std::string>> lines;  // port index, port name at creation
};

Built Build(const Settings& settings) {
  Built built;
  built.tables = BuildTables(settings, [&](int index, const LineRuntime& runtime) {
    EXPECT_EQ(runtime.state, kLineConnected);
    built.lines.emplace_back(index, runtime.port_name);
  });
  return built;
}

TEST(BuildTables, PortRecordsGiveStatesLineObjectsAndModelNames) {
  auto files = std::make_shared<MemoryFileLayer>();
  files->files()["r.reg"] =
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Tillgate\\Equipment]\r\n"
      "\"COM1\"=hex:01,01,02\r\n\"COM2\"=hex:01,01,00\r\n\"COM3\"=hex:00,01,03\r\n"
      "\"COM4\"=hex:01,00,04\r\n\"COM16\"=hex:01,00,01\r\n";
  Status status;
  auto store = OpenRegistryFile(files, "r.reg", &status);
  LoadResult loaded = LoadSettings(*store, "/cwd");
  ASSERT_TRUE(loaded.status.ok()) << loaded.status.message();
  const Settings& s = loaded.settings;
  EXPECT_TRUE(s.connect_checked[0] && s.start_checked[0]);
  EXPECT_TRUE(s.connect_checked[1] && s.start_checked[1]);
  EXPECT_FALSE(s.connect_checked[2] || s.start_checked[2]);

  Built built = Build(s);
  const LineRuntimes& rt = built.tables.runtime;
  EXPECT_EQ(rt[0].state, kLineConnected);
  EXPECT_STREQ(rt[0].model_name, "EKR");
  EXPECT_EQ(rt[1].state, kLineConnected);  // connected, but no model: no line object
  EXPECT_STREQ(rt[1].model_name, "");
  EXPECT_EQ(rt[2].state, kLineNotConnected);
  EXPECT_STREQ(rt[2].model_name, "EKR");
  EXPECT_STREQ(rt[3].model_name, "");  // model 4 is unknown
  std::vector<std::pair<int, std::string>> expected = {{0, "COM1"}, {15, "COM16"}};
  EXPECT_EQ(built.lines, expected);
  for (int i = 0; i < kPortCount; ++i) {
    EXPECT_EQ(rt[i].port_number, i + 1);
    EXPECT_EQ(std::string(rt[i].port_name), "COM" + std::to_string(i + 1));
  }
}

TEST(BuildTables, DecodingSettingsReachOnlyPortsWithALine) {
  Settings s;
  for (auto& port : s.ports) {
    port.connect = 1;
    port.model = kModelLadogaF;
    port.mask = "25CCCCCWWWWW";
    port.name_lines = "CN";
    port.split_length = 8;
  }
  s.ports[0].mask = "12345678901234567";   // 17: whole
  s.ports[1].mask = "123456789012345678";  // 18: cut to 17
  s.ports[2].name_lines = "N";
  s.ports[3].name_lines = "";
  s.ports[4].connect = 0;
  s.ports[5].model = 0;
  Tables tables = BuildTables(s, nullptr);  // no factory is fine

  const BarcodeSetups& b = tables.barcodes;
  EXPECT_STREQ(b[0].mask, "12345678901234567");
  EXPECT_STREQ(b[1].mask, "12345678901234567");
  EXPECT_EQ(b[1].mask[kMaskCapacity], '\0');
  EXPECT_EQ(b[2].first_line, 'N');
  EXPECT_EQ(b[2].second_line, 0);
  EXPECT_EQ(b[3].first_line, 0);
  EXPECT_EQ(b[6].first_line, 'C');
  EXPECT_EQ(b[6].second_line, 'N');
  for (int i : {4, 5}) {  // no line object: empty mask, zero letters
    EXPECT_STREQ(b[i].mask, "") << i;
    EXPECT_EQ(b[i].first_line, 0) << i;
    EXPECT_EQ(b[i].second_line, 0) << i;
  }
  for (int i = 0; i < kPortCount; ++i) EXPECT_EQ(b[i].split_length, 8) << i;
}

}  // namespace
}  // namespace tillgate

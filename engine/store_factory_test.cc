// The server's store as start-up builds it: from the settings' store folders
// and stock tracking switch, its steps in the tick and its look-ups behind
// every line's decoding.

#include "engine/store_factory.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/fake_serial_device.h"
#include "platform/platform.h"
#include "store/store_test_util.h"

namespace tillgate {
namespace {

std::vector<uint8_t> Sale(uint8_t network, uint16_t code) {
  return {network,
          0x30,
          13,
          1,
          'p',
          static_cast<uint8_t>(code & 0xFF),
          static_cast<uint8_t>(code >> 8),
          0,
          0,
          0,
          0,
          0xD0,
          0x07,
          0,
          0,
          0};  // 2 pieces
}

TEST(ServerStoreFactory, StoreFromTheSettingsServesTicksAndDecoding) {
  testing::ScratchDir goods, reports;
  testing::DbfImage image;
  image.fields = testing::GoodsFields();
  image.records = {testing::GoodsRow("100", "BREAD", "12.50", "2", "", "10.000")};
  testing::WriteFile(goods.File("tovars.dbf"), image.Bytes());

  Settings settings;
  settings.installed = true;
  settings.store_goods_folder = goods.path();
  settings.store_report_folder = reports.path();
  settings.track_stock = true;
  PortConfig& port = settings.ports[4];
  port.connect = port.start = port.model = 1;
  port.name_lines = "CC";
  settings.start_checked[4] = true;

  FakeSerialDevice* fake = nullptr;
  StationOptions options(SystemServices());
  options.make_store = ServerStoreFactory();
  options.platform.make_serial_device = [&](int) {
    auto device = std::make_unique<FakeSerialDevice>();
    fake = device.get();
    return device;
  };
  Station station(settings, std::move(options));
  ASSERT_NE(fake, nullptr);
  ASSERT_NE(station.GetStore(), nullptr);
  // The store's creation took in the goods file and created the report.
  EXPECT_TRUE(testing::FileExists(reports.File("otchet.dbf")));

  Engine& engine = station.GetEngine();
  engine.Start(station.StoredStartBoxes(), false);
  // The first register served after Start is network number 2; it answers
  // its start command with a sale.
  fake->QueueRead(Sale(2, 100));
  fake->ClearCalls();
  engine.Timer1Timer();
  EXPECT_EQ(station.Views().goods.Cell(0, 1).substr(0, 3), "100");  // first tick fills the view
  const std::vector<uint8_t>& written = fake->Written();
  ASSERT_GE(written.size(), 47u);
  const std::string text(written.end() - 47 + 6, written.end() - 47 + 38);
  EXPECT_EQ(text, std::string("12.50      *2.0\r\n12.50      *2.0"));
  // Stock tracking came from the settings: RES moved.
  EXPECT_EQ(station.Views().goods.Cell(5, 1), "     8.000");
}

}  // namespace
}  // namespace tillgate

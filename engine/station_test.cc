#include "engine/station.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>

#include "config/event_collector.h"
#include "config/settings_testing.h"
#include "line/register_peer.h"
#include "platform/fake_serial_device.h"
#include "platform/platform.h"
#include "platform/scratch_dir.h"
#include "store/recording_store.h"

namespace tillgate {
namespace {

using Strings = std::vector<std::string>;

using Events = EventCollector;

void SetPort(Settings& s, int index, uint8_t connect, uint8_t start, uint8_t model,
             const std::string& device = "") {
  PortConfig& port = s.ports[static_cast<size_t>(index)];
  port.connect = connect;
  port.start = start;
  port.model = model;
  port.device = device;
  port.mask = "25CCCCCWWWWW";
  port.name_lines = "NC";
  s.start_checked[static_cast<size_t>(index)] = connect == 1 && start != 0;
}

TEST(Station, BuildsLinesForConnectedPortsWithAModelAndAutoStarts) {
  RegisterPeer peer;
  ASSERT_TRUE(peer.ok());
  peer.SetAnswering({2});
  Settings settings;
  settings.auto_start = 1;
  SetPort(settings, 0, 1, 1, kModelEkr3102F, peer.DevicePath());
  SetPort(settings, 1, 1, 1, 0);              // connected, no model
  SetPort(settings, 2, 0, 1, kModelLadogaF);  // not connected
  SetPort(settings, 3, 1, 0, kModelElektronika92, "/dev/fake3");
  Events events;
  RecordingStore* store = nullptr;
  const StoreContext* seen_context = nullptr;
  StationOptions options(SystemServices());
  options.events = &events;
  options.platform.make_serial_device = [](int port) -> std::unique_ptr<SerialDevice> {
    if (port == 3) return std::make_unique<FakeSerialDevice>();
    return NewSystemSerialDevice();
  };
  options.make_store = [&](const StoreContext& context) -> std::unique_ptr<Store> {
    seen_context = &context;
    EXPECT_EQ(context.settings.auto_start, 1);
    auto made = std::make_unique<RecordingStore>();
    store = made.get();
    return made;
  };
  Station station(settings, std::move(options));

  EXPECT_NE(seen_context, nullptr);
  EXPECT_TRUE(station.HasLine(0));
  EXPECT_FALSE(station.HasLine(1));
  EXPECT_FALSE(station.HasLine(2));
  EXPECT_TRUE(station.HasLine(3));
  EXPECT_FALSE(station.HasLine(16));
  EXPECT_TRUE(station.Line(3)->IsOpen());  // the fake device

  EXPECT_TRUE(station.AutoStarted());
  EXPECT_EQ(station.Runtime()[0].state, kLineRunning);
  EXPECT_EQ(station.Runtime()[1].state, kLineConnected);
  EXPECT_EQ(station.Runtime()[2].state, kLineNotConnected);
  EXPECT_EQ(station.Runtime()[3].state, kLineConnected);
  EXPECT_TRUE(events.Has("COM1 (" + peer.DevicePath() + "): port opened"));
  EXPECT_TRUE(events.Has("start: polling COM1; not started (no register model at start-up): COM2"));

  TKkmEkr* line = station.Line(0);
  EXPECT_EQ(line->Runtime(), &station.Runtime()[0]);
  EXPECT_STREQ(line->Barcode()->mask, "25CCCCCWWWWW");
  EXPECT_EQ(line->Barcode()->first_line, 'N');
  EXPECT_EQ(line->GetStore(), station.GetStore());
  EXPECT_EQ(line->DelayEvent(), &station.Delay());
  EXPECT_FALSE(station.Views().diagnostics.Cell(1, 0).empty());  // headings written

  // One tick: the store steps, then register 2 answers and is decoded (its
  // message is none the server knows: "u").
  peer.ClearServed();
  station.GetEngine().Timer1Timer();
  ASSERT_NE(store, nullptr);
  EXPECT_EQ(store->Calls(), (Strings{"fill", "report", "goods"}));
  for (int i = 0; i < 1000 && peer.Served().size() < 2; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  EXPECT_EQ(peer.Served(), (Strings{"start 2", "frame 2 117"}));
}

TEST(Station, WithoutAutoStartNothingRuns) {
  Settings settings;
  SetPort(settings, 5, 1, 1, kModelEkr3102F, "/dev/fake5");
  StationOptions options(SystemServices());
  FakeSerialDevice* fake = nullptr;
  options.platform.make_serial_device = [&](int) {
    auto device = std::make_unique<FakeSerialDevice>();
    fake = device.get();
    return device;
  };
  Station station(settings, std::move(options));
  ASSERT_NE(fake, nullptr);
  EXPECT_FALSE(station.AutoStarted());
  EXPECT_EQ(station.Runtime()[5].state, kLineConnected);
  EXPECT_TRUE(station.StoredStartBoxes()[5]);
  fake->ClearCalls();
  station.GetEngine().Timer1Timer();  // no store, no running line
  EXPECT_TRUE(fake->Calls().empty());
  station.GetEngine().Start(station.StoredStartBoxes(), false);
  station.GetEngine().Timer1Timer();
  EXPECT_FALSE(fake->Calls().empty());
}

// The window and the headless server both build a station: both are told
// of a missing shop folder at once and of its return while they run.
TEST(Station, AMissingFolderIsToldAtStartUpAndItsReturnWhileTheEngineRuns) {
  testing::ScratchDir base;
  const std::string goods = base.File("goods");
  Settings settings = InstalledWithFolders(goods, base.path());
  Events events;
  StationOptions options(SystemServices());
  options.events = &events;
  options.make_store = [&](const StoreContext&) -> std::unique_ptr<Store> {
    EXPECT_TRUE(events.Has(goods + ": No such file or directory"));  // said before
    return std::make_unique<RecordingStore>();
  };
  Station station(settings, std::move(options));
  station.GetEngine().Launch();
  ASSERT_TRUE(std::filesystem::create_directory(goods));
  bool back = false;
  for (int i = 0; i < 100 && !back; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    back = events.Has("goods folder (InPath) " + goods + " is usable again");
  }
  station.GetEngine().Stop();
  EXPECT_TRUE(back) << ::testing::PrintToString(events.Lines());
  EXPECT_EQ(events.Count(": No such file or directory"), 1);
}

}  // namespace
}  // namespace tillgate

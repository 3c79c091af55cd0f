// Arbitrary frames from registers through DecodeMessage, with a real store
// on a small goods file: whatever a register sends, decoding must answer it
// with one well-formed frame and never reach past a buffer.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "line/decoding_rig.h"
#include "platform/memory_file_system.h"
#include "store/monitoring_views.h"
#include "store/store_test_util.h"
#include "store/tdb_probe.h"

using namespace tillgate;

namespace {

const std::string& GoodsBytes() {
  static const std::string bytes = [] {
    testing::DbfImage image;
    image.fields = testing::GoodsFields();
    image.records = {
        testing::GoodsRow("12345", "MOLOKO", "12.50", "1", "4600000000011", "10.000"),
        testing::GoodsRow("100", "BREAD", "7", "7", "12345", "5.000"),
        testing::GoodsRow("4321", "SUGAR", "0.99", " ", "46012345", ""),
        testing::GoodsRow("65535", "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123", "99999999", "6", "", "1"),
    };
    return image.Bytes();
  }();
  return bytes;
}

// Every frame the line wrote must be a command or a goods answer whose
// checksum holds.
void CheckWritten(const std::vector<uint8_t>& written, size_t from) {
  size_t at = from;
  while (at < written.size()) {
    size_t size = 6;
    if (at + 5 < written.size() && written[at + 4] == 'n') size = 15u + written[at + 5];
    if (at + size > written.size()) std::abort();
    uint8_t sum = 0;
    for (size_t i = at + 3; i < at + size; ++i) sum = static_cast<uint8_t>(sum + written[i]);
    if (sum != 0) std::abort();
    at += size;
  }
}

// The rig is built once per process (building the store and its views is
// what cost most); each input then starts from the same goods file, no
// pending operation and fresh registers.
struct Rig {
  Rig() {
    fs.Put("g/tovars.dbf", GoodsBytes());
    // No report folder: report records are still built, but kept nowhere,
    // so that memory does not grow from input to input.
    rig.Build("g", "", fs, nullptr, 0, RigLineSettings{});
  }
  void Reset(uint8_t options, uint8_t split) {
    static const char* kMasks[] = {"25CCCCCWWWWW", "", "2", "2CWWWWWWWWWWWCCCC", "25CCCCC"};
    static const char kLetters[] = {'N', 'C', 0, 'X'};
    fs.Overwrite("g/tovars.dbf", GoodsBytes());
    rig.store->SetTrackStock(options & 1);
    BarcodeSetup& setup = rig.barcodes[0];
    std::snprintf(setup.mask, sizeof setup.mask, "%s", kMasks[(options >> 1) % 5]);
    setup.first_line = kLetters[(options >> 4) & 3];
    setup.second_line = kLetters[(options >> 6) & 3];
    setup.split_length = split;
  }
  // Hands every pending operation over, which also forgets the registers'
  // sequence bytes.
  void Settle() {
    for (int nn = 1; nn <= kSlotCount; ++nn)
      rig.store->CloseDocument(0, static_cast<uint8_t>(nn), DocumentClose{});
    if (TdbProbe(*rig.store).Pool().PendingCount() != 0) std::abort();
  }

  MemoryFileSystem fs;
  DecodingRig rig;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static Rig* shared = new Rig;
  // Two bytes of settings, then frames: one byte of network number and
  // length, then that many bytes.
  shared->Reset(data[0], data[1] % 14);
  data += 2;
  size -= 2;
  FakeSerialDevice* fake = shared->rig.fake;
  fake->ClearCalls();
  fake->ClearWritten();
  TKkmEkr& line = *shared->rig.line;

  while (size > 0) {
    const uint8_t head = data[0];
    const uint8_t network = static_cast<uint8_t>(1 + (head >> 4) % 10);
    size_t length = 5 + (head & 0x0F) + (size > 1 ? data[1] % 48 : 0);
    data += size > 1 ? 2 : 1;
    size -= size > 1 ? 2 : 1;
    if (length > size) length = size;
    // The receive step reads at most 60 bytes; more would run into the next frame.
    if (length > 60) length = 60;
    std::vector<uint8_t> frame(data, data + length);
    data += length;
    size -= length;
    // Make most frames acceptable to the receive step so they reach decoding.
    if (frame.size() >= 3 && frame[2] > frame.size()) frame[2] = static_cast<uint8_t>(frame.size());
    const size_t before = fake->Written().size();
    fake->QueueRead(frame);
    const bool accepted = line.ReadAnswer(network);
    CheckWritten(fake->Written(), before);
    if (accepted && fake->Written().size() == before) std::abort();  // always one answer
  }
  shared->Settle();
  return 0;
}

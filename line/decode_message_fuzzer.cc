// Arbitrary frames from registers through DecodeMessage, with a real store
// on a small goods file: whatever a register sends, decoding must answer it
// with one well-formed frame and never reach past a buffer.
//
// An input is two bytes of settings, then frames, each one byte of network
// number and length, one more of length, then that many bytes. It is at most
// TILLGATE_FUZZ_MAX_LEN (498) bytes: a frame is at most what the line reads
// for one answer (20 + 40 bytes), and eight of them hold a register's
// identification, six goods messages and the close of its document (short
// frames, more of them). Longer inputs only repeat what shorter ones reach,
// and cost the fuzzer its speed.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "line/answer_check.h"
#include "line/decoding_rig.h"
#include "platform/memory_file_system.h"
#include "platform/serial_device.h"
#include "store/monitoring_views.h"
#include "store/store_test_util.h"
#include "store/tdb_probe.h"

using namespace tillgate;

namespace {

constexpr size_t kSettingsBytes = 2;
constexpr size_t kMaxFrame = kFirstReadSize + kSecondReadSize;
constexpr size_t kMaxFrames = 8;
constexpr size_t kMaxInput = TILLGATE_FUZZ_MAX_LEN;
static_assert(kMaxInput == kSettingsBytes + kMaxFrames * (2 + kMaxFrame));

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

// The register's side of the line: each read takes from the one answer
// queued, as a real read ends with what had arrived; what the line writes is
// kept for the check. Nothing is recorded call by call, so an input costs no
// allocation once the buffer has grown.
class AnswerLine final : public SerialDevice {
 public:
  void Queue(const uint8_t* bytes, size_t size) {
    answer_ = bytes;
    left_ = size;
  }
  const std::vector<uint8_t>& Written() const { return written_; }
  void ClearWritten() { written_.clear(); }

  Status Open(const std::string&) override {
    open_ = true;
    return Status::Ok();
  }
  Status Close() override {
    open_ = false;
    return Status::Ok();
  }
  bool IsOpen() const override { return open_; }
  Status GetLineSettings(LineSettings* settings) override {
    *settings = line_;
    return Status::Ok();
  }
  Status SetLineSettings(const LineSettings& settings) override {
    line_ = settings;
    return Status::Ok();
  }
  Status Read(uint8_t* buffer, size_t count, const ReadTimeouts&, size_t* got) override {
    *got = std::min(count, left_);
    std::memcpy(buffer, answer_, *got);
    answer_ += *got;
    left_ -= *got;
    return Status::Ok();
  }
  Status ReadUntil(uint8_t* buffer, size_t count, const ReadTimeouts&, const ReadTarget& target,
                   size_t* got) override {
    *got = 0;
    while (*got < count && left_ > 0 && *got < target(buffer, *got)) {
      buffer[(*got)++] = *answer_++;
      --left_;
    }
    return Status::Ok();
  }
  Status FlushInput(uint8_t*, size_t, size_t* kept_count) override {
    left_ = 0;
    *kept_count = 0;
    return Status::Ok();
  }
  Status Write(const uint8_t* bytes, size_t count, const WriteTimeouts&, size_t* written) override {
    written_.insert(written_.end(), bytes, bytes + count);
    *written = count;
    return Status::Ok();
  }
  Status SetDtr(bool) override { return Status::Ok(); }
  Status ClearErrors() override { return Status::Ok(); }

 private:
  bool open_ = false;
  LineSettings line_{};
  const uint8_t* answer_ = nullptr;
  size_t left_ = 0;
  std::vector<uint8_t> written_;
};

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
    auto device = std::make_unique<AnswerLine>();
    line = device.get();
    // No report folder: report records are still built, but kept nowhere,
    // so that memory does not grow from input to input.
    rig.Build("g", "", fs, nullptr, 0, RigLineSettings{}, std::move(device));
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
    line->ClearWritten();
    touched = 0;
  }
  // Hands the pending operations of every register the input spoke for
  // over, which also forgets their sequence bytes. False when some stay
  // kept for a register that identified with another serial number: no
  // close at that place may take them, so the rig must be built anew.
  bool Settle() {
    for (int nn = 1; nn <= kSlotCount; ++nn)
      if (touched & 1u << nn)
        rig.store->CloseDocument(0, static_cast<uint8_t>(nn), DocumentClose{});
    TdbProbe probe(*rig.store);
    int kept = 0;
    for (const auto& [serial, count] : probe.KeptOperations()) kept += count;
    if (probe.Pool().PendingCount() != kept) std::abort();
    // The report view's rows go with the input that wrote them: a view
    // that kept them would hold more memory after an input than before,
    // and the fuzzer would look for a leak after every such input.
    // Dropping the rows and adding them back empties them in one step.
    rig.views.report.SetRowCount(1);
    rig.views.report.SetRowCount(kReportRows);
    return kept == 0;
  }

  MemoryFileSystem fs;
  DecodingRig rig;
  AnswerLine* line = nullptr;  // owned by the rig's line
  unsigned touched = 0;        // bit n: register n got a frame
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return -1;
  if (size < kSettingsBytes) return 0;
  static Rig* shared = new Rig;
  shared->Reset(data[0], data[1] % 14);
  data += kSettingsBytes;
  size -= kSettingsBytes;
  TKkmEkr& line = *shared->rig.line;

  uint8_t frame[kMaxFrame];
  while (size > 0) {
    const uint8_t head = data[0];
    const uint8_t network = static_cast<uint8_t>(1 + (head >> 4) % 10);
    size_t length = 5 + (head & 0x0F) + (size > 1 ? data[1] % 48 : 0);
    data += size > 1 ? 2 : 1;
    size -= size > 1 ? 2 : 1;
    // More than one answer's reads would run into the next frame.
    length = std::min({length, size, kMaxFrame});
    std::memcpy(frame, data, length);
    data += length;
    size -= length;
    // Make most frames acceptable to the receive step so they reach decoding.
    if (length >= 3 && frame[2] > length) frame[2] = static_cast<uint8_t>(length);
    shared->touched |= 1u << network;
    const size_t before = shared->line->Written().size();
    shared->line->Queue(frame, length);
    const bool accepted = line.ReadAnswer(network);
    CheckWritten(shared->line->Written(), before);
    if (accepted && shared->line->Written().size() == before) std::abort();  // always one answer
  }
  if (!shared->Settle()) {
    delete shared;
    shared = new Rig;
  }
  return 0;
}

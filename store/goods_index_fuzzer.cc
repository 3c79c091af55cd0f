// Goods files made from the input (random_goods.h: CODE of every type and
// length, repeated keys, weight barcodes, deleted records, headers that
// miscount), each taken in: for every key worth looking up, codes and
// barcodes alike, present or not, the index finds what a scan of the whole
// file finds, record for record.
//
// Each byte of the input is one choice of the generator (the length of a
// field, a code's digit, whether a record is deleted); an input that runs
// out chooses zeros from there. Files hold fewer than 16 records and six
// codes, so that a scan for every key stays cheap; more records or codes
// only repeat what these reach. Inputs are at most TILLGATE_FUZZ_MAX_LEN (1024) bytes,
// about the choices of the longest file these limits allow.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/memory_file_system.h"
#include "store/fuzz_check.h"
#include "store/goods_file.h"
#include "store/random_goods.h"

using namespace tillgate;

namespace {

constexpr size_t kMaxInput = TILLGATE_FUZZ_MAX_LEN;
constexpr testing::RandomGoodsLimits kLimits{/*records=*/16, /*fixed_codes=*/false,
                                             /*random_codes=*/4, /*random_keys=*/2};

// The input as a random bit generator: a byte a draw, zeros after its end.
class InputChoices {
 public:
  using result_type = uint32_t;
  InputChoices(const uint8_t* data, size_t size) : data_(data), left_(size) {}
  static constexpr result_type min() { return 0; }
  static constexpr result_type max() { return 255; }
  result_type operator()() {
    if (left_ == 0) return 0;
    --left_;
    return *data_++;
  }

 private:
  const uint8_t* data_;
  size_t left_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return -1;
  static MemoryFileSystem* const fs = new MemoryFileSystem;
  InputChoices choices(data, size);
  testing::RandomGoods goods = testing::MakeRandomGoods(choices, kLimits);
  // Codes repeat, and so do their variants: each key is looked up once.
  std::sort(goods.keys.begin(), goods.keys.end());
  goods.keys.erase(std::unique(goods.keys.begin(), goods.keys.end()), goods.keys.end());
  fs->Put("g/tovars.dbf", goods.bytes);
  GoodsFile file(fs, nullptr, "g");
  if (!file.Exchange()) return 0;  // a layout refused as a whole
  FUZZ_CHECK(file.Index() != nullptr);
  for (const std::string& key : goods.keys) {
    for (const uint8_t kind : {kLookupByCode, kLookupByBarcode}) {
      GoodsItem indexed, scanned;
      const LookUpResult by_index = file.Find(key, kind, &indexed);
      const LookUpResult by_scan = file.FindByScan(key, kind, &scanned);
      FUZZ_CHECK(testing::SameLookUp(by_index, indexed, by_scan, scanned));
    }
  }
  return 0;
}

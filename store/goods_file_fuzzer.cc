// Arbitrary bytes as a goods file: the layout check, the key scan, the
// index, the view fill and a look-up with stock movement (and its reversal)
// must neither crash nor reach past a buffer, whatever the header claims;
// and the index must find what the scan finds.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/memory_file_system.h"
#include "store/goods_file.h"
#include "store/monitoring_views.h"

using namespace tillgate;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemoryFileSystem fs;
  fs.Put("g/tovars.dbf", std::string(reinterpret_cast<const char*>(data), size));

  // The layout check and the scan on their own.
  {
    std::unique_ptr<File> file;
    fs.Open("g/tovars.dbf", OpenMode::kReadWriteOthersRead, &file);
    TDBFF dbf;
    GoodsLayout layout;
    const bool usable = ReadGoodsLayout(dbf, file.get(), &layout);
    char out[kMaxGoodsRecordLength + 1];
    const int position = usable ? layout.code.position : static_cast<int>(size % 40);
    dbf.FindRecord(file.get(), position, size > 3 ? std::string_view("1  ") : "", out, sizeof out);
  }

  // The goods file's own paths: exchange, view fill, look-up, stock moved
  // and moved back.
  GoodsFile goods(&fs, nullptr, "g");
  GridModel view(kGoodsColumns, 4);
  goods.SetView(&view);
  goods.SetTrackStock(true);
  goods.Exchange();
  goods.FillView();
  for (int row = 0; row < std::min(view.RowCount(), 1000); ++row)
    for (int column = 0; column < kGoodsColumns; ++column) view.Cell(column, row);
  const char* code = reinterpret_cast<const char*>(data);
  // Keys of every length the input offers, both ways.
  for (size_t n = 0; n <= std::min<size_t>(size, 14); ++n) {
    for (const uint8_t kind : {kLookupByCode, kLookupByBarcode}) {
      GoodsItem indexed, scanned;
      const std::string_view key(code, strnlen(code, n));
      const LookUpResult a = goods.Find(key, kind, &indexed);
      const LookUpResult b = goods.FindByScan(key, kind, &scanned);
      if (a != b || indexed.record_number != scanned.record_number ||
          std::memcmp(indexed.name, scanned.name, sizeof indexed.name) != 0 ||
          indexed.section != scanned.section || indexed.price != scanned.price)
        __builtin_trap();
    }
  }
  GoodsItem item;
  if (goods.Find(std::string_view(code, strnlen(code, std::min<size_t>(size, 3))), kLookupByCode,
                 &item) == LookUpResult::kFound &&
      goods.MoveStock(item.record_number, kOpSaleByCode, 1) == StockResult::kMoved)
    goods.MoveStock(item.record_number, kOpSaleByCode, 1, -1);
  return 0;
}

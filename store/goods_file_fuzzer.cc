// Arbitrary bytes as a goods file: the layout check, the key scan, the view
// fill and a look-up with stock movement must neither crash nor reach past a
// buffer, whatever the header claims.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/memory_file_system.h"
#include "store/monitoring_views.h"
#include "store/tdb.h"

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

  // The store's own paths: exchange, view fill, look-up with stock tracking.
  TDB store("g", "", fs, nullptr);
  GridModel goods(kGoodsColumns, 4);
  store.SetViews(&goods, nullptr);
  store.SetTrackStock(true);
  store.FillGoodsView();
  OperationRecord& r = store.Current();
  const size_t n = std::min<size_t>(size, 3);
  std::memset(r.goods_code, ' ', kGoodsCodeSize - 1);
  std::memcpy(r.goods_code, data, n);
  r.goods_code[n] = 0;
  r.quantity = 1;
  r.operation_code = kOpSaleByCode;
  store.LookUp(r);
  store.ReverseStock(r.pool_index);
  return 0;
}

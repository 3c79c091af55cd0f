#pragma once
// The goods file tovars.dbf in the goods folder: opened and checked, taken
// in anew from tovars2.dbf when tovars.exp signals it, searched by goods
// code or barcode, its stock (RES) read and written back, and its records
// shown in the goods view. It never holds goods in memory: every look-up
// reads the file. Problems are told as events, each once while it lasts.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "config/event_sink.h"
#include "platform/file_system.h"
#include "store/dbff.h"
#include "store/goods_layout.h"
#include "store/grid_model.h"
#include "store/operation_record.h"

namespace tillgate {

// How a look-up ended.
enum class LookUpResult : uint8_t {
  kFound,
  kNoGoodsFile,  // no goods file in service
  kNotFound,     // no goods with that code (or the pool is full)
  kOutOfStock,   // the stock would go below zero
  kStockFailed,  // the stock could not be read or written back
  kReadFailed,   // the goods file could not be read
};

// How a stock movement ended.
enum class StockResult : uint8_t {
  kMoved,
  kShort,   // the stock would go below zero: nothing written
  kFailed,  // no RES field or goods file, a failed transfer, or a number RES cannot hold
};

// What a look-up takes from the goods record it found.
struct GoodsItem {
  int32_t record_number = -1;  // from 1; -1 when none was found
  char name[kNameSize] = {};   // NAME's bytes (at most 34), trailing spaces kept
  int name_length = 0;         // of those bytes, before the zero that ends them
  char section = 0;            // DIVNUM's first character
  double price = 0;            // PRICE read as a number
};

class GoodsFile {
 public:
  // tovars.dbf, tovars2.dbf and tovars.exp in `folder`; an empty folder
  // (program not installed) touches no file. Neither pointer is owned;
  // `events` may be null.
  GoodsFile(FileSystem* fs, EventSink* events, const std::string& folder);
  GoodsFile(const GoodsFile&) = delete;
  GoodsFile& operator=(const GoodsFile&) = delete;

  // The goods view (6 columns); may be null. Not owned.
  void SetView(GridModel* view) { view_ = view; }
  // Stock tracking as set by the operator. Once a goods file without RES has
  // been taken in, tracking stays off whatever is set.
  void SetTrackStock(bool on) { track_stock_ = on; }
  bool TrackStock() const { return track_stock_ && !stock_disabled_; }

  // One exchange step: opens tovars.dbf, or takes in tovars2.dbf when
  // tovars.exp signals it. True when a goods file is open afterwards (a
  // rejected candidate gives false while the old file stays in service).
  bool Exchange();

  bool IsOpen() const { return file_ != nullptr; }
  const GoodsLayout& Layout() const { return layout_; }
  // Records the header of the file in service counts (0 while none is).
  uint32_t Records() const { return file_ ? records_ : 0; }
  // The file last put in service, and which one it was, counted from 1 as
  // files come into service (the same file reopened keeps its number): a
  // record number means the same goods only within one.
  const FileIdentity& Identity() const { return identity_; }
  uint32_t Generation() const { return generation_; }

  // The goods with goods code `code` (a barcode when `lookup_kind` is by
  // barcode and the file has SH_CODE; CODE otherwise), keyed by CODE's type
  // and length. kFound fills `*item`; a record whose name begins with a
  // zero byte is kNotFound, since the register would read it so. Refusals
  // other than kFound still give the record number searched out.
  LookUpResult Find(std::string_view code, uint8_t lookup_kind, GoodsItem* item);

  // Moves the stock of goods record `record_number` by `quantity` in the
  // direction of `operation_code` (sales decrease it, returns and voids
  // increase it), reversed when `direction` is -1: reads RES, writes the new
  // stock back (a result between -0.001 and 0 is 0) and shows it in the
  // goods view. Uses the file's current header and record lengths.
  StockResult MoveStock(int32_t record_number, char operation_code, double quantity,
                        int direction = +1);
  // MoveStock in its steps, for a store that journals a movement before it
  // reaches the file. ReadStock: the stock RES holds for goods record
  // `record_number`, and its CODE field's bytes in `*code`. StockAfter: the
  // stock `stock` becomes (as RES can hold it) after the movement, or kShort
  // below zero; touches no file. WriteStock: writes `stock` into RES and
  // shows it in the goods view. SyncStock: the stock written so far is on
  // the disk.
  StockResult ReadStock(int32_t record_number, double* stock, std::string* code);
  StockResult StockAfter(double stock, char operation_code, double quantity, int direction,
                         double* after) const;
  StockResult WriteStock(int32_t record_number, double stock);
  Status SyncStock();

  // Rebuilds the goods view from the file in service; nothing changes when
  // no goods file is open or its header cannot be read.
  void FillView();

 private:
  // The one place a key becomes a record: scans the searched field for
  // `key` and copies the record found (minus its flag) to `record`. Number
  // from 1, -1 when none; `*failed` when the file could not be read.
  int32_t Locate(const DbfField& field, std::string_view key, char* record, size_t size,
                 bool* failed);
  // `same_file`: reopening the file just closed, not a new one.
  bool Open(bool same_file = false);
  void Close();
  bool TakeInCandidate();
  // Says when the file holds fewer whole records than its header counts.
  void CheckLength(File* file, uint32_t records, const GoodsLayout& layout);
  void ReportProblem(const std::string& text);
  bool StockHeader(DbfHeader* header);
  void ReadFailed();
  void ReadWorked();

  FileSystem* fs_;
  EventSink* events_;
  bool enabled_;
  std::string path_, candidate_path_, signal_path_;
  TDBFF dbf_;
  std::unique_ptr<File> file_;
  GoodsLayout layout_;
  uint32_t records_ = 0;
  FileIdentity identity_;
  uint32_t generation_ = 0;
  GridModel* view_ = nullptr;
  bool track_stock_ = false;
  bool stock_disabled_ = false;  // a goods file without RES was taken in
  // Events are told on changes, not at every step.
  bool candidate_rejection_reported_ = false;
  std::string problem_;      // the last one said, until a goods file opens
  bool unreadable_ = false;  // a look-up could not read it; said once
  std::string shortfall_;    // the cut-short warning last said
};

}  // namespace tillgate

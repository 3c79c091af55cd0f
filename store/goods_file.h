#pragma once
// The goods file tovars.dbf in the goods folder: opened and checked, taken
// in anew from tovars2.dbf when tovars.exp signals it, searched by goods
// code or barcode, its stock (RES) read and written back, and its records
// shown in the goods view. It holds no goods in memory, only the index of
// their keys (GoodsIndex), built whenever a file is taken in: a look-up
// reads the one record the index names. Problems are told as events, each
// once while it lasts.
//
// The index is checked against the file (identity, size, time of the last
// write) before every look-up and built again when the file changed under
// it. A candidate's index is built before the candidate takes the place of
// tovars.dbf, in the exchange step itself or, when asked, on a thread of its
// own while the old file keeps serving (the step that finds it done puts the
// candidate in place).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "config/event_sink.h"
#include "platform/file_system.h"
#include "store/background_index_build.h"
#include "store/dbff.h"
#include "store/goods_index.h"
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

  // Tells the index build on the destructor to stop and waits for it.
  ~GoodsFile();

  // The goods view (6 columns); may be null. Not owned.
  void SetView(GridModel* view) { view_ = view; }
  // Builds a candidate's index on a thread of its own (on) or within the
  // exchange step (off, the default).
  void SetBackgroundIndexing(bool on) { background_ = on; }
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
  // and length: the first record, in file order, whose searched field holds
  // the key padded with spaces to its width. kFound fills `*item`; a record
  // whose name begins with a zero byte is kNotFound, since the register
  // would read it so. Refusals other than kFound still give the record
  // number searched out. Found through the index.
  LookUpResult Find(std::string_view code, uint8_t lookup_kind, GoodsItem* item);
  // The same found by reading the file from its first record on: the
  // reference the index is tested against, and nothing else.
  LookUpResult FindByScan(std::string_view code, uint8_t lookup_kind, GoodsItem* item);
  // The index of the file in service as it stands (null when there is
  // none), and whether a candidate's index is being built.
  const GoodsIndex* Index() const { return index_.get(); }
  bool Indexing() const { return building_ != nullptr; }

  // Moves the stock of goods record `record_number` by `quantity` in the
  // direction of `operation_code` (sales decrease it, returns and voids
  // increase it), reversed when `direction` is -1: reads RES, writes the new
  // stock back (a result between -0.001 and 0 is 0) and shows it in the
  // goods view. Uses the file's current header and record lengths.
  StockResult MoveStock(int32_t record_number, char operation_code, double quantity,
                        int direction = +1);

  // Shows the file in service in the goods view from now on: its records
  // as rows, read from the file whenever the view is looked at (the view
  // keeps none). Columns of fields the file lacks keep what they showed.
  // Nothing changes when no goods file is open, its header cannot be read
  // or it cannot be opened for the view.
  void FillView();

 private:
  // The whole field a look-up wants: the key padded to the searched
  // field's width.
  struct Wanted {
    const DbfField* field = nullptr;
    GoodsKey key = GoodsKey::kCode;
    std::string bytes;
  };
  // False when `code` can have no record (no key for it, or a key longer
  // than the field).
  bool Want(std::string_view code, uint8_t lookup_kind, Wanted* wanted) const;
  // The record holding what is wanted, copied minus its flag to `record`
  // (zero-filled, kMaxGoodsRecordLength + 1 bytes): number from 1, -1 when
  // none. `*failure` says why when the file could not be read.
  int32_t LocateByIndex(const Wanted& wanted, char* record, Status* failure);
  int32_t LocateByScan(const Wanted& wanted, char* record, Status* failure);
  using Locator = int32_t (GoodsFile::*)(const Wanted&, char*, Status*);
  // A look-up from the code to the goods, the record found by `locate`.
  LookUpResult LookUp(std::string_view code, uint8_t lookup_kind, GoodsItem* item, Locator locate);
  // Fills `*item` from the record found (the look-up's end, both ways).
  LookUpResult Found(int32_t number, const Status& failure, const char* record, GoodsItem* item);
  // The index of the file in service, built again when the file is no
  // longer what it describes. False (and why) when it cannot be had.
  bool CurrentIndex(Status* failure);
  // `same_file`: reopening the file just closed, not a new one.
  bool Open(bool same_file = false);
  void Close();
  bool TakeInCandidate();
  // Moves the candidate, whose index is `prepared_`, into place.
  bool PutCandidateInPlace();
  bool RefuseCandidate(Severity severity, const std::string& text);
  // A candidate whose index cannot be built is refused until it changes.
  bool RefuseUnindexable(const FileStat& stat, const Status& why);
  void StopIndexing();
  // Says when the file holds fewer whole records than its header counts.
  void CheckLength(File* file, uint32_t records, const GoodsLayout& layout);
  void ReportProblem(const std::string& text);
  void ReadFailed(const Status& why);
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
  std::unique_ptr<GoodsIndex> index_;  // of the file in service
  // A candidate's index: being built, or built and waiting for the
  // candidate to take the place of tovars.dbf.
  std::unique_ptr<BackgroundIndexBuild> building_;
  FileStat building_stat_;
  std::unique_ptr<GoodsIndex> prepared_;
  // The candidate whose index could not be built, and why.
  bool unindexable_ = false;
  FileStat unindexable_stat_;
  std::string unindexable_why_;
  bool background_ = false;
  GridModel* view_ = nullptr;
  // What the view reads the file in service through (null until a fill
  // shows it): stock written there is in the file the view reads.
  const CellSource* view_rows_ = nullptr;
  bool track_stock_ = false;
  bool stock_disabled_ = false;  // a goods file without RES was taken in
  // Events are told on changes, not at every step.
  bool candidate_rejection_reported_ = false;
  std::string problem_;      // the last one said, until a goods file opens
  bool unreadable_ = false;  // a look-up could not read it; said once
  std::string shortfall_;    // the cut-short warning last said
};

}  // namespace tillgate

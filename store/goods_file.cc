#include "store/goods_file.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "store/goods_view_rows.h"
#include "store/monitoring_views.h"

namespace tillgate {
namespace {

constexpr char kGoodsFileCondition[] = "goods file";
constexpr char kGoodsCandidateCondition[] = "goods candidate";
constexpr int kStockColumn = 5;

}  // namespace

GoodsFile::GoodsFile(FileSystem* fs, EventSink* events, const std::string& folder)
    : fs_(fs),
      events_(events),
      enabled_(!folder.empty()),
      path_(folder + "/tovars.dbf"),
      candidate_path_(folder + "/tovars2.dbf"),
      signal_path_(folder + "/tovars.exp") {}

GoodsFile::~GoodsFile() { StopIndexing(); }

void GoodsFile::Close() {
  if (file_) file_->Close();
  file_.reset();
  view_rows_ = nullptr;
}

void GoodsFile::StopIndexing() {
  building_.reset();
  prepared_.reset();
}

// A lasting problem with tovars.dbf, said once until it changes or a goods
// file opens.
void GoodsFile::ReportProblem(const std::string& text) {
  if (text == problem_) return;
  ReportCondition(events_, Severity::kError, kGoodsFileCondition, text);
  problem_ = text;
}

void GoodsFile::ReadFailed(const Status& why) {
  if (unreadable_) return;
  unreadable_ = true;
  ReportCondition(events_, Severity::kError, kGoodsFileCondition,
                  "goods file tovars.dbf cannot be read (" +
                      (why.ok() ? std::string("its header is cut short") : why.Reason()) +
                      "): goods messages are refused while it cannot");
}

void GoodsFile::ReadWorked() {
  if (!unreadable_) return;
  unreadable_ = false;
  ReportConditionCleared(events_, kGoodsFileCondition, "goods file tovars.dbf can be read again");
}

// A file cut short (a copy that did not finish) is still served: the goods
// in the records that are there are found, the others are not, and the
// operator is told why.
void GoodsFile::CheckLength(File* file, uint32_t records, const GoodsLayout& layout) {
  uint64_t size = 0;
  if (!file->Size(&size).ok() || layout.record_length == 0) return;
  const uint64_t whole =
      size > layout.header_length ? (size - layout.header_length) / layout.record_length : 0;
  if (whole >= records) {
    shortfall_.clear();
    return;
  }
  // The same file is reopened at every step while its signal cannot be
  // removed: the same shortfall is told once.
  const std::string text = "goods file tovars.dbf is cut short: its header counts " +
                           std::to_string(records) + " records, " + std::to_string(whole) +
                           " are there; goods in the missing records are not found";
  if (text == shortfall_) return;
  shortfall_ = text;
  Report(events_, Severity::kWarning, text);
}

// Opens tovars.dbf and checks it; a file that fails stays closed and is
// tried again at the next step.
bool GoodsFile::Open(bool same_file) {
  std::unique_ptr<File> file;
  const Status opened = fs_->Open(path_, OpenMode::kReadWriteOthersRead, &file);
  if (opened.code() == Status::kNotFound) {
    ReportProblem(
        "goods file tovars.dbf is missing: every goods message is refused until "
        "it is there");
    return false;
  }
  if (!opened.ok()) {
    ReportProblem("goods file tovars.dbf cannot be opened (" + opened.Reason() +
                  "): every goods message is refused until it can");
    return false;
  }
  GoodsLayout layout;
  std::string why;
  if (!ReadGoodsLayout(dbf_, file.get(), &layout, &why)) {
    file->Close();
    ReportProblem("goods file tovars.dbf rejected: " + why +
                  "; every goods message is refused until it is replaced");
    return false;
  }
  problem_.clear();
  layout_ = layout;
  if (layout_.res.length == 0) {
    if (!stock_disabled_ && track_stock_)
      Report(events_, Severity::kWarning,
             "goods file tovars.dbf has no RES field: stock tracking is off");
    stock_disabled_ = true;
  }
  DbfHeader header;
  records_ = dbf_.ReadHeader(file.get(), &header) ? header.record_count : 0;
  CheckLength(file.get(), records_, layout);
  unreadable_ = false;
  identity_ = FileIdentity();
  file->Identity(&identity_);
  // The index built for this file as a candidate, or the one it had when it
  // was open before; otherwise one is built now. One that cannot be built
  // is tried again by the look-ups, which say why it fails.
  FileStat stat;
  const bool looked = file->Stat(&stat).ok();
  if (looked && prepared_ && prepared_->Stat() == stat) {
    index_ = std::move(prepared_);
  } else if (!looked || !index_ || !(index_->Stat() == stat)) {
    index_.reset();
    auto index = std::make_unique<GoodsIndex>();
    if (GoodsIndex::Build(*file, layout, nullptr, index.get()).ok()) index_ = std::move(index);
  }
  prepared_.reset();
  file_ = std::move(file);
  if (!same_file) ++generation_;
  ReportConditionCleared(events_, kGoodsFileCondition, "goods file tovars.dbf opened",
                         Severity::kInfo);
  return true;
}

bool GoodsFile::RefuseCandidate(Severity severity, const std::string& text) {
  if (!candidate_rejection_reported_)
    ReportCondition(events_, severity, kGoodsCandidateCondition, text);
  candidate_rejection_reported_ = true;
  return false;
}

bool GoodsFile::RefuseUnindexable(const FileStat& stat, const Status& why) {
  unindexable_ = true;
  unindexable_stat_ = stat;
  unindexable_why_ = why.Reason();
  return RefuseCandidate(
      Severity::kWarning,
      "goods candidate tovars2.dbf rejected: its index cannot be built (" + unindexable_why_ + ")");
}

// Examines tovars2.dbf and builds its index; when both pass, puts it in
// place of tovars.dbf in one step, so that there is never a moment without
// a goods file. False leaves tovars.exp in place so that the next step
// tries again (or looks whether the index is built), with the old file
// still in service.
bool GoodsFile::TakeInCandidate() {
  if (building_) {
    if (!building_->Done()) return false;
    std::unique_ptr<GoodsIndex> index;
    const Status built = building_->Take(&index);
    building_.reset();
    if (!built.ok()) return RefuseUnindexable(building_stat_, built);
    prepared_ = std::move(index);
    return PutCandidateInPlace();
  }
  std::unique_ptr<File> candidate;
  const Status opened = fs_->Open(candidate_path_, OpenMode::kReadOnlyExclusive, &candidate);
  if (opened.code() == Status::kBusy) return false;  // perhaps still being written
  if (!opened.ok())
    return RefuseCandidate(Severity::kWarning, "goods candidate tovars2.dbf cannot be opened (" +
                                                   opened.Reason() + ")");
  GoodsLayout layout;
  std::string why;
  if (!ReadGoodsLayout(dbf_, candidate.get(), &layout, &why)) {
    candidate->Close();
    return RefuseCandidate(Severity::kWarning, "goods candidate tovars2.dbf rejected: " + why);
  }
  FileStat stat;
  const Status looked = candidate->Stat(&stat);
  if (!looked.ok()) {
    candidate->Close();
    return RefuseUnindexable(stat, looked);
  }
  // Its index is built already (the move failed last time), or it could not
  // be built and the file has not changed since.
  if (prepared_ && prepared_->Stat() == stat) {
    candidate->Close();
    return PutCandidateInPlace();
  }
  prepared_.reset();
  if (unindexable_ && unindexable_stat_ == stat) {
    candidate->Close();
    return RefuseCandidate(Severity::kWarning,
                           "goods candidate tovars2.dbf rejected: its index cannot be built (" +
                               unindexable_why_ + ")");
  }
  if (background_) {
    building_stat_ = stat;
    building_ = std::make_unique<BackgroundIndexBuild>(std::move(candidate), layout);
    return false;
  }
  auto index = std::make_unique<GoodsIndex>();
  const Status built = GoodsIndex::Build(*candidate, layout, nullptr, index.get());
  candidate->Close();
  if (!built.ok()) return RefuseUnindexable(stat, built);
  prepared_ = std::move(index);
  return PutCandidateInPlace();
}

bool GoodsFile::PutCandidateInPlace() {
  // The goods file in service stays open through the rename: should it
  // fail, nothing has changed.
  const Status moved = fs_->RenameReplacing(candidate_path_, path_);
  if (!moved.ok())
    return RefuseCandidate(Severity::kError,
                           "goods candidate tovars2.dbf not taken in: it cannot take "
                           "the place of tovars.dbf (" +
                               moved.Reason() + "); the old goods file stays in service");
  Close();
  unindexable_ = false;
  candidate_rejection_reported_ = false;
  ReportConditionCleared(events_, kGoodsCandidateCondition,
                         "goods file tovars2.dbf taken in as tovars.dbf");
  return true;
}

bool GoodsFile::Exchange() {
  if (!enabled_) return false;
  if (!fs_->Exists(signal_path_)) {
    // The other side took its signal back: no candidate is waiting.
    StopIndexing();
    candidate_rejection_reported_ = false;
    if (file_) return true;
    return Open();
  }
  const bool was_open = file_ != nullptr;
  bool replaced = false;
  if (!fs_->Exists(candidate_path_)) {
    // A candidate gone while its index was built is built no further.
    StopIndexing();
  } else if (TakeInCandidate()) {
    replaced = true;
  } else {
    // Keep (or get back) the goods file in service while the signal waits.
    // A take-in that failed before the rename closed the same file it
    // reopens here: movements made in it can still be reversed.
    if (!file_) Open(was_open);
    return false;
  }
  fs_->Unlink(signal_path_);
  Close();
  return Open(was_open && !replaced);
}

bool GoodsFile::Want(std::string_view code, uint8_t lookup_kind, Wanted* wanted) const {
  const bool by_barcode = lookup_kind == kLookupByBarcode && layout_.sh_code.length > 0;
  wanted->field = by_barcode ? &layout_.sh_code : &layout_.code;
  wanted->key = by_barcode ? GoodsKey::kBarcode : GoodsKey::kCode;
  if (!MakeKey(code, layout_.code.length, layout_.code_type, &wanted->bytes)) return false;
  // A key longer than the searched field can never equal its contents; one
  // that is shorter must fill it up to spaces, so that an EAN-8 barcode does
  // not find an EAN-13 that merely starts with its digits.
  if (static_cast<int>(wanted->bytes.size()) > wanted->field->length) return false;
  wanted->bytes.resize(static_cast<size_t>(wanted->field->length), ' ');
  return true;
}

bool GoodsFile::CurrentIndex(Status* failure) {
  FileStat now;
  const Status looked = file_->Stat(&now);
  if (!looked.ok()) {
    *failure = looked;
    return false;
  }
  if (index_ && index_->Stat() == now) return true;
  // Changed under the index (another program wrote it), or the index could
  // not be built before: built again now.
  index_.reset();
  auto index = std::make_unique<GoodsIndex>();
  const Status built = GoodsIndex::Build(*file_, layout_, nullptr, index.get());
  if (!built.ok()) {
    *failure = built;
    return false;
  }
  index_ = std::move(index);
  return true;
}

int32_t GoodsFile::LocateByIndex(const Wanted& wanted, char* record, Status* failure) {
  if (!CurrentIndex(failure)) return -1;
  const GoodsIndex& index = *index_;
  if (!index.HandsOut()) return -1;
  const int length = index.RecordLength();
  const int position = wanted.field->position;
  char bytes[kWorkBufferSize];
  for (const GoodsIndex::Entry& entry : index.Candidates(wanted.key, wanted.bytes)) {
    const uint64_t at = index.HeaderLength() + static_cast<uint64_t>(length) * (entry.record - 1);
    size_t got = 0;
    const Status read = file_->ReadAt(at, bytes, static_cast<size_t>(length), &got);
    if (!read.ok()) {
      *failure = read;
      return -1;
    }
    if (got < static_cast<size_t>(length)) continue;
    if (std::memcmp(bytes + position, wanted.bytes.data(), wanted.bytes.size()) != 0) continue;
    std::memcpy(record, bytes + 1, static_cast<size_t>(length - 1));
    record[length - 1] = 0;
    return static_cast<int32_t>(entry.record);
  }
  return -1;
}

int32_t GoodsFile::LocateByScan(const Wanted& wanted, char* record, Status* failure) {
  bool failed = false;
  const int32_t number = dbf_.FindRecord(file_.get(), wanted.field->position, wanted.bytes, record,
                                         kMaxGoodsRecordLength + 1, wanted.field->length, &failed);
  if (failed) {
    const Status& why = dbf_.ReadFailure();
    *failure = why.ok() ? Status(Status::kError, "its header is cut short") : why;
  }
  return number;
}

LookUpResult GoodsFile::Found(int32_t number, const Status& failure, const char* record,
                              GoodsItem* item) {
  item->record_number = number;
  if (!failure.ok()) {
    ReadFailed(failure);
    return LookUpResult::kReadFailed;
  }
  ReadWorked();
  if (number < 0) return LookUpResult::kNotFound;
  // The found record is the record minus its flag: position p at index p - 1.
  const int name_length = std::min(layout_.name.length, kNameSize - 1);
  std::memcpy(item->name, record + layout_.name.position - 1, static_cast<size_t>(name_length));
  item->name[name_length] = 0;
  item->name_length = name_length;
  item->section = record[layout_.divnum.position - 1];
  item->price = ParseDbfNumber(std::string_view(record + layout_.price.position - 1,
                                                static_cast<size_t>(layout_.price.length)));
  // A name beginning with a zero byte reads as "not found" to the register,
  // so such goods are refused before their stock is touched.
  if (item->name[0] == 0) return LookUpResult::kNotFound;
  return LookUpResult::kFound;
}

LookUpResult GoodsFile::Find(std::string_view code, uint8_t lookup_kind, GoodsItem* item) {
  return LookUp(code, lookup_kind, item, &GoodsFile::LocateByIndex);
}

LookUpResult GoodsFile::FindByScan(std::string_view code, uint8_t lookup_kind, GoodsItem* item) {
  return LookUp(code, lookup_kind, item, &GoodsFile::LocateByScan);
}

LookUpResult GoodsFile::LookUp(std::string_view code, uint8_t lookup_kind, GoodsItem* item,
                               Locator locate) {
  *item = GoodsItem();
  if (!file_) return LookUpResult::kNoGoodsFile;
  Wanted wanted;
  if (!Want(code, lookup_kind, &wanted)) return LookUpResult::kNotFound;
  // Zero-filled so that the field positions checked against the layout stay
  // inside it whatever the record holds.
  char record[kMaxGoodsRecordLength + 1] = {};
  Status failure;
  const int32_t number = (this->*locate)(wanted, record, &failure);
  return Found(number, failure, record, item);
}

StockResult GoodsFile::MoveStock(int32_t record_number, char operation_code, double quantity,
                                 int direction) {
  constexpr StockResult kFailed = StockResult::kFailed;
  if (!file_ || layout_.res.length == 0) return kFailed;
  const DbfField& res = layout_.res;
  char text[256 + 1];
  DbfHeader header;
  // The file's current lengths, which a new goods file may have changed.
  if (!dbf_.ReadHeader(file_.get(), &header)) return kFailed;
  // Whether the index still describes the file: our own write of RES
  // changes no key, so it goes on describing it after the write.
  FileStat before;
  const bool indexed = index_ && file_->Stat(&before).ok() && index_->Stat() == before;
  if (!dbf_.ReadField(file_.get(), header.record_length, header.header_length, record_number,
                      res.position, res.length, text))
    return kFailed;
  double sign;
  switch (operation_code) {
    case kOpSaleByCode:
    case kOpSaleByBarcode:
      sign = -1;
      break;
    case kOpReturn:
    case kOpVoid:
      sign = +1;
      break;
    default:
      return kFailed;
  }
  double stock = ParseDbfNumber(std::string_view(text, static_cast<size_t>(res.length))) +
                 sign * direction * quantity;
  if (stock > -0.001 && stock < 0) stock = 0;
  if (stock < 0) return StockResult::kShort;
  if (!TDBFF::FormatNumber(stock, res.length, layout_.res_decimals, text)) return kFailed;
  const bool written = dbf_.WriteField(file_.get(), header.record_length, header.header_length,
                                       record_number, res.position, res.length, text);
  FileStat after;
  if (indexed && file_->Stat(&after).ok()) index_->Restat(after);
  if (!written) return kFailed;
  if (view_)
    view_->SourceCellChanged(view_rows_, kStockColumn, record_number,
                             std::string_view(text, static_cast<size_t>(res.length)));
  return StockResult::kMoved;
}

void GoodsFile::FillView() {
  if (!file_ || !view_) return;
  DbfHeader header;
  uint64_t size = 0;
  if (!dbf_.ReadHeader(file_.get(), &header) || file_->Size(&size) != Status::kOk) return;
  if (header.record_length == 0) return;
  // The view reads through a handle of its own, from its own thread: one
  // that shares the file with every other reader.
  std::unique_ptr<File> own;
  FileIdentity named;
  if (!fs_->Open(path_, OpenMode::kReadOnlyUnlocked, &own).ok() || !own->Identity(&named).ok() ||
      !(named == identity_))
    return;
  // A count beyond what the file holds would only make empty rows.
  const uint64_t room =
      size > header.header_length ? (size - header.header_length) / header.record_length : 0;
  const uint64_t rows = std::min<uint64_t>({header.record_count, room, INT32_MAX - 1});
  view_->SetRowCount(static_cast<int>(rows) + 1);

  const std::array<DbfField, kGoodsColumns> fields = {
      layout_.code, layout_.name, layout_.price, layout_.divnum, layout_.sh_code, layout_.res};
  std::array<int, kGoodsColumns> shown{};
  size_t count = 0;
  for (int column = 0; column < kGoodsColumns; ++column)
    if (fields[static_cast<size_t>(column)].length > 0) shown[count++] = column;
  auto source = std::make_shared<GoodsViewRows>(
      std::move(own), header.header_length, header.record_length, fields, static_cast<int>(rows));
  view_rows_ = source.get();
  view_->ShowFrom(std::move(source), std::span<const int>(shown.data(), count), 1,
                  static_cast<int>(rows) + 1);
}

}  // namespace tillgate

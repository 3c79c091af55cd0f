// The store's goods side: tovars.dbf, its exchange through tovars2.dbf and
// tovars.exp, look-ups and stock tracking.

#include <cstring>

#include "store/tdb.h"

namespace tillgate {
namespace {

constexpr char kGoodsFileCondition[] = "goods file";
constexpr char kGoodsCandidateCondition[] = "goods candidate";

}  // namespace

void TDB::CloseGoods() {
  if (goods_) goods_->Close();
  goods_.reset();
}

bool TDB::CheckGoodsLayout(File* file, GoodsLayout* layout) {
  return ReadGoodsLayout(dbf_, file, layout);
}

// A lasting problem with tovars.dbf, said once until it changes or a goods
// file opens.
void TDB::ReportGoodsProblem(const std::string& text) {
  if (text == goods_problem_) return;
  ReportCondition(events_, Severity::kError, kGoodsFileCondition, text);
  goods_problem_ = text;
}

void TDB::GoodsReadFailed() {
  if (goods_unreadable_) return;
  goods_unreadable_ = true;
  const Status& why = dbf_.ReadFailure();
  ReportCondition(events_, Severity::kError, kGoodsFileCondition,
                  "goods file tovars.dbf cannot be read (" +
                      (why.ok() ? std::string("its header is cut short") : why.Reason()) +
                      "): goods messages are refused while it cannot");
}

void TDB::GoodsReadWorked() {
  if (!goods_unreadable_) return;
  goods_unreadable_ = false;
  ReportConditionCleared(events_, kGoodsFileCondition, "goods file tovars.dbf can be read again");
}

// A file cut short (a copy that did not finish) is still served: the goods
// in the records that are there are found, the others are not, and the
// operator is told why.
void TDB::CheckGoodsLength(File* file, uint32_t records, const GoodsLayout& layout) {
  uint64_t size = 0;
  if (!file->Size(&size).ok() || layout.record_length == 0) return;
  const uint64_t whole =
      size > layout.header_length ? (size - layout.header_length) / layout.record_length : 0;
  if (whole >= records) {
    goods_shortfall_.clear();
    return;
  }
  // The same file is reopened at every step while its signal cannot be
  // removed: the same shortfall is told once.
  const std::string text = "goods file tovars.dbf is cut short: its header counts " +
                           std::to_string(records) + " records, " + std::to_string(whole) +
                           " are there; goods in the missing records are not found";
  if (text == goods_shortfall_) return;
  goods_shortfall_ = text;
  Report(events_, Severity::kWarning, text);
}

// Opens tovars.dbf and checks it; a file that fails stays closed and is
// tried again at the next step.
bool TDB::OpenGoodsFile(bool same_file) {
  std::unique_ptr<File> file;
  const Status opened = fs_->Open(goods_path_, OpenMode::kReadWriteOthersRead, &file);
  if (opened.code() == Status::kNotFound) {
    ReportGoodsProblem(
        "goods file tovars.dbf is missing: every goods message is refused until "
        "it is there");
    return false;
  }
  if (!opened.ok()) {
    ReportGoodsProblem("goods file tovars.dbf cannot be opened (" + opened.Reason() +
                       "): every goods message is refused until it can");
    return false;
  }
  GoodsLayout layout;
  std::string why;
  if (!ReadGoodsLayout(dbf_, file.get(), &layout, &why)) {
    file->Close();
    ReportGoodsProblem("goods file tovars.dbf rejected: " + why +
                       "; every goods message is refused until it is replaced");
    return false;
  }
  goods_problem_.clear();
  layout_ = layout;
  if (layout_.res.length == 0) {
    if (!stock_disabled_ && track_stock_)
      Report(events_, Severity::kWarning,
             "goods file tovars.dbf has no RES field: stock tracking is off");
    stock_disabled_ = true;
  }
  DbfHeader header;
  goods_records_ = dbf_.ReadHeader(file.get(), &header) ? header.record_count : 0;
  CheckGoodsLength(file.get(), goods_records_, layout);
  goods_unreadable_ = false;
  goods_identity_ = FileIdentity();
  file->Identity(&goods_identity_);
  goods_ = std::move(file);
  if (!same_file) ++goods_generation_;
  ReportConditionCleared(events_, kGoodsFileCondition, "goods file tovars.dbf opened",
                         Severity::kInfo);
  return true;
}

// Examines tovars2.dbf and, when it passes, puts it in place of tovars.dbf
// in one step, so that there is never a moment without a goods file. False
// leaves tovars.exp in place so that the next step tries again, with the
// old file still in service.
bool TDB::TakeInCandidate() {
  auto refuse = [&](Severity severity, const std::string& text) {
    if (!candidate_rejection_reported_)
      ReportCondition(events_, severity, kGoodsCandidateCondition, text);
    candidate_rejection_reported_ = true;
    return false;
  };
  std::unique_ptr<File> candidate;
  const Status opened = fs_->Open(goods_candidate_path_, OpenMode::kReadOnlyExclusive, &candidate);
  if (opened.code() == Status::kBusy) return false;  // perhaps still being written
  if (!opened.ok())
    return refuse(Severity::kWarning,
                  "goods candidate tovars2.dbf cannot be opened (" + opened.Reason() + ")");
  GoodsLayout layout;
  std::string why;
  const bool usable = ReadGoodsLayout(dbf_, candidate.get(), &layout, &why);
  candidate->Close();
  if (!usable) return refuse(Severity::kWarning, "goods candidate tovars2.dbf rejected: " + why);
  // The goods file in service stays open through the rename: should it
  // fail, nothing has changed.
  const Status moved = fs_->RenameReplacing(goods_candidate_path_, goods_path_);
  if (!moved.ok())
    return refuse(Severity::kError,
                  "goods candidate tovars2.dbf not taken in: it cannot take "
                  "the place of tovars.dbf (" +
                      moved.Reason() + "); the old goods file stays in service");
  CloseGoods();
  candidate_rejection_reported_ = false;
  ReportConditionCleared(events_, kGoodsCandidateCondition,
                         "goods file tovars2.dbf taken in as tovars.dbf");
  return true;
}

bool TDB::ExchangeGoods() {
  std::lock_guard<std::mutex> lock(mutex_);
  const PublishOnExit publish(*this);
  return ExchangeGoodsStep();
}

bool TDB::ExchangeGoodsStep() {
  if (!goods_enabled_) return false;
  if (!fs_->Exists(goods_signal_path_)) {
    candidate_rejection_reported_ = false;
    if (goods_) return true;
    return OpenGoodsFile();
  }
  const bool was_open = goods_ != nullptr;
  bool replaced = false;
  if (fs_->Exists(goods_candidate_path_)) {
    if (!TakeInCandidate()) {
      // Keep (or get back) the goods file in service while the signal waits.
      // A take-in that failed before the rename closed the same file it
      // reopens here: movements made in it can still be reversed.
      if (!goods_) OpenGoodsFile(was_open);
      return false;
    }
    replaced = true;
  }
  fs_->Unlink(goods_signal_path_);
  CloseGoods();
  return OpenGoodsFile(was_open && !replaced);
}

LookUpResult TDB::LookUp(OperationRecord& r) {
  r.goods_record_number = -1;
  r.name[0] = 0;
  // A reused record carries no movement of its previous operation.
  if (r.pool_index >= 0 && r.pool_index < kCapacity) moved_in_[r.pool_index] = 0;
  // Every record pending: the operation is refused and nothing is moved.
  if (Full()) return LookUpResult::kNotFound;
  if (!goods_) return LookUpResult::kNoGoodsFile;
  const DbfField& code = layout_.code;
  const bool by_barcode = r.lookup_kind == kLookupByBarcode && layout_.sh_code.length > 0;
  const DbfField& searched = by_barcode ? layout_.sh_code : code;
  std::string key;
  if (!MakeKey(std::string_view(r.goods_code, strnlen(r.goods_code, sizeof r.goods_code)),
               code.length, layout_.code_type, &key))
    return LookUpResult::kNotFound;
  // A key longer than the searched field can never equal its contents; one
  // that is shorter must fill it up to spaces, so that an EAN-8 barcode does
  // not find an EAN-13 that merely starts with its digits.
  if (static_cast<int>(key.size()) > searched.length) return LookUpResult::kNotFound;
  // Zero-filled so that the field positions checked against the layout stay
  // inside it whatever the record holds.
  char record[kMaxGoodsRecordLength + 1] = {};
  bool read_failed = false;
  r.goods_record_number = dbf_.FindRecord(goods_.get(), searched.position, key, record,
                                          sizeof record, searched.length, &read_failed);
  if (read_failed) {
    GoodsReadFailed();
    return LookUpResult::kReadFailed;
  }
  GoodsReadWorked();
  if (r.goods_record_number < 0) return LookUpResult::kNotFound;
  // The found record is the record minus its flag: position p at index p - 1.
  const int name_length = std::min(layout_.name.length, kNameSize - 1);
  std::memcpy(r.name, record + layout_.name.position - 1, static_cast<size_t>(name_length));
  r.name[name_length] = 0;
  r.section = record[layout_.divnum.position - 1];
  r.price = ParseDbfNumber(std::string_view(record + layout_.price.position - 1,
                                            static_cast<size_t>(layout_.price.length)));
  r.amount = r.price * r.quantity * 100;
  // A name beginning with a zero byte reads as "not found" to the caller,
  // so such goods are refused before their stock is touched.
  if (r.name[0] == 0) return LookUpResult::kNotFound;
  if (!TrackStock()) return LookUpResult::kFound;
  const StockResult moved = ApplyStock(r.pool_index, +1, false);
  if (moved == StockResult::kMoved) return LookUpResult::kFound;
  r.name[0] = 0;
  return moved == StockResult::kShort ? LookUpResult::kOutOfStock : LookUpResult::kStockFailed;
}

bool TDB::MoveStock(int pool_index) {
  return ApplyStock(pool_index, +1, false) == StockResult::kMoved;
}

bool TDB::ReverseStock(int pool_index) {
  return ApplyStock(pool_index, -1, true) == StockResult::kMoved;
}

TDB::StockResult TDB::ApplyStock(int pool_index, int direction, bool reversal) {
  constexpr StockResult kFailed = StockResult::kFailed;
  if (!goods_ || layout_.res.length == 0) return kFailed;
  if (pool_index < 0 || pool_index >= kCapacity) return kFailed;
  if (reversal && moved_in_[pool_index] != goods_generation_) return kFailed;
  const OperationRecord& r = Record(pool_index);
  const DbfField& res = layout_.res;
  char text[256 + 1];
  DbfHeader header;
  // The file's current lengths, which a new goods file may have changed.
  if (!dbf_.ReadHeader(goods_.get(), &header)) return kFailed;
  if (!dbf_.ReadField(goods_.get(), header.record_length, header.header_length,
                      r.goods_record_number, res.position, res.length, text))
    return kFailed;
  double sign;
  switch (r.operation_code) {
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
                 sign * direction * r.quantity;
  if (stock > -0.001 && stock < 0) stock = 0;
  if (stock < 0) return StockResult::kShort;
  if (!TDBFF::FormatNumber(stock, res.length, layout_.res_decimals, text)) return kFailed;
  if (!dbf_.WriteField(goods_.get(), header.record_length, header.header_length,
                       r.goods_record_number, res.position, res.length, text))
    return kFailed;
  moved_in_[pool_index] = reversal ? 0 : goods_generation_;
  if (goods_view_)
    goods_view_->SetCell(5, r.goods_record_number,
                         std::string_view(text, static_cast<size_t>(res.length)));
  return StockResult::kMoved;
}

}  // namespace tillgate

// The store's goods side: tovars.dbf, its exchange through tovars2.dbf and
// tovars.exp, look-ups and stock tracking.

#include <cstring>

#include "store/pricedb.h"

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

// Opens tovars.dbf and checks it; a file that fails stays closed and is
// tried again at the next step.
bool TDB::OpenGoodsFile(bool same_file) {
  if (!fs_->Exists(goods_path_)) return false;
  std::unique_ptr<File> file;
  if (fs_->Open(goods_path_, OpenMode::kReadWriteOthersRead, &file) != FsStatus::kOk) return false;
  GoodsLayout layout;
  if (!CheckGoodsLayout(file.get(), &layout)) {
    file->Close();
    if (!goods_rejection_reported_)
      ReportCondition(events_, Severity::kError, kGoodsFileCondition,
                      "goods file tovars.dbf rejected: not a usable goods layout");
    goods_rejection_reported_ = true;
    return false;
  }
  goods_rejection_reported_ = false;
  layout_ = layout;
  if (layout_.res.length == 0) {
    if (!stock_disabled_ && track_stock_)
      Report(events_, Severity::kWarning,
             "goods file tovars.dbf has no RES field: stock tracking is off");
    stock_disabled_ = true;
  }
  goods_ = std::move(file);
  if (!same_file) ++goods_generation_;
  ReportConditionCleared(events_, kGoodsFileCondition, "goods file tovars.dbf opened",
                         Severity::kInfo);
  return true;
}

// Examines tovars2.dbf and, when it passes, puts it in place of tovars.dbf.
// False leaves tovars.exp in place so that the next step tries again.
bool TDB::TakeInCandidate() {
  std::unique_ptr<File> candidate;
  if (fs_->Open(goods_candidate_path_, OpenMode::kReadOnlyExclusive, &candidate) != FsStatus::kOk)
    return false;  // busy, perhaps still being written
  GoodsLayout layout;
  const bool usable = CheckGoodsLayout(candidate.get(), &layout);
  candidate->Close();
  if (!usable) {
    if (!candidate_rejection_reported_)
      ReportCondition(events_, Severity::kWarning, kGoodsCandidateCondition,
                      "goods candidate tovars2.dbf rejected: not a usable goods layout");
    candidate_rejection_reported_ = true;
    return false;
  }
  // Deleted while still open (the open file lives on until it is closed), so
  // that a refused deletion leaves the goods file in service untouched
  // instead of closing and reopening it at every step.
  const FsStatus removed = fs_->Unlink(goods_path_);
  if (removed != FsStatus::kOk && removed != FsStatus::kNotFound) {
    if (!candidate_rejection_reported_)
      ReportCondition(events_, Severity::kWarning, kGoodsCandidateCondition,
                      "goods candidate tovars2.dbf not taken in: tovars.dbf cannot be deleted");
    candidate_rejection_reported_ = true;
    return false;
  }
  CloseGoods();
  if (fs_->Rename(goods_candidate_path_, goods_path_) != FsStatus::kOk) {
    if (!candidate_rejection_reported_)
      ReportCondition(events_, Severity::kWarning, kGoodsCandidateCondition,
                      "goods candidate tovars2.dbf not taken in: it cannot be renamed");
    candidate_rejection_reported_ = true;
    return false;
  }
  candidate_rejection_reported_ = false;
  ReportConditionCleared(events_, kGoodsCandidateCondition,
                         "goods file tovars2.dbf taken in as tovars.dbf");
  return true;
}

bool TDB::ExchangeGoods() {
  std::lock_guard<std::mutex> lock(mutex_);
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

void TDB::LookUp(OperationRecord& r) {
  r.goods_record_number = -1;
  r.name[0] = 0;
  // A reused record carries no movement of its previous operation.
  if (r.pool_index >= 0 && r.pool_index < kCapacity) moved_in_[r.pool_index] = 0;
  // Every record pending: the operation is refused and nothing is moved.
  if (Full() || !goods_) return;
  const DbfField& code = layout_.code;
  const bool by_barcode = r.lookup_kind == kLookupByBarcode && layout_.sh_code.length > 0;
  const DbfField& searched = by_barcode ? layout_.sh_code : code;
  std::string key;
  if (!MakeKey(std::string_view(r.goods_code, strnlen(r.goods_code, sizeof r.goods_code)),
               code.length, layout_.code_type, &key))
    return;
  // A key longer than the searched field can never equal its contents; one
  // that is shorter must fill it up to spaces, so that an EAN-8 barcode does
  // not find an EAN-13 that merely starts with its digits.
  if (static_cast<int>(key.size()) > searched.length) return;
  // Zero-filled so that the field positions checked against the layout stay
  // inside it whatever the record holds.
  char record[kMaxGoodsRecordLength + 1] = {};
  r.goods_record_number =
      dbf_.FindRecord(goods_.get(), searched.position, key, record, sizeof record, searched.length);
  if (r.goods_record_number < 0) return;
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
  if (r.name[0] == 0) return;
  if (TrackStock() && !MoveStock(r.pool_index)) r.name[0] = 0;
}

bool TDB::MoveStock(int pool_index) { return ApplyStock(pool_index, +1, false); }

bool TDB::ReverseStock(int pool_index) { return ApplyStock(pool_index, -1, true); }

bool TDB::ApplyStock(int pool_index, int direction, bool reversal) {
  if (!goods_ || layout_.res.length == 0) return false;
  if (pool_index < 0 || pool_index >= kCapacity) return false;
  if (reversal && moved_in_[pool_index] != goods_generation_) return false;
  const OperationRecord& r = Record(pool_index);
  const DbfField& res = layout_.res;
  char text[256 + 1];
  DbfHeader header;
  // The file's current lengths, which a new goods file may have changed.
  if (!dbf_.ReadHeader(goods_.get(), &header)) return false;
  if (!dbf_.ReadField(goods_.get(), header.record_length, header.header_length,
                      r.goods_record_number, res.position, res.length, text))
    return false;
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
      return false;
  }
  double stock = ParseDbfNumber(std::string_view(text, static_cast<size_t>(res.length))) +
                 sign * direction * r.quantity;
  if (stock > -0.001 && stock < 0) stock = 0;
  if (stock < 0) return false;
  if (!TDBFF::FormatNumber(stock, res.length, layout_.res_decimals, text)) return false;
  if (!dbf_.WriteField(goods_.get(), header.record_length, header.header_length,
                       r.goods_record_number, res.position, res.length, text))
    return false;
  moved_in_[pool_index] = reversal ? 0 : goods_generation_;
  if (goods_view_)
    goods_view_->SetCell(5, r.goods_record_number,
                         std::string_view(text, static_cast<size_t>(res.length)));
  return true;
}

}  // namespace tillgate

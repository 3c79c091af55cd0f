#include "store/journal_entries.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <map>
#include <tuple>
#include <utility>

namespace tillgate {
namespace {

// Little-endian fields, appended in order.
class Writer {
 public:
  explicit Writer(JournalEntryType type) { bytes_.push_back(static_cast<char>(type)); }
  void U8(uint8_t v) { bytes_.push_back(static_cast<char>(v)); }
  void U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) U8(static_cast<uint8_t>(v >> (8 * i)));
  }
  void U64(uint64_t v) {
    for (int i = 0; i < 8; ++i) U8(static_cast<uint8_t>(v >> (8 * i)));
  }
  void F64(double v) { U64(std::bit_cast<uint64_t>(v)); }
  void Bytes(const char* p, size_t n) { bytes_.append(p, n); }
  std::string Take() { return std::move(bytes_); }

 private:
  std::string bytes_;
};

// Reads the same fields back; every read checks that the bytes are there.
class Reader {
 public:
  Reader(std::string_view bytes, JournalEntryType type)
      : bytes_(bytes), ok_(!bytes.empty() && static_cast<uint8_t>(bytes[0]) == uint8_t(type)) {
    at_ = 1;
  }
  uint8_t U8() {
    if (!Need(1)) return 0;
    return static_cast<uint8_t>(bytes_[at_++]);
  }
  uint32_t U32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(U8()) << (8 * i);
    return v;
  }
  uint64_t U64() {
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= static_cast<uint64_t>(U8()) << (8 * i);
    return v;
  }
  double F64() { return std::bit_cast<double>(U64()); }
  void Bytes(char* out, size_t n) {
    if (!Need(n)) return;
    std::memcpy(out, bytes_.data() + at_, n);
    at_ += n;
  }
  // A count of items of `item_size` bytes each that must still be there.
  uint32_t Count(size_t item_size) {
    const uint32_t n = U32();
    if (ok_ && static_cast<uint64_t>(n) * item_size > bytes_.size() - at_) ok_ = false;
    return ok_ ? n : 0;
  }
  // Every byte read, none left over.
  bool Done() const { return ok_ && at_ == bytes_.size(); }
  // Bytes are left: fields an older version did not write follow.
  bool More() const { return ok_ && at_ < bytes_.size(); }

 private:
  bool Need(size_t n) {
    if (ok_ && bytes_.size() - at_ >= n) return true;
    ok_ = false;
    return false;
  }

  std::string_view bytes_;
  size_t at_ = 0;
  bool ok_;
};

// Text fields keep their fixed size and always end in a zero byte.
template <size_t N>
void ReadText(Reader& in, char (&text)[N]) {
  in.Bytes(text, N);
  text[N - 1] = 0;
}

template <class... F>
struct Overloaded : F... {
  using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

template <size_t I = 0>
bool DecodeAs(std::string_view bytes, uint8_t type, JournalEntry* out) {
  if constexpr (I == std::variant_size_v<JournalEntry>) {
    return false;
  } else {
    using Kind = std::variant_alternative_t<I, JournalEntry>;
    if (type != static_cast<uint8_t>(Kind::kType)) return DecodeAs<I + 1>(bytes, type, out);
    Kind entry;
    if (!DecodeEntry(bytes, &entry)) return false;
    *out = std::move(entry);
    return true;
  }
}

void PutIdentity(Writer& out, const FileIdentity& id) {
  out.U64(id.device);
  out.U64(id.inode);
}

FileIdentity GetIdentity(Reader& in) {
  FileIdentity id;
  id.device = in.U64();
  id.inode = in.U64();
  return id;
}

// A stock level: a flag, then (when moved) the file, record, code and stock.
void PutLevel(Writer& out, const StockLevel& level) {
  out.U8(level.Moved() ? 1 : 0);
  if (!level.Moved()) return;
  PutIdentity(out, level.goods_file);
  out.U32(static_cast<uint32_t>(level.record_number));
  const size_t code = std::min<size_t>(level.code.size(), 255);
  out.U8(static_cast<uint8_t>(code));
  out.Bytes(level.code.data(), code);
  out.F64(level.stock);
}

void GetLevel(Reader& in, StockLevel* level) {
  *level = StockLevel();
  if (in.U8() == 0) return;
  level->goods_file = GetIdentity(in);
  level->record_number = static_cast<int32_t>(in.U32());
  char code[256];
  const uint8_t length = in.U8();
  in.Bytes(code, length);
  level->code.assign(code, length);
  level->stock = in.F64();
  if (level->record_number < 1) *level = StockLevel();
}

}  // namespace

bool KeptForAnother(const JournalOperation& operation, const char* serial) {
  if (operation.kept) return true;
  const size_t owner = strnlen(operation.owner, kSerialNumberLength);
  const size_t now = strnlen(serial, kSerialNumberLength);
  return owner > 0 && now > 0 &&
         std::string_view(operation.owner, owner) != std::string_view(serial, now);
}

std::string EncodeEntry(const JournalOperation& e) {
  const OperationRecord& r = e.record;
  Writer out(JournalEntryType::kOperation);
  out.U64(e.id);
  out.U32(r.line_index);
  out.U8(r.network_number);
  out.Bytes(r.goods_code, sizeof r.goods_code);
  out.F64(r.quantity);
  out.F64(r.price);
  out.F64(r.amount);
  out.Bytes(r.name, sizeof r.name);
  out.U8(static_cast<uint8_t>(r.section));
  out.U8(static_cast<uint8_t>(r.operation_code));
  out.U8(r.lookup_kind);
  out.U32(static_cast<uint32_t>(r.goods_record_number));
  out.U8(e.stock_moved ? 1 : 0);
  PutIdentity(out, e.goods_file);
  PutLevel(out, e.level);
  out.Bytes(e.owner, kSerialNumberLength);
  out.U8(e.kept ? 1 : 0);
  return out.Take();
}

bool DecodeEntry(std::string_view entry, JournalOperation* e) {
  Reader in(entry, JournalEntryType::kOperation);
  OperationRecord& r = e->record;
  e->id = in.U64();
  r.line_index = in.U32();
  r.network_number = in.U8();
  ReadText(in, r.goods_code);
  r.quantity = in.F64();
  r.price = in.F64();
  r.amount = in.F64();
  ReadText(in, r.name);
  r.section = static_cast<char>(in.U8());
  r.operation_code = static_cast<char>(in.U8());
  r.lookup_kind = in.U8();
  r.goods_record_number = static_cast<int32_t>(in.U32());
  e->stock_moved = in.U8() != 0;
  e->goods_file = GetIdentity(in);
  // A journal of an older version ends the entry here.
  e->level = StockLevel();
  std::memset(e->owner, 0, sizeof e->owner);
  e->kept = false;
  if (in.More()) {
    GetLevel(in, &e->level);
    in.Bytes(e->owner, kSerialNumberLength);
    e->owner[kSerialNumberLength] = 0;
    e->kept = in.U8() != 0;
  }
  return in.Done();
}

std::string EncodeEntry(const JournalWithdrawal& e) {
  Writer out(JournalEntryType::kWithdrawal);
  out.U64(e.id);
  PutLevel(out, e.level);
  return out.Take();
}

bool DecodeEntry(std::string_view entry, JournalWithdrawal* e) {
  Reader in(entry, JournalEntryType::kWithdrawal);
  e->id = in.U64();
  e->level = StockLevel();
  if (in.More()) GetLevel(in, &e->level);
  return in.Done();
}

std::string EncodeEntry(const JournalRegister& e) {
  Writer out(JournalEntryType::kRegister);
  out.U32(e.line_index);
  out.U8(e.network_number);
  out.U8(e.last_sequence);
  out.U64(e.last_operation);
  return out.Take();
}

bool DecodeEntry(std::string_view entry, JournalRegister* e) {
  Reader in(entry, JournalEntryType::kRegister);
  e->line_index = in.U32();
  e->network_number = in.U8();
  e->last_sequence = in.U8();
  e->last_operation = in.U64();
  return in.Done();
}

std::string EncodeEntry(const JournalIdentification& e) {
  Writer out(JournalEntryType::kIdentification);
  out.U32(e.line_index);
  out.U8(e.network_number);
  out.U8(e.year);
  out.Bytes(e.serial_number, kSerialNumberLength);
  return out.Take();
}

bool DecodeEntry(std::string_view entry, JournalIdentification* e) {
  Reader in(entry, JournalEntryType::kIdentification);
  e->line_index = in.U32();
  e->network_number = in.U8();
  e->year = in.U8();
  in.Bytes(e->serial_number, kSerialNumberLength);
  e->serial_number[kSerialNumberLength] = 0;
  return in.Done();
}

std::string EncodeEntry(const JournalDocument& e) {
  Writer out(JournalEntryType::kDocument);
  out.U64(e.id);
  out.U32(static_cast<uint32_t>(e.operations.size()));
  for (const JournalId id : e.operations) out.U64(id);
  out.U32(static_cast<uint32_t>(e.rows.size()));
  for (const ReportRecordBytes& row : e.rows) out.Bytes(row.data(), row.size());
  return out.Take();
}

bool DecodeEntry(std::string_view entry, JournalDocument* e) {
  Reader in(entry, JournalEntryType::kDocument);
  e->id = in.U64();
  e->operations.resize(in.Count(sizeof(JournalId)));
  for (JournalId& id : e->operations) id = in.U64();
  e->rows.resize(in.Count(kReportRecordLength));
  for (ReportRecordBytes& row : e->rows) in.Bytes(row.data(), row.size());
  return in.Done();
}

std::string EncodeEntry(const JournalBooked& e) {
  Writer out(JournalEntryType::kBooked);
  out.U64(e.id);
  if (e.end.known) {
    out.U32(e.end.records);
    PutIdentity(out, e.end.file);
  }
  return out.Take();
}

bool DecodeEntry(std::string_view entry, JournalBooked* e) {
  Reader in(entry, JournalEntryType::kBooked);
  e->id = in.U64();
  // A journal of an older version ends the entry here.
  e->end = ReportEnd();
  if (in.More()) {
    e->end.records = in.U32();
    e->end.file = GetIdentity(in);
    e->end.known = true;
  }
  return in.Done();
}

std::string EncodeEntry(const JournalStock& e) {
  Writer out(JournalEntryType::kStock);
  PutLevel(out, e.level);
  return out.Take();
}

bool DecodeEntry(std::string_view entry, JournalStock* e) {
  Reader in(entry, JournalEntryType::kStock);
  GetLevel(in, &e->level);
  return in.Done();
}

std::string EncodeEntry(const JournalGoodsFile& e) {
  Writer out(JournalEntryType::kGoodsFile);
  PutIdentity(out, e.goods_file);
  return out.Take();
}

bool DecodeEntry(std::string_view entry, JournalGoodsFile* e) {
  Reader in(entry, JournalEntryType::kGoodsFile);
  e->goods_file = GetIdentity(in);
  return in.Done();
}

std::string EncodeEntry(const JournalEntry& entry) {
  return std::visit([](const auto& e) { return EncodeEntry(e); }, entry);
}

bool DecodeEntry(std::string_view entry, JournalEntry* out) {
  return DecodeAs(entry, EntryType(entry), out);
}

JournalContents ReadBack(const std::vector<std::string>& entries) {
  JournalContents contents;
  using RegisterKey = std::pair<uint32_t, uint8_t>;
  std::map<RegisterKey, JournalRegister> registers;
  std::map<RegisterKey, JournalIdentification> identifications;
  // Goods file, record -> its latest level.
  using StockKey = std::tuple<uint64_t, uint64_t, int32_t>;
  std::map<StockKey, StockLevel> stock;
  auto level = [&](const StockLevel& l) {
    if (l.Moved()) stock[{l.goods_file.device, l.goods_file.inode, l.record_number}] = l;
  };
  auto take_id = [&](JournalId id) { contents.last_id = std::max(contents.last_id, id); };
  auto close = [&](JournalId id) {
    std::erase_if(contents.operations, [id](const JournalOperation& o) { return o.id == id; });
  };
  for (const std::string& bytes : entries) {
    JournalEntry entry;
    if (!DecodeEntry(bytes, &entry)) {
      ++contents.unreadable;
      continue;
    }
    std::visit(Overloaded{
                   [&](JournalOperation& e) {
                     take_id(e.id);
                     level(e.level);
                     // The same operation again: it moved to another
                     // register, or was kept apart, in its place.
                     const auto same =
                         std::find_if(contents.operations.begin(), contents.operations.end(),
                                      [&](const JournalOperation& o) { return o.id == e.id; });
                     if (same != contents.operations.end())
                       *same = std::move(e);
                     else
                       contents.operations.push_back(std::move(e));
                   },
                   [&](JournalWithdrawal& e) {
                     level(e.level);
                     close(e.id);
                   },
                   [&](JournalRegister& e) {
                     registers[{e.line_index, e.network_number}] = e;
                   },
                   [&](JournalIdentification& e) {
                     identifications[{e.line_index, e.network_number}] = e;
                   },
                   [&](JournalDocument& e) {
                     take_id(e.id);
                     for (const JournalId id : e.operations) close(id);
                     if (!e.rows.empty()) contents.waiting.push_back(std::move(e));
                   },
                   [&](JournalBooked& e) {
                     // A mark without it (an older version's) leaves the
                     // end unknown: an earlier one is no longer the end.
                     contents.report_end = e.end;
                     std::erase_if(contents.waiting,
                                   [&](const JournalDocument& d) { return d.id == e.id; });
                   },
                   [&](JournalStock& e) { level(e.level); },
                   [&](JournalGoodsFile& e) {
                     std::erase_if(stock, [&](const auto& item) {
                       return !(item.second.goods_file == e.goods_file);
                     });
                   },
               },
               entry);
  }
  for (const auto& [key, e] : registers) contents.registers.push_back(e);
  for (const auto& [key, e] : identifications) contents.identifications.push_back(e);
  for (auto& [key, l] : stock) contents.stock.push_back(std::move(l));
  return contents;
}

JournalTotals CountJournal(const std::vector<std::string>& entries) {
  const JournalContents contents = ReadBack(entries);
  JournalTotals totals;
  totals.open_operations = static_cast<int>(contents.operations.size());
  for (const JournalDocument& d : contents.waiting)
    totals.waiting_rows += static_cast<int>(d.rows.size());
  totals.unreadable = contents.unreadable;
  for (const JournalOperation& o : contents.operations) {
    const char* serial = "";
    for (const JournalIdentification& i : contents.identifications)
      if (i.line_index == o.record.line_index && i.network_number == o.record.network_number)
        serial = i.serial_number;
    if (KeptForAnother(o, serial))
      ++totals.kept[std::string(o.owner, strnlen(o.owner, kSerialNumberLength))];
  }
  return totals;
}

uint8_t EntryType(std::string_view entry) {
  return entry.empty() ? 0 : static_cast<uint8_t>(entry[0]);
}

}  // namespace tillgate

#pragma once
// What the store writes into its journal: operations committed and
// withdrawn, each register's last sequence byte and operation and its
// identification, documents closed with their report rows, and documents
// booked into the report. Reading the entries back in order (ReadBack)
// gives the pending operations, the register states and the rows still
// waiting for the report.
//
// A new kind of entry: a value in JournalEntryType, a struct with its kType,
// EncodeEntry/DecodeEntry for it, its place in JournalEntry, and what it
// means in ReadBack (the compiler asks for it there).

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/file_system.h"
#include "store/document_stamp.h"
#include "store/operation_record.h"
#include "store/report_end.h"
#include "store/report_record.h"

namespace tillgate {

enum class JournalEntryType : uint8_t {
  kOperation = 1,       // an operation became pending
  kWithdrawal = 2,      // a pending operation was taken back
  kRegister = 3,        // a register's last sequence byte and operation
  kDocument = 4,        // a document closed: its operations left, its rows wait
  kBooked = 5,          // a document's rows are in the report
  kIdentification = 6,  // a register's serial number and year
  kStock = 7,           // a goods record's stock, as the store holds it
  kGoodsFile = 8,       // the goods file in service from here on
};

// Journal ids number operations and documents; 0 is none.
using JournalId = uint64_t;

// Where a stock movement left a goods record: RES of record `record_number`
// of the goods file `goods_file`, whose CODE field holds `code`, holds
// `stock`. The absolute stock, not the movement, so that replaying it twice
// changes nothing.
struct StockLevel {
  FileIdentity goods_file;
  int32_t record_number = 0;  // from 1; 0 = nothing moved
  std::string code;           // CODE's bytes as the file holds them
  double stock = 0;
  bool Moved() const { return record_number > 0; }
};

struct JournalOperation {
  static constexpr JournalEntryType kType = JournalEntryType::kOperation;
  JournalId id = 0;
  // Line, network number, goods code, quantity, price, amount, name,
  // section, operation code, look-up kind, goods record number.
  OperationRecord record;
  // The stock was moved in the goods file named here (taking the operation
  // back moves it back only in that same file).
  bool stock_moved = false;
  FileIdentity goods_file;
  // The stock its own movement left (only in the entry that committed it).
  StockLevel level;
  // The serial number of the register it was sold on (empty when that
  // register had not identified), and whether it is kept for that register
  // apart from the one now at its line and network number.
  char owner[kSerialNumberLength + 1] = {};
  bool kept = false;
};

struct JournalWithdrawal {
  static constexpr JournalEntryType kType = JournalEntryType::kWithdrawal;
  JournalId id = 0;
  StockLevel level;  // the stock given back, when it was
};

struct JournalRegister {
  static constexpr JournalEntryType kType = JournalEntryType::kRegister;
  uint32_t line_index = 0;
  uint8_t network_number = 0;
  uint8_t last_sequence = 0xFF;
  JournalId last_operation = 0;
};

struct JournalIdentification {
  static constexpr JournalEntryType kType = JournalEntryType::kIdentification;
  uint32_t line_index = 0;
  uint8_t network_number = 0;
  uint8_t year = 0;                                  // BCD
  char serial_number[kSerialNumberLength + 1] = {};  // zero-terminated
};

struct JournalDocument {
  static constexpr JournalEntryType kType = JournalEntryType::kDocument;
  JournalId id = 0;
  std::vector<JournalId> operations;  // released by the close
  std::vector<ReportRecordBytes> rows;
};

struct JournalBooked {
  static constexpr JournalEntryType kType = JournalEntryType::kBooked;
  JournalBooked() = default;
  explicit JournalBooked(JournalId booked, ReportEnd report_end = ReportEnd())
      : id(booked), end(report_end) {}
  JournalId id = 0;  // 0 in a rewrite: it books nothing, it only keeps `end`
  // Where the report ended after the document's rows (not kept by older
  // versions, nor when the report file's identity is unknown).
  ReportEnd end;
};

// A stock level that must outlive the operations that moved it (until the
// goods file is synced).
struct JournalStock {
  static constexpr JournalEntryType kType = JournalEntryType::kStock;
  StockLevel level;
};

// A goods file came into service: stock levels of any other file no longer
// count (a taken-in file's RES is the back office's stock).
struct JournalGoodsFile {
  static constexpr JournalEntryType kType = JournalEntryType::kGoodsFile;
  FileIdentity goods_file;
};

std::string EncodeEntry(const JournalOperation& entry);
std::string EncodeEntry(const JournalWithdrawal& entry);
std::string EncodeEntry(const JournalRegister& entry);
std::string EncodeEntry(const JournalIdentification& entry);
std::string EncodeEntry(const JournalDocument& entry);
std::string EncodeEntry(const JournalBooked& entry);
std::string EncodeEntry(const JournalStock& entry);
std::string EncodeEntry(const JournalGoodsFile& entry);

// Any one entry.
using JournalEntry =
    std::variant<JournalOperation, JournalWithdrawal, JournalRegister, JournalIdentification,
                 JournalDocument, JournalBooked, JournalStock, JournalGoodsFile>;
std::string EncodeEntry(const JournalEntry& entry);

// What a journal's entries leave for the next start, in the order it must
// be restored.
struct JournalContents {
  // Operations still pending, in the order they were committed.
  std::vector<JournalOperation> operations;
  // The latest state of each register, and of its identification; a last
  // operation that is not among `operations` is nothing to take back.
  std::vector<JournalRegister> registers;
  std::vector<JournalIdentification> identifications;
  // Closed documents whose rows have not been booked into the report,
  // oldest first (documents without rows are not kept).
  std::vector<JournalDocument> waiting;
  // The latest stock level of every goods record moved since the last goods
  // file came into service.
  std::vector<StockLevel> stock;
  // Where the report ended after the last document known to be booked.
  ReportEnd report_end;
  JournalId last_id = 0;  // the highest operation or document id
  int unreadable = 0;     // entries that are none of the kinds above
};
JournalContents ReadBack(const std::vector<std::string>& entries);

// The same, counted (without the limit of the pool).
struct JournalTotals {
  int open_operations = 0;
  int waiting_rows = 0;
  int unreadable = 0;  // entries that are none of the kinds above
  // Open operations kept for a register that is not the one now at their
  // line and network number: serial number -> how many.
  std::map<std::string, int> kept;
};

// Whether an open operation belongs to another register than the one whose
// identification (`serial`, zero-terminated, empty when none) its line and
// network number now have.
bool KeptForAnother(const JournalOperation& operation, const char* serial);
JournalTotals CountJournal(const std::vector<std::string>& entries);

// The type of an encoded entry; 0 for an empty one.
uint8_t EntryType(std::string_view entry);
// False when the bytes are not an entry of that type (wrong type, cut short,
// or bytes left over).
bool DecodeEntry(std::string_view entry, JournalOperation* out);
bool DecodeEntry(std::string_view entry, JournalWithdrawal* out);
bool DecodeEntry(std::string_view entry, JournalRegister* out);
bool DecodeEntry(std::string_view entry, JournalIdentification* out);
bool DecodeEntry(std::string_view entry, JournalDocument* out);
bool DecodeEntry(std::string_view entry, JournalBooked* out);
bool DecodeEntry(std::string_view entry, JournalStock* out);
bool DecodeEntry(std::string_view entry, JournalGoodsFile* out);
// Whichever kind the bytes are.
bool DecodeEntry(std::string_view entry, JournalEntry* out);

}  // namespace tillgate

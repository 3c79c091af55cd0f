#pragma once
// What the running server is doing, as a monitoring tool sees it: every
// port, every register, the store's figures. The engine, the lines and the
// store write it where they already change that state (or a grid); the
// status file's writer and the service status read a copy of it. Any thread
// may write or read; a write is a short lock and never waits on I/O, so a
// line's thread and a store transaction pay next to nothing for it.

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "config/port_config.h"
#include "store/register_book.h"

namespace tillgate {

using WallTime = std::chrono::system_clock::time_point;

// A port's serial device as its line last found it.
enum class PortHealth : uint8_t {
  kNone,        // no line object: nothing is opened
  kOpen,        // open, and its last transfers worked
  kFailing,     // open, but a transfer failed since it last worked
  kClosed,      // closed after it had been open (hung up, refused its settings)
  kOpenFailed,  // could not be opened
};

struct PortStatus {
  std::string name;    // "COM1"
  std::string device;  // "/dev/ttyUSB0"
  uint8_t state = 0;   // 0 not connected, 1 connected, 2 running
  PortHealth health = PortHealth::kNone;
  // The port's latest failure since start-up and when it came; kept after
  // the port works again. Empty when there was none.
  std::string last_error;
  WallTime last_error_time{};

  bool Open() const { return health == PortHealth::kOpen || health == PortHealth::kFailing; }
  friend bool operator==(const PortStatus&, const PortStatus&) = default;
};

struct RegisterStatus {
  // An answer of it was accepted since start-up, the latest at last_answer.
  bool answered = false;
  WallTime last_answer{};
  std::string serial_number;  // from its identification; empty until known
  // The number of the document it closed last since start-up (a register
  // tells a document's number only when it closes it).
  bool closed_document = false;
  uint32_t last_document = 0;
  int pending_operations = 0;  // of its open document

  // Worth listing: it answered, or it has an open document (one restored
  // from the journal included).
  bool Listed() const { return answered || pending_operations > 0; }
};

// What the store can say about its journal.
enum class JournalHealth : uint8_t {
  kNone,     // no journal is kept (not installed, no state folder)
  kOk,       // kept and written as it should be
  kFailing,  // cannot be written: goods messages are refused
  kHeld,     // another server holds it
};

struct StoreStatus {
  bool goods_open = false;  // a goods file is in service
  uint32_t goods_records = 0;
  bool report_open = false;
  uint64_t rows_written = 0;  // into otchet.dbf since start-up
  uint64_t rows_waiting = 0;  // closed, not yet in otchet.dbf
  JournalHealth journal = JournalHealth::kNone;
  // Open operations kept for a register that is not at their line and
  // network number now (another one identified there): its serial number
  // -> how many.
  std::map<std::string, int> kept_operations;
  friend bool operator==(const StoreStatus&, const StoreStatus&) = default;
};

// The store's part of one register.
struct RegisterFigures {
  std::string serial_number;
  int pending_operations = 0;
  friend bool operator==(const RegisterFigures&, const RegisterFigures&) = default;
};
using RegisterTable = std::array<std::array<RegisterFigures, kRegistersPerLine>, kPortCount>;

struct StatusSnapshot {
  std::array<PortStatus, kPortCount> ports;
  std::array<std::array<RegisterStatus, kRegistersPerLine>, kPortCount> registers;
  StoreStatus store;
  uint64_t version = 0;  // counts every change
};

class StatusBoard {
 public:
  StatusBoard();
  StatusBoard(const StatusBoard&) = delete;
  StatusBoard& operator=(const StatusBoard&) = delete;

  // ---- writers; an index outside the tables is ignored
  // At start-up: the port's name and device.
  void SetPort(int port_index, std::string_view name, std::string_view device);
  // The engine: 0 not connected, 1 connected, 2 running.
  void SetPortState(int port_index, uint8_t state);
  // The line: its port's state; a non-empty `error` becomes its last error.
  void SetPortHealth(int port_index, PortHealth health, std::string_view error = {});
  // The line: an answer of the register was accepted.
  void RegisterAnswered(int port_index, uint8_t network_number, WallTime when);
  // The store: a document of the register was closed.
  void DocumentClosed(int port_index, uint8_t network_number, uint32_t document_number);
  // The store: serial numbers and pending operations of every register.
  void SetRegisters(const RegisterTable& registers);
  void SetStore(const StoreStatus& store);

  // ---- readers
  StatusSnapshot Snapshot() const;
  uint64_t Version() const;

 private:
  RegisterStatus* Register(int port_index, uint8_t network_number);

  mutable std::mutex mutex_;
  StatusSnapshot state_;
};

}  // namespace tillgate

#pragma once
// The store as the lines and the engine see it: a few whole transactions.
// Each runs alone (the store serializes them), so every line may call them
// from its own thread; none of them waits on a serial line.

#include <cstdint>
#include <string>

#include "store/document_stamp.h"
#include "store/goods_request.h"

namespace tillgate {

// A register that identified itself, as the diagnostics view lists it and
// the store keeps it.
struct Identification {
  std::string port_name;   // "COM1"
  std::string model_name;  // the register type
  // The serial number's bytes as the register sent them (7, zero bytes
  // included: the report keeps them as they are).
  std::string serial_number;
  uint8_t network_number = 0;
  uint32_t line_index = 0;  // 0..15
  uint8_t year = 0;         // BCD, as the register sent it

  // The serial number as text: its bytes up to the first zero.
  std::string SerialText() const { return serial_number.substr(0, serial_number.find('\0')); }
};

class Store {
 public:
  virtual ~Store() = default;

  // A goods message: the repeated-message rule, the full-pool refusal, the
  // look-up with its stock movement, the void check (its movement taken back
  // when refused), the amount rounded to kopecks and the commit.
  virtual GoodsOutcome ServeGoods(const GoodsRequest& request) = 0;
  // The register closed its document: every pending operation of it goes to
  // the report stamped with the register's serial number and year (from its
  // identification) and the document's number, date and time, is shown and
  // released; its next goods message starts afresh. Returns the number of
  // operations handed over, or -1 when the document could not be booked (it
  // then stays open).
  virtual int CloseDocument(uint32_t line_index, uint8_t network_number,
                            const DocumentClose& document) = 0;
  // Lists the register in the diagnostics view (the first free row of rows
  // 1..14, else row 15) and keeps its serial number and year for the
  // documents it closes.
  virtual void ShowIdentification(const Identification& identification) = 0;
  // Empties the registers listed in the diagnostics view (rows 1..15,
  // columns 0..4): the Start action's clearing.
  virtual void ClearDiagnostics() = 0;
  // The exchange steps with the other shop software and the goods view
  // refresh. The exchange steps report their results as events; a failure
  // is retried at the next step.
  virtual bool ExchangeReport() = 0;
  virtual bool ExchangeGoods() = 0;
  virtual void FillGoodsView() = 0;
};

}  // namespace tillgate

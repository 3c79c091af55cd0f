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
  std::string serial_number;
  uint8_t network_number = 0;
  uint32_t line_index = 0;  // 0..15
  uint8_t year = 0;         // BCD, as the register sent it
};

class Store {
 public:
  virtual ~Store() = default;

  // A goods message: the repeated-message rule, the full-pool refusal, the
  // look-up with its stock movement, the void check (its movement taken back
  // when refused), the amount rounded to kopecks and the commit.
  virtual GoodsOutcome ServeGoods(const GoodsRequest& request) = 0;
  // The register closed its document: every pending operation of it goes to
  // the report stamped with `stamp`, is shown and released; its next goods
  // message starts afresh. Returns the number of operations handed over, or
  // -1 when the document could not be booked (it then stays open).
  virtual int CloseDocument(uint32_t line_index, uint8_t network_number,
                            const DocumentStamp& stamp) = 0;
  // Lists the register in the diagnostics view (the first free row of rows
  // 1..14, else row 15) and keeps its serial number and year for the
  // documents it closes.
  virtual void ShowIdentification(const Identification& identification) = 0;
  // The exchange steps with the other shop software and the goods view
  // refresh. The exchange steps report their results as events; a failure
  // is retried at the next step.
  virtual bool ExchangeReport() = 0;
  virtual bool ExchangeGoods() = 0;
  virtual void FillGoodsView() = 0;
};

}  // namespace tillgate

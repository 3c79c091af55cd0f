#pragma once
// Connects a line's receive step to the store: every accepted frame is
// decoded with the store's current free operation record.

#include "line/message_decoder.h"

namespace tillgate {

class TDB;

class StoreDecoder final : public MessageDecoder {
 public:
  explicit StoreDecoder(TDB& store) : store_(store) {}
  void DecodeMessage(TKkmEkr& line, uint8_t network_number) override;

 private:
  TDB& store_;
};

}  // namespace tillgate

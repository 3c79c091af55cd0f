#pragma once
// Decoding of the messages registers send, called by the line's receive step.

#include <cstdint>

namespace tillgate {

class TKkmEkr;

class MessageDecoder {
 public:
  virtual ~MessageDecoder() = default;
  // Called by ReadAnswer for every accepted frame; the frame is
  // line.ReceiveBuffer()[0..line.ReceiveCount()).
  virtual void DecodeMessage(TKkmEkr& line, uint8_t network_number) = 0;
};

}  // namespace tillgate

#include "line/store_decoder.h"

#include "line/kkm_ekr.h"
#include "store/pricedb.h"

namespace tillgate {

void StoreDecoder::DecodeMessage(TKkmEkr& line, uint8_t network_number) {
  line.DecodeMessage(network_number, store_.Current());
}

}  // namespace tillgate

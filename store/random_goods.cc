#include "store/random_goods.h"

#include <cstring>

namespace tillgate::testing {

std::string DescribeLookUp(LookUpResult result, const GoodsItem& item) {
  return std::to_string(static_cast<int>(result)) + " #" + std::to_string(item.record_number) +
         " " + std::string(item.name, static_cast<size_t>(item.name_length)) + " " +
         std::string(1, item.section) + " " + std::to_string(item.price);
}

bool SameLookUp(LookUpResult a, const GoodsItem& found_a, LookUpResult b,
                const GoodsItem& found_b) {
  return a == b && found_a.record_number == found_b.record_number &&
         found_a.name_length == found_b.name_length &&
         std::memcmp(found_a.name, found_b.name, sizeof found_a.name) == 0 &&
         found_a.section == found_b.section && found_a.price == found_b.price;
}

}  // namespace tillgate::testing

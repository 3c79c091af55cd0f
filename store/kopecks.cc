#include "store/kopecks.h"

#include <cmath>
#include <limits>

namespace tillgate {

uint32_t RoundKopecks(double amount_kopecks) {
  if (!std::isfinite(amount_kopecks) || amount_kopecks <= 0) return 0;
  constexpr double kMax = std::numeric_limits<uint32_t>::max();
  if (amount_kopecks >= kMax) return std::numeric_limits<uint32_t>::max();
  double whole = std::trunc(amount_kopecks);
  const double tenths = std::trunc(amount_kopecks * 10.0) - 10.0 * whole;
  if (tenths > 5) whole += 1;
  if (whole >= kMax) return std::numeric_limits<uint32_t>::max();
  return static_cast<uint32_t>(whole);
}

}  // namespace tillgate

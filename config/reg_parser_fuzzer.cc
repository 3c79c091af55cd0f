// Feeds arbitrary bytes to the registry file reader. Whatever it accepts must
// write out and read back to the same text.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "config/reg_document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tillgate;
  RegDocument document;
  if (!ParseRegFile(std::string_view(reinterpret_cast<const char*>(data), size), &document).ok()) {
    return 0;
  }
  std::string text = FormatRegFile(document);
  RegDocument again;
  if (!ParseRegFile(text, &again).ok()) std::abort();
  if (FormatRegFile(again) != text) std::abort();
  return 0;
}

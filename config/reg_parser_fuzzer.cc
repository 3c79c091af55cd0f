// Feeds arbitrary bytes to the registry file reader. Whatever it accepts must
// write out and read back to the same text.
//
// Inputs are at most TILLGATE_FUZZ_MAX_LEN (4096) bytes: the settings file
// of a full installation, sixteen lines each with its device path, is about
// 3.9 KB, and the same settings exported from Windows (UTF-16, without
// device paths) about 3.6 KB. Longer inputs only repeat lines that shorter
// ones hold.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "config/reg_document.h"

namespace {
constexpr size_t kMaxInput = TILLGATE_FUZZ_MAX_LEN;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tillgate;
  if (size > kMaxInput) return -1;
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

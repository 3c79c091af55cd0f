#include "platform/win32/under_wine.h"

#include <windows.h>

namespace tillgate::testing {

// Wine's ntdll exports its version; Windows' has no such function.
bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace tillgate::testing

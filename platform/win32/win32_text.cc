#include "platform/win32/win32_text.h"

#include <windows.h>

#include <climits>

namespace tillgate {

bool WideFromUtf8(std::string_view utf8, std::wstring* wide) {
  wide->clear();
  if (utf8.empty()) return true;
  if (utf8.size() > INT_MAX) return false;
  const int size = static_cast<int>(utf8.size());
  const int needed =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
  if (needed <= 0) return false;
  wide->resize(static_cast<size_t>(needed));
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide->data(), needed) !=
      needed) {
    wide->clear();
    return false;
  }
  return true;
}

std::wstring WideFromUtf8(std::string_view utf8) {
  std::wstring wide;
  WideFromUtf8(utf8, &wide);
  return wide;
}

std::string Utf8FromWide(std::wstring_view wide) {
  if (wide.empty() || wide.size() > INT_MAX) return std::string();
  const int size = static_cast<int>(wide.size());
  const int needed =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return std::string();
  std::string utf8(static_cast<size_t>(needed), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), needed, nullptr, nullptr);
  return utf8;
}

// Backslashes are doubled only where a quote follows them.
std::wstring QuotedArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out.push_back(c);
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

}  // namespace tillgate

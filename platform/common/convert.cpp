#include "platform/common/convert.h"

#include <unicode/utf8.h>

#include <cstring>
#include <cwchar>
#include <limits>
#include <string>

namespace Util::Convert {

CKZStringW Utf8ToWS(const char* bytes, int length) {
  return Utf8ToWS(reinterpret_cast<const BYTE*>(bytes), length);
}

CKZStringW Utf8ToWS(const BYTE* bytes, int length) {
  std::wstring out;
  if (bytes == nullptr) return CKZStringW(std::move(out));
  std::int32_t n =
      length < 0 ? static_cast<std::int32_t>(std::strlen(reinterpret_cast<const char*>(bytes)))
                 : length;
  out.reserve(static_cast<std::size_t>(n));
  std::int32_t i = 0;
  while (i < n) {
    UChar32 c;
    U8_NEXT_OR_FFFD(bytes, i, n, c);
    out.push_back(static_cast<wchar_t>(c));
  }
  return CKZStringW(std::move(out));
}

CKZStringA Utf8FromWS(const wchar_t* text, int length) {
  std::string out;
  if (text == nullptr) return CKZStringA(std::move(out));
  std::size_t n = length < 0 ? std::wcslen(text) : static_cast<std::size_t>(length);
  out.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    auto c = static_cast<std::uint32_t>(text[i]);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    std::uint8_t buf[4];
    std::int32_t k = 0;
    U8_APPEND_UNSAFE(buf, k, static_cast<UChar32>(c));
    out.append(reinterpret_cast<const char*>(buf), static_cast<std::size_t>(k));
  }
  return CKZStringA(std::move(out));
}

CKZStringW UIntToStr(std::uint32_t value) { return CKZStringW(std::to_wstring(value)); }

}  // namespace Util::Convert

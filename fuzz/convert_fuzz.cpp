// Fuzzes the text conversions: the input read as UTF-8, as GBK, and as wide
// units (four bytes each, any value). Checks that nothing crashes, that UTF-8
// written by Utf8FromWS decodes to the same text (invalid units excepted, which
// become U+FFFD), and that a GBK round trip gives back what it was given.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/common/convert.h"

namespace {
bool IsScalar(wchar_t c) {
  auto u = static_cast<std::uint32_t>(c);
  return u <= 0x10FFFF && (u < 0xD800 || u > 0xDFFF);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto* bytes = reinterpret_cast<const char*>(data);
  const int length = static_cast<int>(size);

  // UTF-8 -> wide -> UTF-8 -> wide is stable after the first decoding.
  CKZStringW wide = Util::Convert::Utf8ToWS(bytes, length);
  CKZStringA utf8 = Util::Convert::Utf8FromWS(wide.GetString(), wide.GetLength());
  CKZStringW again = Util::Convert::Utf8ToWS(utf8.GetString(), utf8.GetLength());
  if (!(again == wide)) std::abort();

  // GBK -> wide -> GBK gives back the bytes when the first step succeeds.
  CKZStringW from_gbk;
  if (Util::Convert::GBKToUnicode(from_gbk, bytes, length)) {
    CKZStringA back;
    if (!Util::Convert::UnicodeToGBK(back, from_gbk.GetString(), from_gbk.GetLength())) {
      std::abort();
    }
    if (back.str() != std::string(bytes, size)) std::abort();
  }

  // Arbitrary wide units, lone surrogates and values past U+10FFFF included.
  std::wstring units(size / 4, L'\0');
  if (!units.empty()) std::memcpy(units.data(), data, units.size() * 4);
  CKZStringA encoded = Util::Convert::Utf8FromWS(units.c_str(), static_cast<int>(units.size()));
  CKZStringW decoded = Util::Convert::Utf8ToWS(encoded.GetString(), encoded.GetLength());
  if (decoded.GetLength() != static_cast<int>(units.size())) std::abort();
  for (std::size_t i = 0; i < units.size(); ++i) {
    wchar_t expected = IsScalar(units[i]) ? units[i] : L'\uFFFD';
    if (decoded.GetAt(static_cast<int>(i)) != expected) std::abort();
  }
  CKZStringA gbk;
  Util::Convert::UnicodeToGBK(gbk, units.c_str(), static_cast<int>(units.size()));
  return 0;
}

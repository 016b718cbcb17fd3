// Fuzzes the wide-format convention ("%s" a wide string, "%c" a wide
// character, "%hs"/"%S" narrow, "%I64d" 64-bit; "%n" never writes). Two
// ways:
// - the input as a format of its own (four bytes a unit): its translation
//   never holds a "%n" conversion, and when it takes no arguments formatting
//   it prints the text with each "%%" as "%";
// - the input as a choice of conversions with flags, widths and precisions,
//   one per argument of a fixed list, and text between them: the client's
//   format must print what the C library prints for the same conversions.
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "platform/common/kzstring.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// The conversions of a translated format: false at a "%n" or when any
// conversion takes an argument.
bool TakesNoArguments(const std::wstring& format, bool* has_n) {
  bool none = true;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != L'%') continue;
    if (i + 1 < format.size() && format[i + 1] == L'%') {
      ++i;
      continue;
    }
    none = false;
    // As the C library reads it: flags, width, precision, length, conversion.
    std::size_t j = i + 1;
    auto skip = [&](const wchar_t* set) {
      while (j < format.size() && format[j] != 0 && std::wcschr(set, format[j])) ++j;
    };
    skip(L"-+ #0'");
    skip(L"0123456789*");
    if (j < format.size() && format[j] == L'.') {
      ++j;
      skip(L"0123456789*");
    }
    skip(L"hlLqjzt");
    if (j < format.size() && format[j] == L'n') *has_n = true;
    i = j;  // the conversion character, whatever it is
  }
  return none;
}

// One conversion of the client's convention and its C form, by argument.
struct Choice {
  const wchar_t* client;
  const wchar_t* c;
};
constexpr Choice kInt[] = {{L"%d", L"%d"},   {L"%5i", L"%5i"}, {L"%-4x", L"%-4x"},
                           {L"%#o", L"%#o"}, {L"%+d", L"%+d"}, {L"%08X", L"%08X"}};
constexpr Choice kWide[] = {{L"%s", L"%ls"},
                            {L"%8s", L"%8ls"},
                            {L"%-6.2s", L"%-6.2ls"},
                            {L"%ls", L"%ls"},
                            {L"%.0s", L"%.0ls"}};
constexpr Choice kReal[] = {
    {L"%f", L"%f"}, {L"%.3e", L"%.3e"}, {L"%g", L"%g"}, {L"%10.1f", L"%10.1f"}};
constexpr Choice kNarrow[] = {{L"%hs", L"%s"}, {L"%S", L"%s"}, {L"%5hs", L"%5s"}};
constexpr Choice kChar[] = {{L"%c", L"%lc"}, {L"%3c", L"%3lc"}, {L"%lc", L"%lc"}};
constexpr Choice kLong[] = {
    {L"%llu", L"%llu"}, {L"%I64u", L"%llu"}, {L"%I64d", L"%lld"}, {L"%llx", L"%llx"}};

template <std::size_t N>
const Choice& Pick(const Choice (&choices)[N], std::uint8_t byte) {
  return choices[byte % N];
}

std::wstring CFormat(const wchar_t* format, ...) {
  wchar_t buffer[4096];
  va_list args;
  va_start(args, format);
  const int n = std::vswprintf(buffer, 4096, format, args);
  va_end(args);
  return n < 0 ? std::wstring(L"(too long)") : std::wstring(buffer, static_cast<std::size_t>(n));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The input as a format.
  std::wstring units(size / 4, L'\0');
  if (!units.empty()) std::memcpy(units.data(), data, units.size() * 4);
  units.resize(std::wcslen(units.c_str()));
  for (wchar_t& c : units) {
    if (static_cast<std::uint32_t>(c) > 0x10FFFF) c = L'?';  // keep to characters
  }
  const std::wstring translated = platform::TranslateWideFormat(units.c_str());
  bool has_n = false;
  const bool no_arguments = TakesNoArguments(translated, &has_n);
  Check(!has_n);
  if (no_arguments && units.size() < 1000) {
    CKZStringW printed;
    printed.Format(units.c_str());
    // Text whose only '%' are doubled ones (and one left open at the end)
    // prints with each "%%" as "%".
    std::wstring expected;
    bool plain = true;
    for (std::size_t i = 0; i < units.size(); ++i) {
      expected += units[i];
      if (units[i] != L'%' || i + 1 == units.size()) continue;
      if (units[i + 1] == L'%') {
        ++i;
      } else {
        plain = false;
      }
    }
    Check(!plain || printed.str() == expected || printed.str() == L"(format error)");
  }

  // The input as a choice of conversions.
  if (size < 7) return 0;
  const std::size_t used = size < 24 ? size : 24;
  std::wstring client, c;
  auto text = [&](std::uint8_t byte) {
    static constexpr const wchar_t* kTexts[] = {L"", L" ", L"a", L"%%", L"\u5f20", L"[", L"]"};
    client += kTexts[byte % 7];
    c += kTexts[byte % 7];
  };
  const Choice* chosen[6] = {&Pick(kInt, data[1]),    &Pick(kWide, data[2]), &Pick(kReal, data[3]),
                             &Pick(kNarrow, data[4]), &Pick(kChar, data[5]), &Pick(kLong, data[6])};
  const std::size_t slots = data[0] % 7;
  for (std::size_t i = 0; i < slots; ++i) {
    text(used > 7 + i ? data[7 + i] : 0);
    client += chosen[i]->client;
    c += chosen[i]->c;
  }
  text(used > 20 ? data[20] : 0);
  CKZStringW printed;
  printed.Format(client.c_str(), -42, L"wide\u5f20", 2.5, "narrow", L'\u00e9',
                 18446744073709551615ull);
  const std::wstring expected =
      CFormat(c.c_str(), -42, L"wide\u5f20", 2.5, "narrow", L'\u00e9', 18446744073709551615ull);
  Check(printed.str() == expected);
  return 0;
}

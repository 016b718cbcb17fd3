// Basic types of the platform: result codes, GUIDs, the reference-counted
// interface root and system strings.
//
// Result codes are 32-bit signed values, negative on failure, so that they
// stay negative when a caller widens them to `long`.
//
// System strings (`BSTR`) are `wchar_t` texts (32-bit units on Linux) with a
// length prefix, allocated by `SysAllocString*` and freed by
// `SysFreeString`; a null `BSTR` is the empty text.
#ifndef WRENUTIL_PLATFORM_COMMON_KZBASE_H_
#define WRENUTIL_PLATFORM_COMMON_KZBASE_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#define KZ_PLATFORM_API __attribute__((visibility("default")))

using HRESULT = std::int32_t;
using DWORD = std::uint32_t;
using BYTE = std::uint8_t;
using BSTR = wchar_t*;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
// Bag-specific failures: an absent field, a field or element of another
// type, an index out of range.
inline constexpr HRESULT KZ_E_NOFIELD = static_cast<HRESULT>(0x80040301u);
inline constexpr HRESULT KZ_E_TYPEMISMATCH = static_cast<HRESULT>(0x80040302u);
inline constexpr HRESULT KZ_E_BADINDEX = static_cast<HRESULT>(0x80040303u);

inline constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline constexpr bool FAILED(HRESULT hr) { return hr < 0; }

// A 128-bit identifier of an interface, class, service or extension point.
struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];

  friend constexpr bool operator==(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) {
      return false;
    }
    for (int i = 0; i < 8; ++i) {
      if (a.Data4[i] != b.Data4[i]) return false;
    }
    return true;
  }
  friend constexpr bool operator<(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1) return a.Data1 < b.Data1;
    if (a.Data2 != b.Data2) return a.Data2 < b.Data2;
    if (a.Data3 != b.Data3) return a.Data3 < b.Data3;
    for (int i = 0; i < 8; ++i) {
      if (a.Data4[i] != b.Data4[i]) return a.Data4[i] < b.Data4[i];
    }
    return false;
  }
};
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const GUID&;
using REFCLSID = const GUID&;

namespace platform {
namespace internal {
constexpr std::uint32_t HexDigit(char c) {
  return (c >= '0' && c <= '9')   ? static_cast<std::uint32_t>(c - '0')
         : (c >= 'a' && c <= 'f') ? static_cast<std::uint32_t>(c - 'a' + 10)
         : (c >= 'A' && c <= 'F') ? static_cast<std::uint32_t>(c - 'A' + 10)
                                  : throw "bad hex digit in GUID text";
}
constexpr std::uint32_t Hex(std::string_view s, std::size_t pos, std::size_t n) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < n; ++i) v = (v << 4) | HexDigit(s[pos + i]);
  return v;
}
}  // namespace internal

// Builds a GUID from its registry text "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
// (both braces or none) at compile time: a malformed text (wrong length, a
// missing dash or brace, a character that is no hex digit) fails to compile.
// Texts known only at run time go through ParseGuid.
consteval GUID MakeGuid(std::string_view text) {
  if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
  if (text.size() != 36) throw "GUID text must be 36 characters, or 38 with braces";
  if (text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-') {
    throw "GUID text has its dashes at 8, 13, 18 and 23";
  }
  GUID g{};
  g.Data1 = internal::Hex(text, 0, 8);
  g.Data2 = static_cast<std::uint16_t>(internal::Hex(text, 9, 4));
  g.Data3 = static_cast<std::uint16_t>(internal::Hex(text, 14, 4));
  g.Data4[0] = static_cast<std::uint8_t>(internal::Hex(text, 19, 2));
  g.Data4[1] = static_cast<std::uint8_t>(internal::Hex(text, 21, 2));
  for (int i = 0; i < 6; ++i) {
    g.Data4[2 + i] =
        static_cast<std::uint8_t>(internal::Hex(text, 24 + static_cast<std::size_t>(i) * 2, 2));
  }
  return g;
}

// Parses a GUID text at run time; false when it is malformed.
KZ_PLATFORM_API bool ParseGuid(std::string_view text, GUID* out);
// The registry text of a GUID, upper case, with braces.
KZ_PLATFORM_API void FormatGuid(const GUID& id, char (&out)[39]);
}  // namespace platform

// The root of every reference-counted platform interface.
struct IUnknown {
  static constexpr GUID kIid = platform::MakeGuid("{00000000-0000-0000-C000-000000000046}");
  // On success stores one reference for the caller in *object; on failure
  // stores nullptr and returns E_NOINTERFACE (E_POINTER for a null slot).
  virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
  virtual std::uint32_t AddRef() = 0;
  virtual std::uint32_t Release() = 0;

 protected:
  ~IUnknown() = default;
};

// System strings. A BSTR points at the first unit; its length is kept in
// front of it, and a zero unit follows the text.
KZ_PLATFORM_API BSTR SysAllocString(const wchar_t* text);
KZ_PLATFORM_API BSTR SysAllocStringLen(const wchar_t* text, std::uint32_t length);
KZ_PLATFORM_API void SysFreeString(BSTR text);
// The length (in units) kept in front of the text.
inline std::uint32_t SysStringLen(BSTR text) {
  if (text == nullptr) return 0;
  std::uint32_t length = 0;
  std::memcpy(&length, reinterpret_cast<const char*>(text) - 4, 4);
  return length;
}

#endif  // WRENUTIL_PLATFORM_COMMON_KZBASE_H_

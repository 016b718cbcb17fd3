// Text classes: CKZStringW (wide text), CKZStringA (narrow text) and CKZBSTR
// (owner of one system string).
//
// Formatting follows the client's convention for wide formats: in
// `CKZStringW::Format`, "%s" takes a wide string and "%c" a wide character
// ("%hs"/"%S" take a narrow string, "%ls" a wide one). The formats are
// rewritten for the C library before use, and the output grows as needed, so
// no text is cut. A null string argument prints "(null)". Narrow string
// arguments are UTF-8, whatever the process locale; one that is not valid
// UTF-8 makes the whole text "(format error)". A '%' left open at the end of
// a format prints as it stands.
#ifndef WRENUTIL_PLATFORM_COMMON_KZSTRING_H_
#define WRENUTIL_PLATFORM_COMMON_KZSTRING_H_

#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/common/kzbase.h"

// Tag of the constructor that decodes UTF-8 bytes.
struct KZUtf8Tag {};
inline constexpr KZUtf8Tag kUtf8{};

class KZ_PLATFORM_API CKZStringW {
 public:
  CKZStringW() = default;
  CKZStringW(const wchar_t* text) : s_(text ? text : L"") {}  // null = empty
  CKZStringW(const wchar_t* text, int length);                // length < 0: to the zero
  CKZStringW(std::wstring_view text) : s_(text) {}
  CKZStringW(std::wstring text) : s_(std::move(text)) {}
  // Decodes `length` UTF-8 bytes (-1: up to the zero byte); invalid
  // sequences become U+FFFD.
  CKZStringW(KZUtf8Tag, const char* utf8, int length);

  int GetLength() const { return static_cast<int>(s_.size()); }
  bool IsEmpty() const { return s_.empty(); }
  void Empty() { s_.clear(); }
  const wchar_t* GetString() const { return s_.c_str(); }
  operator const wchar_t*() const { return s_.c_str(); }
  const std::wstring& str() const { return s_; }
  std::wstring& str() { return s_; }
  // Character at `index`; 0 when the index is outside the text.
  wchar_t GetAt(int index) const;

  // A new system string with the text; the caller frees it.
  BSTR GetBSTR() const;
  BSTR AllocSysString() const { return GetBSTR(); }

  // Replaces the text by the formatted arguments (see the file comment).
  void Format(const wchar_t* format, ...);
  void FormatV(const wchar_t* format, va_list args);
  void AppendFormat(const wchar_t* format, ...);
  void AppendFormatV(const wchar_t* format, va_list args);

  // Index of the first occurrence at or after `start`, or -1. An empty
  // needle is found at `start` when `start` is inside the text.
  int Find(const wchar_t* needle, int start = 0) const;
  int Find(wchar_t ch, int start = 0) const;
  // Replaces every occurrence of `from` (non-empty) by `to`; returns how many.
  int Replace(const wchar_t* from, const wchar_t* to);
  int Replace(wchar_t from, wchar_t to);
  // Sub-strings. Counts and positions are clamped to the text; a negative
  // count gives the empty text.
  CKZStringW Mid(int start) const;
  CKZStringW Mid(int start, int count) const;
  CKZStringW Left(int count) const;
  CKZStringW Right(int count) const;
  CKZStringW& MakeLower();  // ASCII and Unicode simple lower-casing
  CKZStringW& MakeUpper();
  CKZStringW& Trim();
  // Case-sensitive comparison like wcscmp: <0, 0, >0.
  int Compare(const wchar_t* other) const;
  int CompareNoCase(const wchar_t* other) const;

  CKZStringW& operator=(const wchar_t* text) {
    s_ = text ? text : L"";
    return *this;
  }
  CKZStringW& operator+=(const CKZStringW& other) {
    s_ += other.s_;
    return *this;
  }
  CKZStringW& operator+=(const wchar_t* text) {
    if (text) s_ += text;
    return *this;
  }
  CKZStringW& operator+=(wchar_t ch) {
    s_ += ch;
    return *this;
  }
  friend CKZStringW operator+(CKZStringW a, const CKZStringW& b) {
    a += b;
    return a;
  }
  friend CKZStringW operator+(CKZStringW a, const wchar_t* b) {
    a += b;
    return a;
  }
  friend CKZStringW operator+(const wchar_t* a, const CKZStringW& b) {
    CKZStringW r(a);
    r += b;
    return r;
  }
  friend bool operator==(const CKZStringW& a, const CKZStringW& b) { return a.s_ == b.s_; }
  friend bool operator==(const CKZStringW& a, const wchar_t* b) { return a.s_ == (b ? b : L""); }
  friend bool operator<(const CKZStringW& a, const CKZStringW& b) { return a.s_ < b.s_; }

 private:
  std::wstring s_;
};

class KZ_PLATFORM_API CKZStringA {
 public:
  CKZStringA() = default;
  CKZStringA(const char* text) : s_(text ? text : "") {}  // null = empty
  CKZStringA(const char* text, int length);               // length < 0: to the zero
  CKZStringA(std::string_view text) : s_(text) {}
  CKZStringA(std::string text) : s_(std::move(text)) {}

  int GetLength() const { return static_cast<int>(s_.size()); }
  bool IsEmpty() const { return s_.empty(); }
  void Empty() { s_.clear(); }
  const char* GetString() const { return s_.c_str(); }
  operator const char*() const { return s_.c_str(); }
  const std::string& str() const { return s_; }
  std::string& str() { return s_; }
  char GetAt(int index) const;

  // printf-style formatting with the C library's narrow conventions.
  void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
  int Find(const char* needle, int start = 0) const;
  int Find(char ch, int start = 0) const;
  int Replace(const char* from, const char* to);
  CKZStringA Mid(int start) const;
  CKZStringA Mid(int start, int count) const;
  CKZStringA Left(int count) const;
  CKZStringA Right(int count) const;
  CKZStringA& MakeLower();  // ASCII only: bytes of a double-byte text stay
  CKZStringA& MakeUpper();

  CKZStringA& operator=(const char* text) {
    s_ = text ? text : "";
    return *this;
  }
  CKZStringA& operator+=(const CKZStringA& other) {
    s_ += other.s_;
    return *this;
  }
  CKZStringA& operator+=(const char* text) {
    if (text) s_ += text;
    return *this;
  }
  CKZStringA& operator+=(char ch) {
    s_ += ch;
    return *this;
  }
  friend CKZStringA operator+(CKZStringA a, const CKZStringA& b) {
    a += b;
    return a;
  }
  friend bool operator==(const CKZStringA& a, const CKZStringA& b) { return a.s_ == b.s_; }
  friend bool operator==(const CKZStringA& a, const char* b) { return a.s_ == (b ? b : ""); }
  friend bool operator<(const CKZStringA& a, const CKZStringA& b) { return a.s_ < b.s_; }

 private:
  std::string s_;
};

// Owns one system string (or none). `&holder` frees what is held and hands
// out the slot, so it serves as the out-argument of getters.
class KZ_PLATFORM_API CKZBSTR {
 public:
  CKZBSTR() = default;
  explicit CKZBSTR(const wchar_t* text) : s_(SysAllocString(text)) {}
  CKZBSTR(const CKZBSTR&) = delete;
  CKZBSTR& operator=(const CKZBSTR&) = delete;
  CKZBSTR(CKZBSTR&& other) noexcept : s_(other.s_) { other.s_ = nullptr; }
  ~CKZBSTR() { SysFreeString(s_); }

  BSTR* operator&() {
    SysFreeString(s_);
    s_ = nullptr;
    return &s_;
  }
  operator BSTR() const { return s_; }
  BSTR Get() const { return s_; }
  // The text, or the empty text for a null string.
  const wchar_t* c_str() const { return s_ ? s_ : L""; }
  std::uint32_t Length() const { return SysStringLen(s_); }
  [[nodiscard]] BSTR Detach() {
    BSTR s = s_;
    s_ = nullptr;
    return s;
  }
  void Attach(BSTR s) {
    SysFreeString(s_);
    s_ = s;
  }

 private:
  BSTR s_ = nullptr;
};

namespace platform {
// Rewrites a wide format of the client's convention ("%s" = wide string,
// "%c" = wide character) into the C library's ("%ls", "%lc"). Exposed for
// the log and for tests.
KZ_PLATFORM_API std::wstring TranslateWideFormat(const wchar_t* format);
// Formats with the client's convention into `out` (appending).
KZ_PLATFORM_API void AppendWideFormatV(std::wstring* out, const wchar_t* format, va_list args);
// The lower-case form of one character, by the rule of CKZStringW::MakeLower.
KZ_PLATFORM_API wchar_t ToLowerChar(wchar_t ch);
}  // namespace platform

#endif  // WRENUTIL_PLATFORM_COMMON_KZSTRING_H_

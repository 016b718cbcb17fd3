#include "platform/common/kzstring.h"

#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <vector>

#include "platform/common/convert.h"

namespace {

template <class S>
S SubString(const S& s, int start, int count) {
  int length = static_cast<int>(s.size());
  if (start < 0) start = 0;
  if (count < 0 || start >= length) return S();
  count = std::min(count, length - start);
  return s.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(count));
}

template <class S, class C>
int FindIn(const S& s, const C* needle, int start) {
  if (needle == nullptr || start < 0 || start > static_cast<int>(s.size())) return -1;
  auto pos = s.find(needle, static_cast<std::size_t>(start));
  return pos == S::npos ? -1 : static_cast<int>(pos);
}

template <class S, class C>
int ReplaceIn(S& s, const C* from, const C* to) {
  if (from == nullptr || *from == 0) return 0;
  S f(from);
  S t(to ? to : S());
  int count = 0;
  std::size_t pos = 0;
  while ((pos = s.find(f, pos)) != S::npos) {
    s.replace(pos, f.size(), t);
    pos += t.size();
    ++count;
  }
  return count;
}

// Narrow texts are UTF-8 and wide case rules are Unicode's, whatever the
// process locale is: formatting and case mapping use this locale (null when
// the C library has no UTF-8 locale; the process locale is used then).
locale_t Utf8Locale() {
  static locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  return locale;
}

wchar_t ToLower(wchar_t c) {
  locale_t l = Utf8Locale();
  auto w = static_cast<wint_t>(c);
  return static_cast<wchar_t>(l ? towlower_l(w, l) : std::towlower(w));
}
wchar_t ToUpper(wchar_t c) {
  locale_t l = Utf8Locale();
  auto w = static_cast<wint_t>(c);
  return static_cast<wchar_t>(l ? towupper_l(w, l) : std::towupper(w));
}
bool IsSpace(wchar_t c) {
  locale_t l = Utf8Locale();
  auto w = static_cast<wint_t>(c);
  return (l ? iswspace_l(w, l) : std::iswspace(w)) != 0;
}

}  // namespace

namespace platform {

wchar_t ToLowerChar(wchar_t ch) { return ToLower(ch); }

std::wstring TranslateWideFormat(const wchar_t* format) {
  std::wstring out;
  if (format == nullptr) return out;
  for (const wchar_t* p = format; *p;) {
    if (*p != L'%') {
      out += *p++;
      continue;
    }
    std::size_t spec_start = out.size();
    out += *p++;
    if (*p == L'%') {
      out += *p++;
      continue;
    }
    // Flags, width and precision, in the order the C library reads them.
    while (*p && std::wcschr(L"-+ #0'", *p)) out += *p++;
    while (*p && std::wcschr(L"0123456789*", *p)) out += *p++;
    if (*p == L'.') {
      out += *p++;
      while (*p && std::wcschr(L"0123456789*", *p)) out += *p++;
    }
    // length modifiers
    bool has_h = false;
    bool has_l = false;
    std::wstring length;
    while (*p && std::wcschr(L"hlLqjztI", *p)) {
      if (*p == L'h') has_h = true;
      if (*p == L'l') has_l = true;
      if (*p == L'I') {  // I64 / I32 / I
        if (p[1] == L'6' && p[2] == L'4') {
          length += L"ll";
          p += 3;
        } else if (p[1] == L'3' && p[2] == L'2') {
          p += 3;
        } else {
          length += L"z";
          ++p;
        }
        continue;
      }
      length += *p++;
    }
    wchar_t conv = *p;
    if (conv == 0) {  // a '%' left open at the end is printed as it stands
      std::wstring tail = out.substr(spec_start + 1);
      out.resize(spec_start);
      out += L"%%";
      out += tail;
      break;
    }
    ++p;
    switch (conv) {
      case L's':
      case L'c':
        out += has_h ? std::wstring() : std::wstring(L"l");
        out += conv;
        break;
      case L'S':
        out += has_l ? L"ls" : L"s";
        break;
      case L'C':
        out += has_l ? L"lc" : L"c";
        break;
      case L'n':  // never write through a format
        out += L"%";
        break;
      default:
        if (std::wcschr(L"diouxXeEfFgGaAp", conv) == nullptr) {
          // Not a conversion: what was read prints as it stands, and a
          // '%' in the place of its conversion starts the next one.
          out.insert(spec_start, 1, L'%');
          out += length;
          if (conv == L'%') {
            --p;
          } else {
            out += conv;
          }
          break;
        }
        out += length;
        out += conv;
        break;
    }
  }
  return out;
}

void AppendWideFormatV(std::wstring* out, const wchar_t* format, va_list args) {
  if (out == nullptr || format == nullptr) return;
  std::wstring fmt = TranslateWideFormat(format);
  std::vector<wchar_t> buf(256);
  // Narrow arguments ("%hs") are decoded as UTF-8 on this thread.
  locale_t utf8 = Utf8Locale();
  locale_t previous = utf8 ? uselocale(utf8) : static_cast<locale_t>(nullptr);
  for (;;) {
    va_list copy;
    va_copy(copy, args);
    errno = 0;
    int n = std::vswprintf(buf.data(), buf.size(), fmt.c_str(), copy);
    int error = errno;
    va_end(copy);
    if (n >= 0 && static_cast<std::size_t>(n) < buf.size()) {
      out->append(buf.data(), static_cast<std::size_t>(n));
      break;
    }
    // vswprintf answers -1 both when the text does not fit and for a narrow
    // argument that is not valid UTF-8; only the first is worth a retry.
    if (error == EILSEQ || buf.size() >= (std::size_t{1} << 24)) {
      out->append(L"(format error)");
      break;
    }
    buf.resize(buf.size() * 4);
  }
  if (utf8) uselocale(previous);
}

}  // namespace platform

// ---------------------------------------------------------------------------
CKZStringW::CKZStringW(const wchar_t* text, int length) {
  if (text == nullptr) return;
  if (length < 0) {
    s_ = text;
  } else {
    s_.assign(text, static_cast<std::size_t>(length));
  }
}

CKZStringW::CKZStringW(KZUtf8Tag, const char* utf8, int length)
    : s_(Util::Convert::Utf8ToWS(utf8, length).str()) {}

wchar_t CKZStringW::GetAt(int index) const {
  if (index < 0 || index >= GetLength()) return 0;
  return s_[static_cast<std::size_t>(index)];
}

BSTR CKZStringW::GetBSTR() const {
  return SysAllocStringLen(s_.data(), static_cast<std::uint32_t>(s_.size()));
}

void CKZStringW::Format(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  FormatV(format, args);
  va_end(args);
}
void CKZStringW::FormatV(const wchar_t* format, va_list args) {
  s_.clear();
  platform::AppendWideFormatV(&s_, format, args);
}
void CKZStringW::AppendFormat(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  AppendFormatV(format, args);
  va_end(args);
}
void CKZStringW::AppendFormatV(const wchar_t* format, va_list args) {
  platform::AppendWideFormatV(&s_, format, args);
}

int CKZStringW::Find(const wchar_t* needle, int start) const { return FindIn(s_, needle, start); }
int CKZStringW::Find(wchar_t ch, int start) const {
  if (start < 0 || start > GetLength()) return -1;
  auto pos = s_.find(ch, static_cast<std::size_t>(start));
  return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}
int CKZStringW::Replace(const wchar_t* from, const wchar_t* to) { return ReplaceIn(s_, from, to); }
int CKZStringW::Replace(wchar_t from, wchar_t to) {
  int count = 0;
  for (wchar_t& c : s_) {
    if (c == from) {
      c = to;
      ++count;
    }
  }
  return count;
}
CKZStringW CKZStringW::Mid(int start) const { return SubString(s_, start, GetLength()); }
CKZStringW CKZStringW::Mid(int start, int count) const { return SubString(s_, start, count); }
CKZStringW CKZStringW::Left(int count) const { return SubString(s_, 0, count); }
CKZStringW CKZStringW::Right(int count) const {
  if (count < 0) return CKZStringW();
  count = std::min(count, GetLength());
  return SubString(s_, GetLength() - count, count);
}
CKZStringW& CKZStringW::MakeLower() {
  for (wchar_t& c : s_) c = ToLower(c);
  return *this;
}
CKZStringW& CKZStringW::MakeUpper() {
  for (wchar_t& c : s_) c = ToUpper(c);
  return *this;
}
CKZStringW& CKZStringW::Trim() {
  auto is_space = [](wchar_t c) { return IsSpace(c); };
  while (!s_.empty() && is_space(s_.back())) s_.pop_back();
  std::size_t i = 0;
  while (i < s_.size() && is_space(s_[i])) ++i;
  s_.erase(0, i);
  return *this;
}
int CKZStringW::Compare(const wchar_t* other) const { return s_.compare(other ? other : L""); }
int CKZStringW::CompareNoCase(const wchar_t* other) const {
  CKZStringW a(*this);
  CKZStringW b(other);
  a.MakeLower();
  b.MakeLower();
  return a.Compare(b);
}

// ---------------------------------------------------------------------------
CKZStringA::CKZStringA(const char* text, int length) {
  if (text == nullptr) return;
  if (length < 0) {
    s_ = text;
  } else {
    s_.assign(text, static_cast<std::size_t>(length));
  }
}
char CKZStringA::GetAt(int index) const {
  if (index < 0 || index >= GetLength()) return 0;
  return s_[static_cast<std::size_t>(index)];
}
void CKZStringA::Format(const char* format, ...) {
  s_.clear();
  if (format == nullptr) return;
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n > 0) {
    std::vector<char> buf(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(buf.data(), buf.size(), format, args);
    s_.assign(buf.data(), static_cast<std::size_t>(n));
  }
  va_end(args);
}
int CKZStringA::Find(const char* needle, int start) const { return FindIn(s_, needle, start); }
int CKZStringA::Find(char ch, int start) const {
  if (start < 0 || start > GetLength()) return -1;
  auto pos = s_.find(ch, static_cast<std::size_t>(start));
  return pos == std::string::npos ? -1 : static_cast<int>(pos);
}
int CKZStringA::Replace(const char* from, const char* to) { return ReplaceIn(s_, from, to); }
CKZStringA CKZStringA::Mid(int start) const { return SubString(s_, start, GetLength()); }
CKZStringA CKZStringA::Mid(int start, int count) const { return SubString(s_, start, count); }
CKZStringA CKZStringA::Left(int count) const { return SubString(s_, 0, count); }
CKZStringA CKZStringA::Right(int count) const {
  if (count < 0) return CKZStringA();
  count = std::min(count, GetLength());
  return SubString(s_, GetLength() - count, count);
}
CKZStringA& CKZStringA::MakeLower() {
  for (char& c : s_) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return *this;
}
CKZStringA& CKZStringA::MakeUpper() {
  for (char& c : s_) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return *this;
}

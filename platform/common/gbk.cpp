#include "platform/common/gbk.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <memory>

#include "platform/common/convert.h"

namespace platform {
namespace {

// ICU's name of code page 936 (resolves to "windows-936-2000": GBK with the
// euro sign at 0x80).
constexpr char kCodePage936[] = "windows-936";

constexpr unsigned kFirstLead = 0x81;
constexpr unsigned kLeadCount = 0xFE - 0x81 + 1;
constexpr std::uint16_t kNoSingle = 0xFFFF;

struct GbkTables {
  // GBK code of every BMP character: a byte value below 0x100 for a single
  // byte, lead * 256 + trail for two bytes, 0 for none (U+0000 is handled
  // apart).
  std::uint16_t encode[0x10000];
  // Character of each single byte, kNoSingle when the byte is a lead byte or
  // is unassigned.
  std::uint16_t decode_single[0x100];
  // Character of each lead/trail pair, at (lead - 0x81) * 256 + trail; 0 when
  // the pair is invalid or unassigned.
  std::uint16_t decode_double[kLeadCount * 0x100];
};

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};

// Fills the tables from ICU. When ICU cannot open the converter the tables
// stay empty, so that every conversion but plain U+0000 fails rather than
// guessing.
void Build(GbkTables* t) {
  for (auto& v : t->encode) v = 0;
  for (auto& v : t->decode_single) v = kNoSingle;
  for (auto& v : t->decode_double) v = 0;
  t->decode_single[0] = 0;

  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UConverter, ConverterCloser> conv(ucnv_open(kCodePage936, &status));
  if (U_FAILURE(status) || conv == nullptr) return;
  ucnv_setFromUCallBack(conv.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  ucnv_setToUCallBack(conv.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  if (U_FAILURE(status)) return;

  for (unsigned cp = 1; cp < 0x10000; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    UChar unit = static_cast<UChar>(cp);
    char bytes[8];
    status = U_ZERO_ERROR;
    std::int32_t n = ucnv_fromUChars(conv.get(), bytes, sizeof bytes, &unit, 1, &status);
    if (U_FAILURE(status)) continue;
    auto b0 = static_cast<unsigned char>(bytes[0]);
    if (n == 1 && !IsDBCSLeadByte(b0)) {
      t->encode[cp] = b0;
    } else if (n == 2 && IsDBCSLeadByte(b0)) {
      t->encode[cp] = static_cast<std::uint16_t>(b0 << 8 | static_cast<unsigned char>(bytes[1]));
    }
  }

  auto decode = [&](const char* bytes, std::int32_t length) -> std::uint16_t {
    UChar units[4];
    status = U_ZERO_ERROR;
    std::int32_t n = ucnv_toUChars(conv.get(), units, 4, bytes, length, &status);
    if (U_FAILURE(status) || n != 1) return 0;
    if (units[0] >= 0xD800 && units[0] <= 0xDFFF) return 0;
    return units[0];
  };
  for (unsigned b = 1; b < 0x100; ++b) {
    if (IsDBCSLeadByte(static_cast<BYTE>(b))) continue;
    char byte = static_cast<char>(b);
    std::uint16_t ch = decode(&byte, 1);
    if (ch != 0) t->decode_single[b] = ch;
  }
  for (unsigned lead = kFirstLead; lead <= 0xFE; ++lead) {
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      t->decode_double[(lead - kFirstLead) * 0x100 + trail] = decode(pair, 2);
    }
  }
}

const GbkTables& Tables() {
  static const GbkTables* const tables = [] {
    auto* t = new GbkTables;  // kept for the life of the process
    Build(t);
    return t;
  }();
  return *tables;
}

inline int EncodeOne(const GbkTables& t, wchar_t ch, char* out) {
  auto cp = static_cast<std::uint32_t>(ch);
  if (cp < 0x80) {
    out[0] = static_cast<char>(cp);
    return 1;
  }
  if (cp > 0xFFFF) return 0;
  std::uint16_t code = t.encode[cp];
  if (code == 0) return 0;
  if (code < 0x100) {
    out[0] = static_cast<char>(code);
    return 1;
  }
  out[0] = static_cast<char>(code >> 8);
  out[1] = static_cast<char>(code & 0xFF);
  return 2;
}

}  // namespace

int EncodeGbkChar(wchar_t ch, char* out) {
  if (out == nullptr) return 0;
  return EncodeOne(Tables(), ch, out);
}

bool EncodeGbk(std::wstring_view text, std::string* out) {
  if (out == nullptr) return false;
  out->clear();
  const GbkTables& t = Tables();
  out->resize(text.size() * 2);
  std::size_t used = 0;
  for (wchar_t ch : text) {
    int n = EncodeOne(t, ch, out->data() + used);
    if (n == 0) {
      out->clear();
      return false;
    }
    used += static_cast<std::size_t>(n);
  }
  out->resize(used);
  return true;
}

const std::uint16_t* GbkCodeTable() { return Tables().encode; }

wchar_t DecodeGbkCode(unsigned code) {
  const GbkTables& t = Tables();
  if (code < 0x100) {
    std::uint16_t ch = t.decode_single[code];
    return ch == kNoSingle ? 0 : static_cast<wchar_t>(ch);
  }
  unsigned lead = code >> 8;
  if (code > 0xFFFF || lead < kFirstLead || lead > 0xFE) return 0;
  return static_cast<wchar_t>(t.decode_double[(lead - kFirstLead) * 0x100 + (code & 0xFF)]);
}

bool DecodeGbk(std::string_view bytes, std::wstring* out) {
  if (out == nullptr) return false;
  out->clear();
  const GbkTables& t = Tables();
  out->resize(bytes.size());
  std::size_t used = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    auto b = static_cast<unsigned char>(bytes[i]);
    std::uint16_t ch;
    if (b < 0x80) {
      ch = b;
    } else if (!IsDBCSLeadByte(b)) {
      ch = t.decode_single[b];
      if (ch == kNoSingle) {
        out->clear();
        return false;
      }
    } else {
      if (i + 1 == bytes.size()) {
        out->clear();
        return false;
      }
      auto trail = static_cast<unsigned char>(bytes[++i]);
      ch = t.decode_double[(b - kFirstLead) * 0x100 + trail];
      if (ch == 0) {
        out->clear();
        return false;
      }
    }
    (*out)[used++] = static_cast<wchar_t>(ch);
  }
  out->resize(used);
  return true;
}

}  // namespace platform

namespace Util::Convert {

bool GBKToUnicode(CKZStringW& out, const char* bytes, int length) {
  if (bytes == nullptr) {
    out.Empty();
    return false;
  }
  std::size_t size = length < 0 ? std::strlen(bytes) : static_cast<std::size_t>(length);
  return platform::DecodeGbk(std::string_view(bytes, size), &out.str());
}

bool UnicodeToGBK(CKZStringA& out, const wchar_t* text, int length) {
  if (text == nullptr) {
    out.Empty();
    return false;
  }
  std::size_t size = length < 0 ? std::wcslen(text) : static_cast<std::size_t>(length);
  return platform::EncodeGbk(std::wstring_view(text, size), &out.str());
}

}  // namespace Util::Convert

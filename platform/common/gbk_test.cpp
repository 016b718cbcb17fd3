#include "platform/common/gbk.h"

#include <gtest/gtest.h>

#include <string>

namespace platform {
namespace {

struct RoundTrip {
  std::wstring text;
  std::string gbk;
};

TEST(GbkTest, ConvertsBothWays) {
  const RoundTrip cases[] = {
      {L"", ""},
      {L"abc 123", "abc 123"},
      {std::wstring(1, L'\0'), std::string(1, '\0')},
      {L"\u20AC", "\x80"},                    // euro sign, as in 936
      {L"\u4E2D\u6587", "\xD6\xD0\xCE\xC4"},  // two Chinese characters
      {L"\u5F20s", "\xD5\xC5s"},              // mixed
      {L"\u3000\uFF01", "\xA1\xA1\xA3\xA1"},  // double-byte symbols
      {L"\u4E02", "\x81\x40"},                // first GBK extension code
      {L"\u00B7", "\xA1\xA4"},                // middle dot
  };
  for (const RoundTrip& c : cases) {
    SCOPED_TRACE(c.gbk);
    std::string gbk = "stale";
    ASSERT_TRUE(EncodeGbk(c.text, &gbk));
    EXPECT_EQ(gbk, c.gbk);
    std::wstring text = L"stale";
    ASSERT_TRUE(DecodeGbk(c.gbk, &text));
    EXPECT_EQ(text, c.text);
  }
}

TEST(GbkTest, EncodingIsStrict) {
  const std::wstring cases[] = {
      std::wstring(1, wchar_t(0xD800)),           // lone surrogate
      std::wstring{L'a', wchar_t(0xDC00), L'b'},  // lone low surrogate
      std::wstring(1, wchar_t(0x1F600)),          // outside the BMP
      L"\u0E01",                                  // Thai, not in GBK
      L"ok\uAC00",                                // Hangul syllable
      std::wstring(1, wchar_t(0x110000)),
  };
  for (const std::wstring& c : cases) {
    SCOPED_TRACE(testing::Message() << "first unit " << int(c[0]));
    std::string gbk = "stale";
    EXPECT_FALSE(EncodeGbk(c, &gbk));
    EXPECT_TRUE(gbk.empty());
  }
  EXPECT_FALSE(EncodeGbk(L"a", nullptr));
}

TEST(GbkTest, DecodingIsStrict) {
  const std::string cases[] = {
      "\xD6",      // lead byte at the end
      "ab\x81",    // lead byte at the end after text
      "\x81\x7F",  // 0x7F is never a trail byte
      "\x81\x30",  // nor is a digit
      "\xD6\xFF",  // trail byte out of range
  };
  for (const std::string& c : cases) {
    SCOPED_TRACE(c);
    std::wstring text = L"stale";
    EXPECT_FALSE(DecodeGbk(c, &text));
    EXPECT_TRUE(text.empty());
  }
  EXPECT_FALSE(DecodeGbk("a", nullptr));
}

TEST(GbkTest, SingleCharactersAndLeadBytes) {
  char out[2] = {};
  EXPECT_EQ(EncodeGbkChar(L'A', out), 1);
  EXPECT_EQ(out[0], 'A');
  EXPECT_EQ(EncodeGbkChar(L'\u5F20', out), 2);
  EXPECT_EQ(std::string(out, 2), "\xD5\xC5");
  EXPECT_EQ(EncodeGbkChar(wchar_t(0xD800), out), 0);
  EXPECT_EQ(EncodeGbkChar(L'A', nullptr), 0);

  EXPECT_EQ(DecodeGbkCode(0xD5C5), L'\u5F20');
  EXPECT_EQ(DecodeGbkCode(0x80), L'\u20AC');
  EXPECT_EQ(DecodeGbkCode(0x81), 0);  // a lead byte alone
  EXPECT_EQ(DecodeGbkCode(0x817F), 0);
  EXPECT_EQ(DecodeGbkCode(0x12345), 0);

  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(IsDBCSLeadByte(static_cast<BYTE>(b)), b >= 0x81 && b <= 0xFE) << b;
  }
}

// Every character with a GBK form comes back from it unchanged, and every
// two-byte code that decodes encodes back to itself or to another code of
// the same character.
TEST(GbkTest, TablesAgree) {
  int doubles = 0;
  for (unsigned cp = 1; cp < 0x10000; ++cp) {
    char out[2];
    int n = EncodeGbkChar(static_cast<wchar_t>(cp), out);
    if (n == 0) continue;
    unsigned code =
        n == 1 ? static_cast<unsigned char>(out[0])
               : (static_cast<unsigned char>(out[0]) << 8 | static_cast<unsigned char>(out[1]));
    ASSERT_EQ(DecodeGbkCode(code), static_cast<wchar_t>(cp)) << cp;
    if (n == 2) ++doubles;
  }
  // 936 has 21886 two-byte characters plus the user-defined areas.
  EXPECT_GT(doubles, 21000);
  // Every unified ideograph up to U+9FA5 is in 936.
  for (wchar_t ch = 0x4E00; ch <= 0x9FA5; ++ch) {
    char out[2];
    ASSERT_EQ(EncodeGbkChar(ch, out), 2) << int(ch);
  }
}

}  // namespace
}  // namespace platform

#include "platform/common/convert.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Units(std::initializer_list<unsigned> units) {
  std::wstring s;
  for (unsigned u : units) s.push_back(static_cast<wchar_t>(u));
  return s;
}

TEST(Utf8ToWS, DecodesAndReplacesInvalidSequences) {
  struct Case {
    const char* name;
    std::string bytes;
    std::wstring text;
  };
  const Case cases[] = {
      {"ascii", "abc", L"abc"},
      {"two, three and four bytes", "\xc3\xa4\xe5\xbc\xa0\xf0\x9f\x98\x80", L"ä张\U0001F600"},
      {"highest scalar", "\xf4\x8f\xbf\xbf", Units({0x10FFFF})},
      {"lone continuation", "a\x80z", L"a\uFFFDz"},
      {"invalid byte", "\xff", L"\uFFFD"},
      {"truncated at the end", "a\xe5\xbc", L"a\uFFFD"},
      {"truncated before ascii",
       "\xe5\xbc"
       "a",
       L"\uFFFDa"},
      {"overlong slash", "\xc0\xaf", L"\uFFFD\uFFFD"},
      {"encoded high surrogate", "\xed\xa0\x80", L"\uFFFD\uFFFD\uFFFD"},
      {"encoded low surrogate", "\xed\xbf\xbf", L"\uFFFD\uFFFD\uFFFD"},
      {"above U+10FFFF", "\xf4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"zero kept inside a length", std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CKZStringW got = Util::Convert::Utf8ToWS(c.bytes.data(), static_cast<int>(c.bytes.size()));
    EXPECT_EQ(got.str(), c.text);
    for (wchar_t ch : got.str()) {
      EXPECT_FALSE(ch >= 0xD800 && ch <= 0xDFFF) << "never a surrogate unit";
    }
  }
  EXPECT_EQ(Util::Convert::Utf8ToWS("ab\0cd", -1).str(), L"ab");
  EXPECT_EQ(Util::Convert::Utf8ToWS("abcd", -7).str(), L"abcd") << "any negative length";
  EXPECT_EQ(Util::Convert::Utf8ToWS("abcd", 2).str(), L"ab");
  EXPECT_EQ(Util::Convert::Utf8ToWS(static_cast<const char*>(nullptr), 5).str(), L"");
  EXPECT_EQ(Util::Convert::Utf8ToWS(static_cast<const BYTE*>(nullptr), -1).str(), L"");
}

TEST(Utf8FromWS, EncodesAndReplacesNonScalars) {
  struct Case {
    const char* name;
    std::wstring text;
    std::string bytes;
  };
  const Case cases[] = {
      {"mixed", L"aä张\U0001F600", "a\xc3\xa4\xe5\xbc\xa0\xf0\x9f\x98\x80"},
      {"lone high surrogate", Units({0xD800}), "\xef\xbf\xbd"},
      {"lone low surrogate", Units({'x', 0xDFFF}), "x\xef\xbf\xbd"},
      {"a UTF-16 pair is two lone units here", Units({0xD83D, 0xDE00}), "\xef\xbf\xbd\xef\xbf\xbd"},
      {"above U+10FFFF", Units({0x110000}), "\xef\xbf\xbd"},
      {"negative unit", Units({0xFFFFFFFFu}), "\xef\xbf\xbd"},
      {"highest scalar", Units({0x10FFFF}), "\xf4\x8f\xbf\xbf"},
      {"U+FFFD itself", Units({0xFFFD}), "\xef\xbf\xbd"},
      {"zero kept inside a length", std::wstring(L"a\0b", 3), std::string("a\0b", 3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Util::Convert::Utf8FromWS(c.text.data(), static_cast<int>(c.text.size())).str(),
              c.bytes);
  }
  EXPECT_EQ(Util::Convert::Utf8FromWS(L"ab\0cd", -1).str(), "ab");
  EXPECT_EQ(Util::Convert::Utf8FromWS(L"abcd", 3).str(), "abc");
  EXPECT_EQ(Util::Convert::Utf8FromWS(nullptr, 3).str(), "");
}

TEST(Utf8RoundTrip, EveryScalarValue) {
  std::wstring all;
  for (unsigned c = 1; c <= 0x10FFFF; ++c) {
    if (c < 0xD800 || c > 0xDFFF) all.push_back(static_cast<wchar_t>(c));
  }
  CKZStringA bytes = Util::Convert::Utf8FromWS(all.data(), static_cast<int>(all.size()));
  CKZStringW back = Util::Convert::Utf8ToWS(bytes.GetString(), bytes.GetLength());
  EXPECT_TRUE(back.str() == all);
}

TEST(UIntToStr, Decimal) {
  EXPECT_EQ(Util::Convert::UIntToStr(0).str(), L"0");
  EXPECT_EQ(Util::Convert::UIntToStr(10001).str(), L"10001");
  EXPECT_EQ(Util::Convert::UIntToStr(4294967295u).str(), L"4294967295");
}

}  // namespace

#include "platform/common/kzstring.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <thread>
#include <vector>

#include "platform/common/convert.h"

namespace {

std::string Narrow(const std::wstring& s) { return Util::Convert::Utf8FromWS(s.c_str(), -1).str(); }

TEST(TranslateWideFormat, ClientConventionToCLibrary) {
  struct Case {
    const wchar_t* format;
    const wchar_t* translated;
  };
  const Case cases[] = {
      {L"%s", L"%ls"},
      {L"%hs", L"%s"},
      {L"%S", L"%s"},
      {L"%ls", L"%ls"},
      {L"%c", L"%lc"},
      {L"%hc", L"%c"},
      {L"%C", L"%c"},
      {L"%lc", L"%lc"},
      {L"%-10s|", L"%-10ls|"},
      {L"%.3s", L"%.3ls"},
      {L"%I64d", L"%lld"},
      {L"%I64u", L"%llu"},
      {L"%I32d", L"%d"},
      {L"%lu %llu", L"%lu %llu"},
      {L"%%s", L"%%s"},
      {L"%n", L"%%"},
      {L"50%", L"50%%"},
      {L"%-", L"%%-"},
      {L"%08.3f", L"%08.3f"},
      {L"%*d", L"%*d"},
      {L"", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.format));
    EXPECT_EQ(platform::TranslateWideFormat(c.format), c.translated);
  }
  EXPECT_EQ(platform::TranslateWideFormat(nullptr), L"");
}

TEST(CKZStringWFormat, WideAndNarrowArguments) {
  CKZStringW s;
  s.Format(L"%s|%hs|%S|%ls|%c|%hc|%lc", L"宽字", "窄字", "abc", L"ls", L'字', 'n', L'√');
  EXPECT_EQ(s.str(), L"宽字|窄字|abc|ls|字|n|√");
  s.Format(L"%s|%hs", static_cast<const wchar_t*>(nullptr), static_cast<const char*>(nullptr));
  EXPECT_EQ(s.str(), L"(null)|(null)");
  s.Format(L"%d %u %lu %llu %I64d %x %X %5.2f", -1, 4294967295u, 7ul, 1ull << 40, -(1ll << 40),
           255u, 255u, 3.14159);
  EXPECT_EQ(s.str(), L"-1 4294967295 7 1099511627776 -1099511627776 ff FF  3.14");
  s.Format(L"100%% done, 50%");
  EXPECT_EQ(s.str(), L"100% done, 50%");
  s.Format(L"%n%d", 5);  // "%n" never writes through an argument
  EXPECT_EQ(s.str(), L"%5");
  s.Format(L"%hs", "\xff\xfe");
  EXPECT_EQ(s.str(), L"(format error)");
  s.Format(nullptr);
  EXPECT_EQ(s.str(), L"");
}

TEST(CKZStringWFormat, IndependentOfTheProcessLocale) {
  const char* before = std::setlocale(LC_ALL, nullptr);
  std::string saved = before ? before : "C";
  for (const char* locale : {"C", "C.UTF-8"}) {
    SCOPED_TRACE(locale);
    if (std::setlocale(LC_ALL, locale) == nullptr) continue;
    CKZStringW s;
    s.Format(L"%hs", "张三");
    EXPECT_EQ(s.str(), L"张三");
    CKZStringW t(L"ÄÖ ΣЖ");
    EXPECT_EQ(t.MakeLower().str(), L"äö σж");
    EXPECT_EQ(t.MakeUpper().str(), L"ÄÖ ΣЖ");
    CKZStringW u(L"\u3000 x \u3000");
    EXPECT_EQ(u.Trim().str(), L"x");
  }
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(CKZStringWFormat, GrowsWithoutCutting) {
  std::wstring long_text(5000, L'字');
  CKZStringW s;
  s.Format(L"<%s>", long_text.c_str());
  EXPECT_EQ(s.str(), L"<" + long_text + L">");
  s.AppendFormat(L"%d", 12);
  EXPECT_EQ(s.GetLength(), 5004);
}

TEST(CKZStringW, SubstringsClampToTheText) {
  const CKZStringW s(L"abcdef");
  struct Case {
    CKZStringW got;
    const wchar_t* want;
  };
  const Case cases[] = {
      {s.Mid(2), L"cdef"}, {s.Mid(2, 2), L"cd"},   {s.Mid(-3, 2), L"ab"},
      {s.Mid(6), L""},     {s.Mid(4, 100), L"ef"}, {s.Mid(1, -1), L""},
      {s.Left(3), L"abc"}, {s.Left(-1), L""},      {s.Left(99), L"abcdef"},
      {s.Right(2), L"ef"}, {s.Right(-1), L""},     {s.Right(99), L"abcdef"},
      {s.Right(0), L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.want));
    EXPECT_EQ(c.got.str(), c.want);
  }
  EXPECT_EQ(s.GetAt(0), L'a');
  EXPECT_EQ(s.GetAt(6), 0);
  EXPECT_EQ(s.GetAt(-1), 0);
}

TEST(CKZStringW, FindAndReplace) {
  CKZStringW s(L"aXbXc");
  EXPECT_EQ(s.Find(L"X"), 1);
  EXPECT_EQ(s.Find(L"X", 2), 3);
  EXPECT_EQ(s.Find(L"X", 4), -1);
  EXPECT_EQ(s.Find(L"", 5), 5);
  EXPECT_EQ(s.Find(L"", 6), -1);
  EXPECT_EQ(s.Find(static_cast<const wchar_t*>(nullptr)), -1);
  EXPECT_EQ(s.Find(L'c'), 4);
  EXPECT_EQ(s.Find(L'X', -1), -1);

  struct Case {
    const wchar_t* text;
    const wchar_t* from;
    const wchar_t* to;
    int count;
    const wchar_t* result;
  };
  const Case cases[] = {
      {L"aaa", L"aa", L"b", 1, L"ba"},     // no overlap
      {L"aXa", L"a", L"aa", 2, L"aaXaa"},  // the replacement is not searched again
      {L"bytes_bytes_x", L"bytes_", L"str_", 2, L"str_str_x"},
      {L"abc", L"", L"x", 0, L"abc"},  // an empty needle replaces nothing
      {L"abc", nullptr, L"x", 0, L"abc"},
      {L"abc", L"b", nullptr, 1, L"ac"},  // null replacement = empty
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text));
    CKZStringW t(c.text);
    EXPECT_EQ(t.Replace(c.from, c.to), c.count);
    EXPECT_EQ(t.str(), c.result);
  }
  CKZStringW chars(L"a-b-c");
  EXPECT_EQ(chars.Replace(L'-', L'+'), 2);
  EXPECT_EQ(chars.str(), L"a+b+c");
}

TEST(CKZStringW, ConstructionAndComparison) {
  EXPECT_EQ(CKZStringW(static_cast<const wchar_t*>(nullptr)).str(), L"");
  EXPECT_EQ(CKZStringW(L"abc\0def", 7).GetLength(), 7);
  EXPECT_EQ(CKZStringW(L"abc", -1).str(), L"abc");
  EXPECT_EQ(CKZStringW(nullptr, 3).str(), L"");
  EXPECT_EQ(CKZStringW(kUtf8, "\xe5\xbc\xa0\xff", -1).str(), L"张\uFFFD");
  EXPECT_LT(CKZStringW(L"a").Compare(L"b"), 0);
  EXPECT_EQ(CKZStringW(L"a").Compare(nullptr), 1);
  EXPECT_EQ(CKZStringW(L"").Compare(nullptr), 0);
  EXPECT_EQ(CKZStringW(L"AbC").CompareNoCase(L"aBc"), 0);
  EXPECT_FALSE(CKZStringW(L"x") == static_cast<const wchar_t*>(nullptr));
  EXPECT_TRUE(CKZStringW() == static_cast<const wchar_t*>(nullptr));
  EXPECT_EQ((L"a" + CKZStringW(L"b") + L"c").str(), L"abc");

  BSTR b = CKZStringW(std::wstring(L"a\0b", 3)).GetBSTR();
  EXPECT_EQ(SysStringLen(b), 3u);
  EXPECT_EQ(b[1], L'\0');
  EXPECT_EQ(b[3], L'\0') << "terminated";
  SysFreeString(b);
}

TEST(CKZStringA, Basics) {
  CKZStringA s;
  s.Format("%s-%d", "ab", 7);
  EXPECT_EQ(s.str(), "ab-7");
  s.Format("%s", "");
  EXPECT_EQ(s.str(), "");
  CKZStringA t("Hello 张");
  EXPECT_EQ(t.MakeUpper().str(), "HELLO 张") << "bytes above 0x7F stay";
  EXPECT_EQ(t.MakeLower().str(), "hello 张");
  EXPECT_EQ(t.Replace("l", "L"), 2);
  EXPECT_EQ(t.Mid(2, 2).str(), "LL");
  EXPECT_EQ(t.Right(3).str(), "张");
  EXPECT_EQ(CKZStringA(static_cast<const char*>(nullptr)).str(), "");
  EXPECT_EQ(t.GetAt(100), 0);
}

TEST(CKZBSTR, OwnsOneSystemString) {
  CKZBSTR s(L"abc");
  EXPECT_EQ(s.Length(), 3u);
  EXPECT_STREQ(s.c_str(), L"abc");
  BSTR* slot = &s;  // frees what was held
  EXPECT_EQ(*slot, nullptr);
  EXPECT_STREQ(s.c_str(), L"");
  *slot = SysAllocString(L"xy");
  EXPECT_EQ(s.Length(), 2u);

  CKZBSTR moved(std::move(s));
  EXPECT_EQ(s.Get(), nullptr);
  EXPECT_STREQ(moved.c_str(), L"xy");
  BSTR raw = moved.Detach();
  EXPECT_EQ(moved.Get(), nullptr);
  moved.Attach(raw);
  EXPECT_EQ(moved.Get(), raw);
  moved.Attach(SysAllocStringLen(nullptr, 4));  // frees `raw`
  EXPECT_EQ(moved.Length(), 4u);
  EXPECT_EQ(moved.Get()[0], L'\0');

  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);
}

// Freed blocks are reused (per thread, by size class): a reused block must
// carry its new text and length, whatever it held before, and a string may be
// freed on another thread than the one that made it.
TEST(SystemStrings, ReusedBlocksCarryTheirNewText) {
  auto text_of = [](std::size_t length, wchar_t fill) { return std::wstring(length, fill); };
  const std::size_t lengths[] = {0, 1, 15, 16, 17, 100, 255, 256, 1000};
  for (int round = 0; round < 3; ++round) {
    std::vector<BSTR> made;
    for (int copy = 0; copy < 20; ++copy) {
      for (std::size_t length : lengths) {
        auto fill = static_cast<wchar_t>(L'a' + (copy + round) % 26);
        made.push_back(
            SysAllocStringLen(text_of(length, fill).c_str(), static_cast<std::uint32_t>(length)));
        ASSERT_EQ(SysStringLen(made.back()), length);
        ASSERT_EQ(made.back()[length], L'\0');
        ASSERT_EQ(std::wstring(made.back(), length), text_of(length, fill));
      }
    }
    std::thread other([&] {
      for (std::size_t i = 0; i < made.size(); i += 2) SysFreeString(made[i]);
    });
    other.join();
    for (std::size_t i = 1; i < made.size(); i += 2) SysFreeString(made[i]);
  }
}

}  // namespace

#include "platform/common/pinyin.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/common/gbk.h"

namespace platform {
namespace {

std::string Gbk(const std::wstring& text) {
  std::string out;
  EXPECT_TRUE(EncodeGbk(text, &out));
  return out;
}

std::string Spell(const std::wstring& text) {
  std::string out = "kept:";
  AppendSpelling(Gbk(text), &out);
  return out.substr(5);
}

TEST(PinyinTest, SpellsText) {
  struct Case {
    std::wstring text;
    std::string spelled;
  };
  const Case cases[] = {
      {L"", ""},
      {L"\u5F20\u4E09", "zhangsan"},                        // common name
      {L"\u674E\u56DB abc 12", "lisi abc 12"},              // others kept
      {L"\u5415\u5973\u7565", "lvnvlve"},                   // u-umlaut as v
      {L"\u3000\uFF01\u2116", "\xA1\xA1\xA3\xA1\xA1\xED"},  // symbols kept
      {L"\u4E2D\u6587", "zhongwen"},
      {L"\u9FA5", "yu"},  // last unified ideograph
      {L"ABC", "ABC"},    // case is kept
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.spelled);
    EXPECT_EQ(Spell(c.text), c.spelled);
  }
}

// Surnames are spelled as surnames, whatever the first dictionary reading.
TEST(PinyinTest, SurnameReadings) {
  struct Case {
    wchar_t ch;
    const char* spelled;
  };
  const Case cases[] = {
      {L'\u66FE', "zeng"}, {L'\u5355', "shan"}, {L'\u89E3', "xie"},   {L'\u533A', "ou"},
      {L'\u4EC7', "qiu"},  {L'\u67E5', "zha"},  {L'\u6734', "piao"},  {L'\u8983', "qin"},
      {L'\u76D6', "ge"},   {L'\u7F2A', "miao"}, {L'\u957F', "chang"}, {L'\u5415', "lv"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.spelled);
    EXPECT_EQ(SpellChar(c.ch), c.spelled);
  }
}

TEST(PinyinTest, CharactersWithoutReading) {
  EXPECT_EQ(SpellChar(L'a'), "");
  EXPECT_EQ(SpellChar(L'\uFF01'), "");
  EXPECT_EQ(SpellChar(wchar_t(0xD800)), "");
  EXPECT_EQ(SpellGbkChar('a', 'b'), "");
  EXPECT_EQ(SpellGbkChar(0x81, 0x7F), "");
  // A lead byte at the end, or with a bad trail, is copied.
  std::string out;
  AppendSpelling("a\xD5", &out);
  EXPECT_EQ(out, "a\xD5");
  out.clear();
  AppendSpelling("\x81\x30x", &out);
  EXPECT_EQ(out, "\x81\x30x");
  AppendSpelling("abc", nullptr);  // no crash
}

// Every unified ideograph that GBK holds is spelled with lower-case letters
// only, except the few that have no Mandarin reading at all.
TEST(PinyinTest, CoversTheUnifiedIdeographs) {
  int without = 0;
  for (wchar_t ch = 0x4E00; ch <= 0x9FA5; ++ch) {
    std::string_view s = SpellChar(ch);
    if (s.empty()) {
      ++without;
      continue;
    }
    for (char c : s) ASSERT_TRUE(c >= 'a' && c <= 'z') << int(ch);
  }
  EXPECT_LE(without, 10);
}

// The table reader gives, for every character, what the conversion
// functions give.
TEST(PinyinTest, CharSpellerAgreesWithTheConversions) {
  const CharSpeller speller;
  for (std::uint32_t cp = 1; cp <= 0x10000; ++cp) {
    const auto ch = static_cast<wchar_t>(cp);
    char bytes[2] = {};
    const int size = cp <= 0xFFFF ? EncodeGbkChar(ch, bytes) : 0;
    const std::uint32_t code = speller.GbkCode(ch);
    if (size == 0) {
      ASSERT_EQ(code, 0u) << cp;
      continue;
    }
    const auto b0 = static_cast<unsigned char>(bytes[0]);
    const auto b1 = static_cast<unsigned char>(bytes[1]);
    ASSERT_EQ(code, size == 1 ? b0 : b0 * 256u + b1) << cp;
    const std::string_view spelling = size == 2 ? SpellGbkChar(b0, b1) : "";
    ASSERT_EQ(speller.Spelling(code), spelling) << cp;
    ASSERT_EQ(speller.Syllable(speller.SyllableOf(code)), spelling) << cp;
  }
  EXPECT_EQ(speller.GbkCode(L'\0'), 0u);
  EXPECT_EQ(speller.Spelling(0xFFFF), "");
  EXPECT_EQ(speller.Spelling(0x8000), "");
  EXPECT_EQ(speller.Spelling(speller.GbkCode(L'吕')), "lv");
  EXPECT_EQ(speller.Syllable(0), "");
  EXPECT_EQ(speller.Syllable(speller.SyllableCount()), "");
  EXPECT_EQ(speller.Syllable(speller.SyllableCount() - 1), "zuo");
}

}  // namespace
}  // namespace platform

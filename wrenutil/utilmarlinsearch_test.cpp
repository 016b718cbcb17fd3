#include "wrenutil/utilmarlinsearch.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/common/kzjson.h"
#include "platform/common/pinyin.h"
#include "platform/kernelutil/configservice.h"
#include "platform/kernelutil/orgmembership.h"
#include "platform/testing/foreign_bag.h"
#include "platform/testing/platform_test.h"
#include "wrenutil/testing/literal_match.h"

namespace Util::MarlinSearch {
namespace {

constexpr wchar_t kSource[] = L"wrenutil\\utilmarlinsearch";
const std::wstring kEmoji(1, static_cast<wchar_t>(0x1F600));  // no GBK form

class SearchTest : public platform::testing::PlatformTest {
 protected:
  // The lines of the assertions raised so far, all checked to be "FALSE" in
  // the search's source.
  std::vector<int> AssertLines() {
    std::vector<int> lines;
    for (const auto& a : asserts()) {
      EXPECT_EQ(a.expression, L"FALSE");
      EXPECT_EQ(a.file, kSource);
      lines.push_back(a.line);
    }
    return lines;
  }
};

std::string Dump(IKZArrayRead* array) { return platform::KZArrayToJson(array); }

// The hit fields of every record of a result array.
struct Hit {
  int position = -1;
  int length = 0;
  std::wstring content;
  std::wstring field;
};

std::vector<Hit> Hits(IKZArrayRead* hits) {
  std::vector<Hit> out;
  DWORD count = 0;
  hits->GetCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    CKZComPtr<IKZDataRead> hit;
    EXPECT_EQ(hits->GetKZDataRead(i, &hit), S_OK);
    if (!hit) continue;
    Hit h;
    hit->GetInt32("nHitPos", &h.position);
    hit->GetInt32("nHitLen", &h.length);
    CKZBSTR text;
    hit->GetStr("strMatchedContent", &text);
    h.content = text.c_str();
    hit->GetStr("strMatchedFieldName", &text);
    h.field = text.c_str();
    out.push_back(h);
  }
  return out;
}

CKZComPtr<IKZArray> Items(const char* json) {
  CKZComPtr<IKZArray> items;
  std::string error;
  EXPECT_EQ(platform::JsonToKZArray(json, &items, &error), S_OK) << error;
  return items;
}

// ---------------------------------------------------------------------------
// Key analysis.

TEST_F(SearchTest, AnalyseKeyClassifiesAndCollectsRuns) {
  struct Case {
    std::wstring key;
    BYTE mask;
    std::vector<std::wstring> runs;
  };
  const Case cases[] = {
      {L"ab12", 0x06, {}},
      {L"张三a", 0x05, {L"张三"}},
      {L"张a三", 0x05, {L"张", L"三"}},
      {L"Z", 0x04, {}},
      {L"#", 0x08, {}},
      {L"\u20AC", 0x08, {}},                           // the euro sign is one byte in 936
      {L"，。", 0x01, {L"，。"}},                      // double-byte symbols
      {L"张" + kEmoji + L"三", 0x01, {L"张", L"三"}},  // skipped, ends the run
      {kEmoji, 0x00, {}},
      {L"a" + kEmoji + L"1", 0x06, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "key #" << (&c - cases));
    BYTE mask = 0xFF;
    std::vector<CKZStringW> runs;
    AnalyseKey(CKZStringW(c.key), mask, runs);
    EXPECT_EQ(mask, c.mask);
    std::vector<std::wstring> got;
    for (const CKZStringW& r : runs) got.push_back(r.str());
    EXPECT_EQ(got, c.runs);
  }
  // The vector is appended to, and an empty key leaves it alone.
  std::vector<CKZStringW> runs{CKZStringW(L"old")};
  BYTE mask = 0xFF;
  AnalyseKey(CKZStringW(L""), mask, runs);
  EXPECT_EQ(mask, 0);
  ASSERT_EQ(runs.size(), 1u);
  AnalyseKey(CKZStringW(L"李a"), mask, runs);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[1], L"李");
}

// ---------------------------------------------------------------------------
// Match, both modes.

struct MatchCase {
  const char* what;
  std::wstring content;
  std::wstring key;
  int spell_mode;
  std::vector<std::wstring> runs;  // empty: no runs vector at all
  int matched;
  int position;
  int length;
};

TEST_F(SearchTest, MatchFollowsItsRules) {
  const MatchCase cases[] = {
      // Plain mode: substring of the lower-cased text.
      {"digits", L"13812345678", L"138", 0, {}, 1, 0, 3},
      {"second character", L"张三", L"三", 0, {}, 1, 1, 1},
      {"text lower-cased", L"Zhang San", L"san", 0, {}, 1, 6, 3},
      {"key not lower-cased", L"Zhang", L"Zh", 0, {}, 0, -1, 0},
      {"non-ASCII lower-cased", L"\u00C9COLE", L"\u00E9c", 0, {}, 1, 0, 2},
      {"zero character is text", std::wstring(L"a\0b", 3), L"b", 0, {}, 1, 2, 1},
      {"plain mode ignores spelling", L"张三", L"zs", 0, {}, 0, -1, 0},
      // Spelling mode: initials, one spelling's prefix, a run of spellings.
      {"initials", L"张三", L"zs", 1, {}, 1, 0, 2},
      {"initials win over a prefix", L"张三", L"z", 1, {}, 1, 0, 1},
      {"prefix of one spelling", L"张三", L"s", 1, {}, 1, 1, 1},
      {"prefix inside a spelling", L"王小明", L"xia", 1, {}, 1, 1, 1},
      {"run ends inside the last", L"张三", L"zhangs", 1, {}, 1, 0, 2},
      {"whole spelling", L"张三丰", L"zhangsanfeng", 1, {}, 1, 0, 3},
      {"no such spelling", L"张三", L"han", 1, {}, 0, -1, 0},
      {"surname reading", L"曾小贤", L"zengx", 1, {}, 1, 0, 2},
      {"u-umlaut as v", L"吕布", L"lvb", 1, {}, 1, 0, 2},
      // The restart: the run "zhang" is looked for again from its start.
      {"restart finds a later run", L"李张三", L"zhangs", 1, {}, 1, 1, 2},
      {"restart after a false start", L"张张三", L"zhangs", 1, {}, 1, 1, 2},
      // Letters and digits spell as themselves; the initials restart there.
      {"latin text", L"Zhang Wei", L"wei", 1, {}, 1, 6, 3},
      {"latin prefix", L"Zhang Wei", L"zh", 1, {}, 1, 0, 2},
      {"letters and digits", L"a1b2", L"a1b", 1, {}, 1, 0, 3},
      {"initials reset at a letter", L"张a三", L"zs", 1, {}, 0, -1, 0},
      {"initials across a letter", L"张a三", L"zas", 1, {}, 0, -1, 0},
      {"initials skip what has no GBK form", L"张" + kEmoji + L"三", L"zs", 1, {}, 1, 1, 2},
      {"position counts wide characters", kEmoji + L"小明", L"xm", 1, {}, 1, 1, 2},
      {"zero character is skipped", std::wstring(L"\u5F20\0\u4E09", 3), L"zs", 1, {}, 1, 1, 2},
      {"upper-case text spells", L"ZHANG", L"zha", 1, {}, 1, 0, 3},
      // After a restart the initials keep the re-examined characters' letters:
      // 啊吧 spells a, ba; the key abb is found as initials a + b + b.
      {"initials after a restart", L"\u554A\u5427", L"abb", 1, {}, 1, -1, 3},
      // The order test of the runs.
      {"runs in order", L"张三李四", L"x", 1, {L"张", L"李"}, 0, -1, 0},
      {"runs in order, spelled", L"张三李四", L"zsl", 1, {L"张", L"李"}, 1, 0, 3},
      {"runs out of order", L"李四张三", L"lszs", 1, {L"张", L"李"}, 0, -1, 0},
      {"run repeated", L"张x张", L"zhangxzhang", 1, {L"张", L"张"}, 0, -1, 0},
      {"run missing", L"张三", L"zs", 1, {L"李"}, 0, -1, 0},
      {"runs are case-sensitive", L"ABC", L"abc", 1, {L"b"}, 0, -1, 0},
  };
  for (const MatchCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<CKZStringW> runs;
    for (const std::wstring& r : c.runs) runs.emplace_back(r);
    int position = 99;
    int length = 99;
    int matched = Match(CKZStringW(c.content), CKZStringW(c.key), c.spell_mode,
                        c.runs.empty() ? nullptr : &runs, position, length);
    EXPECT_EQ(matched, c.matched);
    EXPECT_EQ(position, c.position);
    EXPECT_EQ(length, c.length);
  }
  EXPECT_TRUE(asserts().empty());
}

TEST_F(SearchTest, MatchRejectsEmptyTextsAndUnconvertibleKeys) {
  int position = 99;
  int length = 99;
  EXPECT_EQ(Match(CKZStringW(L""), CKZStringW(L"a"), 1, nullptr, position, length), 0);
  EXPECT_EQ(Match(CKZStringW(L"a"), CKZStringW(L""), 0, nullptr, position, length), 0);
  EXPECT_EQ(position, 99) << "empty texts leave the outputs alone";
  EXPECT_TRUE(asserts().empty());

  EXPECT_EQ(Match(CKZStringW(L"abc"), CKZStringW(L"a" + kEmoji), 1, nullptr, position, length), 0);
  EXPECT_EQ(position, -1);
  EXPECT_EQ(AssertLines(), std::vector<int>{676});
}

// The matcher against its rules written out literally, over random texts and
// keys drawn from the characters that matter: letters of both cases, digits,
// Chinese characters (polyphonic ones and ones that spell alike included),
// double-byte symbols, characters without a GBK form, U+0000. Half of the
// keys are cut from the spellings of the text, so that hits, restarts and
// near misses are common.
TEST_F(SearchTest, MatchAgreesWithItsLiteralRules) {
  const std::wstring alphabet = std::wstring(L"aAbBgGhHnNsSwWzZiIeEuUvVkK019 -_.\u212A") +
                                L"张章王汪李黎赵曾单吕女长三山小明伟为安啊吧爸中文，。（Ａｂ０Éé" +
                                kEmoji + std::wstring(1, L'\0');
  std::mt19937 rng(4241);
  auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
  auto random_text = [&](std::size_t max) {
    std::wstring t;
    for (std::size_t n = 1 + pick(max); n > 0; --n) t.push_back(alphabet[pick(alphabet.size())]);
    return t;
  };
  auto spelling_of = [](const std::wstring& text) {
    std::string out;
    for (wchar_t ch : text) {
      std::string_view s = platform::SpellChar(ch);
      if (s.empty() && ch > 0 && ch < 0x80) out.push_back(static_cast<char>(ch | 0x20));
      out += s;
    }
    return std::wstring(out.begin(), out.end());
  };
  int hits = 0;
  for (int round = 0; round < 20000; ++round) {
    const std::wstring content = random_text(10);
    std::wstring key;
    switch (round % 4) {
      case 0:
      case 1: {  // cut from the text's spelling, maybe with a character mixed in
        std::wstring spelled = spelling_of(content.substr(pick(content.size())));
        key = spelled.substr(0, 1 + pick(spelled.size() + 1));
        if (round % 8 == 1) key.insert(pick(key.size() + 1), 1, content[pick(content.size())]);
        break;
      }
      case 2:
        key = random_text(4);
        break;
      default:
        key = content.substr(pick(content.size()), 1 + pick(4));
    }
    // Callers lower-case the key; Match itself takes it as given.
    CKZStringW lowered(key);
    if (round % 3 != 0) lowered.MakeLower();
    BYTE mask = 0;
    std::vector<CKZStringW> runs;
    AnalyseKey(lowered, mask, runs);
    std::vector<std::wstring> literal_runs;
    for (const CKZStringW& r : runs) literal_runs.push_back(r.str());
    for (int mode : {0, 1}) {
      for (bool with_runs : {false, true}) {
        auto expected = wrenutil::testing::LiteralMatch(content, lowered.str(), mode,
                                                        with_runs ? &literal_runs : nullptr);
        int position = 99;
        int length = 99;
        const std::size_t asserts_before = asserts().size();
        int matched = Match(CKZStringW(content), lowered, mode, with_runs ? &runs : nullptr,
                            position, length);
        ASSERT_EQ(matched, expected.matched) << round;
        ASSERT_EQ(asserts().size() - asserts_before, expected.key_has_gbk ? 0u : 1u) << round;
        if (matched) {
          ASSERT_EQ(position, expected.position) << round;
          ASSERT_EQ(length, expected.length) << round;
          ++hits;
        }
      }
    }
  }
  EXPECT_GT(hits, 20000) << "the keys should often match";
}

// ---------------------------------------------------------------------------
// MatchFiled and DoMatch: the choice of mode, the spelled-key retry.

TEST_F(SearchTest, DoMatchChoosesTheModeFromTheKey) {
  struct Case {
    const char* what;
    std::wstring key;
    std::wstring content;
    int position;  // -1: no hit
    int length;
  };
  const Case cases[] = {
      {"digits: plain", L"138", L"13812345678", 0, 3},
      {"digits do not spell", L"1", L"一", -1, 0},
      {"double-byte only: plain", L"三", L"张三", 1, 1},
      {"double-byte only: no spelling", L"张", L"章", -1, 0},
      {"letters: spelling", L"ZS", L"张三", 0, 2},
      {"other characters: plain", L"#", L"a#b", 1, 1},
      {"mixed: as given first", L"a张", L"a张", 0, 2},
      {"mixed: spelled key", L"张s", L"张三", 0, 2},
      {"mixed: spelled key, later run", L"三f", L"张三丰", 1, 2},
      {"mixed: order of runs", L"张x张", L"张x张", -1, 0},
      {"mixed: run missing", L"李s", L"张三", -1, 0},
      {"mixed: spelling must follow the run", L"三z", L"张三", -1, 0},
      {"empty text", L"a", L"", -1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CKZComPtr<IKZArray> hits;
    int matched = DoMatch(CKZStringW(c.key), CKZStringW(c.content), &hits);
    EXPECT_EQ(matched, c.position >= 0 ? 1 : 0);
    if (c.position < 0) {
      EXPECT_FALSE(hits) << "no hit leaves the out pointer alone";
      continue;
    }
    ASSERT_TRUE(hits);
    std::vector<Hit> got = Hits(hits);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].position, c.position);
    EXPECT_EQ(got[0].length, c.length);
    EXPECT_EQ(got[0].content, c.content);
    EXPECT_EQ(got[0].field, L"");
  }
  EXPECT_TRUE(asserts().empty());
}

// The plain search finds a key that starts with an ASCII non-letter or a
// CJK character by that character alone, since no other character
// lower-cases to it; the Kelvin sign, which lower-cases to 'k', must still
// be found by a key starting with 'k'.
TEST_F(SearchTest, PlainSearchKnowsWhichCharactersOthersLowerTo) {
  for (std::uint32_t cp = 0; cp < 0x110000; ++cp) {
    if (cp >= 0xD800 && cp < 0xE000) continue;
    const auto ch = static_cast<wchar_t>(cp);
    const auto lower = static_cast<std::uint32_t>(platform::ToLowerChar(ch));
    if (lower == cp) continue;
    const bool letter = lower >= 'a' && lower <= 'z';
    ASSERT_TRUE(lower >= 0x80 ? (lower < 0x2E80 || lower > 0xA4CF) : letter)
        << std::hex << cp << " lowers to " << lower;
  }
  int position = -1;
  int length = 0;
  const std::wstring kelvin(1, static_cast<wchar_t>(0x212A));
  EXPECT_EQ(Match(CKZStringW(kelvin + L"m"), CKZStringW(L"km"), 0, nullptr, position, length), 1);
  EXPECT_EQ(position, 0);
  EXPECT_EQ(Match(CKZStringW(L"x#1明"), CKZStringW(L"#1明"), 0, nullptr, position, length), 1);
  EXPECT_EQ(position, 1);
}

TEST_F(SearchTest, MatchAndInsertAssertsOnEmptyKeyOrNoArray) {
  CKZComPtr<IKZArray> hits;
  ASSERT_EQ(Util::Data::CreateKZArray(&hits), 1);
  const CKZStringW name(L"f");
  EXPECT_EQ(MatchAndInsert(name, CKZStringW(L""), CKZStringW(L""), nullptr, 0, nullptr, nullptr), 0)
      << "an empty text is no hit, before any check";
  EXPECT_TRUE(asserts().empty());
  EXPECT_EQ(MatchAndInsert(name, CKZStringW(L"abc"), CKZStringW(L""), hits, 0, nullptr, nullptr),
            0);
  EXPECT_EQ(
      MatchAndInsert(name, CKZStringW(L"abc"), CKZStringW(L"a"), nullptr, 0, nullptr, nullptr), 0);
  EXPECT_EQ(MatchFiled(0x04, name, CKZStringW(L"abc"), CKZStringW(L"a"), nullptr, nullptr, nullptr),
            0);
  // A mixed key whose GBK form fails spells to nothing: the retry asserts.
  std::vector<CKZStringW> runs{CKZStringW(L"张")};
  EXPECT_EQ(
      MatchFiled(0x05, name, CKZStringW(L"张三"), CKZStringW(L"张" + kEmoji), hits, &runs, nullptr),
      0);
  EXPECT_EQ(AssertLines(), (std::vector<int>{621, 621, 621, 676, 621}));
  EXPECT_EQ(Dump(hits), "[]") << "no partial hit record";
  // A mixed mask with no runs vector is no hit after the first attempt.
  EXPECT_EQ(MatchFiled(0x05, name, CKZStringW(L"张三"), CKZStringW(L"李s"), hits, nullptr, nullptr),
            0);
  EXPECT_EQ(DoMatch(CKZStringW(L"a"), CKZStringW(L"a"), nullptr), 1);
}

TEST_F(SearchTest, HitRecordCopiesTheRecordThenAddsTheHit) {
  CKZComPtr<IKZArray> hits;
  ASSERT_EQ(Util::Data::CreateKZArray(&hits), 1);
  CKZComPtr<IKZData> record;
  std::string error;
  ASSERT_EQ(platform::JsonToKZData(
                R"({"dwUin": 7, "strName": "张三", "nHitPos": 5,
                    "rpt": [{"a": 1}]})",
                &record, &error),
            S_OK);
  EXPECT_EQ(MatchFiled(0x04, CKZStringW(L"strName"), CKZStringW(L"张三"), CKZStringW(L"s"), hits,
                       nullptr, record),
            1);
  InsertMatchedItem(hits, CKZStringW(L"x"), CKZStringW(L""), -1, 0, nullptr);
  InsertMatchedItem(nullptr, CKZStringW(L"x"), CKZStringW(L""), 0, 0, record);
  // Fields in the order written: the record's (a same-named field keeps its
  // place and takes the new value), then the hit's.
  CKZComPtr<IKZDataRead> first;
  ASSERT_EQ(hits->GetKZDataRead(0, &first), S_OK);
  std::vector<std::wstring> names;
  DWORD count = 0;
  first->GetFieldCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    CKZBSTR name;
    first->GetFieldName(i, &name);
    BYTE type = 0;
    first->GetFieldTypeAt(i, &type);
    names.push_back(std::wstring(name.c_str()) + L"/" + std::to_wstring(type));
  }
  EXPECT_EQ(names, (std::vector<std::wstring>{L"dwUin/6", L"strName/8", L"nHitPos/7", L"rpt/12",
                                              L"nHitLen/7", L"strMatchedContent/8",
                                              L"strMatchedFieldName/8"}));
  std::vector<Hit> got = Hits(hits);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].position, 1);
  EXPECT_EQ(got[0].length, 1);
  EXPECT_EQ(got[0].content, L"张三");
  EXPECT_EQ(got[0].field, L"strName");
  EXPECT_EQ(got[1].position, -1);
  EXPECT_EQ(got[1].content, L"x");
  // The copy is deep: the record's nested array is not shared.
  CKZComPtr<IKZData> hit;
  ASSERT_EQ(hits->GetKZData(0, &hit), S_OK);
  CKZComPtr<IKZArray> copied;
  ASSERT_EQ(hit->GetKZArray("rpt", &copied), S_OK);
  copied->AddDWord(2);
  EXPECT_EQ(platform::KZDataToJson(record),
            R"({"dwUin":7,"strName":"张三","nHitPos":5,"rpt":[{"a":1}]})");
}

// ---------------------------------------------------------------------------
// The drivers.

constexpr char kContacts[] = R"([
  {"dwUin": 1, "strName": "张三", "strEnglishName": "Zhang San",
   "strMobile": "13800000001"},
  "not a record",
  {"dwUin": 2, "strName": "李四", "strEnglishName": "Li Si",
   "strMobile": "13800000002"},
  {"dwUin": 3, "strName": "王五", "strEnglishName": "Wang Wu"},
  {"dwUin": 4, "strName": "", "strEnglishName": "Sam Zhao",
   "strMobile": "13900000004"},
  {"dwUin": 5, "strName": "赵六", "strEnglishName": "",
   "strMobile": "13800000005"},
  {"strMobile": 13800000006, "strName": "钱七", "dwUin": 6}
])";

// "dwUin:field:position:length" for every hit, in order.
std::vector<std::string> Summary(IKZArrayRead* hits) {
  std::vector<std::string> out;
  DWORD count = 0;
  hits->GetCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    CKZComPtr<IKZDataRead> hit;
    hits->GetKZDataRead(i, &hit);
    DWORD uin = 0;
    hit->GetDWord("dwUin", &uin);
    CKZBSTR field;
    hit->GetStr("strMatchedFieldName", &field);
    int position = 0, length = 0;
    hit->GetInt32("nHitPos", &position);
    hit->GetInt32("nHitLen", &length);
    std::wstring f = field.c_str();
    out.push_back(std::to_string(uin) + ":" + std::string(f.begin(), f.end()) + ":" +
                  std::to_string(position) + ":" + std::to_string(length));
  }
  return out;
}

TEST_F(SearchTest, DoSearchVisitsFieldsInOrderWithOneHitPerRecord) {
  CKZComPtr<IKZArray> items = Items(kContacts);
  const std::vector<CKZStringA> fields{"strName", "strEnglishName", "strMobile"};
  struct Case {
    const char* what;
    std::wstring key;
    std::vector<CKZStringA> fields;
    std::uint32_t limit;
    std::vector<std::string> hits;
  };
  const Case cases[] = {
      {"digits", L"138", fields, 100, {"1:strMobile:0:3", "2:strMobile:0:3", "5:strMobile:0:3"}},
      {"first field wins",
       L"s",
       fields,
       100,
       {"1:strName:1:1", "2:strName:1:1", "4:strEnglishName:0:1"}},
      {"caller's order",
       L"s",
       {"strEnglishName", "strName"},
       100,
       {"1:strEnglishName:6:1", "2:strEnglishName:3:1", "4:strEnglishName:0:1"}},
      {"key lower-cased", L"ZHAO", fields, 100, {"4:strEnglishName:4:4", "5:strName:0:1"}},
      {"limit 0 gives one hit", L"138", fields, 0, {"1:strMobile:0:3"}},
      {"limit 1 gives two hits", L"138", fields, 1, {"1:strMobile:0:3", "2:strMobile:0:3"}},
      {"missing field", L"1", {"strNothing"}, 100, {}},
      // Record 6 keeps its fields in another order, its phone as a number.
      {"another shape", L"qian", fields, 100, {"6:strName:0:1"}},
  };
  // The platform's bags are read in place, a host's through their interfaces.
  CKZComPtr<IKZArrayRead> foreign = platform::testing::ForeignArray(items);
  for (const Case& c : cases) {
    for (IKZArrayRead* source : {static_cast<IKZArrayRead*>(items.Get()), foreign.Get()}) {
      SCOPED_TRACE(std::string(c.what) + (source == foreign.Get() ? ", foreign" : ""));
      CKZComPtr<IKZArray> result;
      EXPECT_EQ(DoSearch(CKZStringW(c.key), source, c.fields, c.limit, &result), 0);
      ASSERT_TRUE(result);
      EXPECT_EQ(Summary(result), c.hits);
    }
  }
  EXPECT_TRUE(asserts().empty());
}

TEST_F(SearchTest, DriversLeaveTheOutPointerAloneWhenNothingRuns) {
  CKZComPtr<IKZArray> items = Items(kContacts);
  CKZComPtr<IKZArray> none = Items("[]");
  const std::vector<CKZStringA> fields{"strName"};
  const std::vector<CKZStringA> empty;
  IKZArray* const kUntouched = reinterpret_cast<IKZArray*>(0x1);
  struct Case {
    const char* what;
    long code;
    IKZArray* result;
  };
  auto run = [&](auto call) {
    IKZArray* result = kUntouched;
    long code = call(&result);
    return Case{"", code, result};
  };
  const CKZStringW key(L"a");
  const CKZStringW blank(L"");
  const CKZStringW emoji(kEmoji);
  const Case cases[] = {
      run([&](IKZArray** r) { return DoSearch(blank, items, fields, 9, r); }),
      run([&](IKZArray** r) { return DoSearch(key, nullptr, fields, 9, r); }),
      run([&](IKZArray** r) { return DoSearch(key, none, fields, 9, r); }),
      run([&](IKZArray** r) { return DoSearch(key, items, empty, 9, r); }),
      run([&](IKZArray** r) { return DoSearch(emoji, items, fields, 9, r); }),
      run([&](IKZArray** r) { return DoSearch2(blank, items, fields, empty, empty, 9, r); }),
      run([&](IKZArray** r) { return DoSearch2(key, items, empty, empty, empty, 9, r); }),
      run([&](IKZArray** r) { return DoSearch_Address(key, nullptr, fields, 1, 1, 9, r); }),
      run([&](IKZArray** r) { return DoSearch_Address(key, items, empty, 0, 0, 9, r); }),
  };
  const long expected[] = {E_INVALIDARG, E_INVALIDARG, 0, 0, 0, E_INVALIDARG, 0, E_INVALIDARG, 0};
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(cases[i].code, expected[i]);
    EXPECT_EQ(cases[i].result, kUntouched);
  }
  EXPECT_EQ(AssertLines(), (std::vector<int>{19, 19, 114, 306}));

  // A search that runs with a null out pointer is released, not leaked.
  EXPECT_EQ(DoSearch(key, items, fields, 9, nullptr), 0);
  EXPECT_EQ(DoSearch2(key, items, fields, empty, empty, 9, nullptr), 0);
  EXPECT_EQ(DoSearch_Address(key, items, fields, 1, 1, 9, nullptr), 0);
}

TEST_F(SearchTest, DoSearch2VisitsArraysAndFiltersLmNumbers) {
  CKZComPtr<IKZArray> items = Items(R"([
    {"dwUin": 1, "strName": "张三", "rpt_str_alias": ["sam", "zz"],
     "rpt_uint64_lm": [{"@u64": 4294967297}, {"@u64": 77}],
     "rpt_uint64_other": [{"@u64": 7700000001}]},
    {"dwUin": 2, "strName": "李四", "rpt_uint64_lm": [{"@u64": 770}],
     "rpt_uint64_other": [{"@u64": 12}]},
    {"dwUin": 3, "strName": "王五", "rpt_uint64_lm": [1, "x", {"@u64": 5}]}
  ])");
  CKZComPtr<IKZOrgMembershipHost> members;
  ASSERT_EQ(platform::CreateMemoryOrgMembershipService({1, 770}, &members), S_OK);
  CKZComPtr<IKZServerConfigService> config;
  ASSERT_EQ(platform::CreateMemoryServerConfigService({}, &config), S_OK);
  AddService(IKZServerConfigService::kIid, config);
  AddService(IKZOrgMembershipService::kIid, members);

  const std::vector<CKZStringA> fields{"strName"};
  const std::vector<CKZStringA> arrays{"rpt_str_alias"};
  const std::vector<CKZStringA> numbers{"rpt_uint64_lm", "rpt_uint64_other"};
  struct Case {
    const char* what;
    const wchar_t* hide;
    std::wstring key;
    std::vector<std::string> hits;
  };
  const Case cases[] = {
      {"string array element", L"", L"zz", {"1:rpt_str_alias:0:2"}},
      {"string field first", L"", L"s", {"1:strName:1:1", "2:strName:1:1"}},
      {"numbers, unfiltered", L"", L"77", {"1:rpt_uint64_lm:0:2", "2:rpt_uint64_lm:0:2"}},
      // 4294967297 has the low half 1, a member; 77 and 5 are not members.
      {"numbers, filtered", L"1", L"7", {"1:rpt_uint64_lm:6:1", "2:rpt_uint64_lm:0:1"}},
      {"filtered out, next field", L"1", L"77", {"1:rpt_uint64_other:0:2", "2:rpt_uint64_lm:0:2"}},
      {"filtered by low half", L"1", L"4294967297", {"1:rpt_uint64_lm:0:10"}},
      {"unreadable number reads 0",
       L"",
       L"0",
       {"1:rpt_uint64_other:2:1", "2:rpt_uint64_lm:2:1", "3:rpt_uint64_lm:0:1"}},
      {"other value is no filter", L"2", L"5", {"3:rpt_uint64_lm:0:1"}},
  };
  CKZComPtr<IKZArrayRead> foreign = platform::testing::ForeignArray(items);
  for (const Case& c : cases) {
    config->SetConfigString(L"hide_clm_number", c.hide);
    for (IKZArrayRead* source : {static_cast<IKZArrayRead*>(items.Get()), foreign.Get()}) {
      SCOPED_TRACE(std::string(c.what) + (source == foreign.Get() ? ", foreign" : ""));
      CKZComPtr<IKZArray> result;
      EXPECT_EQ(DoSearch2(CKZStringW(c.key), source, fields, arrays, numbers, 100, &result), 0);
      ASSERT_TRUE(result);
      EXPECT_EQ(Summary(result), c.hits);
    }
  }
  // Without the membership service no LM number is a member.
  core()->RegisterService(IKZOrgMembershipService::kIid, nullptr);
  config->SetConfigString(L"hide_clm_number", L"1");
  CKZComPtr<IKZArray> result;
  EXPECT_EQ(DoSearch2(CKZStringW(L"5"), items, fields, arrays, numbers, 100, &result), 0);
  EXPECT_EQ(Summary(result), std::vector<std::string>{});
  EXPECT_TRUE(asserts().empty());
}

TEST_F(SearchTest, DoSearchAddressMarksThePhoneEntry) {
  CKZComPtr<IKZArray> items = Items(R"([
    {"dwUin": 1, "strName": "张三",
     "rpt_str_lm": [{"uint64_account": {"@u64": 9111111111}}, {}],
     "rpt_str_mobile_phone": [{"str_account": "13711112222"},
                              {"str_account": "13822223333"}]},
    {"dwUin": 2, "strName": "李四",
     "rpt_str_mobile_phone": ["bad", {"str_account": "13822224444"}]}
  ])");
  const std::vector<CKZStringA> fields{"strName"};
  struct Case {
    const char* what;
    std::wstring key;
    int lm, phones;
    std::vector<std::string> hits;
    std::vector<DWORD> phone_index;  // per hit; 99: field absent
  };
  const Case cases[] = {
      {"second phone",
       L"1382222",
       1,
       1,
       {"1:rpt_str_mobile_phone:0:7", "2:rpt_str_mobile_phone:0:7"},
       {1, 1}},
      {"phones off", L"1382222", 1, 0, {}, {}},
      {"lm account", L"9111", 1, 1, {"1:rpt_str_lm:0:4"}, {99}},
      {"lm without account reads 0", L"0", 1, 0, {"1:rpt_str_lm:0:1"}, {99}},
      {"name first", L"z", 1, 1, {"1:strName:0:1"}, {99}},
  };
  CKZComPtr<IKZArrayRead> foreign = platform::testing::ForeignArray(items);
  for (const Case& c : cases) {
    for (IKZArrayRead* source : {static_cast<IKZArrayRead*>(items.Get()), foreign.Get()}) {
      SCOPED_TRACE(std::string(c.what) + (source == foreign.Get() ? ", foreign" : ""));
      CKZComPtr<IKZArray> result;
      EXPECT_EQ(DoSearch_Address(CKZStringW(c.key), source, fields, c.lm, c.phones, 100, &result),
                0);
      ASSERT_TRUE(result);
      EXPECT_EQ(Summary(result), c.hits);
      for (std::size_t i = 0; i < c.phone_index.size(); ++i) {
        CKZComPtr<IKZDataRead> hit;
        result->GetKZDataRead(static_cast<DWORD>(i), &hit);
        DWORD index = 99;
        hit->GetDWord("nSearchHitMobilephoneIndex", &index);
        EXPECT_EQ(index, c.phone_index[i]);
      }
    }
  }
  // Only the string fields: the flags alone make a search.
  CKZComPtr<IKZArray> result;
  EXPECT_EQ(DoSearch_Address(CKZStringW(L"137"), items, {}, 0, 1, 0, &result), 0);
  EXPECT_EQ(Summary(result), std::vector<std::string>{"1:rpt_str_mobile_phone:0:3"});
}

TEST_F(SearchTest, ConfigStringFallsBackToTheSecondService) {
  CKZComPtr<IKZServerConfigService> server;
  CKZComPtr<IKZLocalConfigService> local;
  ASSERT_EQ(platform::CreateMemoryServerConfigService(
                {{L"a", L"server"}, {L"hide_clm_number", L"0"}}, &server),
            S_OK);
  ASSERT_EQ(platform::CreateMemoryLocalConfigService(
                {{L"a", L"local"}, {L"b", L"local b"}, {L"hide_clm_number", L"1"}}, &local),
            S_OK);
  EXPECT_EQ(GetSearchConfigString(CKZStringW(L"a")), L"");
  EXPECT_FALSE(IsHideLMNumber());
  AddService(IKZLocalConfigService::kIid, local);
  EXPECT_EQ(GetSearchConfigString(CKZStringW(L"a")), L"local");
  EXPECT_TRUE(IsHideLMNumber());
  AddService(IKZServerConfigService::kIid, server);
  EXPECT_EQ(GetSearchConfigString(CKZStringW(L"a")), L"server");
  EXPECT_EQ(GetSearchConfigString(CKZStringW(L"b")), L"local b");
  EXPECT_FALSE(IsHideLMNumber()) << "the server's value comes first";
  EXPECT_EQ(GetSearchConfigString(CKZStringW(L"c")), L"");
  EXPECT_TRUE(asserts().empty());

  RemoveCore();
  EXPECT_EQ(GetSearchConfigString(CKZStringW(L"a")), L"");
  ASSERT_EQ(asserts().size(), 2u);
  EXPECT_EQ(asserts()[0].line, 136);
}

}  // namespace
}  // namespace Util::MarlinSearch

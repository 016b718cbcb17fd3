#include "wrenutil/searchsession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "platform/common/kzjson.h"
#include "platform/testing/foreign_bag.h"
#include "platform/testing/platform_test.h"
#include "wrenutil/utilmarlinsearch.h"

namespace Util::MarlinSearch {
namespace {

class SessionTest : public platform::testing::PlatformTest {
 public:
  // The lines of the assertions raised since the last call.
  std::vector<int> TakeAssertLines() {
    std::vector<int> lines;
    for (std::size_t i = asserts_taken_; i < asserts().size(); ++i) {
      lines.push_back(asserts()[i].line);
    }
    asserts_taken_ = asserts().size();
    return lines;
  }

 private:
  std::size_t asserts_taken_ = 0;
};

const std::wstring kEmoji(1, static_cast<wchar_t>(0x1F600));  // no GBK form

// Texts that tell the matcher's modes apart: surnames with shared spelling
// prefixes, mixed scripts, digits split by a character without a GBK form,
// upper case, full-width forms, punctuation, a run that occurs twice.
const std::vector<std::wstring> kTexts = {L"张伟",
                                          L"张三丰",
                                          L"赵敏",
                                          L"章子怡",
                                          L"王张李",
                                          L"李王张王李",
                                          L"Zhang Wei",
                                          L"zhao",
                                          L"ZHANG",
                                          L"曾志伟",
                                          L"1" + kEmoji + L"2a",
                                          L"13800138000",
                                          L"a" + kEmoji + L"b",
                                          L"张" + kEmoji + L"王",
                                          L"Ｚｈａｎｇ",
                                          L"张，伟",
                                          L"阿安昂",
                                          L"",
                                          L"zz1",
                                          L"哈韩杭"};

CKZComPtr<IKZArray> Contacts(std::size_t count, unsigned seed) {
  std::mt19937 rng(seed);
  CKZComPtr<IKZArray> items;
  Util::Data::CreateKZArray(&items);
  for (std::size_t i = 0; i < count; ++i) {
    if (i % 37 == 36) {
      items->AddStr(L"zhang");  // not a record: skipped by every search
      continue;
    }
    CKZComPtr<IKZData> item;
    Util::Data::CreateKZData(&item);
    item->SetDWord("dwUin", static_cast<DWORD>(i));
    item->SetStr("strName", kTexts[rng() % kTexts.size()].c_str());
    if (rng() % 4 != 0) item->SetStr("strEnglishName", kTexts[rng() % kTexts.size()].c_str());
    item->SetStr("strMobile", (L"13" + std::to_wstring(rng() % 1000)).c_str());
    items->AddKZData(item);
  }
  return items;
}

const std::vector<CKZStringA> kFields{"strName", "strEnglishName", "strMobile"};

// What DoSearch gives for `key`: its code, and its result array as JSON
// ("unwritten" when it wrote none).
std::string DriverResult(const std::wstring& key, IKZArrayRead* items, std::uint32_t limit) {
  CKZComPtr<IKZArray> result;
  long code = DoSearch(CKZStringW(key), items, kFields, limit, &result);
  return std::to_string(code) + " " + (result ? platform::KZArrayToJson(result) : "unwritten");
}

std::string SessionResult(SearchSession& session, const std::wstring& key) {
  long code = session.Search(CKZStringW(key));
  if (!session.searched()) return std::to_string(code) + " unwritten";
  CKZComPtr<IKZArray> result;
  EXPECT_EQ(session.HitRecords(&result), S_OK);
  return std::to_string(code) + " " + platform::KZArrayToJson(result);
}

// Types `key` one character at a time and checks each prefix against
// DoSearch; returns how many searches started from the hits before.
int TypeAndCompare(SessionTest& test, SearchSession& session, IKZArrayRead* items,
                   const std::wstring& key, std::uint32_t limit) {
  int narrowed = 0;
  for (std::size_t n = 1; n <= key.size(); ++n) {
    const std::wstring typed = key.substr(0, n);
    SCOPED_TRACE(std::string("typed ") + std::to_string(n) + " characters");
    const std::string by_session = SessionResult(session, typed);
    const std::vector<int> session_asserts = test.TakeAssertLines();
    EXPECT_EQ(by_session, DriverResult(typed, items, limit));
    // The session examines only candidate records, so it raises no
    // assertion that the full search would not raise as often.
    const std::vector<int> driver_asserts = test.TakeAssertLines();
    for (const std::vector<int>* lines : {&session_asserts, &driver_asserts}) {
      EXPECT_EQ(std::count(lines->begin(), lines->end(), 621) +
                    std::count(lines->begin(), lines->end(), 676),
                static_cast<std::ptrdiff_t>(lines->size()))
          << "only the matcher's assertions";
    }
    for (int line : {621, 676}) {
      EXPECT_LE(std::count(session_asserts.begin(), session_asserts.end(), line),
                std::count(driver_asserts.begin(), driver_asserts.end(), line))
          << "assertions at line " << line;
    }
    narrowed += session.narrowed() ? 1 : 0;
  }
  return narrowed;
}

TEST_F(SessionTest, EveryKeyTypedGivesWhatDoSearchGives) {
  // Keys whose prefixes cross every kind of key, including the changes of
  // kind that the session must not narrow.
  const std::vector<std::wstring> keys = {L"zhangwei",
                                          L"ZHAng",
                                          L"zw",
                                          L"zhao",
                                          L"张伟",
                                          L"张w",
                                          L"张wei",
                                          L"王张李",
                                          L"张a李",
                                          L"李王张",
                                          L"王x张李",
                                          L"12a",
                                          L"138001",
                                          L"1" + kEmoji + L"2a",
                                          L"a" + kEmoji + L"b",
                                          L"张" + kEmoji + L"王a",
                                          L"ｚｈ",
                                          L"，伟",
                                          L"zz1",
                                          L"hah",
                                          L"ananan"};
  CKZComPtr<IKZArray> items = Contacts(150, 7);
  CKZComPtr<IKZArrayRead> foreign = platform::testing::ForeignArray(items);
  int narrowed = 0;
  for (std::uint32_t limit : {4u, 1000u}) {
    for (bool filter : {false, true}) {
      for (IKZArrayRead* source : {static_cast<IKZArrayRead*>(items.Get()), foreign.Get()}) {
        SearchSession session(source, kFields, limit);
        if (filter) {
          ASSERT_EQ(session.BuildFilter(), S_OK);
        }
        for (const std::wstring& key : keys) {
          SCOPED_TRACE("limit " + std::to_string(limit) + (filter ? ", filter" : "") +
                       (source == foreign.Get() ? ", foreign" : "") + ", key #" +
                       std::to_string(&key - keys.data()));
          narrowed += TypeAndCompare(*this, session, source, key, limit);
          // A pause: the box emptied, which forgets the key.
          EXPECT_EQ(session.Search(CKZStringW()), E_INVALIDARG);
          EXPECT_TRUE(session.hits().empty());
        }
      }
    }
  }
  EXPECT_GT(narrowed, 0);
}

TEST_F(SessionTest, NarrowsOnlyWhereTheLongerKeyCannotFindMore) {
  // A record for each trap: without it, the unsafe extensions would look
  // safe.
  CKZComPtr<IKZArray> items;
  ASSERT_EQ(platform::JsonToKZArray(R"([{"strName": "1)"
                                    "\xF0\x9F\x98\x80"
                                    R"(2a"}, {"strName": "王张x王李"},
                    {"strName": "张伟"}, {"strName": "zhang"}])",
                                    &items, nullptr),
            S_OK);
  struct Case {
    const wchar_t* before;
    const wchar_t* after;
    bool narrowed;
  };
  const Case cases[] = {
      {L"zh", L"zha", true},   {L"ZH", L"zhA", true},         {L"z", L"y", false},
      {L"张", L"张伟", true},  {L"张", L"张w", true},         {L"张w", L"张w李", true},
      {L"w", L"w张", true},    {L"12", L"12a", false},        {L"1", L"1张", false},
      {L"12", L"123", true},   {L"张x王", L"张x王李", false}, {L"张x王", L"张x王l", true},
      {L"张伟", L"张", false},
  };
  SearchSession session(items, {"strName"}, 100);
  for (const Case& c : cases) {
    SCOPED_TRACE("case " + std::to_string(&c - cases));
    session.Search(CKZStringW(c.before));
    EXPECT_EQ(SessionResult(session, c.after), DriverResult(c.after, items, 100));
    EXPECT_EQ(session.narrowed(), c.narrowed);
  }
  // The two traps themselves: the longer key finds a record the shorter
  // one does not.
  EXPECT_EQ(SessionResult(session, L"12"), "0 []");
  EXPECT_NE(SessionResult(session, L"12a"), "0 []");
  EXPECT_EQ(SessionResult(session, L"张x王"), "0 []");
  EXPECT_NE(SessionResult(session, L"张x王李"), "0 []");
}

TEST_F(SessionTest, NarrowingAndTheFilterExamineFewerRecords) {
  CKZComPtr<IKZArray> items = Contacts(2000, 11);
  SearchSession plain(items, kFields, 100000);
  SearchSession filtered(items, kFields, 100000);
  ASSERT_EQ(filtered.BuildFilter(), S_OK);
  EXPECT_EQ(filtered.FilterBytes(), 2000 * 48u);
  EXPECT_EQ(plain.FilterBytes(), 0u);

  plain.Search(CKZStringW(L"z"));
  EXPECT_EQ(plain.examined(), 2000u);
  const std::size_t z_hits = plain.hits().size();
  plain.Search(CKZStringW(L"zh"));
  EXPECT_TRUE(plain.narrowed());
  EXPECT_EQ(plain.examined(), z_hits);

  // One letter: a record passes the filter exactly when one of its
  // spellings starts with the letter, which is when it matches.
  filtered.Search(CKZStringW(L"z"));
  EXPECT_EQ(filtered.examined(), z_hits);
  filtered.Search(CKZStringW(L"王"));
  EXPECT_LT(filtered.examined(), 2000u);
  EXPECT_GE(filtered.examined(), filtered.hits().size());
}

TEST_F(SessionTest, TheFilterKeepsEveryKindOfHit) {
  // Each record is found only one way; the filter must let it through.
  struct Case {
    const wchar_t* text;
    const wchar_t* key;
    const char* hit;  // position:length, or "" for none
  };
  const Case cases[] = {
      {L"张伟", L"zw", "0:2"},            // initials, not neighbours in the spellings
      {L"\u554A\u5427", L"abb", "-1:3"},  // initials repeated by a restart of the scan
      {L"李张三", L"zhangs", "1:2"},      // a run of spellings after a restart
      {L"王张李", L"ngl", ""},            // a run starts at a spelling's start
      {L"张，伟", L"zw", ""},             // a symbol between empties the initials
      {L"1\U0001F6002a", L"12a", "0:4"},  // a character without a GBK form is skipped
      {L"13800138000", L"8001", "2:4"},   // digits: a plain substring
      {L"Ｚｈａｎｇ", L"ｚｈ", "0:2"},    // full-width letters: double-byte, plain
      {L"曾志伟", L"曾z", "0:2"},         // mixed: the run, then the spelled key
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("case ") + std::to_string(&c - cases));
    CKZComPtr<IKZArray> items;
    Util::Data::CreateKZArray(&items);
    CKZComPtr<IKZData> item;
    Util::Data::CreateKZData(&item);
    item->SetStr("strName", c.text);
    items->AddKZData(item);
    SearchSession session(items, kFields, 10);
    ASSERT_EQ(session.BuildFilter(), S_OK);
    EXPECT_EQ(session.Search(CKZStringW(c.key)), 0);
    std::string got;
    for (const SessionHit& hit : session.hits()) {
      got = std::to_string(hit.position) + ":" + std::to_string(hit.length);
    }
    EXPECT_EQ(got, c.hit);
    EXPECT_EQ(SessionResult(session, c.key), DriverResult(c.key, items, 10));
  }
}

TEST_F(SessionTest, TheLimitStopsWhereDoSearchStops) {
  CKZComPtr<IKZArray> items = Contacts(500, 3);
  SearchSession session(items, kFields, 2);
  // Each key after the first looks at the hits before, then at the records
  // the limit kept the last search from.
  for (const wchar_t* key : {L"z", L"zh", L"zha", L"zhan", L"zhang"}) {
    SCOPED_TRACE(std::wstring(key).size());
    EXPECT_EQ(SessionResult(session, key), DriverResult(key, items, 2));
    EXPECT_LE(session.hits().size(), 3u);
  }
  EXPECT_TRUE(session.narrowed());
}

TEST_F(SessionTest, KeepsTheFilterUpToDateWhenTheHostChangesTheList) {
  CKZComPtr<IKZArray> items = Contacts(30, 5);
  SearchSession session(items, kFields, 1000);
  ASSERT_EQ(session.BuildFilter(), S_OK);
  auto check = [&](const char* what) {
    SCOPED_TRACE(what);
    for (const wchar_t* key : {L"x", L"xu", L"徐", L"139"}) {
      EXPECT_EQ(SessionResult(session, key), DriverResult(key, items, 1000));
    }
  };
  session.Search(CKZStringW(L"x"));
  auto record = [](const wchar_t* name, const wchar_t* phone) {
    CKZComPtr<IKZData> item;
    Util::Data::CreateKZData(&item);
    item->SetStr("strName", name);
    item->SetStr("strMobile", phone);
    return item;
  };

  CKZComPtr<IKZData> added = record(L"徐静", L"139");
  ASSERT_EQ(items->AddKZData(added), S_OK);
  session.RecordInserted(30);
  check("appended");

  // This array appends only: insert at the front by building it anew.
  std::vector<CKZComPtr<IKZData>> kept(31);
  for (DWORD i = 0; i < 31; ++i) ASSERT_EQ(items->GetKZData(i, &kept[i]), S_OK);
  ASSERT_EQ(items->Clear(), S_OK);
  ASSERT_EQ(items->AddKZData(record(L"Xu Jing", L"1")), S_OK);
  for (IKZData* item : kept) ASSERT_EQ(items->AddKZData(item), S_OK);
  kept.clear();
  session.RecordInserted(0);
  check("inserted first");

  CKZComPtr<IKZData> changed;
  ASSERT_EQ(items->GetKZData(10, &changed), S_OK);
  changed->SetStr("strName", L"许xu");
  session.RecordChanged(10);
  check("changed");

  ASSERT_EQ(items->RemoveAt(0), S_OK);
  session.RecordRemoved(0);
  check("removed");
  EXPECT_GE(session.FilterBytes(), 31 * 48u);

  // A change of count the host did not report: the session stops trusting
  // its filter rather than miss a record.
  ASSERT_EQ(items->AddKZData(record(L"徐", L"1")), S_OK);
  check("not reported");
  // An index past the end drops the filter.
  session.RecordChanged(1000);
  EXPECT_FALSE(session.has_filter());
  check("no filter");
}

TEST_F(SessionTest, RefusesWhatDoSearchRefusesWithoutAsserting) {
  CKZComPtr<IKZArray> items = Contacts(5, 1);
  SearchSession none(nullptr, kFields, 10);
  EXPECT_EQ(none.Search(CKZStringW(L"a")), E_INVALIDARG);
  EXPECT_EQ(none.BuildFilter(), E_INVALIDARG);
  EXPECT_FALSE(none.searched());

  SearchSession session(items, kFields, 10);
  EXPECT_EQ(session.Search(CKZStringW()), E_INVALIDARG);
  EXPECT_FALSE(session.searched());
  EXPECT_EQ(session.HitRecords(nullptr), E_POINTER);
  EXPECT_TRUE(asserts().empty());

  // Nothing to search: code 0, no search, as DoSearch leaves its out pointer.
  EXPECT_EQ(session.Search(CKZStringW(kEmoji)), 0);
  EXPECT_FALSE(session.searched());
  SearchSession no_fields(items, {}, 10);
  EXPECT_EQ(no_fields.Search(CKZStringW(L"a")), 0);
  EXPECT_FALSE(no_fields.searched());
  CKZComPtr<IKZArray> empty;
  Util::Data::CreateKZArray(&empty);
  SearchSession no_items(empty, kFields, 10);
  EXPECT_EQ(no_items.Search(CKZStringW(L"a")), 0);
  EXPECT_FALSE(no_items.searched());
}

TEST_F(SessionTest, HitRecordsGivesAWindowAndHoldsNoExtraReference) {
  CKZComPtr<IKZArray> items = Contacts(100, 9);
  {
    SearchSession session(items, kFields, 1000);
    session.Search(CKZStringW(L"13"));
    ASSERT_GT(session.hits().size(), 10u);
    CKZComPtr<IKZArray> all, window;
    ASSERT_EQ(session.HitRecords(&all), S_OK);
    ASSERT_EQ(session.HitRecords(&window, 5, 3), S_OK);
    DWORD count = 0;
    window->GetCount(&count);
    ASSERT_EQ(count, 3u);
    for (DWORD i = 0; i < 3; ++i) {
      CKZComPtr<IKZDataRead> a, b;
      all->GetKZDataRead(5 + i, &a);
      window->GetKZDataRead(i, &b);
      EXPECT_EQ(a->IsEqual(b), S_OK);
    }
    CKZComPtr<IKZArray> past;
    ASSERT_EQ(session.HitRecords(&past, 1000), S_OK);
    past->GetCount(&count);
    EXPECT_EQ(count, 0u);
  }
  // The session's reference is gone with it.
  IKZArray* raw = items.Get();
  raw->AddRef();
  EXPECT_EQ(raw->Release(), 1u);
}

}  // namespace
}  // namespace Util::MarlinSearch

// Fuzzes the contact search: random keys and texts (any code point, lone
// surrogates and values past U+10FFFF included) through DoMatch and the three
// drivers. Checks that nothing crashes or leaks, that every hit ends inside
// its text and has a positive length, that Match, in both modes, finds
// what the matcher's rules written out literally find, and that a search
// session typing the key character by character (with and without its
// filter) gives at every step exactly DoSearch's result. (Its start can precede the text:
// an initials hit found after a restart of the spelling scan counts the
// initials of re-examined characters again.)
//
// Input: a selector byte, then characters until a 0xFF byte ends the key; the
// rest is the text. Characters: a byte below 0x80 is that ASCII character;
// 0x80-0xBF picks one of 64 characters that matter to the search (common
// surnames, polyphonic characters, double-byte symbols, the euro sign);
// 0xC0-0xEF takes the next two bytes as a BMP unit (surrogates included);
// 0xF0-0xFE the next three bytes as a 24-bit value.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/common/kzassert.h"
#include "platform/common/kzcore.h"
#include "platform/common/kzdata.h"
#include "platform/common/kzjson.h"
#include "platform/common/refcounted.h"
#include "wrenutil/searchsession.h"
#include "wrenutil/testing/literal_match.h"
#include "wrenutil/utilmarlinsearch.h"

namespace {

constexpr std::size_t kMaxChars = 400;  // bounds the quadratic restart scan

const wchar_t kPicks[] =
    L"张王李赵曾单解区仇查朴覃盖缪吕女长行重乐"
    L"三四五小明伟芳一二中文字"
    L"，。！（）、：；“”《》　"
    L"ＡＢａｂ０１"
    L"\u20AC\u00B7\u3007\u9FA5\u4E02\uE000\uF8F5\uFFFD";

class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}
  bool empty() const { return p_ == end_; }
  std::uint8_t Byte() { return p_ == end_ ? 0 : *p_++; }

  // Characters up to a 0xFF byte (consumed) or the end.
  std::wstring Text() {
    std::wstring out;
    while (!empty() && out.size() < kMaxChars) {
      std::uint8_t b = Byte();
      if (b == 0xFF) break;
      if (b < 0x80) {
        out.push_back(static_cast<wchar_t>(b));
      } else if (b < 0xC0) {
        out.push_back(kPicks[(b - 0x80) % (sizeof kPicks / sizeof kPicks[0] - 1)]);
      } else if (b < 0xF0) {
        unsigned v = static_cast<unsigned>(Byte()) << 8 | Byte();
        out.push_back(static_cast<wchar_t>(v));
      } else {
        unsigned v = static_cast<unsigned>(Byte()) << 16;
        v |= static_cast<unsigned>(Byte()) << 8;
        v |= Byte();
        out.push_back(static_cast<wchar_t>(v));
      }
    }
    return out;
  }

 private:
  const std::uint8_t* p_;
  const std::uint8_t* end_;
};

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "search_fuzz: %s\n", what);
    std::abort();
  }
}

// Checks every hit of `hits` against the length of its text; `text_size`
// overrides the text when not negative (DoMatch's text may hold a zero
// character, which the stored text ends at).
void CheckHits(IKZArrayRead* hits, long long text_size) {
  DWORD count = 0;
  hits->GetCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    CKZComPtr<IKZDataRead> hit;
    Check(SUCCEEDED(hits->GetKZDataRead(i, &hit)) && hit, "hit record");
    int position = 0, length = 0;
    Check(SUCCEEDED(hit->GetInt32("nHitPos", &position)), "nHitPos");
    Check(SUCCEEDED(hit->GetInt32("nHitLen", &length)), "nHitLen");
    long long size = text_size;
    if (size < 0) {
      CKZBSTR text;
      hit->GetStr("strMatchedContent", &text);
      size = static_cast<long long>(std::wcslen(text.c_str()));
    }
    long long end = static_cast<long long>(position) + length;
    Check(length >= 1, "hit length below 1");
    Check(end >= 1 && end <= size, "hit ends outside the text");
  }
}

CKZComPtr<IKZArray> Items(const std::wstring& text, const std::wstring& key) {
  CKZComPtr<IKZArray> items;
  Util::Data::CreateKZArray(&items);
  // Three records: the text whole, its halves, and a record with arrays.
  for (int r = 0; r < 3; ++r) {
    CKZComPtr<IKZData> item;
    Util::Data::CreateKZData(&item);
    std::size_t half = text.size() / 2;
    item->SetStr("a", (r == 0 ? text : text.substr(0, half)).c_str());
    item->SetStr("b", (r == 0 ? key : text.substr(half)).c_str());
    if (r == 2) {
      CKZComPtr<IKZArray> strings, numbers, phones;
      Util::Data::CreateKZArray(&strings);
      Util::Data::CreateKZArray(&numbers);
      Util::Data::CreateKZArray(&phones);
      strings->AddStr(text.c_str());
      numbers->AddUInt64(text.size() * 1000003ull);
      CKZComPtr<IKZData> phone;
      Util::Data::CreateKZData(&phone);
      phone->SetStr("str_account", text.c_str());
      phones->AddKZData(phone);
      item->SetKZArray("rpt_str", strings);
      item->SetKZArray("rpt_uint64_lm", numbers);
      item->SetKZArray("rpt_str_lm", numbers);  // not records: skipped
      item->SetKZArray("rpt_str_mobile_phone", phones);
    }
    items->AddKZData(item);
  }
  return items;
}

// Types `key` into a session one character at a time (the first
// kMaxTyped characters, then the whole key) and checks every step against
// DoSearch: same code, a result array exactly when DoSearch writes one, and
// the same hit records.
constexpr std::size_t kMaxTyped = 24;

void CheckSession(const std::wstring& key, IKZArray* items, std::uint32_t limit, bool filter,
                  const std::vector<CKZStringA>& fields) {
  Util::MarlinSearch::SearchSession session(items, fields, limit);
  if (filter) session.BuildFilter();
  for (std::size_t n = 1; n <= key.size(); ++n) {
    if (n > kMaxTyped && n < key.size()) n = key.size();
    const CKZStringW typed(key.substr(0, n));
    CKZComPtr<IKZArray> expected;
    long code = Util::MarlinSearch::DoSearch(typed, items, fields, limit, &expected);
    Check(session.Search(typed) == code, "session's code differs from DoSearch's");
    Check(session.searched() == static_cast<bool>(expected),
          "session searched when DoSearch did not");
    if (!expected) continue;
    CKZComPtr<IKZArray> got;
    Check(SUCCEEDED(session.HitRecords(&got)), "session's hit records");
    Check(platform::KZArrayToJson(got) == platform::KZArrayToJson(expected),
          "session's hits differ from DoSearch's");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool kInit = [] {
    platform::SetAssertHandler([](const wchar_t*, const wchar_t*, int) { return 0; });
    return true;
  }();
  (void)kInit;
  const std::int64_t live = platform::LiveObjectCount();
  {
    platform::ScopedCore core;
    Reader in(data, size);
    std::uint8_t selector = in.Byte();
    std::wstring key = in.Text();
    std::wstring text = in.Text();

    CKZComPtr<IKZArray> hits;
    int matched = Util::MarlinSearch::DoMatch(CKZStringW(key), CKZStringW(text), &hits);
    Check((matched != 0) == static_cast<bool>(hits), "DoMatch result and array");
    if (hits) {
      DWORD count = 0;
      hits->GetCount(&count);
      Check(count == 1, "DoMatch holds one hit");
      CheckHits(hits, static_cast<long long>(text.size()));
    }

    CKZStringW lowered(key);
    lowered.MakeLower();
    BYTE mask = 0;
    std::vector<CKZStringW> runs;
    Util::MarlinSearch::AnalyseKey(lowered, mask, runs);
    std::vector<std::wstring> literal_runs;
    for (const CKZStringW& r : runs) literal_runs.push_back(r.str());
    for (int mode : {0, 1}) {
      auto expected = wrenutil::testing::LiteralMatch(text, lowered.str(), mode, &literal_runs);
      int position = -1, length = 0;
      int got = Util::MarlinSearch::Match(CKZStringW(text), lowered, mode, &runs, position, length);
      Check(got == expected.matched, "Match differs from the literal rules");
      Check(!got || (position == expected.position && length == expected.length),
            "Match's span differs from the literal rules");
    }

    CKZComPtr<IKZArray> items = Items(text, key);
    const std::uint32_t limit = selector & 3;
    const std::vector<CKZStringA> fields{"a", "b"};
    const std::vector<CKZStringA> arrays{"rpt_str"};
    const std::vector<CKZStringA> numbers{"rpt_uint64_lm"};
    CKZComPtr<IKZArray> result;
    switch ((selector >> 2) % 3) {
      case 0:
        Util::MarlinSearch::DoSearch(CKZStringW(key), items, fields, limit, &result);
        break;
      case 1:
        Util::MarlinSearch::DoSearch2(CKZStringW(key), items, {}, arrays, numbers, limit, &result);
        break;
      default:
        Util::MarlinSearch::DoSearch_Address(CKZStringW(key), items,
                                             (selector & 0x10) ? fields : std::vector<CKZStringA>{},
                                             1, 1, limit, &result);
    }
    if (result) {
      DWORD count = 0;
      result->GetCount(&count);
      Check(count <= limit + 1, "more than limit + 1 hits");
      CheckHits(result, -1);
    }
    // Field "b" of the first record holds the key itself: searching "a"
    // alone leaves the text to decide.
    CheckSession(key, items, limit, (selector & 0x20) != 0,
                 (selector & 0x40) ? std::vector<CKZStringA>{"a"} : fields);
  }
  Check(platform::LiveObjectCount() == live, "platform objects leaked");
  return 0;
}

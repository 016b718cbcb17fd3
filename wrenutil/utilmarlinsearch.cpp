#include "wrenutil/utilmarlinsearch.h"

#include <algorithm>
#include <charconv>
#include <cwchar>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>

#include "common/include/utilcore.h"
#include "platform/common/convert.h"
#include "platform/common/gbk.h"
#include "platform/common/perf.h"
#include "platform/common/pinyin.h"
#include "platform/kernelutil/configservice.h"
#include "platform/kernelutil/orgmembership.h"
#include "wrenutil/internal/search_matcher.h"

namespace Util::MarlinSearch {
namespace {

constexpr wchar_t kSource[] = L"wrenutil\\utilmarlinsearch";
constexpr int kSpellMode = 5;  // MakeSpellCode: full lower-case spelling

#define SEARCH_ASSERT_FALSE(line) WREN_ASSERT_AT(L"FALSE", kSource, (line))

// The steps that run for every text of a search are folded into the search
// loop; the rarer ones (the scan itself, writing a hit) stay calls.
#define SEARCH_HOT [[gnu::always_inline]] inline

// Lower-cases one character as CKZStringW::MakeLower does. ASCII and the
// caseless CJK block (radicals to Yi, U+2E80-U+A4CF) are answered here.
inline wchar_t Lower(wchar_t ch) {
  if (ch < 0x80) {
    return (ch >= L'A' && ch <= L'Z') ? static_cast<wchar_t>(ch + 32) : ch;
  }
  if (ch >= 0x2E80 && ch <= 0xA4CF) return ch;  // caseless CJK
  return platform::ToLowerChar(ch);
}

inline bool Equal(const char* a, const char* b, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

// True when `part` occurs in `text`.
inline bool Contains(std::string_view text, const char* part, std::size_t n) {
  if (n > text.size()) return false;
  for (std::size_t at = 0; at + n <= text.size(); ++at) {
    if (Equal(text.data() + at, part, n)) return true;
  }
  return false;
}

// The quick test in front of the spelling scan: which bytes of the key's
// GBK form the spellings of a text hold. Every distinct key byte gets a bit
// (past 64 distinct bytes they share bits, which only makes the test let
// more through); the bits of every ASCII character (lower-cased) and of
// every syllable are worked out once per key.
class SpellFilter {
 public:
  void Build(std::string_view key, const platform::CharSpeller& speller) {
    std::fill(std::begin(byte_bits_), std::end(byte_bits_), 0);
    need_ = 0;
    unsigned next = 0;
    for (char c : key) {
      std::uint64_t& bit = byte_bits_[static_cast<unsigned char>(c)];
      if (bit == 0) bit = std::uint64_t{1} << (next++ % 64);
      need_ |= bit;
    }
    for (unsigned c = 1; c < 0x80; ++c) {
      ascii_bits_[c] = byte_bits_[Lower(static_cast<wchar_t>(c))];
    }
    ascii_bits_[0] = 0;  // U+0000 converts to nothing
    syllable_bits_.assign(speller.SyllableCount(), 0);
    for (std::uint32_t i = 1; i < speller.SyllableCount(); ++i) {
      for (char c : speller.Syllable(i)) {
        syllable_bits_[i] |= byte_bits_[static_cast<unsigned char>(c)];
      }
    }
  }

  // False when no spelling scan of `text` can find the key: every hit of the
  // scan (initials, a prefix of one spelling, a run of spellings) is made of
  // bytes of the spellings of the text's characters, so a key byte that none
  // of them holds rules a hit out.
  bool MaySpell(std::wstring_view text, const platform::CharSpeller& speller) const {
    std::uint64_t seen = 0;
    for (wchar_t ch : text) {
      const auto cp = static_cast<std::uint32_t>(ch);
      if (cp < 0x80) {
        seen |= ascii_bits_[cp];
      } else {
        const std::uint32_t code = speller.GbkCode(Lower(ch));
        if (code < 0x100) {
          seen |= byte_bits_[code];  // no GBK form gives 0, whose bit is no key byte's
        } else if (std::uint32_t syllable = speller.SyllableOf(code); syllable != 0) {
          seen |= syllable_bits_[syllable];
        } else {
          seen |= byte_bits_[code >> 8] | byte_bits_[code & 0xFF];
        }
      }
    }
    return seen == need_;
  }

 private:
  std::uint64_t need_ = 0;
  std::uint64_t byte_bits_[256] = {};
  std::uint64_t ascii_bits_[0x80] = {};
  std::vector<std::uint64_t> syllable_bits_;
};

// A key in the forms the matcher compares: as given, and in GBK with its
// quick test, made on first use and kept for the rest of the call.
class MatchKey {
 public:
  void Reset(std::wstring_view wide) {
    wide_ = wide;
    converted_ = false;
  }
  std::wstring_view wide() const { return wide_; }
  // Empty when the key has no GBK form.
  std::string_view Gbk(const platform::CharSpeller& speller) {
    if (!converted_) Convert(speller);
    return gbk_;
  }
  // Valid once Gbk() was called.
  const SpellFilter& filter() const { return filter_; }

 private:
  void Convert(const platform::CharSpeller& speller) {
    converted_ = true;
    CKZStringA gbk;
    Util::Convert::UnicodeToGBK(gbk, wide_.data(), static_cast<int>(wide_.size()));
    gbk_ = gbk.str();
    filter_.Build(gbk_, speller);
  }

  std::wstring_view wide_;
  bool converted_ = false;
  std::string gbk_;
  SpellFilter filter_;
};

// What the matches of one call share: the key (lower-cased by the caller) and
// its spelled form, and buffers, so that matching a text allocates nothing
// once warmed up.
struct Scratch {
  explicit Scratch(std::wstring_view key_text) { key.Reset(key_text); }

  platform::CharSpeller speller;
  MatchKey key;
  // The key with its Chinese characters spelled out, made on first use.
  bool spelled_key_made = false;
  bool spelled_key_ok = false;
  CKZStringW spelled_key_text;
  MatchKey spelled_key;
  std::string spelled;  // the start of the scan's spelled text
};

// A text to match: `text` is followed by a zero character, so that it can be
// stored with IKZData::SetStr.
struct Text {
  const wchar_t* data;
  std::size_t size;
  std::wstring_view view() const { return {data, size}; }
  bool empty() const { return size == 0; }
};

Text TextOf(const CKZStringW& s) {
  return {s.GetString(), static_cast<std::size_t>(s.GetLength())};
}

// A string read from a bag, up to its first zero character (a system string
// always ends in one).
Text TextOf(const CKZBSTR& s) {
  const wchar_t* chars = s.c_str();
  const std::size_t length = s.Length();
  std::size_t size = 0;
  while (size < length && chars[size] != L'\0') ++size;
  return {chars, size};
}

// True when `ch` lower-cases to itself and no other character does: lower-
// case forms are letters with case, which neither ASCII's non-letters nor
// the CJK block are. (Some non-ASCII letters do lower-case to ASCII letters,
// as the Kelvin sign does to 'k'; and no character lower-cases to 'K'.)
inline bool OnlyItselfLowersTo(wchar_t ch) {
  if (ch < 0x80) return !((ch >= L'a' && ch <= L'z') || (ch >= L'A' && ch <= L'Z'));
  return ch >= 0x2E80 && ch <= 0xA4CF;
}

// The first occurrence of `key` in the lower-cased `text`.
std::size_t FindLowered(std::wstring_view text, std::wstring_view key) {
  if (key.size() > text.size()) return std::wstring_view::npos;
  const wchar_t first = key[0];
  const bool exact_first = OnlyItselfLowersTo(first);
  for (std::size_t at = 0; at + key.size() <= text.size(); ++at) {
    if (exact_first ? text[at] != first : Lower(text[at]) != first) continue;
    std::size_t k = 1;
    while (k < key.size() && Lower(text[at + k]) == key[k]) ++k;
    if (k == key.size()) return at;
  }
  return std::wstring_view::npos;
}

// The spelling scan. Each character of the text, lower-cased, gives its GBK
// form and its spelling (the form itself when it has none), and three tests
// are made in this order: the initials collected so far equal the key; the
// character's spelling begins with the key; the spellings collected since
// the scan (re)started begin with the key. When the spellings collected no
// longer occur in the key after a run had begun, the scan goes back to the
// run's start (once to the character before it) and collects anew.
//
// The collected texts are not kept whole: only whether they are still a
// prefix of the key matters for the equality and prefix tests, and only
// their first key-length bytes for the containment test, since a longer
// text cannot occur in the key.
[[gnu::noinline]] int SpellScan(std::wstring_view text, MatchKey& match_key, Scratch& s,
                                int& position, int& length) {
  const platform::CharSpeller& speller = s.speller;
  const std::string_view key_a = match_key.Gbk(speller);
  const std::size_t k = key_a.size();
  const char* key = key_a.data();
  std::string& spelled = s.spelled;
  spelled.resize(k);

  std::size_t initials_size = 0;
  bool initials_prefix = true;  // the initials so far begin the key
  std::size_t spelled_size = 0;
  bool spelled_prefix = true;  // the spellings so far begin the key (and are shorter)
  int run_start = -1;
  int last_restart = -1;
  const int size = static_cast<int>(text.size());
  for (int i = 0; i < size; ++i) {
    const std::uint32_t code = speller.GbkCode(Lower(text[static_cast<std::size_t>(i)]));
    if (code == 0) continue;  // no GBK form, or U+0000 (converts to nothing)
    char ch_bytes[2];
    std::string_view spell;
    if (code < 0x100) {
      ch_bytes[0] = static_cast<char>(code);
      spell = {ch_bytes, 1};
    } else {
      spell = speller.Spelling(code);
      if (spell.empty()) {
        ch_bytes[0] = static_cast<char>(code >> 8);
        ch_bytes[1] = static_cast<char>(code & 0xFF);
        spell = {ch_bytes, 2};
      }
    }
    // A spelling of its own is a reading (ASCII letters); a character spelled
    // as itself is not.
    const bool own = spell.data() != ch_bytes;

    if (!own) {
      initials_size = 0;  // no spelling of its own: the initials restart
      initials_prefix = true;
    } else {
      initials_prefix = initials_prefix && initials_size < k && key[initials_size] == spell[0];
      ++initials_size;
    }
    if (initials_prefix && initials_size == k) {
      position = i - static_cast<int>(k) + 1;
      length = static_cast<int>(k);
      return 1;
    }
    if (spell.size() >= k && Equal(spell.data(), key, k)) {
      position = i;
      length = 1;
      return 1;
    }

    // Collect the spelling; note whether the collected text now begins with
    // the whole key.
    bool begins_with_key = false;
    if (spelled_prefix) {
      const std::size_t compared = std::min(spell.size(), k - spelled_size);
      if (!Equal(spell.data(), key + spelled_size, compared)) {
        spelled_prefix = false;
      } else if (spelled_size + spell.size() >= k) {
        begins_with_key = true;
        spelled_prefix = false;
      }
    }
    if (spelled_size + spell.size() <= k) {
      std::copy(spell.begin(), spell.end(),
                spelled.begin() + static_cast<std::ptrdiff_t>(spelled_size));
    }
    spelled_size += spell.size();

    if (run_start == -1 && spell.size() <= k && Equal(key, spell.data(), spell.size())) {
      run_start = i;
    }
    if (begins_with_key) {
      position = run_start;
      length = i - run_start + 1;
      return 1;
    }
    if (run_start != -1 && !spelled_prefix &&
        (spelled_size > k || !Contains(key_a, spelled.data(), spelled_size))) {
      // Start again at the run's first character, or, when the scan already
      // went back there once, at the character after it.
      int restart = last_restart >= run_start - 1 ? run_start : run_start - 1;
      i = restart;
      last_restart = restart;
      run_start = -1;
      spelled_size = 0;
      spelled_prefix = true;
    }
  }
  return 0;
}

SEARCH_HOT int MatchText(Text content, MatchKey& match_key, int spell_mode,
                         const std::vector<CKZStringW>* runs, int& position, int& length,
                         Scratch& s) {
  CPerfRecordScope perf(kSource, 638, 1, L"Util::MarlinSearch::Match",
                        L"*.CGroupMemberSearcher::Match");
  const std::wstring_view key = match_key.wide();
  if (content.empty() || key.empty()) return 0;
  position = -1;
  length = 0;
  std::wstring_view text = content.view();

  if (spell_mode == 0) {
    std::size_t found = FindLowered(text, key);
    if (found == std::wstring_view::npos) return 0;
    position = static_cast<int>(found);
    length = static_cast<int>(key.size());
    return 1;
  }

  // The runs of double-byte characters of the key must occur in the text,
  // each first occurrence after the previous one's.
  if (runs != nullptr) {
    std::ptrdiff_t last = -1;
    for (const CKZStringW& run : *runs) {
      std::size_t found = text.find(run.str());
      if (found == std::wstring_view::npos || static_cast<std::ptrdiff_t>(found) <= last) {
        return 0;
      }
      last = static_cast<std::ptrdiff_t>(found);
    }
  }

  if (match_key.Gbk(s.speller).empty()) {
    SEARCH_ASSERT_FALSE(676);
    return 0;
  }
  if (!match_key.filter().MaySpell(text, s.speller)) return 0;
  return SpellScan(text, match_key, s, position, length);
}

// The room a hit record keeps for the fields of the hit: four fields (five
// with the phone index), their names, and two texts of the size given.
std::size_t HitRoom(std::size_t content_size, const wchar_t* field_name) {
  const std::size_t name_size = std::wcslen(field_name);
  return 96 + (content_size + name_size + 2) * sizeof(wchar_t);
}

[[gnu::noinline]] void InsertHit(IKZArray* hits, Text content, const wchar_t* field_name,
                                 int position, int length, IKZDataRead* record) {
  CPerfRecordScope perf(kSource, 782, 1, L"Util::MarlinSearch::InsertMatchedItem",
                        L"*.CGroupMemberSearcher::InsertMatchedItem");
  if (hits == nullptr) return;
  // The hit is a copy of the record made in one allocation with room for
  // the hit's fields; its texts share what the record's long texts hold.
  CKZComPtr<IKZData> hit;
  if (record == nullptr ||
      FAILED(platform::CloneKZData(record, 5, HitRoom(content.size, field_name), &hit))) {
    hit = nullptr;
    if (!Util::Data::CreateKZData(&hit) || !hit) return;
    if (record != nullptr) record->CopyTo(hit);
  }
  hits->AddKZData(hit);
  hit->SetInt32("nHitPos", position);
  hit->SetInt32("nHitLen", length);
  platform::SetStrShared(hit, "strMatchedContent", content.view());
  hit->SetStr("strMatchedFieldName", field_name);
}

// Steps 1 to 3 of MatchAndInsert: whether `key` matches `content` and
// where; `has_hits` tells whether there is a result array to write to.
SEARCH_HOT int FindText(Text content, MatchKey& key, bool has_hits, int spell_mode,
                        const std::vector<CKZStringW>* runs, Scratch& s, int& position,
                        int& length) {
  if (content.empty()) return 0;
  if (key.wide().empty() || !has_hits) {
    SEARCH_ASSERT_FALSE(621);
    return 0;
  }
  position = -1;
  length = 0;
  return MatchText(content, key, spell_mode, runs, position, length, s);
}

SEARCH_HOT int MatchAndInsertText(const wchar_t* field_name, Text content, MatchKey& key,
                                  IKZArray* hits, int spell_mode,
                                  const std::vector<CKZStringW>* runs, IKZDataRead* record,
                                  Scratch& s) {
  int position = -1;
  int length = 0;
  if (!FindText(content, key, hits != nullptr, spell_mode, runs, s, position, length)) {
    return 0;
  }
  InsertHit(hits, content, field_name, position, length, record);
  return 1;
}

// Spells the key of `s` out (its Chinese characters replaced by their
// spellings), once per call.
[[gnu::noinline]] void MakeSpelledKey(Scratch& s) {
  s.spelled_key_made = true;
  const std::wstring_view key = s.key.wide();
  CKZStringA key_gbk;
  CKZStringA spelled_gbk;
  Util::Convert::UnicodeToGBK(key_gbk, key.data(), static_cast<int>(key.size()));
  Util::Py::MakeSpellCode(key_gbk, kSpellMode, &spelled_gbk);
  s.spelled_key_ok = Util::Convert::GBKToUnicode(s.spelled_key_text, spelled_gbk.GetString(),
                                                 spelled_gbk.GetLength());
  s.spelled_key.Reset(s.spelled_key_text.str());
}

// Whether the key of `s` matches one text as MatchFiled decides, and where;
// `has_hits` tells whether there is a result array to write to.
SEARCH_HOT int FindInField(BYTE mask, Text content, bool has_hits,
                           const std::vector<CKZStringW>* runs, Scratch& s, int& position,
                           int& length) {
  if ((mask & kKeyHasDoubleByte) == 0) {
    int spell_mode = (mask & kKeyHasLetter) != 0 ? 1 : 0;
    return FindText(content, s.key, has_hits, spell_mode, runs, s, position, length);
  }
  if (mask == kKeyHasDoubleByte) {
    return FindText(content, s.key, has_hits, 0, runs, s, position, length);
  }
  if (FindText(content, s.key, has_hits, 1, runs, s, position, length)) return 1;
  if (runs == nullptr || runs->empty()) return 0;
  // Once more with the key spelled out: "张s" becomes "zhangs".
  if (!s.spelled_key_made) MakeSpelledKey(s);
  if (!s.spelled_key_ok) return 0;
  return FindText(content, s.spelled_key, has_hits, 1, runs, s, position, length);
}

// Matches one text with the key of `s` (see MatchFiled).
SEARCH_HOT int MatchField(BYTE mask, const wchar_t* field_name, Text content, IKZArray* hits,
                          const std::vector<CKZStringW>* runs, IKZDataRead* record, Scratch& s) {
  int position = -1;
  int length = 0;
  if (!FindInField(mask, content, hits != nullptr, runs, s, position, length)) return 0;
  InsertHit(hits, content, field_name, position, length, record);
  return 1;
}

// The decimal text of a number, followed by a zero character.
struct NumberText {
  wchar_t chars[24];
  Text text;
};

void FormatNumber(std::uint64_t value, NumberText* out) {
  char digits[24];
  auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
  std::size_t n = ec == std::errc() ? static_cast<std::size_t>(end - digits) : 0;
  for (std::size_t i = 0; i < n; ++i) out->chars[i] = digits[i];
  out->chars[n] = 0;
  out->text = {out->chars, n};
}

// A field name in its two forms: narrow (made ready for reading many
// records) for reading the record, wide (decoded from GBK) for the hit record.
struct FieldName {
  FieldName(const char* narrow, CKZStringW w) : key(narrow), wide(std::move(w)) {}
  platform::FieldKey key;
  CKZStringW wide;
};

std::vector<FieldName> FieldNames(const std::vector<CKZStringA>& names) {
  std::vector<FieldName> out;
  out.reserve(names.size());
  for (const CKZStringA& name : names) {
    CKZStringW wide;
    Util::Convert::GBKToUnicode(wide, name.GetString(), name.GetLength());
    out.emplace_back(name.GetString(), std::move(wide));
  }
  return out;
}

// The string fields a driver reads from every record, with room for their
// texts.
struct StringFields {
  explicit StringFields(const std::vector<CKZStringA>& fields) : texts(fields.size()) {
    keys.reserve(fields.size());
    wide.reserve(fields.size());
    for (FieldName& name : FieldNames(fields)) {
      keys.push_back(std::move(name.key));
      wide.push_back(std::move(name.wide));
    }
  }
  std::vector<platform::FieldKey> keys;
  std::vector<CKZStringW> wide;
  std::vector<std::wstring_view> texts;
};

// What every driver shares: the lower-cased key, its analysis, the result
// array and the scratch buffers.
struct Search {
  CKZStringW key;
  BYTE mask = 0;
  std::vector<CKZStringW> runs;
  CKZComPtr<IKZArray> hits;
  Scratch scratch{key.str()};
  CKZBSTR value;  // the string read last

  int Try(const CKZStringW& field_name, Text text, IKZDataRead* record) {
    return MatchField(mask, field_name.GetString(), text, hits, &runs, record, scratch);
  }

  // Reads the string field `name` of `source` (up to its first zero
  // character; missing: empty) and tries it as a text of `record`. The
  // platform's own bags are read in place.
  int TryStringField(platform::FieldKey& name, IKZDataRead* source, const FieldName& field,
                     IKZDataRead* record) {
    std::wstring_view text;
    const HRESULT hr = platform::PeekStr(source, name, &text);
    if (hr == E_NOTIMPL) {
      source->GetStr(name.name(), &value);
      return Try(field.wide, TextOf(value), record);
    }
    return Try(field.wide, SUCCEEDED(hr) ? Text{text.data(), text.size()} : Text{L"", 0}, record);
  }

  // The same for the string element `index` of `array`.
  int TryStringAt(IKZArrayRead* array, DWORD index, const FieldName& field, IKZDataRead* record) {
    std::wstring_view text;
    const HRESULT hr = platform::PeekStrAt(array, index, &text);
    if (hr == E_NOTIMPL) {
      array->GetStr(index, &value);
      return Try(field.wide, TextOf(value), record);
    }
    return Try(field.wide, SUCCEEDED(hr) ? Text{text.data(), text.size()} : Text{L"", 0}, record);
  }

  // Tries the string fields of `record` in their order; the platform's own
  // bags are read in place, all fields at once.
  int TryStringFields(StringFields& fields, IKZDataRead* record) {
    const std::size_t n = fields.keys.size();
    if (platform::PeekStrs(record, fields.keys.data(), n, fields.texts.data()) == E_NOTIMPL) {
      for (std::size_t i = 0; i < n; ++i) {
        record->GetStr(fields.keys[i].name(), &value);
        if (Try(fields.wide[i], TextOf(value), record)) return 1;
      }
      return 0;
    }
    for (std::size_t i = 0; i < n; ++i) {
      const std::wstring_view text = fields.texts[i];
      if (Try(fields.wide[i], Text{text.data(), text.size()}, record)) return 1;
    }
    return 0;
  }
};

// Steps 1 to 6 of every driver. Returns true with `search` ready when the
// items are to be visited; else false with the result code in *code.
bool PrepareSearch(const CKZStringW& key, IKZArrayRead* items, bool nothing_to_visit,
                   int invalid_line, int create_line, Search* search, DWORD* count, long* code) {
  *code = 0;
  if (key.IsEmpty() || items == nullptr) {
    SEARCH_ASSERT_FALSE(invalid_line);
    *code = E_INVALIDARG;
    return false;
  }
  search->key = key;
  search->key.MakeLower();
  search->scratch.key.Reset(search->key.str());
  *count = 0;
  items->GetCount(count);
  if (*count == 0 || nothing_to_visit) return false;
  if (!Util::Data::CreateKZArray(&search->hits) || !search->hits) {
    SEARCH_ASSERT_FALSE(create_line);
    *code = E_FAIL;
    return false;
  }
  AnalyseKey(search->key, search->mask, search->runs);
  return search->mask != 0;
}

// Step 7: the item loop. `visit` tries the texts of one record and returns 1
// on its first hit. The records of the platform's own arrays are borrowed
// unless `hold` asks for a reference (when host code runs during a visit).
template <class Visit>
long RunSearch(IKZArrayRead* items, DWORD count, std::uint32_t limit, bool hold, Search& search,
               IKZArray** result, Visit visit) {
  // Read ahead of the scan: the records a few steps ahead are fetched while
  // this one is matched, whatever order the allocator put them in.
  constexpr DWORD kNear = 8;
  constexpr DWORD kFar = 24;
  std::uint64_t matched = 0;
  for (DWORD i = 0; i < count; ++i) {
    if (matched > limit) break;
    IKZDataRead* item = nullptr;
    CKZComPtr<IKZDataRead> held;
    platform::PrefetchKZData(items, i + kNear, i + kFar);
    HRESULT hr = hold ? E_NOTIMPL : platform::PeekKZDataRead(items, i, &item);
    if (hr == E_NOTIMPL) {
      hr = items->GetKZDataRead(i, &held);
      item = held.Get();
    }
    if (FAILED(hr) || item == nullptr) continue;
    if (visit(item)) ++matched;
  }
  if (result != nullptr) *result = search.hits.Detach();
  return 0;
}

}  // namespace

void AnalyseKey(const CKZStringW& key, BYTE& mask, std::vector<CKZStringW>& runs) {
  mask = 0;
  if (key.IsEmpty()) return;
  CKZStringA gbk;
  // The first byte of the GBK form of key[index]; false when the character
  // does not convert or converts to nothing.
  auto first_byte = [&](int index, BYTE* b) {
    const wchar_t one[2] = {key.GetAt(index), 0};
    if (!Util::Convert::UnicodeToGBK(gbk, one, -1) || gbk.IsEmpty()) {
      return false;
    }
    *b = static_cast<BYTE>(gbk.GetAt(0));
    return true;
  };
  const int size = key.GetLength();
  int i = 0;
  while (i < size) {
    BYTE b = 0;
    if (!first_byte(i, &b)) {
      ++i;
      continue;
    }
    if (!IsDBCSLeadByte(b)) {
      if (b >= '0' && b <= '9') {
        mask |= kKeyHasDigit;
      } else if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')) {
        mask |= kKeyHasLetter;
      } else {
        mask |= kKeyHasOther;
      }
      ++i;
      continue;
    }
    int count = 0;
    for (int j = i + 1; j < size; ++j) {
      BYTE next = 0;
      if (!first_byte(j, &next) || !IsDBCSLeadByte(next)) break;
      ++count;
    }
    runs.push_back(key.Mid(i, count + 1));
    mask |= kKeyHasDoubleByte;
    i += count + 1;
  }
}

int Match(const CKZStringW& content, const CKZStringW& key, int spell_mode,
          std::vector<CKZStringW>* runs, int& position, int& length) {
  Scratch s(key.str());
  return MatchText(TextOf(content), s.key, spell_mode, runs, position, length, s);
}

void InsertMatchedItem(IKZArray* hits, const CKZStringW& content, const CKZStringW& field_name,
                       int position, int length, IKZDataRead* record) {
  InsertHit(hits, TextOf(content), field_name.GetString(), position, length, record);
}

int MatchAndInsert(const CKZStringW& field_name, const CKZStringW& content, const CKZStringW& key,
                   IKZArray* hits, int spell_mode, std::vector<CKZStringW>* runs,
                   IKZDataRead* record) {
  Scratch s(key.str());
  return MatchAndInsertText(field_name.GetString(), TextOf(content), s.key, hits, spell_mode, runs,
                            record, s);
}

int MatchFiled(BYTE mask, const CKZStringW& field_name, const CKZStringW& content,
               const CKZStringW& key, IKZArray* hits, std::vector<CKZStringW>* runs,
               IKZDataRead* record) {
  Scratch s(key.str());
  return MatchField(mask, field_name.GetString(), TextOf(content), hits, runs, record, s);
}

int DoMatch(const CKZStringW& key, const CKZStringW& content, IKZArray** hits) {
  CKZStringW lowered = key;
  lowered.MakeLower();
  BYTE mask = 0;
  std::vector<CKZStringW> runs;
  AnalyseKey(lowered, mask, runs);
  if (mask == 0) return 0;
  CKZComPtr<IKZArray> array;
  Util::Data::CreateKZArray(&array);
  int matched = MatchFiled(mask, CKZStringW(), content, lowered, array, &runs, nullptr);
  if (matched != 0 && hits != nullptr) *hits = array.Detach();
  return matched;
}

long DoSearch(const CKZStringW& key, IKZArrayRead* items, const std::vector<CKZStringA>& fields,
              std::uint32_t limit, IKZArray** result) {
  Search search;
  DWORD count = 0;
  long code = 0;
  if (!PrepareSearch(key, items, fields.empty(), 19, 49, &search, &count, &code)) {
    return code;
  }
  StringFields names(fields);
  return RunSearch(items, count, limit, false, search, result,
                   [&](IKZDataRead* item) { return search.TryStringFields(names, item); });
}

long DoSearch2(const CKZStringW& key, IKZArrayRead* items, const std::vector<CKZStringA>& fields,
               const std::vector<CKZStringA>& array_fields,
               const std::vector<CKZStringA>& number_fields, std::uint32_t limit,
               IKZArray** result) {
  Search search;
  DWORD count = 0;
  long code = 0;
  bool nothing = fields.empty() && array_fields.empty() && number_fields.empty();
  if (!PrepareSearch(key, items, nothing, 114, 142, &search, &count, &code)) {
    return code;
  }
  StringFields names(fields);
  const std::vector<FieldName> array_names = FieldNames(array_fields);
  const std::vector<FieldName> number_names = FieldNames(number_fields);
  // The organisation-membership service may run for each record.
  return RunSearch(items, count, limit, true, search, result, [&](IKZDataRead* item) {
    if (search.TryStringFields(names, item)) return 1;

    for (const FieldName& field : array_names) {
      CKZComPtr<IKZArrayRead> array;
      if (FAILED(item->GetKZArrayRead(field.key.name(), &array)) || !array) {
        continue;
      }
      DWORD n = 0;
      array->GetCount(&n);
      for (DWORD e = 0; e < n; ++e) {
        if (search.TryStringAt(array, e, field, item)) return 1;
      }
    }

    const bool hide_lm = IsHideLMNumber();
    for (const FieldName& field : number_names) {
      CKZComPtr<IKZArrayRead> array;
      if (FAILED(item->GetKZArrayRead(field.key.name(), &array)) || !array) {
        continue;
      }
      const bool filter = hide_lm && std::string_view(field.key.name()) == "rpt_uint64_lm";
      DWORD n = 0;
      array->GetCount(&n);
      for (DWORD e = 0; e < n; ++e) {
        std::uint64_t number = 0;
        array->GetUInt64(e, &number);
        if (filter) {
          CKZComPtr<IKZOrgMembershipService> members;
          DWORD is_member = 0;
          if (GetService(IKZOrgMembershipService::kIid, &members) && members) {
            members->IsOrgMember(static_cast<DWORD>(number), &is_member);
          }
          if (is_member == 0) continue;
        }
        NumberText text;
        FormatNumber(number, &text);
        if (search.Try(field.wide, text.text, item)) return 1;
      }
    }
    return 0;
  });
}

long DoSearch_Address(const CKZStringW& key, IKZArrayRead* items,
                      const std::vector<CKZStringA>& fields, int search_lm, int search_phones,
                      std::uint32_t limit, IKZArray** result) {
  Search search;
  DWORD count = 0;
  long code = 0;
  bool nothing = fields.empty() && search_lm == 0 && search_phones == 0;
  if (!PrepareSearch(key, items, nothing, 306, 330, &search, &count, &code)) {
    return code;
  }
  StringFields names(fields);
  const FieldName lm_field{"rpt_str_lm", CKZStringW(L"rpt_str_lm")};
  const FieldName phone_field{"rpt_str_mobile_phone", CKZStringW(L"rpt_str_mobile_phone")};
  platform::FieldKey account_key("str_account");
  return RunSearch(items, count, limit, false, search, result, [&](IKZDataRead* item) {
    if (search.TryStringFields(names, item)) return 1;

    if (search_lm != 0) {
      CKZComPtr<IKZArrayRead> array;
      DWORD n = 0;
      if (SUCCEEDED(item->GetKZArrayRead(lm_field.key.name(), &array)) && array) {
        array->GetCount(&n);
      }
      for (DWORD e = 0; e < n; ++e) {
        CKZComPtr<IKZDataRead> entry;
        if (FAILED(array->GetKZDataRead(e, &entry)) || !entry) continue;
        std::uint64_t account = 0;
        entry->GetUInt64("uint64_account", &account);
        NumberText text;
        FormatNumber(account, &text);
        if (search.Try(lm_field.wide, text.text, item)) return 1;
      }
    }

    if (search_phones != 0) {
      CKZComPtr<IKZArrayRead> array;
      DWORD n = 0;
      if (SUCCEEDED(item->GetKZArrayRead(phone_field.key.name(), &array)) && array) {
        array->GetCount(&n);
      }
      for (DWORD e = 0; e < n; ++e) {
        CKZComPtr<IKZDataRead> entry;
        if (FAILED(array->GetKZDataRead(e, &entry)) || !entry) continue;
        if (!search.TryStringField(account_key, entry, phone_field, item)) {
          continue;
        }
        DWORD hit_count = 0;
        search.hits->GetCount(&hit_count);
        CKZComPtr<IKZData> hit;
        if (hit_count > 0 && SUCCEEDED(search.hits->GetKZData(hit_count - 1, &hit)) && hit) {
          hit->SetDWord("nSearchHitMobilephoneIndex", e);
        }
        return 1;
      }
    }
    return 0;
  });
}

CKZStringW GetSearchConfigString(const CKZStringW& name) {
  CKZStringW value;
  {
    CKZComPtr<IKZServerConfigService> config;
    if (GetService(IKZServerConfigService::kIid, &config) && config) {
      CKZBSTR text;
      config->GetConfigString(name.GetString(), &text);
      value = text.c_str();
    }
  }
  if (value.IsEmpty()) {
    CKZComPtr<IKZLocalConfigService> config;
    if (GetService(IKZLocalConfigService::kIid, &config) && config) {
      CKZBSTR text;
      config->GetConfigString(name.GetString(), &text);
      value = text.c_str();
    }
  }
  return value;
}

bool IsHideLMNumber() { return GetSearchConfigString(CKZStringW(L"hide_clm_number")) == L"1"; }

namespace internal {

struct KeyMatcher::State {
  explicit State(const CKZStringW& lowered) : key(lowered) { AnalyseKey(key, mask, runs); }
  CKZStringW key;
  BYTE mask = 0;
  std::vector<CKZStringW> runs;
  Scratch scratch{key.str()};
};

KeyMatcher::KeyMatcher(const CKZStringW& lowered) : state_(std::make_unique<State>(lowered)) {}
KeyMatcher::~KeyMatcher() = default;

BYTE KeyMatcher::mask() const { return state_->mask; }
const std::vector<CKZStringW>& KeyMatcher::runs() const { return state_->runs; }

int KeyMatcher::Find(std::wstring_view text, int* position, int* length) {
  if (state_->mask == 0) return 0;
  int p = -1;
  int n = 0;
  if (!FindInField(state_->mask, Text{text.data(), text.size()}, true, &state_->runs,
                   state_->scratch, p, n)) {
    return 0;
  }
  *position = p;
  *length = n;
  return 1;
}

}  // namespace internal

}  // namespace Util::MarlinSearch

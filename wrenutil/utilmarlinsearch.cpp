#include "wrenutil/utilmarlinsearch.h"

#include <charconv>
#include <cwchar>
#include <string>
#include <string_view>

#include "common/include/utilcore.h"
#include "platform/common/convert.h"
#include "platform/common/gbk.h"
#include "platform/common/perf.h"
#include "platform/common/pinyin.h"
#include "platform/kernelutil/configservice.h"
#include "platform/kernelutil/orgmembership.h"

namespace Util::MarlinSearch {
namespace {

constexpr wchar_t kSource[] = L"wrenutil\\utilmarlinsearch";
constexpr int kSpellMode = 5;  // MakeSpellCode: full lower-case spelling

#define SEARCH_ASSERT_FALSE(line) WREN_ASSERT_AT(L"FALSE", kSource, (line))

// Lower-cases one character as CKZStringW::MakeLower does. ASCII and the
// caseless CJK block (radicals to Yi, U+2E80-U+A4CF) are answered here.
inline wchar_t Lower(wchar_t ch) {
  if (ch < 0x80) {
    return (ch >= L'A' && ch <= L'Z') ? static_cast<wchar_t>(ch + 32) : ch;
  }
  if (ch >= 0x2E80 && ch <= 0xA4CF) return ch;
  CKZStringW one(std::wstring(1, ch));
  one.MakeLower();
  return one.GetAt(0);
}

// Byte comparisons of short GBK texts, inline (the spelling scan makes
// several per character).
inline bool Equal(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

inline bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         Equal(text.substr(0, prefix.size()), prefix);
}

inline bool Contains(std::string_view text, std::string_view part) {
  if (part.size() > text.size()) return false;
  for (std::size_t at = 0; at + part.size() <= text.size(); ++at) {
    if (Equal(text.substr(at, part.size()), part)) return true;
  }
  return false;
}

// Buffers reused across the matches of one call, so that the per-character
// steps of the spelling scan allocate nothing once they have warmed up.
struct Scratch {
  std::wstring lowered;
  CKZStringA key_gbk;
  CKZStringA spelled_key_gbk;
  CKZStringW spelled_key;
  std::string initials;
  std::string spelled;
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

int MatchText(Text content, std::wstring_view key, int spell_mode,
              const std::vector<CKZStringW>* runs, int& position, int& length,
              Scratch& s) {
  CPerfRecordScope perf(kSource, 638, 1, L"Util::MarlinSearch::Match",
                        L"*.CGroupMemberSearcher::Match");
  if (content.empty() || key.empty()) return 0;
  position = -1;
  length = 0;
  std::wstring_view text = content.view();

  if (spell_mode == 0) {
    s.lowered.resize(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) s.lowered[i] = Lower(text[i]);
    std::size_t found = s.lowered.find(key);
    if (found == std::wstring::npos) return 0;
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
      if (found == std::wstring_view::npos ||
          static_cast<std::ptrdiff_t>(found) <= last) {
        return 0;
      }
      last = static_cast<std::ptrdiff_t>(found);
    }
  }

  Util::Convert::UnicodeToGBK(s.key_gbk, key.data(),
                              static_cast<int>(key.size()));
  const std::string_view key_a = s.key_gbk.str();
  if (key_a.empty()) {
    SEARCH_ASSERT_FALSE(676);
    return 0;
  }

  std::string& initials = s.initials;
  std::string& spelled = s.spelled;
  initials.clear();
  spelled.clear();
  int run_start = -1;
  int last_restart = -1;
  const int size = static_cast<int>(text.size());
  for (int i = 0; i < size; ++i) {
    // The character's GBK form and its spelling, through the one-character
    // forms of UnicodeToGBK and MakeSpellCode: a character without a reading
    // is spelled as itself. U+0000 converts to nothing and is skipped.
    const wchar_t lower = Lower(text[static_cast<std::size_t>(i)]);
    char ch_bytes[2];
    const int ch_size = platform::EncodeGbkChar(lower, ch_bytes);
    if (ch_size == 0 || lower == 0) continue;
    const std::string_view ch_a(ch_bytes, static_cast<std::size_t>(ch_size));
    std::string_view spell;
    if (ch_size == 2) {
      spell = platform::SpellGbkChar(static_cast<unsigned char>(ch_bytes[0]),
                                     static_cast<unsigned char>(ch_bytes[1]));
    }
    if (spell.empty()) spell = ch_a;

    if (Equal(spell, ch_a)) {
      initials.clear();  // no spelling of its own: the initials restart
    } else {
      initials.push_back(spell[0]);
    }
    if (Equal(key_a, initials)) {
      position = i - static_cast<int>(initials.size()) + 1;
      length = static_cast<int>(initials.size());
      return 1;
    }
    if (StartsWith(spell, key_a)) {
      position = i;
      length = 1;
      return 1;
    }
    spelled.append(spell);
    if (run_start == -1 && StartsWith(key_a, spell)) run_start = i;
    if (StartsWith(spelled, key_a)) {
      position = run_start;
      length = i - run_start + 1;
      return 1;
    }
    if (run_start != -1 && !Contains(key_a, spelled)) {
      // Start again at the run's first character, or, when the scan already
      // went back there once, at the character after it.
      int restart = last_restart >= run_start - 1 ? run_start : run_start - 1;
      i = restart;
      last_restart = restart;
      run_start = -1;
      spelled.clear();
    }
  }
  return 0;
}

void InsertHit(IKZArray* hits, Text content, const wchar_t* field_name,
               int position, int length, IKZDataRead* record) {
  CPerfRecordScope perf(kSource, 782, 1,
                        L"Util::MarlinSearch::InsertMatchedItem",
                        L"*.CGroupMemberSearcher::InsertMatchedItem");
  if (hits == nullptr) return;
  CKZComPtr<IKZData> hit;
  if (!Util::Data::CreateKZData(&hit) || !hit) return;
  if (record != nullptr) record->CopyTo(hit);
  hits->AddKZData(hit);
  hit->SetInt32("nHitPos", position);
  hit->SetInt32("nHitLen", length);
  hit->SetStr("strMatchedContent", content.data);
  hit->SetStr("strMatchedFieldName", field_name);
}

int MatchAndInsertText(const wchar_t* field_name, Text content,
                       std::wstring_view key, IKZArray* hits, int spell_mode,
                       const std::vector<CKZStringW>* runs,
                       IKZDataRead* record, Scratch& s) {
  if (content.empty()) return 0;
  if (key.empty() || hits == nullptr) {
    SEARCH_ASSERT_FALSE(621);
    return 0;
  }
  int position = -1;
  int length = 0;
  if (!MatchText(content, key, spell_mode, runs, position, length, s)) {
    return 0;
  }
  InsertHit(hits, content, field_name, position, length, record);
  return 1;
}

int MatchField(BYTE mask, const wchar_t* field_name, Text content,
               const CKZStringW& key, IKZArray* hits,
               const std::vector<CKZStringW>* runs, IKZDataRead* record,
               Scratch& s) {
  std::wstring_view key_view = key.str();
  if ((mask & kKeyHasDoubleByte) == 0) {
    int spell_mode = (mask & kKeyHasLetter) != 0 ? 1 : 0;
    return MatchAndInsertText(field_name, content, key_view, hits, spell_mode,
                              runs, record, s);
  }
  if (mask == kKeyHasDoubleByte) {
    return MatchAndInsertText(field_name, content, key_view, hits, 0, runs,
                              record, s);
  }
  if (MatchAndInsertText(field_name, content, key_view, hits, 1, runs, record,
                         s)) {
    return 1;
  }
  if (runs == nullptr || runs->empty()) return 0;
  // Once more with the key spelled out: "张s" becomes "zhangs".
  Util::Convert::UnicodeToGBK(s.key_gbk, key.GetString(), key.GetLength());
  Util::Py::MakeSpellCode(s.key_gbk, kSpellMode, &s.spelled_key_gbk);
  if (!Util::Convert::GBKToUnicode(s.spelled_key, s.spelled_key_gbk.GetString(),
                                   s.spelled_key_gbk.GetLength())) {
    return 0;
  }
  return MatchAndInsertText(field_name, content, s.spelled_key.str(), hits, 1,
                            runs, record, s);
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

// A field name in its two forms: narrow for reading the record, wide (decoded
// from GBK) for the hit record.
struct FieldName {
  const char* narrow;
  CKZStringW wide;
};

std::vector<FieldName> FieldNames(const std::vector<CKZStringA>& names) {
  std::vector<FieldName> out;
  out.reserve(names.size());
  for (const CKZStringA& name : names) {
    FieldName f{name.GetString(), {}};
    Util::Convert::GBKToUnicode(f.wide, name.GetString(), name.GetLength());
    out.push_back(std::move(f));
  }
  return out;
}

// What every driver shares: the lower-cased key, its analysis, the result
// array and the scratch buffers.
struct Search {
  CKZStringW key;
  BYTE mask = 0;
  std::vector<CKZStringW> runs;
  CKZComPtr<IKZArray> hits;
  Scratch scratch;
  CKZBSTR value;  // the string read last

  int Try(const FieldName& field, Text text, IKZDataRead* record) {
    return MatchField(mask, field.wide.GetString(), text, key, hits, &runs,
                      record, scratch);
  }

  // Reads the string field `name` of `source` (up to its first zero
  // character; missing: empty) and tries it as a text of `record`.
  int TryStringField(const char* name, IKZDataRead* source,
                     const FieldName& field, IKZDataRead* record) {
    source->GetStr(name, &value);
    const wchar_t* text = value.c_str();
    return Try(field, {text, std::wcslen(text)}, record);
  }

  int TryStringFields(const std::vector<FieldName>& fields,
                      IKZDataRead* record) {
    for (const FieldName& field : fields) {
      if (TryStringField(field.narrow, record, field, record)) return 1;
    }
    return 0;
  }
};

// Steps 1 to 6 of every driver. Returns true with `search` ready when the
// items are to be visited; else false with the result code in *code.
bool PrepareSearch(const CKZStringW& key, IKZArrayRead* items,
                   bool nothing_to_visit, int invalid_line, int create_line,
                   Search* search, DWORD* count, long* code) {
  *code = 0;
  if (key.IsEmpty() || items == nullptr) {
    SEARCH_ASSERT_FALSE(invalid_line);
    *code = E_INVALIDARG;
    return false;
  }
  search->key = key;
  search->key.MakeLower();
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
// on its first hit.
template <class Visit>
long RunSearch(IKZArrayRead* items, DWORD count, std::uint32_t limit,
               Search& search, IKZArray** result, Visit visit) {
  std::uint64_t matched = 0;
  for (DWORD i = 0; i < count; ++i) {
    if (matched > limit) break;
    CKZComPtr<IKZDataRead> item;
    if (FAILED(items->GetKZDataRead(i, &item)) || !item) continue;
    if (visit(item.Get())) ++matched;
  }
  if (result != nullptr) *result = search.hits.Detach();
  return 0;
}

}  // namespace

void AnalyseKey(const CKZStringW& key, BYTE& mask,
                std::vector<CKZStringW>& runs) {
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
  Scratch s;
  return MatchText(TextOf(content), key.str(), spell_mode, runs, position,
                   length, s);
}

void InsertMatchedItem(IKZArray* hits, const CKZStringW& content,
                       const CKZStringW& field_name, int position, int length,
                       IKZDataRead* record) {
  InsertHit(hits, TextOf(content), field_name.GetString(), position, length,
            record);
}

int MatchAndInsert(const CKZStringW& field_name, const CKZStringW& content,
                   const CKZStringW& key, IKZArray* hits, int spell_mode,
                   std::vector<CKZStringW>* runs, IKZDataRead* record) {
  Scratch s;
  return MatchAndInsertText(field_name.GetString(), TextOf(content), key.str(),
                            hits, spell_mode, runs, record, s);
}

int MatchFiled(BYTE mask, const CKZStringW& field_name,
               const CKZStringW& content, const CKZStringW& key,
               IKZArray* hits, std::vector<CKZStringW>* runs,
               IKZDataRead* record) {
  Scratch s;
  return MatchField(mask, field_name.GetString(), TextOf(content), key, hits,
                    runs, record, s);
}

int DoMatch(const CKZStringW& key, const CKZStringW& content,
            IKZArray** hits) {
  CKZStringW lowered = key;
  lowered.MakeLower();
  BYTE mask = 0;
  std::vector<CKZStringW> runs;
  AnalyseKey(lowered, mask, runs);
  if (mask == 0) return 0;
  CKZComPtr<IKZArray> array;
  Util::Data::CreateKZArray(&array);
  int matched = MatchFiled(mask, CKZStringW(), content, lowered, array, &runs,
                           nullptr);
  if (matched != 0 && hits != nullptr) *hits = array.Detach();
  return matched;
}

long DoSearch(const CKZStringW& key, IKZArrayRead* items,
              const std::vector<CKZStringA>& fields, std::uint32_t limit,
              IKZArray** result) {
  Search search;
  DWORD count = 0;
  long code = 0;
  if (!PrepareSearch(key, items, fields.empty(), 19, 49, &search, &count,
                     &code)) {
    return code;
  }
  const std::vector<FieldName> names = FieldNames(fields);
  return RunSearch(items, count, limit, search, result,
                   [&](IKZDataRead* item) {
                     return search.TryStringFields(names, item);
                   });
}

long DoSearch2(const CKZStringW& key, IKZArrayRead* items,
               const std::vector<CKZStringA>& fields,
               const std::vector<CKZStringA>& array_fields,
               const std::vector<CKZStringA>& number_fields,
               std::uint32_t limit, IKZArray** result) {
  Search search;
  DWORD count = 0;
  long code = 0;
  bool nothing = fields.empty() && array_fields.empty() &&
                 number_fields.empty();
  if (!PrepareSearch(key, items, nothing, 114, 142, &search, &count, &code)) {
    return code;
  }
  const std::vector<FieldName> names = FieldNames(fields);
  const std::vector<FieldName> array_names = FieldNames(array_fields);
  const std::vector<FieldName> number_names = FieldNames(number_fields);
  return RunSearch(
      items, count, limit, search, result, [&](IKZDataRead* item) {
        if (search.TryStringFields(names, item)) return 1;

        for (const FieldName& field : array_names) {
          CKZComPtr<IKZArrayRead> array;
          if (FAILED(item->GetKZArrayRead(field.narrow, &array)) || !array) {
            continue;
          }
          DWORD n = 0;
          array->GetCount(&n);
          for (DWORD e = 0; e < n; ++e) {
            CKZBSTR text;
            array->GetStr(e, &text);
            const wchar_t* chars = text.c_str();
            if (search.Try(field, {chars, std::wcslen(chars)}, item)) return 1;
          }
        }

        const bool hide_lm = IsHideLMNumber();
        for (const FieldName& field : number_names) {
          CKZComPtr<IKZArrayRead> array;
          if (FAILED(item->GetKZArrayRead(field.narrow, &array)) || !array) {
            continue;
          }
          const bool filter =
              hide_lm && std::string_view(field.narrow) == "rpt_uint64_lm";
          DWORD n = 0;
          array->GetCount(&n);
          for (DWORD e = 0; e < n; ++e) {
            std::uint64_t number = 0;
            array->GetUInt64(e, &number);
            if (filter) {
              CKZComPtr<IKZOrgMembershipService> members;
              DWORD is_member = 0;
              if (GetService(IKZOrgMembershipService::kIid, &members) &&
                  members) {
                members->IsOrgMember(static_cast<DWORD>(number), &is_member);
              }
              if (is_member == 0) continue;
            }
            NumberText text;
            FormatNumber(number, &text);
            if (search.Try(field, text.text, item)) return 1;
          }
        }
        return 0;
      });
}

long DoSearch_Address(const CKZStringW& key, IKZArrayRead* items,
                      const std::vector<CKZStringA>& fields, int search_lm,
                      int search_phones, std::uint32_t limit,
                      IKZArray** result) {
  Search search;
  DWORD count = 0;
  long code = 0;
  bool nothing = fields.empty() && search_lm == 0 && search_phones == 0;
  if (!PrepareSearch(key, items, nothing, 306, 330, &search, &count, &code)) {
    return code;
  }
  const std::vector<FieldName> names = FieldNames(fields);
  const FieldName lm_field{"rpt_str_lm", CKZStringW(L"rpt_str_lm")};
  const FieldName phone_field{"rpt_str_mobile_phone",
                              CKZStringW(L"rpt_str_mobile_phone")};
  return RunSearch(
      items, count, limit, search, result, [&](IKZDataRead* item) {
        if (search.TryStringFields(names, item)) return 1;

        if (search_lm != 0) {
          CKZComPtr<IKZArrayRead> array;
          DWORD n = 0;
          if (SUCCEEDED(item->GetKZArrayRead(lm_field.narrow, &array)) &&
              array) {
            array->GetCount(&n);
          }
          for (DWORD e = 0; e < n; ++e) {
            CKZComPtr<IKZDataRead> entry;
            if (FAILED(array->GetKZDataRead(e, &entry)) || !entry) continue;
            std::uint64_t account = 0;
            entry->GetUInt64("uint64_account", &account);
            NumberText text;
            FormatNumber(account, &text);
            if (search.Try(lm_field, text.text, item)) return 1;
          }
        }

        if (search_phones != 0) {
          CKZComPtr<IKZArrayRead> array;
          DWORD n = 0;
          if (SUCCEEDED(item->GetKZArrayRead(phone_field.narrow, &array)) &&
              array) {
            array->GetCount(&n);
          }
          for (DWORD e = 0; e < n; ++e) {
            CKZComPtr<IKZDataRead> entry;
            if (FAILED(array->GetKZDataRead(e, &entry)) || !entry) continue;
            if (!search.TryStringField("str_account", entry, phone_field,
                                       item)) {
              continue;
            }
            DWORD hit_count = 0;
            search.hits->GetCount(&hit_count);
            CKZComPtr<IKZData> hit;
            if (hit_count > 0 &&
                SUCCEEDED(search.hits->GetKZData(hit_count - 1, &hit)) && hit) {
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

bool IsHideLMNumber() {
  return GetSearchConfigString(CKZStringW(L"hide_clm_number")) == L"1";
}

}  // namespace Util::MarlinSearch

#include "wrenutil/searchsession.h"

#include <string>
#include <string_view>
#include <utility>

#include "platform/common/convert.h"
#include "platform/common/gbk.h"
#include "platform/common/pinyin.h"
#include "wrenutil/internal/search_matcher.h"
#include "wrenutil/utilmarlinsearch.h"

namespace Util::MarlinSearch {
namespace {

// Bits of the filter's masks. Bytes of spellings: a-z, 0-9, then the other
// bytes folded onto the rest. Lower-cased characters: 0-9, a-z, then the
// others hashed onto the rest. Folding only makes a mask let more through.
constexpr std::uint64_t ByteBit(unsigned char b) {
  if (b >= 'a' && b <= 'z') return std::uint64_t{1} << (b - 'a');
  if (b >= '0' && b <= '9') return std::uint64_t{1} << (26 + b - '0');
  return std::uint64_t{1} << (36 + b % 28);
}

constexpr std::uint64_t CharBit(wchar_t ch) {
  const auto c = static_cast<std::uint32_t>(ch);
  if (c >= '0' && c <= '9') return std::uint64_t{1} << (c - '0');
  if (c >= 'a' && c <= 'z') return std::uint64_t{1} << (10 + c - 'a');
  return std::uint64_t{1} << (36 + (c * 2654435761u >> 16) % 28);
}

// The lower-case form of one character as CKZStringW::MakeLower makes it;
// ASCII and the caseless CJK block (U+2E80-U+A4CF) answered here.
inline wchar_t LowerChar(wchar_t ch) {
  if (ch < 0x80) return (ch >= L'A' && ch <= L'Z') ? static_cast<wchar_t>(ch + 32) : ch;
  if (ch >= 0x2E80 && ch <= 0xA4CF) return ch;
  return platform::ToLowerChar(ch);
}

// The bit of an n-gram of spelling bytes in a 128-bit set; n-grams with a
// digit get none (phone numbers would fill the set).
inline bool GramBit(const unsigned char* b, std::size_t n, unsigned* bit) {
  std::uint32_t h = static_cast<std::uint32_t>(n);
  for (std::size_t k = 0; k < n; ++k) {
    if (b[k] >= '0' && b[k] <= '9') return false;
    h = h * 0x9E3779B1u + b[k];
  }
  *bit = (h * 0x85EBCA77u) >> 25;
  return true;
}

// What the texts of one record hold: every lower-cased character, every
// byte of the spellings the spelling scan compares (a character's reading,
// or its own GBK form when it has none), the first byte of each spelling,
// the initials of the characters with a reading, and the pairs and triples
// of consecutive bytes of each text's spellings.
struct FilterRow {
  std::uint64_t chars = 0;
  std::uint64_t bytes = 0;
  std::uint64_t heads = 0;
  std::uint32_t initials = 0;  // a-z
  std::uint64_t grams[2] = {0, 0};

  void AddGram(const unsigned char* b, std::size_t n) {
    unsigned bit = 0;
    if (GramBit(b, n, &bit)) grams[bit >> 6] |= std::uint64_t{1} << (bit & 63);
  }

  void Add(std::wstring_view text, const platform::CharSpeller& speller) {
    unsigned char last[2] = {0, 0};  // the last two bytes of the spellings so far
    std::size_t seen = 0;
    auto add_bytes = [&](std::string_view spell) {
      for (char c : spell) {
        const auto b = static_cast<unsigned char>(c);
        bytes |= ByteBit(b);
        const unsigned char pair[2] = {last[1], b};
        const unsigned char triple[3] = {last[0], last[1], b};
        if (seen >= 1) AddGram(pair, 2);
        if (seen >= 2) AddGram(triple, 3);
        last[0] = last[1];
        last[1] = b;
        ++seen;
      }
    };
    for (wchar_t ch : text) {
      const wchar_t lower = LowerChar(ch);
      chars |= CharBit(lower);
      const std::uint32_t code = speller.GbkCode(lower);
      if (code == 0) continue;
      char own[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
      std::string_view spell = code < 0x100 ? std::string_view(own + 1, 1) : speller.Spelling(code);
      if (spell.empty()) {
        spell = std::string_view(own, 2);
      } else if (code >= 0x100 && spell[0] >= 'a' && spell[0] <= 'z') {
        initials |= 1u << (spell[0] - 'a');
      }
      heads |= ByteBit(static_cast<unsigned char>(spell[0]));
      add_bytes(spell);
    }
  }
};

// What a record's row must hold for the key to match any of its texts.
// Plain keys: each character, since the key is a substring of the
// lower-cased text. Spelling-aware keys: each byte of the key's GBK form,
// since every hit of the scan is made of the spellings' bytes, and its first
// byte as the head of a spelling, since each hit starts at a spelling's
// start; then either every pair and triple of the key's bytes, for a hit
// inside one text's run of spellings, or every byte among the initials, for
// an initials hit (which a restart of the scan can make of initials that are
// not neighbours). Mixed keys: each character of the double-byte runs,
// which must occur in the text.
struct KeyNeeds {
  std::uint64_t chars = 0;
  std::uint64_t bytes = 0;
  std::uint64_t heads = 0;
  std::uint64_t grams[2] = {0, 0};
  std::uint32_t initials = 0;
  bool by_initials = false;  // an initials hit is possible

  bool Admits(const FilterRow& row) const {
    if ((row.chars & chars) != chars || (row.bytes & bytes) != bytes ||
        (row.heads & heads) != heads) {
      return false;
    }
    if ((row.grams[0] & grams[0]) == grams[0] && (row.grams[1] & grams[1]) == grams[1]) {
      return true;
    }
    return by_initials && (row.initials & initials) == initials;
  }
};

KeyNeeds NeedsOf(const CKZStringW& lowered, const internal::KeyMatcher& matcher) {
  KeyNeeds needs;
  const BYTE mask = matcher.mask();
  const bool double_byte = (mask & kKeyHasDoubleByte) != 0;
  if (!double_byte && (mask & kKeyHasLetter) != 0) {
    CKZStringA gbk;
    // A key without a GBK form matches nothing, with an assertion for each
    // text: no need, so that every record is examined as by the drivers.
    if (!Util::Convert::UnicodeToGBK(gbk, lowered.GetString(), lowered.GetLength()) ||
        gbk.IsEmpty()) {
      return needs;
    }
    const std::string& key = gbk.str();
    const auto* b = reinterpret_cast<const unsigned char*>(key.data());
    needs.by_initials = true;
    for (std::size_t k = 0; k < key.size(); ++k) {
      needs.bytes |= ByteBit(b[k]);
      if (b[k] >= 'a' && b[k] <= 'z') {
        needs.initials |= 1u << (b[k] - 'a');
      } else {
        needs.by_initials = false;
      }
      for (std::size_t n = 2; n <= 3 && k + n <= key.size(); ++n) {
        unsigned bit = 0;
        if (GramBit(b + k, n, &bit)) needs.grams[bit >> 6] |= std::uint64_t{1} << (bit & 63);
      }
    }
    needs.heads = ByteBit(b[0]);
    return needs;
  }
  if (!double_byte || mask == kKeyHasDoubleByte) {
    for (wchar_t ch : lowered.str()) needs.chars |= CharBit(ch);
    return needs;
  }
  for (const CKZStringW& run : matcher.runs()) {
    for (wchar_t ch : run.str()) needs.chars |= CharBit(LowerChar(ch));
  }
  return needs;
}

// How the matcher treats a key of this mask.
// How many candidates ahead of the one being matched the session asks for
// records to be brought into the cache.
constexpr std::size_t kReadAhead = 16;

enum class KeyKind { kPlain, kDoubleByteOnly, kSpelling, kMixed };

KeyKind KindOf(BYTE mask) {
  if (mask == kKeyHasDoubleByte) return KeyKind::kDoubleByteOnly;
  if ((mask & kKeyHasDoubleByte) != 0) return KeyKind::kMixed;
  return (mask & kKeyHasLetter) != 0 ? KeyKind::kSpelling : KeyKind::kPlain;
}

// The last key and what it found.
struct LastKey {
  bool valid = false;
  CKZStringW lowered;
  BYTE mask = 0;
  std::vector<CKZStringW> runs;
  DWORD count = 0;    // records then
  DWORD decided = 0;  // records [0, decided) were searched (the limit stops)
};

// True when every record that matches `key` matches `last` (see the header).
bool Extends(const LastKey& last, const CKZStringW& key, BYTE mask,
             const std::vector<CKZStringW>& runs) {
  if (!std::wstring_view(key.str()).starts_with(last.lowered.str())) return false;
  const KeyKind was = KindOf(last.mask);
  const KeyKind now = KindOf(mask);
  switch (was) {
    case KeyKind::kPlain:
      return now == KeyKind::kPlain;
    case KeyKind::kDoubleByteOnly:
      // Its one run must be the whole key: a character without a GBK form
      // would split it, and the mixed matcher does not skip such characters.
      return now == KeyKind::kDoubleByteOnly ||
             (last.runs.size() == 1 && last.runs[0] == last.lowered);
    case KeyKind::kSpelling:
      return true;  // now spelling or mixed: the key's GBK form only grows
    case KeyKind::kMixed: {
      const std::size_t m = last.runs.size();
      if (m == 0 || runs.size() < m) return false;
      for (std::size_t i = 0; i + 1 < m; ++i) {
        if (runs[i] != last.runs[i]) return false;
      }
      return m == 1 || runs[m - 1] == last.runs[m - 1];
    }
  }
  return false;
}

}  // namespace

struct SearchSession::Impl {
  CKZComPtr<IKZArrayRead> items;
  std::vector<platform::FieldKey> keys;
  std::vector<CKZStringW> wide;  // the field names of the hit records
  std::uint32_t limit = 0;
  CKZBSTR value;  // the string read last from a foreign record
  bool filtered = false;
  std::vector<FilterRow> rows;
  LastKey last;
  // Where the records of the hits were, parallel to the hits: only a hint
  // for reading them ahead when the next key looks at them again.
  std::vector<const void*> hit_places;
  platform::CharSpeller speller;

  // Calls `each` with the texts of the session's fields in `record`, in
  // order, as the drivers read them (up to the first zero character;
  // missing: empty), until it returns true. The platform's own records are
  // read in place, a field only when it is needed; foreign ones through
  // their interface.
  template <class Each>
  void ReadTexts(IKZDataRead* record, Each each) {
    for (std::size_t f = 0; f < keys.size(); ++f) {
      std::wstring_view text;
      const HRESULT hr = platform::PeekStr(record, keys[f], &text);
      if (hr == E_NOTIMPL) {
        record->GetStr(keys[f].name(), &value);
        const wchar_t* chars = value.c_str();
        std::size_t size = 0;
        while (size < value.Length() && chars[size] != L'\0') ++size;
        text = std::wstring_view(chars, size);
      } else if (FAILED(hr)) {
        text = std::wstring_view(L"");
      }
      if (each(f, text)) return;
    }
  }

  // Calls `visit` with the record at `index` (borrowed for the call); false
  // when it cannot be read.
  template <class Visit>
  bool WithRecord(DWORD index, Visit visit) {
    IKZDataRead* record = nullptr;
    CKZComPtr<IKZDataRead> held;
    HRESULT hr = platform::PeekKZDataRead(items, index, &record);
    if (hr == E_NOTIMPL) {
      hr = items->GetKZDataRead(index, &held);
      record = held.Get();
    }
    if (FAILED(hr) || record == nullptr) return false;
    visit(record);
    return true;
  }

  // Asks for the start of the record at `index` to be brought into the
  // cache, ahead of its visit (the platform's own bags only).
  void Prefetch(DWORD index) {
    IKZDataRead* record = nullptr;
    if (platform::PeekKZDataRead(items, index, &record) == S_OK) PrefetchAt(record);
  }
  static void PrefetchAt(const void* record) {
    if (record == nullptr) return;  // (a prefetch never faults, even when stale)
    __builtin_prefetch(record);
    __builtin_prefetch(static_cast<const char*>(record) + 64);
  }

  FilterRow RowOf(DWORD index) {
    FilterRow row;
    WithRecord(index, [&](IKZDataRead* record) {
      ReadTexts(record, [&](std::size_t, std::wstring_view text) {
        row.Add(text, speller);
        return false;
      });
    });
    return row;
  }
};

SearchSession::SearchSession(IKZArrayRead* items, const std::vector<CKZStringA>& fields,
                             std::uint32_t limit)
    : impl_(std::make_unique<Impl>()) {
  impl_->items = items;
  impl_->limit = limit;
  impl_->keys.reserve(fields.size());
  for (const CKZStringA& name : fields) {
    impl_->keys.emplace_back(name.GetString());
    CKZStringW wide;
    Util::Convert::GBKToUnicode(wide, name.GetString(), name.GetLength());
    impl_->wide.push_back(std::move(wide));
  }
}

SearchSession::~SearchSession() = default;

HRESULT SearchSession::BuildFilter() {
  Impl& d = *impl_;
  if (!d.items) return E_INVALIDARG;
  DWORD count = 0;
  d.items->GetCount(&count);
  d.rows.clear();
  d.rows.shrink_to_fit();
  d.rows.reserve(count);
  for (DWORD i = 0; i < count; ++i) d.rows.push_back(d.RowOf(i));
  d.filtered = true;
  return S_OK;
}

void SearchSession::DropFilter() {
  impl_->filtered = false;
  impl_->rows.clear();
  impl_->rows.shrink_to_fit();
}

bool SearchSession::has_filter() const { return impl_->filtered; }

std::size_t SearchSession::FilterBytes() const {
  return impl_->filtered ? impl_->rows.capacity() * sizeof(FilterRow) : 0;
}

void SearchSession::RecordInserted(DWORD index) {
  Impl& d = *impl_;
  d.last.valid = false;
  if (!d.filtered) return;
  if (index > d.rows.size()) return DropFilter();
  d.rows.insert(d.rows.begin() + index, d.RowOf(index));
}

void SearchSession::RecordChanged(DWORD index) {
  Impl& d = *impl_;
  d.last.valid = false;
  if (!d.filtered) return;
  if (index >= d.rows.size()) return DropFilter();
  d.rows[index] = d.RowOf(index);
}

void SearchSession::RecordRemoved(DWORD index) {
  Impl& d = *impl_;
  d.last.valid = false;
  if (!d.filtered) return;
  if (index >= d.rows.size()) return DropFilter();
  d.rows.erase(d.rows.begin() + index);
}

long SearchSession::Search(const CKZStringW& key) {
  Impl& d = *impl_;
  std::vector<SessionHit> before = std::move(hits_);
  std::vector<const void*> places = std::move(d.hit_places);
  hits_.clear();
  d.hit_places.clear();
  searched_ = false;
  narrowed_ = false;
  examined_ = 0;
  LastKey last = std::move(d.last);
  d.last = LastKey();
  if (key.IsEmpty() || !d.items) return E_INVALIDARG;

  CKZStringW lowered = key;
  lowered.MakeLower();
  DWORD count = 0;
  d.items->GetCount(&count);
  if (count == 0 || d.keys.empty()) return 0;
  internal::KeyMatcher matcher(lowered);
  if (matcher.mask() == 0) return 0;
  searched_ = true;

  const bool use_filter = d.filtered && d.rows.size() == count;
  const KeyNeeds needs = use_filter ? NeedsOf(lowered, matcher) : KeyNeeds();
  narrowed_ =
      last.valid && last.count == count && Extends(last, lowered, matcher.mask(), matcher.runs());

  std::uint64_t matched = 0;
  DWORD decided = count;
  // Tries the record at `index`; false once the limit stops the search.
  auto visit = [&](DWORD index) {
    if (use_filter && !needs.Admits(d.rows[index])) return true;
    ++examined_;
    d.WithRecord(index, [&](IKZDataRead* record) {
      d.ReadTexts(record, [&](std::size_t f, std::wstring_view text) {
        SessionHit hit{index, static_cast<std::uint32_t>(f), 0, 0};
        if (!matcher.Find(text, &hit.position, &hit.length)) return false;
        hits_.push_back(hit);
        d.hit_places.push_back(record);
        ++matched;
        return true;
      });
    });
    if (matched > d.limit) {
      decided = index + 1;
      return false;
    }
    return true;
  };

  bool go_on = true;
  DWORD from = 0;
  if (narrowed_) {
    // The records before `last.decided` that the shorter key missed cannot
    // match; the later ones were not searched.
    for (std::size_t h = 0; h < before.size(); ++h) {
      if (h + kReadAhead < places.size()) Impl::PrefetchAt(places[h + kReadAhead]);
      if (!(go_on = visit(before[h].index))) break;
    }
    from = last.decided;
  }
  for (DWORD i = from; go_on && i < count; ++i) {
    if (i + kReadAhead < count && (!use_filter || needs.Admits(d.rows[i + kReadAhead]))) {
      d.Prefetch(i + kReadAhead);
    }
    go_on = visit(i);
  }

  d.last.valid = true;
  d.last.lowered = std::move(lowered);
  d.last.mask = matcher.mask();
  d.last.runs = matcher.runs();
  d.last.count = count;
  d.last.decided = decided;
  return 0;
}

HRESULT SearchSession::HitRecords(IKZArray** result, std::size_t first, std::size_t count) const {
  if (result == nullptr) return E_POINTER;
  *result = nullptr;
  CKZComPtr<IKZArray> array;
  if (!Util::Data::CreateKZArray(&array) || !array) return E_FAIL;
  Impl& d = *impl_;
  for (std::size_t h = first; h < hits_.size() && h - first < count; ++h) {
    const SessionHit& hit = hits_[h];
    CKZComPtr<IKZDataRead> record;
    if (!d.items || FAILED(d.items->GetKZDataRead(hit.index, &record)) || !record) continue;
    d.ReadTexts(record, [&](std::size_t f, std::wstring_view text) {
      if (f != hit.field) return false;
      InsertMatchedItem(array, CKZStringW(text), d.wide[f], hit.position, hit.length, record);
      return true;
    });
  }
  *result = array.Detach();
  return S_OK;
}

}  // namespace Util::MarlinSearch

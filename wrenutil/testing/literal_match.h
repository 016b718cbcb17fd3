// The matcher's rules written out step by step over plain strings, with the
// platform's public conversions and nothing precomputed: the yardstick that
// tests and the fuzz target hold the fast matcher (Util::MarlinSearch::Match)
// against. Slow on purpose; never used by the library.
#ifndef WRENUTIL_WRENUTIL_TESTING_LITERAL_MATCH_H_
#define WRENUTIL_WRENUTIL_TESTING_LITERAL_MATCH_H_

#include <string>
#include <vector>

#include "platform/common/convert.h"
#include "platform/common/kzstring.h"
#include "platform/common/pinyin.h"

namespace wrenutil::testing {

// What Match returns: 1 with the span, or 0. `key_has_gbk` is false when the
// spelling-aware mode found no GBK form of the key (Match asserts then).
struct LiteralResult {
  int matched = 0;
  int position = -1;
  int length = 0;
  bool key_has_gbk = true;
};

inline LiteralResult LiteralMatch(const std::wstring& content, const std::wstring& key,
                                  int spell_mode, const std::vector<std::wstring>* runs) {
  LiteralResult r;
  if (content.empty() || key.empty()) return r;
  auto hit = [&r](int position, int length) {
    r.matched = 1;
    r.position = position;
    r.length = length;
    return r;
  };

  if (spell_mode == 0) {
    CKZStringW lowered(content);
    lowered.MakeLower();
    std::size_t found = lowered.str().find(key);
    if (found == std::wstring::npos) return r;
    return hit(static_cast<int>(found), static_cast<int>(key.size()));
  }

  if (runs != nullptr) {
    long long last = -1;
    for (const std::wstring& run : *runs) {
      std::size_t found = content.find(run);
      if (found == std::wstring::npos || static_cast<long long>(found) <= last) return r;
      last = static_cast<long long>(found);
    }
  }

  CKZStringA key_gbk;
  Util::Convert::UnicodeToGBK(key_gbk, key.data(), static_cast<int>(key.size()));
  const std::string key_a = key_gbk.str();
  if (key_a.empty()) {
    r.key_has_gbk = false;
    return r;
  }

  std::string initials;
  std::string spelled;
  int run_start = -1;
  int last_restart = -1;
  for (int i = 0; i < static_cast<int>(content.size()); ++i) {
    CKZStringW one(std::wstring(1, content[static_cast<std::size_t>(i)]));
    one.MakeLower();
    CKZStringA ch_gbk;
    if (!Util::Convert::UnicodeToGBK(ch_gbk, one.GetString(), -1)) continue;
    const std::string ch_a = ch_gbk.str();
    const std::string spell = Util::Py::MakeSpellCode(ch_gbk, 5).str();
    if (spell.empty()) continue;

    if (spell == ch_a) {
      initials.clear();
    } else {
      initials.push_back(spell[0]);
    }
    if (key_a == initials) {
      return hit(i - static_cast<int>(initials.size()) + 1, static_cast<int>(initials.size()));
    }
    if (spell.find(key_a) == 0) return hit(i, 1);
    spelled += spell;
    if (key_a.find(spell) == 0 && run_start == -1) run_start = i;
    if (spelled.find(key_a) == 0) return hit(run_start, i - run_start + 1);
    if (key_a.find(spelled) == std::string::npos && run_start != -1) {
      int restart = run_start - 1;
      if (last_restart >= run_start - 1) restart = run_start;
      i = restart;
      last_restart = restart;
      run_start = -1;
      spelled.clear();
    }
  }
  return r;
}

}  // namespace wrenutil::testing

#endif  // WRENUTIL_WRENUTIL_TESTING_LITERAL_MATCH_H_

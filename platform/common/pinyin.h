// Romanised spelling (pinyin) of GBK text.
//
// Every Chinese character of code page 936 that has a Mandarin reading is
// spelled with exactly one reading: lower case, without tone marks, with
// u-umlaut written as v (吕 -> "lv"). The reading is the first kMandarin
// reading of the Unihan database, except for the characters listed in
// scripts/pinyin_overrides.txt: polyphonic characters that are common
// surnames are spelled as the surname is read (曾 "zeng", 单 "shan", 解 "xie",
// 区 "ou", 仇 "qiu", 查 "zha", 朴 "piao", 覃 "qin", 盖 "ge", 缪 "miao", ...),
// since the main user is the contact search and people type names; a few
// others get their most common reading (长 "chang"). The table is generated
// by scripts/gen_pinyin.py into pinyin_table.inc.
//
// Characters without a reading (single-byte characters, punctuation and
// other double-byte symbols, the few Han characters Unihan gives no Mandarin
// reading) are kept as they are.
#ifndef WRENUTIL_PLATFORM_COMMON_PINYIN_H_
#define WRENUTIL_PLATFORM_COMMON_PINYIN_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/common/kzbase.h"
#include "platform/common/kzstring.h"

namespace platform {

// The spelling of the two-byte GBK character `lead` `trail`; empty when it
// has none (also for bytes that do not form a GBK character). The view
// points at static storage.
KZ_PLATFORM_API std::string_view SpellGbkChar(unsigned char lead, unsigned char trail);

// The spelling of one wide character, through its GBK form; empty when the
// character is not a two-byte GBK character or has no reading.
KZ_PLATFORM_API std::string_view SpellChar(wchar_t ch);

// Appends the spelling of GBK text to *out: each two-byte character with a
// reading becomes its reading, every other byte (a single-byte character, a
// double-byte character without a reading, a lead byte at the end) is
// copied. Never fails; does nothing for a null `out`.
KZ_PLATFORM_API void AppendSpelling(std::string_view gbk, std::string* out);

// The GBK form and the spelling of single characters, at the cost of a few
// table reads and with nothing allocated: for scans that look at every
// character of many texts (the contact search). It gives what EncodeGbkChar
// and SpellGbkChar give. Copies are cheap; the tables are built on first use
// and kept for the life of the process.
class KZ_PLATFORM_API CharSpeller {
 public:
  CharSpeller();

  // The GBK code of `ch`: the byte value (below 0x100) of a single-byte
  // character, lead * 256 + trail of a double-byte one; 0 when the
  // character has no GBK form, and for U+0000.
  std::uint32_t GbkCode(wchar_t ch) const {
    auto cp = static_cast<std::uint32_t>(ch);
    if (cp < 0x80) return cp;
    return cp <= 0xFFFF ? gbk_[cp] : 0;
  }

  // The syllable of the double-byte GBK character `code`: an index from 1
  // to SyllableCount() - 1; 0 when it has no spelling, for single-byte codes
  // and for codes that are not GBK.
  std::uint32_t SyllableOf(std::uint32_t code) const {
    std::uint32_t index = code - kFirstDoubleByte;
    if (code < kFirstDoubleByte || index >= kDoubleByteCount) return 0;
    return syllable_[index];
  }

  // The spelling of syllable `index`; empty for 0 and past the end.
  std::string_view Syllable(std::uint32_t index) const {
    return index < syllable_count_ ? syllables_[index] : std::string_view();
  }
  std::uint32_t SyllableCount() const { return syllable_count_; }

  // The spelling of the double-byte GBK character `code`; empty when it has
  // none.
  std::string_view Spelling(std::uint32_t code) const { return syllables_[SyllableOf(code)]; }

 private:
  static constexpr std::uint32_t kFirstDoubleByte = 0x8100;
  static constexpr std::uint32_t kDoubleByteCount = (0xFE - 0x81 + 1) * 0x100;

  const std::uint16_t* gbk_;
  const std::uint16_t* syllable_;  // by code - 0x8100
  const std::string_view* syllables_;
  std::uint32_t syllable_count_;
};

}  // namespace platform

namespace Util::Py {

// The spelling of GBK `text` (see AppendSpelling): every Chinese character
// becomes its lower-case, toneless reading, every other character is kept.
// `mode` 5, the mode the contact search uses, is the only mode; any other
// value gives the same result.
KZ_PLATFORM_API CKZStringA MakeSpellCode(const CKZStringA& text, int mode);

// The same into *out, replacing its content and reusing its storage (for
// loops that spell one character at a time). Does nothing for a null `out`;
// `out` may not be `&text`.
KZ_PLATFORM_API void MakeSpellCode(const CKZStringA& text, int mode, CKZStringA* out);

}  // namespace Util::Py

#endif  // WRENUTIL_PLATFORM_COMMON_PINYIN_H_

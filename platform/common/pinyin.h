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

#include <string>
#include <string_view>

#include "platform/common/kzbase.h"
#include "platform/common/kzstring.h"

namespace platform {

// The spelling of the two-byte GBK character `lead` `trail`; empty when it
// has none (also for bytes that do not form a GBK character). The view
// points at static storage.
KZ_PLATFORM_API std::string_view SpellGbkChar(unsigned char lead,
                                              unsigned char trail);

// The spelling of one wide character, through its GBK form; empty when the
// character is not a two-byte GBK character or has no reading.
KZ_PLATFORM_API std::string_view SpellChar(wchar_t ch);

// Appends the spelling of GBK text to *out: each two-byte character with a
// reading becomes its reading, every other byte (a single-byte character, a
// double-byte character without a reading, a lead byte at the end) is
// copied. Never fails; does nothing for a null `out`.
KZ_PLATFORM_API void AppendSpelling(std::string_view gbk, std::string* out);

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
KZ_PLATFORM_API void MakeSpellCode(const CKZStringA& text, int mode,
                                   CKZStringA* out);

}  // namespace Util::Py

#endif  // WRENUTIL_PLATFORM_COMMON_PINYIN_H_

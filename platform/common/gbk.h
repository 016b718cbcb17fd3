// GBK text as Windows code page 936 defines it, both ways.
//
// Single bytes 0x00-0x7F are ASCII, 0x80 is the euro sign; a byte 0x81-0xFE
// leads a two-byte character whose second byte is 0x40-0xFE (not 0x7F).
// The mapping is the one of ICU's converter "windows-936", read into lookup
// tables once, on first use (thread-safe); every conversion afterwards is a
// table lookup per character.
//
// Conversions are strict: a character without a GBK form, a lone surrogate,
// a byte sequence that is not valid GBK or that no character answers to
// makes the whole conversion fail. Wide text is `wchar_t` (UTF-32 on this
// platform); a unit above U+FFFF never converts (GBK covers the BMP only).
#ifndef WRENUTIL_PLATFORM_COMMON_GBK_H_
#define WRENUTIL_PLATFORM_COMMON_GBK_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/common/kzbase.h"

// True (1) when `test_char` leads a two-byte character of code page 936, the
// active ANSI code page of this platform: 0x81 to 0xFE.
inline int IsDBCSLeadByte(BYTE test_char) { return test_char >= 0x81 && test_char <= 0xFE; }

namespace platform {

// Converts one character. Writes its GBK form to out[0] (and out[1] for a
// double-byte character) and returns the number of bytes written, 1 or 2; 0
// when the character has no GBK form (nothing written). U+0000 gives the
// single byte 0x00. `out` must hold two bytes.
KZ_PLATFORM_API int EncodeGbkChar(wchar_t ch, char* out);

// Converts `text` to GBK into *out (replacing its content). On failure
// returns false and leaves *out empty. False for a null `out`.
KZ_PLATFORM_API bool EncodeGbk(std::wstring_view text, std::string* out);

// Converts GBK `bytes` to wide text into *out (replacing its content). On
// failure (an invalid or unassigned sequence, a lead byte at the end)
// returns false and leaves *out empty. False for a null `out`.
KZ_PLATFORM_API bool DecodeGbk(std::string_view bytes, std::wstring* out);

// The character of one GBK code: a single byte (`code` < 0x100) or a lead
// and a trail byte (`code` = lead * 256 + trail). Returns 0 when the code is
// not a valid, assigned GBK character (and for a lone lead byte); the code
// 0x00 gives U+0000 too, so callers test `code` for 0 first.
KZ_PLATFORM_API wchar_t DecodeGbkCode(unsigned code);

// The GBK code of every character of the BMP, indexed by the character: a
// byte value below 0x100 for a single byte, lead * 256 + trail for two bytes,
// 0 for none (and for U+0000). 0x10000 entries; built on first use and kept
// for the life of the process. For scans that convert every character of many
// texts (see CharSpeller in pinyin.h).
KZ_PLATFORM_API const std::uint16_t* GbkCodeTable();

}  // namespace platform

#endif  // WRENUTIL_PLATFORM_COMMON_GBK_H_

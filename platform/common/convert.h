// Text conversions: UTF-8, GBK (code page 936) and decimal texts.
#ifndef WRENUTIL_PLATFORM_COMMON_CONVERT_H_
#define WRENUTIL_PLATFORM_COMMON_CONVERT_H_

#include <cstdint>

#include "platform/common/kzbase.h"
#include "platform/common/kzstring.h"

namespace Util::Convert {

// Decodes UTF-8 bytes into wide text. `length` counts bytes; -1 (any negative
// length) reads up to the first zero byte. Invalid or truncated sequences and
// encoded surrogates become U+FFFD; a null pointer gives the empty text.
// A zero byte inside an explicit length is kept as a zero character.
KZ_PLATFORM_API CKZStringW Utf8ToWS(const char* bytes, int length);
KZ_PLATFORM_API CKZStringW Utf8ToWS(const BYTE* bytes, int length);

// Encodes wide text as UTF-8. `length` counts characters; -1 (any negative
// length) reads up to the zero character. Characters that are not Unicode
// scalar values (lone surrogates, values above U+10FFFF) become U+FFFD.
// A null pointer gives the empty text.
KZ_PLATFORM_API CKZStringA Utf8FromWS(const wchar_t* text, int length);

// Decodes GBK (Windows code page 936) bytes into wide text. `length` counts
// bytes, -1 up to the zero byte. Returns false, and leaves `out` empty, when
// the bytes are not valid code page 936 (a lead byte without its trail byte,
// an unassigned pair) or the pointer is null.
KZ_PLATFORM_API bool GBKToUnicode(CKZStringW& out, const char* bytes, int length);

// Encodes wide text as GBK (code page 936). `length` counts characters, -1 up
// to the zero character. Returns false, and leaves `out` empty, when a
// character has no code page 936 form or the pointer is null.
KZ_PLATFORM_API bool UnicodeToGBK(CKZStringA& out, const wchar_t* text, int length);

// The decimal text of an unsigned 32-bit number.
KZ_PLATFORM_API CKZStringW UIntToStr(std::uint32_t value);

}  // namespace Util::Convert

#endif  // WRENUTIL_PLATFORM_COMMON_CONVERT_H_

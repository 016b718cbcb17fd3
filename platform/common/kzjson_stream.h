// A JSON array read as it arrives, into a bag array: for long lists (a
// million contacts) that must not be held as a whole document first. The
// values are read by the rules of JsonToKZArray (kzjson.h): plain values by
// their JSON kind, one-member objects {"@tag": value} as typed values.
//
// Choices of this implementation:
// - The text is read in blocks of 64 KiB with RapidJSON's event parser; at
//   any time only the block, the records under construction and the finished
//   array are in memory.
// - Fault descriptions name the byte offset and say what was wrong; their
//   wording differs from JsonToKZArray's for malformed JSON.
// - A typed value with its tag twice ({"@u32": 1, "@u32": 2}) is refused,
//   where the whole-document reader keeps the last.
#ifndef WRENUTIL_PLATFORM_COMMON_KZJSON_STREAM_H_
#define WRENUTIL_PLATFORM_COMMON_KZJSON_STREAM_H_

#include <cstdio>
#include <string>

#include "platform/common/kzdata.h"

namespace platform {

// Reads one JSON array from `in` (borrowed; read to its end, not closed)
// into a new bag array, with one reference for the caller in *out. On
// failure returns E_INVALIDARG, stores nullptr and describes the fault in
// *error (when not null): malformed JSON, invalid UTF-8, a top-level value
// that is not an array, an unknown type tag, a value out of its type's
// range, nesting deeper than 200 levels, a read error. E_POINTER for a null
// `in` or `out`.
KZ_PLATFORM_API HRESULT JsonStreamToKZArray(std::FILE* in, IKZArray** out, std::string* error);

}  // namespace platform

#endif  // WRENUTIL_PLATFORM_COMMON_KZJSON_STREAM_H_

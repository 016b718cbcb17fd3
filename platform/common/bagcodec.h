// The stored form of a property bag: a compact binary encoding that keeps
// every field exactly as it was, so that what a store gives back equals
// (IsEqual) what it was given.
//
// Why binary and not the JSON form (kzjson.h): JSON goes through UTF-8 and
// numbers, so texts holding units that are not Unicode scalar values, the
// payload of a NaN, the sign of a zero, and boolean fields holding a value
// other than 0 or 1 would not come back exactly; a binary form keeps them all,
// is smaller and is decoded without guessing types. People read stored bags
// through the JSON form (the demo client's `settings get`).
//
// Layout (little endian): the magic "KZB1", then the record. A record is a
// u32 field count and the fields; a field is its type code (u8), its name (u32
// byte count and the bytes) and its value. Values: bool and 32-bit numbers as
// 4 bytes, u8/i8 as 1, u16/i16 as 2, 64-bit numbers and doubles (their bit
// pattern) as 8; a text as a u32 count of 32-bit units and the units; a buffer
// as a u32 byte count and the bytes; a record as above; an array as a u32
// element count and, per element, its type code and its value.
//
// Interface fields are references to live objects and cannot be stored:
// encoding a bag that holds one (at any depth) fails with E_INVALIDARG.
#ifndef WRENUTIL_PLATFORM_COMMON_BAGCODEC_H_
#define WRENUTIL_PLATFORM_COMMON_BAGCODEC_H_

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/common/kzdata.h"

namespace platform {

// Nesting deeper than this is refused by both directions.
inline constexpr int kMaxStoredDepth = 200;

// Encodes `data` into *bytes (replaced). E_POINTER for null arguments;
// E_INVALIDARG (with *error, when not null) for an interface field, nesting
// deeper than kMaxStoredDepth, or a bag that does not answer its own reads.
KZ_PLATFORM_API HRESULT EncodeKZData(IKZDataRead* data, std::vector<std::uint8_t>* bytes,
                                     std::string* error);

// Decodes bytes made by EncodeKZData into a new record (one reference for the
// caller). On any fault (wrong magic, truncation, an unknown type code, a
// count larger than the bytes left, an empty name, trailing bytes, nesting
// too deep) returns E_INVALIDARG, stores nullptr and describes the fault.
KZ_PLATFORM_API HRESULT DecodeKZData(std::span<const std::uint8_t> bytes, IKZData** out,
                                     std::string* error);

}  // namespace platform

#endif  // WRENUTIL_PLATFORM_COMMON_BAGCODEC_H_

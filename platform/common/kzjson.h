// Property bags as JSON, for tests, the demo client and hosts.
//
// A field or element is written as a plain JSON value when its type is the
// one a plain value reads as, and as a one-member object {"@type": value}
// otherwise. Plain values read as: a string -> text (8), true/false -> bool
// (1), an integer from 0 to 4294967295 -> u32 (6), a negative integer that
// fits -> i32 (7), any other integer -> i64 (14) or u64 (17) as it fits, a
// fraction -> double (15), an object -> record (11), an array -> array (12).
// The type tags are "@bool", "@u8", "@i8", "@u16", "@i16", "@u32", "@i32",
// "@u64", "@i64", "@double", "@str", "@buf" (the bytes as lower-case hex
// digits), "@data" and "@array". Example:
//   {"dwId": 7, "uint64_account": {"@u64": 7}, "bytes_title": {"@buf": "616263"}}
// Field names never begin with "@", so a one-member object with such a key is
// always a typed value. Interface fields are written as {"@interface": null}
// and cannot be read back.
#ifndef WRENUTIL_PLATFORM_COMMON_KZJSON_H_
#define WRENUTIL_PLATFORM_COMMON_KZJSON_H_

#include <string>
#include <string_view>

#include "platform/common/kzdata.h"

namespace platform {

// Parses a JSON object into a new record (one reference for the caller).
// On failure returns E_INVALIDARG, stores nullptr and describes the fault in
// *error (when not null): malformed JSON, invalid UTF-8, an unknown type tag,
// a value out of its type's range, records and arrays nested more than 200
// levels below the top one (refused while parsing, so a deep text costs no
// more than its first levels). E_OUTOFMEMORY when memory runs out.
KZ_PLATFORM_API HRESULT JsonToKZData(std::string_view json, IKZData** out, std::string* error);
// The same for a JSON array into a new bag array.
KZ_PLATFORM_API HRESULT JsonToKZArray(std::string_view json, IKZArray** out, std::string* error);

// The JSON text of a record or array; `indent` < 0 writes one line. A null
// pointer gives "null", and so does a record or array holding records and
// arrays nested more than 200 levels below it (a host's own bag that holds
// itself included) or running out of memory: never part of a tree.
KZ_PLATFORM_API std::string KZDataToJson(IKZDataRead* data, int indent = -1);
KZ_PLATFORM_API std::string KZArrayToJson(IKZArrayRead* array, int indent = -1);

}  // namespace platform

#endif  // WRENUTIL_PLATFORM_COMMON_KZJSON_H_

// A canonical one-line text of KOA records and arrays, for tests, logs and
// the demo client.
//
// A record is `{name: value, ...}` in field order; an array is
// `array<kind> [value, ...]`. Each value is its kind's name and its value:
//   i8 -5   u8 5   i16  u16  i32  u32  i64  u64   float 1.5   double 0.1
//   str "text"   wstr "text"   buf 616263 (hex)   array<u32> [...]
//   data {...}   datetime 1709618828009   guid 00ff...(32 hex digits)
//   null   bool true
// A null nested record or array is `data null` / `array null`; a kind
// outside 1-19 is `?<code>`. Floating-point values use the shortest text
// that reads back exactly. In texts, '"' and '\' are escaped with '\',
// control characters are written as \xNN, other bytes are kept (wide texts
// are written as UTF-8).
// Trees of any depth are written with a bounded stack; the text of a record
// that holds one nested object under several names holds it each time.
#ifndef WRENUTIL_PLATFORM_KOA_KOA_DUMP_H_
#define WRENUTIL_PLATFORM_KOA_KOA_DUMP_H_

#include <memory>
#include <string>

#include "platform/koa/koa.h"

namespace KOA {

// The text of a record; "data null" for an empty pointer.
KZ_PLATFORM_API std::string DumpTData(const std::shared_ptr<TData>& data);
// The text of an array; "array null" for an empty pointer.
KZ_PLATFORM_API std::string DumpTArray(const std::shared_ptr<TArray>& array);
// The name of a kind ("i8" ... "bool"), "?" for a code outside 1-19.
KZ_PLATFORM_API const char* KindName(unsigned int kind);

}  // namespace KOA

#endif  // WRENUTIL_PLATFORM_KOA_KOA_DUMP_H_

// KOADataUtil: conversion of fields, records and arrays between property bags
// (IKZData, IKZArray, IKZBuffer) and KOA records (KOA::TData, KOA::TArray,
// KOA::TBuffer).
//
// Type mapping, KOA code -> bag type code (KOA into bag):
//    1 int8 -> 3     2 uint8 -> 2    3 int16 -> 5    4 uint16 -> 4
//    5 int32 -> 7    6 uint32 -> 6   7 int64 -> 14   8 uint64 -> 17 (6, the
//    low 32 bits, under "BoolU64ToDWord")            9 float -> 15 (exact)
//   10 double -> 15  11 UTF-8 string -> 8 (cut at the first zero byte)
//   12 wide string -> 8              13 buffer -> 9 (fields only)
//   14 array -> 12   15 record -> 11 19 bool -> 1 (0 or 1)
//   16, 17, 18, 0 and codes above 19 are not converted.
// Bag type code -> KOA code (bag into KOA):
//    1 -> 19 (value != 0)   2 -> 2   3 -> 1   4 -> 4   5 -> 3
//    6 -> 6 (8, zero-extended, for array elements under "DWordToU64")
//    7 -> 5   8 -> 11 (UTF-8)   9 -> 13   11 -> 15   12 -> 14   14 -> 7
//   15 -> 10  17 -> 8; 0, 10, 13, 16 and codes above 17 are not converted.
// So a round trip KOA -> bag -> KOA keeps every kind except: float (9) comes
// back as double (10), a wide string (12) as a UTF-8 string (11), and under
// "BoolU64ToDWord" an unsigned 64-bit value (8) as unsigned 32-bit (6)
// holding its low half.
//
// The options record. Every conversion takes, last, a
// std::shared_ptr<KOA::TData> that may be empty (empty: all flags false, no
// name map). It may hold:
//   - bool "BoolU64ToDWord": KOA unsigned 64-bit values become bag DWords
//     holding the low 32 bits (read by CopyTDataFieldToKZData and
//     TArrayToKZArray);
//   - bool "DWordToU64": bag DWord array elements become KOA unsigned 64-bit
//     elements (read by KZArrayToTArray);
//   - a UTF-8 string field per renamed field: its name is the source field's
//     name, its value the target field's name (read by TDataToKZData and
//     KZDataToTData for the record's own fields; "" keeps the source name).
// Who passes the options record on to nested conversions:
//   CopyTDataFieldToKZData -> the field's nested array or record;
//   TDataToKZData          -> no one (fields are copied without options);
//   TArrayToKZArray        -> nested arrays and records among the elements;
//   KZDataToTData          -> each field copy (which does not read it);
//   CopyKZDataFieldToTData, KZArrayToTArray -> no one.
//
// Log lines: the bag-into-KOA direction logs at level 2 under the module
// "KOADataUtil", with the source text "wrenutil\marlinsdkutil\koadatautil"
// and the function "KOADataUtil::Data::CopyKZDataFieldToTData" or
// "KOADataUtil::Array::KZArrayToTArray":
//   "Unknown/Unsupported Type %c"          (the bag type code as a character)
//   "KZData To TData Failed, error is %d"  (errno of the calling thread)
//   "KZArray To TArray Failed, error is %d" (errno of the calling thread)
// The KOA-into-bag direction logs nothing.
//
// Ownership: bags and arrays given as pointers are borrowed; records and
// arrays given as shared pointers are shared for the duration of the call
// only. Nested bags, arrays and records written into a target are new objects
// made by the conversion, held by the target. Nothing is kept between calls,
// no function locks: the caller must not change the data involved from
// another thread during a call.
//
// Depth and failures: nested records and arrays are converted with an
// explicit stack, so the call stack does not grow with the data. Nesting is
// limited to 100,000 levels below the record or array given (which also ends
// a host's own bag or record that holds itself). A nested record or array
// beyond the limit is left out: in the bag-into-KOA direction it is logged as
// one that cannot be read ("KZData To TData Failed, error is 40" or "KZArray
// To TArray Failed, error is 40", 40 being ELOOP); in the KOA-into-bag
// direction the function reports failure (false, or no value) with what it
// converted so far left in the target. No function lets an exception out:
// memory exhaustion ends the call with its failure result (false, no value,
// an empty pointer, the empty string).
//
// Choices of this implementation:
// - "The last operating-system error code" is errno of the calling thread,
//   as it stands when the line is logged.
// - A KOA array holding elements of another kind than its own (see
//   platform/koa/koa.h) is read with the getter of the array's kind, so such
//   elements arrive in the bag as the empty value of that kind.
// - GetStrW with a null name and a non-empty record returns the empty string.
#ifndef WRENUTIL_WRENUTIL_MARLINSDKUTIL_KOADATAUTIL_H_
#define WRENUTIL_WRENUTIL_MARLINSDKUTIL_KOADATAUTIL_H_

#include <memory>
#include <optional>

#include "platform/common/kzdata.h"
#include "platform/common/kzptr.h"
#include "platform/common/kzstring.h"
#include "platform/koa/koa.h"
#include "wrenutil/export.h"

namespace KOADataUtil {
namespace Data {

// Copies the field `src_name` of `src` into the bag `dst` under `dst_name`
// (the source name when `dst_name` is null or empty), mapped as in the file
// comment. Adds or overwrites that one field; never removes any. Nested
// arrays and records become new bag arrays and bags converted with `options`
// (stored even when that conversion is partial); a null nested one writes
// nothing. `options` may hold "BoolU64ToDWord".
// Returns true when the source field's kind is converted (1-15, 19), even
// when nothing was written; false, writing and logging nothing, for another
// kind (a missing field is kind 0) or when `src` is empty, `dst` null or
// `src_name` null. `dst` is borrowed; it takes its own references.
WRENUTIL_API bool CopyTDataFieldToKZData(std::shared_ptr<KOA::TData> src, const char* src_name,
                                         IKZData* dst, const char* dst_name,
                                         std::shared_ptr<KOA::TData> options);

// Copies the field `src_name` of the bag `src` into the record `dst` under
// `dst_name` (the source name when null or empty), mapped as in the file
// comment. `options` is not read; nested bags and arrays are converted
// without options. Returns true when the bag type is converted, also when the
// bag's getter failed or a nested bag or array could not be read or converted
// (nothing written; the nested failures log a line); false for another type,
// a missing field included, after logging "Unknown/Unsupported Type %c".
// False without a log line when `src` is null, `dst` empty or `src_name`
// null. `src` is borrowed.
WRENUTIL_API bool CopyKZDataFieldToTData(IKZData* src, const char* src_name,
                                         std::shared_ptr<KOA::TData> dst, const char* dst_name,
                                         std::shared_ptr<KOA::TData> options);

// The UTF-8 string field `name` of `data` as wide text: the field's
// `GetString` up to its first zero byte, decoded. The field's kind is not
// checked, so a missing or non-string field gives the empty string (the KOA
// getters are strict). An empty `data` or a null `name` gives the empty string.
WRENUTIL_API CKZStringW GetStrW(std::shared_ptr<KOA::TData> data, const char* name);

// Fill form: copies every field of `src` into `dst` in field order, each with
// CopyTDataFieldToKZData and an empty options record, under the name that
// `options` maps it to (GetString of the field's name; "" keeps the name).
// Fields already in `dst` stay unless overwritten. Fields that cannot be
// converted are left out. Returns false when `src` is empty or `dst` null,
// and on the failures of the file comment (too deep, out of memory). `dst` is
// borrowed.
WRENUTIL_API bool TDataToKZData(std::shared_ptr<KOA::TData> src, IKZData* dst,
                                std::shared_ptr<KOA::TData> options);

// Create form: a new bag filled as above; the optional owns its one
// reference. No value when `src` is empty or the fill form returned false.
WRENUTIL_API std::optional<CKZComPtr<IKZData>> TDataToKZData(std::shared_ptr<KOA::TData> src,
                                                             std::shared_ptr<KOA::TData> options);

// A new record holding every field of `src`, each copied with
// CopyKZDataFieldToTData under the name that `options` maps it to (the
// field's own name when `options` is empty or maps it to ""). Fields that
// cannot be converted are left out (and logged). Returns an empty pointer
// when `src` is null or memory runs out. `src` is borrowed.
WRENUTIL_API std::shared_ptr<KOA::TData> KZDataToTData(IKZData* src,
                                                       std::shared_ptr<KOA::TData> options);

}  // namespace Data

namespace Array {

// Fill form: appends every element of `src`, read with the getter of the
// array's kind, to `dst` after the elements already there, mapped as in the
// file comment. Under "BoolU64ToDWord" unsigned 64-bit elements become DWords
// of their low 32 bits. Nested arrays and records become new bag arrays and
// bags converted with `options` and appended whatever that conversion
// reported (a null element becomes an empty one, keeping positions).
// Returns false, appending and logging nothing, when `src` is empty, `dst`
// null or the array's kind is not converted (0, 13, 16, 17, 18, above 19: an
// array of buffers cannot be converted); else true. `dst` is borrowed.
WRENUTIL_API bool TArrayToKZArray(std::shared_ptr<KOA::TArray> src, IKZArray* dst,
                                  std::shared_ptr<KOA::TData> options);

// Create form: a new bag array filled as above; the optional owns its one
// reference. No value when `src` is empty or the fill form returned false.
WRENUTIL_API std::optional<CKZComPtr<IKZArray>> TArrayToKZArray(
    std::shared_ptr<KOA::TArray> src, std::shared_ptr<KOA::TData> options);

// A new KOA array of the elements of `src`, each converted by its own type.
// Under "DWordToU64" DWord elements become unsigned 64-bit elements. Nested
// bags and arrays are converted without options. Elements that cannot be read
// or converted are skipped, so later ones move up: an unsupported type logs
// "Unknown/Unsupported Type %c", a nested bag or array that cannot be read
// or converted logs "KZData To TData Failed, error is %d" or "KZArray To
// TArray Failed, error is %d"; a failing read of a number, string or buffer
// is skipped silently, except that of a DWord, which appends 0. The KOA
// array takes the kind of its first element (see platform/koa/koa.h for
// mixed kinds). No value when `src` is null or memory runs out.
// `src` is borrowed.
WRENUTIL_API std::optional<std::shared_ptr<KOA::TArray>> KZArrayToTArray(
    IKZArray* src, std::shared_ptr<KOA::TData> options);

}  // namespace Array
}  // namespace KOADataUtil

#endif  // WRENUTIL_WRENUTIL_MARLINSDKUTIL_KOADATAUTIL_H_

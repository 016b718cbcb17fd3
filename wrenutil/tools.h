// Util::Tools: the data tools over property bags.
//
// - Membership tests: whether a number or a text occurs in a bag array, as an
//   element or as one named field of the records of an array, and where.
// - Comparisons: whole records and arrays, and one named field of a first
//   record against one named field of a second record.
// - Conversions between wide text and UTF-8 bytes, for single values and for
//   whole records whose byte and text fields are told apart by the name
//   prefixes "bytes_" and "str_"; and a text shortened at its beginning.
//
// Every message goes to the platform log with the module
// "ML_Others_UtilTools", the source text "file", the function text "func" and
// the context suffix (time, account numbers, client version, address); the
// message itself starts with the qualified function name.
//
// Inputs are borrowed: no function keeps a reference to a bag it is given.
// Nothing here throws and nothing is kept between calls: when memory runs out
// a function returns 0 (a conversion may then leave a partly filled record
// in its slot, with one reference for the caller).
//
// Depth: the deep comparisons and copies are those of the bags themselves
// (IsEqual, CopyField); this file walks only the top level of a record.
//
// Choices of this implementation, where the design leaves them open:
// - A null value text in the text variants is the empty text (as a null
//   system string is), so it is found where an element or field holds "".
// - A null field name names no field: the record variants then find nothing,
//   and the field comparisons see the field as absent from that record.
// - Texts compare unit by unit, case-sensitively, up to their first zero
//   character.
// - `unsigned long` is 64 bits on this platform; a DWord value above
//   0xFFFFFFFF equals no 32-bit element.
// - Lengths of texts count the units of the wide string: whole code points
//   on this platform, where wide characters are 32 bits.
#ifndef WRENUTIL_WRENUTIL_TOOLS_H_
#define WRENUTIL_WRENUTIL_TOOLS_H_

#include <cstdint>

#include "platform/common/kzdata.h"
#include "platform/common/kzstring.h"
#include "wrenutil/export.h"

namespace Util::Tools {

// ---------------------------------------------------------------------------
// Membership tests. Each returns 1 when the value is found, else 0. On a hit
// `position` receives the zero-based position of the first (lowest) match;
// otherwise it keeps its value.
//
// A null array logs (level 2) "<function>p...ArrRead为空，..." and returns 0.
// A failing count reads as an empty array; elements or fields that cannot be
// read (wrong type, absent field, failing read) are never equal.

// Looks for `value` among the u32 elements of `array`. A hit logs (level 3)
// "Util::Tools::IsDWordInKZArray%lu在数组中找到了，是第%lu个元素".
WRENUTIL_API int IsDWordInKZArray(unsigned long value, IKZArrayRead* array,
                                  unsigned long& position);
// The same over u64 elements; a hit logs "...%llu在数组中找到了，是第%lu个元素".
WRENUTIL_API int IsUInt64InKZArray(std::uint64_t value, IKZArrayRead* array,
                                   unsigned long& position);
// The same over string elements; a hit logs "...%s在数组中找到了，是第%lu个元素".
WRENUTIL_API int IsBSTRInKZArray(wchar_t* value, IKZArrayRead* array, unsigned long& position);

// Looks for `value` in the u32 field `field_name` of each record of `array`
// (elements that are not records are passed over). No message on a hit; a
// null array logs (level 2) "<function>pDstArrRead为空，返回FASLE".
WRENUTIL_API int IsDWordInKZDataArray(unsigned long value, wchar_t* field_name, IKZArrayRead* array,
                                      unsigned long& position);
WRENUTIL_API int IsUInt64InKZDataArray(std::uint64_t value, wchar_t* field_name,
                                       IKZArrayRead* array, unsigned long& position);
WRENUTIL_API int IsBSTRInKZDataArray(wchar_t* value, wchar_t* field_name, IKZArrayRead* array,
                                     unsigned long& position);

// ---------------------------------------------------------------------------
// Comparisons. Each returns 1 when equal, 0 when not or when refused.

// Whole records: 1 when both pointers are the same (both null included),
// logged at level 3 as "%s: pDataNew（%x） == pDataOld（%x）"; 0 when exactly
// one is null, logged at level 3 as "%s: pDataNew（%x）、pDataOld（%x）有一个为空，
// 而另一个不为空" (the first %x is `second`, the second %x is `first`, each the
// low 32 bits of the pointer); otherwise 1 exactly when `first->IsEqual(second)`
// answers 0 (deep equality, field order ignored).
WRENUTIL_API int CompareKZData(IKZData* first, IKZData* second);
// The same for arrays, with "pArrayNew" / "pArrayOld" in the messages.
WRENUTIL_API int CompareKZArray(IKZArray* first, IKZArray* second);

// One field of each record: `first_name` is looked up only in `first`,
// `second_name` only in `second`. A null record logs (level 2)
// "%s: pDataNew或pDataOld为空，请保证两者都不为空，直接返回FALSE。" and returns 0.
// Failing reads are not reported: the preset value (0, empty) is compared.
//
// DWord: 1 when neither record has its field; else the first's u32 (0 when
// unreadable) against the second's field as Util::Data::EqualDWord sees it
// (an absent field equals 0).
WRENUTIL_API int CompareKZDataFieldValueDWord(IKZData* first, IKZData* second,
                                              const char* first_name, const char* second_name);
// Str: 1 when the first's text is empty (absent or "") and the second has no
// such field; else the first's text against Util::Data::EqualStr of the
// second (an absent field equals "").
WRENUTIL_API int CompareKZDataFieldValueStr(IKZData* first, IKZData* second, const char* first_name,
                                            const char* second_name);
// UInt64: 1 when neither has its field; else both fields read as u64, an
// unreadable one as 0, and compared.
WRENUTIL_API int CompareKZDataFieldValueUInt64(IKZData* first, IKZData* second,
                                               const char* first_name, const char* second_name);
// KZBuffer: 1 when neither has its field; else the first's bytes (none when
// unreadable) against Util::Data::EqualBuf of the second.
WRENUTIL_API int CompareKZDataFieldValueKZBuffer(IKZData* first, IKZData* second,
                                                 const char* first_name, const char* second_name);
// KZArray: 1 when neither has its field; else the first's array (possibly
// none) against Util::Data::EqualKZDataArray of the second (deep).
WRENUTIL_API int CompareKZDataFieldValueKZArray(IKZData* first, IKZData* second,
                                                const char* first_name, const char* second_name);
// KZData: 1 when neither has its field; else the first's record (possibly
// none) against Util::Data::EqualKZData of the second (deep).
WRENUTIL_API int CompareKZDataFieldValueKZData(IKZData* first, IKZData* second,
                                               const char* first_name, const char* second_name);

// Placeholders: do nothing and return 0 (null accepted).
WRENUTIL_API int PrintDump(IKZDataRead* data);
WRENUTIL_API int PrintDump(IKZArrayRead* array);

// ---------------------------------------------------------------------------
// Conversions.

// Decodes the buffer's bytes as UTF-8 into `text` (invalid sequences become
// U+FFFD). A null buffer empties `text`. Returns 1.
WRENUTIL_API int ConvertBufferToCString(IKZBuffer* buffer, CKZStringW& text);

// Encodes `text` up to its first zero character as UTF-8 into a new buffer
// (size 0 for the empty text) and stores it in *buffer with one reference for
// the caller. Whatever *buffer held is overwritten, not released. A null
// `buffer` slot is accepted: the bytes are then discarded. Returns 1.
WRENUTIL_API int ConvertCStringToBuffer(CKZStringW text, IKZBuffer** buffer);

// Creates a new record in *ppDstData (one reference for the caller; whatever
// the slot held is overwritten, not released) and copies `pSrcData` into it
// field by field, in order: every buffer field becomes a string field holding
// its bytes decoded as UTF-8, named with each "bytes_" replaced by "str_";
// every other field is copied deeply under its own name (this needs the
// source's writable view; a source without one contributes only its buffer
// fields). Returns 1, also for a null source (the new record stays empty,
// logged at level 2 "<function>pSrcData为空，不需要转换，返回TRUE"). Returns 0
// for a null slot ("ppDstData为空，返回FALSE") or when the record cannot be
// created ("(*ppDstData)为空，创建失败，返回FASLE"), both logged at level 2.
WRENUTIL_API int ConvertBufferToCStringInKZDataWithBytesPrefix(IKZDataRead* pSrcData,
                                                               IKZData** ppDstData);
// The reverse: every string field becomes a buffer field holding the text as
// UTF-8, named with each "str_" replaced by "bytes_". Same results and
// messages, with this function's name.
WRENUTIL_API int ConvertCStringToBufferInKZDataWithStrPrefix(IKZDataRead* pSrcData,
                                                             IKZData** ppDstData);

// Shortens `text` at its beginning: when it is not longer than `max_length`
// units, `result` is the text; otherwise "..." followed by its last
// `max_length` - 1 units (max_length + 2 units in all). With `max_length` 0 a
// non-empty text becomes "..." alone. Returns 1.
WRENUTIL_API int StringBeginEllipsis(CKZStringW text, CKZStringW& result, unsigned long max_length);

}  // namespace Util::Tools

#endif  // WRENUTIL_WRENUTIL_TOOLS_H_

// Text dumps of property bags for the demo client: an indented tree with the
// type of every field, as `wrenutil bag show` prints it.
#ifndef WRENUTIL_APPS_WRENUTIL_BAG_TREE_H_
#define WRENUTIL_APPS_WRENUTIL_BAG_TREE_H_

#include <string>
#include <string_view>

#include "platform/common/kzdata.h"

namespace wrenutil_app {

// The short name of a type code: "bool", "u8", "i8", "u16", "i16", "u32",
// "i32", "str", "buf", "object", "record", "array", "i64", "double", "u64";
// "type<N>" for any other code.
std::string TypeName(BYTE type);

// An indented tree (UTF-8, two spaces per level, one line per field or
// element, '\n' after each), for example
//
//   dwUin: u32 = 10008
//   strName: str = "查磊"
//   rpt_str_mobile_phone: array[2]
//     [0]: record{1}
//       str_account: str = "18157994212"
//
// Texts are quoted with JSON escapes; buffers show their size and up to 32
// bytes in hexadecimal; object fields show "(object)". A field that cannot be
// read shows "<unreadable>". `data` and `array` are borrowed; null prints
// "(null)\n".
std::string FormatBagTree(IKZDataRead* data);
std::string FormatArrayTree(IKZArrayRead* array);

// A text as a JSON string literal (quotes, backslash escapes for control
// characters, quotes and backslashes); other characters as UTF-8.
std::string QuoteText(std::wstring_view text);

}  // namespace wrenutil_app

#endif  // WRENUTIL_APPS_WRENUTIL_BAG_TREE_H_

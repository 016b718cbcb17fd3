// XML to property bags, on expat.
//
// How a document becomes a bag:
// - The root element is the target bag itself: its attributes and children
//   become the target's fields; its name is reported to the caller.
// - An attribute becomes a text field of its name holding its value.
// - A child element becomes a record appended to the array field named by
//   the element, in document order. An element that occurs once is still an
//   array of one record, so a reader never has to guess:
//     <Config><SessionProtocol ProtoType="0"/></Config>
//   gives the target {"SessionProtocol": [{"ProtoType": "0"}]}.
// - The character data of an element (text and CDATA, joined) becomes the
//   text field "#text"; data that is only white space is dropped. The name
//   cannot clash with an attribute, as XML names never begin with '#'.
// - Names are kept as written (UTF-8, namespace prefixes included).
//   Comments and processing instructions are skipped.
//
// Refused, with a failure and an error text "line L, column C: ...":
// malformed XML; an empty document; bytes that are not UTF-8 (the document's
// own encoding declaration is overridden: the input is always UTF-8); any
// document type declaration (so no entity can be declared, expanded or
// loaded); a name used both as an attribute and as a child element of one
// element; more than XmlLimits allow. The target is changed only on success.
#ifndef WRENUTIL_PLATFORM_COMMON_KZXML_H_
#define WRENUTIL_PLATFORM_COMMON_KZXML_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/common/kzbase.h"

struct IKZData;

namespace Util::Convert {
// Converts the XML text of the system string `xml` into fields of `target`
// (borrowed), as described above. Returns 1 on success, 0 on failure. When
// `message` is not null it receives a new system string for the caller to
// free: the root element's name on success, the error text on failure.
// `reserved` is not used (pass null). Beyond the refusals above, the text
// fails when it is null or empty, starts with a byte-order mark (U+FEFF: the
// mark belongs to bytes, not to decoded text), or holds a character that is
// not a Unicode scalar value. A null target fails.
KZ_PLATFORM_API int ConvertXMLStrToKZData(BSTR xml, BSTR* message, IKZData* target,
                                          IKZData* reserved);
}  // namespace Util::Convert

namespace platform {

struct XmlLimits {
  std::size_t max_bytes = 8u << 20;   // the document's size
  int max_depth = 256;                // the root is at depth 1
  std::size_t max_elements = 200000;  // elements of the document
};

// The same conversion from UTF-8 bytes (an optional UTF-8 byte-order mark at
// the start is accepted). S_OK and the root's name in *root_or_error, or
// E_INVALIDARG and the error text; E_POINTER for a null target.
// `root_or_error` may be null.
KZ_PLATFORM_API HRESULT XmlToKZData(std::string_view utf8, IKZData* target,
                                    std::string* root_or_error, const XmlLimits& limits = {});

}  // namespace platform

#endif  // WRENUTIL_PLATFORM_COMMON_KZXML_H_

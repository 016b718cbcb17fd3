// Contacts' names as the client's kernel library answers them: the raw name
// (the name a contact is listed under) and the combined name (name and
// account together, the way the contact list shows an entry). The stand-in
// keeps a process-wide table of names that hosts and tests fill.
//
// Choices of this stand-in:
// - The account of a contact is its contact number in decimal.
// - The combined name is "name(account)", for example "赵阳(10001)"; a
//   contact without a known name is shown by its account alone ("10001").
// - The raw name of a contact without a known name is the empty text.
#ifndef WRENUTIL_PLATFORM_KERNELUTIL_CONTACTNAMES_H_
#define WRENUTIL_PLATFORM_KERNELUTIL_CONTACTNAMES_H_

#include "platform/common/kzbase.h"
#include "platform/common/kzstring.h"

namespace Util::Contact {
// "name(account)", or the account alone when the name is unknown or empty.
KZ_PLATFORM_API CKZStringW GetCombineName(unsigned long uin);
// The name the contact is listed under; empty when unknown.
KZ_PLATFORM_API CKZStringW GetRawName(unsigned long uin);
}  // namespace Util::Contact

namespace platform {
// Sets (or, with a null or empty name, forgets) the name of `uin`.
KZ_PLATFORM_API void SetContactName(DWORD uin, const wchar_t* name);
// Forgets every name.
KZ_PLATFORM_API void ClearContactNames();
}  // namespace platform

#endif  // WRENUTIL_PLATFORM_KERNELUTIL_CONTACTNAMES_H_

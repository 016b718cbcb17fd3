// Objects that a library keeps on purpose until the process ends (a
// process-wide instance made on first use, and what it holds), declared by
// their holder so that leak checks can tell them from leaks.
//
// A leak check compares UnaccountedObjectCount() before and after: every
// live platform object (LiveObjectCount) that is not declared here counts.
// Declaring is explicit and per object; nothing is excused by kind.
#ifndef WRENUTIL_PLATFORM_COMMON_LIFETIME_H_
#define WRENUTIL_PLATFORM_COMMON_LIFETIME_H_

#include <cstdint>

#include "platform/common/kzbase.h"

namespace platform {

// Declares that `object` (borrowed; the holder keeps its own reference) stays
// alive until the process ends. The same pointer declared twice counts once;
// null is ignored.
KZ_PLATFORM_API void DeclareProcessObject(IUnknown* object);
// Withdraws the declaration of `object` (its holder let it go). Unknown or
// null pointers are ignored.
KZ_PLATFORM_API void WithdrawProcessObject(IUnknown* object);
// How many objects are declared now.
KZ_PLATFORM_API std::int64_t ProcessObjectCount();
// LiveObjectCount() minus ProcessObjectCount().
KZ_PLATFORM_API std::int64_t UnaccountedObjectCount();

}  // namespace platform

#endif  // WRENUTIL_PLATFORM_COMMON_LIFETIME_H_

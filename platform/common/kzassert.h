// Assertions: a broken precondition is reported with its expression text,
// its source text and its line; the handler decides what is shown.
#ifndef WRENUTIL_PLATFORM_COMMON_KZASSERT_H_
#define WRENUTIL_PLATFORM_COMMON_KZASSERT_H_

#include <functional>

#include "platform/common/kzbase.h"

// Reports a failed assertion to the current handler and returns its answer:
// 1 asks the caller to break into an attached debugger, 0 to go on. The
// default handler writes one log line (level 1, module "KZAssert") and
// answers 0. Null texts are reported as empty texts.
KZ_PLATFORM_API int KZAssert(const wchar_t* expression, const wchar_t* file, int line);

namespace platform {

using AssertHandler = std::function<int(const wchar_t* expression, const wchar_t* file, int line)>;

// Replaces the handler; returns the previous one. An empty handler restores
// the default.
KZ_PLATFORM_API AssertHandler SetAssertHandler(AssertHandler handler);

// Stops in the debugger when one is attached to the process; does nothing
// otherwise.
KZ_PLATFORM_API void DebugBreakIfAttached();

}  // namespace platform

#endif  // WRENUTIL_PLATFORM_COMMON_KZASSERT_H_

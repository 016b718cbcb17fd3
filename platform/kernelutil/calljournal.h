// The call journal: a list of one-line texts in which the in-memory services
// and the stand-in functions of the contact menus note what they were asked
// to do ("OpenChatSession(10002, 0)", "ShortcutAdd(dwKey=10002, cKeyType=1)").
// Tests compare it as a whole; the demo client prints it.
//
// The journal is process-wide and locked; notes keep their order.
#ifndef WRENUTIL_PLATFORM_KERNELUTIL_CALLJOURNAL_H_
#define WRENUTIL_PLATFORM_KERNELUTIL_CALLJOURNAL_H_

#include <string>
#include <vector>

#include "platform/common/kzbase.h"

namespace platform {

// Appends one note.
KZ_PLATFORM_API void NoteCall(std::wstring note);
// Hands out the notes written so far and empties the journal.
KZ_PLATFORM_API std::vector<std::wstring> TakeCallJournal();

}  // namespace platform

#endif  // WRENUTIL_PLATFORM_KERNELUTIL_CALLJOURNAL_H_

// Util::AFChatSession and Util::ChatSession: tip bars of chat windows.
//
// A chat window shows tip bars above its message area: blue bars and safe
// bars (blue bars of bar type 1). These shortcuts ask the chat frame to write
// or delete one; the tip travels in a bag whose fields the frame defines.
// The frame stores the new bar's identifier into "nBlueBarID" (i32) of the
// bag it was given; the writes read it back.
//
// Event codes sent: 219 write a blue bar, 220 delete a blue bar, 221 write a
// safe bar, 222 delete a safe bar. Util::ChatSession::DeleteSafeBarTipInChatSession
// is the blue-bar delete of its family: it sends 220.
//
// Bags are borrowed. Nothing is logged or asserted.
#ifndef WRENUTIL_WRENUTIL_CHATSESSION_H_
#define WRENUTIL_WRENUTIL_CHATSESSION_H_

#include "platform/afutil/chatframe.h"
#include "platform/common/kzdata.h"
#include "wrenutil/export.h"

namespace Util::AFChatSession {

// Sends 219 with `data` (may be null; the event goes out anyway) and returns
// the "nBlueBarID" the frame left in the bag, or -1 when the bag is null or
// has no such i32 field. `frame_type` is borrowed and may be null (the
// frame's refusal is ignored; the answer is then -1 or a stale identifier
// already in the bag).
WRENUTIL_API int WriteBlueBarTipInChatSession(IAFChatFrameType* frame_type, IKZData* data);
// Sends 220 with `data` and returns the frame's answer (negative on failure).
WRENUTIL_API int DeleteBlueBarTipInChatSession(IAFChatFrameType* frame_type, IKZData* data);
// Sets "dwBlueBarType" = 1 in a non-null bag, sends 221 and returns the
// "nBlueBarID" read back, or -1.
WRENUTIL_API int WriteSafeBarTipInChatSession(IAFChatFrameType* frame_type, IKZData* data);
// Sends 222 with `data` and returns the frame's answer.
WRENUTIL_API int DeleteSafeBarTipInChatSession(IAFChatFrameType* frame_type, IKZData* data);

}  // namespace Util::AFChatSession

namespace Util::ChatSession {

// The same four on the chat (`id`, `type`): each obtains the chat's frame
// type, forwards to its Util::AFChatSession form and releases the frame
// type. When the frame type cannot be had, the request goes out with a null
// frame type and the answer is what that gives (-1 for the writes, a
// negative code for the deletes).
WRENUTIL_API int WriteBlueBarTipInChatSession(DWORD id, int type, IKZData* data);
WRENUTIL_API int DeleteBlueBarTipInChatSession(DWORD id, int type, IKZData* data);
// Sets, in a non-null bag, "dwId" = id, "nChatType" = type and
// "dwBlueBarType" = 1 (in this order) before the safe-bar write.
WRENUTIL_API int WriteSafeBarTipInChatSession(DWORD id, int type, IKZData* data);
// Identical to DeleteBlueBarTipInChatSession: sends 220.
WRENUTIL_API int DeleteSafeBarTipInChatSession(DWORD id, int type, IKZData* data);

}  // namespace Util::ChatSession

#endif  // WRENUTIL_WRENUTIL_CHATSESSION_H_

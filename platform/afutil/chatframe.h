// Chat frames and their tip bars, as the client's AFUtil and AppUtil
// libraries serve them.
//
// A chat is named by its identifier and chat type. Its frame keeps the tip
// bars shown above the message area: each bar has an identifier (1, 2, ...
// per frame, never reused while the process lives), a bar type (1 = a safe
// bar, 0 = a plain blue bar) and a copy of the fields of the bag it was
// written with. Frames live as long as the process, or until
// platform::ResetChatFrames; a host that wants them to outlive the process
// keeps them in the signed-in user's profile store instead
// (platform::KeepChatFramesInProfile; table "chat_frames", each event one
// transaction).
//
// Events handled by ChatFrameEvent (values of ChatFrame::CFEventType):
//   219 write a blue bar   221 write a safe bar
//   220 delete a bar       222 delete a safe bar
// A write copies the bag's fields into a new bar and stores its identifier
// into "nBlueBarID" (i32) of the same bag; the bar is a safe bar when the
// bag has "dwBlueBarType" = 1 (so a 221 without that field makes a blue
// bar). A delete removes the bar named by "nBlueBarID" of the bag: 220
// removes any bar, 222 only a safe bar. Every event is noted in the call
// journal (calljournal.h) as "ChatFrameEvent(<id>, <type>, <event>)".
#ifndef WRENUTIL_PLATFORM_AFUTIL_CHATFRAME_H_
#define WRENUTIL_PLATFORM_AFUTIL_CHATFRAME_H_

#include <vector>

#include "platform/common/kzbase.h"
#include "platform/common/kzptr.h"

struct IKZData;

namespace ChatFrame {
enum CFEventType : int {
  CFE_WriteBlueBarTip = 219,
  CFE_DeleteBlueBarTip = 220,
  CFE_WriteSafeBarTip = 221,
  CFE_DeleteSafeBarTip = 222,
};
}  // namespace ChatFrame

// The frame-type object of one chat: which chat a frame event goes to.
struct IAFChatFrameType : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{6C3E4B0A-91D2-4E57-8A0B-2F1D3C4B5AB7}");
  // The chat's identifier and type; E_POINTER for a null slot.
  virtual HRESULT GetChatId(DWORD* id, int* type) = 0;
};

namespace Util::ChatSession {
// The frame type of the chat (`id`, `type`): S_OK and one reference for the
// caller in *frame_type. `data` is borrowed and not used. E_POINTER for a
// null slot, E_INVALIDARG (and nullptr) for identifier 0.
KZ_PLATFORM_API int CreateChatFrameType(DWORD id, int type, IAFChatFrameType** frame_type,
                                        IKZData* data);
}  // namespace Util::ChatSession

namespace Util::AFChatSession {
// Hands `event` and `data` (borrowed) to the chat frame of `frame_type`.
// Writes: S_OK; E_POINTER for a null bag (no bar is added). Deletes: S_OK
// when the bar was removed, S_FALSE when the frame has no such bar (or, for
// 222, it is not a safe bar); E_INVALIDARG when the bag is null or lacks an
// i32 "nBlueBarID". E_POINTER for a null frame type, E_INVALIDARG for any
// other event.
KZ_PLATFORM_API int ChatFrameEvent(IAFChatFrameType* frame_type, ChatFrame::CFEventType event,
                                   IKZData* data);
}  // namespace Util::AFChatSession

namespace platform {
struct ChatBar {
  int id = 0;
  DWORD bar_type = 0;         // 1 a safe bar
  CKZComPtr<IKZData> fields;  // a copy of the bag it was written with
};
// The bars of the chat's frame in the order they were written (none for a
// chat that never got one).
KZ_PLATFORM_API std::vector<ChatBar> GetChatBars(DWORD id, int type);
// Forgets every frame and its bars kept in memory (not those in the profile
// store).
KZ_PLATFORM_API void ResetChatFrames();
// Keeps frames in the profile store (true) or in memory (false, the start).
// A failure of the store is the answer of the event (KZ_E_STORE...,
// LastStoreError names the file); GetChatBars then lists no bars.
KZ_PLATFORM_API void KeepChatFramesInProfile(bool keep);
}  // namespace platform

#endif  // WRENUTIL_PLATFORM_AFUTIL_CHATFRAME_H_

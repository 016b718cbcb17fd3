// The calls of the client's AFUtil, AFBase and AppUtil libraries that the
// contact menus make: chat sessions, message boxes and one-to-one message
// avoidance.
//
// The stand-in opens nothing on screen. Every action notes itself in the call
// journal (platform/kernelutil/calljournal.h):
//   OpenChatSession(<uin>, <type>)            (+ ", data" with a bag)
//   MsgBox.Show("<message>", "<caption>", 0x<style>)
//   MessageBoxW("<message>", "<caption>", 0x<style>)
//   MessageBoxExW("<message>", "<caption>", 0x<style>)
//   SetC2CAvoidanceFlag(<uin>, <type>)
//   ChatFrameEvent(<uin>, <type>, <event>)    (an event sent to a chat frame)
// Message boxes also show through the installed dialog provider
// (platform/common/kzdialog.h) and answer with the button chosen there (IDOK
// when no provider is installed).
// Hosts and tests set the avoidance state with the platform functions below.
#ifndef WRENUTIL_PLATFORM_AFUTIL_AFUTIL_H_
#define WRENUTIL_PLATFORM_AFUTIL_AFUTIL_H_

#include "platform/common/kzbase.h"

struct IKZData;
struct IGFFrame;

// The frame interface {0D3F5C3C-F02F-44BC-ACB9-56D9DAD16C96} of a chat
// session.
struct IKZChatSessionFrame : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{0D3F5C3C-F02F-44BC-ACB9-56D9DAD16C96}");
  // Sends an event with a bag (borrowed, may be null) to the session's frame.
  virtual HRESULT SendFrameEvent(int event, IKZData* data) = 0;
};

// A chat session; asked for IKZChatSessionFrame.
struct IKZChatSession : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{6C3E4B0A-91D2-4E57-8A0B-2F1D3C4B5A96}");
  virtual HRESULT GetChatUin(DWORD* uin) = 0;
};

namespace Util::ChatSession {
// Opens the chat window with `uin` of chat type `type` (0 one-to-one).
// S_OK; E_INVALIDARG for number 0.
KZ_PLATFORM_API HRESULT OpenChatSession(DWORD uin, int type, IKZData* data);
// The open session of that chat, one reference for the caller; E_FAIL and
// nullptr when none is open (see platform::OpenChatSessionForTesting).
KZ_PLATFORM_API HRESULT GetKZChatSession(DWORD uin, int type, IKZChatSession** session);
}  // namespace Util::ChatSession

namespace Util::MsgBox {
// Shows a message box over `parent` (borrowed, may be null); returns the
// button chosen (IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7, ...). Null texts
// count as empty.
KZ_PLATFORM_API int Show(IGFFrame* parent, const wchar_t* message, const wchar_t* caption,
                         unsigned style);
}  // namespace Util::MsgBox

namespace Util::Misc {
KZ_PLATFORM_API int MessageBoxW(IGFFrame* parent, const wchar_t* message, const wchar_t* caption,
                                unsigned style);
// The same box with room for more: `options` (borrowed, may be null) is not
// read by this stand-in; *result (when not null) is set to nullptr, as no
// box here returns more than its button.
KZ_PLATFORM_API int MessageBoxExW(IGFFrame* parent, const wchar_t* message, const wchar_t* caption,
                                  unsigned style, IKZData* options, IKZData** result);
}  // namespace Util::Misc

namespace Util::WRENVersion {
// The plug-in's version number (platform::ProductSettings, datafolders.h).
KZ_PLATFORM_API DWORD GetWRENPluginVersion();
}  // namespace Util::WRENVersion

namespace C2CAvoidanceDef {
enum MessageAvoidanceType {
  kAvoidanceNone = 0,
  kAvoidanceSet = 4,     // start avoiding the contact
  kAvoidanceCancel = 5,  // stop avoiding the contact
};
}  // namespace C2CAvoidanceDef

namespace Util::Misc::C2CAvodiance {
// Non-zero when the user may set message avoidance.
KZ_PLATFORM_API int GetSelfAvoidanceAuthFlag();
// Non-zero when the contact is currently avoided.
KZ_PLATFORM_API int GetC2CAvoidanceFlag(DWORD uin);
// 4 avoids the contact, 5 stops avoiding it; other types change nothing.
// Returns S_OK, or E_INVALIDARG for another type.
KZ_PLATFORM_API HRESULT SetC2CAvoidanceFlag(DWORD uin, C2CAvoidanceDef::MessageAvoidanceType type);
}  // namespace Util::Misc::C2CAvodiance

namespace platform {
KZ_PLATFORM_API void SetSelfAvoidanceAuth(int allowed);
KZ_PLATFORM_API void SetC2CAvoidance(DWORD uin, int avoided);
// Marks a chat as open, so that GetKZChatSession finds it.
KZ_PLATFORM_API void OpenChatSessionForTesting(DWORD uin, int type);
// Back to the start: no authority, nobody avoided, no chat open.
KZ_PLATFORM_API void ResetAFUtil();
}  // namespace platform

#endif  // WRENUTIL_PLATFORM_AFUTIL_AFUTIL_H_

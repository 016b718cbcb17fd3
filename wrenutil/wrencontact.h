// Util::WRENContact: whether the signed-in user and other contacts are
// online, and two rights an organisation grants through a contact's
// privilege mask.
//
// Status codes come from Util::Contact::GetStatus with the platform's own
// status manager. CheckSelfOnlineStatus counts only 20 as offline; IsOnline
// also counts 0 and 250 as not online.
//
// Rights are bits of the u64 "Privilege" of the contact's information bag
// (contact-information service {CDE1B650-4545-4903-B2F1-3305D82437BC}):
// bit 22 (0x400000) the public client right; bits 22 and 23 together
// (0xC00000) the session switch right. A missing service, a contact without
// a bag or a bag without the field grant nothing.
//
// Nothing is logged; the only assertion is the core accessor's when no core
// is installed.
#ifndef WRENUTIL_WRENUTIL_WRENCONTACT_H_
#define WRENUTIL_WRENUTIL_WRENCONTACT_H_

#include "platform/common/kzbase.h"
#include "wrenutil/export.h"

namespace Util::WRENContact {

// 0 when the user's own status is 20, after a warning message box (style
// 0x30) with the texts "Finger_ConnectToServer" and
// "Finger_ConnectToServer_Title" over the main frame (no parent without the
// main-frame service); else 1. Both texts are loaded on every call.
WRENUTIL_API int CheckSelfOnlineStatus();
// 1 unless the contact's status is 20, 250 or 0.
WRENUTIL_API int IsOnline(DWORD uin);
// 1 when bit 22 of the contact's "Privilege" is set.
WRENUTIL_API int HasPublicClientRight(DWORD uin);
// 1 when bits 22 and 23 of the contact's "Privilege" are both set.
WRENUTIL_API int HasSessionSwitchRight(DWORD uin);

}  // namespace Util::WRENContact

#endif  // WRENUTIL_WRENUTIL_WRENCONTACT_H_

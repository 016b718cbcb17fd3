// Util::UtilGFTbar: helpers of the contact list's tab bar in the GF
// framework.
//
// - Misc: the process-wide online-first flag (initially 1), and two
//   predicates about the bar's items.
// - The display-name procedures: each makes the caption record of a contact
//   item and sets or clears bit 0 of the caller's display flags (set: the
//   contact lies outside the own organisation).
// - ShowTips and UnFocusContact: the bar's tip window and its click that
//   removes a contact from the focused contacts.
//
// Services, each obtained through the core: the tip window
// {93EEB073-06A9-4613-80A7-D8EECBBE4BFF}, the contact focus
// {0BF2CA19-BCB7-4A27-928D-DB65EEF81EC0}, organisation membership
// {D65EAF86-57F7-45DA-BF0F-69CA4C3F4788} (a missing service counts as "not a
// member") and contact information {F81FCE98-6539-4070-B1EE-7B6BE2ADD1BB}
// (include/utilwrencontactinfo.h). A broken precondition is reported through
// KZAssert("FALSE", "wren\wrenutil\utilgftbar", line).
//
// Everything runs on the caller's (user-interface) thread; the online-first
// flag is not locked.
//
// Choices of this implementation, where the design leaves them open:
// - A click of item type 0 reads "tbarSelectItems" and does nothing else;
//   any type other than 1 does nothing.
// - The caption slot of a display-name procedure is overwritten without
//   releasing what it held: pass it preset to null.
// - The tip window's timing values are passed as given (500 ms before a tip
//   shows, 250 ms before it hides, 0).
#ifndef WRENUTIL_WRENUTIL_UTILGFTBAR_H_
#define WRENUTIL_WRENUTIL_UTILGFTBAR_H_

#include "platform/common/kzdata.h"
#include "wrenutil/export.h"

namespace Util::UtilGFTbar {

// The kinds of the bar's items; 1 and 2 are group items.
enum Ex_ItemType {
  Ex_ItemType_Contact = 0,
  Ex_ItemType_Group = 1,
  Ex_ItemType_OuterGroup = 2,
  Ex_ItemType_Other = 3,
};

namespace Misc {
// The online-first flag: 1 until SetOnlineShowFirst changes it.
WRENUTIL_API int GetOnlineShowFirst();
WRENUTIL_API void SetOnlineShowFirst(int onlineFirst);
// 1 for the item kinds 1 and 2, else 0.
WRENUTIL_API int IsGroupItem(Ex_ItemType type);
// 1 when `id` lies in the outer-group range 120000001..130000000, else 0.
WRENUTIL_API int IsOuterGroupItem(unsigned long id);
}  // namespace Misc

// The display-name procedures of a contact item. Each reads the contact
// number "dwItemID" (u32) of `item` (borrowed), creates a new record into
// *caption (one reference for the caller) and writes into it the string
// "strCaption":
// - ShowNameProc, ShowAccountProc (one procedure under two names): the
//   combined name (name and account); bit 0 of *flags is always set and
//   membership is not asked;
// - ShowOuterNameProc: the name the contact is listed under; bit 0 set when
//   the contact is not a member of the own organisation, else cleared;
// - ShowRemarkNameProc: the contact's actual name (from the contact
//   information, else the listed name); bit 0 as ShowOuterNameProc.
// The other bits of *flags are kept; `reserved` is not read.
// A null `item` or `flags`, or a null `caption` (nothing can be created):
// assertion, nothing written. An item without a u32 "dwItemID": *caption
// holds an empty record and *flags is unchanged.
WRENUTIL_API void ShowNameProc(IKZData* item, unsigned long* flags, IKZData** caption,
                               int* reserved);
WRENUTIL_API void ShowAccountProc(IKZData* item, unsigned long* flags, IKZData** caption,
                                  int* reserved);
WRENUTIL_API void ShowOuterNameProc(IKZData* item, unsigned long* flags, IKZData** caption,
                                    int* reserved);
WRENUTIL_API void ShowRemarkNameProc(IKZData* item, unsigned long* flags, IKZData** caption,
                                     int* reserved);

// Sets the tip window's timing (500, 250, 0), then shows the tip described
// by `tip` (borrowed, handed to the service as it is) when `show` is
// non-zero, else hides it. Always 0, also without the service.
WRENUTIL_API long ShowTips(int show, IKZData* tip);

// The bar's click: `click` holds the interface field "frame" (IGFFrame)
// whose user data holds "tbarClickItemType", "tbarItemId",
// "tbarSubItemIconType" (u32 each) and "tbarSelectItems". For item type 1
// and icon type 1 the contact "tbarItemId" is unfocused. Results: 0, also
// when the frame or its user data is missing; E_FAIL for a null `click`, and
// with assertion when the contact-focus service is missing.
WRENUTIL_API long UnFocusContact(IKZData* click);

namespace internal {
inline constexpr wchar_t kSource[] = L"wren\\wrenutil\\utilgftbar";
// Assertion lines.
inline constexpr int kLineNameArgs = 96;
inline constexpr int kLineNameCaption = 103;
inline constexpr int kLineOuterArgs = 131;
inline constexpr int kLineOuterCaption = 138;
inline constexpr int kLineRemarkArgs = 171;
inline constexpr int kLineRemarkCaption = 178;
inline constexpr int kLineUnFocusNoService = 236;
}  // namespace internal

}  // namespace Util::UtilGFTbar

#endif  // WRENUTIL_WRENUTIL_UTILGFTBAR_H_

// Util::UtilWRENMenu: the context menus of the contact list and their
// standard commands.
//
// - Primitives that create and append items and separators to a GF menu
//   (platform/gf/gf_menu.h), and two post-processing helpers.
// - GetBuddyMenu: the menu of one or more selected contacts; every actionable
//   item carries one shared item data bag whose "SelectUins" is the
//   selection, and plug-ins add items through the contact-menu extension
//   point {C5B624FE-9778-45FB-9CFE-212FB603BA28}.
// - OnClickStandardBuddyMenu and the actions it runs (open a chat, the chat
//   history, a contact card, shortcuts, special care, message avoidance),
//   also callable on their own; and the placeholders with fixed results.
// - GetDeptMenu and GetOuterGroupMenu: the menus of a selection in the
//   organisation tree and of a group of outer contacts.
//
// Menus are created through the core's CreateObject with the class
// IGFMenu::kIid and data bags with the class
// {2C3F29CA-F983-4897-A545-2221773BC5A6}; item texts are KZLoadString(key,
// "platform"). A broken precondition is reported through KZAssert with the
// expression text "FALSE" (unless said otherwise) and the source text
// "wrenutil\utilwrenmenu", and the function returns its failure value.
//
// Results are 0 for success, E_FAIL (0x80004005) or E_INVALIDARG for failure
// unless said otherwise. Inputs are borrowed; a menu handed out through an
// out-parameter carries exactly one reference, owned by the caller; on
// failure the out-parameter is left as it was.
//
// Everything runs on the caller's (user-interface) thread; nothing is locked.
//
// Choices of this implementation, where the design leaves them open:
// - Context flags ("MENU_WREN_SELECT_...") are read as u32, i32 or bool
//   fields, whichever the caller stored; any other type reads as absent.
// - A failure to create the item data bag does not stop a builder: the items
//   that need the bag are then refused by AddMenuItem and left out.
// - GetDeptMenu returns E_FAIL (no menu) when it cannot create its command
//   bag.
// - The number-or-selection overloads cannot be called with a literal 0;
//   pass a typed value.
#ifndef WRENUTIL_WRENUTIL_UTILWRENMENU_H_
#define WRENUTIL_WRENUTIL_UTILWRENMENU_H_

#include "platform/common/kzdata.h"
#include "platform/common/kzstring.h"
#include "platform/gf/gf_menu.h"
#include "wrenutil/export.h"

namespace Util::UtilWRENMenu {

// Optional attributes of a new item; the builders pass plain numbers.
enum enMenuMask {
  enMask_Data = 1,     // SetUserData with the data argument (must not be null)
  enMask_Check = 2,    // SetCheck with the check argument
  enMask_SubMenu = 4,  // SetSubMenu with the submenu argument (not null)
};

// ---------------------------------------------------------------------------
// Primitives.

// Creates an item on `menu`, sets its text and then its name, applies the
// attributes of `mask` (bit 1 data, bit 2 check, bit 4 submenu, each tested
// on its own), sets the enabled state and appends it. `data` and `subMenu`
// are borrowed (the item adds its own reference). Null menu or name, null
// data under bit 1, null submenu under bit 4, or no item created: assertion,
// E_FAIL and nothing appended.
WRENUTIL_API HRESULT AddMenuItem(IGFMenu* menu, const wchar_t* name, const wchar_t* text,
                                 int enable, enMenuMask mask, IKZData* data, int check,
                                 IGFMenu* subMenu);

// Like AddMenuItem with the text before the name, an icon and a second text
// (each set only when not null), and the created item handed out through
// `outItem` with one reference for the caller. With mask bits 2 and 4 both
// set only the check state is applied. The enabled state is left at the
// framework's default (enabled). A null menu, name or `outItem`, or no item
// created: assertion, E_FAIL. Null data under bit 1 or null submenu under
// bit 4: assertion, E_FAIL, and *outItem keeps the created, unappended item
// (the caller releases it).
WRENUTIL_API HRESULT AddMenuItem3(IGFMenu* menu, const wchar_t* text, const wchar_t* name,
                                  IGFMenuItem** outItem, const wchar_t* icon,
                                  const wchar_t* secondText, enMenuMask mask, IKZData* data,
                                  int check, IGFMenu* subMenu);

// Appends a separator. E_FAIL for a null menu (with assertion) or when no
// item is created (without).
WRENUTIL_API HRESULT AddSeperaor(IGFMenu* menu);
// The same with a name (set after the separator flag; a null name leaves
// the separator unnamed).
WRENUTIL_API HRESULT AddSeperaorWithName(IGFMenu* menu, const wchar_t* name);

// Sets the check mark of the top-level item named `name`. Always 0; a null
// menu or name, or no such item, changes nothing.
WRENUTIL_API HRESULT SetMenuItemCheckAttr(IGFMenu* menu, const wchar_t* name, int check);

// Gives every top-level item of `menu` that is no separator and has no name
// its text as name. Submenus are not visited. Null menu: nothing happens.
WRENUTIL_API void FillMenuName(IGFMenu* menu);

// ---------------------------------------------------------------------------
// Menus.

// The buddy menu of `selection` (u32 contact numbers; the first is "the
// contact"), with `context` (may be null) describing where the selection was
// made. Results:
// - 0: the menu is in *menu with one reference for the caller;
// - 1 with *menu untouched: the frequent-contact group service is missing or
//   a frequent-contacts item could not be created, or the outer authority
//   service is missing (for one outer contact);
// - 1 with the menu already in *menu: the special-care item could not be
//   created (the menu then lacks "MENU_WREN_ContactMgrListp");
// - E_FAIL with assertion: null selection or `menu`, no menu created, empty
//   selection (expression text !L"No User selected!").
// The extension point runs after the menu is stored in *menu; its plug-ins
// are called synchronously.
WRENUTIL_API HRESULT GetBuddyMenu(IKZArray* selection, IGFMenu** menu, IKZData* context);

// The menu of a selection in the organisation tree. `input` holds the arrays
// "SelectUins" (at least one element), "SelectUinOnly" and "SelectGroupID";
// `context` (may be null) receives "cFrom" = 2. The menu holds "Send_Message"
// (create a discussion) when the worker-number privilege of channel 1 is
// granted, then what the plug-ins of the extension point
// {5E525CB3-DAD0-41AF-A2EF-95A40D4D9B2A} add. 0 with one reference for the
// caller in *menu; E_FAIL otherwise (with assertion for null arguments, no
// menu, an empty "SelectUins" or missing extension objects; without for a
// missing array).
WRENUTIL_API HRESULT GetDeptMenu(IKZData* input, IGFMenu** menu, IKZData* context);

// The menu of a group of outer contacts: add a group, add a buddy, a
// separator, rename and delete the group (greyed out when the context's
// "EnableRename" / "EnableDelGroup" is 0; absent counts as 1). `selection` is
// not read. 0 with one reference for the caller in *menu; E_FAIL with
// assertion for a null `menu` or `context` or no menu created.
WRENUTIL_API HRESULT GetOuterGroupMenu(IKZArray* selection, IGFMenu** menu, IKZData* context);

// The main menu of the main panel: the tools submenu ("MENU_MainMenu_Tool":
// message manager, search), personal and system settings, the help submenu
// ("MENU_MainMenu_Help": check for updates, about, agreement), change of
// account and exit. 0 with one reference for the caller in *menu; E_FAIL
// with assertion when a menu cannot be created (nothing is handed out);
// E_POINTER without assertion for a null `menu`.
WRENUTIL_API HRESULT GetMainMenu(IGFMenu** menu);

// The menu of the user's own presence: online, away, offline. With
// `withAutoReply` non-zero the away item ("MENU_WREN_SETAWAY") opens a
// submenu: one item per reply of the auto-reply service
// {B0880E45-BB03-4FAA-89E5-748F48E5CBD4}, each named "MENU_WREN_SETAWAY",
// showing the reply text, checked when it is the active reply and carrying a
// bag with "dwReplyIndex" (u32) and "strStatusDetail" (the text); then a
// separator, "MENU_WREN_NOREPLY" (checked when no reply is active), a
// separator and "MENU_WREN_CUMSTOMREPLY". A missing service or a failing
// query gives no reply items; a reply whose bag cannot be created, or that is
// not a string, is left out (the others keep their indices). 0 with one
// reference for the caller in *menu; E_FAIL with assertion when a menu
// cannot be created; E_POINTER without assertion for a null `menu`.
WRENUTIL_API HRESULT GetStatusMenu(IGFMenu** menu, int withAutoReply);

// Placeholders: 0; *menu is not written.
WRENUTIL_API HRESULT GetFolderMenu(IKZArray* selection, IGFMenu** menu, IKZData* context);
WRENUTIL_API HRESULT GetGroupMenu(IKZArray* selection, IGFMenu** menu, IKZData* context);

// ---------------------------------------------------------------------------
// Clicks and actions.

// Runs the standard action of a buddy-menu click. `click` holds "name" (the
// item's name) and "frame" (the chosen item, asked for as IGFFrame), whose
// user data is the item data bag with "SelectUins". Single-contact actions
// run only when exactly one contact is selected. Results: 0 for a null bag
// and after any action (its own result is not passed on), also for an
// unknown name (with assertion); E_FAIL with assertion when the frame or its
// user data is missing.
WRENUTIL_API HRESULT OnClickStandardBuddyMenu(IKZData* click);

// Hands "0x8001da3" to the report extensions, then opens the one-to-one chat
// with an organisation member or an outer contact of account kind 1 (0), or
// opens nothing for anyone else, the own number included (E_FAIL). The
// contact-information service is asked about the number in every case.
WRENUTIL_API HRESULT SendIM(DWORD uin);
// SendIM(selection, text) with a scratch text.
WRENUTIL_API HRESULT SendIM(IKZArray* selection);
// Hands "0x8001daa" to the report extensions, sets `failText` to the text of
// "Create_Discuss_Fail", removes the own number from `selection` in place
// (the caller sees the change), then: one number left, SendIM of it; two or
// more, a discussion is created with them (0); none, assertion and E_FAIL.
// Null selection: assertion, E_INVALIDARG.
WRENUTIL_API HRESULT SendIM(IKZArray* selection, CKZStringW& failText);
// E_FAIL; E_INVALIDARG with assertion for a null selection.
WRENUTIL_API HRESULT SendGeneralDiscussIM(IKZArray* selection, const CKZStringW& text);

// Not realised: each shows the message box "Not realized yet!" (caption the
// text of "WREN_Tip", information icon) and returns 0.
WRENUTIL_API HRESULT SendFile(DWORD uin);
WRENUTIL_API HRESULT SendFile(IKZArray* selection);
WRENUTIL_API HRESULT SendBroadCast(DWORD uin);
WRENUTIL_API HRESULT SendBroadCast(IKZArray* selection);
WRENUTIL_API HRESULT StartAudio(DWORD uin);
WRENUTIL_API HRESULT StartAudio(IKZArray* selection);
WRENUTIL_API HRESULT StartVideo(DWORD uin);
WRENUTIL_API HRESULT StartVideo(IKZArray* selection);

// Opens the chat history of `uin` for chat type 4 ("buddy"), 3 ("discuss")
// or 5 ("group"; any other type passes the empty type name). E_FAIL with
// assertion when the service is missing or refuses.
WRENUTIL_API HRESULT OpenChatRecord(DWORD uin, int chatType);
// Shows the own card for the own number, else the contact's card. E_FAIL
// when the card service is missing (with assertion for the own number).
WRENUTIL_API HRESULT ViewUserInfo(DWORD uin);
// Adds (`add` non-zero) or removes the contact's shortcut. 1 for number 0,
// else 0 (also without the service).
WRENUTIL_API HRESULT HandleShortCut(DWORD uin, int add);
// Toggles special care of the contact. 1 for number 0, else 0.
WRENUTIL_API HRESULT SetSpecialCare(DWORD uin);
// Toggles message avoidance of the contact. 0.
WRENUTIL_API HRESULT SetMsgAvoidance(DWORD uin);

// Placeholders without effect.
WRENUTIL_API HRESULT CareContactState(DWORD uin);                                    // E_FAIL
WRENUTIL_API HRESULT UnCareContactState(DWORD uin);                                  // E_FAIL
WRENUTIL_API HRESULT AddToUserGroup(DWORD uin, const wchar_t* groupName);            // E_FAIL
WRENUTIL_API HRESULT AddToUserGroup(IKZArray* selection, const wchar_t* groupName);  // 0
WRENUTIL_API void OnAddToMyDeptClick(IKZData* data);
WRENUTIL_API void OnAddToMyDeptClick(IKZArray* data);

// ---------------------------------------------------------------------------
// The tab bar's display setting and menus.

namespace TBarMenuDisplayMode {

// The display flags of the contact list's tab bar (0 off, non-zero on), each
// initialised to its default. Kept in the settings store
// {3111F9F7-CBE3-4A35-B30F-9F0ED724BCCC} as one bag of nine booleans under
// the section "OrgstructAndCustomPage" and the key "TBarTabBtnSetting", in
// the order ShowAccount, ShowName, ShowAllContact, ShowOnlineContact,
// OnlineFirstRank, ShowPsInfo, ShowNameOuter, ShowStranger, ShowBlackList.
struct CTabBtnMenuSetting {
  int ShowAccount = 1;        // list entries show the account
  int ShowName = 0;           // list entries show the name
  int ShowAllContact = 1;     // external tab: all contacts
  int ShowOnlineContact = 0;  // external tab: online contacts only
  int OnlineFirstRank = 1;    // online contacts first
  int ShowNameOuter = 1;      // external tab: names
  int ShowPsInfo = 0;         // external tab: remarks
  int ShowStranger = 1;       // external tab: the stranger group
  int ShowBlackList = 1;      // external tab: the blacklist group

  bool operator==(const CTabBtnMenuSetting&) const = default;
};

// Sets `setting` to the defaults, then reads the stored bag over them and
// passes OnlineFirstRank to Util::UtilGFTbar::Misc::SetOnlineShowFirst.
// 1 when the bag was read. 0 with assertion "NULL" (the record keeps the
// defaults, the online-first flag is left alone) when the settings store is
// missing (line 639) or answers a negative code, nothing stored included
// (line 647). A field that is missing or not a boolean keeps its default.
WRENUTIL_API long ReadTabBtnMenuSetting(CTabBtnMenuSetting& setting);

// Stores `setting` (only read) as the bag above, replacing what was stored.
// 1 when written; 0 with assertion "NULL" when the settings store is missing
// (line 673), no bag can be created (681) or the store answers a negative
// code (700). Does not change the online-first flag.
WRENUTIL_API long SaveTabBtnMenuSetting(CTabBtnMenuSetting& setting);

// The display menu of a tab. Tab type 2 (external contacts) gives
// GetTBarDisplayTypeMenuOuter(menu, data, setting); any other type the
// organisation menu: "MENU_WREN_ONLINEFIRSTRANK" (checked as
// OnlineFirstRank), "MENU_MainMenu_UpdateOrg" (greyed out while the own
// account is offline) and "MENU_MianMenu_HidDeactEmp" (checked when the
// key-value entry ("Misc", "szSubKey_OrgExtuinHideSwitch") is exactly 1).
// `data` (borrowed) is not read for the organisation tab. 0 with one
// reference for the caller in *menu; E_FAIL with assertion when no menu can
// be created; E_POINTER without assertion for a null `menu`.
WRENUTIL_API long GetTBarDisplayTypeMenu(IGFMenu** menu, IKZData* data,
                                         const CTabBtnMenuSetting& setting, DWORD tabType);

// The display menu of the external-contacts tab: remarks, names, separator,
// all contacts, online contacts, separator, online first, refresh (carrying
// `data`), separator, strangers, blacklist; each check mark from `setting`.
// A null `data` leaves the refresh item out (AddMenuItem refuses it, with its
// assertion) and the call still succeeds. Results as GetTBarDisplayTypeMenu.
WRENUTIL_API long GetTBarDisplayTypeMenuOuter(IGFMenu** menu, IKZData* data,
                                              const CTabBtnMenuSetting& setting);

}  // namespace TBarMenuDisplayMode

}  // namespace Util::UtilWRENMenu

#endif  // WRENUTIL_WRENUTIL_UTILWRENMENU_H_

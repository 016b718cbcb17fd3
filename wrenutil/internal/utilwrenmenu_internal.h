// Internals of Util::UtilWRENMenu shared by its source files and reached by
// its tests; callers of the library must not use them.
#ifndef WRENUTIL_WRENUTIL_INTERNAL_UTILWRENMENU_INTERNAL_H_
#define WRENUTIL_WRENUTIL_INTERNAL_UTILWRENMENU_INTERNAL_H_

#include <cstdint>

#include "common/include/icallback.h"
#include "platform/common/kzdata.h"
#include "platform/common/kzstring.h"
#include "platform/gf/gf_menu.h"
#include "wrenutil/export.h"
#include "wrenutil/utilwrenmenu.h"

namespace Util::UtilWRENMenu {

// AddMenuItem with SetIcon right after SetName (also for a null icon).
WRENUTIL_API HRESULT AddMenuItemWithIcon(IGFMenu* menu, const wchar_t* name, const wchar_t* text,
                                         const wchar_t* icon, int enable, enMenuMask mask,
                                         IKZData* data, int check, IGFMenu* subMenu);

// Builds the context bag of the contact-menu extension point: "cFrom" = 2,
// "dwUin" for a single contact, and the selection sorted by ClassifyContact
// into "arInnerContactsUin" (kinds 5 and 0), "arWRENContactsUin" (2) and
// "arLMContactsUin" (3), each present only when non-empty. 1 with one
// reference for the caller in *bag; 0 for a null argument or a bag or array
// that cannot be created (the latter with assertion, line 2328).
WRENUTIL_API int BuildBuddyMenuExtContext(IKZArray* selection, IKZData** bag);

// Attaches a descriptor of the contact-menu extension point to `menu` and
// invokes the point with `context`. 1 when the invocation's result is not
// negative; 0 for null arguments or missing extension objects (the latter
// with assertion, line 2281).
WRENUTIL_API int RunBuddyMenuExtensionPoint(IGFMenu* menu, IKZData* context);

// The kind of a contact: 5 the own number, 0 a member of the own
// organisation, 2 an outer contact of account kind 1, 3 any other outer
// contact, -1 when the outer-contact service is missing.
WRENUTIL_API std::int8_t ClassifyContact(DWORD uin);

// The static listener of discussion creation. Its callback object is bound
// to OnCreateDiscussComplete: code -2 sends event 103 with "bCanModify" = 1
// to the frame of the open discussion "dwDisUin"; any other code shows the
// failure prompt "strFailPrompt" (or the text of "CF_CREATEDISCUSS_FAIL").
class WRENUTIL_API CInternalMenuListener {
 public:
  CInternalMenuListener();
  CInternalMenuListener(const CInternalMenuListener&) = delete;
  CInternalMenuListener& operator=(const CInternalMenuListener&) = delete;

  // Borrowed; lives as long as the listener.
  IKZCallback* callback() { return &callback_; }
  HRESULT OnCreateDiscussComplete(std::int32_t code, IKZData* data);

 private:
  CKZCallback<CInternalMenuListener> callback_;
};

namespace internal {

inline constexpr wchar_t kSource[] = L"wrenutil\\utilwrenmenu";
inline constexpr GUID kItemDataClass = platform::MakeGuid("{2C3F29CA-F983-4897-A545-2221773BC5A6}");

// Assertion lines of this source.
inline constexpr int kLineAddMenuItemArgs = 83;
inline constexpr int kLineAddMenuItemNoItem = 90;
inline constexpr int kLineAddMenuItemData = 101;
inline constexpr int kLineAddMenuItemSubMenu = 112;
inline constexpr int kLineAddMenuItem3Args = 140;
inline constexpr int kLineAddMenuItem3NoItem = 147;
inline constexpr int kLineAddMenuItem3Data = 158;
inline constexpr int kLineAddMenuItem3SubMenu = 170;
inline constexpr int kLineSeparatorArgs = 196;
inline constexpr int kLineStatusNoMenu = 388;
inline constexpr int kLineTabBarNoMenu = 522;
inline constexpr int kLineTabBarOuterNoMenu = 581;
inline constexpr int kLineReadSettingNoStore = 639;
inline constexpr int kLineReadSettingFailed = 647;
inline constexpr int kLineSaveSettingNoStore = 673;
inline constexpr int kLineSaveSettingNoBag = 681;
inline constexpr int kLineSaveSettingFailed = 700;
inline constexpr int kLineStatusNoAwayMenu = 396;
inline constexpr int kLineMainNoMenu = 461;
inline constexpr int kLineMainNoToolMenu = 471;
inline constexpr int kLineMainNoHelpMenu = 481;
inline constexpr int kLineSendIMOne = 723;   // report scope, one contact
inline constexpr int kLineSendIMMany = 773;  // report scope, a selection
inline constexpr int kLineSendIMNull = 776;
inline constexpr int kLineSendIMNone = 849;
inline constexpr int kLineGeneralDiscuss = 859;
inline constexpr int kLineChatRecordNoService = 999;
inline constexpr int kLineChatRecordFailed = 1018;
inline constexpr int kLineSelfCardNoService = 1032;
inline constexpr int kLineDeptArgs = 1111;
inline constexpr int kLineDeptNoMenu = 1142;
inline constexpr int kLineDeptNoUser = 1172;
inline constexpr int kLineDeptExtension = 1220;
inline constexpr int kLineBuddyArgs = 1480;
inline constexpr int kLineBuddyNoMenu = 1489;
inline constexpr int kLineBuddyNoUser = 1507;
inline constexpr int kLineBuddyExtContext = 1625;
inline constexpr int kLineOuterGroupArgs = 1895;
inline constexpr int kLineOuterGroupNoMenu = 1903;
inline constexpr int kLineClickNoFrame = 2138;
inline constexpr int kLineClickNoData = 2146;
inline constexpr int kLineClickUnknown = 2250;
inline constexpr int kLineRunExtension = 2281;
inline constexpr int kLineExtContextArrays = 2328;

// The text of `key` in the section "platform".
CKZStringW Text(const wchar_t* key);
// A 32-bit context flag (u32, i32 or bool field); `fallback` when absent,
// of another type or the bag is null.
std::uint32_t ReadFlag(IKZData* bag, const char* name, std::uint32_t fallback);
// A new menu through the core, initialised with 0, 0; one reference for the
// caller, or null.
CKZComPtr<IGFMenu> CreateMenu();
// A new item data bag through the core, or null.
CKZComPtr<IKZData> CreateItemBag();
// Whether the organisation-membership service counts `uin` as a member (0
// without the service).
int IsOrgMember(DWORD uin);
// Stores `menu` in *out with one added reference.
void HandOut(IGFMenu* menu, IGFMenu** out);

}  // namespace internal
}  // namespace Util::UtilWRENMenu

namespace Util::MarlinFreContact {
// 1 when the frequent-contacts list holds the entry "<kind>_<id>" (field
// "str_typeid", compared exactly), else 0. A null id counts as the empty
// text. Without the data service logs (level 2, module
// "ML_Others_Util::MarlinFreContact", with the context suffix)
// "Util::MarlinFreContact::IsInFreContactList: IMLFreContactListDataMgr获取失败"
// and answers 0.
WRENUTIL_API int IsInFreContactList(int kind, const wchar_t* id);
}  // namespace Util::MarlinFreContact

#endif  // WRENUTIL_WRENUTIL_INTERNAL_UTILWRENMENU_INTERNAL_H_

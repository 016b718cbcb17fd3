// Util::UtilGFTbar: display-name procedures and the tab bar's options.
#include "wrenutil/utilgftbar.h"

#include "common/include/utilcore.h"
#include "include/utilwrencontactinfo.h"
#include "platform/gf/gf_element.h"
#include "platform/kernelutil/contactnames.h"
#include "platform/kernelutil/orgmembership.h"
#include "platform/kernelutil/tbarservices.h"

namespace Util::UtilGFTbar {
namespace {

int g_online_show_first = 1;

// Where a procedure's caption comes from and whether it asks membership.
enum class NameSource { kCombined, kRaw, kActual };

void ShowCaption(NameSource source, int args_line, int caption_line, IKZData* item,
                 unsigned long* flags, IKZData** caption) {
  if (item == nullptr || flags == nullptr) {
    WREN_ASSERT_AT(L"FALSE", internal::kSource, args_line);
    return;
  }
  if (!Util::Data::CreateKZData(caption) || *caption == nullptr) {
    WREN_ASSERT_AT(L"FALSE", internal::kSource, caption_line);
    return;
  }
  DWORD uin = 0;
  if (FAILED(item->GetDWord(L"dwItemID", &uin))) return;

  if (source == NameSource::kCombined) {
    (*caption)->SetStr(L"strCaption", Util::Contact::GetCombineName(uin));
    *flags |= 1ul;
    return;
  }
  DWORD member = 0;
  CKZComPtr<IKZOrgMembershipService> membership;
  if (GetService(IKZOrgMembershipService::kIid, &membership) && membership) {
    membership->IsOrgMember(uin, &member);
  }
  CKZStringW name;
  if (source == NameSource::kActual) name = Util::WRENContactInfo::GetActualName(uin);
  if (name.IsEmpty()) name = Util::Contact::GetRawName(uin);
  (*caption)->SetStr(L"strCaption", name);
  if (member == 0) {
    *flags |= 1ul;
  } else {
    *flags &= ~1ul;
  }
}

}  // namespace

namespace Misc {

int GetOnlineShowFirst() { return g_online_show_first; }
void SetOnlineShowFirst(int onlineFirst) { g_online_show_first = onlineFirst; }

int IsGroupItem(Ex_ItemType type) {
  return type == Ex_ItemType_Group || type == Ex_ItemType_OuterGroup ? 1 : 0;
}

int IsOuterGroupItem(unsigned long id) {
  // One unsigned comparison: numbers below the range wrap to huge values.
  return id - 120000001ul <= 9999999ul ? 1 : 0;
}

}  // namespace Misc

void ShowNameProc(IKZData* item, unsigned long* flags, IKZData** caption, int*) {
  ShowCaption(NameSource::kCombined, internal::kLineNameArgs, internal::kLineNameCaption, item,
              flags, caption);
}

void ShowAccountProc(IKZData* item, unsigned long* flags, IKZData** caption, int* reserved) {
  ShowNameProc(item, flags, caption, reserved);
}

void ShowOuterNameProc(IKZData* item, unsigned long* flags, IKZData** caption, int*) {
  ShowCaption(NameSource::kRaw, internal::kLineOuterArgs, internal::kLineOuterCaption, item, flags,
              caption);
}

void ShowRemarkNameProc(IKZData* item, unsigned long* flags, IKZData** caption, int*) {
  ShowCaption(NameSource::kActual, internal::kLineRemarkArgs, internal::kLineRemarkCaption, item,
              flags, caption);
}

long ShowTips(int show, IKZData* tip) {
  CKZComPtr<IKZTipWindowService> tips;
  if (GetService(IKZTipWindowService::kIid, &tips) && tips) {
    tips->SetTiming(500, 250, 0);
    if (show != 0) {
      tips->ShowTip(tip);
    } else {
      tips->HideTip();
    }
  }
  return 0;
}

long UnFocusContact(IKZData* click) {
  if (click == nullptr) return E_FAIL;
  CKZComPtr<IKZContactFocusService> focus;
  if (!GetService(IKZContactFocusService::kIid, &focus) || !focus) {
    WREN_ASSERT_AT(L"FALSE", internal::kSource, internal::kLineUnFocusNoService);
    return E_FAIL;
  }
  CKZComPtr<IGFFrame> frame;
  if (FAILED(click->GetInterface(L"frame", IGFFrame::kIid, reinterpret_cast<void**>(&frame))) ||
      !frame) {
    return 0;
  }
  CKZComPtr<IKZData> data;
  if (FAILED(frame->GetUserData(&data)) || !data) return 0;
  DWORD type = 0;
  data->GetDWord(L"tbarClickItemType", &type);
  if (type == 0) {
    CKZComPtr<IKZArray> selected;
    data->GetKZArray(L"tbarSelectItems", &selected);
  } else if (type == 1) {
    DWORD id = 0, icon = 0;
    data->GetDWord(L"tbarItemId", &id);
    data->GetDWord(L"tbarSubItemIconType", &icon);
    if (icon == 1) focus->UnFocus(id);
  }
  return 0;
}

}  // namespace Util::UtilGFTbar

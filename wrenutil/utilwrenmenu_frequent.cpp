// Util::UtilWRENMenu::FrequentContactsMenu: the folder menu and its sink.
#include "wrenutil/utilwrenmenu_frequent.h"

#include <cstdint>
#include <set>
#include <utility>

#include "common/include/utilcore.h"
#include "gf/include/igfevent.h"
#include "include/frecontact/ifrequentcontactsmgrnew.h"
#include "include/frecontact/utilwrenfrecontact.h"
#include "include/utilwrenright.h"
#include "platform/afutil/afutil.h"
#include "platform/afutil/mainframe.h"
#include "platform/common/fmtstring.h"
#include "platform/common/kzdialog.h"
#include "platform/common/lifetime.h"
#include "platform/gf/gf_event.h"
#include "platform/kernelutil/kernelutil.h"
#include "platform/kernelutil/orgmembership.h"
#include "wrenutil/internal/utilwrenmenu_internal.h"

namespace Util::UtilWRENMenu::FrequentContactsMenu {

namespace {

using internal::kSource;
using internal::Text;

constexpr DWORD kNoFolder = static_cast<DWORD>(-1);
constexpr wchar_t kFolderItemName[] = L"strFrequentFoldeItem";
constexpr wchar_t kAddFolderItemName[] = L"Frequent_Add_Folder";

// Assertion lines.
constexpr int kLineNoLimits = 2572;
constexpr int kLineClickNoFrame = 2669;
constexpr int kLineClickNoData = 2677;
constexpr int kLineClickNoFolder = 2709;
constexpr int kLineDialogNoBag = 2832;
constexpr int kLineDialogNoObject = 2838;

constexpr wchar_t kClickFunction[] =
    L"Util::UtilWRENMenu::FrequentContactsMenu::CMenuEvtSink::OnClickMenuItem";
constexpr internal::ReportCall kReportAdd = {2765, kClickFunction,
                                             L"*.ExtPt-CallExten<OnReport(L\"0x80024d4\")>",
                                             L"OnReport(L\"0x80024d4\")", L"0x80024d4"};
constexpr internal::ReportCall kReportMove = {2760, kClickFunction,
                                              L"*.ExtPt-CallExten<OnReport(L\"0x80024d5\")>",
                                              L"OnReport(L\"0x80024d5\")", L"0x80024d5"};

// A u32 field, `fallback` when the bag or field is missing.
DWORD Field(IKZDataRead* bag, const char* name, DWORD fallback = 0) {
  DWORD value = fallback;
  if (bag != nullptr && FAILED(bag->GetDWord(name, &value))) value = fallback;
  return value;
}

CKZStringW StrField(IKZDataRead* bag, const char* name) {
  CKZBSTR text;
  if (bag != nullptr) bag->GetStr(name, &text);
  return CKZStringW(text.c_str());
}

// Creates, fills and appends one item; false (nothing appended) when the
// item cannot be made or appended.
bool AppendItem(IGFMenu* menu, const wchar_t* text, const wchar_t* name, IKZData* data,
                bool enabled, bool flag_zero) {
  CKZComPtr<IGFMenuItem> item;
  if (FAILED(menu->CreateItem(&item)) || !item) return false;
  item->SetText(text);
  item->SetName(name);
  if (data != nullptr) item->SetUserData(data);
  if (flag_zero) item->SetItemFlag(0);
  item->SetEnable(enabled ? 1 : 0);
  return SUCCEEDED(menu->AppendItem(item));
}

// The u32 elements of `array` (null: none); elements that do not read as
// u32 count as `fallback`.
std::vector<DWORD> Elements(IKZArrayRead* array, DWORD fallback) {
  std::vector<DWORD> out;
  DWORD count = 0;
  if (array == nullptr || FAILED(array->GetCount(&count))) return out;
  for (DWORD i = 0; i < count; ++i) {
    DWORD value = fallback;
    if (FAILED(array->GetDWord(i, &value))) value = fallback;
    out.push_back(value);
  }
  return out;
}

bool HasOrgMembershipService() {
  CKZComPtr<IKZOrgMembershipService> service;
  return GetService(IKZOrgMembershipService::kIid, &service) && service;
}

void ShowLimitMessage(IGFFrame* frame, const wchar_t* text_key, DWORD limit) {
  CFmtString format;
  format.SetProperty(L"_MAXCOUNT_", L"%lu", static_cast<unsigned long>(limit));
  CKZStringW text = format.Format(Text(text_key));
  Util::Misc::MessageBoxExW(frame, text, Text(L"CF_MESSAGE_TITLE"), 0x30, nullptr, nullptr);
}

}  // namespace

CMenuEvtSink& CMenuEvtSink::Instance() {
  static CMenuEvtSink* instance = new CMenuEvtSink();  // lives until the process ends
  return *instance;
}

CMenuEvtSink::CMenuEvtSink() {
  CGFEventListener<CMenuEvtSink>* listener = nullptr;
  CParamComObjectNoLock<CGFEventListener<CMenuEvtSink>>::CreateInstance(this, &listener);
  if (listener != nullptr) {
    listener->BindEvent(1, &CMenuEvtSink::OnClickMenuItem);
    listener_.Attach(listener);
    platform::DeclareProcessObject(listener_.Get());
  }
  // None of its events is bound.
  CFrequentInfoEventNew<CMenuEvtSink>* frequent = nullptr;
  CParamComObjectNoLock<CFrequentInfoEventNew<CMenuEvtSink>>::CreateInstance(this, &frequent);
  if (frequent != nullptr) {
    frequent_.Attach(frequent);
    platform::DeclareProcessObject(frequent_.Get());
  }
}

void CMenuEvtSink::ReplaceSelection(CKZComPtr<IKZArray> selection) {
  platform::WithdrawProcessObject(selection_.Get());
  selection_ = std::move(selection);
  platform::DeclareProcessObject(selection_.Get());
}

int CMenuEvtSink::BuildFolderMenu(IKZArray* contacts, IGFMenu** menu_out, IKZData* context,
                                  IKZArray* excluded, IGFFrame* frame) {
  if (menu_out == nullptr) return 0;
  const DWORD show_all = internal::ReadFlag(context, "bShowAllFolders", 1);

  // The selection: contacts the folders may take.
  ReplaceSelection(nullptr);
  CKZComPtr<IKZArray> selection;
  if (Util::Data::CreateKZArray(&selection) && selection) {
    const DWORD self = Util::Contact::GetSelfUin();
    for (DWORD uin : Elements(contacts, 0)) {
      if (uin == 0 || uin == self) continue;
      if (internal::IsOrgMember(uin) != 0 || Util::Contact::GetRTypeByUin(uin) == 1) {
        selection->AddDWord(uin);
      }
    }
    ReplaceSelection(selection);
  }

  // The offer check.
  const std::vector<DWORD> chosen = Elements(selection_.Get(), 0);
  if (chosen.empty()) return 0;
  const bool rights = Util::WRENRight::CanAddOuterFrequentContacts() != 0;
  bool any_member = false;
  for (DWORD uin : chosen) any_member = any_member || internal::IsOrgMember(uin) != 0;
  if (!HasOrgMembershipService() || !(rights || any_member)) return 0;

  std::set<DWORD> excluded_ids;
  for (DWORD id : Elements(excluded, kNoFolder)) {
    if (id != kNoFolder) excluded_ids.insert(id);
  }

  CKZComPtr<IGFMenu> menu = internal::CreateMenu();
  if (!menu) return 0;

  std::set<DWORD> holding;
  if (show_all == 0) {
    for (DWORD uin : Elements(contacts, 0)) {
      CKZComPtr<IKZArray> folders;
      if (FAILED(Util::WRENFreContact::GetFoldersOfContact(uin, &folders)) || !folders) continue;
      DWORD count = 0;
      folders->GetCount(&count);
      for (DWORD i = 0; i < count; ++i) {
        CKZComPtr<IKZData> folder;
        if (SUCCEEDED(folders->GetKZData(i, &folder))) holding.insert(Field(folder, "GroupID"));
      }
    }
  }

  CKZComPtr<IKZArray> folders;
  if (FAILED(Util::WRENFreContact::GetFolderList(&folders)) || !folders) return 0;
  CKZComPtr<IKZData> limits;
  if (FAILED(Util::WRENFreContact::GetLimits(&limits)) || !limits) {
    WREN_ASSERT_AT(L"FALSE", kSource, kLineNoLimits);
    return 0;
  }
  const DWORD per_group = Field(limits, "MaxNumOfContactPerGroup");

  DWORD folder_count = 0;
  folders->GetCount(&folder_count);
  int added = 0;
  for (DWORD i = 0; i < folder_count; ++i) {
    CKZComPtr<IKZData> folder;
    folders->GetKZData(i, &folder);
    const DWORD id = Field(folder, "GroupID");
    if (show_all == 0 && holding.count(id) == 0) continue;
    if (excluded_ids.count(id) != 0) continue;
    CKZComPtr<IKZData> bag;
    if (!Util::Data::CreateKZData(&bag) || !bag) continue;
    bag->SetDWord("dwFolderId", id);
    if (context != nullptr) context->CopyTo(bag);
    const bool enabled = Field(folder, "TotalChildren") < per_group;
    if (AppendItem(menu, StrField(folder, "GroupName"), kFolderItemName, bag, enabled, true)) {
      ++added;
    }
  }
  if (added > 0) AddSeperaor(menu);

  CKZComPtr<IKZData> add_bag;
  if (Util::Data::CreateKZData(&add_bag) && add_bag) {
    if (frame != nullptr) add_bag->SetInterface("pParentWnd", IGFFrame::kIid, frame);
    if (context != nullptr) context->CopyTo(add_bag);
  }
  AppendItem(menu, Text(L"Contacts_newClass"), kAddFolderItemName, add_bag,
             Field(limits, "TotalGroups") < Field(limits, "MaxNumOfGroup"), false);

  CKZComPtr<IGFEventSource> events;
  if (SUCCEEDED(menu.QueryInterface(&events)) && events && listener_) {
    events->AddEventListener(platform::kGFMenuItemChosen, listener_.Get());
  }
  internal::HandOut(menu, menu_out);
  return folder_count > 0 ? 1 : 0;
}

HRESULT CMenuEvtSink::OnClickMenuItem(IUnknown*, DWORD, IKZData* params) {
  if (params == nullptr) return E_FAIL;
  const CKZStringW name = StrField(params, "name");
  CKZComPtr<IGFFrame> frame;
  if (FAILED(params->GetInterface("frame", IGFFrame::kIid, reinterpret_cast<void**>(&frame))) ||
      !frame) {
    WREN_ASSERT_AT(L"FALSE", kSource, kLineClickNoFrame);
    return E_FAIL;
  }
  CKZComPtr<IKZData> item;
  if (FAILED(frame->GetUserData(&item)) || !item) {
    WREN_ASSERT_AT(L"FALSE", kSource, kLineClickNoData);
    return E_FAIL;
  }
  CKZComPtr<IGFFrame> parent;
  item->GetInterface("pParentWnd", IGFFrame::kIid, reinterpret_cast<void**>(&parent));

  const DWORD target = name.str() == kAddFolderItemName ? RunAddFolderDialog(parent.Get())
                                                        : Field(item, "dwFolderId", kNoFolder);
  const DWORD source = Field(item, "dwFromFolderId", kNoFolder);

  DWORD n = 0;
  if (selection_) selection_->GetCount(&n);
  if (target != kNoFolder && n > 0) {
    CKZComPtr<IKZData> limits, folder;
    Util::WRENFreContact::GetLimits(&limits);
    Util::WRENFreContact::GetFolder(target, &folder);
    if (!limits || !folder) {
      WREN_ASSERT_AT(L"FALSE", kSource, kLineClickNoFolder);
      return E_FAIL;
    }
    const DWORD per_group = Field(limits, "MaxNumOfContactPerGroup");
    const DWORD total = Field(limits, "MaxNumOfContact");
    if (std::uint64_t{Field(folder, "TotalChildren")} + n > per_group) {
      ShowLimitMessage(frame, L"FrequentPage_Menu_AddContact_MaxLimit2", per_group);
      return S_OK;
    }
    if (std::uint64_t{Field(limits, "TotalContacts")} + n > total) {
      ShowLimitMessage(frame, L"FrequentPage_Menu_AddContact_MaxLimit3", total);
      return S_OK;
    }
    // Kept alive over the calls, whatever a menu built meanwhile does.
    CKZComPtr<IKZArray> selection = selection_;
    if (SUCCEEDED(Util::WRENFreContact::AddContactsToFolder(selection, target)) &&
        source != kNoFolder) {
      Util::WRENFreContact::RemoveContactsFromFolder(selection, source);
    }
  }

  if (Util::Data::HasField(item.Get(), "bShowAllFolders")) {
    internal::CollectExtensions(source != kNoFolder ? kReportMove : kReportAdd);
  }
  return S_OK;
}

DWORD CMenuEvtSink::RunAddFolderDialog(IGFFrame* parent) {
  CKZComPtr<IKZInputDialog> dialog;
  wrenutil::internal::CallCore(&dialog, L"! L\"CreateObject时Util::Core::GetCurrentCore失败.\"",
                               109, [](IKZCore* core, void** slot) {
                                 return core->CreateObject(IKZInputDialog::kClsid,
                                                           IKZInputDialog::kIid, slot);
                               });
  if (!dialog) {
    WREN_ASSERT_AT(L"FALSE", kSource, kLineDialogNoObject);
    return kNoFolder;
  }
  CKZComPtr<IKZData> bag;
  if (!Util::Data::CreateKZData(&bag) || !bag) {
    WREN_ASSERT_AT(L"FALSE", kSource, kLineDialogNoBag);
    return kNoFolder;
  }
  bag->SetStr("strTitle", Text(L"WREN_Frequent_AddFolderWndTitle"));
  bag->SetStr("strPromptText", Text(L"WREN_Frequent_AddFolderWndDsc"));
  bag->SetStr("strInputText", L"");
  bag->SetStr("strLimitType", L"UTF8");
  bag->SetDWord("nLimitLength", 24);

  CKZComPtr<IKZMainFrameService> main_frame;
  GetService(IKZMainFrameService::kIid, &main_frame);
  if (main_frame) main_frame->BeginModal();
  const HRESULT result = dialog->DoModal(bag, parent);
  if (main_frame) main_frame->EndModal();
  if (result != S_OK) return kNoFolder;  // 1: cancelled; a failure counts the same

  const CKZStringW name = StrField(bag, "strInputText");
  if (name.IsEmpty()) return kNoFolder;
  DWORD id = kNoFolder;
  if (FAILED(Util::WRENFreContact::CreateFolder(1, name, &id))) return kNoFolder;
  return id;
}

int GetFrequentFolderMenu(IKZArray* contacts, IGFMenu** menu, IKZData* context, IKZArray* excluded,
                          IGFFrame* frame) {
  return CMenuEvtSink::Instance().BuildFolderMenu(contacts, menu, context, excluded, frame);
}

int GetAddContactMenu(DWORD uin, IGFMenu** menu, IGFFrame* frame) {
  CKZComPtr<IKZArray> contacts;
  if (!Util::Data::CreateKZArray(&contacts) || !contacts) return 0;
  contacts->AddDWord(uin);
  return GetFrequentFolderMenu(contacts, menu, nullptr, nullptr, frame);
}

int GetAddContactMenu(IKZArray* contacts, IGFMenu** menu, IKZData* context, IGFFrame* frame) {
  return GetFrequentFolderMenu(contacts, menu, context, nullptr, frame);
}

}  // namespace Util::UtilWRENMenu::FrequentContactsMenu

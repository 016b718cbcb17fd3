// Util::UtilWRENMenu: menu actions and the dispatch of buddy-menu clicks.
#include <string>
#include <vector>

#include "common/include/icallback.h"
#include "common/include/utilcore.h"
#include "platform/afutil/afutil.h"
#include "platform/common/perf.h"
#include "platform/gf/gf_element.h"
#include "platform/gf/gf_extension.h"
#include "platform/kernelutil/kernelutil.h"
#include "platform/kernelutil/menuservices.h"
#include "wrenutil/internal/utilwrenmenu_internal.h"
#include "wrenutil/utilwrenmenu.h"

namespace Util::UtilWRENMenu {

using internal::kSource;
using internal::Text;

namespace {

constexpr wchar_t kSendIMFunction[] = L"Util::UtilWRENMenu::SendIM";

constexpr internal::ReportCall kReportOne = {internal::kLineSendIMOne, kSendIMFunction,
                                             L"*.ExtPt-CallExten<OnReport(L\"0x8001da3\")>",
                                             L"OnReport(L\"0x8001da3\")", L"0x8001da3"};
constexpr internal::ReportCall kReportMany = {internal::kLineSendIMMany, kSendIMFunction,
                                              L"*.ExtPt-CallExten<OnReport(L\"0x8001daa\")>",
                                              L"OnReport(L\"0x8001daa\")", L"0x8001daa"};

HRESULT NotRealized() {
  Util::MsgBox::Show(nullptr, L"Not realized yet!", Text(L"WREN_Tip"), 0x40);
  return S_OK;
}

const wchar_t* ChatTypeName(int type) {
  switch (type) {
    case 4:
      return L"buddy";
    case 3:
      return L"discuss";
    case 5:
      return L"group";
    default:
      return L"";
  }
}

}  // namespace

namespace internal {

void CollectExtensions(const ReportCall& report) {
  CPerfRecordScope scope(kSource, report.line, 2, report.function, report.tag);
  std::wstring call = report.call;
  std::wstring method = call.substr(0, call.find(L'('));

  CKZComPtr<IKZExtensionPoint> point;
  if (!GetExtensionPoint(kReportPoint, &point) || !point) return;
  std::vector<CKZComPtr<IUnknown>> extensions;
  DWORD count = 0;
  point->GetExtensionCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    CKZComPtr<IKZExtensionInfo> info;
    int offers = 0;
    if (FAILED(point->GetExtensionInfo(i, &info)) || !info ||
        FAILED(info->OffersMethod(method.c_str(), &offers)) || offers == 0) {
      continue;
    }
    CKZComPtr<IUnknown> extension;
    if (SUCCEEDED(info->CreateExtension(kReportPoint, &extension)) && extension) {
      extensions.push_back(extension);
    }
  }
  for (const auto& extension : extensions) {
    CKZComPtr<IKZReportExtension> reporter;
    if (SUCCEEDED(extension.QueryInterface(&reporter)) && reporter) {
      reporter->OnReport(report.code);
    }
  }
}

}  // namespace internal

HRESULT OnClickStandardBuddyMenu(IKZData* click) {
  if (click == nullptr) return S_OK;
  CKZBSTR name_text;
  click->GetStr("name", &name_text);
  const std::wstring name = name_text.c_str();
  CKZComPtr<IGFFrame> frame;
  if (FAILED(click->GetInterface("frame", IGFFrame::kIid, reinterpret_cast<void**>(&frame))) ||
      !frame) {
    WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineClickNoFrame);
    return E_FAIL;
  }
  CKZComPtr<IKZData> data;
  if (FAILED(frame->GetUserData(&data)) || !data) {
    WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineClickNoData);
    return E_FAIL;
  }
  CKZComPtr<IKZArray> selection;
  data->GetKZArray("SelectUins", &selection);
  DWORD uin = 0;
  DWORD count = 0;
  if (selection) selection->GetCount(&count);
  if (count == 1) selection->GetDWord(0, &uin);

  if (name == L"Send_Message") {
    CKZStringW scratch;
    SendIM(selection.Get(), scratch);
  } else if (name == L"MENU_WREN_SENDFILE") {
    SendFile(selection.Get());
  } else if (name == L"MENU_WREN_BROADCAST") {
    SendBroadCast(selection.Get());
  } else if (name == L"MENU_WREN_STARTAUDIOSESSION") {
    StartAudio(selection.Get());
  } else if (name == L"MENU_WREN_STARTVEDIOSESSION") {
    StartVideo(selection.Get());
    // NOLINTNEXTLINE(bugprone-branch-clone): kept in the order of the click table
  } else if (name == L"MENU_WREN_CARECONTACTSTATE" || name == L"MENU_WREN_UNCARECONTACTSTATE") {
    // Nothing to do.
  } else if (name == L"MENU_WREN_CHATRECORD") {
    if (uin != 0) OpenChatRecord(uin, 4);
  } else if (name == L"MENU_WREN_USERINFO") {
    if (uin != 0) ViewUserInfo(uin);
  } else if (name == L"MENU_WREN_ADD_SHORTCUT") {
    if (uin != 0) HandleShortCut(uin, 1);
  } else if (name == L"MENU_WREN_DEL_SHORTCUT") {
    if (uin != 0) HandleShortCut(uin, 0);
  } else if (name == L"MENU_WREN_ADDTOUSERGROUP") {
    // Nothing to do.
  } else {
    WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineClickUnknown);
  }
  return S_OK;
}

HRESULT SendIM(DWORD uin) {
  internal::CollectExtensions(kReportOne);
  HRESULT result = E_FAIL;
  std::int8_t kind = ClassifyContact(uin);
  if (kind == 0 || kind == 2) {
    Util::ChatSession::OpenChatSession(uin, 0, nullptr);
    result = S_OK;
  }
  CKZComPtr<IKZContactInfoService> info;
  if (GetService(IKZContactInfoService::kIid, &info) && info) {
    info->RequestContactInfo(uin, 1, 0);
  }
  return result;
}

HRESULT SendIM(IKZArray* selection) {
  CKZStringW scratch;
  return SendIM(selection, scratch);
}

HRESULT SendIM(IKZArray* selection, CKZStringW& failText) {
  internal::CollectExtensions(kReportMany);
  if (selection == nullptr) {
    WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineSendIMNull);
    return E_INVALIDARG;
  }
  failText = Text(L"Create_Discuss_Fail");
  const DWORD self = Util::Contact::GetSelfUin();
  DWORD count = 0;
  selection->GetCount(&count);
  for (DWORD i = count; i > 0; --i) {
    DWORD uin = 0;
    if (SUCCEEDED(selection->GetDWord(i - 1, &uin)) && uin == self) selection->RemoveAt(i - 1);
  }
  count = 0;
  selection->GetCount(&count);
  if (count == 1) {
    DWORD uin = 0;
    selection->GetDWord(0, &uin);
    return SendIM(uin);
  }
  if (count == 0) {
    WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineSendIMNone);
    return E_FAIL;
  }
  CKZComPtr<IKZDiscussService> discuss;
  if (GetService(IKZDiscussService::kIid, &discuss) && discuss) {
    discuss->CreateDiscussion(selection, nullptr);
  }
  return S_OK;
}

HRESULT SendGeneralDiscussIM(IKZArray* selection, const CKZStringW&) {
  if (selection == nullptr) {
    WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineGeneralDiscuss);
    return E_INVALIDARG;
  }
  return E_FAIL;
}

HRESULT SendFile(DWORD) { return NotRealized(); }
HRESULT SendFile(IKZArray*) { return NotRealized(); }
HRESULT SendBroadCast(DWORD) { return NotRealized(); }
HRESULT SendBroadCast(IKZArray*) { return NotRealized(); }
HRESULT StartAudio(DWORD) { return NotRealized(); }
HRESULT StartAudio(IKZArray*) { return NotRealized(); }
HRESULT StartVideo(DWORD) { return NotRealized(); }
HRESULT StartVideo(IKZArray*) { return NotRealized(); }

HRESULT OpenChatRecord(DWORD uin, int chatType) {
  CKZComPtr<IKZChatHistoryService> history;
  if (!GetService(IKZChatHistoryService::kIid, &history) || !history) {
    WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineChatRecordNoService);
    return E_FAIL;
  }
  if (FAILED(history->OpenChatHistory(ChatTypeName(chatType), std::to_wstring(uin).c_str(), 0))) {
    WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineChatRecordFailed);
    return E_FAIL;
  }
  return S_OK;
}

HRESULT ViewUserInfo(DWORD uin) {
  CKZComPtr<IKZContactCardService> card;
  GetService(IKZContactCardService::kIid, &card);
  if (uin == Util::Contact::GetSelfUin()) {
    if (!card) {
      WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineSelfCardNoService);
      return E_FAIL;
    }
    card->ShowSelfCard(0);
    return S_OK;
  }
  if (!card) return E_FAIL;
  card->ShowContactCard(uin, 0, 0, 0, 0);
  return S_OK;
}

HRESULT HandleShortCut(DWORD uin, int add) {
  if (uin == 0) return S_FALSE;
  CKZComPtr<IKZShortcutService> shortcut;
  GetService(IKZShortcutService::kIid, &shortcut);
  CKZComPtr<IKZData> key;
  if (Util::Data::CreateKZData(&key) && key) {
    key->SetDWord("dwKey", uin);
    key->SetUInt8("cKeyType", 1);
  }
  if (shortcut && key) {
    if (add != 0) {
      shortcut->AddShortcut(key);
    } else {
      shortcut->RemoveShortcut(key);
    }
  }
  return S_OK;
}

HRESULT SetSpecialCare(DWORD uin) {
  if (uin == 0) return S_FALSE;
  CKZComPtr<IKZSpecialCareService> care;
  CKZComPtr<IKZSpecialCareSettingService> setting;
  GetService(IKZSpecialCareService::kIid, &care);
  GetService(IKZSpecialCareSettingService::kIid, &setting);
  if (care && setting) {
    int cared = 0;
    care->IsSpecialCare(uin, &cared);
    setting->SetSpecialCare(uin, cared != 0 ? 0 : 1, 1);
  }
  return S_OK;
}

HRESULT SetMsgAvoidance(DWORD uin) {
  int avoided = Util::Misc::C2CAvodiance::GetC2CAvoidanceFlag(uin);
  Util::Misc::C2CAvodiance::SetC2CAvoidanceFlag(
      uin, avoided != 0 ? C2CAvoidanceDef::kAvoidanceCancel : C2CAvoidanceDef::kAvoidanceSet);
  return S_OK;
}

HRESULT CareContactState(DWORD) { return E_FAIL; }
HRESULT UnCareContactState(DWORD) { return E_FAIL; }
HRESULT AddToUserGroup(DWORD, const wchar_t*) { return E_FAIL; }
HRESULT AddToUserGroup(IKZArray*, const wchar_t*) { return S_OK; }
void OnAddToMyDeptClick(IKZData*) {}
void OnAddToMyDeptClick(IKZArray*) {}

// ---------------------------------------------------------------------------
// The discussion listener.

CInternalMenuListener::CInternalMenuListener()
    : callback_(this, &CInternalMenuListener::OnCreateDiscussComplete) {}

HRESULT CInternalMenuListener::OnCreateDiscussComplete(std::int32_t code, IKZData* data) {
  constexpr std::int32_t kCreated = -2;
  constexpr int kCanModifyEvent = 103;
  if (code == kCreated) {
    DWORD discuss = 0;
    if (data != nullptr) data->GetDWord("dwDisUin", &discuss);
    CKZComPtr<IKZChatSession> session;
    Util::ChatSession::GetKZChatSession(discuss, 3, &session);
    if (!session) return S_OK;
    CKZComPtr<IKZChatSessionFrame> frame;
    session.QueryInterface(&frame);
    CKZComPtr<IKZData> event;
    if (frame && Util::Data::CreateKZData(&event) && event) {
      event->SetBool("bCanModify", 1);
      frame->SendFrameEvent(kCanModifyEvent, event);
    }
    return S_OK;
  }
  CKZStringW prompt;
  if (data != nullptr) Util::Data::GetKZDataStr(data, "strFailPrompt", prompt);
  if (prompt.IsEmpty()) prompt = Text(L"CF_CREATEDISCUSS_FAIL");
  Util::Misc::MessageBoxW(nullptr, prompt, Text(L"CF_MESSAGE_TITLE"), 0x30);
  return S_OK;
}

namespace {
// Built when the library is loaded; its callback is handed to no service.
CInternalMenuListener g_menu_listener;
}  // namespace

}  // namespace Util::UtilWRENMenu

// The in-memory services of the contact menus.
#include "platform/kernelutil/menuservices.h"

#include <string>

#include "platform/common/kzdata.h"
#include "platform/common/kzptr.h"
#include "platform/common/refcounted.h"
#include "platform/kernelutil/calljournal.h"

namespace platform {
namespace {

std::wstring Num(DWORD value) { return std::to_wstring(value); }

class MemoryMenuServices
    : public RefCounted<IKZPrivilegeService, IKZFreContactGroupService, IKZFreContactDataService,
                        IKZOuterAuthService, IKZOuterMsgBlockService, IKZShortcutService,
                        IKZSpecialCareService, IKZSpecialCareSettingService, IKZContactInfoService,
                        IKZDiscussService, IKZChatHistoryService, IKZContactCardService,
                        IKZOuterContactService> {
 public:
  explicit MemoryMenuServices(std::shared_ptr<ContactMenuData> data) : data_(std::move(data)) {}

  HRESULT HavePrivilege(DWORD privilege, int* has) override {
    if (has == nullptr) return E_POINTER;
    *has = data_->privileges.count(privilege) != 0 ? 1 : 0;
    return S_OK;
  }
  HRESULT HaveChannelPrivilege(DWORD channel, int* has) override {
    if (has == nullptr) return E_POINTER;
    *has = data_->channel_privileges.count(channel) != 0 ? 1 : 0;
    return S_OK;
  }

  HRESULT GetGroupList(IKZArray** groups) override {
    if (groups == nullptr) return E_POINTER;
    *groups = nullptr;
    if (!data_->groups_loaded) return E_FAIL;
    Util::Data::CreateKZArray(groups);
    for (const auto& group : data_->fre_groups) (*groups)->AddDWord(group.first);
    return S_OK;
  }
  HRESULT GetGroupName(DWORD group, BSTR* name) override {
    if (name == nullptr) return E_POINTER;
    *name = nullptr;
    for (const auto& g : data_->fre_groups) {
      if (g.first == group) {
        *name = SysAllocString(g.second.c_str());
        return S_OK;
      }
    }
    return E_FAIL;
  }

  HRESULT GetFreContactList(IKZArray** entries) override {
    if (entries == nullptr) return E_POINTER;
    Util::Data::CreateKZArray(entries);
    for (const auto& id : data_->fre_entries) {
      CKZComPtr<IKZData> entry;
      Util::Data::CreateKZData(&entry);
      entry->SetStr("str_typeid", id.c_str());
      (*entries)->AddKZData(entry);
    }
    return S_OK;
  }

  HRESULT GetAuthSetting(DWORD uin, IKZData** setting) override {
    if (setting == nullptr) return E_POINTER;
    Util::Data::CreateKZData(setting);
    (*setting)->SetDWord("bInvisible", data_->invisible.count(uin) != 0 ? 1 : 0);
    return S_OK;
  }
  HRESULT GetBlockSetting(DWORD uin, IKZData** setting) override {
    if (setting == nullptr) return E_POINTER;
    *setting = nullptr;
    if (data_->no_block_setting.count(uin) != 0) return E_FAIL;
    Util::Data::CreateKZData(setting);
    (*setting)->SetDWord("bPrevented", data_->prevented.count(uin) != 0 ? 1 : 0);
    return S_OK;
  }

  HRESULT GetShortcutState(DWORD key, int kind, BYTE* state) override {
    if (state == nullptr) return E_POINTER;
    *state = 0;
    if (kind != 1) return S_OK;
    if (data_->shortcut_present.count(key) != 0) {
      *state = 2;
    } else if (data_->shortcut_allowed.count(key) != 0) {
      *state = 1;
    }
    return S_OK;
  }
  HRESULT AddShortcut(IKZData* key) override { return Shortcut(key, true); }
  HRESULT RemoveShortcut(IKZData* key) override { return Shortcut(key, false); }

  HRESULT IsSpecialCare(DWORD uin, int* cared) override {
    if (cared == nullptr) return E_POINTER;
    *cared = data_->special_care.count(uin) != 0 ? 1 : 0;
    return S_OK;
  }
  HRESULT SetSpecialCare(DWORD uin, int care, int notify) override {
    NoteCall(L"SetSpecialCare(" + Num(uin) + L", " + std::to_wstring(care) + L", " +
             std::to_wstring(notify) + L")");
    if (care != 0) {
      data_->special_care.insert(uin);
    } else {
      data_->special_care.erase(uin);
    }
    return S_OK;
  }

  HRESULT RequestContactInfo(DWORD uin, int kind, int flags) override {
    NoteCall(L"RequestContactInfo(" + Num(uin) + L", " + std::to_wstring(kind) + L", " +
             std::to_wstring(flags) + L")");
    return S_OK;
  }
  HRESULT GetContactInfo(DWORD uin, DWORD fields, IKZData** info) override {
    return MakeContactInfo(data_->real_names, uin, fields, info);
  }

  HRESULT CreateDiscussion(IKZArray* uins, IKZCallback* sink) override {
    if (uins == nullptr) return E_POINTER;
    std::wstring note = L"CreateDiscussion(";
    DWORD count = 0;
    uins->GetCount(&count);
    for (DWORD i = 0; i < count; ++i) {
      DWORD uin = 0;
      uins->GetDWord(i, &uin);
      if (i != 0) note += L" ";
      note += Num(uin);
    }
    note += sink ? L", sink)" : L", no sink)";
    NoteCall(std::move(note));
    return S_OK;
  }

  HRESULT OpenChatHistory(const wchar_t* type, const wchar_t* id, int flags) override {
    std::wstring t = type ? type : L"";
    NoteCall(L"OpenChatHistory(\"" + t + L"\", \"" + (id ? id : L"") + L"\", " +
             std::to_wstring(flags) + L")");
    if (t != L"buddy" && t != L"discuss" && t != L"group") return E_INVALIDARG;
    return data_->chat_history_result;
  }

  HRESULT ShowSelfCard(int flags) override {
    NoteCall(L"ShowSelfCard(" + std::to_wstring(flags) + L")");
    return S_OK;
  }
  HRESULT ShowContactCard(DWORD uin, int a, int b, int c, int d) override {
    NoteCall(L"ShowContactCard(" + Num(uin) + L", " + std::to_wstring(a) + L", " +
             std::to_wstring(b) + L", " + std::to_wstring(c) + L", " + std::to_wstring(d) + L")");
    return S_OK;
  }

  HRESULT GetAccountKind(DWORD uin, DWORD* kind) override {
    if (kind == nullptr) return E_POINTER;
    auto it = data_->account_kinds.find(uin);
    *kind = it == data_->account_kinds.end() ? 0 : it->second;
    return S_OK;
  }

 private:
  HRESULT Shortcut(IKZData* key, bool add) {
    if (key == nullptr) return E_POINTER;
    DWORD uin = 0;
    BYTE type = 0;
    key->GetDWord("dwKey", &uin);
    key->GetUInt8("cKeyType", &type);
    NoteCall(std::wstring(add ? L"ShortcutAdd" : L"ShortcutRemove") + L"(dwKey=" + Num(uin) +
             L", cKeyType=" + std::to_wstring(type) + L")");
    if (type == 1) {
      if (add) {
        data_->shortcut_present.insert(uin);
      } else {
        data_->shortcut_present.erase(uin);
      }
    }
    return S_OK;
  }

  std::shared_ptr<ContactMenuData> data_;
};

constexpr ServiceSlot kSlots[] = {
    {kPrivilegeService, IKZPrivilegeService::kIid},
    {kFreContactGroupService, IKZFreContactGroupService::kIid},
    {kFreContactDataService, IKZFreContactDataService::kIid},
    {kOuterAuthService, IKZOuterAuthService::kIid},
    {kOuterMsgBlockService, IKZOuterMsgBlockService::kIid},
    {kShortcutService, IKZShortcutService::kIid},
    {kSpecialCareService, IKZSpecialCareService::kIid},
    {kSpecialCareSettingService, IKZSpecialCareSettingService::kIid},
    {kContactInfoService, IKZContactInfoService::kIid},
    {kDiscussService, IKZDiscussService::kIid},
    {kChatHistoryService, IKZChatHistoryService::kIid},
    {kContactCardService, IKZContactCardService::kIid},
    {kOuterContactService, IKZOuterContactService::kIid},
};

}  // namespace

HRESULT MakeContactInfo(const std::map<DWORD, std::wstring>& real_names, DWORD uin, DWORD fields,
                        IKZData** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  auto it = real_names.find(uin);
  if (it == real_names.end()) return E_FAIL;
  if (!Util::Data::CreateKZData(info) || *info == nullptr) return E_OUTOFMEMORY;
  (*info)->SetDWord("dwUin", uin);
  if ((fields & kContactInfoRealName) != 0) (*info)->SetStr("cstrRealname", it->second.c_str());
  return S_OK;
}

HRESULT CreateMemoryMenuServices(std::shared_ptr<ContactMenuData> data, IUnknown** services) {
  if (services == nullptr) return E_POINTER;
  *services = nullptr;
  if (!data) return E_INVALIDARG;
  *services = static_cast<IKZPrivilegeService*>(new MemoryMenuServices(std::move(data)));
  return S_OK;
}

HRESULT RegisterMenuServices(IKZCoreHost* core, IUnknown* services, unsigned mask) {
  return RegisterServiceSlots(core, services, mask, kSlots);
}

HRESULT RegisterServiceSlots(IKZCoreHost* core, IUnknown* services, unsigned mask,
                             std::span<const ServiceSlot> slots) {
  if (core == nullptr || services == nullptr) return E_POINTER;
  for (const ServiceSlot& slot : slots) {
    HRESULT hr = core->RegisterService(slot.id, (mask & slot.bit) != 0 ? services : nullptr);
    if (FAILED(hr) && (mask & slot.bit) != 0) return hr;
  }
  return S_OK;
}

}  // namespace platform

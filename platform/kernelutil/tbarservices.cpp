// The in-memory services of the tab bar.
#include "platform/kernelutil/tbarservices.h"

#include <utility>

#include "platform/common/kzdata.h"
#include "platform/common/kzjson.h"
#include "platform/common/refcounted.h"
#include "platform/kernelutil/menuservices.h"
#include "platform/kernelutil/orgmembership.h"

namespace platform {
namespace {

class MemoryTbarServices : public RefCounted<IKZTipWindowService, IKZContactFocusService,
                                             IKZOrgMembershipService, IKZContactInfoService> {
 public:
  explicit MemoryTbarServices(std::shared_ptr<TbarServiceData> data) : data_(std::move(data)) {}

  HRESULT SetTiming(DWORD show_delay, DWORD hide_delay, DWORD reserved) override {
    Note(TbarServiceCall::kSetTiming, {show_delay, hide_delay, reserved});
    data_->tip_timing = {show_delay, hide_delay, reserved};
    return S_OK;
  }
  HRESULT ShowTip(IKZData* tip) override {
    std::string json = tip ? KZDataToJson(tip) : "null";
    data_->calls.push_back({TbarServiceCall::kShowTip, {}, tip, json});
    data_->tip_shown = true;
    data_->tip_json = std::move(json);
    return S_OK;
  }
  HRESULT HideTip() override {
    Note(TbarServiceCall::kHideTip, {});
    data_->tip_shown = false;
    data_->tip_json.clear();
    return S_OK;
  }

  HRESULT UnFocus(DWORD uin) override {
    Note(TbarServiceCall::kUnFocus, {uin});
    return data_->focused.erase(uin) != 0 ? S_OK : S_FALSE;
  }

  HRESULT IsOrgMember(DWORD uin, DWORD* is_member) override {
    Note(TbarServiceCall::kIsOrgMember, {uin});
    if (is_member == nullptr) return E_POINTER;
    *is_member = data_->members.count(uin) != 0 ? 1 : 0;
    return S_OK;
  }

  HRESULT RequestContactInfo(DWORD uin, int kind, int flags) override {
    Note(TbarServiceCall::kRequestContactInfo, {uin, kind, flags});
    return S_OK;
  }
  HRESULT GetContactInfo(DWORD uin, DWORD fields, IKZData** info) override {
    Note(TbarServiceCall::kGetContactInfo, {uin, fields});
    return MakeContactInfo(data_->real_names, uin, fields, info);
  }

 private:
  void Note(TbarServiceCall::Op op, std::vector<std::int64_t> args) {
    data_->calls.push_back({op, std::move(args), nullptr, {}});
  }

  std::shared_ptr<TbarServiceData> data_;
};

constexpr ServiceSlot kSlots[] = {
    {kTipWindowService, IKZTipWindowService::kIid},
    {kContactFocusService, IKZContactFocusService::kIid},
    {kTbarOrgMembershipService, IKZOrgMembershipService::kIid},
    {kTbarContactInfoService, IKZContactInfoService::kIid},
};

}  // namespace

HRESULT CreateMemoryTbarServices(std::shared_ptr<TbarServiceData> data, IUnknown** services) {
  if (services == nullptr) return E_POINTER;
  *services = nullptr;
  if (!data) return E_INVALIDARG;
  *services = static_cast<IKZTipWindowService*>(new MemoryTbarServices(std::move(data)));
  return S_OK;
}

HRESULT RegisterTbarServices(IKZCoreHost* core, IUnknown* services, unsigned mask) {
  return RegisterServiceSlots(core, services, mask, kSlots);
}

}  // namespace platform

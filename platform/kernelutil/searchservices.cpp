// In-memory organisation-membership and configuration services.
#include <mutex>
#include <set>

#include "platform/common/refcounted.h"
#include "platform/kernelutil/configservice.h"
#include "platform/kernelutil/orgmembership.h"

namespace {

class MemoryOrgMembership : public platform::RefCounted<IKZOrgMembershipHost> {
 public:
  explicit MemoryOrgMembership(std::initializer_list<DWORD> members) : members_(members) {}
  HRESULT IsOrgMember(DWORD uin, DWORD* is_member) override {
    if (is_member == nullptr) return E_POINTER;
    std::lock_guard<std::mutex> lock(mutex_);
    *is_member = members_.count(uin) != 0 ? 1 : 0;
    return S_OK;
  }
  HRESULT SetOrgMember(DWORD uin, int member) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (member != 0) {
      members_.insert(uin);
    } else {
      members_.erase(uin);
    }
    return S_OK;
  }

 private:
  std::mutex mutex_;
  std::set<DWORD> members_;
};

template <class Iface>
class MemoryConfig : public platform::RefCounted<Iface> {
 public:
  explicit MemoryConfig(const platform::ConfigValues& values) : values_(values) {}
  HRESULT GetConfigString(const wchar_t* name, BSTR* value) override {
    if (name == nullptr || value == nullptr) return E_POINTER;
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = values_.find(name);
    *value = it == values_.end() ? nullptr : SysAllocString(it->second.c_str());
    return S_OK;
  }
  HRESULT SetConfigString(const wchar_t* name, const wchar_t* value) override {
    if (name == nullptr) return E_POINTER;
    std::lock_guard<std::mutex> lock(mutex_);
    if (value == nullptr || *value == 0) {
      values_.erase(name);
    } else {
      values_[name] = value;
    }
    return S_OK;
  }

 private:
  std::mutex mutex_;
  platform::ConfigValues values_;
};

template <class Iface>
HRESULT CreateConfig(const platform::ConfigValues& values, Iface** out) {
  if (out == nullptr) return E_POINTER;
  *out = new MemoryConfig<Iface>(values);
  return S_OK;
}

}  // namespace

namespace platform {

HRESULT CreateMemoryOrgMembershipService(std::initializer_list<DWORD> members,
                                         IKZOrgMembershipHost** out) {
  if (out == nullptr) return E_POINTER;
  *out = new MemoryOrgMembership(members);
  return S_OK;
}

HRESULT CreateMemoryServerConfigService(const ConfigValues& values, IKZServerConfigService** out) {
  return CreateConfig(values, out);
}

HRESULT CreateMemoryLocalConfigService(const ConfigValues& values, IKZLocalConfigService** out) {
  return CreateConfig(values, out);
}

}  // namespace platform

#include "platform/kernelutil/contactstatus.h"

#include <map>
#include <mutex>

#include "platform/common/kzdata.h"
#include "platform/common/kzptr.h"
#include "platform/common/refcounted.h"
#include "platform/gf/gf_element.h"

namespace {

// Statuses by contact number, locked.
class StatusTable {
 public:
  std::uint16_t Get(DWORD uin) {
    std::lock_guard lock(mutex_);
    auto it = statuses_.find(uin);
    return it == statuses_.end() ? 0 : it->second;
  }
  void Set(DWORD uin, std::uint16_t status) {
    std::lock_guard lock(mutex_);
    statuses_[uin] = status;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    statuses_.clear();
  }

 private:
  std::mutex mutex_;
  std::map<DWORD, std::uint16_t> statuses_;
};

class StatusMgr : public platform::RefCounted<IKZIMContactStatusMgr> {
 public:
  HRESULT GetStatus(DWORD uin, std::uint16_t* status) override {
    if (status == nullptr) return E_POINTER;
    *status = table_.Get(uin);
    return S_OK;
  }
  HRESULT SetStatus(DWORD uin, std::uint16_t status) override {
    table_.Set(uin, status);
    return S_OK;
  }

 private:
  StatusTable table_;
};

// The platform's own manager lives as long as the process and is not a
// counted object, so that a test's leak check ignores it.
StatusTable& Own() {
  static StatusTable own;
  return own;
}

class ContactData : public platform::RefCounted<IKZContactDataHost> {
 public:
  HRESULT GetContactInfo(DWORD uin, IKZData** info) override {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    std::lock_guard lock(mutex_);
    auto it = infos_.find(uin);
    if (it == infos_.end()) return E_FAIL;
    return it->second.CopyTo(info);
  }
  HRESULT SetContactInfo(DWORD uin, IKZData* info) override {
    std::lock_guard lock(mutex_);
    if (info == nullptr) {
      infos_.erase(uin);
    } else {
      infos_[uin] = info;
    }
    return S_OK;
  }

 private:
  std::mutex mutex_;
  std::map<DWORD, CKZComPtr<IKZData>> infos_;
};

}  // namespace

namespace Util::Contact {
std::uint16_t GetStatus(DWORD uin, IKZIMContactStatusMgr* manager) {
  if (manager == nullptr) return Own().Get(uin);
  std::uint16_t status = 0;
  if (FAILED(manager->GetStatus(uin, &status))) return 0;
  return status;
}
}  // namespace Util::Contact

namespace platform {
void SetContactStatus(DWORD uin, std::uint16_t status) { Own().Set(uin, status); }
void ResetContactStatus() { Own().Clear(); }

HRESULT CreateContactStatusMgr(IKZIMContactStatusMgr** out) {
  if (out == nullptr) return E_POINTER;
  *out = new StatusMgr;
  return S_OK;
}
HRESULT CreateMemoryContactDataService(IKZContactDataHost** out) {
  if (out == nullptr) return E_POINTER;
  *out = new ContactData;
  return S_OK;
}
}  // namespace platform

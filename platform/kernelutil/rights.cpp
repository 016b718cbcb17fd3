#include "platform/kernelutil/rights.h"

#include "platform/common/kzcore.h"
#include "platform/common/kzptr.h"
#include "platform/common/refcounted.h"
#include "platform/kernelutil/kernelutil.h"
#include "platform/kernelutil/menuservices.h"

namespace platform {
namespace {
class RightService : public RefCounted<IKZRightService> {
 public:
  explicit RightService(DWORD flags) : flags_(flags) {}
  HRESULT GetRightFlags(DWORD* flags) override {
    if (flags == nullptr) return E_POINTER;
    *flags = flags_;
    return S_OK;
  }

 private:
  DWORD flags_;
};
}  // namespace

HRESULT CreateMemoryRightService(DWORD flags, IKZRightService** service) {
  if (service == nullptr) return E_POINTER;
  *service = new RightService(flags);
  return S_OK;
}

}  // namespace platform

namespace Util::Contact {
DWORD GetRTypeByUin(DWORD uin) {
  CKZComPtr<IKZCore> core;
  CKZComPtr<IKZOuterContactService> outer;
  if (uin == 0 || FAILED(Util::Core::GetPlatformCore(&core)) || !core ||
      FAILED(core->GetService(IKZOuterContactService::kIid, reinterpret_cast<void**>(&outer))) ||
      !outer) {
    return 0;
  }
  DWORD kind = 0;
  outer->GetAccountKind(uin, &kind);
  return kind;
}
}  // namespace Util::Contact

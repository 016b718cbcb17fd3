#include "wrenutil/utilwrenconfigcenter.h"

#include "af/include/commonserverconfigdef.h"
#include "common/include/utilcore.h"
#include "common/include/utillog.h"
#include "platform/common/kzdata.h"
#include "platform/kernelutil/serverconfig.h"

namespace {

constexpr wchar_t kSource[] = L"wrenutil\\utilwrenconfigcenter";
constexpr DWORD kSessionProtocolType = 18;
constexpr DWORD kSessionProtocolSubType = 2;
constexpr DWORD kSendByCCProtoSetting = 6;

}  // namespace

namespace Util::WRENConfigCenter {

int IsSendByCCProtoWithCSC() {
  CKZComPtr<IKZData> config;
  GetCommonServerConfigData(kSessionProtocolType, kSessionProtocolSubType, &config);
  if (!config) return 0;
  CKZComPtr<IKZArray> protocols;
  config->GetKZArray(L"SessionProtocol", &protocols);
  if (!protocols) return 0;
  CKZComPtr<IKZData> first;
  protocols->GetKZData(0, &first);
  if (!first) return 0;
  CKZBSTR type;
  first->GetStr(L"ProtoType", &type);
  CKZStringW text(type.c_str());
  return !text.IsEmpty() && text == L"0" ? 1 : 0;
}

int IsSendByCCProtoWithSvr() {
  DWORD value = 0;
  CKZComPtr<IKZMainAccountConfigService> service;
  if (GetService(IKZMainAccountConfigService::kIid, &service) && service) {
    service->GetConfigDWord(kSendByCCProtoSetting, &value);
  }
  const wchar_t* function = L"Util::WRENConfigCenter::IsSendByCCProtoWithSvr";
  wrenutil::internal::WrenLog(kSource, 62, function, 2, L"WRENConfigCenter",
                              L"%s 该主号配置 SendByCCProto : %d", function, value != 0 ? 1 : 0);
  return static_cast<int>(value);
}

}  // namespace Util::WRENConfigCenter

#include "wrenutil/utilwrenconfigcenter.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "af/include/commonserverconfigdef.h"
#include "common/include/utilcore.h"
#include "common/include/utillog.h"
#include "platform/common/kzdata.h"
#include "platform/common/kzdialog.h"
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

CKZStringW GetSelectFileFullName(HWND owner, const wchar_t* file_name, const wchar_t* filter) {
  if (owner == nullptr) return CKZStringW();
  constexpr DWORD kFlags = 0x88002E;  // overwrite prompt, hide read-only, keep the
                                      // directory, hook, explorer style, sizing
  CKZFileDialog dialog(1, nullptr, file_name, nullptr, kFlags, filter, owner, 1, nullptr);
  if (dialog.DoModal() == 1) return dialog.GetFileFullName();
  return CKZStringW();
}

CKZStringW GetSelectPath(HWND owner, const wchar_t* initial) {
  CKZStringW result;
  CKZComPtr<IMalloc> allocator;
  if (FAILED(SHGetMalloc(&allocator)) || !allocator) return result;
  CoInitialize(nullptr);
  std::vector<wchar_t> display_name(MAX_PATH);
  BROWSEINFOW info;
  info.hwndOwner = owner;
  info.pidlRoot = nullptr;
  info.pszDisplayName = display_name.data();
  info.lpszTitle = nullptr;
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  info.lpfn = wrenutil::internal::GetSelectPathCallback;
  info.lParam = reinterpret_cast<LPARAM>(initial);
  LPITEMIDLIST list = SHBrowseForFolderW(&info);
  if (list != nullptr) {
    std::vector<wchar_t> path(MAX_PATH);
    if (SHGetPathFromIDListW(list, path.data())) result = path.data();
  }
  allocator->Free(list);
  allocator = nullptr;
  CoUninitialize();
  return result;
}

}  // namespace Util::WRENConfigCenter

namespace wrenutil::internal {

int GetSelectPathCallback(HWND window, UINT message, LPARAM param, LPARAM data) {
  if (message == BFFM_INITIALIZED) {
    if (data == 0) {
      WREN_ASSERT_AT(L"FALSE", kSource, 17);
      return 0;
    }
    std::wstring_view folder(reinterpret_cast<const wchar_t*>(data));
    folder.remove_prefix(std::min(folder.find_first_not_of(L' '), folder.size()));
    std::wstring trimmed(folder);
    SendMessageW(window, BFFM_SETSELECTIONW, 1, reinterpret_cast<LPARAM>(trimmed.c_str()));
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  } else if (message == BFFM_SELCHANGED) {
    std::vector<wchar_t> path(MAX_PATH);
    if (SHGetPathFromIDListW(reinterpret_cast<LPCITEMIDLIST>(param), path.data())) {
      SendMessageW(window, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(path.data()));
    }
  }
  return 0;
}

}  // namespace wrenutil::internal

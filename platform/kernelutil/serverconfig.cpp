#include "platform/kernelutil/serverconfig.h"

#include <map>
#include <mutex>
#include <utility>

#include "platform/common/kzdata.h"
#include "platform/common/kzptr.h"
#include "platform/common/refcounted.h"

namespace {

class CommonConfig : public platform::RefCounted<IKZCommonServerConfigHost> {
 public:
  HRESULT GetConfigItem(DWORD type, DWORD sub_type, IKZData** item) override {
    if (item == nullptr) return E_POINTER;
    *item = nullptr;
    std::lock_guard lock(mutex_);
    auto it = items_.find({type, sub_type});
    if (it == items_.end()) return E_FAIL;
    return it->second.CopyTo(item);
  }
  HRESULT SetConfigItem(DWORD type, DWORD sub_type, IKZData* item) override {
    CKZComPtr<IKZData> old;  // released outside the lock
    std::lock_guard lock(mutex_);
    auto it = items_.find({type, sub_type});
    if (it != items_.end()) {
      old = std::move(it->second);
      items_.erase(it);
    }
    if (item != nullptr) items_[{type, sub_type}] = item;
    return S_OK;
  }
  HRESULT SetConfigContent(DWORD type, DWORD sub_type, const std::string& content) override {
    CKZComPtr<IKZData> item;
    HRESULT hr = platform::MakeConfigItem(content, &item);
    return FAILED(hr) ? hr : SetConfigItem(type, sub_type, item);
  }

 private:
  std::mutex mutex_;
  std::map<std::pair<DWORD, DWORD>, CKZComPtr<IKZData>> items_;
};

class MainAccountConfig : public platform::RefCounted<IKZMainAccountConfigHost> {
 public:
  HRESULT GetConfigDWord(DWORD id, DWORD* value) override {
    if (value == nullptr) return E_POINTER;
    std::lock_guard lock(mutex_);
    auto it = values_.find(id);
    if (it == values_.end()) return E_FAIL;
    *value = it->second;
    return S_OK;
  }
  HRESULT SetConfigDWord(DWORD id, DWORD value) override {
    std::lock_guard lock(mutex_);
    values_[id] = value;
    return S_OK;
  }

 private:
  std::mutex mutex_;
  std::map<DWORD, DWORD> values_;
};

}  // namespace

namespace platform {
HRESULT MakeConfigItem(const std::string& content, IKZData** item) {
  if (item == nullptr) return E_POINTER;
  *item = nullptr;
  if (content.size() > 0xFFFFFFFFu) return E_INVALIDARG;
  CKZComPtr<IKZData> made;
  CKZComPtr<IKZBuffer> buffer;
  if (!Util::Data::CreateKZData(&made) || !Util::Data::CreateKZBuffer(&buffer)) {
    return E_OUTOFMEMORY;
  }
  HRESULT hr = buffer->SetData(reinterpret_cast<const BYTE*>(content.data()),
                               static_cast<DWORD>(content.size()));
  if (SUCCEEDED(hr)) hr = made->SetBuf("CommonServerConfig_bufContent", buffer);
  if (SUCCEEDED(hr)) *item = made.Detach();
  return hr;
}

HRESULT CreateMemoryCommonServerConfigService(IKZCommonServerConfigHost** out) {
  if (out == nullptr) return E_POINTER;
  *out = new CommonConfig;
  return S_OK;
}
HRESULT CreateMemoryMainAccountConfigService(IKZMainAccountConfigHost** out) {
  if (out == nullptr) return E_POINTER;
  *out = new MainAccountConfig;
  return S_OK;
}
}  // namespace platform

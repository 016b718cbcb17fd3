#include "platform/gf/gf_extension.h"

#include <utility>

#include "platform/common/kzdata.h"
#include "platform/common/kzptr.h"
#include "platform/common/refcounted.h"
#include "platform/gf/gf_menu.h"

namespace platform {
namespace {

constexpr wchar_t kMenuMethod[] = L"OnExtendMenu";
constexpr wchar_t kReportMethod[] = L"OnReport";

class ExtensionPoint : public RefCounted<IKZExtensionPoint> {
 public:
  explicit ExtensionPoint(const GUID& id) : id_(id) {}
  HRESULT GetExtensionCount(DWORD* count) override {
    if (count == nullptr) return E_POINTER;
    *count = static_cast<DWORD>(infos_.size());
    return S_OK;
  }
  HRESULT GetExtensionInfo(DWORD index, IKZExtensionInfo** info) override {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (index >= infos_.size()) return E_INVALIDARG;
    return infos_[index].CopyTo(info);
  }
  HRESULT AddExtension(IKZExtensionInfo* info) override {
    if (info == nullptr) return E_POINTER;
    infos_.emplace_back(info);
    return S_OK;
  }

 protected:
  // The core asks for the point's own id.
  HRESULT QueryExtra(REFIID iid, void** object) override {
    if (iid != id_) return E_NOINTERFACE;
    *object = static_cast<IKZExtensionPoint*>(this);
    AddRef();
    return S_OK;
  }

 private:
  GUID id_;
  std::vector<CKZComPtr<IKZExtensionInfo>> infos_;
};

class ExtensionInfo : public RefCounted<IKZExtensionInfo> {
 public:
  ExtensionInfo(std::vector<std::wstring> methods, ExtensionFactory factory)
      : methods_(std::move(methods)), factory_(std::move(factory)) {}
  HRESULT OffersMethod(const wchar_t* method, int* offers) override {
    if (method == nullptr || offers == nullptr) return E_POINTER;
    *offers = 0;
    for (const auto& m : methods_) {
      if (m == method) *offers = 1;
    }
    return S_OK;
  }
  HRESULT CreateExtension(REFGUID point, IUnknown** extension) override {
    if (extension == nullptr) return E_POINTER;
    *extension = nullptr;
    HRESULT hr = factory_(point, extension);
    if (FAILED(hr) || *extension == nullptr) {
      if (*extension != nullptr) (*extension)->Release();
      *extension = nullptr;
      return E_FAIL;
    }
    return S_OK;
  }

 private:
  std::vector<std::wstring> methods_;
  ExtensionFactory factory_;
};

class MenuExtension : public RefCounted<IGFMenuExtension> {
 public:
  explicit MenuExtension(std::function<void(IGFMenu*, IKZData*)> extend)
      : extend_(std::move(extend)) {}
  HRESULT OnExtendMenu(IGFMenu* menu, IKZData* context) override {
    if (menu == nullptr) return E_POINTER;
    extend_(menu, context);
    return S_OK;
  }

 private:
  std::function<void(IGFMenu*, IKZData*)> extend_;
};

class ReportExtension : public RefCounted<IKZReportExtension> {
 public:
  explicit ReportExtension(std::function<void(const wchar_t*)> report)
      : report_(std::move(report)) {}
  HRESULT OnReport(const wchar_t* code) override {
    report_(code ? code : L"");
    return S_OK;
  }

 private:
  std::function<void(const wchar_t*)> report_;
};

class Descriptor : public RefCounted<IKZExtensionDescriptor> {
 public:
  HRESULT SetExtensionPointId(REFGUID point) override {
    id_ = point;
    has_id_ = true;
    return S_OK;
  }
  HRESULT GetExtensionPointId(GUID* point) override {
    if (point == nullptr) return E_POINTER;
    *point = has_id_ ? id_ : GUID{};
    return has_id_ ? S_OK : E_FAIL;
  }

 private:
  GUID id_{};
  bool has_id_ = false;
};

class Invoker : public RefCounted<IKZExtensionInvoker> {
 public:
  HRESULT SetExtensionPointId(REFGUID point) override {
    id_ = point;
    has_id_ = true;
    return S_OK;
  }
  HRESULT SetContext(IKZData* context) override {
    context_ = context;
    return S_OK;
  }
  HRESULT Invoke(IUnknown* target, int) override {
    if (target == nullptr) return E_POINTER;
    if (!has_id_) return E_INVALIDARG;
    CKZComPtr<IGFMenu> menu;
    CKZComPtr<IGFExtensionHost> host;
    if (FAILED(target->QueryInterface(IGFMenu::kIid, reinterpret_cast<void**>(&menu))) ||
        FAILED(target->QueryInterface(IGFExtensionHost::kIid, reinterpret_cast<void**>(&host)))) {
      return E_INVALIDARG;
    }
    int attached = 0;
    if (FAILED(host->IsExtensionPointAttached(id_, &attached)) || attached == 0) return E_FAIL;

    CKZComPtr<IKZCore> core;
    if (FAILED(Util::Core::GetPlatformCore(&core)) || !core) return S_FALSE;
    CKZComPtr<IKZExtensionPoint> point;
    if (FAILED(core->GetExtensionPoint(id_, reinterpret_cast<void**>(&point))) || !point) {
      return S_FALSE;
    }
    DWORD count = 0;
    point->GetExtensionCount(&count);
    for (DWORD i = 0; i < count; ++i) {
      CKZComPtr<IKZExtensionInfo> info;
      int offers = 0;
      if (FAILED(point->GetExtensionInfo(i, &info)) ||
          FAILED(info->OffersMethod(kMenuMethod, &offers)) || offers == 0) {
        continue;
      }
      CKZComPtr<IUnknown> object;
      CKZComPtr<IGFMenuExtension> extension;
      if (FAILED(info->CreateExtension(id_, &object)) ||
          FAILED(object.QueryInterface(&extension))) {
        continue;
      }
      extension->OnExtendMenu(menu, context_);
    }
    return S_OK;
  }

 private:
  GUID id_{};
  bool has_id_ = false;
  CKZComPtr<IKZData> context_;
};

HRESULT AddExtensionOffering(IKZCoreHost* core, REFGUID id, const wchar_t* method,
                             ExtensionFactory factory) {
  CKZComPtr<IKZExtensionPoint> point;
  HRESULT hr = EnsureExtensionPoint(core, id, &point);
  if (FAILED(hr)) return hr;
  CKZComPtr<IKZExtensionInfo> info;
  hr = CreateExtensionInfo({method}, std::move(factory), &info);
  if (FAILED(hr)) return hr;
  return point->AddExtension(info);
}

}  // namespace

HRESULT CreateExtensionPoint(REFGUID id, IKZExtensionPoint** point) {
  if (point == nullptr) return E_POINTER;
  *point = new ExtensionPoint(id);
  return S_OK;
}

HRESULT CreateExtensionInfo(std::vector<std::wstring> methods, ExtensionFactory factory,
                            IKZExtensionInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (!factory) return E_INVALIDARG;
  *info = new ExtensionInfo(std::move(methods), std::move(factory));
  return S_OK;
}

HRESULT EnsureExtensionPoint(IKZCoreHost* core, REFGUID id, IKZExtensionPoint** point) {
  if (point == nullptr) return E_POINTER;
  *point = nullptr;
  if (core == nullptr) return E_POINTER;
  if (SUCCEEDED(core->GetExtensionPoint(id, reinterpret_cast<void**>(point))) &&
      *point != nullptr) {
    return S_OK;
  }
  *point = nullptr;
  CreateExtensionPoint(id, point);
  HRESULT hr = core->RegisterExtensionPoint(id, *point);
  if (FAILED(hr)) {
    (*point)->Release();
    *point = nullptr;
  }
  return hr;
}

HRESULT AddMenuExtension(IKZCoreHost* core, REFGUID id,
                         std::function<void(IGFMenu*, IKZData*)> extend) {
  if (core == nullptr) return E_POINTER;
  if (!extend) return E_INVALIDARG;
  return AddExtensionOffering(core, id, kMenuMethod,
                              [extend = std::move(extend)](REFGUID, IUnknown** out) {
                                *out = static_cast<IGFMenuExtension*>(new MenuExtension(extend));
                                return S_OK;
                              });
}

HRESULT AddReportExtension(IKZCoreHost* core, REFGUID id,
                           std::function<void(const wchar_t*)> report) {
  if (core == nullptr) return E_POINTER;
  if (!report) return E_INVALIDARG;
  return AddExtensionOffering(
      core, id, kReportMethod, [report = std::move(report)](REFGUID, IUnknown** out) {
        *out = static_cast<IKZReportExtension*>(new ReportExtension(report));
        return S_OK;
      });
}

HRESULT CreateExtensionDescriptor(IKZExtensionDescriptor** out) {
  if (out == nullptr) return E_POINTER;
  *out = new Descriptor();
  return S_OK;
}

HRESULT CreateExtensionInvoker(IKZExtensionInvoker** out) {
  if (out == nullptr) return E_POINTER;
  *out = new Invoker();
  return S_OK;
}

}  // namespace platform

#include "platform/common/kzdispatch.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "platform/common/refcounted.h"

namespace platform {
namespace {

bool SameName(const std::wstring& a, const wchar_t* b) {
  std::size_t i = 0;
  for (; i < a.size(); ++i) {
    wchar_t x = a[i], y = b[i];
    if (y == L'\0') return false;
    if (x >= L'A' && x <= L'Z') x = static_cast<wchar_t>(x - L'A' + L'a');
    if (y >= L'A' && y <= L'Z') y = static_cast<wchar_t>(y - L'A' + L'a');
    if (x != y) return false;
  }
  return b[i] == L'\0';
}

class TypeInfo : public RefCounted<ITypeInfo> {
 public:
  explicit TypeInfo(std::shared_ptr<const TypeDescription> description)
      : description_(std::move(description)) {}

  HRESULT GetInterfaceId(IID* iid) override {
    if (iid == nullptr) return E_POINTER;
    *iid = description_->iid;
    return S_OK;
  }

  HRESULT GetIDsOfNames(const wchar_t* const* names, UINT count, DISPID* ids) override {
    if (count == 0) return S_OK;
    if (names == nullptr || ids == nullptr) return E_POINTER;
    for (UINT i = 0; i < count; ++i) {
      if (names[i] == nullptr) return E_POINTER;
    }
    HRESULT result = S_OK;
    ids[0] = DISPID_UNKNOWN;
    for (const TypeMethod& method : description_->methods) {
      if (SameName(method.name, names[0])) ids[0] = method.id;
    }
    if (ids[0] == DISPID_UNKNOWN) result = DISP_E_UNKNOWNNAME;
    for (UINT i = 1; i < count; ++i) {
      ids[i] = DISPID_UNKNOWN;
      result = DISP_E_UNKNOWNNAME;
    }
    return result;
  }

  HRESULT Invoke(IUnknown* instance, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO*, UINT* arg_err) override {
    if (instance == nullptr || params == nullptr) return E_POINTER;
    const TypeMethod* method = nullptr;
    for (const TypeMethod& candidate : description_->methods) {
      if (candidate.id == id) method = &candidate;
    }
    if (method == nullptr || (flags & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;
    if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    if (params->cArgs != method->arg_count) return DISP_E_BADPARAMCOUNT;
    if (params->cArgs != 0 && params->rgvarg == nullptr) return E_POINTER;
    std::vector<VARIANT> args(params->rgvarg, params->rgvarg + params->cArgs);
    std::reverse(args.begin(), args.end());
    if (result != nullptr) result->vt = VT_EMPTY;
    UINT bad = 0;
    HRESULT hr = method->call(instance, args.data(), &bad);
    if (hr == DISP_E_TYPEMISMATCH && arg_err != nullptr && bad < params->cArgs) {
      *arg_err = params->cArgs - 1 - bad;
    }
    return hr;
  }

 private:
  std::shared_ptr<const TypeDescription> description_;
};

}  // namespace

HRESULT CreateTypeInfo(const TypeDescription& description, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = new TypeInfo(std::make_shared<const TypeDescription>(description));
  return S_OK;
}

HRESULT RegisterTypeLibrary(IKZCoreHost* core, REFGUID libid, TypeDescription description) {
  if (core == nullptr) return E_POINTER;
  auto shared = std::make_shared<const TypeDescription>(std::move(description));
  return core->RegisterFactory(libid, [shared, libid](REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    auto* info = new TypeInfo(shared);
    // Asked for the library's own id, the type information answers as itself.
    HRESULT hr = info->QueryInterface(iid == libid ? ITypeInfo::kIid : iid, out);
    info->Release();
    return hr;
  });
}

bool VariantToDWord(const VARIANT& v, DWORD* out) {
  if (v.vt == VT_UI4) {
    *out = v.ulVal;
    return true;
  }
  if (v.vt == VT_I4) {
    *out = static_cast<DWORD>(v.lVal);
    return true;
  }
  return false;
}

bool VariantToObject(const VARIANT& v, REFIID iid, void** out) {
  *out = nullptr;
  if (v.vt != VT_UNKNOWN) return false;
  if (v.punkVal == nullptr) return true;
  return SUCCEEDED(v.punkVal->QueryInterface(iid, out));
}

}  // namespace platform

#include "platform/testing/foreign_bag.h"

#include "platform/common/refcounted.h"

namespace platform::testing {
namespace {

class Data final : public RefCounted<IKZDataRead> {
 public:
  explicit Data(IKZDataRead* inner) : inner_(inner) {}

#define FORWARD_BY_NAME(Method, T)                                                              \
  HRESULT Method(const wchar_t* name, T value) override { return inner_->Method(name, value); } \
  HRESULT Method(const char* name, T value) override { return inner_->Method(name, value); }
  FORWARD_BY_NAME(GetBool, int*)
  FORWARD_BY_NAME(GetUInt8, std::uint8_t*)
  FORWARD_BY_NAME(GetInt8, std::int8_t*)
  FORWARD_BY_NAME(GetUInt16, std::uint16_t*)
  FORWARD_BY_NAME(GetInt16, std::int16_t*)
  FORWARD_BY_NAME(GetDWord, DWORD*)
  FORWARD_BY_NAME(GetInt32, std::int32_t*)
  FORWARD_BY_NAME(GetUInt64, std::uint64_t*)
  FORWARD_BY_NAME(GetInt64, std::int64_t*)
  FORWARD_BY_NAME(GetDouble, double*)
  FORWARD_BY_NAME(GetStr, BSTR*)
  FORWARD_BY_NAME(GetBuf, IKZBuffer**)
  FORWARD_BY_NAME(GetFieldType, BYTE*)
#undef FORWARD_BY_NAME
  HRESULT GetInterface(const wchar_t* name, REFIID iid, void** object) override {
    return inner_->GetInterface(name, iid, object);
  }
  HRESULT GetInterface(const char* name, REFIID iid, void** object) override {
    return inner_->GetInterface(name, iid, object);
  }
  HRESULT GetKZArrayRead(const wchar_t* name, IKZArrayRead** value) override {
    return Wrap(inner_->GetKZArrayRead(name, value), value);
  }
  HRESULT GetKZArrayRead(const char* name, IKZArrayRead** value) override {
    return Wrap(inner_->GetKZArrayRead(name, value), value);
  }
  HRESULT GetFieldCount(DWORD* count) override { return inner_->GetFieldCount(count); }
  HRESULT GetFieldName(DWORD index, BSTR* name) override {
    return inner_->GetFieldName(index, name);
  }
  HRESULT GetFieldTypeAt(DWORD index, BYTE* type) override {
    return inner_->GetFieldTypeAt(index, type);
  }
  HRESULT IsEqual(IKZDataRead* other) override { return inner_->IsEqual(other); }
  HRESULT CopyTo(IKZData* destination) override { return inner_->CopyTo(destination); }

 private:
  static HRESULT Wrap(HRESULT hr, IKZArrayRead** value) {
    if (SUCCEEDED(hr) && value != nullptr && *value != nullptr) {
      CKZComPtr<IKZArrayRead> inner;
      inner.Attach(*value);
      *value = ForeignArray(inner).Detach();
    }
    return hr;
  }
  CKZComPtr<IKZDataRead> inner_;
};

class Array final : public RefCounted<IKZArrayRead> {
 public:
  explicit Array(IKZArrayRead* inner) : inner_(inner) {}

#define FORWARD_AT(Method, T) \
  HRESULT Method(DWORD index, T value) override { return inner_->Method(index, value); }
  FORWARD_AT(GetBool, int*)
  FORWARD_AT(GetUInt8, std::uint8_t*)
  FORWARD_AT(GetInt8, std::int8_t*)
  FORWARD_AT(GetUInt16, std::uint16_t*)
  FORWARD_AT(GetInt16, std::int16_t*)
  FORWARD_AT(GetDWord, DWORD*)
  FORWARD_AT(GetInt32, std::int32_t*)
  FORWARD_AT(GetStr, BSTR*)
  FORWARD_AT(GetBuf, IKZBuffer**)
  FORWARD_AT(GetInt64, std::int64_t*)
  FORWARD_AT(GetDouble, double*)
  FORWARD_AT(GetElementType, BYTE*)
  FORWARD_AT(GetUInt64, std::uint64_t*)
#undef FORWARD_AT
  HRESULT GetKZDataRead(DWORD index, IKZDataRead** value) override {
    HRESULT hr = inner_->GetKZDataRead(index, value);
    if (SUCCEEDED(hr) && value != nullptr && *value != nullptr) {
      CKZComPtr<IKZDataRead> inner;
      inner.Attach(*value);
      *value = ForeignData(inner).Detach();
    }
    return hr;
  }
  HRESULT GetCount(DWORD* count) override { return inner_->GetCount(count); }
  HRESULT IsEqual(IKZArrayRead* other) override { return inner_->IsEqual(other); }

 private:
  CKZComPtr<IKZArrayRead> inner_;
};

}  // namespace

CKZComPtr<IKZDataRead> ForeignData(IKZDataRead* data) {
  CKZComPtr<IKZDataRead> out;
  if (data != nullptr) out.Attach(new Data(data));
  return out;
}

CKZComPtr<IKZArrayRead> ForeignArray(IKZArrayRead* array) {
  CKZComPtr<IKZArrayRead> out;
  if (array != nullptr) out.Attach(new Array(array));
  return out;
}

}  // namespace platform::testing

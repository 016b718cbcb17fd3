#include "platform/common/kzdata.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <typeinfo>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "platform/common/convert.h"
#include "platform/common/refcounted.h"
#include "platform/common/sharedtext.h"

namespace {

class Buffer;
class Data;
class Array;

struct InterfaceRef {
  IID iid;
  CKZComPtr<IUnknown> object;
  friend bool operator==(const InterfaceRef& a, const InterfaceRef& b) {
    return a.object.Get() == b.object.Get();
  }
};

// Texts and names are immutable and shared by copies, so that copying a
// record allocates nothing for them.
using TextValue = platform::SharedText<wchar_t>;
using NameText = platform::SharedText<char>;

// One typed value of a field or element.
struct Value {
  BYTE type = KZ_TYPE_NONE;
  std::variant<std::monostate, std::int64_t, std::uint64_t, double,
               TextValue, CKZComPtr<IKZBuffer>, CKZComPtr<IKZData>,
               CKZComPtr<IKZArray>, InterfaceRef>
      v;
};

TextValue CopyText(const wchar_t* text) {
  return text ? TextValue(std::wstring_view(text)) : TextValue();
}

// Names arrive narrow or wide; both are kept as narrow (UTF-8) text. The
// empty text stands for no name (a null or empty one).
NameText NarrowName(const char* name) {
  return name != nullptr ? NameText(std::string_view(name)) : NameText();
}
NameText NarrowName(const wchar_t* name) {
  if (name == nullptr || *name == L'\0') return NameText();
  return NameText(Util::Convert::Utf8FromWS(name, -1).str());
}

bool ValuesEqual(const Value& a, const Value& b);
HRESULT DeepCopy(const Value& from, Value* to);
bool Reaches(IUnknown* root, const void* target);

// ---------------------------------------------------------------------------
class Buffer : public platform::RefCounted<IKZBuffer> {
 public:
  HRESULT GetData(BYTE** data) override {
    if (data == nullptr) return E_POINTER;
    *data = bytes_.empty() ? nullptr : bytes_.data();
    return S_OK;
  }
  HRESULT GetSize(DWORD* size) override {
    if (size == nullptr) return E_POINTER;
    *size = static_cast<DWORD>(bytes_.size());
    return S_OK;
  }
  HRESULT SetData(const BYTE* data, DWORD size) override {
    if (data == nullptr && size != 0) return E_POINTER;
    bytes_.assign(data, data + size);
    return S_OK;
  }
  HRESULT CopyFrom(IKZBuffer* other) override {
    if (other == nullptr) return E_POINTER;
    BYTE* data = nullptr;
    DWORD size = 0;
    other->GetData(&data);
    other->GetSize(&size);
    if (other == this) return S_OK;
    return SetData(data, size);
  }

 private:
  std::vector<BYTE> bytes_;
};

// ---------------------------------------------------------------------------
class Data final : public platform::RefCounted<IKZData> {
 public:
  struct Field {
    Field(NameText&& n, Value&& v, std::uint32_t name_head)
        : name(std::move(n)), value(std::move(v)), head(name_head) {}
    NameText name;
    Value value;
    std::uint32_t head;  // NameHead of the name
  };

  // Names are short: a plain loop beats the library's vector routines, whose
  // set-up costs more than such names take.
  static bool SameName(const char* a, const char* b) {
    while (*a != '\0' && *a == *b) {
      ++a;
      ++b;
    }
    return *a == *b;
  }

  // The first four bytes of a name, zeros past its end.
  static std::uint32_t NameHead(const char* name) {
    auto byte = [name](int i) { return std::uint32_t{static_cast<unsigned char>(name[i])}; };
    std::uint32_t head = byte(0);
    if (head == 0) return 0;
    if (byte(1) == 0) return head;
    head |= byte(1) << 8;
    if (byte(2) == 0) return head;
    head |= byte(2) << 16;
    return head | byte(3) << 24;
  }

  const std::vector<Field>& fields() const { return fields_; }

  // A string field's characters, borrowed (see platform::PeekStr).
  HRESULT PeekStr(platform::FieldKey& key, std::wstring_view* text) const {
    const Value* v = Lookup(key);
    if (v == nullptr) return key.size() == 0 ? E_INVALIDARG : KZ_E_NOFIELD;
    if (v->type != KZ_TYPE_STR) return KZ_E_TYPEMISMATCH;
    *text = std::get<TextValue>(v->v).view();
    return S_OK;
  }

  // Getters ---------------------------------------------------------------
#define KZ_GET_NUMBER(Method, T, Code, Slot)                                \
  HRESULT Method(const wchar_t* name, T* value) override {                  \
    return GetNumber<Slot>(name, value, Code);                              \
  }                                                                         \
  HRESULT Method(const char* name, T* value) override {                     \
    return GetNumber<Slot>(name, value, Code);                              \
  }
  KZ_GET_NUMBER(GetBool, int, KZ_TYPE_BOOL, std::int64_t)
  KZ_GET_NUMBER(GetUInt8, std::uint8_t, KZ_TYPE_UINT8, std::int64_t)
  KZ_GET_NUMBER(GetInt8, std::int8_t, KZ_TYPE_INT8, std::int64_t)
  KZ_GET_NUMBER(GetUInt16, std::uint16_t, KZ_TYPE_UINT16, std::int64_t)
  KZ_GET_NUMBER(GetInt16, std::int16_t, KZ_TYPE_INT16, std::int64_t)
  KZ_GET_NUMBER(GetDWord, DWORD, KZ_TYPE_DWORD, std::int64_t)
  KZ_GET_NUMBER(GetInt32, std::int32_t, KZ_TYPE_INT32, std::int64_t)
  KZ_GET_NUMBER(GetUInt64, std::uint64_t, KZ_TYPE_UINT64, std::uint64_t)
  KZ_GET_NUMBER(GetInt64, std::int64_t, KZ_TYPE_INT64, std::int64_t)
  KZ_GET_NUMBER(GetDouble, double, KZ_TYPE_DOUBLE, double)
#undef KZ_GET_NUMBER

  HRESULT GetStr(const wchar_t* name, BSTR* value) override { return GetStrT(name, value); }
  HRESULT GetStr(const char* name, BSTR* value) override { return GetStrT(name, value); }
  HRESULT GetBuf(const wchar_t* name, IKZBuffer** value) override {
    return GetObj<IKZBuffer>(name, value, KZ_TYPE_BUF);
  }
  HRESULT GetBuf(const char* name, IKZBuffer** value) override {
    return GetObj<IKZBuffer>(name, value, KZ_TYPE_BUF);
  }
  HRESULT GetInterface(const wchar_t* name, REFIID iid, void** object) override {
    return GetInterfaceT(name, iid, object);
  }
  HRESULT GetInterface(const char* name, REFIID iid, void** object) override {
    return GetInterfaceT(name, iid, object);
  }
  HRESULT GetKZArrayRead(const wchar_t* name, IKZArrayRead** value) override {
    return GetArrayRead(name, value);
  }
  HRESULT GetKZArrayRead(const char* name, IKZArrayRead** value) override {
    return GetArrayRead(name, value);
  }
  HRESULT GetFieldType(const wchar_t* name, BYTE* type) override { return GetTypeT(name, type); }
  HRESULT GetFieldType(const char* name, BYTE* type) override { return GetTypeT(name, type); }

  HRESULT GetFieldCount(DWORD* count) override {
    if (count == nullptr) return E_POINTER;
    *count = static_cast<DWORD>(fields_.size());
    return S_OK;
  }
  HRESULT GetFieldName(DWORD index, BSTR* name) override {
    if (name == nullptr) return E_POINTER;
    if (index >= fields_.size()) return KZ_E_BADINDEX;
    *name = Util::Convert::Utf8ToWS(fields_[index].name.c_str(), -1).GetBSTR();
    return S_OK;
  }
  HRESULT GetFieldTypeAt(DWORD index, BYTE* type) override {
    if (type == nullptr) return E_POINTER;
    if (index >= fields_.size()) return KZ_E_BADINDEX;
    *type = fields_[index].value.type;
    return S_OK;
  }
  HRESULT IsEqual(IKZDataRead* other) override;
  HRESULT CopyTo(IKZData* destination) override;

  // Writers ---------------------------------------------------------------
  HRESULT CopyField(const wchar_t* name, IKZData* destination) override {
    return CopyFieldT(name, destination);
  }
  HRESULT CopyField(const char* name, IKZData* destination) override {
    return CopyFieldT(name, destination);
  }
  HRESULT GetKZData(const wchar_t* name, IKZData** value) override {
    return GetObj<IKZData>(name, value, KZ_TYPE_KZDATA);
  }
  HRESULT GetKZData(const char* name, IKZData** value) override {
    return GetObj<IKZData>(name, value, KZ_TYPE_KZDATA);
  }
  HRESULT GetKZArray(const wchar_t* name, IKZArray** value) override {
    return GetObj<IKZArray>(name, value, KZ_TYPE_KZARRAY);
  }
  HRESULT GetKZArray(const char* name, IKZArray** value) override {
    return GetObj<IKZArray>(name, value, KZ_TYPE_KZARRAY);
  }

#define KZ_SET_NUMBER(Method, T, Code, Slot)                        \
  HRESULT Method(const wchar_t* name, T value) override {           \
    return SetValue(name, Code, static_cast<Slot>(value));          \
  }                                                                 \
  HRESULT Method(const char* name, T value) override {              \
    return SetValue(name, Code, static_cast<Slot>(value));          \
  }
  KZ_SET_NUMBER(SetBool, int, KZ_TYPE_BOOL, std::int64_t)
  KZ_SET_NUMBER(SetUInt8, std::uint8_t, KZ_TYPE_UINT8, std::int64_t)
  KZ_SET_NUMBER(SetInt8, std::int8_t, KZ_TYPE_INT8, std::int64_t)
  KZ_SET_NUMBER(SetUInt16, std::uint16_t, KZ_TYPE_UINT16, std::int64_t)
  KZ_SET_NUMBER(SetInt16, std::int16_t, KZ_TYPE_INT16, std::int64_t)
  KZ_SET_NUMBER(SetDWord, DWORD, KZ_TYPE_DWORD, std::int64_t)
  KZ_SET_NUMBER(SetInt32, std::int32_t, KZ_TYPE_INT32, std::int64_t)
  KZ_SET_NUMBER(SetUInt64, std::uint64_t, KZ_TYPE_UINT64, std::uint64_t)
  KZ_SET_NUMBER(SetInt64, std::int64_t, KZ_TYPE_INT64, std::int64_t)
  KZ_SET_NUMBER(SetDouble, double, KZ_TYPE_DOUBLE, double)
#undef KZ_SET_NUMBER

  HRESULT SetStr(const wchar_t* name, const wchar_t* value) override {
    return SetValue(name, KZ_TYPE_STR, CopyText(value));
  }
  HRESULT SetStr(const char* name, const wchar_t* value) override {
    return SetValue(name, KZ_TYPE_STR, CopyText(value));
  }
  HRESULT SetBuf(const wchar_t* name, IKZBuffer* value) override {
    return SetObj(name, KZ_TYPE_BUF, value);
  }
  HRESULT SetBuf(const char* name, IKZBuffer* value) override {
    return SetObj(name, KZ_TYPE_BUF, value);
  }
  HRESULT SetInterface(const wchar_t* name, REFIID iid, IUnknown* object) override {
    return SetInterfaceT(name, iid, object);
  }
  HRESULT SetInterface(const char* name, REFIID iid, IUnknown* object) override {
    return SetInterfaceT(name, iid, object);
  }
  HRESULT SetKZData(const wchar_t* name, IKZData* value) override {
    return SetObj(name, KZ_TYPE_KZDATA, value);
  }
  HRESULT SetKZData(const char* name, IKZData* value) override {
    return SetObj(name, KZ_TYPE_KZDATA, value);
  }
  HRESULT SetKZArray(const wchar_t* name, IKZArray* value) override {
    return SetObj(name, KZ_TYPE_KZARRAY, value);
  }
  HRESULT SetKZArray(const char* name, IKZArray* value) override {
    return SetObj(name, KZ_TYPE_KZARRAY, value);
  }
  HRESULT RemoveField(const wchar_t* name) override { return RemoveT(name); }
  HRESULT RemoveField(const char* name) override { return RemoveT(name); }

  // Stores a value (already copied) under a narrow name.
  void Put(NameText&& name, Value&& value) {
    const std::uint32_t head = NameHead(name.c_str());
    if (Field* f = FindNarrow(name.view(), head)) {
      f->value = std::move(value);
      return;
    }
    fields_.emplace_back(std::move(name), std::move(value), head);
  }
  void Put(const NameText& name, Value&& value) { Put(NameText(name), std::move(value)); }
  const Value* FindValue(std::string_view name) const {
    for (const Field& f : fields_) {
      if (f.name.view() == name) return &f.value;
    }
    return nullptr;
  }

 private:
  // The field named `name`, whose NameHead is `head`.
  Field* FindNarrow(std::string_view name, std::uint32_t head) {
    for (Field& f : fields_) {
      if (f.head == head && f.name.view() == name) return &f;
    }
    return nullptr;
  }
  // Finds a field by a prepared name, first where the name found it last.
  const Value* Lookup(platform::FieldKey& key) const {
    const std::size_t count = fields_.size();
    const std::size_t hint = key.hint();
    if (hint < count && IsNamed(fields_[hint], key)) return &fields_[hint].value;
    for (std::size_t i = 0; i < count; ++i) {
      if (IsNamed(fields_[i], key)) {
        key.set_hint(static_cast<std::uint32_t>(i));
        return &fields_[i].value;
      }
    }
    return nullptr;
  }
  static bool IsNamed(const Field& f, const platform::FieldKey& key) {
    return f.head == key.head() && f.name.size() == key.size() &&
           SameBytes(f.name.data(), key.name(), key.size());
  }
  // Equal bytes of two names of `n` bytes whose first four bytes are known
  // to be equal: compared a word at a time, the last word overlapping.
  static bool SameBytes(const char* a, const char* b, std::size_t n) {
    auto word = [](const char* p) {
      std::uint64_t w;
      std::memcpy(&w, p, sizeof w);
      return w;
    };
    auto half = [](const char* p) {
      std::uint32_t w;
      std::memcpy(&w, p, sizeof w);
      return w;
    };
    if (n <= 4) return true;
    if (n <= 8) return half(a + n - 4) == half(b + n - 4);
    std::size_t at = 0;
    for (; at + 8 < n; at += 8) {
      if (word(a + at) != word(b + at)) return false;
    }
    return word(a + n - 8) == word(b + n - 8);
  }

  // Finds a field by either name form; sets *hr to the failure otherwise.
  // Reading allocates nothing: narrow names compare as they are, ASCII wide
  // names unit by unit (other wide names go through UTF-8).
  const Value* Lookup(const char* name, HRESULT* hr) const {
    if (name == nullptr || *name == '\0') {
      *hr = E_INVALIDARG;
      return nullptr;
    }
    // Names are short and often share a first letter or two: compare their
    // first four bytes (zeros past the end) at once, then the rest.
    const std::uint32_t head = NameHead(name);
    const std::size_t skip = (head >> 24) != 0 ? 4 : 0;  // shorter names: the heads decide
    for (const Field& f : fields_) {
      if (f.head == head && (skip == 0 || SameName(f.name.c_str() + skip, name + skip))) {
        return &f.value;
      }
    }
    *hr = KZ_E_NOFIELD;
    return nullptr;
  }

  const Value* Lookup(const wchar_t* name, HRESULT* hr) const {
    if (name == nullptr || *name == L'\0') {
      *hr = E_INVALIDARG;
      return nullptr;
    }
    std::size_t length = 0;
    bool ascii = true;
    for (; name[length] != L'\0'; ++length) {
      if (static_cast<std::uint32_t>(name[length]) >= 0x80) ascii = false;
    }
    if (!ascii) {
      std::string narrow = Util::Convert::Utf8FromWS(name, -1).str();
      return Lookup(narrow.c_str(), hr);
    }
    for (const Field& f : fields_) {
      if (f.name.size() == length &&
          std::equal(f.name.view().begin(), f.name.view().end(), name,
                     [](char a, wchar_t b) { return static_cast<wchar_t>(a) == b; })) {
        return &f.value;
      }
    }
    *hr = KZ_E_NOFIELD;
    return nullptr;
  }
  template <class Slot, class Name, class T>
  HRESULT GetNumber(Name name, T* out, BYTE code) {
    if (out == nullptr) return E_POINTER;
    HRESULT hr = S_OK;
    const Value* v = Lookup(name, &hr);
    if (v == nullptr) return hr;
    if (v->type != code) return KZ_E_TYPEMISMATCH;
    *out = static_cast<T>(std::get<Slot>(v->v));
    return S_OK;
  }
  template <class Name>
  HRESULT GetStrT(Name name, BSTR* out) {
    if (out == nullptr) return E_POINTER;
    HRESULT hr = S_OK;
    const Value* v = Lookup(name, &hr);
    if (v == nullptr) return hr;
    if (v->type != KZ_TYPE_STR) return KZ_E_TYPEMISMATCH;
    const TextValue& s = std::get<TextValue>(v->v);
    *out = SysAllocStringLen(s.data(), static_cast<std::uint32_t>(s.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
  }
  template <class I, class Name>
  HRESULT GetObj(Name name, I** out, BYTE code) {
    if (out == nullptr) return E_POINTER;
    HRESULT hr = S_OK;
    const Value* v = Lookup(name, &hr);
    if (v == nullptr) return hr;
    if (v->type != code) return KZ_E_TYPEMISMATCH;
    return std::get<CKZComPtr<I>>(v->v).CopyTo(out);
  }
  template <class Name>
  HRESULT GetArrayRead(Name name, IKZArrayRead** out) {
    if (out == nullptr) return E_POINTER;
    IKZArray* array = nullptr;
    HRESULT hr = GetObj<IKZArray>(name, &array, KZ_TYPE_KZARRAY);
    if (FAILED(hr)) return hr;
    *out = array;  // the reference moves to the read view
    return S_OK;
  }
  template <class Name>
  HRESULT GetInterfaceT(Name name, REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    HRESULT hr = S_OK;
    const Value* v = Lookup(name, &hr);
    if (v == nullptr) return hr;
    if (v->type != KZ_TYPE_INTERFACE) return KZ_E_TYPEMISMATCH;
    const InterfaceRef& ref = std::get<InterfaceRef>(v->v);
    void* result = nullptr;
    hr = ref.object->QueryInterface(iid, &result);
    if (FAILED(hr)) return hr;
    *out = result;
    return S_OK;
  }
  template <class Name>
  HRESULT GetTypeT(Name name, BYTE* type) {
    if (type == nullptr) return E_POINTER;
    HRESULT hr = S_OK;
    const Value* v = Lookup(name, &hr);
    *type = v ? v->type : static_cast<BYTE>(KZ_TYPE_NONE);
    return v ? S_OK : hr;
  }
  template <class Name, class T>
  HRESULT SetValue(Name name, BYTE code, T value) {
    NameText narrow = NarrowName(name);
    if (narrow.empty()) return E_INVALIDARG;
    Value v;
    v.type = code;
    v.v = std::move(value);
    Put(std::move(narrow), std::move(v));
    return S_OK;
  }
  template <class Name, class I>
  HRESULT SetObj(Name name, BYTE code, I* object) {
    if (object == nullptr) return E_POINTER;
    if (Reaches(object, static_cast<IKZData*>(this))) return E_INVALIDARG;
    return SetValue(name, code, CKZComPtr<I>(object));
  }
  template <class Name>
  HRESULT SetInterfaceT(Name name, REFIID iid, IUnknown* object) {
    if (object == nullptr) return E_POINTER;
    return SetValue(name, KZ_TYPE_INTERFACE, InterfaceRef{iid, CKZComPtr<IUnknown>(object)});
  }
  template <class Name>
  HRESULT CopyFieldT(Name name, IKZData* destination) {
    if (destination == nullptr) return E_POINTER;
    HRESULT hr = S_OK;
    const Value* v = Lookup(name, &hr);
    if (v == nullptr) return hr;
    Value copy;
    hr = DeepCopy(*v, &copy);
    if (FAILED(hr)) return hr;
    NameText narrow = NarrowName(name);
    return PutInto(destination, narrow, std::move(copy));
  }
  template <class Name>
  HRESULT RemoveT(Name name) {
    NameText narrow = NarrowName(name);
    if (narrow.empty()) return E_INVALIDARG;
    for (auto it = fields_.begin(); it != fields_.end(); ++it) {
      if (it->name == narrow) {
        fields_.erase(it);
        return S_OK;
      }
    }
    return KZ_E_NOFIELD;
  }

 public:
  // Stores a copied value into any IKZData, ours or another implementation.
  static HRESULT PutInto(IKZData* destination, const NameText& name, Value value);

 private:
  std::vector<Field> fields_;
};

// ---------------------------------------------------------------------------
class Array final : public platform::RefCounted<IKZArray> {
 public:
  const std::vector<Value>& items() const { return items_; }

#define KZ_GET_AT(Method, T, Code, Slot)                          \
  HRESULT Method(DWORD index, T* value) override {                \
    if (value == nullptr) return E_POINTER;                       \
    const Value* v = nullptr;                                     \
    HRESULT hr = At(index, Code, &v);                             \
    if (FAILED(hr)) return hr;                                    \
    *value = static_cast<T>(std::get<Slot>(v->v));                \
    return S_OK;                                                  \
  }
  KZ_GET_AT(GetBool, int, KZ_TYPE_BOOL, std::int64_t)
  KZ_GET_AT(GetUInt8, std::uint8_t, KZ_TYPE_UINT8, std::int64_t)
  KZ_GET_AT(GetInt8, std::int8_t, KZ_TYPE_INT8, std::int64_t)
  KZ_GET_AT(GetUInt16, std::uint16_t, KZ_TYPE_UINT16, std::int64_t)
  KZ_GET_AT(GetInt16, std::int16_t, KZ_TYPE_INT16, std::int64_t)
  KZ_GET_AT(GetDWord, DWORD, KZ_TYPE_DWORD, std::int64_t)
  KZ_GET_AT(GetInt32, std::int32_t, KZ_TYPE_INT32, std::int64_t)
  KZ_GET_AT(GetInt64, std::int64_t, KZ_TYPE_INT64, std::int64_t)
  KZ_GET_AT(GetDouble, double, KZ_TYPE_DOUBLE, double)
  KZ_GET_AT(GetUInt64, std::uint64_t, KZ_TYPE_UINT64, std::uint64_t)
#undef KZ_GET_AT

  HRESULT GetStr(DWORD index, BSTR* value) override {
    if (value == nullptr) return E_POINTER;
    const Value* v = nullptr;
    HRESULT hr = At(index, KZ_TYPE_STR, &v);
    if (FAILED(hr)) return hr;
    const TextValue& s = std::get<TextValue>(v->v);
    *value = SysAllocStringLen(s.data(), static_cast<std::uint32_t>(s.size()));
    return *value ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT GetBuf(DWORD index, IKZBuffer** value) override {
    return GetObjAt<IKZBuffer>(index, KZ_TYPE_BUF, value);
  }
  HRESULT GetKZDataRead(DWORD index, IKZDataRead** value) override {
    if (value == nullptr) return E_POINTER;
    IKZData* data = nullptr;
    HRESULT hr = GetObjAt<IKZData>(index, KZ_TYPE_KZDATA, &data);
    if (FAILED(hr)) return hr;
    *value = data;
    return S_OK;
  }
  HRESULT GetElementType(DWORD index, BYTE* type) override {
    if (type == nullptr) return E_POINTER;
    if (index >= items_.size()) return KZ_E_BADINDEX;
    *type = items_[index].type;
    return S_OK;
  }
  HRESULT GetCount(DWORD* count) override {
    if (count == nullptr) return E_POINTER;
    *count = static_cast<DWORD>(items_.size());
    return S_OK;
  }
  HRESULT IsEqual(IKZArrayRead* other) override;

#define KZ_ADD(Method, T, Code, Slot)                   \
  HRESULT Method(T value) override {                    \
    return Push(Code, static_cast<Slot>(value));        \
  }
  KZ_ADD(AddBool, int, KZ_TYPE_BOOL, std::int64_t)
  KZ_ADD(AddUInt8, std::uint8_t, KZ_TYPE_UINT8, std::int64_t)
  KZ_ADD(AddInt8, std::int8_t, KZ_TYPE_INT8, std::int64_t)
  KZ_ADD(AddUInt16, std::uint16_t, KZ_TYPE_UINT16, std::int64_t)
  KZ_ADD(AddInt16, std::int16_t, KZ_TYPE_INT16, std::int64_t)
  KZ_ADD(AddDWord, DWORD, KZ_TYPE_DWORD, std::int64_t)
  KZ_ADD(AddInt32, std::int32_t, KZ_TYPE_INT32, std::int64_t)
  KZ_ADD(AddInt64, std::int64_t, KZ_TYPE_INT64, std::int64_t)
  KZ_ADD(AddDouble, double, KZ_TYPE_DOUBLE, double)
  KZ_ADD(AddUInt64, std::uint64_t, KZ_TYPE_UINT64, std::uint64_t)
#undef KZ_ADD

  HRESULT AddStr(const wchar_t* value) override {
    return Push(KZ_TYPE_STR, CopyText(value));
  }
  HRESULT AddKZData(IKZData* value) override { return PushObj(KZ_TYPE_KZDATA, value); }
  HRESULT AddKZArray(IKZArray* value) override { return PushObj(KZ_TYPE_KZARRAY, value); }
  HRESULT AddBuf(IKZBuffer* value) override { return PushObj(KZ_TYPE_BUF, value); }
  HRESULT GetKZData(DWORD index, IKZData** value) override {
    return GetObjAt<IKZData>(index, KZ_TYPE_KZDATA, value);
  }
  HRESULT GetKZArray(DWORD index, IKZArray** value) override {
    return GetObjAt<IKZArray>(index, KZ_TYPE_KZARRAY, value);
  }
  HRESULT GetKZArrayRead(DWORD index, IKZArrayRead** value) override {
    if (value == nullptr) return E_POINTER;
    IKZArray* array = nullptr;
    HRESULT hr = GetObjAt<IKZArray>(index, KZ_TYPE_KZARRAY, &array);
    if (FAILED(hr)) return hr;
    *value = array;
    return S_OK;
  }
  HRESULT RemoveAt(DWORD index) override {
    if (index >= items_.size()) return KZ_E_BADINDEX;
    items_.erase(items_.begin() + index);
    return S_OK;
  }
  HRESULT Clear() override {
    items_.clear();
    return S_OK;
  }

  void PushValue(Value v) { items_.push_back(std::move(v)); }

  // Borrowed reads (see platform::PeekStrAt and platform::PeekKZDataRead).
  HRESULT PeekStrAt(DWORD index, std::wstring_view* text) const {
    const Value* v = nullptr;
    HRESULT hr = At(index, KZ_TYPE_STR, &v);
    if (FAILED(hr)) return hr;
    *text = std::get<TextValue>(v->v).view();
    return S_OK;
  }
  HRESULT PeekDataAt(DWORD index, IKZDataRead** record) const {
    const Value* v = nullptr;
    HRESULT hr = At(index, KZ_TYPE_KZDATA, &v);
    if (FAILED(hr)) return hr;
    *record = std::get<CKZComPtr<IKZData>>(v->v).Get();
    return S_OK;
  }

 private:
  HRESULT At(DWORD index, BYTE code, const Value** out) const {
    if (index >= items_.size()) return KZ_E_BADINDEX;
    if (items_[index].type != code) return KZ_E_TYPEMISMATCH;
    *out = &items_[index];
    return S_OK;
  }
  template <class I>
  HRESULT GetObjAt(DWORD index, BYTE code, I** out) {
    if (out == nullptr) return E_POINTER;
    const Value* v = nullptr;
    HRESULT hr = At(index, code, &v);
    if (FAILED(hr)) return hr;
    return std::get<CKZComPtr<I>>(v->v).CopyTo(out);
  }
  template <class T>
  HRESULT Push(BYTE code, T value) {
    Value v;
    v.type = code;
    v.v = std::move(value);
    items_.push_back(std::move(v));
    return S_OK;
  }
  template <class I>
  HRESULT PushObj(BYTE code, I* object) {
    if (object == nullptr) return E_POINTER;
    if (Reaches(object, static_cast<IKZArray*>(this))) return E_INVALIDARG;
    return Push(code, CKZComPtr<I>(object));
  }

  std::vector<Value> items_;
};

// ---------------------------------------------------------------------------
// Helpers over values, for our own objects and for foreign implementations.

// Our own objects are told by their exact type, which costs a comparison
// where a dynamic cast walks the class tree.
template <class Ours, class I>
Ours* AsOursOf(I* object) {
  return object != nullptr && typeid(*object) == typeid(Ours) ? static_cast<Ours*>(object)
                                                              : nullptr;
}
Data* AsOurs(IKZDataRead* d) { return AsOursOf<Data>(d); }
Array* AsOurs(IKZArrayRead* a) { return AsOursOf<Array>(a); }

// True when `target` is `root` or lies inside it.
bool Reaches(IUnknown* root, const void* target) {
  if (root == nullptr) return false;
  if (auto* d = AsOursOf<Data>(root)) {
    if (static_cast<const void*>(static_cast<IKZData*>(d)) == target) return true;
    for (const auto& f : d->fields()) {
      if (const auto* p = std::get_if<CKZComPtr<IKZData>>(&f.value.v)) {
        if (Reaches(p->Get(), target)) return true;
      } else if (const auto* q = std::get_if<CKZComPtr<IKZArray>>(&f.value.v)) {
        if (Reaches(q->Get(), target)) return true;
      }
    }
    return false;
  }
  if (auto* a = AsOursOf<Array>(root)) {
    if (static_cast<const void*>(static_cast<IKZArray*>(a)) == target) return true;
    for (const Value& v : a->items()) {
      if (const auto* p = std::get_if<CKZComPtr<IKZData>>(&v.v)) {
        if (Reaches(p->Get(), target)) return true;
      } else if (const auto* q = std::get_if<CKZComPtr<IKZArray>>(&v.v)) {
        if (Reaches(q->Get(), target)) return true;
      }
    }
  }
  return false;
}

bool BuffersEqual(IKZBuffer* a, IKZBuffer* b) {
  if (a == b) return true;
  BYTE* da = nullptr;
  BYTE* db = nullptr;
  DWORD sa = 0;
  DWORD sb = 0;
  a->GetData(&da);
  a->GetSize(&sa);
  b->GetData(&db);
  b->GetSize(&sb);
  return sa == sb && (sa == 0 || std::memcmp(da, db, sa) == 0);
}

bool ValuesEqual(const Value& a, const Value& b) {
  if (a.type != b.type) return false;
  switch (a.type) {
    case KZ_TYPE_BUF:
      return BuffersEqual(std::get<CKZComPtr<IKZBuffer>>(a.v).Get(),
                          std::get<CKZComPtr<IKZBuffer>>(b.v).Get());
    case KZ_TYPE_KZDATA:
      return std::get<CKZComPtr<IKZData>>(a.v)->IsEqual(
                 std::get<CKZComPtr<IKZData>>(b.v).Get()) == S_OK;
    case KZ_TYPE_KZARRAY:
      return std::get<CKZComPtr<IKZArray>>(a.v)->IsEqual(
                 std::get<CKZComPtr<IKZArray>>(b.v).Get()) == S_OK;
    case KZ_TYPE_INTERFACE: {
      // Identity: the same object, asked for IUnknown.
      CKZComPtr<IUnknown> ua;
      CKZComPtr<IUnknown> ub;
      std::get<InterfaceRef>(a.v).object.QueryInterface(&ua);
      std::get<InterfaceRef>(b.v).object.QueryInterface(&ub);
      return ua.Get() == ub.Get();
    }
    default:
      return a.v == b.v;
  }
}

HRESULT CopyBuffer(IKZBuffer* from, CKZComPtr<IKZBuffer>& to) {
  CKZComPtr<IKZBuffer> copy;
  copy.Attach(new Buffer());
  HRESULT hr = copy->CopyFrom(from);
  if (FAILED(hr)) return hr;
  to = std::move(copy);
  return S_OK;
}

HRESULT CopyData(IKZData* from, CKZComPtr<IKZData>& to) {
  CKZComPtr<IKZData> copy;
  copy.Attach(new Data());
  HRESULT hr = from->CopyTo(copy.Get());
  if (FAILED(hr)) return hr;
  to = std::move(copy);
  return S_OK;
}

HRESULT CopyArray(IKZArray* from, CKZComPtr<IKZArray>& to) {
  CKZComPtr<IKZArray> copy;
  copy.Attach(new Array());
  Array* ours = AsOurs(from);
  if (ours == nullptr) return E_NOTIMPL;  // foreign arrays are copied by our callers only
  for (const Value& v : ours->items()) {
    Value c;
    HRESULT hr = DeepCopy(v, &c);
    if (FAILED(hr)) return hr;
    static_cast<Array*>(copy.Get())->PushValue(std::move(c));
  }
  to = std::move(copy);
  return S_OK;
}

// Copies the object of a buffer, record or array value with `copy`.
template <class I, class Copy>
HRESULT CopyObject(const Value& from, Value* to, Copy copy) {
  CKZComPtr<I> object;
  HRESULT hr = copy(std::get<CKZComPtr<I>>(from.v).Get(), object);
  if (FAILED(hr)) return hr;
  to->v = std::move(object);
  return S_OK;
}

HRESULT DeepCopy(const Value& from, Value* to) {
  to->type = from.type;
  switch (from.type) {
    case KZ_TYPE_BUF: return CopyObject<IKZBuffer>(from, to, CopyBuffer);
    case KZ_TYPE_KZDATA: return CopyObject<IKZData>(from, to, CopyData);
    case KZ_TYPE_KZARRAY: return CopyObject<IKZArray>(from, to, CopyArray);
    default:
      to->v = from.v;  // numbers, texts, interface references
      return S_OK;
  }
}

HRESULT Data::PutInto(IKZData* destination, const NameText& name, Value value) {
  if (Data* ours = AsOurs(destination)) {
    // A fresh deep copy cannot contain the destination: no cycle check.
    ours->Put(name, std::move(value));
    return S_OK;
  }
  const char* n = name.c_str();
  auto& v = value.v;
  switch (value.type) {
    case KZ_TYPE_BOOL: return destination->SetBool(n, static_cast<int>(std::get<std::int64_t>(v)));
    case KZ_TYPE_UINT8: return destination->SetUInt8(n, static_cast<std::uint8_t>(std::get<std::int64_t>(v)));
    case KZ_TYPE_INT8: return destination->SetInt8(n, static_cast<std::int8_t>(std::get<std::int64_t>(v)));
    case KZ_TYPE_UINT16: return destination->SetUInt16(n, static_cast<std::uint16_t>(std::get<std::int64_t>(v)));
    case KZ_TYPE_INT16: return destination->SetInt16(n, static_cast<std::int16_t>(std::get<std::int64_t>(v)));
    case KZ_TYPE_DWORD: return destination->SetDWord(n, static_cast<DWORD>(std::get<std::int64_t>(v)));
    case KZ_TYPE_INT32: return destination->SetInt32(n, static_cast<std::int32_t>(std::get<std::int64_t>(v)));
    case KZ_TYPE_INT64: return destination->SetInt64(n, std::get<std::int64_t>(v));
    case KZ_TYPE_UINT64: return destination->SetUInt64(n, std::get<std::uint64_t>(v));
    case KZ_TYPE_DOUBLE: return destination->SetDouble(n, std::get<double>(v));
    case KZ_TYPE_STR: return destination->SetStr(n, std::get<TextValue>(v).c_str());
    case KZ_TYPE_BUF: return destination->SetBuf(n, std::get<CKZComPtr<IKZBuffer>>(v).Get());
    case KZ_TYPE_KZDATA: return destination->SetKZData(n, std::get<CKZComPtr<IKZData>>(v).Get());
    case KZ_TYPE_KZARRAY: return destination->SetKZArray(n, std::get<CKZComPtr<IKZArray>>(v).Get());
    case KZ_TYPE_INTERFACE: {
      const InterfaceRef& r = std::get<InterfaceRef>(v);
      return destination->SetInterface(n, r.iid, r.object.Get());
    }
    default: return E_FAIL;
  }
}

HRESULT Data::IsEqual(IKZDataRead* other) {
  if (other == nullptr) return E_POINTER;
  if (other == static_cast<IKZDataRead*>(this)) return S_OK;
  Data* theirs = AsOurs(other);
  if (theirs == nullptr) return E_NOTIMPL;
  if (theirs->fields_.size() != fields_.size()) return S_FALSE;
  for (const Field& f : fields_) {
    const Value* v = theirs->FindValue(f.name.view());
    if (v == nullptr || !ValuesEqual(f.value, *v)) return S_FALSE;
  }
  return S_OK;
}

HRESULT Data::CopyTo(IKZData* destination) {
  if (destination == nullptr) return E_POINTER;
  if (destination == static_cast<IKZData*>(this)) return S_OK;
  // Copy first, then store, so that a failure leaves the destination as it was
  // for the fields not yet reached.
  // A copy is often extended (a hit record gets the hit's fields): leave room
  // for a few more fields, so that they do not move every field copied.
  constexpr std::size_t kRoomAfterCopy = 4;
  Data* ours = AsOurs(destination);
  // Into an empty bag of ours nothing needs looking up (the names of a
  // record are unique), and values that hold no object copy as they are.
  const bool fresh = ours != nullptr && ours->fields_.empty();
  if (ours != nullptr) {
    ours->fields_.reserve(ours->fields_.size() + fields_.size() + kRoomAfterCopy);
  }
  for (const Field& f : fields_) {
    const BYTE type = f.value.type;
    if (fresh && type != KZ_TYPE_BUF && type != KZ_TYPE_KZDATA && type != KZ_TYPE_KZARRAY) {
      ours->fields_.push_back(f);
      continue;
    }
    Value copy;
    HRESULT hr = DeepCopy(f.value, &copy);
    if (FAILED(hr)) return hr;
    if (ours != nullptr) {
      ours->Put(f.name, std::move(copy));  // a fresh deep copy holds no cycle
      continue;
    }
    hr = PutInto(destination, f.name, std::move(copy));
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT Array::IsEqual(IKZArrayRead* other) {
  if (other == nullptr) return E_POINTER;
  if (other == static_cast<IKZArrayRead*>(this)) return S_OK;
  Array* theirs = AsOurs(other);
  if (theirs == nullptr) return E_NOTIMPL;
  if (theirs->items_.size() != items_.size()) return S_FALSE;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (!ValuesEqual(items_[i], theirs->items_[i])) return S_FALSE;
  }
  return S_OK;
}

}  // namespace

// ---------------------------------------------------------------------------
CKZBuffer::CKZBuffer(const CKZBuffer& other) { *this = other; }

CKZBuffer& CKZBuffer::operator=(const CKZBuffer& other) {
  if (this == &other) return *this;
  if (other.buffer_) {
    SetData(other.GetData(), other.GetSize());
  } else {
    buffer_ = nullptr;
  }
  return *this;
}

CKZBuffer& CKZBuffer::operator=(IKZBuffer* buffer) {
  if (buffer == nullptr) {
    buffer_ = nullptr;
    return *this;
  }
  if (buffer == buffer_.Get()) return *this;
  BYTE* data = nullptr;
  DWORD size = 0;
  buffer->GetData(&data);
  buffer->GetSize(&size);
  SetData(data, size);
  return *this;
}

HRESULT CKZBuffer::SetData(const BYTE* data, DWORD size) {
  if (!buffer_) buffer_.Attach(new Buffer());
  return buffer_->SetData(data, size);
}

const BYTE* CKZBuffer::GetData() const {
  if (!buffer_) return nullptr;
  BYTE* data = nullptr;
  buffer_->GetData(&data);
  return data;
}

DWORD CKZBuffer::GetSize() const {
  if (!buffer_) return 0;
  DWORD size = 0;
  buffer_->GetSize(&size);
  return size;
}

bool CKZBuffer::ContentEquals(const BYTE* data, DWORD size) const {
  DWORD mine = GetSize();
  if (mine != size) return false;
  return size == 0 || std::memcmp(GetData(), data, size) == 0;
}

namespace platform {

FieldKey::FieldKey(const char* name)
    : name_(name ? name : ""), head_(Data::NameHead(name_.c_str())) {}

HRESULT PeekStr(IKZDataRead* data, FieldKey& name, std::wstring_view* text) {
  if (data == nullptr || text == nullptr) return E_POINTER;
  const Data* ours = AsOurs(data);
  return ours != nullptr ? ours->PeekStr(name, text) : E_NOTIMPL;
}

HRESULT PeekStrs(IKZDataRead* data, FieldKey* names, std::size_t count,
                 std::wstring_view* texts) {
  if (data == nullptr || (count != 0 && (names == nullptr || texts == nullptr))) return E_POINTER;
  const Data* ours = AsOurs(data);
  if (ours == nullptr) return E_NOTIMPL;
  for (std::size_t i = 0; i < count; ++i) {
    if (FAILED(ours->PeekStr(names[i], &texts[i]))) texts[i] = std::wstring_view(L"");
  }
  return S_OK;
}

HRESULT PeekStrAt(IKZArrayRead* array, DWORD index, std::wstring_view* text) {
  if (array == nullptr || text == nullptr) return E_POINTER;
  const Array* ours = AsOurs(array);
  return ours != nullptr ? ours->PeekStrAt(index, text) : E_NOTIMPL;
}

HRESULT PeekKZDataRead(IKZArrayRead* array, DWORD index, IKZDataRead** record) {
  if (array == nullptr || record == nullptr) return E_POINTER;
  const Array* ours = AsOurs(array);
  return ours != nullptr ? ours->PeekDataAt(index, record) : E_NOTIMPL;
}

}  // namespace platform

namespace Util::Data {

int CreateKZData(IKZData** out) {
  if (out == nullptr) return 0;
  *out = new ::Data();
  return 1;
}
int CreateKZArray(IKZArray** out) {
  if (out == nullptr) return 0;
  *out = new ::Array();
  return 1;
}
int CreateKZBuffer(IKZBuffer** out) {
  if (out == nullptr) return 0;
  *out = new ::Buffer();
  return 1;
}

int HasField(IKZDataRead* data, const char* name) {
  if (data == nullptr || name == nullptr) return 0;
  BYTE type = 0;
  return SUCCEEDED(data->GetFieldType(name, &type)) && type != 0 ? 1 : 0;
}
int HasField(IKZDataRead* data, const wchar_t* name) {
  if (data == nullptr || name == nullptr) return 0;
  BYTE type = 0;
  return SUCCEEDED(data->GetFieldType(name, &type)) && type != 0 ? 1 : 0;
}

namespace {
// The field's type, or 0 when absent; -1 for bad arguments.
int TypeOf(IKZDataRead* data, const char* name) {
  if (data == nullptr || name == nullptr) return -1;
  BYTE type = 0;
  data->GetFieldType(name, &type);
  return type;
}
}  // namespace

int EqualDWord(IKZDataRead* data, const char* name, DWORD value) {
  int type = TypeOf(data, name);
  if (type == 0) return value == 0 ? 1 : 0;
  if (type != KZ_TYPE_DWORD) return 0;
  DWORD v = 0;
  data->GetDWord(name, &v);
  return v == value ? 1 : 0;
}

int EqualStr(IKZDataRead* data, const char* name, const CKZStringW& value) {
  int type = TypeOf(data, name);
  if (type == 0) return value.IsEmpty() ? 1 : 0;
  if (type != KZ_TYPE_STR) return 0;
  CKZBSTR s;
  data->GetStr(name, &s);
  std::uint32_t len = s.Length();
  return len == static_cast<std::uint32_t>(value.GetLength()) &&
                 std::wmemcmp(s.c_str(), value.GetString(), len) == 0
             ? 1
             : 0;
}

int EqualBuf(IKZDataRead* data, const char* name, const CKZBuffer& value) {
  int type = TypeOf(data, name);
  if (type == 0) return value.GetSize() == 0 ? 1 : 0;
  if (type != KZ_TYPE_BUF) return 0;
  CKZComPtr<IKZBuffer> buf;
  data->GetBuf(name, &buf);
  BYTE* bytes = nullptr;
  DWORD size = 0;
  buf->GetData(&bytes);
  buf->GetSize(&size);
  return value.ContentEquals(bytes, size) ? 1 : 0;
}

int EqualKZData(IKZDataRead* data, const char* name, IKZDataRead* value) {
  int type = TypeOf(data, name);
  if (type == 0) return value == nullptr ? 1 : 0;
  if (type != KZ_TYPE_KZDATA || value == nullptr) return 0;
  CKZComPtr<IKZData> writable;
  CKZComPtr<IKZData> self;
  if (FAILED(data->QueryInterface(IKZData::kIid, reinterpret_cast<void**>(&self)))) return 0;
  self->GetKZData(name, &writable);
  return writable && writable->IsEqual(value) == S_OK ? 1 : 0;
}

int EqualKZDataArray(IKZDataRead* data, const char* name, IKZArrayRead* value) {
  int type = TypeOf(data, name);
  if (type == 0) return value == nullptr ? 1 : 0;
  if (type != KZ_TYPE_KZARRAY || value == nullptr) return 0;
  CKZComPtr<IKZArrayRead> array;
  data->GetKZArrayRead(name, &array);
  return array && array->IsEqual(value) == S_OK ? 1 : 0;
}

int GetKZDataStr(IKZDataRead* data, const char* name, CKZStringW& value) {
  if (data == nullptr || name == nullptr) return 0;
  CKZBSTR s;
  if (FAILED(data->GetStr(name, &s))) return 0;
  value = CKZStringW(s.c_str(), static_cast<int>(s.Length()));
  return 1;
}

}  // namespace Util::Data

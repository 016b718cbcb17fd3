#include "platform/common/kzjson.h"

#include <cmath>
#include <limits>
#include <new>
#include <nlohmann/json.hpp>
#include <string>

#include "platform/common/convert.h"

namespace platform {
namespace {

using json = nlohmann::ordered_json;

constexpr int kMaxDepth = 200;

struct Fault {
  std::string what;
};

const char* TagOf(BYTE type) {
  switch (type) {
    case KZ_TYPE_BOOL:
      return "@bool";
    case KZ_TYPE_UINT8:
      return "@u8";
    case KZ_TYPE_INT8:
      return "@i8";
    case KZ_TYPE_UINT16:
      return "@u16";
    case KZ_TYPE_INT16:
      return "@i16";
    case KZ_TYPE_DWORD:
      return "@u32";
    case KZ_TYPE_INT32:
      return "@i32";
    case KZ_TYPE_UINT64:
      return "@u64";
    case KZ_TYPE_INT64:
      return "@i64";
    case KZ_TYPE_DOUBLE:
      return "@double";
    case KZ_TYPE_STR:
      return "@str";
    case KZ_TYPE_BUF:
      return "@buf";
    case KZ_TYPE_KZDATA:
      return "@data";
    case KZ_TYPE_KZARRAY:
      return "@array";
    default:
      return nullptr;
  }
}

BYTE TypeOfTag(const std::string& tag) {
  for (BYTE t : {KZ_TYPE_BOOL, KZ_TYPE_UINT8, KZ_TYPE_INT8, KZ_TYPE_UINT16, KZ_TYPE_INT16,
                 KZ_TYPE_DWORD, KZ_TYPE_INT32, KZ_TYPE_UINT64, KZ_TYPE_INT64, KZ_TYPE_DOUBLE,
                 KZ_TYPE_STR, KZ_TYPE_BUF, KZ_TYPE_KZDATA, KZ_TYPE_KZARRAY}) {
    if (tag == TagOf(t)) return t;
  }
  return KZ_TYPE_NONE;
}

// The type a plain JSON value reads as.
BYTE PlainType(const json& v) {
  switch (v.type()) {
    case json::value_t::string:
      return KZ_TYPE_STR;
    case json::value_t::boolean:
      return KZ_TYPE_BOOL;
    case json::value_t::number_unsigned: {
      auto u = v.get<std::uint64_t>();
      if (u <= 0xFFFFFFFFu) return KZ_TYPE_DWORD;
      return u <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())
                 ? KZ_TYPE_INT64
                 : KZ_TYPE_UINT64;
    }
    case json::value_t::number_integer: {
      auto i = v.get<std::int64_t>();
      if (i >= 0) return i <= 0xFFFFFFFFll ? KZ_TYPE_DWORD : KZ_TYPE_INT64;
      return i >= std::numeric_limits<std::int32_t>::min() ? KZ_TYPE_INT32 : KZ_TYPE_INT64;
    }
    case json::value_t::number_float:
      return KZ_TYPE_DOUBLE;
    case json::value_t::object:
      return KZ_TYPE_KZDATA;
    case json::value_t::array:
      return KZ_TYPE_KZARRAY;
    default:
      return KZ_TYPE_NONE;
  }
}

// Splits a JSON value into its type and its payload.
BYTE Classify(const json& v, const json** payload) {
  *payload = &v;
  if (v.is_object() && v.size() == 1) {
    auto it = v.begin();
    const std::string& key = it.key();
    const json& inner = it.value();
    if (!key.empty() && key[0] == '@') {
      BYTE t = TypeOfTag(key);
      if (t == KZ_TYPE_NONE) throw Fault{"unknown type tag \"" + key + "\""};
      *payload = &inner;
      return t;
    }
  }
  BYTE t = PlainType(v);
  if (t == KZ_TYPE_NONE) throw Fault{"null is not a value"};
  return t;
}

template <class T>
T IntegerAs(const json& v) {
  if (v.is_boolean()) return static_cast<T>(v.get<bool>() ? 1 : 0);
  if (v.is_number_unsigned()) {
    auto u = v.get<std::uint64_t>();
    if (u > static_cast<std::uint64_t>(std::numeric_limits<T>::max()))
      throw Fault{"value out of range"};
    return static_cast<T>(u);
  }
  if (v.is_number_integer()) {
    auto i = v.get<std::int64_t>();
    if constexpr (std::is_signed_v<T>) {
      if (i < std::numeric_limits<T>::min() || i > std::numeric_limits<T>::max()) {
        throw Fault{"value out of range"};
      }
    } else {
      if (i < 0 || static_cast<std::uint64_t>(i) > std::numeric_limits<T>::max()) {
        throw Fault{"value out of range"};
      }
    }
    return static_cast<T>(i);
  }
  throw Fault{"an integer was expected"};
}

std::wstring WideOf(const json& v) {
  if (!v.is_string()) throw Fault{"a string was expected"};
  const auto& s = v.get_ref<const std::string&>();
  return Util::Convert::Utf8ToWS(s.data(), static_cast<int>(s.size())).str();
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

CKZComPtr<IKZBuffer> BufferOf(const json& v) {
  if (!v.is_string()) throw Fault{"a hex string was expected for @buf"};
  const auto& s = v.get_ref<const std::string&>();
  if (s.size() % 2 != 0) throw Fault{"odd number of hex digits in @buf"};
  std::string bytes;
  for (std::size_t i = 0; i < s.size(); i += 2) {
    int hi = HexValue(s[i]);
    int lo = HexValue(s[i + 1]);
    if (hi < 0 || lo < 0) throw Fault{"bad hex digit in @buf"};
    bytes += static_cast<char>(hi * 16 + lo);
  }
  CKZComPtr<IKZBuffer> buf;
  Util::Data::CreateKZBuffer(&buf);
  buf->SetData(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
  return buf;
}

CKZComPtr<IKZData> DataOf(const json& v, int depth);
CKZComPtr<IKZArray> ArrayOf(const json& v, int depth);

void SetField(IKZData* d, const std::string& name, const json& raw, int depth) {
  const json* v = nullptr;
  BYTE t = Classify(raw, &v);
  const char* n = name.c_str();
  switch (t) {
    case KZ_TYPE_BOOL:
      d->SetBool(n, IntegerAs<std::int32_t>(*v));
      break;
    case KZ_TYPE_UINT8:
      d->SetUInt8(n, IntegerAs<std::uint8_t>(*v));
      break;
    case KZ_TYPE_INT8:
      d->SetInt8(n, IntegerAs<std::int8_t>(*v));
      break;
    case KZ_TYPE_UINT16:
      d->SetUInt16(n, IntegerAs<std::uint16_t>(*v));
      break;
    case KZ_TYPE_INT16:
      d->SetInt16(n, IntegerAs<std::int16_t>(*v));
      break;
    case KZ_TYPE_DWORD:
      d->SetDWord(n, IntegerAs<std::uint32_t>(*v));
      break;
    case KZ_TYPE_INT32:
      d->SetInt32(n, IntegerAs<std::int32_t>(*v));
      break;
    case KZ_TYPE_UINT64:
      d->SetUInt64(n, IntegerAs<std::uint64_t>(*v));
      break;
    case KZ_TYPE_INT64:
      d->SetInt64(n, IntegerAs<std::int64_t>(*v));
      break;
    case KZ_TYPE_DOUBLE:
      if (!v->is_number()) throw Fault{"a number was expected"};
      d->SetDouble(n, v->get<double>());
      break;
    case KZ_TYPE_STR:
      d->SetStr(n, WideOf(*v).c_str());
      break;
    case KZ_TYPE_BUF:
      d->SetBuf(n, BufferOf(*v));
      break;
    case KZ_TYPE_KZDATA:
      d->SetKZData(n, DataOf(*v, depth + 1));
      break;
    case KZ_TYPE_KZARRAY:
      d->SetKZArray(n, ArrayOf(*v, depth + 1));
      break;
    default:
      throw Fault{"unsupported value"};
  }
}

void AddElement(IKZArray* a, const json& raw, int depth) {
  const json* v = nullptr;
  BYTE t = Classify(raw, &v);
  switch (t) {
    case KZ_TYPE_BOOL:
      a->AddBool(IntegerAs<std::int32_t>(*v));
      break;
    case KZ_TYPE_UINT8:
      a->AddUInt8(IntegerAs<std::uint8_t>(*v));
      break;
    case KZ_TYPE_INT8:
      a->AddInt8(IntegerAs<std::int8_t>(*v));
      break;
    case KZ_TYPE_UINT16:
      a->AddUInt16(IntegerAs<std::uint16_t>(*v));
      break;
    case KZ_TYPE_INT16:
      a->AddInt16(IntegerAs<std::int16_t>(*v));
      break;
    case KZ_TYPE_DWORD:
      a->AddDWord(IntegerAs<std::uint32_t>(*v));
      break;
    case KZ_TYPE_INT32:
      a->AddInt32(IntegerAs<std::int32_t>(*v));
      break;
    case KZ_TYPE_UINT64:
      a->AddUInt64(IntegerAs<std::uint64_t>(*v));
      break;
    case KZ_TYPE_INT64:
      a->AddInt64(IntegerAs<std::int64_t>(*v));
      break;
    case KZ_TYPE_DOUBLE:
      if (!v->is_number()) throw Fault{"a number was expected"};
      a->AddDouble(v->get<double>());
      break;
    case KZ_TYPE_STR:
      a->AddStr(WideOf(*v).c_str());
      break;
    case KZ_TYPE_BUF:
      a->AddBuf(BufferOf(*v));
      break;
    case KZ_TYPE_KZDATA:
      a->AddKZData(DataOf(*v, depth + 1));
      break;
    case KZ_TYPE_KZARRAY:
      a->AddKZArray(ArrayOf(*v, depth + 1));
      break;
    default:
      throw Fault{"unsupported value"};
  }
}

CKZComPtr<IKZData> DataOf(const json& v, int depth) {
  if (depth > kMaxDepth) throw Fault{"nesting too deep"};
  if (!v.is_object()) throw Fault{"an object was expected"};
  CKZComPtr<IKZData> d;
  Util::Data::CreateKZData(&d);
  for (const auto& [key, value] : v.items()) {
    if (key.empty() || key[0] == '@') throw Fault{"bad field name \"" + key + "\""};
    SetField(d, key, value, depth);
  }
  return d;
}

CKZComPtr<IKZArray> ArrayOf(const json& v, int depth) {
  if (depth > kMaxDepth) throw Fault{"nesting too deep"};
  if (!v.is_array()) throw Fault{"an array was expected"};
  CKZComPtr<IKZArray> a;
  Util::Data::CreateKZArray(&a);
  for (const auto& element : v) AddElement(a, element, depth);
  return a;
}

// Bag -> JSON -----------------------------------------------------------------
json ToJson(IKZDataRead* d, int depth);
json ToJson(IKZArrayRead* a, int depth);

std::string HexOf(IKZBuffer* b) {
  static const char kDigits[] = "0123456789abcdef";
  BYTE* data = nullptr;
  DWORD size = 0;
  if (b) {
    b->GetData(&data);
    b->GetSize(&size);
  }
  std::string s;
  for (DWORD i = 0; i < size; ++i) {
    s += kDigits[data[i] >> 4];
    s += kDigits[data[i] & 15];
  }
  return s;
}

std::string NarrowOf(const wchar_t* s, std::uint32_t n) {
  return Util::Convert::Utf8FromWS(s, static_cast<int>(n)).str();
}

json Typed(BYTE type, json value) {
  if (PlainType(value) == type) return value;
  json o = json::object();
  o[TagOf(type)] = std::move(value);
  return o;
}

template <class Reader>
json ValueJson(BYTE type, Reader& r, int depth) {
  switch (type) {
    case KZ_TYPE_BOOL: {
      // A flag other than 0 or 1 keeps its number: {"@bool": 5}.
      int v = 0;
      r.GetBool(&v);
      return v == 0 || v == 1 ? Typed(type, v != 0) : Typed(type, v);
    }
    case KZ_TYPE_UINT8: {
      std::uint8_t v = 0;
      r.Get(&v);
      return Typed(type, v);
    }
    case KZ_TYPE_INT8: {
      std::int8_t v = 0;
      r.Get(&v);
      return Typed(type, v);
    }
    case KZ_TYPE_UINT16: {
      std::uint16_t v = 0;
      r.Get(&v);
      return Typed(type, v);
    }
    case KZ_TYPE_INT16: {
      std::int16_t v = 0;
      r.Get(&v);
      return Typed(type, v);
    }
    case KZ_TYPE_DWORD: {
      DWORD v = 0;
      r.Get(&v);
      return Typed(type, v);
    }
    case KZ_TYPE_INT32: {
      std::int32_t v = 0;
      r.Get(&v);
      return Typed(type, v);
    }
    case KZ_TYPE_UINT64: {
      std::uint64_t v = 0;
      r.Get(&v);
      return Typed(type, v);
    }
    case KZ_TYPE_INT64: {
      std::int64_t v = 0;
      r.Get(&v);
      return Typed(type, v);
    }
    case KZ_TYPE_DOUBLE: {
      double v = 0;
      r.Get(&v);
      json j = v;
      // Whole numbers below 1e21 are tagged: many JSON writers print them
      // without a fraction or exponent, and they would read back as integers.
      if (std::isfinite(v) && v == std::trunc(v) && std::fabs(v) < 1e21) {
        json o = json::object();
        o["@double"] = v;
        return o;
      }
      return j;
    }
    case KZ_TYPE_STR: {
      CKZBSTR s;
      r.Get(s);
      return NarrowOf(s.c_str(), s.Length());
    }
    case KZ_TYPE_BUF: {
      CKZComPtr<IKZBuffer> b;
      r.Get(b);
      json o = json::object();
      o["@buf"] = HexOf(b);
      return o;
    }
    case KZ_TYPE_KZDATA: {
      CKZComPtr<IKZDataRead> d;
      r.GetData(d);
      return ToJson(d.Get(), depth + 1);
    }
    case KZ_TYPE_KZARRAY: {
      CKZComPtr<IKZArrayRead> a;
      r.GetArray(a);
      return ToJson(a.Get(), depth + 1);
    }
    case KZ_TYPE_INTERFACE: {
      json o = json::object();
      o["@interface"] = nullptr;
      return o;
    }
    default:
      return nullptr;
  }
}

struct FieldReader {
  IKZDataRead* d;
  const char* name;
  template <class T>
  void Get(T* v) {
    if constexpr (std::is_same_v<T, std::uint8_t>)
      d->GetUInt8(name, v);
    else if constexpr (std::is_same_v<T, std::int8_t>)
      d->GetInt8(name, v);
    else if constexpr (std::is_same_v<T, std::uint16_t>)
      d->GetUInt16(name, v);
    else if constexpr (std::is_same_v<T, std::int16_t>)
      d->GetInt16(name, v);
    else if constexpr (std::is_same_v<T, DWORD>)
      d->GetDWord(name, v);
    else if constexpr (std::is_same_v<T, std::int32_t>)
      d->GetInt32(name, v);
    else if constexpr (std::is_same_v<T, std::uint64_t>)
      d->GetUInt64(name, v);
    else if constexpr (std::is_same_v<T, std::int64_t>)
      d->GetInt64(name, v);
    else if constexpr (std::is_same_v<T, double>)
      d->GetDouble(name, v);
  }
  void GetBool(int* v) { d->GetBool(name, v); }
  void Get(CKZBSTR& s) { d->GetStr(name, &s); }
  void Get(CKZComPtr<IKZBuffer>& b) { d->GetBuf(name, &b); }
  void GetData(CKZComPtr<IKZDataRead>& out) {
    CKZComPtr<IKZData> w;
    CKZComPtr<IKZData> self;
    if (SUCCEEDED(d->QueryInterface(IKZData::kIid, reinterpret_cast<void**>(&self)))) {
      self->GetKZData(name, &w);
    }
    out = w.Get();
  }
  void GetArray(CKZComPtr<IKZArrayRead>& a) { d->GetKZArrayRead(name, &a); }
};

struct ElementReader {
  IKZArrayRead* a;
  DWORD i;
  template <class T>
  void Get(T* v) {
    if constexpr (std::is_same_v<T, std::uint8_t>)
      a->GetUInt8(i, v);
    else if constexpr (std::is_same_v<T, std::int8_t>)
      a->GetInt8(i, v);
    else if constexpr (std::is_same_v<T, std::uint16_t>)
      a->GetUInt16(i, v);
    else if constexpr (std::is_same_v<T, std::int16_t>)
      a->GetInt16(i, v);
    else if constexpr (std::is_same_v<T, DWORD>)
      a->GetDWord(i, v);
    else if constexpr (std::is_same_v<T, std::int32_t>)
      a->GetInt32(i, v);
    else if constexpr (std::is_same_v<T, std::uint64_t>)
      a->GetUInt64(i, v);
    else if constexpr (std::is_same_v<T, std::int64_t>)
      a->GetInt64(i, v);
    else if constexpr (std::is_same_v<T, double>)
      a->GetDouble(i, v);
  }
  void GetBool(int* v) { a->GetBool(i, v); }
  void Get(CKZBSTR& s) { a->GetStr(i, &s); }
  void Get(CKZComPtr<IKZBuffer>& b) { a->GetBuf(i, &b); }
  void GetData(CKZComPtr<IKZDataRead>& d) { a->GetKZDataRead(i, &d); }
  void GetArray(CKZComPtr<IKZArrayRead>& out) {
    CKZComPtr<IKZArray> self;
    if (SUCCEEDED(a->QueryInterface(IKZArray::kIid, reinterpret_cast<void**>(&self)))) {
      self->GetKZArrayRead(i, &out);
    }
  }
};

json ToJson(IKZDataRead* d, int depth) {
  if (depth > kMaxDepth) throw Fault{"nesting too deep"};
  if (d == nullptr) return nullptr;
  json o = json::object();
  DWORD count = 0;
  d->GetFieldCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    CKZBSTR name;
    BYTE type = 0;
    d->GetFieldName(i, &name);
    d->GetFieldTypeAt(i, &type);
    std::string n = NarrowOf(name.c_str(), name.Length());
    FieldReader r{d, n.c_str()};
    o[n] = ValueJson(type, r, depth);
  }
  return o;
}

json ToJson(IKZArrayRead* a, int depth) {
  if (depth > kMaxDepth) throw Fault{"nesting too deep"};
  if (a == nullptr) return nullptr;
  json o = json::array();
  DWORD count = 0;
  a->GetCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    BYTE type = 0;
    a->GetElementType(i, &type);
    ElementReader r{a, i};
    o.push_back(ValueJson(type, r, depth));
  }
  return o;
}

template <class T, class Make>
HRESULT Parse(std::string_view text, T** out, std::string* error, Make make) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  try {
    // Nesting is refused while parsing, before a deep document is built. A
    // typed record or array ({"@data": {...}}) takes two levels of the text.
    json j = json::parse(text.begin(), text.end(), [](int depth, json::parse_event_t, json&) {
      if (depth > 2 * kMaxDepth + 2) throw Fault{"nesting too deep"};
      return true;
    });
    CKZComPtr<T> result = make(j);
    *out = result.Detach();
    return S_OK;
  } catch (const Fault& f) {
    if (error) *error = f.what;
  } catch (const json::exception& e) {
    if (error) *error = e.what();
  } catch (const std::bad_alloc&) {
    if (error) *error = "out of memory";
    return E_OUTOFMEMORY;
  }
  return E_INVALIDARG;
}

}  // namespace

HRESULT JsonToKZData(std::string_view text, IKZData** out, std::string* error) {
  return Parse(text, out, error, [](const json& j) { return DataOf(j, 0); });
}

HRESULT JsonToKZArray(std::string_view text, IKZArray** out, std::string* error) {
  return Parse(text, out, error, [](const json& j) { return ArrayOf(j, 0); });
}

namespace {

template <class Bag>
std::string ToText(Bag* bag, int indent) {
  try {
    return ToJson(bag, 0).dump(indent, ' ', false, json::error_handler_t::replace);
  } catch (...) {  // too deep, or out of memory
    return "null";
  }
}

}  // namespace

std::string KZDataToJson(IKZDataRead* data, int indent) { return ToText(data, indent); }

std::string KZArrayToJson(IKZArrayRead* array, int indent) { return ToText(array, indent); }

}  // namespace platform

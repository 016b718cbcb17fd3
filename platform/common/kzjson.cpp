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

// Where a value read from JSON goes: a named field of a record, or the end
// of an array.
struct FieldPlace {
  IKZData* d;
  const char* n;
  void Bool(int v) { d->SetBool(n, v); }
  void UInt8(std::uint8_t v) { d->SetUInt8(n, v); }
  void Int8(std::int8_t v) { d->SetInt8(n, v); }
  void UInt16(std::uint16_t v) { d->SetUInt16(n, v); }
  void Int16(std::int16_t v) { d->SetInt16(n, v); }
  void DWord(std::uint32_t v) { d->SetDWord(n, v); }
  void Int32(std::int32_t v) { d->SetInt32(n, v); }
  void UInt64(std::uint64_t v) { d->SetUInt64(n, v); }
  void Int64(std::int64_t v) { d->SetInt64(n, v); }
  void Double(double v) { d->SetDouble(n, v); }
  void Str(const wchar_t* v) { d->SetStr(n, v); }
  void Buf(IKZBuffer* v) { d->SetBuf(n, v); }
  void Data(IKZData* v) { d->SetKZData(n, v); }
  void Array(IKZArray* v) { d->SetKZArray(n, v); }
};

struct ElementPlace {
  IKZArray* a;
  void Bool(int v) { a->AddBool(v); }
  void UInt8(std::uint8_t v) { a->AddUInt8(v); }
  void Int8(std::int8_t v) { a->AddInt8(v); }
  void UInt16(std::uint16_t v) { a->AddUInt16(v); }
  void Int16(std::int16_t v) { a->AddInt16(v); }
  void DWord(std::uint32_t v) { a->AddDWord(v); }
  void Int32(std::int32_t v) { a->AddInt32(v); }
  void UInt64(std::uint64_t v) { a->AddUInt64(v); }
  void Int64(std::int64_t v) { a->AddInt64(v); }
  void Double(double v) { a->AddDouble(v); }
  void Str(const wchar_t* v) { a->AddStr(v); }
  void Buf(IKZBuffer* v) { a->AddBuf(v); }
  void Data(IKZData* v) { a->AddKZData(v); }
  void Array(IKZArray* v) { a->AddKZArray(v); }
};

// Reads one JSON value (plain or typed) into `place`.
template <class Place>
void PutValue(Place place, const json& raw, int depth) {
  const json* v = nullptr;
  switch (Classify(raw, &v)) {
    case KZ_TYPE_BOOL:
      return place.Bool(IntegerAs<std::int32_t>(*v));
    case KZ_TYPE_UINT8:
      return place.UInt8(IntegerAs<std::uint8_t>(*v));
    case KZ_TYPE_INT8:
      return place.Int8(IntegerAs<std::int8_t>(*v));
    case KZ_TYPE_UINT16:
      return place.UInt16(IntegerAs<std::uint16_t>(*v));
    case KZ_TYPE_INT16:
      return place.Int16(IntegerAs<std::int16_t>(*v));
    case KZ_TYPE_DWORD:
      return place.DWord(IntegerAs<std::uint32_t>(*v));
    case KZ_TYPE_INT32:
      return place.Int32(IntegerAs<std::int32_t>(*v));
    case KZ_TYPE_UINT64:
      return place.UInt64(IntegerAs<std::uint64_t>(*v));
    case KZ_TYPE_INT64:
      return place.Int64(IntegerAs<std::int64_t>(*v));
    case KZ_TYPE_DOUBLE:
      if (!v->is_number()) throw Fault{"a number was expected"};
      return place.Double(v->get<double>());
    case KZ_TYPE_STR:
      return place.Str(WideOf(*v).c_str());
    case KZ_TYPE_BUF:
      return place.Buf(BufferOf(*v));
    case KZ_TYPE_KZDATA:
      return place.Data(DataOf(*v, depth + 1));
    case KZ_TYPE_KZARRAY:
      return place.Array(ArrayOf(*v, depth + 1));
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
    PutValue(FieldPlace{d, key.c_str()}, value, depth);
  }
  return d;
}

CKZComPtr<IKZArray> ArrayOf(const json& v, int depth) {
  if (depth > kMaxDepth) throw Fault{"nesting too deep"};
  if (!v.is_array()) throw Fault{"an array was expected"};
  CKZComPtr<IKZArray> a;
  Util::Data::CreateKZArray(&a);
  for (const auto& element : v) PutValue(ElementPlace{a}, element, depth);
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

// A number of type `T` read with `r`, tagged as `type` when needed.
template <class T, class Reader>
json Number(BYTE type, Reader& r) {
  T v = 0;
  r.Get(&v);
  return Typed(type, v);
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
    case KZ_TYPE_UINT8:
      return Number<std::uint8_t>(type, r);
    case KZ_TYPE_INT8:
      return Number<std::int8_t>(type, r);
    case KZ_TYPE_UINT16:
      return Number<std::uint16_t>(type, r);
    case KZ_TYPE_INT16:
      return Number<std::int16_t>(type, r);
    case KZ_TYPE_DWORD:
      return Number<DWORD>(type, r);
    case KZ_TYPE_INT32:
      return Number<std::int32_t>(type, r);
    case KZ_TYPE_UINT64:
      return Number<std::uint64_t>(type, r);
    case KZ_TYPE_INT64:
      return Number<std::int64_t>(type, r);
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

// Reads one value of a record field (a record and a name) or of an array
// element (an array and an index).
template <class Source, class Key>
struct ValueReader {
  Source* src;
  Key key;
  void Get(std::uint8_t* v) { src->GetUInt8(key, v); }
  void Get(std::int8_t* v) { src->GetInt8(key, v); }
  void Get(std::uint16_t* v) { src->GetUInt16(key, v); }
  void Get(std::int16_t* v) { src->GetInt16(key, v); }
  void Get(DWORD* v) { src->GetDWord(key, v); }
  void Get(std::int32_t* v) { src->GetInt32(key, v); }
  void Get(std::uint64_t* v) { src->GetUInt64(key, v); }
  void Get(std::int64_t* v) { src->GetInt64(key, v); }
  void Get(double* v) { src->GetDouble(key, v); }
  void GetBool(int* v) { src->GetBool(key, v); }
  void Get(CKZBSTR& s) { src->GetStr(key, &s); }
  void Get(CKZComPtr<IKZBuffer>& b) { src->GetBuf(key, &b); }
};

struct FieldReader : ValueReader<IKZDataRead, const char*> {
  void GetData(CKZComPtr<IKZDataRead>& out) {
    CKZComPtr<IKZData> w;
    CKZComPtr<IKZData> self;
    if (SUCCEEDED(src->QueryInterface(IKZData::kIid, reinterpret_cast<void**>(&self)))) {
      self->GetKZData(key, &w);
    }
    out = w.Get();
  }
  void GetArray(CKZComPtr<IKZArrayRead>& a) { src->GetKZArrayRead(key, &a); }
};

struct ElementReader : ValueReader<IKZArrayRead, DWORD> {
  void GetData(CKZComPtr<IKZDataRead>& d) { src->GetKZDataRead(key, &d); }
  void GetArray(CKZComPtr<IKZArrayRead>& out) {
    CKZComPtr<IKZArray> self;
    if (SUCCEEDED(src->QueryInterface(IKZArray::kIid, reinterpret_cast<void**>(&self)))) {
      self->GetKZArrayRead(key, &out);
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
    FieldReader r{{d, n.c_str()}};
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
    ElementReader r{{a, i}};
    o.push_back(ValueJson(type, r, depth));
  }
  return o;
}

// Whether the brackets of `text` nest deeper than `limit`, in one pass
// (brackets inside strings do not count). The parser's own callback would do
// it too, but it makes every closed object scan its parent: quadratic in the
// length of an array of records.
bool NestsDeeperThan(std::string_view text, int limit) {
  int depth = 0;
  bool in_string = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (in_string) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == '[' || c == '{') {
      if (++depth > limit) return true;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return false;
}

template <class T, class Make>
HRESULT Parse(std::string_view text, T** out, std::string* error, Make make) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  try {
    // Nesting is refused before a deep document is built. A typed record or
    // array ({"@data": {...}}) takes two levels of the text.
    if (NestsDeeperThan(text, 2 * kMaxDepth + 2)) throw Fault{"nesting too deep"};
    json j = json::parse(text.begin(), text.end());
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

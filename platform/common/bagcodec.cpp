#include "platform/common/bagcodec.h"

#include <cstring>
#include <string_view>

#include "platform/common/convert.h"

namespace platform {
namespace {

class Writer {
 public:
  explicit Writer(std::vector<std::uint8_t>* out) : out_(out) {}
  template <class T>
  void Fixed(T value) {
    std::uint8_t raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));  // little-endian host
    out_->insert(out_->end(), raw, raw + sizeof(T));
  }
  void Bytes(const void* data, std::size_t size) {
    Fixed(static_cast<std::uint32_t>(size));
    const auto* p = static_cast<const std::uint8_t*>(data);
    if (size != 0) out_->insert(out_->end(), p, p + size);
  }

 private:
  std::vector<std::uint8_t>* out_;
};

struct EncodeError {
  std::string* error;
  HRESULT Fail(const std::string& message) {
    if (error != nullptr) *error = message;
    return E_INVALIDARG;
  }
};

HRESULT EncodeRecord(IKZDataRead* data, Writer& w, int depth, EncodeError& err);
HRESULT EncodeArray(IKZArrayRead* array, Writer& w, int depth, EncodeError& err);

HRESULT EncodeText(BSTR text, Writer& w) {
  std::uint32_t n = SysStringLen(text);
  w.Fixed(n);
  for (std::uint32_t i = 0; i < n; ++i) w.Fixed(static_cast<std::uint32_t>(text[i]));
  return S_OK;
}

HRESULT EncodeBuffer(IKZBuffer* buffer, Writer& w) {
  BYTE* bytes = nullptr;
  DWORD size = 0;
  if (buffer == nullptr || FAILED(buffer->GetData(&bytes)) || FAILED(buffer->GetSize(&size))) {
    return E_FAIL;
  }
  w.Bytes(bytes, bytes != nullptr ? size : 0);
  return S_OK;
}

// Reads one value through `get` and writes it as `Stored`.
template <class Stored, class T, class Get>
HRESULT Put(Writer& w, Get get) {
  T value{};
  if (FAILED(get(&value))) return E_FAIL;
  w.Fixed(static_cast<Stored>(value));
  return S_OK;
}

// The typed reads of one field of a record.
struct FieldSource {
  IKZDataRead* d;
  const char* n;
  HRESULT Bool(int* v) { return d->GetBool(n, v); }
  HRESULT U8(std::uint8_t* v) { return d->GetUInt8(n, v); }
  HRESULT I8(std::int8_t* v) { return d->GetInt8(n, v); }
  HRESULT U16(std::uint16_t* v) { return d->GetUInt16(n, v); }
  HRESULT I16(std::int16_t* v) { return d->GetInt16(n, v); }
  HRESULT U32(DWORD* v) { return d->GetDWord(n, v); }
  HRESULT I32(std::int32_t* v) { return d->GetInt32(n, v); }
  HRESULT I64(std::int64_t* v) { return d->GetInt64(n, v); }
  HRESULT U64(std::uint64_t* v) { return d->GetUInt64(n, v); }
  HRESULT Double(double* v) { return d->GetDouble(n, v); }
  HRESULT Str(BSTR* v) { return d->GetStr(n, v); }
  HRESULT Buf(IKZBuffer** v) { return d->GetBuf(n, v); }
  HRESULT Record(IKZDataRead** v) {
    CKZComPtr<IKZData> writable;
    CKZComPtr<IKZData> nested;
    HRESULT hr = d->QueryInterface(IKZData::kIid, reinterpret_cast<void**>(&writable));
    if (SUCCEEDED(hr)) hr = writable->GetKZData(n, &nested);
    if (SUCCEEDED(hr)) *v = nested.Detach();
    return hr;
  }
  HRESULT Array(IKZArrayRead** v) { return d->GetKZArrayRead(n, v); }
  std::string What() const { return std::string("the field \"") + n + "\""; }
};

// The typed reads of one element of an array.
struct ElementSource {
  IKZArrayRead* a;
  DWORD i;
  HRESULT Bool(int* v) { return a->GetBool(i, v); }
  HRESULT U8(std::uint8_t* v) { return a->GetUInt8(i, v); }
  HRESULT I8(std::int8_t* v) { return a->GetInt8(i, v); }
  HRESULT U16(std::uint16_t* v) { return a->GetUInt16(i, v); }
  HRESULT I16(std::int16_t* v) { return a->GetInt16(i, v); }
  HRESULT U32(DWORD* v) { return a->GetDWord(i, v); }
  HRESULT I32(std::int32_t* v) { return a->GetInt32(i, v); }
  HRESULT I64(std::int64_t* v) { return a->GetInt64(i, v); }
  HRESULT U64(std::uint64_t* v) { return a->GetUInt64(i, v); }
  HRESULT Double(double* v) { return a->GetDouble(i, v); }
  HRESULT Str(BSTR* v) { return a->GetStr(i, v); }
  HRESULT Buf(IKZBuffer** v) { return a->GetBuf(i, v); }
  HRESULT Record(IKZDataRead** v) { return a->GetKZDataRead(i, v); }
  HRESULT Array(IKZArrayRead** v) {
    CKZComPtr<IKZArray> writable;
    HRESULT hr = a->QueryInterface(IKZArray::kIid, reinterpret_cast<void**>(&writable));
    return SUCCEEDED(hr) ? writable->GetKZArrayRead(i, v) : hr;
  }
  std::string What() const { return "element " + std::to_string(i); }
};

// Writes the value of type `type` that `s` reads. E_FAIL when the read fails.
template <class Source>
HRESULT EncodeValue(Source s, BYTE type, Writer& w, int depth, EncodeError& err) {
  switch (type) {
    case KZ_TYPE_BOOL:
      return Put<std::int32_t, int>(w, [&](int* v) { return s.Bool(v); });
    case KZ_TYPE_UINT8:
      return Put<std::uint8_t, std::uint8_t>(w, [&](std::uint8_t* v) { return s.U8(v); });
    case KZ_TYPE_INT8:
      return Put<std::int8_t, std::int8_t>(w, [&](std::int8_t* v) { return s.I8(v); });
    case KZ_TYPE_UINT16:
      return Put<std::uint16_t, std::uint16_t>(w, [&](std::uint16_t* v) { return s.U16(v); });
    case KZ_TYPE_INT16:
      return Put<std::int16_t, std::int16_t>(w, [&](std::int16_t* v) { return s.I16(v); });
    case KZ_TYPE_DWORD:
      return Put<DWORD, DWORD>(w, [&](DWORD* v) { return s.U32(v); });
    case KZ_TYPE_INT32:
      return Put<std::int32_t, std::int32_t>(w, [&](std::int32_t* v) { return s.I32(v); });
    case KZ_TYPE_INT64:
      return Put<std::int64_t, std::int64_t>(w, [&](std::int64_t* v) { return s.I64(v); });
    case KZ_TYPE_UINT64:
      return Put<std::uint64_t, std::uint64_t>(w, [&](std::uint64_t* v) { return s.U64(v); });
    case KZ_TYPE_DOUBLE:
      return Put<double, double>(w, [&](double* v) { return s.Double(v); });
    case KZ_TYPE_STR: {
      CKZBSTR text;
      if (FAILED(s.Str(&text))) return E_FAIL;
      return EncodeText(text, w);
    }
    case KZ_TYPE_BUF: {
      CKZComPtr<IKZBuffer> buffer;
      if (FAILED(s.Buf(&buffer))) return E_FAIL;
      return EncodeBuffer(buffer.Get(), w);
    }
    case KZ_TYPE_KZDATA: {
      CKZComPtr<IKZDataRead> nested;
      if (FAILED(s.Record(&nested))) return E_FAIL;
      return EncodeRecord(nested.Get(), w, depth + 1, err);
    }
    case KZ_TYPE_KZARRAY: {
      CKZComPtr<IKZArrayRead> nested;
      if (FAILED(s.Array(&nested))) return E_FAIL;
      return EncodeArray(nested.Get(), w, depth + 1, err);
    }
    case KZ_TYPE_INTERFACE:
      return err.Fail(s.What() + " holds an object, which cannot be stored");
    default:
      return err.Fail(s.What() + " has the type " + std::to_string(type) +
                      ", which cannot be stored");
  }
}

HRESULT EncodeRecord(IKZDataRead* data, Writer& w, int depth, EncodeError& err) {
  if (depth > kMaxStoredDepth) return err.Fail("the bag is nested too deeply to be stored");
  DWORD count = 0;
  if (data == nullptr || FAILED(data->GetFieldCount(&count))) {
    return err.Fail("a record does not tell its fields");
  }
  w.Fixed(count);
  for (DWORD i = 0; i < count; ++i) {
    CKZBSTR wide;
    BYTE type = 0;
    if (FAILED(data->GetFieldName(i, &wide)) || FAILED(data->GetFieldTypeAt(i, &type))) {
      return err.Fail("a record does not tell the name or type of field " + std::to_string(i));
    }
    CKZStringA name = Util::Convert::Utf8FromWS(wide.c_str(), static_cast<int>(SysStringLen(wide)));
    w.Fixed(type);
    w.Bytes(name.GetString(), static_cast<std::size_t>(name.GetLength()));
    HRESULT hr = EncodeValue(FieldSource{data, name.GetString()}, type, w, depth, err);
    if (hr == E_FAIL) {
      return err.Fail(std::string("the field \"") + name.GetString() + "\" cannot be read");
    }
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT EncodeArray(IKZArrayRead* array, Writer& w, int depth, EncodeError& err) {
  if (depth > kMaxStoredDepth) return err.Fail("the bag is nested too deeply to be stored");
  DWORD count = 0;
  if (array == nullptr || FAILED(array->GetCount(&count))) {
    return err.Fail("an array does not tell its count");
  }
  w.Fixed(count);
  for (DWORD i = 0; i < count; ++i) {
    BYTE type = 0;
    if (FAILED(array->GetElementType(i, &type))) {
      return err.Fail("an array does not tell the type of element " + std::to_string(i));
    }
    w.Fixed(type);
    HRESULT hr = EncodeValue(ElementSource{array, i}, type, w, depth, err);
    if (hr == E_FAIL) return err.Fail("element " + std::to_string(i) + " cannot be read");
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

// ---- decoding

class Reader {
 public:
  Reader(std::span<const std::uint8_t> bytes, std::string* error) : bytes_(bytes), error_(error) {}

  bool failed() const { return failed_; }
  std::size_t left() const { return bytes_.size() - pos_; }
  bool Fail(const std::string& message) {
    if (!failed_ && error_ != nullptr)
      *error_ = message + " (at byte " + std::to_string(pos_) + ")";
    failed_ = true;
    return false;
  }
  template <class T>
  bool Fixed(T* value) {
    if (left() < sizeof(T)) return Fail("the stored bag is truncated");
    std::memcpy(value, bytes_.data() + pos_, sizeof(T));
    pos_ += sizeof(T);
    return true;
  }
  // A u32 count of items of `unit` bytes each, checked against what is left.
  bool Count(std::uint32_t* count, std::size_t unit) {
    if (!Fixed(count)) return false;
    if (static_cast<std::uint64_t>(*count) * unit > left()) {
      return Fail("a count of " + std::to_string(*count) + " exceeds the stored bytes");
    }
    return true;
  }
  bool Span(std::size_t n, std::span<const std::uint8_t>* out) {
    if (left() < n) return Fail("the stored bag is truncated");
    *out = bytes_.subspan(pos_, n);
    pos_ += n;
    return true;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
  std::string* error_;
  bool failed_ = false;
};

bool DecodeRecord(Reader& r, IKZData* out, int depth);
bool DecodeArray(Reader& r, IKZArray* out, int depth);

bool ReadText(Reader& r, std::wstring* text) {
  std::uint32_t n = 0;
  if (!r.Count(&n, 4)) return false;
  text->resize(n);
  for (std::uint32_t i = 0; i < n; ++i) {
    std::uint32_t unit = 0;
    r.Fixed(&unit);
    // A bag's text ends at its first zero, so a stored one holds none.
    if (unit == 0 && !r.failed()) return r.Fail("a stored text holds a zero character");
    (*text)[i] = static_cast<wchar_t>(unit);
  }
  return !r.failed();
}

bool ReadBuffer(Reader& r, IKZBuffer** buffer) {
  std::uint32_t n = 0;
  std::span<const std::uint8_t> bytes;
  if (!r.Count(&n, 1) || !r.Span(n, &bytes)) return false;
  if (!Util::Data::CreateKZBuffer(buffer)) return r.Fail("cannot create a buffer");
  (*buffer)->SetData(bytes.data(), static_cast<DWORD>(bytes.size()));
  return true;
}

// Reads one value of `type` and hands it to `set` (a field setter or an array
// appender), as the typed call the caller makes.
template <class Sink>
bool DecodeValue(Reader& r, BYTE type, int depth, Sink&& sink) {
  switch (type) {
    case KZ_TYPE_BOOL: {
      std::int32_t v = 0;
      return r.Fixed(&v) && sink.Bool(v);
    }
    case KZ_TYPE_UINT8: {
      std::uint8_t v = 0;
      return r.Fixed(&v) && sink.U8(v);
    }
    case KZ_TYPE_INT8: {
      std::int8_t v = 0;
      return r.Fixed(&v) && sink.I8(v);
    }
    case KZ_TYPE_UINT16: {
      std::uint16_t v = 0;
      return r.Fixed(&v) && sink.U16(v);
    }
    case KZ_TYPE_INT16: {
      std::int16_t v = 0;
      return r.Fixed(&v) && sink.I16(v);
    }
    case KZ_TYPE_DWORD: {
      std::uint32_t v = 0;
      return r.Fixed(&v) && sink.U32(v);
    }
    case KZ_TYPE_INT32: {
      std::int32_t v = 0;
      return r.Fixed(&v) && sink.I32(v);
    }
    case KZ_TYPE_INT64: {
      std::int64_t v = 0;
      return r.Fixed(&v) && sink.I64(v);
    }
    case KZ_TYPE_UINT64: {
      std::uint64_t v = 0;
      return r.Fixed(&v) && sink.U64(v);
    }
    case KZ_TYPE_DOUBLE: {
      double v = 0;
      return r.Fixed(&v) && sink.Double(v);
    }
    case KZ_TYPE_STR: {
      std::wstring text;
      return ReadText(r, &text) && sink.Str(text.c_str());
    }
    case KZ_TYPE_BUF: {
      CKZComPtr<IKZBuffer> buffer;
      return ReadBuffer(r, &buffer) && sink.Buf(buffer.Get());
    }
    case KZ_TYPE_KZDATA: {
      if (depth >= kMaxStoredDepth) return r.Fail("the stored bag is nested too deeply");
      CKZComPtr<IKZData> nested;
      if (!Util::Data::CreateKZData(&nested)) return r.Fail("cannot create a record");
      return DecodeRecord(r, nested.Get(), depth + 1) && sink.Data(nested.Get());
    }
    case KZ_TYPE_KZARRAY: {
      if (depth >= kMaxStoredDepth) return r.Fail("the stored bag is nested too deeply");
      CKZComPtr<IKZArray> nested;
      if (!Util::Data::CreateKZArray(&nested)) return r.Fail("cannot create an array");
      return DecodeArray(r, nested.Get(), depth + 1) && sink.Array(nested.Get());
    }
    default:
      return r.Fail("unknown type code " + std::to_string(type));
  }
}

struct FieldSink {
  IKZData* d;
  const char* n;
  Reader& r;
  bool Ok(HRESULT hr) {
    return SUCCEEDED(hr) || r.Fail(std::string("cannot set field \"") + n + "\"");
  }
  bool Bool(std::int32_t v) { return Ok(d->SetBool(n, v)); }
  bool U8(std::uint8_t v) { return Ok(d->SetUInt8(n, v)); }
  bool I8(std::int8_t v) { return Ok(d->SetInt8(n, v)); }
  bool U16(std::uint16_t v) { return Ok(d->SetUInt16(n, v)); }
  bool I16(std::int16_t v) { return Ok(d->SetInt16(n, v)); }
  bool U32(std::uint32_t v) { return Ok(d->SetDWord(n, v)); }
  bool I32(std::int32_t v) { return Ok(d->SetInt32(n, v)); }
  bool I64(std::int64_t v) { return Ok(d->SetInt64(n, v)); }
  bool U64(std::uint64_t v) { return Ok(d->SetUInt64(n, v)); }
  bool Double(double v) { return Ok(d->SetDouble(n, v)); }
  bool Str(const wchar_t* v) { return Ok(d->SetStr(n, v)); }
  bool Buf(IKZBuffer* v) { return Ok(d->SetBuf(n, v)); }
  bool Data(IKZData* v) { return Ok(d->SetKZData(n, v)); }
  bool Array(IKZArray* v) { return Ok(d->SetKZArray(n, v)); }
};

struct ElementSink {
  IKZArray* a;
  Reader& r;
  bool Ok(HRESULT hr) { return SUCCEEDED(hr) || r.Fail("cannot append an element"); }
  bool Bool(std::int32_t v) { return Ok(a->AddBool(v)); }
  bool U8(std::uint8_t v) { return Ok(a->AddUInt8(v)); }
  bool I8(std::int8_t v) { return Ok(a->AddInt8(v)); }
  bool U16(std::uint16_t v) { return Ok(a->AddUInt16(v)); }
  bool I16(std::int16_t v) { return Ok(a->AddInt16(v)); }
  bool U32(std::uint32_t v) { return Ok(a->AddDWord(v)); }
  bool I32(std::int32_t v) { return Ok(a->AddInt32(v)); }
  bool I64(std::int64_t v) { return Ok(a->AddInt64(v)); }
  bool U64(std::uint64_t v) { return Ok(a->AddUInt64(v)); }
  bool Double(double v) { return Ok(a->AddDouble(v)); }
  bool Str(const wchar_t* v) { return Ok(a->AddStr(v)); }
  bool Buf(IKZBuffer* v) { return Ok(a->AddBuf(v)); }
  bool Data(IKZData* v) { return Ok(a->AddKZData(v)); }
  bool Array(IKZArray* v) { return Ok(a->AddKZArray(v)); }
};

bool DecodeRecord(Reader& r, IKZData* out, int depth) {
  std::uint32_t count = 0;
  // Every field takes at least 1 + 4 + 1 bytes.
  if (!r.Count(&count, 6)) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    BYTE type = 0;
    std::uint32_t length = 0;
    std::span<const std::uint8_t> name_bytes;
    if (!r.Fixed(&type) || !r.Count(&length, 1) || !r.Span(length, &name_bytes)) return false;
    if (length == 0) return r.Fail("a stored field has an empty name");
    std::string name(name_bytes.begin(), name_bytes.end());
    if (name.find('\0') != std::string::npos)
      return r.Fail("a stored field name holds a zero byte");
    // Names are written as the UTF-8 of the bag's own names; bytes that are
    // not UTF-8 would not read back under the same name.
    const CKZStringW wide_name =
        Util::Convert::Utf8ToWS(name.c_str(), static_cast<int>(name.size()));
    const CKZStringA again =
        Util::Convert::Utf8FromWS(wide_name.GetString(), static_cast<int>(wide_name.GetLength()));
    if (name != again.GetString()) return r.Fail("a stored field name is not UTF-8");
    DWORD before = 0;
    out->GetFieldCount(&before);
    if (!DecodeValue(r, type, depth, FieldSink{out, name.c_str(), r})) return false;
    DWORD after = 0;
    out->GetFieldCount(&after);
    if (after == before) return r.Fail("the field \"" + name + "\" is stored twice");
  }
  return true;
}

bool DecodeArray(Reader& r, IKZArray* out, int depth) {
  std::uint32_t count = 0;
  if (!r.Count(&count, 2)) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    BYTE type = 0;
    if (!r.Fixed(&type) || !DecodeValue(r, type, depth, ElementSink{out, r})) return false;
  }
  return true;
}

constexpr char kMagic[4] = {'K', 'Z', 'B', '1'};

}  // namespace

HRESULT EncodeKZData(IKZDataRead* data, std::vector<std::uint8_t>* bytes, std::string* error) {
  if (data == nullptr || bytes == nullptr) return E_POINTER;
  std::vector<std::uint8_t> out(kMagic, kMagic + 4);
  Writer w(&out);
  EncodeError err{error};
  HRESULT hr = EncodeRecord(data, w, 0, err);
  if (FAILED(hr)) return hr;
  *bytes = std::move(out);
  return S_OK;
}

HRESULT DecodeKZData(std::span<const std::uint8_t> bytes, IKZData** out, std::string* error) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  Reader r(bytes, error);
  std::span<const std::uint8_t> magic;
  if (!r.Span(4, &magic) || std::memcmp(magic.data(), kMagic, 4) != 0) {
    if (error != nullptr) *error = "not a stored bag (wrong magic)";
    return E_INVALIDARG;
  }
  CKZComPtr<IKZData> data;
  if (!Util::Data::CreateKZData(&data)) return E_OUTOFMEMORY;
  if (!DecodeRecord(r, data.Get(), 0)) return E_INVALIDARG;
  if (r.left() != 0) {
    r.Fail(std::to_string(r.left()) + " bytes follow the stored bag");
    return E_INVALIDARG;
  }
  *out = data.Detach();
  return S_OK;
}

}  // namespace platform

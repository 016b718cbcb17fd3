#include "apps/wrenutil/bag_tree.h"

#include <cinttypes>
#include <cstdio>
#include <string>

#include "platform/common/convert.h"
#include "platform/common/kzptr.h"
#include "platform/common/kzstring.h"

namespace wrenutil_app {
namespace {

constexpr DWORD kMaxBufferBytesShown = 32;

std::string Utf8(std::wstring_view text) {
  return Util::Convert::Utf8FromWS(text.data(), static_cast<int>(text.size())).str();
}

std::string Indent(int depth) { return std::string(static_cast<std::size_t>(depth) * 2, ' '); }

template <class... Args>
std::string Printf(const char* format, Args... args) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, args...);
  return buffer;
}

std::string FormatBuffer(IKZBuffer* buffer) {
  if (buffer == nullptr) return "<unreadable>";
  BYTE* bytes = nullptr;
  DWORD size = 0;
  buffer->GetData(&bytes);
  buffer->GetSize(&size);
  std::string text = Printf("%u bytes", size);
  if (size == 0 || bytes == nullptr) return text;
  text += " [";
  DWORD shown = size < kMaxBufferBytesShown ? size : kMaxBufferBytesShown;
  for (DWORD i = 0; i < shown; ++i) {
    text += Printf(i == 0 ? "%02x" : " %02x", bytes[i]);
  }
  if (shown < size) text += " ...";
  return text + "]";
}

void AppendData(IKZDataRead* data, int depth, std::string* out);
void AppendArray(IKZArrayRead* array, int depth, std::string* out);

// The " = value" part (or nested lines) of one field, read by `get`, which
// knows whether it reads a record field or an array element.
template <class Reader>
void AppendValue(BYTE type, Reader& get, int depth, std::string* out) {
  const std::string unreadable = " = <unreadable>\n";
  switch (type) {
    case KZ_TYPE_BOOL: {
      int v = 0;
      *out += FAILED(get.Bool(&v)) ? unreadable : Printf(" = %d\n", v);
      return;
    }
    case KZ_TYPE_UINT8: {
      std::uint8_t v = 0;
      *out += FAILED(get.UInt8(&v)) ? unreadable : Printf(" = %u\n", v);
      return;
    }
    case KZ_TYPE_INT8: {
      std::int8_t v = 0;
      *out += FAILED(get.Int8(&v)) ? unreadable : Printf(" = %d\n", v);
      return;
    }
    case KZ_TYPE_UINT16: {
      std::uint16_t v = 0;
      *out += FAILED(get.UInt16(&v)) ? unreadable : Printf(" = %u\n", v);
      return;
    }
    case KZ_TYPE_INT16: {
      std::int16_t v = 0;
      *out += FAILED(get.Int16(&v)) ? unreadable : Printf(" = %d\n", v);
      return;
    }
    case KZ_TYPE_DWORD: {
      DWORD v = 0;
      *out += FAILED(get.DWord(&v)) ? unreadable : Printf(" = %u\n", v);
      return;
    }
    case KZ_TYPE_INT32: {
      std::int32_t v = 0;
      *out += FAILED(get.Int32(&v)) ? unreadable : Printf(" = %d\n", v);
      return;
    }
    case KZ_TYPE_UINT64: {
      std::uint64_t v = 0;
      *out += FAILED(get.UInt64(&v)) ? unreadable : Printf(" = %" PRIu64 "\n", v);
      return;
    }
    case KZ_TYPE_INT64: {
      std::int64_t v = 0;
      *out += FAILED(get.Int64(&v)) ? unreadable : Printf(" = %" PRId64 "\n", v);
      return;
    }
    case KZ_TYPE_DOUBLE: {
      double v = 0;
      *out += FAILED(get.Double(&v)) ? unreadable : Printf(" = %.17g\n", v);
      return;
    }
    case KZ_TYPE_STR: {
      CKZBSTR v;
      *out += FAILED(get.Str(&v)) ? unreadable : " = " + QuoteText({v.c_str(), v.Length()}) + "\n";
      return;
    }
    case KZ_TYPE_BUF: {
      CKZComPtr<IKZBuffer> v;
      *out += FAILED(get.Buf(&v)) ? unreadable : " = " + FormatBuffer(v) + "\n";
      return;
    }
    case KZ_TYPE_KZDATA: {
      CKZComPtr<IKZDataRead> v;
      if (FAILED(get.Data(&v)) || !v) {
        *out += unreadable;
        return;
      }
      DWORD count = 0;
      v->GetFieldCount(&count);
      *out += Printf("{%u}\n", count);
      AppendData(v, depth + 1, out);
      return;
    }
    case KZ_TYPE_KZARRAY: {
      CKZComPtr<IKZArrayRead> v;
      if (FAILED(get.Array(&v)) || !v) {
        *out += unreadable;
        return;
      }
      DWORD count = 0;
      v->GetCount(&count);
      *out += Printf("[%u]\n", count);
      AppendArray(v, depth + 1, out);
      return;
    }
    case KZ_TYPE_INTERFACE:
      *out += " = (object)\n";
      return;
    default:
      *out += "\n";
      return;
  }
}

// Reads the field `name` of a record.
struct FieldReader {
  IKZDataRead* data;
  const wchar_t* name;
  HRESULT Bool(int* v) { return data->GetBool(name, v); }
  HRESULT UInt8(std::uint8_t* v) { return data->GetUInt8(name, v); }
  HRESULT Int8(std::int8_t* v) { return data->GetInt8(name, v); }
  HRESULT UInt16(std::uint16_t* v) { return data->GetUInt16(name, v); }
  HRESULT Int16(std::int16_t* v) { return data->GetInt16(name, v); }
  HRESULT DWord(DWORD* v) { return data->GetDWord(name, v); }
  HRESULT Int32(std::int32_t* v) { return data->GetInt32(name, v); }
  HRESULT UInt64(std::uint64_t* v) { return data->GetUInt64(name, v); }
  HRESULT Int64(std::int64_t* v) { return data->GetInt64(name, v); }
  HRESULT Double(double* v) { return data->GetDouble(name, v); }
  HRESULT Str(BSTR* v) { return data->GetStr(name, v); }
  HRESULT Buf(IKZBuffer** v) { return data->GetBuf(name, v); }
  HRESULT Data(IKZDataRead** v) {
    // The read view has no nested-record getter; ask the writable interface.
    CKZComPtr<IKZData> writable;
    HRESULT hr = data->QueryInterface(IKZData::kIid, reinterpret_cast<void**>(&writable));
    if (FAILED(hr)) return hr;
    IKZData* nested = nullptr;
    hr = writable->GetKZData(name, &nested);
    if (SUCCEEDED(hr)) *v = nested;  // IKZData extends IKZDataRead
    return hr;
  }
  HRESULT Array(IKZArrayRead** v) { return data->GetKZArrayRead(name, v); }
};

// Reads the element `index` of an array.
struct ElementReader {
  IKZArrayRead* array;
  DWORD index;
  HRESULT Bool(int* v) { return array->GetBool(index, v); }
  HRESULT UInt8(std::uint8_t* v) { return array->GetUInt8(index, v); }
  HRESULT Int8(std::int8_t* v) { return array->GetInt8(index, v); }
  HRESULT UInt16(std::uint16_t* v) { return array->GetUInt16(index, v); }
  HRESULT Int16(std::int16_t* v) { return array->GetInt16(index, v); }
  HRESULT DWord(DWORD* v) { return array->GetDWord(index, v); }
  HRESULT Int32(std::int32_t* v) { return array->GetInt32(index, v); }
  HRESULT UInt64(std::uint64_t* v) { return array->GetUInt64(index, v); }
  HRESULT Int64(std::int64_t* v) { return array->GetInt64(index, v); }
  HRESULT Double(double* v) { return array->GetDouble(index, v); }
  HRESULT Str(BSTR* v) { return array->GetStr(index, v); }
  HRESULT Buf(IKZBuffer** v) { return array->GetBuf(index, v); }
  HRESULT Data(IKZDataRead** v) { return array->GetKZDataRead(index, v); }
  HRESULT Array(IKZArrayRead** v) {
    // The read view has no nested-array getter; ask the writable interface.
    CKZComPtr<IKZArray> writable;
    HRESULT hr = array->QueryInterface(IKZArray::kIid, reinterpret_cast<void**>(&writable));
    if (FAILED(hr)) return hr;
    return writable->GetKZArrayRead(index, v);
  }
};

void AppendData(IKZDataRead* data, int depth, std::string* out) {
  DWORD count = 0;
  data->GetFieldCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    CKZBSTR name;
    BYTE type = 0;
    data->GetFieldName(i, &name);
    data->GetFieldTypeAt(i, &type);
    *out += Indent(depth) + Utf8({name.c_str(), name.Length()}) + ": " + TypeName(type);
    FieldReader reader{data, name.c_str()};
    AppendValue(type, reader, depth, out);
  }
}

void AppendArray(IKZArrayRead* array, int depth, std::string* out) {
  DWORD count = 0;
  array->GetCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    BYTE type = 0;
    array->GetElementType(i, &type);
    *out += Indent(depth) + Printf("[%u]: ", i) + TypeName(type);
    ElementReader reader{array, i};
    AppendValue(type, reader, depth, out);
  }
}

}  // namespace

std::string TypeName(BYTE type) {
  switch (type) {
    case KZ_TYPE_BOOL:
      return "bool";
    case KZ_TYPE_UINT8:
      return "u8";
    case KZ_TYPE_INT8:
      return "i8";
    case KZ_TYPE_UINT16:
      return "u16";
    case KZ_TYPE_INT16:
      return "i16";
    case KZ_TYPE_DWORD:
      return "u32";
    case KZ_TYPE_INT32:
      return "i32";
    case KZ_TYPE_STR:
      return "str";
    case KZ_TYPE_BUF:
      return "buf";
    case KZ_TYPE_INTERFACE:
      return "object";
    case KZ_TYPE_KZDATA:
      return "record";
    case KZ_TYPE_KZARRAY:
      return "array";
    case KZ_TYPE_INT64:
      return "i64";
    case KZ_TYPE_DOUBLE:
      return "double";
    case KZ_TYPE_UINT64:
      return "u64";
    default:
      return Printf("type<%u>", static_cast<unsigned>(type));
  }
}

std::string FormatBagTree(IKZDataRead* data) {
  if (data == nullptr) return "(null)\n";
  std::string out;
  AppendData(data, 0, &out);
  return out;
}

std::string FormatArrayTree(IKZArrayRead* array) {
  if (array == nullptr) return "(null)\n";
  std::string out;
  AppendArray(array, 0, &out);
  return out;
}

std::string QuoteText(std::wstring_view text) {
  std::string out = "\"";
  std::wstring plain;
  auto flush = [&] {
    out += Utf8(plain);
    plain.clear();
  };
  for (wchar_t c : text) {
    if (c == L'"' || c == L'\\') {
      flush();
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == L'\n') {
      flush();
      out += "\\n";
    } else if (c == L'\t') {
      flush();
      out += "\\t";
    } else if (c == L'\r') {
      flush();
      out += "\\r";
    } else if (c >= 0 && c < 0x20) {
      flush();
      out += Printf("\\u%04x", static_cast<unsigned>(c));
    } else {
      plain += c;
    }
  }
  flush();
  return out + "\"";
}

}  // namespace wrenutil_app

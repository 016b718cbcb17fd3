#include "platform/common/kzjson_stream.h"

#include <rapidjson/error/en.h>
#include <rapidjson/filereadstream.h>
#include <rapidjson/reader.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/common/convert.h"

namespace platform {
namespace {

constexpr int kMaxDepth = 200;

using Reader = rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF32<wchar_t>>;

// One value as it came, before it is stored: its JSON kind and payload.
struct Value {
  enum Kind { kBool, kUnsigned, kSigned, kDouble, kString, kRecord, kArray } kind;
  std::uint64_t u = 0;
  std::int64_t i = 0;
  double d = 0;
  const wchar_t* s = nullptr;  // zero-terminated
  std::size_t length = 0;
  IKZData* record = nullptr;  // borrowed
  IKZArray* array = nullptr;  // borrowed
};

// A value with the bag type it is stored as.
struct Typed {
  BYTE type = KZ_TYPE_NONE;
  Value value{};
  std::wstring text;  // a typed string, kept until its object ends
  bool owns_text = false;
  CKZComPtr<IKZBuffer> buffer;
  CKZComPtr<IKZData> record;
  CKZComPtr<IKZArray> array;
};

BYTE TypeOfTag(std::string_view tag) {
  static constexpr std::pair<std::string_view, BYTE> kTags[] = {
      {"@bool", KZ_TYPE_BOOL},     {"@u8", KZ_TYPE_UINT8},     {"@i8", KZ_TYPE_INT8},
      {"@u16", KZ_TYPE_UINT16},    {"@i16", KZ_TYPE_INT16},    {"@u32", KZ_TYPE_DWORD},
      {"@i32", KZ_TYPE_INT32},     {"@u64", KZ_TYPE_UINT64},   {"@i64", KZ_TYPE_INT64},
      {"@double", KZ_TYPE_DOUBLE}, {"@str", KZ_TYPE_STR},      {"@buf", KZ_TYPE_BUF},
      {"@data", KZ_TYPE_KZDATA},   {"@array", KZ_TYPE_KZARRAY}};
  for (const auto& [name, type] : kTags) {
    if (name == tag) return type;
  }
  return KZ_TYPE_NONE;
}

int HexValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// Builds bags from the parser's events. Each handler returns false, with a
// fault in error_, to stop the parse.
class Builder {
 public:
  CKZComPtr<IKZArray> result;
  std::string error;

  bool Null() {
    return Fail(frames_.empty() || top().kind != Frame::kTyped ? "null is not a value"
                                                               : ExpectedFor(top().typed.type));
  }
  bool Bool(bool b) { return Put({.kind = Value::kBool, .u = b ? 1u : 0u}); }
  bool Int(int i) { return Signed(i); }
  bool Int64(std::int64_t i) { return Signed(i); }
  bool Uint(unsigned u) { return Put({.kind = Value::kUnsigned, .u = u}); }
  bool Uint64(std::uint64_t u) { return Put({.kind = Value::kUnsigned, .u = u}); }
  bool Double(double d) { return Put({.kind = Value::kDouble, .d = d}); }
  bool RawNumber(const wchar_t*, rapidjson::SizeType, bool) { return Fail("unsupported value"); }
  bool String(const wchar_t* s, rapidjson::SizeType n, bool) {
    return Put({.kind = Value::kString, .s = s, .length = n});
  }

  bool StartObject() {
    // Inside a typed value the object is its payload: a record, never a
    // typed value itself.
    const bool payload = !frames_.empty() && top().kind == Frame::kTyped;
    if (!Push(payload ? Frame::kRecord : Frame::kPending)) return false;
    if (payload) Util::Data::CreateKZData(&top().record);
    return true;
  }

  bool Key(const wchar_t* s, rapidjson::SizeType n, bool) {
    Frame& f = top();
    f.key.clear();
    for (rapidjson::SizeType k = 0; k < n; ++k) {
      if (s[k] >= 0x80) {
        f.key = Util::Convert::Utf8FromWS(s, static_cast<int>(n)).str();
        break;
      }
      f.key.push_back(static_cast<char>(s[k]));
    }
    if (f.kind == Frame::kPending) {
      if (!f.key.empty() && f.key[0] == '@') {
        f.kind = Frame::kTyped;
        f.typed.type = TypeOfTag(f.key);
        if (f.typed.type == KZ_TYPE_NONE) return Fail("unknown type tag \"" + f.key + "\"");
        return true;
      }
      f.kind = Frame::kRecord;
      Util::Data::CreateKZData(&f.record);
    } else if (f.kind == Frame::kTyped) {
      // A second member: the object is a record after all, whose names may
      // not begin with "@".
      return Fail("bad field name \"" + f.tag() + "\"");
    }
    if (f.key.empty() || f.key[0] == '@') return Fail("bad field name \"" + f.key + "\"");
    return true;
  }

  bool EndObject(rapidjson::SizeType) {
    Frame f = std::move(top());
    frames_.pop_back();
    if (f.kind == Frame::kTyped) {
      if (f.typed.type == KZ_TYPE_NONE) return Fail("unsupported value");
      return Store(f.typed);
    }
    if (f.kind == Frame::kPending) Util::Data::CreateKZData(&f.record);  // {}
    return Put({.kind = Value::kRecord, .record = f.record.Get()});
  }

  bool StartArray() {
    if (!Push(Frame::kArray)) return false;
    Util::Data::CreateKZArray(&top().array);
    if (frames_.size() == 1) result = top().array;
    return true;
  }

  bool EndArray(rapidjson::SizeType) {
    Frame f = std::move(top());
    frames_.pop_back();
    if (frames_.empty()) return true;
    return Put({.kind = Value::kArray, .array = f.array.Get()});
  }

 private:
  struct Frame {
    enum Kind { kArray, kRecord, kPending, kTyped } kind;
    CKZComPtr<IKZArray> array;
    CKZComPtr<IKZData> record;
    std::string key;  // kRecord: the field of the next value; kTyped: the tag
    Typed typed;      // kTyped: the type, then the value once it came
    const std::string& tag() const { return key; }
  };

  Frame& top() { return frames_.back(); }

  bool Fail(std::string what) {
    if (error.empty()) error = std::move(what);
    return false;
  }

  static std::string ExpectedFor(BYTE type) {
    switch (type) {
      case KZ_TYPE_DOUBLE:
        return "a number was expected";
      case KZ_TYPE_STR:
        return "a string was expected";
      case KZ_TYPE_BUF:
        return "a hex string was expected for @buf";
      case KZ_TYPE_KZDATA:
        return "an object was expected";
      case KZ_TYPE_KZARRAY:
        return "an array was expected";
      default:
        return "an integer was expected";
    }
  }

  bool Push(Frame::Kind kind) {
    // The top array is level 0; records and arrays below it count.
    int depth = 0;
    for (const Frame& f : frames_) depth += f.kind == Frame::kTyped ? 0 : 1;
    if (frames_.empty() && kind != Frame::kArray) return Fail("an array was expected");
    if (depth > kMaxDepth) return Fail("nesting too deep");
    frames_.push_back(Frame{kind, {}, {}, {}, {}});
    return true;
  }

  bool Signed(std::int64_t i) {
    if (i >= 0) return Put({.kind = Value::kUnsigned, .u = static_cast<std::uint64_t>(i)});
    return Put({.kind = Value::kSigned, .i = i});
  }

  // The type a plain value is stored as.
  static BYTE PlainType(const Value& v) {
    switch (v.kind) {
      case Value::kBool:
        return KZ_TYPE_BOOL;
      case Value::kUnsigned:
        if (v.u <= 0xFFFFFFFFu) return KZ_TYPE_DWORD;
        return v.u <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())
                   ? KZ_TYPE_INT64
                   : KZ_TYPE_UINT64;
      case Value::kSigned:
        return v.i >= std::numeric_limits<std::int32_t>::min() ? KZ_TYPE_INT32 : KZ_TYPE_INT64;
      case Value::kDouble:
        return KZ_TYPE_DOUBLE;
      case Value::kString:
        return KZ_TYPE_STR;
      case Value::kRecord:
        return KZ_TYPE_KZDATA;
      case Value::kArray:
        return KZ_TYPE_KZARRAY;
    }
    return KZ_TYPE_NONE;
  }

  // A value that came: the payload of a typed value, or a plain value of
  // the enclosing record or array.
  bool Put(const Value& v) {
    if (frames_.empty()) return Fail("an array was expected");
    Frame& f = top();
    if (f.kind == Frame::kTyped) return Payload(f, v);
    Typed t;
    t.type = PlainType(v);
    t.value = v;
    return Store(t);
  }

  template <class T>
  bool IntegerAs(const Value& v, T* out) {
    if (v.kind == Value::kBool) {
      *out = static_cast<T>(v.u);
      return true;
    }
    if (v.kind == Value::kUnsigned) {
      if (v.u > static_cast<std::uint64_t>(std::numeric_limits<T>::max())) {
        return Fail("value out of range");
      }
      *out = static_cast<T>(v.u);
      return true;
    }
    if (v.kind == Value::kSigned) {
      if constexpr (std::is_signed_v<T>) {
        if (v.i < std::numeric_limits<T>::min()) return Fail("value out of range");
        *out = static_cast<T>(v.i);
        return true;
      } else {
        return Fail("value out of range");
      }
    }
    return Fail("an integer was expected");
  }

  // The payload of the typed value of frame `f`, checked against its tag.
  bool Payload(Frame& f, const Value& v) {
    Typed& t = f.typed;
    switch (t.type) {
      case KZ_TYPE_BOOL: {
        std::int32_t x = 0;
        if (!IntegerAs(v, &x)) return false;
        t.value = {.kind = Value::kSigned, .i = x};
        return true;
      }
      case KZ_TYPE_UINT8:
        return Integer<std::uint8_t>(t, v);
      case KZ_TYPE_INT8:
        return Integer<std::int8_t>(t, v);
      case KZ_TYPE_UINT16:
        return Integer<std::uint16_t>(t, v);
      case KZ_TYPE_INT16:
        return Integer<std::int16_t>(t, v);
      case KZ_TYPE_DWORD:
        return Integer<std::uint32_t>(t, v);
      case KZ_TYPE_INT32:
        return Integer<std::int32_t>(t, v);
      case KZ_TYPE_UINT64:
        return Integer<std::uint64_t>(t, v);
      case KZ_TYPE_INT64:
        return Integer<std::int64_t>(t, v);
      case KZ_TYPE_DOUBLE:
        if (v.kind == Value::kUnsigned) {
          t.value = {.kind = Value::kDouble, .d = static_cast<double>(v.u)};
        } else if (v.kind == Value::kSigned) {
          t.value = {.kind = Value::kDouble, .d = static_cast<double>(v.i)};
        } else if (v.kind == Value::kDouble) {
          t.value = v;
        } else {
          return Fail(ExpectedFor(t.type));
        }
        return true;
      case KZ_TYPE_STR:
        if (v.kind != Value::kString) return Fail(ExpectedFor(t.type));
        t.text.assign(v.s, v.length);
        t.owns_text = true;
        t.value = {.kind = Value::kString, .length = v.length};
        return true;
      case KZ_TYPE_BUF:
        return Buffer(t, v);
      case KZ_TYPE_KZDATA:
        if (v.kind != Value::kRecord) return Fail(ExpectedFor(t.type));
        t.record = v.record;
        t.value = {.kind = Value::kRecord, .record = t.record.Get()};
        return true;
      case KZ_TYPE_KZARRAY:
        if (v.kind != Value::kArray) return Fail(ExpectedFor(t.type));
        t.array = v.array;
        t.value = {.kind = Value::kArray, .array = t.array.Get()};
        return true;
      default:
        return Fail("unsupported value");
    }
  }

  template <class T>
  bool Integer(Typed& t, const Value& v) {
    T x{};
    if (!IntegerAs(v, &x)) return false;
    if constexpr (std::is_signed_v<T>) {
      t.value = {.kind = Value::kSigned, .i = x};
    } else {
      t.value = {.kind = Value::kUnsigned, .u = x};
    }
    return true;
  }

  bool Buffer(Typed& t, const Value& v) {
    if (v.kind != Value::kString) return Fail(ExpectedFor(KZ_TYPE_BUF));
    if (v.length % 2 != 0) return Fail("odd number of hex digits in @buf");
    std::vector<BYTE> bytes(v.length / 2);
    for (std::size_t k = 0; k < v.length; k += 2) {
      const int hi = HexValue(v.s[k]);
      const int lo = HexValue(v.s[k + 1]);
      if (hi < 0 || lo < 0) return Fail("bad hex digit in @buf");
      bytes[k / 2] = static_cast<BYTE>(hi * 16 + lo);
    }
    Util::Data::CreateKZBuffer(&t.buffer);
    t.buffer->SetData(bytes.data(), static_cast<DWORD>(bytes.size()));
    return true;
  }

  // Stores `t` in the record or array on top.
  bool Store(const Typed& t) {
    if (frames_.empty()) return Fail("an array was expected");
    Frame& f = top();
    if (f.kind == Frame::kTyped) return Fail("unsupported value");  // payloads are plain
    const Value& v = t.value;
    if (f.kind == Frame::kArray) {
      IKZArray* a = f.array;
      switch (t.type) {
        case KZ_TYPE_BOOL:
          a->AddBool(static_cast<int>(v.kind == Value::kBool ? v.u : v.i));
          break;
        case KZ_TYPE_UINT8:
          a->AddUInt8(static_cast<std::uint8_t>(v.u));
          break;
        case KZ_TYPE_INT8:
          a->AddInt8(static_cast<std::int8_t>(v.i));
          break;
        case KZ_TYPE_UINT16:
          a->AddUInt16(static_cast<std::uint16_t>(v.u));
          break;
        case KZ_TYPE_INT16:
          a->AddInt16(static_cast<std::int16_t>(v.i));
          break;
        case KZ_TYPE_DWORD:
          a->AddDWord(static_cast<DWORD>(v.u));
          break;
        case KZ_TYPE_INT32:
          a->AddInt32(static_cast<std::int32_t>(v.i));
          break;
        case KZ_TYPE_UINT64:
          a->AddUInt64(v.u);
          break;
        case KZ_TYPE_INT64:
          a->AddInt64(Int64Of(v));
          break;
        case KZ_TYPE_DOUBLE:
          a->AddDouble(v.d);
          break;
        case KZ_TYPE_STR:
          a->AddStr(t.owns_text ? t.text.c_str() : v.s);
          break;
        case KZ_TYPE_BUF:
          a->AddBuf(t.buffer);
          break;
        case KZ_TYPE_KZDATA:
          a->AddKZData(v.record);
          break;
        case KZ_TYPE_KZARRAY:
          a->AddKZArray(v.array);
          break;
        default:
          return Fail("unsupported value");
      }
      return true;
    }
    IKZData* d = f.record;
    const char* n = f.key.c_str();
    switch (t.type) {
      case KZ_TYPE_BOOL:
        d->SetBool(n, static_cast<int>(v.kind == Value::kBool ? v.u : v.i));
        break;
      case KZ_TYPE_UINT8:
        d->SetUInt8(n, static_cast<std::uint8_t>(v.u));
        break;
      case KZ_TYPE_INT8:
        d->SetInt8(n, static_cast<std::int8_t>(v.i));
        break;
      case KZ_TYPE_UINT16:
        d->SetUInt16(n, static_cast<std::uint16_t>(v.u));
        break;
      case KZ_TYPE_INT16:
        d->SetInt16(n, static_cast<std::int16_t>(v.i));
        break;
      case KZ_TYPE_DWORD:
        d->SetDWord(n, static_cast<DWORD>(v.u));
        break;
      case KZ_TYPE_INT32:
        d->SetInt32(n, static_cast<std::int32_t>(v.i));
        break;
      case KZ_TYPE_UINT64:
        d->SetUInt64(n, v.u);
        break;
      case KZ_TYPE_INT64:
        d->SetInt64(n, Int64Of(v));
        break;
      case KZ_TYPE_DOUBLE:
        d->SetDouble(n, v.d);
        break;
      case KZ_TYPE_STR:
        d->SetStr(n, t.owns_text ? t.text.c_str() : v.s);
        break;
      case KZ_TYPE_BUF:
        d->SetBuf(n, t.buffer);
        break;
      case KZ_TYPE_KZDATA:
        d->SetKZData(n, v.record);
        break;
      case KZ_TYPE_KZARRAY:
        d->SetKZArray(n, v.array);
        break;
      default:
        return Fail("unsupported value");
    }
    return true;
  }

  static std::int64_t Int64Of(const Value& v) {
    return v.kind == Value::kUnsigned ? static_cast<std::int64_t>(v.u) : v.i;
  }

  std::vector<Frame> frames_;
};

}  // namespace

HRESULT JsonStreamToKZArray(std::FILE* in, IKZArray** out, std::string* error) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (in == nullptr) return E_POINTER;
  char block[64 * 1024];
  rapidjson::FileReadStream stream(in, block, sizeof block);
  Builder builder;
  Reader reader;
  const rapidjson::ParseResult parsed =
      reader.Parse<rapidjson::kParseValidateEncodingFlag>(stream, builder);
  std::string fault;
  if (std::ferror(in)) {
    // A read that failed looks like the end of the text to the parser.
    fault = std::string("read error: ") + std::strerror(errno);
  } else if (parsed.IsError()) {
    fault = builder.error.empty() ? rapidjson::GetParseError_En(parsed.Code()) : builder.error;
    fault = "offset " + std::to_string(parsed.Offset()) + ": " + fault;
  }
  if (!fault.empty() || !builder.result) {
    if (fault.empty()) fault = "an array was expected";
    if (error != nullptr) *error = fault;
    return E_INVALIDARG;
  }
  *out = builder.result.Detach();
  return S_OK;
}

}  // namespace platform

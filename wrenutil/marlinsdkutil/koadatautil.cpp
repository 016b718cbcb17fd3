#include "wrenutil/marlinsdkutil/koadatautil.h"

#include <cerrno>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "common/include/utillog.h"
#include "platform/common/convert.h"

namespace KOADataUtil {
namespace {

constexpr wchar_t kSource[] = L"wrenutil\\marlinsdkutil\\koadatautil";
constexpr wchar_t kModule[] = L"KOADataUtil";
constexpr wchar_t kCopyKZDataField[] = L"KOADataUtil::Data::CopyKZDataFieldToTData";
constexpr wchar_t kKZArrayToTArray[] = L"KOADataUtil::Array::KZArrayToTArray";
constexpr wchar_t kUnsupportedType[] = L"Unknown/Unsupported Type %c";
constexpr wchar_t kKZDataFailed[] = L"KZData To TData Failed, error is %d";
constexpr wchar_t kKZArrayFailed[] = L"KZArray To TArray Failed, error is %d";
constexpr int kLogLevel = 2;

constexpr char kBoolU64ToDWord[] = "BoolU64ToDWord";
constexpr char kDWordToU64[] = "DWordToU64";

// One level-2 line of the bridge with one integer argument. Logging leaves
// errno as it found it, so that a later line reports the caller's error.
void Log(int line, const wchar_t* function, const wchar_t* format, int argument) {
  const int saved = errno;
  wrenutil::internal::WrenLog(kSource, line, function, kLogLevel, kModule, format, argument);
  errno = saved;
}

// The last operating-system error code of the calling thread.
int LastError() { return errno; }

bool ReadFlag(const std::shared_ptr<KOA::TData>& options, const char* name) {
  return options ? options->GetBool(name) : false;
}

// The target name: `target` unless it is null or empty.
const char* TargetName(const char* source, const char* target) {
  return (target != nullptr && target[0] != '\0') ? target : source;
}

// A new system string of UTF-8 text decoded up to its first zero byte.
BSTR Utf8ToBSTR(const std::string& text) {
  return Util::Convert::Utf8ToWS(text.c_str(), -1).GetBSTR();
}

// Nested records and arrays deeper than this below the top record or array
// are left out (see the header).
constexpr int kMaxNesting = 100'000;

// ---------------------------------------------------------------------------
// Scalars, KOA into bag. A writer puts one value into a bag record field or
// appends it to a bag array.

struct BagFieldWriter {
  IKZData* bag;
  const char* name;
  void Int8(std::int8_t v) { bag->SetInt8(name, v); }
  void UInt8(std::uint8_t v) { bag->SetUInt8(name, v); }
  void Int16(std::int16_t v) { bag->SetInt16(name, v); }
  void UInt16(std::uint16_t v) { bag->SetUInt16(name, v); }
  void Int32(std::int32_t v) { bag->SetInt32(name, v); }
  void DWord(DWORD v) { bag->SetDWord(name, v); }
  void Int64(std::int64_t v) { bag->SetInt64(name, v); }
  void UInt64(std::uint64_t v) { bag->SetUInt64(name, v); }
  void Double(double v) { bag->SetDouble(name, v); }
  void Str(const wchar_t* v) { bag->SetStr(name, v); }
  void Buf(IKZBuffer* v) { bag->SetBuf(name, v); }
  void Bool(int v) { bag->SetBool(name, v); }
  bool Data(IKZData* v) { return SUCCEEDED(bag->SetKZData(name, v)); }
  bool Array(IKZArray* v) { return SUCCEEDED(bag->SetKZArray(name, v)); }
};

struct BagElementWriter {
  IKZArray* bag;
  void Int8(std::int8_t v) { bag->AddInt8(v); }
  void UInt8(std::uint8_t v) { bag->AddUInt8(v); }
  void Int16(std::int16_t v) { bag->AddInt16(v); }
  void UInt16(std::uint16_t v) { bag->AddUInt16(v); }
  void Int32(std::int32_t v) { bag->AddInt32(v); }
  void DWord(DWORD v) { bag->AddDWord(v); }
  void Int64(std::int64_t v) { bag->AddInt64(v); }
  void UInt64(std::uint64_t v) { bag->AddUInt64(v); }
  void Double(double v) { bag->AddDouble(v); }
  void Str(const wchar_t* v) { bag->AddStr(v); }
  void Buf(IKZBuffer* v) { bag->AddBuf(v); }
  void Bool(int v) { bag->AddBool(v); }
  bool Data(IKZData* v) { return SUCCEEDED(bag->AddKZData(v)); }
  bool Array(IKZArray* v) { return SUCCEEDED(bag->AddKZArray(v)); }
};

// Writes the value of kind `kind` that `src` holds at `key` (a KOA record and
// a field name, or a KOA array and an index). False for a kind that is not a
// scalar: nested ones are the walk's, the rest are not converted.
template <class Source, class Key, class Writer>
bool WriteKoaScalar(Source& src, const Key& key, unsigned int kind, bool u64_to_dword,
                    Writer& out) {
  switch (kind) {
    case KOA::kTypeInt8:
      out.Int8(src.GetInt8(key));
      return true;
    case KOA::kTypeUInt8:
      out.UInt8(src.GetUInt8(key));
      return true;
    case KOA::kTypeInt16:
      out.Int16(src.GetInt16(key));
      return true;
    case KOA::kTypeUInt16:
      out.UInt16(src.GetUInt16(key));
      return true;
    case KOA::kTypeInt32:
      out.Int32(src.GetInt32(key));
      return true;
    case KOA::kTypeUInt32:
      out.DWord(src.GetUInt32(key));
      return true;
    case KOA::kTypeInt64:
      out.Int64(src.GetInt64(key));
      return true;
    case KOA::kTypeUInt64: {
      const std::uint64_t value = src.GetUInt64(key);
      if (u64_to_dword) {
        out.DWord(static_cast<DWORD>(value & 0xFFFFFFFFu));
      } else {
        out.UInt64(value);
      }
      return true;
    }
    case KOA::kTypeFloat:
      out.Double(static_cast<double>(src.GetFloat(key)));
      return true;
    case KOA::kTypeDouble:
      out.Double(src.GetDouble(key));
      return true;
    case KOA::kTypeString: {
      CKZBSTR text;
      text.Attach(Utf8ToBSTR(src.GetString(key)));
      out.Str(text.Get());
      return true;
    }
    case KOA::kTypeWString: {
      CKZBSTR text(src.GetWString(key).c_str());
      out.Str(text.Get());
      return true;
    }
    case KOA::kTypeBuffer: {
      KOA::TBuffer buffer = src.GetBuffer(key);
      CKZComPtr<IKZBuffer> bytes;
      Util::Data::CreateKZBuffer(&bytes);
      if (bytes) {
        bytes->SetData(buffer.GetBuf(), buffer.GetSize());
        out.Buf(bytes);
      }
      return true;
    }
    case KOA::kTypeBool:
      out.Bool(src.GetBool(key) ? 1 : 0);
      return true;
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------
// Scalars, bag into KOA. A writer puts one value into a KOA record field or
// appends it to a KOA array.

struct KoaFieldWriter {
  KOA::TData& koa;
  const std::string& name;
  void Bool(bool v) { koa.SetBool(name, v); }
  void UInt8(std::uint8_t v) { koa.SetUInt8(name, v); }
  void Int8(std::int8_t v) { koa.SetInt8(name, v); }
  void UInt16(std::uint16_t v) { koa.SetUInt16(name, v); }
  void Int16(std::int16_t v) { koa.SetInt16(name, v); }
  void UInt32(std::uint32_t v) { koa.SetUInt32(name, v); }
  void Int32(std::int32_t v) { koa.SetInt32(name, v); }
  void String(const char* v) { koa.SetString(name, v); }
  void Buffer(KOA::TBuffer v) { koa.SetBuffer(name, std::move(v)); }
  void Int64(std::int64_t v) { koa.SetInt64(name, v); }
  void Double(double v) { koa.SetDouble(name, v); }
  void UInt64(std::uint64_t v) { koa.SetUInt64(name, v); }
  void Data(std::shared_ptr<KOA::TData> v) { koa.SetData(name, std::move(v)); }
  void Array(std::shared_ptr<KOA::TArray> v) { koa.SetArray(name, std::move(v)); }
};

struct KoaElementWriter {
  KOA::TArray& koa;
  void Bool(bool v) { koa.AddBool(v); }
  void UInt8(std::uint8_t v) { koa.AddUInt8(v); }
  void Int8(std::int8_t v) { koa.AddInt8(v); }
  void UInt16(std::uint16_t v) { koa.AddUInt16(v); }
  void Int16(std::int16_t v) { koa.AddInt16(v); }
  void UInt32(std::uint32_t v) { koa.AddUInt32(v); }
  void Int32(std::int32_t v) { koa.AddInt32(v); }
  void String(const char* v) { koa.AddString(v); }
  void Buffer(KOA::TBuffer v) { koa.AddBuffer(std::move(v)); }
  void Int64(std::int64_t v) { koa.AddInt64(v); }
  void Double(double v) { koa.AddDouble(v); }
  void UInt64(std::uint64_t v) { koa.AddUInt64(v); }
  void Data(std::shared_ptr<KOA::TData> v) { koa.AddData(std::move(v)); }
  void Array(std::shared_ptr<KOA::TArray> v) { koa.AddArray(std::move(v)); }
};

// Writes the scalar of bag type `type` that `src` holds at `key` (a bag
// record and a field name, or a bag array and an index). A failing read
// writes nothing, except that a DWord element is appended as 0. False for a
// type that is not a scalar.
template <class Source, class Key, class Writer>
bool WriteBagScalar(Source* src, const Key& key, BYTE type, bool dword_to_u64, Writer& out) {
  switch (type) {
    case KZ_TYPE_BOOL: {
      int value = 0;
      if (SUCCEEDED(src->GetBool(key, &value))) out.Bool(value != 0);
      return true;
    }
    case KZ_TYPE_UINT8: {
      std::uint8_t value = 0;
      if (SUCCEEDED(src->GetUInt8(key, &value))) out.UInt8(value);
      return true;
    }
    case KZ_TYPE_INT8: {
      std::int8_t value = 0;
      if (SUCCEEDED(src->GetInt8(key, &value))) out.Int8(value);
      return true;
    }
    case KZ_TYPE_UINT16: {
      std::uint16_t value = 0;
      if (SUCCEEDED(src->GetUInt16(key, &value))) out.UInt16(value);
      return true;
    }
    case KZ_TYPE_INT16: {
      std::int16_t value = 0;
      if (SUCCEEDED(src->GetInt16(key, &value))) out.Int16(value);
      return true;
    }
    case KZ_TYPE_DWORD: {
      DWORD value = 0;
      [[maybe_unused]] const bool read = SUCCEEDED(src->GetDWord(key, &value));
      if constexpr (std::is_same_v<Writer, KoaElementWriter>) {
        if (dword_to_u64) {
          out.UInt64(static_cast<std::uint64_t>(value));
        } else {
          out.UInt32(value);
        }
      } else if (read) {
        out.UInt32(value);
      }
      return true;
    }
    case KZ_TYPE_INT32: {
      std::int32_t value = 0;
      if (SUCCEEDED(src->GetInt32(key, &value))) out.Int32(value);
      return true;
    }
    case KZ_TYPE_STR: {
      CKZBSTR value;
      if (SUCCEEDED(src->GetStr(key, &value))) {
        out.String(Util::Convert::Utf8FromWS(value.Get(), -1).GetString());
      }
      return true;
    }
    case KZ_TYPE_BUF: {
      CKZComPtr<IKZBuffer> value;
      if (SUCCEEDED(src->GetBuf(key, &value)) && value) {
        BYTE* data = nullptr;
        DWORD size = 0;
        value->GetData(&data);
        value->GetSize(&size);
        out.Buffer(KOA::TBuffer(data, size));
      }
      return true;
    }
    case KZ_TYPE_INT64: {
      std::int64_t value = 0;
      if (SUCCEEDED(src->GetInt64(key, &value))) out.Int64(value);
      return true;
    }
    case KZ_TYPE_DOUBLE: {
      double value = 0;
      if (SUCCEEDED(src->GetDouble(key, &value))) out.Double(value);
      return true;
    }
    case KZ_TYPE_UINT64: {
      std::uint64_t value = 0;
      if (SUCCEEDED(src->GetUInt64(key, &value))) out.UInt64(value);
      return true;
    }
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------
// The walks. Nested records and arrays are converted with an explicit stack
// of open containers, so the depth of the data never reaches the call stack.

// KOA into bag. A record's fields are copied without options, under the
// names its `options` maps them to; an array reads "BoolU64ToDWord" from its
// `options` and passes them on to what it holds.
struct KoaToBagStep {
  std::shared_ptr<KOA::TData> record;  // a record, or
  std::shared_ptr<KOA::TArray> array;  // an array
  std::shared_ptr<KOA::TArray> names;  // the record's field names
  CKZComPtr<IKZData> bag;
  CKZComPtr<IKZArray> bag_array;
  std::shared_ptr<KOA::TData> options;
  unsigned int next = 0;
  int depth = 0;
};

class KoaToBag {
 public:
  // Opens a record (`options` maps its names) into `bag`.
  void OpenRecord(std::shared_ptr<KOA::TData> record, IKZData* bag,
                  std::shared_ptr<KOA::TData> options, int depth) {
    std::shared_ptr<KOA::TArray> names = record->GetFieldNames();
    stack_.push_back(KoaToBagStep{std::move(record), nullptr, std::move(names), bag, nullptr,
                                  std::move(options), 0, depth});
  }
  // Opens an array into `bag_array`; false when its kind is not converted.
  bool OpenArray(std::shared_ptr<KOA::TArray> array, IKZArray* bag_array,
                 std::shared_ptr<KOA::TData> options, int depth) {
    switch (array->GetType()) {
      case KOA::kTypeNone:
      case KOA::kTypeBuffer:
      case KOA::kTypeDateTime:
      case KOA::kTypeGuid:
      case KOA::kTypeNull:
        return false;
      default:
        if (array->GetType() > KOA::kTypeBool) return false;
        break;
    }
    stack_.push_back(KoaToBagStep{nullptr, std::move(array), nullptr, nullptr, bag_array,
                                  std::move(options), 0, depth});
    return true;
  }

  // Copies one field of `src`, opening a nested record or array with
  // `options`; false when its kind is not converted.
  bool CopyField(KOA::TData& src, const std::string& name, IKZData* dst, const char* target,
                 const std::shared_ptr<KOA::TData>& options, int depth) {
    const unsigned int kind = src.GetType(name);
    BagFieldWriter out{dst, target};
    if (WriteKoaScalar(src, name, kind, ReadFlag(options, kBoolU64ToDWord), out)) return true;
    if (kind == KOA::kTypeArray) {
      if (std::shared_ptr<KOA::TArray> nested = src.GetArray(name)) {
        NestArray(std::move(nested), out, options, depth + 1);
      }
      return true;
    }
    if (kind == KOA::kTypeData) {
      if (std::shared_ptr<KOA::TData> nested = src.GetData(name)) {
        NestRecord(std::move(nested), out, options, depth + 1);
      }
      return true;
    }
    return false;  // 0, 16, 17, 18 and above 19
  }

  // Works until everything opened is converted.
  void Run() {
    while (!stack_.empty()) {
      KoaToBagStep& top = stack_.back();
      if (top.record) {
        if (top.next >= top.names->GetCount()) {
          stack_.pop_back();
          continue;
        }
        const std::string name = top.names->GetString(top.next++);
        const std::string target = top.options ? top.options->GetString(name) : std::string();
        // The step may move when a nested one is opened: keep what it holds.
        std::shared_ptr<KOA::TData> record = top.record;
        CKZComPtr<IKZData> bag = top.bag;
        CopyField(*record, name, bag, TargetName(name.c_str(), target.c_str()), nullptr, top.depth);
      } else {
        if (top.next >= top.array->GetCount()) {
          stack_.pop_back();
          continue;
        }
        const unsigned int index = top.next++;
        std::shared_ptr<KOA::TArray> array = top.array;
        std::shared_ptr<KOA::TData> options = top.options;
        CKZComPtr<IKZArray> bag_array = top.bag_array;
        const int depth = top.depth;
        BagElementWriter out{bag_array};
        const unsigned int kind = array->GetType();
        if (WriteKoaScalar(*array, index, kind, ReadFlag(options, kBoolU64ToDWord), out)) {
          continue;
        }
        // A null element becomes an empty one, keeping positions.
        if (kind == KOA::kTypeArray) {
          NestArray(array->GetArray(index), out, options, depth + 1);
        } else if (kind == KOA::kTypeData) {
          NestRecord(array->GetData(index), out, options, depth + 1);
        }
      }
    }
  }

  // False once something was left out for its depth.
  bool complete() const { return complete_; }

 private:
  bool Admit(int depth) {
    if (depth <= kMaxNesting) return true;
    complete_ = false;
    return false;
  }

  // Writes a new bag array or record for `source` (an empty one for null)
  // and opens it, unless it is too deep.
  template <class Writer>
  void NestArray(std::shared_ptr<KOA::TArray> source, Writer& out,
                 const std::shared_ptr<KOA::TData>& options, int depth) {
    if (!Admit(depth)) return;
    CKZComPtr<IKZArray> nested;
    Util::Data::CreateKZArray(&nested);
    if (nested && out.Array(nested) && source) {
      OpenArray(std::move(source), nested, options, depth);
    }
  }
  template <class Writer>
  void NestRecord(std::shared_ptr<KOA::TData> source, Writer& out,
                  const std::shared_ptr<KOA::TData>& options, int depth) {
    if (!Admit(depth)) return;
    CKZComPtr<IKZData> nested;
    Util::Data::CreateKZData(&nested);
    if (nested && out.Data(nested) && source) {
      OpenRecord(std::move(source), nested, options, depth);
    }
  }

  std::vector<KoaToBagStep> stack_;
  bool complete_ = true;
};

// Bag into KOA. A record's fields are named as its `options` map them; an
// array reads "DWordToU64" from its `options`. Nested ones get no options.
struct BagToKoaStep {
  CKZComPtr<IKZData> bag;         // a record, or
  CKZComPtr<IKZArray> bag_array;  // an array
  std::shared_ptr<KOA::TData> record;
  std::shared_ptr<KOA::TArray> array;
  std::shared_ptr<KOA::TData> options;
  DWORD count = 0;
  DWORD next = 0;
  int depth = 0;
};

class BagToKoa {
 public:
  void OpenRecord(IKZData* bag, std::shared_ptr<KOA::TData> record,
                  std::shared_ptr<KOA::TData> options, int depth) {
    DWORD count = 0;
    bag->GetFieldCount(&count);
    stack_.push_back(BagToKoaStep{bag, nullptr, std::move(record), nullptr, std::move(options),
                                  count, 0, depth});
  }
  void OpenArray(IKZArray* bag_array, std::shared_ptr<KOA::TArray> array,
                 std::shared_ptr<KOA::TData> options, int depth) {
    DWORD count = 0;
    bag_array->GetCount(&count);
    stack_.push_back(BagToKoaStep{nullptr, bag_array, nullptr, std::move(array), std::move(options),
                                  count, 0, depth});
  }

  // Copies one field of `src`; false, after logging, for a type that is not
  // converted.
  bool CopyField(IKZData* src, const char* name, KOA::TData& dst, const std::string& target,
                 int depth) {
    BYTE type = 0;
    src->GetFieldType(name, &type);
    KoaFieldWriter out{dst, target};
    return WriteBagScalar(src, name, type, false, out) ||
           Nest(src, name, type, out, kCopyKZDataField, depth);
  }

  void Run() {
    while (!stack_.empty()) {
      BagToKoaStep& top = stack_.back();
      if (top.next >= top.count) {
        stack_.pop_back();
        continue;
      }
      const DWORD index = top.next++;
      const int depth = top.depth;
      if (top.bag) {
        CKZComPtr<IKZData> bag = top.bag;
        std::shared_ptr<KOA::TData> record = top.record;
        CKZBSTR wide_name;
        bag->GetFieldName(index, &wide_name);
        const CKZStringA name = Util::Convert::Utf8FromWS(wide_name.Get(), -1);
        const std::string target = top.options ? top.options->GetString(name.str()) : name.str();
        CopyField(bag, name.GetString(), *record, TargetName(name.GetString(), target.c_str()),
                  depth);
      } else {
        CKZComPtr<IKZArray> bag_array = top.bag_array;
        std::shared_ptr<KOA::TArray> array = top.array;
        const bool dword_to_u64 = ReadFlag(top.options, kDWordToU64);
        BYTE type = 0;
        bag_array->GetElementType(index, &type);
        KoaElementWriter out{*array};
        if (!WriteBagScalar(bag_array.Get(), index, type, dword_to_u64, out)) {
          Nest(bag_array.Get(), index, type, out, kKZArrayToTArray, depth);
        }
      }
    }
  }

 private:
  // A nested record or array too deep to convert is one that cannot be
  // read: it is logged with ELOOP as the error.
  static bool Admit(int depth) {
    if (depth <= kMaxNesting) return true;
    errno = ELOOP;
    return false;
  }

  // Writes a new KOA record or array for the nested bag or bag array that
  // `src` holds at `key` and opens it; logs, in the name of `function`, one
  // that cannot be read or is too deep, and a type that is not converted
  // (false).
  template <class Source, class Key, class Writer>
  bool Nest(Source* src, const Key& key, BYTE type, Writer& out, const wchar_t* function,
            int depth) {
    if (type == KZ_TYPE_KZDATA) {
      CKZComPtr<IKZData> value;
      if (FAILED(src->GetKZData(key, &value)) || !value || !Admit(depth + 1)) {
        Log(__LINE__, function, kKZDataFailed, LastError());
      } else {
        NestRecord(value, out, depth + 1);
      }
      return true;
    }
    if (type == KZ_TYPE_KZARRAY) {
      CKZComPtr<IKZArray> value;
      if (FAILED(src->GetKZArray(key, &value)) || !value || !Admit(depth + 1)) {
        Log(__LINE__, function, kKZArrayFailed, LastError());
      } else {
        NestArray(value, out, depth + 1);
      }
      return true;
    }
    Log(__LINE__, function, kUnsupportedType, type);  // 0, 10, 13, 16, above 17
    return false;
  }

  template <class Writer>
  void NestRecord(IKZData* value, Writer& out, int depth) {
    std::shared_ptr<KOA::TData> nested = KOA::TData::CreateTData(82);
    out.Data(nested);
    OpenRecord(value, std::move(nested), nullptr, depth);
  }
  template <class Writer>
  void NestArray(IKZArray* value, Writer& out, int depth) {
    DWORD count = 0;
    value->GetCount(&count);
    std::shared_ptr<KOA::TArray> nested = KOA::TArray::CreateTArray(count);
    out.Array(nested);
    OpenArray(value, std::move(nested), nullptr, depth);
  }

  std::vector<BagToKoaStep> stack_;
};

}  // namespace

namespace Data {

bool CopyTDataFieldToKZData(std::shared_ptr<KOA::TData> src, const char* src_name, IKZData* dst,
                            const char* dst_name, std::shared_ptr<KOA::TData> options) {
  if (!src || dst == nullptr || src_name == nullptr) return false;
  try {
    KoaToBag walk;
    const bool converted = walk.CopyField(*src, std::string(src_name), dst,
                                          TargetName(src_name, dst_name), options, 0);
    walk.Run();
    return converted && walk.complete();
  } catch (...) {  // memory exhaustion
    return false;
  }
}

bool CopyKZDataFieldToTData(IKZData* src, const char* src_name, std::shared_ptr<KOA::TData> dst,
                            const char* dst_name, std::shared_ptr<KOA::TData> /*options*/) {
  if (src == nullptr || !dst || src_name == nullptr) return false;
  try {
    BagToKoa walk;
    const bool converted =
        walk.CopyField(src, src_name, *dst, std::string(TargetName(src_name, dst_name)), 0);
    walk.Run();
    return converted;
  } catch (...) {
    return false;
  }
}

CKZStringW GetStrW(std::shared_ptr<KOA::TData> data, const char* name) {
  if (!data || name == nullptr) return CKZStringW();
  try {
    return Util::Convert::Utf8ToWS(data->GetString(name).c_str(), -1);
  } catch (...) {
    return CKZStringW();
  }
}

bool TDataToKZData(std::shared_ptr<KOA::TData> src, IKZData* dst,
                   std::shared_ptr<KOA::TData> options) {
  if (!src || dst == nullptr) return false;
  try {
    KoaToBag walk;
    walk.OpenRecord(std::move(src), dst, std::move(options), 0);
    walk.Run();
    return walk.complete();
  } catch (...) {
    return false;
  }
}

std::optional<CKZComPtr<IKZData>> TDataToKZData(std::shared_ptr<KOA::TData> src,
                                                std::shared_ptr<KOA::TData> options) {
  if (!src) return std::nullopt;
  try {
    CKZComPtr<IKZData> bag;
    Util::Data::CreateKZData(&bag);
    if (!TDataToKZData(std::move(src), bag, std::move(options))) return std::nullopt;
    return bag;
  } catch (...) {
    return std::nullopt;
  }
}

std::shared_ptr<KOA::TData> KZDataToTData(IKZData* src, std::shared_ptr<KOA::TData> options) {
  if (src == nullptr) return nullptr;
  try {
    std::shared_ptr<KOA::TData> record = KOA::TData::CreateTData(82);
    BagToKoa walk;
    walk.OpenRecord(src, record, std::move(options), 0);
    walk.Run();
    return record;
  } catch (...) {
    return nullptr;
  }
}

}  // namespace Data

namespace Array {

bool TArrayToKZArray(std::shared_ptr<KOA::TArray> src, IKZArray* dst,
                     std::shared_ptr<KOA::TData> options) {
  if (!src || dst == nullptr) return false;
  try {
    KoaToBag walk;
    if (!walk.OpenArray(std::move(src), dst, std::move(options), 0)) return false;
    walk.Run();
    return walk.complete();
  } catch (...) {
    return false;
  }
}

std::optional<CKZComPtr<IKZArray>> TArrayToKZArray(std::shared_ptr<KOA::TArray> src,
                                                   std::shared_ptr<KOA::TData> options) {
  if (!src) return std::nullopt;
  try {
    CKZComPtr<IKZArray> array;
    Util::Data::CreateKZArray(&array);
    if (!TArrayToKZArray(std::move(src), array, std::move(options))) return std::nullopt;
    return array;
  } catch (...) {
    return std::nullopt;
  }
}

std::optional<std::shared_ptr<KOA::TArray>> KZArrayToTArray(IKZArray* src,
                                                            std::shared_ptr<KOA::TData> options) {
  if (src == nullptr) return std::nullopt;
  try {
    DWORD count = 0;
    src->GetCount(&count);
    std::shared_ptr<KOA::TArray> array = KOA::TArray::CreateTArray(count);
    BagToKoa walk;
    walk.OpenArray(src, array, std::move(options), 0);
    walk.Run();
    return array;
  } catch (...) {
    return std::nullopt;
  }
}

}  // namespace Array
}  // namespace KOADataUtil

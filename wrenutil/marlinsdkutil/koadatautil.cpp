#include "wrenutil/marlinsdkutil/koadatautil.h"

#include <cerrno>
#include <string>
#include <utility>

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

}  // namespace

namespace Data {

bool CopyTDataFieldToKZData(std::shared_ptr<KOA::TData> src, const char* src_name, IKZData* dst,
                            const char* dst_name, std::shared_ptr<KOA::TData> options) {
  if (!src || dst == nullptr || src_name == nullptr) return false;
  const char* target = TargetName(src_name, dst_name);
  const bool u64_to_dword = ReadFlag(options, kBoolU64ToDWord);
  const std::string name(src_name);

  switch (src->GetType(name)) {
    case KOA::kTypeInt8:
      dst->SetInt8(target, src->GetInt8(name));
      return true;
    case KOA::kTypeUInt8:
      dst->SetUInt8(target, src->GetUInt8(name));
      return true;
    case KOA::kTypeInt16:
      dst->SetInt16(target, src->GetInt16(name));
      return true;
    case KOA::kTypeUInt16:
      dst->SetUInt16(target, src->GetUInt16(name));
      return true;
    case KOA::kTypeInt32:
      dst->SetInt32(target, src->GetInt32(name));
      return true;
    case KOA::kTypeUInt32:
      dst->SetDWord(target, src->GetUInt32(name));
      return true;
    case KOA::kTypeInt64:
      dst->SetInt64(target, src->GetInt64(name));
      return true;
    case KOA::kTypeUInt64: {
      const std::uint64_t value = src->GetUInt64(name);
      if (u64_to_dword) {
        dst->SetDWord(target, static_cast<DWORD>(value & 0xFFFFFFFFu));
      } else {
        dst->SetUInt64(target, value);
      }
      return true;
    }
    case KOA::kTypeFloat:
      dst->SetDouble(target, static_cast<double>(src->GetFloat(name)));
      return true;
    case KOA::kTypeDouble:
      dst->SetDouble(target, src->GetDouble(name));
      return true;
    case KOA::kTypeString: {
      CKZBSTR text;
      text.Attach(Utf8ToBSTR(src->GetString(name)));
      dst->SetStr(target, text.Get());
      return true;
    }
    case KOA::kTypeWString: {
      CKZBSTR text(src->GetWString(name).c_str());
      dst->SetStr(target, text.Get());
      return true;
    }
    case KOA::kTypeBuffer: {
      KOA::TBuffer buffer = src->GetBuffer(name);
      CKZComPtr<IKZBuffer> bytes;
      Util::Data::CreateKZBuffer(&bytes);
      if (bytes) {
        bytes->SetData(buffer.GetBuf(), buffer.GetSize());
        dst->SetBuf(target, bytes);
      }
      return true;
    }
    case KOA::kTypeArray: {
      std::shared_ptr<KOA::TArray> nested = src->GetArray(name);
      if (!nested) return true;
      CKZComPtr<IKZArray> array;
      Util::Data::CreateKZArray(&array);
      if (array) {
        Array::TArrayToKZArray(std::move(nested), array, options);
        dst->SetKZArray(target, array);
      }
      return true;
    }
    case KOA::kTypeData: {
      std::shared_ptr<KOA::TData> nested = src->GetData(name);
      if (!nested) return true;
      CKZComPtr<IKZData> bag;
      Util::Data::CreateKZData(&bag);
      if (bag) {
        TDataToKZData(std::move(nested), bag, options);
        dst->SetKZData(target, bag);
      }
      return true;
    }
    case KOA::kTypeBool:
      dst->SetBool(target, src->GetBool(name) ? 1 : 0);
      return true;
    default:  // 0, 16, 17, 18 and above 19
      return false;
  }
}

bool CopyKZDataFieldToTData(IKZData* src, const char* src_name, std::shared_ptr<KOA::TData> dst,
                            const char* dst_name, std::shared_ptr<KOA::TData> /*options*/) {
  if (src == nullptr || !dst || src_name == nullptr) return false;
  BYTE type = 0;
  src->GetFieldType(src_name, &type);
  const std::string target(TargetName(src_name, dst_name));

  switch (type) {
    case KZ_TYPE_BOOL: {
      int value = 0;
      if (SUCCEEDED(src->GetBool(src_name, &value))) dst->SetBool(target, value != 0);
      return true;
    }
    case KZ_TYPE_UINT8: {
      std::uint8_t value = 0;
      if (SUCCEEDED(src->GetUInt8(src_name, &value))) dst->SetUInt8(target, value);
      return true;
    }
    case KZ_TYPE_INT8: {
      std::int8_t value = 0;
      if (SUCCEEDED(src->GetInt8(src_name, &value))) dst->SetInt8(target, value);
      return true;
    }
    case KZ_TYPE_UINT16: {
      std::uint16_t value = 0;
      if (SUCCEEDED(src->GetUInt16(src_name, &value))) dst->SetUInt16(target, value);
      return true;
    }
    case KZ_TYPE_INT16: {
      std::int16_t value = 0;
      if (SUCCEEDED(src->GetInt16(src_name, &value))) dst->SetInt16(target, value);
      return true;
    }
    case KZ_TYPE_DWORD: {
      DWORD value = 0;
      if (SUCCEEDED(src->GetDWord(src_name, &value))) dst->SetUInt32(target, value);
      return true;
    }
    case KZ_TYPE_INT32: {
      std::int32_t value = 0;
      if (SUCCEEDED(src->GetInt32(src_name, &value))) dst->SetInt32(target, value);
      return true;
    }
    case KZ_TYPE_STR: {
      CKZBSTR value;
      if (SUCCEEDED(src->GetStr(src_name, &value))) {
        dst->SetString(target, Util::Convert::Utf8FromWS(value.Get(), -1).GetString());
      }
      return true;
    }
    case KZ_TYPE_BUF: {
      CKZComPtr<IKZBuffer> value;
      if (SUCCEEDED(src->GetBuf(src_name, &value)) && value) {
        BYTE* data = nullptr;
        DWORD size = 0;
        value->GetData(&data);
        value->GetSize(&size);
        dst->SetBuffer(target, KOA::TBuffer(data, size));
      }
      return true;
    }
    case KZ_TYPE_KZDATA: {
      CKZComPtr<IKZData> value;
      if (FAILED(src->GetKZData(src_name, &value)) || !value) {
        Log(__LINE__, kCopyKZDataField, kKZDataFailed, LastError());
        return true;
      }
      dst->SetData(target, KZDataToTData(value, nullptr));
      return true;
    }
    case KZ_TYPE_KZARRAY: {
      CKZComPtr<IKZArray> value;
      std::optional<std::shared_ptr<KOA::TArray>> array;
      if (SUCCEEDED(src->GetKZArray(src_name, &value)) && value) {
        array = Array::KZArrayToTArray(value, nullptr);
      }
      if (!array.has_value()) {
        Log(__LINE__, kCopyKZDataField, kKZArrayFailed, LastError());
        return true;
      }
      dst->SetArray(target, std::move(*array));
      return true;
    }
    case KZ_TYPE_INT64: {
      std::int64_t value = 0;
      if (SUCCEEDED(src->GetInt64(src_name, &value))) dst->SetInt64(target, value);
      return true;
    }
    case KZ_TYPE_DOUBLE: {
      double value = 0;
      if (SUCCEEDED(src->GetDouble(src_name, &value))) dst->SetDouble(target, value);
      return true;
    }
    case KZ_TYPE_UINT64: {
      std::uint64_t value = 0;
      if (SUCCEEDED(src->GetUInt64(src_name, &value))) dst->SetUInt64(target, value);
      return true;
    }
    default:  // 0 (missing), 10, 13, 16 and above 17
      Log(__LINE__, kCopyKZDataField, kUnsupportedType, type);
      return false;
  }
}

CKZStringW GetStrW(std::shared_ptr<KOA::TData> data, const char* name) {
  if (!data || name == nullptr) return CKZStringW();
  return Util::Convert::Utf8ToWS(data->GetString(name).c_str(), -1);
}

bool TDataToKZData(std::shared_ptr<KOA::TData> src, IKZData* dst,
                   std::shared_ptr<KOA::TData> options) {
  if (!src || dst == nullptr) return false;
  std::shared_ptr<KOA::TArray> names = src->GetFieldNames();
  for (unsigned int i = 0; names && i < names->GetCount(); ++i) {
    const std::string name = names->GetString(i);
    const std::string target = options ? options->GetString(name) : std::string();
    CopyTDataFieldToKZData(src, name.c_str(), dst, target.c_str(), nullptr);
  }
  return true;
}

std::optional<CKZComPtr<IKZData>> TDataToKZData(std::shared_ptr<KOA::TData> src,
                                                std::shared_ptr<KOA::TData> options) {
  if (!src) return std::nullopt;
  CKZComPtr<IKZData> bag;
  Util::Data::CreateKZData(&bag);
  if (!TDataToKZData(std::move(src), bag, std::move(options))) return std::nullopt;
  return bag;
}

std::shared_ptr<KOA::TData> KZDataToTData(IKZData* src, std::shared_ptr<KOA::TData> options) {
  if (src == nullptr) return nullptr;
  std::unique_ptr<KOA::TData> created = KOA::TData::CreateTData(82);
  std::shared_ptr<KOA::TData> record = std::move(created);
  DWORD count = 0;
  src->GetFieldCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    CKZBSTR wide_name;
    src->GetFieldName(i, &wide_name);
    const CKZStringA name = Util::Convert::Utf8FromWS(wide_name.Get(), -1);
    const std::string target = options ? options->GetString(name.str()) : name.str();
    CopyKZDataFieldToTData(src, name.GetString(), record, target.c_str(), options);
  }
  return record;
}

}  // namespace Data

namespace Array {

bool TArrayToKZArray(std::shared_ptr<KOA::TArray> src, IKZArray* dst,
                     std::shared_ptr<KOA::TData> options) {
  if (!src || dst == nullptr) return false;
  const bool u64_to_dword = ReadFlag(options, kBoolU64ToDWord);
  const unsigned int type = src->GetType();
  switch (type) {
    case KOA::kTypeNone:
    case KOA::kTypeBuffer:
    case KOA::kTypeDateTime:
    case KOA::kTypeGuid:
    case KOA::kTypeNull:
      return false;
    default:
      if (type > KOA::kTypeBool) return false;
      break;
  }

  for (unsigned int i = 0; i < src->GetCount(); ++i) {
    switch (type) {
      case KOA::kTypeInt8:
        dst->AddInt8(src->GetInt8(i));
        break;
      case KOA::kTypeUInt8:
        dst->AddUInt8(src->GetUInt8(i));
        break;
      case KOA::kTypeInt16:
        dst->AddInt16(src->GetInt16(i));
        break;
      case KOA::kTypeUInt16:
        dst->AddUInt16(src->GetUInt16(i));
        break;
      case KOA::kTypeInt32:
        dst->AddInt32(src->GetInt32(i));
        break;
      case KOA::kTypeUInt32:
        dst->AddDWord(src->GetUInt32(i));
        break;
      case KOA::kTypeInt64:
        dst->AddInt64(src->GetInt64(i));
        break;
      case KOA::kTypeUInt64: {
        const std::uint64_t value = src->GetUInt64(i);
        if (u64_to_dword) {
          dst->AddDWord(static_cast<DWORD>(value & 0xFFFFFFFFu));
        } else {
          dst->AddUInt64(value);
        }
        break;
      }
      case KOA::kTypeFloat:
        dst->AddDouble(static_cast<double>(src->GetFloat(i)));
        break;
      case KOA::kTypeDouble:
        dst->AddDouble(src->GetDouble(i));
        break;
      case KOA::kTypeString: {
        CKZBSTR text;
        text.Attach(Utf8ToBSTR(src->GetString(i)));
        dst->AddStr(text.Get());
        break;
      }
      case KOA::kTypeWString: {
        CKZBSTR text(src->GetWString(i).c_str());
        dst->AddStr(text.Get());
        break;
      }
      case KOA::kTypeArray: {
        CKZComPtr<IKZArray> array;
        Util::Data::CreateKZArray(&array);
        if (array) {
          TArrayToKZArray(src->GetArray(i), array, options);
          dst->AddKZArray(array);
        }
        break;
      }
      case KOA::kTypeData: {
        CKZComPtr<IKZData> bag;
        Util::Data::CreateKZData(&bag);
        if (bag) {
          Data::TDataToKZData(src->GetData(i), bag, options);
          dst->AddKZData(bag);
        }
        break;
      }
      case KOA::kTypeBool:
        dst->AddBool(src->GetBool(i) ? 1 : 0);
        break;
      default:
        break;
    }
  }
  return true;
}

std::optional<CKZComPtr<IKZArray>> TArrayToKZArray(std::shared_ptr<KOA::TArray> src,
                                                   std::shared_ptr<KOA::TData> options) {
  if (!src) return std::nullopt;
  CKZComPtr<IKZArray> array;
  Util::Data::CreateKZArray(&array);
  if (!TArrayToKZArray(std::move(src), array, std::move(options))) return std::nullopt;
  return array;
}

std::optional<std::shared_ptr<KOA::TArray>> KZArrayToTArray(IKZArray* src,
                                                            std::shared_ptr<KOA::TData> options) {
  if (src == nullptr) return std::nullopt;
  const bool dword_to_u64 = ReadFlag(options, kDWordToU64);
  DWORD count = 0;
  src->GetCount(&count);
  std::unique_ptr<KOA::TArray> created = KOA::TArray::CreateTArray(count);
  std::shared_ptr<KOA::TArray> array = std::move(created);

  for (DWORD i = 0; i < count; ++i) {
    BYTE type = 0;
    src->GetElementType(i, &type);
    switch (type) {
      case KZ_TYPE_BOOL: {
        int value = 0;
        if (SUCCEEDED(src->GetBool(i, &value))) array->AddBool(value != 0);
        break;
      }
      case KZ_TYPE_UINT8: {
        std::uint8_t value = 0;
        if (SUCCEEDED(src->GetUInt8(i, &value))) array->AddUInt8(value);
        break;
      }
      case KZ_TYPE_INT8: {
        std::int8_t value = 0;
        if (SUCCEEDED(src->GetInt8(i, &value))) array->AddInt8(value);
        break;
      }
      case KZ_TYPE_UINT16: {
        std::uint16_t value = 0;
        if (SUCCEEDED(src->GetUInt16(i, &value))) array->AddUInt16(value);
        break;
      }
      case KZ_TYPE_INT16: {
        std::int16_t value = 0;
        if (SUCCEEDED(src->GetInt16(i, &value))) array->AddInt16(value);
        break;
      }
      case KZ_TYPE_DWORD: {
        DWORD value = 0;
        src->GetDWord(i, &value);
        if (dword_to_u64) {
          array->AddUInt64(static_cast<std::uint64_t>(value));
        } else {
          array->AddUInt32(value);
        }
        break;
      }
      case KZ_TYPE_INT32: {
        std::int32_t value = 0;
        if (SUCCEEDED(src->GetInt32(i, &value))) array->AddInt32(value);
        break;
      }
      case KZ_TYPE_STR: {
        CKZBSTR value;
        if (SUCCEEDED(src->GetStr(i, &value))) {
          array->AddString(Util::Convert::Utf8FromWS(value.Get(), -1).GetString());
        }
        break;
      }
      case KZ_TYPE_BUF: {
        CKZComPtr<IKZBuffer> value;
        if (SUCCEEDED(src->GetBuf(i, &value)) && value) {
          BYTE* data = nullptr;
          DWORD size = 0;
          value->GetData(&data);
          value->GetSize(&size);
          array->AddBuffer(KOA::TBuffer(data, size));
        }
        break;
      }
      case KZ_TYPE_KZDATA: {
        CKZComPtr<IKZData> value;
        if (FAILED(src->GetKZData(i, &value)) || !value) {
          Log(__LINE__, kKZArrayToTArray, kKZDataFailed, LastError());
          break;
        }
        array->AddData(Data::KZDataToTData(value, nullptr));
        break;
      }
      case KZ_TYPE_KZARRAY: {
        CKZComPtr<IKZArray> value;
        std::optional<std::shared_ptr<KOA::TArray>> nested;
        if (SUCCEEDED(src->GetKZArray(i, &value)) && value) {
          nested = KZArrayToTArray(value, nullptr);
        }
        if (!nested.has_value()) {
          Log(__LINE__, kKZArrayToTArray, kKZArrayFailed, LastError());
          break;
        }
        array->AddArray(std::move(*nested));
        break;
      }
      case KZ_TYPE_INT64: {
        std::int64_t value = 0;
        if (SUCCEEDED(src->GetInt64(i, &value))) array->AddInt64(value);
        break;
      }
      case KZ_TYPE_DOUBLE: {
        double value = 0;
        if (SUCCEEDED(src->GetDouble(i, &value))) array->AddDouble(value);
        break;
      }
      case KZ_TYPE_UINT64: {
        std::uint64_t value = 0;
        if (SUCCEEDED(src->GetUInt64(i, &value))) array->AddUInt64(value);
        break;
      }
      default:  // 0, 10, 13, 16 and above 17
        Log(__LINE__, kKZArrayToTArray, kUnsupportedType, type);
        break;
    }
  }
  return array;
}

}  // namespace Array
}  // namespace KOADataUtil

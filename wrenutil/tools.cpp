#include "wrenutil/tools.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>

#include "common/include/utillog.h"
#include "platform/common/convert.h"
#include "platform/common/kzptr.h"

namespace Util::Tools {
namespace {

constexpr const wchar_t kModule[] = L"ML_Others_UtilTools";

// Every message of this family: source text "file", function text "func",
// and the context suffix.
#define TOOLS_LOG(level, ...) \
  ::wrenutil::internal::WrenLogWithContext(L"file", __LINE__, L"func", level, kModule, __VA_ARGS__)

// "%x" reads an unsigned int. Pointers are 64 bits here, so a pointer is
// passed as its low 32 bits, as an unsigned int, to keep the variadic call
// well-defined.
unsigned int PointerForLog(const void* pointer) {
  return static_cast<unsigned int>(reinterpret_cast<std::uintptr_t>(pointer));
}

// Runs `body`, turning an exception (memory exhaustion, in practice) into
// `failure`: nothing is thrown into the host.
template <class Body>
int NoThrow(int failure, Body body) {
  try {
    return body();
  } catch (...) {
    return failure;
  }
}

// A null text is the empty text, as a null system string is.
const wchar_t* OrEmpty(const wchar_t* text) { return text != nullptr ? text : L""; }

bool SameText(const wchar_t* a, const wchar_t* b) {
  return std::wcscmp(OrEmpty(a), OrEmpty(b)) == 0;
}

DWORD CountOf(IKZArrayRead* array) {
  DWORD count = 0;
  array->GetCount(&count);
  return count;
}

// Runs `matches(record)` over the records of `array`; on the first hit
// stores its position. Each record reference is released after its turn.
template <class Matches>
int FindInRecords(IKZArrayRead* array, unsigned long& position, Matches matches) {
  DWORD count = CountOf(array);
  for (DWORD i = 0; i < count; ++i) {
    CKZComPtr<IKZDataRead> record;
    array->GetKZDataRead(i, &record);
    if (!record) continue;
    if (matches(record.Get())) {
      position = i;
      return 1;
    }
  }
  return 0;
}

// The new name of a converted field: every `from` replaced by `to`.
CKZStringW RenamedField(const CKZBSTR& name, const wchar_t* from, const wchar_t* to) {
  CKZStringW renamed(name.c_str(), static_cast<int>(name.Length()));
  renamed.Replace(from, to);
  return renamed;
}

// Copies a field other than the converted kind unchanged. CopyField belongs to
// the writable view, so the source is asked for it.
void CopyUnchanged(IKZDataRead* source, const CKZBSTR& name, IKZData* destination) {
  CKZComPtr<IKZData> writable;
  if (FAILED(source->QueryInterface(IKZData::kIid, reinterpret_cast<void**>(&writable))) ||
      !writable) {
    return;
  }
  writable->CopyField(name.c_str(), destination);
}

}  // namespace

// ---------------------------------------------------------------------------
// Membership tests

int IsDWordInKZArray(unsigned long value, IKZArrayRead* array, unsigned long& position) {
  return NoThrow(0, [&]() -> int {
    if (array == nullptr) {
      TOOLS_LOG(2,
                L"Util::Tools::IsDWordInKZArray"
                L"pDWordArrRead为空，直接返回不在数组内");
      return 0;
    }
    DWORD count = CountOf(array);
    for (DWORD i = 0; i < count; ++i) {
      DWORD element = 0;
      if (FAILED(array->GetDWord(i, &element))) continue;
      if (element == value) {
        position = i;
        TOOLS_LOG(3,
                  L"Util::Tools::IsDWordInKZArray"
                  L"%lu在数组中找到了，是第%lu个元素",
                  value, position);
        return 1;
      }
    }
    return 0;
  });
}

int IsUInt64InKZArray(std::uint64_t value, IKZArrayRead* array, unsigned long& position) {
  return NoThrow(0, [&]() -> int {
    if (array == nullptr) {
      TOOLS_LOG(2,
                L"Util::Tools::IsUInt64InKZArray"
                L"pUInt64ArrRead为空，直接返回不在数组内");
      return 0;
    }
    DWORD count = CountOf(array);
    for (DWORD i = 0; i < count; ++i) {
      std::uint64_t element = 0;
      if (FAILED(array->GetUInt64(i, &element))) continue;
      if (element == value) {
        position = i;
        TOOLS_LOG(3,
                  L"Util::Tools::IsUInt64InKZArray"
                  L"%llu在数组中找到了，是第%lu个元素",
                  static_cast<unsigned long long>(value), position);
        return 1;
      }
    }
    return 0;
  });
}

int IsBSTRInKZArray(wchar_t* value, IKZArrayRead* array, unsigned long& position) {
  return NoThrow(0, [&]() -> int {
    if (array == nullptr) {
      TOOLS_LOG(2,
                L"Util::Tools::IsBSTRInKZArray"
                L"pBSTRArrRead为空，直接返回不在数组内");
      return 0;
    }
    DWORD count = CountOf(array);
    for (DWORD i = 0; i < count; ++i) {
      CKZBSTR element;
      if (FAILED(array->GetStr(i, &element))) continue;
      if (SameText(element.c_str(), value)) {
        position = i;
        TOOLS_LOG(3,
                  L"Util::Tools::IsBSTRInKZArray"
                  L"%s在数组中找到了，是第%lu个元素",
                  OrEmpty(value), position);
        return 1;
      }
    }
    return 0;
  });
}

int IsDWordInKZDataArray(unsigned long value, wchar_t* field_name, IKZArrayRead* array,
                         unsigned long& position) {
  return NoThrow(0, [&]() -> int {
    if (array == nullptr) {
      TOOLS_LOG(2,
                L"Util::Tools::IsDWordInKZDataArray"
                L"pDstArrRead为空，返回FASLE");
      return 0;
    }
    return FindInRecords(array, position, [&](IKZDataRead* record) {
      DWORD field = 0;
      return SUCCEEDED(record->GetDWord(field_name, &field)) && field == value;
    });
  });
}

int IsUInt64InKZDataArray(std::uint64_t value, wchar_t* field_name, IKZArrayRead* array,
                          unsigned long& position) {
  return NoThrow(0, [&]() -> int {
    if (array == nullptr) {
      TOOLS_LOG(2,
                L"Util::Tools::IsUInt64InKZDataArray"
                L"pDstArrRead为空，返回FASLE");
      return 0;
    }
    return FindInRecords(array, position, [&](IKZDataRead* record) {
      std::uint64_t field = 0;
      return SUCCEEDED(record->GetUInt64(field_name, &field)) && field == value;
    });
  });
}

int IsBSTRInKZDataArray(wchar_t* value, wchar_t* field_name, IKZArrayRead* array,
                        unsigned long& position) {
  return NoThrow(0, [&]() -> int {
    if (array == nullptr) {
      TOOLS_LOG(2,
                L"Util::Tools::IsBSTRInKZDataArray"
                L"pDstArrRead为空，返回FASLE");
      return 0;
    }
    return FindInRecords(array, position, [&](IKZDataRead* record) {
      CKZBSTR field;
      return SUCCEEDED(record->GetStr(field_name, &field)) && SameText(field.c_str(), value);
    });
  });
}

// ---------------------------------------------------------------------------
// Comparisons

int CompareKZData(IKZData* first, IKZData* second) {
  return NoThrow(0, [&]() -> int {
    if (first == second) {
      TOOLS_LOG(3, L"%s: pDataNew（%x） == pDataOld（%x）", L"Util::Tools::CompareKZData",
                PointerForLog(second), PointerForLog(first));
      return 1;
    }
    if (first == nullptr || second == nullptr) {
      TOOLS_LOG(3, L"%s: pDataNew（%x）、pDataOld（%x）有一个为空，而另一个不为空",
                L"Util::Tools::CompareKZData", PointerForLog(second), PointerForLog(first));
      return 0;
    }
    return first->IsEqual(second) == 0 ? 1 : 0;
  });
}

int CompareKZArray(IKZArray* first, IKZArray* second) {
  return NoThrow(0, [&]() -> int {
    if (first == second) {
      TOOLS_LOG(3, L"%s: pArrayNew（%x） == pArrayOld（%x）", L"Util::Tools::CompareKZArray",
                PointerForLog(second), PointerForLog(first));
      return 1;
    }
    if (first == nullptr || second == nullptr) {
      TOOLS_LOG(3, L"%s: pArrayNew（%x）、pArrayOld（%x）有一个为空，而另一个不为空",
                L"Util::Tools::CompareKZArray", PointerForLog(second), PointerForLog(first));
      return 0;
    }
    return first->IsEqual(second) == 0 ? 1 : 0;
  });
}

namespace {

// Step 1 of every field comparison: both records must be there.
bool BothRecords(IKZData* first, IKZData* second, const wchar_t* function) {
  if (first != nullptr && second != nullptr) return true;
  TOOLS_LOG(2, L"%s: pDataNew或pDataOld为空，请保证两者都不为空，直接返回FALSE。", function);
  return false;
}

bool NeitherHasField(IKZData* first, IKZData* second, const char* first_name,
                     const char* second_name) {
  return Util::Data::HasField(first, first_name) == 0 &&
         Util::Data::HasField(second, second_name) == 0;
}

}  // namespace

int CompareKZDataFieldValueDWord(IKZData* first, IKZData* second, const char* first_name,
                                 const char* second_name) {
  return NoThrow(0, [&]() -> int {
    if (!BothRecords(first, second, L"Util::Tools::CompareKZDataFieldValueDWord")) return 0;
    if (NeitherHasField(first, second, first_name, second_name)) return 1;
    DWORD value = 0;
    first->GetDWord(first_name, &value);
    return Util::Data::EqualDWord(second, second_name, value) != 0 ? 1 : 0;
  });
}

int CompareKZDataFieldValueStr(IKZData* first, IKZData* second, const char* first_name,
                               const char* second_name) {
  return NoThrow(0, [&]() -> int {
    if (!BothRecords(first, second, L"Util::Tools::CompareKZDataFieldValueStr")) return 0;
    CKZStringW value;
    {
      CKZBSTR text;
      first->GetStr(first_name, &text);
      value = CKZStringW(text.c_str(), static_cast<int>(text.Length()));
    }
    if (value.IsEmpty() && Util::Data::HasField(second, second_name) == 0) return 1;
    return Util::Data::EqualStr(second, second_name, value) != 0 ? 1 : 0;
  });
}

int CompareKZDataFieldValueUInt64(IKZData* first, IKZData* second, const char* first_name,
                                  const char* second_name) {
  return NoThrow(0, [&]() -> int {
    if (!BothRecords(first, second, L"Util::Tools::CompareKZDataFieldValueUInt64")) return 0;
    if (NeitherHasField(first, second, first_name, second_name)) return 1;
    std::uint64_t first_value = 0;
    first->GetUInt64(first_name, &first_value);
    std::uint64_t second_value = 0;
    second->GetUInt64(second_name, &second_value);
    return first_value == second_value ? 1 : 0;
  });
}

int CompareKZDataFieldValueKZBuffer(IKZData* first, IKZData* second, const char* first_name,
                                    const char* second_name) {
  return NoThrow(0, [&]() -> int {
    if (!BothRecords(first, second, L"Util::Tools::CompareKZDataFieldValueKZBuffer")) return 0;
    if (NeitherHasField(first, second, first_name, second_name)) return 1;
    CKZComPtr<IKZBuffer> buffer;
    first->GetBuf(first_name, &buffer);
    CKZBuffer value;
    value = buffer.Get();  // copies the bytes in; stays empty for no buffer
    return Util::Data::EqualBuf(second, second_name, value) != 0 ? 1 : 0;
  });
}

int CompareKZDataFieldValueKZArray(IKZData* first, IKZData* second, const char* first_name,
                                   const char* second_name) {
  return NoThrow(0, [&]() -> int {
    if (!BothRecords(first, second, L"Util::Tools::CompareKZDataFieldValueKZArray")) return 0;
    if (NeitherHasField(first, second, first_name, second_name)) return 1;
    CKZComPtr<IKZArray> array;
    first->GetKZArray(first_name, &array);
    return Util::Data::EqualKZDataArray(second, second_name, array.Get()) != 0 ? 1 : 0;
  });
}

int CompareKZDataFieldValueKZData(IKZData* first, IKZData* second, const char* first_name,
                                  const char* second_name) {
  return NoThrow(0, [&]() -> int {
    if (!BothRecords(first, second, L"Util::Tools::CompareKZDataFieldValueKZData")) return 0;
    if (NeitherHasField(first, second, first_name, second_name)) return 1;
    CKZComPtr<IKZData> data;
    first->GetKZData(first_name, &data);
    return Util::Data::EqualKZData(second, second_name, data.Get()) != 0 ? 1 : 0;
  });
}

int PrintDump(IKZDataRead* /*data*/) { return 0; }
int PrintDump(IKZArrayRead* /*array*/) { return 0; }

// ---------------------------------------------------------------------------
// Conversions

int ConvertBufferToCString(IKZBuffer* buffer, CKZStringW& text) {
  return NoThrow(0, [&]() -> int {
    if (buffer == nullptr) {
      text.Empty();
      return 1;
    }
    BYTE* data = nullptr;
    DWORD size = 0;
    buffer->GetData(&data);
    buffer->GetSize(&size);
    // A negative length would read up to a zero byte; never ask for that.
    int length = size > static_cast<DWORD>(INT_MAX) ? INT_MAX : static_cast<int>(size);
    text = Util::Convert::Utf8ToWS(data, data != nullptr ? length : 0);
    return 1;
  });
}

int ConvertCStringToBuffer(CKZStringW text, IKZBuffer** buffer) {
  return NoThrow(0, [&]() -> int {
    CKZStringA utf8 = Util::Convert::Utf8FromWS(text.GetString(), -1);
    std::size_t size = std::strlen(utf8.GetString());
    CKZBuffer bytes;
    bytes.SetData(reinterpret_cast<const BYTE*>(utf8.GetString()), static_cast<DWORD>(size));
    if (buffer != nullptr) {
      *buffer = bytes.Get();
      if (*buffer != nullptr) (*buffer)->AddRef();
    }
    return 1;  // `bytes` releases its own reference
  });
}

namespace {

// The record conversions share their steps; `Convert` turns one field of
// type `converted_type` into the destination.
template <class Convert>
int ConvertFields(IKZDataRead* source, IKZData** destination, const wchar_t* function,
                  BYTE converted_type, Convert convert) {
  if (destination == nullptr) {
    TOOLS_LOG(2, L"%sppDstData为空，返回FALSE", function);
    return 0;
  }
  Util::Data::CreateKZData(destination);  // overwrites the slot
  if (*destination == nullptr) {
    TOOLS_LOG(2, L"%s(*ppDstData)为空，创建失败，返回FASLE", function);
    return 0;
  }
  if (source == nullptr) {
    TOOLS_LOG(2, L"%spSrcData为空，不需要转换，返回TRUE", function);
    return 1;
  }
  DWORD count = 0;
  source->GetFieldCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    BYTE type = 0;
    source->GetFieldTypeAt(i, &type);
    CKZBSTR name;
    source->GetFieldName(i, &name);
    if (type == converted_type) {
      convert(source, name, *destination);
    } else {
      CopyUnchanged(source, name, *destination);
    }
  }
  return 1;
}

}  // namespace

int ConvertBufferToCStringInKZDataWithBytesPrefix(IKZDataRead* pSrcData, IKZData** ppDstData) {
  return NoThrow(0, [&]() -> int {
    return ConvertFields(pSrcData, ppDstData,
                         L"Util::Tools::ConvertBufferToCStringInKZDataWithBytesPrefix", KZ_TYPE_BUF,
                         [](IKZDataRead* source, const CKZBSTR& name, IKZData* destination) {
                           CKZStringW new_name = RenamedField(name, L"bytes_", L"str_");
                           CKZComPtr<IKZBuffer> buffer;
                           source->GetBuf(name.c_str(), &buffer);
                           CKZStringW text;
                           ConvertBufferToCString(buffer.Get(), text);
                           destination->SetStr(new_name.GetString(), text.GetString());
                         });
  });
}

int ConvertCStringToBufferInKZDataWithStrPrefix(IKZDataRead* pSrcData, IKZData** ppDstData) {
  return NoThrow(0, [&]() -> int {
    return ConvertFields(pSrcData, ppDstData,
                         L"Util::Tools::ConvertCStringToBufferInKZDataWithStrPrefix", KZ_TYPE_STR,
                         [](IKZDataRead* source, const CKZBSTR& name, IKZData* destination) {
                           CKZStringW new_name = RenamedField(name, L"str_", L"bytes_");
                           CKZStringW text;
                           {
                             CKZBSTR value;
                             source->GetStr(name.c_str(), &value);
                             text = CKZStringW(value.c_str(), static_cast<int>(value.Length()));
                           }
                           CKZComPtr<IKZBuffer> buffer;
                           ConvertCStringToBuffer(text, &buffer);
                           if (buffer) destination->SetBuf(new_name.GetString(), buffer.Get());
                         });
  });
}

int StringBeginEllipsis(CKZStringW text, CKZStringW& result, unsigned long max_length) {
  return NoThrow(0, [&]() -> int {
    if (static_cast<unsigned long>(text.GetLength()) <= max_length) {
      result = text;
      return 1;
    }
    // Here max_length < the text's length <= INT_MAX, so the count fits.
    int keep = max_length == 0 ? 0 : static_cast<int>(max_length - 1);
    result = CKZStringW(L"...") + text.Right(keep);
    return 1;
  });
}

}  // namespace Util::Tools

// Fuzzes JSON-to-bag parsing: any input either fails with a message or gives
// a bag whose JSON parses again into an equal bag. Nothing may stay alive.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/common/kzjson.h"
#include "platform/common/refcounted.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::int64_t live = platform::LiveObjectCount();
  {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    CKZComPtr<IKZData> bag;
    std::string error;
    if (platform::JsonToKZData(text, &bag, &error) == S_OK) {
      std::string written = platform::KZDataToJson(bag);
      CKZComPtr<IKZData> again;
      if (platform::JsonToKZData(written, &again, &error) != S_OK) std::abort();
      if (bag->IsEqual(again) != S_OK) std::abort();
      if (platform::KZDataToJson(again) != written) std::abort();
    } else if (error.empty() || bag) {
      std::abort();
    }
    CKZComPtr<IKZArray> array;
    if (platform::JsonToKZArray(text, &array, &error) == S_OK) {
      std::string written = platform::KZArrayToJson(array);
      CKZComPtr<IKZArray> again;
      if (platform::JsonToKZArray(written, &again, &error) != S_OK) std::abort();
      if (array->IsEqual(again) != S_OK) std::abort();
    }
  }
  if (platform::LiveObjectCount() != live) std::abort();
  return 0;
}

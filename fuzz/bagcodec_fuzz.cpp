// Fuzzes the stored form of bags: any input either is refused with a message
// or decodes into a bag that encodes back into exactly the same bytes (the
// form has one way to write each bag). Nothing may stay alive.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "platform/common/bagcodec.h"
#include "platform/common/refcounted.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::int64_t live = platform::LiveObjectCount();
  {
    std::span<const std::uint8_t> bytes(data, size);
    CKZComPtr<IKZData> bag;
    std::string error;
    if (platform::DecodeKZData(bytes, &bag, &error) == S_OK) {
      std::vector<std::uint8_t> again;
      if (platform::EncodeKZData(bag, &again, &error) != S_OK) std::abort();
      if (!std::equal(again.begin(), again.end(), bytes.begin(), bytes.end())) std::abort();
    } else if (error.empty() || bag) {
      std::abort();
    }
  }
  if (platform::LiveObjectCount() != live) std::abort();
  return 0;
}

// Fuzzes XML-to-bag conversion: any input either fails with a message and
// leaves the target as it was, or converts and names its root. The wide entry
// point, filling an empty bag in place, agrees with the byte one on every input that is valid UTF-8
// without a byte-order mark. Nothing may stay alive.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/common/convert.h"
#include "platform/common/kzdata.h"
#include "platform/common/kzxml.h"
#include "platform/common/refcounted.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::int64_t live = platform::LiveObjectCount();
  {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CKZComPtr<IKZData> bag;
    Util::Data::CreateKZData(&bag);
    bag->SetDWord("kept", 7);
    std::string message;
    HRESULT hr = platform::XmlToKZData(bytes, bag, &message);
    if (message.empty()) std::abort();
    DWORD count = 0;
    bag->GetFieldCount(&count);
    if (FAILED(hr) && count != 1) std::abort();
    CKZComPtr<IKZData> plain;  // empty: converted in place
    Util::Data::CreateKZData(&plain);
    if (platform::XmlToKZData(bytes, plain, nullptr) != hr) std::abort();
    plain->GetFieldCount(&count);
    if (FAILED(hr) && count != 0) std::abort();

    CKZStringW wide = Util::Convert::Utf8ToWS(bytes.data(), static_cast<int>(bytes.size()));
    bool valid = Util::Convert::Utf8FromWS(wide.GetString(), wide.GetLength()).str() == bytes;
    CKZBSTR text;
    text.Attach(SysAllocStringLen(wide.GetString(), static_cast<std::uint32_t>(wide.GetLength())));
    CKZComPtr<IKZData> other;  // empty: converted in place
    Util::Data::CreateKZData(&other);
    CKZBSTR wide_message;
    int converted = Util::Convert::ConvertXMLStrToKZData(text, &wide_message, other, nullptr);
    if (wide_message.Length() == 0) std::abort();
    other->GetFieldCount(&count);
    if (converted == 0 && count != 0) std::abort();

    if (valid && !bytes.starts_with("\xEF\xBB\xBF") && !bytes.empty()) {
      if (converted != (SUCCEEDED(hr) ? 1 : 0)) std::abort();
      if (plain->IsEqual(other) != S_OK) std::abort();
    }
  }
  if (platform::LiveObjectCount() != live) std::abort();
  return 0;
}

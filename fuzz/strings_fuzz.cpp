// Fuzzes the string-table loader with arbitrary file contents. A table that
// loads must give its texts back by key; one that does not must say why and
// change nothing.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "platform/common/convert.h"
#include "platform/common/kzres.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

CKZStringW Wide(const std::string& utf8) {
  return Util::Convert::Utf8ToWS(utf8.data(), static_cast<int>(utf8.size()));
}

// Valid UTF-8 without zeros: the name reads back as it was written.
bool Plain(const std::string& utf8) {
  if (utf8.find('\0') != std::string::npos) return false;
  const CKZStringW wide = Wide(utf8);
  return Util::Convert::Utf8FromWS(wide.GetString(), wide.GetLength()).str() == utf8;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = "/tmp/wrenutil_strings_fuzz_" + std::to_string(getpid());
  const std::string text(reinterpret_cast<const char*>(data), size);
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
  }
  platform::ResetStringTable();
  const CKZStringW before = KZLoadString(L"WREN_SendIM", L"platform");
  std::string error;
  if (platform::LoadStringTable(path, &error)) {
    // Every text of a well-formed table reads back by section and key.
    const nlohmann::json table = nlohmann::json::parse(text, nullptr, false);
    Check(table.is_object());
    for (const auto& [section, keys] : table.items()) {
      Check(keys.is_object());
      for (const auto& [key, value] : keys.items()) {
        Check(value.is_string());
        // Names that are not plain UTF-8 may meet other names once decoded.
        if (!Plain(key) || !Plain(section)) continue;
        const CKZStringW read = KZLoadString(Wide(key).GetString(), Wide(section).GetString());
        Check(read == Wide(value.get<std::string>()));
      }
    }
  } else {
    Check(!error.empty());
    Check(KZLoadString(L"WREN_SendIM", L"platform") == before);
  }
  platform::ResetStringTable();
  return 0;
}

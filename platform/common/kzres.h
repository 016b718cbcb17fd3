// Localised texts by key and section.
//
// The platform has an embedded table with a text for every key the library
// uses (section "platform"). A host replaces or adds texts from a JSON file
// {"section": {"key": "text", ...}, ...}, named with LoadStringTable or by the
// environment variable WRENUTIL_STRINGS at start-up.
#ifndef WRENUTIL_PLATFORM_COMMON_KZRES_H_
#define WRENUTIL_PLATFORM_COMMON_KZRES_H_

#include <string>

#include "platform/common/kzbase.h"
#include "platform/common/kzstring.h"

// The text of `key` in `section`. A missing key (or a null argument) gives a
// visible fallback: the key itself between "[" and "]".
KZ_PLATFORM_API CKZStringW KZLoadString(const wchar_t* key, const wchar_t* section);
KZ_PLATFORM_API CKZStringW KZLoadString(const char* key, const char* section);

namespace platform {
// Adds the texts of a JSON file over the current table. On failure returns
// false, fills *error (when not null) and changes nothing.
KZ_PLATFORM_API bool LoadStringTable(const std::string& path, std::string* error);
// Sets one text.
KZ_PLATFORM_API void SetLocalString(const std::wstring& section, const std::wstring& key,
                                    const std::wstring& text);
// Back to the embedded table.
KZ_PLATFORM_API void ResetStringTable();
}  // namespace platform

#endif  // WRENUTIL_PLATFORM_COMMON_KZRES_H_

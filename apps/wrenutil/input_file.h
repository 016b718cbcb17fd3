// The one way the demo client reads a file a user named: the organisation,
// records and arrays of `bag`, `koa` and `search --contacts`.
//
// Every failure gives a message that starts with what was wrong and names the
// file, and the caller reports it as bad input (exit code 2):
//   cannot open PATH: <reason>          missing, not permitted, ...
//   cannot read PATH: it is a directory
//   cannot read PATH: more than N MiB   (a size cap; /dev/zero stops there)
//   cannot read PATH: <reason>          a read error
//   PATH: <what the JSON parser said>   bad JSON; an empty file says "empty file"
// Files are read with plain reads up to the cap, so FIFOs and devices work
// and a huge or endless file costs at most the cap.
#ifndef WRENUTIL_APPS_WRENUTIL_INPUT_FILE_H_
#define WRENUTIL_APPS_WRENUTIL_INPUT_FILE_H_

#include <cstddef>
#include <string>

#include "platform/common/kzdata.h"
#include "platform/common/kzptr.h"

namespace wrenutil_app {

// The most a file may hold: 64 MiB (the sample organisation is about 100 KiB).
inline constexpr std::size_t kMaxInputBytes = std::size_t{64} << 20;

// Reads the whole file at `path` into *text. On failure returns false, leaves
// *text as it was and stores the message in *error. `limit` replaces the cap
// (for tests).
bool ReadFile(const std::string& path, std::string* text, std::string* error,
              std::size_t limit = kMaxInputBytes);

// Reads and parses a file holding one JSON record (object) or one array of
// the platform's typed JSON; null and *error on failure.
CKZComPtr<IKZData> ReadJsonRecord(const std::string& path, std::string* error);
// An array is read as it arrives (kzjson_stream.h), so a long contact list is
// never held as text; it may be up to `limit` bytes, 4 GiB by default.
inline constexpr std::size_t kMaxStreamedBytes = std::size_t{4} << 30;
CKZComPtr<IKZArray> ReadJsonArray(const std::string& path, std::string* error,
                                  std::size_t limit = kMaxStreamedBytes);
// Either: an array into *array when the text starts with '[' (after white
// space), else a record into *record, with one reference for the caller.
// False and *error on failure.
bool ReadJsonRecordOrArray(const std::string& path, IKZData** record, IKZArray** array,
                           std::string* error);

}  // namespace wrenutil_app

#endif  // WRENUTIL_APPS_WRENUTIL_INPUT_FILE_H_

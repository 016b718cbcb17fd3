#include "apps/wrenutil/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/common/kzjson.h"
#include "platform/common/kzjson_stream.h"

namespace wrenutil_app {
namespace {

// Closes a descriptor when it goes out of scope.
struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

std::string Reason(int error) { return std::strerror(error); }

// Opens `path` for reading: a descriptor, or -1 with the message in *error
// for a file that cannot be opened or is a directory.
int OpenForReading(const std::string& path, std::string* error) {
  Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
  if (file.fd < 0) {
    *error = "cannot open " + path + ": " + Reason(errno);
    return -1;
  }
  struct stat info {};
  if (::fstat(file.fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    *error = "cannot read " + path + ": it is a directory";
    return -1;
  }
  return std::exchange(file.fd, -1);
}

std::string SizeText(std::size_t limit) {
  if (limit >= (std::size_t{1} << 20) && limit % (std::size_t{1} << 20) == 0) {
    return std::to_string(limit >> 20) + " MiB";
  }
  return std::to_string(limit) + " bytes";
}

// The parser's message for a text it refused, or "empty file".
std::string JsonError(const std::string& path, const std::string& text,
                      const std::string& parser_error) {
  if (text.find_first_not_of(" \t\r\n") == std::string::npos) return path + ": empty file";
  return path + ": " + parser_error;
}

// Reads and parses `path`: into *record, or into *array, whichever is not
// null; with both, by the text's first character that is not white space.
bool ReadJson(const std::string& path, IKZData** record, IKZArray** array, std::string* error) {
  std::string text;
  if (!ReadFile(path, &text, error)) return false;
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  const bool is_array =
      record == nullptr || (array != nullptr && first != std::string::npos && text[first] == '[');
  std::string parser_error;
  const HRESULT hr = is_array ? platform::JsonToKZArray(text, array, &parser_error)
                              : platform::JsonToKZData(text, record, &parser_error);
  if (FAILED(hr)) {
    *error = JsonError(path, text, parser_error);
    return false;
  }
  return true;
}

}  // namespace

bool ReadFile(const std::string& path, std::string* text, std::string* error, std::size_t limit) {
  Descriptor file{OpenForReading(path, error)};
  if (file.fd < 0) return false;
  std::string contents;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(file.fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      *error = "cannot read " + path + ": " + Reason(errno);
      return false;
    }
    if (n == 0) break;
    if (contents.size() + static_cast<std::size_t>(n) > limit) {
      *error = "cannot read " + path + ": more than " + SizeText(limit);
      return false;
    }
    contents.append(buffer, static_cast<std::size_t>(n));
  }
  *text = std::move(contents);
  return true;
}

CKZComPtr<IKZData> ReadJsonRecord(const std::string& path, std::string* error) {
  CKZComPtr<IKZData> record;
  if (!ReadJson(path, &record, nullptr, error)) record = nullptr;
  return record;
}

namespace {

// A stream over a descriptor that refuses to read past a cap, so that an
// endless input stops there (fopencookie).
struct CappedStream {
  int fd;
  std::size_t limit;
  std::size_t read = 0;
  bool over = false;
  bool blank = true;  // nothing but white space so far
  int error = 0;
};

ssize_t ReadCapped(void* cookie, char* buffer, std::size_t size) {
  auto* stream = static_cast<CappedStream*>(cookie);
  // One byte past the cap tells an exact fit from an overflow.
  if (size > stream->limit - stream->read) size = stream->limit - stream->read + 1;
  ssize_t n;
  do {
    n = ::read(stream->fd, buffer, size);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    stream->error = errno;
    return -1;
  }
  stream->read += static_cast<std::size_t>(n);
  for (ssize_t i = 0; stream->blank && i < n; ++i) {
    stream->blank = std::strchr(" \t\r\n", buffer[i]) != nullptr && buffer[i] != '\0';
  }
  if (stream->read > stream->limit) {
    stream->over = true;
    return -1;
  }
  return n;
}

}  // namespace

CKZComPtr<IKZArray> ReadJsonArray(const std::string& path, std::string* error, std::size_t limit) {
  CKZComPtr<IKZArray> array;
  Descriptor file{OpenForReading(path, error)};
  if (file.fd < 0) return array;
  CappedStream capped{file.fd, limit};
  std::FILE* in = ::fopencookie(&capped, "r", {ReadCapped, nullptr, nullptr, nullptr});
  if (in == nullptr) {
    *error = "cannot read " + path + ": " + Reason(errno);
    return array;
  }
  std::string parser_error;
  const HRESULT hr = platform::JsonStreamToKZArray(in, &array, &parser_error);
  std::fclose(in);
  if (SUCCEEDED(hr)) return array;
  array = nullptr;
  if (capped.over) {
    *error = "cannot read " + path + ": more than " + SizeText(limit);
  } else if (capped.error != 0) {
    *error = "cannot read " + path + ": " + Reason(capped.error);
  } else if (capped.blank) {
    *error = path + ": empty file";
  } else {
    *error = path + ": " + parser_error;
  }
  return array;
}

bool ReadJsonRecordOrArray(const std::string& path, IKZData** record, IKZArray** array,
                           std::string* error) {
  return ReadJson(path, record, array, error);
}

}  // namespace wrenutil_app

#include "platform/common/kzbase.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>

#include "platform/common/refcounted.h"

namespace {
std::atomic<std::int64_t> g_live_objects{0};

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

namespace platform {
std::int64_t LiveObjectCount() { return g_live_objects.load(); }
namespace internal {
void CountObject(int delta) { g_live_objects.fetch_add(delta); }
}  // namespace internal

bool ParseGuid(std::string_view text, GUID* out) {
  if (out == nullptr) return false;
  if (text.size() == 38 && text.front() == '{' && text.back() == '}') {
    text = text.substr(1, 36);
  }
  if (text.size() != 36) return false;
  std::uint8_t bytes[16];
  std::size_t k = 0;
  for (std::size_t i = 0; i < 36;) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (text[i] != '-') return false;
      ++i;
      continue;
    }
    int hi = HexValue(text[i]);
    int lo = HexValue(text[i + 1]);
    if (hi < 0 || lo < 0) return false;
    bytes[k++] = static_cast<std::uint8_t>(hi * 16 + lo);
    i += 2;
  }
  out->Data1 = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
               (std::uint32_t{bytes[2]} << 8) | bytes[3];
  out->Data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
  out->Data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
  std::memcpy(out->Data4, bytes + 8, 8);
  return true;
}

void FormatGuid(const GUID& id, char (&out)[39]) {
  std::snprintf(out, sizeof out, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", id.Data1,
                id.Data2, id.Data3, id.Data4[0], id.Data4[1], id.Data4[2], id.Data4[3], id.Data4[4],
                id.Data4[5], id.Data4[6], id.Data4[7]);
}
}  // namespace platform

// A BSTR is laid out as [uint32 size class][uint32 length][units...][0]; the
// pointer handed out points at the first unit.
//
// Like the system allocator it stands in for, it keeps a small cache of freed
// blocks per thread, so that code that reads many short strings (a search
// over thousands of records reads one per field) does not pay malloc and free
// each time. Blocks are grouped by capacity in classes of 16 units, up to 256
// units; each class keeps at most 16 blocks. A thread's cache is emptied when
// the thread ends. Setting OANOCACHE in the environment turns the cache off,
// and builds with AddressSanitizer never cache, so that a use after free is
// still caught.
namespace {
constexpr std::size_t kHeader = 8;
constexpr std::uint32_t kClassUnits = 16;
constexpr std::uint32_t kClassCount = 16;  // capacities 16, 32, ..., 256 units
constexpr std::uint32_t kUncached = 0xFFFFFFFF;
constexpr int kBlocksPerClass = 16;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kCacheBuilt = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kCacheBuilt = false;
#else
constexpr bool kCacheBuilt = true;
#endif
#else
constexpr bool kCacheBuilt = true;
#endif

bool CacheEnabled() {
  static const bool enabled = kCacheBuilt && std::getenv("OANOCACHE") == nullptr;
  return enabled;
}

struct BlockCache {
  void* blocks[kClassCount][kBlocksPerClass];
  int counts[kClassCount];
};

// The platform library is loaded with the process, so its thread-local
// storage can use the static model (no call to find it); it holds only a
// pointer and a flag, since static space is scarce for libraries loaded
// later. The reaper empties the cache when its thread ends and closes it, so
// strings freed later still go back to malloc.
#define KZ_STATIC_TLS __attribute__((tls_model("initial-exec")))
thread_local BlockCache* t_cache KZ_STATIC_TLS = nullptr;
thread_local bool t_cache_closed KZ_STATIC_TLS = false;

struct CacheReaper {
  ~CacheReaper() {
    BlockCache* cache = t_cache;
    t_cache = nullptr;
    t_cache_closed = true;
    if (cache == nullptr) return;
    for (std::uint32_t c = 0; c < kClassCount; ++c) {
      while (cache->counts[c] > 0) std::free(cache->blocks[c][--cache->counts[c]]);
    }
    delete cache;
  }
  bool armed = false;
};
thread_local CacheReaper t_reaper;

// Makes the cache of this thread; null when blocks are not cached.
[[gnu::noinline]] BlockCache* OpenCache() {
  if (t_cache_closed || !CacheEnabled()) return nullptr;
  t_reaper.armed = true;  // constructs, and so registers, this thread's reaper
  t_cache = new (std::nothrow) BlockCache{};
  return t_cache;
}

// The cache of this thread, or null when blocks are not cached.
inline BlockCache* Cache() {
  BlockCache* cache = t_cache;
  return cache != nullptr ? cache : OpenCache();
}

// The size class of a text of `length` units (its zero unit included), or
// kUncached.
std::uint32_t SizeClass(std::uint32_t length) {
  std::uint64_t units = std::uint64_t{length} + 1;
  std::uint64_t c = (units + kClassUnits - 1) / kClassUnits - 1;
  return c < kClassCount ? static_cast<std::uint32_t>(c) : kUncached;
}
}  // namespace

BSTR SysAllocStringLen(const wchar_t* text, std::uint32_t length) {
  const std::uint32_t size_class = SizeClass(length);
  char* block = nullptr;
  if (size_class != kUncached) {
    BlockCache* cache = Cache();
    if (cache != nullptr && cache->counts[size_class] > 0) {
      block = static_cast<char*>(cache->blocks[size_class][--cache->counts[size_class]]);
    } else {
      block = static_cast<char*>(
          std::malloc(kHeader + std::size_t{size_class + 1} * kClassUnits * sizeof(wchar_t)));
    }
  } else {
    block = static_cast<char*>(std::malloc(kHeader + (std::size_t{length} + 1) * sizeof(wchar_t)));
  }
  if (block == nullptr) return nullptr;
  std::memcpy(block, &size_class, 4);
  std::memcpy(block + 4, &length, 4);
  auto* units = reinterpret_cast<wchar_t*>(block + kHeader);
  if (text != nullptr && length <= kClassUnits) {
    for (std::uint32_t i = 0; i < length; ++i) units[i] = text[i];  // short: no call
  } else if (text != nullptr) {
    std::memcpy(units, text, std::size_t{length} * sizeof(wchar_t));
  } else if (length != 0) {
    std::memset(units, 0, std::size_t{length} * sizeof(wchar_t));
  }
  units[length] = L'\0';
  return units;
}

BSTR SysAllocString(const wchar_t* text) {
  if (text == nullptr) return nullptr;
  return SysAllocStringLen(text, static_cast<std::uint32_t>(std::wcslen(text)));
}

void SysFreeString(BSTR text) {
  if (text == nullptr) return;
  char* block = reinterpret_cast<char*>(text) - kHeader;
  std::uint32_t size_class = kUncached;
  std::memcpy(&size_class, block, 4);
  if (size_class != kUncached) {
    BlockCache* cache = Cache();
    if (cache != nullptr && cache->counts[size_class] < kBlocksPerClass) {
      cache->blocks[size_class][cache->counts[size_class]++] = block;
      return;
    }
  }
  std::free(block);
}

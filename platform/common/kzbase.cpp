#include "platform/common/kzbase.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

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
  std::snprintf(out, sizeof out, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                id.Data1, id.Data2, id.Data3, id.Data4[0], id.Data4[1], id.Data4[2],
                id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7]);
}
}  // namespace platform

// A BSTR is laid out as [uint32 length][padding][units...][0]; the pointer
// handed out points at the first unit.
namespace {
constexpr std::size_t kHeader = sizeof(wchar_t) >= 4 ? sizeof(wchar_t) : 4;
}

BSTR SysAllocStringLen(const wchar_t* text, std::uint32_t length) {
  std::size_t bytes = kHeader + (std::size_t{length} + 1) * sizeof(wchar_t);
  auto* block = static_cast<char*>(std::malloc(bytes));
  if (block == nullptr) return nullptr;
  std::memcpy(block + kHeader - 4, &length, 4);
  auto* units = reinterpret_cast<wchar_t*>(block + kHeader);
  if (text != nullptr && length != 0) {
    std::wmemcpy(units, text, length);
  } else if (length != 0) {
    std::wmemset(units, L'\0', length);
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
  std::free(reinterpret_cast<char*>(text) - kHeader);
}

std::uint32_t SysStringLen(BSTR text) {
  if (text == nullptr) return 0;
  std::uint32_t length = 0;
  std::memcpy(&length, reinterpret_cast<char*>(text) - 4, 4);
  return length;
}

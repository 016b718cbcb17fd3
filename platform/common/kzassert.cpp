#include "platform/common/kzassert.h"

#include <csignal>
#include <cstdarg>
#include <fstream>
#include <mutex>
#include <string>

#include "platform/common/kzlog.h"
#include "platform/common/kztime.h"

namespace {
std::mutex g_assert_mutex;
platform::AssertHandler g_handler;

void LogAssert(const wchar_t* file, int line, const wchar_t* format, ...) {
  KZLogRecord record;
  record.level = 1;
  record.line = line;
  record.thread_id = platform::GetCurrentThreadId();
  record.tick_count = platform::GetTickCount();
  record.unix_time_ms = platform::SystemMilliTime();
  record.file = file;
  record.function = L"KZAssert";
  va_list args;
  va_start(args, format);
  KZLog_DoKZLogVW(&record, L"KZAssert", format, args);
  va_end(args);
}

int DefaultHandler(const wchar_t* expression, const wchar_t* file, int line) {
  LogAssert(file, line, L"Assertion failed: %s (%s, %d)", expression, file, line);
  return 0;
}
}  // namespace

int KZAssert(const wchar_t* expression, const wchar_t* file, int line) {
  const wchar_t* e = expression ? expression : L"";
  const wchar_t* f = file ? file : L"";
  platform::AssertHandler handler;
  {
    std::lock_guard lock(g_assert_mutex);
    handler = g_handler;
  }
  return handler ? handler(e, f, line) : DefaultHandler(e, f, line);
}

namespace platform {

AssertHandler SetAssertHandler(AssertHandler handler) {
  std::lock_guard lock(g_assert_mutex);
  AssertHandler old = std::move(g_handler);
  g_handler = std::move(handler);
  return old;
}

void DebugBreakIfAttached() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("TracerPid:", 0) == 0) {
      if (std::stol(line.substr(10)) != 0) std::raise(SIGTRAP);
      return;
    }
  }
}

}  // namespace platform

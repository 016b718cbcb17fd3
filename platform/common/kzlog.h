// The platform log: the record the client hands over, the log entry point,
// and the sinks a host attaches.
//
// Where logs go: nowhere by default. The environment variable WRENUTIL_LOG
// selects a sink at start-up: "stderr" writes one line per record to the
// standard error, any other non-empty value is a file path to append to.
// A host or test adds its own sinks with AddLogSink.
#ifndef WRENUTIL_PLATFORM_COMMON_KZLOG_H_
#define WRENUTIL_PLATFORM_COMMON_KZLOG_H_

#include <cstdarg>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/common/kzbase.h"

// The record a caller fills. On a 32-bit build it is the client's 64-byte
// layout; on Linux the two text pointers are 64-bit, so the record is larger
// but keeps the field order.
struct KZLogRecord {
  std::int32_t reserved0 = 0;
  std::int32_t level = 0;
  std::int32_t line = 0;
  std::int32_t zero0 = 0;
  std::uint32_t thread_id = 0;
  std::uint32_t tick_count = 0;  // milliseconds since boot (wraps)
  std::int32_t zero1 = 0;
  std::int32_t reserved1 = 0;
  std::int64_t unix_time_ms = 0;
  std::int64_t perf_counter = 0;  // taken at level 4 or more, else 0
  std::int32_t zero2 = 0;
  const wchar_t* file = nullptr;
  const wchar_t* function = nullptr;
  std::int32_t zero3 = 0;
};

// Formats `format` (client convention: "%s" takes a wide string) with `args`
// and hands the entry to every sink. Null record or format: nothing happens.
// A null module is logged as the empty text.
KZ_PLATFORM_API void KZLog_DoKZLogVW(const KZLogRecord* record, const wchar_t* module,
                                     const wchar_t* format, va_list args);

namespace platform {

struct LogEntry {
  int level = 0;
  int line = 0;
  std::uint32_t thread_id = 0;
  std::uint32_t tick_count = 0;
  std::int64_t unix_time_ms = 0;
  std::int64_t perf_counter = 0;
  std::wstring file;
  std::wstring function;
  std::wstring module;
  std::wstring message;  // the formatted text
};

using LogSink = std::function<void(const LogEntry&)>;

// Adds a sink; returns its handle for RemoveLogSink. Sinks are called in the
// order they were added, on the logging thread, under a lock.
KZ_PLATFORM_API int AddLogSink(LogSink sink);
KZ_PLATFORM_API void RemoveLogSink(int handle);

// Logs one finished text (UTF-8; not a format) from the platform itself:
// fills a record with `level`, the thread, the tick count and the client's
// clock, the source text `file` and the function text `function`.
KZ_PLATFORM_API void LogPlatformText(int level, const wchar_t* module, const wchar_t* file,
                                     const wchar_t* function, const std::string& text);

// One line of text (UTF-8) for an entry: time, level, module, function,
// source:line, message.
KZ_PLATFORM_API std::string FormatLogEntry(const LogEntry& entry);

// Time sources of the log and of the library's log suffix.
KZ_PLATFORM_API std::uint32_t GetCurrentThreadId();
// Milliseconds since the system started (CLOCK_MONOTONIC) as an unsigned
// 32-bit count, which wraps after about 49.7 days; or what the source set
// with SetTickCountSource answers.
KZ_PLATFORM_API std::uint32_t GetTickCount();
// Replaces the tick count's source, so that a test can stand just before a
// wrap; an empty function restores the system's.
KZ_PLATFORM_API void SetTickCountSource(std::function<std::uint32_t()> source);
KZ_PLATFORM_API std::int64_t QueryPerformanceCounter();

}  // namespace platform

#endif  // WRENUTIL_PLATFORM_COMMON_KZLOG_H_

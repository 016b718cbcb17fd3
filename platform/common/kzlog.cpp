#include "platform/common/kzlog.h"

#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/common/convert.h"
#include "platform/common/kzstring.h"
#include "platform/common/kztime.h"

namespace {

struct Sinks {
  std::mutex mutex;
  std::vector<std::pair<int, platform::LogSink>> list;
  int next = 1;
  Sinks() {
    const char* target = std::getenv("WRENUTIL_LOG");
    if (target == nullptr || *target == '\0') return;
    std::string where(target);
    list.emplace_back(next++, [where](const platform::LogEntry& e) {
      std::string line = platform::FormatLogEntry(e);
      line += '\n';
      if (where == "stderr") {
        std::fwrite(line.data(), 1, line.size(), stderr);
        return;
      }
      if (FILE* f = std::fopen(where.c_str(), "a")) {
        std::fwrite(line.data(), 1, line.size(), f);
        std::fclose(f);
      }
    });
  }
};

Sinks& GetSinks() {
  static Sinks* sinks = new Sinks();  // never destroyed: logging may run late
  return *sinks;
}

std::wstring OrEmpty(const wchar_t* s) { return s ? s : L""; }

}  // namespace

void KZLog_DoKZLogVW(const KZLogRecord* record, const wchar_t* module, const wchar_t* format,
                     va_list args) {
  if (record == nullptr || format == nullptr) return;
  // Logging never changes the caller's last error.
  const int saved_errno = errno;
  struct RestoreErrno {
    int value;
    ~RestoreErrno() { errno = value; }
  } restore{saved_errno};
  Sinks& sinks = GetSinks();
  {
    std::lock_guard lock(sinks.mutex);
    if (sinks.list.empty()) return;  // nobody listens: no formatting
  }
  platform::LogEntry e;
  e.level = record->level;
  e.line = record->line;
  e.thread_id = record->thread_id;
  e.tick_count = record->tick_count;
  e.unix_time_ms = record->unix_time_ms;
  e.perf_counter = record->perf_counter;
  e.file = OrEmpty(record->file);
  e.function = OrEmpty(record->function);
  e.module = OrEmpty(module);
  platform::AppendWideFormatV(&e.message, format, args);
  std::lock_guard lock(sinks.mutex);
  for (auto& [handle, sink] : sinks.list) sink(e);
}

namespace platform {

int AddLogSink(LogSink sink) {
  Sinks& sinks = GetSinks();
  std::lock_guard lock(sinks.mutex);
  int handle = sinks.next++;
  sinks.list.emplace_back(handle, std::move(sink));
  return handle;
}

void RemoveLogSink(int handle) {
  Sinks& sinks = GetSinks();
  std::lock_guard lock(sinks.mutex);
  std::erase_if(sinks.list, [handle](const auto& p) { return p.first == handle; });
}

namespace {
void Forward(const KZLogRecord* record, const wchar_t* module, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  KZLog_DoKZLogVW(record, module, format, args);
  va_end(args);
}
}  // namespace

void LogPlatformText(int level, const wchar_t* module, const wchar_t* file, const wchar_t* function,
                     const std::string& text) {
  KZLogRecord record;
  record.level = level;
  record.thread_id = GetCurrentThreadId();
  record.tick_count = GetTickCount();
  record.unix_time_ms = static_cast<std::int64_t>(Util::Time::GetRegulatedMilliTime());
  record.file = file;
  record.function = function;
  CKZStringW wide = Util::Convert::Utf8ToWS(text.data(), static_cast<int>(text.size()));
  Forward(&record, module, L"%s", wide.GetString());
}

std::string FormatLogEntry(const LogEntry& e) {
  std::time_t secs = static_cast<std::time_t>(e.unix_time_ms / 1000);
  std::tm tm{};
  localtime_r(&secs, &tm);
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                static_cast<int>(e.unix_time_ms % 1000));
  std::string line = stamp;
  line += " L" + std::to_string(e.level) + " [" +
          Util::Convert::Utf8FromWS(e.module.c_str(), -1).str() + "] " +
          Util::Convert::Utf8FromWS(e.function.c_str(), -1).str() + " (" +
          Util::Convert::Utf8FromWS(e.file.c_str(), -1).str() + ":" + std::to_string(e.line) +
          ") " + Util::Convert::Utf8FromWS(e.message.c_str(), -1).str();
  return line;
}

std::uint32_t GetCurrentThreadId() { return static_cast<std::uint32_t>(::syscall(SYS_gettid)); }

namespace {
std::mutex g_tick_mutex;
std::function<std::uint32_t()> g_tick_source;
}  // namespace

void SetTickCountSource(std::function<std::uint32_t()> source) {
  std::lock_guard lock(g_tick_mutex);
  g_tick_source = std::move(source);
}

std::uint32_t GetTickCount() {
  {
    std::lock_guard lock(g_tick_mutex);
    if (g_tick_source) return g_tick_source();
  }
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  auto ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
            static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(ms);
}

std::int64_t QueryPerformanceCounter() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

}  // namespace platform

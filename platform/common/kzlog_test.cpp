#include "platform/common/kzlog.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdarg>
#include <cstddef>
#include <string>
#include <thread>
#include <vector>

#include "platform/testing/platform_test.h"

namespace {

// The fields keep the client's order and offsets up to the two text
// pointers, which are 64-bit here.
static_assert(offsetof(KZLogRecord, level) == 4);
static_assert(offsetof(KZLogRecord, line) == 8);
static_assert(offsetof(KZLogRecord, thread_id) == 16);
static_assert(offsetof(KZLogRecord, tick_count) == 20);
static_assert(offsetof(KZLogRecord, unix_time_ms) == 32);
static_assert(offsetof(KZLogRecord, perf_counter) == 40);
static_assert(offsetof(KZLogRecord, zero2) == 48);
static_assert(offsetof(KZLogRecord, file) < offsetof(KZLogRecord, function));
static_assert(offsetof(KZLogRecord, function) < offsetof(KZLogRecord, zero3));

void Log(const KZLogRecord* record, const wchar_t* module, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  KZLog_DoKZLogVW(record, module, format, args);
  va_end(args);
}

using LogTest = platform::testing::PlatformTest;

TEST_F(LogTest, RecordFieldsReachTheSinks) {
  KZLogRecord record;
  record.level = 4;
  record.line = 77;
  record.thread_id = 1234;
  record.tick_count = 0xFFFFFFFFu;
  record.unix_time_ms = 1709618828009;
  record.perf_counter = -5;
  record.file = L"wrenutil\\tools";
  record.function = L"Util::Tools::F";
  Log(&record, L"ML_Others_UtilTools", L"%s=%d %hs", L"值", 3, "n");
  ASSERT_EQ(logs().size(), 1u);
  const platform::LogEntry& e = logs()[0];
  EXPECT_EQ(e.level, 4);
  EXPECT_EQ(e.line, 77);
  EXPECT_EQ(e.thread_id, 1234u);
  EXPECT_EQ(e.tick_count, 0xFFFFFFFFu);
  EXPECT_EQ(e.unix_time_ms, 1709618828009);
  EXPECT_EQ(e.perf_counter, -5);
  EXPECT_EQ(e.file, L"wrenutil\\tools");
  EXPECT_EQ(e.function, L"Util::Tools::F");
  EXPECT_EQ(e.module, L"ML_Others_UtilTools");
  EXPECT_EQ(e.message, L"值=3 n");
  EXPECT_EQ(platform::FormatLogEntry(e),
            "2024-03-05 06:07:08.009 L4 [ML_Others_UtilTools] Util::Tools::F "
            "(wrenutil\\tools:77) 值=3 n");
}

TEST_F(LogTest, NullArguments) {
  KZLogRecord record;  // null texts
  Log(nullptr, L"M", L"dropped");
  Log(&record, L"M", nullptr);
  EXPECT_TRUE(logs().empty());
  Log(&record, nullptr, L"kept");
  ASSERT_EQ(logs().size(), 1u);
  EXPECT_EQ(logs()[0].module, L"");
  EXPECT_EQ(logs()[0].file, L"");
  EXPECT_EQ(logs()[0].function, L"");
}

TEST_F(LogTest, SinksRunInOrderUntilRemoved) {
  std::vector<std::string> seen;
  int first = platform::AddLogSink(
      [&](const platform::LogEntry& e) { seen.push_back("first " + std::to_string(e.line)); });
  int second = platform::AddLogSink(
      [&](const platform::LogEntry& e) { seen.push_back("second " + std::to_string(e.line)); });
  EXPECT_NE(first, second);
  KZLogRecord record;
  record.line = 1;
  Log(&record, L"M", L"x");
  platform::RemoveLogSink(first);
  record.line = 2;
  Log(&record, L"M", L"x");
  platform::RemoveLogSink(second);
  platform::RemoveLogSink(second);  // twice is harmless
  record.line = 3;
  Log(&record, L"M", L"x");
  EXPECT_EQ(seen, (std::vector<std::string>{"first 1", "second 1", "second 2"}));
  EXPECT_EQ(logs().size(), 3u) << "the fixture's sink saw every record";
}

// A record's thread id tells threads apart: the same on one thread, another
// on a second thread that runs at the same time.
TEST(LogClock, ThreadIdsTellThreadsApart) {
  const auto mine = platform::GetCurrentThreadId();
  EXPECT_EQ(platform::GetCurrentThreadId(), mine);
  decltype(platform::GetCurrentThreadId()) other = mine;
  std::thread([&other] { other = platform::GetCurrentThreadId(); }).join();
  EXPECT_NE(other, mine);
}

TEST(LogClock, PerformanceCounterNeverGoesBack) {
  std::int64_t a = platform::QueryPerformanceCounter();
  std::int64_t b = platform::QueryPerformanceCounter();
  EXPECT_LE(a, b);
}

}  // namespace

namespace {
TEST(KzLogErrnoTest, LoggingKeepsTheCallersLastError) {
  int sink = platform::AddLogSink([](const platform::LogEntry&) { errno = EBADF; });
  KZLogRecord record;
  errno = ENOENT;
  auto log = [&](const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    KZLog_DoKZLogVW(&record, L"m", format, args);
    va_end(args);
  };
  log(L"%hs", "\xff");  // a failing narrow argument too
  EXPECT_EQ(errno, ENOENT);
  platform::RemoveLogSink(sink);
}
}  // namespace

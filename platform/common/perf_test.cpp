#include "platform/common/perf.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace platform {
namespace {

struct Captured {
  std::wstring file, function, text;
  int line, level;
};

class CapturingRecorder : public PerfRecorder {
 public:
  void OnRecord(const wchar_t* file, int line, int level, const wchar_t* function,
                const wchar_t* text) override {
    records.push_back({file, function, text, line, level});
  }
  std::vector<Captured> records;
};

// Attaches a recorder for the life of a test and detaches it afterwards.
class PerfTest : public testing::Test {
 protected:
  void TearDown() override { AttachPerfRecorder(nullptr); }
};

TEST_F(PerfTest, ScopeWritesBeginAndEndOnlyWhenAttached) {
  CapturingRecorder recorder;
  { CPerfRecordScope scope(L"a.cpp", 1, 1, L"F", L"tag"); }
  EXPECT_FALSE(IsPerfRecording());
  EXPECT_EQ(Util::Perf::Record(L"a", 1, 1, L"f", L"t"), S_FALSE);

  EXPECT_EQ(AttachPerfRecorder(&recorder), nullptr);
  {
    CPerfRecordScope scope(L"a.cpp", 638, 1, L"Util::F", L"*.X::Match");
    ASSERT_EQ(recorder.records.size(), 1u);
  }
  ASSERT_EQ(recorder.records.size(), 2u);
  EXPECT_EQ(recorder.records[0].text, L"*.X::Match.Begin");
  EXPECT_EQ(recorder.records[1].text, L"*.X::Match.End");
  EXPECT_EQ(recorder.records[1].file, L"a.cpp");
  EXPECT_EQ(recorder.records[1].function, L"Util::F");
  EXPECT_EQ(recorder.records[1].line, 638);
  EXPECT_EQ(recorder.records[1].level, 1);

  // Attached mid-scope: no unmatched end; null texts count as empty.
  recorder.records.clear();
  AttachPerfRecorder(nullptr);
  {
    CPerfRecordScope scope(nullptr, 0, 0, nullptr, nullptr);
    AttachPerfRecorder(&recorder);
  }
  EXPECT_TRUE(recorder.records.empty());
  { CPerfRecordScope scope(nullptr, 0, 0, nullptr, nullptr); }
  ASSERT_EQ(recorder.records.size(), 2u);
  EXPECT_EQ(recorder.records[0].text, L".Begin");
  EXPECT_EQ(recorder.records[0].file, L"");
  EXPECT_EQ(Util::Perf::Record(nullptr, 0, 0, nullptr, nullptr), S_OK);
}

TEST_F(PerfTest, ChromeTraceIsValidJson) {
  std::string path = testing::TempDir() + "perf_test_trace.json";
  {
    ChromeTraceRecorder recorder(path);
    ASSERT_TRUE(recorder.ok());
    AttachPerfRecorder(&recorder);
    {
      CPerfRecordScope scope(L"s\"rc.cpp", 7, 2, L"Fn\\", L"\u5F20.Match");
      Util::Perf::Record(L"f", 8, 3, L"g", L"note\n\x01");
    }
    AttachPerfRecorder(nullptr);
    EXPECT_EQ(recorder.event_count(), 3u);
    EXPECT_TRUE(recorder.Close());
    Util::Perf::Record(L"f", 9, 3, L"g", L"dropped");
  }
  std::ifstream in(path);
  nlohmann::json trace = nlohmann::json::parse(in);
  const auto& events = trace.at("traceEvents");
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0]["ph"], "B");
  EXPECT_EQ(events[0]["name"], "\xE5\xBC\xA0.Match");  // UTF-8
  EXPECT_EQ(events[0]["args"]["file"], "s\"rc.cpp");
  EXPECT_EQ(events[0]["args"]["function"], "Fn\\");
  EXPECT_EQ(events[0]["args"]["line"], 7);
  EXPECT_EQ(events[0]["args"]["level"], 2);
  EXPECT_EQ(events[1]["ph"], "i");
  EXPECT_EQ(events[1]["name"], "note\n\x01");
  EXPECT_EQ(events[2]["ph"], "E");
  EXPECT_EQ(events[2]["name"], events[0]["name"]);
  EXPECT_LE(events[0]["ts"].get<double>(), events[2]["ts"].get<double>());
  EXPECT_EQ(events[0]["tid"], events[2]["tid"]);
  std::remove(path.c_str());
}

TEST_F(PerfTest, UnwritableTraceFails) {
  ChromeTraceRecorder recorder("/nonexistent-dir/trace.json");
  EXPECT_FALSE(recorder.ok());
  recorder.OnRecord(L"", 0, 0, L"", L"x");  // dropped, no crash
  EXPECT_FALSE(recorder.Close());
}

}  // namespace
}  // namespace platform

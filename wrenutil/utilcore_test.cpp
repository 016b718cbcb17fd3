// The library's core access (common/include/utilcore.h) and its log calls
// (common/include/utillog.h, wrenutil/utillog.cpp).
#include "common/include/utilcore.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "common/include/utillog.h"
#include "platform/common/kztime.h"
#include "platform/common/refcounted.h"
#include "platform/kernelutil/accountservice.h"
#include "platform/kernelutil/kernelutil.h"
#include "platform/testing/platform_test.h"

namespace {

struct IFakeThing : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}");
  virtual int Answer() = 0;
};

class FakeThing : public platform::RefCounted<IFakeThing> {
 public:
  int Answer() override { return 42; }
};

using UtilCoreTest = platform::testing::PlatformTest;

TEST_F(UtilCoreTest, WithoutCoreEachCallAssertsAtItsLine) {
  struct Case {
    const char* name;
    std::function<int(IFakeThing**)> call;
    std::wstring expression;
    int line;
  };
  const Case cases[] = {
      {"GetService", [](IFakeThing** out) { return GetService(IFakeThing::kIid, out); },
       L"! L\"GetService时Util::Core::GetCurrentCore失败.\"", 136},
      {"CreateObject", [](IFakeThing** out) { return CreateObject(IFakeThing::kIid, out); },
       L"! L\"CreateObject时Util::Core::GetCurrentCore失败.\"", 109},
      {"GetExtensionPoint",
       [](IFakeThing** out) { return GetExtensionPoint(IFakeThing::kIid, out); },
       L"! L\"GetExtensionPoint时Util::Core::GetCurrentCore失败.\"", 176},
  };
  RemoveCore();
  for (int answer : {0, 1}) {  // 1 asks for a debugger break; none is attached
    SetAssertAnswer(answer);
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      IFakeThing* out = reinterpret_cast<IFakeThing*>(0x1);  // preset garbage
      std::size_t before = asserts().size();
      EXPECT_EQ(c.call(&out), 0);
      EXPECT_EQ(out, nullptr);
      ASSERT_EQ(asserts().size(), before + 1);
      EXPECT_EQ(asserts().back().expression, c.expression);
      EXPECT_EQ(asserts().back().file, L"common\\include\\utilcore");
      EXPECT_EQ(asserts().back().line, c.line);
      EXPECT_EQ(c.call(nullptr), 0) << "a null slot is accepted";
      EXPECT_EQ(asserts().size(), before + 2) << "and asserts the same way";
    }
  }
}

TEST_F(UtilCoreTest, ServedObjectsCarryOneReferenceForTheCaller) {
  CKZComPtr<FakeThing> service;
  service.Attach(new FakeThing());
  CKZComPtr<FakeThing> point;
  point.Attach(new FakeThing());
  AddService(IFakeThing::kIid, static_cast<IFakeThing*>(service.Get()));
  core()->RegisterExtensionPoint(IFakeThing::kIid, static_cast<IFakeThing*>(point.Get()));
  int created = 0;
  core()->RegisterFactory(IFakeThing::kIid, [&created](REFIID iid, void** out) {
    ++created;
    CKZComPtr<FakeThing> thing;
    thing.Attach(new FakeThing());
    return thing->QueryInterface(iid, out);
  });
  // Ours and the core's.
  EXPECT_EQ(service->RefCountForTesting(), 2u);

  IFakeThing* got = nullptr;
  EXPECT_EQ(GetService(IFakeThing::kIid, &got), 1);
  ASSERT_EQ(got, static_cast<IFakeThing*>(service.Get()));
  EXPECT_EQ(service->RefCountForTesting(), 3u);
  got->Release();

  EXPECT_EQ(GetExtensionPoint(IFakeThing::kIid, &got), 1);
  ASSERT_EQ(got, static_cast<IFakeThing*>(point.Get()));
  EXPECT_EQ(point->RefCountForTesting(), 3u);
  got->Release();

  EXPECT_EQ(CreateObject(IFakeThing::kIid, &got), 1);
  ASSERT_NE(got, nullptr);
  EXPECT_EQ(created, 1);
  EXPECT_EQ(got->Answer(), 42);
  EXPECT_EQ(got->Release(), 0u) << "the new object's only reference is the caller's";

  // Unknown ids fail quietly: no assertion, null out.
  const GUID unknown = platform::MakeGuid("{11111111-2222-3333-4444-555555555555}");
  EXPECT_EQ(GetService(unknown, &got), 0);
  EXPECT_EQ(got, nullptr);
  EXPECT_EQ(CreateObject(unknown, &got), 0);
  EXPECT_EQ(GetExtensionPoint(unknown, &got), 0);
  EXPECT_TRUE(asserts().empty());
}

// ---------------------------------------------------------------------------
// Log calls

TEST_F(UtilCoreTest, PlainLogFillsTheRecord) {
  const std::int64_t before = platform::SystemMilliTime();
  wrenutil::internal::WrenLog(L"wrenutil\\tools", 12, L"Util::Tools::X", 3, L"Mod",
                              L"%s|%hs|%c|%d|%lu|%llu|%x|%%", L"宽", "narrow", L'字', -5, 7ul,
                              1ull << 40, 255u);
  wrenutil::internal::WrenLog(L"f", 1, L"g", 4, nullptr, L"level four");
  const std::int64_t after = platform::SystemMilliTime();
  ASSERT_EQ(logs().size(), 2u);
  const platform::LogEntry& e = logs()[0];
  EXPECT_EQ(e.level, 3);
  EXPECT_EQ(e.line, 12);
  EXPECT_EQ(e.file, L"wrenutil\\tools");
  EXPECT_EQ(e.function, L"Util::Tools::X");
  EXPECT_EQ(e.module, L"Mod");
  EXPECT_EQ(e.message, L"宽|narrow|字|-5|7|1099511627776|ff|%");
  EXPECT_EQ(e.thread_id, platform::GetCurrentThreadId());
  // The system clock, not the client's clock that the fixture fixed in 2024.
  EXPECT_GE(e.unix_time_ms, before);
  EXPECT_LE(e.unix_time_ms, after);
  EXPECT_EQ(e.perf_counter, 0) << "taken only at level 4 or more";
  EXPECT_NE(logs()[1].perf_counter, 0);
  EXPECT_EQ(logs()[1].module, L"");
}

TEST_F(UtilCoreTest, ContextSuffix) {
  struct Case {
    const char* name;
    std::uint64_t clock_ms;
    DWORD corp_uin;  // 0: no account service
    DWORD address;   // 0: no network service
    platform::SessionInfo session;
    std::wstring suffix;
  };
  const Case cases[] = {
      {"fixture defaults",
       kFixedTimeMs,
       0,
       0,
       {kSelfUin, 3, 7},
       L"[Time=2024-03-05 6:07:08.9][UnixTime=1709618828][CorpUin=0][ExtUin=10001]"
       L"[ClientVersion=307][ClientIP=0]"},
      {"services present",
       1735689599999,
       4000000000u,
       0x0A000001,
       {4294967295u, 12, 34},
       L"[Time=2024-12-31 23:59:59.999][UnixTime=1735689599][CorpUin=4000000000]"
       L"[ExtUin=4294967295][ClientVersion=1234][ClientIP=167772161]"},
      {"unix time keeps its low 32 bits",
       (4294967296ull + 5) * 1000 + 50,
       0,
       0,
       {1, 0, 0},
       L"[Time=2106-02-07 6:28:21.50][UnixTime=5][CorpUin=0][ExtUin=1]"
       L"[ClientVersion=0][ClientIP=0]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    platform::SetClock([&c] { return c.clock_ms; });
    platform::SetSession(c.session);
    core()->Clear();
    if (c.corp_uin != 0) {
      CKZComPtr<IKZAccountService> account;
      platform::CreateMemoryAccountService(platform::AccountInfo{c.corp_uin, 0, 0}, &account);
      AddService(IKZAccountService::kIid, account);
    }
    if (c.address != 0) {
      CKZComPtr<IKZNetworkService> network;
      platform::CreateMemoryNetworkService(c.address, &network);
      AddService(IKZNetworkService::kIid, network);
    }
    ClearLogs();
    // A '%' in the format still works; the suffix is not read as a format.
    wrenutil::internal::WrenLogWithContext(L"file", 7, L"func", 2, L"ML_Others_UtilTools",
                                           L"%s 100%%", L"x");
    ASSERT_EQ(logs().size(), 1u);
    EXPECT_EQ(logs()[0].message, L"x 100%" + c.suffix);
    EXPECT_EQ(logs()[0].file, L"file");
    EXPECT_EQ(logs()[0].function, L"func");
    EXPECT_EQ(logs()[0].level, 2);
  }
  platform::SetClock([] { return kFixedTimeMs; });
}

TEST_F(UtilCoreTest, ContextSuffixWithoutCoreAssertsForEachService) {
  RemoveCore();
  wrenutil::internal::WrenLogWithContext(L"file", 7, L"func", 3, L"M", L"no core");
  ASSERT_EQ(logs().size(), 1u);
  EXPECT_EQ(logs()[0].message,
            L"no core[Time=2024-03-05 6:07:08.9][UnixTime=1709618828][CorpUin=0]"
            L"[ExtUin=10001][ClientVersion=307][ClientIP=0]");
  // The corporation number and the address are asked through GetService.
  ASSERT_EQ(asserts().size(), 2u);
  for (const auto& a : asserts()) {
    EXPECT_EQ(a.file, L"common\\include\\utilcore");
    EXPECT_EQ(a.line, 136);
  }
}

}  // namespace

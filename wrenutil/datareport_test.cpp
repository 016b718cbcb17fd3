#include "wrenutil/datareport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/common/kzlog.h"
#include "platform/common/refcounted.h"
#include "platform/kernelutil/accountservice.h"
#include "platform/kernelutil/calljournal.h"
#include "platform/kernelutil/operationreport.h"
#include "platform/testing/platform_test.h"

namespace {

using Notes = std::vector<std::wstring>;

// An account service that counts how often each number is asked.
class CountingAccount : public platform::RefCounted<IKZAccountService> {
 public:
  DWORD corp = 0, report = 0;
  int corp_asked = 0, report_asked = 0;
  HRESULT GetCorpUin(DWORD* v) override {
    ++corp_asked;
    *v = corp;
    return S_OK;
  }
  HRESULT GetAccountFlags(std::uint64_t* v) override {
    *v = 0;
    return S_OK;
  }
  HRESULT GetReportUin(DWORD* v) override {
    ++report_asked;
    *v = report;
    return S_OK;
  }
};

class DataReportTest : public platform::testing::PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    wrenutil::internal::ResetDataReportCache();
    platform::SetReportSpool(nullptr);
    platform::SetTickCountSource([this] { return tick_; });
    platform::TakeCallJournal();
    account_.Attach(new CountingAccount);
  }
  void TearDown() override {
    platform::SetTickCountSource(nullptr);
    platform::SetReportSpool(nullptr);
    wrenutil::internal::ResetDataReportCache();
    account_ = nullptr;
    PlatformTest::TearDown();
  }
  static std::wstring Report(DWORD v1, DWORD v2, DWORD v3, DWORD corp, DWORD second) {
    return L"EtpOperationReport(" + std::to_wstring(v1) + L", " + std::to_wstring(v2) + L", " +
           std::to_wstring(v3) + L", " + std::to_wstring(corp) + L", " + std::to_wstring(second) +
           L", null, 1, -1)";
  }
  std::uint32_t tick_ = 5000;
  CKZComPtr<CountingAccount> account_;
};

TEST_F(DataReportTest, ReportsCarryTheAccountNumbersAndGoToTheSpool) {
  account_->corp = 3000018848;
  account_->report = 10008;
  AddService(IKZAccountService::kIid, static_cast<IKZAccountService*>(account_.Get()));
  UtilCC::DataReport::EtpOperationReport(1, 2, 3);
  UtilCC::DataReport::EtpOperationReport(4, 5, 6);
  EXPECT_EQ(platform::TakeCallJournal(),
            (Notes{Report(1, 2, 3, 3000018848, 10008), Report(4, 5, 6, 3000018848, 10008)}));
  EXPECT_EQ(account_->corp_asked, 1) << "cached once known";
  EXPECT_EQ(account_->report_asked, 1);

  std::vector<platform::SpooledReport> spooled;
  ASSERT_TRUE(platform::GetReportSpool()->List(&spooled, nullptr));
  ASSERT_EQ(spooled.size(), 2u);
  const auto& r = spooled[1];
  EXPECT_EQ(r.time_ms, static_cast<std::int64_t>(kFixedTimeMs));
  EXPECT_EQ((std::vector<std::uint64_t>{r.value1, r.value2, r.value3, r.corp_uin, r.second_uin}),
            (std::vector<std::uint64_t>{4, 5, 6, 3000018848, 10008}));
  EXPECT_FALSE(r.text.has_value());
  EXPECT_EQ(r.flag, 1);
  EXPECT_EQ(r.result, -1);
}

// A number that is still 0 is asked again on every report; the other stays
// cached.
TEST_F(DataReportTest, ZeroNumbersAreAskedAgain) {
  UtilCC::DataReport::EtpOperationReport(1, 1, 1);  // no service: 0 and 0
  AddService(IKZAccountService::kIid, static_cast<IKZAccountService*>(account_.Get()));
  account_->report = 77;
  UtilCC::DataReport::EtpOperationReport(1, 1, 2);
  account_->corp = 900;
  account_->report = 78;  // already cached as 77
  UtilCC::DataReport::EtpOperationReport(1, 1, 3);
  UtilCC::DataReport::EtpOperationReport(1, 1, 4);
  EXPECT_EQ(platform::TakeCallJournal(),
            (Notes{Report(1, 1, 1, 0, 0), Report(1, 1, 2, 0, 77), Report(1, 1, 3, 900, 77),
                   Report(1, 1, 4, 900, 77)}));
  EXPECT_EQ(account_->corp_asked, 2);
  EXPECT_EQ(account_->report_asked, 1);
}

TEST_F(DataReportTest, ElapsedTimeIsUnsignedAcrossTheWrap) {
  const struct {
    const char* name;
    std::uint32_t start, now;
    DWORD elapsed;
  } kCases[] = {
      {"1500 ms", 5000, 6500, 1500},
      {"across the wrap", 0xFFFFFF00u, 0x000000FFu, 0x1FF},
      {"at the wrap", 0xFFFFFFFFu, 0, 1},
      {"no time at all", 42, 42, 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    CKZComPtr<IKZData> bag;
    Util::Data::CreateKZData(&bag);
    tick_ = c.start;
    UtilCC::DataReport::AddStartTime(bag);
    DWORD mark = 0;
    EXPECT_EQ(bag->GetDWord("DR_dwStartTime", &mark), S_OK);
    EXPECT_EQ(mark, c.start);
    tick_ = c.now;
    UtilCC::DataReport::EtpTimeReport(7, 8, bag);
    EXPECT_EQ(platform::TakeCallJournal(), Notes{Report(7, 8, c.elapsed, 0, 0)});
  }
}

TEST_F(DataReportTest, NullBagsAndMissingMarks) {
  UtilCC::DataReport::AddStartTime(nullptr);
  UtilCC::DataReport::EtpTimeReport(7, 8, nullptr);
  EXPECT_TRUE(platform::TakeCallJournal().empty()) << "a null bag sends nothing";

  CKZComPtr<IKZData> bag;
  Util::Data::CreateKZData(&bag);
  tick_ = 123456;
  UtilCC::DataReport::EtpTimeReport(7, 8, bag);
  bag->SetUInt16("DR_dwStartTime", 6);  // not a u32: reads as no mark
  UtilCC::DataReport::EtpTimeReport(7, 8, bag);
  EXPECT_EQ(platform::TakeCallJournal(),
            (Notes{Report(7, 8, 123456, 0, 0), Report(7, 8, 123456, 0, 0)}));
}

// A spool that refuses: the report is lost with a log line, nothing more.
TEST_F(DataReportTest, SpoolFailureIsLogged) {
  class Refusing : public platform::ReportSpool {
    bool Append(const platform::SpooledReport&, std::string* error) override {
      *error = "disk full";
      return false;
    }
    bool List(std::vector<platform::SpooledReport>*, std::string*) override { return false; }
  };
  platform::SetReportSpool(std::make_shared<Refusing>());
  UtilCC::DataReport::EtpOperationReport(1, 2, 3);
  EXPECT_EQ(LogMessages(), std::vector<std::wstring>{L"report lost: disk full"});
}

}  // namespace

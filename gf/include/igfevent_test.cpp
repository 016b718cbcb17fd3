// The event sink templates: CGFEventListener<T> and CFrequentInfoEventNew<T>.
#include "gf/include/igfevent.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "include/frecontact/ifrequentcontactsmgrnew.h"
#include "platform/common/kzdata.h"
#include "platform/gf/gf_menu.h"
#include "platform/testing/platform_test.h"

namespace sink_test {

// A host that notes what reaches it.
class Host {
 public:
  HRESULT Click(IUnknown*, DWORD event, IKZData*) {
    seen.push_back(L"Click " + std::to_wstring(event));
    return 7;
  }
  HRESULT Two(DWORD a, DWORD b) {
    seen.push_back(L"Two " + std::to_wstring(a) + L" " + std::to_wstring(b));
    return 8;
  }
  HRESULT Three(DWORD a, DWORD b, DWORD c) {
    seen.push_back(L"Three " + std::to_wstring(a + b + c));
    return 9;
  }
  HRESULT None() { return 10; }
  std::vector<std::wstring> seen;
};

const std::wstring kMisuse = L"ComSink使用不当:sink_test::Host没有把ComSink从Source中移除";

class SinkTest : public platform::testing::PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    platform::RegisterGFObjects(core());
    CParamComObjectNoLock<CGFEventListener<Host>>::CreateInstance(&host_, &listener_);
    CParamComObjectNoLock<CFrequentInfoEventNew<Host>>::CreateInstance(&host_, &frequent_);
  }
  void TearDown() override {
    listener_ = nullptr;
    frequent_ = nullptr;
    PlatformTest::TearDown();
  }
  Host host_;
  CKZComPtr<CGFEventListener<Host>> listener_;
  CKZComPtr<CFrequentInfoEventNew<Host>> frequent_;
};

TEST_F(SinkTest, ListenerForwardsBoundEvents) {
  EXPECT_EQ(listener_->OnEvent(nullptr, 102, nullptr), E_NOTIMPL);
  listener_->BindEvent(1, &Host::Click);
  EXPECT_EQ(listener_->OnEvent(nullptr, 102, nullptr), 7);
  EXPECT_EQ(listener_->OnEvent2(nullptr, 102, nullptr), E_NOTIMPL);
  EXPECT_EQ(listener_->Reserved1(), S_OK);
  listener_->Reserved2();
  EXPECT_EQ(host_.seen, std::vector<std::wstring>{L"Click 102"});

  listener_->SetHost(nullptr);
  EXPECT_EQ(listener_->OnEvent(nullptr, 102, nullptr), E_UNEXPECTED);
  EXPECT_EQ(listener_->OnEvent2(nullptr, 102, nullptr), E_UNEXPECTED);
  ASSERT_EQ(asserts().size(), 2u);
  EXPECT_EQ(asserts()[0].expression, kMisuse);
  EXPECT_EQ(asserts()[0].file, L"gf\\include\\igfevent");
  EXPECT_EQ(asserts()[0].line, 54);
  EXPECT_EQ(asserts()[1].line, 55);
}

TEST_F(SinkTest, ListenerAutomation) {
  listener_->BindEvent(1, &Host::Click);
  UINT count = 0;
  EXPECT_EQ(listener_->GetTypeInfoCount(nullptr), E_POINTER);
  EXPECT_EQ(listener_->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);

  CKZComPtr<ITypeInfo> info;
  EXPECT_EQ(listener_->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
  EXPECT_EQ(listener_->GetTypeInfo(0, 0, nullptr), E_POINTER);
  EXPECT_EQ(listener_->GetTypeInfo(0, 0, &info), S_OK);
  IID iid{};
  info->GetInterfaceId(&iid);
  EXPECT_EQ(iid, IGFEventListener::kIid);

  const wchar_t* names[] = {L"OnEvent"};
  DISPID id = 0;
  EXPECT_EQ(listener_->GetIDsOfNames(IUnknown::kIid, names, 1, 0, &id), S_OK);
  EXPECT_EQ(id, 1);
  // Found again without the type library: from the listener's own table.
  core()->RegisterFactory(platform::kGFEventTypeLibrary, nullptr);
  id = 0;
  EXPECT_EQ(listener_->GetIDsOfNames(IUnknown::kIid, names, 1, 0, &id), S_OK);
  EXPECT_EQ(id, 1);
  const wchar_t* other[] = {L"OnEvent2"};
  EXPECT_EQ(listener_->GetIDsOfNames(IUnknown::kIid, other, 1, 0, &id), E_FAIL);
  EXPECT_EQ(listener_->GetIDsOfNames(IUnknown::kIid, nullptr, 1, 0, &id), E_POINTER);

  VARIANT args[3];
  args[0].vt = VT_UNKNOWN;
  args[1].vt = VT_UI4;
  args[1].ulVal = 102;
  args[2].vt = VT_UNKNOWN;
  DISPPARAMS params{args, nullptr, 3, 0};
  EXPECT_EQ(
      listener_->Invoke(1, IUnknown::kIid, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
      E_FAIL);  // no type library
  platform::RegisterGFObjects(core());
  EXPECT_EQ(
      listener_->Invoke(1, IUnknown::kIid, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
      7);
  EXPECT_EQ(host_.seen, std::vector<std::wstring>{L"Click 102"});
}

TEST_F(SinkTest, FrequentSinkEventsInSlotOrder) {
  const struct {
    int event;
    std::function<HRESULT()> call;
  } kEvents[] = {
      {1, [&] { return frequent_->OnEvent1(); }},
      {2, [&] { return frequent_->OnEvent2(1, 2); }},
      {3, [&] { return frequent_->OnEvent3(); }},
      {4, [&] { return frequent_->OnEvent4(1, 2, 3); }},
      {5, [&] { return frequent_->OnEvent5(1, 2); }},
      {6, [&] { return frequent_->OnEvent6(1, 2); }},
      {7, [&] { return frequent_->OnEvent7(1, 2); }},
      {8, [&] { return frequent_->OnEvent8(1, 2, 3); }},
  };
  for (const auto& e : kEvents) {
    SCOPED_TRACE(e.event);
    EXPECT_EQ(e.call(), E_NOTIMPL);
  }
  frequent_->BindEvent<3>(&Host::None);
  frequent_->BindEvent<5>(&Host::Two);
  frequent_->BindEvent<8>(&Host::Three);
  EXPECT_EQ(kEvents[2].call(), 10);
  EXPECT_EQ(kEvents[4].call(), 8);
  EXPECT_EQ(kEvents[7].call(), 9);
  EXPECT_EQ(kEvents[5].call(), E_NOTIMPL);
  EXPECT_EQ(host_.seen, (std::vector<std::wstring>{L"Two 1 2", L"Three 6"}));
  EXPECT_EQ(frequent_->Reserved1(), S_OK);

  frequent_->SetHost(nullptr);
  for (const auto& e : kEvents) {
    SCOPED_TRACE(e.event);
    EXPECT_EQ(e.call(), E_UNEXPECTED);
    EXPECT_EQ(asserts().back().expression, kMisuse);
    EXPECT_EQ(asserts().back().file, L"include\\frecontact\\ifrequentcontactsmgrnew");
    EXPECT_EQ(asserts().back().line, 67 + e.event);
  }
}

}  // namespace sink_test

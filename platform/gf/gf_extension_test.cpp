#include "platform/gf/gf_extension.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/common/kzdata.h"
#include "platform/common/kzptr.h"
#include "platform/common/refcounted.h"
#include "platform/gf/gf_menu.h"
#include "platform/testing/platform_test.h"

namespace {

constexpr GUID kPoint = platform::MakeGuid("{3F1E7A52-0C4B-4D8E-9A61-5B2C7D9E0F13}");
constexpr GUID kOtherPoint = platform::MakeGuid("{3F1E7A52-0C4B-4D8E-9A61-5B2C7D9E0F14}");

// A host's own extension info: offers what it is told, counts the objects it
// was asked to create, and makes them with its own menu extension class.
class HostExtensionInfo final : public platform::RefCounted<IKZExtensionInfo> {
 public:
  class Extension final : public platform::RefCounted<IGFMenuExtension> {
   public:
    explicit Extension(std::vector<std::wstring>* seen) : seen_(seen) {}
    HRESULT OnExtendMenu(IGFMenu* menu, IKZData*) override {
      DWORD count = 0;
      menu->GetItemCount(&count);
      seen_->push_back(L"host extension saw " + std::to_wstring(count) + L" items");
      return S_OK;
    }

   private:
    std::vector<std::wstring>* seen_;
  };

  HostExtensionInfo(const wchar_t* method, std::vector<std::wstring>* seen)
      : method_(method), seen_(seen) {}
  HRESULT OffersMethod(const wchar_t* method, int* offers) override {
    *offers = method_ == method ? 1 : 0;
    return S_OK;
  }
  HRESULT CreateExtension(REFGUID point, IUnknown** extension) override {
    ++created;
    last_point = point;
    *extension = static_cast<IGFMenuExtension*>(new Extension(seen_));
    return S_OK;
  }
  int created = 0;
  GUID last_point{};

 private:
  std::wstring method_;
  std::vector<std::wstring>* seen_;
};

// A host's own menu: a list of texts, extension points attached by id.
class HostMenu final : public platform::RefCounted<IGFMenu, IGFExtensionHost> {
 public:
  HRESULT Initialize(int, int) override { return S_OK; }
  HRESULT CreateItem(IGFMenuItem**) override { return E_NOTIMPL; }
  HRESULT AppendItem(IGFMenuItem*) override { return E_NOTIMPL; }
  HRESULT RemoveItemByName(const wchar_t*) override { return S_FALSE; }
  HRESULT GetItemCount(DWORD* count) override {
    *count = static_cast<DWORD>(texts.size());
    return S_OK;
  }
  HRESULT GetItemByName(BSTR, IGFMenuItem**) override { return E_FAIL; }
  HRESULT GetItemAt(DWORD, IGFMenuItem**) override { return E_INVALIDARG; }
  HRESULT AttachExtensionDescriptor(IKZExtensionDescriptor* descriptor) override {
    GUID id{};
    descriptor->GetExtensionPointId(&id);
    points.push_back(id);
    return S_OK;
  }
  HRESULT IsExtensionPointAttached(REFGUID point, int* attached) override {
    *attached = std::count(points.begin(), points.end(), point) > 0 ? 1 : 0;
    return S_OK;
  }
  std::vector<std::wstring> texts{L"host item"};
  std::vector<GUID> points;
};

class GFExtensionTest : public platform::testing::PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    ASSERT_EQ(platform::RegisterGFObjects(core()), S_OK);
  }
  // A menu prepared for `point` (a descriptor of it attached) and an invoker
  // for the same point.
  void Prepare(const GUID& point, CKZComPtr<IGFMenu>& menu,
               CKZComPtr<IKZExtensionInvoker>& invoker) {
    ASSERT_EQ(platform::CreateGFMenu(&menu), S_OK);
    CKZComPtr<IKZExtensionDescriptor> descriptor;
    ASSERT_EQ(platform::CreateExtensionDescriptor(&descriptor), S_OK);
    descriptor->SetExtensionPointId(point);
    CKZComPtr<IGFExtensionHost> host;
    ASSERT_EQ(menu.QueryInterface(&host), S_OK);
    ASSERT_EQ(host->AttachExtensionDescriptor(descriptor), S_OK);
    ASSERT_EQ(platform::CreateExtensionInvoker(&invoker), S_OK);
    invoker->SetExtensionPointId(point);
  }
};

TEST_F(GFExtensionTest, PointIsServedUnderItsOwnIdAndEnsuredOnce) {
  CKZComPtr<IKZExtensionPoint> first;
  ASSERT_EQ(platform::EnsureExtensionPoint(core(), kPoint, &first), S_OK);
  CKZComPtr<IKZExtensionPoint> again;
  ASSERT_EQ(platform::EnsureExtensionPoint(core(), kPoint, &again), S_OK);
  EXPECT_EQ(first.Get(), again.Get()) << "a second call finds the registered point";
  CKZComPtr<IKZExtensionPoint> other;
  ASSERT_EQ(platform::EnsureExtensionPoint(core(), kOtherPoint, &other), S_OK);
  EXPECT_NE(first.Get(), other.Get());

  // The core hands the point out by asking it for its own id.
  CKZComPtr<IUnknown> served;
  ASSERT_EQ(core()->GetExtensionPoint(kPoint, reinterpret_cast<void**>(&served)), S_OK);
  CKZComPtr<IKZExtensionPoint> as_point;
  ASSERT_EQ(served.QueryInterface(&as_point), S_OK);
  EXPECT_EQ(as_point.Get(), first.Get());
  void* wrong = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(first->QueryInterface(kOtherPoint, &wrong), E_NOINTERFACE);
  EXPECT_EQ(wrong, nullptr);
  EXPECT_EQ(platform::EnsureExtensionPoint(nullptr, kPoint, &other), E_POINTER);
  EXPECT_EQ(other.Get(), nullptr);
}

TEST_F(GFExtensionTest, PointListsItsExtensionsInOrder) {
  CKZComPtr<IKZExtensionPoint> point;
  ASSERT_EQ(platform::CreateExtensionPoint(kPoint, &point), S_OK);
  std::vector<CKZComPtr<IKZExtensionInfo>> infos(3);
  for (auto& info : infos) {
    ASSERT_EQ(platform::CreateExtensionInfo(
                  {L"OnExtendMenu"}, [](REFGUID, IUnknown**) { return E_FAIL; }, &info),
              S_OK);
    ASSERT_EQ(point->AddExtension(info), S_OK);
  }
  DWORD count = 0;
  ASSERT_EQ(point->GetExtensionCount(&count), S_OK);
  EXPECT_EQ(count, 3u);
  for (DWORD i = 0; i < 3; ++i) {
    CKZComPtr<IKZExtensionInfo> got;
    ASSERT_EQ(point->GetExtensionInfo(i, &got), S_OK);
    EXPECT_EQ(got.Get(), infos[i].Get()) << i;
  }
  IKZExtensionInfo* past = reinterpret_cast<IKZExtensionInfo*>(0x1);
  EXPECT_EQ(point->GetExtensionInfo(3, &past), E_INVALIDARG);
  EXPECT_EQ(past, nullptr);
  EXPECT_EQ(point->AddExtension(nullptr), E_POINTER);
  EXPECT_EQ(point->GetExtensionCount(nullptr), E_POINTER);
}

TEST_F(GFExtensionTest, InfoOffersItsMethodsAndReportsFailedFactories) {
  struct Case {
    const char* what;
    platform::ExtensionFactory factory;
    HRESULT expected;
  };
  const Case cases[] = {
      {"factory fails", [](REFGUID, IUnknown**) { return E_OUTOFMEMORY; }, E_FAIL},
      {"factory succeeds with nothing", [](REFGUID, IUnknown**) { return S_OK; }, E_FAIL},
      {"factory fails after making one",
       [](REFGUID point, IUnknown** out) {
         CKZComPtr<IKZExtensionPoint> made;
         platform::CreateExtensionPoint(point, &made);
         *out = made.Detach();
         return E_INVALIDARG;
       },
       E_FAIL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CKZComPtr<IKZExtensionInfo> info;
    ASSERT_EQ(platform::CreateExtensionInfo({L"OnExtendMenu", L"OnReport"}, c.factory, &info),
              S_OK);
    for (const wchar_t* method : {L"OnExtendMenu", L"OnReport"}) {
      int offers = 0;
      EXPECT_EQ(info->OffersMethod(method, &offers), S_OK);
      EXPECT_EQ(offers, 1);
    }
    int offers = 1;
    EXPECT_EQ(info->OffersMethod(L"onextendmenu", &offers), S_OK);
    EXPECT_EQ(offers, 0) << "method names are exact";
    EXPECT_EQ(info->OffersMethod(nullptr, &offers), E_POINTER);
    IUnknown* made = reinterpret_cast<IUnknown*>(0x1);
    EXPECT_EQ(info->CreateExtension(kPoint, &made), c.expected);
    EXPECT_EQ(made, nullptr);  // and nothing leaked: the fixture counts
  }
}

TEST_F(GFExtensionTest, InvokerCallsHostExtensionsForTheirPoint) {
  std::vector<std::wstring> seen;
  CKZComPtr<IKZExtensionPoint> point;
  ASSERT_EQ(platform::EnsureExtensionPoint(core(), kPoint, &point), S_OK);
  CKZComPtr<HostExtensionInfo> menus;
  menus.Attach(new HostExtensionInfo(L"OnExtendMenu", &seen));
  CKZComPtr<HostExtensionInfo> reports;
  reports.Attach(new HostExtensionInfo(L"OnReport", &seen));
  point->AddExtension(menus.Get());
  point->AddExtension(reports.Get());

  CKZComPtr<IGFMenu> menu;
  CKZComPtr<IKZExtensionInvoker> invoker;
  Prepare(kPoint, menu, invoker);
  ASSERT_EQ(invoker->Invoke(menu, 0), S_OK);
  ASSERT_EQ(invoker->Invoke(menu, 0), S_OK);
  EXPECT_EQ(seen, (std::vector<std::wstring>{L"host extension saw 0 items",
                                             L"host extension saw 0 items"}));
  EXPECT_EQ(menus->created, 2) << "one object per invocation";
  EXPECT_EQ(menus->last_point, kPoint);
  EXPECT_EQ(reports->created, 0) << "an extension without OnExtendMenu is not made";
}

TEST_F(GFExtensionTest, InvokerKeepsItsContextAndRunsOnlyItsOwnPoint) {
  std::vector<std::wstring> seen;
  for (const GUID* id : {&kPoint, &kOtherPoint}) {
    const std::wstring name = *id == kPoint ? L"mine" : L"other";
    ASSERT_EQ(platform::AddMenuExtension(core(), *id,
                                         [&seen, name](IGFMenu*, IKZData* context) {
                                           DWORD from = 0;
                                           if (context) context->GetDWord("cFrom", &from);
                                           seen.push_back(name + L" " + std::to_wstring(from));
                                         }),
              S_OK);
  }
  CKZComPtr<IGFMenu> menu;
  CKZComPtr<IKZExtensionInvoker> invoker;
  Prepare(kPoint, menu, invoker);
  {
    CKZComPtr<IKZData> context;
    Util::Data::CreateKZData(&context);
    context->SetDWord("cFrom", 7);
    invoker->SetContext(context);
  }  // the invoker holds the bag
  ASSERT_EQ(invoker->Invoke(menu, 0), S_OK);
  invoker->SetContext(nullptr);
  ASSERT_EQ(invoker->Invoke(menu, 0), S_OK);
  EXPECT_EQ(seen, (std::vector<std::wstring>{L"mine 7", L"mine 0"}));

  CKZComPtr<IKZExtensionInvoker> unset;
  ASSERT_EQ(platform::CreateExtensionInvoker(&unset), S_OK);
  EXPECT_EQ(unset->Invoke(menu, 0), E_INVALIDARG) << "no id set";
  CKZComPtr<IKZExtensionDescriptor> descriptor;
  ASSERT_EQ(platform::CreateExtensionDescriptor(&descriptor), S_OK);
  GUID id = kPoint;
  EXPECT_EQ(descriptor->GetExtensionPointId(&id), E_FAIL);
  EXPECT_EQ(id, GUID{});
}

TEST_F(GFExtensionTest, InvokerExtendsAHostsOwnMenu) {
  std::vector<std::wstring> seen;
  ASSERT_EQ(platform::AddMenuExtension(core(), kPoint,
                                       [&seen](IGFMenu* menu, IKZData*) {
                                         DWORD count = 0;
                                         menu->GetItemCount(&count);
                                         seen.push_back(L"extended " + std::to_wstring(count));
                                       }),
            S_OK);
  CKZComPtr<HostMenu> menu;
  menu.Attach(new HostMenu());
  CKZComPtr<IKZExtensionInvoker> invoker;
  ASSERT_EQ(platform::CreateExtensionInvoker(&invoker), S_OK);
  invoker->SetExtensionPointId(kPoint);
  IGFMenu* as_menu = menu.Get();
  EXPECT_EQ(invoker->Invoke(as_menu, 0), E_FAIL) << "nothing attached yet";
  CKZComPtr<IKZExtensionDescriptor> descriptor;
  ASSERT_EQ(platform::CreateExtensionDescriptor(&descriptor), S_OK);
  descriptor->SetExtensionPointId(kPoint);
  menu->AttachExtensionDescriptor(descriptor);
  EXPECT_EQ(invoker->Invoke(as_menu, 0), S_OK);
  EXPECT_EQ(seen, std::vector<std::wstring>{L"extended 1"});

  // Something that is no menu is refused.
  CKZComPtr<IKZExtensionPoint> not_a_menu;
  platform::CreateExtensionPoint(kPoint, &not_a_menu);
  EXPECT_EQ(invoker->Invoke(not_a_menu.Get(), 0), E_INVALIDARG);
}

}  // namespace

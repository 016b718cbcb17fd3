#include "platform/gf/gf_event.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/common/kzdata.h"
#include "platform/common/kzjson.h"
#include "platform/common/kzptr.h"
#include "platform/common/refcounted.h"
#include "platform/gf/gf_element.h"
#include "platform/gf/gf_menu.h"
#include "platform/testing/platform_test.h"

namespace {

using Seen = std::vector<std::wstring>;
constexpr HRESULT kDenied = static_cast<HRESULT>(0x80070005u);

// A listener that notes every call in a shared list and answers `answer`.
class NoteListener : public platform::RefCounted<IGFEventListener> {
 public:
  NoteListener(std::wstring tag, Seen* seen, HRESULT answer = S_OK)
      : tag_(std::move(tag)), seen_(seen), answer_(answer) {}
  HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, const wchar_t* const*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
  HRESULT OnEvent(IUnknown* source, DWORD event, IKZData* params) override {
    return Note(L"OnEvent", source, event, params);
  }
  HRESULT OnEvent2(IUnknown* source, DWORD event, IKZData* params) override {
    return Note(L"OnEvent2", source, event, params);
  }
  HRESULT Reserved1() override { return S_OK; }
  void Reserved2() override {}

  IUnknown* last_source = nullptr;
  CKZComPtr<IKZData> last_params;
  std::function<void()> during;  // runs inside OnEvent

 private:
  HRESULT Note(const wchar_t* what, IUnknown* source, DWORD event, IKZData* params) {
    seen_->push_back(tag_ + L"." + what + L"(" + std::to_wstring(event) + L")");
    last_source = source;
    last_params = params;
    if (during) during();
    return answer_;
  }
  std::wstring tag_;
  Seen* seen_;
  HRESULT answer_;
};

class GFEventTest : public platform::testing::PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    ASSERT_EQ(platform::RegisterGFObjects(core()), S_OK);
    platform::CreateGFMenu(&menu_);
    ASSERT_EQ(menu_.QueryInterface(&events_), S_OK);
  }
  void TearDown() override {
    events_ = nullptr;
    menu_ = nullptr;
    PlatformTest::TearDown();
  }
  CKZComPtr<IGFMenuItem> Append(const wchar_t* name) {
    CKZComPtr<IGFMenuItem> item;
    menu_->CreateItem(&item);
    item->SetName(name);
    menu_->AppendItem(item);
    return item;
  }
  CKZComPtr<NoteListener> Listener(const wchar_t* tag, HRESULT answer = S_OK) {
    CKZComPtr<NoteListener> listener;
    listener.Attach(new NoteListener(tag, &seen_, answer));
    return listener;
  }

  CKZComPtr<IGFMenu> menu_;
  CKZComPtr<IGFEventSource> events_;
  Seen seen_;
};

TEST_F(GFEventTest, ListenersRunInOrderPerEventNumber) {
  auto a = Listener(L"a"), b = Listener(L"b", kDenied), c = Listener(L"c", E_FAIL);
  EXPECT_EQ(events_->AddEventListener(102, a), S_OK);
  EXPECT_EQ(events_->AddEventListener(102, b), S_OK);
  EXPECT_EQ(events_->AddEventListener(102, a), S_FALSE);  // kept once
  EXPECT_EQ(events_->AddEventListener(7, c), S_OK);
  EXPECT_EQ(events_->AddEventListener(7, nullptr), E_POINTER);

  EXPECT_EQ(events_->FireEvent(102, nullptr), kDenied);  // the first failure
  EXPECT_EQ(events_->FireEvent(8, nullptr), S_FALSE);
  EXPECT_EQ(seen_, (Seen{L"a.OnEvent(102)", L"b.OnEvent(102)"}));
  // The source is the menu itself.
  EXPECT_EQ(static_cast<void*>(a->last_source), static_cast<void*>(menu_.Get()));

  EXPECT_EQ(events_->RemoveEventListener(102, a), S_OK);
  EXPECT_EQ(events_->RemoveEventListener(102, a), S_FALSE);
  DWORD count = 9;
  events_->GetEventListenerCount(102, &count);
  EXPECT_EQ(count, 1u);
}

TEST_F(GFEventTest, ListenerRemovedWhileFiringDoesNotDisturbTheEvent) {
  auto a = Listener(L"a"), b = Listener(L"b");
  events_->AddEventListener(102, a);
  events_->AddEventListener(102, b);
  a->during = [&] { events_->RemoveEventListener(102, b); };
  events_->FireEvent(102, nullptr);
  events_->FireEvent(102, nullptr);
  EXPECT_EQ(seen_, (Seen{L"a.OnEvent(102)", L"b.OnEvent(102)", L"a.OnEvent(102)"}));
}

TEST_F(GFEventTest, MenuReleasesItsListenersAndHoldsNoCycle) {
  auto a = Listener(L"a");
  events_->AddEventListener(102, a);
  EXPECT_EQ(a->RefCountForTesting(), 2u);
  events_ = nullptr;
  menu_ = nullptr;
  EXPECT_EQ(a->RefCountForTesting(), 1u);
}

TEST_F(GFEventTest, ChoosingAnItemFiresItsNameAndFrame) {
  Append(L"first");
  auto second = Append(L"second");
  auto a = Listener(L"a");
  events_->AddEventListener(platform::kGFMenuItemChosen, a);
  EXPECT_EQ(platform::ChooseGFMenuItem(menu_, 1), S_OK);
  ASSERT_TRUE(a->last_params);
  CKZBSTR name;
  a->last_params->GetStr("name", &name);
  EXPECT_STREQ(name.c_str(), L"second");
  CKZComPtr<IGFFrame> frame;
  a->last_params->GetInterface("frame", IGFFrame::kIid, reinterpret_cast<void**>(&frame));
  CKZComPtr<IGFFrame> expected;
  second.QueryInterface(&expected);
  EXPECT_EQ(frame.Get(), expected.Get());
  a->last_params = nullptr;
}

TEST_F(GFEventTest, ChoosingWhatCannotBeChosen) {
  Append(L"ok");
  auto greyed = Append(L"greyed");
  greyed->SetEnable(0);
  auto separator = Append(L"sep");
  separator->SetSeparator(1);
  auto a = Listener(L"a");
  events_->AddEventListener(platform::kGFMenuItemChosen, a);
  const struct {
    const char* name;
    IGFMenu* menu;
    DWORD index;
    HRESULT result;
  } kCases[] = {
      {"greyed", menu_.Get(), 1, E_INVALIDARG},
      {"separator", menu_.Get(), 2, E_INVALIDARG},
      {"out of range", menu_.Get(), 3, E_INVALIDARG},
      {"null menu", nullptr, 0, E_POINTER},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(platform::ChooseGFMenuItem(c.menu, c.index), c.result);
  }
  EXPECT_TRUE(seen_.empty());
  EXPECT_EQ(platform::ChooseGFMenuItem(menu_, 0), S_OK);
  a->last_params = nullptr;
}

// The registered type library drives a listener through automation.
TEST_F(GFEventTest, TypeLibraryInvokesTheListener) {
  CKZComPtr<ITypeInfo> info;
  ASSERT_EQ(core()->CreateObject(platform::kGFEventTypeLibrary, ITypeInfo::kIid,
                                 reinterpret_cast<void**>(&info)),
            S_OK);
  const wchar_t* names[] = {L"onevent2", L"source"};
  DISPID ids[2] = {0, 0};
  EXPECT_EQ(info->GetIDsOfNames(names, 1, ids), S_OK);
  EXPECT_EQ(ids[0], 2);
  EXPECT_EQ(info->GetIDsOfNames(names, 2, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[1], DISPID_UNKNOWN);
  const wchar_t* unknown[] = {L"Nope"};
  EXPECT_EQ(info->GetIDsOfNames(unknown, 1, ids), DISP_E_UNKNOWNNAME);

  auto a = Listener(L"a");
  CKZComPtr<IKZData> bag;
  Util::Data::CreateKZData(&bag);
  VARIANT args[3];  // last first: params, event, source
  args[0].vt = VT_UNKNOWN;
  args[0].punkVal = bag.Get();
  args[1].vt = VT_UI4;
  args[1].ulVal = 102;
  args[2].vt = VT_UNKNOWN;
  args[2].punkVal = nullptr;
  DISPPARAMS params{args, nullptr, 3, 0};
  EXPECT_EQ(info->Invoke(a.Get(), 2, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(seen_, Seen{L"a.OnEvent2(102)"});
  EXPECT_EQ(a->last_params.Get(), bag.Get());
  a->last_params = nullptr;

  UINT arg_err = 99;
  args[1].vt = VT_BSTR;
  EXPECT_EQ(info->Invoke(a.Get(), 1, DISPATCH_METHOD, &params, nullptr, nullptr, &arg_err),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(arg_err, 1u);
  args[1].vt = VT_I4;
  DISPPARAMS two{args, nullptr, 2, 0};
  DISPID named = 0;
  DISPPARAMS with_named{args, &named, 3, 1};
  const struct {
    const char* name;
    DISPID id;
    WORD flags;
    DISPPARAMS* params;
    HRESULT result;
  } kCases[] = {
      {"unknown id", 9, DISPATCH_METHOD, &params, DISP_E_MEMBERNOTFOUND},
      {"property get", 1, 2, &params, DISP_E_MEMBERNOTFOUND},
      {"two arguments", 1, DISPATCH_METHOD, &two, DISP_E_BADPARAMCOUNT},
      {"named arguments", 1, DISPATCH_METHOD, &with_named, DISP_E_NONAMEDARGS},
      {"no parameters", 1, DISPATCH_METHOD, nullptr, E_POINTER},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(info->Invoke(a.Get(), c.id, c.flags, c.params, nullptr, nullptr, nullptr), c.result);
  }
  EXPECT_EQ(seen_.size(), 1u);
}

}  // namespace

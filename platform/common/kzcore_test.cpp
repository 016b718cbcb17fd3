// The core, CKZComPtr and assertions.
#include "platform/common/kzcore.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/common/kzassert.h"
#include "platform/common/kzptr.h"
#include "platform/common/refcounted.h"
#include "platform/testing/platform_test.h"

namespace {

// Counts AddRef and Release; lives on the stack, never deletes itself.
struct ICounted : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{A1A2A3A4-B1B2-C1C2-D1D2-D3D4D5D6D7D8}");
};
class Counting : public ICounted {
 public:
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid != IUnknown::kIid && iid != ICounted::kIid) return E_NOINTERFACE;
    *out = static_cast<ICounted*>(this);
    AddRef();
    return S_OK;
  }
  std::uint32_t AddRef() override {
    ++adds_;
    return static_cast<std::uint32_t>(++count_);
  }
  std::uint32_t Release() override {
    ++releases_;
    return static_cast<std::uint32_t>(--count_);
  }
  int count() const { return count_; }
  int adds() const { return adds_; }
  int releases() const { return releases_; }

 private:
  int count_ = 0;
  int adds_ = 0;
  int releases_ = 0;
};

TEST(CKZComPtr, ReferenceCounts) {
  Counting a;
  Counting b;
  {
    CKZComPtr<ICounted> p(&a);  // adds one
    EXPECT_EQ(a.count(), 1);
    CKZComPtr<ICounted> copy(p);  // adds one
    EXPECT_EQ(a.count(), 2);
    CKZComPtr<ICounted> moved(std::move(copy));  // transfers
    EXPECT_EQ(a.count(), 2);
    EXPECT_EQ(copy.Get(), nullptr);
    CKZComPtr<ICounted>& alias = p;
    p = alias;  // self-assignment keeps the reference
    EXPECT_EQ(a.count(), 2);
    p = static_cast<ICounted*>(&b);  // adds b, releases a
    EXPECT_EQ(a.count(), 1);
    EXPECT_EQ(b.count(), 1);
    CKZComPtr<ICounted>& moved_alias = moved;
    moved = std::move(moved_alias);  // self-move is harmless
    EXPECT_EQ(a.count(), 1);
    moved = p;  // copy-assign: b +1, a -1
    EXPECT_EQ(a.count(), 0);
    EXPECT_EQ(b.count(), 2);
    moved = nullptr;
    EXPECT_EQ(b.count(), 1);

    ICounted** slot = &p;  // the out-slot releases what was held
    EXPECT_EQ(b.count(), 0);
    EXPECT_EQ(*slot, nullptr);
    a.AddRef();  // a getter hands out one reference...
    *slot = &a;  // ...which the holder now owns
    EXPECT_EQ(a.count(), 1);

    ICounted* raw = p.Detach();  // the reference goes to the caller
    EXPECT_EQ(a.count(), 1);
    EXPECT_EQ(p.Get(), nullptr);
    p.Attach(raw);  // and back, without AddRef
    EXPECT_EQ(a.count(), 1);

    ICounted* out = nullptr;
    EXPECT_EQ(p.CopyTo(&out), S_OK);
    EXPECT_EQ(a.count(), 2);
    out->Release();
    EXPECT_EQ(p.CopyTo(nullptr), E_POINTER);

    ICounted* asked = nullptr;
    EXPECT_EQ(p.QueryInterface(&asked), S_OK);
    EXPECT_EQ(a.count(), 2);
    asked->Release();
    CKZComPtr<ICounted> empty;
    EXPECT_EQ(empty.QueryInterface(&asked), E_POINTER);
    EXPECT_EQ(asked, nullptr);
  }
  EXPECT_EQ(a.count(), 0) << "every reference given back";
  EXPECT_EQ(b.count(), 0);
  EXPECT_EQ(a.adds(), a.releases());
  EXPECT_EQ(b.adds(), b.releases());
}

// A platform object, counted by the live-object counter.
class Thing : public platform::RefCounted<ICounted> {};

using CoreTest = platform::testing::PlatformTest;

TEST_F(CoreTest, RefCountedObjectsAreCountedAlive) {
  std::int64_t before = platform::LiveObjectCount();
  auto* thing = new Thing();
  EXPECT_EQ(platform::LiveObjectCount(), before + 1);
  EXPECT_EQ(thing->RefCountForTesting(), 1u) << "the creator holds the first reference";
  void* unknown = nullptr;
  EXPECT_EQ(thing->QueryInterface(IUnknown::kIid, &unknown), S_OK);
  EXPECT_EQ(unknown, static_cast<IUnknown*>(thing));
  void* other = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(thing->QueryInterface(IKZCore::kIid, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(thing->QueryInterface(IUnknown::kIid, nullptr), E_POINTER);
  EXPECT_EQ(thing->Release(), 1u);
  EXPECT_EQ(thing->Release(), 0u);
  EXPECT_EQ(platform::LiveObjectCount(), before);
}

TEST_F(CoreTest, ServicesPointsAndFactories) {
  CKZComPtr<Thing> service;
  service.Attach(new Thing());
  const GUID id = ICounted::kIid;
  EXPECT_EQ(core()->RegisterService(id, static_cast<ICounted*>(service.Get())), S_OK);
  EXPECT_EQ(service->RefCountForTesting(), 2u) << "the core holds one reference";

  CKZComPtr<IKZCore> current;
  ASSERT_EQ(Util::Core::GetPlatformCore(&current), S_OK);
  EXPECT_EQ(current.Get(), static_cast<IKZCore*>(core()));

  void* out = nullptr;
  EXPECT_EQ(current->GetService(id, &out), S_OK);
  EXPECT_EQ(out, static_cast<ICounted*>(service.Get()));
  EXPECT_EQ(service->RefCountForTesting(), 3u);
  static_cast<ICounted*>(out)->Release();

  // An object asked for an interface it lacks is no service of that id.
  const GUID other = platform::MakeGuid("{01010101-0202-0303-0404-050505050505}");
  core()->RegisterService(other, static_cast<ICounted*>(service.Get()));
  out = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(current->GetService(other, &out), E_FAIL);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(current->GetExtensionPoint(id, &out), E_FAIL) << "points are a separate table";
  EXPECT_EQ(current->GetService(id, nullptr), E_POINTER);

  // Replacing and removing release the core's reference.
  core()->RegisterService(other, nullptr);
  core()->RegisterService(id, nullptr);
  EXPECT_EQ(service->RefCountForTesting(), 1u);
  EXPECT_EQ(current->GetService(id, &out), E_FAIL);

  int made = 0;
  core()->RegisterFactory(id, [&made](REFIID iid, void** object) {
    ++made;
    CKZComPtr<Thing> thing;
    thing.Attach(new Thing());
    return thing->QueryInterface(iid, object);
  });
  EXPECT_EQ(current->CreateObject(id, IUnknown::kIid, &out), S_OK);
  EXPECT_EQ(static_cast<IUnknown*>(out)->Release(), 0u);
  EXPECT_EQ(current->CreateObject(id, IKZCore::kIid, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(made, 2);
  core()->RegisterFactory(id, nullptr);
  EXPECT_EQ(current->CreateObject(id, id, &out), E_FAIL);

  core()->RegisterExtensionPoint(id, static_cast<ICounted*>(service.Get()));
  EXPECT_EQ(current->GetExtensionPoint(id, &out), S_OK);
  static_cast<ICounted*>(out)->Release();
  EXPECT_EQ(core()->Clear(), S_OK);
  EXPECT_EQ(service->RefCountForTesting(), 1u);
}

TEST_F(CoreTest, InstallAndUninstall) {
  RemoveCore();
  IKZCore* got = reinterpret_cast<IKZCore*>(0x1);
  EXPECT_EQ(Util::Core::GetPlatformCore(&got), E_FAIL);
  EXPECT_EQ(got, nullptr);
  EXPECT_EQ(Util::Core::GetPlatformCore(nullptr), E_POINTER);
  {
    platform::ScopedCore scoped;
    CKZComPtr<IKZCore> current;
    EXPECT_EQ(Util::Core::GetPlatformCore(&current), S_OK);
    EXPECT_EQ(current.Get(), static_cast<IKZCore*>(scoped.Get()));
  }
  EXPECT_EQ(Util::Core::GetPlatformCore(&got), E_FAIL);
  EXPECT_EQ(platform::CreateCoreHost(nullptr), E_POINTER);
}

TEST_F(CoreTest, AssertHandlers) {
  EXPECT_EQ(KZAssert(L"x > 0", L"wrenutil\\tools", 12), 0);
  SetAssertAnswer(1);
  EXPECT_EQ(KZAssert(nullptr, nullptr, 3), 1);
  ASSERT_EQ(asserts().size(), 2u);
  EXPECT_EQ(asserts()[0].expression, L"x > 0");
  EXPECT_EQ(asserts()[0].file, L"wrenutil\\tools");
  EXPECT_EQ(asserts()[0].line, 12);
  EXPECT_EQ(asserts()[1].expression, L"") << "null texts are reported empty";
  EXPECT_EQ(asserts()[1].file, L"");

  // The default handler writes one log line and answers 0.
  platform::AssertHandler fixture = platform::SetAssertHandler(nullptr);
  EXPECT_EQ(KZAssert(L"p != NULL", L"common\\include\\utilcore", 136), 0);
  platform::SetAssertHandler(std::move(fixture));
  ASSERT_EQ(logs().size(), 1u);
  EXPECT_EQ(logs()[0].level, 1);
  EXPECT_EQ(logs()[0].module, L"KZAssert");
  EXPECT_EQ(logs()[0].line, 136);
  EXPECT_EQ(logs()[0].message, L"Assertion failed: p != NULL (common\\include\\utilcore, 136)");
  EXPECT_EQ(asserts().size(), 2u);

  platform::DebugBreakIfAttached();  // no debugger: nothing happens
}

TEST(Guid, ParseFormatAndCompare) {
  constexpr GUID kId = platform::MakeGuid("{D4A70210-E167-4A5E-9EE4-130AE2AEB2E0}");
  char text[39];
  platform::FormatGuid(kId, text);
  EXPECT_STREQ(text, "{D4A70210-E167-4A5E-9EE4-130AE2AEB2E0}");
  GUID parsed{};
  EXPECT_TRUE(platform::ParseGuid("d4a70210-e167-4a5e-9ee4-130ae2aeb2e0", &parsed));
  EXPECT_EQ(parsed, kId);
  for (const char* bad :
       {"", "{D4A70210-E167-4A5E-9EE4-130AE2AEB2E}", "D4A70210E167-4A5E-9EE4-130AE2AEB2E00",
        "{G4A70210-E167-4A5E-9EE4-130AE2AEB2E0}", "{D4A70210-E167-4A5E-9EE4-130AE2AEB2E0"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(platform::ParseGuid(bad, &parsed));
  }
  EXPECT_FALSE(platform::ParseGuid("{D4A70210-E167-4A5E-9EE4-130AE2AEB2E0}", nullptr));
  GUID next = kId;
  next.Data4[7]++;
  EXPECT_TRUE(kId < next);
  EXPECT_FALSE(next < kId);
  EXPECT_FALSE(kId == next);
}

}  // namespace

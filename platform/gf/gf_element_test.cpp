#include "platform/gf/gf_element.h"

#include <gtest/gtest.h>

#include "platform/common/kzdata.h"
#include "platform/common/kzptr.h"
#include "platform/common/kzstring.h"
#include "platform/gf/gf_font.h"
#include "platform/testing/platform_test.h"

namespace platform {
namespace {

class GFElementTest : public testing::PlatformTest {
 protected:
  CKZComPtr<IGFElement> Make(const wchar_t* name, bool frame, IGFElement* parent = nullptr) {
    CKZComPtr<IGFElement> element;
    EXPECT_EQ(CreateGFElement(name, frame, &element), S_OK);
    if (parent != nullptr) {
      EXPECT_EQ(AppendGFElement(parent, element), S_OK);
    }
    return element;
  }
};

TEST_F(GFElementTest, FindsDepthFirstBelowTheRoot) {
  auto root = Make(L"root", true);
  auto bar = Make(L"bar", false, root);
  auto deep = Make(L"title", true, bar);
  auto shallow = Make(L"title", false, root);  // appended after `bar`
  struct Case {
    const wchar_t* name;
    IGFElement* expected;
    HRESULT hr;
  } cases[] = {
      {L"bar", bar, S_OK},        {L"title", deep, S_OK},
      {L"root", nullptr, E_FAIL},  // the root itself is not searched
      {L"none", nullptr, E_FAIL}, {nullptr, nullptr, E_INVALIDARG},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name != nullptr ? c.name : L"(null)");
    IGFElement* found = reinterpret_cast<IGFElement*>(1);
    EXPECT_EQ(root->FindElement(c.name, &found), c.hr);
    EXPECT_EQ(found, c.expected);
    if (found != nullptr) found->Release();
  }
  EXPECT_EQ(root->FindElement(L"bar", nullptr), E_POINTER);
}

TEST_F(GFElementTest, FrameKeepsItsAttributes) {
  auto frame = Make(L"f", true);
  auto plain = Make(L"p", false);
  CKZComPtr<IGFFrame> view;
  EXPECT_EQ(plain.QueryInterface(&view), E_NOINTERFACE);
  ASSERT_EQ(frame.QueryInterface(&view), S_OK);

  view->SetConfig(L"padding:2");
  view->SetHidden(1);
  view->SetMargin(CRect(1, 2, 3, 4));
  GFElementState state;
  ASSERT_EQ(GetGFElementState(frame, &state), S_OK);
  EXPECT_EQ(state.name, L"f");
  EXPECT_EQ(state.config, L"padding:2");
  EXPECT_EQ(state.hidden, 1);
  EXPECT_EQ(state.margin, CRect(1, 2, 3, 4));
  int hidden = 0;
  EXPECT_EQ(view->GetHidden(&hidden), S_OK);
  EXPECT_EQ(hidden, 1);
  view->SetConfig(nullptr);
  GetGFElementState(frame, &state);
  EXPECT_EQ(state.config, L"");

  // User data: the frame holds its own reference and hands out another.
  IKZData* out = reinterpret_cast<IKZData*>(1);
  EXPECT_EQ(view->GetUserData(&out), E_FAIL);
  EXPECT_EQ(out, nullptr);
  CKZComPtr<IKZData> bag;
  ASSERT_TRUE(Util::Data::CreateKZData(&bag));
  view->SetUserData(bag);
  CKZComPtr<IKZData> back;
  EXPECT_EQ(view->GetUserData(&back), S_OK);
  EXPECT_EQ(back.Get(), bag.Get());
  view->SetUserData(nullptr);
  EXPECT_EQ(view->GetUserData(&back), E_FAIL);

  EXPECT_EQ(view->GetHidden(nullptr), E_POINTER);
  EXPECT_EQ(view->GetUserData(nullptr), E_POINTER);
}

TEST_F(GFElementTest, TreeRejectsBadLinks) {
  auto a = Make(L"a", false);
  auto b = Make(L"b", true, a);
  auto c = Make(L"c", false, b);
  EXPECT_EQ(AppendGFElement(c, a), E_INVALIDARG);  // cycle
  EXPECT_EQ(AppendGFElement(a, a), E_INVALIDARG);
  EXPECT_EQ(AppendGFElement(a, c), E_INVALIDARG);  // already has a parent
  EXPECT_EQ(AppendGFElement(nullptr, a), E_POINTER);
  EXPECT_EQ(AppendGFElement(a, nullptr), E_POINTER);
  EXPECT_EQ(CreateGFElement(L"x", false, nullptr), E_POINTER);
  EXPECT_EQ(GetGFElementState(nullptr, nullptr), E_POINTER);
  // The children outlive a released root only as long as someone holds them.
  a = nullptr;
  IGFElement* found = nullptr;
  EXPECT_EQ(b->FindElement(L"c", &found), S_OK);
  found->Release();
}

TEST_F(GFElementTest, FontKeepsNameAndSize) {
  CKZComPtr<IGFFont> font;
  ASSERT_EQ(CreateGFFont(L"DejaVu Sans", 10.5, &font), S_OK);
  double size = 0;
  EXPECT_EQ(font->GetFontSize(&size), S_OK);
  EXPECT_EQ(size, 10.5);
  CKZBSTR name;
  EXPECT_EQ(font->GetFaceName(&name), S_OK);
  EXPECT_STREQ(name.c_str(), L"DejaVu Sans");
  EXPECT_EQ(font->GetFontSize(nullptr), E_POINTER);
  EXPECT_EQ(font->GetFaceName(nullptr), E_POINTER);
  CKZComPtr<IGFFont> unnamed;
  ASSERT_EQ(CreateGFFont(nullptr, 9, &unnamed), S_OK);
  EXPECT_EQ(unnamed->GetFaceName(&name), S_OK);
  EXPECT_STREQ(name.c_str(), L"");
  EXPECT_EQ(CreateGFFont(L"x", 9, nullptr), E_POINTER);
}

}  // namespace
}  // namespace platform

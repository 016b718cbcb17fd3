#include "wrenutil/ui.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/common/kzdata.h"
#include "platform/common/refcounted.h"
#include "platform/testing/font_metrics.h"
#include "platform/testing/platform_test.h"

namespace {

using platform::RefCounted;

CKZComPtr<IGFFont> MakeFont(const wchar_t* face, double size) {
  CKZComPtr<IGFFont> font;
  EXPECT_EQ(platform::CreateGFFont(face, size, &font), S_OK);
  return font;
}

float Width(IGFFont* font, const CKZStringW& text) {
  return Util::UI::GetTextBounds(font, Gdiplus::StringFormat(), text).Width;
}

class UITest : public platform::testing::PlatformTest {
 protected:
  CKZComPtr<IGFFont> dejavu_ = MakeFont(L"DejaVu Sans", 9);
  CKZComPtr<IGFFont> chinese_ = MakeFont(L"WenQuanYi Micro Hei", 9);
  CKZComPtr<IGFFont> unknown_ = MakeFont(L"No Such Face", 9);
};

TEST_F(UITest, BoundsGrowWithTheText) {
  const CKZStringW text = L"Hello, 世界! 0123";
  for (IGFFont* font : {dejavu_.Get(), chinese_.Get()}) {
    float previous = 0;
    for (int n = 1; n <= text.GetLength(); ++n) {
      SCOPED_TRACE(n);
      const float width = Width(font, text.Left(n));
      EXPECT_GE(width, previous);
      previous = width;
    }
    EXPECT_GT(previous, 0);
  }
  // In outline units the em is the size in points: twice the size, twice
  // the bounds.
  const Gdiplus::SizeF nine = Util::UI::GetTextBounds(dejavu_, Gdiplus::StringFormat(), L"Wg");
  const Gdiplus::SizeF eighteen =
      Util::UI::GetTextBounds(MakeFont(L"DejaVu Sans", 18), Gdiplus::StringFormat(), L"Wg");
  EXPECT_NEAR(eighteen.Width, 2 * nine.Width, 1e-3);
  EXPECT_NEAR(eighteen.Height, 2 * nine.Height, 1e-3);
  EXPECT_LT(nine.Height, 9.0f);
}

TEST_F(UITest, NothingToMeasure) {
  struct Case {
    const char* label;
    IGFFont* font;
    const wchar_t* text;
  } cases[] = {
      {"null font", nullptr, L"text"},
      {"unknown face", unknown_, L"text"},
      {"empty text", dejavu_, L""},
      {"blanks only", dejavu_, L"   "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const Gdiplus::SizeF size = Util::UI::GetTextBounds(c.font, Gdiplus::StringFormat(), c.text);
    EXPECT_EQ(size.Width, 0);
    EXPECT_EQ(size.Height, 0);
    EXPECT_EQ(Util::UI::GetTextBoundsSuitable(c.font, c.text, 0), c.text);
  }
  EXPECT_EQ(Width(MakeFont(L"DejaVu Sans", 0), L"text"), 0);
}

TEST_F(UITest, SuitableIsTheLongestBeginningThatFits) {
  // For every width up to the whole text's, the search must agree with a
  // plain scan for the longest fitting beginning; widths just below, at and
  // above each beginning's width are all covered.
  for (const CKZStringW& text : {CKZStringW(L"The quick brown fox"),
                                 CKZStringW(L"联系人 list 搜索"), CKZStringW(L"ab  cd")}) {
    SCOPED_TRACE(text.GetString());
    std::vector<float> widths;
    for (int n = 0; n <= text.GetLength(); ++n) {
      widths.push_back(Width(dejavu_, text.Left(n)));
    }
    const auto whole = static_cast<unsigned long>(std::ceil(widths.back()));
    for (unsigned long width = 0; width <= whole + 1; ++width) {
      SCOPED_TRACE(width);
      int expected = 0;
      for (int n = 0; n <= text.GetLength(); ++n) {
        if (widths[n] <= static_cast<float>(width)) expected = n;
      }
      EXPECT_EQ(Util::UI::GetTextBoundsSuitable(dejavu_, text, width), text.Left(expected));
    }
  }
}

TEST_F(UITest, SuitableCases) {
  const CKZStringW text = L"Hello world";
  const auto hello = static_cast<unsigned long>(Width(dejavu_, L"Hello"));
  struct Case {
    const char* label;
    IGFFont* font;
    unsigned long width;
    const wchar_t* expected;
  } cases[] = {
      {"width 0 gives the empty beginning", dejavu_, 0, L""},
      {"a text that fits comes back whole", dejavu_, 1000, L"Hello world"},
      // White space has no outline, so the blank rides along.
      {"just wider than Hello", dejavu_, hello + 1, L"Hello "},
      {"null font fits anything", nullptr, 0, L"Hello world"},
      {"unknown face fits anything", unknown_, 0, L"Hello world"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(Util::UI::GetTextBoundsSuitable(c.font, text, c.width), c.expected);
  }
  // The caller's font reference is untouched by the by-value parameter.
  dejavu_->AddRef();
  EXPECT_EQ(dejavu_->Release(), 1u);
}

TEST_F(UITest, ShowRectWrapsWithinTheBox) {
  constexpr tagRECT kUntouched{-7, -7, -7, -7};
  const CKZStringW text = L"The contact list shows 联系人 and their 部门 in a narrow column";
  auto show = [&](IGFFont* font, const CKZStringW& t, LONG cx, LONG cy) {
    tagRECT rect = kUntouched;
    EXPECT_EQ(Util::UI::GetMutLineTextShowRect(font, t, tagSIZE{cx, cy}, &rect), 0);
    return rect;
  };
  // One line of 9 points is 12 pixels times the font file's line spacing.
  const double line = 12 * platform::testing::FontFileLineSpacing("DejaVu Sans");
  const tagRECT one_line = show(dejavu_, text, 0, 0);
  EXPECT_EQ(one_line.top, 0);
  EXPECT_EQ(one_line.bottom, static_cast<LONG>(std::ceil(line)));
  // The unbounded width is the narrowest box that keeps the text on one line.
  EXPECT_EQ(show(dejavu_, text, one_line.right, 0).bottom, one_line.bottom);
  EXPECT_GT(show(dejavu_, text, one_line.right - 1, 0).bottom, one_line.bottom);
  LONG previous_bottom = 0;
  for (LONG cx : {1000, 300, 150, 60}) {
    SCOPED_TRACE(cx);
    const tagRECT rect = show(dejavu_, text, cx, 0);
    EXPECT_EQ(rect.left, 0);
    EXPECT_LE(rect.right, cx);
    EXPECT_GE(rect.bottom, previous_bottom);
    previous_bottom = rect.bottom;
  }
  EXPECT_GE(previous_bottom, 5 * line);
  // A height clips the rectangle to the box.
  EXPECT_EQ(show(dejavu_, text, 60, 30).bottom, 30);

  EXPECT_EQ(show(nullptr, text, 100, 0), kUntouched);
  EXPECT_EQ(show(unknown_, text, 100, 0), (tagRECT{0, 0, 0, 0}));
  EXPECT_EQ(show(dejavu_, L"", 100, 0), (tagRECT{0, 0, 0, 0}));
  EXPECT_EQ(Util::UI::GetMutLineTextShowRect(dejavu_, text, tagSIZE{10, 10}, nullptr), 0);
}

TEST_F(UITest, TextEndsAtItsFirstZeroCharacter) {
  const CKZStringW cut(std::wstring(L"ab\0WW", 5));
  ASSERT_EQ(cut.GetLength(), 5);
  const Gdiplus::SizeF ab = Util::UI::GetTextBounds(dejavu_, Gdiplus::StringFormat(), L"ab");
  const Gdiplus::SizeF got = Util::UI::GetTextBounds(dejavu_, Gdiplus::StringFormat(), cut);
  ASSERT_GT(ab.Width, 0);
  EXPECT_EQ(got.Width, ab.Width);
  EXPECT_EQ(got.Height, ab.Height);

  tagRECT expected{}, rect{};
  Util::UI::GetMutLineTextShowRect(dejavu_, L"ab", tagSIZE{0, 0}, &expected);
  Util::UI::GetMutLineTextShowRect(dejavu_, cut, tagSIZE{0, 0}, &rect);
  EXPECT_EQ(rect, expected);
  // Wrapping in a narrow box must not reach the characters after the zero.
  Util::UI::GetMutLineTextShowRect(dejavu_, L"ab", tagSIZE{4, 0}, &expected);
  Util::UI::GetMutLineTextShowRect(dejavu_, cut, tagSIZE{4, 0}, &rect);
  EXPECT_EQ(rect, expected);

  // The whole string measures as "ab", so a width that holds "ab" keeps all
  // of it; a narrower one cuts before the zero.
  const auto ab_width = static_cast<unsigned long>(std::ceil(ab.Width));
  EXPECT_EQ(Util::UI::GetTextBoundsSuitable(dejavu_, cut, ab_width), cut);
  EXPECT_EQ(Util::UI::GetTextBoundsSuitable(dejavu_, cut, ab_width - 1), L"a");
}

// --- Element attributes -------------------------------------------------------

// A frame that records every call made on it.
class RecordingFrame final : public RefCounted<IGFElement, IGFFrame> {
 public:
  RecordingFrame(std::vector<std::wstring>* calls, int hidden) : calls_(calls), hidden_(hidden) {}
  HRESULT FindElement(const wchar_t*, IGFElement**) override { return E_FAIL; }
  HRESULT SetConfig(const wchar_t* config) override {
    return Record(L"SetConfig(" + std::wstring(config ? config : L"null") + L")");
  }
  HRESULT GetUserData(IKZData**) override { return Record(L"GetUserData"); }
  HRESULT GetHidden(int* hidden) override {
    *hidden = hidden_;
    return Record(L"GetHidden");
  }
  HRESULT SetHidden(int hidden) override {
    return Record(L"SetHidden(" + std::to_wstring(hidden) + L")");
  }
  HRESULT SetMargin(RECT m) override {
    return Record(L"SetMargin(" + std::to_wstring(m.left) + L"," + std::to_wstring(m.top) + L"," +
                  std::to_wstring(m.right) + L"," + std::to_wstring(m.bottom) + L")");
  }
  HRESULT SetUserData(IKZData*) override { return Record(L"SetUserData"); }

 private:
  HRESULT Record(std::wstring call) {
    calls_->push_back(std::move(call));
    return S_OK;
  }
  std::vector<std::wstring>* calls_;
  int hidden_;
};

// A root whose FindElement answers from a table: a result code and an
// element (possibly null) for each name.
class TableRoot final : public RefCounted<IGFElement> {
 public:
  void Add(const wchar_t* name, HRESULT hr, IGFElement* element) {
    table_[name] = {hr, CKZComPtr<IGFElement>(element)};
  }
  HRESULT FindElement(const wchar_t* name, IGFElement** element) override {
    *element = nullptr;
    auto it = table_.find(name);
    if (it == table_.end()) return E_FAIL;
    it->second.second.CopyTo(element);
    return it->second.first;
  }

 private:
  std::map<std::wstring, std::pair<HRESULT, CKZComPtr<IGFElement>>> table_;
};

class UIElementTest : public platform::testing::PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    root_.Attach(new TableRoot);
    shown_.Attach(new RecordingFrame(&calls_, 0));
    hidden_.Attach(new RecordingFrame(&calls_, 1));
    ASSERT_EQ(platform::CreateGFElement(L"plain", false, &plain_), S_OK);
    root_->Add(L"shown", S_OK, shown_);
    root_->Add(L"hidden", S_OK, hidden_);
    root_->Add(L"plain", S_OK, plain_);
    root_->Add(L"failed", E_FAIL, shown_);  // a failing find with an element
  }
  void TearDown() override {
    root_ = nullptr;
    shown_ = nullptr;
    hidden_ = nullptr;
    plain_ = nullptr;
    PlatformTest::TearDown();
  }

  std::vector<std::wstring> calls_;
  CKZComPtr<TableRoot> root_;
  CKZComPtr<RecordingFrame> shown_;
  CKZComPtr<RecordingFrame> hidden_;
  CKZComPtr<IGFElement> plain_;
};

TEST_F(UIElementTest, SetsAttributesOnFoundFrames) {
  using Calls = std::vector<std::wstring>;
  wchar_t config[] = L"skin:blue";
  struct Case {
    const wchar_t* label;
    std::wstring name;
    int op;  // 0 SetConfig, 1 SetHidden(1), 2 SetHidden(0), 3 SetMargin
    IGFElement* expected;
    Calls calls;
  } cases[] = {
      {L"config", L"shown", 0, shown_, {L"SetConfig(skin:blue)"}},
      {L"hide a shown frame", L"shown", 1, shown_, {L"GetHidden", L"SetHidden(1)"}},
      {L"hide a hidden frame: no set", L"hidden", 1, hidden_, {L"GetHidden"}},
      {L"show a shown frame: no set", L"shown", 2, shown_, {L"GetHidden"}},
      {L"show a hidden frame", L"hidden", 2, hidden_, {L"GetHidden", L"SetHidden(0)"}},
      {L"margin", L"shown", 3, shown_, {L"SetMargin(1,2,3,4)"}},
      {L"no frame interface", L"plain", 0, plain_, {}},
      {L"failed find", L"failed", 0, shown_, {}},
      {L"missing element", L"missing", 1, nullptr, {}},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.label);
    calls_.clear();
    CKZComPtr<IGFElement> found;
    switch (c.op) {
      case 0:
        found = Util::UI::SetConfig(root_, c.name.data(), config);
        break;
      case 1:
        found = Util::UI::SetHidden(root_, c.name.data(), 1);
        break;
      case 2:
        found = Util::UI::SetHidden(root_, c.name.data(), 0);
        break;
      default:
        found = Util::UI::SetMargin(root_, c.name.data(), CRect(1, 2, 3, 4));
    }
    EXPECT_EQ(found.Get(), c.expected);
    EXPECT_EQ(calls_, c.calls);
  }
  // The element comes back with exactly one more reference, for the caller.
  const std::uint32_t before = shown_->RefCountForTesting();
  {
    wchar_t name[] = L"shown";
    CKZComPtr<IGFElement> found = Util::UI::SetHidden(root_, name, 1);
    EXPECT_EQ(shown_->RefCountForTesting(), before + 1);
  }
  EXPECT_EQ(shown_->RefCountForTesting(), before);
}

TEST_F(UIElementTest, NullRootOrName) {
  wchar_t name[] = L"shown";
  wchar_t config[] = L"x";
  EXPECT_FALSE(Util::UI::SetConfig(nullptr, name, config));
  EXPECT_FALSE(Util::UI::SetConfig(root_, nullptr, config));
  EXPECT_FALSE(Util::UI::SetHidden(nullptr, name, 1));
  EXPECT_FALSE(Util::UI::SetHidden(root_, nullptr, 1));
  EXPECT_FALSE(Util::UI::SetMargin(nullptr, name, CRect()));
  EXPECT_FALSE(Util::UI::SetMargin(root_, nullptr, CRect()));
  EXPECT_TRUE(calls_.empty());
  // A null configuration text is passed on as it is.
  EXPECT_TRUE(Util::UI::SetConfig(root_, name, nullptr));
  EXPECT_EQ(calls_, std::vector<std::wstring>{L"SetConfig(null)"});
}

TEST_F(UIElementTest, WorksOnThePlatformElementTree) {
  CKZComPtr<IGFElement> window, panel, title;
  platform::CreateGFElement(L"window", true, &window);
  platform::CreateGFElement(L"panel", false, &panel);
  platform::CreateGFElement(L"title", true, &title);
  platform::AppendGFElement(window, panel);
  platform::AppendGFElement(panel, title);
  wchar_t name[] = L"title";
  wchar_t config[] = L"bold";
  EXPECT_EQ(Util::UI::SetConfig(window, name, config).Get(), title.Get());
  Util::UI::SetHidden(window, name, 1);
  Util::UI::SetMargin(window, name, CRect(4, 3, 2, 1));
  platform::GFElementState state;
  ASSERT_EQ(platform::GetGFElementState(title, &state), S_OK);
  EXPECT_EQ(state.config, L"bold");
  EXPECT_EQ(state.hidden, 1);
  EXPECT_EQ(state.margin, CRect(4, 3, 2, 1));
}

}  // namespace

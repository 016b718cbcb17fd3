#include "wrenutil/chatsession.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/common/kzjson.h"
#include "platform/common/store.h"
#include "platform/kernelutil/calljournal.h"
#include "platform/testing/platform_test.h"

namespace {

using Notes = std::vector<std::wstring>;

class ChatSessionTest : public platform::testing::PlatformTest {
 protected:
  static constexpr DWORD kChat = 10002;
  void SetUp() override {
    PlatformTest::SetUp();
    platform::ResetChatFrames();
    platform::TakeCallJournal();
  }
  void TearDown() override {
    platform::KeepChatFramesInProfile(false);
    platform::ResetChatFrames();
    PlatformTest::TearDown();
  }
  static CKZComPtr<IKZData> Bag(const char* json) {
    CKZComPtr<IKZData> bag;
    EXPECT_EQ(platform::JsonToKZData(json, &bag, nullptr), S_OK);
    return bag;
  }
  static std::wstring Event(int event, DWORD chat = kChat, int type = 0) {
    return L"ChatFrameEvent(" + std::to_wstring(chat) + L", " + std::to_wstring(type) + L", " +
           std::to_wstring(event) + L")";
  }
  static std::vector<int> BarIds(DWORD chat = kChat, int type = 0) {
    std::vector<int> ids;
    for (const auto& bar : platform::GetChatBars(chat, type)) ids.push_back(bar.id);
    return ids;
  }
};

// The safe-bar write of the chat form writes its three fields in order, in
// front of the caller's own, and the frame keeps them all.
TEST_F(ChatSessionTest, ChatSafeBarWriteLeavesItsFieldsAndReturnsTheNewBar) {
  CKZComPtr<IKZData> tip = Bag(R"({"strTip": "只读会话"})");
  EXPECT_EQ(Util::ChatSession::WriteSafeBarTipInChatSession(kChat, 3, tip), 1);
  EXPECT_EQ(platform::KZDataToJson(tip),
            R"({"strTip":"只读会话","dwId":10002,"nChatType":{"@i32":3},"dwBlueBarType":1,)"
            R"("nBlueBarID":{"@i32":1}})");
  auto bars = platform::GetChatBars(kChat, 3);
  ASSERT_EQ(bars.size(), 1u);
  EXPECT_EQ(bars[0].bar_type, 1u);
  EXPECT_EQ(bars[0].fields->IsEqual(tip), S_OK);
  EXPECT_EQ(platform::TakeCallJournal(), Notes{Event(221, kChat, 3)});
}

// Which event each of the eight functions sends, and what it answers.
TEST_F(ChatSessionTest, EachFunctionSendsItsEvent) {
  CKZComPtr<IAFChatFrameType> frame;
  Util::ChatSession::CreateChatFrameType(kChat, 0, &frame, nullptr);
  const struct {
    const char* name;
    int (*call)(IAFChatFrameType*, IKZData*);
    int event;
  } kFrameForms[] = {
      {"AF write blue", Util::AFChatSession::WriteBlueBarTipInChatSession, 219},
      {"AF delete blue", Util::AFChatSession::DeleteBlueBarTipInChatSession, 220},
      {"AF write safe", Util::AFChatSession::WriteSafeBarTipInChatSession, 221},
      {"AF delete safe", Util::AFChatSession::DeleteSafeBarTipInChatSession, 222},
  };
  for (const auto& c : kFrameForms) {
    SCOPED_TRACE(c.name);
    CKZComPtr<IKZData> tip = Bag("{}");
    c.call(frame, tip);
    EXPECT_EQ(platform::TakeCallJournal(), Notes{Event(c.event)});
  }
  const struct {
    const char* name;
    int (*call)(DWORD, int, IKZData*);
    int event;
  } kChatForms[] = {
      {"write blue", Util::ChatSession::WriteBlueBarTipInChatSession, 219},
      {"delete blue", Util::ChatSession::DeleteBlueBarTipInChatSession, 220},
      {"write safe", Util::ChatSession::WriteSafeBarTipInChatSession, 221},
      {"delete safe sends the blue-bar delete", Util::ChatSession::DeleteSafeBarTipInChatSession,
       220},
  };
  for (const auto& c : kChatForms) {
    SCOPED_TRACE(c.name);
    CKZComPtr<IKZData> tip = Bag("{}");
    c.call(kChat, 0, tip);
    EXPECT_EQ(platform::TakeCallJournal(), Notes{Event(c.event)});
  }
}

// Because the chat form's safe delete sends 220, it removes a blue bar that
// the frame form's safe delete (222) refuses.
TEST_F(ChatSessionTest, SafeDeletesDifferBetweenTheFamilies) {
  CKZComPtr<IKZData> blue = Bag("{}");
  ASSERT_EQ(Util::ChatSession::WriteBlueBarTipInChatSession(kChat, 0, blue), 1);
  CKZComPtr<IAFChatFrameType> frame;
  Util::ChatSession::CreateChatFrameType(kChat, 0, &frame, nullptr);
  EXPECT_EQ(Util::AFChatSession::DeleteSafeBarTipInChatSession(frame, blue), S_FALSE);
  EXPECT_EQ(BarIds(), std::vector<int>{1});
  EXPECT_EQ(Util::ChatSession::DeleteSafeBarTipInChatSession(kChat, 0, blue), S_OK);
  EXPECT_TRUE(BarIds().empty());
  EXPECT_EQ(Util::ChatSession::DeleteBlueBarTipInChatSession(kChat, 0, blue), S_FALSE)
      << "a bar is deleted once";
}

TEST_F(ChatSessionTest, BarsGetNewIdentifiersAndAreDeletedByThem) {
  CKZComPtr<IKZData> a = Bag("{}"), b = Bag("{}"), c = Bag("{}");
  EXPECT_EQ(Util::ChatSession::WriteBlueBarTipInChatSession(kChat, 0, a), 1);
  EXPECT_EQ(Util::ChatSession::WriteSafeBarTipInChatSession(kChat, 0, b), 2);
  EXPECT_EQ(Util::ChatSession::WriteBlueBarTipInChatSession(kChat, 0, c), 3);
  EXPECT_EQ(Util::ChatSession::WriteBlueBarTipInChatSession(kChat, 1, Bag("{}")), 1)
      << "another chat type is another frame";
  EXPECT_EQ(Util::ChatSession::DeleteBlueBarTipInChatSession(kChat, 0, b), S_OK);
  EXPECT_EQ(BarIds(), (std::vector<int>{1, 3}));
  EXPECT_EQ(Util::ChatSession::WriteBlueBarTipInChatSession(kChat, 0, b), 4)
      << "identifiers are not reused";
}

// -1 whenever there is nothing to read back; the event still goes out.
TEST_F(ChatSessionTest, WritesAnswerMinusOneWithoutAnIdentifier) {
  EXPECT_EQ(Util::ChatSession::WriteBlueBarTipInChatSession(kChat, 0, nullptr), -1);
  EXPECT_EQ(Util::ChatSession::WriteSafeBarTipInChatSession(kChat, 0, nullptr), -1);
  EXPECT_EQ(Util::AFChatSession::WriteBlueBarTipInChatSession(nullptr, nullptr), -1);
  EXPECT_EQ(Util::AFChatSession::WriteSafeBarTipInChatSession(nullptr, nullptr), -1);
  EXPECT_EQ(platform::TakeCallJournal(), (Notes{Event(219), Event(221)}))
      << "a null frame type gets no further than the platform's check";
  EXPECT_TRUE(BarIds().empty());

  // A frame that leaves no identifier: the null frame type refuses the event.
  CKZComPtr<IKZData> tip = Bag("{}");
  EXPECT_EQ(Util::AFChatSession::WriteSafeBarTipInChatSession(nullptr, tip), -1);
  EXPECT_EQ(platform::KZDataToJson(tip), R"({"dwBlueBarType":1})");
  // Chat 0 has no frame type: the request goes out with null.
  EXPECT_EQ(Util::ChatSession::WriteBlueBarTipInChatSession(0, 0, tip), -1);
}

TEST_F(ChatSessionTest, DeletesPassTheFramesRefusals) {
  CKZComPtr<IKZData> no_id = Bag("{}");
  EXPECT_EQ(Util::ChatSession::DeleteBlueBarTipInChatSession(kChat, 0, nullptr), E_INVALIDARG);
  EXPECT_EQ(Util::ChatSession::DeleteSafeBarTipInChatSession(kChat, 0, no_id), E_INVALIDARG);
  EXPECT_EQ(Util::AFChatSession::DeleteBlueBarTipInChatSession(nullptr, no_id), E_POINTER);
  EXPECT_EQ(Util::AFChatSession::DeleteSafeBarTipInChatSession(nullptr, nullptr), E_POINTER);
  EXPECT_EQ(Util::ChatSession::DeleteBlueBarTipInChatSession(0, 0, no_id), E_POINTER);

  CKZComPtr<IAFChatFrameType> frame;
  Util::ChatSession::CreateChatFrameType(kChat, 0, &frame, nullptr);
  EXPECT_EQ(
      Util::AFChatSession::ChatFrameEvent(frame, static_cast<ChatFrame::CFEventType>(218), no_id),
      E_INVALIDARG);
  EXPECT_EQ(Util::ChatSession::CreateChatFrameType(kChat, 0, nullptr, nullptr), E_POINTER);
}

// Frames kept in the profile store outlive what the process holds in memory,
// and a damaged frame is a failure of the event, not an empty frame.
TEST_F(ChatSessionTest, FramesKeptInTheProfileOutliveTheProcessState) {
  platform::KeepChatFramesInProfile(true);
  CKZComPtr<IKZData> tip = Bag(R"({"strTip": "x"})");
  EXPECT_EQ(Util::ChatSession::WriteSafeBarTipInChatSession(kChat, 0, tip), 1);
  EXPECT_EQ(Util::ChatSession::WriteBlueBarTipInChatSession(kChat, 0, Bag("{}")), 2);
  platform::ResetChatFrames();
  auto bars = platform::GetChatBars(kChat, 0);
  ASSERT_EQ(bars.size(), 2u);
  EXPECT_EQ(bars[0].bar_type, 1u);
  EXPECT_EQ(bars[0].fields->IsEqual(tip), S_OK);
  EXPECT_EQ(Util::ChatSession::DeleteSafeBarTipInChatSession(kChat, 0, tip), S_OK);
  EXPECT_EQ(BarIds(), std::vector<int>{2});
  EXPECT_EQ(Util::ChatSession::WriteBlueBarTipInChatSession(kChat, 0, Bag("{}")), 3);

  constexpr const char* kSteps[] = {"unused: the table exists"};
  ASSERT_EQ(platform::RunInProfile({"chat_frames", kSteps}, platform::StoreAccess::kWrite,
                                   [](platform::sql::Db& db) {
                                     return db.Exec("UPDATE chat_frames SET frame = x'00'")
                                                ? S_OK
                                                : KZ_E_STORE;
                                   }),
            S_OK);
  EXPECT_EQ(Util::ChatSession::WriteBlueBarTipInChatSession(kChat, 0, Bag("{}")), -1);
  EXPECT_EQ(Util::ChatSession::DeleteBlueBarTipInChatSession(kChat, 0, tip), KZ_E_STORE_BADDATA);
  EXPECT_NE(platform::LastStoreError().find("chat frame (10002, 0)"), std::string::npos)
      << platform::LastStoreError();
  EXPECT_TRUE(BarIds().empty());
}

}  // namespace

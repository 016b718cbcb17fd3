#include "wrenutil/utilwrenconfigcenter.h"

#include <gtest/gtest.h>

#include <string>

#include "af/include/commonserverconfigdef.h"
#include "platform/common/convert.h"
#include "platform/common/kzjson.h"
#include "platform/kernelutil/serverconfig.h"
#include "platform/testing/platform_test.h"

namespace {

class ConfigCenterTest : public platform::testing::PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    platform::CreateMemoryCommonServerConfigService(&items_);
    platform::CreateMemoryMainAccountConfigService(&account_);
    AddService(IKZCommonServerConfigService::kIid, items_);
    AddService(IKZMainAccountConfigService::kIid, account_);
  }
  void TearDown() override {
    items_ = nullptr;
    account_ = nullptr;
    PlatformTest::TearDown();
  }
  void SetProtocols(const std::string& content) { items_->SetConfigContent(18, 2, content); }
  // The JSON of the converted item, or the result code in hex.
  std::string Converted(DWORD type, DWORD sub) {
    CKZComPtr<IKZData> bag;
    long hr = GetCommonServerConfigData(type, sub, &bag);
    if (hr != 0) {
      char text[32];
      std::snprintf(text, sizeof text, "0x%08X%s", static_cast<unsigned>(hr),
                    bag ? " with a bag" : "");
      return text;
    }
    return platform::KZDataToJson(bag);
  }
  CKZComPtr<IKZCommonServerConfigHost> items_;
  CKZComPtr<IKZMainAccountConfigHost> account_;
};

TEST_F(ConfigCenterTest, ProtocolIsCCOnlyForTypeZeroInTheFirstRecord) {
  const struct {
    const char* xml;
    int expected;
  } kCases[] = {
      {R"(<c><SessionProtocol ProtoType="0"/></c>)", 1},
      {"\xEF\xBB\xBF<c><SessionProtocol ProtoType=\"0\"/></c>", 1},
      {R"(<c><SessionProtocol ProtoType="1"/></c>)", 0},
      {R"(<c><SessionProtocol ProtoType=""/></c>)", 0},
      {R"(<c><SessionProtocol ProtoType=" 0"/></c>)", 0},
      {R"(<c><SessionProtocol ProtoType="00"/></c>)", 0},
      {R"(<c><SessionProtocol/><SessionProtocol ProtoType="0"/></c>)", 0},
      {R"(<c><SessionProtocol ProtoType="0"/><SessionProtocol ProtoType="1"/></c>)", 1},
      {R"(<c><SessionProtocol><ProtoType>0</ProtoType></SessionProtocol></c>)", 0},
      {R"(<c ProtoType="0"/>)", 0},
      {"<c/>", 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.xml);
    SetProtocols(c.xml);
    EXPECT_EQ(Util::WRENConfigCenter::IsSendByCCProtoWithCSC(), c.expected);
  }
  EXPECT_TRUE(asserts().empty());
}

TEST_F(ConfigCenterTest, ConfigurationItemResults) {
  CKZComPtr<IKZData> no_buffer;
  Util::Data::CreateKZData(&no_buffer);
  no_buffer->SetStr("CommonServerConfig_bufContent", L"<c/>");  // a text, not a buffer
  items_->SetConfigItem(5, 1, no_buffer);
  items_->SetConfigContent(5, 2, "\xEF\xBB\xBF\xEF\xBB\xBF<c/>");  // one mark is skipped
  items_->SetConfigContent(5, 3, "<c a='\xFF'/>");                 // decoded with U+FFFD
  items_->SetConfigContent(5, 4, "");
  items_->SetConfigContent(5, 5, "\xEF\xBB\xBF<c><d>x</d></c>");

  EXPECT_EQ(Converted(5, 9), "0x80070057");
  EXPECT_EQ(Converted(5, 1), "0x80004003");
  EXPECT_EQ(Converted(5, 2), "0x80004005 with a bag");
  EXPECT_EQ(Converted(5, 3), R"({"a":"�"})");
  EXPECT_EQ(Converted(5, 4), "0x80004005 with a bag");
  EXPECT_EQ(Converted(5, 5), R"({"d":[{"#text":"x"}]})");
  EXPECT_EQ(GetCommonServerConfigData(5, 5, nullptr), static_cast<long>(E_INVALIDARG));
  ASSERT_EQ(asserts().size(), 2u);
  for (const auto& a : asserts()) {
    EXPECT_EQ(a.expression, L"FALSE");
    EXPECT_EQ(a.file, L"af\\include\\commonserverconfigdef");
    EXPECT_EQ(a.line, 929);
  }

  SetProtocols("<c><SessionProtocol ProtoType=\"0\"/>");
  EXPECT_EQ(Util::WRENConfigCenter::IsSendByCCProtoWithCSC(), 0);
  EXPECT_EQ(asserts().size(), 3u) << "an item that does not convert asserts";

  AddService(IKZCommonServerConfigService::kIid, nullptr);
  EXPECT_EQ(Converted(18, 2), "0x80070057");
  EXPECT_EQ(Util::WRENConfigCenter::IsSendByCCProtoWithCSC(), 0);
  EXPECT_EQ(asserts().size(), 3u);
}

TEST_F(ConfigCenterTest, MainAccountSettingIsReturnedAsItIsAndLoggedAsAFlag) {
  const struct {
    bool set;
    DWORD value;
    int expected;
    const wchar_t* logged;
  } kCases[] = {
      {false, 0, 0, L"0"}, {true, 0, 0, L"0"},           {true, 1, 1, L"1"},
      {true, 2, 2, L"1"},  {true, 0xFFFFFFFF, -1, L"1"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.value);
    if (c.set) account_->SetConfigDWord(6, c.value);
    ClearLogs();
    EXPECT_EQ(Util::WRENConfigCenter::IsSendByCCProtoWithSvr(), c.expected);
    ASSERT_EQ(logs().size(), 1u);
    EXPECT_EQ(logs()[0].level, 2);
    EXPECT_EQ(logs()[0].module, L"WRENConfigCenter");
    EXPECT_EQ(logs()[0].function, L"Util::WRENConfigCenter::IsSendByCCProtoWithSvr");
    EXPECT_EQ(logs()[0].message,
              std::wstring(L"Util::WRENConfigCenter::IsSendByCCProtoWithSvr 该主号配置 "
                           L"SendByCCProto : ") +
                  c.logged);
  }
  AddService(IKZMainAccountConfigService::kIid, nullptr);
  ClearLogs();
  EXPECT_EQ(Util::WRENConfigCenter::IsSendByCCProtoWithSvr(), 0);
  EXPECT_EQ(logs().size(), 1u) << "logs without the service too";
}

}  // namespace

namespace {

class PickerTest : public platform::testing::PlatformTest {
 protected:
  void TearDown() override {
    platform::SetShellAllocatorAvailable(true);
    EXPECT_EQ(platform::ComInitCount(), 0) << "COM is uninitialised again";
    EXPECT_EQ(platform::LiveItemIdLists(), 0) << "item lists are freed";
    PlatformTest::TearDown();
  }
  HWND owner_ = reinterpret_cast<HWND>(static_cast<std::intptr_t>(0x1234));
};

TEST_F(PickerTest, FileDialogShowsOnlyWithAnOwner) {
  EXPECT_EQ(Util::WRENConfigCenter::GetSelectFileFullName(nullptr, L"a.txt", L"Text|*.txt||"), L"");
  EXPECT_TRUE(dialogs().Transcript().empty()) << "nothing shown without an owner";

  dialogs().QueueAnswer(platform::DialogAnswer::Confirm(L"/home/u/a.txt"));
  EXPECT_EQ(Util::WRENConfigCenter::GetSelectFileFullName(owner_, L"a.txt", L"Text|*.txt||"),
            L"/home/u/a.txt");
  dialogs().QueueAnswer(platform::DialogAnswer::Cancel());
  EXPECT_EQ(Util::WRENConfigCenter::GetSelectFileFullName(owner_, nullptr, nullptr), L"");
  ASSERT_EQ(dialogs().requests().size(), 2u);
  const platform::DialogRequest r = dialogs().requests()[0];
  EXPECT_EQ(r.kind, platform::DialogKind::kFileDialog);
  EXPECT_EQ(r.owner, owner_);
  EXPECT_EQ(r.open, 1);
  EXPECT_EQ(r.style, 0x88002Eu);
  EXPECT_EQ(r.text, L"a.txt");
  EXPECT_EQ(r.filter, L"Text|*.txt||");
  EXPECT_EQ(r.default_ext, L"");
}

TEST_F(PickerTest, FolderPickerPreselectsTheTrimmedFolder) {
  const struct {
    const wchar_t* initial;
    const wchar_t* selected;
  } kCases[] = {
      {L"  /home/u/文档", L"/home/u/文档"},
      {L"/tmp", L"/tmp"},
      {L"   ", L""},
      {L"\t/x", L"\t/x"},  // only spaces are trimmed
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << '"' << Util::Convert::Utf8FromWS(c.initial, -1).str());
    dialogs().QueueAnswer(platform::DialogAnswer::Confirm(L"/home/u/chosen"));
    EXPECT_EQ(Util::WRENConfigCenter::GetSelectPath(owner_, c.initial), L"/home/u/chosen");
    const platform::DialogRequest r = dialogs().requests().back();
    EXPECT_EQ(r.kind, platform::DialogKind::kFolderPicker);
    EXPECT_EQ(r.owner, owner_);
    EXPECT_EQ(r.style, 0x41u);
    EXPECT_EQ(r.folder, c.selected);
    // The preselection is a selection change: its path becomes the status.
    EXPECT_EQ(r.text, c.selected);
    platform::FolderPickerState picker = platform::LastFolderPicker();
    EXPECT_TRUE(picker.topmost);
    EXPECT_EQ(picker.placement_flags, 3u);
  }
  EXPECT_TRUE(asserts().empty());
}

TEST_F(PickerTest, FolderPickerWithoutInitialFolderAssertsAndStillShows) {
  dialogs().QueueAnswer(platform::DialogAnswer::Cancel());
  EXPECT_EQ(Util::WRENConfigCenter::GetSelectPath(nullptr, nullptr), L"");
  ASSERT_EQ(asserts().size(), 1u);
  EXPECT_EQ(asserts()[0].expression, L"FALSE");
  EXPECT_EQ(asserts()[0].file, L"wrenutil\\utilwrenconfigcenter");
  EXPECT_EQ(asserts()[0].line, 17);
  ASSERT_EQ(dialogs().requests().size(), 1u);
  EXPECT_EQ(dialogs().requests()[0].folder, L"");
  EXPECT_FALSE(platform::LastFolderPicker().topmost);
  EXPECT_EQ(platform::LastFolderPicker().callbacks, 1) << "no selection, no change";
}

TEST_F(PickerTest, FolderPickerFailuresGiveTheEmptyText) {
  platform::SetShellAllocatorAvailable(false);
  EXPECT_EQ(Util::WRENConfigCenter::GetSelectPath(owner_, L"/tmp"), L"");
  EXPECT_TRUE(dialogs().requests().empty()) << "nothing shown without the allocator";
  platform::SetShellAllocatorAvailable(true);

  dialogs().QueueAnswer(platform::DialogAnswer::Confirm(L"/" + std::wstring(MAX_PATH, L'x')));
  EXPECT_EQ(Util::WRENConfigCenter::GetSelectPath(owner_, L"/tmp"), L"")
      << "a path longer than the buffer";
}

TEST_F(PickerTest, CallbackIgnoresOtherWindowsAndMessages) {
  LPARAM folder = reinterpret_cast<LPARAM>(L"/tmp");
  EXPECT_EQ(wrenutil::internal::GetSelectPathCallback(owner_, BFFM_INITIALIZED, 0, folder), 0);
  EXPECT_EQ(wrenutil::internal::GetSelectPathCallback(owner_, BFFM_SELCHANGED, 0, folder), 0);
  EXPECT_EQ(wrenutil::internal::GetSelectPathCallback(nullptr, 99, 0, 0), 0);
  EXPECT_EQ(SendMessageW(owner_, BFFM_SETSTATUSTEXTW, 0, folder), 0);
  EXPECT_EQ(SHGetPathFromIDListW(nullptr, nullptr), 0);
  EXPECT_EQ(SHGetMalloc(nullptr), E_POINTER);
  EXPECT_EQ(SHBrowseForFolderW(nullptr), nullptr);
  EXPECT_TRUE(asserts().empty());
}

}  // namespace

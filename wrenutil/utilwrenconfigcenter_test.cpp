#include "wrenutil/utilwrenconfigcenter.h"

#include <gtest/gtest.h>

#include <string>

#include "af/include/commonserverconfigdef.h"
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

#include "platform/common/kzxml.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "platform/common/kzdata.h"
#include "platform/common/kzjson.h"
#include "platform/common/kzstring.h"
#include "platform/testing/platform_test.h"

namespace {

class KZXmlTest : public platform::testing::PlatformTest {
 protected:
  // The JSON of the bag converted from `xml`, or "error: ..." on failure.
  static std::string Convert(std::string_view xml) {
    CKZComPtr<IKZData> bag;
    Util::Data::CreateKZData(&bag);
    std::string message;
    if (FAILED(platform::XmlToKZData(xml, bag, &message))) return "error: " + message;
    EXPECT_FALSE(message.empty()) << "the root's name";
    return platform::KZDataToJson(bag);
  }
};

TEST_F(KZXmlTest, ElementsAttributesAndTextMapToFields) {
  const struct {
    const char* xml;
    const char* json;
  } kCases[] = {
      {R"(<Config><SessionProtocol ProtoType="0"/></Config>)",
       R"({"SessionProtocol":[{"ProtoType":"0"}]})"},
      {R"(<c><p a="1"/><q/><p a="2"><p/></p></c>)",
       R"({"p":[{"a":"1"},{"a":"2","p":[{}]}],"q":[{}]})"},
      {"<c v=\"x\">\n  <e>\n  </e>\n</c>", R"({"v":"x","e":[{}]})"},
      {"<c>a<![CDATA[<b>]]>&amp;c&#x4E2D;</c>", R"({"#text":"a<b>&c中"})"},
      {"<?xml version=\"1.0\" encoding=\"GBK\"?><!-- x --><c n=\"曾\"><?pi x?></c>",
       R"({"n":"曾"})"},
      {"\xEF\xBB\xBF<c/>", "{}"},
      {R"(<ns:c xmlns:ns="u" ns:a="1"/>)", R"({"xmlns:ns":"u","ns:a":"1"})"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.xml);
    EXPECT_EQ(Convert(c.xml), c.json);
  }
}

// Everything that must fail, and fail fast and small: the target stays as
// it was.
TEST_F(KZXmlTest, BadDocumentsFailWithAMessage) {
  std::string deep;
  for (int i = 0; i < 10000; ++i) deep += "<a>";
  for (int i = 0; i < 10000; ++i) deep += "</a>";
  std::string wide_flat = "<r>";
  for (int i = 0; i < 200001; ++i) wide_flat += "<a/>";
  wide_flat += "</r>";
  const std::string bomb =
      "<?xml version=\"1.0\"?><!DOCTYPE l [<!ENTITY a \"aaaaaaaaaa\">"
      "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
      "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;\">]>"
      "<l>&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;</l>";
  const struct {
    const char* name;
    std::string xml;
    const char* message;
  } kCases[] = {
      {"empty", "", "no element found"},
      {"only a mark", "\xEF\xBB\xBF", "no element found"},
      {"unclosed", "<a><b></a>", "line 1, column 9: mismatched tag"},
      {"two roots", "<a/><b/>", "junk after document element"},
      {"invalid UTF-8", "<a>\xC3\x28</a>", "not well-formed"},
      {"overlong UTF-8", "<a>\xC0\xAF</a>", "not well-formed"},
      {"entity bomb", bomb, "document type declarations are not accepted"},
      {"external entity", "<!DOCTYPE a SYSTEM \"/etc/passwd\"><a/>", "document type"},
      {"undeclared entity", "<a>&x;</a>", "undefined entity"},
      {"deep", deep, "nested deeper than 256 levels"},
      {"many elements", wide_flat, "more than 200000 elements"},
      {"attribute and element", R"(<a x="1"><x/></a>)",
       "\"x\" is both an attribute and an element"},
      {"zero byte", std::string("<a>\0</a>", 8), "not well-formed"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    CKZComPtr<IKZData> bag;
    Util::Data::CreateKZData(&bag);
    bag->SetDWord("kept", 7);
    std::string message;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(platform::XmlToKZData(c.xml, bag, &message), E_INVALIDARG);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_NE(message.find(c.message), std::string::npos) << message;
    EXPECT_EQ(platform::KZDataToJson(bag), R"({"kept":7})");
    CKZComPtr<IKZData> empty;  // filled in place, so emptied again
    Util::Data::CreateKZData(&empty);
    EXPECT_EQ(platform::XmlToKZData(c.xml, empty, nullptr), E_INVALIDARG);
    EXPECT_EQ(platform::KZDataToJson(empty), "{}");
  }
  platform::XmlLimits small;
  small.max_bytes = 5;
  CKZComPtr<IKZData> bag;
  Util::Data::CreateKZData(&bag);
  std::string message;
  EXPECT_EQ(platform::XmlToKZData("<abc/>", bag, &message, small), E_INVALIDARG);
  EXPECT_EQ(message, "the document has more than 5 bytes");
  EXPECT_EQ(platform::XmlToKZData("<a/>", nullptr, &message), E_POINTER);
}

TEST_F(KZXmlTest, ConvertedFieldsJoinTheTarget) {
  CKZComPtr<IKZData> bag;
  Util::Data::CreateKZData(&bag);
  bag->SetDWord("kept", 1);
  bag->SetDWord("a", 2);
  std::string root;
  ASSERT_EQ(platform::XmlToKZData(R"(<Root a="x"/>)", bag, &root), S_OK);
  EXPECT_EQ(root, "Root");
  EXPECT_EQ(platform::KZDataToJson(bag), R"({"kept":1,"a":"x"})");
  EXPECT_EQ(platform::XmlToKZData("<a/>", bag, nullptr), S_OK);
}

// The wide entry point: the same conversion, with the checks that belong to
// decoded text.
TEST_F(KZXmlTest, WideEntryPoint) {
  const struct {
    const char* name;
    std::wstring xml;
    int result;
    const wchar_t* message;
  } kCases[] = {
      {"converts", L"<Config><SessionProtocol ProtoType=\"0\"/></Config>", 1, L"Config"},
      {"Chinese root", L"<配置/>", 1, L"配置"},
      {"empty", L"", 0, L"the text is empty"},
      {"mark", L"\xFEFF<a/>", 0, L"the text starts with a byte-order mark"},
      {"surrogate", L"<a>\xD800</a>", 0, L"character 3 is not a Unicode scalar value"},
      {"beyond Unicode", std::wstring(L"<a>") + static_cast<wchar_t>(0x110000) + L"</a>", 0,
       L"character 3 is not a Unicode scalar value"},
      {"malformed", L"<a>", 0, L"line 1, column 4: no element found"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    CKZComPtr<IKZData> bag;
    Util::Data::CreateKZData(&bag);
    CKZBSTR xml(c.xml.c_str());
    if (c.xml.empty()) xml.Attach(SysAllocStringLen(L"", 0));
    CKZBSTR message;
    EXPECT_EQ(Util::Convert::ConvertXMLStrToKZData(xml, &message, bag, nullptr), c.result);
    EXPECT_STREQ(message.c_str(), c.message);
  }
  CKZComPtr<IKZData> bag;
  Util::Data::CreateKZData(&bag);
  CKZBSTR xml(L"<a/>");
  EXPECT_EQ(Util::Convert::ConvertXMLStrToKZData(nullptr, nullptr, bag, nullptr), 0);
  EXPECT_EQ(Util::Convert::ConvertXMLStrToKZData(xml, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(Util::Convert::ConvertXMLStrToKZData(xml, nullptr, bag, bag), 1);
}

}  // namespace

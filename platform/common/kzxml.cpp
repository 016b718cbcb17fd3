#include "platform/common/kzxml.h"

#include <expat.h>

#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "platform/common/convert.h"
#include "platform/common/kzdata.h"
#include "platform/common/kzptr.h"

namespace {

struct Open {
  CKZComPtr<IKZData> record;
  std::string text;
};

class Builder {
 public:
  Builder(XML_Parser parser, IKZData* root, const platform::XmlLimits& limits)
      : parser_(parser), root_(root), limits_(limits) {}

  void Start(const char* name, const char** attributes) {
    if (failed()) return;
    if (++elements_ > limits_.max_elements) {
      return Fail("more than " + std::to_string(limits_.max_elements) + " elements");
    }
    if (static_cast<int>(stack_.size()) >= limits_.max_depth) {
      return Fail("elements nested deeper than " + std::to_string(limits_.max_depth) + " levels");
    }
    CKZComPtr<IKZData> record;
    if (stack_.empty()) {
      if (root_name_.empty()) root_name_ = name;
      record = root_;
    } else {
      if (!Util::Data::CreateKZData(&record)) return Fail("out of memory");
      IKZData* parent = stack_.back().record;
      BYTE type = 0;
      parent->GetFieldType(name, &type);
      CKZComPtr<IKZArray> list;
      if (type == KZ_TYPE_KZARRAY) {
        parent->GetKZArray(name, &list);
      } else if (type != KZ_TYPE_NONE) {
        return Fail(std::string("\"") + name + "\" is both an attribute and an element");
      } else if (!Util::Data::CreateKZArray(&list) || FAILED(parent->SetKZArray(name, list))) {
        return Fail("cannot store the element \"" + std::string(name) + "\"");
      }
      if (!list || FAILED(list->AddKZData(record))) {
        return Fail("cannot store the element \"" + std::string(name) + "\"");
      }
    }
    for (const char** a = attributes; a != nullptr && a[0] != nullptr; a += 2) {
      CKZStringW value = Util::Convert::Utf8ToWS(a[1], -1);
      if (FAILED(record->SetStr(a[0], value.GetString()))) {
        return Fail(std::string("cannot store the attribute \"") + a[0] + "\"");
      }
    }
    stack_.push_back({std::move(record), {}});
  }

  void End() {
    if (failed() || stack_.empty()) return;
    Open& open = stack_.back();
    if (open.text.find_first_not_of(" \t\r\n") != std::string::npos) {
      CKZStringW text =
          Util::Convert::Utf8ToWS(open.text.data(), static_cast<int>(open.text.size()));
      open.record->SetStr("#text", text.GetString());
    }
    stack_.pop_back();
  }

  void Text(const char* data, int length) {
    if (failed() || stack_.empty()) return;
    stack_.back().text.append(data, static_cast<std::size_t>(length));
  }

  void Fail(std::string message) {
    if (failed()) return;
    error_ = "line " + std::to_string(XML_GetCurrentLineNumber(parser_)) + ", column " +
             std::to_string(XML_GetCurrentColumnNumber(parser_) + 1) + ": " + std::move(message);
    XML_StopParser(parser_, XML_FALSE);
  }

  bool failed() const { return !error_.empty(); }
  const std::string& error() const { return error_; }
  const std::string& root_name() const { return root_name_; }

 private:
  XML_Parser parser_;
  IKZData* root_;
  const platform::XmlLimits& limits_;
  std::vector<Open> stack_;
  std::size_t elements_ = 0;
  std::string root_name_;
  std::string error_;
};

// Removes every field of `data`.
void Empty(IKZData* data) {
  DWORD count = 0;
  data->GetFieldCount(&count);
  while (count > 0) {
    CKZBSTR name;
    if (FAILED(data->GetFieldName(count - 1, &name)) || FAILED(data->RemoveField(name.c_str()))) {
      return;
    }
    --count;
  }
}

struct ParserFree {
  void operator()(XML_ParserStruct* p) const { XML_ParserFree(p); }
};

}  // namespace

namespace platform {

HRESULT XmlToKZData(std::string_view utf8, IKZData* target, std::string* root_or_error,
                    const XmlLimits& limits) {
  std::string scratch;
  std::string& out = root_or_error != nullptr ? *root_or_error : scratch;
  out.clear();
  if (target == nullptr) return E_POINTER;
  if (utf8.size() > limits.max_bytes) {
    out = "the document has more than " + std::to_string(limits.max_bytes) + " bytes";
    return E_INVALIDARG;
  }
  std::unique_ptr<XML_ParserStruct, ParserFree> parser(XML_ParserCreate("UTF-8"));
  // An empty target is filled in place (and emptied again on failure); one
  // that holds fields gets the converted ones copied in only on success.
  DWORD held = 0;
  target->GetFieldCount(&held);
  CKZComPtr<IKZData> root;
  if (held == 0) {
    root = target;
  } else if (!Util::Data::CreateKZData(&root)) {
    root = nullptr;
  }
  if (!parser || !root) {
    out = "out of memory";
    return E_OUTOFMEMORY;
  }
  Builder builder(parser.get(), root, limits);
  XML_SetUserData(parser.get(), &builder);
  XML_SetElementHandler(
      parser.get(),
      [](void* b, const XML_Char* name, const XML_Char** attributes) {
        static_cast<Builder*>(b)->Start(name, attributes);
      },
      [](void* b, const XML_Char*) { static_cast<Builder*>(b)->End(); });
  XML_SetCharacterDataHandler(parser.get(), [](void* b, const XML_Char* data, int length) {
    static_cast<Builder*>(b)->Text(data, length);
  });
  XML_SetStartDoctypeDeclHandler(
      parser.get(), [](void* b, const XML_Char*, const XML_Char*, const XML_Char*, int) {
        static_cast<Builder*>(b)->Fail("document type declarations are not accepted");
      });

  // Expat takes an int length; the limit keeps the size far below it.
  XML_Status status = XML_Parse(parser.get(), utf8.data(), static_cast<int>(utf8.size()), 1);
  if (builder.failed() || status != XML_STATUS_OK) {
    out = builder.failed()
              ? builder.error()
              : "line " + std::to_string(XML_GetCurrentLineNumber(parser.get())) + ", column " +
                    std::to_string(XML_GetCurrentColumnNumber(parser.get()) + 1) + ": " +
                    XML_ErrorString(XML_GetErrorCode(parser.get()));
    if (root.Get() == target) Empty(target);
    return E_INVALIDARG;
  }
  HRESULT hr = root.Get() == target ? S_OK : root->CopyTo(target);
  if (FAILED(hr)) {
    out = "cannot copy the converted fields into the target";
    return hr;
  }
  out = builder.root_name();
  return S_OK;
}

}  // namespace platform

namespace Util::Convert {

int ConvertXMLStrToKZData(BSTR xml, BSTR* message, IKZData* target, IKZData*) {
  std::string text;
  HRESULT hr = E_INVALIDARG;
  std::uint32_t length = SysStringLen(xml);
  if (target == nullptr) {
    text = "no target bag";
  } else if (length == 0) {
    text = "the text is empty";
  } else if (xml[0] == 0xFEFF) {
    text = "the text starts with a byte-order mark";
  } else {
    hr = S_OK;
    for (std::uint32_t i = 0; i < length; ++i) {
      auto c = static_cast<std::uint32_t>(xml[i]);
      if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        text = "character " + std::to_string(i) + " is not a Unicode scalar value";
        hr = E_INVALIDARG;
        break;
      }
    }
    if (SUCCEEDED(hr)) {
      CKZStringA utf8 = Utf8FromWS(xml, static_cast<int>(length));
      hr = platform::XmlToKZData(utf8.str(), target, &text);
    }
  }
  if (message != nullptr) *message = SysAllocString(Utf8ToWS(text.data(), -1).GetString());
  return SUCCEEDED(hr) ? 1 : 0;
}

}  // namespace Util::Convert

#include "platform/afutil/inputdialog.h"

#include <utility>

#include "platform/common/kzdata.h"
#include "platform/common/kzptr.h"
#include "platform/common/kzstring.h"
#include "platform/common/refcounted.h"
#include "platform/kernelutil/calljournal.h"

namespace platform {
namespace {

std::size_t Utf8Length(wchar_t ch) {
  const auto c = static_cast<std::uint32_t>(ch);
  return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

std::wstring ReadText(IKZData* bag, const char* name) {
  CKZBSTR text;
  bag->GetStr(name, &text);
  return text.c_str();
}

class InputDialog : public RefCounted<IKZInputDialog> {
 public:
  explicit InputDialog(InputAsker asker) : asker_(std::move(asker)) {}
  HRESULT DoModal(IKZData* bag, IGFFrame*, int* result) override {
    if (bag == nullptr || result == nullptr) return E_POINTER;
    std::wstring answer = ReadText(bag, "strInputText");
    if (!asker_(ReadText(bag, "strTitle"), ReadText(bag, "strPromptText"), &answer)) {
      *result = 1;
      return S_OK;
    }
    DWORD limit = 0;
    bag->GetDWord("nLimitLength", &limit);
    const bool utf8 = ReadText(bag, "strLimitType") == L"UTF8";
    bag->SetStr("strInputText", LimitInputText(answer, limit, utf8).c_str());
    *result = 0;
    return S_OK;
  }

 private:
  InputAsker asker_;
};

class MainFrame : public RefCounted<IKZMainFrameService> {
 public:
  HRESULT GetMainFrame(IGFFrame** frame) override {
    if (frame == nullptr) return E_POINTER;
    *frame = nullptr;
    return E_FAIL;
  }
  HRESULT BeginModal() override {
    NoteCall(L"MainFrame.BeginModal");
    return S_OK;
  }
  HRESULT EndModal() override {
    NoteCall(L"MainFrame.EndModal");
    return S_OK;
  }
};

}  // namespace

std::wstring LimitInputText(const std::wstring& text, DWORD limit, bool utf8) {
  if (limit == 0) return text;
  std::size_t used = 0, keep = 0;
  for (wchar_t ch : text) {
    std::size_t size = utf8 ? Utf8Length(ch) : 1;
    if (used + size > limit) break;
    used += size;
    ++keep;
  }
  return text.substr(0, keep);
}

HRESULT RegisterInputDialog(IKZCoreHost* core, InputAsker asker) {
  if (core == nullptr) return E_POINTER;
  if (!asker) return E_INVALIDARG;
  return core->RegisterFactory(IKZInputDialog::kIid, [asker](REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    auto* dialog = new InputDialog(asker);
    HRESULT hr = dialog->QueryInterface(iid, out);
    dialog->Release();
    return hr;
  });
}

HRESULT CreateMemoryMainFrameService(IKZMainFrameService** service) {
  if (service == nullptr) return E_POINTER;
  *service = new MainFrame();
  return S_OK;
}

}  // namespace platform

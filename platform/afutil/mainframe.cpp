#include "platform/afutil/mainframe.h"

#include "platform/common/kzptr.h"
#include "platform/common/refcounted.h"
#include "platform/gf/gf_element.h"
#include "platform/kernelutil/calljournal.h"

namespace platform {
namespace {

class MainFrame : public RefCounted<IKZMainFrameService> {
 public:
  explicit MainFrame(IGFFrame* frame) : frame_(frame) {}
  HRESULT GetMainFrame(IGFFrame** frame) override {
    if (frame == nullptr) return E_POINTER;
    *frame = nullptr;
    if (!frame_) return E_FAIL;
    return frame_.CopyTo(frame);
  }
  HRESULT BeginModal() override {
    NoteCall(L"MainFrame.BeginModal");
    return S_OK;
  }
  HRESULT EndModal() override {
    NoteCall(L"MainFrame.EndModal");
    return S_OK;
  }

 private:
  CKZComPtr<IGFFrame> frame_;
};

}  // namespace

HRESULT CreateMemoryMainFrameService(IKZMainFrameService** service) {
  return CreateMainFrameService(nullptr, service);
}

HRESULT CreateMainFrameService(IGFFrame* frame, IKZMainFrameService** out) {
  if (out == nullptr) return E_POINTER;
  *out = new MainFrame(frame);
  return S_OK;
}

}  // namespace platform

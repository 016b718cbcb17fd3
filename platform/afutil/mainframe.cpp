#include "platform/afutil/mainframe.h"

#include "platform/common/refcounted.h"
#include "platform/kernelutil/calljournal.h"

namespace platform {
namespace {

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

HRESULT CreateMemoryMainFrameService(IKZMainFrameService** service) {
  if (service == nullptr) return E_POINTER;
  *service = new MainFrame();
  return S_OK;
}

}  // namespace platform

// The main-frame service {404D3901-A1DD-4355-AB8A-14A7D52E0C5B}: the client's
// main frame, and the notices it is given right before and right after a
// modal dialog runs; and an in-memory implementation for hosts and tests.
#ifndef WRENUTIL_PLATFORM_AFUTIL_MAINFRAME_H_
#define WRENUTIL_PLATFORM_AFUTIL_MAINFRAME_H_

#include "platform/common/kzbase.h"

struct IGFFrame;

struct IKZMainFrameService : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{404D3901-A1DD-4355-AB8A-14A7D52E0C5B}");
  // The client's main frame, one reference for the caller; E_FAIL and
  // nullptr when there is none.
  virtual HRESULT GetMainFrame(IGFFrame** frame) = 0;
  // Told right before and right after a modal dialog runs.
  virtual HRESULT BeginModal() = 0;
  virtual HRESULT EndModal() = 0;
};

namespace platform {
// A main-frame service without a frame that notes "MainFrame.BeginModal" and
// "MainFrame.EndModal" in the call journal; one reference for the caller.
// E_POINTER for a null slot.
KZ_PLATFORM_API HRESULT CreateMemoryMainFrameService(IKZMainFrameService** service);
// The same, handing out `frame` (borrowed, a reference is kept; null: a
// client without a main frame).
KZ_PLATFORM_API HRESULT CreateMainFrameService(IGFFrame* frame, IKZMainFrameService** out);
}  // namespace platform

#endif  // WRENUTIL_PLATFORM_AFUTIL_MAINFRAME_H_

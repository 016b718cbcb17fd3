// Modal input: the input-dialog object {8CB7D875-8F57-4AEF-8C6D-E23416015040}
// that asks the user for one line of text, and the main-frame service
// {404D3901-A1DD-4355-AB8A-14A7D52E0C5B} that is told when a modal dialog
// starts and ends.
//
// The dialog's bag: "strTitle", "strPromptText", "strInputText" (the preset
// text, and the answer afterwards), "strLimitType" ("UTF8": the limit counts
// UTF-8 bytes; anything else or absent: characters) and "nLimitLength" (u32;
// 0 or absent: no limit). The stand-in hands the question to an asker
// function given by the host (a terminal prompt in the demo, a script in
// tests); an answer longer than the limit is cut at the last whole character
// that fits.
#ifndef WRENUTIL_PLATFORM_AFUTIL_INPUTDIALOG_H_
#define WRENUTIL_PLATFORM_AFUTIL_INPUTDIALOG_H_

#include <functional>
#include <string>

#include "platform/common/kzbase.h"
#include "platform/common/kzcore.h"

struct IKZData;
struct IGFFrame;

struct IKZInputDialog : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{8CB7D875-8F57-4AEF-8C6D-E23416015040}");
  // Shows the dialog modally over `parent` (borrowed, may be null) with
  // `bag` (borrowed). *result: 0 when confirmed ("strInputText" then holds
  // the answer), 1 when cancelled (the bag is left as it was). E_POINTER for
  // a null bag or result.
  virtual HRESULT DoModal(IKZData* bag, IGFFrame* parent, int* result) = 0;
};

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

// Asks for one line: false when the user cancels, else true with the answer
// in *answer (which holds the preset text on entry).
using InputAsker = std::function<bool(const std::wstring& title, const std::wstring& prompt,
                                      std::wstring* answer)>;

// Registers the input-dialog class on `core`; each object asks through
// `asker`. E_POINTER for a null core, E_INVALIDARG for an empty asker.
KZ_PLATFORM_API HRESULT RegisterInputDialog(IKZCoreHost* core, InputAsker asker);

// `text` cut to at most `limit` UTF-8 bytes (`utf8`) or characters, never
// inside a character. limit 0: no limit.
KZ_PLATFORM_API std::wstring LimitInputText(const std::wstring& text, DWORD limit, bool utf8);

// A main-frame service without a frame that notes MainFrame.BeginModal and
// MainFrame.EndModal in the call journal; one reference for the caller.
KZ_PLATFORM_API HRESULT CreateMemoryMainFrameService(IKZMainFrameService** service);

}  // namespace platform

#endif  // WRENUTIL_PLATFORM_AFUTIL_INPUTDIALOG_H_

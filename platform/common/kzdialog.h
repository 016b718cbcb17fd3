// Dialogs: message boxes, the file dialog, the folder picker and the input
// dialog all show through one dialog provider that the host installs.
//
// - Tests install a RecordingDialogProvider: it keeps every request (kind,
//   owner, texts, style) and answers from a queue of scripted answers.
// - The demo client installs a TerminalDialogProvider: it prints the box and
//   reads the answer from the terminal, and cancels when there is none.
// - With no provider installed nothing is shown: a message box answers its
//   first button (IDOK for a box with OK), every other dialog is cancelled.
//
// Owners: a message box or the input dialog names its parent as a GF frame
// (IGFFrame*), the file dialog and the folder picker as a native window
// handle (HWND). Both are opaque here: a request records the owner's identity
// and never calls it; null means "no owner".
#ifndef WRENUTIL_PLATFORM_COMMON_KZDIALOG_H_
#define WRENUTIL_PLATFORM_COMMON_KZDIALOG_H_

#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/common/kzbase.h"
#include "platform/common/kzstring.h"

struct HWND__;
using HWND = HWND__*;
struct IGFFrame;
struct IKZData;
struct IKZCoreHost;

// Buttons a message box answers with.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;
// The button sets of a message box style (style & 0xF).
inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_OKCANCEL = 0x1;
inline constexpr unsigned MB_ABORTRETRYIGNORE = 0x2;
inline constexpr unsigned MB_YESNOCANCEL = 0x3;
inline constexpr unsigned MB_YESNO = 0x4;
inline constexpr unsigned MB_RETRYCANCEL = 0x5;

namespace platform {

enum class DialogKind { kMessageBox, kFileDialog, kFolderPicker, kInputDialog };

// What is to be shown.
struct DialogRequest {
  DialogKind kind = DialogKind::kMessageBox;
  // The owner's identity (an IGFFrame* or an HWND), null for none.
  const void* owner = nullptr;
  std::wstring text;   // message, prompt; the file dialog's file name
  std::wstring title;  // caption
  // Message boxes: the style (buttons in the low 4 bits, icon 0x10-0x40);
  // file dialog: its flags.
  unsigned style = 0;
  // File dialog: 1 to open a file, 0 to save one; its filter and default
  // extension. Folder picker: `folder` is the folder to start in.
  int open = 1;
  std::wstring filter;
  std::wstring default_ext;
  std::wstring folder;
  // Input dialog: the text to start with and the length limit of the answer
  // (0: none), counted in UTF-8 bytes when `limit_utf8`, else in characters.
  std::wstring input;
  unsigned limit = 0;
  bool limit_utf8 = false;
};

// What the user answered.
struct DialogAnswer {
  // Message boxes: the button (IDOK, IDCANCEL, IDYES, ...).
  int button = IDCANCEL;
  // Dialogs: confirmed (true) or cancelled, and the chosen path or the
  // entered text.
  bool confirmed = false;
  std::wstring text;

  static DialogAnswer Button(int id) { return DialogAnswer{id, id != IDCANCEL, {}}; }
  static DialogAnswer Confirm(std::wstring text) {
    return DialogAnswer{IDOK, true, std::move(text)};
  }
  static DialogAnswer Cancel() { return DialogAnswer{IDCANCEL, false, {}}; }
};

// Shows dialogs. Called on the caller's thread; modal (returns when the user
// answered).
class DialogProvider {
 public:
  virtual ~DialogProvider() = default;
  virtual DialogAnswer Show(const DialogRequest& request) = 0;
};

// Installs `provider` (shared; null removes it) and returns the previous one.
KZ_PLATFORM_API std::shared_ptr<DialogProvider> SetDialogProvider(
    std::shared_ptr<DialogProvider> provider);
// Shows `request` through the installed provider, or answers as described at
// the top when there is none. The answer of an input dialog is cut to its
// limit (at a character boundary).
KZ_PLATFORM_API DialogAnswer ShowDialog(const DialogRequest& request);

// The answer a dialog gets when nobody answers it: the first button of a
// message box (IDOK, IDABORT, IDYES, IDRETRY), a cancel for the others.
KZ_PLATFORM_API DialogAnswer DefaultAnswer(const DialogRequest& request);

// For tests: records requests and answers from a script. Thread-safe.
class KZ_PLATFORM_API RecordingDialogProvider : public DialogProvider {
 public:
  DialogAnswer Show(const DialogRequest& request) override;
  // Queues the answer to the next request not yet answered. When the queue is
  // empty a request gets DefaultAnswer.
  void QueueAnswer(DialogAnswer answer);
  // The requests so far, in order.
  std::vector<DialogRequest> requests() const;
  // One line per request, for comparing as a whole:
  //   MessageBox(owner, "text", "title", 0x30) -> 1
  //   FileDialog(owner, open, "file name", "filter", 0x88002e) -> "/path"
  //   FolderPicker(owner, "start folder") -> cancel
  //   InputDialog(owner, "title", "prompt", "input", limit 24 utf8) -> "answer"
  // where owner is "owner" or "no owner".
  std::vector<std::wstring> Transcript() const;

 private:
  mutable std::mutex mutex_;
  std::deque<DialogAnswer> script_;
  std::vector<DialogRequest> requests_;
  std::vector<std::wstring> transcript_;
};

// For the demo client: prints each dialog to `out` and reads the answer as a
// line from `in`. When `interactive` is false (no terminal) the dialog is
// printed and cancelled at once (a message box answers IDCANCEL when it has a
// Cancel button, IDNO for Yes/No, IDOK for OK alone).
class KZ_PLATFORM_API TerminalDialogProvider : public DialogProvider {
 public:
  TerminalDialogProvider(std::FILE* in, std::FILE* out, bool interactive);
  // Over stdin and stderr, interactive when stdin is a terminal.
  TerminalDialogProvider();
  DialogAnswer Show(const DialogRequest& request) override;

 private:
  bool ReadLine(std::string* line);
  std::FILE* in_;
  std::FILE* out_;
  bool interactive_;
};

}  // namespace platform

// The file dialog of the client's Common library.
class KZ_PLATFORM_API CKZFileDialog {
 public:
  // open_mode: 1 to open a file, 0 to save one. default_ext, file_name and
  // initial_folder may be null; `filter` is the file-type filter text
  // ("Text files|*.txt||"). `flags` are kept as given and shown to the
  // provider. `explorer_style` and `callback` are accepted and ignored here.
  CKZFileDialog(int open_mode, const wchar_t* default_ext, const wchar_t* file_name,
                const wchar_t* initial_folder, DWORD flags, const wchar_t* filter, HWND owner,
                int explorer_style, void* callback);
  // Shows the dialog: 1 (IDOK) when the user chose a file, 2 (IDCANCEL) when
  // not.
  int DoModal();
  // The chosen file's full path after DoModal returned 1; empty otherwise.
  CKZStringW GetFileFullName() const { return chosen_; }

 private:
  platform::DialogRequest request_;
  CKZStringW chosen_;
};

namespace Util::Shell {
// The folder picker: shows it with `owner` (may be null) starting in
// `initial_folder` (may be null). 1 and the chosen folder in *folder when the
// user chose one; 0 (folder untouched) when cancelled or *folder is null.
KZ_PLATFORM_API int BrowseForFolder(HWND owner, const wchar_t* initial_folder, CKZStringW* folder);
}  // namespace Util::Shell

// The input-dialog object, created through the core with the class
// {8CB7D875-8F57-4AEF-8C6D-E23416015040} (see platform::RegisterDialogObjects).
struct IKZInputDialog : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{6C3E4B0A-91D2-4E57-8A0B-2F1D3C4B5AD0}");
  static constexpr GUID kClsid = platform::MakeGuid("{8CB7D875-8F57-4AEF-8C6D-E23416015040}");
  // Shows the dialog modally over `parent` (borrowed, may be null). `params`
  // (borrowed) gives "strTitle", "strPromptText", "strInputText" (the text
  // to start with), "strLimitType" ("UTF8": the limit counts UTF-8 bytes,
  // anything else: characters) and "nLimitLength" (u32, 0 or absent: no
  // limit). Returns S_OK (0) when confirmed, with the answer, cut to the
  // limit, in "strInputText"; S_FALSE (1) when cancelled (params untouched);
  // E_POINTER for null params.
  virtual HRESULT DoModal(IKZData* params, IGFFrame* parent) = 0;
};

namespace platform {
// Registers the factory of the input-dialog object on `core` (borrowed).
// E_POINTER for null.
KZ_PLATFORM_API HRESULT RegisterDialogObjects(IKZCoreHost* core);
}  // namespace platform

#endif  // WRENUTIL_PLATFORM_COMMON_KZDIALOG_H_

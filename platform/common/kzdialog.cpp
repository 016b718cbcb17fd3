#include "platform/common/kzdialog.h"

#include <unistd.h>

#include <cwctype>
#include <utility>

#include "platform/common/convert.h"
#include "platform/common/kzcore.h"
#include "platform/common/kzdata.h"
#include "platform/common/refcounted.h"

namespace platform {
namespace {

std::mutex g_provider_mutex;
std::shared_ptr<DialogProvider> g_provider;

std::string Utf8(const std::wstring& text) {
  CKZStringA a = Util::Convert::Utf8FromWS(text.c_str(), static_cast<int>(text.size()));
  return std::string(a.GetString(), static_cast<std::size_t>(a.GetLength()));
}

std::wstring Wide(const std::string& text) {
  return Util::Convert::Utf8ToWS(text.c_str(), static_cast<int>(text.size())).GetString();
}

// Cuts `text` to `limit` characters, or UTF-8 bytes, at a character boundary.
std::wstring CutToLimit(std::wstring text, unsigned limit, bool utf8) {
  if (limit == 0) return text;
  if (!utf8) {
    if (text.size() > limit) text.resize(limit);
    return text;
  }
  std::size_t bytes = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<std::uint32_t>(text[i]);
    std::size_t n = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    if (bytes + n > limit) {
      text.resize(i);
      break;
    }
    bytes += n;
  }
  return text;
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

std::wstring Hex(unsigned value) {
  wchar_t text[16];
  std::swprintf(text, 16, L"0x%x", value);
  return text;
}

std::wstring Describe(const DialogRequest& r) {
  std::wstring owner = r.owner != nullptr ? L"owner" : L"no owner";
  switch (r.kind) {
    case DialogKind::kMessageBox:
      return L"MessageBox(" + owner + L", " + Quoted(r.text) + L", " + Quoted(r.title) + L", " +
             Hex(r.style) + L")";
    case DialogKind::kFileDialog:
      return L"FileDialog(" + owner + L", " + (r.open ? L"open" : L"save") + L", " +
             Quoted(r.text) + L", " + Quoted(r.filter) + L", " + Hex(r.style) + L")";
    case DialogKind::kFolderPicker:
      return L"FolderPicker(" + owner + L", " + Quoted(r.folder) + L")";
    case DialogKind::kInputDialog:
      return L"InputDialog(" + owner + L", " + Quoted(r.title) + L", " + Quoted(r.text) + L", " +
             Quoted(r.input) + L", limit " + std::to_wstring(r.limit) +
             (r.limit_utf8 ? L" utf8)" : L")");
  }
  return L"?";
}

std::wstring DescribeAnswer(const DialogRequest& r, const DialogAnswer& a) {
  if (r.kind == DialogKind::kMessageBox) return std::to_wstring(a.button);
  return a.confirmed ? Quoted(a.text) : L"cancel";
}

}  // namespace

std::shared_ptr<DialogProvider> SetDialogProvider(std::shared_ptr<DialogProvider> provider) {
  std::lock_guard lock(g_provider_mutex);
  return std::exchange(g_provider, std::move(provider));
}

DialogAnswer DefaultAnswer(const DialogRequest& request) {
  if (request.kind != DialogKind::kMessageBox) return DialogAnswer::Cancel();
  switch (request.style & 0xF) {
    case MB_ABORTRETRYIGNORE:
      return DialogAnswer::Button(IDABORT);
    case MB_YESNOCANCEL:
    case MB_YESNO:
      return DialogAnswer::Button(IDYES);
    case MB_RETRYCANCEL:
      return DialogAnswer::Button(IDRETRY);
    default:
      return DialogAnswer::Button(IDOK);
  }
}

DialogAnswer ShowDialog(const DialogRequest& request) {
  std::shared_ptr<DialogProvider> provider;
  {
    std::lock_guard lock(g_provider_mutex);
    provider = g_provider;
  }
  DialogAnswer answer = provider ? provider->Show(request) : DefaultAnswer(request);
  if (request.kind == DialogKind::kInputDialog && answer.confirmed) {
    answer.text = CutToLimit(std::move(answer.text), request.limit, request.limit_utf8);
  }
  return answer;
}

DialogAnswer RecordingDialogProvider::Show(const DialogRequest& request) {
  std::lock_guard lock(mutex_);
  DialogAnswer answer = DefaultAnswer(request);
  if (!script_.empty()) {
    answer = std::move(script_.front());
    script_.pop_front();
  }
  requests_.push_back(request);
  transcript_.push_back(Describe(request) + L" -> " + DescribeAnswer(request, answer));
  return answer;
}

void RecordingDialogProvider::QueueAnswer(DialogAnswer answer) {
  std::lock_guard lock(mutex_);
  script_.push_back(std::move(answer));
}

std::vector<DialogRequest> RecordingDialogProvider::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<std::wstring> RecordingDialogProvider::Transcript() const {
  std::lock_guard lock(mutex_);
  return transcript_;
}

TerminalDialogProvider::TerminalDialogProvider(std::FILE* in, std::FILE* out, bool interactive)
    : in_(in), out_(out), interactive_(interactive) {}

TerminalDialogProvider::TerminalDialogProvider()
    : TerminalDialogProvider(stdin, stderr, isatty(STDIN_FILENO) != 0) {}

bool TerminalDialogProvider::ReadLine(std::string* line) {
  line->clear();
  int c;
  while ((c = std::fgetc(in_)) != EOF && c != '\n') line->push_back(static_cast<char>(c));
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return c != EOF || !line->empty();
}

DialogAnswer TerminalDialogProvider::Show(const DialogRequest& r) {
  std::string title = Utf8(r.title);
  std::fprintf(out_, "\n[%s]\n", title.empty() ? "dialog" : title.c_str());
  if (r.kind == DialogKind::kMessageBox) {
    struct Choice {
      const char* label;
      int id;
    };
    std::vector<Choice> choices;
    switch (r.style & 0xF) {
      case MB_OKCANCEL:
        choices = {{"ok", IDOK}, {"cancel", IDCANCEL}};
        break;
      case MB_ABORTRETRYIGNORE:
        choices = {{"abort", IDABORT}, {"retry", IDRETRY}, {"ignore", IDIGNORE}};
        break;
      case MB_YESNOCANCEL:
        choices = {{"yes", IDYES}, {"no", IDNO}, {"cancel", IDCANCEL}};
        break;
      case MB_YESNO:
        choices = {{"yes", IDYES}, {"no", IDNO}};
        break;
      case MB_RETRYCANCEL:
        choices = {{"retry", IDRETRY}, {"cancel", IDCANCEL}};
        break;
      default:
        choices = {{"ok", IDOK}};
    }
    std::fprintf(out_, "%s\n", Utf8(r.text).c_str());
    // Without a terminal: the cancelling choice (Cancel, else No, else the
    // only one).
    int fallback = choices.front().id;
    for (const Choice& c : choices) {
      if (c.id == IDCANCEL || (c.id == IDNO && fallback != IDCANCEL)) fallback = c.id;
    }
    if (!interactive_) {
      std::fflush(out_);
      return DialogAnswer::Button(fallback);
    }
    for (;;) {
      std::fprintf(out_, "(");
      for (std::size_t i = 0; i < choices.size(); ++i) {
        std::fprintf(out_, "%s%s", i ? "/" : "", choices[i].label);
      }
      std::fprintf(out_, ") ");
      std::fflush(out_);
      std::string line;
      if (!ReadLine(&line)) return DialogAnswer::Button(fallback);
      if (line.empty() && choices.size() == 1) return DialogAnswer::Button(choices[0].id);
      for (const Choice& c : choices) {
        if (!line.empty() && std::string(c.label).rfind(line, 0) == 0) {
          return DialogAnswer::Button(c.id);
        }
      }
    }
  }
  const char* prompt = "";
  std::string detail;
  switch (r.kind) {
    case DialogKind::kFileDialog:
      prompt = r.open ? "file to open" : "file to save";
      detail = Utf8(r.text);
      break;
    case DialogKind::kFolderPicker:
      prompt = "folder";
      detail = Utf8(r.folder);
      break;
    default:
      std::fprintf(out_, "%s\n", Utf8(r.text).c_str());
      prompt = "answer";
      detail = Utf8(r.input);
  }
  if (!interactive_) {
    std::fprintf(out_, "(no terminal: cancelled)\n");
    std::fflush(out_);
    return DialogAnswer::Cancel();
  }
  std::fprintf(out_, "%s%s%s%s (empty line cancels): ", prompt, detail.empty() ? "" : " [",
               detail.c_str(), detail.empty() ? "" : "]");
  std::fflush(out_);
  std::string line;
  if (!ReadLine(&line) || line.empty()) return DialogAnswer::Cancel();
  return DialogAnswer::Confirm(Wide(line));
}

}  // namespace platform

CKZFileDialog::CKZFileDialog(int open_mode, const wchar_t* default_ext, const wchar_t* file_name,
                             const wchar_t* initial_folder, DWORD flags, const wchar_t* filter,
                             HWND owner, int, void*) {
  request_.kind = platform::DialogKind::kFileDialog;
  request_.owner = owner;
  request_.open = open_mode != 0 ? 1 : 0;
  request_.default_ext = default_ext ? default_ext : L"";
  request_.text = file_name ? file_name : L"";
  request_.folder = initial_folder ? initial_folder : L"";
  request_.filter = filter ? filter : L"";
  request_.style = flags;
}

int CKZFileDialog::DoModal() {
  platform::DialogAnswer answer = platform::ShowDialog(request_);
  if (!answer.confirmed || answer.text.empty()) {
    chosen_ = CKZStringW();
    return IDCANCEL;
  }
  chosen_ = CKZStringW(answer.text);
  return IDOK;
}

namespace Util::Shell {
int BrowseForFolder(HWND owner, const wchar_t* initial_folder, CKZStringW* folder) {
  if (folder == nullptr) return 0;
  platform::DialogRequest request;
  request.kind = platform::DialogKind::kFolderPicker;
  request.owner = owner;
  request.folder = initial_folder ? initial_folder : L"";
  platform::DialogAnswer answer = platform::ShowDialog(request);
  if (!answer.confirmed || answer.text.empty()) return 0;
  *folder = CKZStringW(answer.text);
  return 1;
}
}  // namespace Util::Shell

namespace platform {
namespace {

class InputDialog : public RefCounted<IKZInputDialog> {
 public:
  HRESULT DoModal(IKZData* params, IGFFrame* parent) override {
    if (params == nullptr) return E_POINTER;
    DialogRequest request;
    request.kind = DialogKind::kInputDialog;
    request.owner = parent;
    CKZStringW text;
    if (Util::Data::GetKZDataStr(params, "strTitle", text)) request.title = text.GetString();
    if (Util::Data::GetKZDataStr(params, "strPromptText", text)) request.text = text.GetString();
    if (Util::Data::GetKZDataStr(params, "strInputText", text)) request.input = text.GetString();
    CKZStringW type;
    Util::Data::GetKZDataStr(params, "strLimitType", type);
    request.limit_utf8 = type == L"UTF8";
    DWORD limit = 0;
    params->GetDWord("nLimitLength", &limit);
    request.limit = limit;
    DialogAnswer answer = ShowDialog(request);
    if (!answer.confirmed) return S_FALSE;
    params->SetStr("strInputText", answer.text.c_str());
    return S_OK;
  }
};

}  // namespace

HRESULT RegisterDialogObjects(IKZCoreHost* core) {
  if (core == nullptr) return E_POINTER;
  return core->RegisterFactory(IKZInputDialog::kClsid, [](REFIID iid, void** object) -> HRESULT {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    CKZComPtr<IKZInputDialog> dialog;
    dialog.Attach(new InputDialog());
    return dialog->QueryInterface(iid, object);
  });
}

}  // namespace platform

#include "apps/wrenutil/session_cli.h"

#include <cstdio>

#include "apps/wrenutil/host.h"
#include "platform/common/convert.h"
#include "platform/kernelutil/calljournal.h"

namespace wrenutil_app {

std::string ToUtf8(std::wstring_view text) {
  return Util::Convert::Utf8FromWS(text.data(), static_cast<int>(text.size())).str();
}

std::wstring FromUtf8(std::string_view text) {
  return Util::Convert::Utf8ToWS(text.data(), static_cast<int>(text.size())).str();
}

std::string ResultCode(long hr) {
  if (hr >= 0) return std::to_string(hr);
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
  return text;
}

SessionRun::SessionRun(AppContext& context) {
  previous_ = platform::SetAssertHandler([this](const wchar_t* e, const wchar_t* f, int line) {
    asserts_.push_back(ToUtf8(e) + " at " + ToUtf8(f) + ":" + std::to_string(line));
    return 0;
  });
  previous_dialogs_ = platform::SetDialogProvider(nullptr);
  platform::SetDialogProvider(
      previous_dialogs_ ? previous_dialogs_ : std::make_shared<platform::TerminalDialogProvider>());
  std::string error;
  ok_ = RegisterSessionServices(*context.host, &services_, &error);
  if (!ok_) context.Fail(error);
  platform::TakeCallJournal();
}

SessionRun::~SessionRun() {
  platform::SetAssertHandler(previous_);
  platform::SetDialogProvider(previous_dialogs_);
}

void SessionRun::PrintSeen(std::ostream& out) {
  std::vector<std::wstring> notes = platform::TakeCallJournal();
  out << "services saw:" << (notes.empty() ? " nothing\n" : "\n");
  for (const auto& note : notes) out << "  " << ToUtf8(note) << '\n';
  for (const auto& line : asserts_) out << "assertion: " << line << '\n';
  asserts_.clear();
}

}  // namespace wrenutil_app

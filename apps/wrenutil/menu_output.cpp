#include "apps/wrenutil/menu_output.h"

#include <cstdio>
#include <utility>

#include "platform/common/convert.h"
#include "platform/gf/gf_menu.h"
#include "platform/kernelutil/calljournal.h"

namespace wrenutil_app {
namespace {
AssertCapture* g_capture = nullptr;  // the capture of the running command
}  // namespace

std::string Utf8(const std::wstring& text) {
  return Util::Convert::Utf8FromWS(text.c_str(), static_cast<int>(text.size())).str();
}

std::string Code(HRESULT hr) {
  if (hr >= 0) return std::to_string(hr);
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
  return text;
}

AssertCapture::AssertCapture() {
  g_capture = this;
  previous_ = platform::SetAssertHandler([this](const wchar_t* e, const wchar_t* f, int line) {
    lines_.push_back(std::wstring(e) + L" at " + f + L":" + std::to_wstring(line));
    return 0;
  });
}

AssertCapture::~AssertCapture() {
  platform::SetAssertHandler(previous_);
  g_capture = nullptr;
}

std::vector<std::wstring> AssertCapture::Take() { return std::exchange(lines_, {}); }

void PrintJournal(std::ostream& out) {
  std::vector<std::wstring> notes = platform::TakeCallJournal();
  out << "services saw:" << (notes.empty() ? " nothing\n" : "\n");
  for (const auto& note : notes) out << "  " << Utf8(note) << '\n';
  if (g_capture == nullptr) return;
  for (const auto& line : g_capture->Take()) out << "assertion: " << Utf8(line) << '\n';
}

void PrintMenu(std::ostream& out, const char* function, HRESULT hr, IGFMenu* menu) {
  out << function << ": " << Code(hr) << '\n';
  if (menu == nullptr) {
    out << "(no menu)\n";
  } else {
    out << Utf8(platform::RenderGFMenu(menu));
  }
  PrintJournal(out);
}

}  // namespace wrenutil_app

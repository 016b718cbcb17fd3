#include "platform/afutil/afutil.h"

#include <cstdio>
#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "platform/common/datafolders.h"
#include "platform/common/kzcore.h"
#include "platform/common/kzdialog.h"
#include "platform/common/kzptr.h"
#include "platform/common/refcounted.h"
#include "platform/kernelutil/calljournal.h"

namespace {

struct AFState {
  std::mutex mutex;
  int self_auth = 0;
  std::set<DWORD> avoided;
  std::set<std::pair<DWORD, int>> open_chats;
};

AFState& State() {
  static AFState state;
  return state;
}

std::wstring Hex(unsigned value) {
  wchar_t text[16];
  std::swprintf(text, 16, L"0x%x", value);
  return text;
}

std::wstring Box(const wchar_t* what, const wchar_t* message, const wchar_t* caption,
                 unsigned style) {
  return std::wstring(what) + L"(\"" + (message ? message : L"") + L"\", \"" +
         (caption ? caption : L"") + L"\", " + Hex(style) + L")";
}

int ShowBox(IGFFrame* parent, const wchar_t* message, const wchar_t* caption, unsigned style) {
  platform::DialogRequest request;
  request.kind = platform::DialogKind::kMessageBox;
  request.owner = parent;
  request.text = message ? message : L"";
  request.title = caption ? caption : L"";
  request.style = style;
  return platform::ShowDialog(request).button;
}

class ChatSession : public platform::RefCounted<IKZChatSession, IKZChatSessionFrame> {
 public:
  ChatSession(DWORD uin, int type) : uin_(uin), type_(type) {}
  HRESULT GetChatUin(DWORD* uin) override {
    if (uin == nullptr) return E_POINTER;
    *uin = uin_;
    return S_OK;
  }
  HRESULT SendFrameEvent(int event, IKZData*) override {
    platform::NoteCall(L"ChatFrameEvent(" + std::to_wstring(uin_) + L", " + std::to_wstring(type_) +
                       L", " + std::to_wstring(event) + L")");
    return S_OK;
  }

 private:
  DWORD uin_;
  int type_;
};

}  // namespace

namespace Util::ChatSession {
HRESULT OpenChatSession(DWORD uin, int type, IKZData* data) {
  if (uin == 0) return E_INVALIDARG;
  {
    std::lock_guard<std::mutex> lock(State().mutex);
    State().open_chats.insert({uin, type});
  }
  platform::NoteCall(L"OpenChatSession(" + std::to_wstring(uin) + L", " + std::to_wstring(type) +
                     (data ? L", data)" : L")"));
  return S_OK;
}

HRESULT GetKZChatSession(DWORD uin, int type, IKZChatSession** session) {
  if (session == nullptr) return E_POINTER;
  *session = nullptr;
  std::lock_guard<std::mutex> lock(State().mutex);
  if (State().open_chats.count({uin, type}) == 0) return E_FAIL;
  *session = new ::ChatSession(uin, type);
  return S_OK;
}
}  // namespace Util::ChatSession

namespace Util::MsgBox {
int Show(IGFFrame* parent, const wchar_t* message, const wchar_t* caption, unsigned style) {
  platform::NoteCall(Box(L"MsgBox.Show", message, caption, style));
  return ShowBox(parent, message, caption, style);
}
}  // namespace Util::MsgBox

namespace Util::Misc {
int MessageBoxW(IGFFrame* parent, const wchar_t* message, const wchar_t* caption, unsigned style) {
  platform::NoteCall(Box(L"MessageBoxW", message, caption, style));
  return ShowBox(parent, message, caption, style);
}

int MessageBoxExW(IGFFrame* parent, const wchar_t* message, const wchar_t* caption, unsigned style,
                  IKZData*, IKZData** result) {
  if (result != nullptr) *result = nullptr;
  platform::NoteCall(Box(L"MessageBoxExW", message, caption, style));
  return ShowBox(parent, message, caption, style);
}
}  // namespace Util::Misc

namespace Util::WRENVersion {
DWORD GetWRENPluginVersion() { return platform::GetProductSettings().plugin_version; }
}  // namespace Util::WRENVersion

namespace Util::Misc::C2CAvodiance {
int GetSelfAvoidanceAuthFlag() {
  std::lock_guard<std::mutex> lock(State().mutex);
  return State().self_auth;
}

int GetC2CAvoidanceFlag(DWORD uin) {
  std::lock_guard<std::mutex> lock(State().mutex);
  return State().avoided.count(uin) != 0 ? 1 : 0;
}

HRESULT SetC2CAvoidanceFlag(DWORD uin, C2CAvoidanceDef::MessageAvoidanceType type) {
  platform::NoteCall(L"SetC2CAvoidanceFlag(" + std::to_wstring(uin) + L", " +
                     std::to_wstring(static_cast<int>(type)) + L")");
  std::lock_guard<std::mutex> lock(State().mutex);
  if (type == C2CAvoidanceDef::kAvoidanceSet) {
    State().avoided.insert(uin);
  } else if (type == C2CAvoidanceDef::kAvoidanceCancel) {
    State().avoided.erase(uin);
  } else {
    return E_INVALIDARG;
  }
  return S_OK;
}
}  // namespace Util::Misc::C2CAvodiance

namespace platform {
void SetSelfAvoidanceAuth(int allowed) {
  std::lock_guard<std::mutex> lock(State().mutex);
  State().self_auth = allowed;
}

void SetC2CAvoidance(DWORD uin, int avoided) {
  std::lock_guard<std::mutex> lock(State().mutex);
  if (avoided != 0) {
    State().avoided.insert(uin);
  } else {
    State().avoided.erase(uin);
  }
}

void OpenChatSessionForTesting(DWORD uin, int type) {
  std::lock_guard<std::mutex> lock(State().mutex);
  State().open_chats.insert({uin, type});
}

void ResetAFUtil() {
  std::lock_guard<std::mutex> lock(State().mutex);
  State().self_auth = 0;
  State().avoided.clear();
  State().open_chats.clear();
}
}  // namespace platform

namespace {
// A fresh platform world starts from here (platform::ResetPlatformWorld).
[[maybe_unused]] const bool kResetWithTheWorld =
    platform::internal::AtWorldReset([] { platform::ResetAFUtil(); });
}  // namespace

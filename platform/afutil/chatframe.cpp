#include "platform/afutil/chatframe.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "platform/common/kzdata.h"
#include "platform/common/refcounted.h"
#include "platform/kernelutil/calljournal.h"

namespace {

struct Frame {
  int next_id = 1;
  std::vector<platform::ChatBar> bars;
};

struct Frames {
  std::mutex mutex;
  std::map<std::pair<DWORD, int>, Frame> by_chat;
};

Frames& AllFrames() {
  static Frames frames;
  return frames;
}

class FrameType : public platform::RefCounted<IAFChatFrameType> {
 public:
  FrameType(DWORD id, int type) : id_(id), type_(type) {}
  HRESULT GetChatId(DWORD* id, int* type) override {
    if (id == nullptr || type == nullptr) return E_POINTER;
    *id = id_;
    *type = type_;
    return S_OK;
  }

 private:
  DWORD id_;
  int type_;
};

HRESULT WriteBar(Frame& frame, IKZData* data) {
  if (data == nullptr) return E_POINTER;
  platform::ChatBar bar;
  if (!Util::Data::CreateKZData(&bar.fields)) return E_OUTOFMEMORY;
  data->GetDWord("dwBlueBarType", &bar.bar_type);
  bar.bar_type = bar.bar_type == 1 ? 1 : 0;
  bar.id = frame.next_id++;
  HRESULT hr = data->SetInt32("nBlueBarID", bar.id);
  if (FAILED(hr)) return hr;
  data->CopyTo(bar.fields);
  frame.bars.push_back(std::move(bar));
  return S_OK;
}

HRESULT DeleteBar(Frame& frame, IKZData* data, bool safe_only) {
  std::int32_t id = 0;
  if (data == nullptr || FAILED(data->GetInt32("nBlueBarID", &id))) return E_INVALIDARG;
  for (auto it = frame.bars.begin(); it != frame.bars.end(); ++it) {
    if (it->id != id) continue;
    if (safe_only && it->bar_type != 1) return S_FALSE;
    frame.bars.erase(it);
    return S_OK;
  }
  return S_FALSE;
}

}  // namespace

namespace Util::ChatSession {
int CreateChatFrameType(DWORD id, int type, IAFChatFrameType** frame_type, IKZData*) {
  if (frame_type == nullptr) return E_POINTER;
  *frame_type = nullptr;
  if (id == 0) return E_INVALIDARG;
  *frame_type = new FrameType(id, type);
  return S_OK;
}
}  // namespace Util::ChatSession

namespace Util::AFChatSession {
int ChatFrameEvent(IAFChatFrameType* frame_type, ChatFrame::CFEventType event, IKZData* data) {
  if (frame_type == nullptr) return E_POINTER;
  DWORD id = 0;
  int type = 0;
  if (FAILED(frame_type->GetChatId(&id, &type))) return E_FAIL;
  platform::NoteCall(L"ChatFrameEvent(" + std::to_wstring(id) + L", " + std::to_wstring(type) +
                     L", " + std::to_wstring(static_cast<int>(event)) + L")");
  Frames& frames = AllFrames();
  std::lock_guard lock(frames.mutex);
  Frame& frame = frames.by_chat[{id, type}];
  switch (event) {
    case ChatFrame::CFE_WriteBlueBarTip:
    case ChatFrame::CFE_WriteSafeBarTip:
      return WriteBar(frame, data);
    case ChatFrame::CFE_DeleteBlueBarTip:
      return DeleteBar(frame, data, false);
    case ChatFrame::CFE_DeleteSafeBarTip:
      return DeleteBar(frame, data, true);
  }
  return E_INVALIDARG;
}
}  // namespace Util::AFChatSession

namespace platform {
std::vector<ChatBar> GetChatBars(DWORD id, int type) {
  Frames& frames = AllFrames();
  std::lock_guard lock(frames.mutex);
  auto it = frames.by_chat.find({id, type});
  return it == frames.by_chat.end() ? std::vector<ChatBar>{} : it->second.bars;
}

void ResetChatFrames() {
  Frames& frames = AllFrames();
  std::vector<ChatBar> dropped;  // released outside the lock
  std::lock_guard lock(frames.mutex);
  for (auto& [chat, frame] : frames.by_chat) {
    for (auto& bar : frame.bars) dropped.push_back(std::move(bar));
  }
  frames.by_chat.clear();
}
}  // namespace platform

#include "platform/afutil/chatframe.h"

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <utility>

#include "platform/common/bagcodec.h"
#include "platform/common/kzdata.h"
#include "platform/common/refcounted.h"
#include "platform/common/store.h"
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

// ---- Frames kept in the profile store ---------------------------------------

constexpr const char* kFrameSteps[] = {
    "CREATE TABLE chat_frames(chat INTEGER NOT NULL, type INTEGER NOT NULL,"
    " frame BLOB NOT NULL, PRIMARY KEY(chat, type))"};
constexpr platform::StoreSchema kFrameSchema{"chat_frames", kFrameSteps};
std::atomic<bool> g_in_profile{false};

// A frame as a bag: {"dwNextId", "rpt_bars": [{"nId", "dwBarType", "fields"}]}.
HRESULT EncodeFrame(const Frame& frame, std::vector<std::uint8_t>* bytes) {
  CKZComPtr<IKZData> bag;
  CKZComPtr<IKZArray> bars;
  if (!Util::Data::CreateKZData(&bag) || !Util::Data::CreateKZArray(&bars)) return E_OUTOFMEMORY;
  bag->SetDWord("dwNextId", static_cast<DWORD>(frame.next_id));
  for (const platform::ChatBar& bar : frame.bars) {
    CKZComPtr<IKZData> record;
    Util::Data::CreateKZData(&record);
    record->SetInt32("nId", bar.id);
    record->SetDWord("dwBarType", bar.bar_type);
    record->SetKZData("fields", bar.fields);
    bars->AddKZData(record);
  }
  bag->SetKZArray("rpt_bars", bars);
  return platform::EncodeKZData(bag, bytes, nullptr);
}

bool DecodeFrame(std::span<const std::uint8_t> bytes, Frame* frame, std::string* error) {
  CKZComPtr<IKZData> bag;
  if (FAILED(platform::DecodeKZData(bytes, &bag, error))) return false;
  DWORD next_id = 0, count = 0;
  CKZComPtr<IKZArray> bars;
  if (FAILED(bag->GetDWord("dwNextId", &next_id)) || FAILED(bag->GetKZArray("rpt_bars", &bars)) ||
      next_id == 0 || next_id > 0x7FFFFFFF) {
    *error = "not a chat frame";
    return false;
  }
  frame->next_id = static_cast<int>(next_id);
  bars->GetCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    CKZComPtr<IKZData> record;
    platform::ChatBar bar;
    if (FAILED(bars->GetKZData(i, &record)) || FAILED(record->GetInt32("nId", &bar.id)) ||
        FAILED(record->GetDWord("dwBarType", &bar.bar_type)) ||
        FAILED(record->GetKZData("fields", &bar.fields))) {
      *error = "bar " + std::to_string(i) + " is not a tip bar";
      return false;
    }
    frame->bars.push_back(std::move(bar));
  }
  return true;
}

// Runs `op` on the chat's frame as the profile store holds it, in one
// transaction, and stores the frame again when `save` and `op` succeeded.
HRESULT WithProfileFrame(DWORD id, int type, bool save, const std::function<HRESULT(Frame&)>& op) {
  HRESULT result = S_OK;
  HRESULT hr = platform::RunInProfile(
      kFrameSchema, save ? platform::StoreAccess::kWrite : platform::StoreAccess::kRead,
      [&](platform::sql::Db& db) -> HRESULT {
        Frame frame;
        platform::sql::Statement select;
        if (!db.Prepare("SELECT frame FROM chat_frames WHERE chat = ?1 AND type = ?2", &select) ||
            !select.Bind(1, id) || !select.Bind(2, type)) {
          return KZ_E_STORE;
        }
        platform::sql::Statement::Step step = select.Next();
        if (step == platform::sql::Statement::Step::kError) return KZ_E_STORE;
        std::string error;
        if (step == platform::sql::Statement::Step::kRow &&
            !DecodeFrame(select.ColumnBlob(0), &frame, &error)) {
          db.SetError(0, db.path() + ": chat frame (" + std::to_string(id) + ", " +
                             std::to_string(type) + "): " + error);
          return KZ_E_STORE_BADDATA;
        }
        result = op(frame);
        if (!save || FAILED(result)) return S_OK;
        std::vector<std::uint8_t> bytes;
        if (HRESULT encoded = EncodeFrame(frame, &bytes); FAILED(encoded)) return encoded;
        platform::sql::Statement write;
        bool ok = db.Prepare(
                      "INSERT OR REPLACE INTO chat_frames(chat, type, frame)"
                      " VALUES(?1, ?2, ?3)",
                      &write) &&
                  write.Bind(1, id) && write.Bind(2, type) && write.BindBlob(3, bytes) &&
                  write.Run();
        return ok ? S_OK : KZ_E_STORE;
      });
  return FAILED(hr) ? hr : result;
}

HRESULT Apply(Frame& frame, ChatFrame::CFEventType event, IKZData* data) {
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
  if (g_in_profile) {
    return WithProfileFrame(id, type, true,
                            [&](Frame& frame) { return Apply(frame, event, data); });
  }
  Frames& frames = AllFrames();
  std::lock_guard lock(frames.mutex);
  return Apply(frames.by_chat[{id, type}], event, data);
}
}  // namespace Util::AFChatSession

namespace platform {
std::vector<ChatBar> GetChatBars(DWORD id, int type) {
  if (g_in_profile) {
    std::vector<ChatBar> bars;
    WithProfileFrame(id, type, false, [&](Frame& frame) {
      bars = std::move(frame.bars);
      return S_OK;
    });
    return bars;
  }
  Frames& frames = AllFrames();
  std::lock_guard lock(frames.mutex);
  auto it = frames.by_chat.find({id, type});
  return it == frames.by_chat.end() ? std::vector<ChatBar>{} : it->second.bars;
}

void KeepChatFramesInProfile(bool keep) { g_in_profile = keep; }

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

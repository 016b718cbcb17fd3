#include "wrenutil/chatsession.h"

#include <cstdint>

#include "platform/common/kzptr.h"

namespace {

int ReadBarId(IKZData* data) {
  std::int32_t id = -1;
  if (data != nullptr) data->GetInt32(L"nBlueBarID", &id);
  return id;
}

// The chat's frame type; null when the platform gives none.
CKZComPtr<IAFChatFrameType> FrameTypeOf(DWORD id, int type) {
  CKZComPtr<IAFChatFrameType> frame_type;
  Util::ChatSession::CreateChatFrameType(id, type, &frame_type, nullptr);
  return frame_type;
}

}  // namespace

namespace Util::AFChatSession {

int WriteBlueBarTipInChatSession(IAFChatFrameType* frame_type, IKZData* data) {
  ChatFrameEvent(frame_type, ChatFrame::CFE_WriteBlueBarTip, data);
  return ReadBarId(data);
}

int DeleteBlueBarTipInChatSession(IAFChatFrameType* frame_type, IKZData* data) {
  return ChatFrameEvent(frame_type, ChatFrame::CFE_DeleteBlueBarTip, data);
}

int WriteSafeBarTipInChatSession(IAFChatFrameType* frame_type, IKZData* data) {
  if (data != nullptr) data->SetDWord(L"dwBlueBarType", 1);
  ChatFrameEvent(frame_type, ChatFrame::CFE_WriteSafeBarTip, data);
  return ReadBarId(data);
}

int DeleteSafeBarTipInChatSession(IAFChatFrameType* frame_type, IKZData* data) {
  return ChatFrameEvent(frame_type, ChatFrame::CFE_DeleteSafeBarTip, data);
}

}  // namespace Util::AFChatSession

namespace Util::ChatSession {

int WriteBlueBarTipInChatSession(DWORD id, int type, IKZData* data) {
  return AFChatSession::WriteBlueBarTipInChatSession(FrameTypeOf(id, type), data);
}

int DeleteBlueBarTipInChatSession(DWORD id, int type, IKZData* data) {
  return AFChatSession::DeleteBlueBarTipInChatSession(FrameTypeOf(id, type), data);
}

int WriteSafeBarTipInChatSession(DWORD id, int type, IKZData* data) {
  if (data != nullptr) {
    data->SetDWord(L"dwId", id);
    data->SetInt32(L"nChatType", type);
    data->SetDWord(L"dwBlueBarType", 1);
  }
  return AFChatSession::WriteSafeBarTipInChatSession(FrameTypeOf(id, type), data);
}

int DeleteSafeBarTipInChatSession(DWORD id, int type, IKZData* data) {
  return AFChatSession::DeleteBlueBarTipInChatSession(FrameTypeOf(id, type), data);
}

}  // namespace Util::ChatSession

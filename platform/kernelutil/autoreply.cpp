#include "platform/kernelutil/autoreply.h"

#include <utility>

#include "platform/common/kzdata.h"
#include "platform/common/refcounted.h"

namespace platform {
namespace {

class MemoryAutoReplyService : public RefCounted<IKZAutoReplyService> {
 public:
  explicit MemoryAutoReplyService(std::shared_ptr<AutoReplyData> data) : data_(std::move(data)) {}

  HRESULT GetAutoReplyState(int* active, DWORD* current, IKZData* reserved) override {
    data_->queries.push_back({AutoReplyData::Query::kState, reserved});
    if (active == nullptr || current == nullptr) return E_POINTER;
    if (FAILED(data_->state_result)) return data_->state_result;
    *active = data_->active;
    *current = data_->current;
    return S_OK;
  }

  HRESULT GetAutoReplyList(IKZArray** replies) override {
    data_->queries.push_back({AutoReplyData::Query::kList, nullptr});
    if (replies == nullptr) return E_POINTER;
    *replies = nullptr;
    if (FAILED(data_->list_result)) return data_->list_result;
    if (!Util::Data::CreateKZArray(replies) || *replies == nullptr) return E_OUTOFMEMORY;
    for (const std::wstring& reply : data_->replies) (*replies)->AddStr(reply.c_str());
    return S_OK;
  }

 private:
  std::shared_ptr<AutoReplyData> data_;
};

}  // namespace

HRESULT CreateMemoryAutoReplyService(std::shared_ptr<AutoReplyData> data,
                                     IKZAutoReplyService** service) {
  if (service == nullptr) return E_POINTER;
  *service = nullptr;
  if (!data) return E_INVALIDARG;
  *service = new MemoryAutoReplyService(std::move(data));
  return S_OK;
}

}  // namespace platform

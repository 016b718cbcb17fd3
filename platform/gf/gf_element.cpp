#include "platform/gf/gf_element.h"

#include <string>
#include <vector>

#include "platform/common/kzdata.h"
#include "platform/common/kzptr.h"
#include "platform/common/refcounted.h"

namespace platform {
namespace {

struct ElementData;

// The view of the elements made here, so that the tree functions can reach
// their data through any IGFElement pointer.
struct IGFElementNode : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = MakeGuid("{3F0C2B7E-5A41-4C8E-9B6D-1E2F3A4B5C6F}");
  virtual ElementData& Data() = 0;
};

struct ElementData {
  explicit ElementData(const wchar_t* element_name, bool is_frame)
      : name(element_name != nullptr ? element_name : L""), frame(is_frame) {}
  ~ElementData() {
    for (const auto& child : children) child.node->Data().parent = nullptr;
  }

  struct Child {
    CKZComPtr<IGFElement> element;
    IGFElementNode* node;  // the same object; kept alive by `element`
  };

  std::wstring name;
  bool frame;
  std::wstring config;
  int hidden = 0;
  RECT margin;
  CKZComPtr<IKZData> user_data;
  std::vector<Child> children;
  ElementData* parent = nullptr;  // not owned; cleared when the parent dies
};

// Depth first, pre-order; the first match wins.
IGFElement* FindBelow(const ElementData& data, const wchar_t* name) {
  for (const auto& child : data.children) {
    if (child.node->Data().name == name) return child.element.Get();
    if (IGFElement* found = FindBelow(child.node->Data(), name)) return found;
  }
  return nullptr;
}

HRESULT Find(const ElementData& data, const wchar_t* name, IGFElement** element) {
  if (element == nullptr) return E_POINTER;
  *element = nullptr;
  if (name == nullptr) return E_INVALIDARG;
  IGFElement* found = FindBelow(data, name);
  if (found == nullptr) return E_FAIL;
  found->AddRef();
  *element = found;
  return S_OK;
}

class PlainElement final : public RefCounted<IGFElement, IGFElementNode> {
 public:
  explicit PlainElement(const wchar_t* name) : data_(name, false) {}
  HRESULT FindElement(const wchar_t* name, IGFElement** element) override {
    return Find(data_, name, element);
  }
  ElementData& Data() override { return data_; }

 private:
  ElementData data_;
};

class FrameElement final : public RefCounted<IGFElement, IGFElementNode, IGFFrame> {
 public:
  explicit FrameElement(const wchar_t* name) : data_(name, true) {}
  HRESULT FindElement(const wchar_t* name, IGFElement** element) override {
    return Find(data_, name, element);
  }
  ElementData& Data() override { return data_; }

  HRESULT SetConfig(const wchar_t* config) override {
    data_.config = config != nullptr ? config : L"";
    return S_OK;
  }
  HRESULT GetUserData(IKZData** data) override {
    if (data == nullptr) return E_POINTER;
    *data = nullptr;
    if (!data_.user_data) return E_FAIL;
    return data_.user_data.CopyTo(data);
  }
  HRESULT GetHidden(int* hidden) override {
    if (hidden == nullptr) return E_POINTER;
    *hidden = data_.hidden;
    return S_OK;
  }
  HRESULT SetHidden(int hidden) override {
    data_.hidden = hidden;
    return S_OK;
  }
  HRESULT SetMargin(RECT margin) override {
    data_.margin = margin;
    return S_OK;
  }
  HRESULT SetUserData(IKZData* data) override {
    data_.user_data = data;
    return S_OK;
  }

 private:
  ElementData data_;
};

CKZComPtr<IGFElementNode> NodeOf(IGFElement* element) {
  CKZComPtr<IGFElementNode> node;
  if (element != nullptr) {
    element->QueryInterface(IGFElementNode::kIid, reinterpret_cast<void**>(&node));
  }
  return node;
}

}  // namespace

HRESULT CreateGFElement(const wchar_t* name, bool frame, IGFElement** element) {
  if (element == nullptr) return E_POINTER;
  if (frame) {
    *element = new FrameElement(name);
  } else {
    *element = new PlainElement(name);
  }
  return S_OK;
}

HRESULT AppendGFElement(IGFElement* parent, IGFElement* child) {
  if (parent == nullptr || child == nullptr) return E_POINTER;
  CKZComPtr<IGFElementNode> parent_node = NodeOf(parent);
  CKZComPtr<IGFElementNode> child_node = NodeOf(child);
  if (!parent_node || !child_node) return E_INVALIDARG;
  ElementData& child_data = child_node->Data();
  if (child_data.parent != nullptr) return E_INVALIDARG;
  for (ElementData* up = &parent_node->Data(); up != nullptr; up = up->parent) {
    if (up == &child_data) return E_INVALIDARG;  // would make a cycle
  }
  child_data.parent = &parent_node->Data();
  parent_node->Data().children.push_back({CKZComPtr<IGFElement>(child), child_node.Get()});
  return S_OK;
}

HRESULT GetGFElementState(IGFElement* element, GFElementState* state) {
  if (element == nullptr || state == nullptr) return E_POINTER;
  CKZComPtr<IGFElementNode> node = NodeOf(element);
  if (!node) return E_INVALIDARG;
  const ElementData& data = node->Data();
  state->name = data.name;
  state->frame = data.frame;
  state->config = data.config;
  state->hidden = data.hidden;
  state->margin = data.margin;
  state->has_user_data = static_cast<bool>(data.user_data);
  return S_OK;
}

}  // namespace platform

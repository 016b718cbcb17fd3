#include "platform/gf/gf_font.h"

#include <string>

#include "platform/common/refcounted.h"

namespace platform {
namespace {

class GFFont final : public RefCounted<IGFFont> {
 public:
  GFFont(const wchar_t* face_name, double size)
      : face_name_(face_name != nullptr ? face_name : L""), size_(size) {}

  HRESULT GetFontSize(double* size) override {
    if (size == nullptr) return E_POINTER;
    *size = size_;
    return S_OK;
  }

  HRESULT GetFaceName(BSTR* name) override {
    if (name == nullptr) return E_POINTER;
    *name = SysAllocString(face_name_.c_str());
    return S_OK;
  }

 private:
  const std::wstring face_name_;
  const double size_;
};

}  // namespace

HRESULT CreateGFFont(const wchar_t* face_name, double size, IGFFont** font) {
  if (font == nullptr) return E_POINTER;
  *font = new GFFont(face_name, size);
  return S_OK;
}

}  // namespace platform

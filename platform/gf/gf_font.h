// GF fonts: a face name and a size in points, as user-interface code hands
// them to the text functions.
#ifndef WRENUTIL_PLATFORM_GF_GF_FONT_H_
#define WRENUTIL_PLATFORM_GF_GF_FONT_H_

#include "platform/common/kzbase.h"

// A font of the GF framework. Reference counted; immutable once created.
struct IGFFont : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{3F0C2B7E-5A41-4C8E-9B6D-1E2F3A4B5C61}");
  // The size in points into *size. E_POINTER (nothing written) for null.
  virtual HRESULT GetFontSize(double* size) = 0;
  // The family name as a new system string into *name; the caller frees it.
  // E_POINTER for a null slot.
  virtual HRESULT GetFaceName(BSTR* name) = 0;
};

namespace platform {

// Creates a font with the face name `face_name` (null: the empty name, which
// resolves to no face) and `size` points (any value is kept; a size that is
// not positive measures as zero). One reference for the caller in *font.
// E_POINTER for a null slot.
KZ_PLATFORM_API HRESULT CreateGFFont(const wchar_t* face_name, double size, IGFFont** font);

}  // namespace platform

#endif  // WRENUTIL_PLATFORM_GF_GF_FONT_H_

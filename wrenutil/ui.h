// Util::UI: measuring text drawn in a GF font, cutting a text to fit a
// width, and setting attributes of named elements of a GF window.
//
// Measurement goes through the platform's text engine. The engine is started
// by the first measuring call that finds it not started (the process-wide
// start-up token) and is never shut down; the first measuring calls must not
// run on two threads at once. Each measuring call realises the font anew
// from its face name and its size in points (regular style). A face name
// that resolves to no installed face measures as zero.
//
// A measured text ends at its first zero character: L"ab\0WW" measures as
// L"ab". GetTextBoundsSuitable still searches over the string's whole length,
// so a beginning that reaches past the zero measures as the part before it.
//
// Functions taking `CKZComPtr<IGFFont>` by value hold their own reference to
// the font for the call; the caller's reference is untouched.
#ifndef WRENUTIL_WRENUTIL_UI_H_
#define WRENUTIL_WRENUTIL_UI_H_

#include "platform/common/kzptr.h"
#include "platform/common/kzstring.h"
#include "platform/gf/gdiplus_types.h"
#include "platform/gf/gf_element.h"
#include "platform/gf/gf_font.h"
#include "platform/gf/gf_geometry.h"
#include "wrenutil/export.h"

namespace Util::UI {

// The width and height of the outline of `text` set in `font` with `format`,
// the size in points taken as the em size in outline units (so the result
// is in those units, not in pixels). Lines end only at line breaks; no
// wrapping. Returns (0, 0) when the text engine cannot start, the font is
// null, its face name resolves to nothing, or the text has no outline.
WRENUTIL_API Gdiplus::SizeF GetTextBounds(CKZComPtr<IGFFont> font,
                                          const Gdiplus::StringFormat& format,
                                          const CKZStringW& text);

// The longest beginning of `text` whose outline width (GetTextBounds with a
// default format) is at most `width`, found by a binary search over the
// length; the whole text when it fits. No ellipsis is added. Lengths count
// the units of the wide string (whole code points on this platform, where
// wide characters are 32 bits, so a beginning never splits a character).
// Returns the text itself when the engine cannot start or the text is
// empty. A null font or an unknown face measures every text as 0 wide, so
// the whole text comes back; a width of 0 gives the empty beginning for a
// text whose first character has an outline.
WRENUTIL_API CKZStringW GetTextBoundsSuitable(CKZComPtr<IGFFont> font, const CKZStringW& text,
                                              unsigned long width);

// Lays `text` out in `font` (points at 96 dots per inch, so the result is in
// pixels) within a box of `box.cx` by `box.cy`, wrapping lines at line break
// opportunities within the box's width, and writes the bounding rectangle of
// the laid-out text to *rect, each edge rounded up to an integer (left and
// top from the box's origin, 0). A box width of 0 means no wrapping, a
// height of 0 no height limit; otherwise the rectangle is clipped to the box.
// Always returns 0. *rect is left untouched when the engine cannot start or
// the font is null; it becomes (0, 0, 0, 0) for an unknown face or an empty
// text. A null `rect` is allowed: nothing is measured.
WRENUTIL_API int GetMutLineTextShowRect(CKZComPtr<IGFFont> font, const CKZStringW& text,
                                        tagSIZE box, tagRECT* rect);

// Each finds the element named `name` below `root` (FindElement) and, when
// the find succeeds and the element answers to IGFFrame, applies one
// attribute:
// - SetConfig: the configuration text `config` (borrowed);
// - SetHidden: reads the current hidden flag (0 when the read fails) and
//   calls SetHidden only when it differs from `hidden`;
// - SetMargin: the margin.
// Returns the element found (one reference, held by the returned pointer),
// also when it has no frame interface and nothing was set; an empty pointer
// when `root` or `name` is null or no element was found. `root` and `name`
// are borrowed.
WRENUTIL_API CKZComPtr<IGFElement> SetConfig(IGFElement* root, wchar_t* name, wchar_t* config);
WRENUTIL_API CKZComPtr<IGFElement> SetHidden(IGFElement* root, wchar_t* name, int hidden);
WRENUTIL_API CKZComPtr<IGFElement> SetMargin(IGFElement* root, wchar_t* name, CRect margin);

}  // namespace Util::UI

#endif  // WRENUTIL_WRENUTIL_UI_H_

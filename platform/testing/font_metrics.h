// The metrics a font file declares for itself, for tests that measure text:
// they state expected sizes in the file's own terms, so that they hold
// whatever version of a font package is installed.
#ifndef WRENUTIL_PLATFORM_TESTING_FONT_METRICS_H_
#define WRENUTIL_PLATFORM_TESTING_FONT_METRICS_H_

#include <string_view>

namespace platform::testing {

// The distance from one baseline to the next, in ems, that the horizontal
// header of the font file `family` resolves to declares (ascender minus
// descender plus line gap, over units per em). Read from the file with
// FreeType's raw table access. 0 when the family resolves to no file, or
// the file has no horizontal header.
double FontFileLineSpacing(std::string_view family);

}  // namespace platform::testing

#endif  // WRENUTIL_PLATFORM_TESTING_FONT_METRICS_H_

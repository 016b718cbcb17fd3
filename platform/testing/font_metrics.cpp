#include "platform/testing/font_metrics.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <string>

#include "platform/gf/text_engine.h"

namespace platform::testing {

double FontFileLineSpacing(std::string_view family) {
  if (!TextEngineStartup()) return 0;
  const std::string file = TextFaceFile(FindTextFaceUtf8(family));
  if (file.empty()) return 0;
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) return 0;
  double spacing = 0;
  FT_Face face = nullptr;
  if (FT_New_Face(library, file.c_str(), 0, &face) == 0) {
    const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
    if (hhea != nullptr && face->units_per_EM != 0) {
      spacing = static_cast<double>(hhea->Ascender - hhea->Descender + hhea->Line_Gap) /
                face->units_per_EM;
    }
    FT_Done_Face(face);
  }
  FT_Done_FreeType(library);
  return spacing;
}

}  // namespace platform::testing

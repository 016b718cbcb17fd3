// `wrenutil text measure|fit|wrap`: measures a text in a GF font, fits it to
// a width, or lays it out in a box, with Util::UI; `--png FILE` draws the
// text with the measured box so a person can look at it.
#include <cmath>
#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "apps/wrenutil/cli_support.h"
#include "apps/wrenutil/commands.h"
#include "platform/common/convert.h"
#include "platform/common/kzptr.h"
#include "platform/common/kzstring.h"
#include "platform/gf/gf_font.h"
#include "platform/gf/text_engine.h"
#include "wrenutil/ui.h"

namespace wrenutil_app {
namespace {

struct TextOptions {
  std::string mode;  // "measure", "fit" or "wrap"
  std::string font = "DejaVu Sans";
  double size = 9.0;
  unsigned long width = 0;
  std::string box;
  std::string text;
  std::string png;
};

std::string Utf8(const CKZStringW& text) {
  return Util::Convert::Utf8FromWS(text, text.GetLength()).str();
}

std::string Number(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.2f", value);
  return buffer;
}

// Parses "WxH" (or "W", height 0) into a size, each a whole number up to
// kMaxBox; false when malformed.
constexpr DWORD kMaxBox = 1000000;
bool ParseBox(const std::string& text, tagSIZE* box) {
  const std::size_t x = text.find_first_of("xX");
  DWORD cx = 0, cy = 0;
  if (!ParseU32(std::string_view(text).substr(0, x), &cx) || cx > kMaxBox) return false;
  if (x != std::string::npos &&
      (!ParseU32(std::string_view(text).substr(x + 1), &cy) || cy > kMaxBox)) {
    return false;
  }
  box->cx = static_cast<LONG>(cx);
  box->cy = static_cast<LONG>(cy);
  return true;
}

void DescribeFont(const TextOptions& options, const platform::TextFace* face, AppContext& context) {
  *context.out << "font: " << options.font << ", " << Number(options.size) << " pt -> ";
  if (face == nullptr) {
    *context.out << "no installed face (measures as zero)\n";
  } else {
    *context.out << platform::TextFaceFamilyName(face) << " (" << platform::TextFaceFile(face)
                 << ")\n";
  }
}

void Draw(const TextOptions& options, const platform::TextFace* face, float em_pixels,
          const CKZStringW& text, float wrap_width, const std::vector<Gdiplus::RectF>& boxes,
          float scale, AppContext& context) {
  if (options.png.empty()) return;
  if (!platform::DrawTextPng(face, em_pixels, std::wstring_view(text.str()), wrap_width, boxes,
                             scale, options.png)) {
    context.Fail(
        "text: cannot draw " + options.png + (face == nullptr ? " (no installed face)" : ""),
        kExitFailure);
    return;
  }
  *context.out << "drawn: " << options.png << '\n';
}

void RunText(const TextOptions& options, AppContext& context) {
  const CKZStringW text(kUtf8, options.text.data(), static_cast<int>(options.text.size()));
  const CKZStringW face_name(kUtf8, options.font.data(), static_cast<int>(options.font.size()));
  CKZComPtr<IGFFont> font;
  if (FAILED(platform::CreateGFFont(face_name, options.size, &font))) {
    context.Fail("text: cannot create the font", kExitFailure);
    return;
  }
  platform::TextEngineStartup();
  const platform::TextFace* face = platform::FindTextFace(std::wstring_view(face_name.str()));
  DescribeFont(options, face, context);
  const auto em = static_cast<float>(options.size);
  // Outline units are drawn as pixels, magnified four times; the fitted
  // text is drawn with the width it had to fit in.
  constexpr float kOutlineScale = 4.0f;

  if (options.mode == "measure") {
    const Gdiplus::SizeF size = Util::UI::GetTextBounds(font, Gdiplus::StringFormat(), text);
    *context.out << "bounds: " << Number(size.Width) << " x " << Number(size.Height)
                 << " (outline units, em = size)\n";
    Draw(options, face, em, text, 0,
         {platform::MeasureTextOutline(face, em, std::wstring_view(text.str()),
                                       Gdiplus::StringFormat())},
         kOutlineScale, context);
  } else if (options.mode == "fit") {
    const CKZStringW fitted = Util::UI::GetTextBoundsSuitable(font, text, options.width);
    const Gdiplus::SizeF size = Util::UI::GetTextBounds(font, Gdiplus::StringFormat(), fitted);
    *context.out << "fitted: " << Utf8(fitted) << '\n'
                 << "units: " << fitted.GetLength() << " of " << text.GetLength() << ", width "
                 << Number(size.Width) << " <= " << options.width << '\n';
    const Gdiplus::RectF outline = platform::MeasureTextOutline(
        face, em, std::wstring_view(fitted.str()), Gdiplus::StringFormat());
    Draw(options, face, em, fitted, 0,
         {outline,
          Gdiplus::RectF(outline.X, outline.Y, static_cast<float>(options.width), outline.Height)},
         kOutlineScale, context);
  } else {
    tagSIZE box;
    ParseBox(options.box, &box);  // checked before the run
    tagRECT rect;
    Util::UI::GetMutLineTextShowRect(font, text, box, &rect);
    *context.out << "rect: " << rect.left << ' ' << rect.top << ' ' << rect.right << ' '
                 << rect.bottom << " (" << rect.right - rect.left << " x " << rect.bottom - rect.top
                 << " pixels)\n";
    std::vector<Gdiplus::RectF> boxes = {Gdiplus::RectF(
        static_cast<float>(rect.left), static_cast<float>(rect.top),
        static_cast<float>(rect.right - rect.left), static_cast<float>(rect.bottom - rect.top))};
    Draw(options, face, em * platform::kUnitsPerPoint, text, static_cast<float>(box.cx), boxes,
         2.0f, context);
  }
}

}  // namespace

void RegisterTextCommand(CLI::App& app, AppContext& context) {
  auto options = std::make_shared<TextOptions>();
  CLI::App* cmd =
      app.add_subcommand("text",
                         "Measure a text in a GF font (measure), cut it to fit a width (fit), or "
                         "lay it out in a box (wrap)");
  cmd->add_option("mode", options->mode, "measure, fit or wrap")
      ->required()
      ->check(CLI::IsMember({"measure", "fit", "wrap"}));
  cmd->add_option("text", options->text, "The text (UTF-8)")->required();
  cmd->add_option("--font", options->font, "Face name")->capture_default_str();
  cmd->add_option("--size", options->size, "Size in points")
      ->check(NumberIn(0.1, 1000))
      ->capture_default_str();
  CLI::Option* width =
      cmd->add_option("--width", options->width, "fit: the width in outline units (em = size)")
          ->check(WholeNumber(0xFFFFFFFFu));
  CLI::Option* box =
      cmd->add_option("--box", options->box, "wrap: the box as WxH in pixels (0: no limit)")
          ->type_name("WxH")
          ->check(CLI::Validator(
              [](std::string& text) -> std::string {
                tagSIZE size;
                if (ParseBox(text, &size)) return {};
                return "could not convert \"" + text + "\": want WxH, whole numbers from 0 to " +
                       std::to_string(kMaxBox);
              },
              ""));
  cmd->add_option("--png", options->png, "Draw the text with its measured box into this PNG file")
      ->type_name("FILE");
  cmd->callback([options, width, box, &context] {
    if (options->mode == "fit" && width->count() == 0) {
      context.Fail("text fit: --width is required");
      return;
    }
    if (options->mode == "wrap" && box->count() == 0) {
      context.Fail("text wrap: --box WxH is required");
      return;
    }
    RunText(*options, context);
  });
}

}  // namespace wrenutil_app

#include "cli/TextPath.h"

#include <cmath>
#include <cstdio>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

namespace {

// FreeType's 26.6 fixed point: 64 units per pixel.
constexpr double Units26Dot6 = 64.0;
// Line height when the face states none, in ems.
constexpr double FallbackLineHeight = 1.2;

std::string FreeTypeMessage(FT_Error code) {
  switch (code) {
    case FT_Err_Cannot_Open_Resource: return "cannot open the font file";
    case FT_Err_Unknown_File_Format: return "not a font format FreeType can read";
    case FT_Err_Invalid_File_Format: return "the font file is broken";
    case FT_Err_Invalid_Argument: return "invalid face index";
    case FT_Err_Out_Of_Memory: return "out of memory";
    default: break;
  }
  const char* text = FT_Error_String(code);
  return text != nullptr ? std::string(text) : "FreeType error " + std::to_string(code);
}

// Receives FreeType's outline walk for one glyph, placed with its origin at
// (originX, originY) in document pixels.
struct OutlineSink {
  PathBuilder* builder;
  double originX, originY;
  bool contourOpen;

  double X(const FT_Vector* v) const { return originX + v->x / Units26Dot6; }
  double Y(const FT_Vector* v) const { return originY - v->y / Units26Dot6; }  // y up -> y down
};

int MoveTo(const FT_Vector* to, void* user) {
  auto* sink = static_cast<OutlineSink*>(user);
  if (sink->contourOpen) sink->builder->Close();
  sink->builder->MoveTo(sink->X(to), sink->Y(to));
  sink->contourOpen = true;
  return 0;
}

int LineTo(const FT_Vector* to, void* user) {
  auto* sink = static_cast<OutlineSink*>(user);
  const double x = sink->X(to), y = sink->Y(to);
  // The walk closes every contour with a line back to its start, which is
  // often a repeat of the last point.
  if (x == sink->builder->CurrentX() && y == sink->builder->CurrentY()) return 0;
  sink->builder->LineTo(x, y);
  return 0;
}

int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
  auto* sink = static_cast<OutlineSink*>(user);
  sink->builder->QuadTo(sink->X(control), sink->Y(control), sink->X(to), sink->Y(to));
  return 0;
}

int CubicTo(const FT_Vector* control1, const FT_Vector* control2, const FT_Vector* to, void* user) {
  auto* sink = static_cast<OutlineSink*>(user);
  sink->builder->CubicTo(sink->X(control1), sink->Y(control1), sink->X(control2), sink->Y(control2),
                         sink->X(to), sink->Y(to));
  return 0;
}

std::string CodePointName(uint32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(code));
  return text;
}

}  // namespace

bool DecodeUtf8(const std::string& text, std::vector<uint32_t>* codePoints, size_t* badOffset) {
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    uint32_t code;
    size_t length;
    uint32_t minimum;
    if (lead < 0x80) {
      code = lead;
      length = 1;
      minimum = 0;
    } else if ((lead & 0xE0) == 0xC0) {
      code = lead & 0x1Fu;
      length = 2;
      minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      code = lead & 0x0Fu;
      length = 3;
      minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      code = lead & 0x07u;
      length = 4;
      minimum = 0x10000;
    } else {
      *badOffset = i;
      return false;
    }
    if (i + length > text.size()) {
      *badOffset = i;
      return false;
    }
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) {
        *badOffset = i;
        return false;
      }
      code = (code << 6) | (next & 0x3Fu);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      *badOffset = i;
      return false;
    }
    codePoints->push_back(code);
    i += length;
  }
  return true;
}

bool SetTextPath(const std::string& utf8Text, const TextPathOptions& options, TextPathResult& result,
                 std::string& error) {
  result = TextPathResult();
  if (!(options.pixelSize > 0 && options.pixelSize <= MaxTextPixelSize)) {
    error = "the font size must be more than 0 and at most " + std::to_string(static_cast<int>(MaxTextPixelSize)) +
            " pixels";
    return false;
  }
  std::vector<uint32_t> codePoints;
  size_t badOffset = 0;
  if (!DecodeUtf8(utf8Text, &codePoints, &badOffset)) {
    error = "the text is not valid UTF-8 (byte " + std::to_string(badOffset) + ")";
    return false;
  }
  FT_Library library = nullptr;
  FT_Error code = FT_Init_FreeType(&library);
  if (code != 0) {
    error = "cannot start FreeType: " + FreeTypeMessage(code);
    return false;
  }
  FT_Face face = nullptr;
  code = FT_New_Face(library, options.fontFile.c_str(), options.faceIndex, &face);
  if (code != 0) {
    error = options.fontFile + ": " + FreeTypeMessage(code);
    FT_Done_FreeType(library);
    return false;
  }
  bool ok = true;
  if (!FT_IS_SCALABLE(face)) {
    error = options.fontFile + ": the font has no outlines (bitmap font)";
    ok = false;
  }
  if (ok) {
    // At 72 dots per inch a point is a pixel, so the character size in
    // 26.6 points is the em size in 26.6 pixels.
    const auto size26Dot6 = static_cast<FT_F26Dot6>(std::lround(options.pixelSize * Units26Dot6));
    code = FT_Set_Char_Size(face, 0, size26Dot6, 72, 72);
    if (code != 0) {
      error = options.fontFile + ": cannot set the size: " + FreeTypeMessage(code);
      ok = false;
    }
  }
  PathBuilder builder;
  FT_Outline_Funcs walk = {};
  walk.move_to = MoveTo;
  walk.line_to = LineTo;
  walk.conic_to = ConicTo;
  walk.cubic_to = CubicTo;
  const bool useKerning = options.kerning && FT_HAS_KERNING(face);
  double lineHeight = ok ? face->size->metrics.height / Units26Dot6 : 0;
  if (lineHeight <= 0) lineHeight = FallbackLineHeight * options.pixelSize;
  double penX = options.originX, penY = options.originY;
  FT_UInt previousGlyph = 0;
  for (size_t i = 0; ok && i < codePoints.size(); ++i) {
    const uint32_t character = codePoints[i];
    if (character == '\n') {
      penX = options.originX;
      penY += lineHeight;
      previousGlyph = 0;
      continue;
    }
    if (character == '\r') continue;
    const FT_UInt glyph = FT_Get_Char_Index(face, character);
    if (glyph == 0)
      result.warnings.push_back("the font has no glyph for " + CodePointName(character) +
                                "; its missing-glyph shape is used");
    if (useKerning && previousGlyph != 0 && glyph != 0) {
      FT_Vector delta;
      if (FT_Get_Kerning(face, previousGlyph, glyph, FT_KERNING_UNFITTED, &delta) == 0)
        penX += delta.x / Units26Dot6;
    }
    code = FT_Load_Glyph(face, glyph, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP);
    if (code != 0) {
      error = options.fontFile + ": cannot load the glyph for " + CodePointName(character) + ": " +
              FreeTypeMessage(code);
      ok = false;
      break;
    }
    if (face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) {
      error = options.fontFile + ": the glyph for " + CodePointName(character) + " is not an outline";
      ok = false;
      break;
    }
    OutlineSink sink{&builder, penX, penY, false};
    code = FT_Outline_Decompose(&face->glyph->outline, &walk, &sink);
    if (code != 0) {
      error = options.fontFile + ": the outline of " + CodePointName(character) + " is broken";
      ok = false;
      break;
    }
    if (sink.contourOpen) builder.Close();
    penX += face->glyph->advance.x / Units26Dot6;
    penY -= face->glyph->advance.y / Units26Dot6;
    previousGlyph = glyph;
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  if (!ok) return false;
  result.path = builder.Take();
  MarkSmoothKnots(result.path);
  result.endX = penX;
  result.endY = penY;
  return true;
}

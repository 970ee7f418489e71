// Sets a line (or lines) of text in an outline font through FreeType and
// returns the glyph outlines as a PathModel in document pixels.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "cli/PathModel.h"

struct TextPathOptions {
  std::string fontFile;    // any outline font FreeType reads (TrueType, OpenType, Type 1)
  int32_t faceIndex = 0;   // face within a collection file
  double pixelSize = 0;    // em size in document pixels, more than 0 and at most MaxTextPixelSize
  // Left end of the first line's baseline, document pixels (y downwards).
  double originX = 0, originY = 0;
  bool kerning = true;     // apply the font's kerning table when it has one
};

// Largest em size accepted, in pixels.
constexpr double MaxTextPixelSize = 10000.0;

struct TextPathResult {
  PathModel path;  // one closed subpath per glyph contour; smooth nodes linked
  // Pen position after the last character, document pixels.
  double endX = 0, endY = 0;
  std::vector<std::string> warnings;  // characters the font has no glyph for
};

// Sets `utf8Text`: glyph by glyph along the baseline, with kerning when
// available; "\n" starts a new line one line height further down. Outlines
// are taken unhinted at the requested size. Returns 0 with a message for an
// unreadable font, a font without outlines, invalid UTF-8, or a size out of
// range.
bool SetTextPath(const std::string& utf8Text, const TextPathOptions& options, TextPathResult& result,
                 std::string& error);

// Decodes UTF-8 into code points. Returns 0 and the byte offset of the first
// malformed sequence (overlong forms, surrogates and values beyond U+10FFFF
// included) in *badOffset.
bool DecodeUtf8(const std::string& text, std::vector<uint32_t>* codePoints, size_t* badOffset);

// Reads the shapes of an SVG file into a PathModel in document pixels.
//
// Shapes: <path>, <rect> (with rounded corners), <circle>, <ellipse>, <line>,
// <polyline>, <polygon>, inside <svg>, <g>, <a> and <switch> containers, each
// with its own and its ancestors' transform attributes. Everything else
// (definitions, text, images, <use> references, styling) is ignored; elements
// that would draw but are not supported are listed as warnings.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "cli/PathModel.h"

struct SvgReadOptions {
  // Document size in pixels; 0 takes the size the SVG declares (its width
  // and height, else its viewBox), rounded to whole pixels.
  int32_t documentWidth = 0;
  int32_t documentHeight = 0;
  // With a document size given: 1 fits the SVG's viewport to the document
  // (as its preserveAspectRatio asks); 0 places it at the top left at its
  // declared size (one CSS pixel per document pixel).
  bool fitToDocument = true;
};

struct SvgReadResult {
  PathModel path;              // document pixels; smooth nodes are linked
  int32_t documentWidth = 0;   // the document size the path was mapped to
  int32_t documentHeight = 0;
  std::vector<std::string> warnings;  // "line N: <use> is not supported; ignored"
};

// Largest document side the reader accepts, in pixels.
constexpr int32_t MaxSvgDocumentSide = 30000;

// Reads SVG text. Returns 0 with a message ("line N: <element>: ...") when
// the XML or a shape's geometry is malformed, or no document size can be
// found; `result` is then unspecified.
bool ReadSvgText(const std::string& text, const SvgReadOptions& options, SvgReadResult& result,
                 std::string& error);

// Reads an SVG file (at most MaxSvgFileBytes). Errors as ReadSvgText, plus
// files that cannot be read.
constexpr size_t MaxSvgFileBytes = 64u << 20;
bool ReadSvgFile(const std::string& fileName, const SvgReadOptions& options, SvgReadResult& result,
                 std::string& error);

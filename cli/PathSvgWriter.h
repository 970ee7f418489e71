// Writes a PathModel as an SVG file a person can look at, overlay on the
// picture it came from, or hand back to the tool with --svg.
#pragma once
#include <cstdint>
#include <string>

#include "cli/PathModel.h"

// The SVG text: a width x height pixel canvas (its viewBox the document's
// pixels) with one black <path> holding every subpath. Coordinates are
// written in the shortest form that reads back as the same double, so the
// SVG reader of this tool gets the knots back exactly.
std::string PathSvgText(const PathModel& path, int32_t width, int32_t height);

// Writes PathSvgText to `fileName`. Returns 0 with a message when the file
// cannot be written; a partial file is removed.
bool WritePathSvgFile(const std::string& fileName, const PathModel& path, int32_t width, int32_t height,
                      std::string& error);

#include "cli/PathSvgWriter.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

namespace {

void AppendNumber(std::string& out, double value) {
  char buffer[32];
  // Writes -0 as 0: both read back as the same position.
  const std::to_chars_result end = std::to_chars(buffer, buffer + sizeof buffer, value == 0 ? 0.0 : value);
  out.append(buffer, end.ptr);
}

void AppendPoint(std::string& out, double x, double y) {
  out.push_back(' ');
  AppendNumber(out, x);
  out.push_back(' ');
  AppendNumber(out, y);
}

// The segment from knot `from` to knot `to`: a line when both controls sit on
// their anchors, else a cubic.
void AppendSegment(std::string& out, const PathKnot& from, const PathKnot& to) {
  if (from.outX == from.anchorX && from.outY == from.anchorY && to.inX == to.anchorX && to.inY == to.anchorY) {
    out += " L";
  } else {
    out += " C";
    AppendPoint(out, from.outX, from.outY);
    AppendPoint(out, to.inX, to.inY);
  }
  AppendPoint(out, to.anchorX, to.anchorY);
}

}  // namespace

std::string PathSvgText(const PathModel& path, int32_t width, int32_t height) {
  const std::string w = std::to_string(width), h = std::to_string(height);
  std::string out = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + w + "\" height=\"" + h +
                    "\" viewBox=\"0 0 " + w + " " + h + "\">\n<path fill=\"#000\" fill-rule=\"nonzero\" d=\"";
  bool first = true;
  for (const Subpath& subpath : path.subpaths) {
    const std::vector<PathKnot>& knots = subpath.knots;
    if (knots.empty()) continue;
    if (!first) out += "\n";
    first = false;
    out += "M";
    AppendPoint(out, knots[0].anchorX, knots[0].anchorY);
    for (size_t k = 1; k < knots.size(); ++k) AppendSegment(out, knots[k - 1], knots[k]);
    if (subpath.closed) {
      // A straight closing segment is the one Z draws; a curved one is drawn
      // back to the first anchor, which the reader merges with it on Z.
      const PathKnot& last = knots.back();
      const PathKnot& start = knots.front();
      if (knots.size() > 1 && !(last.outX == last.anchorX && last.outY == last.anchorY && start.inX == start.anchorX &&
                                start.inY == start.anchorY))
        AppendSegment(out, last, start);
      out += " Z";
    }
  }
  out += "\"/>\n</svg>\n";
  return out;
}

bool WritePathSvgFile(const std::string& fileName, const PathModel& path, int32_t width, int32_t height,
                      std::string& error) {
  const std::string text = PathSvgText(path, width, height);
  FILE* file = std::fopen(fileName.c_str(), "wb");
  if (file == nullptr) {
    error = fileName + ": cannot write the SVG (" + std::strerror(errno) + ")";
    return false;
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (std::fclose(file) != 0 || !written) {
    std::remove(fileName.c_str());
    error = fileName + ": cannot write the SVG";
    return false;
  }
  return true;
}

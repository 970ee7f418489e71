#include "cli/PictureTrace.h"

#include <potracelib.h>

#include <climits>
#include <cmath>

#include "core/WorkMemory.h"

namespace {

constexpr int WordBits = static_cast<int>(sizeof(potrace_word) * CHAR_BIT);
constexpr potrace_word LeftmostBit = potrace_word{1} << (WordBits - 1);
constexpr int32_t MaxTraceSide = 30000;  // pixels, as for the images the tool reads
constexpr int NegativeSign = '-';        // potrace's sign of a hole's outline

// Potrace's bitmap has its scanline 0 at the bottom and y upwards; the plane
// has its top row first. Row r of the plane becomes scanline height - 1 - r,
// so potrace's coordinates map to the document's by y -> height - y.
// Returns the number of pixels set.
int64_t FillBitmap(const uint8_t* plane, int32_t width, int32_t height, uint8_t threshold,
                   const potrace_bitmap_t& bitmap) {
  int64_t inside = 0;
  for (int32_t row = 0; row < height; ++row) {
    const uint8_t* values = plane + static_cast<size_t>(row) * static_cast<size_t>(width);
    potrace_word* words = bitmap.map + static_cast<size_t>(height - 1 - row) * static_cast<size_t>(bitmap.dy);
    for (int32_t x0 = 0; x0 < width; x0 += WordBits) {
      const int32_t count = width - x0 < WordBits ? width - x0 : WordBits;
      potrace_word word = 0;
      potrace_word bit = LeftmostBit;
      for (int32_t k = 0; k < count; ++k, bit >>= 1) {
        if (values[x0 + k] >= threshold) {
          word |= bit;
          ++inside;
        }
      }
      words[x0 / WordBits] = word;
    }
  }
  return inside;
}

// Appends potrace's closed curve as one closed subpath in document pixels.
// A corner segment is two straight lines through its vertex c[1]; a curve
// segment a cubic with controls c[0], c[1]; both end at c[2], and each
// segment starts where the previous (cyclically) ends. Between two corner
// segments c[2] is the midpoint of a straight edge and is left out, so that a
// polygon keeps one knot per corner.
void AppendCurve(const potrace_curve_t& curve, int32_t height, PathBuilder& builder) {
  const int n = curve.n;
  auto corner = [&curve, n](int i) { return curve.tag[(i + n) % n] == POTRACE_CORNER; };
  auto y = [height](const potrace_dpoint_t& p) { return height - p.y; };
  // Start on a knot that stays: the last corner vertex when the path starts
  // within a straight edge (its segments then run up to that vertex), else
  // the last segment's end.
  const bool startAtVertex = corner(n - 1) && corner(0);
  const potrace_dpoint_t& start = startAtVertex ? curve.c[n - 1][1] : curve.c[n - 1][2];
  builder.MoveTo(start.x, y(start));
  for (int i = 0; i < (startAtVertex ? n - 1 : n); ++i) {
    const potrace_dpoint_t* c = curve.c[i];
    if (corner(i)) {
      builder.LineTo(c[1].x, y(c[1]));
      if (!corner(i + 1)) builder.LineTo(c[2].x, y(c[2]));
    } else {
      builder.CubicTo(c[0].x, y(c[0]), c[1].x, y(c[1]), c[2].x, y(c[2]));
    }
  }
  builder.Close();
}

}  // namespace

std::string CheckTraceSettings(const TraceSettings& settings) {
  if (settings.speckleSize < 0 || settings.speckleSize > MaxSpeckleSize)
    return "the speckle size must be 0 to " + std::to_string(MaxSpeckleSize) + " pixels";
  if (!(settings.cornerThreshold >= 0 && settings.cornerThreshold <= MaxCornerThreshold))
    return "the corner threshold must be 0 to 1.333";
  if (!(settings.curveTolerance >= 0 && settings.curveTolerance <= MaxCurveTolerance))
    return "the curve tolerance must be 0 to 10 pixels";
  return std::string();
}

bool TracePlane(const uint8_t* plane, int32_t width, int32_t height, uint8_t threshold,
                const TraceSettings& settings, PathModel& path, TraceReport* report, std::string& error) {
  if (width < 1 || height < 1 || width > MaxTraceSide || height > MaxTraceSide) {
    error = "a picture to trace must be 1 to " + std::to_string(MaxTraceSide) + " pixels on each side";
    return false;
  }
  if (threshold == 0) {
    error = "the threshold must be 1 to 255";
    return false;
  }
  error = CheckTraceSettings(settings);
  if (!error.empty()) return false;

  potrace_bitmap_t bitmap;
  bitmap.w = width;
  bitmap.h = height;
  bitmap.dy = (width + WordBits - 1) / WordBits;
  const uint64_t bytes = uint64_t(bitmap.dy) * uint64_t(height) * sizeof(potrace_word);
  bitmap.map = static_cast<potrace_word*>(NewBlock(static_cast<uint32_t>(bytes)));
  if (bitmap.map == nullptr) {
    error = "out of memory for the picture's bitmap";
    return false;
  }
  const int64_t inside = FillBitmap(plane, width, height, threshold, bitmap);
  if (inside == 0) {
    FreeBlockOf(bitmap.map);
    error = "no pixel reaches the threshold " + std::to_string(threshold) + " (of 255): nothing to trace";
    return false;
  }

  potrace_param_t parameters = {};
  parameters.turdsize = settings.speckleSize;
  parameters.turnpolicy = POTRACE_TURNPOLICY_MINORITY;
  parameters.alphamax = settings.cornerThreshold;
  parameters.opticurve = settings.optimizeCurves ? 1 : 0;
  parameters.opttolerance = settings.curveTolerance;
  parameters.progress.callback = nullptr;
  parameters.progress.max = 1.0;
  potrace_state_t* state = potrace_trace(&parameters, &bitmap);
  FreeBlockOf(bitmap.map);
  if (state == nullptr || state->status != POTRACE_STATUS_OK) {
    if (state != nullptr) potrace_state_free(state);
    SetResult(MemFullErr);
    error = "out of memory while tracing";
    return false;
  }

  TraceReport counts;
  counts.insidePixels = inside;
  PathBuilder builder;
  for (const potrace_path_t* outline = state->plist; outline != nullptr; outline = outline->next) {
    if (outline->curve.n < 1) continue;
    AppendCurve(outline->curve, height, builder);
    ++(outline->sign == NegativeSign ? counts.holes : counts.outlines);
  }
  potrace_state_free(state);
  PathModel traced = builder.Take();
  if (traced.subpaths.empty()) {
    error = "every shape is a speckle of at most " + std::to_string(settings.speckleSize) +
            " pixels: nothing left to trace";
    return false;
  }
  MarkSmoothKnots(traced);
  for (Subpath& subpath : traced.subpaths) path.subpaths.push_back(std::move(subpath));
  if (report != nullptr) *report = counts;
  return true;
}

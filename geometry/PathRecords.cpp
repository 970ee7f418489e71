#include "geometry/PathRecords.h"

#include "core/NodePool.h"
#include "core/WorkMemory.h"
#include "geometry/Contour.h"
#include "geometry/CurveFlattening.h"

namespace {
// Path units carry 24 fraction bits of the document size.
constexpr int PathFractionBits = 24;

struct RecordReader {
  const uint8_t* data;
  uint32_t count;  // whole records in the data
  uint32_t index;  // the next record to look at
  int32_t documentWidth, documentHeight;
};

struct Knot {
  PathPoint preceding, anchor, leaving;
  uint16_t selector;
};

inline uint16_t ReadU16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }
inline int32_t ReadI32(const uint8_t* p) {
  return int32_t((uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]));
}

// The next record with a selector from 0 to 5, from the reader's index on;
// null when none is left. The index moves beyond the record returned.
const uint8_t* NextRecord(RecordReader& r) {
  while (r.index < r.count) {
    const uint8_t* record = r.data + uint64_t(r.index) * PathRecordSize;
    ++r.index;
    if (ReadU16(record) <= OpenKnotUnlinked) return record;
  }
  return nullptr;
}

bool ValidValue(int32_t v, int32_t size) {
  if (v < MinKnotValue || v > MaxKnotValue) return false;
  const int64_t pixels = (int64_t(v) * size) >> PathFractionBits;
  return pixels >= -MaxKnotPixels && pixels <= MaxKnotPixels;
}

// Reads the next record as a knot of the given kind; false on a missing or
// wrong record or a value out of limits.
bool ReadKnot(RecordReader& r, uint16_t knotKind, Knot* knot) {
  const uint8_t* record = NextRecord(r);
  if (record == nullptr) return false;
  knot->selector = ReadU16(record);
  if (knot->selector != knotKind && knot->selector != knotKind + 1) return false;
  int32_t values[6];
  for (int i = 0; i < 6; ++i) {
    values[i] = ReadI32(record + 2 + 4 * i);
    const bool vertical = (i & 1) == 0;
    if (!ValidValue(values[i], vertical ? r.documentHeight : r.documentWidth)) return false;
  }
  knot->preceding = PathPoint{values[1], values[0]};
  knot->anchor = PathPoint{values[3], values[2]};
  knot->leaving = PathPoint{values[5], values[4]};
  return true;
}

inline bool Same(PathPoint a, PathPoint b) { return a.x == b.x && a.y == b.y; }

// Adds the segment from k1 to k2: k1's anchor, then the flattened curve when
// either control point is off its anchor.
int AddSegment(const RecordReader& r, Contour* contour, const Knot& k1, const Knot& k2, bool k1Linked) {
  if (Same(k1.leaving, k1.anchor) && Same(k2.preceding, k2.anchor))
    return AppendVertex(contour, k1.anchor.x, k1.anchor.y, 0);
  const bool smooth = k1Linked && !Same(k1.preceding, k1.anchor) && !Same(k1.leaving, k1.anchor);
  return FlattenCurve(contour, k1.anchor, k1.leaving, k2.preceding, k2.anchor, smooth, r.documentWidth,
                      r.documentHeight);
}

// Reads one subpath; a contour made for it is put at the front of *list at
// once, so that a failure part way leaves nothing outside the list.
// Returns 1, or 0 on malformed data or memory exhaustion (MemFullErr set).
int ReadSubpath(RecordReader& r, Contour** list) {
  const uint8_t* lengthRecord = NextRecord(r);
  if (lengthRecord == nullptr) return 0;
  const uint16_t selector = ReadU16(lengthRecord);
  if (selector != ClosedLengthRecord && selector != OpenLengthRecord) return 0;
  const uint16_t knotKind = selector == ClosedLengthRecord ? ClosedKnotLinked : OpenKnotLinked;
  const int16_t n = int16_t(ReadU16(lengthRecord + 2));
  if (n == 0 || n == 1) {
    for (int i = 0; i < n; ++i) NextRecord(r);
    return 1;
  }
  if (n < 0 || uint32_t(n) > r.count - r.index) return 0;
  Knot first;
  if (!ReadKnot(r, knotKind, &first)) return 0;
  auto* contour = static_cast<Contour*>(NewBlock(sizeof(Contour)));
  if (contour == nullptr) return 0;
  contour->firstVertex = nullptr;
  contour->next = *list;
  contour->crossed = 0;
  *list = contour;
  Knot previous = first;
  for (int i = 1; i < n; ++i) {
    Knot knot;
    if (!ReadKnot(r, knotKind, &knot)) return 0;
    if (!AddSegment(r, contour, previous, knot, previous.selector == knotKind)) return 0;
    previous = knot;
  }
  return AddSegment(r, contour, previous, first, previous.selector == knotKind);
}
}  // namespace

Contour* ReadPathRecords(const uint8_t* data, uint32_t size, int32_t documentWidth, int32_t documentHeight) {
  if (RunFailed()) return nullptr;
  RecordReader r{data, data != nullptr ? size / PathRecordSize : 0, 0, documentWidth, documentHeight};
  Contour* list = nullptr;
  while (r.index < r.count) {
    if (!ReadSubpath(r, &list)) {
      FreeContourList(&list);
      EmptyPool(&gVertexPool);
      break;
    }
  }
  if (list != nullptr) return list;
  if (!RunFailed()) SetResult(PathInvalidCode);
  return nullptr;
}

#include "geometry/CrossingPass.h"

#include <algorithm>
#include <initializer_list>

#include "core/NodePool.h"
#include "core/WorkMemory.h"
#include "geometry/Contour.h"
#include "geometry/ContourCleanup.h"
#include "geometry/CrossingGroup.h"
#include "geometry/EdgeIndex.h"
#include "geometry/WideArithmetic.h"

namespace {
constexpr uint32_t RecordsPerPoolBlock = 64;
constexpr uint8_t KindMask = 0x0F;

struct PassState {
  EdgeIndex index;
  NodePool records;
  CrossingGroupList* groups;
  uint32_t* candidates;  // room for every edge number
  bool rounded;
};

inline int64_t Cross(int64_t ax, int64_t ay, int64_t bx, int64_t by) { return ax * by - ay * bx; }
inline bool SameXY(const PathVertex* a, const PathVertex* b) { return a->x == b->x && a->y == b->y; }

// Whether (x, y) is within the cleanup pass's merging distance of v.
inline bool SamePoint(const PathVertex* v, int64_t x, int64_t y) {
  return x - v->x >= -SamePointDistance && x - v->x <= SamePointDistance && y - v->y >= -SamePointDistance &&
         y - v->y <= SamePointDistance;
}

// Inserts the record into the list of the edge that starts at `owner`, after
// every record of a smaller or equal parameter; an equal predecessor gets
// SameParameterFollows.
void InsertSorted(PathVertex* owner, CrossingRecord* record) {
  CrossingRecord* before = nullptr;
  CrossingRecord* after = owner->link.crossings;
  while (after != nullptr &&
         CompareFractions(after->numerator, after->denominator, record->numerator, record->denominator) <= 0) {
    before = after;
    after = after->next;
  }
  record->next = after;
  if (before == nullptr) {
    owner->link.crossings = record;
    return;
  }
  before->next = record;
  if (CompareFractions(before->numerator, before->denominator, record->numerator, record->denominator) == 0)
    before->kind |= SameParameterFollows;
}

// Records one contact on both edges. Returns 0 with MemFullErr set.
int RecordContact(PassState& s, const EdgeEntry& a, uint8_t kindA, int64_t numA, int64_t denA, const EdgeEntry& b,
                  uint8_t kindB, int64_t numB, int64_t denB) {
  auto* ra = TakeRecordOf<CrossingRecord>(&s.records);
  auto* rb = TakeRecordOf<CrossingRecord>(&s.records);
  if (ra == nullptr || rb == nullptr) return 0;
  *ra = CrossingRecord{numA, denA, nullptr, rb, b.start, kindA};
  *rb = CrossingRecord{numB, denB, nullptr, ra, a.start, kindB};
  InsertSorted(a.start, ra);
  InsertSorted(b.start, rb);
  a.contour->crossed = 1;
  b.contour->crossed = 1;
  return 1;
}

// Parameter K/O of point p on the line of the edge p0 -> p1 (p known to lie
// on it), turned so that O > 0; whether 0 < K < O.
bool InsideParameter(const PathVertex* p0, const PathVertex* p1, const PathVertex* p, int64_t* k, int64_t* o) {
  int64_t kk, oo;
  if (p0->x != p1->x) {
    kk = int64_t(p->x) - p0->x;
    oo = int64_t(p1->x) - p0->x;
  } else {
    kk = int64_t(p->y) - p0->y;
    oo = int64_t(p1->y) - p0->y;
  }
  if (oo < 0) {
    kk = -kk;
    oo = -oo;
  }
  *k = kk;
  *o = oo;
  return kk > 0 && kk < oo;
}

bool OnLine(const PathVertex* p0, const PathVertex* p1, const PathVertex* p) {
  return Cross(int64_t(p1->x) - p0->x, int64_t(p1->y) - p0->y, int64_t(p->x) - p0->x, int64_t(p->y) - p0->y) == 0;
}

// The contact test of edge a (tested first) with the later edge b.
int TestPair(PassState& s, const EdgeEntry& a, const EdgeEntry& b) {
  const PathVertex* a0 = a.start;
  const PathVertex* a1 = a0->next;
  const PathVertex* b0 = b.start;
  const PathVertex* b1 = b0->next;
  if (SameXY(a0, b0)) return RecordContact(s, a, SameStartOnFirst, 0, 1, b, SameStartOnSecond, 0, 1);
  int64_t k, o;
  if (SameXY(a0, b1)) {
    // Edges that meet end to start touch nowhere else, unless b runs back
    // along a and starts inside it; that contact has no other edge pair to
    // find it.
    if (OnLine(a0, a1, b0) && InsideParameter(a0, a1, b0, &k, &o))
      return RecordContact(s, a, SecondStartInFirst, k, o, b, SecondStartOnFirst, 0, 1);
    return 1;
  }
  if (a.maxX < b.minX || b.maxX < a.minX || a.maxY < b.minY || b.maxY < a.minY) return 1;
  // Collinear edges that overlap running against each other each start inside
  // the other: both contacts are recorded, as no other pair sees them.
  const bool startInB = OnLine(b0, b1, a0) && InsideParameter(b0, b1, a0, &k, &o);
  if (startInB && !RecordContact(s, a, FirstStartOnSecond, 0, 1, b, FirstStartInSecond, k, o)) return 0;
  if (!startInB && SameXY(a1, b0)) return 1;
  if (OnLine(a0, a1, b0) && InsideParameter(a0, a1, b0, &k, &o))
    return RecordContact(s, a, SecondStartInFirst, k, o, b, SecondStartOnFirst, 0, 1);
  if (startInB) return 1;
  const int64_t rx = int64_t(a1->x) - a0->x, ry = int64_t(a1->y) - a0->y;
  const int64_t qx = int64_t(b1->x) - b0->x, qy = int64_t(b1->y) - b0->y;
  const int64_t wx = int64_t(b0->x) - a0->x, wy = int64_t(b0->y) - a0->y;
  int64_t d = Cross(rx, ry, qx, qy);
  if (d == 0) return 1;
  int64_t na = Cross(wx, wy, qx, qy);
  int64_t nb = Cross(wx, wy, rx, ry);
  if (d < 0) {
    d = -d;
    na = -na;
    nb = -nb;
  }
  if (na <= 0 || na >= d || nb <= 0 || nb >= d) return 1;
  return RecordContact(s, a, CrossingOnFirst, na, d, b, CrossingOnSecond, nb, d);
}

// Puts `cur` into the group this contact belongs to. Returns 0 with
// MemFullErr set. When cur already stands in another group, the two groups
// meet at one point and become one: collinear edges that overlap through a
// contact point record no contact with each other, so each may have made its
// own group there before a third edge's contact joins them.
int GroupVertex(PassState& s, const CrossingRecord* record, PathVertex* cur) {
  CrossingGroup* target = nullptr;
  if ((record->kind & ContactOnSecondEdge) != 0)
    target = record->other->group;
  else if ((record->partner->kind & PartnerVertexKnown) != 0)
    target = record->partner->other->group;
  if (target == nullptr) {
    if (cur->group == nullptr && NewGroup(s.groups, cur) == nullptr) return 0;
    return 1;
  }
  if (cur->group == nullptr) return AddGroupMember(target, cur);
  if (cur->group != target) return MergeGroups(s.groups, target, cur->group);
  return 1;
}

// Hands the contact vertex to the partner record so that the other edge's
// split uses the same point and group.
void HandOver(CrossingRecord* record, PathVertex* cur) {
  if ((record->kind & ContactOnSecondEdge) != 0) return;
  record->partner->other = cur;
  record->partner->kind |= PartnerVertexKnown;
}

// The point of the contact run first..last on the edge a0 -> a1.
void ContactPoint(PassState& s, const CrossingRecord* first, const CrossingRecord* last, const PathVertex* a0,
                  const PathVertex* a1, const PathVertex* cur, int32_t* x, int32_t* y) {
  const PathVertex* at = nullptr;
  if ((first->kind & (ContactOnSecondEdge | ContactAtVertex)) != 0)
    at = first->other;
  else if ((first->kind & KindMask) == CrossingOnFirst && (first->partner->kind & PartnerVertexKnown) != 0)
    at = first->partner->other;
  else if (first != last)
    for (const CrossingRecord* r = first->next;; r = r->next) {
      if ((r->kind & ContactAtVertex) != 0) {
        at = r->other;
        break;
      }
      if (r == last) break;
    }
  if (at != nullptr) {
    *x = at->x;
    *y = at->y;
    return;
  }
  *x = int32_t(a0->x + ScaleRounded(int64_t(a1->x) - a0->x, first->numerator, first->denominator));
  *y = int32_t(a0->y + ScaleRounded(int64_t(a1->y) - a0->y, first->numerator, first->denominator));
  s.rounded = true;
  // A rounded point within merging distance of the edge's neighbouring
  // vertex takes that vertex's place exactly. Otherwise the cleanup pass would
  // merge the new vertex away again, restore the crossing, and the passes
  // would repeat the same rounding for ever.
  for (const PathVertex* near : {a1, cur}) {
    if (SamePoint(near, *x, *y)) {
      *x = near->x;
      *y = near->y;
      return;
    }
  }
}

// Splits the edge starting at a0 at its recorded contacts.
int SplitEdge(PassState& s, PathVertex* a0) {
  const PathVertex* a1 = a0->next;
  PathVertex* cur = a0;
  CrossingRecord* record = a0->link.crossings;
  while (record != nullptr) {
    if ((record->kind & ContactAtOwnStart) != 0) {
      if (!GroupVertex(s, record, a0)) return 0;
      HandOver(record, a0);
      record = record->next;
      continue;
    }
    CrossingRecord* last = record;
    while ((last->kind & SameParameterFollows) != 0 && last->next != nullptr) last = last->next;
    int32_t x, y;
    ContactPoint(s, record, last, a0, a1, cur, &x, &y);
    cur = InsertVertexAfter(cur, x, y);
    if (cur == nullptr) return 0;
    for (CrossingRecord* r = record;; r = r->next) {
      if (!GroupVertex(s, r, cur)) return 0;
      HandOver(r, cur);
      if (r == last) break;
    }
    record = last->next;
  }
  a0->link.crossings = nullptr;
  return 1;
}

int RunPass(PassState& s) {
  EdgeIndex& index = s.index;
  for (uint32_t i = 0; i < index.edgeCount; ++i) {
    const EdgeEntry& a = index.edges[i];
    uint32_t count = 0;
    ForEachEdgeNear(index, a.minX, a.minY, a.maxX, a.maxY, [&](uint32_t e) {
      if (e > i) s.candidates[count++] = e;
    });
    std::sort(s.candidates, s.candidates + count);
    for (uint32_t k = 0; k < count; ++k)
      if (!TestPair(s, a, index.edges[s.candidates[k]])) return 0;
    if (!SplitEdge(s, a.start)) return 0;
  }
  return 1;
}
}  // namespace

int CrossingPass(Contour* list, CrossingGroupList* groups, bool* roundedPoint) {
  *roundedPoint = false;
  for (Contour* c = list; c != nullptr; c = c->next) c->crossed = 0;
  PassState s{};
  s.records = NodePool{sizeof(CrossingRecord), RecordsPerPoolBlock, nullptr, nullptr};
  s.groups = groups;
  if (!BuildEdgeIndex(&s.index, list)) return 0;
  s.candidates = static_cast<uint32_t*>(NewBlock(s.index.edgeCount == 0 ? 1 : s.index.edgeCount * uint32_t(sizeof(uint32_t))));
  int ok = s.candidates != nullptr ? RunPass(s) : 0;
  for (uint32_t i = 0; i < s.index.edgeCount; ++i) s.index.edges[i].start->link.crossings = nullptr;
  EmptyPool(&s.records);
  FreeBlockOf(s.candidates);
  FreeEdgeIndex(&s.index);
  if (!ok && !RunFailed()) SetResult(PathInvalidCode);
  *roundedPoint = s.rounded;
  return ok;
}

void ResetClassification(Contour* list) {
  for (Contour* c = list; c != nullptr; c = c->next) {
    PathVertex* first = c->firstVertex;
    if (first == nullptr) continue;
    PathVertex* v = first;
    do {
      v->group = nullptr;
      v->link.crossings = nullptr;
      v->flags = (v->flags & (SmoothPoint | CurveEdge)) | AllWalkBits;
      v = v->next;
    } while (v != first);
  }
}

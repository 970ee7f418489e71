// Points of element outlines and their offsets.
//
// The tracer fills fx, fy and the SmoothPoint/CurveEdge bits of every node; the
// bevel stage converts to pixels, classifies corners and offsets. Nodes come
// from the node pools declared below and are released with their pool; ring
// headers are single work-memory blocks owned by the outline set.
#pragma once
#include <cstdint>

#include "core/NodePool.h"
#include "geometry/PointFlags.h"

struct Contour;
struct BandEdge;

struct OffsetNode {
  OffsetNode* next;  // the nodes of one outline form a closed ring
  OffsetNode* prev;
  double x, y;       // the vertex, document pixels
  double ox, oy;     // the start of this node's offset edge, document pixels
  double nx, ny;     // unit normal (dy, -dx)/length of the edge to next
  uint32_t flags;    // the bits below
  // Interpolation state of the band piece that starts here, 16.16 fixed point.
  int32_t distanceStep;   // distance attribute gradient per sample column
  int32_t direction;      // direction attribute at the current sample row
  int32_t directionStep;  // direction attribute gradient per sample column
  int16_t index;          // sequence number within the element; 0 before numbering
  // The vertex in path units (8.24 fractions of the document's width and
  // height). Not read after conversion to pixels; the band rasterisers reuse
  // the two words as links to the side edges of the node's band piece.
  int32_t fx, fy;
  int32_t spare;
  // Band sweep links: the band edges that bound this node's band piece on the
  // current sample row, on its left (start) and its right (end). Pointers do
  // not fit the 32-bit words above on 64-bit builds, so they have their own.
  BandEdge* startEdge;
  BandEdge* endEdge;
};

// One ring of an element's outlines; the set is a singly linked chain.
struct OffsetRingList {
  OffsetNode* first;     // the ring's first node
  OffsetRingList* next;  // null at the end of the chain
};

// OffsetNode flag bits (SmoothPoint and CurveEdge come from PointFlags.h).
constexpr uint32_t OuterCorner = 0x00100000;       // join needed at this vertex on the offset side
constexpr uint32_t OuterCornerAhead = 0x00200000;  // the vertex at the end of this edge is an OuterCorner
constexpr uint32_t StraightPoint = 0x00400000;     // this vertex lies on the line through its neighbours
constexpr uint32_t StraightAhead = 0x00800000;     // the vertex at the end of this edge is a StraightPoint
constexpr uint32_t StartReset = 0x01000000;        // put a moved-forward offset start back to the perpendicular
constexpr uint32_t EndTrimCheck = 0x02000000;      // band builder checks the next start against this edge
constexpr uint32_t Collapsed = 0x04000000;         // the offset edge is empty or runs against its outline edge
constexpr uint32_t EndPerpendicular = 0x08000000;  // offset edge ends at the perpendicular offset of next
constexpr uint32_t JoinNode = 0x10000000;          // inserted bevel corner or clipped-miter point
constexpr uint32_t ArcNode = 0x20000000;           // inserted point of a round join
constexpr uint32_t CurveEndNode = 0x40000000;      // inserted node keeping the exact end of a curve offset edge
constexpr uint32_t MiterNode = 0x80000000;         // inserted miter point ahead of a CurveEdge

// Full initial flag words of inserted nodes.
constexpr uint32_t JoinNodeFlags = JoinNode | OuterCorner | OuterCornerAhead;
constexpr uint32_t ArcNodeFlags = ArcNode | OuterCorner | OuterCornerAhead | SmoothPoint | CurveEdge;
constexpr uint32_t CurveEndNodeFlags = CurveEndNode | OuterCorner | SmoothPoint;
constexpr uint32_t MiterNodeFlags = MiterNode | OuterCornerAhead;
static_assert(JoinNodeFlags == 0x10300000 && ArcNodeFlags == 0x20330000 && CurveEndNodeFlags == 0x40110000 &&
              MiterNodeFlags == 0x80200000);

// Any of the top four bits marks a node inserted by the joins.
constexpr uint32_t InsertedNodeMask = JoinNode | ArcNode | CurveEndNode | MiterNode;
// The bits an outline vertex keeps when the offset is undone.
constexpr uint32_t VertexKeptMask =
    SmoothPoint | CurveEdge | OuterCorner | OuterCornerAhead | StraightPoint | StraightAhead;
static_assert(VertexKeptMask == 0x00F30000);

inline bool IsInsertedNode(const OffsetNode* node) { return (node->flags & InsertedNodeMask) != 0; }

// The pools outline nodes come from: the traced outlines' own points, and
// the nodes each bevel's joins insert (emptied when that bevel is rebuilt).
extern NodePool gOutlinePool;
extern NodePool gInnerOffsetPool;
extern NodePool gOuterOffsetPool;

// The current pool: the pool that outline nodes are taken from while outlines
// are traced (the outline pool) and that join nodes are taken from while a
// bevel is offset (that bevel's offset pool). Never null; the outline pool
// until another is selected (null selects it again).
void SelectPool(NodePool* pool);
NodePool* CurrentPool();

// Takes a node from the current pool (CurrentPool()), stores fx, fy and the
// SmoothPoint/CurveEdge bits of `flags`, and links it at the end of the ring
// (in front of its first node); into an empty ring it goes as the only node.
// Returns 1, or 0 with MemFullErr set when the pool is exhausted.
int AppendVertex(OffsetRingList* ring, int32_t fx, int32_t fy, uint32_t flags);

// Copies a whole contour into the ring in the direction that walk bit set
// `shift` (0 or 6) allows at its first vertex: forwards when that vertex has
// 1 << shift, else backwards when its successor has 4 << shift, else nothing.
// Returns 1 (also when nothing was copied), 0 on memory exhaustion.
int CopyOutline(OffsetRingList* ring, const Contour* source, int shift);

// Opens every ring of the set (its last node's next becomes null) and frees
// the ring headers; *set becomes null. The nodes stay in their pool until the
// pool is emptied. Rings are opened first so that nothing can walk a ring
// whose nodes the pool may later reuse.
void FreeOutlineSet(OffsetRingList** set);

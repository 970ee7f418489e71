// Band edges: the scan-conversion edges of bevel bands, and the sampling grid
// that every rasteriser of the program shares.
//
// After offsetting, every OffsetNode describes one band quadrilateral: from
// its outline edge (node to next) to its offset edge (offset start to the end
// of that edge). Each quadrilateral becomes up to four BandEdges carrying two
// attributes that are interpolated down the edge: the distance across the
// band (255 on the outline, 0 on the offset edge) and the direction angle of
// the band's normal. The owners of an edge say which band piece lies on
// either side of it along a sample row, which is how the band sweep finds the
// piece that owns a sub-sample.
#pragma once
#include <cstdint>

#include "core/NodePool.h"
#include "geometry/OffsetNode.h"

// ---- Sampling grid --------------------------------------------------------
// Each pixel holds SampleColumns x SampleRows sub-samples; coverage counts
// them (0..PixelSamples). Sample row k has its centre at (k + 0.5) / 4 pixel,
// sample column t at (t + 0.5) / 8 pixel.
constexpr int32_t SampleColumns = 8;                          // per pixel
constexpr int32_t SampleRows = 4;                             // per pixel
constexpr int32_t PixelSamples = SampleColumns * SampleRows;  // 32: full coverage
constexpr int32_t SampleColumnShift = 3;                      // column t lies in pixel t >> 3
constexpr int32_t SampleRowShift = 2;                         // row j lies in pixel row j >> 2

// Positions are held with 12 fraction bits: y in quarter pixels (sample rows)
// and x in eighth pixels (sample columns). One whole unit is GridOne.
constexpr int32_t GridFractionBits = 12;
constexpr int32_t GridOne = 1 << GridFractionBits;            // 4096
constexpr int32_t GridHalf = GridOne / 2;                     // 2048: a sample centre
// A point's coordinate in pixels is first truncated to 1/PointScale pixel.
constexpr double PointScale = GridOne;                        // 4096
// x units per pixel: eighth pixels with 12 fraction bits (x * 32768).
constexpr int32_t XUnitsPerPixel = SampleColumns * GridOne;
// Added to a crossing's x so that x >> 12 is the first sample column whose
// centre is at or right of the crossing.
constexpr int32_t ColumnRounding = GridHalf - 1;              // 2047

// ---- Attribute formats -------------------------------------------------------
constexpr int32_t FixedShift = 16;                             // 16.16 fixed point
constexpr int32_t FixedOne = 1 << FixedShift;
constexpr int32_t OutlineDistance = 255;                       // distance on the outline edge
constexpr int32_t OffsetDistance = 0;                          // distance on the offset edge
// Direction angles are in 1/1024 turns (DirectionSteps per turn); as 16.16
// values a full turn is 2^26. Edge directions are stored with DirectionBias
// added so that they stay positive while interpolated.
constexpr int32_t DirectionSteps = 1024;
constexpr int32_t DirectionMask = DirectionSteps - 1;
constexpr int32_t DirectionTurn = DirectionSteps << FixedShift;  // 0x4000000
constexpr int32_t DirectionBias = DirectionTurn;
constexpr int32_t DirectionHalfTurn = DirectionTurn / 2;        // 0x2000000
constexpr int32_t DirectionAngleMask = DirectionTurn - 1;       // the angle without the bias
// 1024 / (2 pi): radians to 1/1024 turns, so that angle i is the direction
// of DirectionTable entry i.
constexpr double DirectionStepsPerRadian = 162.97466172610083;

// ---- Band edge ------------------------------------------------------------------
// BandEdge flag bits; along a sample row the first owner lies left of the
// edge and the second owner right of it.
constexpr uint32_t OutlineEdgeFlag = 0x1;   // the edge is its quadrilateral's outline edge
constexpr uint32_t NoSecondOwner = 0x2;     // nothing right of it: the edge closes a band interval
constexpr uint32_t NoFirstOwner = 0x8;      // nothing left of it: the edge opens a band interval
constexpr uint32_t EdgeStaticFlags = 0xF;   // the bits above; the sweep adds per-row bits over them

struct BandEdge {
  int32_t lastRow;        // last sample row covered
  int32_t firstRow;       // first sample row covered (the edge's pending row)
  int32_t x;              // at the current row: eighth pixels, 12 fraction bits, ColumnRounding added
  int32_t xStep;          // per sample row, same units
  int32_t distance;       // at the current row, 16.16 (0..255)
  int32_t distanceStep;   // per sample row, 16.16
  int32_t direction;      // at the current row, 16.16 in 1/1024 turns, DirectionBias added
  int32_t directionStep;  // per sample row, 16.16
  uint32_t flags;         // the bits above, plus the sweep's per-row bits
  OffsetNode* secondOwner;  // the piece right of the edge, or null
  OffsetNode* firstOwner;   // the piece left of the edge, or null
  BandEdge* next;           // the edge list, sorted by first row; the sweep relinks it
  // Working state of the band sweep (not set by the band builder).
  int32_t column;          // the current sample column, x >> 12
  int32_t value;           // opening edges: band coordinate of the current segment at the walking column
  OffsetNode* segment;     // opening edges: the band piece the interval is in
  BandEdge* nextOpening;   // opening edges: the row's list sorted by x
};

extern NodePool gBandEdgePool;  // every BandEdge; emptied around each element build

// Bounds of an element in 16.16 fixed point (document pixels). Kept in 64
// bits so that a path far outside the document cannot overflow them; the
// element builder rejects frames that do not fit its 16-bit origin.
struct FixedBounds {
  int64_t minX, minY, maxX, maxY;
};

// A point in document pixels.
struct PixelPoint {
  double x, y;
};

// A list of band edges under construction. Edges are collected unsorted and
// sorted once by FinishEdgeList, which gives the same order as inserting each
// new edge in front of the first edge whose first row is at least its own.
struct BandEdgeList {
  BandEdge* head;   // after FinishEdgeList: sorted by first row
  int32_t count;    // edges in the list
};

// Where an edge P -> Q meets the sample rows. Every rasteriser of the
// program places its edges this way, so that edges shared by two rasterisers
// cover exactly the same sub-samples.
struct EdgePlacement {
  bool pIsTop;        // P is the upper end
  int32_t firstRow;   // first row whose centre lies strictly below the upper end
  int32_t lastRow;    // last row whose centre lies at or above the lower end
  int64_t x;          // at the first row, x units, without ColumnRounding
  int64_t xStep;      // per row; 0 when the edge covers one row
  int64_t m;          // from the upper end down to the first row centre, row units (1/16384 pixel)
  int64_t height;     // from the upper end to the lower end, row units
};

// Places the edge P -> Q. Returns 0 for an edge that covers no row centre
// (horizontal, or both ends between the same two centres).
int PlaceEdge(PixelPoint p, PixelPoint q, EdgePlacement* placement);

// Direction angle of the vector (dx, dy), 0..1023 in 1/1024 turns.
int32_t DirectionAngle(double dx, double dy);

// trunc(value * scale) as a 64-bit integer, saturated; NaN gives 0.
int64_t TruncScaled(double value, double scale);

// Makes the edge P -> Q and adds it to the list (unsorted until
// FinishEdgeList). Distances are 0..255, directions 16.16 angles in 1/1024
// turns (without bias). `firstOwner` and `secondOwner` are given for an edge
// that runs upwards (P below Q); for a downward edge they are exchanged. A
// horizontal edge, or one that covers no sample row centre, adds nothing.
// Returns 1, or 0 with MemFullErr in the result cell when the pool is full.
int MakeBandEdge(BandEdgeList* list, PixelPoint p, PixelPoint q, int32_t distanceP, int32_t distanceQ,
                 int32_t directionP, int32_t directionQ, uint32_t flags, OffsetNode* firstOwner,
                 OffsetNode* secondOwner);

// Inserts one edge into a list sorted by first row, in front of the first
// edge whose first row is at least its own. Returns the new head.
BandEdge* SortedInsert(BandEdge* edge, BandEdge* list);

// Sorts the collected edges by first row (see BandEdgeList).
void FinishEdgeList(BandEdgeList* list);

// Which bound the quadrilateral widens: the outer form (Outer Bevel) takes
// the node's offset start, the inner form (Inner Bevel) its outline point.
enum class BandForm : int32_t {
  Outer = 0,  // bounds from offset starts; the band lies outside the element
  Inner = 1   // bounds from outline points; the band lies inside the element
};

// Widens bounds with a point: each coordinate, as 16.16, lowers the minimum
// or else raises the maximum.
void WidenBounds(FixedBounds* bounds, double x, double y);

// The end of node p's offset edge: normally the next node's offset start; the
// perpendicular offset of the next vertex (next + size * p's normal) when p
// is Collapsed or EndPerpendicular, or when a trim check applies (p has
// EndTrimCheck or next is Collapsed) and the next start falls short of the
// next vertex along p's edge direction.
PixelPoint OffsetEdgeEnd(const OffsetNode* p, double size);

// Horizontal gradient of an attribute over a triangle with values d0..d2 at
// its corners: the change per eighth pixel along the horizontal line through
// the middle corner, 16.16. A triangle of no width there has gradient 0.
int32_t HorizontalGradient(PixelPoint a, int32_t da, PixelPoint b, int32_t db, PixelPoint c, int32_t dc);

// Makes the edges of node p's band quadrilateral, sets p's distanceStep and
// widens the bounds. Returns 1, or 0 with MemFullErr set (edges made before
// the failure stay in the list).
int MakeBandQuadrilateral(OffsetNode* p, BandEdgeList* list, FixedBounds* bounds, double size, BandForm form);

// Makes the quadrilaterals of every node of every ring, in order. Stops at
// the first failure (result cell not 0). The list is sorted on return, also
// after a failure. Returns 1 or 0.
int BuildBands(OffsetRingList* rings, BandEdgeList* list, FixedBounds* bounds, double size, BandForm form);

// Moves every edge of a sorted list into a frame whose origin is the pixel
// (x0, y0): rows - 4 * y0, x - x0 * 32768.
void ShiftBandEdges(BandEdge* list, int32_t x0, int32_t y0);

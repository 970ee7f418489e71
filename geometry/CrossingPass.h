// The crossing pass: makes the contours a planar arrangement. Every contact
// between two edges becomes a vertex on each of them, and the vertices at one
// contact point are gathered in a crossing group.
#pragma once
#include <cstdint>

struct Contour;
struct CrossingGroupList;
struct PathVertex;

// Kind bits of a contact record on an edge's list.
constexpr uint8_t ContactOnSecondEdge = 0x01;   // the record of the later-tested edge of the pair
constexpr uint8_t SameParameterFollows = 0x02;  // the next record lies at the same parameter
constexpr uint8_t ContactAtOwnStart = 0x04;     // the contact is the edge's own start: no new vertex
constexpr uint8_t ContactAtVertex = 0x08;       // the contact is an existing vertex (`other`)
constexpr uint8_t PartnerVertexKnown = 0x10;    // `other` is the vertex already made for this contact

// Contact kinds (the low four bits).
constexpr uint8_t CrossingOnFirst = 0;     // interiors cross; record of the first edge
constexpr uint8_t CrossingOnSecond = 1;    // the same crossing seen from the second edge
constexpr uint8_t FirstStartOnSecond = 4;  // first edge's start lies inside the second; on the first
constexpr uint8_t FirstStartInSecond = 9;  // the same, on the second edge
constexpr uint8_t SecondStartInFirst = 8;  // second edge's start lies inside the first; on the first
constexpr uint8_t SecondStartOnFirst = 5;  // the same, on the second edge
constexpr uint8_t SameStartOnFirst = 12;   // both edges start at one point; on the first
constexpr uint8_t SameStartOnSecond = 13;  // the same, on the second edge

// One contact on an edge, at the parameter numerator / denominator
// (0 <= t < 1) along the edge from its start. The lists of one pass live in
// a node pool of the pass.
struct CrossingRecord {
  int64_t numerator;
  int64_t denominator;  // always positive
  CrossingRecord* next;     // the edge's next record, by increasing parameter
  CrossingRecord* partner;  // the record of the same contact on the other edge
  PathVertex* other;        // the other edge's start, or the vertex at the contact
  uint8_t kind;
};

// Largest path-unit magnitude of a coordinate the exact arithmetic is sized
// for: differences stay below 2^29 and cross products fit 64 bits.
constexpr int32_t MaxPathCoordinate = 0x10000000;

// Tests every pair of edges present when the pass starts once, inserts a
// vertex at every contact and gathers the vertices of each contact point into
// a new group appended to *groups. The crossed flag of every contour is set
// when one of its edges met another in this pass and cleared otherwise.
// Returns 1 and sets *roundedPoint when a contact point had to be rounded to
// the path-unit grid (a new point was computed; the pass must then be
// repeated after a cleanup). Returns 0 with MemFullErr set.
int CrossingPass(Contour* list, CrossingGroupList* groups, bool* roundedPoint);

// Clears the group and link of every vertex and puts back every walk bit,
// keeping only SmoothPoint and CurveEdge of the other flags.
void ResetClassification(Contour* list);

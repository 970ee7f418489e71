// Flag bits that path vertices and outline nodes share: the tracer copies them
// from the contour vertices into the outline nodes unchanged.
#pragma once
#include <cstdint>

// The path is smooth at this point: a linked knot with real handles or an
// inner point of a flattened curve. No corner join is built there.
constexpr uint32_t SmoothPoint = 0x00010000;
// The edge leaving this point is one chord of a flattened curve.
constexpr uint32_t CurveEdge = 0x00020000;

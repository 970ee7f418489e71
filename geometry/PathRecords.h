// Reading the host's path records into contours.
//
// Path data are a sequence of 26-byte big-endian records, each starting with
// a 16-bit selector: length records (0 closed, 3 open subpath) give the knot
// count of a subpath, knot records (1/2 closed, 4/5 open; linked/unlinked)
// carry the preceding control point, the anchor and the leaving control point,
// each as vertical then horizontal 8.24 fractions of the document's height and
// width. Records with any other selector are skipped.
#pragma once
#include <cstdint>

struct Contour;

constexpr uint32_t PathRecordSize = 26;  // bytes per record

// Path record selectors.
constexpr uint16_t ClosedLengthRecord = 0;  // knot count of a closed subpath
constexpr uint16_t ClosedKnotLinked = 1;
constexpr uint16_t ClosedKnotUnlinked = 2;
constexpr uint16_t OpenLengthRecord = 3;    // knot count of an open subpath
constexpr uint16_t OpenKnotLinked = 4;
constexpr uint16_t OpenKnotUnlinked = 5;

// Validity limits of a knot value v: MinKnotValue <= v <= MaxKnotValue
// (within sixteen times the document's size) and |(v * size) >> 24| at most
// MaxKnotPixels (pixels from the document's origin).
constexpr int32_t MinKnotValue = -0x10000000;
constexpr int32_t MaxKnotValue = 0x0FFFFFFF;
constexpr int64_t MaxKnotPixels = 30000;

// Turns the records of data[0, size) into a contour list: every subpath with
// at least two knots becomes one closed contour (open subpaths are closed by
// a straight edge), curved segments flattened; the list holds the subpaths in
// reverse order. documentWidth and documentHeight are in pixels.
// Returns the list (the caller owns the contour records and must empty
// gVertexPool when it frees them), or null with the result cell set:
// PathInvalidCode for unusable data (bad record sequence, a value out of
// limits, no subpath with two knots), MemFullErr when out of memory. Nothing
// stays allocated on failure. Returns null at once if the result cell is
// already non-zero.
Contour* ReadPathRecords(const uint8_t* data, uint32_t size, int32_t documentWidth, int32_t documentHeight);

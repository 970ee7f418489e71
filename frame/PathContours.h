// The adapter between the host's path bytes (HostPath.h) and the geometry's
// path reader: turns the data of one path into the run's contour list.
#pragma once
#include <cstdint>

// Document size in pixels, handed to the reader as its context.
struct PathDocumentSize {
  int32_t width;
  int32_t height;
};

// A PathDataReader: `context` points to a PathDocumentSize. Returns the
// contour list, or null with the result cell set.
void* ReadPathContours(const uint8_t* data, uint32_t size, void* context);

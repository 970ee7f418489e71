#include "frame/PathContours.h"

#include "geometry/PathRecords.h"

void* ReadPathContours(const uint8_t* data, uint32_t size, void* context) {
  const PathDocumentSize* document = static_cast<const PathDocumentSize*>(context);
  return ReadPathRecords(data, size, document->width, document->height);
}

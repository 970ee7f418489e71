// The filter record's small services: properties (paths), abort and progress,
// the display procedure (validates and reads the pixel map it is given) and
// the colour picker.
#include <cstring>

#include "host/HostState.h"

namespace {

constexpr OSErr ParamErr = -50;
constexpr uint64_t FnvOffset = 1469598103934665603ull;
constexpr uint64_t FnvPrime = 1099511628211ull;
constexpr int32_t MaxDisplayExtent = 1 << 16;  // pixels; anything larger is a broken map

// ---- Properties ------------------------------------------------------------------------------

OSErr AnswerProperty(FilterHost* host, OSType key, int32_t index, intptr_t* simple, Handle* complex) {
  for (const auto& [failedKey, code] : host->options.failedProperties)
    if (failedKey == key) return code;
  const HostDocument& document = host->document;
  if (key == PropNumberOfPaths) {
    if (!simple) return ParamErr;
    *simple = intptr_t(document.paths.size());
    return HostNoErr;
  }
  if (key == PropTargetPathIndex) {
    if (!simple) return ParamErr;
    *simple = document.targetPath;
    return HostNoErr;
  }
  if (key == PropPathContents) {
    if (!complex) return ParamErr;
    *complex = nullptr;
    if (index < 0 || size_t(index) >= document.paths.size()) return HostErrPlugInPropertyUndefined;
    const std::vector<uint8_t>& bytes = document.paths[size_t(index)];
    Handle handle = HostNewHandle(host, int32_t(bytes.size()), true);
    if (!handle) return HostMemFullErr;
    if (!bytes.empty()) std::memcpy(*handle, bytes.data(), bytes.size());
    *complex = handle;
    return HostNoErr;
  }
  return HostErrPlugInPropertyUndefined;
}

OSErr PI_CALL ServeGetProperty(OSType signature, OSType key, int32_t index, intptr_t* simple, Handle* complex) {
  FilterHost* host = gActiveHost;
  if (!host) return ParamErr;
  OSErr answer = signature == PropertySignature ? AnswerProperty(host, key, index, simple, complex)
                                                : OSErr(HostErrPlugInPropertyUndefined);
  PropertyQuery query;
  query.key = key;
  query.index = index;
  query.answer = answer;
  host->report.propertyQueries.push_back(query);
  if (key == PropPathContents) ++host->report.pathReads;
  return answer;
}

OSErr PI_CALL ServeSetProperty(OSType, OSType, int32_t, intptr_t, Handle) { return HostErrPlugInPropertyUndefined; }

// ---- Abort, progress, advance ------------------------------------------------------------------

Boolean PI_CALL ServeAbort(void) {
  FilterHost* host = gActiveHost;
  if (!host) return 0;
  const int32_t asked = host->report.abortQueries++;
  const int32_t from = host->options.abortAfterQueries;
  return from >= 0 && asked >= from;
}

void PI_CALL ServeProgress(int32_t done, int32_t total) {
  FilterHost* host = gActiveHost;
  if (!host) return;
  ++host->report.progressCalls;
  if (done < 0 || total < 0 || done > total) NoteMisuse(host, "progress out of range");
}

OSErr PI_CALL ServeAdvanceState(void) { return HostNoErr; }

// ---- Display -------------------------------------------------------------------------------

int32_t PlaneCount(int32_t imageMode) { return imageMode == ModeRGBColor ? 3 : 1; }

uint64_t Fnv(uint64_t hash, uint8_t byte) { return (hash ^ byte) * FnvPrime; }

// Checks the map and reads every byte it describes for the drawn rectangle.
bool ReadPixelMap(const FilterHost* host, const PSPixelMap* map, const VRect* srcRect, DisplayCall* call) {
  if (!map) {
    call->problem = "no pixel map";
    return false;
  }
  call->version = map->version;
  call->bounds = map->bounds;
  call->imageMode = map->imageMode;
  if (map->version < 0 || map->version > 2) {
    call->problem = "unknown pixel map version";
    return false;
  }
  const VRect& b = map->bounds;
  const int64_t width = int64_t(b.right) - b.left;
  const int64_t height = int64_t(b.bottom) - b.top;
  if (width <= 0 || height <= 0 || width > MaxDisplayExtent || height > MaxDisplayExtent) {
    call->problem = "empty or oversized bounds";
    return false;
  }
  if (map->imageMode != host->document.imageMode) {
    call->problem = "image mode differs from the document's";
    return false;
  }
  if (!map->baseAddr) {
    call->problem = "no pixels";
    return false;
  }
  const int32_t planes = PlaneCount(map->imageMode);
  if (map->colBytes < 1 || map->rowBytes < width * map->colBytes) {
    call->problem = "row or column stride too small";
    return false;
  }
  if (planes > 1 && map->planeBytes < 1) {
    call->problem = "plane stride missing";
    return false;
  }
  VRect area = b;
  if (srcRect) {
    call->srcRect = *srcRect;
    if (srcRect->top < b.top || srcRect->left < b.left || srcRect->bottom > b.bottom || srcRect->right > b.right ||
        srcRect->top > srcRect->bottom || srcRect->left > srcRect->right) {
      call->problem = "source rectangle outside the bounds";
      return false;
    }
    area = *srcRect;
  }
  uint64_t hash = FnvOffset;
  const uint8_t* base = static_cast<const uint8_t*>(map->baseAddr);
  for (int32_t plane = 0; plane < planes; ++plane)
    for (int32_t y = area.top; y < area.bottom; ++y)
      for (int32_t x = area.left; x < area.right; ++x)
        hash = Fnv(hash, base[int64_t(y - b.top) * map->rowBytes + int64_t(x - b.left) * map->colBytes +
                              int64_t(plane) * map->planeBytes]);
  if (map->version >= 1) {
    for (const PSPixelMask* mask : {map->mat, map->masks}) {
      int guard = 0;
      for (; mask; mask = mask->next) {
        if (++guard > 16) {
          call->problem = "mask list does not end";
          return false;
        }
        if (!mask->maskData || mask->colBytes < 1 || mask->rowBytes < width * mask->colBytes) {
          call->problem = "bad mask description";
          return false;
        }
        const uint8_t* m = static_cast<const uint8_t*>(mask->maskData);
        for (int32_t y = area.top; y < area.bottom; ++y)
          for (int32_t x = area.left; x < area.right; ++x)
            hash = Fnv(hash, m[int64_t(y - b.top) * mask->rowBytes + int64_t(x - b.left) * mask->colBytes]);
      }
    }
  }
  call->checksum = hash;
  return true;
}

OSErr PI_CALL ServeDisplayPixels(const PSPixelMap* source, const VRect* srcRect, int32_t dstRow, int32_t dstCol,
                                void* platformContext) {
  FilterHost* host = gActiveHost;
  if (!host) return ParamErr;
  DisplayCall call;
  call.dstRow = dstRow;
  call.dstCol = dstCol;
  call.valid = ReadPixelMap(host, source, srcRect, &call);
  if (call.valid) PaintPixelMap(source, srcRect != nullptr ? *srcRect : source->bounds, dstRow, dstCol, platformContext);
  host->report.displayCalls.push_back(call);
  return call.valid ? OSErr(HostNoErr) : ParamErr;
}

// ---- Colour picker ------------------------------------------------------------------------------

OSErr PI_CALL ServeColorServices(ColorServicesInfo* info) {
  FilterHost* host = gActiveHost;
  if (!host || !info) return ParamErr;
  ++host->report.colorPickerCalls;
  if (info->selector != ColorServicesChooseColor) return ParamErr;
  if (host->options.colorPickerCancels) return HostUserCanceledErr;
  info->resultSpace = ColorSpaceRGB;
  for (int i = 0; i < 3; ++i) info->colorComponents[i] = host->options.pickedColor[i];
  info->colorComponents[3] = 0;
  info->resultGamutInfoValid = 1;
  info->resultInGamut = 1;
  return HostNoErr;
}

}  // namespace

void FillServiceProcs(FilterHost* host, RecordSet& records) {
  records.propertyProcs.propertyProcsVersion = 1;
  records.propertyProcs.numPropertyProcs = 2;
  records.propertyProcs.getPropertyProc = ServeGetProperty;
  records.propertyProcs.setPropertyProc = ServeSetProperty;

  FilterRecord& r = *records.record;
  const HostOptions& o = host->options;
  r.abortProc = o.omitAbortProc ? nullptr : ServeAbort;
  r.progressProc = o.omitProgressProc ? nullptr : ServeProgress;
  r.displayPixels = o.omitDisplayPixels ? nullptr : ServeDisplayPixels;
  r.colorServices = o.omitColorServices ? nullptr : ServeColorServices;
  r.advanceState = ServeAdvanceState;
}

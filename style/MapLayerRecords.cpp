#include "style/MapLayerRecords.h"

#include <cstdio>

#include "core/WorkMemory.h"
#include "maps/MapImage.h"
#include "maps/MapLayer.h"

namespace {
#define MissingImageMessage "Couldn't find image file "

// The name a layer is stored under into out; its length (0: no name).
uint32_t LayerName(const MapLayer& layer, const StyleIo& io, char* out, uint32_t capacity, uint32_t limit) {
  out[0] = 0;
  if ((layer.layerFlags & BackgroundLayer) != 0 || layer.image == nullptr) return 0;
  return StoredImageName(io, layer.image->name, out, capacity, limit);
}

uint32_t StoredMappingLink(const MapLayer* list, const MapLayer& layer) {
  if (layer.mappingLink <= MappingTile) return uint32_t(layer.mappingLink);
  const int32_t position = MapLayerPosition(list, LinkedLayer(layer));
  if (position >= 0) return uint32_t(MappingLinkStored) + uint32_t(position);
  // A link still in its stored form (read in this run, not resolved yet) is kept.
  if (layer.mappingLink < MappingLinkStored + MaxMapLayers) return uint32_t(layer.mappingLink);
  return uint32_t(MappingCustom);
}
}  // namespace

int32_t ReadMapLayerRecord(ByteReader* in, LayerNameRule rule, MapLayer** list, const StyleIo& io,
                           int32_t reportMissing) {
  MapLayer read{};
  read.layerFlags = in->U32();
  read.amount = in->U32();
  read.mappingLink = in->U32();
  read.centerX = in->F32();
  read.centerY = in->F32();
  read.placedWidth = in->F32();
  read.placedHeight = in->F32();
  read.angle = in->F32();
  char name[MapImageNameCapacity] = {0};
  const uint16_t length = in->U16();
  if (rule == SettingsFileNames) {
    if (length >= 1 && length <= MaxStoredNameLength) in->Read(name, length);
  } else {
    const uint32_t kept = length < MaxKeptNameLength ? length : MaxKeptNameLength;
    in->Read(name, kept);
    in->Skip(length - kept);
  }
  if (!in->ok) return 0;
  MapLayer* layer = AppendMapLayer(list);
  if (layer == nullptr) return 0;
  MapLayer* next = layer->next;
  *layer = read;
  layer->next = next;
  if ((layer->layerFlags & BackgroundLayer) == 0 && name[0] != 0) {
    int32_t missing = 0;
    layer->image = LoadNamedImage(io, name, LayerWantsMaxPlane(*layer), &missing);
    if (missing && reportMissing && io.report != nullptr) {
      char text[sizeof MissingImageMessage + MapImageNameCapacity];
      std::snprintf(text, sizeof text, "%s%s", MissingImageMessage, name);
      io.report(io.context, text);
    }
  }
  return 1;
}

uint32_t MapLayerRecordSize(const MapLayer& layer, const StyleIo& io, uint32_t nameLimit) {
  char name[MapImageNameCapacity];
  return MapLayerRecordFixedSize + LayerName(layer, io, name, sizeof name, nameLimit);
}

void WriteMapLayerRecord(ByteWriter* out, const MapLayer* list, const MapLayer& layer, const StyleIo& io,
                         uint32_t nameLimit) {
  out->U32(layer.layerFlags);
  out->U32(layer.amount);
  out->U32(StoredMappingLink(list, layer));
  out->F32(layer.centerX + float(io.effectLeft));
  out->F32(layer.centerY + float(io.effectTop));
  out->F32(layer.placedWidth);
  out->F32(layer.placedHeight);
  out->F32(layer.angle);
  char name[MapImageNameCapacity];
  const uint32_t length = LayerName(layer, io, name, sizeof name, nameLimit);
  out->U16(uint16_t(length));
  out->Write(name, length);
}

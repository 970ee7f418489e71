// One map layer as the settings file and the scripting map layer block store
// it: flags, amount, mapping link, centre (document pixels), size, angle,
// image name. The two stores differ only in how a name's length is read.
#pragma once
#include <cstdint>

#include "style/LittleEndian.h"
#include "style/StyleIo.h"

struct MapLayer;

// Most layers a store may announce; more announce a damaged store.
constexpr uint32_t MaxMapLayers = 1024;
// Bytes of a layer record without its name.
constexpr uint32_t MapLayerRecordFixedSize = 34;

enum LayerNameRule : int32_t {
  SettingsFileNames = 0,  // a length of 1..255 is followed by its bytes; any other length by none
  DescriptorNames = 1     // the length's bytes always follow; the first 266 are kept
};

// Reads one record and appends the layer to *list, its image loaded when the
// name finds one (a missing image is reported when `reportMissing`). A record
// cut short by the end of the store is dropped whole: returns 0 with in->ok 0
// and the list unchanged. Out of memory: 0 with MemFullErr, in->ok still 1.
int32_t ReadMapLayerRecord(ByteReader* in, LayerNameRule rule, MapLayer** list, const StyleIo& io,
                           int32_t reportMissing);

// Size of `layer`'s record with the name it will be stored under (names
// longer than `nameLimit` are stored empty).
uint32_t MapLayerRecordSize(const MapLayer& layer, const StyleIo& io, uint32_t nameLimit);
// Writes `layer`, a member of `list`: a link to another layer as
// MappingLinkStored + its position, the centre in document pixels.
void WriteMapLayerRecord(ByteWriter* out, const MapLayer* list, const MapLayer& layer, const StyleIo& io,
                         uint32_t nameLimit);

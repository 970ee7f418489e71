#include "maps/MapLayer.h"

#include "core/WorkMemory.h"

MapLayer* AppendMapLayer(MapLayer** list) {
  MapLayer* layer = static_cast<MapLayer*>(NewClearedBlock(sizeof(MapLayer)));
  if (layer == nullptr) return nullptr;
  MapLayer** tail = list;
  while (*tail != nullptr) tail = &(*tail)->next;
  *tail = layer;
  return layer;
}

void FreeMapLayers(MapLayer* list) {
  while (list != nullptr) {
    MapLayer* next = list->next;
    FreeBlockOf(list);
    list = next;
  }
}

int32_t MapLayerPosition(const MapLayer* list, const MapLayer* layer) {
  int32_t position = 0;
  for (const MapLayer* l = list; l != nullptr; l = l->next, ++position)
    if (l == layer) return position;
  return -1;
}

int32_t LayerWantsMaxPlane(const MapLayer& layer) {
  return !(LayerKind(layer) == ColorMapLayer && LayerAlphaOutput(layer) != AlphaOutputRgbIntensity);
}

// The run globals: the per-instance record that every stage of a call reads
// and writes. It lives in a host handle kept in the module's data slot, is
// zero-filled when created and locked for the duration of each call.
#pragma once
#include <cstdint>

#include "interface/PluginInterface.h"

struct OffsetRingList;   // traced element outlines (geometry/OffsetNode.h)
struct ElementBuffer;    // an element's sparse raster (bevel/)
struct MaterialSetting;  // style/StyleRecord.h
struct MapImage;         // an image of the run's image cache (maps/)

struct RunGlobals {
  int16_t* resultCell;          // the host's result cell of the current call
  FilterRecord* filterRecord;   // the host's filter record of the current call
  uint8_t* previewPixels;       // one previewWidth × previewHeight plane per target composite channel
  uint8_t* previewTransparency; // preview source transparency plane
  uint8_t* renderBuffer;        // effectWidth × effectHeight × (channelCount + 1) bytes, planar, alpha first
  uint8_t* maskBuffer;          // effectWidth × effectHeight bytes of coverage or selection mask
  int16_t effectTop, effectLeft;     // top-left corner of the effect rectangle, document pixels
  int16_t effectHeight, effectWidth; // bottom and right edge first, then height and width
  int16_t dialogWidth, dialogHeight; // dialog client size remembered in the registry
  int16_t documentWidth, documentHeight;  // right and bottom edge of the first merged composite channel
  int16_t previewWidth, previewHeight;    // preview area, screen pixels
  int16_t previewZoom;                    // index of the preview zoom factor
  int16_t dialogWord;                     // dialog state, owned by the dialog
  int32_t dialogLong;                     // dialog state; 0 just before the dialog opens
  int16_t previewSrcTop, previewSrcLeft, previewSrcBottom, previewSrcRight;  // document rectangle in the preview
  OffsetRingList* outerOutlines;  // element outlines of the outer side: source of the Outer Bevel
  OffsetRingList* innerOutlines;  // element outlines of the inner side: source of Main and the Inner Bevel
  ElementBuffer* mainField;       // null when the element is absent
  ElementBuffer* innerBevelField;
  ElementBuffer* outerBevelField;
  MaterialSetting* currentMaterial;  // into the style record: the material the dialog edits
  uint8_t dialogFlags[3];            // dialog state, owned by the dialog
  MapImage* imageCache;              // head of the images loaded during the run
  void* dialogPointer;               // dialog state; reset at every run
  int32_t channelCount;              // channels of the target composite list, targeted or not: the render buffer's color planes
  // What the dialog's preview requests did only inside the stale rectangle
  // (document pixels): material flags refreshed there (element and channel
  // bits), elements shaded there (element bits and a composition bit). 0 =
  // everything whole. frame/RunRender completes them before the result is written.
  uint32_t staleMaterials;
  uint32_t staleElements;
  int16_t staleTop, staleLeft, staleBottom, staleRight;
};

// The globals of the call in progress; null between calls.
extern RunGlobals* gRunGlobals;

// What a control of the style dialog asks of the run once it has written its
// change into the style record or a map layer. The handlers decide it; the
// run side (frame/DialogRun.h) carries it out, so the rules stay testable
// without a window or a run.
#pragma once
#include <cstdint>

// Which bevel must be rebuilt from the outlines before anything is rendered.
enum class BevelRebuild : uint8_t {
  None,   // the element buffers stay as they are
  Inner,  // Inner Bevel and Main are rebuilt (Main shrinks with the band)
  Outer   // the Outer Bevel is rebuilt; the effect rectangle may change
};

struct DialogAction {
  BevelRebuild rebuild;
  // Flags of a material refresh (element bits 0x10000..0x40000 and channel
  // bits 0x01..0x20): the constant materials and the map layers written
  // again for these elements and channels. 0 = no refresh.
  uint32_t materialFlags;
  // Element selector bits of the elements shaded again and recomposed into
  // the preview; 0 = nothing is rendered.
  uint32_t renderMask;
  // Only what the preview draws over the image changed (path, map frame).
  bool redrawPreview;
};

// Both requests at once: a handler that changes two things merges them.
inline DialogAction MergeActions(const DialogAction& a, const DialogAction& b) {
  return DialogAction{a.rebuild != BevelRebuild::None ? a.rebuild : b.rebuild, a.materialFlags | b.materialFlags,
                      a.renderMask | b.renderMask, a.redrawPreview || b.redrawPreview};
}
// Materials refreshed for `flags` and their elements rendered.
inline DialogAction RefreshAndRender(uint32_t flags) {
  return DialogAction{BevelRebuild::None, flags, flags & 0x70000u, false};
}

#include "render/KeptFacets.h"

#include <cstring>

#include "core/WorkMemory.h"

namespace {
void ReleaseKeptFacets(BufferAttachment* attachment) {
  KeptFacets* kept = reinterpret_cast<KeptFacets*>(attachment);
  FreeBlockOf(kept->pixels);
  FreeBlockOf(kept->facets);
  FreeBlockOf(kept);
}

bool SameWindow(const ElementWindow& a, const ElementWindow& b) {
  return a.firstRow == b.firstRow && a.endRow == b.endRow && a.firstColumn == b.firstColumn &&
         a.endColumn == b.endColumn;
}

uint32_t HashOf(const uint32_t bits[3], uint32_t weight) {
  const uint64_t mix = (uint64_t(bits[0]) * 0x9E3779B97F4A7C15ull) ^ (uint64_t(bits[1]) * 0xC2B2AE3D27D4EB4Full) ^
                       (uint64_t(bits[2]) * 0x165667B19E3779F9ull) ^ (uint64_t(weight) * 0xD6E8FEB86659FD93ull);
  return uint32_t(mix >> 40);
}

// Stops recording and frees the record; the result cell is left as it is.
void Drop(FacetRecorder* recorder) {
  if (recorder->kept == nullptr) return;
  ReleaseKeptFacets(&recorder->kept->attachment);
  recorder->kept = nullptr;
}

// After an allocation of the record failed: keeping is given up, the run is not.
void GiveUp(FacetRecorder* recorder) {
  Drop(recorder);
  SetResult(recorder->result);
}
}  // namespace

void DescribeFacetSource(FacetSource* source, const ElementBuffer* buffer, const PixelRect& clip,
                         SweepVariant variant, const ContourTable& contour, const FacetKeyTable& keys) {
  source->window = WindowOf(buffer, clip);
  source->variant = variant;
  source->contour = contour;
  source->keys = keys;
}

const KeptFacets* FindKeptFacets(const ElementBuffer* buffer, const FacetSource& source) {
  if (buffer == nullptr || buffer->attachment == nullptr || buffer->attachment->release != ReleaseKeptFacets)
    return nullptr;
  const KeptFacets* kept = reinterpret_cast<const KeptFacets*>(buffer->attachment);
  const FacetSource& s = kept->source;
  if (!SameWindow(s.window, source.window) || s.variant != source.variant ||
      std::memcmp(&s.contour, &source.contour, sizeof s.contour) != 0 ||
      std::memcmp(&s.keys, &source.keys, sizeof s.keys) != 0)
    return nullptr;
  return kept;
}

uint32_t ResolvedPixelCount(const ElementBuffer* buffer, const ElementWindow& window) {
  uint64_t count = 0;
  if (buffer->rows == nullptr) return 0;
  for (int32_t row = window.firstRow; row < window.endRow; ++row) count += PixelsInRow(buffer, window, row);
  return count < UINT32_MAX ? uint32_t(count) : UINT32_MAX;
}

void BeginFacetRecording(FacetRecorder* recorder, ElementBuffer* buffer, const FacetSource& source) {
  recorder->kept = nullptr;
  recorder->pixel = 0;
  recorder->first = NoFacets;
  recorder->result = CurrentResult();
  std::memset(recorder->shared, 0, sizeof recorder->shared);
  if (BufferAttachment* old = buffer->attachment) {
    buffer->attachment = nullptr;
    old->release(old);
  }
  const uint32_t pixelCount = ResolvedPixelCount(buffer, source.window);
  const uint32_t facetCapacity = pixelCount / 4 + 64;
  if (uint64_t(pixelCount) * sizeof(uint32_t) + uint64_t(facetCapacity) * sizeof(KeptFacet) > KeptFacetsLimit) return;
  KeptFacets* kept = static_cast<KeptFacets*>(NewClearedBlock(sizeof(KeptFacets)));
  if (kept == nullptr) {
    SetResult(recorder->result);
    return;
  }
  kept->attachment.release = ReleaseKeptFacets;
  kept->source = source;
  kept->pixelCount = pixelCount;
  kept->pixels = static_cast<uint32_t*>(NewBlock(pixelCount * uint32_t(sizeof(uint32_t)) + 4));
  kept->facets = static_cast<KeptFacet*>(NewBlock(facetCapacity * uint32_t(sizeof(KeptFacet))));
  kept->facetCapacity = facetCapacity;
  recorder->kept = kept;
  if (kept->pixels == nullptr || kept->facets == nullptr) GiveUp(recorder);
}

void FacetRecorder::Add(const uint32_t normalBits[3], uint32_t weight) {
  if (kept == nullptr) return;
  if (kept->facetCount == kept->facetCapacity) {
    const uint64_t capacity = uint64_t(kept->facetCapacity) * 2;
    if (capacity * sizeof(KeptFacet) + uint64_t(kept->pixelCount) * sizeof(uint32_t) > KeptFacetsLimit) {
      GiveUp(this);
      return;
    }
    KeptFacet* grown = static_cast<KeptFacet*>(NewBlock(uint32_t(capacity * sizeof(KeptFacet))));
    if (grown == nullptr) {
      GiveUp(this);
      return;
    }
    std::memcpy(grown, kept->facets, kept->facetCount * sizeof(KeptFacet));
    FreeBlockOf(kept->facets);
    kept->facets = grown;
    kept->facetCapacity = uint32_t(capacity);
  }
  if (first == NoFacets)
    first = kept->facetCount;
  else
    kept->facets[kept->facetCount - 1].weight |= MoreFacets;
  KeptFacet& facet = kept->facets[kept->facetCount++];
  std::memcpy(facet.normalBits, normalBits, sizeof facet.normalBits);
  facet.weight = weight;
}

void FacetRecorder::EndPixel() {
  if (kept == nullptr) return;
  if (pixel >= kept->pixelCount) {
    Drop(this);
    return;
  }
  uint32_t index = first;
  // A pixel of one facet shares an equal facet recorded before.
  if (first != NoFacets && first + 1 == kept->facetCount) {
    const KeptFacet& facet = kept->facets[first];
    uint32_t& slot = shared[HashOf(facet.normalBits, facet.weight) & (sizeof shared / sizeof shared[0] - 1)];
    if (slot != 0 && std::memcmp(&kept->facets[slot - 1], &facet, sizeof facet) == 0) {
      index = slot - 1;
      --kept->facetCount;
    } else {
      slot = first + 1;
    }
  }
  kept->pixels[pixel++] = index;
  first = NoFacets;
}

void FinishFacetRecording(FacetRecorder* recorder, ElementBuffer* buffer, int complete) {
  if (recorder->kept == nullptr) return;
  if (!complete) {
    Drop(recorder);
    return;
  }
  if (recorder->pixel != recorder->kept->pixelCount) {
    Drop(recorder);
    return;
  }
  buffer->attachment = &recorder->kept->attachment;
  recorder->kept = nullptr;
}

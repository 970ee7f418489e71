#include "render/BevelShading.h"

#include <cmath>
#include <cstring>

#include "core/WorkMemory.h"

namespace {
// Slot of sub-sample (row j, column t) in a pixel row's plane: the pixel's 32
// slots are consecutive, numbered (j mod 4) x 8 + (t mod 8).
inline uint32_t SlotOf(int32_t row, int32_t column) {
  return uint32_t(column >> SampleColumnShift) * PixelSamples + uint32_t(row & (SampleRows - 1)) * SampleColumns +
         uint32_t(column & (SampleColumns - 1));
}

// The facet normal: the sum of its sub-samples' normals, made unit length. A
// sum without length (which unit profile normals cannot give, but a
// malformed table could) faces the viewer.
inline void UnitNormal(const float sum[3], float n[3]) {
  const float lengthSquared = sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2];
  if (!(lengthSquared > 0.0f)) {
    n[0] = n[1] = 0.0f;
    n[2] = 1.0f;
    return;
  }
  const float scale = 1.0f / std::sqrt(lengthSquared);
  n[0] = sum[0] * scale;
  n[1] = sum[1] * scale;
  n[2] = sum[2] * scale;
}

// Accumulates the premultiplied color of a pixel facet by facet.
struct ColorSums {
  uint32_t alpha, red, green, blue;
  void Clear() { alpha = red = green = blue = 0; }
  void Add(const float color[3], uint32_t weight) {
    const float w = float(weight);
    alpha += weight;
    red += uint32_t(color[0] * w);
    green += uint32_t(color[1] * w);
    blue += uint32_t(color[2] * w);
  }
  RenderedPixel Pack() const {
    return PackPixel(alpha >> CoverageShift, red >> CoverageShift, green >> CoverageShift, blue >> CoverageShift);
  }
};

// Bump stepping for the members that tilt normals; empty when `Active` is false.
template <bool Active>
struct BumpStepper {
  BumpSampler* samplers;
  int32_t count;
  void SpanStart(int32_t column) {
    if constexpr (Active) StartBumpSpan(samplers, count, column);
  }
  void NextColumn() {
    if constexpr (Active) NextBumpColumn(samplers, count);
  }
  void NextRow() {
    if constexpr (Active) NextBumpRow(samplers, count);
  }
};

// ---- Members: what a facet adds to its pixel ------------------------------------
// Each member has StoresNormal / StoresIndex (what the sweep stores per
// sub-sample), BeginPixel, Facet(K, normal sum, index sum), EndPixel and the
// stepping hooks SpanStart / NextColumn / NextRow.

// The shading of the last facet, reused when the next facet has the same
// normal and material: along a straight band most neighbouring pixels do,
// and the result is exactly what shading again would give.
struct ShadingCache {
  uint32_t normalBits[3];
  uint64_t materialBits;
  float color[3];
  bool valid = false;
};

template <bool Bumped>
struct FullShadingMember : BumpStepper<Bumped> {
  static constexpr bool StoresNormal = true;
  static constexpr bool StoresIndex = false;
  const LightingSetup* lighting;
  const ReflectionSampler* reflection;
  ShadingMaterial material;  // decoded from decodedBits
  uint64_t decodedBits;
  bool decoded = false;
  uint64_t materialBits;  // the pixel's material bytes, coverage cleared
  uint32_t opacity;
  ColorSums sums;
  ShadingCache cache;

  void BeginPixel(const PixelMaterial& p) {
    PixelMaterial key = p;
    key.coverage = 0;
    std::memcpy(&materialBits, &key, sizeof materialBits);
    if (!decoded || materialBits != decodedBits) {
      material = DecodeMaterial(p);
      decodedBits = materialBits;
      decoded = true;
    }
    opacity = p.opacity;
    sums.Clear();
  }
  void Facet(uint32_t k, const float normalSum[3], uint32_t) {
    float n[3];
    UnitNormal(normalSum, n);
    if constexpr (Bumped) PerturbNormal(this->samplers, this->count, n);
    uint32_t bits[3];
    std::memcpy(bits, n, sizeof bits);
    if (!cache.valid || materialBits != cache.materialBits || bits[0] != cache.normalBits[0] ||
        bits[1] != cache.normalBits[1] || bits[2] != cache.normalBits[2]) {
      ShadeNormal(n, material, *lighting, reflection, cache.color);
      std::memcpy(cache.normalBits, bits, sizeof bits);
      cache.materialBits = materialBits;
      cache.valid = true;
    }
    sums.Add(cache.color, opacity * k);
  }
  RenderedPixel EndPixel() const { return sums.Pack(); }
};

// `Reflect`: a reflection sampler is given (bump samplers then tilt the normal it is read at).
template <bool ShowColor, bool Reflect, bool UseOpacity>
struct ColorDisplayMember : BumpStepper<Reflect> {
  static constexpr bool StoresNormal = true;
  static constexpr bool StoresIndex = false;
  const ReflectionSampler* reflection;
  float base[3];
  float reflectFactor;
  uint32_t reflectivity;
  uint32_t opacity;
  ColorSums sums;

  void BeginPixel(const PixelMaterial& p) {
    base[0] = ShowColor ? float(p.red) * OneOver255 : 0.0f;
    base[1] = ShowColor ? float(p.green) * OneOver255 : 0.0f;
    base[2] = ShowColor ? float(p.blue) * OneOver255 : 0.0f;
    reflectivity = p.reflectivity;
    reflectFactor = float(p.reflectivity) * OneOver65025;
    opacity = UseOpacity ? p.opacity : 255;
    sums.Clear();
  }
  void Facet(uint32_t k, const float normalSum[3], uint32_t) {
    float color[3] = {base[0], base[1], base[2]};
    if constexpr (Reflect) {
      if (reflectivity != 0) {
        float n[3];
        UnitNormal(normalSum, n);
        if (this->count > 0) PerturbNormal(this->samplers, this->count, n);
        AddReflection(color, *reflection, n[0], n[1], reflectFactor);
      }
    }
    for (int c = 0; c < 3; ++c) color[c] = ClampUnit(color[c]);
    sums.Add(color, opacity * k);
  }
  RenderedPixel EndPixel() const { return sums.Pack(); }
};

struct ChannelDisplayMember : BumpStepper<false> {
  static constexpr bool StoresNormal = false;
  static constexpr bool StoresIndex = false;
  int32_t byteIndex;
  uint32_t value, valueSum, alphaSum;

  void BeginPixel(const PixelMaterial& p) {
    value = MaterialByte(p, byteIndex);
    valueSum = alphaSum = 0;
  }
  void Facet(uint32_t k, const float*, uint32_t) {
    valueSum += k * value;
    alphaSum += k * 255;
  }
  RenderedPixel EndPixel() const {
    const uint32_t v = valueSum >> CoverageShift;
    return PackPixel(alphaSum >> CoverageShift, v, v, v);
  }
};

struct DistanceDisplayMember : BumpStepper<false> {
  static constexpr bool StoresNormal = false;
  static constexpr bool StoresIndex = true;
  uint32_t indexSum;

  void BeginPixel(const PixelMaterial&) { indexSum = 0; }
  void Facet(uint32_t, const float*, uint32_t facetIndexSum) { indexSum += facetIndexSum; }
  RenderedPixel EndPixel() const {
    const uint32_t g = indexSum >> CoverageShift;
    return PackPixel(g, g, g, g);
  }
};

// ---- The sweep user: stores sub-samples, resolves pixel rows --------------------

template <class Member, SweepVariant Variant>
struct BevelSweepUser {
  static constexpr bool WantsWinner = true;
  static constexpr bool WantsGaps = false;

  uint16_t* keys;     // facet key per slot; 0 = no band there
  float* normals;     // three floats per slot (members that store normals)
  uint16_t* indexes;  // band index per slot (distance members)
  const ContourTable* contour;
  const FacetKeyTable* facetKeys;
  ElementBuffer* buffer;
  Member* member;
  uint32_t planeSlots;  // slots in one pixel row
  uint32_t stored;      // sub-samples stored since the last resolve

  // Stores a run of columns won by one piece. Per column, with i the band
  // index of its coordinate: key = facet key of i + the piece's index (16-bit
  // sum), normal = (dx x radial, dy x radial, vertical) of contour entry i,
  // or i itself. The coordinate (and a curve piece's angle) steps by
  // wrapping 32-bit additions, as the sweep steps it.
  void StoreWinnerRun(int32_t row, int32_t begin, int32_t end, const WinnerRun& run) {
    if (run.directions != nullptr)
      StoreColumns<true>(row, begin, end, run);
    else
      StoreColumns<false>(row, begin, end, run);
    stored += uint32_t(end - begin);
  }

  template <bool Curved>
  void StoreColumns(int32_t row, int32_t begin, int32_t end, const WinnerRun& run) {
    const uint16_t pieceKey = uint16_t(run.piece->index);
    uint32_t value = uint32_t(run.value), angle = uint32_t(run.angle);
    const uint32_t valueStep = uint32_t(run.valueStep), angleStep = uint32_t(run.angleStep);
    float dx = run.dx, dy = run.dy;
    for (int32_t column = begin; column < end; ++column) {
      const int32_t i = BandIndex(int32_t(value), Variant);
      const uint32_t s = SlotOf(row, column);
      keys[s] = uint16_t(uint16_t(facetKeys->key[i]) + pieceKey);
      if constexpr (Member::StoresNormal) {
        if constexpr (Curved) {
          const DirectionPair& pair = DirectionFor(*run.directions, int32_t(angle));
          dx = pair.cos;
          dy = pair.sin;
        }
        const ContourNormal& c = contour->entry[i];
        float* n = normals + 3 * s;
        n[0] = dx * c.radial;
        n[1] = dy * c.radial;
        n[2] = c.vertical;
      }
      if constexpr (Member::StoresIndex) indexes[s] = uint16_t(i);
      value += valueStep;
      if constexpr (Curved) angle += angleStep;
    }
  }

  int RowEnd(int32_t row) {
    if ((row & (SampleRows - 1)) == SampleRows - 1) ResolveRow(row >> SampleRowShift);
    return 1;
  }

  // Resolves the 32 slots of one pixel: every distinct key is one facet.
  // Returns the number of slots consumed (their keys are zeroed).
  uint32_t ResolvePixel(uint32_t base) {
    uint16_t* pixelKeys = keys + base;
    // Most pixels lie wholly on one facet: one pass sums all 32 slots.
    const uint16_t firstKey = pixelKeys[0];
    uint32_t differing = 0;
    for (int32_t s = 1; s < PixelSamples; ++s) differing |= uint32_t(pixelKeys[s] ^ firstKey);
    if (firstKey != 0 && differing == 0) {
      uint32_t indexSum = 0;
      float normalSum[3] = {0.0f, 0.0f, 0.0f};
      for (int32_t u = 0; u < PixelSamples; ++u) {
        if constexpr (Member::StoresNormal) {
          const float* n = normals + 3 * (base + uint32_t(u));
          normalSum[0] += n[0];
          normalSum[1] += n[1];
          normalSum[2] += n[2];
        }
        if constexpr (Member::StoresIndex) indexSum += indexes[base + uint32_t(u)];
      }
      std::memset(pixelKeys, 0, PixelSamples * sizeof(uint16_t));
      member->Facet(PixelSamples, normalSum, indexSum);
      return PixelSamples;
    }
    uint32_t consumed = 0;
    for (int32_t s = 0; s < PixelSamples; ++s) {
      const uint16_t key = pixelKeys[s];
      if (key == 0) continue;
      uint32_t k = 0, indexSum = 0;
      float normalSum[3] = {0.0f, 0.0f, 0.0f};
      for (int32_t u = s; u < PixelSamples; ++u) {
        if (pixelKeys[u] != key) continue;
        pixelKeys[u] = 0;
        ++k;
        if constexpr (Member::StoresNormal) {
          const float* n = normals + 3 * (base + uint32_t(u));
          normalSum[0] += n[0];
          normalSum[1] += n[1];
          normalSum[2] += n[2];
        }
        if constexpr (Member::StoresIndex) indexSum += indexes[base + uint32_t(u)];
      }
      member->Facet(k, normalSum, indexSum);
      consumed += k;
    }
    return consumed;
  }

  void ResolveRow(int32_t pixelRow) {
    uint32_t consumed = 0;
    if (buffer->rows != nullptr && pixelRow < int32_t(buffer->height)) {
      for (Span* span = buffer->rows[pixelRow]; span != nullptr; span = span->next) {
        member->SpanStart(span->xStart);
        for (uint32_t x = span->xStart; x < span->xEnd; ++x) {
          const uint32_t i = x - span->xStart;
          member->BeginPixel(span->material[i]);
          if (x < buffer->width) consumed += ResolvePixel(x * PixelSamples);
          span->block[i] = member->EndPixel();
          member->NextColumn();
        }
      }
    }
    member->NextRow();
    // Sub-samples outside every span (only possible when the buffer was not
    // built from these same edges) must not leak into the next pixel row.
    if (consumed != stored) std::memset(keys, 0, planeSlots * sizeof(uint16_t));
    stored = 0;
  }
};

// Allocates the planes a member needs, sweeps and resolves, frees the planes.
template <class Member, SweepVariant Variant>
int SweepAndResolve(const BevelShape& shape, ElementBuffer* buffer, Member& member) {
  if (buffer == nullptr || buffer->width == 0 || buffer->height == 0) return 1;
  const uint32_t slots = uint32_t(buffer->width) * PixelSamples;
  BevelSweepUser<Member, Variant> user{};
  user.keys = static_cast<uint16_t*>(NewClearedBlock(slots * sizeof(uint16_t)));
  if constexpr (Member::StoresNormal)
    if (user.keys != nullptr) user.normals = static_cast<float*>(NewBlock(slots * 3 * sizeof(float)));
  if constexpr (Member::StoresIndex)
    if (user.keys != nullptr) user.indexes = static_cast<uint16_t*>(NewBlock(slots * sizeof(uint16_t)));
  const bool ready = user.keys != nullptr && (!Member::StoresNormal || user.normals != nullptr) &&
                     (!Member::StoresIndex || user.indexes != nullptr);
  if (ready) {
    user.contour = shape.contour;
    user.facetKeys = shape.facetKeys;
    user.buffer = buffer;
    user.member = &member;
    user.planeSlots = slots;
    SweepBands(shape.edges, buffer->width, buffer->height, Variant, shape.directions, user);
  }
  FreeBlockOf(user.indexes);
  FreeBlockOf(user.normals);
  FreeBlockOf(user.keys);
  return ready ? 1 : 0;
}

template <class Member>
int Run(const BevelShape& shape, ElementBuffer* buffer, Member& member) {
  if (shape.variant == SweepVariant::Inner) return SweepAndResolve<Member, SweepVariant::Inner>(shape, buffer, member);
  return SweepAndResolve<Member, SweepVariant::Outer>(shape, buffer, member);
}

template <bool ShowColor, bool Reflect, bool UseOpacity>
int RunColorDisplay(const BevelShape& shape, ElementBuffer* buffer, BumpSampler* samplers, int32_t count,
                    const ReflectionSampler* reflection) {
  ColorDisplayMember<ShowColor, Reflect, UseOpacity> member{};
  member.samplers = samplers;
  member.count = count;
  member.reflection = reflection;
  return Run(shape, buffer, member);
}

template <bool ShowColor, bool Reflect>
int RunColorDisplayOpacity(const BevelShape& shape, ElementBuffer* buffer, BumpSampler* samplers, int32_t count,
                           const ReflectionSampler* reflection, int useOpacity) {
  return useOpacity ? RunColorDisplay<ShowColor, Reflect, true>(shape, buffer, samplers, count, reflection)
                    : RunColorDisplay<ShowColor, Reflect, false>(shape, buffer, samplers, count, reflection);
}

template <bool ShowColor>
int RunColorDisplayReflect(const BevelShape& shape, ElementBuffer* buffer, BumpSampler* samplers, int32_t count,
                           const ReflectionSampler* reflection, int useOpacity) {
  return reflection != nullptr
             ? RunColorDisplayOpacity<ShowColor, true>(shape, buffer, samplers, count, reflection, useOpacity)
             : RunColorDisplayOpacity<ShowColor, false>(shape, buffer, samplers, count, reflection, useOpacity);
}
}  // namespace

int ShadeBevelFull(const BevelShape& shape, ElementBuffer* buffer, const LightingSetup& lighting,
                   const ReflectionSampler* reflection, BumpSampler* samplers, int32_t count) {
  if (samplers != nullptr && count > 0) {
    FullShadingMember<true> member{};
    member.samplers = samplers;
    member.count = count;
    member.lighting = &lighting;
    member.reflection = reflection;
    return Run(shape, buffer, member);
  }
  FullShadingMember<false> member{};
  member.lighting = &lighting;
  member.reflection = reflection;
  return Run(shape, buffer, member);
}

int ShadeBevelColorDisplay(const BevelShape& shape, ElementBuffer* buffer, BumpSampler* samplers, int32_t count,
                           const ReflectionSampler* reflection, int showColor, int useOpacity) {
  if (samplers == nullptr) count = 0;
  return showColor ? RunColorDisplayReflect<true>(shape, buffer, samplers, count, reflection, useOpacity)
                   : RunColorDisplayReflect<false>(shape, buffer, samplers, count, reflection, useOpacity);
}

int ShadeBevelChannelDisplay(const BevelShape& shape, ElementBuffer* buffer, int32_t byteIndex) {
  ChannelDisplayMember member{};
  member.byteIndex = byteIndex >= 0 && byteIndex < int32_t(sizeof(PixelMaterial)) ? byteIndex : MaterialOpacityByte;
  return Run(shape, buffer, member);
}

int ShadeBevelDistanceDisplay(const BevelShape& shape, ElementBuffer* buffer) {
  DistanceDisplayMember member{};
  return Run(shape, buffer, member);
}

#include "render/BevelShading.h"

#include <cmath>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "bevel/SweepSplit.h"
#include "core/TaskRunner.h"
#include "core/WorkMemory.h"
#include "render/KeptFacets.h"
#include "render/SpanWalk.h"

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

// Four floats added lane by lane: each lane rounds exactly as a scalar float
// addition or multiplication would, so summing (x, y, z, 0) vectors gives
// the three sums of three separate scalar passes.
typedef float Lanes __attribute__((vector_size(16)));
typedef int32_t IntLanes __attribute__((vector_size(16)));

// Accumulates the premultiplied color of a pixel facet by facet, in the
// lanes (red, green, blue, alpha). Each lane's product color x weight is the
// scalar product, and its conversion truncates as the scalar conversion
// does: colors are clamped to at most 1 (a NaN to 1) and weights are at most
// 255 x 32, so every product is finite and far inside the 32-bit range; the
// alpha lane is 1 x weight, the weight itself.
struct ColorSums {
  IntLanes sums;
  void Clear() { sums = IntLanes{0, 0, 0, 0}; }
  void Add(const float color[3], uint32_t weight) {
    const Lanes product = Lanes{color[0], color[1], color[2], 1.0f} * float(weight);
    sums += __builtin_convertvector(product, IntLanes);
  }
  RenderedPixel Pack() const {
    return PackPixel(uint32_t(sums[3]) >> CoverageShift, uint32_t(sums[0]) >> CoverageShift,
                     uint32_t(sums[1]) >> CoverageShift, uint32_t(sums[2]) >> CoverageShift);
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

// Shadings already computed in this call, by facet normal and material: a
// facet whose normal and material bits equal an earlier one's gets exactly
// the color shading again would give. Along a straight band every pixel row
// repeats the normals of the one before; flat facets repeat everywhere.
// An entry is 32 bytes, two to a cache line; a used entry's material key
// has the coverage byte set (UsedMarker), which no cleared entry has.
struct ShadingMemo {
  static constexpr uint32_t Entries = 2048;  // a power of two
  struct alignas(32) Entry {
    uint32_t normalBits[3];
    float color[3];
    uint64_t materialBits;  // the pixel's material bytes with the coverage byte UsedMarker
  };
  static constexpr uint8_t UsedMarker = 0xFF;
  Entry entries[Entries];

  void Clear() { std::memset(entries, 0, sizeof entries); }
  static uint32_t Slot(const uint32_t bits[3], uint64_t materialBits) {
    const uint64_t mix = (uint64_t(bits[0]) * 0x9E3779B97F4A7C15ull) ^ (uint64_t(bits[1]) * 0xC2B2AE3D27D4EB4Full) ^
                         (uint64_t(bits[2]) * 0x165667B19E3779F9ull) ^ (materialBits * 0xD6E8FEB86659FD93ull);
    return uint32_t(mix >> 40) & (Entries - 1);
  }
};

// `Record`: every facet's unit normal and weight go to the recorder (unbumped only).
template <bool Bumped, bool Record = false>
struct FullShadingMember : BumpStepper<Bumped> {
  static constexpr bool StoresNormal = true;
  static constexpr bool StoresIndex = false;
  const LightingSetup* lighting;
  const ReflectionSampler* reflection;
  ShadingMaterial material;  // decoded from decodedBits
  uint64_t decodedBits;
  bool decoded = false;
  uint64_t materialBits;  // the pixel's material bytes, coverage replaced by ShadingMemo::UsedMarker
  uint32_t opacity;
  ColorSums sums;
  ShadingMemo* memo;
  // The last facet without bump maps: a facet with the same sum (bit for bit)
  // and material has the same unit normal and so the same color. Along a band
  // parallel to the pixel rows or columns neighbours repeat their sums.
  uint32_t lastSumBits[3];
  uint32_t lastNormalBits[3];
  uint64_t lastMaterialBits = 0;  // 0: none yet (a material key has UsedMarker)
  float lastColor[3];
  FacetRecorder* recorder;

  void BeginPixel(const PixelMaterial& p) {
    PixelMaterial key = p;
    key.coverage = ShadingMemo::UsedMarker;
    std::memcpy(&materialBits, &key, sizeof materialBits);
    if (!decoded || materialBits != decodedBits) {
      material = DecodeMaterial(p);
      decodedBits = materialBits;
      decoded = true;
    }
    opacity = p.opacity;
    sums.Clear();
  }
  // Inlined into the resolve, so that the sums stay in registers; a memo
  // miss leaves the loop for the shading.
  [[gnu::always_inline]] void Facet(uint32_t k, const float normalSum[3], uint32_t) {
    uint32_t sumBits[3];
    if constexpr (!Bumped) {
      std::memcpy(sumBits, normalSum, sizeof sumBits);
      if (materialBits == lastMaterialBits && sumBits[0] == lastSumBits[0] && sumBits[1] == lastSumBits[1] &&
          sumBits[2] == lastSumBits[2]) {
        sums.Add(lastColor, opacity * k);
        if constexpr (Record) recorder->Add(lastNormalBits, k);
        return;
      }
    }
    float n[3];
    UnitNormal(normalSum, n);
    if constexpr (Bumped) PerturbNormal(this->samplers, this->count, n);
    uint32_t bits[3];
    std::memcpy(bits, n, sizeof bits);
    const float* color = ColorOf(n, bits);
    sums.Add(color, opacity * k);
    if constexpr (Record) recorder->Add(bits, k);
    if constexpr (!Bumped) {
      std::memcpy(lastSumBits, sumBits, sizeof sumBits);
      Remember(bits, color);
    }
  }
  // A kept facet: its unit normal is known, so it is shaded as Facet would
  // shade the sum that gave it.
  void KeptFacet(uint32_t k, const uint32_t bits[3]) {
    if (materialBits == lastMaterialBits && bits[0] == lastNormalBits[0] && bits[1] == lastNormalBits[1] &&
        bits[2] == lastNormalBits[2]) {
      sums.Add(lastColor, opacity * k);
      return;
    }
    float n[3];
    std::memcpy(n, bits, sizeof n);
    const float* color = ColorOf(n, bits);
    sums.Add(color, opacity * k);
    Remember(bits, color);
  }
  const float* ColorOf(const float n[3], const uint32_t bits[3]) {
    ShadingMemo::Entry& e = memo->entries[ShadingMemo::Slot(bits, materialBits)];
    if (e.materialBits != materialBits || e.normalBits[0] != bits[0] || e.normalBits[1] != bits[1] ||
        e.normalBits[2] != bits[2])
      Fill(e, n, bits);
    return e.color;
  }
  void Remember(const uint32_t bits[3], const float color[3]) {
    std::memcpy(lastNormalBits, bits, sizeof lastNormalBits);
    std::memcpy(lastColor, color, sizeof lastColor);
    lastMaterialBits = materialBits;
  }
  [[gnu::noinline]] void Fill(ShadingMemo::Entry& e, const float n[3], const uint32_t bits[3]) const {
    ShadeNormal(n, material, *lighting, reflection, e.color);
    std::memcpy(e.normalBits, bits, 3 * sizeof(uint32_t));
    e.materialBits = materialBits;
  }
  RenderedPixel EndPixel() {
    if constexpr (Record) recorder->EndPixel();
    return sums.Pack();
  }
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

// ---- The sweep user: sums sub-samples per pixel, resolves pixel rows -----------

// What one pixel of the current pixel row has gathered. The sweep hands a
// pixel's sub-samples over in slot order (sample row by sample row, columns
// left to right), so the sub-samples of the pixel's first facet (its lead
// key) are summed as they arrive, in exactly the order a pass over the 32
// slots would sum them. Sub-samples of any other facet are kept in the slot
// planes and resolved after the lead facet, in order of first appearance.
struct PixelGather {
  Lanes normalSum;    // lead facet (x, y, z, 0), members that store normals
  uint32_t indexSum;  // lead facet, members that store indexes
  uint16_t lead;      // key of the pixel's first sub-sample; 0 = none yet
  uint8_t count;      // sub-samples of the lead facet
  uint8_t mixed;      // 1 when sub-samples of other facets wait in the slot planes
};

template <class Member, SweepVariant Variant>
struct BevelSweepUser {
  static constexpr bool WantsWinner = true;
  static constexpr bool WantsGaps = false;

  PixelGather* gather;  // one per pixel column, cleared between pixel rows
  uint16_t* keys;       // facet key per slot of other facets; 0 = none there
  float* normals;       // three floats per slot (members that store normals)
  uint16_t* indexes;    // band index per slot (distance members)
  const Lanes* profile; // per band index (radial, radial, vertical, 0) of the contour
  const uint8_t* keyRunEnd;  // per band index the last index of its run of equal facet keys
  const FacetKeyTable* facetKeys;
  ElementBuffer* buffer;
  Member* member;
  uint32_t planeSlots;    // slots in one pixel row
  ElementWindow window;   // the buffer rows and columns to resolve
  int32_t firstSampleRow, endSampleRow;        // the window in sample rows
  int32_t firstSampleColumn, endSampleColumn;  // the window in sample columns, inside the buffer
  uint32_t stored;        // sub-samples handed over since the last resolve
  uint32_t unkeyed;       // of them, with key 0 (not kept)
  int32_t lowestPixel;    // pixel columns touched since the last resolve
  int32_t highestPixel;

  // Stores a run of columns won by one piece. Per column, with i the band
  // index of its coordinate: key = facet key of i + the piece's index (16-bit
  // sum; a sum that wraps to 0 would read as an empty slot and lose the
  // sub-sample, so it is stored as the table's wrappedKey: KeyOf), normal =
  // (dx x radial, dy x radial, vertical) of contour entry i, or i itself. The
  // coordinate (and a curve piece's angle) steps by wrapping 32-bit
  // additions, as the sweep steps it.
  // Columns outside the window are dropped; a run cut on the left starts
  // with the values the sweep's steps reach there.
  void StoreWinnerRun(int32_t row, int32_t begin, int32_t end, const WinnerRun& whole) {
    if (row < firstSampleRow) return;
    WinnerRun run = whole;
    if (begin < firstSampleColumn) {
      const uint32_t skipped = uint32_t(firstSampleColumn - begin);
      run.value = int32_t(uint32_t(run.value) + skipped * uint32_t(run.valueStep));
      run.angle = int32_t(uint32_t(run.angle) + skipped * uint32_t(run.angleStep));
      begin = firstSampleColumn;
    }
    if (end > endSampleColumn) end = endSampleColumn;
    if (begin >= end) return;
    if (run.directions != nullptr)
      StoreColumns<true>(row, begin, end, run);
    else
      StoreColumns<false>(row, begin, end, run);
    stored += uint32_t(end - begin);
    const int32_t first = begin >> SampleColumnShift, last = (end - 1) >> SampleColumnShift;
    if (first < lowestPixel) lowestPixel = first;
    if (last > highestPixel) highestPixel = last;
  }

  // Pixel by pixel, so that a pixel's sums stay in registers while its
  // columns of this sample row are added; where GroupPixels whole pixels of
  // one facet follow, they are summed side by side (independent sums that
  // the processor overlaps), each still in its own column order.
  template <bool Curved>
  void StoreColumns(int32_t row, int32_t begin, int32_t end, const WinnerRun& run) {
    const uint16_t pieceKey = uint16_t(run.piece->index);
    uint32_t value = uint32_t(run.value), angle = uint32_t(run.angle);
    const uint32_t valueStep = uint32_t(run.valueStep), angleStep = uint32_t(run.angleStep);
    const Lanes straight = {run.dx, run.dy, 1.0f, 0.0f};
    for (int32_t column = begin; column < end;) {
      const int32_t pixel = column >> SampleColumnShift;
      if ((column & (SampleColumns - 1)) == 0 && end - column >= GroupColumns) {
        bool inRange = false;
        const uint16_t key = GroupKey(value, valueStep, pieceKey, pixel, &inRange);
        if (key != 0) {
          if (inRange)
            StoreGroup<Curved, false>(pixel, key, value, valueStep, angle, angleStep, run.directions, straight);
          else
            StoreGroup<Curved, true>(pixel, key, value, valueStep, angle, angleStep, run.directions, straight);
          column += GroupColumns;
          value += GroupColumns * valueStep;
          if constexpr (Curved) angle += GroupColumns * angleStep;
          continue;
        }
      }
      const int32_t stop = ((pixel + 1) << SampleColumnShift) < end ? (pixel + 1) << SampleColumnShift : end;
      PixelGather& g = gather[pixel];
      Lanes sum = g.normalSum;
      uint32_t indexSum = g.indexSum, count = g.count;
      uint16_t lead = g.lead;
      for (; column < stop; ++column) {
        const int32_t i = BandIndex(int32_t(value), Variant);
        const uint16_t key = KeyOf(i, pieceKey);
        Lanes n = {0.0f, 0.0f, 0.0f, 0.0f};
        if constexpr (Member::StoresNormal) n = Direction<Curved>(run.directions, angle, straight) * profile[i];
        value += valueStep;
        if constexpr (Curved) angle += angleStep;
        if (key != lead) {
          if (key == 0) {
            ++unkeyed;
            continue;
          }
          if (lead != 0) {
            StoreAside(row, column, key, n, i);
            g.mixed = 1;
            continue;
          }
          lead = key;
        }
        ++count;
        if constexpr (Member::StoresNormal) sum += n;
        if constexpr (Member::StoresIndex) indexSum += uint32_t(i);
      }
      g.normalSum = sum;
      g.indexSum = indexSum;
      g.count = uint8_t(count);
      g.lead = lead;
    }
  }

  uint16_t KeyOf(int32_t i, uint16_t pieceKey) const {
    const uint16_t key = uint16_t(uint16_t(facetKeys->key[i]) + pieceKey);
    return key != 0 ? key : facetKeys->wrappedKey;
  }

  // Eight made GCC 12 at -O3 put the distance display's index sums into the
  // wrong pixels (right without tree vectorisation, clean under UBSan);
  // bench_render_checksums shows such a change at once.
  static constexpr int32_t GroupPixels = 4;
  static constexpr int32_t GroupColumns = GroupPixels * SampleColumns;

  template <bool Curved>
  static Lanes Direction(const DirectionTable* directions, uint32_t angle, Lanes straight) {
    if constexpr (Curved) {
      const DirectionPair& pair = DirectionFor(*directions, int32_t(angle));
      return Lanes{pair.cos, pair.sin, 1.0f, 0.0f};
    }
    return straight;
  }

  // The one key of the GroupColumns columns from `value` on, when they all
  // have the same non-zero key and every pixel of the group has that lead
  // or none yet; else 0. Without a wrap the coordinate is monotonic over the
  // group, and so is the band index: the columns' indexes lie between those
  // of the first and the last column. *inRange tells that no index of the
  // group needs clamping.
  uint16_t GroupKey(uint32_t value, uint32_t valueStep, uint16_t pieceKey, int32_t pixel, bool* inRange) const {
    const int64_t last = int64_t(int32_t(value)) + int64_t(GroupColumns - 1) * int64_t(int32_t(valueStep));
    if (last < INT32_MIN || last > INT32_MAX) return 0;
    const int64_t firstIndex = (int64_t(int32_t(value)) + Rounding) >> 16, lastIndex = (last + Rounding) >> 16;
    *inRange = firstIndex >= 0 && lastIndex >= 0 && firstIndex < ContourTableSize && lastIndex < ContourTableSize;
    int32_t low = BandIndex(int32_t(value), Variant), high = BandIndex(int32_t(last), Variant);
    if (low > high) std::swap(low, high);
    if (keyRunEnd[low] < high) return 0;
    const uint16_t key = KeyOf(low, pieceKey);
    if (key == 0) return 0;
    for (int32_t q = 0; q < GroupPixels; ++q)
      if (gather[pixel + q].lead != key && gather[pixel + q].lead != 0) return 0;
    return key;
  }

  // The rounding BandIndex adds before dropping the fraction.
  static constexpr int32_t Rounding = Variant == SweepVariant::Inner ? 0x8000 : 0;

  template <bool Curved, bool Clamp>
  void StoreGroup(int32_t pixel, uint16_t key, uint32_t value, uint32_t valueStep, uint32_t angle,
                  uint32_t angleStep, const DirectionTable* directions, Lanes straight) {
    Lanes sum[GroupPixels];
    uint32_t values[GroupPixels], angles[GroupPixels], indexSum[GroupPixels];
    for (int32_t q = 0; q < GroupPixels; ++q) {
      sum[q] = gather[pixel + q].normalSum;
      indexSum[q] = gather[pixel + q].indexSum;
      values[q] = value + uint32_t(q * SampleColumns) * valueStep;
      angles[q] = angle + uint32_t(q * SampleColumns) * angleStep;
    }
    for (int32_t t = 0; t < SampleColumns; ++t) {
      for (int32_t q = 0; q < GroupPixels; ++q) {
        const int32_t i = Clamp ? BandIndex(int32_t(values[q]), Variant) : (int32_t(values[q]) + Rounding) >> 16;
        if constexpr (Member::StoresNormal) sum[q] += Direction<Curved>(directions, angles[q], straight) * profile[i];
        if constexpr (Member::StoresIndex) indexSum[q] += uint32_t(i);
        values[q] += valueStep;
        if constexpr (Curved) angles[q] += angleStep;
      }
    }
    for (int32_t q = 0; q < GroupPixels; ++q) {
      PixelGather& g = gather[pixel + q];
      g.normalSum = sum[q];
      g.indexSum = indexSum[q];
      g.count = uint8_t(g.count + SampleColumns);
      g.lead = key;
    }
  }

  void StoreAside(int32_t row, int32_t column, uint16_t key, Lanes n, int32_t i) {
    const uint32_t s = SlotOf(row, column);
    keys[s] = key;
    if constexpr (Member::StoresNormal) {
      float* slot = normals + 3 * s;
      slot[0] = n[0];
      slot[1] = n[1];
      slot[2] = n[2];
    }
    if constexpr (Member::StoresIndex) indexes[s] = uint16_t(i);
  }

  // Stops the sweep after the window's last row.
  int RowEnd(int32_t row) {
    if ((row & (SampleRows - 1)) == SampleRows - 1) ResolveRow(row >> SampleRowShift);
    return row + 1 < endSampleRow ? 1 : 0;
  }

  // The facets of pixel column x: the lead facet, then every other key of the
  // slot planes once, in order of first appearance. Returns the sub-samples
  // consumed (the planes' keys are zeroed); the gather is cleared.
  uint32_t ResolvePixel(uint32_t x) {
    PixelGather& g = gather[x];
    if (g.lead != 0) {
      float sum[4];
      std::memcpy(sum, &g.normalSum, sizeof sum);
      member->Facet(g.count, sum, g.indexSum);
    }
    uint32_t consumed = g.count;
    if (g.mixed) {
      uint16_t* pixelKeys = keys + x * PixelSamples;
      const uint32_t base = x * PixelSamples;
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
    }
    g = PixelGather{};
    return consumed;
  }

  void ResolveRow(int32_t pixelRow) {
    uint32_t consumed = 0;
    if (buffer->rows != nullptr && pixelRow >= window.firstRow && pixelRow < window.endRow) {
      for (Span* span = buffer->rows[pixelRow]; span != nullptr; span = span->next) {
        int32_t begin, end;
        if (!ClipSpan(*span, window, &begin, &end)) continue;
        member->SpanStart(begin);
        for (uint32_t x = uint32_t(begin); x < uint32_t(end); ++x) {
          const uint32_t i = x - span->xStart;
          member->BeginPixel(span->material[i]);
          if (x < buffer->width) consumed += ResolvePixel(x);
          span->block[i] = member->EndPixel();
          member->NextColumn();
        }
      }
    }
    member->NextRow();
    // Sub-samples outside every span (only possible when the buffer was not
    // built from these same edges) must not leak into the next pixel row.
    if (consumed + unkeyed != stored) ClearLeftovers();
    stored = unkeyed = 0;
    lowestPixel = INT32_MAX;
    highestPixel = -1;
  }

  void ClearLeftovers() {
    for (int32_t x = lowestPixel; x <= highestPixel; ++x) gather[x] = PixelGather{};
    std::memset(keys, 0, planeSlots * sizeof(uint16_t));
  }
};

// One sweep of a bevel's bands over buffer rows [firstRow, endRow) of the
// window: its gather row and planes, the contour in the form the user reads.
// Prepare allocates (on the caller's thread); Sweep allocates nothing.
template <class Member, SweepVariant Variant>
struct SweepJob {
  BevelSweepUser<Member, Variant> user{};
  Lanes profile[ContourTableSize];
  uint8_t keyRunEnd[ContourTableSize];
  int32_t width, height;
  const DirectionTable* directions;

  // Returns 1, or 0 with MemFullErr set (Release frees what was allocated).
  int Prepare(const BevelShape& shape, ElementBuffer* buffer, Member* member, int32_t firstRow, int32_t endRow) {
    const uint32_t slots = uint32_t(buffer->width) * PixelSamples;
    for (int32_t i = 0; i < ContourTableSize; ++i) {
      const ContourNormal& c = shape.contour->entry[i];
      profile[i] = Lanes{c.radial, c.radial, c.vertical, 0.0f};
    }
    for (int32_t i = ContourTableSize - 1; i >= 0; --i)
      keyRunEnd[i] = uint8_t(i + 1 < ContourTableSize && shape.facetKeys->key[i + 1] == shape.facetKeys->key[i]
                                 ? keyRunEnd[i + 1]
                                 : i);
    user.gather = static_cast<PixelGather*>(NewClearedBlock(uint32_t(buffer->width) * sizeof(PixelGather)));
    if (user.gather != nullptr) user.keys = static_cast<uint16_t*>(NewClearedBlock(slots * sizeof(uint16_t)));
    if constexpr (Member::StoresNormal)
      if (user.keys != nullptr) user.normals = static_cast<float*>(NewBlock(slots * 3 * sizeof(float)));
    if constexpr (Member::StoresIndex)
      if (user.keys != nullptr) user.indexes = static_cast<uint16_t*>(NewBlock(slots * sizeof(uint16_t)));
    const bool ready = user.gather != nullptr && user.keys != nullptr &&
                       (!Member::StoresNormal || user.normals != nullptr) &&
                       (!Member::StoresIndex || user.indexes != nullptr);
    if (!ready) return 0;
    user.profile = profile;
    user.keyRunEnd = keyRunEnd;
    user.facetKeys = shape.facetKeys;
    user.buffer = buffer;
    user.member = member;
    user.planeSlots = slots;
    user.lowestPixel = INT32_MAX;
    user.highestPixel = -1;
    user.window = WindowOf(buffer, shape.clip);
    user.window.firstRow = firstRow;
    user.window.endRow = endRow;
    const int32_t bufferWidth = int32_t(buffer->width);
    const int32_t firstColumn = user.window.firstColumn > 0 ? user.window.firstColumn : 0;
    const int32_t endColumn = user.window.endColumn < bufferWidth ? user.window.endColumn : bufferWidth;
    user.firstSampleRow = firstRow * SampleRows;
    user.endSampleRow = endRow * SampleRows;
    user.firstSampleColumn = firstColumn * SampleColumns;
    user.endSampleColumn = (endColumn > firstColumn ? endColumn : firstColumn) * SampleColumns;
    width = buffer->width;
    height = buffer->height;
    directions = shape.directions;
    return 1;
  }
  void Sweep(BandEdge* edges, const SweepRange& range) {
    if (user.window.firstRow < user.window.endRow)
      SweepBands(edges, width, height, Variant, directions, user, range);
  }
  void Release() {
    FreeBlockOf(user.indexes);
    FreeBlockOf(user.normals);
    FreeBlockOf(user.keys);
    FreeBlockOf(user.gather);
  }
};

// Allocates the gather row and the planes a member needs, sweeps and
// resolves, frees them.
template <class Member, SweepVariant Variant>
int SweepAndResolve(const BevelShape& shape, ElementBuffer* buffer, Member& member) {
  if (buffer == nullptr || buffer->width == 0 || buffer->height == 0) return 1;
  SweepJob<Member, Variant> job;
  const ElementWindow window = WindowOf(buffer, shape.clip);
  const int ready = job.Prepare(shape, buffer, &member, window.firstRow, window.endRow);
  if (ready) job.Sweep(shape.edges, SweepRange{});
  job.Release();
  return ready;
}

// ---- Two sweeps side by side ----------------------------------------------------
// With a task runner a full shading sweeps the window's rows in two parts at
// once (SweepSplit), each with its own gather row and planes and its own
// shading memo; every pixel row is resolved by exactly one part. Where the
// parts disagree the lower rows are swept again, going on from where the
// upper part stopped. Setting up the parts allocates; if that fails the
// shading runs in one part and no code is left behind.

// Work-memory blocks are only as aligned as the host's allocator makes them
// (8 bytes on 32-bit Windows); a record holding vector lanes is placed at its
// own alignment inside a block that much larger. The block is freed, not the record.
template <class T>
T* NewAlignedRecord(void** block) {
  *block = NewBlock(uint32_t(sizeof(T) + alignof(T)));
  if (*block == nullptr) return nullptr;
  const uintptr_t at = (reinterpret_cast<uintptr_t>(*block) + alignof(T) - 1) & ~uintptr_t(alignof(T) - 1);
  return reinterpret_cast<T*>(at);
}

// Below this many window pixels a second thread costs more than it saves.
constexpr uint64_t SplitMinimumPixels = 16384;

// The buffer row that halves the window's pixels, or -1 when not worth it.
int32_t SplitRow(const ElementBuffer* buffer, const ElementWindow& window) {
  if (buffer->rows == nullptr || window.endRow - window.firstRow < 2) return -1;
  uint64_t total = 0;
  for (int32_t row = window.firstRow; row < window.endRow; ++row) total += PixelsInRow(buffer, window, row);
  if (total < SplitMinimumPixels) return -1;
  uint64_t sum = 0;
  for (int32_t row = window.firstRow; row < window.endRow; ++row) {
    if (sum * 2 >= total) return row > window.firstRow ? row : -1;
    sum += PixelsInRow(buffer, window, row);
  }
  return -1;
}

// One part of a split sweep, as a task.
template <class Job>
struct SweepPart {
  Job* job;
  BandEdge* edges;
  SweepRange range;
  static void Run(void* part) {
    SweepPart* p = static_cast<SweepPart*>(part);
    p->job->Sweep(p->edges, p->range);
  }
};

// The lower part's job, member and memo: one work-memory block.
template <class Member, SweepVariant Variant>
struct LowerPart {
  SweepJob<Member, Variant> job;
  Member member;
  ShadingMemo memo;
};

// Returns 1 when the shading was done in two parts; 0 when it was not tried
// (nothing written, the result cell as before).
template <class Member, SweepVariant Variant>
int SweepInTwoParts(const BevelShape& shape, ElementBuffer* buffer, Member& member) {
  if (shape.tasks == nullptr || buffer == nullptr || buffer->width == 0 || buffer->height == 0) return 0;
  const ElementWindow window = WindowOf(buffer, shape.clip);
  const int32_t split = SplitRow(buffer, window);
  if (split < 0) return 0;
  const int16_t before = CurrentResult();
  SweepSplit parts;
  SweepJob<Member, Variant> upper;
  LowerPart<Member, Variant>* lower = nullptr;
  void* lowerBlock = nullptr;
  bool ready = PrepareSweepSplit(shape.edges, split * SampleRows, &parts);
  if (ready) {
    lower = NewAlignedRecord<LowerPart<Member, Variant>>(&lowerBlock);
    ready = lower != nullptr;
  }
  const bool constructed = ready;
  if (ready) {
    new (lower) LowerPart<Member, Variant>{};  // value-initialised: a cleared memo, no planes
    lower->member = member;
    lower->member.memo = &lower->memo;
    // The upper part walks on to the split row's start to record its state there.
    ready = upper.Prepare(shape, buffer, &member, window.firstRow, split) &&
            lower->job.Prepare(shape, buffer, &lower->member, split, window.endRow);
    upper.user.endSampleRow = split * SampleRows + 1;
  }
  if (ready) {
    SweepPart<SweepJob<Member, Variant>> upperPart{&upper, shape.edges, UpperSweepRange(&parts, split * SampleRows)};
    SweepPart<SweepJob<Member, Variant>> lowerPart{&lower->job, parts.lower.head,
                                                   LowerSweepRange(&parts, split * SampleRows)};
    RunBeside(shape.tasks, SweepPart<SweepJob<Member, Variant>>::Run, &lowerPart,
              SweepPart<SweepJob<Member, Variant>>::Run, &upperPart);
    // The upper part always reaches the split row (its window ends there).
    // Where the parts disagree the original bands go on from it over the
    // lower part's rows, with the lower part's planes (left cleared by its
    // last row) and member.
    if (!SweepSplitAgrees(parts)) lower->job.Sweep(shape.edges, ResumedSweepRange(parts));
  }
  upper.Release();
  if (lower != nullptr) {
    if (constructed) lower->job.Release();
    FreeBlock(&lowerBlock);
  }
  ReleaseSweepSplit(&parts);
  if (!ready) SetResult(before);
  return ready ? 1 : 0;
}

template <class Member>
int Run(const BevelShape& shape, ElementBuffer* buffer, Member& member) {
  if constexpr (std::is_same_v<Member, FullShadingMember<false>>) {
    if (shape.variant == SweepVariant::Inner) {
      if (SweepInTwoParts<Member, SweepVariant::Inner>(shape, buffer, member)) return 1;
    } else if (SweepInTwoParts<Member, SweepVariant::Outer>(shape, buffer, member)) {
      return 1;
    }
  }
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
                   const ReflectionSampler* reflection, BumpSampler* samplers, int32_t count, int keepFacets) {
  ShadingMemo memo;
  memo.Clear();
  if (samplers != nullptr && count > 0) {
    FullShadingMember<true> member{};
    member.memo = &memo;
    member.samplers = samplers;
    member.count = count;
    member.lighting = &lighting;
    member.reflection = reflection;
    return Run(shape, buffer, member);
  }
  if (keepFacets && buffer != nullptr) {
    FacetSource source;
    DescribeFacetSource(&source, buffer, shape.clip, shape.variant, *shape.contour, *shape.facetKeys);
    FacetRecorder recorder;
    BeginFacetRecording(&recorder, buffer, source);
    FullShadingMember<false, true> member{};
    member.memo = &memo;
    member.lighting = &lighting;
    member.reflection = reflection;
    member.recorder = &recorder;
    const int shaded = Run(shape, buffer, member);
    FinishFacetRecording(&recorder, buffer, shaded);
    return shaded;
  }
  FullShadingMember<false> member{};
  member.memo = &memo;
  member.lighting = &lighting;
  member.reflection = reflection;
  return Run(shape, buffer, member);
}

namespace {
// Kept facets of buffer rows [firstRow, endRow) of the window, from pixel
// record `pixel` on, as a task.
struct KeptPart {
  const KeptFacets* kept;
  ElementBuffer* buffer;
  const LightingSetup* lighting;
  const ReflectionSampler* reflection;
  ShadingMemo* memo;
  int32_t firstRow, endRow;
  const uint32_t* pixel;

  static void Run(void* part) {
    const KeptPart* p = static_cast<const KeptPart*>(part);
    FullShadingMember<false> member{};
    member.memo = p->memo;
    member.lighting = p->lighting;
    member.reflection = p->reflection;
    // The part's rows of the window, back in the buffer's frame.
    const ElementWindow& window = p->kept->source.window;
    const ElementBuffer* buffer = p->buffer;
    const PixelRect rows{buffer->y0 + p->firstRow, buffer->x0 + window.firstColumn, buffer->y0 + p->endRow,
                         buffer->x0 + window.endColumn};
    const uint32_t* pixel = p->pixel;
    WalkPixels(p->buffer, rows, [&](const PixelMaterial& material, RenderedPixel& out) {
      member.BeginPixel(material);
      for (uint32_t f = *pixel++; f != NoFacets; ++f) {
        const KeptFacet& facet = p->kept->facets[f];
        member.KeptFacet(facet.weight & FacetWeightMask, facet.normalBits);
        if ((facet.weight & MoreFacets) == 0) break;
      }
      out = member.EndPixel();
    });
  }
};
}  // namespace

int ShadeKeptFacets(ElementBuffer* buffer, const FacetSource& source, const LightingSetup& lighting,
                    const ReflectionSampler* reflection, const TaskRunner* tasks) {
  const KeptFacets* kept = FindKeptFacets(buffer, source);
  if (kept == nullptr) return 0;
  ShadingMemo memo;
  memo.Clear();
  const ElementWindow& window = kept->source.window;
  KeptPart upper{kept, buffer, &lighting, reflection, &memo, window.firstRow, window.endRow, kept->pixels};
  // Rows shade independently: with a task runner the lower half of the
  // pixels is shaded beside the upper half, with a memo of its own.
  const int32_t split = tasks != nullptr ? SplitRow(buffer, window) : -1;
  ShadingMemo* lowerMemo = nullptr;
  void* lowerBlock = nullptr;
  if (split >= 0) {
    const int16_t before = CurrentResult();
    lowerMemo = NewAlignedRecord<ShadingMemo>(&lowerBlock);
    if (lowerMemo == nullptr) SetResult(before);
  }
  if (lowerMemo == nullptr) {
    KeptPart::Run(&upper);
    return 1;
  }
  lowerMemo->Clear();
  ElementWindow above = window;
  above.endRow = split;
  KeptPart lower{kept, buffer, &lighting, reflection, lowerMemo, split, window.endRow,
                 kept->pixels + ResolvedPixelCount(buffer, above)};
  upper.endRow = split;
  RunBeside(tasks, KeptPart::Run, &lower, KeptPart::Run, &upper);
  FreeBlock(&lowerBlock);
  return 1;
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

#include "bevel/ContourProfiles.h"

#include <cmath>

namespace {

// One building block of a profile; a profile is a short program of them.
enum class ContourOp : uint8_t {
  End = 0,            // end of the profile's steps
  Slope,              // constant slope: unit(rise, run)
  Flat,               // (0, 1)
  Fall,               // quarter ellipse from a vertical wall to flat
  Rise,               // quarter ellipse from flat to steep
  Copy,               // copy entries to another place
  Mirror,             // reverse entries and negate their radial parts
  Key,                // mark facet keys with the element key
  ToggleFlipVertical  // the profile is listed upside down
};

// Which derived value of the depth a step scales with.
enum class Amount : uint8_t {
  None,         // the step takes no amount
  FullRise,     // F = (depth * 255) * 0.01
  HalfRise,     // G = F * 0.5
  HalfFall,     // L = -F * 0.5
  SteepPart,    // 0.7 * F
  ShallowPart,  // 0.3 * F
  Depth,        // H = depth * 0.01
  SteepDepth    // depth / 33: the final quarter about three times as steep
};

struct ContourStep {
  ContourOp op;
  uint8_t first;   // first entry of the range
  uint8_t last;    // last entry of the range (inclusive)
  uint16_t extra;  // Fall: k; Rise: divisor n; Copy: target entry
  Amount amount;
  float run;       // Slope only: the horizontal run
};

constexpr ContourStep Slope(int a, int b, float run, Amount rise) {
  return {ContourOp::Slope, uint8_t(a), uint8_t(b), 0, rise, run};
}
constexpr ContourStep Flat(int a, int b) { return {ContourOp::Flat, uint8_t(a), uint8_t(b), 0, Amount::None, 0.0f}; }
constexpr ContourStep Fall(int a, int b, int k, Amount s) {
  return {ContourOp::Fall, uint8_t(a), uint8_t(b), uint16_t(k), s, 0.0f};
}
constexpr ContourStep Rise(int a, int c, int n, Amount s) {
  return {ContourOp::Rise, uint8_t(a), uint8_t(c), uint16_t(n), s, 0.0f};
}
constexpr ContourStep Copy(int a, int b, int to) {
  return {ContourOp::Copy, uint8_t(a), uint8_t(b), uint16_t(to), Amount::None, 0.0f};
}
constexpr ContourStep Mirror(int a, int b) {
  return {ContourOp::Mirror, uint8_t(a), uint8_t(b), 0, Amount::None, 0.0f};
}
constexpr ContourStep Key(int a, int b) { return {ContourOp::Key, uint8_t(a), uint8_t(b), 0, Amount::None, 0.0f}; }
constexpr ContourStep ToggleFlip() { return {ContourOp::ToggleFlipVertical, 0, 0, 0, Amount::None, 0.0f}; }

constexpr int MaxProfileSteps = 8;
constexpr Amount F = Amount::FullRise;
constexpr Amount G = Amount::HalfRise;
constexpr Amount L = Amount::HalfFall;
constexpr Amount H = Amount::Depth;

// The built-in profiles, indexed by contourIndex. Ranges are inclusive;
// later steps may overwrite entries of earlier ones.
constexpr ContourStep kProfiles[ContourProfileCount][MaxProfileSteps] = {
    /* 0 */ {Slope(0, 255, 255.0f, F)},
    /* 1 */ {Fall(0, 255, 0, H)},
    /* 2 */ {Slope(0, 127, 127.5f, G), Slope(128, 255, 127.5f, L), Key(128, 255)},
    /* 3 */ {Fall(0, 127, 0, H), Copy(0, 127, 128), Mirror(128, 255)},
    /* 4 */ {Rise(0, 127, 128, H), Copy(0, 127, 128), Mirror(128, 255), Key(128, 255)},
    /* 5 */ {Slope(0, 63, 127.5f, G), Slope(64, 127, 127.5f, L), Copy(0, 127, 128), Key(64, 127), Key(192, 255)},
    /* 6 */ {Fall(0, 63, 0, H), Copy(0, 63, 64), Mirror(64, 127), Copy(0, 127, 128), Key(128, 255)},
    /* 7 */
    {Fall(64, 127, 0, H), Copy(64, 127, 0), Mirror(0, 63), Copy(0, 127, 128), Key(0, 63), Key(192, 255),
     ToggleFlip()},
    /* 8 */ {Rise(0, 127, 128, H), Fall(128, 255, 1, H)},
    /* 9 */ {Fall(0, 127, 0, H), Fall(128, 255, 0, H), Key(128, 255)},
    /* 10 */ {Slope(0, 75, 75.0f, Amount::SteepPart), Slope(76, 255, 180.0f, Amount::ShallowPart), Key(76, 255)},
    /* 11 */ {Slope(0, 63, 127.5f, G), Flat(64, 191), Slope(192, 255, 127.5f, L), Key(64, 191)},
    /* 12 */ {Fall(0, 63, 0, H), Flat(64, 191), Copy(0, 63, 192), Mirror(192, 255)},
    /* 13 */ {Slope(0, 191, 127.5f, G), Slope(192, 255, 127.5f, L), Key(192, 255)},
    /* 14 */ {Fall(0, 191, 0, H), Slope(192, 255, 127.5f, L), Key(192, 255)},
    /* 15 */ {Slope(0, 191, 127.5f, G), Fall(192, 255, 0, H), Mirror(192, 255), Key(192, 255)},
    /* 16 */ {Fall(0, 191, 0, H), Fall(192, 255, 0, H), Mirror(192, 255)},
    /* 17 */ {Fall(0, 63, 0, H), Rise(64, 191, 128, H), Copy(0, 63, 192)},
    /* 18 */ {Fall(0, 63, 0, H), Flat(64, 191), Copy(0, 63, 192), Key(192, 255)},
    /* 19 */ {Fall(0, 63, 0, H), Flat(64, 191), Slope(192, 255, 127.5f, G), Key(192, 255)},
    /* 20 */ {Slope(0, 63, 127.5f, G), Flat(64, 191), Copy(0, 63, 192), Key(64, 191)},
    /* 21 */ {Slope(0, 63, 127.5f, G), Flat(64, 191), Fall(192, 255, 0, H), Key(64, 191)},
    /* 22 */ {Fall(0, 127, 0, H), Slope(128, 255, 127.5f, L), Key(128, 255)},
    /* 23 */ {Fall(0, 255, 0, H), Slope(75, 255, 127.5f, G)},
    /* 24 */ {Fall(0, 127, 0, H), Flat(128, 255)},
    /* 25 */ {Slope(0, 127, 127.5f, G), Flat(128, 255), Key(128, 255)},
    /* 26 */
    {Flat(0, 63), Fall(64, 127, 0, H), Copy(64, 127, 128), Mirror(128, 191), Flat(192, 255), Key(64, 191)},
    /* 27 */
    {Slope(0, 63, 127.5f, G), Fall(64, 127, 0, H), Copy(64, 127, 128), Mirror(128, 191), Flat(192, 255),
     Key(64, 191)},
    /* 28 */
    {Slope(0, 63, 127.5f, G), Fall(64, 127, 0, H), Copy(64, 127, 128), Mirror(128, 191),
     Slope(192, 255, 127.5f, L), Key(64, 191)},
    /* 29 */ {Fall(0, 255, 0, H), Slope(0, 75, 127.5f, G)},
    /* 30 */ {Fall(0, 127, 0, H), Slope(0, 37, 127.5f, G), Copy(0, 127, 128), Mirror(128, 255)},
    /* 31 */ {Fall(0, 127, 0, H), Slope(38, 127, 127.5f, G), Copy(0, 127, 128), Mirror(128, 255), Key(128, 255)},
    /* 32 */ {Fall(0, 255, 0, H), Rise(0, 127, 256, H)},
    /* 33 */ {Fall(0, 127, 0, H), Flat(128, 191), Slope(192, 255, 127.5f, L), Key(192, 255)},
    /* 34 */ {Fall(0, 127, 0, H), Flat(128, 191), Slope(192, 255, 127.5f, G), Key(192, 255)},
    /* 35 */ {Fall(0, 127, 0, H), Flat(128, 191), Fall(192, 255, 0, H), Key(192, 255)},
    /* 36 */ {Fall(0, 127, 0, H), Flat(128, 191), Fall(192, 255, 0, H), Mirror(192, 255)},
    /* 37 */ {Slope(0, 127, 127.5f, G), Flat(128, 191), Slope(192, 255, 127.5f, L), Key(128, 191)},
    /* 38 */ {Slope(0, 127, 127.5f, G), Flat(128, 191), Slope(192, 255, 127.5f, G), Key(128, 191)},
    /* 39 */ {Slope(0, 127, 127.5f, G), Flat(128, 191), Fall(192, 255, 0, H), Key(128, 191)},
    /* 40 */ {Slope(0, 127, 127.5f, G), Flat(128, 191), Fall(192, 255, 0, H), Mirror(192, 255), Key(128, 255)},
    /* 41 */ {Fall(0, 31, 0, H), Copy(0, 31, 32), Mirror(32, 63), Fall(64, 255, 0, H), Key(64, 255)},
    /* 42 */ {Fall(0, 31, 0, H), Copy(0, 31, 32), Mirror(32, 63), Slope(64, 255, 127.5f, G), Key(64, 255)},
    /* 43 */ {Slope(0, 31, 127.5f, G), Slope(31, 63, 127.5f, L), Fall(64, 255, 0, H), Key(31, 63)},
    /* 44 */ {Slope(0, 31, 127.5f, G), Slope(31, 63, 127.5f, L), Slope(64, 255, 127.5f, G), Key(31, 63)},
    /* 45 */ {Fall(0, 31, 0, H), Copy(0, 31, 32), Mirror(32, 63), Copy(0, 63, 192), Flat(64, 191), Key(64, 191)},
    /* 46 */ {Fall(0, 63, 0, H), Copy(0, 63, 64), Copy(0, 63, 128), Copy(0, 63, 192), Key(64, 127), Key(192, 255)},
    /* 47 */ {Fall(0, 191, 0, H), Fall(192, 255, 0, Amount::SteepDepth), Mirror(192, 255), Key(192, 255)},
    /* 48 */
    {Slope(0, 191, 127.5f, G), Fall(192, 255, 0, Amount::SteepDepth), Mirror(192, 255), Key(192, 255)},
};

// The derived values of one depth, all 32-bit floats.
struct DepthAmounts {
  float fullRise;
  float depth;
  float steepDepth;
};

constexpr float PercentFactor = 0.01f;          // the float nearest to 0.01
constexpr float SteepPercentFactor = 0.030303031f;  // 1/33 as a float

float AmountValue(const DepthAmounts& amounts, Amount amount) {
  switch (amount) {
    case Amount::FullRise: return amounts.fullRise;
    case Amount::HalfRise: return amounts.fullRise * 0.5f;
    case Amount::HalfFall: return -amounts.fullRise * 0.5f;
    case Amount::SteepPart: return 0.7f * amounts.fullRise;
    case Amount::ShallowPart: return 0.3f * amounts.fullRise;
    case Amount::Depth: return amounts.depth;
    case Amount::SteepDepth: return amounts.steepDepth;
    case Amount::None: break;
  }
  return 0.0f;
}

// unit(x, y); the direction-less (0, 0) is stored as a flat step.
ContourNormal Unit(float x, float y) {
  const double length = std::sqrt(double(x) * double(x) + double(y) * double(y));
  if (!(length > 0.0)) return ContourNormal{0.0f, 1.0f};
  return ContourNormal{float(double(x) / length), float(double(y) / length)};
}

// Quarter-ellipse entry for the parameter e in [0, 1]: radial e*s against
// the vertical sqrt(1 - e^2).
ContourNormal EllipseEntry(float e, float s) {
  const float upright = 1.0f - e * e;
  return Unit(e * s, float(std::sqrt(double(upright > 0.0f ? upright : 0.0f))));
}

void MirrorRange(ContourTable& table, int first, int last) {
  for (int low = first, high = last; low <= high; ++low, --high) {
    const ContourNormal lowEntry = table.entry[low];
    table.entry[low] = ContourNormal{-table.entry[high].radial, table.entry[high].vertical};
    if (low != high) table.entry[high] = ContourNormal{-lowEntry.radial, lowEntry.vertical};
  }
}

// Runs one profile; returns whether it toggles the vertical flip.
bool RunProfile(const ContourStep* steps, const DepthAmounts& amounts, ContourTable& table, FacetKeyTable& keys,
                int16_t elementKey) {
  bool toggleFlip = false;
  for (int s = 0; s < MaxProfileSteps && steps[s].op != ContourOp::End; ++s) {
    const ContourStep& step = steps[s];
    const int a = step.first;
    const int b = step.last;
    const float value = AmountValue(amounts, step.amount);
    switch (step.op) {
      case ContourOp::Slope:
        for (int i = a; i <= b; ++i) table.entry[i] = Unit(value, step.run);
        break;
      case ContourOp::Flat:
        for (int i = a; i <= b; ++i) table.entry[i] = ContourNormal{0.0f, 1.0f};
        break;
      case ContourOp::Fall: {
        const float n = float(b - a + 1);
        for (int i = a; i <= b; ++i) table.entry[i] = EllipseEntry(1.0f - float(step.extra + i - a) / n, value);
        break;
      }
      case ContourOp::Rise: {
        const float n = float(step.extra);
        for (int i = a; i <= b; ++i) table.entry[i] = EllipseEntry(float(i - a) / n, value);
        break;
      }
      case ContourOp::Copy:
        for (int i = a; i <= b; ++i) table.entry[step.extra + i - a] = table.entry[i];
        break;
      case ContourOp::Mirror:
        MirrorRange(table, a, b);
        break;
      case ContourOp::Key:
        for (int i = a; i <= b; ++i) keys.key[i] = elementKey;
        break;
      case ContourOp::ToggleFlipVertical:
        toggleFlip = !toggleFlip;
        break;
      case ContourOp::End:
        break;
    }
  }
  return toggleFlip;
}

}  // namespace

void BuildContour(ContourTable& table, FacetKeyTable& keys, uint16_t bevelFlags, uint16_t depth,
                  int16_t elementKey) {
  int profile = bevelFlags & ContourIndexMask;
  if (profile >= ContourProfileCount) profile = 0;

  DepthAmounts amounts;
  amounts.fullRise = float(int32_t(depth) * 255) * PercentFactor;
  amounts.depth = float(depth) * PercentFactor;
  amounts.steepDepth = float(depth) * SteepPercentFactor;

  for (int i = 0; i < ContourTableSize; ++i) {
    table.entry[i] = ContourNormal{0.0f, 1.0f};
    keys.key[i] = 0;
  }
  keys.wrappedKey = elementKey != 0 ? uint16_t(elementKey) : uint16_t(1);
  bool flipVertical = (bevelFlags & FlipVerticalFlag) != 0;
  if (RunProfile(kProfiles[profile], amounts, table, keys, elementKey)) flipVertical = !flipVertical;

  if (bevelFlags & FlipHorizontalFlag) {
    MirrorRange(table, 0, ContourTableSize - 1);
    for (int low = 0, high = ContourTableSize - 1; low < high; ++low, --high) {
      const int16_t key = keys.key[low];
      keys.key[low] = keys.key[high];
      keys.key[high] = key;
    }
  }
  if (flipVertical)
    for (int i = 0; i < ContourTableSize; ++i) table.entry[i].radial = -table.entry[i].radial;
}

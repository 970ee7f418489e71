// The band sweep: walks the band edges of one bevel element over the sampling
// grid and hands every sub-sample inside the band area to a user, together
// with the band piece that owns it.
//
// Both the band rasterisers (coverage into element buffers) and the bevel
// shading routines use this one sweep, so that they agree exactly on which
// sub-samples belong to a bevel and which band piece owns each of them.
//
// Along a sample row the opening edges (no first owner) are walked in x order.
// Each one starts a band interval that follows a chain of band pieces (each
// piece's end edge leads to the next piece, its second owner) until an edge
// without a second owner closes it. Where intervals overlap, the piece with
// the largest band coordinate (the nearest outline) owns the sub-sample; on a
// tie the interval reached first along the row keeps it. The walking column
// only moves right, so every sub-sample is handed over at most once. Before
// the next piece boundary or opening edge every open interval's coordinate
// is linear in the column, so the walk hands the stretch up to there, or up
// to the column where another interval overtakes the winner, over as one
// winner run instead of searching for the owner column by column.
//
// The outline counter keeps samples on the element's own side of the
// outlines: it drops at opening outline edges and rises at closing ones, and
// a sub-sample is handed over only while it is 0. The Inner variant sets it to
// 1 at every row start (rows begin outside the element); the Outer variant
// starts at 0 and carries it from row to row.
//
// A user is any type with:
//   static constexpr bool WantsWinner;  // the owning piece, coordinate and direction per sub-sample
//   static constexpr bool WantsGaps;    // the columns between intervals while the counter is 0
//   WantsWinner:  void Store(int32_t row, int32_t column, const OffsetNode* winner,
//                            int32_t value, float dx, float dy);   // value: band coordinate, 16.16
//                 or void StoreWinnerRun(int32_t row, int32_t begin, int32_t end, const WinnerRun& run);
//                 (columns [begin, end) all won by run.piece; see WinnerRun)
//   otherwise:    void StoreRun(int32_t row, int32_t begin, int32_t end);  // columns [begin, end)
//   WantsGaps:    void Gap(int32_t row, int32_t begin, int32_t end);       // columns [begin, end)
//   int RowEnd(int32_t row);  // after every sample row; 0 stops the sweep
// Only columns inside [0, 8 * width) and rows inside [0, 4 * height) are
// handed over. The edges are advanced in place and cannot be swept again.
#pragma once
#include <cstdint>

#include "bevel/DirectionTable.h"
#include "bevel/MulDiv.h"
#include "geometry/BandEdge.h"
#include "geometry/OffsetNode.h"

// In both variants an edge that begins above row 0 is stepped into place, so
// that it enters row 0 where it would have been.
enum class SweepVariant : int32_t {
  Inner = 0,  // Inner Bevel: the outline counter is 1 at every row start
  Outer = 1   // Outer Bevel: the counter starts at 0 once and carries over rows
};

// Per-row state bits the sweep adds to a BandEdge's flags.
constexpr uint32_t IntervalFinished = 0x10;  // the edge's interval has closed on this row
constexpr uint32_t IntervalStarted = 0x20;   // the edge's interval has started on this row

// A run of sample columns [begin, end) on one row that one band piece wins
// throughout. The values at column begin + k are the ones a column-by-column
// walk reaches by adding the steps k times, wrapping at 32 bits:
//   value(k) = value + k * valueStep, angle(k) = angle + k * angleStep.
// With `directions` null the direction is (dx, dy) on every column;
// otherwise it is DirectionFor(*directions, angle(k)).
struct WinnerRun {
  const OffsetNode* piece;
  int32_t value;      // band coordinate at begin, 16.16
  int32_t valueStep;  // per sample column, 16.16
  const DirectionTable* directions;  // set for curve pieces only
  int32_t angle;      // direction angle at begin (curve pieces)
  int32_t angleStep;  // per sample column (curve pieces)
  float dx, dy;       // the piece's direction (straight pieces)
};

// The state of a sweep at the start of a sample row, once its edges are
// advanced and the row's new edges activated: the outline counter and the
// opening edges in the order the row walks them. Two sweeps over copies of
// the same bands that reach a row in the same state (the same edges, by
// their place in each copy, in the same order) hand over the same
// sub-samples from there on.
struct SweepRowState {
  int32_t counter;          // the outline counter the row starts with
  uint32_t count;           // opening edges recorded in `order`, in x order
  uint32_t capacity;        // room in `order`; a longer list only counts
  const BandEdge** order;   // caller-owned
};

// Where a sweep stopped: its lists and counter at the start of `row`, with
// the row's edges advanced and activated but the row not walked. A sweep
// resumed from it hands over exactly what the stopped sweep would have
// handed over from there on. It points into the swept edges, which must be
// left as the stopped sweep left them.
struct SweepCursor {
  BandEdge* pending;   // edges not yet active, sorted by first row
  BandEdge* active;    // every active edge
  BandEdge* opening;   // active edges without a first owner, sorted by x
  int32_t activeCount;
  int32_t counter;     // the outline counter
  int32_t row;         // the sample row to walk next; -1: the sweep did not stop
};

// Rows a sweep covers. A sweep that starts below row 0 steps the edges that
// began above into place as a sweep from row 0 would have them there; its
// outline counter starts at 0 (the Outer variant's counter carries over rows
// in a sweep from row 0, so the two agree only where it is 0 there, and
// edges tied in x and x step may be ordered differently: compare the row
// states to know).
struct SweepRange {
  int32_t firstRow = 0;                 // the first sample row swept
  int32_t stopRow = INT32_MAX;          // the sweep returns 1 at this row, before walking it
  SweepRowState* firstState = nullptr;  // recorded at firstRow when not null
  SweepCursor* stopCursor = nullptr;    // set where the sweep stopped at stopRow, when not null
  const SweepCursor* resume = nullptr;  // go on where this cursor stopped (firstRow is then ignored)
};

namespace sweep_detail {

// Users that take whole winner runs; the others get them column by column.
template <class User>
concept TakesWinnerRuns = requires(User& user, const WinnerRun& run) { user.StoreWinnerRun(0, 0, 0, run); };

inline int32_t WrapAdd(int32_t a, int64_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(static_cast<uint64_t>(b)));
}

inline int32_t ClampToInt32(int64_t value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < -INT32_MAX) return -INT32_MAX;
  return static_cast<int32_t>(value);
}

// Offset of a sample column's centre from an edge's x, rounded up to the
// column as the rasterisers do: t * 4096 - x + 4095 (x carries its rounding).
inline int32_t ColumnOffset(int32_t column, const BandEdge* edge) {
  return static_cast<int32_t>(int64_t(column) * GridOne - edge->x + (GridOne - 1));
}

// Enters `segment` at `column` across `edge` (its start edge): the band
// coordinate there, and for a curve piece the angle and its slope per column
// between its start and end edges.
inline void EnterSegment(BandEdge* interval, OffsetNode* segment, const BandEdge* edge, int32_t column) {
  interval->value = WrapAdd(edge->distance, MulDiv(ColumnOffset(column, edge), segment->distanceStep, GridOne));
  if ((segment->flags & CurveEdge) == 0) return;
  const BandEdge* end = segment->endEdge;
  int32_t a0 = edge->direction & DirectionAngleMask;
  int32_t a1 = end != nullptr ? (end->direction & DirectionAngleMask) : a0;
  int64_t difference = int64_t(a1) - a0;
  if (difference > DirectionHalfTurn)
    difference -= DirectionTurn;
  else if (difference < -DirectionHalfTurn)
    difference += DirectionTurn;
  int64_t span = end != nullptr ? int64_t(end->x) - edge->x : 0;
  int32_t slope = span != 0 ? ClampToInt32(difference * GridOne / span) : 0;
  segment->directionStep = slope;
  segment->direction = WrapAdd(WrapAdd(MulDiv(ColumnOffset(column, edge), slope, GridOne), a0), DirectionBias);
}

// Stable insertion of `edge` into a list sorted by x and then x step: in
// front of the first edge with a greater x, or equal x and a greater step.
inline void InsertOpening(BandEdge** head, BandEdge* edge) {
  BandEdge** link = head;
  while (*link != nullptr &&
         ((*link)->x < edge->x || ((*link)->x == edge->x && (*link)->xStep <= edge->xStep)))
    link = &(*link)->nextOpening;
  edge->nextOpening = *link;
  *link = edge;
}

// Re-sorts the opening list after the edges moved (stable, nearly sorted).
inline void ResortOpening(BandEdge** head) {
  BandEdge* sorted = nullptr;
  BandEdge* tail = nullptr;
  BandEdge* edge = *head;
  while (edge != nullptr) {
    BandEdge* next = edge->nextOpening;
    if (tail == nullptr || tail->x < edge->x || (tail->x == edge->x && tail->xStep <= edge->xStep)) {
      edge->nextOpening = nullptr;
      if (tail == nullptr)
        sorted = edge;
      else
        tail->nextOpening = edge;
      tail = edge;
    } else {
      InsertOpening(&sorted, edge);
    }
    edge = next;
  }
  *head = sorted;
}

// Moves an edge that starts `rows` rows above its first row's position.
inline void StepEdgeRows(BandEdge* edge, int64_t rows) {
  edge->x = WrapAdd(edge->x, rows * edge->xStep);
  edge->distance = WrapAdd(edge->distance, rows * edge->distanceStep);
  if (edge->directionStep != 0) edge->direction = WrapAdd(edge->direction, rows * edge->directionStep);
}

// Where `best`, the winner at column t among the open intervals from
// `scanHead` on, stops winning: the first column after t at which another
// open interval takes over, at most `limit` (the next event, where pieces
// and intervals change). Until then every interval's coordinate is linear
// in the column, so the column where one overtakes is exact: an interval
// ahead of `best` in the row's order wins on a tie, one behind it only when
// greater. Returns t + 1 where a coordinate would wrap before the end.
inline int32_t WinnerRunEnd(const BandEdge* scanHead, const BandEdge* best, int32_t t, int32_t limit) {
  const int64_t bestValue = best->value, bestStep = best->segment->distanceStep;
  int64_t end = limit;
  bool aheadOfBest = true;
  for (const BandEdge* edge = scanHead; edge != nullptr && edge->column <= t; edge = edge->nextOpening) {
    if ((edge->flags & (IntervalFinished | IntervalStarted)) != IntervalStarted) continue;
    if (edge == best) {
      aheadOfBest = false;
      continue;
    }
    const int64_t gain = int64_t(edge->segment->distanceStep) - bestStep;  // per column
    if (gain <= 0) continue;
    const int64_t behind = bestValue - edge->value;  // >= 0; > 0 for an interval ahead of best
    const int64_t columns = aheadOfBest ? (behind + gain - 1) / gain : behind / gain + 1;
    if (t + columns < end) end = t + columns;
  }
  const int64_t steps = end - 1 - t;
  for (const BandEdge* edge = scanHead; edge != nullptr && edge->column <= t; edge = edge->nextOpening) {
    if ((edge->flags & (IntervalFinished | IntervalStarted)) != IntervalStarted) continue;
    const int64_t last = int64_t(edge->value) + steps * edge->segment->distanceStep;
    if (last < INT32_MIN || last > INT32_MAX) return t + 1;
  }
  return int32_t(end);
}

inline void RecordRowState(SweepRowState* state, int32_t counter, const BandEdge* opening) {
  state->counter = counter;
  state->count = 0;
  for (const BandEdge* edge = opening; edge != nullptr; edge = edge->nextOpening, ++state->count)
    if (state->count < state->capacity) state->order[state->count] = edge;
}

}  // namespace sweep_detail

// Sweeps the edge list (sorted by first row, in the element's frame) over
// 4 * height sample rows and 8 * width sample columns. `directions` is needed
// only by users that want the winner (for curve pieces). Returns 1, or 0 when
// the user's row end step asked to stop.
template <class User>
int SweepBands(BandEdge* edges, int32_t width, int32_t height, SweepVariant variant,
               const DirectionTable* directions, User& user, const SweepRange& range = SweepRange{}) {
  using namespace sweep_detail;
  constexpr bool Winner = User::WantsWinner;
  const int32_t columnLimit = width * SampleColumns;
  const int32_t rowLimit = height * SampleRows;

  BandEdge* pending = edges;
  BandEdge* active = nullptr;   // every active edge, linked through next
  BandEdge* opening = nullptr;  // active edges without a first owner, sorted by x
  int32_t activeCount = 0;
  int32_t counter = 0;
  const SweepCursor* resume = range.resume != nullptr && range.resume->row >= 0 ? range.resume : nullptr;
  if (resume != nullptr) {
    pending = resume->pending;
    active = resume->active;
    opening = resume->opening;
    activeCount = resume->activeCount;
    counter = resume->counter;
  } else {
    for (BandEdge* edge = edges; edge != nullptr; edge = edge->next) {
      if (edge->firstOwner != nullptr) edge->firstOwner->startEdge = edge->firstOwner->endEdge = nullptr;
      if (edge->secondOwner != nullptr) edge->secondOwner->startEdge = edge->secondOwner->endEdge = nullptr;
    }
  }

  auto activate = [&](BandEdge* edge) {
    edge->column = edge->x >> GridFractionBits;
    edge->flags &= EdgeStaticFlags;
    if (edge->secondOwner != nullptr) edge->secondOwner->startEdge = edge;
    if (edge->firstOwner != nullptr) edge->firstOwner->endEdge = edge;
    edge->next = active;
    active = edge;
    ++activeCount;
    if (edge->firstOwner == nullptr) {
      edge->segment = edge->secondOwner;
      InsertOpening(&opening, edge);
    }
  };

  // Edges that begin above the first row enter it where they would have
  // been: they are stepped to the row before here and advanced once more by
  // the first row.
  const int32_t firstRow = resume != nullptr ? resume->row : range.firstRow > 0 ? range.firstRow : 0;
  while (resume == nullptr && pending != nullptr && pending->firstRow < firstRow) {
    BandEdge* edge = pending;
    pending = edge->next;
    if (edge->lastRow < firstRow) continue;
    StepEdgeRows(edge, int64_t(firstRow) - 1 - edge->firstRow);
    activate(edge);
  }
  if (range.stopCursor != nullptr) range.stopCursor->row = -1;

  for (int32_t row = firstRow; row < rowLimit; ++row) {
    // A resumed sweep finds its first row advanced and activated already.
    if (resume == nullptr || row != firstRow) {
      // Advance the active edges to this row.
      for (BandEdge* edge = active; edge != nullptr; edge = edge->next) {
        edge->x = WrapAdd(edge->x, edge->xStep);
        edge->column = edge->x >> GridFractionBits;
        if constexpr (Winner) {
          edge->distance = WrapAdd(edge->distance, edge->distanceStep);
          if (edge->directionStep != 0) edge->direction = WrapAdd(edge->direction, edge->directionStep);
        }
        edge->flags &= EdgeStaticFlags;
        if (edge->firstOwner == nullptr) edge->segment = edge->secondOwner;
      }
      ResortOpening(&opening);
      // Activate the edges that begin on this row.
      while (pending != nullptr && pending->firstRow <= row) {
        BandEdge* edge = pending;
        pending = edge->next;
        activate(edge);
      }
      // The Inner variant starts every row outside the element.
      if (variant == SweepVariant::Inner) counter = 1;
    }
    if (row == firstRow && range.firstState != nullptr) RecordRowState(range.firstState, counter, opening);
    if (row == range.stopRow) {
      if (range.stopCursor != nullptr) *range.stopCursor = SweepCursor{pending, active, opening, activeCount, counter, row};
      return 1;
    }

    // Walk the intervals of the row from left to right.
    const int32_t stepLimit = activeCount + 1;
    auto finish = [&](BandEdge* interval, const BandEdge* closing) {
      interval->flags |= IntervalFinished;
      if (closing != nullptr && (closing->flags & OutlineEdgeFlag) != 0) ++counter;
    };
    BandEdge* scanHead = opening;
    bool walking = false;  // t holds a position on this row
    int32_t t = 0;
    while (true) {
      while (scanHead != nullptr && (scanHead->flags & IntervalFinished) != 0) scanHead = scanHead->nextOpening;
      if (scanHead == nullptr) break;
      int32_t target = scanHead->column;
      if (walking && target < t) target = t;
      if constexpr (User::WantsGaps) {
        if (walking && counter == 0 && target > t) {
          int32_t begin = t < 0 ? 0 : t;
          int32_t end = target > columnLimit ? columnLimit : target;
          if (begin < end) user.Gap(row, begin, end);
        }
      }
      t = target;
      walking = true;

      while (true) {
        int32_t openCount = 0;
        int32_t nextEvent = INT32_MAX;
        const BandEdge* best = nullptr;       // the winning interval at t
        const BandEdge* discarded = nullptr;  // the winner before an outline edge reset it
        bool reset = false;                   // an outline edge reset the winner at t
        BandEdge* edge = scanHead;
        for (; edge != nullptr && edge->column <= t; edge = edge->nextOpening) {
          if ((edge->flags & IntervalFinished) != 0) continue;
          if ((edge->flags & IntervalStarted) == 0) {
            edge->flags |= IntervalStarted;
            if ((edge->flags & OutlineEdgeFlag) != 0 && counter != 0) {
              --counter;
              if (best != nullptr) discarded = best;
              best = nullptr;
              reset = true;
            }
            if (edge->segment == nullptr) {
              finish(edge, nullptr);
              continue;
            }
            if constexpr (Winner) EnterSegment(edge, edge->segment, edge, t);
          }
          // Follow the chain of pieces up to the one that contains t.
          int32_t steps = 0;
          bool open = true;
          while (true) {
            const BandEdge* end = edge->segment->endEdge;
            if (end == nullptr) {
              finish(edge, nullptr);
              open = false;
              break;
            }
            if (t < end->column) {
              if (end->column < nextEvent) nextEvent = end->column;
              break;
            }
            if (end->secondOwner == nullptr || (end->flags & NoSecondOwner) != 0) {
              finish(edge, end);
              open = false;
              break;
            }
            if (++steps > stepLimit) {
              finish(edge, nullptr);
              open = false;
              break;
            }
            edge->segment = end->secondOwner;
            if constexpr (Winner) EnterSegment(edge, edge->segment, end, t);
          }
          if (!open) continue;
          ++openCount;
          if constexpr (Winner) {
            if (best == nullptr || edge->value > best->value) best = edge;
          }
        }
        if (edge != nullptr && edge->column < nextEvent) nextEvent = edge->column;
        if (openCount == 0) break;

        int32_t next;
        if constexpr (Winner) {
          if (best == nullptr) best = discarded;
          if (t >= 0 && t < columnLimit && counter == 0 && best != nullptr) {
            // While one interval is open nothing changes before the next
            // event: its piece wins every column up to there. With more
            // open, the winner holds until another overtakes it (after a
            // reset the winner of t was chosen among fewer: one column).
            const int32_t limit = nextEvent < columnLimit ? nextEvent : columnLimit;
            next = t + 1;
            if (openCount == 1)
              next = limit;
            else if (!reset && limit > t + 1)
              next = WinnerRunEnd(scanHead, best, t, limit);
            const OffsetNode* piece = best->segment;
            WinnerRun run{piece, best->value, piece->distanceStep, nullptr, 0, 0, 0.0f, 0.0f};
            if ((piece->flags & CurveEdge) != 0 && directions != nullptr) {
              run.directions = directions;
              run.angle = piece->direction;
              run.angleStep = piece->directionStep;
            } else {
              run.dx = static_cast<float>(piece->nx);
              run.dy = static_cast<float>(piece->ny);
            }
            if constexpr (TakesWinnerRuns<User>) {
              user.StoreWinnerRun(row, t, next, run);
            } else {
              for (int32_t column = t; column < next; ++column) {
                float dx = run.dx, dy = run.dy;
                if (run.directions != nullptr) {
                  const DirectionPair& pair = DirectionFor(*run.directions, run.angle);
                  dx = pair.cos;
                  dy = pair.sin;
                }
                user.Store(row, column, piece, run.value, dx, dy);
                run.value = WrapAdd(run.value, run.valueStep);
                run.angle = WrapAdd(run.angle, run.angleStep);
              }
            }
          } else {
            // Nothing is handed over here (outside the buffer or on the far
            // side of an outline): jump to the next event.
            next = t < 0 && nextEvent > 0 ? 0 : nextEvent;
          }
          int64_t columns = int64_t(next) - t;
          for (BandEdge* open = scanHead; open != nullptr && open->column <= t; open = open->nextOpening) {
            if ((open->flags & (IntervalFinished | IntervalStarted)) != IntervalStarted) continue;
            OffsetNode* piece = open->segment;
            open->value = WrapAdd(open->value, columns * piece->distanceStep);
            if ((piece->flags & CurveEdge) != 0) piece->direction = WrapAdd(piece->direction, columns * piece->directionStep);
          }
        } else {
          next = nextEvent;
          if (counter == 0) {
            int32_t begin = t < 0 ? 0 : t;
            int32_t end = next > columnLimit ? columnLimit : next;
            if (begin < end) user.StoreRun(row, begin, end);
          }
        }
        t = next;
      }
    }

    // Retire the edges that end on this row.
    for (BandEdge** link = &active; *link != nullptr;) {
      BandEdge* edge = *link;
      if (edge->lastRow > row) {
        link = &edge->next;
        continue;
      }
      *link = edge->next;
      --activeCount;
      if (edge->secondOwner != nullptr && edge->secondOwner->startEdge == edge) edge->secondOwner->startEdge = nullptr;
      if (edge->firstOwner != nullptr && edge->firstOwner->endEdge == edge) edge->firstOwner->endEdge = nullptr;
      if (edge->firstOwner == nullptr) {
        BandEdge** openLink = &opening;
        while (*openLink != nullptr && *openLink != edge) openLink = &(*openLink)->nextOpening;
        if (*openLink != nullptr) *openLink = edge->nextOpening;
      }
    }
    // Let the user finish the row.
    if (!user.RowEnd(row)) return 0;
  }
  return 1;
}

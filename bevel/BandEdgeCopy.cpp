#include "bevel/BandEdgeCopy.h"

#include <cstring>
#include <initializer_list>

#include "core/WorkMemory.h"

namespace {
// Open addressing from original piece to its copy's number + 1 (0 = empty).
struct PieceMap {
  const OffsetNode** keys;
  uint32_t* values;
  uint32_t mask;

  uint32_t& Slot(const OffsetNode* piece) {
    uint64_t h = uint64_t(reinterpret_cast<uintptr_t>(piece)) * 0x9E3779B97F4A7C15ull;
    for (uint32_t i = uint32_t(h >> 32) & mask;; i = (i + 1) & mask)
      if (keys[i] == piece || keys[i] == nullptr) {
        keys[i] = piece;
        return values[i];
      }
  }
};
}  // namespace

int CopyBandEdges(const BandEdge* head, BandEdgeCopy* copy, int32_t fromRow) {
  *copy = BandEdgeCopy{nullptr, nullptr, nullptr, nullptr, 0, 0};
  uint32_t count = 0;
  for (const BandEdge* edge = head; edge != nullptr; edge = edge->next)
    if (edge->lastRow >= fromRow) ++count;
  if (count == 0) return 1;
  // Every edge names at most two pieces; the map stays under half full.
  uint32_t slots = 4;
  while (slots < 4 * uint64_t(count) && slots < 0x40000000u) slots <<= 1;
  if (uint64_t(count) * 2 * sizeof(OffsetNode) > UINT32_MAX || uint64_t(slots) * sizeof(void*) > UINT32_MAX) {
    SetResult(MemFullErr);
    return 0;
  }
  PieceMap map{static_cast<const OffsetNode**>(NewClearedBlock(slots * uint32_t(sizeof(void*)))), nullptr,
               slots - 1};
  if (map.keys != nullptr) map.values = static_cast<uint32_t*>(NewClearedBlock(slots * uint32_t(sizeof(uint32_t))));
  // Number the pieces first, so that their copies take only the room they need.
  uint32_t pieces = 0;
  if (map.values != nullptr)
    for (const BandEdge* edge = head; edge != nullptr; edge = edge->next)
      for (const OffsetNode* piece : {edge->firstOwner, edge->secondOwner})
        if (piece != nullptr && edge->lastRow >= fromRow) {
          uint32_t& number = map.Slot(piece);
          if (number == 0) number = ++pieces;
        }
  if (map.values != nullptr) copy->edges = static_cast<BandEdge*>(NewBlock(count * uint32_t(sizeof(BandEdge))));
  if (copy->edges != nullptr)
    copy->originals = static_cast<const BandEdge**>(NewBlock(count * uint32_t(sizeof(const BandEdge*))));
  if (copy->originals != nullptr) copy->pieces = static_cast<OffsetNode*>(NewBlock(pieces * uint32_t(sizeof(OffsetNode)) + 1));
  if (copy->pieces != nullptr) {
    copy->pieceCount = pieces;
    for (uint32_t i = 0; i <= map.mask; ++i)
      if (map.keys[i] != nullptr) {
        OffsetNode& node = copy->pieces[map.values[i] - 1];
        node = *map.keys[i];
        node.startEdge = node.endEdge = nullptr;
      }
    auto pieceCopy = [&](const OffsetNode* piece) -> OffsetNode* {
      return piece != nullptr ? &copy->pieces[map.Slot(piece) - 1] : nullptr;
    };
    BandEdge* previous = nullptr;
    for (const BandEdge* edge = head; edge != nullptr; edge = edge->next) {
      if (edge->lastRow < fromRow) continue;
      copy->originals[copy->edgeCount] = edge;
      BandEdge& e = copy->edges[copy->edgeCount++];
      e = *edge;
      e.firstOwner = pieceCopy(edge->firstOwner);
      e.secondOwner = pieceCopy(edge->secondOwner);
      e.segment = nullptr;
      e.nextOpening = nullptr;
      e.next = nullptr;
      if (previous != nullptr) previous->next = &e;
      previous = &e;
    }
    copy->head = copy->edges;
  }
  FreeBlockOf(map.values);
  FreeBlockOf(map.keys);
  if (copy->head == nullptr) {
    FreeBandEdgeCopy(copy);
    return 0;
  }
  return 1;
}

void FreeBandEdgeCopy(BandEdgeCopy* copy) {
  FreeBlockOf(copy->pieces);
  FreeBlockOf(copy->originals);
  FreeBlockOf(copy->edges);
  copy->head = nullptr;
  copy->edgeCount = copy->pieceCount = 0;
}

// Stable sort of a singly linked edge list by `firstRow`, for any record with
// `next` and `firstRow` fields. Bottom-up merge sort over a small array of
// runs: O(n log n), no recursion, no allocation. Among equal first rows the
// earlier record in the list stays in front, so the order equals inserting the
// records one after another behind their equals.
#pragma once

namespace sort_by_first_row_detail {
template <class Edge>
Edge* Merge(Edge* a, Edge* b) {
  Edge* head = nullptr;
  Edge** tail = &head;
  while (a != nullptr && b != nullptr) {
    if (b->firstRow < a->firstRow) {
      *tail = b;
      b = b->next;
    } else {
      *tail = a;
      a = a->next;
    }
    tail = &(*tail)->next;
  }
  *tail = a != nullptr ? a : b;
  return head;
}
}  // namespace sort_by_first_row_detail

// Returns the sorted list; the records are relinked in place.
template <class Edge>
Edge* SortByFirstRow(Edge* edge) {
  using sort_by_first_row_detail::Merge;
  constexpr int MaxLevels = 40;
  Edge* runs[MaxLevels] = {};
  while (edge != nullptr) {
    Edge* next = edge->next;
    edge->next = nullptr;
    Edge* carry = edge;
    int level = 0;
    // runs[level] holds records collected earlier than carry, so it goes first.
    for (; level < MaxLevels - 1 && runs[level] != nullptr; ++level) {
      carry = Merge(runs[level], carry);
      runs[level] = nullptr;
    }
    runs[level] = level == MaxLevels - 1 && runs[level] != nullptr ? Merge(runs[level], carry) : carry;
    edge = next;
  }
  Edge* sorted = nullptr;
  for (int level = 0; level < MaxLevels; ++level)
    if (runs[level] != nullptr) sorted = Merge(runs[level], sorted);
  return sorted;
}

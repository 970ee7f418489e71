#include "geometry/CrossingGroup.h"

#include "core/WorkMemory.h"
#include "geometry/Contour.h"

namespace {
void FreeMemberEntries(CrossingGroup* group) {
  GroupMember* entry = group->first.next;
  while (entry != nullptr) {
    GroupMember* next = entry->next;
    FreeBlockOf(entry);
    entry = next;
  }
}
}  // namespace

CrossingGroup* NewGroup(CrossingGroupList* list, PathVertex* vertex) {
  auto* group = static_cast<CrossingGroup*>(NewBlock(sizeof(CrossingGroup)));
  if (group == nullptr) return nullptr;
  group->next = nullptr;
  group->prev = list->last;
  group->first.next = nullptr;
  group->first.vertex = vertex;
  group->last = &group->first;
  vertex->group = group;
  if (list->last != nullptr)
    list->last->next = group;
  else
    list->first = group;
  list->last = group;
  return group;
}

int AddGroupMember(CrossingGroup* group, PathVertex* vertex) {
  if (vertex->group == group) return 1;
  auto* entry = static_cast<GroupMember*>(NewBlock(sizeof(GroupMember)));
  if (entry == nullptr) return 0;
  entry->next = nullptr;
  entry->vertex = vertex;
  group->last->next = entry;
  group->last = entry;
  vertex->group = group;
  return 1;
}

void RemoveGroupMember(PathVertex* vertex) {
  CrossingGroup* group = vertex->group;
  vertex->group = nullptr;
  if (group == nullptr) return;
  if (group->first.vertex == vertex) {
    GroupMember* second = group->first.next;
    if (second == nullptr) return;  // a lone member stays listed; its group is about to go
    group->first = *second;
    if (group->last == second) group->last = &group->first;
    FreeBlockOf(second);
    return;
  }
  GroupMember* before = &group->first;
  while (before->next != nullptr && before->next->vertex != vertex) before = before->next;
  GroupMember* entry = before->next;
  if (entry == nullptr) return;
  before->next = entry->next;
  if (group->last == entry) group->last = before;
  FreeBlockOf(entry);
}

int MergeGroups(CrossingGroupList* list, CrossingGroup* into, CrossingGroup* from) {
  if (into == from) return 1;
  while (from->first.next != nullptr) {
    PathVertex* v = from->first.next->vertex;
    RemoveGroupMember(v);
    if (!AddGroupMember(into, v)) return 0;
  }
  PathVertex* last = from->first.vertex;
  last->group = nullptr;
  if (!AddGroupMember(into, last)) {
    last->group = from;
    return 0;
  }
  DeleteGroup(list, from);
  return 1;
}

void DeleteGroup(CrossingGroupList* list, CrossingGroup* group) {
  if (group->prev != nullptr)
    group->prev->next = group->next;
  else
    list->first = group->next;
  if (group->next != nullptr)
    group->next->prev = group->prev;
  else
    list->last = group->prev;
  FreeMemberEntries(group);
  FreeBlockOf(group);
}

void FreeGroupList(CrossingGroupList* list) {
  CrossingGroup* group = list->first;
  while (group != nullptr) {
    CrossingGroup* next = group->next;
    FreeMemberEntries(group);
    FreeBlockOf(group);
    group = next;
  }
  list->first = nullptr;
  list->last = nullptr;
}

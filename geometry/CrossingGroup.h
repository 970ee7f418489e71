// Crossing groups: the vertices that stand at one contact point of the
// contours. Every member's `group` field points to its group, and a vertex is
// listed in exactly the group its field names. Groups and extra member entries
// are single work-memory blocks.
#pragma once
#include <cstdint>

struct PathVertex;

struct GroupMember {
  GroupMember* next;   // null at the end of the member list
  PathVertex* vertex;
};

struct CrossingGroup {
  CrossingGroup* next;  // the next group of the list
  CrossingGroup* prev;  // the previous group, for unlinking in constant time
  GroupMember first;    // the first member entry, held inline
  GroupMember* last;    // the last member entry, for appending
};

// The groups of one crossing pass, in the order they were made.
struct CrossingGroupList {
  CrossingGroup* first;
  CrossingGroup* last;
};

// Appends a new group whose only member is `vertex` to the list. Returns the
// group, or null with MemFullErr set.
CrossingGroup* NewGroup(CrossingGroupList* list, PathVertex* vertex);

// Enters `vertex` at the end of the group's member list and points it at the
// group; nothing happens when it is a member already. Returns 1, or 0 with
// MemFullErr set.
int AddGroupMember(CrossingGroup* group, PathVertex* vertex);

// Takes `vertex` out of the member list of its group (which keeps at least one
// other member) and clears its group field.
void RemoveGroupMember(PathVertex* vertex);

// Moves every member of `from` into `into` and deletes `from`. Returns 1, or
// 0 with MemFullErr set (members not yet moved stay in `from`).
int MergeGroups(CrossingGroupList* list, CrossingGroup* into, CrossingGroup* from);

// Unlinks the group from the list and frees it with its member entries. The
// members' group fields are left alone.
void DeleteGroup(CrossingGroupList* list, CrossingGroup* group);

// Frees every group with its member entries; the list becomes empty. The
// member vertices are not touched (they may already be released).
void FreeGroupList(CrossingGroupList* list);

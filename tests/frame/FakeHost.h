// A minimal in-process host for calling PluginMain directly: handle procs
// over malloc, the three path properties, a suite broker with every suite the
// module acquires (the Buffer suite over malloc), fault injection by
// allocation number, and records of what the module did. Message boxes reach
// it through the host message hook that this test program exports.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "interface/PluginInterface.h"

struct SeenMessage {
  std::string text;
  bool hasCaption = false;
  std::string caption;
  uint32_t style = 0;
};

struct FakeHost {
  // What the module receives.
  FilterRecord record{};
  HandleProcs handleProcs{};
  PropertyProcs propertyProcs{};
  SPBasicSuite broker{};
  ReadImageDocumentDesc document{};
  ReadChannelDesc mergedChannels[3]{};
  ReadChannelDesc targetChannels[3]{};
  PlatformData platform{};
  intptr_t dataSlot = 0;
  int16_t result = 0;

  // Answers.
  int32_t pathCount = 1;
  OSErr pathCountError = 0;
  intptr_t targetIndex = 0;
  OSErr targetIndexError = 0;
  std::vector<uint8_t> pathData;  // contents of every path index
  OSErr pathError = 0;
  bool pathHandleOnError = false;  // hand out a handle even with pathError
  bool aborts = false;
  std::vector<std::string> refusedSuites;
  bool nullSuiteAnswer = false;  // refused suites answer success with a null pointer instead

  // Fault injection: allocations of handles and Buffer suite blocks are
  // numbered together from 1; number `failAt` fails (0 = none).
  int64_t failAt = 0;
  int64_t allocations = 0;
  bool failGlobalsLock = false;
  bool failAllAfter = false;  // with failAt: every later allocation fails too
  int32_t dialogAnswer = 1;   // what the dialog hook answers (1 OK, 2 Cancel)
  // When set, the dialog hook calls it (inside the start call, with the run's
  // elements rendered) and answers what it returns: a test plays the dialog.
  std::function<int32_t()> dialog;

  // Records.
  std::map<Handle, size_t> liveHandles;
  std::map<Handle, int32_t> handleLocks;
  std::map<void*, size_t> liveBuffers;
  int32_t misuse = 0;  // unknown handles or blocks, unbalanced unlocks
  int32_t pathQueries = 0;
  int32_t propertyQueries = 0;
  int32_t abortQueries = 0;
  int32_t pathLocksMovingHigh = 0;
  std::set<Handle> pathHandles;  // handles handed out for 'path'
  std::map<std::string, int32_t> acquired;  // per suite name, acquisitions minus releases
  int32_t acquisitions = 0;
  int32_t releases = 0;
  std::vector<SeenMessage> messages;
  std::vector<std::string> alerts;
  int32_t dialogRequests = 0;

  FakeHost();
  ~FakeHost();
  FakeHost(const FakeHost&) = delete;
  FakeHost& operator=(const FakeHost&) = delete;

  // Calls PluginMain with this host current; returns the result cell.
  int16_t Call(int16_t selector);
  // A handle made by this host outside a module call.
  Handle MakeHandle(int32_t size);
  // The parameter handle (read by value: the record is packed to 4 bytes).
  Handle Parameters() const { return record.parameters; }
  // The run globals kept in the data slot (null before the first call).
  struct RunGlobals* Globals() const;
  struct StyleRecord* Style() const;
  // Live handles other than the parameter block and the globals handle.
  size_t StrayHandles() const;
  // 1 when every suite acquired has been released.
  bool SuitesBalanced() const;
};

// Appends a closed subpath of corner knots (control points on the anchors)
// through the given pixel points of a width × height document.
void AppendPolygonPath(std::vector<uint8_t>* path, const std::vector<std::pair<double, double>>& points, int32_t width,
                       int32_t height);

// The registry file the tests write (a scratch file, never the user's).
const std::string& TestRegistryPath();

// Every suite the module acquires, in order.
extern const char* const ModuleSuiteNames[13];

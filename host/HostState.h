// The host's internal state shared by its source files: the session record
// behind the opaque FilterHost, the objects it hands to the module (handles,
// buffers, ports, descriptors) and the per-operation record set.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "host/FilterHost.h"
#include "host/ModuleLoader.h"

// A handle is the address of `data`; the entry is found back from it, after
// checking that it is one of the live entries.
struct HandleEntry {
  char* data = nullptr;  // must stay the first member: Handle == &entry->data
  int32_t size = 0;      // bytes
  int32_t locks = 0;
};

struct BufferEntry {
  char* data = nullptr;
  int32_t size = 0;
  int32_t locks = 0;
};

// A channel port: read ports and write ports are distinct objects over one channel.
struct PortEntry {
  HostChannel* channel = nullptr;
  bool writePort = false;
  bool ownsChannel = false;  // made by the suite's New: the channel belongs to the port
};

struct WriteDescriptorState {
  DescriptorStore store;
};

struct ReadDescriptorState {
  DescriptorStore store;
  size_t next = 0;                         // index of the item GetKey returns next
  const DescriptorItem* current = nullptr; // item of the last GetKey
  std::vector<DescriptorKeyID> expected;   // the key list given at open
};

// Everything handed to the module for one operation; rebuilt at the start of
// each operation from the document and the options, so that the pointers the
// module keeps within a run stay valid for its selectors.
struct RecordSet {
  std::unique_ptr<FilterRecord> record;        // full size
  std::unique_ptr<uint8_t[]> shortRecordBytes; // the record as passed when options.shortRecord
  FilterRecord* passed = nullptr;              // what the module receives
  AboutRecord about{};
  PlatformData platform{};
  HandleProcs handleProcs{};
  PropertyProcs propertyProcs{};
  BufferProcs bufferProcs{};
  ChannelPortProcs channelPortProcs{};
  WriteDescriptorProcs writeProcs{};
  ReadDescriptorProcs readProcs{};
  PIDescriptorParameters descriptorParameters{};
  ReadImageDocumentDesc documentInfo{};
  std::vector<std::unique_ptr<ReadChannelDesc>> channelDescs;
  std::vector<std::unique_ptr<PortEntry>> ports;  // the document's ports
};

struct FilterHost {
  LoadedModule module;
  HostDocument document;
  HostOptions options;

  // Kept between operations, as a host keeps them for a loaded module.
  intptr_t dataSlot = 0;
  Handle parameters = nullptr;
  DescriptorStore lastRecorded;
  bool hasRecorded = false;

  // Live objects served to the module.
  std::set<HandleEntry*> handles;
  std::set<BufferEntry*> buffers;
  std::map<void*, uint32_t> suiteBuffers;  // block -> size in bytes
  std::map<void*, size_t> basicBlocks;
  std::set<PortEntry*> ports;  // every live port, the document's and the suite-made ones
  std::set<WriteDescriptorState*> writeDescriptors;
  std::set<ReadDescriptorState*> readDescriptors;
  int64_t liveSuiteBufferBytes = 0;

  // The operation in progress.
  RunReport report;
  RecordSet records;
  int16_t currentSelector = -1;
  std::map<std::string, int32_t> suitesHeld;  // "name/version" -> acquisitions not yet released
  intptr_t windowHandle = 0;                  // hidden owner window (Windows, options.realWindow)
};

// The session whose module is being called; the procedures handed to the
// module find their host here. Null between calls.
extern FilterHost* gActiveHost;

// ---- Internal services (one source file each) ---------------------------------------------

// Memory: fault injection and the live-object tables.
bool AllocationAllowed(FilterHost* host, AllocationKind kind);
Handle HostNewHandle(FilterHost* host, int32_t size, bool counted);
void HostDisposeHandle(FilterHost* host, Handle handle);
HandleEntry* FindHandle(FilterHost* host, Handle handle);
void NoteMisuse(FilterHost* host, const std::string& note);
void FillMemoryProcs(RecordSet& records);
extern const PSBufferSuite1 kHostBufferSuite;
extern const SPBasicSuite kHostBasicSuite;
void ReleaseAllMemory(FilterHost* host);

// Suites: the broker's acquire and release.
SPErr PI_CALL HostAcquireSuite(const char* name, int32_t version, const void** suite);
SPErr PI_CALL HostReleaseSuite(const char* name, int32_t version);

// Properties, display, colour, abort, progress.
void FillServiceProcs(FilterHost* host, RecordSet& records);

// Descriptors.
void FillDescriptorProcs(RecordSet& records);
void ReleaseAllDescriptors(FilterHost* host);

// Channel ports and the document description.
void BuildDocumentInfo(FilterHost* host, RecordSet& records);
extern const PSChannelPortsSuite1 kHostChannelPortsSuite;
void FillChannelPortProcs(RecordSet& records);
void ReleaseSuitePorts(FilterHost* host);

// Paints the checked pixel map's `area` into the device context (Windows; no-op elsewhere).
void PaintPixelMap(const PSPixelMap* map, const VRect& area, int32_t dstRow, int32_t dstCol, void* context);

// Windows owner window (no-op elsewhere).
intptr_t CreateOwnerWindow();
void DestroyOwnerWindow(intptr_t window);

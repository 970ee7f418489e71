// Sessions and run operations: building the filter record for an operation,
// calling the module's selectors in the order a host does, and taking the
// report at the end.
#include <cstring>
#include <filesystem>

#include <utility>

#include "host/HostState.h"

namespace {

constexpr OSType HostSignature = FourCharCode("BFho");
constexpr int32_t HostMaxSpace = 64 * 1024 * 1024;  // bytes offered at prepare
constexpr int32_t MaxContinueCalls = 4096;          // a module asking for more is stuck
constexpr int32_t MaxRecordExtent = 30000;          // pixels; Point fields are 16-bit
constexpr Fixed Resolution72 = 72 << 16;            // pixels per inch, 16.16

enum class Operation { Menu, Repeat, Single };

int16_t Clamp16(int32_t v) { return int16_t(v > MaxRecordExtent ? MaxRecordExtent : v < 0 ? 0 : v); }

bool RectEmpty(const Rect& r) { return r.top >= r.bottom || r.left >= r.right; }

// Bounds of the selection's non-zero pixels, or the whole document.
Rect FilterRectOf(const HostDocument& document) {
  Rect whole{0, 0, Clamp16(document.height), Clamp16(document.width)};
  if (!document.hasSelection) return whole;
  const HostChannel& s = document.selection;
  int32_t top = INT32_MAX, left = INT32_MAX, bottom = INT32_MIN, right = INT32_MIN;
  for (int32_t y = s.bounds.top; y < s.bounds.bottom; ++y)
    for (int32_t x = s.bounds.left; x < s.bounds.right; ++x)
      if (ChannelPixel(s, x, y)) {
        if (y < top) top = y;
        if (x < left) left = x;
        if (y + 1 > bottom) bottom = y + 1;
        if (x + 1 > right) right = x + 1;
      }
  if (top > bottom) return Rect{0, 0, 0, 0};
  return Rect{Clamp16(top), Clamp16(left), Clamp16(bottom), Clamp16(right)};
}

void ForgetRecordPorts(FilterHost* host) {
  for (auto& port : host->records.ports) host->ports.erase(port.get());
  host->records = RecordSet{};
}

void BuildRecords(FilterHost* host) {
  ForgetRecordPorts(host);
  RecordSet& records = host->records;
  const HostOptions& o = host->options;
  const HostDocument& document = host->document;

  records.record = std::make_unique<FilterRecord>();
  FilterRecord& r = *records.record;
  std::memset(&r, 0, sizeof r);

  FillMemoryProcs(records);
  records.handleProcs.handleProcsVersion = o.handleProcsVersion;
  records.handleProcs.numHandleProcs = o.handleProcsCount;
  FillServiceProcs(host, records);
  FillDescriptorProcs(records);
  FillChannelPortProcs(records);
  BuildDocumentInfo(host, records);

  records.platform.hwnd = host->windowHandle;
  records.about.platformData = &records.platform;
  records.about.sSPBasic = o.omitBasicSuite ? nullptr : const_cast<SPBasicSuite*>(&kHostBasicSuite);

  records.descriptorParameters.descriptorParametersVersion = 0;
  records.descriptorParameters.playInfo = o.playInfo;
  records.descriptorParameters.recordInfo = o.recordInfo;
  records.descriptorParameters.writeDescriptorProcs = &records.writeProcs;
  records.descriptorParameters.readDescriptorProcs = &records.readProcs;

  const int32_t planes = int32_t(document.colorChannels.size());
  r.parameters = host->parameters;
  r.imageSize = Point{Clamp16(document.height), Clamp16(document.width)};
  r.planes = int16_t(planes + (document.hasTransparency ? 1 : 0));
  r.filterRect = FilterRectOf(document);
  r.background = PSRGBColor{0xFFFF, 0xFFFF, 0xFFFF};
  r.foreground = PSRGBColor{0, 0, 0};
  r.maxSpace = HostMaxSpace;
  r.isFloating = document.layer == LayerKind::Floating;
  r.haveMask = document.hasSelection;
  r.backColor[0] = r.backColor[1] = r.backColor[2] = 255;
  r.hostSig = HostSignature;
  r.imageMode = document.imageMode;
  r.imageHRes = Resolution72;
  r.imageVRes = Resolution72;
  r.wholeSize = r.imageSize;
  r.platformData = &records.platform;
  r.bufferProcs = o.omitBufferProcs ? nullptr : &records.bufferProcs;
  r.handleProcs = o.omitHandleProcs ? nullptr : &records.handleProcs;
  r.filterCase = DocumentFilterCase(document);
  r.inLayerPlanes = r.outLayerPlanes = r.absLayerPlanes = int16_t(document.layer == LayerKind::Flat ? 0 : planes);
  r.inNonLayerPlanes = r.outNonLayerPlanes = r.absNonLayerPlanes =
      int16_t(document.layer == LayerKind::Flat ? planes : 0);
  r.inTransparencyMask = r.outTransparencyMask = r.absTransparencyMask = document.hasTransparency ? 1 : 0;
  r.inLayerMasks = r.outLayerMasks = r.absLayerMasks = document.hasLayerMask ? 1 : 0;
  r.propertyProcs = o.omitPropertyProcs ? nullptr : &records.propertyProcs;
  r.descriptorParameters = o.omitDescriptorParameters ? nullptr : &records.descriptorParameters;
  r.channelPortProcs = o.omitChannelPortProcs ? nullptr : &records.channelPortProcs;
  r.documentInfo = o.omitDocumentInfo ? nullptr : &records.documentInfo;
  r.sSPBasic = o.omitBasicSuite ? nullptr : const_cast<SPBasicSuite*>(&kHostBasicSuite);
  r.depth = 8;

  if (o.shortRecord) {
    records.shortRecordBytes = std::make_unique<uint8_t[]>(FilterRecordKnownSize);
    std::memcpy(records.shortRecordBytes.get(), &r, FilterRecordKnownSize);
    records.passed = reinterpret_cast<FilterRecord*>(records.shortRecordBytes.get());
  } else {
    records.passed = &r;
  }
}

// Offers a descriptor to the module: a host handle holding the store.
void OfferDescriptor(FilterHost* host, const DescriptorStore* store, int16_t playInfo) {
  PIDescriptorParameters& block = host->records.descriptorParameters;
  block.playInfo = playInfo;
  block.descriptor = nullptr;
  if (!store) return;
  const std::vector<uint8_t> bytes = EncodeDescriptor(*store);
  Handle handle = HostNewHandle(host, int32_t(bytes.size()), false);
  if (!handle) return;
  std::memcpy(*handle, bytes.data(), bytes.size());
  block.descriptor = handle;
}

void BeginOperation(FilterHost* host, Operation operation) {
  host->report = RunReport{};
  host->suitesHeld.clear();
  BuildRecords(host);
  const HostOptions& o = host->options;
  if (operation == Operation::Repeat) {
    const DescriptorStore* store = nullptr;
    if (!o.omitDescriptorPlayback) store = host->hasRecorded ? &host->lastRecorded : o.hasPlayback ? &o.playback : nullptr;
    OfferDescriptor(host, store, PlayDontDisplay);
  } else {
    OfferDescriptor(host, o.hasPlayback ? &o.playback : nullptr, o.playInfo);
  }
}

int16_t CallModule(FilterHost* host, int16_t selector) {
  RecordSet& records = host->records;
  int16_t result = 0;
  host->currentSelector = selector;
  void* record = selector == FilterSelectorAbout ? static_cast<void*>(&records.about) : records.passed;
  gActiveHost = host;
  host->module.entry(selector, record, &host->dataSlot, &result);
  gActiveHost = nullptr;
  host->currentSelector = -1;
  if (selector != FilterSelectorAbout) host->parameters = records.passed->parameters;
  host->report.calls.push_back(SelectorCall{selector, result});
  host->report.finalResult = result;
  for (auto& [suite, held] : host->suitesHeld) {
    if (held != 0) {
      host->report.suitesBalanced = false;
      NoteMisuse(host, "suite still held after the call: " + suite);
    }
  }
  return result;
}

bool ContinueAsked(const FilterHost* host) {
  const FilterRecord* r = host->records.passed;
  return !RectEmpty(r->inRect) || !RectEmpty(r->outRect) || !RectEmpty(r->maskRect);
}

void EndOperation(FilterHost* host) {
  RunReport& report = host->report;
  PIDescriptorParameters& block = host->records.descriptorParameters;
  if (report.descriptorWritten) {
    host->lastRecorded = report.descriptor;
    host->hasRecorded = true;
  }
  // The block's descriptor belongs to the host once the module returns.
  if (block.descriptor) {
    HostDisposeHandle(host, block.descriptor);
    block.descriptor = nullptr;
  }
  for (auto& [suite, held] : host->suitesHeld)
    if (held != 0) report.suitesBalanced = false;
  for (const SuiteBalance& s : report.suites)
    if (s.acquired != s.released) report.suitesBalanced = false;

  report.liveHandles = int64_t(host->handles.size());
  report.heldHandles = 0;
  if (FindHandle(host, host->parameters)) ++report.heldHandles;
  Handle slotHandle = reinterpret_cast<Handle>(host->dataSlot);
  if (slotHandle != host->parameters && FindHandle(host, slotHandle)) ++report.heldHandles;
  report.strayHandles = report.liveHandles - report.heldHandles;
  report.liveBuffers = int64_t(host->buffers.size());
  report.liveSuiteBuffers = int64_t(host->suiteBuffers.size());
  report.liveSuiteBufferBytes = host->liveSuiteBufferBytes;
  report.liveBasicBlocks = int64_t(host->basicBlocks.size());
  report.livePorts = 0;
  for (const PortEntry* port : host->ports)
    if (port->ownsChannel) ++report.livePorts;
  report.documentChecksum = DocumentChecksum(host->document);
}

RunReport RunSequence(FilterHost* host, const std::vector<int16_t>& selectors, bool stopOnError, bool continueLoop) {
  for (int16_t selector : selectors) {
    if (CallModule(host, selector) != HostNoErr && stopOnError) break;
    if (continueLoop && selector == FilterSelectorStart) {
      int32_t calls = 0;
      bool failed = false;
      while (ContinueAsked(host)) {
        if (++calls > MaxContinueCalls) {
          NoteMisuse(host, "continue asked without end");
          break;
        }
        if (CallModule(host, FilterSelectorContinue) != HostNoErr) {
          failed = true;
          break;
        }
      }
      if (failed) break;
    }
  }
  EndOperation(host);
  return host->report;
}

}  // namespace

FilterHost* OpenFilterHost(const char* modulePath, std::string* error) {
  auto* host = new FilterHost;
  if (!LoadFilterModule(modulePath, &host->module, error)) {
    delete host;
    return nullptr;
  }
  return host;
}

FilterHost* OpenFilterHostWithEntry(PluginMainProc entry, const char* name) {
  if (!entry) return nullptr;
  auto* host = new FilterHost;
  host->module.entry = entry;
  host->module.path = name ? name : "";
  return host;
}

void CloseFilterHost(FilterHost* host) {
  if (!host) return;
  UnloadFilterModule(&host->module);
  ForgetRecordPorts(host);
  ReleaseSuitePorts(host);
  ReleaseAllDescriptors(host);
  ReleaseAllMemory(host);
  if (host->windowHandle) DestroyOwnerWindow(host->windowHandle);
  delete host;
}

// Makes every plane hold exactly the pixels its bounds cover, so that the
// ports never index past a plane whatever a caller filled in.
static void NormalizeChannel(HostChannel& channel) {
  VRect& b = channel.bounds;
  if (b.bottom < b.top) b.bottom = b.top;
  if (b.right < b.left) b.right = b.left;
  channel.pixels.resize(size_t(int64_t(b.bottom) - b.top) * size_t(int64_t(b.right) - b.left), 0);
}

static void NormalizeDocument(HostDocument& d) {
  for (HostChannel& c : d.colorChannels) NormalizeChannel(c);
  for (HostChannel& c : d.alphaChannels) NormalizeChannel(c);
  NormalizeChannel(d.transparency);
  NormalizeChannel(d.layerMask);
  NormalizeChannel(d.selection);
}

void SetHostDocument(FilterHost* host, const HostDocument& document) {
  ForgetRecordPorts(host);
  host->document = document;
  NormalizeDocument(host->document);
}

void SetHostDocument(FilterHost* host, HostDocument&& document) {
  ForgetRecordPorts(host);
  host->document = std::move(document);
  NormalizeDocument(host->document);
}

const HostDocument& HostDocumentOf(const FilterHost* host) { return host->document; }

HostOptions& HostOptionsOf(FilterHost* host) { return host->options; }

static void PrepareWindow(FilterHost* host) {
  if (host->options.realWindow && !host->windowHandle) host->windowHandle = CreateOwnerWindow();
}

RunReport RunMenu(FilterHost* host) {
  PrepareWindow(host);
  BeginOperation(host, Operation::Menu);
  return RunSequence(host,
                     {FilterSelectorParameters, FilterSelectorPrepare, FilterSelectorStart, FilterSelectorFinish},
                     true, true);
}

RunReport RunRepeat(FilterHost* host) {
  PrepareWindow(host);
  BeginOperation(host, Operation::Repeat);
  return RunSequence(host, {FilterSelectorPrepare, FilterSelectorStart, FilterSelectorFinish}, true, true);
}

RunReport RunAbout(FilterHost* host) { return CallSelector(host, FilterSelectorAbout); }

RunReport CallSelector(FilterHost* host, int16_t selector) { return CallSelectors(host, {selector}, false); }

RunReport CallSelectors(FilterHost* host, const std::vector<int16_t>& selectors, bool stopOnError) {
  PrepareWindow(host);
  BeginOperation(host, Operation::Single);
  return RunSequence(host, selectors, stopOnError, false);
}

bool HostHasParameters(const FilterHost* host) { return host->parameters != nullptr; }

intptr_t HostDataSlot(const FilterHost* host) { return host->dataSlot; }

void ForgetParameters(FilterHost* host) {
  HostDisposeHandle(host, host->parameters);
  host->parameters = nullptr;
}

const DescriptorStore& LastRecordedDescriptor(const FilterHost* host) { return host->lastRecorded; }

std::string StageModuleCopy(const char* modulePath, const char* folder, std::string* error) {
  namespace fs = std::filesystem;
  std::error_code code;
  fs::create_directories(folder, code);
  if (code) {
    if (error) *error = "cannot create " + std::string(folder) + ": " + code.message();
    return std::string();
  }
  const fs::path target = fs::path(folder) / fs::path(modulePath).filename();
  // Removed first: overwrite_existing is not honoured by every runtime (mingw's fails with "File exists").
  fs::remove(target, code);
  fs::copy_file(modulePath, target, code);
  if (code) {
    if (error) *error = "cannot copy " + std::string(modulePath) + ": " + code.message();
    return std::string();
  }
  return target.string();
}

bool RunFaultSweep(const char* modulePath, const HostDocument& document, const HostOptions& options, bool repeatRun,
                   std::vector<FaultSweepStep>* steps, std::string* error,
                   const std::function<void()>& beforeEachSession) {
  steps->clear();
  auto runOnce = [&](int64_t failAt, RunReport* report) {
    if (beforeEachSession) beforeEachSession();
    FilterHost* host = OpenFilterHost(modulePath, error);
    if (!host) return false;
    host->options = options;
    host->options.failAllocationAt = 0;
    SetHostDocument(host, document);
    if (repeatRun) {
      RunMenu(host);
      SetHostDocument(host, document);
    }
    host->options.failAllocationAt = failAt;
    *report = repeatRun ? RunRepeat(host) : RunMenu(host);
    CloseFilterHost(host);
    return true;
  };
  RunReport clean;
  if (!runOnce(0, &clean)) return false;
  steps->push_back(FaultSweepStep{0, clean});
  for (int64_t failAt = 1; failAt <= clean.countedAllocations; ++failAt) {
    FaultSweepStep step;
    step.failAt = failAt;
    if (!runOnce(failAt, &step.report)) return false;
    steps->push_back(std::move(step));
  }
  return true;
}

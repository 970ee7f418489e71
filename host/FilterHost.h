// Our own filter host: loads a filter module (a shared library natively, a DLL
// on Windows), builds a complete filter record over an in-memory document and
// drives the module through the selectors as a real host would, recording
// everything the module does (result codes, message boxes, handle and buffer
// traffic, suite balance, descriptor contents, pixels written).
//
// The host serves one module call at a time; the procedures it hands to the
// module reach the session through one module-wide pointer that is set for the
// duration of each call, so two sessions must never call into modules at the
// same time (sessions may exist side by side).
//
// Typical use:
//   FilterHost* host = OpenFilterHost(modulePath, &error);
//   SetHostDocument(host, MakeDocument(...));
//   RunReport report = RunMenu(host);          // selectors 1, 2, 3, (4), 5
//   ... inspect report and HostDocumentOf(host) ...
//   CloseFilterHost(host);
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "interface/PluginInterface.h"

// ---- Documents -----------------------------------------------------------------

// What the filter is applied to; decides the record's filterCase together with
// the presence of a selection.
enum class LayerKind : uint8_t {
  Flat,                  // background layer: no transparency channel (cases 1, 2)
  Floating,              // floating selection (case 3)
  EditableTransparency,  // layer whose transparency may be written (cases 4, 5)
  LockedTransparency     // layer with protected transparency (cases 6, 7)
};

// One 8-bit channel plane. Pixels cover `bounds` (document coordinates), row
// after row, (right - left) bytes per row.
struct HostChannel {
  std::string name;
  VRect bounds{0, 0, 0, 0};
  std::vector<uint8_t> pixels;
  bool targeted = true;   // the channel's `target` flag in the document description
  bool readable = true;   // CanRead answers this on the read port
  bool writable = true;   // CanWrite answers this on the write port
  bool hasWritePort = true;
};

struct HostDocument {
  int32_t width = 0;   // pixels
  int32_t height = 0;  // pixels
  int16_t imageMode = ModeRGBColor;  // ModeGrayScale, ModeRGBColor or ModeDuotone
  LayerKind layer = LayerKind::Flat;
  std::vector<HostChannel> colorChannels;  // the target composite channels, in order
  bool hasTransparency = false;            // layers only; see MakeDocument
  HostChannel transparency;
  bool hasLayerMask = false;
  HostChannel layerMask;
  std::vector<HostChannel> alphaChannels;
  bool hasSelection = false;
  HostChannel selection;
  // Raw path data as the host hands it out for property 'path': each entry is
  // one path's bytes (normally a multiple of 26-byte big-endian records, but
  // any bytes may be given to exercise the reader).
  std::vector<std::vector<uint8_t>> paths;
  int32_t targetPath = -1;  // answer of 'tgpa'; -1 = no target path
  int16_t filterCaseOverride = 0;  // 0 = derive from layer and selection
};

// A document of the given size and mode with every channel filled with `fill`
// (colour channels), 255 transparency for layers, no mask, alpha channels,
// selection or paths. Channel names: "Gray", "Red"/"Green"/"Blue", "Black"
// (duotone), "Transparency".
HostDocument MakeDocument(int32_t width, int32_t height, int16_t imageMode, LayerKind layer, uint8_t fill);
// A full-document channel filled with `fill`.
HostChannel MakeChannel(const HostDocument& document, const char* name, uint8_t fill);
// The filterCase the host reports for the document.
int16_t DocumentFilterCase(const HostDocument& document);
// FNV-1a 64 over every plane in a fixed order (colour, transparency, mask,
// alpha, selection; each with its bounds); equal on every platform.
uint64_t DocumentChecksum(const HostDocument& document);
uint64_t ChannelChecksum(const HostChannel& channel);
// Pixel value of a channel at document coordinates; 0 outside its bounds.
uint8_t ChannelPixel(const HostChannel& channel, int32_t x, int32_t y);

// ---- Path records ----------------------------------------------------------------

enum PathRecordSelector : int16_t {
  PathClosedLength = 0,        // closed subpath length record
  PathClosedKnotLinked = 1,    // closed subpath knot, linked
  PathClosedKnotUnlinked = 2,  // closed subpath knot, unlinked
  PathOpenLength = 3,          // open subpath length record
  PathOpenKnotLinked = 4,      // open subpath knot, linked
  PathOpenKnotUnlinked = 5,    // open subpath knot, unlinked
  PathFillRule = 6,            // path fill rule record (skipped by readers)
  PathClipboard = 7,           // clipboard record
  PathInitialFill = 8          // initial fill rule record
};

// A point in path units: 8.24 fractions of the document's height (v) and width (h).
struct PathPoint {
  int32_t v, h;
};
// Converts pixels to path units: pixels * 2^24 / extent, rounded to nearest.
int32_t PathUnits(double pixels, int32_t extentPixels);
PathPoint PathPointFromPixels(double x, double y, int32_t width, int32_t height);

// Appenders of raw 26-byte big-endian records (unused bytes zero).
void AppendPathLengthRecord(std::vector<uint8_t>& path, int16_t selector, int16_t knotCount);
void AppendPathKnot(std::vector<uint8_t>& path, int16_t selector, PathPoint preceding, PathPoint anchor,
                    PathPoint leaving);
void AppendPathRecord(std::vector<uint8_t>& path, int16_t selector);  // any other record, zero content
// A closed subpath of corner knots (control points on the anchors), pixel coordinates.
void AppendPolygonSubpath(std::vector<uint8_t>& path, const std::vector<std::pair<double, double>>& pointsXY,
                          int32_t width, int32_t height, bool closed = true);

// FNV-1a of a byte string (files the module writes, compared across builds).
uint64_t BytesChecksum(const std::vector<uint8_t>& bytes);

// ---- Descriptors -----------------------------------------------------------------

// One value written or played back through the descriptor procs.
struct DescriptorItem {
  DescriptorKeyID key = 0;
  DescriptorTypeID type = 0;  // TypeInteger, TypeFloat, TypeText or one of the Type* codes below
  int32_t integer = 0;        // 'long', 'bool' (0/1), count
  double number = 0;          // 'doub', 'UntF'
  uint32_t unit = 0;          // 'UntF' unit; 'enum' type; class id of class/object items
  uint32_t enumValue = 0;     // 'enum' value
  std::vector<uint8_t> bytes; // text, alias and object data; put-string bytes as given
};
// Type codes used for items beyond the three of the interface header.
constexpr DescriptorTypeID TypeUnitFloat = FourCharCode("UntF");
constexpr DescriptorTypeID TypeBoolean = FourCharCode("bool");
constexpr DescriptorTypeID TypeAlias = FourCharCode("alis");
constexpr DescriptorTypeID TypeEnumerated = FourCharCode("enum");
constexpr DescriptorTypeID TypeClass = FourCharCode("type");
constexpr DescriptorTypeID TypeObject = FourCharCode("Objc");
constexpr DescriptorTypeID TypeCount = FourCharCode("cnt ");
constexpr DescriptorTypeID TypeString = FourCharCode("str ");  // put-string / get-string
constexpr DescriptorTypeID TypeReference = FourCharCode("obj ");
constexpr DescriptorTypeID TypeScopedClass = FourCharCode("GlbC");
constexpr DescriptorTypeID TypeScopedObject = FourCharCode("GlbO");

struct DescriptorStore {
  std::vector<DescriptorItem> items;  // in the order written
};
const DescriptorItem* FindDescriptorItem(const DescriptorStore& store, DescriptorKeyID key);
// Serialised form kept in descriptor handles (little-endian, versioned); round trips exactly.
std::vector<uint8_t> EncodeDescriptor(const DescriptorStore& store);
bool DecodeDescriptor(const uint8_t* bytes, size_t size, DescriptorStore* store);

// ---- Options and fault injection -----------------------------------------------

// Kinds of allocations the host serves; used as a bit mask to choose which
// kinds the allocation counter of fault injection counts.
enum AllocationKind : uint32_t {
  AllocHandle = 0x01,       // handleProcs new (and host-made handles handed to the module: 'path', text, descriptor)
  AllocBufferProc = 0x02,   // bufferProcs allocate
  AllocSuiteBuffer = 0x04,  // Buffer suite New
  AllocBasicBlock = 0x08,   // SP Basic AllocateBlock / ReallocateBlock
  AllocAny = 0x0F
};

enum class ScaledReadFilter : uint8_t {
  Nearest,  // each destination pixel takes the source pixel under its centre
  Box       // each destination pixel averages the source pixels it covers
};

struct HostOptions {
  // Allocation fault injection. Allocations of the kinds in `failKinds` are
  // counted together from 1 at the start of every run operation (RunMenu,
  // RunRepeat, RunAbout, CallSelector); the one numbered `failAllocationAt`
  // fails (new handle / New answer null, allocate answers -108), and with
  // `failAllAfter` every later one too. 0 = never fail.
  int64_t failAllocationAt = 0;
  uint32_t failKinds = AllocAny;
  bool failAllAfter = false;
  // Growing SetSize counts as an allocation of kind AllocHandle.
  bool countHandleGrowth = true;
  // New Buffer suite blocks are filled with 0xA5, so that a module relying
  // on fresh blocks being zero fails in tests. Timing benches turn it off:
  // a production host does not spend the time.
  bool poisonBlocks = true;

  // AcquireSuite answers 'S!Fd' for these names (any version).
  std::vector<std::string> refusedSuites;
  // getProperty answers the given error code for these keys.
  std::vector<std::pair<OSType, int16_t>> failedProperties;

  // Record omissions (a null field in the record) to make it unusable or thinner.
  bool omitDisplayPixels = false;
  bool omitDocumentInfo = false;
  bool omitMergedChannels = false;  // documentInfo without a merged composite list
  bool omitHandleProcs = false;
  bool omitPropertyProcs = false;
  bool omitBasicSuite = false;
  bool omitBufferProcs = false;
  bool omitChannelPortProcs = false;
  bool omitColorServices = false;
  bool omitDescriptorParameters = false;
  bool omitAbortProc = false;
  bool omitProgressProc = false;
  int16_t handleProcsVersion = 1;
  int16_t handleProcsCount = 8;  // fewer than 6 makes the record unusable
  // Allocate only the bytes up to and including `depth`, so a module that
  // reads further reads past the record (caught by the address sanitizer).
  bool shortRecord = false;

  // Host behaviour.
  int32_t abortAfterQueries = -1;  // abortProc answers true from this query on (0 = always); -1 never
  bool colorPickerCancels = false;
  uint8_t pickedColor[3] = {255, 0, 0};  // RGB the colour picker answers
  ScaledReadFilter scaledRead = ScaledReadFilter::Nearest;
  // Windows: give the module a real (hidden) window as owner; otherwise hwnd 0.
  bool realWindow = false;
  // Answer of the dialog hook (HostHooks.h) when the module asks the host to
  // settle a modal dialog without showing it: the button id (1 = OK, 2 = Cancel),
  // or 0 to let the module show the dialog for real.
  int32_t dialogAnswer = 1;

  // Scripting. For RunMenu the descriptor block is empty (no descriptor) unless
  // `hasPlayback` is set; RunRepeat plays back the descriptor the previous run
  // recorded. playInfo/recordInfo are the block's values for RunMenu and
  // CallSelector; RunRepeat uses PlayDontDisplay.
  bool omitDescriptorPlayback = false;  // RunRepeat: offer no descriptor
  bool hasPlayback = false;
  DescriptorStore playback;  // offered as the descriptor when hasPlayback
  int16_t playInfo = PlayDisplay;
  int16_t recordInfo = RecordOptional;
};

// ---- Results ---------------------------------------------------------------------

enum class MessageIcon : uint8_t {
  None,
  Stop,         // MB_ICONHAND 0x10
  Question,     // MB_ICONQUESTION 0x20
  Exclamation,  // MB_ICONEXCLAMATION 0x30
  Information   // MB_ICONASTERISK 0x40
};
const char* MessageIconName(MessageIcon icon);

struct MessageRecord {
  std::string text;
  std::string caption;      // empty with hasCaption false: the system's default caption
  bool hasCaption = false;
  MessageIcon icon = MessageIcon::None;
  uint32_t style = 0;       // the raw MB_* flags
  int16_t selector = -1;    // the selector call during which it appeared
  bool fromAlertSuite = false;  // text that went to the ADM Basic suite's alert entry
};

struct SelectorCall {
  int16_t selector = 0;
  int16_t result = 0;
};

struct SuiteBalance {
  std::string name;
  int32_t version = 0;
  int32_t acquired = 0;  // successful acquisitions
  int32_t released = 0;
  int32_t refused = 0;   // acquisitions answered with an error
};

struct DisplayCall {
  VRect bounds{};         // the pixel map's bounds
  VRect srcRect{};
  int32_t dstRow = 0, dstCol = 0;
  int32_t version = 0;
  int32_t imageMode = 0;
  bool valid = false;     // the pixel map passed every check (and was read in full)
  std::string problem;    // what was wrong, when not valid
  uint64_t checksum = 0;  // FNV-1a of the pixels read (planes, then mask)
};

struct PropertyQuery {
  OSType key = 0;
  int32_t index = 0;
  int16_t answer = 0;
};

// Counts are taken at the end of the operation (after the module returned).
struct RunReport {
  std::vector<SelectorCall> calls;
  int16_t finalResult = 0;  // result of the last call made
  std::vector<MessageRecord> messages;

  // Live objects, session-wide, at the end.
  int64_t liveHandles = 0;
  int64_t heldHandles = 0;   // live handles the host keeps by design: the parameter block and the data-slot handle
  int64_t strayHandles = 0;  // liveHandles - heldHandles
  int64_t liveBuffers = 0;   // bufferProcs buffers
  int64_t liveSuiteBuffers = 0;  // Buffer suite blocks
  int64_t liveBasicBlocks = 0;   // SP Basic blocks
  int64_t liveSuiteBufferBytes = 0;
  int64_t livePorts = 0;         // ChannelPorts suite New without Dispose
  // Allocation attempts during the operation, per kind, and failures injected.
  int64_t handleAllocations = 0;
  int64_t bufferAllocations = 0;
  int64_t suiteBufferAllocations = 0;
  int64_t basicBlockAllocations = 0;
  int64_t countedAllocations = 0;  // those of the kinds in failKinds: the numbers failAllocationAt refers to
  int64_t failedAllocations = 0;
  int64_t peakSuiteBufferBytes = 0;
  // Misuse detected: unknown or already disposed handles/buffers/ports, unbalanced locks, bad pixel descriptions.
  int64_t misuse = 0;
  std::vector<std::string> misuseNotes;  // first few, for diagnosis

  std::vector<SuiteBalance> suites;
  bool suitesBalanced = true;  // every suite released as often as acquired

  std::vector<PropertyQuery> propertyQueries;
  int32_t pathReads = 0;  // 'path' queries
  std::vector<DisplayCall> displayCalls;
  int32_t progressCalls = 0;
  int32_t abortQueries = 0;
  int32_t colorPickerCalls = 0;
  int32_t channelReads = 0;   // read calls that returned pixels
  int32_t channelWrites = 0;  // write calls that stored pixels
  int32_t dialogRequests = 0;
  // countedAllocations when the module last asked the dialog hook (-1: never),
  // so that a fault can be aimed at what follows: the dialog's opening.
  int64_t allocationsAtDialog = -1;

  bool descriptorWritten = false;  // a write descriptor was closed during the operation
  DescriptorStore descriptor;      // the descriptor the module recorded (valid with descriptorWritten)
  int32_t descriptorReads = 0;     // read descriptors opened
  std::vector<DescriptorKeyID> descriptorKeysAsked;  // the expected-key list of the last read open

  uint64_t documentChecksum = 0;
};

// ---- Sessions --------------------------------------------------------------------

struct FilterHost;  // opaque: the loaded module, the document, the options and the host's state

// Loads the module and finds "PluginMain". Returns null with `error` filled
// when the module cannot be loaded or has no entry point.
FilterHost* OpenFilterHost(const char* modulePath, std::string* error);
// A session over an entry point that is already in the process (tests that
// play the module themselves); `name` stands in for the module path.
FilterHost* OpenFilterHostWithEntry(PluginMainProc entry, const char* name);
// Disposes what the host keeps (parameter block, data-slot handle, descriptor)
// and unloads the module.
void CloseFilterHost(FilterHost* host);

// Copies the document into the session; a plane whose pixel count does not
// match its bounds is cut or padded with 0 (inverted bounds become empty).
void SetHostDocument(FilterHost* host, const HostDocument& document);
// The same, taking the caller's planes instead of copying them.
void SetHostDocument(FilterHost* host, HostDocument&& document);
// The document as the module left it.
const HostDocument& HostDocumentOf(const FilterHost* host);
HostOptions& HostOptionsOf(FilterHost* host);

// The full menu run: 1, 2, 3, then 4 while the module leaves a non-empty
// inRect/outRect/maskRect, then 5. Stops after the first call whose result is
// not 0 (a host does not call finish after a failed start).
RunReport RunMenu(FilterHost* host);
// Repeat last filter: 2, 3, (4), 5 with the parameter block kept and the
// descriptor that the previous run recorded played back without the dialog.
RunReport RunRepeat(FilterHost* host);
// Selector 0 with an About record.
RunReport RunAbout(FilterHost* host);
// One call of any selector (0 uses an About record) with the current record.
RunReport CallSelector(FilterHost* host, int16_t selector);
// Drives a sequence of selectors, stopping after the first non-zero result
// when stopOnError is set.
RunReport CallSelectors(FilterHost* host, const std::vector<int16_t>& selectors, bool stopOnError);

// Host state between runs.
bool HostHasParameters(const FilterHost* host);  // the parameter handle exists
intptr_t HostDataSlot(const FilterHost* host);
// Disposes the parameter block, as after a new host launch; the next menu run starts from defaults.
void ForgetParameters(FilterHost* host);
// The descriptor recorded by the last finish (empty when none).
const DescriptorStore& LastRecordedDescriptor(const FilterHost* host);

// Copies the module file into `folder` (created when missing) and returns the
// copy's path, so that the files the module keeps next to itself (its
// last-used settings) start afresh for a test. Empty string on failure.
std::string StageModuleCopy(const char* modulePath, const char* folder, std::string* error);

// ---- Fault sweep -----------------------------------------------------------------

struct FaultSweepStep {
  int64_t failAt = 0;
  RunReport report;
};
// Runs `run` once without faults in a fresh session to count the allocations
// (of the kinds in `failKinds`), then once per allocation with that one failing,
// each in a fresh session of the same module and document. `run` is RunMenu
// or RunRepeat (a repeat is preceded by a clean menu run in each session).
// `beforeEachSession` (optional) runs before every session is opened, e.g. to
// remove files the module left next to itself. Returns false with `error` set
// when the module cannot be loaded.
bool RunFaultSweep(const char* modulePath, const HostDocument& document, const HostOptions& options,
                   bool repeatRun, std::vector<FaultSweepStep>* steps, std::string* error,
                   const std::function<void()>& beforeEachSession = {});

// ---- One-line summaries (bfhost) ---------------------------------------------------

// Deterministic one-line form of a report: calls, messages, counts, checksum.
std::string SummarizeReport(const RunReport& report);

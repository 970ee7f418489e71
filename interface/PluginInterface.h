// The host side of the filter plug-in interface, declared with the binary
// layout that Windows hosts use (i686 and x86_64). Both the module and our own
// filter host include this one header, so they cannot drift apart. Offsets of
// every field the program relies on are checked at compile time below for
// 32-bit and 64-bit pointers.
#pragma once
#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define PI_CALL __cdecl
#define PI_EXPORT extern "C" __declspec(dllexport)
#else
#define PI_CALL
#define PI_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// ---- Basic types -----------------------------------------------------------

typedef uint8_t Boolean;     // 1 byte, 0 or 1
typedef int16_t OSErr;
typedef uint32_t OSType;     // four-character code, first character in the top byte
typedef int32_t Fixed;       // 16.16 fixed point
typedef char* Ptr;
typedef char** Handle;       // opaque to the module; only the host's procs touch it
typedef uint8_t Str255[256]; // Pascal string: length byte, then up to 255 bytes
typedef int32_t SPErr;       // suite error type
typedef int32_t SPBoolean;   // suite Boolean

constexpr OSType FourCharCode(const char (&code)[5]) {
  return (OSType(uint8_t(code[0])) << 24) | (OSType(uint8_t(code[1])) << 16) | (OSType(uint8_t(code[2])) << 8) |
         OSType(uint8_t(code[3]));
}

struct Point {
  int16_t v, h;
};
struct Rect {
  int16_t top, left, bottom, right;
};
struct VPoint {
  int32_t v, h;
};
struct VRect {
  int32_t top, left, bottom, right;
};
struct PSRGBColor {
  uint16_t red, green, blue;
};
typedef uint8_t FilterColor[4];

struct PlugInMonitor {
  Fixed gamma, redX, redY, greenX, greenY, blueX, blueY, whiteX, whiteY, ambient;
};

// ---- Constants --------------------------------------------------------------

enum FilterSelector : int16_t {
  FilterSelectorAbout = 0,       // show the About box; the record is an AboutRecord
  FilterSelectorParameters = 1,  // the user chose the filter from the menu: ask for the dialog
  FilterSelectorPrepare = 2,     // memory negotiation before the start
  FilterSelectorStart = 3,       // the whole effect is computed and written here
  FilterSelectorContinue = 4,    // nothing left to do
  FilterSelectorFinish = 5       // record scripting parameters, release the run
};

enum HostError : int16_t {
  HostNoErr = 0,
  HostUserCanceledErr = -128,
  HostMemFullErr = -108,
  HostFilterBadParameters = -30100,
  HostFilterBadMode = -30101,
  HostErrPlugInHostInsufficient = -30900,
  HostErrPlugInPropertyUndefined = -30901,
  HostErrReportString = -30904,
  HostErrMissingParameter = -1715
};

enum ImageMode : int16_t {
  ModeBitmap = 0,
  ModeGrayScale = 1,
  ModeIndexedColor = 2,
  ModeRGBColor = 3,
  ModeCMYKColor = 4,
  ModeHSLColor = 5,
  ModeHSBColor = 6,
  ModeMultichannel = 7,
  ModeDuotone = 8,
  ModeLabColor = 9
};

enum FilterCase : int16_t {
  FilterCaseUnsupported = -1,                        // host does not say
  FilterCaseFlatImageNoSelection = 1,                // background layer, no selection
  FilterCaseFlatImageWithSelection = 2,              // background layer with a selection
  FilterCaseFloatingSelection = 3,                   // floating selection
  FilterCaseEditableTransparencyNoSelection = 4,     // layer, transparency editable
  FilterCaseEditableTransparencyWithSelection = 5,   // the same with a selection
  FilterCaseProtectedTransparencyNoSelection = 6,    // layer, transparency locked
  FilterCaseProtectedTransparencyWithSelection = 7   // the same with a selection
};

constexpr OSType PropertySignature = FourCharCode("8BIM");
constexpr OSType PropNumberOfPaths = FourCharCode("nupa");   // simple value
constexpr OSType PropTargetPathIndex = FourCharCode("tgpa"); // simple value, -1 = none
constexpr OSType PropPathContents = FourCharCode("path");    // complex value: a handle the caller disposes

constexpr int32_t PathRecordSize = 26;  // bytes per big-endian path record

// Suite names and versions.
#define kPSBufferSuite "Photoshop Buffer Suite for Plug-ins"
constexpr int32_t kPSBufferSuiteVersion1 = 1;
#define kPSChannelPortsSuite "Photoshop ChannelPorts Suite for Plug-ins"
constexpr int32_t kPSChannelPortsSuiteVersion2 = 2;
#define kSPBasicSuite "SP Basic Suite"
constexpr int32_t kSPBasicSuiteVersion = 4;
constexpr SPErr kSPSuiteNotFoundError = int32_t(FourCharCode("S!Fd"));

// ---- Procedure tables (natural alignment) ----------------------------------

typedef Boolean(PI_CALL* TestAbortProc)(void);
typedef void(PI_CALL* ProgressProc)(int32_t done, int32_t total);
typedef void(PI_CALL* HostProc)(int16_t selector, intptr_t* data);
typedef void(PI_CALL* ProcessEventProc)(void* event);
typedef OSErr(PI_CALL* AdvanceStateProc)(void);

typedef Handle(PI_CALL* NewPIHandleProc)(int32_t size);
typedef void(PI_CALL* DisposePIHandleProc)(Handle h);
typedef int32_t(PI_CALL* GetPIHandleSizeProc)(Handle h);
typedef OSErr(PI_CALL* SetPIHandleSizeProc)(Handle h, int32_t newSize);
typedef Ptr(PI_CALL* LockPIHandleProc)(Handle h, Boolean moveHigh);
typedef void(PI_CALL* UnlockPIHandleProc)(Handle h);
typedef void(PI_CALL* RecoverSpaceProc)(int32_t size);
typedef void(PI_CALL* DisposeRegularHandleProc)(Handle h);

struct HandleProcs {
  int16_t handleProcsVersion;  // 1
  int16_t numHandleProcs;      // 8
  NewPIHandleProc newProc;
  DisposePIHandleProc disposeProc;
  GetPIHandleSizeProc getSizeProc;
  SetPIHandleSizeProc setSizeProc;
  LockPIHandleProc lockProc;
  UnlockPIHandleProc unlockProc;
  RecoverSpaceProc recoverSpaceProc;
  DisposeRegularHandleProc disposeRegularHandleProc;
};
constexpr int16_t kCurrentHandleProcsVersion = 1;
constexpr int16_t kMinHandleProcs = 6;  // new, dispose, get size, set size, lock, unlock

typedef OSErr(PI_CALL* GetPropertyProc)(OSType signature, OSType key, int32_t index, intptr_t* simpleProperty,
                                        Handle* complexProperty);
typedef OSErr(PI_CALL* SetPropertyProc)(OSType signature, OSType key, int32_t index, intptr_t simpleProperty,
                                        Handle complexProperty);

struct PropertyProcs {
  int16_t propertyProcsVersion;  // 1
  int16_t numPropertyProcs;      // 2
  GetPropertyProc getPropertyProc;
  SetPropertyProc setPropertyProc;
};

typedef void* BufferID;
typedef OSErr(PI_CALL* AllocateBufferProc)(int32_t size, BufferID* bufferID);
typedef Ptr(PI_CALL* LockBufferProc)(BufferID bufferID, Boolean moveHigh);
typedef void(PI_CALL* UnlockBufferProc)(BufferID bufferID);
typedef void(PI_CALL* FreeBufferProc)(BufferID bufferID);
typedef int32_t(PI_CALL* BufferSpaceProc)(void);

struct BufferProcs {
  int16_t bufferProcsVersion;  // 2
  int16_t numBufferProcs;      // entries that follow; check before using a newer one
  AllocateBufferProc allocateProc;
  LockBufferProc lockProc;
  UnlockBufferProc unlockProc;
  FreeBufferProc freeProc;
  BufferSpaceProc spaceProc;
};

// Pixel memory: strides in bits, so planar and interleaved layouts share one form.
struct PixelMemoryDesc {
  void* data;
  int32_t rowBits;
  int32_t colBits;
  int32_t bitOffset;
  int32_t depth;
};

struct PSScaling {
  VRect sourceRect;
  VRect destinationRect;
};

typedef struct PIChannelPortDesc* PIChannelPort;
typedef PIChannelPort ChannelReadPort;
typedef PIChannelPort ChannelWritePort;

typedef OSErr(PI_CALL* ReadPixelsProc)(ChannelReadPort port, const PSScaling* scaling, const VRect* writeRect,
                                       const PixelMemoryDesc* destination, VRect* wroteRect);
typedef OSErr(PI_CALL* WriteBasePixelsProc)(ChannelWritePort port, const VRect* writeRect,
                                            const PixelMemoryDesc* source);
typedef OSErr(PI_CALL* ReadPortForWritePortProc)(ChannelReadPort* readPort, ChannelWritePort writePort);

struct ChannelPortProcs {
  int16_t channelPortProcsVersion;  // 1
  int16_t numChannelPortProcs;      // 3
  ReadPixelsProc readPixelsProc;
  WriteBasePixelsProc writeBasePixelsProc;
  ReadPortForWritePortProc readPortForWritePortProc;
};

// ---- Documents and channels -------------------------------------------------

struct ReadChannelDesc {
  int32_t minVersion;  // 0
  int32_t maxVersion;  // 1 or more: writePort is present
  ReadChannelDesc* next;
  PIChannelPort port;
  VRect bounds;
  int32_t depth;
  VPoint tileSize;
  VPoint tileOrigin;
  Boolean target;  // the channel is targeted for writing
  Boolean shown;
  int16_t channelType;
  void* contextInfo;
  const char* name;
  PIChannelPort writePort;
};

struct ReadImageDocumentDesc {
  int32_t minVersion;  // 0
  int32_t maxVersion;
  int32_t imageMode;
  int32_t depth;
  VRect bounds;
  Fixed hResolution;
  Fixed vResolution;
  uint8_t redLUT[256];
  uint8_t greenLUT[256];
  uint8_t blueLUT[256];
  ReadChannelDesc* targetCompositeChannels;
  ReadChannelDesc* targetTransparency;
  ReadChannelDesc* targetLayerMask;
  ReadChannelDesc* mergedCompositeChannels;
  ReadChannelDesc* mergedTransparency;
  ReadChannelDesc* alphaChannels;
  ReadChannelDesc* selection;
};

struct PSPixelMask {
  PSPixelMask* next;
  void* maskData;
  int32_t rowBytes;
  int32_t colBytes;
  int32_t maskDescription;
};

struct PSPixelMap {
  int32_t version;  // 0, or 1 with the mask fields
  VRect bounds;
  int32_t imageMode;
  int32_t rowBytes;
  int32_t colBytes;
  int32_t planeBytes;
  void* baseAddr;
  PSPixelMask* mat;
  PSPixelMask* masks;
  int32_t maskPhaseRow;
  int32_t maskPhaseCol;
};

typedef OSErr(PI_CALL* DisplayPixelsProc)(const PSPixelMap* source, const VRect* srcRect, int32_t dstRow,
                                          int32_t dstCol, void* platformContext);

struct ColorServicesInfo {
  int32_t infoSize;
  int16_t selector;     // 0 = let the user choose a colour
  int16_t sourceSpace;
  int16_t resultSpace;  // 0 = RGB
  Boolean resultGamutInfoValid;
  Boolean resultInGamut;
  void* reservedSourceSpaceInfo;
  void* reservedResultSpaceInfo;
  int16_t colorComponents[4];
  void* reserved;
  union {
    Str255* pickerPrompt;
    Point* globalSamplePoint;
    int32_t specialColorID;
  } selectorParameter;
};
typedef OSErr(PI_CALL* ColorServicesProc)(ColorServicesInfo* info);
constexpr int16_t ColorServicesChooseColor = 0;
constexpr int16_t ColorSpaceRGB = 0;

// ---- Scripting descriptors --------------------------------------------------

typedef Handle PIDescriptorHandle;
typedef struct PIOpaqueWriteDescriptor* PIWriteDescriptor;
typedef struct PIOpaqueReadDescriptor* PIReadDescriptor;
typedef uint32_t DescriptorKeyID;
typedef uint32_t DescriptorTypeID;
typedef uint32_t DescriptorUnitID;
typedef uint32_t DescriptorEnumID;
typedef uint32_t DescriptorClassID;
struct PIDescriptorSimpleReference;

constexpr DescriptorTypeID TypeInteger = FourCharCode("long");
constexpr DescriptorTypeID TypeFloat = FourCharCode("doub");
constexpr DescriptorTypeID TypeText = FourCharCode("TEXT");

typedef PIWriteDescriptor(PI_CALL* OpenWriteDescriptorProc)(void);
typedef OSErr(PI_CALL* CloseWriteDescriptorProc)(PIWriteDescriptor, PIDescriptorHandle*);
typedef OSErr(PI_CALL* PutIntegerProc)(PIWriteDescriptor, DescriptorKeyID, int32_t);
typedef OSErr(PI_CALL* PutFloatProc)(PIWriteDescriptor, DescriptorKeyID, const double*);
typedef OSErr(PI_CALL* PutUnitFloatProc)(PIWriteDescriptor, DescriptorKeyID, DescriptorUnitID, const double*);
typedef OSErr(PI_CALL* PutBooleanProc)(PIWriteDescriptor, DescriptorKeyID, Boolean);
typedef OSErr(PI_CALL* PutTextProc)(PIWriteDescriptor, DescriptorKeyID, Handle);
typedef OSErr(PI_CALL* PutAliasProc)(PIWriteDescriptor, DescriptorKeyID, Handle);
typedef OSErr(PI_CALL* PutEnumeratedProc)(PIWriteDescriptor, DescriptorKeyID, DescriptorTypeID, DescriptorEnumID);
typedef OSErr(PI_CALL* PutClassProc)(PIWriteDescriptor, DescriptorKeyID, DescriptorClassID);
typedef OSErr(PI_CALL* PutSimpleReferenceProc)(PIWriteDescriptor, DescriptorKeyID,
                                               const PIDescriptorSimpleReference*);
typedef OSErr(PI_CALL* PutObjectProc)(PIWriteDescriptor, DescriptorKeyID, DescriptorClassID, PIDescriptorHandle);
typedef OSErr(PI_CALL* PutCountProc)(PIWriteDescriptor, DescriptorKeyID, uint32_t);
typedef OSErr(PI_CALL* PutStringProc)(PIWriteDescriptor, DescriptorKeyID, const uint8_t*);
typedef OSErr(PI_CALL* PutScopedClassProc)(PIWriteDescriptor, DescriptorKeyID, DescriptorClassID);
typedef OSErr(PI_CALL* PutScopedObjectProc)(PIWriteDescriptor, DescriptorKeyID, DescriptorClassID,
                                            PIDescriptorHandle);

struct WriteDescriptorProcs {
  int16_t writeDescriptorProcsVersion;  // 0
  int16_t numWriteDescriptorProcs;      // 16
  OpenWriteDescriptorProc openWriteDescriptorProc;
  CloseWriteDescriptorProc closeWriteDescriptorProc;
  PutIntegerProc putIntegerProc;
  PutFloatProc putFloatProc;
  PutUnitFloatProc putUnitFloatProc;
  PutBooleanProc putBooleanProc;
  PutTextProc putTextProc;
  PutAliasProc putAliasProc;
  PutEnumeratedProc putEnumeratedProc;
  PutClassProc putClassProc;
  PutSimpleReferenceProc putSimpleReferenceProc;
  PutObjectProc putObjectProc;
  PutCountProc putCountProc;
  PutStringProc putStringProc;
  PutScopedClassProc putScopedClassProc;
  PutScopedObjectProc putScopedObjectProc;
};

typedef PIReadDescriptor(PI_CALL* OpenReadDescriptorProc)(PIDescriptorHandle, DescriptorKeyID* keyArray);
typedef OSErr(PI_CALL* CloseReadDescriptorProc)(PIReadDescriptor);
typedef Boolean(PI_CALL* GetKeyProc)(PIReadDescriptor, DescriptorKeyID*, DescriptorTypeID*, int32_t* flags);
typedef OSErr(PI_CALL* GetIntegerProc)(PIReadDescriptor, int32_t*);
typedef OSErr(PI_CALL* GetFloatProc)(PIReadDescriptor, double*);
typedef OSErr(PI_CALL* GetUnitFloatProc)(PIReadDescriptor, DescriptorUnitID*, double*);
typedef OSErr(PI_CALL* GetBooleanProc)(PIReadDescriptor, Boolean*);
typedef OSErr(PI_CALL* GetTextProc)(PIReadDescriptor, Handle*);
typedef OSErr(PI_CALL* GetAliasProc)(PIReadDescriptor, Handle*);
typedef OSErr(PI_CALL* GetEnumeratedProc)(PIReadDescriptor, DescriptorEnumID*);
typedef OSErr(PI_CALL* GetClassProc)(PIReadDescriptor, DescriptorClassID*);
typedef OSErr(PI_CALL* GetSimpleReferenceProc)(PIReadDescriptor, PIDescriptorSimpleReference*);
typedef OSErr(PI_CALL* GetObjectProc)(PIReadDescriptor, DescriptorClassID*, PIDescriptorHandle*);
typedef OSErr(PI_CALL* GetCountProc)(PIReadDescriptor, uint32_t*);
typedef OSErr(PI_CALL* GetStringProc)(PIReadDescriptor, Str255*);
typedef OSErr(PI_CALL* GetPinnedIntegerProc)(PIReadDescriptor, int32_t min, int32_t max, int32_t*);
typedef OSErr(PI_CALL* GetPinnedFloatProc)(PIReadDescriptor, const double* min, const double* max, double*);
typedef OSErr(PI_CALL* GetPinnedUnitFloatProc)(PIReadDescriptor, const double* min, const double* max,
                                               DescriptorUnitID*, double*);

struct ReadDescriptorProcs {
  int16_t readDescriptorProcsVersion;  // 0
  int16_t numReadDescriptorProcs;      // 18
  OpenReadDescriptorProc openReadDescriptorProc;
  CloseReadDescriptorProc closeReadDescriptorProc;
  GetKeyProc getKeyProc;
  GetIntegerProc getIntegerProc;
  GetFloatProc getFloatProc;
  GetUnitFloatProc getUnitFloatProc;
  GetBooleanProc getBooleanProc;
  GetTextProc getTextProc;
  GetAliasProc getAliasProc;
  GetEnumeratedProc getEnumeratedProc;
  GetClassProc getClassProc;
  GetSimpleReferenceProc getSimpleReferenceProc;
  GetObjectProc getObjectProc;
  GetCountProc getCountProc;
  GetStringProc getStringProc;
  GetPinnedIntegerProc getPinnedIntegerProc;
  GetPinnedFloatProc getPinnedFloatProc;
  GetPinnedUnitFloatProc getPinnedUnitFloatProc;
};

enum PlayInfo : int16_t {
  PlayDontDisplay = 0,  // replay silently with the recorded values
  PlayDisplay = 1,      // show the dialog, prefilled
  PlaySilent = 2        // no dialog, no message boxes
};
enum RecordInfo : int16_t {
  RecordOptional = 0,  // the dialog was shown: record
  RecordRequired = 1,  // always record
  RecordNone = 2       // nothing to record
};

struct PIDescriptorParameters {
  int16_t descriptorParametersVersion;  // 0
  int16_t playInfo;
  int16_t recordInfo;
  PIDescriptorHandle descriptor;
  WriteDescriptorProcs* writeDescriptorProcs;
  ReadDescriptorProcs* readDescriptorProcs;
};

// ---- Suites -----------------------------------------------------------------

struct SPBasicSuite {
  SPErr(PI_CALL* AcquireSuite)(const char* name, int32_t version, const void** suite);
  SPErr(PI_CALL* ReleaseSuite)(const char* name, int32_t version);
  SPBoolean(PI_CALL* IsEqual)(const char* token1, const char* token2);
  SPErr(PI_CALL* AllocateBlock)(size_t size, void** block);
  SPErr(PI_CALL* FreeBlock)(void* block);
  SPErr(PI_CALL* ReallocateBlock)(void* block, size_t newSize, void** newblock);
  SPErr(PI_CALL* Undefined)(void);
};

struct PSBufferSuite1 {
  Ptr(PI_CALL* New)(uint32_t* requestedSize, uint32_t minimumSize);
  void(PI_CALL* Dispose)(Ptr* buffer);
  uint32_t(PI_CALL* GetSize)(Ptr buffer);
  uint32_t(PI_CALL* GetSpace)(void);
};

struct PSChannelPortsSuite1 {
  SPErr(PI_CALL* CountLevels)(PIChannelPort port, int32_t* count);
  SPErr(PI_CALL* GetDepth)(PIChannelPort port, int32_t* depth);
  SPErr(PI_CALL* GetDataBounds)(PIChannelPort port, VRect* bounds);
  SPErr(PI_CALL* GetWriteLimit)(PIChannelPort port, VRect* writeBounds);
  SPErr(PI_CALL* GetTilingGrid)(PIChannelPort port, VPoint* tileOrigin, VPoint* tileSize);
  SPErr(PI_CALL* GetSupportRect)(PIChannelPort port, int32_t level, VRect* supportRect);
  SPErr(PI_CALL* GetDependentRect)(PIChannelPort port, int32_t level, VRect* dependentRect);
  SPErr(PI_CALL* CanRead)(PIChannelPort port, Boolean* canRead);
  SPErr(PI_CALL* CanWrite)(PIChannelPort port, Boolean* canWrite);
  SPErr(PI_CALL* ReadPixelsFromLevel)(PIChannelPort port, int32_t level, VRect* bounds,
                                      const PixelMemoryDesc* destination);
  SPErr(PI_CALL* WritePixelsToBaseLevel)(PIChannelPort port, VRect* bounds, const PixelMemoryDesc* source);
  SPErr(PI_CALL* ReadScaledPixels)(PIChannelPort port, VRect* readRect, const PSScaling* scaling,
                                   const PixelMemoryDesc* destination);
  SPErr(PI_CALL* FindSourceForScaledRead)(PIChannelPort port, const PSScaling* scaling, VRect* sourceRect,
                                          int32_t* level);
  SPErr(PI_CALL* New)(PIChannelPort* port, VRect* rect, int32_t depth);
  SPErr(PI_CALL* Dispose)(PIChannelPort* port);
};

// Suites the module acquires at the start of every call and holds until its
// end; a host that lacks any of them cannot run the module. Most are only
// held: the module calls into the ADM Basic suite (its alert), the Buffer
// suite and the ChannelPorts suite.
#define kADMBasicSuite "ADM Basic Suite"
constexpr int32_t kADMBasicSuiteVersion4 = 4;
#define kADMDialogSuite "ADM Dialog Suite"
constexpr int32_t kADMDialogSuiteVersion4 = 4;
#define kADMItemSuite "ADM Item Suite"
constexpr int32_t kADMItemSuiteVersion4 = 4;
#define kADMIconSuite "ADM Icon Suite"
constexpr int32_t kADMIconSuiteVersion1 = 1;
#define kADMNotifierSuite "ADM Notifier Suite"
constexpr int32_t kADMNotifierSuiteVersion1 = 1;
#define kADMDrawerSuite "ADM Drawer Suite"
constexpr int32_t kADMDrawerSuiteVersion3 = 3;
#define kADMTrackerSuite "ADM Tracker Suite"
constexpr int32_t kADMTrackerSuiteVersion1 = 1;
#define kADMEntrySuite "ADM Entry Suite"
constexpr int32_t kADMEntrySuiteVersion2 = 2;
#define kADMListSuite "ADM List Suite"
constexpr int32_t kADMListSuiteVersion1 = 1;
#define kSPBlocksSuite "SP Blocks Suite"
constexpr int32_t kSPBlocksSuiteVersion2 = 2;
#define kPSGetPathSuite "Photoshop GetPath Suite for Plug-ins"
constexpr int32_t kPSGetPathSuiteVersion1 = 1;

// The ADM Basic suite as far as the module uses it: its fourth entry shows an
// alert with a C-string text. The first three entries are never called.
typedef void(PI_CALL* ADMUnusedEntry)(void);
typedef void(PI_CALL* ADMErrorAlertProc)(const char* text);
struct ADMBasicSuite4 {
  ADMUnusedEntry unusedEntries[3];
  ADMErrorAlertProc ErrorAlert;
};

// ---- Records handed to the entry point ---------------------------------------

struct PlatformData {
  intptr_t hwnd;  // the host's window: owner of the module's dialogs
};

struct AboutRecord {
  void* platformData;  // points to a PlatformData
  SPBasicSuite* sSPBasic;
  void* plugInRef;
  uint8_t reserved[244];
};

#pragma pack(push, 4)
struct FilterRecord {
  int32_t serialNumber;
  TestAbortProc abortProc;
  ProgressProc progressProc;
  Handle parameters;  // the module's parameter block; kept by the host between runs
  Point imageSize;
  int16_t planes;
  Rect filterRect;
  PSRGBColor background;
  PSRGBColor foreground;
  int32_t maxSpace;
  int32_t bufferSpace;
  Rect inRect;
  int16_t inLoPlane;
  int16_t inHiPlane;
  Rect outRect;
  int16_t outLoPlane;
  int16_t outHiPlane;
  void* inData;
  int32_t inRowBytes;
  void* outData;
  int32_t outRowBytes;
  Boolean isFloating;
  Boolean haveMask;
  Boolean autoMask;
  Rect maskRect;
  void* maskData;
  int32_t maskRowBytes;
  FilterColor backColor;
  FilterColor foreColor;
  OSType hostSig;
  HostProc hostProc;
  int16_t imageMode;
  Fixed imageHRes;
  Fixed imageVRes;
  Point floatCoord;
  Point wholeSize;
  PlugInMonitor monitor;
  void* platformData;  // points to a PlatformData
  BufferProcs* bufferProcs;
  void* resourceProcs;
  ProcessEventProc processEvent;
  DisplayPixelsProc displayPixels;
  HandleProcs* handleProcs;
  Boolean supportsDummyChannels;
  Boolean supportsAlternateLayouts;
  int16_t wantLayout;
  int16_t filterCase;
  int16_t dummyPlaneValue;
  void* premiereHook;
  AdvanceStateProc advanceState;
  Boolean supportsAbsolute;
  Boolean wantsAbsolute;
  void* getPropertyObsolete;
  Boolean cannotUndo;
  Boolean supportsPadding;
  int16_t inputPadding;
  int16_t outputPadding;
  int16_t maskPadding;
  char samplingSupport;
  char reservedByte;
  Fixed inputRate;
  Fixed maskRate;
  ColorServicesProc colorServices;
  int16_t inLayerPlanes, inTransparencyMask, inLayerMasks, inInvertedLayerMasks, inNonLayerPlanes;
  int16_t outLayerPlanes, outTransparencyMask, outLayerMasks, outInvertedLayerMasks, outNonLayerPlanes;
  int16_t absLayerPlanes, absTransparencyMask, absLayerMasks, absInvertedLayerMasks, absNonLayerPlanes;
  int16_t inPreDummyPlanes, inPostDummyPlanes, outPreDummyPlanes, outPostDummyPlanes;
  int32_t inColumnBytes;
  int32_t inPlaneBytes;
  int32_t outColumnBytes;
  int32_t outPlaneBytes;
  void* imageServicesProcs;
  PropertyProcs* propertyProcs;
  int16_t inTileHeight, inTileWidth;
  Point inTileOrigin;
  int16_t absTileHeight, absTileWidth;
  Point absTileOrigin;
  int16_t outTileHeight, outTileWidth;
  Point outTileOrigin;
  int16_t maskTileHeight, maskTileWidth;
  Point maskTileOrigin;
  PIDescriptorParameters* descriptorParameters;
  Str255* errorString;
  ChannelPortProcs* channelPortProcs;
  ReadImageDocumentDesc* documentInfo;
  SPBasicSuite* sSPBasic;
  void* plugInRef;
  int32_t depth;  // the last field a module may read without knowing the host
  Handle iCCprofileData;
  int32_t iCCprofileSize;
  int32_t canUseICCProfiles;
  int32_t hasImageScrap;
  void* bigDocumentData;
  // Newer fields (3-D scenes, 64-bit sizes) that this module never reads; a
  // host of ours allocates them zero-filled to the modern record size.
  uint8_t newerFields[sizeof(void*) == 8 ? 96 : 84];
};
#pragma pack(pop)

// Bytes of the record that the module may rely on every host providing.
constexpr size_t FilterRecordKnownSize = offsetof(FilterRecord, depth) + sizeof(int32_t);

typedef void(PI_CALL* PluginMainProc)(int16_t selector, void* record, intptr_t* data, int16_t* result);
#define PluginEntryName "PluginMain"

// ---- Layout checks for both pointer sizes ------------------------------------

#define PI_OFFSET(type, field, x86, x64) \
  static_assert(offsetof(type, field) == (sizeof(void*) == 8 ? (x64) : (x86)), #type "." #field " offset")

PI_OFFSET(FilterRecord, abortProc, 4, 4);
PI_OFFSET(FilterRecord, progressProc, 8, 12);
PI_OFFSET(FilterRecord, parameters, 12, 20);
PI_OFFSET(FilterRecord, imageSize, 16, 28);
PI_OFFSET(FilterRecord, planes, 20, 32);
PI_OFFSET(FilterRecord, filterRect, 22, 34);
PI_OFFSET(FilterRecord, background, 30, 42);
PI_OFFSET(FilterRecord, foreground, 36, 48);
PI_OFFSET(FilterRecord, maxSpace, 44, 56);
PI_OFFSET(FilterRecord, bufferSpace, 48, 60);
PI_OFFSET(FilterRecord, inRect, 52, 64);
PI_OFFSET(FilterRecord, inLoPlane, 60, 72);
PI_OFFSET(FilterRecord, outRect, 64, 76);
PI_OFFSET(FilterRecord, outHiPlane, 74, 86);
PI_OFFSET(FilterRecord, inData, 76, 88);
PI_OFFSET(FilterRecord, inRowBytes, 80, 96);
PI_OFFSET(FilterRecord, outData, 84, 100);
PI_OFFSET(FilterRecord, outRowBytes, 88, 108);
PI_OFFSET(FilterRecord, isFloating, 92, 112);
PI_OFFSET(FilterRecord, autoMask, 94, 114);
PI_OFFSET(FilterRecord, maskRect, 96, 116);
PI_OFFSET(FilterRecord, maskData, 104, 124);
PI_OFFSET(FilterRecord, maskRowBytes, 108, 132);
PI_OFFSET(FilterRecord, backColor, 112, 136);
PI_OFFSET(FilterRecord, foreColor, 116, 140);
PI_OFFSET(FilterRecord, hostSig, 120, 144);
PI_OFFSET(FilterRecord, hostProc, 124, 148);
PI_OFFSET(FilterRecord, imageMode, 128, 156);
PI_OFFSET(FilterRecord, imageHRes, 132, 160);
PI_OFFSET(FilterRecord, imageVRes, 136, 164);
PI_OFFSET(FilterRecord, floatCoord, 140, 168);
PI_OFFSET(FilterRecord, wholeSize, 144, 172);
PI_OFFSET(FilterRecord, monitor, 148, 176);
PI_OFFSET(FilterRecord, platformData, 188, 216);
PI_OFFSET(FilterRecord, bufferProcs, 192, 224);
PI_OFFSET(FilterRecord, resourceProcs, 196, 232);
PI_OFFSET(FilterRecord, processEvent, 200, 240);
PI_OFFSET(FilterRecord, displayPixels, 204, 248);
PI_OFFSET(FilterRecord, handleProcs, 208, 256);
PI_OFFSET(FilterRecord, supportsDummyChannels, 212, 264);
PI_OFFSET(FilterRecord, supportsAlternateLayouts, 213, 265);
PI_OFFSET(FilterRecord, wantLayout, 214, 266);
PI_OFFSET(FilterRecord, filterCase, 216, 268);
PI_OFFSET(FilterRecord, dummyPlaneValue, 218, 270);
PI_OFFSET(FilterRecord, premiereHook, 220, 272);
PI_OFFSET(FilterRecord, advanceState, 224, 280);
PI_OFFSET(FilterRecord, supportsAbsolute, 228, 288);
PI_OFFSET(FilterRecord, wantsAbsolute, 229, 289);
PI_OFFSET(FilterRecord, getPropertyObsolete, 232, 292);
PI_OFFSET(FilterRecord, cannotUndo, 236, 300);
PI_OFFSET(FilterRecord, supportsPadding, 237, 301);
PI_OFFSET(FilterRecord, inputPadding, 238, 302);
PI_OFFSET(FilterRecord, outputPadding, 240, 304);
PI_OFFSET(FilterRecord, maskPadding, 242, 306);
PI_OFFSET(FilterRecord, samplingSupport, 244, 308);
PI_OFFSET(FilterRecord, reservedByte, 245, 309);
PI_OFFSET(FilterRecord, inputRate, 248, 312);
PI_OFFSET(FilterRecord, maskRate, 252, 316);
PI_OFFSET(FilterRecord, colorServices, 256, 320);
PI_OFFSET(FilterRecord, inLayerPlanes, 260, 328);
PI_OFFSET(FilterRecord, outLayerPlanes, 270, 338);
PI_OFFSET(FilterRecord, absLayerPlanes, 280, 348);
PI_OFFSET(FilterRecord, inPreDummyPlanes, 290, 358);
PI_OFFSET(FilterRecord, inColumnBytes, 300, 368);
PI_OFFSET(FilterRecord, outPlaneBytes, 312, 380);
PI_OFFSET(FilterRecord, imageServicesProcs, 316, 384);
PI_OFFSET(FilterRecord, propertyProcs, 320, 392);
PI_OFFSET(FilterRecord, inTileHeight, 324, 400);
PI_OFFSET(FilterRecord, maskTileOrigin, 352, 428);
PI_OFFSET(FilterRecord, descriptorParameters, 356, 432);
PI_OFFSET(FilterRecord, errorString, 360, 440);
PI_OFFSET(FilterRecord, channelPortProcs, 364, 448);
PI_OFFSET(FilterRecord, documentInfo, 368, 456);
PI_OFFSET(FilterRecord, sSPBasic, 372, 464);
PI_OFFSET(FilterRecord, plugInRef, 376, 472);
PI_OFFSET(FilterRecord, depth, 380, 480);
PI_OFFSET(FilterRecord, iCCprofileData, 384, 484);
PI_OFFSET(FilterRecord, iCCprofileSize, 388, 492);
PI_OFFSET(FilterRecord, canUseICCProfiles, 392, 496);
PI_OFFSET(FilterRecord, hasImageScrap, 396, 500);
PI_OFFSET(FilterRecord, bigDocumentData, 400, 504);
static_assert(sizeof(FilterRecord) == (sizeof(void*) == 8 ? 608 : 488), "modern filter record size");

PI_OFFSET(AboutRecord, sSPBasic, 4, 8);
PI_OFFSET(AboutRecord, plugInRef, 8, 16);

PI_OFFSET(ADMBasicSuite4, ErrorAlert, 12, 24);

PI_OFFSET(HandleProcs, newProc, 4, 8);
PI_OFFSET(HandleProcs, lockProc, 20, 40);
PI_OFFSET(PropertyProcs, getPropertyProc, 4, 8);
PI_OFFSET(ChannelPortProcs, readPixelsProc, 4, 8);

PI_OFFSET(PixelMemoryDesc, rowBits, 4, 8);
PI_OFFSET(PixelMemoryDesc, colBits, 8, 12);
PI_OFFSET(PixelMemoryDesc, bitOffset, 12, 16);
PI_OFFSET(PixelMemoryDesc, depth, 16, 20);

PI_OFFSET(ReadChannelDesc, next, 8, 8);
PI_OFFSET(ReadChannelDesc, port, 12, 16);
PI_OFFSET(ReadChannelDesc, bounds, 16, 24);
PI_OFFSET(ReadChannelDesc, depth, 32, 40);
PI_OFFSET(ReadChannelDesc, tileSize, 36, 44);
PI_OFFSET(ReadChannelDesc, tileOrigin, 44, 52);
PI_OFFSET(ReadChannelDesc, target, 52, 60);
PI_OFFSET(ReadChannelDesc, shown, 53, 61);
PI_OFFSET(ReadChannelDesc, channelType, 54, 62);
PI_OFFSET(ReadChannelDesc, contextInfo, 56, 64);
PI_OFFSET(ReadChannelDesc, name, 60, 72);
PI_OFFSET(ReadChannelDesc, writePort, 64, 80);

PI_OFFSET(ReadImageDocumentDesc, imageMode, 8, 8);
PI_OFFSET(ReadImageDocumentDesc, depth, 12, 12);
PI_OFFSET(ReadImageDocumentDesc, bounds, 16, 16);
PI_OFFSET(ReadImageDocumentDesc, hResolution, 32, 32);
PI_OFFSET(ReadImageDocumentDesc, vResolution, 36, 36);
PI_OFFSET(ReadImageDocumentDesc, redLUT, 40, 40);
PI_OFFSET(ReadImageDocumentDesc, targetCompositeChannels, 808, 808);
PI_OFFSET(ReadImageDocumentDesc, targetTransparency, 812, 816);
PI_OFFSET(ReadImageDocumentDesc, targetLayerMask, 816, 824);
PI_OFFSET(ReadImageDocumentDesc, mergedCompositeChannels, 820, 832);
PI_OFFSET(ReadImageDocumentDesc, mergedTransparency, 824, 840);
PI_OFFSET(ReadImageDocumentDesc, alphaChannels, 828, 848);
PI_OFFSET(ReadImageDocumentDesc, selection, 832, 856);

PI_OFFSET(PSPixelMap, bounds, 4, 4);
PI_OFFSET(PSPixelMap, imageMode, 20, 20);
PI_OFFSET(PSPixelMap, rowBytes, 24, 24);
PI_OFFSET(PSPixelMap, colBytes, 28, 28);
PI_OFFSET(PSPixelMap, planeBytes, 32, 32);
PI_OFFSET(PSPixelMap, baseAddr, 36, 40);
PI_OFFSET(PSPixelMap, mat, 40, 48);
PI_OFFSET(PSPixelMap, masks, 44, 56);
PI_OFFSET(PSPixelMap, maskPhaseRow, 48, 64);
PI_OFFSET(PSPixelMap, maskPhaseCol, 52, 68);
PI_OFFSET(PSPixelMask, maskData, 4, 8);
PI_OFFSET(PSPixelMask, rowBytes, 8, 16);
PI_OFFSET(PSPixelMask, colBytes, 12, 20);
PI_OFFSET(PSPixelMask, maskDescription, 16, 24);

PI_OFFSET(ColorServicesInfo, selector, 4, 4);
PI_OFFSET(ColorServicesInfo, sourceSpace, 6, 6);
PI_OFFSET(ColorServicesInfo, resultSpace, 8, 8);
PI_OFFSET(ColorServicesInfo, resultGamutInfoValid, 10, 10);
PI_OFFSET(ColorServicesInfo, resultInGamut, 11, 11);
PI_OFFSET(ColorServicesInfo, reservedSourceSpaceInfo, 12, 16);
PI_OFFSET(ColorServicesInfo, reservedResultSpaceInfo, 16, 24);
PI_OFFSET(ColorServicesInfo, colorComponents, 20, 32);
PI_OFFSET(ColorServicesInfo, reserved, 28, 40);
PI_OFFSET(ColorServicesInfo, selectorParameter, 32, 48);

PI_OFFSET(PIDescriptorParameters, playInfo, 2, 2);
PI_OFFSET(PIDescriptorParameters, recordInfo, 4, 4);
PI_OFFSET(PIDescriptorParameters, descriptor, 8, 8);
PI_OFFSET(PIDescriptorParameters, writeDescriptorProcs, 12, 16);
PI_OFFSET(PIDescriptorParameters, readDescriptorProcs, 16, 24);
PI_OFFSET(WriteDescriptorProcs, openWriteDescriptorProc, 4, 8);
PI_OFFSET(ReadDescriptorProcs, openReadDescriptorProc, 4, 8);

#undef PI_OFFSET

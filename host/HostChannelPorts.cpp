// Channel ports over the document's 8-bit planes: the ChannelPorts suite
// (version 2), the record's channelPortProcs, and the document description
// whose channel lists hand the ports to the module.
#include <cstring>

#include "host/HostState.h"

namespace {

constexpr OSErr ParamErr = -50;
constexpr SPErr SPBadParameterError = int32_t(FourCharCode("Parm"));
constexpr SPErr SPUnimplementedError = int32_t(FourCharCode("!IMP"));
constexpr int32_t ChannelDepth = 8;   // bits per pixel of every channel
constexpr int32_t TileExtent = 256;   // pixels; the tiling grid the host reports
constexpr int32_t ChannelDescVersion = 1;  // ReadChannelDesc with writePort
constexpr int32_t DocumentDescVersion = 1;
constexpr Fixed Resolution72 = 72 << 16;  // pixels per inch, 16.16

VRect Intersect(const VRect& a, const VRect& b) {
  VRect r{a.top > b.top ? a.top : b.top, a.left > b.left ? a.left : b.left,
          a.bottom < b.bottom ? a.bottom : b.bottom, a.right < b.right ? a.right : b.right};
  if (r.top >= r.bottom || r.left >= r.right) r = VRect{0, 0, 0, 0};
  return r;
}

bool Empty(const VRect& r) { return r.top >= r.bottom || r.left >= r.right; }

PortEntry* FindPort(FilterHost* host, PIChannelPort port) {
  auto* entry = reinterpret_cast<PortEntry*>(port);
  if (!host->ports.count(entry)) {
    NoteMisuse(host, "unknown channel port");
    return nullptr;
  }
  return entry;
}

// Checks a pixel memory description for 8-bit pixels on whole bytes.
bool UsableMemory(FilterHost* host, const PixelMemoryDesc* memory) {
  if (!memory || !memory->data) {
    NoteMisuse(host, "pixel memory without data");
    return false;
  }
  if (memory->depth != ChannelDepth || memory->colBits < ChannelDepth || memory->colBits % 8 != 0 ||
      memory->rowBits % 8 != 0 || memory->bitOffset < 0 || memory->bitOffset % 8 != 0) {
    NoteMisuse(host, "pixel memory description the host cannot serve");
    return false;
  }
  return true;
}

uint8_t* PixelAt(const PixelMemoryDesc* memory, int64_t row, int64_t column) {
  return static_cast<uint8_t*>(memory->data) + row * (memory->rowBits / 8) + column * (memory->colBits / 8) +
         memory->bitOffset / 8;
}

// Copies the part of `wanted` inside the channel into memory laid out from
// wanted's top-left corner; `done` receives the part copied.
OSErr ReadUnscaled(FilterHost* host, PortEntry* port, const VRect& wanted, const PixelMemoryDesc* memory, VRect* done) {
  if (!UsableMemory(host, memory)) return ParamErr;
  if (!port->channel->readable) return ParamErr;
  const HostChannel& channel = *port->channel;
  const VRect area = Intersect(wanted, channel.bounds);
  if (done) *done = area;
  const int32_t stride = channel.bounds.right - channel.bounds.left;
  for (int32_t y = area.top; y < area.bottom; ++y) {
    const uint8_t* source =
        channel.pixels.data() + size_t(y - channel.bounds.top) * size_t(stride) + size_t(area.left - channel.bounds.left);
    uint8_t* target = PixelAt(memory, y - wanted.top, area.left - wanted.left);
    if (memory->colBits == ChannelDepth) {
      std::memcpy(target, source, size_t(area.right - area.left));
      continue;
    }
    const size_t step = size_t(memory->colBits / 8);
    for (int32_t x = area.left; x < area.right; ++x, target += step) *target = source[x - area.left];
  }
  ++host->report.channelReads;
  return HostNoErr;
}

// Fills the destination rectangle from the source rectangle, nearest or box
// filtered; source pixels outside the channel count as 0.
OSErr ReadScaled(FilterHost* host, PortEntry* port, const PSScaling& scaling, const PixelMemoryDesc* memory) {
  if (!UsableMemory(host, memory)) return ParamErr;
  if (!port->channel->readable) return ParamErr;
  const VRect& s = scaling.sourceRect;
  const VRect& d = scaling.destinationRect;
  if (Empty(s) || Empty(d)) return HostNoErr;
  const HostChannel& channel = *port->channel;
  const int64_t sw = int64_t(s.right) - s.left, sh = int64_t(s.bottom) - s.top;
  const int64_t dw = int64_t(d.right) - d.left, dh = int64_t(d.bottom) - d.top;
  const bool box = host->options.scaledRead == ScaledReadFilter::Box;
  for (int64_t y = 0; y < dh; ++y) {
    for (int64_t x = 0; x < dw; ++x) {
      uint8_t value;
      if (!box) {
        const int64_t sx = s.left + ((2 * x + 1) * sw) / (2 * dw);
        const int64_t sy = s.top + ((2 * y + 1) * sh) / (2 * dh);
        value = ChannelPixel(channel, int32_t(sx), int32_t(sy));
      } else {
        const int64_t x0 = s.left + x * sw / dw, x1 = s.left + ((x + 1) * sw + dw - 1) / dw;
        const int64_t y0 = s.top + y * sh / dh, y1 = s.top + ((y + 1) * sh + dh - 1) / dh;
        int64_t sum = 0, count = 0;
        for (int64_t yy = y0; yy < y1; ++yy)
          for (int64_t xx = x0; xx < x1; ++xx, ++count) sum += ChannelPixel(channel, int32_t(xx), int32_t(yy));
        value = uint8_t(count ? (sum + count / 2) / count : 0);
      }
      *PixelAt(memory, y, x) = value;
    }
  }
  ++host->report.channelReads;
  return HostNoErr;
}

OSErr WriteBase(FilterHost* host, PortEntry* port, const VRect& wanted, const PixelMemoryDesc* memory) {
  if (!port->writePort) {
    NoteMisuse(host, "write through a read port");
    return ParamErr;
  }
  if (!UsableMemory(host, memory)) return ParamErr;
  if (!port->channel->writable) return ParamErr;
  HostChannel& channel = *port->channel;
  const VRect area = Intersect(wanted, channel.bounds);
  const int32_t stride = channel.bounds.right - channel.bounds.left;
  for (int32_t y = area.top; y < area.bottom; ++y) {
    uint8_t* target =
        channel.pixels.data() + size_t(y - channel.bounds.top) * size_t(stride) + size_t(area.left - channel.bounds.left);
    const uint8_t* source = PixelAt(memory, y - wanted.top, area.left - wanted.left);
    if (memory->colBits == ChannelDepth) {
      std::memcpy(target, source, size_t(area.right - area.left));
      continue;
    }
    const size_t step = size_t(memory->colBits / 8);
    for (int32_t x = area.left; x < area.right; ++x, source += step) target[x - area.left] = *source;
  }
  ++host->report.channelWrites;
  return HostNoErr;
}

bool SameSize(const PSScaling& scaling) {
  const VRect& s = scaling.sourceRect;
  const VRect& d = scaling.destinationRect;
  return s.right - s.left == d.right - d.left && s.bottom - s.top == d.bottom - d.top;
}

// ---- The suite -------------------------------------------------------------------------------

#define PORT_OR_FAIL(port)                \
  FilterHost* host = gActiveHost;         \
  if (!host) return SPBadParameterError;  \
  PortEntry* entry = FindPort(host, port); \
  if (!entry) return SPBadParameterError

SPErr PI_CALL CountLevels(PIChannelPort port, int32_t* count) {
  PORT_OR_FAIL(port);
  if (count) *count = 1;
  return 0;
}

SPErr PI_CALL GetDepth(PIChannelPort port, int32_t* depth) {
  PORT_OR_FAIL(port);
  if (depth) *depth = ChannelDepth;
  return 0;
}

SPErr PI_CALL GetDataBounds(PIChannelPort port, VRect* bounds) {
  PORT_OR_FAIL(port);
  if (bounds) *bounds = entry->channel->bounds;
  return 0;
}

SPErr PI_CALL GetWriteLimit(PIChannelPort port, VRect* bounds) {
  PORT_OR_FAIL(port);
  if (bounds) *bounds = entry->writePort ? entry->channel->bounds : VRect{0, 0, 0, 0};
  return 0;
}

SPErr PI_CALL GetTilingGrid(PIChannelPort port, VPoint* origin, VPoint* size) {
  PORT_OR_FAIL(port);
  if (origin) *origin = VPoint{0, 0};
  if (size) *size = VPoint{TileExtent, TileExtent};
  return 0;
}

// One level, no filtering: a rectangle depends on itself only.
SPErr PI_CALL GetSupportRect(PIChannelPort port, int32_t level, VRect*) {
  PORT_OR_FAIL(port);
  return level == 0 ? 0 : SPBadParameterError;
}

SPErr PI_CALL GetDependentRect(PIChannelPort port, int32_t level, VRect*) {
  PORT_OR_FAIL(port);
  return level == 0 ? 0 : SPBadParameterError;
}

SPErr PI_CALL CanRead(PIChannelPort port, Boolean* canRead) {
  PORT_OR_FAIL(port);
  if (!canRead) return SPBadParameterError;
  *canRead = !entry->writePort && entry->channel->readable;
  return 0;
}

SPErr PI_CALL CanWrite(PIChannelPort port, Boolean* canWrite) {
  PORT_OR_FAIL(port);
  if (!canWrite) return SPBadParameterError;
  *canWrite = entry->writePort && entry->channel->writable;
  return 0;
}

SPErr PI_CALL ReadPixelsFromLevel(PIChannelPort port, int32_t level, VRect* bounds, const PixelMemoryDesc* memory) {
  PORT_OR_FAIL(port);
  if (level != 0 || !bounds) return SPBadParameterError;
  const VRect wanted = *bounds;
  return ReadUnscaled(host, entry, wanted, memory, bounds) == HostNoErr ? 0 : SPBadParameterError;
}

SPErr PI_CALL WritePixelsToBaseLevel(PIChannelPort port, VRect* bounds, const PixelMemoryDesc* memory) {
  PORT_OR_FAIL(port);
  if (!bounds) return SPBadParameterError;
  return WriteBase(host, entry, *bounds, memory) == HostNoErr ? 0 : SPBadParameterError;
}

// The whole destination rectangle is produced; memory is laid out from its
// top-left corner, and readRect receives the rectangle produced.
SPErr PI_CALL ReadScaledPixels(PIChannelPort port, VRect* readRect, const PSScaling* scaling,
                               const PixelMemoryDesc* memory) {
  PORT_OR_FAIL(port);
  if (!scaling) return SPBadParameterError;
  if (ReadScaled(host, entry, *scaling, memory) != HostNoErr) return SPBadParameterError;
  if (readRect) *readRect = scaling->destinationRect;
  return 0;
}

SPErr PI_CALL FindSourceForScaledRead(PIChannelPort port, const PSScaling* scaling, VRect* sourceRect, int32_t* level) {
  PORT_OR_FAIL(port);
  if (!scaling) return SPBadParameterError;
  if (sourceRect) *sourceRect = scaling->sourceRect;
  if (level) *level = 0;
  return 0;
}

SPErr PI_CALL NewPort(PIChannelPort* port, VRect* rect, int32_t depth) {
  FilterHost* host = gActiveHost;
  if (!host || !port || !rect) return SPBadParameterError;
  *port = nullptr;
  if (depth != ChannelDepth || Empty(*rect)) return SPUnimplementedError;
  auto* channel = new HostChannel;
  channel->name = "Scratch";
  channel->bounds = *rect;
  channel->pixels.assign(size_t(rect->right - rect->left) * size_t(rect->bottom - rect->top), 0);
  auto* entry = new PortEntry;
  entry->channel = channel;
  entry->writePort = false;  // a scratch port reads; CanWrite is asked of write ports only
  entry->ownsChannel = true;
  host->ports.insert(entry);
  *port = reinterpret_cast<PIChannelPort>(entry);
  return 0;
}

SPErr PI_CALL DisposePort(PIChannelPort* port) {
  FilterHost* host = gActiveHost;
  if (!host || !port || !*port) return SPBadParameterError;
  PortEntry* entry = FindPort(host, *port);
  if (!entry || !entry->ownsChannel) return SPBadParameterError;
  host->ports.erase(entry);
  delete entry->channel;
  delete entry;
  *port = nullptr;
  return 0;
}

#undef PORT_OR_FAIL

// ---- Record procedures ---------------------------------------------------------------------

OSErr PI_CALL ServeReadPixels(ChannelReadPort port, const PSScaling* scaling, const VRect* writeRect,
                             const PixelMemoryDesc* destination, VRect* wroteRect) {
  FilterHost* host = gActiveHost;
  if (!host) return ParamErr;
  PortEntry* entry = FindPort(host, port);
  if (!entry) return ParamErr;
  if (scaling && !SameSize(*scaling)) {
    OSErr e = ReadScaled(host, entry, *scaling, destination);
    if (e == HostNoErr && wroteRect) *wroteRect = scaling->destinationRect;
    return e;
  }
  if (!writeRect) return ParamErr;
  return ReadUnscaled(host, entry, *writeRect, destination, wroteRect);
}

OSErr PI_CALL ServeWriteBasePixels(ChannelWritePort port, const VRect* writeRect, const PixelMemoryDesc* source) {
  FilterHost* host = gActiveHost;
  if (!host) return ParamErr;
  PortEntry* entry = FindPort(host, port);
  if (!entry || !writeRect) return ParamErr;
  return WriteBase(host, entry, *writeRect, source);
}

OSErr PI_CALL ServeReadPortForWritePort(ChannelReadPort* readPort, ChannelWritePort writePort) {
  FilterHost* host = gActiveHost;
  if (!host || !readPort) return ParamErr;
  *readPort = nullptr;
  PortEntry* entry = FindPort(host, writePort);
  if (!entry || !entry->writePort) return ParamErr;
  for (PortEntry* candidate : host->ports) {
    if (candidate->channel == entry->channel && !candidate->writePort) {
      *readPort = reinterpret_cast<ChannelReadPort>(candidate);
      return HostNoErr;
    }
  }
  return ParamErr;
}

// ---- Document description ----------------------------------------------------------------

PIChannelPort MakePort(FilterHost* host, RecordSet& records, HostChannel* channel, bool writePort) {
  auto entry = std::make_unique<PortEntry>();
  entry->channel = channel;
  entry->writePort = writePort;
  host->ports.insert(entry.get());
  PIChannelPort port = reinterpret_cast<PIChannelPort>(entry.get());
  records.ports.push_back(std::move(entry));
  return port;
}

// A description of the channel; merged channels (withWritePort false) are never targeted.
ReadChannelDesc* Describe(FilterHost* host, RecordSet& records, HostChannel* channel, int16_t channelType,
                          bool withWritePort) {
  auto desc = std::make_unique<ReadChannelDesc>();
  std::memset(desc.get(), 0, sizeof(ReadChannelDesc));
  desc->minVersion = 0;
  desc->maxVersion = ChannelDescVersion;
  desc->port = MakePort(host, records, channel, false);
  desc->bounds = channel->bounds;
  desc->depth = ChannelDepth;
  desc->tileSize = VPoint{TileExtent, TileExtent};
  desc->tileOrigin = VPoint{0, 0};
  desc->target = withWritePort && channel->targeted ? 1 : 0;
  desc->shown = 1;
  desc->channelType = channelType;
  desc->name = channel->name.c_str();
  desc->writePort = withWritePort && channel->hasWritePort ? MakePort(host, records, channel, true) : nullptr;
  ReadChannelDesc* raw = desc.get();
  records.channelDescs.push_back(std::move(desc));
  return raw;
}

// Links descriptions of the channels in order; returns the head.
ReadChannelDesc* DescribeList(FilterHost* host, RecordSet& records, std::vector<HostChannel>& channels,
                              int16_t firstType, bool sequentialTypes, bool withWritePorts) {
  ReadChannelDesc* head = nullptr;
  ReadChannelDesc* last = nullptr;
  int16_t type = firstType;
  for (HostChannel& channel : channels) {
    ReadChannelDesc* desc = Describe(host, records, &channel, type, withWritePorts);
    if (sequentialTypes) ++type;
    if (last) last->next = desc; else head = desc;
    last = desc;
  }
  return head;
}

// Channel type codes of the descriptions (informative only; the module reads the lists).
enum ChannelTypeCode : int16_t {
  ChannelRed = 1,           // first RGB channel; green and blue follow
  ChannelBlack = 4,         // gray and duotone
  ChannelTransparency = 8,  // layer transparency
  ChannelLayerMask = 9,     // layer mask
  ChannelAlpha = 11,        // extra (alpha) channel
  ChannelSelection = 12     // the selection mask
};

}  // namespace

const PSChannelPortsSuite1 kHostChannelPortsSuite = {
    CountLevels,         GetDepth,         GetDataBounds,           GetWriteLimit,      GetTilingGrid,
    GetSupportRect,      GetDependentRect, CanRead,                 CanWrite,           ReadPixelsFromLevel,
    WritePixelsToBaseLevel, ReadScaledPixels, FindSourceForScaledRead, NewPort,         DisposePort};

void FillChannelPortProcs(RecordSet& records) {
  records.channelPortProcs.channelPortProcsVersion = 1;
  records.channelPortProcs.numChannelPortProcs = 3;
  records.channelPortProcs.readPixelsProc = ServeReadPixels;
  records.channelPortProcs.writeBasePixelsProc = ServeWriteBasePixels;
  records.channelPortProcs.readPortForWritePortProc = ServeReadPortForWritePort;
}

void BuildDocumentInfo(FilterHost* host, RecordSet& records) {
  HostDocument& document = host->document;
  ReadImageDocumentDesc& info = records.documentInfo;
  std::memset(&info, 0, sizeof info);
  info.minVersion = 0;
  info.maxVersion = DocumentDescVersion;
  info.imageMode = document.imageMode;
  info.depth = ChannelDepth;
  info.bounds = VRect{0, 0, document.height, document.width};
  info.hResolution = Resolution72;
  info.vResolution = Resolution72;
  for (int i = 0; i < 256; ++i) info.redLUT[i] = info.greenLUT[i] = info.blueLUT[i] = uint8_t(i);

  const bool rgb = document.imageMode == ModeRGBColor;
  info.targetCompositeChannels =
      DescribeList(host, records, document.colorChannels, rgb ? ChannelRed : ChannelBlack, rgb, true);
  if (document.hasTransparency)
    info.targetTransparency = Describe(host, records, &document.transparency, ChannelTransparency, true);
  if (document.hasLayerMask)
    info.targetLayerMask = Describe(host, records, &document.layerMask, ChannelLayerMask, true);
  // The host's document has one layer, so the merged image is that layer; its
  // ports only read.
  if (!host->options.omitMergedChannels) {
    info.mergedCompositeChannels =
        DescribeList(host, records, document.colorChannels, rgb ? ChannelRed : ChannelBlack, rgb, false);
    if (document.hasTransparency)
      info.mergedTransparency = Describe(host, records, &document.transparency, ChannelTransparency, false);
  }
  info.alphaChannels = DescribeList(host, records, document.alphaChannels, ChannelAlpha, false, true);
  if (document.hasSelection) info.selection = Describe(host, records, &document.selection, ChannelSelection, false);
}

void ReleaseSuitePorts(FilterHost* host) {
  for (auto it = host->ports.begin(); it != host->ports.end();) {
    PortEntry* entry = *it;
    if (entry->ownsChannel) {
      delete entry->channel;
      delete entry;
      it = host->ports.erase(it);
    } else {
      ++it;
    }
  }
}

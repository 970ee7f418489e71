#include "style/ScriptingParameters.h"

#include <cstring>

#include "core/WorkMemory.h"
#include "maps/MapImage.h"
#include "maps/MapLayer.h"
#include "style/MapLayerRecords.h"
#include "style/ScriptingKeys.h"

namespace {
constexpr int32_t MinReadProcs = 18;
constexpr int32_t MinWriteProcs = 16;
constexpr uint32_t LayerCountSize = 2;  // u16 before the layer records of the map layer block

int32_t ReadProcsPresent(const ReadDescriptorProcs* p) {
  return p->readDescriptorProcsVersion >= 0 && p->numReadDescriptorProcs >= MinReadProcs &&
         p->openReadDescriptorProc && p->closeReadDescriptorProc && p->getKeyProc && p->getIntegerProc &&
         p->getFloatProc && p->getUnitFloatProc && p->getBooleanProc && p->getTextProc && p->getAliasProc &&
         p->getEnumeratedProc && p->getClassProc && p->getSimpleReferenceProc && p->getObjectProc &&
         p->getCountProc && p->getStringProc && p->getPinnedIntegerProc && p->getPinnedFloatProc &&
         p->getPinnedUnitFloatProc;
}

int32_t WriteProcsPresent(const WriteDescriptorProcs* p) {
  return p->writeDescriptorProcsVersion >= 0 && p->numWriteDescriptorProcs >= MinWriteProcs &&
         p->openWriteDescriptorProc && p->closeWriteDescriptorProc && p->putIntegerProc && p->putFloatProc &&
         p->putUnitFloatProc && p->putBooleanProc && p->putTextProc && p->putAliasProc && p->putEnumeratedProc &&
         p->putClassProc && p->putSimpleReferenceProc && p->putObjectProc && p->putCountProc && p->putStringProc &&
         p->putScopedClassProc && p->putScopedObjectProc;
}

// The expected keys in writing order, rfMP and maPS last.
void ExpectedKeys(DescriptorKeyID keys[ExpectedKeyCount + 1]) {
  uint32_t n = 0;
  const DescriptorKeyID bevels[8] = {ScriptKey::InnerSize, ScriptKey::InnerDepth, ScriptKey::InnerMiter,
                                     ScriptKey::InnerFlags, ScriptKey::OuterSize, ScriptKey::OuterDepth,
                                     ScriptKey::OuterMiter, ScriptKey::OuterFlags};
  for (DescriptorKeyID key : bevels) keys[n++] = key;
  for (int32_t i = 0; i < 3; ++i) {
    keys[n++] = LightKey(i, 'C', 'L');
    keys[n++] = LightKey(i, 'P', 'X');
    keys[n++] = LightKey(i, 'P', 'Y');
    keys[n++] = LightKey(i, 'P', 'Z');
  }
  keys[n++] = ScriptKey::Ambient;
  for (int32_t e = 0; e < ElementCount; ++e) {
    keys[n++] = MaterialKey(e, 'C', 'L');
    keys[n++] = MaterialKey(e, 'D', 't');
    keys[n++] = MaterialKey(e, 'L', 'K');
  }
  keys[n++] = ScriptKey::ViewFlags;
  keys[n++] = ScriptKey::Reflection;
  keys[n++] = ScriptKey::MapLayers;
  keys[n] = 0;
}

// Parses the map layer block; 0 when memory ran out (the new list is freed).
int32_t ReadMapLayerBlock(const uint8_t* bytes, uint32_t size, MapLayer** layers, const StyleIo& io) {
  ByteReader in;
  in.bytes = bytes;
  in.size = size;
  const uint16_t count = in.U16();
  for (uint32_t i = 0; i < count && in.ok; ++i) {
    if (ReadMapLayerRecord(&in, DescriptorNames, layers, io, 0)) continue;
    if (in.ok) {
      FreeMapLayers(*layers);
      *layers = nullptr;
      return 0;
    }
  }
  return 1;
}

// What one read found and the working copy it fills.
struct DescriptorRead {
  const ReadDescriptorProcs* procs;
  PIReadDescriptor reader;
  const HandleProcs* handles;
  const StyleIo* io;
  StyleRecord working;
  MapLayer* layers;
  int32_t haveLayers;
};

int32_t Pinned(DescriptorRead* r, int32_t low, int32_t high, int32_t* value) {
  return r->procs->getPinnedIntegerProc(r->reader, low, high, value) == 0;
}
int32_t Integer(DescriptorRead* r, int32_t* value) { return r->procs->getIntegerProc(r->reader, value) == 0; }

void ReadReflectionName(DescriptorRead* r) {
  Str255 answer;
  std::memset(answer, 0, sizeof answer);
  if (r->procs->getStringProc(r->reader, &answer) != 0) return;
  char name[sizeof answer];
  DecodeDescriptorName(answer, name);
  int32_t missing = 0;
  MapImage* image = LoadNamedImage(*r->io, name, 0, &missing);
  if (image != nullptr) r->working.reflectionImage = image;
}

void ReadLayerText(DescriptorRead* r) {
  Handle text = nullptr;
  if (r->procs->getTextProc(r->reader, &text) != 0 || text == nullptr) return;
  const int32_t size = r->handles->getSizeProc(text);
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(r->handles->lockProc(text, 0));
  MapLayer* layers = nullptr;
  if (bytes != nullptr && size >= 0 && ReadMapLayerBlock(bytes, uint32_t(size), &layers, *r->io)) {
    FreeMapLayers(r->layers);
    r->layers = layers;
    r->haveLayers = 1;
  }
  r->handles->unlockProc(text);
  r->handles->disposeProc(text);
}

// Stores one keyed value into the working copy; unknown keys and values the
// host cannot give in the asked type are passed over.
void ReadValue(DescriptorRead* r, DescriptorKeyID key) {
  StyleRecord& s = r->working;
  int32_t v = 0;
  for (int32_t b = 0; b < 2; ++b) {
    BevelSetting& bevel = s.bevels[b];
    const DescriptorKeyID base = b == 0 ? ScriptKey::InnerSize : ScriptKey::OuterSize;
    if (key == base) {
      if (Pinned(r, 0, MaxBevelSize, &v)) bevel.size = uint16_t(v);
      return;
    }
    if (key == (b == 0 ? ScriptKey::InnerDepth : ScriptKey::OuterDepth)) {
      if (Pinned(r, 0, MaxBevelDepth, &v)) bevel.depth = uint16_t(v);
      return;
    }
    if (key == (b == 0 ? ScriptKey::InnerMiter : ScriptKey::OuterMiter)) {
      if (Pinned(r, 0, MaxMiterLimit, &v)) bevel.miterLimit = uint16_t(v);
      return;
    }
    if (key == (b == 0 ? ScriptKey::InnerFlags : ScriptKey::OuterFlags)) {
      if (Integer(r, &v)) bevel.bevelFlags = uint16_t(v);
      return;
    }
  }
  for (int32_t i = 0; i < 3; ++i) {
    LightSetting& light = s.lights[i];
    if (key == LightKey(i, 'C', 'L')) {
      if (Integer(r, &v)) SetLightColor(&light, uint32_t(v));
      return;
    }
    const char axes[3] = {'X', 'Y', 'Z'};
    for (int32_t axis = 0; axis < 3; ++axis) {
      if (key != LightKey(i, 'P', axes[axis])) continue;
      double position = 0;
      if (r->procs->getFloatProc(r->reader, &position) == 0) light.direction[axis] = float(position);
      return;
    }
  }
  for (int32_t e = 0; e < ElementCount; ++e) {
    MaterialSetting& m = s.materials[e];
    if (key == MaterialKey(e, 'C', 'L')) {
      if (Integer(r, &v)) SetMaterialColorWord(&m, uint32_t(v));
      return;
    }
    if (key == MaterialKey(e, 'D', 't')) {
      if (Integer(r, &v)) {
        m.shininess = uint8_t(v);
        m.shinStrength = uint8_t(uint32_t(v) >> 8);
        m.reflectivity = uint8_t(uint32_t(v) >> 16);
      }
      return;
    }
    if (key == MaterialKey(e, 'L', 'K')) {
      if (Pinned(r, -1, ElementCount - 1, &v)) s.materialLinks[e] = v;
      return;
    }
  }
  if (key == ScriptKey::Ambient) {
    if (Integer(r, &v)) {
      s.ambientColor[0] = uint8_t(uint32_t(v) >> 16);
      s.ambientColor[1] = uint8_t(uint32_t(v) >> 8);
      s.ambientColor[2] = uint8_t(v);
    }
  } else if (key == ScriptKey::ViewFlags) {
    if (Integer(r, &v)) s.viewFlags = uint8_t(v);
  } else if (key == ScriptKey::RenderMode) {
    if (Integer(r, &v)) s.renderMode = uint8_t(v);
  } else if (key == ScriptKey::Reflection) {
    ReadReflectionName(r);
  } else if (key == ScriptKey::MapLayers) {
    ReadLayerText(r);
  }
}

// Reads the descriptor into r->working. Returns the close answer; *rfMPOnly is
// set when every expected key but the reflection name was present.
OSErr ReadAllKeys(DescriptorRead* r, int32_t* onlyReflectionMissing) {
  DescriptorKeyID expected[ExpectedKeyCount + 1];
  ExpectedKeys(expected);
  int32_t seen[ExpectedKeyCount] = {0};
  DescriptorKeyID key = 0;
  DescriptorTypeID type = 0;
  int32_t flags = 0;
  while (r->procs->getKeyProc(r->reader, &key, &type, &flags)) {
    for (uint32_t k = 0; k < ExpectedKeyCount; ++k) seen[k] |= expected[k] == key;
    ReadValue(r, key);
  }
  *onlyReflectionMissing = 1;
  for (uint32_t k = 0; k < ExpectedKeyCount; ++k)
    if (!seen[k] && expected[k] != ScriptKey::Reflection) *onlyReflectionMissing = 0;
  return r->procs->closeReadDescriptorProc(r->reader);
}

struct WriteContext {
  const WriteDescriptorProcs* procs;
  PIWriteDescriptor writer;
  const HandleProcs* handles;
  Handle text;           // the map layer block being filled
  int32_t blockMissing;  // 1: the block's handle could not be had
};

void PutInteger(void* context, DescriptorKeyID key, int32_t value) {
  auto* c = static_cast<WriteContext*>(context);
  c->procs->putIntegerProc(c->writer, key, value);
}
void PutReal(void* context, DescriptorKeyID key, double value) {
  auto* c = static_cast<WriteContext*>(context);
  c->procs->putFloatProc(c->writer, key, &value);
}
// Names go in the suite's length-prefixed string form.
void PutName(void* context, DescriptorKeyID key, const char* text, uint32_t length) {
  auto* c = static_cast<WriteContext*>(context);
  Str255 pascal;
  pascal[0] = uint8_t(length);
  std::memcpy(pascal + 1, text, length);
  c->procs->putStringProc(c->writer, key, pascal);
}

// The block travels as text in a host handle made for the purpose and
// filled in place; without a handle the recording is incomplete.
uint8_t* BeginBlock(void* context, uint32_t size) {
  auto* c = static_cast<WriteContext*>(context);
  c->text = c->handles->newProc(int32_t(size));
  if (c->text == nullptr) {
    c->blockMissing = 1;
    return nullptr;
  }
  uint8_t* data = reinterpret_cast<uint8_t*>(c->handles->lockProc(c->text, 0));
  if (data == nullptr) {
    c->handles->disposeProc(c->text);
    c->text = nullptr;
    c->blockMissing = 1;
  }
  return data;
}

void EndBlock(void* context, DescriptorKeyID key, uint32_t) {
  auto* c = static_cast<WriteContext*>(context);
  c->handles->unlockProc(c->text);
  c->procs->putTextProc(c->writer, key, c->text);
  c->handles->disposeProc(c->text);
  c->text = nullptr;
}
}  // namespace

int32_t DescriptorProcsUsable(const PIDescriptorParameters* block) {
  return block != nullptr && block->descriptorParametersVersion == 0 && block->readDescriptorProcs != nullptr &&
         block->writeDescriptorProcs != nullptr && ReadProcsPresent(block->readDescriptorProcs) &&
         WriteProcsPresent(block->writeDescriptorProcs);
}

void DecodeDescriptorName(const uint8_t answer[256], char* out) {
  const uint32_t length = answer[0];
  // The length-prefixed form: as many non-zero bytes as its length says, then a zero.
  if (length > 0 && std::memchr(answer + 1, 0, length) == nullptr && (length == 255 || answer[length + 1] == 0)) {
    std::memcpy(out, answer + 1, length);
    out[length] = 0;
    return;
  }
  const void* end = std::memchr(answer, 0, 256);
  const uint32_t plain = end != nullptr ? uint32_t(static_cast<const uint8_t*>(end) - answer) : 255;
  std::memcpy(out, answer, plain);
  out[plain] = 0;
}

int32_t ReadScriptingParameters(PIDescriptorParameters* block, const HandleProcs* handles, StyleRecord* style,
                                const StyleIo& io) {
  style->showDialog = 1;
  if (!DescriptorProcsUsable(block)) return 0;
  DescriptorRead r{};
  r.procs = block->readDescriptorProcs;
  r.handles = handles;
  r.io = &io;
  r.working = *style;
  DescriptorKeyID expected[ExpectedKeyCount + 1];
  ExpectedKeys(expected);
  r.reader = r.procs->openReadDescriptorProc(block->descriptor, expected);
  int32_t complete = 0;
  if (r.reader != nullptr) {
    int32_t onlyReflectionMissing = 0;
    const OSErr closed = ReadAllKeys(&r, &onlyReflectionMissing);
    if (block->descriptor != nullptr) handles->disposeProc(block->descriptor);
    block->descriptor = nullptr;
    for (LightSetting& light : r.working.lights) DeriveHalfVector(&light);
    SanitiseMaterialLinks(r.working.materialLinks);
    // A recording without reflection image leaves out its name: still the whole style.
    complete = closed == 0 || (closed == HostErrMissingParameter && onlyReflectionMissing);
    if (closed != 0 && closed != HostErrMissingParameter) SetResult(closed);
    if (!RunFailed()) {
      if (r.haveLayers) {
        FreeMapLayers(style->mapLayers);
        r.working.mapLayers = r.layers;
        r.layers = nullptr;
      }
      *style = r.working;
    } else {
      complete = 0;
    }
    FreeMapLayers(r.layers);
  }
  style->showDialog = block->playInfo == PlayDisplay ? 1 : 0;
  return complete;
}

void EmitStyleValues(const StyleRecord& style, const StyleIo& io, const StyleValueSink& sink) {
  for (int32_t b = 0; b < 2; ++b) {
    const BevelSetting& bevel = style.bevels[b];
    sink.integer(sink.context, b == 0 ? ScriptKey::InnerSize : ScriptKey::OuterSize, bevel.size);
    sink.integer(sink.context, b == 0 ? ScriptKey::InnerDepth : ScriptKey::OuterDepth, bevel.depth);
    sink.integer(sink.context, b == 0 ? ScriptKey::InnerMiter : ScriptKey::OuterMiter, bevel.miterLimit);
    sink.integer(sink.context, b == 0 ? ScriptKey::InnerFlags : ScriptKey::OuterFlags, bevel.bevelFlags);
  }
  const char axes[3] = {'X', 'Y', 'Z'};
  for (int32_t i = 0; i < 3; ++i) {
    sink.integer(sink.context, LightKey(i, 'C', 'L'), int32_t(style.lights[i].color));
    for (int32_t axis = 0; axis < 3; ++axis)
      sink.real(sink.context, LightKey(i, 'P', axes[axis]), double(style.lights[i].direction[axis]));
  }
  sink.integer(sink.context, ScriptKey::Ambient,
               int32_t((uint32_t(style.ambientColor[0]) << 16) | (uint32_t(style.ambientColor[1]) << 8) |
                       style.ambientColor[2]));
  for (int32_t e = 0; e < ElementCount; ++e) {
    const MaterialSetting& m = style.materials[e];
    sink.integer(sink.context, MaterialKey(e, 'C', 'L'), int32_t(MaterialColorWord(m)));
    sink.integer(sink.context, MaterialKey(e, 'D', 't'),
                 int32_t(m.shininess | (uint32_t(m.shinStrength) << 8) | (uint32_t(m.reflectivity) << 16)));
    sink.integer(sink.context, MaterialKey(e, 'L', 'K'), style.materialLinks[e]);
  }
  sink.integer(sink.context, ScriptKey::ViewFlags, style.viewFlags);
  sink.integer(sink.context, ScriptKey::RenderMode, style.renderMode);
  if (style.reflectionImage != nullptr) {
    char name[MapImageNameCapacity];
    const uint32_t length = StoredImageName(io, style.reflectionImage->name, name, sizeof name, MaxStoredNameLength);
    if (length != 0) sink.name(sink.context, ScriptKey::Reflection, name, length);
  }
  uint32_t size = LayerCountSize, count = 0;
  for (const MapLayer* layer = style.mapLayers; layer != nullptr; layer = layer->next, ++count)
    size += MapLayerRecordSize(*layer, io, MaxKeptNameLength);
  uint8_t* bytes = sink.beginBlock(sink.context, size);
  if (bytes == nullptr) return;  // the sink has no room: the layers are left out
  ByteWriter out;
  out.bytes = bytes;
  out.capacity = size;
  out.U16(uint16_t(count));
  for (const MapLayer* layer = style.mapLayers; layer != nullptr; layer = layer->next)
    WriteMapLayerRecord(&out, style.mapLayers, *layer, io, MaxKeptNameLength);
  sink.endBlock(sink.context, ScriptKey::MapLayers, out.at);
}

int32_t WriteScriptingParameters(PIDescriptorParameters* block, const HandleProcs* handles, const StyleRecord& style,
                                 const StyleIo& io) {
  if (!DescriptorProcsUsable(block)) return 0;
  const WriteDescriptorProcs* procs = block->writeDescriptorProcs;
  PIWriteDescriptor writer = procs->openWriteDescriptorProc();
  if (writer == nullptr) return 0;
  WriteContext context{procs, writer, handles, nullptr, 0};
  EmitStyleValues(style, io, StyleValueSink{&context, PutInteger, PutReal, PutName, BeginBlock, EndBlock});
  PIDescriptorHandle recorded = nullptr;
  const OSErr closed = procs->closeWriteDescriptorProc(writer, &recorded);
  if (context.blockMissing) {
    // A recording without its map layers would replay another style: the
    // host keeps what it had and hears of the failure.
    if (recorded != nullptr) handles->disposeProc(recorded);
    SetResult(MemFullErr);
    return 0;
  }
  if (block->descriptor != nullptr) handles->disposeProc(block->descriptor);
  block->descriptor = recorded;
  block->recordInfo = RecordOptional;
  return closed == 0;
}

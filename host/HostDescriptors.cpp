// Scripting descriptors: the write procs record keyed values into a store,
// the read procs play a store back. A descriptor travels between runs as a
// host handle holding the store in the host's own serialised form, so that
// the module can dispose of it through handleProcs as the protocol says.
#include <cstring>

#include "host/HostState.h"

namespace {

constexpr uint32_t DescriptorMagic = FourCharCode("BFds");
constexpr uint32_t DescriptorFormatVersion = 1;
constexpr size_t MaxExpectedKeys = 1024;  // a key list longer than this has lost its terminator
constexpr size_t Str255Bytes = 256;
constexpr OSErr ParamErr = -50;
constexpr OSErr ErrWrongType = -1703;  // the value asked for has another type
constexpr OSErr ErrNoCurrentKey = -1708;

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
void Put64(std::vector<uint8_t>& out, uint64_t v) {
  for (int i = 0; i < 8; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

struct Reader {
  const uint8_t* bytes;
  size_t size;
  size_t at = 0;
  bool Get32(uint32_t* v) {
    if (size - at < 4) return false;
    *v = 0;
    for (int i = 0; i < 4; ++i) *v |= uint32_t(bytes[at + i]) << (8 * i);
    at += 4;
    return true;
  }
  bool Get64(uint64_t* v) {
    if (size - at < 8) return false;
    *v = 0;
    for (int i = 0; i < 8; ++i) *v |= uint64_t(bytes[at + i]) << (8 * i);
    at += 8;
    return true;
  }
};

// ---- Write side ------------------------------------------------------------------------------

WriteDescriptorState* FindWriter(FilterHost* host, PIWriteDescriptor wd) {
  auto* state = reinterpret_cast<WriteDescriptorState*>(wd);
  if (!host->writeDescriptors.count(state)) {
    NoteMisuse(host, "unknown write descriptor");
    return nullptr;
  }
  return state;
}

OSErr AddItem(PIWriteDescriptor wd, DescriptorItem item) {
  FilterHost* host = gActiveHost;
  if (!host) return ParamErr;
  WriteDescriptorState* state = FindWriter(host, wd);
  if (!state) return ParamErr;
  state->store.items.push_back(std::move(item));
  return HostNoErr;
}

DescriptorItem Item(DescriptorKeyID key, DescriptorTypeID type) {
  DescriptorItem item;
  item.key = key;
  item.type = type;
  return item;
}

// Bytes of a handle given by the module; false (and a misuse note) for an unknown handle.
bool HandleBytes(FilterHost* host, Handle handle, std::vector<uint8_t>* bytes) {
  HandleEntry* entry = FindHandle(host, handle);
  if (!entry) {
    NoteMisuse(host, "descriptor value from an unknown handle");
    return false;
  }
  bytes->assign(entry->data, entry->data + entry->size);
  return true;
}

PIWriteDescriptor PI_CALL OpenWrite(void) {
  FilterHost* host = gActiveHost;
  if (!host) return nullptr;
  auto* state = new WriteDescriptorState;
  host->writeDescriptors.insert(state);
  return reinterpret_cast<PIWriteDescriptor>(state);
}

OSErr PI_CALL CloseWrite(PIWriteDescriptor wd, PIDescriptorHandle* result) {
  FilterHost* host = gActiveHost;
  if (!host) return ParamErr;
  if (result) *result = nullptr;
  WriteDescriptorState* state = FindWriter(host, wd);
  if (!state) return ParamErr;
  host->report.descriptorWritten = true;
  host->report.descriptor = state->store;
  OSErr answer = HostNoErr;
  if (result) {
    const std::vector<uint8_t> bytes = EncodeDescriptor(state->store);
    Handle handle = HostNewHandle(host, int32_t(bytes.size()), true);
    if (handle) {
      std::memcpy(*handle, bytes.data(), bytes.size());
      *result = handle;
    } else {
      answer = HostMemFullErr;
    }
  }
  host->writeDescriptors.erase(state);
  delete state;
  return answer;
}

OSErr PI_CALL PutInteger(PIWriteDescriptor wd, DescriptorKeyID key, int32_t value) {
  DescriptorItem item = Item(key, TypeInteger);
  item.integer = value;
  return AddItem(wd, std::move(item));
}

OSErr PI_CALL PutFloat(PIWriteDescriptor wd, DescriptorKeyID key, const double* value) {
  if (!value) return ParamErr;
  DescriptorItem item = Item(key, TypeFloat);
  item.number = *value;
  return AddItem(wd, std::move(item));
}

OSErr PI_CALL PutUnitFloat(PIWriteDescriptor wd, DescriptorKeyID key, DescriptorUnitID unit, const double* value) {
  if (!value) return ParamErr;
  DescriptorItem item = Item(key, TypeUnitFloat);
  item.unit = unit;
  item.number = *value;
  return AddItem(wd, std::move(item));
}

OSErr PI_CALL PutBoolean(PIWriteDescriptor wd, DescriptorKeyID key, Boolean value) {
  DescriptorItem item = Item(key, TypeBoolean);
  item.integer = value ? 1 : 0;
  return AddItem(wd, std::move(item));
}

OSErr PutHandleItem(PIWriteDescriptor wd, DescriptorKeyID key, DescriptorTypeID type, uint32_t classId, Handle h) {
  FilterHost* host = gActiveHost;
  if (!host) return ParamErr;
  DescriptorItem item = Item(key, type);
  item.unit = classId;
  if (!HandleBytes(host, h, &item.bytes)) return ParamErr;
  return AddItem(wd, std::move(item));
}

OSErr PI_CALL PutText(PIWriteDescriptor wd, DescriptorKeyID key, Handle h) {
  return PutHandleItem(wd, key, TypeText, 0, h);
}

OSErr PI_CALL PutAlias(PIWriteDescriptor wd, DescriptorKeyID key, Handle h) {
  return PutHandleItem(wd, key, TypeAlias, 0, h);
}

OSErr PI_CALL PutEnumerated(PIWriteDescriptor wd, DescriptorKeyID key, DescriptorTypeID type, DescriptorEnumID value) {
  DescriptorItem item = Item(key, TypeEnumerated);
  item.unit = type;
  item.enumValue = value;
  return AddItem(wd, std::move(item));
}

OSErr PI_CALL PutClass(PIWriteDescriptor wd, DescriptorKeyID key, DescriptorClassID classId) {
  DescriptorItem item = Item(key, TypeClass);
  item.unit = classId;
  return AddItem(wd, std::move(item));
}

OSErr PI_CALL PutSimpleReference(PIWriteDescriptor wd, DescriptorKeyID key, const PIDescriptorSimpleReference*) {
  // The reference's contents are not needed by any test; the key and type are kept.
  return AddItem(wd, Item(key, TypeReference));
}

OSErr PI_CALL PutObject(PIWriteDescriptor wd, DescriptorKeyID key, DescriptorClassID classId, PIDescriptorHandle h) {
  return PutHandleItem(wd, key, TypeObject, classId, h);
}

OSErr PI_CALL PutCount(PIWriteDescriptor wd, DescriptorKeyID key, uint32_t count) {
  DescriptorItem item = Item(key, TypeCount);
  item.integer = int32_t(count);
  return AddItem(wd, std::move(item));
}

// The value is taken as the interface declares it: a Pascal string, length byte first.
OSErr PI_CALL PutString(PIWriteDescriptor wd, DescriptorKeyID key, const uint8_t* text) {
  if (!text) return ParamErr;
  DescriptorItem item = Item(key, TypeString);
  item.bytes.assign(text, text + 1 + text[0]);
  return AddItem(wd, std::move(item));
}

OSErr PI_CALL PutScopedClass(PIWriteDescriptor wd, DescriptorKeyID key, DescriptorClassID classId) {
  DescriptorItem item = Item(key, TypeScopedClass);
  item.unit = classId;
  return AddItem(wd, std::move(item));
}

OSErr PI_CALL PutScopedObject(PIWriteDescriptor wd, DescriptorKeyID key, DescriptorClassID classId,
                              PIDescriptorHandle h) {
  return PutHandleItem(wd, key, TypeScopedObject, classId, h);
}

// ---- Read side -------------------------------------------------------------------------------

ReadDescriptorState* FindReader(FilterHost* host, PIReadDescriptor rd) {
  auto* state = reinterpret_cast<ReadDescriptorState*>(rd);
  if (!host->readDescriptors.count(state)) {
    NoteMisuse(host, "unknown read descriptor");
    return nullptr;
  }
  return state;
}

// The item of the last GetKey, when it has one of the accepted types.
OSErr CurrentItem(PIReadDescriptor rd, DescriptorTypeID type1, DescriptorTypeID type2, const DescriptorItem** item) {
  FilterHost* host = gActiveHost;
  *item = nullptr;
  if (!host) return ParamErr;
  ReadDescriptorState* state = FindReader(host, rd);
  if (!state) return ParamErr;
  if (!state->current) return ErrNoCurrentKey;
  if (state->current->type != type1 && state->current->type != type2) return ErrWrongType;
  *item = state->current;
  return HostNoErr;
}

PIReadDescriptor PI_CALL OpenRead(PIDescriptorHandle descriptor, DescriptorKeyID* keys) {
  FilterHost* host = gActiveHost;
  if (!host) return nullptr;
  ++host->report.descriptorReads;
  host->report.descriptorKeysAsked.clear();
  if (keys)
    for (size_t i = 0; i < MaxExpectedKeys && keys[i] != 0; ++i) host->report.descriptorKeysAsked.push_back(keys[i]);
  if (!descriptor) return nullptr;
  HandleEntry* entry = FindHandle(host, descriptor);
  if (!entry) {
    NoteMisuse(host, "read descriptor opened on an unknown handle");
    return nullptr;
  }
  auto* state = new ReadDescriptorState;
  if (!DecodeDescriptor(reinterpret_cast<const uint8_t*>(entry->data), size_t(entry->size), &state->store)) {
    delete state;
    return nullptr;
  }
  state->expected = host->report.descriptorKeysAsked;
  host->readDescriptors.insert(state);
  return reinterpret_cast<PIReadDescriptor>(state);
}

// Answers -1715 when a key of the expected list was not in the descriptor.
OSErr PI_CALL CloseRead(PIReadDescriptor rd) {
  FilterHost* host = gActiveHost;
  if (!host) return ParamErr;
  ReadDescriptorState* state = FindReader(host, rd);
  if (!state) return ParamErr;
  OSErr answer = HostNoErr;
  for (DescriptorKeyID key : state->expected)
    if (!FindDescriptorItem(state->store, key)) answer = HostErrMissingParameter;
  host->readDescriptors.erase(state);
  delete state;
  return answer;
}

Boolean PI_CALL GetKey(PIReadDescriptor rd, DescriptorKeyID* key, DescriptorTypeID* type, int32_t* flags) {
  FilterHost* host = gActiveHost;
  if (!host) return 0;
  ReadDescriptorState* state = FindReader(host, rd);
  if (!state) return 0;
  if (state->next >= state->store.items.size()) {
    state->current = nullptr;
    return 0;
  }
  state->current = &state->store.items[state->next++];
  if (key) *key = state->current->key;
  if (type) *type = state->current->type;
  if (flags) *flags = 0;
  return 1;
}

OSErr PI_CALL GetInteger(PIReadDescriptor rd, int32_t* value) {
  const DescriptorItem* item;
  OSErr e = CurrentItem(rd, TypeInteger, TypeInteger, &item);
  if (e == HostNoErr && value) *value = item->integer;
  return e;
}

OSErr PI_CALL GetFloat(PIReadDescriptor rd, double* value) {
  const DescriptorItem* item;
  OSErr e = CurrentItem(rd, TypeFloat, TypeUnitFloat, &item);
  if (e == HostNoErr && value) *value = item->number;
  return e;
}

OSErr PI_CALL GetUnitFloat(PIReadDescriptor rd, DescriptorUnitID* unit, double* value) {
  const DescriptorItem* item;
  OSErr e = CurrentItem(rd, TypeUnitFloat, TypeFloat, &item);
  if (e != HostNoErr) return e;
  if (unit) *unit = item->unit;
  if (value) *value = item->number;
  return e;
}

OSErr PI_CALL GetBoolean(PIReadDescriptor rd, Boolean* value) {
  const DescriptorItem* item;
  OSErr e = CurrentItem(rd, TypeBoolean, TypeBoolean, &item);
  if (e == HostNoErr && value) *value = item->integer ? 1 : 0;
  return e;
}

OSErr GetHandleItem(PIReadDescriptor rd, DescriptorTypeID type1, DescriptorTypeID type2, Handle* value,
                    DescriptorClassID* classId) {
  FilterHost* host = gActiveHost;
  if (value) *value = nullptr;
  const DescriptorItem* item;
  OSErr e = CurrentItem(rd, type1, type2, &item);
  if (e != HostNoErr) return e;
  if (classId) *classId = item->unit;
  if (!value) return ParamErr;
  Handle handle = HostNewHandle(host, int32_t(item->bytes.size()), true);
  if (!handle) return HostMemFullErr;
  if (!item->bytes.empty()) std::memcpy(*handle, item->bytes.data(), item->bytes.size());
  *value = handle;
  return HostNoErr;
}

OSErr PI_CALL GetText(PIReadDescriptor rd, Handle* value) {
  return GetHandleItem(rd, TypeText, TypeText, value, nullptr);
}

OSErr PI_CALL GetAlias(PIReadDescriptor rd, Handle* value) {
  return GetHandleItem(rd, TypeAlias, TypeAlias, value, nullptr);
}

OSErr PI_CALL GetEnumerated(PIReadDescriptor rd, DescriptorEnumID* value) {
  const DescriptorItem* item;
  OSErr e = CurrentItem(rd, TypeEnumerated, TypeEnumerated, &item);
  if (e == HostNoErr && value) *value = item->enumValue;
  return e;
}

OSErr PI_CALL GetClass(PIReadDescriptor rd, DescriptorClassID* value) {
  const DescriptorItem* item;
  OSErr e = CurrentItem(rd, TypeClass, TypeScopedClass, &item);
  if (e == HostNoErr && value) *value = item->unit;
  return e;
}

OSErr PI_CALL GetSimpleReference(PIReadDescriptor, PIDescriptorSimpleReference*) { return ErrWrongType; }

OSErr PI_CALL GetObject(PIReadDescriptor rd, DescriptorClassID* classId, PIDescriptorHandle* value) {
  return GetHandleItem(rd, TypeObject, TypeScopedObject, value, classId);
}

OSErr PI_CALL GetCount(PIReadDescriptor rd, uint32_t* value) {
  const DescriptorItem* item;
  OSErr e = CurrentItem(rd, TypeCount, TypeCount, &item);
  if (e == HostNoErr && value) *value = uint32_t(item->integer);
  return e;
}

// Hands back the bytes that were put, at most a Str255's worth.
OSErr PI_CALL GetString(PIReadDescriptor rd, Str255* value) {
  const DescriptorItem* item;
  OSErr e = CurrentItem(rd, TypeString, TypeString, &item);
  if (e != HostNoErr) return e;
  if (!value) return ParamErr;
  std::memset(*value, 0, Str255Bytes);
  if (!item->bytes.empty())
    std::memcpy(*value, item->bytes.data(), item->bytes.size() < Str255Bytes ? item->bytes.size() : Str255Bytes);
  return HostNoErr;
}

OSErr PI_CALL GetPinnedInteger(PIReadDescriptor rd, int32_t min, int32_t max, int32_t* value) {
  const DescriptorItem* item;
  OSErr e = CurrentItem(rd, TypeInteger, TypeInteger, &item);
  if (e != HostNoErr || !value) return e;
  int32_t v = item->integer;
  if (v < min) v = min;
  if (v > max) v = max;
  *value = v;
  return HostNoErr;
}

double Pin(double v, const double* min, const double* max) {
  if (min && v < *min) v = *min;
  if (max && v > *max) v = *max;
  return v;
}

OSErr PI_CALL GetPinnedFloat(PIReadDescriptor rd, const double* min, const double* max, double* value) {
  const DescriptorItem* item;
  OSErr e = CurrentItem(rd, TypeFloat, TypeUnitFloat, &item);
  if (e == HostNoErr && value) *value = Pin(item->number, min, max);
  return e;
}

OSErr PI_CALL GetPinnedUnitFloat(PIReadDescriptor rd, const double* min, const double* max, DescriptorUnitID* unit,
                                 double* value) {
  const DescriptorItem* item;
  OSErr e = CurrentItem(rd, TypeUnitFloat, TypeFloat, &item);
  if (e != HostNoErr) return e;
  if (unit) *unit = item->unit;
  if (value) *value = Pin(item->number, min, max);
  return e;
}

}  // namespace

const DescriptorItem* FindDescriptorItem(const DescriptorStore& store, DescriptorKeyID key) {
  for (const DescriptorItem& item : store.items)
    if (item.key == key) return &item;
  return nullptr;
}

std::vector<uint8_t> EncodeDescriptor(const DescriptorStore& store) {
  constexpr size_t HeaderBytes = 12, ItemBytes = 36;
  size_t total = HeaderBytes;
  for (const DescriptorItem& item : store.items) total += ItemBytes + item.bytes.size();
  std::vector<uint8_t> out;
  out.reserve(total);
  Put32(out, DescriptorMagic);
  Put32(out, DescriptorFormatVersion);
  Put32(out, uint32_t(store.items.size()));
  for (const DescriptorItem& item : store.items) {
    Put32(out, item.key);
    Put32(out, item.type);
    Put32(out, uint32_t(item.integer));
    uint64_t bits;
    std::memcpy(&bits, &item.number, sizeof bits);
    Put64(out, bits);
    Put32(out, item.unit);
    Put32(out, item.enumValue);
    Put32(out, uint32_t(item.bytes.size()));
    out.insert(out.end(), item.bytes.begin(), item.bytes.end());
  }
  return out;
}

bool DecodeDescriptor(const uint8_t* bytes, size_t size, DescriptorStore* store) {
  store->items.clear();
  if (!bytes) return false;
  Reader r{bytes, size};
  uint32_t magic, version, count;
  if (!r.Get32(&magic) || !r.Get32(&version) || !r.Get32(&count)) return false;
  if (magic != DescriptorMagic || version != DescriptorFormatVersion) return false;
  for (uint32_t i = 0; i < count; ++i) {
    DescriptorItem item;
    uint32_t integer, length;
    uint64_t bits;
    if (!r.Get32(&item.key) || !r.Get32(&item.type) || !r.Get32(&integer) || !r.Get64(&bits) ||
        !r.Get32(&item.unit) || !r.Get32(&item.enumValue) || !r.Get32(&length))
      return false;
    if (size - r.at < length) return false;
    item.integer = int32_t(integer);
    std::memcpy(&item.number, &bits, sizeof bits);
    item.bytes.assign(bytes + r.at, bytes + r.at + length);
    r.at += length;
    store->items.push_back(std::move(item));
  }
  return r.at == size;
}

void FillDescriptorProcs(RecordSet& records) {
  WriteDescriptorProcs& w = records.writeProcs;
  w.writeDescriptorProcsVersion = 0;
  w.numWriteDescriptorProcs = 16;
  w.openWriteDescriptorProc = OpenWrite;
  w.closeWriteDescriptorProc = CloseWrite;
  w.putIntegerProc = PutInteger;
  w.putFloatProc = PutFloat;
  w.putUnitFloatProc = PutUnitFloat;
  w.putBooleanProc = PutBoolean;
  w.putTextProc = PutText;
  w.putAliasProc = PutAlias;
  w.putEnumeratedProc = PutEnumerated;
  w.putClassProc = PutClass;
  w.putSimpleReferenceProc = PutSimpleReference;
  w.putObjectProc = PutObject;
  w.putCountProc = PutCount;
  w.putStringProc = PutString;
  w.putScopedClassProc = PutScopedClass;
  w.putScopedObjectProc = PutScopedObject;

  ReadDescriptorProcs& r = records.readProcs;
  r.readDescriptorProcsVersion = 0;
  r.numReadDescriptorProcs = 18;
  r.openReadDescriptorProc = OpenRead;
  r.closeReadDescriptorProc = CloseRead;
  r.getKeyProc = GetKey;
  r.getIntegerProc = GetInteger;
  r.getFloatProc = GetFloat;
  r.getUnitFloatProc = GetUnitFloat;
  r.getBooleanProc = GetBoolean;
  r.getTextProc = GetText;
  r.getAliasProc = GetAlias;
  r.getEnumeratedProc = GetEnumerated;
  r.getClassProc = GetClass;
  r.getSimpleReferenceProc = GetSimpleReference;
  r.getObjectProc = GetObject;
  r.getCountProc = GetCount;
  r.getStringProc = GetString;
  r.getPinnedIntegerProc = GetPinnedInteger;
  r.getPinnedFloatProc = GetPinnedFloat;
  r.getPinnedUnitFloatProc = GetPinnedUnitFloat;
}

void ReleaseAllDescriptors(FilterHost* host) {
  for (WriteDescriptorState* s : host->writeDescriptors) delete s;
  host->writeDescriptors.clear();
  for (ReadDescriptorState* s : host->readDescriptors) delete s;
  host->readDescriptors.clear();
}

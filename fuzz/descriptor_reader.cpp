// Scripting descriptors with arbitrary keys, types and values, played to the
// style reader through our host's descriptor procedures. The input is a list
// of items: a key byte (one of the style's keys, or four raw bytes), a type
// byte and a value of that type. After any input the reader has left nothing
// allocated, misused no handle, kept its links safe and its sizes in range,
// and the style it read records and plays back to the same settings.
#include <cstdlib>
#include <cstring>

#include "core/WorkMemory.h"
#include "fuzz/support/FuzzMemory.h"
#include "style/SettingsFile.h"
#include "tests/support/DescriptorSupport.h"
#include "tests/support/StyleSupport.h"

namespace {
constexpr const char* StyleKeys[] = {"ieSZ", "ieDP", "ieML", "ieFL", "oeSZ", "oeDP", "oeML", "oeFL", "l1CL",
                                     "l1PX", "l1PY", "l1PZ", "l2CL", "l2PX", "l2PY", "l2PZ", "l3CL", "l3PX",
                                     "l3PY", "l3PZ", "amCL", "m1CL", "m1Dt", "m1LK", "m2CL", "m2Dt", "m2LK",
                                     "m3CL", "m3Dt", "m3LK", "flgS", "rndR", "rfMP", "maPS"};
constexpr size_t StyleKeyCount = sizeof StyleKeys / sizeof StyleKeys[0];
const DescriptorTypeID Types[] = {TypeInteger,   TypeFloat, TypeText,  TypeUnitFloat, TypeBoolean, TypeAlias,
                                  TypeEnumerated, TypeClass, TypeObject, TypeCount,    TypeString,  TypeReference};

struct Input {
  const uint8_t* data;
  size_t size, at = 0;
  uint32_t Take(size_t bytes) {
    uint32_t v = 0;
    for (size_t i = 0; i < bytes; ++i) v |= uint32_t(at < size ? data[at++] : 0) << (8 * i);
    return v;
  }
};

DescriptorStore StoreFrom(const uint8_t* data, size_t size) {
  DescriptorStore store;
  Input in{data, size};
  while (in.at < in.size && store.items.size() < 64) {
    DescriptorItem item;
    const uint32_t keyChoice = in.Take(1);
    if (keyChoice < 3 * StyleKeyCount) {
      const char* key = StyleKeys[keyChoice % StyleKeyCount];
      item.key = (uint32_t(uint8_t(key[0])) << 24) | (uint32_t(uint8_t(key[1])) << 16) |
                 (uint32_t(uint8_t(key[2])) << 8) | uint8_t(key[3]);
    } else {
      item.key = in.Take(4);
    }
    item.type = Types[in.Take(1) % (sizeof Types / sizeof Types[0])];
    item.integer = int32_t(in.Take(4));
    uint64_t bits = uint64_t(in.Take(4)) | (uint64_t(in.Take(4)) << 32);
    std::memcpy(&item.number, &bits, sizeof bits);
    item.unit = in.Take(4);
    if (item.type == TypeText || item.type == TypeString || item.type == TypeAlias || item.type == TypeObject) {
      size_t length = in.Take(2) % 1024;
      if (length > in.size - in.at) length = in.size - in.at;
      item.bytes.assign(in.data + in.at, in.data + in.at + length);
      in.at += length;
    }
    store.items.push_back(std::move(item));
  }
  return store;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

// Every stored setting, as a settings file holds it, plus the dialog state a descriptor carries.
std::string Settings(const StyleRecord& style, const StyleIo& io) {
  uint32_t size = 0;
  uint8_t* bytes = EncodeSettings(style, io, &size);
  Check(bytes != nullptr);
  std::string out(reinterpret_cast<char*>(bytes), size);
  FreeBlockOf(bytes);
  return out + char(style.viewFlags) + char(style.renderMode);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CountingMemory& memory = FuzzMemory();
  static DescriptorBench* bench = new DescriptorBench;  // one host for the whole run
  const long baseline = memory.liveBlocks;
  {
    TestStyleIo io;
    io.mapsFolder = "/nonexistent-bevelforge-maps/";
    const DescriptorStore store = StoreFrom(data, size);
    StyleRecord style{};
    SetDefaultStyle(&style);
    RunReport report;
    bench->Read(&store, int16_t(size % 3), &style, io.Io(), &report);
    Check(report.misuse == 0 && report.strayHandles == 0 && memory.result == 0);
    for (int32_t link : style.materialLinks) Check(link >= -1 && link <= 2);
    for (const BevelSetting& b : style.bevels)
      Check(b.size <= MaxBevelSize && b.depth <= MaxBevelDepth && b.miterLimit <= MaxMiterLimit);
    // Recorded and played back, the style keeps every setting.
    int32_t ok = 0;
    const DescriptorStore recorded = bench->Write(style, io.Io(), &ok);
    Check(ok == 1);
    StyleRecord again{};
    SetDefaultStyle(&again);
    Check(bench->Read(&recorded, PlayDontDisplay, &again, io.Io()) == 1);
    again.ambientReserved = style.ambientReserved;  // no key carries it
    Check(Settings(again, io.Io()) == Settings(style, io.Io()));
    ReleaseLayers(&again);
    ReleaseLayers(&style);
  }
  CheckNoLeak(baseline, "descriptor_reader");
  return 0;
}

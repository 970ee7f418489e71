// Settings files from arbitrary bytes: the reader must never read out of
// bounds, leak or leave a style that does not write and read back to itself.
// Image names resolve against a Maps folder that does not exist, so nothing
// outside is touched; found-or-not is decided by the name alone.
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/WorkMemory.h"
#include "fuzz/support/FuzzMemory.h"
#include "maps/MapLayer.h"
#include "style/SettingsFile.h"
#include "tests/support/StyleSupport.h"

namespace {
std::string Encoded(const StyleRecord& style, const StyleIo& io) {
  uint32_t size = 0;
  uint8_t* bytes = EncodeSettings(style, io, &size);
  if (bytes == nullptr) std::abort();
  std::string out(reinterpret_cast<char*>(bytes), size);
  FreeBlockOf(bytes);
  return out;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CountingMemory& memory = FuzzMemory();
  const long baseline = memory.liveBlocks;
  {
    TestStyleIo io;
    io.mapsFolder = "/nonexistent-bevelforge-maps/";
    StyleRecord style{};
    SetDefaultStyle(&style);
    const StyleRecord before = style;
    if (!ReadSettingsBytes(data, uint32_t(size), &style, io.Io())) {
      if (std::memcmp(&before, &style, sizeof style) != 0) std::abort();  // a failed read changes nothing
    } else {
      for (int32_t link : style.materialLinks)
        if (link < -1 || link > 2) std::abort();
      // Once written, a style reads back to exactly the same file.
      const std::string once = Encoded(style, io.Io());
      StyleRecord again{};
      SetDefaultStyle(&again);
      if (!ReadSettingsBytes(reinterpret_cast<const uint8_t*>(once.data()), uint32_t(once.size()), &again, io.Io()))
        std::abort();
      if (Encoded(again, io.Io()) != once) std::abort();
      FreeMapLayers(again.mapLayers);
      FreeMapLayers(style.mapLayers);
    }
  }
  CheckNoLeak(baseline, "settings_reader");
  return 0;
}

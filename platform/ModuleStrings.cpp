#include "platform/ModuleStrings.h"

#if defined(_WIN32)
#include <windows.h>

#include "platform/ModuleInstance.h"

int32_t LoadModuleString(uint32_t id, char* buffer, int32_t capacity) {
  if (buffer == nullptr || capacity <= 0) return 0;
  buffer[0] = 0;
  return LoadStringA(static_cast<HINSTANCE>(ModuleInstance()), id, buffer, capacity);
}

#else
#include <cstring>

#include "resources/ResourceIds.h"

namespace {
struct ModuleString {
  uint32_t id;
  const char* text;
};

// The string table of the Windows module's resources (resources/BevelForge.rc),
// for builds that carry no resources. Keep the two in step.
constexpr ModuleString ModuleStringTable[] = {
    {BF_STR_INVALID_PATH, "This path is invalid."},
    {BF_STR_NO_PATHS, "No paths available. Please create a path"},
    {BF_STR_NO_TARGET_PATH, "No target path available. Please select a path"},
    {BF_STR_LOCKED_TRANSPARENCY,
     "Bevel Forge requires editable transparency. Please unlock transparent pixels in the Layer palette"},
};
}  // namespace

int32_t LoadModuleString(uint32_t id, char* buffer, int32_t capacity) {
  if (buffer == nullptr || capacity <= 0) return 0;
  buffer[0] = 0;
  for (const ModuleString& entry : ModuleStringTable) {
    if (entry.id != id) continue;
    size_t length = std::strlen(entry.text);
    if (length > size_t(capacity - 1)) length = size_t(capacity - 1);
    std::memcpy(buffer, entry.text, length);
    buffer[length] = 0;
    return int32_t(length);
  }
  return 0;
}
#endif

#include "platform/ShellOpen.h"

#include <cstdio>
#include <cstring>

namespace {
constexpr size_t ShellTargetCapacity = 1024;  // bytes, terminator included; longer targets are cut
char gLastTarget[ShellTargetCapacity] = "";

void RememberTarget(const char* target) {
  std::snprintf(gLastTarget, sizeof gLastTarget, "%s", target);
}
}  // namespace

const char* LastShellOpen() { return gLastTarget; }

#if defined(_WIN32)
#include <windows.h>
#include <shellapi.h>

int32_t ShellOpen(const char* target) {
  if (target == nullptr || target[0] == 0) return 0;
  RememberTarget(target);
  // Values above 32 mean success.
  const INT_PTR outcome = reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", target, nullptr, nullptr, SW_SHOWNORMAL));
  return outcome > 32;
}

#else
int32_t ShellOpen(const char* target) {
  if (target == nullptr || target[0] == 0) return 0;
  RememberTarget(target);
  std::fprintf(stderr, "open: %s\n", target);
  return 1;
}
#endif

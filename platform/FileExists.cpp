#include "platform/FileExists.h"

#if defined(_WIN32)
#include <windows.h>

int32_t FileExists(const char* path) {
  if (path == nullptr || path[0] == 0) return 0;
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

#else
#include <sys/stat.h>

int32_t FileExists(const char* path) {
  if (path == nullptr || path[0] == 0) return 0;
  struct stat status;
  return stat(path, &status) == 0 && S_ISREG(status.st_mode);
}
#endif

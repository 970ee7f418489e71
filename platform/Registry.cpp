#include "platform/Registry.h"

#if defined(_WIN32)
#include <windows.h>

int32_t ReadRegistryNumber(const char* key, const char* name, uint32_t* value) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return 0;
  DWORD type = 0, number = 0, size = sizeof number;
  const LONG status = RegQueryValueExA(opened, name, nullptr, &type, reinterpret_cast<BYTE*>(&number), &size);
  RegCloseKey(opened);
  if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof number) return 0;
  *value = number;
  return 1;
}

int32_t WriteRegistryNumber(const char* key, const char* name, uint32_t value) {
  HKEY opened = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &opened,
                      nullptr) != ERROR_SUCCESS)
    return 0;
  const DWORD number = value;
  const LONG status = RegSetValueExA(opened, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
  RegCloseKey(opened);
  return status == ERROR_SUCCESS;
}

#else
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr size_t RegistryPathCapacity = 4096;  // bytes, terminator included
constexpr size_t RegistryLineCapacity = 1024;  // longest line kept, terminator included

// Fills `path` with the registry file's path. Returns 0 when there is no
// usable location (no override, no home folder, or a path too long).
int32_t RegistryPath(char* path) {
  const char* override = std::getenv(BF_REGISTRY_PATH_VARIABLE);
  int length;
  if (override != nullptr && override[0] != 0) {
    length = std::snprintf(path, RegistryPathCapacity, "%s", override);
  } else if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && config[0] != 0) {
    length = std::snprintf(path, RegistryPathCapacity, "%s/BevelForge/registry", config);
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != 0) {
    length = std::snprintf(path, RegistryPathCapacity, "%s/.config/BevelForge/registry", home);
  } else {
    return 0;
  }
  return length > 0 && size_t(length) < RegistryPathCapacity;
}

// Creates every missing folder on the way to the file `path`.
int32_t MakeParentFolders(const char* path) {
  char folder[RegistryPathCapacity];
  std::snprintf(folder, sizeof folder, "%s", path);
  for (char* cursor = folder + 1; *cursor != 0; ++cursor) {
    if (*cursor != '/') continue;
    *cursor = 0;
    if (mkdir(folder, 0777) != 0 && errno != EEXIST) return 0;
    *cursor = '/';
  }
  return 1;
}

// Cuts the line end off `line` in place.
void TrimLineEnd(char* line) {
  size_t length = std::strlen(line);
  while (length > 0 && (line[length - 1] == '\n' || line[length - 1] == '\r')) line[--length] = 0;
}

// 1 when `line` is the section header of `key`.
int32_t IsSectionOf(const char* line, const char* key) {
  const size_t keyLength = std::strlen(key);
  return line[0] == '[' && std::strncmp(line + 1, key, keyLength) == 0 && line[keyLength + 1] == ']' &&
         line[keyLength + 2] == 0;
}

// The value text when `line` is "<name>=<value>", else null.
const char* ValueOf(const char* line, const char* name) {
  const size_t nameLength = std::strlen(name);
  if (std::strncmp(line, name, nameLength) != 0 || line[nameLength] != '=') return nullptr;
  return line + nameLength + 1;
}

int32_t ParseNumber(const char* text, uint32_t* value) {
  if (text[0] < '0' || text[0] > '9') return 0;
  char* end = nullptr;
  errno = 0;
  const unsigned long long number = std::strtoull(text, &end, 10);
  if (errno != 0 || *end != 0 || number > 0xFFFFFFFFull) return 0;
  *value = uint32_t(number);
  return 1;
}
}  // namespace

int32_t ReadRegistryNumber(const char* key, const char* name, uint32_t* value) {
  char path[RegistryPathCapacity];
  if (key == nullptr || name == nullptr || !RegistryPath(path)) return 0;
  FILE* file = std::fopen(path, "r");
  if (file == nullptr) return 0;
  char line[RegistryLineCapacity];
  bool inSection = false;
  int32_t found = 0;
  while (!found && std::fgets(line, sizeof line, file) != nullptr) {
    TrimLineEnd(line);
    if (line[0] == '[') {
      inSection = IsSectionOf(line, key);
    } else if (inSection) {
      if (const char* text = ValueOf(line, name)) found = ParseNumber(text, value);
    }
  }
  std::fclose(file);
  return found;
}

int32_t WriteRegistryNumber(const char* key, const char* name, uint32_t value) {
  char path[RegistryPathCapacity];
  char temporary[RegistryPathCapacity + 8];
  if (key == nullptr || name == nullptr || !RegistryPath(path) || !MakeParentFolders(path)) return 0;
  std::snprintf(temporary, sizeof temporary, "%s.new", path);
  // The file is rewritten into a fresh copy that replaces it in one rename, so
  // a failure half-way leaves the old values intact.
  FILE* out = std::fopen(temporary, "w");
  if (out == nullptr) return 0;
  FILE* in = std::fopen(path, "r");
  char line[RegistryLineCapacity];
  bool inSection = false, written = false;
  while (in != nullptr && std::fgets(line, sizeof line, in) != nullptr) {
    TrimLineEnd(line);
    if (line[0] == '[') {
      if (inSection && !written) {
        std::fprintf(out, "%s=%u\n", name, value);
        written = true;
      }
      inSection = IsSectionOf(line, key);
    } else if (inSection && ValueOf(line, name) != nullptr) {
      // The value's old line; earlier duplicates are dropped with it.
      if (!written) std::fprintf(out, "%s=%u\n", name, value);
      written = true;
      continue;
    }
    std::fprintf(out, "%s\n", line);
  }
  if (in != nullptr) std::fclose(in);
  if (!written) {
    if (!inSection) std::fprintf(out, "[%s]\n", key);
    std::fprintf(out, "%s=%u\n", name, value);
  }
  const bool flushed = std::fflush(out) == 0;
  const bool closed = std::fclose(out) == 0;
  if (!flushed || !closed || std::rename(temporary, path) != 0) {
    std::remove(temporary);
    return 0;
  }
  return 1;
}
#endif

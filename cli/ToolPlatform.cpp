#include "cli/ToolPlatform.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <filesystem>
#else
#include <unistd.h>
#endif

#ifdef _WIN32
std::string ToolFolder() {
  char buffer[MAX_PATH + 1];
  const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::string();
  buffer[length] = 0;
  std::string path(buffer);
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool FileReadable(const std::string& path) { return _access(path.c_str(), 4) == 0; }

std::string MakePrivateFolder(std::string* problem) {
  std::error_code code;
  const std::filesystem::path base = std::filesystem::temp_directory_path(code);
  if (code) {
    *problem = "no temporary folder: " + code.message();
    return std::string();
  }
  // A name from the process id and a counter; create_directory fails on an
  // existing folder, so a name taken by another process is skipped.
  const unsigned long process = GetCurrentProcessId();
  for (unsigned attempt = 0; attempt < 1000; ++attempt) {
    const std::filesystem::path folder =
        base / ("bevelforge-" + std::to_string(process) + "-" + std::to_string(GetTickCount() + attempt));
    if (std::filesystem::create_directory(folder, code)) return folder.string();
  }
  *problem = "cannot create a folder in " + base.string() + (code ? ": " + code.message() : std::string());
  return std::string();
}

void UseBinaryConsole() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}
#else
std::string ToolFolder() {
  char buffer[4096];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return std::string();
  buffer[length] = 0;
  std::string path(buffer);
  return path.substr(0, path.rfind('/') + 1);
}

bool FileReadable(const std::string& path) { return access(path.c_str(), R_OK) == 0; }

std::string MakePrivateFolder(std::string* problem) {
  char folder[] = "/tmp/bevelforge-XXXXXX";
  if (mkdtemp(folder) == nullptr) {
    *problem = std::strerror(errno);
    return std::string();
  }
  return folder;
}

void UseBinaryConsole() {}
#endif

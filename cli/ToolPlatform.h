// The few operating-system services the bevelforge tool itself uses, for
// Linux and for Windows (the same tool runs the Windows module under wine).
#pragma once
#include <string>

// The module file name this platform's builds produce.
#ifdef _WIN32
constexpr const char* ModuleFileName = "BevelForge.8bf";
#else
constexpr const char* ModuleFileName = "BevelForge.so";
#endif

// The folder this executable lies in, with a trailing separator, or empty.
std::string ToolFolder();

// 1 when the file exists and can be opened for reading.
bool FileReadable(const std::string& path);

// Creates a new, empty folder of our own in the temporary folder and returns
// its path; empty with a message in *problem when none can be made.
std::string MakePrivateFolder(std::string* problem);

// Standard output and error write bytes as given (no line-end translation),
// so that the tool prints the same bytes on every platform.
void UseBinaryConsole();

#include "frame/RunStyleIo.h"

#include <cstdio>

#include "frame/RunGlobals.h"
#include "maps/ImageCache.h"
#include "maps/MapImage.h"
#include "platform/MessageBox.h"

namespace {
MapImage* LoadIntoRunCache(void*, const char* path, int32_t wantMax) {
  return LoadImage(&gRunGlobals->imageCache, path, wantMax);
}

void ReportError(void*, const char* text) { ShowMessageBox(text, "Error", MessageIconStop, ActiveWindow()); }
}  // namespace

StyleIo RunStyleIo(char (&folder)[MapsFolderCapacity]) {
  char moduleFolder[ModulePathCapacity];
  folder[0] = 0;
  if (ModuleFolder(moduleFolder, sizeof moduleFolder))
    std::snprintf(folder, sizeof folder, "%s%s%c", moduleFolder, MapsFolderName, PathSeparator);
  const RunGlobals* globals = gRunGlobals;
  return StyleIo{LoadIntoRunCache, ReportError, nullptr, folder, globals->effectLeft, globals->effectTop};
}

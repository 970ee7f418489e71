// The services the style readers and writers use during a run: images go to
// the run's image cache, messages to an "Error" box, names are resolved in the
// Maps folder next to the module.
#pragma once
#include <cstdint>

#include "platform/ModuleInstance.h"
#include "style/StyleIo.h"

#define MapsFolderName "Maps"

// Room for the module folder, "Maps" and a separator.
constexpr uint32_t MapsFolderCapacity = ModulePathCapacity + sizeof(MapsFolderName);

// Fills `folder` with the Maps folder (empty when the module folder is
// unknown) and returns the services for the current run, with the run's
// effect rectangle. `folder` must outlive the returned record.
StyleIo RunStyleIo(char (&folder)[MapsFolderCapacity]);

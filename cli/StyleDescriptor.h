// The style the tool hands to the module: a preset (or the default style)
// read in-process, the style options applied, and the result as the
// descriptor a host replays from a recorded action.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "host/FilterHost.h"

struct StyleRequest {
  std::string presetFile;  // empty: the default style
  std::string mapsFolder;  // the module's Maps folder, with a trailing '/'
  std::vector<std::pair<std::string, std::string>> options;  // style options in command-line order
};

// Builds the descriptor. Images the preset names are kept by name (the module
// loads them); `warnings` receives the reader's messages (missing images).
// Returns false with `error` when the preset cannot be read or an option is wrong.
bool BuildStyleDescriptor(const StyleRequest& request, DescriptorStore* store, std::vector<std::string>* warnings,
                          std::string* error);
// The preset as readable text (StyleOptions' DescribeStyle).
bool DescribePresetFile(const std::string& presetFile, std::string* text, std::string* error);

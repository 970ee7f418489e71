// The tool's map layer and reflection options: --map KIND:IMAGE[:options]
// and --reflection IMAGE, and how they reach the module: as the style of the
// private module copy's last-used settings file, with every picture a TIFF
// file the module reads as it would in a real host.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct MapRequest {
  uint32_t layerFlags = 0;      // kind, elements, invert, alpha options (MapLayer flags)
  uint32_t amount = 255;        // 0..255
  uint32_t mapping = 2;         // 0 Custom, 1 Fit, 2 Tile
  std::string image;            // file, or empty for the document ("background")
  bool haveSize = false, haveCenter = false;
  float width = 0, height = 0;  // Custom: placed size, pixels (default: the image's size)
  float angle = 0;              // Custom: radians
  float centerX = 0, centerY = 0;  // Custom: document pixels (default: the document's centre)
};

// Parses "KIND:IMAGE[:OPTION[,OPTION...]]" (see MapOptionsHelp). Returns 0
// with a message for unknown kinds and options and values out of range.
bool ParseMapRequest(const std::string& argument, MapRequest* request, std::string* error);

// The help text of the two options, for --help.
const char* MapOptionsHelp();

// Writes `settingsPath` (the private module copy's last-used settings file):
// the style already there (a copied preset) or the default style, with the
// reflection image and the map layers added. PNG pictures are converted to
// TIFF files in `folder`; TIFF files are named by their absolute path, so a
// missing or broken one is the module's to report. Returns 0 with a message.
bool WriteMapStyle(const std::string& settingsPath, const std::string& folder, const std::string& reflection,
                   const std::vector<MapRequest>& maps, int32_t documentWidth, int32_t documentHeight,
                   std::string* error);

// 1 when a message the module showed says that an image could not be used.
bool IsImageProblemMessage(const std::string& text);

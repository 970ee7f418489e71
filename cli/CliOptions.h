// The command line of the bevelforge tool: what it accepts and its help text.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "cli/MapOptions.h"
#include "cli/PictureTrace.h"

enum class ModeChoice : uint8_t {
  FromInput,  // the input image decides (gray -> grayscale, colour -> RGB); RGB for a blank canvas
  Gray,       // grayscale document
  Rgb,        // RGB document
  Duotone     // duotone document (one ink channel)
};

enum class TraceSource : uint8_t {
  None,       // the path comes from --svg and --text only
  Alpha,      // the input image's transparency
  Mask,       // a mask image's luma (times its alpha)
  Selection   // the --selection mask
};

enum class LayerChoice : uint8_t {
  FromInput,  // a layer when the input image has alpha or transparency is locked, else flat
  Layer,      // a layer with editable transparency
  Flat        // the background: no transparency
};

struct CliOptions {
  bool help = false;
  bool verbose = false;

  // Document source: an image file, or a blank canvas of a size.
  std::string inputImage;
  int32_t width = 0, height = 0;  // --size, pixels
  ModeChoice mode = ModeChoice::FromInput;
  LayerChoice layer = LayerChoice::FromInput;
  bool lockedTransparency = false;
  uint8_t fill[3] = {255, 255, 255};  // blank canvas colour (gray uses the first value)
  uint8_t opacity = 255;              // blank canvas transparency value on a layer

  // Target path: SVG shapes and/or text.
  std::string svgFile;
  bool svgActualSize = false;  // place the SVG at its declared size instead of fitting it
  std::string text;
  bool haveText = false;
  std::string fontFile;
  int32_t faceIndex = 0;
  double fontSize = 0;  // em size, pixels
  bool haveOrigin = false;
  double originX = 0, originY = 0;  // --at: left end of the first baseline, pixels
  bool kerning = true;

  std::string selectionMask;
  std::string presetFile;
  std::string reflectionImage;   // --reflection: a TIFF or PNG file
  std::vector<MapRequest> maps;  // --map, in order
  std::string savePresetFile;  // where to copy the settings file the module wrote for this run
  std::string printStyleFile;  // --print-style: describe this preset and stop
  // Style options (StyleOptions.h) in command-line order, each checked when parsed.
  std::vector<std::pair<std::string, std::string>> styleOptions;
  bool freshSettings = false;  // run a private copy of the module: no last-used style
  std::string modulePath;
  std::string outputImage;
  int32_t compression = 1;  // --compression: PNG level 0..9 (see ImageFile.h)
  std::string pathRecordsOut;  // also write the encoded path records here

  // Target path traced from a picture (added to --svg and --text subpaths).
  TraceSource traceSource = TraceSource::None;
  std::string traceMask;        // --path-from-mask FILE
  uint8_t traceThreshold = 128; // values at or above it are inside, 1..255
  TraceSettings trace;
  bool haveTraceSettings = false;
  std::string pathSvgOut;       // also write the target path as SVG here
  std::string dialogScript;     // --dialog-script: show the dialog and play this script on it
  std::string dialogShots;      // --dialog-shots: folder of the script's captures
};

// Parses argv[1..argc-1]. Returns 0 with a message for unknown options,
// missing or malformed values and contradictory combinations. --help alone
// is valid without the required options.
bool ParseCliArguments(int argc, const char* const* argv, CliOptions* options, std::string* error);

// The text printed by --help, the style options included.
std::string CliUsageText();

// Random styles and style comparisons shared by the settings file, the
// scripting descriptor and the command-line tests.
#pragma once
#include <random>
#include <string>
#include <vector>

#include "style/StyleIo.h"
#include "style/StyleRecord.h"

// A style with every stored field drawn at random within its range; material
// links random but free of cycles; no layers, no reflection.
StyleRecord RandomStyle(std::mt19937& rng);

// Appends `count` random layers to style->mapLayers; each layer not a
// Background layer takes an image from `images` (name-only images loaded into
// *cache) or none. Centres and sizes are whole pixels, so they survive the
// document-frame conversion exactly.
void AddRandomLayers(StyleRecord* style, std::mt19937& rng, int count, const std::vector<std::string>& images,
                     MapImage** cache);

// Style services for tests: name-only images (NameOnlyImages.h) in `cache`,
// messages collected. Declare it after the work memory it allocates from.
struct TestStyleIo {
  MapImage* cache = nullptr;
  std::vector<std::string> messages;
  std::string mapsFolder;
  int32_t effectLeft = 0, effectTop = 0;
  StyleIo Io();
  ~TestStyleIo();
};

// Every field a settings file stores, as text: compared with EXPECT_EQ, a
// mismatch shows which field differs. Layers are listed with their image's name.
std::string StoredFields(const StyleRecord& style);
// The dialog state a settings file does not hold.
std::string DialogFields(const StyleRecord& style);

// A settings file encoded field by field from the format's table, apart from
// the project's writer: image names are taken as they are (no Maps-folder
// rule), links as MappingLinkStored + position, centres as stored.
std::vector<uint8_t> HandEncodedSettings(const StyleRecord& style);

// Frees style->mapLayers and clears it (for files that cannot include the map
// layer header beside the host's).
void ReleaseLayers(StyleRecord* style);

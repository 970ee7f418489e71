#include "cli/StyleDescriptor.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "cli/StyleOptions.h"
#include "core/WorkMemory.h"
#include "maps/ImageCache.h"
#include "maps/MapImage.h"
#include "style/NameOnlyImages.h"
#include "style/ScriptingParameters.h"
#include "style/SettingsFile.h"

namespace {
// The tool's own work memory for the style readers: the C heap, bound for one use.
struct ToolMemory {
  int16_t result = 0;
  MapImage* images = nullptr;  // name-only images of the style
  std::vector<std::string>* warnings = nullptr;
  ToolMemory() {
    BindWorkMemory(WorkMemory{[](void*, uint32_t size) { return std::malloc(size == 0 ? 1 : size); },
                              [](void*, void* block) { std::free(block); }, nullptr, &result});
  }
  ~ToolMemory() {
    FreeImages(images);
    BindWorkMemory(WorkMemory{nullptr, nullptr, nullptr, nullptr});
  }
  StyleIo Io(const std::string& mapsFolder) {
    StyleIo io{};
    io.loadImage = [](void* context, const char* path, int32_t wantMax) {
      return LoadNameOnlyImage(&static_cast<ToolMemory*>(context)->images, path, wantMax);
    };
    io.report = [](void* context, const char* text) {
      auto* self = static_cast<ToolMemory*>(context);
      if (self->warnings != nullptr) self->warnings->push_back(text);
    };
    io.context = this;
    io.mapsFolder = mapsFolder.c_str();
    return io;
  }
};

bool ReadPreset(const std::string& file, const StyleIo& io, StyleRecord* style, std::string* error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    *error = file + ": cannot open the preset file";
    return false;
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!ReadSettingsBytes(bytes.data(), uint32_t(bytes.size()), style, io)) {
    *error = file + ": not a Bevel Forge settings file (or cut short before its map layers)";
    return false;
  }
  return true;
}

void AddItem(DescriptorStore* store, DescriptorKeyID key, DescriptorTypeID type, DescriptorItem item) {
  item.key = key;
  item.type = type;
  store->items.push_back(std::move(item));
}
}  // namespace

bool BuildStyleDescriptor(const StyleRequest& request, DescriptorStore* store, std::vector<std::string>* warnings,
                          std::string* error) {
  ToolMemory memory;
  memory.warnings = warnings;
  const StyleIo io = memory.Io(request.mapsFolder);
  StyleRecord style{};
  SetDefaultStyle(&style);
  bool ok = request.presetFile.empty() || ReadPreset(request.presetFile, io, &style, error);
  ok = ok && ApplyStyleOptions(request.options, &style, error);
  if (ok) {
    store->items.clear();
    StyleValueSink sink{store,
                        [](void* c, DescriptorKeyID key, int32_t value) {
                          DescriptorItem item;
                          item.integer = value;
                          AddItem(static_cast<DescriptorStore*>(c), key, TypeInteger, item);
                        },
                        [](void* c, DescriptorKeyID key, double value) {
                          DescriptorItem item;
                          item.number = value;
                          AddItem(static_cast<DescriptorStore*>(c), key, TypeFloat, item);
                        },
                        [](void* c, DescriptorKeyID key, const char* text, uint32_t length) {
                          DescriptorItem item;  // the suite's length-prefixed string
                          item.bytes.push_back(uint8_t(length));
                          item.bytes.insert(item.bytes.end(), text, text + length);
                          AddItem(static_cast<DescriptorStore*>(c), key, TypeString, item);
                        },
                        [](void* c, uint32_t size) {
                          DescriptorItem item;  // filled in place, then keyed
                          item.bytes.resize(size);
                          auto* s = static_cast<DescriptorStore*>(c);
                          s->items.push_back(std::move(item));
                          return s->items.back().bytes.data();
                        },
                        [](void* c, DescriptorKeyID key, uint32_t size) {
                          DescriptorItem& item = static_cast<DescriptorStore*>(c)->items.back();
                          item.key = key;
                          item.type = TypeText;
                          item.bytes.resize(size);
                        }};
    EmitStyleValues(style, io, sink);
  }
  ReleaseStyleLayers(&style);
  if (ok && memory.result != 0) {
    *error = "out of memory while preparing the style";
    ok = false;
  }
  return ok;
}

bool DescribePresetFile(const std::string& presetFile, std::string* text, std::string* error) {
  ToolMemory memory;
  std::vector<std::string> ignored;
  memory.warnings = &ignored;
  StyleRecord style{};
  SetDefaultStyle(&style);
  // Names are shown as stored: no Maps folder is looked into.
  if (!ReadPreset(presetFile, memory.Io(""), &style, error)) return false;
  *text = DescribeStyle(style);
  ReleaseStyleLayers(&style);
  return true;
}

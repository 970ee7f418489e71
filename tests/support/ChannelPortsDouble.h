// A ChannelPorts suite double over small 8-bit documents held in memory:
// reads (plain and nearest-pixel scaled), writes, and switches that make a
// port unreadable, unwritable or failing. Shared by the tests of the document
// output and of the preview image.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "interface/PluginInterface.h"

// One 8-bit channel of the document double: pixels over `bounds`.
struct FakeChannel {
  ReadChannelDesc desc{};
  VRect bounds{};
  std::vector<uint8_t> pixels;
  bool canRead = true, canWrite = true;
  bool readFails = false, writeFails = false;
  int reads = 0, writes = 0;

  FakeChannel(VRect b, uint8_t fill, bool targeted) : bounds(b) {
    pixels.assign(size_t(b.right - b.left) * (b.bottom - b.top), fill);
    desc.bounds = b;
    desc.depth = 8;
    desc.target = targeted ? 1 : 0;
    desc.maxVersion = 1;
    desc.port = reinterpret_cast<PIChannelPort>(this);
    desc.writePort = reinterpret_cast<PIChannelPort>(this);
  }
  uint8_t& At(int x, int y) {
    return pixels[size_t(y - bounds.top) * (bounds.right - bounds.left) + (x - bounds.left)];
  }
};

// The suite over FakeChannel ports: port pointers are the channels themselves.
PSChannelPortsSuite1 MakePorts();

// A document of width x height with `colors` target color channels.
struct FakeDocument {
  std::vector<std::unique_ptr<FakeChannel>> colors, alphas;
  std::unique_ptr<FakeChannel> transparency, layerMask, selection;
  ReadImageDocumentDesc desc{};
  PSChannelPortsSuite1 ports = MakePorts();

  FakeDocument(int32_t width, int32_t height, int colorCount, uint8_t fill) {
    for (int i = 0; i < colorCount; ++i)
      colors.push_back(std::make_unique<FakeChannel>(VRect{0, 0, height, width}, uint8_t(fill + i), true));
    Link();
  }
  void Link() {
    desc.targetCompositeChannels = Chain(colors);
    desc.alphaChannels = Chain(alphas);
    desc.targetTransparency = transparency ? &transparency->desc : nullptr;
    desc.targetLayerMask = layerMask ? &layerMask->desc : nullptr;
    desc.selection = selection ? &selection->desc : nullptr;
  }
  static ReadChannelDesc* Chain(std::vector<std::unique_ptr<FakeChannel>>& list) {
    for (size_t i = 0; i < list.size(); ++i) list[i]->desc.next = i + 1 < list.size() ? &list[i + 1]->desc : nullptr;
    return list.empty() ? nullptr : &list[0]->desc;
  }
};

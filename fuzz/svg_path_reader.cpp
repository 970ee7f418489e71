// libFuzzer target: the tool's SVG reader on arbitrary text. A path it reads
// that the tool would hand to the filter (one that encodes as path records) is
// written out as SVG again and must read back.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cli/PathSvgWriter.h"
#include "cli/SvgPath.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte picks how the SVG is placed: its own size, fitted to a
  // document, or at its declared size in one.
  SvgReadOptions options;
  if (data[0] % 3 != 0) {
    options.documentWidth = 640;
    options.documentHeight = 480;
    options.fitToDocument = data[0] % 3 == 1;
  }
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  SvgReadResult result;
  std::string error;
  if (!ReadSvgText(text, options, result, error)) return 0;
  std::vector<uint8_t> records;
  if (!EncodePathRecords(result.path, result.documentWidth, result.documentHeight, PathEncodeOptions(), records, error))
    return 0;
  SvgReadOptions again;
  again.documentWidth = result.documentWidth;
  again.documentHeight = result.documentHeight;
  SvgReadResult reread;
  if (!ReadSvgText(PathSvgText(result.path, result.documentWidth, result.documentHeight), again, reread, error))
    std::abort();  // our own SVG must always read back
  return 0;
}

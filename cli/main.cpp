// bevelforge: runs the filter module headless on a document built from the
// command line and writes the filtered layer as PNG. See CliUsageText().
#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/ImageFile.h"
#include "cli/PathModel.h"
#include "cli/PathSvgWriter.h"
#include "cli/PictureTrace.h"
#include "cli/StyleDescriptor.h"
#include "cli/SvgPath.h"
#include "cli/TextPath.h"
#include "cli/ToolPlatform.h"
#include "core/WorkMemory.h"
#include "host/DialogPlayer.h"
#include "host/DialogScript.h"
#include "host/FilterHost.h"

namespace {

enum ExitStatus {
  ExitSuccess = 0,      // the filter ran and the output was written
  ExitFilterFailed = 1, // the filter ended with a non-zero result
  ExitUsage = 2,        // the command line is wrong
  ExitFileProblem = 3   // an input, the output or the module could not be used
};

constexpr const char* LastUsedSettingsName = "default.dfs";
constexpr const char* MapsFolderName = "Maps";
constexpr const char SettingsMagic[] = "BFF";  // first bytes of every settings file
constexpr uint8_t OpaqueWhite = 255;

// Luma weights in 1/1000: 299, 587, 114, rounded to nearest.
uint8_t Luma(uint8_t red, uint8_t green, uint8_t blue) {
  return static_cast<uint8_t>((299u * red + 587u * green + 114u * blue + 500u) / 1000u);
}

void Fail(const std::string& message) { std::fprintf(stderr, "bevelforge: %s\n", message.c_str()); }

int16_t ImageModeOf(ModeChoice mode) {
  switch (mode) {
    case ModeChoice::Gray: return ModeGrayScale;
    case ModeChoice::Duotone: return ModeDuotone;
    default: return ModeRGBColor;
  }
}

LayerKind LayerKindOf(const CliOptions& o, bool imageHasAlpha) {
  if (o.lockedTransparency) return LayerKind::LockedTransparency;
  if (o.layer == LayerChoice::Layer) return LayerKind::EditableTransparency;
  if (o.layer == LayerChoice::Flat) return LayerKind::Flat;
  return imageHasAlpha ? LayerKind::EditableTransparency : LayerKind::Flat;
}

HostDocument BlankDocument(const CliOptions& o, int32_t width, int32_t height) {
  const ModeChoice mode = o.mode == ModeChoice::FromInput ? ModeChoice::Rgb : o.mode;
  HostDocument document = MakeDocument(width, height, ImageModeOf(mode), LayerKindOf(o, false), o.fill[0]);
  if (mode == ModeChoice::Rgb)
    for (size_t c = 0; c < 3; ++c) std::fill(document.colorChannels[c].pixels.begin(), document.colorChannels[c].pixels.end(), o.fill[c]);
  if (document.hasTransparency) std::fill(document.transparency.pixels.begin(), document.transparency.pixels.end(), o.opacity);
  return document;
}

// With `alpha`, the image's alpha plane is kept there (left empty when the
// image has none).
bool ImageDocument(const CliOptions& o, HostDocument* document, std::vector<uint8_t>* alpha) {
  RasterImage image;
  std::string error;
  if (!ReadImageFile(o.inputImage, image, error)) {
    Fail(error);
    return false;
  }
  const ModeChoice mode =
      o.mode != ModeChoice::FromInput ? o.mode : (image.colorChannels == 1 ? ModeChoice::Gray : ModeChoice::Rgb);
  const LayerKind layer = LayerKindOf(o, image.hasAlpha);
  *document = MakeDocument(image.width, image.height, ImageModeOf(mode), layer, 0);
  const bool flatten = image.hasAlpha && layer == LayerKind::Flat;
  if (flatten) std::printf("note: the image's alpha is composited over white (the document is flat)\n");
  const size_t pixels = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
  const int32_t step = image.SamplesPerPixel();
  for (size_t i = 0; i < pixels; ++i) {
    const uint8_t* sample = &image.samples[i * static_cast<size_t>(step)];
    uint8_t color[3];
    for (int c = 0; c < 3; ++c) color[c] = sample[image.colorChannels == 1 ? 0 : c];
    if (flatten) {
      const uint32_t alpha = sample[image.colorChannels];
      for (uint8_t& value : color) value = static_cast<uint8_t>((value * alpha + OpaqueWhite * (255 - alpha) + 127) / 255);
    }
    if (mode == ModeChoice::Rgb) {
      for (int c = 0; c < 3; ++c) document->colorChannels[static_cast<size_t>(c)].pixels[i] = color[c];
    } else {
      document->colorChannels[0].pixels[i] = image.colorChannels == 1 ? color[0] : Luma(color[0], color[1], color[2]);
    }
    if (document->hasTransparency) document->transparency.pixels[i] = image.hasAlpha ? sample[image.colorChannels] : OpaqueWhite;
  }
  if (alpha != nullptr && image.hasAlpha) *alpha = ExtractPlane(image, image.colorChannels);
  return true;
}

bool AddSelection(const CliOptions& o, HostDocument* document) {
  RasterImage mask;
  std::string error;
  if (!ReadImageFile(o.selectionMask, mask, error)) {
    Fail(error);
    return false;
  }
  if (mask.width != document->width || mask.height != document->height) {
    Fail(o.selectionMask + ": the selection mask is " + std::to_string(mask.width) + " x " + std::to_string(mask.height) +
         " pixels; the document is " + std::to_string(document->width) + " x " + std::to_string(document->height));
    return false;
  }
  document->hasSelection = true;
  document->selection = MakeChannel(*document, "Selection", 0);
  const size_t pixels = document->selection.pixels.size();
  for (size_t i = 0; i < pixels; ++i) {
    const uint8_t* sample = &mask.samples[i * static_cast<size_t>(mask.SamplesPerPixel())];
    document->selection.pixels[i] = mask.colorChannels == 1 ? sample[0] : Luma(sample[0], sample[1], sample[2]);
  }
  return true;
}

std::string SizeText(int32_t width, int32_t height) { return std::to_string(width) + " x " + std::to_string(height); }

// A mask's values: luma times alpha, so transparent parts count as black.
std::vector<uint8_t> MaskValues(const RasterImage& mask) {
  std::vector<uint8_t> values = ExtractPlane(mask, 0);
  const size_t step = static_cast<size_t>(mask.SamplesPerPixel());
  const uint8_t* sample = mask.samples.data();
  if (mask.colorChannels == 3)
    for (size_t i = 0; i < values.size(); ++i, sample += step) values[i] = Luma(sample[0], sample[1], sample[2]);
  if (mask.hasAlpha) {
    const std::vector<uint8_t> alpha = ExtractPlane(mask, mask.colorChannels);
    for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint8_t>((values[i] * alpha[i] + 127u) / 255u);
  }
  return values;
}

double Seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Traces the picture that --path-from-alpha, --path-from-mask or
// --path-from-selection names and appends its outlines to `path`.
bool AddTracedPath(const CliOptions& o, const HostDocument& document, const std::vector<uint8_t>& imageAlpha,
                   const RasterImage& mask, PathModel* path) {
  const uint8_t* plane = nullptr;
  std::vector<uint8_t> maskValues;
  std::string source;
  switch (o.traceSource) {
    case TraceSource::Alpha:
      source = "--path-from-alpha: " + o.inputImage;
      if (imageAlpha.empty()) {
        Fail(source + ": the image has no transparency (alpha channel) to trace");
        return false;
      }
      plane = imageAlpha.data();
      break;
    case TraceSource::Mask:
      source = "--path-from-mask: " + o.traceMask;
      if (mask.width != document.width || mask.height != document.height) {
        Fail(source + ": the mask is " + SizeText(mask.width, mask.height) + " pixels; the document is " +
             SizeText(document.width, document.height));
        return false;
      }
      maskValues = MaskValues(mask);
      plane = maskValues.data();
      break;
    case TraceSource::Selection:
    case TraceSource::None:
      source = "--path-from-selection: " + o.selectionMask;
      plane = document.selection.pixels.data();
      break;
  }
  int16_t result = 0;
  BindWorkMemory(HeapWorkMemory(&result));
  const double start = Seconds();
  TraceReport report;
  std::string error;
  const bool traced = TracePlane(plane, document.width, document.height, o.traceThreshold, o.trace, *path, &report, error);
  const double seconds = Seconds() - start;
  BindWorkMemory(WorkMemory{nullptr, nullptr, nullptr, nullptr});
  if (!traced) {
    Fail(source + ": " + error);
    return false;
  }
  if (o.verbose)
    std::printf("traced %d outline(s) and %d hole(s) from %lld of %s pixels in %.1f ms\n", report.outlines, report.holes,
                static_cast<long long>(report.insidePixels), SizeText(document.width, document.height).c_str(),
                seconds * 1e3);
  return true;
}

void PrintWarnings(const std::vector<std::string>& warnings, const std::string& source) {
  for (const std::string& warning : warnings) std::fprintf(stderr, "warning: %s: %s\n", source.c_str(), warning.c_str());
}

bool AddText(const CliOptions& o, int32_t width, int32_t height, PathModel* path) {
  TextPathOptions options;
  options.fontFile = o.fontFile;
  options.faceIndex = o.faceIndex;
  options.pixelSize = o.fontSize;
  options.originX = o.originX;
  options.originY = o.originY;
  options.kerning = o.kerning;
  TextPathResult result;
  std::string error;
  if (!SetTextPath(o.text, options, result, error)) {
    Fail(error);
    return false;
  }
  PrintWarnings(result.warnings, "--text");
  double x0, y0, x1, y1;
  if (!PathControlBounds(result.path, &x0, &y0, &x1, &y1)) {
    std::fprintf(stderr, "warning: --text: the text has no visible glyphs\n");
    return true;
  }
  if (!o.haveOrigin) TranslatePath(result.path, (width - (x1 - x0)) / 2 - x0, (height - (y1 - y0)) / 2 - y0);
  for (Subpath& subpath : result.path.subpaths) path->subpaths.push_back(std::move(subpath));
  return true;
}

// The filter refuses paths with a point whose whole-pixel part lies beyond
// PathReachPixels from the document's origin, or that lies PathReachSizes
// document sizes or more away; say so before its terse message.
constexpr double PathReachPixels = 30000;
constexpr double PathReachSizes = 16;

void WarnAboutReach(const PathModel& path, int32_t width, int32_t height) {
  double x0, y0, x1, y1;
  if (!PathControlBounds(path, &x0, &y0, &x1, &y1)) return;
  const bool tooFar = x0 < -std::min(PathReachPixels, PathReachSizes * width) ||
                      y0 < -std::min(PathReachPixels, PathReachSizes * height) ||
                      x1 >= std::min(PathReachPixels + 1, PathReachSizes * width) ||
                      y1 >= std::min(PathReachPixels + 1, PathReachSizes * height);
  if (tooFar)
    std::fprintf(stderr,
                 "warning: the path reaches (%.1f, %.1f)-(%.1f, %.1f); the filter accepts points up to "
                 "16 document sizes and 30000 pixels from the origin\n",
                 x0, y0, x1, y1);
}

bool WriteBytes(const std::string& fileName, const std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(fileName.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

std::string DefaultModulePath() {
  std::vector<std::string> candidates;
  const std::string folder = ToolFolder();
  if (!folder.empty()) {
    candidates.push_back(folder + "../frame/" + ModuleFileName);
    candidates.push_back(folder + ModuleFileName);
  }
#ifdef BF_BUILT_MODULE
  candidates.push_back(BF_BUILT_MODULE);
#endif
  for (const std::string& candidate : candidates)
    if (FileReadable(candidate)) return candidate;
  return std::string();
}

bool IsSettingsFile(const std::string& fileName, std::string* problem) {
  FILE* file = std::fopen(fileName.c_str(), "rb");
  if (file == nullptr) {
    *problem = "cannot open the preset file (" + std::string(std::strerror(errno)) + ")";
    return false;
  }
  char magic[sizeof SettingsMagic - 1] = {};
  const size_t got = std::fread(magic, 1, sizeof magic, file);
  std::fclose(file);
  if (got != sizeof magic || std::memcmp(magic, SettingsMagic, sizeof magic) != 0) {
    *problem = "not a Bevel Forge settings file";
    return false;
  }
  return true;
}

const char* ResultMeaning(int16_t code) {
  switch (code) {
    case HostNoErr: return "success";
    case PathInvalidCode: return "the path is invalid";
    case NoPathsCode: return "the document has no paths";
    case NoTargetPathCode: return "no target path";
    case LockedTransparencyCode: return "the layer's transparency is locked";
    case HostMemFullErr: return "out of memory";
    case HostUserCanceledErr: return "cancelled";
    case HostFilterBadParameters: return "bad parameters";
    case HostFilterBadMode: return "unsupported image mode";
    case HostErrPlugInHostInsufficient: return "the host lacks a required service";
    case HostErrReportString: return "error reported as text";
    default: return "error";
  }
}

bool WriteLayer(const HostDocument& document, const std::string& fileName, int32_t compression) {
  const int32_t channels = document.imageMode == ModeRGBColor ? 3 : 1;
  const uint8_t* planes[4] = {};
  for (int32_t c = 0; c < channels; ++c) planes[c] = document.colorChannels[static_cast<size_t>(c)].pixels.data();
  if (document.hasTransparency) planes[channels] = document.transparency.pixels.data();
  std::string error;
  if (!WritePngPlanes(fileName, document.width, document.height, channels, document.hasTransparency, planes, error,
                      compression)) {
    Fail(error);
    return false;
  }
  return true;
}

// A private folder for a staged module copy, removed when the run is over.
struct StageFolder {
  std::string path;
  ~StageFolder() {
    if (path.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};

// The dialog script of --dialog-script, read and checked before any work.
// Natively the module has no dialog to show, so the option is refused there.
bool ReadDialogScriptOption(const std::string& file, DialogScript* script) {
#if defined(_WIN32)
  std::string error;
  if (ReadDialogScriptFile(file, script, &error)) return true;
  Fail(error);
  return false;
#else
  Fail("--dialog-script: the dialog exists in the Windows modules only (run the Windows bevelforge.exe)");
  return false;
#endif
}

int Run(const CliOptions& o) {
  std::string error;
  DialogScript dialogScript;
  const bool playDialog = !o.dialogScript.empty();
  if (playDialog && !ReadDialogScriptOption(o.dialogScript, &dialogScript)) return ExitUsage;
  // The document and its size.
  HostDocument document;
  SvgReadResult svg;
  const bool haveSvg = !o.svgFile.empty();
  const bool tracing = o.traceSource != TraceSource::None;
  std::vector<uint8_t> imageAlpha;
  RasterImage traceMask;
  if (!o.traceMask.empty()) {
    std::string error;
    if (!ReadImageFile(o.traceMask, traceMask, error)) {
      Fail(error);
      return ExitFileProblem;
    }
  }
  if (!o.inputImage.empty()) {
    if (!ImageDocument(o, &document, &imageAlpha)) return ExitFileProblem;
  } else if (o.width > 0) {
    document = BlankDocument(o, o.width, o.height);
  } else if (!o.traceMask.empty()) {
    document = BlankDocument(o, traceMask.width, traceMask.height);
  }
  if (haveSvg) {
    SvgReadOptions options;
    options.documentWidth = document.width;
    options.documentHeight = document.height;
    options.fitToDocument = !o.svgActualSize;
    std::string error;
    if (!ReadSvgFile(o.svgFile, options, svg, error)) {
      Fail(error);
      return ExitFileProblem;
    }
    PrintWarnings(svg.warnings, o.svgFile);
    if (document.width == 0) document = BlankDocument(o, svg.documentWidth, svg.documentHeight);
  }
  if (!o.selectionMask.empty() && !AddSelection(o, &document)) return ExitFileProblem;

  // The target path.
  if (haveSvg || o.haveText || tracing) {
    PathModel path = svg.path;
    if (o.haveText && !AddText(o, document.width, document.height, &path)) return ExitFileProblem;
    if (tracing && !AddTracedPath(o, document, imageAlpha, traceMask, &path)) return ExitFileProblem;
    if (path.subpaths.empty()) std::fprintf(stderr, "warning: the path has no subpaths\n");
    WarnAboutReach(path, document.width, document.height);
    std::vector<uint8_t> records;
    std::string error;
    if (!EncodePathRecords(path, document.width, document.height, PathEncodeOptions(), records, error)) {
      Fail(error);
      return ExitFileProblem;
    }
    if (!o.pathRecordsOut.empty() && !WriteBytes(o.pathRecordsOut, records)) {
      Fail(o.pathRecordsOut + ": cannot write the path records");
      return ExitFileProblem;
    }
    if (!o.pathSvgOut.empty() && !WritePathSvgFile(o.pathSvgOut, path, document.width, document.height, error)) {
      Fail(error);
      return ExitFileProblem;
    }
    document.paths.push_back(records);
    document.targetPath = 0;
  } else if (!o.pathSvgOut.empty()) {
    std::fprintf(stderr, "warning: --path-out-svg: the document has no path; nothing written\n");
  }

  // The module, staged into a private folder for --preset and --fresh.
  std::string modulePath = o.modulePath.empty() ? DefaultModulePath() : o.modulePath;
  if (modulePath.empty()) {
    Fail("cannot find the filter module " + std::string(ModuleFileName) + " next to this tool; give --module PATH");
    return ExitFileProblem;
  }
  StageFolder stage;
  const std::filesystem::path moduleFolder = std::filesystem::path(modulePath).parent_path();
  const bool withMaps = !o.maps.empty() || !o.reflectionImage.empty();
  std::string stagedSettings;  // the private copy's last-used settings file, when maps were added to it
  if (!o.presetFile.empty() || o.freshSettings || !o.savePresetFile.empty() || withMaps) {
    std::string problem;
    if (!o.presetFile.empty() && !IsSettingsFile(o.presetFile, &problem)) {
      Fail(o.presetFile + ": " + problem);
      return ExitFileProblem;
    }
    const std::string folder = MakePrivateFolder(&problem);
    if (folder.empty()) {
      Fail("cannot create a private folder for the module: " + problem);
      return ExitFileProblem;
    }
    stage.path = folder;
    // Map images that a style names without a folder lie in the module's
    // Maps folder; the private copy sees the same one.
    const std::filesystem::path mapsFolder = std::filesystem::path(modulePath).parent_path() / MapsFolderName;
    std::error_code ignored;
    if (std::filesystem::is_directory(mapsFolder, ignored))
      std::filesystem::create_directory_symlink(std::filesystem::absolute(mapsFolder, ignored),
                                                std::filesystem::path(folder) / MapsFolderName, ignored);
    modulePath = StageModuleCopy(modulePath.c_str(), folder.c_str(), &problem);
    if (modulePath.empty()) {
      Fail(problem);
      return ExitFileProblem;
    }
    std::error_code code;
    if (!o.presetFile.empty() &&
        !std::filesystem::copy_file(o.presetFile, std::filesystem::path(folder) / LastUsedSettingsName, code)) {
      Fail(o.presetFile + ": cannot copy the preset: " + code.message());
      return ExitFileProblem;
    }
    // Only saving a preset: the run starts from the last-used style as it would in place.
    if (o.presetFile.empty() && !o.freshSettings)
      std::filesystem::copy_file(moduleFolder / LastUsedSettingsName, std::filesystem::path(folder) / LastUsedSettingsName,
                                 code);
    // Map layers and the reflection image join the staged style; style options start from it.
    if (withMaps) {
      stagedSettings = (std::filesystem::path(folder) / LastUsedSettingsName).string();
      if (!WriteMapStyle(stagedSettings, folder, o.reflectionImage, o.maps, document.width, document.height,
                         &problem)) {
        Fail(problem);
        return ExitFileProblem;
      }
    }
  }

  // Style options reach the module as a recorded action that the host replays.
  DescriptorStore style;
  if (!o.styleOptions.empty()) {
    StyleRequest request{withMaps ? stagedSettings : o.presetFile, (moduleFolder / MapsFolderName).string() + "/",
                         o.styleOptions};
    std::vector<std::string> warnings;
    if (!BuildStyleDescriptor(request, &style, &warnings, &error)) {
      Fail(error);
      return ExitFileProblem;
    }
    for (const std::string& warning : warnings) std::fprintf(stderr, "warning: %s\n", warning.c_str());
  }

  FilterHost* host = OpenFilterHost(modulePath.c_str(), &error);
  if (host == nullptr) {
    Fail(error);
    return ExitFileProblem;
  }
  SetHostDocument(host, std::move(document));
  // Without a script the dialog is answered with OK, unseen; with one the
  // module shows it (0) and the player drives it.
  HostOptionsOf(host).dialogAnswer = playDialog ? 0 : 1;
  if (!o.styleOptions.empty()) {
    HostOptionsOf(host).hasPlayback = true;
    HostOptionsOf(host).playback = style;
    HostOptionsOf(host).playInfo = playDialog ? PlayDisplay : PlayDontDisplay;
  }
  if (playDialog) StartDialogScript(dialogScript, o.dialogShots.empty() ? std::string(".") : o.dialogShots);
  const RunReport report = RunMenu(host);
  bool dialogProblem = false;
  if (playDialog) {
    const DialogPlayback playback = StopDialogScript();
    for (const std::string& problem : playback.problems) std::fprintf(stderr, "dialog: %s\n", problem.c_str());
    for (const std::string& shot : playback.shots) std::printf("shot: %s\n", shot.c_str());
    dialogProblem = !playback.problems.empty() || playback.dialogsShown.empty();
    if (playback.dialogsShown.empty()) std::fprintf(stderr, "dialog: the filter showed no dialog\n");
  }

  for (const MessageRecord& message : report.messages) {
    std::printf("message [%s]", message.fromAlertSuite ? "alert" : MessageIconName(message.icon));
    if (message.hasCaption) std::printf(" %s", message.caption.c_str());
    std::printf(": %s\n", message.text.c_str());
  }
  std::printf("result: %d (%s)\n", report.finalResult, ResultMeaning(report.finalResult));
  if (o.verbose) {
    std::printf("calls:");
    for (const SelectorCall& call : report.calls) std::printf(" %d=%d", call.selector, call.result);
    std::printf("\nhost: %s\n", SummarizeReport(report).c_str());
  }
  if (report.misuse != 0 || report.strayHandles != 0 || !report.suitesBalanced) {
    std::fprintf(stderr, "warning: the host saw %lld misuse(s), %lld stray handle(s)%s\n",
                 static_cast<long long>(report.misuse), static_cast<long long>(report.strayHandles),
                 report.suitesBalanced ? "" : ", unbalanced suites");
    for (const std::string& note : report.misuseNotes) std::fprintf(stderr, "  %s\n", note.c_str());
  }

  int status = ExitSuccess;
  bool imageProblem = false;
  for (const MessageRecord& message : report.messages) imageProblem = imageProblem || IsImageProblemMessage(message.text);
  if (dialogProblem) {
    Fail("the dialog script could not be played as written; nothing written");
    status = ExitFilterFailed;
  } else if (imageProblem && report.finalResult == HostNoErr) {
    Fail("an image could not be used (see the module's message); nothing written");
    status = ExitFileProblem;
  } else if (report.finalResult != HostNoErr) {
    Fail("the filter ended with result " + std::to_string(report.finalResult) + " (" +
         ResultMeaning(report.finalResult) + "); nothing written");
    status = ExitFilterFailed;
  } else if (!WriteLayer(HostDocumentOf(host), o.outputImage, o.compression)) {
    status = ExitFileProblem;
  } else {
    if (o.verbose) std::printf("wrote %s\n", o.outputImage.c_str());
    std::error_code code;
    if (!o.savePresetFile.empty() &&
        !std::filesystem::copy_file(std::filesystem::path(modulePath).parent_path() / LastUsedSettingsName,
                                    o.savePresetFile, std::filesystem::copy_options::overwrite_existing, code)) {
      Fail(o.savePresetFile + ": cannot save the preset: " + code.message());
      status = ExitFileProblem;
    }
  }
  CloseFilterHost(host);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  UseBinaryConsole();
  CliOptions options;
  std::string error;
  if (!ParseCliArguments(argc, argv, &options, &error)) {
    Fail(error);
    std::fprintf(stderr, "Try 'bevelforge --help'.\n");
    return ExitUsage;
  }
  if (options.help) {
    std::fputs(CliUsageText().c_str(), stdout);
    return ExitSuccess;
  }
  if (!options.printStyleFile.empty()) {
    std::string text;
    if (!DescribePresetFile(options.printStyleFile, &text, &error)) {
      Fail(error);
      return ExitFileProblem;
    }
    std::fputs(text.c_str(), stdout);
    return ExitSuccess;
  }
  return Run(options);
}

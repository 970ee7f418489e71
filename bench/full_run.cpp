// Whole filter runs through our own host: the menu run (parameters, prepare,
// start with the dialog answered at once, finish) of the built module on a
// 4000 x 2000 RGB document whose target path is a line of text, as a user
// would run it. Also times the host's share: a run that the module ends at
// once (no target path) and the document checksum every host report takes.
//
//   bench_full_run [repetitions] [font file]
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/PathModel.h"
#include "cli/TextPath.h"
#include "host/FilterHost.h"

namespace {
constexpr int32_t DocWidth = 4000, DocHeight = 2000;  // pixels
constexpr uint8_t DocFill = 128;
constexpr double TextWidth = 3600;  // pixels the line of text is scaled to
constexpr double TrialFontSize = 300;
constexpr const char* Text = "Bevel Forge 1234";
constexpr const char* DefaultFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

double Clock(clockid_t clock) {
  timespec t;
  clock_gettime(clock, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}
double Now() { return Clock(CLOCK_MONOTONIC); }
// The process's CPU time: on a loaded machine the steadier figure.
double CpuNow() { return Clock(CLOCK_PROCESS_CPUTIME_ID); }

struct Timing {
  std::vector<double> seconds, cpuSeconds;
  static double MedianOf(std::vector<double> s) {
    std::sort(s.begin(), s.end());
    return s.empty() ? 0 : s[s.size() / 2];
  }
  double Median() const { return MedianOf(seconds); }
  double CpuMedian() const { return MedianOf(cpuSeconds); }
  double Min() const { return seconds.empty() ? 0 : *std::min_element(seconds.begin(), seconds.end()); }
};

// The text set centred in the document, TextWidth pixels wide.
bool TextPath(const char* font, std::vector<uint8_t>* records, double* fontSize) {
  TextPathOptions options;
  options.fontFile = font;
  options.pixelSize = TrialFontSize;
  TextPathResult trial;
  std::string error;
  if (!SetTextPath(Text, options, trial, error)) {
    std::fprintf(stderr, "bench_full_run: %s\n", error.c_str());
    return false;
  }
  double x0, y0, x1, y1;
  if (!PathControlBounds(trial.path, &x0, &y0, &x1, &y1)) return false;
  options.pixelSize = TrialFontSize * TextWidth / (x1 - x0);
  TextPathResult result;
  if (!SetTextPath(Text, options, result, error) || !PathControlBounds(result.path, &x0, &y0, &x1, &y1)) return false;
  TranslatePath(result.path, (DocWidth - (x1 - x0)) / 2 - x0, (DocHeight - (y1 - y0)) / 2 - y0);
  *fontSize = options.pixelSize;
  return EncodePathRecords(result.path, DocWidth, DocHeight, PathEncodeOptions(), *records, error);
}

// Pixels whose color or transparency differ, and their bounding box.
struct Changes {
  int64_t pixels = 0;
  int32_t left = DocWidth, top = DocHeight, right = 0, bottom = 0;
};

Changes Compare(const HostDocument& before, const HostDocument& after) {
  Changes c;
  for (int32_t y = 0; y < DocHeight; ++y) {
    for (int32_t x = 0; x < DocWidth; ++x) {
      const size_t i = size_t(y) * DocWidth + size_t(x);
      bool changed = before.hasTransparency && before.transparency.pixels[i] != after.transparency.pixels[i];
      for (size_t k = 0; k < before.colorChannels.size(); ++k)
        changed = changed || before.colorChannels[k].pixels[i] != after.colorChannels[k].pixels[i];
      if (!changed) continue;
      ++c.pixels;
      c.left = std::min(c.left, x);
      c.top = std::min(c.top, y);
      c.right = std::max(c.right, x + 1);
      c.bottom = std::max(c.bottom, y + 1);
    }
  }
  return c;
}

// Times `repetitions` menu runs, each on a fresh copy of the document.
bool TimeRuns(FilterHost* host, const HostDocument& document, int repetitions, Timing* timing, RunReport* last) {
  for (int i = 0; i < repetitions; ++i) {
    SetHostDocument(host, document);
    const double start = Now(), cpuStart = CpuNow();
    *last = RunMenu(host);
    timing->seconds.push_back(Now() - start);
    timing->cpuSeconds.push_back(CpuNow() - cpuStart);
    if (last->finalResult != 0 && document.targetPath >= 0) {
      std::fprintf(stderr, "bench_full_run: the run ended with %d\n", last->finalResult);
      return false;
    }
  }
  return true;
}

int Bench(int repetitions, const char* font) {
  std::vector<uint8_t> records;
  double fontSize = 0;
  if (!TextPath(font, &records, &fontSize)) return 1;

  const std::string folder = "/tmp/bench_full_run-" + std::to_string(getpid());
  std::string error;
  const std::string module = StageModuleCopy(BF_MODULE_PATH, folder.c_str(), &error);
  if (module.empty()) {
    std::fprintf(stderr, "bench_full_run: %s\n", error.c_str());
    return 1;
  }
  FilterHost* host = OpenFilterHost(module.c_str(), &error);
  if (host == nullptr) {
    std::fprintf(stderr, "bench_full_run: %s\n", error.c_str());
    return 1;
  }
  // Timed as a production host runs the module: new blocks are not filled
  // (the test host's 0xA5 fill is timed once more below, as the host's share).
  HostOptionsOf(host).poisonBlocks = false;

  std::printf("document %d x %d RGB (%lld pixels), text \"%s\" at %.0f px em (%zu path records), %d runs each\n",
              DocWidth, DocHeight, static_cast<long long>(DocWidth) * DocHeight, Text, fontSize, records.size() / 26,
              repetitions);
  int status = 0;
  for (const LayerKind layer : {LayerKind::Flat, LayerKind::EditableTransparency}) {
    HostDocument document = MakeDocument(DocWidth, DocHeight, ModeRGBColor, layer, DocFill);
    document.paths.push_back(records);
    document.targetPath = 0;
    Timing runs;
    RunReport report;
    if (!TimeRuns(host, document, repetitions, &runs, &report)) {
      status = 1;
      break;
    }
    const Changes changes = Compare(document, HostDocumentOf(host));
    const int64_t boxPixels = int64_t(changes.right - changes.left) * (changes.bottom - changes.top);
    const char* name = layer == LayerKind::Flat ? "flat background" : "layer";
    std::printf("%-16s menu run: median %7.1f ms (CPU %7.1f ms), min %7.1f ms; %lld pixels changed in a %d x %d box (%lld pixels): "
                "%.1f ns per changed pixel; peak work memory %.1f MB, %lld allocations\n",
                name, runs.Median() * 1e3, runs.CpuMedian() * 1e3, runs.Min() * 1e3, static_cast<long long>(changes.pixels),
                changes.right - changes.left, changes.bottom - changes.top, static_cast<long long>(boxPixels),
                runs.Median() * 1e9 / double(std::max<int64_t>(changes.pixels, 1)),
                double(report.peakSuiteBufferBytes) / 1e6, static_cast<long long>(report.countedAllocations));

    // What the test host's filling of new blocks adds to a run.
    HostOptionsOf(host).poisonBlocks = true;
    Timing filled;
    TimeRuns(host, document, repetitions, &filled, &report);
    HostOptionsOf(host).poisonBlocks = false;
    std::printf("%-16s host share: filling new blocks with 0xA5, as in the tests: median %7.1f ms (+%.1f ms)\n", name,
                filled.Median() * 1e3, (filled.Median() - runs.Median()) * 1e3);

    // The host's share: the same run ended by the module before any work.
    document.targetPath = -1;
    Timing empty;
    TimeRuns(host, document, repetitions, &empty, &report);
    const double checksumStart = Now();
    const uint64_t checksum = DocumentChecksum(document);
    const double checksumSeconds = Now() - checksumStart;
    std::printf("%-16s host share: run without a target path %7.1f ms (CPU %.1f ms; of it the document checksum %.1f ms, %016llx)\n",
                name, empty.Median() * 1e3, empty.CpuMedian() * 1e3, checksumSeconds * 1e3, static_cast<unsigned long long>(checksum));
  }
  CloseFilterHost(host);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return status;
}
}  // namespace

int main(int argc, char** argv) {
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const char* font = argc > 2 ? argv[2] : DefaultFont;
  return Bench(repetitions, font);
}

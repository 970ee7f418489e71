// The bevelforge tool run as a user runs it, against the module of this build.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "cli/ImageFile.h"
#include "cli/SvgPath.h"
#include "tests/support/StyleSupport.h"

#if defined(BF_TOOL_PATH) && defined(BF_MODULE_PATH)

namespace {

struct ToolRun {
  int status = -1;
  std::string output;  // stdout and stderr together
};

// Runs the tool with `arguments` (already shell-quoted where needed) in `folder`.
ToolRun RunTool(const std::string& folder, const std::string& arguments, bool withModule = true) {
  const std::string command = "cd '" + folder + "' && '" BF_TOOL_PATH "' " + arguments +
                              (withModule ? " --fresh --module '" BF_MODULE_PATH "'" : "") + " 2>&1";
  ToolRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, got);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

class Tool : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/bf_cli_toolXXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    folder_ = name;
    FILE* svg = std::fopen((folder_ + "/shapes.svg").c_str(), "w");
    ASSERT_NE(svg, nullptr);
    std::fputs(R"~(<svg xmlns="http://www.w3.org/2000/svg" width="120" height="90">
  <g transform="translate(5 5)"><rect x="10" y="10" width="60" height="40" rx="8"/>
  <circle cx="80" cy="55" r="20"/></g></svg>)~",
               svg);
    std::fclose(svg);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  std::string folder_;
};

const char* FontFile() {
  const char* path = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
  return access(path, R_OK) == 0 ? path : nullptr;
}

}  // namespace

TEST_F(Tool, HelpAndUsageErrors) {
  ToolRun run = RunTool(folder_, "--help", false);
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.output.find("Usage: bevelforge"), std::string::npos);
  run = RunTool(folder_, "--size 10x10", false);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("--out"), std::string::npos) << run.output;
}

TEST_F(Tool, SvgShapesOnAFlatDocumentGiveAnRgbPng) {
  const ToolRun run = RunTool(folder_, "--svg shapes.svg --out out.png --path-out path.bin");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("result: 0"), std::string::npos) << run.output;
  RasterImage image;
  std::string error;
  ASSERT_TRUE(ReadPngFile(folder_ + "/out.png", image, error)) << error;
  EXPECT_EQ(image.width, 120);  // the SVG's size
  EXPECT_EQ(image.height, 90);
  EXPECT_EQ(image.colorChannels, 3);
  EXPECT_FALSE(image.hasAlpha);
  // Two leading fill rule records, then one length record per shape.
  const auto bytes = std::filesystem::file_size(folder_ + "/path.bin");
  EXPECT_EQ(bytes % 26, 0u);
  EXPECT_EQ(bytes / 26, 2u + 1 + 8 + 1 + 4);
}

TEST_F(Tool, TextOnAGrayLayerKeepsItsTransparency) {
  const char* font = FontFile();
  if (font == nullptr) GTEST_SKIP() << "no font";
  const ToolRun run = RunTool(folder_, std::string("--size 200x80 --mode gray --layer --opacity 200 --text Ab --font '") +
                                           font + "' --font-size 60 --out out.png");
  ASSERT_EQ(run.status, 0) << run.output;
  RasterImage image;
  std::string error;
  ASSERT_TRUE(ReadPngFile(folder_ + "/out.png", image, error)) << error;
  EXPECT_EQ(image.colorChannels, 1);
  ASSERT_TRUE(image.hasAlpha);
  EXPECT_EQ(image.Pixel(0, 0)[1], 200);  // far from the text nothing changes
}

TEST_F(Tool, FilterRefusalsAreReportedWithTheirMessage) {
  ToolRun run = RunTool(folder_, "--size 50x50 --out out.png");
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("message ["), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("result: 3"), std::string::npos) << run.output;
  EXPECT_FALSE(std::filesystem::exists(folder_ + "/out.png"));

  run = RunTool(folder_, "--svg shapes.svg --locked-transparency --out out.png");
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("result: 5"), std::string::npos) << run.output;
}

TEST_F(Tool, UnusableFilesEndWithStatusThree) {
  FILE* junk = std::fopen((folder_ + "/junk.png").c_str(), "w");
  ASSERT_NE(junk, nullptr);
  std::fputs("\x89PNG\r\n\x1a\nnot really", junk);
  std::fclose(junk);
  ToolRun run = RunTool(folder_, "junk.png --out out.png");
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.output.find("junk.png"), std::string::npos) << run.output;
  run = RunTool(folder_, "--svg missing.svg --out out.png");
  EXPECT_EQ(run.status, 3);
  run = RunTool(folder_, "--svg shapes.svg --selection shapes.svg --out out.png");
  EXPECT_EQ(run.status, 3);
  run = RunTool(folder_, "--svg shapes.svg --preset shapes.svg --out out.png");
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.output.find("not a Bevel Forge settings file"), std::string::npos) << run.output;
  run = RunTool(folder_, "--svg shapes.svg --out out.png --module /nonexistent/module.so", false);
  EXPECT_EQ(run.status, 3);
  run = RunTool(folder_, "--svg shapes.svg --out /nonexistent/dir/out.png");
  EXPECT_EQ(run.status, 3) << run.output;
}

// A gray + alpha picture, white and opaque inside [x0, x1) x [y0, y1), black
// and transparent elsewhere.
void WriteSquarePicture(const std::string& path, int32_t width, int32_t height, int32_t x0, int32_t y0, int32_t x1,
                        int32_t y1) {
  RasterImage image;
  ASSERT_TRUE(MakeImage(width, height, 1, true, 0, image));
  for (int32_t y = y0; y < y1; ++y)
    for (int32_t x = x0; x < x1; ++x) image.Pixel(x, y)[0] = image.Pixel(x, y)[1] = 255;
  std::string error;
  ASSERT_TRUE(WritePngFile(path, image, error)) << error;
}

TEST_F(Tool, TracedSquareBevelsLikeTheSameSquareGivenAsSvg) {
  constexpr int32_t W = 140, H = 110, X0 = 30, Y0 = 25, X1 = 100, Y1 = 85;
  WriteSquarePicture(folder_ + "/square.png", W, H, X0, Y0, X1, Y1);
  FILE* svg = std::fopen((folder_ + "/square.svg").c_str(), "w");
  ASSERT_NE(svg, nullptr);
  std::fprintf(svg, "<svg xmlns='http://www.w3.org/2000/svg' width='%d' height='%d'><rect x='%d' y='%d' width='%d' height='%d'/></svg>",
               W, H, X0, Y0, X1 - X0, Y1 - Y0);
  std::fclose(svg);
  ToolRun run = RunTool(folder_, "square.png --layer --path-from-alpha --path-out-svg traced.svg --out traced.png");
  ASSERT_EQ(run.status, 0) << run.output;
  run = RunTool(folder_, "square.png --layer --svg square.svg --out drawn.png");
  ASSERT_EQ(run.status, 0) << run.output;
  RasterImage traced, drawn;
  std::string error;
  ASSERT_TRUE(ReadPngFile(folder_ + "/traced.png", traced, error)) << error;
  ASSERT_TRUE(ReadPngFile(folder_ + "/drawn.png", drawn, error)) << error;
  ASSERT_EQ(traced.samples.size(), drawn.samples.size());
  // Only pixels within one pixel of the square's outline may differ.
  int64_t changed = 0;
  for (int32_t y = 0; y < H; ++y) {
    for (int32_t x = 0; x < W; ++x) {
      const bool rim = x >= X0 - 1 && x <= X1 && y >= Y0 - 1 && y <= Y1 &&
                       !(x > X0 && x < X1 - 1 && y > Y0 && y < Y1 - 1);
      for (int32_t c = 0; c < traced.SamplesPerPixel(); ++c) {
        const int difference = std::abs(traced.Pixel(x, y)[c] - drawn.Pixel(x, y)[c]);
        if (!rim) EXPECT_LE(difference, 1) << x << "," << y << " channel " << c;
      }
      changed += traced.Pixel(x, y)[1] != 0;
    }
  }
  EXPECT_GT(changed, (X1 - X0) * (Y1 - Y0));  // the bevel was drawn (its outer band included)
  // The traced SVG is the square itself.
  SvgReadResult read;
  SvgReadOptions options;
  ASSERT_TRUE(ReadSvgFile(folder_ + "/traced.svg", options, read, error)) << error;
  EXPECT_EQ(read.documentWidth, W);
  ASSERT_EQ(read.path.subpaths.size(), 1u);
  double x0, y0, x1, y1;
  ASSERT_TRUE(PathControlBounds(read.path, &x0, &y0, &x1, &y1));
  EXPECT_EQ(x0, X0);
  EXPECT_EQ(y0, Y0);
  EXPECT_EQ(x1, X1);
  EXPECT_EQ(y1, Y1);
}

TEST_F(Tool, BadPicturesToTraceAreRefusedAndNothingIsWritten) {
  WriteSquarePicture(folder_ + "/empty.png", 50, 40, 0, 0, 0, 0);
  WriteSquarePicture(folder_ + "/small.png", 30, 40, 5, 5, 20, 20);
  WriteSquarePicture(folder_ + "/square.png", 50, 40, 5, 5, 20, 20);
  RasterImage opaque;
  std::string error;
  ASSERT_TRUE(MakeImage(50, 40, 3, false, 255, opaque));
  ASSERT_TRUE(WritePngFile(folder_ + "/opaque.png", opaque, error)) << error;
  const char* outputs = " --out out.png --path-out-svg path.svg --path-out path.bin";
  struct Case {
    std::string arguments;
    int status;
    const char* message;
  } cases[] = {
      {"empty.png --layer --path-from-alpha", 3, "no pixel reaches the threshold 128"},
      {"opaque.png --path-from-alpha", 3, "has no transparency"},
      {"square.png --path-from-mask small.png", 3, "the mask is 30 x 40 pixels; the document is 50 x 40"},
      {"square.png --path-from-alpha 300", 2, "a threshold of 1..255"},
      {"square.png --path-from-alpha 0", 2, "a threshold of 1..255"},
      {"--size 50x40 --path-from-alpha", 2, "give an input image"},
      {"--size 50x40 --path-from-selection", 2, "--selection"},
      {"--svg shapes.svg --corner-threshold 1", 2, "only apply to a path traced"},
      {"square.png --corner-threshold 2 --path-from-alpha", 2, "a corner threshold of 0..1.333"},
  };
  for (const Case& c : cases) {
    const ToolRun run = RunTool(folder_, c.arguments + outputs);
    EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << run.output;
    EXPECT_NE(run.output.find(c.message), std::string::npos) << c.arguments << "\n" << run.output;
    for (const char* file : {"out.png", "path.svg", "path.bin"})
      EXPECT_FALSE(std::filesystem::exists(folder_ + "/" + file)) << c.arguments << ": " << file;
  }
  // A mask of any size makes the document when nothing else does; the
  // selection traces with its own threshold.
  ToolRun run = RunTool(folder_, "--path-from-mask small.png 1 --out out.png");
  EXPECT_EQ(run.status, 0) << run.output;
  run = RunTool(folder_, "--size 50x40 --selection square.png --path-from-selection 200 --out out.png");
  EXPECT_EQ(run.status, 0) << run.output;
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The style options, a preset saved from them, and a preset written by hand
// from the format's table all give the same pixels; the options change them.
TEST_F(Tool, StyleOptionsSavedPresetsAndHandWrittenPresetsAgree) {
  const std::string shapes = "--svg shapes.svg ";
  ASSERT_EQ(RunTool(folder_, shapes + "--out default.png").status, 0);
  const std::string options =
      "--outer-size 5 --inner-join miter --inner-size 7 --outer-join bevel --light1-color 00FF80 "
      "--light2-color off --light3-direction -1,2,3 --outer-depth 300";
  ToolRun run = RunTool(folder_, shapes + options + " --out options.png --save-preset saved.bfs");
  ASSERT_EQ(run.status, 0) << run.output;
  ASSERT_EQ(RunTool(folder_, shapes + "--preset saved.bfs --out saved.png").status, 0);
  EXPECT_EQ(FileBytes(folder_ + "/saved.png"), FileBytes(folder_ + "/options.png"));
  EXPECT_NE(FileBytes(folder_ + "/default.png"), FileBytes(folder_ + "/options.png"));

  StyleRecord style{};
  SetDefaultStyle(&style);
  style.bevels[InnerBevelSetting].size = 7;
  style.bevels[InnerBevelSetting].bevelFlags = JoinMiter << JoinTypeShift;
  style.bevels[OuterBevelSetting].size = 5;
  style.bevels[OuterBevelSetting].depth = 300;
  style.bevels[OuterBevelSetting].bevelFlags = JoinBevel << JoinTypeShift;
  SetLightColor(&style.lights[0], 0x0000FF80);
  SetLightColor(&style.lights[1], 0);
  const double length = std::sqrt(14.0);
  SetLightDirection(&style.lights[2], float(-1 / length), float(2 / length), float(3 / length));
  const std::vector<uint8_t> hand = HandEncodedSettings(style);
  std::ofstream(folder_ + "/hand.bfs", std::ios::binary).write(reinterpret_cast<const char*>(hand.data()),
                                                               std::streamsize(hand.size()));
  ASSERT_EQ(RunTool(folder_, shapes + "--preset hand.bfs --out hand.png").status, 0);
  EXPECT_EQ(FileBytes(folder_ + "/hand.png"), FileBytes(folder_ + "/options.png"));

  run = RunTool(folder_, "--print-style hand.bfs", false);
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.output.find("inner bevel: size 7 px, depth 100 %, join miter"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("light 2: color off"), std::string::npos) << run.output;
}

// Every numeric style option takes the ends of the range its help gives and
// refuses one step beyond them, naming itself and the range.
TEST_F(Tool, StyleOptionRangesAreEnforcedAsDocumented) {
  const std::string help = RunTool(folder_, "--help", false).output;
  std::string lows, highs;
  std::vector<std::string> names;
  for (size_t at = help.find("\n  --"); at != std::string::npos; at = help.find("\n  --", at + 1)) {
    const size_t next = help.find("\n  --", at + 1);
    const std::string entry = help.substr(at + 3, next == std::string::npos ? std::string::npos : next - at - 3);
    const std::string name = entry.substr(0, entry.find(' '));
    const size_t open = entry.rfind('('), dots = entry.find("..", open == std::string::npos ? 0 : open);
    const std::string argument = entry.substr(name.size(), 5);
    if ((argument.rfind(" N", 0) != 0 || argument.rfind(" NAME", 0) == 0) && argument.rfind(" PCT", 0) != 0) continue;
    if (open == std::string::npos || dots == std::string::npos) continue;
    const std::string low = entry.substr(open + 1, dots - open - 1);
    const std::string high = entry.substr(dots + 2, entry.find(')', dots) - dots - 2);
    lows += " " + name + " " + low;
    highs += " " + name + " " + high;
    names.push_back(name);
    for (const std::string& value : {std::to_string(std::stol(low) - 1), std::to_string(std::stol(high) + 1)}) {
      const ToolRun run = RunTool(folder_, "--size 4x4 --out x.png " + name + " " + value, false);
      EXPECT_EQ(run.status, 2) << name << " " << value;
      EXPECT_NE(run.output.find(name + ": '" + value + "' is not a whole number from " + low + " to " + high),
                std::string::npos)
          << run.output;
    }
  }
  EXPECT_EQ(names.size(), 20u);  // sizes, depths, miter limits, contours; 12 material percentages
  EXPECT_EQ(RunTool(folder_, "--svg shapes.svg --out low.png" + lows).status, 0) << lows;
  EXPECT_EQ(RunTool(folder_, "--svg shapes.svg --out high.png" + highs).status, 0) << highs;
}

#endif

// The bevelforge tool run as a user runs it, against the module of this build.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "cli/ImageFile.h"

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

#endif

#include "cli/CliOptions.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>

namespace {

bool Parse(std::initializer_list<const char*> arguments, CliOptions* options, std::string* error) {
  std::vector<const char*> argv = {"bevelforge"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return ParseCliArguments(static_cast<int>(argv.size()), argv.data(), options, error);
}

}  // namespace

TEST(CliOptions, ReadsAFullCommandLine) {
  CliOptions o;
  std::string error;
  ASSERT_TRUE(Parse({"in.tif", "--mode", "duotone", "--layer", "--selection=mask.png", "--svg", "a.svg", "--text",
                     "two\\nlines \\\\", "--font", "f.ttf", "--font-size", "72.5", "--at", "10,-20.5", "--no-kerning",
                     "--face", "2", "--preset", "p.bfs", "--module", "m.so", "-o", "out.png", "--path-out", "p.bin",
                     "--verbose", "--svg-actual-size"},
                    &o, &error))
      << error;
  EXPECT_EQ(o.inputImage, "in.tif");
  EXPECT_EQ(o.mode, ModeChoice::Duotone);
  EXPECT_EQ(o.layer, LayerChoice::Layer);
  EXPECT_EQ(o.selectionMask, "mask.png");
  EXPECT_EQ(o.svgFile, "a.svg");
  EXPECT_EQ(o.text, "two\nlines \\");
  EXPECT_EQ(o.fontSize, 72.5);
  EXPECT_TRUE(o.haveOrigin);
  EXPECT_EQ(o.originX, 10);
  EXPECT_EQ(o.originY, -20.5);
  EXPECT_FALSE(o.kerning);
  EXPECT_EQ(o.faceIndex, 2);
  EXPECT_EQ(o.presetFile, "p.bfs");
  EXPECT_EQ(o.modulePath, "m.so");
  EXPECT_EQ(o.outputImage, "out.png");
  EXPECT_EQ(o.pathRecordsOut, "p.bin");
  EXPECT_TRUE(o.verbose);
  EXPECT_TRUE(o.svgActualSize);

  ASSERT_TRUE(Parse({"--size", "640x480", "--fill", "10,20,30", "--opacity", "0", "--flat", "--out", "o.png"}, &o, &error))
      << error;
  EXPECT_EQ(o.width, 640);
  EXPECT_EQ(o.height, 480);
  EXPECT_EQ(o.fill[2], 30);
  EXPECT_EQ(o.opacity, 0);
  EXPECT_EQ(o.layer, LayerChoice::Flat);
  ASSERT_TRUE(Parse({"--size", "1x1", "--fill", "7", "--out", "o.png"}, &o, &error));
  EXPECT_EQ(o.fill[1], 7);
  ASSERT_TRUE(Parse({"--svg", "a.svg", "--out", "o.png"}, &o, &error)) << "the SVG may give the size";
  ASSERT_TRUE(Parse({"--help"}, &o, &error));
  EXPECT_TRUE(o.help);
}

TEST(CliOptions, RefusesWrongCommandLinesWithAReason) {
  struct Case {
    std::initializer_list<const char*> arguments;
    const char* expected;
  } cases[] = {
      {{"--size", "640x480"}, "--out"},
      {{"--out", "o.png"}, "no document"},
      {{"in.png", "--size", "1x1", "--out", "o.png"}, "either"},
      {{"a.png", "b.png", "--out", "o.png"}, "more than one"},
      {{"--size", "0x5", "--out", "o.png"}, "--size"},
      {{"--size", "5x", "--out", "o.png"}, "--size"},
      {{"--size", "40000x5", "--out", "o.png"}, "--size"},
      {{"--size", "5x5x5", "--out", "o.png"}, "--size"},
      {{"--size", "5x5", "--mode", "cmyk", "--out", "o.png"}, "gray, rgb or duotone"},
      {{"--size", "5x5", "--fill", "1,2", "--out", "o.png"}, "--fill"},
      {{"--size", "5x5", "--fill", "1,2,3,4", "--out", "o.png"}, "--fill"},
      {{"--size", "5x5", "--fill", "256", "--out", "o.png"}, "--fill"},
      {{"--size", "5x5", "--layer", "--flat", "--out", "o.png"}, "contradict"},
      {{"--size", "5x5", "--flat", "--locked-transparency", "--out", "o.png"}, "contradicts --flat"},
      {{"--size", "5x5", "--text", "A", "--out", "o.png"}, "--font"},
      {{"--size", "5x5", "--text", "A", "--font", "f", "--font-size", "-3", "--out", "o.png"}, "--font-size"},
      {{"--size", "5x5", "--font", "f", "--out", "o.png"}, "only apply to --text"},
      {{"--size", "5x5", "--text", "A", "--font", "f", "--font-size", "9", "--at", "1", "--out", "o.png"}, "--at"},
      {{"--size", "5x5", "--out"}, "needs a value"},
      {{"--size", "5x5", "--out="}, "needs a value"},
      {{"--size", "5x5", "--verbose=yes", "--out", "o.png"}, "takes no value"},
      {{"--size", "5x5", "--out", "o.png", "--frobnicate"}, "unknown option --frobnicate"},
  };
  for (const Case& c : cases) {
    CliOptions o;
    std::string error;
    EXPECT_FALSE(Parse(c.arguments, &o, &error)) << *c.arguments.begin();
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;
  }
}

TEST(CliOptions, HelpNamesEveryOption) {
  const std::string help = CliUsageText();
  for (const char* option : {"--size", "--mode", "--fill", "--layer", "--flat", "--opacity", "--locked-transparency",
                             "--selection", "--svg", "--svg-actual-size", "--text", "--font", "--face", "--font-size",
                             "--at", "--no-kerning", "--preset", "--fresh", "--module", "--out", "--path-out",
                             "--verbose", "--help", "Exit status"})
    EXPECT_NE(help.find(option), std::string::npos) << option;
}

TEST(CliOptions, TracedPathOptionsTakeAnOptionalThreshold) {
  CliOptions o;
  std::string error;
  ASSERT_TRUE(Parse({"--path-from-mask", "m.png", "90", "--speckle-size", "5", "--corner-threshold", "0.5",
                     "--curve-tolerance=1", "--no-curve-optimization", "--out", "o.png", "--path-out-svg", "p.svg"},
                    &o, &error))
      << error;
  EXPECT_EQ(o.traceSource, TraceSource::Mask);
  EXPECT_EQ(o.traceMask, "m.png");
  EXPECT_EQ(o.traceThreshold, 90);
  EXPECT_EQ(o.trace.speckleSize, 5);
  EXPECT_EQ(o.trace.cornerThreshold, 0.5);
  EXPECT_EQ(o.trace.curveTolerance, 1);
  EXPECT_FALSE(o.trace.optimizeCurves);
  EXPECT_EQ(o.pathSvgOut, "p.svg");
  // Without a number after it, the next argument is the input image.
  ASSERT_TRUE(Parse({"--path-from-alpha", "2024.png", "--out", "o.png"}, &o, &error)) << error;
  EXPECT_EQ(o.inputImage, "2024.png");
  EXPECT_EQ(o.traceThreshold, 128);
  EXPECT_FALSE(Parse({"in.png", "--path-from-alpha", "--path-from-selection", "--out", "o.png"}, &o, &error));
  EXPECT_FALSE(Parse({"in.png", "--path-from-alpha", "0.5", "--out", "o.png"}, &o, &error));
}

TEST(CliOptions, CompressionLevelIsZeroToNine) {
  for (const char* level : {"0", "1", "9"}) {
    CliOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"--size", "5x5", "--out", "o.png", "--compression", level}, &o, &error)) << error;
    EXPECT_EQ(o.compression, std::atoi(level));
  }
  for (const char* level : {"10", "-1", "fast", ""}) {
    CliOptions o;
    std::string error;
    EXPECT_FALSE(Parse({"--size", "5x5", "--out", "o.png", "--compression", level}, &o, &error)) << level;
  }
  EXPECT_NE(std::string(CliUsageText()).find("--compression"), std::string::npos);
}

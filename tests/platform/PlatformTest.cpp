// The thin platform layer on its non-Windows side: registry file, module
// folder, file tests, string table, shell requests and message boxes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "interface/HostHooks.h"
#include "platform/FileExists.h"
#include "platform/MessageBox.h"
#include "platform/ModuleInstance.h"
#include "platform/ModuleStrings.h"
#include "platform/Registry.h"
#include "platform/ShellOpen.h"
#include "resources/ResourceIds.h"

namespace {
struct HookedMessage {
  std::string text;
  bool hasCaption;
  std::string caption;
  uint32_t style;
};
std::vector<HookedMessage> gHooked;
}  // namespace

PI_EXPORT int32_t PI_CALL BevelForgeHostMessage(const char* text, const char* caption, uint32_t style) {
  gHooked.push_back({text, caption != nullptr, caption != nullptr ? caption : "", style});
  return 1;
}

namespace {
// A scratch folder for one test, removed with its files afterwards.
struct ScratchFolder {
  std::string path;
  ScratchFolder() {
    char pattern[] = "/tmp/bf-platform-XXXXXX";
    path = mkdtemp(pattern);
  }
  ~ScratchFolder() { std::system(("rm -rf '" + path + "'").c_str()); }
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

constexpr const char* Key = "Software\\Glintmark\\Bevel Forge\\1.0";

struct RegistryFixture : ::testing::Test {
  ScratchFolder scratch;
  std::string file;
  void SetUp() override {
    file = scratch.path + "/nested/folder/registry";
    setenv(BF_REGISTRY_PATH_VARIABLE, file.c_str(), 1);
  }
  void TearDown() override { unsetenv(BF_REGISTRY_PATH_VARIABLE); }
};

TEST_F(RegistryFixture, MissingFileOrValueReadsNothing) {
  uint32_t value = 7;
  EXPECT_EQ(ReadRegistryNumber(Key, "Dialog Width", &value), 0);
  EXPECT_EQ(value, 7u);
  ASSERT_EQ(WriteRegistryNumber(Key, "Dialog Width", 800), 1);
  EXPECT_EQ(ReadRegistryNumber(Key, "Dialog Height", &value), 0);
  EXPECT_EQ(ReadRegistryNumber("Software\\Other", "Dialog Width", &value), 0);
  EXPECT_EQ(value, 7u);
}

TEST_F(RegistryFixture, WrittenValuesReadBackAndOverwrite) {
  ASSERT_EQ(WriteRegistryNumber(Key, "Dialog Width", 680), 1);
  ASSERT_EQ(WriteRegistryNumber(Key, "Dialog Height", 506), 1);
  ASSERT_EQ(WriteRegistryNumber("Software\\Other", "Dialog Width", 1), 1);
  ASSERT_EQ(WriteRegistryNumber(Key, "Dialog Width", 0xFFFFFFFFu), 1);
  uint32_t width = 0, height = 0, other = 0;
  EXPECT_EQ(ReadRegistryNumber(Key, "Dialog Width", &width), 1);
  EXPECT_EQ(ReadRegistryNumber(Key, "Dialog Height", &height), 1);
  EXPECT_EQ(ReadRegistryNumber("Software\\Other", "Dialog Width", &other), 1);
  EXPECT_EQ(width, 0xFFFFFFFFu);
  EXPECT_EQ(height, 506u);
  EXPECT_EQ(other, 1u);
  // One line per value: overwriting does not pile up lines.
  const std::string text = ReadAll(file);
  size_t count = 0;
  for (size_t at = text.find("Dialog Width="); at != std::string::npos; at = text.find("Dialog Width=", at + 1)) ++count;
  EXPECT_EQ(count, 2u);
}

TEST_F(RegistryFixture, UnreadableValuesAreMissing) {
  ASSERT_EQ(WriteRegistryNumber(Key, "Dialog Width", 1), 1);
  {
    std::ofstream out(file);
    out << "[" << Key << "]\nDialog Width=12x\nDialog Height=-5\nEmpty=\nHuge=4294967296\n";
  }
  uint32_t value = 3;
  for (const char* name : {"Dialog Width", "Dialog Height", "Empty", "Huge"})
    EXPECT_EQ(ReadRegistryNumber(Key, name, &value), 0) << name;
  EXPECT_EQ(value, 3u);
  // Writing repairs the value and keeps the others.
  ASSERT_EQ(WriteRegistryNumber(Key, "Dialog Width", 640), 1);
  EXPECT_EQ(ReadRegistryNumber(Key, "Dialog Width", &value), 1);
  EXPECT_EQ(value, 640u);
  EXPECT_NE(ReadAll(file).find("Huge=4294967296"), std::string::npos);
}

TEST_F(RegistryFixture, UnwritableLocationFails) {
  setenv(BF_REGISTRY_PATH_VARIABLE, "/proc/bevel-forge/registry", 1);
  EXPECT_EQ(WriteRegistryNumber(Key, "Dialog Width", 1), 0);
}

TEST(ModuleInstance, FolderOfTheFileHoldingTheCode) {
  char folder[ModulePathCapacity];
  ASSERT_EQ(ModuleFolder(folder, sizeof folder), 1);
  const std::string text = folder;
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), PathSeparator);
  // Linked into this test program, the code lies in the program's own file.
  char self[4096];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  ASSERT_GT(length, 0);
  self[length] = 0;
  const std::string exe = self;
  char resolved[4096];
  ASSERT_NE(realpath(folder, resolved), nullptr);
  EXPECT_EQ(exe.substr(0, exe.rfind('/')), std::string(resolved));
  EXPECT_NE(ModuleInstance(), nullptr);

  char tiny[4];
  EXPECT_EQ(ModuleFolder(tiny, sizeof tiny), 0);
  EXPECT_EQ(tiny[0], 0);
}

TEST(FileExists, OnlyRegularFiles) {
  ScratchFolder scratch;
  const std::string file = scratch.path + "/image.tif";
  std::ofstream(file) << "x";
  EXPECT_EQ(FileExists(file.c_str()), 1);
  EXPECT_EQ(FileExists(scratch.path.c_str()), 0);
  EXPECT_EQ(FileExists((scratch.path + "/missing.tif").c_str()), 0);
  EXPECT_EQ(FileExists(""), 0);
  EXPECT_EQ(FileExists(nullptr), 0);
}

TEST(ModuleStrings, MessageTexts) {
  char text[256];
  EXPECT_EQ(LoadModuleString(BF_STR_INVALID_PATH, text, sizeof text), 21);
  EXPECT_STREQ(text, "This path is invalid.");
  LoadModuleString(BF_STR_NO_PATHS, text, sizeof text);
  EXPECT_STREQ(text, "No paths available. Please create a path");
  LoadModuleString(BF_STR_NO_TARGET_PATH, text, sizeof text);
  EXPECT_STREQ(text, "No target path available. Please select a path");
  LoadModuleString(BF_STR_LOCKED_TRANSPARENCY, text, sizeof text);
  EXPECT_STREQ(text, "Bevel Forge requires editable transparency. Please unlock transparent pixels in the Layer palette");
  EXPECT_EQ(LoadModuleString(16199, text, sizeof text), 0);
  EXPECT_STREQ(text, "");
  char small[5];
  EXPECT_EQ(LoadModuleString(BF_STR_INVALID_PATH, small, sizeof small), 4);
  EXPECT_STREQ(small, "This");
}

TEST(ShellOpen, RemembersWhatItWouldOpen) {
  EXPECT_EQ(ShellOpen("/opt/module/BevelForge-Help.htm"), 1);
  EXPECT_STREQ(LastShellOpen(), "/opt/module/BevelForge-Help.htm");
  EXPECT_EQ(ShellOpen(""), 0);
  EXPECT_EQ(ShellOpen(nullptr), 0);
  EXPECT_STREQ(LastShellOpen(), "/opt/module/BevelForge-Help.htm");
}

TEST(MessageBox, GoesToTheHostHook) {
  gHooked.clear();
  ShowMessageBox("Could not read a.tif!", "Error", MessageIconStop, 0);
  ShowMessageBox("No paths", nullptr, MessageIconExclamation, 0);
  ShowMessageBox("About", "Bevel Forge", MessageIconInformation, 0);
  ASSERT_EQ(gHooked.size(), 3u);
  EXPECT_EQ(gHooked[0].text, "Could not read a.tif!");
  EXPECT_TRUE(gHooked[0].hasCaption);
  EXPECT_EQ(gHooked[0].caption, "Error");
  EXPECT_EQ(gHooked[0].style, 0x10u);
  EXPECT_FALSE(gHooked[1].hasCaption);
  EXPECT_EQ(gHooked[1].style, 0x30u);
  EXPECT_EQ(gHooked[2].style, 0x40u);
  EXPECT_EQ(ActiveWindow(), 0);
}
}  // namespace

// The file dialogs and popup menus as a host of ours answers them: what the
// host is offered, and answers that do not fit or are refused leave the
// caller's path as it was.
#include "platform/FileDialogs.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "interface/HostHooks.h"

namespace {
struct HookAnswers {
  int32_t fileAnswer = 1;
  std::string chosen;
  std::string offered;
  int32_t offeredSave = -1;
  int32_t menuAnswer = 0;
  int32_t menuAsked = 0;
} gHook;
}  // namespace

PI_EXPORT int32_t PI_CALL BevelForgeHostFileDialog(int32_t save, char* path, int32_t capacity) {
  gHook.offered = path;
  gHook.offeredSave = save;
  if (gHook.fileAnswer == 1) std::snprintf(path, size_t(capacity), "%s", gHook.chosen.c_str());
  return gHook.fileAnswer;
}

PI_EXPORT int32_t PI_CALL BevelForgeHostPopupMenu(int32_t menuId) {
  gHook.menuAsked = menuId;
  return gHook.menuAnswer;
}

TEST(FileDialogs, HostAnswersAreTakenOnlyWhenTheyFit) {
  char path[FileDialogPathCapacity] = "";
  gHook = HookAnswers{1, "/presets/Gold.bfs"};
  EXPECT_EQ(RunFileDialog(nullptr, FileDialogKind::SavePreset, path, sizeof path, "/presets/"), 1);
  EXPECT_EQ(gHook.offered, "/presets/");  // an empty path starts in the folder given
  EXPECT_EQ(gHook.offeredSave, 1);
  EXPECT_STREQ(path, "/presets/Gold.bfs");

  gHook = HookAnswers{1, "/maps/sky.tif"};
  EXPECT_EQ(RunFileDialog(nullptr, FileDialogKind::OpenImage, path, sizeof path, "/maps/"), 1);
  EXPECT_EQ(gHook.offered, "/presets/Gold.bfs");  // the last choice is offered again
  EXPECT_EQ(gHook.offeredSave, 0);

  char small[8] = "keep";
  gHook = HookAnswers{1, "/a/path/longer/than/eight"};
  EXPECT_EQ(RunFileDialog(nullptr, FileDialogKind::LoadPreset, small, sizeof small, ""), 0);
  EXPECT_STREQ(small, "keep");
  for (int32_t refusal : {2, 0, -7}) {
    gHook = HookAnswers{refusal, "/never.bfs"};
    EXPECT_EQ(RunFileDialog(nullptr, FileDialogKind::LoadPreset, small, sizeof small, ""), 0);
    EXPECT_STREQ(small, "keep");
  }
  gHook = HookAnswers{1, ""};
  EXPECT_EQ(RunFileDialog(nullptr, FileDialogKind::LoadPreset, small, sizeof small, ""), 0);
}

TEST(FileDialogs, PopupMenusGiveTheHostsChoiceOrNothing) {
  gHook = HookAnswers{};
  gHook.menuAnswer = 0x1001;
  EXPECT_EQ(RunPopupMenu(nullptr, nullptr, 3000, 0, 0), 0x1001);
  EXPECT_EQ(gHook.menuAsked, 3000);
  gHook.menuAnswer = -1;
  EXPECT_EQ(RunPopupMenu(nullptr, nullptr, 3000, 0, 0), 0);
}

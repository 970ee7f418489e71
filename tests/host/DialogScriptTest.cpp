// Dialog scripts: every step written out reads back to itself, whatever the
// spacing, comments and line ends around it; bad lines are refused with their
// line number and leave no steps behind.
#include <gtest/gtest.h>

#include <random>

#include "host/DialogPlayer.h"
#include "host/DialogScript.h"
#include "interface/HostHooks.h"

namespace {

bool SameStep(const DialogStep& x, const DialogStep& y) {
  return x.kind == y.kind && x.a == y.a && x.b == y.b && x.c == y.c && x.text == y.text;
}

// A random step valid for its kind; texts of printable bytes with inner blanks.
DialogStep RandomStep(std::mt19937& random) {
  auto pick = [&random](int32_t low, int32_t high) {
    return std::uniform_int_distribution<int32_t>(low, high)(random);
  };
  DialogStep s;
  s.kind = DialogStepKind(pick(0, int32_t(DialogStepKind::Wait)));
  auto text = [&](bool name) {
    std::string t;
    const int32_t length = pick(name ? 1 : 0, 20);
    for (int32_t i = 0; i < length; ++i) t += name ? "ab.-_Z9"[pick(0, 6)] : char(pick(0x20, 0x7E));
    if (name && t[0] == '.') t[0] = 'x';
    return t;
  };
  switch (s.kind) {
    case DialogStepKind::Click: s.a = pick(1, 65535); break;
    case DialogStepKind::Tab: s.a = pick(0, 2); break;
    case DialogStepKind::Slider: s.a = pick(1, 65535), s.b = pick(-100000, 100000); break;
    case DialogStepKind::Type: s.a = pick(1, 999), s.text = text(false); break;
    case DialogStepKind::Select: s.a = pick(1, 999), s.b = pick(0, 65535); break;
    case DialogStepKind::Light: s.a = pick(1, 3), s.b = pick(-10000, 10000), s.c = pick(-10000, 10000); break;
    case DialogStepKind::Point: s.a = pick(1, 65535), s.b = pick(-50, 99), s.c = pick(-50, 99); break;
    case DialogStepKind::Contour:
    case DialogStepKind::ContourOpen: s.a = pick(0, 48); break;
    case DialogStepKind::Color: s.a = pick(0, 255), s.b = pick(0, 255), s.c = pick(0, 255); break;
    case DialogStepKind::Menu: s.a = pick(0, 1) ? -1 : pick(1, 65535); break;
    case DialogStepKind::File: s.text = "/" + text(false); break;
    case DialogStepKind::Scroll: s.a = pick(-10000, 10000), s.b = pick(-10000, 10000); break;
    case DialogStepKind::Shot: s.text = text(true); break;
    case DialogStepKind::Wait: s.a = pick(0, 60000); break;
    default: break;
  }
  return s;
}

}  // namespace

TEST(DialogScript, WrittenStepsReadBackWithTheirLines) {
  std::mt19937 random(20261209);
  for (int round = 0; round < 200; ++round) {
    std::vector<DialogStep> steps;
    std::vector<int32_t> lines;
    std::string text;
    int32_t line = 0;
    for (int i = 0; i < 12; ++i) {
      // Comments, blank lines and CRLF line ends between the steps; the numbers may be
      // spread by extra blanks, which the text of type, file and shot lines must not take.
      if (random() % 3 == 0) text += "  # note\r\n", ++line;
      if (random() % 4 == 0) text += "\t\n", ++line;
      steps.push_back(RandomStep(random));
      std::string written = FormatDialogStep(steps.back());
      const bool rawText = steps.back().kind == DialogStepKind::Type || steps.back().kind == DialogStepKind::File;
      if (!rawText && random() % 2) written.insert(written.find(' ') == std::string::npos ? written.size() : written.find(' '), " \t");
      text += written + (random() % 2 ? "\r\n" : "\n");
      lines.push_back(++line);
    }
    DialogScript script;
    std::string error;
    ASSERT_TRUE(ParseDialogScript(text.data(), text.size(), &script, &error)) << error << "\n" << text;
    ASSERT_EQ(script.steps.size(), steps.size());
    for (size_t i = 0; i < steps.size(); ++i) {
      EXPECT_TRUE(SameStep(script.steps[i], steps[i])) << FormatDialogStep(steps[i]);
      EXPECT_EQ(script.steps[i].line, lines[i]);
    }
  }
}

TEST(DialogScript, BadLinesAreRefusedByLine) {
  const char* const bad[] = {
      "jump 3",            "click",           "click 0",       "click 65536",  "click 12 13",
      "tab 3",             "slider 216",      "slider 216 x",  "light 4 1 1",  "contour 49",
      "color 1 2 256",     "menu 0",          "menu 0x10000",  "menu 12 13",   "file",
      "shot",              "shot ../up",      "shot .hidden",  "shot a b",     "wait 60001",
      "type 212 a\x01",    "click 99999999999999999999",       "click -",      "click 1x",
  };
  for (const char* line : bad) {
    const std::string text = std::string("ok\n\n") + line + "\nok\n";
    DialogScript script;
    std::string error;
    EXPECT_FALSE(ParseDialogScript(text.data(), text.size(), &script, &error)) << line;
    EXPECT_EQ(error.rfind("line 3: ", 0), 0u) << line << " -> " << error;
    EXPECT_TRUE(script.steps.empty());
  }
  const std::string longLine = "type 212 " + std::string(DialogScriptMaxLine, 'x');
  DialogScript script;
  std::string error;
  EXPECT_FALSE(ParseDialogScript(longLine.data(), longLine.size(), &script, &error));
  const std::string hexMenu = "menu 0x1001";
  ASSERT_TRUE(ParseDialogScript(hexMenu.data(), hexMenu.size(), &script, &error)) << error;
  EXPECT_EQ(script.steps[0].a, 0x1001);
}

// Without windows (natively) the file-dialog and popup-menu hooks answer from
// the script's `file` and `menu` steps in order; what the script does not
// answer is cancelled or dismissed, never left to a person, and noted.
TEST(DialogScript, HooksAnswerFromTheScriptInOrder) {
  const std::string text = "menu 0x1001\nfile /maps/sky.tif\nclick 7\nfile-cancel\nmenu none\nfile /a/much/longer/path\n";
  DialogScript script;
  std::string error;
  ASSERT_TRUE(ParseDialogScript(text.data(), text.size(), &script, &error)) << error;
  StartDialogScript(script, "");
  char path[16] = "start";
  EXPECT_EQ(BevelForgeHostPopupMenu(3000), 0x1001);
  EXPECT_EQ(BevelForgeHostFileDialog(0, path, sizeof path), 1);
  EXPECT_STREQ(path, "/maps/sky.tif");
  EXPECT_EQ(BevelForgeHostFileDialog(1, path, sizeof path), 2);
  EXPECT_EQ(BevelForgeHostPopupMenu(3001), -1);
  EXPECT_EQ(BevelForgeHostFileDialog(0, path, sizeof path), 2);  // longer than the buffer
  EXPECT_STREQ(path, "/maps/sky.tif");
  EXPECT_EQ(BevelForgeHostPopupMenu(3000), -1);  // nothing left to answer
  EXPECT_EQ(BevelForgeHostFileDialog(0, path, sizeof path), 2);
  const DialogPlayback playback = StopDialogScript();
  EXPECT_EQ(playback.popupMenus, 3);
  EXPECT_EQ(playback.fileDialogs, 4);
  EXPECT_EQ(playback.problems.size(), 3u);
  EXPECT_EQ(BevelForgeHostPopupMenu(3000), -1);  // no script at all
  EXPECT_EQ(BevelForgeHostFileDialog(0, path, sizeof path), 2);
}

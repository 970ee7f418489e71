#include "host/DialogPlayer.h"

#include <cstring>

#include "host/HostState.h"

DialogPlayerState* gDialogPlayer = nullptr;

namespace {
constexpr int32_t FileChosen = 1;     // the file dialog hook's answers
constexpr int32_t FileCancelled = 2;
constexpr int32_t MenuDismissed = -1;
}  // namespace

void StartDialogScript(const DialogScript& script, const std::string& shotFolder) {
  delete gDialogPlayer;
  gDialogPlayer = new DialogPlayerState;
  gDialogPlayer->script = script;
  gDialogPlayer->shotFolder = shotFolder;
#if !defined(_WIN32)
  for (const DialogStep& step : script.steps)
    if (step.kind != DialogStepKind::Color && step.kind != DialogStepKind::ColorCancel) ApplyAnswerStep(step);
#endif
}

DialogPlayback StopDialogScript() {
  DialogPlayback playback;
  if (gDialogPlayer != nullptr) playback = gDialogPlayer->playback;
  delete gDialogPlayer;
  gDialogPlayer = nullptr;
  return playback;
}

void NoteDialogProblem(const DialogStep* step, const std::string& problem) {
  if (gDialogPlayer == nullptr) return;
  const std::string where = step != nullptr ? "line " + std::to_string(step->line) + ": " : std::string();
  gDialogPlayer->playback.problems.push_back(where + problem);
}

int32_t ApplyAnswerStep(const DialogStep& step) {
  DialogPlayerState* player = gDialogPlayer;
  if (player == nullptr) return 0;
  switch (step.kind) {
    case DialogStepKind::Menu: player->menuAnswers.push_back(step.a); return 1;
    case DialogStepKind::File: player->fileAnswers.push_back(step.text); return 1;
    case DialogStepKind::FileCancel: player->fileAnswers.push_back(std::string()); return 1;
    case DialogStepKind::Color:
    case DialogStepKind::ColorCancel: {
      // The host's colour picker answers from the session's options.
      if (gActiveHost == nullptr) {
        NoteDialogProblem(&step, "no run to give the colour to");
        return 1;
      }
      HostOptions& options = gActiveHost->options;
      options.colorPickerCancels = step.kind == DialogStepKind::ColorCancel;
      if (step.kind == DialogStepKind::Color) {
        options.pickedColor[0] = uint8_t(step.a);
        options.pickedColor[1] = uint8_t(step.b);
        options.pickedColor[2] = uint8_t(step.c);
      }
      return 1;
    }
    default: return 0;
  }
}

#if !defined(_WIN32)
// No window exists here: nothing to play on.
void PlayOnShownDialog(void*, int32_t) {}
#endif

int32_t AnswerFileDialog(int32_t, char* path, int32_t capacity) {
  DialogPlayerState* player = gDialogPlayer;
  // Never let a real file dialog wait for a person: without an answer it is cancelled.
  if (player == nullptr || path == nullptr || capacity <= 0) return FileCancelled;
  ++player->playback.fileDialogs;
  if (player->fileAnswers.empty()) {
    NoteDialogProblem(nullptr, "a file dialog came without a file step before it");
    return FileCancelled;
  }
  const std::string answer = player->fileAnswers.front();
  player->fileAnswers.pop_front();
  if (answer.empty()) return FileCancelled;
  if (answer.size() >= size_t(capacity)) {
    NoteDialogProblem(nullptr, "file path longer than the dialog's buffer: " + answer);
    return FileCancelled;
  }
  std::memcpy(path, answer.c_str(), answer.size() + 1);
  return FileChosen;
}

int32_t AnswerPopupMenu(int32_t menuId) {
  DialogPlayerState* player = gDialogPlayer;
  if (player == nullptr) return MenuDismissed;
  ++player->playback.popupMenus;
  if (player->menuAnswers.empty()) {
    NoteDialogProblem(nullptr, "popup menu " + std::to_string(menuId) + " came without a menu step before it");
    return MenuDismissed;
  }
  const int32_t answer = player->menuAnswers.front();
  player->menuAnswers.pop_front();
  return answer;
}

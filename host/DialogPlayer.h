// Plays a dialog script (DialogScript.h) on the dialogs a module shows for
// real inside our host. Windows: the dialog-shown hook hands over the window,
// and the steps run one by one from a timer on it, inside the module's own
// modal loop; the file-dialog and popup-menu hooks take the answers the
// script's `file` and `menu` steps queued. Elsewhere no window ever exists:
// every `file` and `menu` answer of the script is queued at the start, in
// order, and the colour steps apply at once.
#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "host/DialogScript.h"

struct DialogPlayback {
  std::vector<int32_t> dialogsShown;  // resource ids of the dialogs handed over, in order
  int32_t stepsPlayed = 0;
  std::vector<std::string> problems;  // steps that could not be played, dialogs left open
  std::vector<std::string> shots;     // picture files written
  int32_t fileDialogs = 0;            // file dialogs answered
  int32_t popupMenus = 0;             // popup menus answered
  int32_t clientWidth = 0;            // client size of the last dialog when it ended (pixels)
  int32_t clientHeight = 0;
};

// The script being played: its steps, where it stands, the queued answers.
struct DialogPlayerState {
  DialogScript script;
  size_t next = 0;  // index of the next step
  std::string shotFolder;
  std::deque<int32_t> menuAnswers;      // command ids, -1 = dismissed
  std::deque<std::string> fileAnswers;  // paths; empty = cancelled
  DialogPlayback playback;
};

// The one script of the process (null when none is played).
extern DialogPlayerState* gDialogPlayer;

// Plays `script` on the dialogs shown from now on; shots go to `shotFolder`.
void StartDialogScript(const DialogScript& script, const std::string& shotFolder);
// Ends the playback and returns what happened.
DialogPlayback StopDialogScript();

// Steps that only leave an answer for later (menu, file, colour): applied
// when played. Returns 1 when `step` was one of them.
int32_t ApplyAnswerStep(const DialogStep& step);
// Notes a problem of the step, prefixed by its line.
void NoteDialogProblem(const DialogStep* step, const std::string& problem);

// The bodies of the hooks (HostHooks.h).
void PlayOnShownDialog(void* window, int32_t dialogId);
int32_t AnswerFileDialog(int32_t save, char* path, int32_t capacity);
int32_t AnswerPopupMenu(int32_t menuId);

// bfhost's dialog runs: the module shows its dialogs for real and a dialog
// script (DialogScript.h) plays on them; one line per fact is printed, so that
// the runs of two builds compare line by line.
#pragma once
#include <cstdint>
#include <string>

#include "host/FilterHost.h"

struct DialogRunOptions {
  std::string scriptFile;      // the script to play (empty: answer every dialog with OK unseen)
  std::string shotFolder;      // where `shot` steps write their pictures
  bool about = false;          // the run is the About selector instead of a menu run
  int32_t faultRuns = 0;       // after the run: this many runs failing the n-th allocation after the dialog is asked for
  std::string saveDescriptor;  // file for the descriptor the dialog run recorded
  std::string playDescriptor;  // instead of a dialog: play this descriptor back without the dialog
};

// Runs what the options ask for on `document` with the module at modulePath
// (its settings file lives in settingsFolder, may be empty). Returns bfhost's
// exit status: 0 when everything ran, 1 when the module, the script or a file
// could not be had.
int RunDialogMode(const DialogRunOptions& options, const std::string& modulePath, const std::string& settingsFolder,
                  const HostDocument& document);

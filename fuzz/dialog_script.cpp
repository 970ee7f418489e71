// Dialog scripts from arbitrary bytes: the reader never reads out of bounds,
// refuses with a line number, and every script it takes writes out to lines
// that read back to the same steps.
#include <cstdlib>
#include <string>

#include "host/DialogScript.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DialogScript script;
  std::string error;
  if (!ParseDialogScript(reinterpret_cast<const char*>(data), size, &script, &error)) {
    if (!script.steps.empty() || error.rfind("line ", 0) != 0) std::abort();
    return 0;
  }
  std::string written;
  for (const DialogStep& step : script.steps) written += FormatDialogStep(step) + "\n";
  DialogScript again;
  if (!ParseDialogScript(written.data(), written.size(), &again, &error)) std::abort();
  if (again.steps.size() != script.steps.size()) std::abort();
  for (size_t i = 0; i < script.steps.size(); ++i) {
    const DialogStep& x = script.steps[i];
    const DialogStep& y = again.steps[i];
    if (x.kind != y.kind || x.a != y.a || x.b != y.b || x.c != y.c || x.text != y.text) std::abort();
  }
  return 0;
}

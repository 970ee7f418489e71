#include "host/BfHostDialogRuns.h"

#include <cinttypes>
#include <cstdio>
#include <filesystem>

#include "host/DialogPlayer.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

constexpr const char* SettingsFileName = "default.dfs";
constexpr int32_t AnswerOk = 1;     // dialog hook: OK unseen
constexpr int32_t ShowForReal = 0;  // dialog hook: show the dialog
// Where the module remembers its dialog size (per user).
constexpr const char* DialogSizeKey = "Software\\Glintmark\\Bevel Forge\\1.0";
constexpr const char* const DialogSizeValues[2] = {"Dialog Width", "Dialog Height"};

bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes) {
  bytes->clear();
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  uint8_t buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes->insert(bytes->end(), buffer, buffer + got);
  std::fclose(file);
  return true;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

std::string Hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%016" PRIx64, value);
  return text;
}

// The settings file's checksum, or "none" when there is no file.
std::string SettingsState(const std::string& folder) {
  std::vector<uint8_t> bytes;
  if (folder.empty() || !ReadFile((std::filesystem::path(folder) / SettingsFileName).string(), &bytes)) return "none";
  return std::to_string(bytes.size()) + ":" + Hex(BytesChecksum(bytes));
}

std::string KeyText(DescriptorKeyID key) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) text += char((key >> shift) & 0xFF);
  return text;
}

// The style as the module recorded it: key=value for every item, in order.
std::string DescriptorLine(const DescriptorStore& store) {
  std::string line;
  for (const DescriptorItem& item : store.items) {
    line += ' ';
    line += KeyText(item.key);
    line += '=';
    if (item.type == TypeFloat || item.type == TypeUnitFloat) {
      char number[32];
      std::snprintf(number, sizeof number, "%.6g", item.number);
      line += number;
    } else if (item.type == TypeInteger || item.type == TypeBoolean || item.type == TypeEnumerated) {
      line += std::to_string(item.integer);
    } else {
      line += std::to_string(item.bytes.size()) + "B:" + Hex(BytesChecksum(item.bytes)).substr(8);
    }
  }
  return line;
}

void PrintPlayback(const char* name, const DialogPlayback& p) {
  std::string shown;
  for (int32_t id : p.dialogsShown) shown += (shown.empty() ? "" : ",") + std::to_string(id);
  std::printf("%s shown=%s steps=%d files=%d menus=%d shots=%zu problems=[", name, shown.empty() ? "none" : shown.c_str(),
              p.stepsPlayed, p.fileDialogs, p.popupMenus, p.shots.size());
  for (size_t i = 0; i < p.problems.size(); ++i) std::printf("%s%s", i ? "; " : "", p.problems[i].c_str());
  std::printf("]\n");
}

// The remembered dialog size: forgotten before a run, read after it.
void ForgetDialogSize() {
#if defined(_WIN32)
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, DialogSizeKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  for (const char* value : DialogSizeValues) RegDeleteValueA(key, value);
  RegCloseKey(key);
#endif
}

std::string DialogSizeState() {
#if defined(_WIN32)
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, DialogSizeKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return "none";
  std::string state;
  for (const char* value : DialogSizeValues) {
    DWORD number = 0, size = sizeof number, type = 0;
    const bool found = RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(&number), &size) ==
                           ERROR_SUCCESS && type == REG_DWORD;
    if (!state.empty()) state += 'x';
    state += found ? std::to_string(number) : std::string("none");
  }
  RegCloseKey(key);
  return state;
#else
  return "none";
#endif
}

struct Session {
  FilterHost* host = nullptr;
  ~Session() {
    if (host) CloseFilterHost(host);
  }
};

bool OpenSession(Session& s, const std::string& modulePath, const HostDocument& document) {
  std::string error;
  s.host = OpenFilterHost(modulePath.c_str(), &error);
  if (s.host == nullptr) {
    std::fprintf(stderr, "bfhost: %s\n", error.c_str());
    return false;
  }
  SetHostDocument(s.host, document);
  HostOptions& o = HostOptionsOf(s.host);
  o.realWindow = true;
  o.dialogAnswer = ShowForReal;
  return true;
}

// One run of the dialog (or the About box) with the script played on it.
RunReport PlayedRun(FilterHost* host, const DialogScript& script, const std::string& shotFolder, bool about,
                    DialogPlayback* playback) {
  StartDialogScript(script, shotFolder);
  const RunReport report = about ? RunAbout(host) : RunMenu(host);
  *playback = StopDialogScript();
  return report;
}

}  // namespace

int RunDialogMode(const DialogRunOptions& options, const std::string& modulePath, const std::string& settingsFolder,
                  const HostDocument& document) {
  if (!options.playDescriptor.empty()) {
    std::vector<uint8_t> bytes;
    DescriptorStore style;
    if (!ReadFile(options.playDescriptor, &bytes) || !DecodeDescriptor(bytes.data(), bytes.size(), &style)) {
      std::fprintf(stderr, "bfhost: %s is no descriptor file\n", options.playDescriptor.c_str());
      return 1;
    }
    Session s;
    if (!OpenSession(s, modulePath, document)) return 1;
    HostOptions& o = HostOptionsOf(s.host);
    o.hasPlayback = true;
    o.playback = style;
    o.playInfo = PlayDontDisplay;
    std::printf("played %s\n", SummarizeReport(RunMenu(s.host)).c_str());
    return 0;
  }

  DialogScript script;
  std::string error;
  if (!options.scriptFile.empty() && !ReadDialogScriptFile(options.scriptFile, &script, &error)) {
    std::fprintf(stderr, "bfhost: %s\n", error.c_str());
    return 1;
  }
  std::error_code ignored;
  if (!settingsFolder.empty()) std::filesystem::remove(std::filesystem::path(settingsFolder) / SettingsFileName, ignored);
  if (!options.shotFolder.empty()) {
    std::filesystem::create_directories(options.shotFolder, ignored);
  }

  Session s;
  if (!OpenSession(s, modulePath, document)) return 1;
  DialogPlayback playback;
  if (options.about) {
    const RunReport report = PlayedRun(s.host, script, options.shotFolder, true, &playback);
    std::printf("about-run %s\n", SummarizeReport(report).c_str());
    PrintPlayback("about-played", playback);
    return 0;
  }

  // A run without the dialog first leaves a settings file, so that what the
  // dialog run does to it shows; the dialog run starts from the same document.
  HostOptionsOf(s.host).dialogAnswer = AnswerOk;
  RunMenu(s.host);
  HostOptionsOf(s.host).dialogAnswer = ShowForReal;
  SetHostDocument(s.host, document);
  const std::string settingsBefore = SettingsState(settingsFolder);
  ForgetDialogSize();
  const RunReport report = PlayedRun(s.host, script, options.shotFolder, false, &playback);
  std::printf("dialog-run %s\n", SummarizeReport(report).c_str());
  PrintPlayback("dialog-played", playback);
  std::printf("dialog-document unchanged=%d\n", report.documentChecksum == DocumentChecksum(document) ? 1 : 0);
  std::printf("dialog-settings unchanged=%d\n", SettingsState(settingsFolder) == settingsBefore ? 1 : 0);
  std::printf("dialog-size saved=%s client=%dx%d\n", DialogSizeState().c_str(), playback.clientWidth,
              playback.clientHeight);
  if (report.descriptorWritten) {
    std::printf("dialog-style%s\n", DescriptorLine(report.descriptor).c_str());
    if (!options.saveDescriptor.empty() && !WriteFile(options.saveDescriptor, EncodeDescriptor(report.descriptor))) {
      std::fprintf(stderr, "bfhost: cannot write %s\n", options.saveDescriptor.c_str());
      return 1;
    }
  }
  const int64_t atDialog = report.allocationsAtDialog;
  CloseFilterHost(s.host);
  s.host = nullptr;

  // Faults aimed at the dialog's opening: the n-th allocation after the module
  // asked for the dialog fails, in a fresh session each time.
  for (int32_t n = 1; n <= options.faultRuns && atDialog >= 0; ++n) {
    Session f;
    if (!OpenSession(f, modulePath, document)) return 1;
    // The same runs as above, so that the allocations are numbered alike.
    HostOptionsOf(f.host).dialogAnswer = AnswerOk;
    RunMenu(f.host);
    HostOptionsOf(f.host).dialogAnswer = ShowForReal;
    SetHostDocument(f.host, document);
    HostOptionsOf(f.host).failAllocationAt = atDialog + n;
    DialogPlayback faulted;
    const RunReport failed = PlayedRun(f.host, script, options.shotFolder, false, &faulted);
    std::printf("dialog-fault n=%d shown=%zu %s\n", n, faulted.dialogsShown.size(), SummarizeReport(failed).c_str());
  }
  return 0;
}

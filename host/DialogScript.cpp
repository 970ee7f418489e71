#include "host/DialogScript.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int32_t MaxControlId = 0xFFFF;
constexpr int32_t MaxOffset = 10000;  // pixels, for points and drags
constexpr int32_t MaxSliderValue = 100000;
constexpr int32_t LastContour = 48;
constexpr size_t MaxShotName = 64;  // bytes

enum class Tail : uint8_t {
  None,      // nothing after the numbers
  Text,      // the rest of the line, any printable bytes, may be empty
  Path,      // the rest of the line, not empty
  ShotName,  // one word of letters, digits, '.', '_' and '-', not starting with '.'
  Command    // "none" or a command id (decimal or 0x hexadecimal)
};

struct Verb {
  const char* name;
  DialogStepKind kind;
  int32_t count;  // numbers after the verb, into a, b, c
  int32_t low[3], high[3];
  Tail tail;
};

constexpr Verb Verbs[] = {
    {"click", DialogStepKind::Click, 1, {1}, {MaxControlId}, Tail::None},
    {"tab", DialogStepKind::Tab, 1, {0}, {2}, Tail::None},
    {"slider", DialogStepKind::Slider, 2, {1, -MaxSliderValue}, {MaxControlId, MaxSliderValue}, Tail::None},
    {"type", DialogStepKind::Type, 1, {1}, {MaxControlId}, Tail::Text},
    {"select", DialogStepKind::Select, 2, {1, 0}, {MaxControlId, MaxControlId}, Tail::None},
    {"light", DialogStepKind::Light, 3, {1, -MaxOffset, -MaxOffset}, {3, MaxOffset, MaxOffset}, Tail::None},
    {"point", DialogStepKind::Point, 3, {1, -MaxOffset, -MaxOffset}, {MaxControlId, MaxOffset, MaxOffset}, Tail::None},
    {"contour", DialogStepKind::Contour, 1, {0}, {LastContour}, Tail::None},
    {"contour-open", DialogStepKind::ContourOpen, 1, {0}, {LastContour}, Tail::None},
    {"release", DialogStepKind::Release, 0, {}, {}, Tail::None},
    {"color", DialogStepKind::Color, 3, {0, 0, 0}, {255, 255, 255}, Tail::None},
    {"color-cancel", DialogStepKind::ColorCancel, 0, {}, {}, Tail::None},
    {"menu", DialogStepKind::Menu, 0, {}, {}, Tail::Command},
    {"file", DialogStepKind::File, 0, {}, {}, Tail::Path},
    {"file-cancel", DialogStepKind::FileCancel, 0, {}, {}, Tail::None},
    {"zoom-in", DialogStepKind::ZoomIn, 0, {}, {}, Tail::None},
    {"zoom-out", DialogStepKind::ZoomOut, 0, {}, {}, Tail::None},
    {"scroll", DialogStepKind::Scroll, 2, {-MaxOffset, -MaxOffset}, {MaxOffset, MaxOffset}, Tail::None},
    {"shot", DialogStepKind::Shot, 0, {}, {}, Tail::ShotName},
    {"ok", DialogStepKind::Ok, 0, {}, {}, Tail::None},
    {"cancel", DialogStepKind::Cancel, 0, {}, {}, Tail::None},
    {"wait", DialogStepKind::Wait, 1, {0}, {DialogScriptMaxWait}, Tail::None},
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A line being read word by word.
struct Cursor {
  const char* at;
  const char* end;

  void SkipBlanks() {
    while (at < end && IsBlank(*at)) ++at;
  }
  // The next word (may be empty at the end of the line).
  std::string Word() {
    SkipBlanks();
    const char* start = at;
    while (at < end && !IsBlank(*at)) ++at;
    return std::string(start, at);
  }
};

// A decimal integer (optional '-'), or with `hex` also 0x hexadecimal, within
// [low, high]. The whole word must be the number.
bool ReadNumber(const std::string& word, bool hex, int32_t low, int32_t high, int32_t* value) {
  size_t i = 0;
  bool negative = false;
  int base = 10;
  if (hex && word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
    base = 16;
    i = 2;
  } else if (!word.empty() && word[0] == '-') {
    negative = true;
    i = 1;
  }
  if (i >= word.size()) return false;
  int64_t magnitude = 0;
  for (; i < word.size(); ++i) {
    const char c = word[i];
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return false;
    magnitude = magnitude * base + digit;
    if (magnitude > int64_t(1) << 32) return false;  // far beyond every range: stop before overflow
  }
  const int64_t signedValue = negative ? -magnitude : magnitude;
  if (signedValue < low || signedValue > high) return false;
  *value = int32_t(signedValue);
  return true;
}

bool PrintableText(const std::string& text) {
  for (unsigned char c : text)
    if ((c < 0x20 && c != '\t') || c == 0x7F) return false;
  return true;
}

bool ValidShotName(const std::string& name) {
  if (name.empty() || name.size() > MaxShotName || name[0] == '.') return false;
  for (char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                    c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

const Verb* FindVerb(const std::string& name) {
  for (const Verb& verb : Verbs)
    if (name == verb.name) return &verb;
  return nullptr;
}

const Verb& VerbOf(DialogStepKind kind) {
  for (const Verb& verb : Verbs)
    if (verb.kind == kind) return verb;
  return Verbs[0];  // every kind has a verb
}

// Reads one line that is not blank or a comment. Returns an empty string on
// success, else the problem.
std::string ReadStep(Cursor cursor, const std::string& verbName, DialogStep* step) {
  const Verb* verb = FindVerb(verbName);
  if (verb == nullptr) return "unknown step \"" + verbName + "\"";
  step->kind = verb->kind;
  int32_t* const numbers[3] = {&step->a, &step->b, &step->c};
  for (int32_t i = 0; i < verb->count; ++i) {
    const std::string word = cursor.Word();
    if (word.empty()) return std::string(verb->name) + " needs " + std::to_string(verb->count) + " numbers";
    if (!ReadNumber(word, false, verb->low[i], verb->high[i], numbers[i]))
      return "\"" + word + "\" is not a number from " + std::to_string(verb->low[i]) + " to " +
             std::to_string(verb->high[i]);
  }
  switch (verb->tail) {
    case Tail::None:
      if (!cursor.Word().empty()) return std::string(verb->name) + " takes nothing more";
      return {};
    case Tail::Text:
    case Tail::Path: {
      // One separator, then the rest as written (leading blanks belong to the text).
      if (cursor.at < cursor.end && IsBlank(*cursor.at)) ++cursor.at;
      step->text.assign(cursor.at, cursor.end);
      if (!PrintableText(step->text)) return "control characters in the text";
      if (verb->tail == Tail::Path && step->text.empty()) return "file needs a path";
      return {};
    }
    case Tail::ShotName:
      step->text = cursor.Word();
      if (!ValidShotName(step->text))
        return "shot needs a name of letters, digits, '.', '_' or '-' (up to 64, not starting with '.')";
      if (!cursor.Word().empty()) return "shot takes one name";
      return {};
    case Tail::Command: {
      const std::string word = cursor.Word();
      if (word == "none") step->a = -1;
      else if (!ReadNumber(word, true, 1, MaxControlId, &step->a)) return "menu needs a command id (1 to 65535) or none";
      if (!cursor.Word().empty()) return "menu takes one command";
      return {};
    }
  }
  return {};
}

}  // namespace

bool ParseDialogScript(const char* text, size_t size, DialogScript* script, std::string* error) {
  script->steps.clear();
  const char* at = text;
  const char* const end = text + size;
  int32_t lineNumber = 0;
  while (at < end) {
    ++lineNumber;
    const char* lineEnd = static_cast<const char*>(std::memchr(at, '\n', size_t(end - at)));
    if (lineEnd == nullptr) lineEnd = end;
    const char* next = lineEnd < end ? lineEnd + 1 : end;
    if (lineEnd > at && lineEnd[-1] == '\r') --lineEnd;
    std::string problem;
    if (size_t(lineEnd - at) > DialogScriptMaxLine) {
      problem = "line longer than " + std::to_string(DialogScriptMaxLine) + " bytes";
    } else {
      Cursor cursor{at, lineEnd};
      const std::string verb = cursor.Word();
      if (!verb.empty() && verb[0] != '#') {
        if (script->steps.size() >= DialogScriptMaxSteps) {
          problem = "more than " + std::to_string(DialogScriptMaxSteps) + " steps";
        } else {
          DialogStep step;
          step.line = lineNumber;
          problem = ReadStep(cursor, verb, &step);
          if (problem.empty()) script->steps.push_back(step);
        }
      }
    }
    if (!problem.empty()) {
      *error = "line " + std::to_string(lineNumber) + ": " + problem;
      script->steps.clear();
      return false;
    }
    at = next;
  }
  return true;
}

std::string FormatDialogStep(const DialogStep& step) {
  const Verb& verb = VerbOf(step.kind);
  std::string line = verb.name;
  const int32_t numbers[3] = {step.a, step.b, step.c};
  for (int32_t i = 0; i < verb.count; ++i) {
    line += ' ';
    line += std::to_string(numbers[i]);
  }
  switch (verb.tail) {
    case Tail::None: break;
    case Tail::Text:
    case Tail::Path:
    case Tail::ShotName: line += " " + step.text; break;
    case Tail::Command:
      line += ' ';
      line += step.a < 0 ? std::string("none") : std::to_string(step.a);
      break;
  }
  return line;
}

bool ReadDialogScriptFile(const std::string& path, DialogScript* script, std::string* error) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    *error = path + ": cannot read the dialog script: " + std::strerror(errno);
    return false;
  }
  std::vector<char> text;
  char chunk[4096];
  for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.insert(text.end(), chunk, chunk + got);
  std::fclose(file);
  if (!ParseDialogScript(text.data(), text.size(), script, error)) {
    *error = path + ": " + *error;
    return false;
  }
  return true;
}

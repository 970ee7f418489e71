#include "cli/SvgPath.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "cli/SvgGeometry.h"
#include "cli/XmlReader.h"

namespace {

// CSS absolute units in CSS pixels (96 per inch). Font-relative units assume
// the initial font size of 16 pixels.
constexpr double PixelsPerInch = 96.0;
constexpr double InitialFontSize = 16.0;

enum LengthAxis {
  HorizontalLength,  // percentages of the viewport width
  VerticalLength,    // percentages of the viewport height
  DiagonalLength     // percentages of the viewport's normalised diagonal
};

// What a container passes on to its children.
struct Frame {
  Affine transform;             // user space of the element -> document pixels
  double viewportWidth = 0;     // user units, for percentages
  double viewportHeight = 0;
  bool skip = false;            // nothing inside draws
};

std::string Trim(const std::string& text) {
  const char* space = " \t\n\r\f";
  const size_t first = text.find_first_not_of(space);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(space) - first + 1);
}

// Parses "12", "1.5mm", "50%". Returns 0 for anything else. A percentage
// sets *percent instead of converting when `viewport` is null.
bool ParseLength(const std::string& rawText, LengthAxis axis, const Frame* viewport, double* value,
                 bool* isPercent) {
  const std::string text = Trim(rawText);
  size_t pos = 0;
  double number;
  if (!ReadSvgNumber(text, &pos, &number)) return false;
  const std::string unit = text.substr(pos);
  static const struct {
    const char* name;
    double pixels;
  } units[] = {{"", 1.0},
               {"px", 1.0},
               {"in", PixelsPerInch},
               {"cm", PixelsPerInch / 2.54},
               {"mm", PixelsPerInch / 25.4},
               {"pt", PixelsPerInch / 72.0},
               {"pc", PixelsPerInch / 6.0},
               {"em", InitialFontSize},
               {"ex", InitialFontSize / 2}};
  if (isPercent != nullptr) *isPercent = false;
  for (const auto& entry : units) {
    if (unit == entry.name) {
      *value = number * entry.pixels;
      return std::isfinite(*value);
    }
  }
  if (unit != "%") return false;
  if (isPercent != nullptr) *isPercent = true;
  if (viewport == nullptr) {
    *value = number;
    return true;
  }
  double reference;
  if (axis == HorizontalLength) reference = viewport->viewportWidth;
  else if (axis == VerticalLength) reference = viewport->viewportHeight;
  else
    reference = std::sqrt((viewport->viewportWidth * viewport->viewportWidth +
                           viewport->viewportHeight * viewport->viewportHeight) / 2);
  *value = number / 100 * reference;
  return true;
}

struct ViewBox {
  bool present = false;
  double x = 0, y = 0, width = 0, height = 0;
};

// Fit of a viewBox into a viewport rectangle, as preserveAspectRatio asks.
bool ViewBoxTransform(const ViewBox& box, double viewportX, double viewportY, double viewportWidth,
                      double viewportHeight, const std::string* aspect, Affine* transform,
                      std::string* error) {
  std::string align = "xMidYMid";
  bool slice = false;
  if (aspect != nullptr) {
    std::vector<std::string> words;
    const std::string text = Trim(*aspect);
    size_t pos = 0;
    while (pos < text.size()) {
      const size_t end = text.find_first_of(" \t\n\r", pos);
      const std::string word = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
      if (!word.empty()) words.push_back(word);
      if (end == std::string::npos) break;
      pos = end + 1;
    }
    size_t i = 0;
    if (i < words.size() && words[i] == "defer") ++i;
    if (i < words.size()) align = words[i++];
    if (i < words.size()) {
      if (words[i] == "slice") slice = true;
      else if (words[i] != "meet") i = words.size() + 1;
      ++i;
    }
    static const char* aligns[] = {"none",     "xMinYMin", "xMidYMin", "xMaxYMin", "xMinYMid",
                                   "xMidYMid", "xMaxYMid", "xMinYMax", "xMidYMax", "xMaxYMax"};
    bool known = false;
    for (const char* name : aligns) known = known || align == name;
    if (!known || i > words.size()) {
      *error = "preserveAspectRatio: cannot read '" + *aspect + "'";
      return false;
    }
  }
  double sx = viewportWidth / box.width, sy = viewportHeight / box.height;
  double tx = viewportX, ty = viewportY;
  if (align != "none") {
    sx = sy = slice ? std::fmax(sx, sy) : std::fmin(sx, sy);
    const double spareX = viewportWidth - box.width * sx, spareY = viewportHeight - box.height * sy;
    if (align.compare(0, 4, "xMid") == 0) tx += spareX / 2;
    if (align.compare(0, 4, "xMax") == 0) tx += spareX;
    if (align.compare(4, 4, "YMid") == 0) ty += spareY / 2;
    if (align.compare(4, 4, "YMax") == 0) ty += spareY;
  }
  *transform = Compose(Translation(tx - box.x * sx, ty - box.y * sy), Scaling(sx, sy));
  return true;
}

class SvgWalker {
 public:
  SvgWalker(const SvgReadOptions& options, SvgReadResult& result) : options_(options), result_(result) {}

  bool Run(const std::string& text, std::string& error);

 private:
  bool Fail(const XmlEvent& event, const std::string& message);
  bool Length(const XmlEvent& event, const Frame& frame, const char* name, LengthAxis axis,
              double fallback, double* value);
  bool NonNegativeLength(const XmlEvent& event, const Frame& frame, const char* name, LengthAxis axis,
                         double* value);
  bool ReadViewBox(const XmlEvent& event, ViewBox* box);
  bool OwnTransform(const XmlEvent& event, const Frame& parent, Affine* transform);
  bool Hidden(const XmlEvent& event) const;
  bool SetUpRoot(const XmlEvent& event, Frame* frame);
  bool SetUpNestedSvg(const XmlEvent& event, const Frame& parent, Frame* frame);
  bool DrawShape(const std::string& name, const XmlEvent& event, const Frame& frame);
  bool DrawRect(const XmlEvent& event, const Frame& frame);
  bool DrawEllipse(const XmlEvent& event, const Frame& frame, bool circle);
  bool DrawPoints(const XmlEvent& event, const Frame& frame, bool closed);

  const SvgReadOptions& options_;
  SvgReadResult& result_;
  PathBuilder builder_;
  std::string message_;
};

bool SvgWalker::Fail(const XmlEvent& event, const std::string& message) {
  message_ = "line " + std::to_string(event.line) + ": <" + event.name + ">: " + message;
  return false;
}

bool SvgWalker::Length(const XmlEvent& event, const Frame& frame, const char* name, LengthAxis axis,
                       double fallback, double* value) {
  const std::string* text = XmlReader::Find(event, name);
  if (text == nullptr) {
    *value = fallback;
    return true;
  }
  if (!ParseLength(*text, axis, &frame, value, nullptr))
    return Fail(event, std::string(name) + ": '" + *text + "' is not a length");
  return true;
}

bool SvgWalker::NonNegativeLength(const XmlEvent& event, const Frame& frame, const char* name,
                                  LengthAxis axis, double* value) {
  if (!Length(event, frame, name, axis, 0.0, value)) return false;
  if (*value < 0) return Fail(event, std::string(name) + " must not be negative");
  return true;
}

bool SvgWalker::ReadViewBox(const XmlEvent& event, ViewBox* box) {
  const std::string* text = XmlReader::Find(event, "viewBox");
  if (text == nullptr) return true;
  std::vector<double> numbers;
  std::string error;
  if (!ParseNumberList(*text, &numbers, &error)) return Fail(event, "viewBox: " + error);
  if (numbers.size() != 4) return Fail(event, "viewBox needs four numbers: min-x min-y width height");
  if (numbers[2] <= 0 || numbers[3] <= 0) return Fail(event, "viewBox width and height must be positive");
  box->present = true;
  box->x = numbers[0];
  box->y = numbers[1];
  box->width = numbers[2];
  box->height = numbers[3];
  return true;
}

bool SvgWalker::OwnTransform(const XmlEvent& event, const Frame& parent, Affine* transform) {
  Affine own;
  const std::string* text = XmlReader::Find(event, "transform");
  std::string error;
  if (text != nullptr && !ParseTransformList(*text, &own, &error)) return Fail(event, "transform: " + error);
  *transform = Compose(parent.transform, own);
  return true;
}

bool SvgWalker::Hidden(const XmlEvent& event) const {
  const std::string* display = XmlReader::Find(event, "display");
  if (display != nullptr && Trim(*display) == "none") return true;
  const std::string* style = XmlReader::Find(event, "style");
  if (style == nullptr) return false;
  size_t pos = 0;
  while (pos <= style->size()) {
    size_t end = style->find(';', pos);
    if (end == std::string::npos) end = style->size();
    const std::string declaration = style->substr(pos, end - pos);
    const size_t colon = declaration.find(':');
    if (colon != std::string::npos && Trim(declaration.substr(0, colon)) == "display" &&
        Trim(declaration.substr(colon + 1)) == "none")
      return true;
    pos = end + 1;
  }
  return false;
}

bool SvgWalker::SetUpRoot(const XmlEvent& event, Frame* frame) {
  ViewBox box;
  if (!ReadViewBox(event, &box)) return false;
  // The declared size in CSS pixels; percentages say nothing without a
  // surrounding page, so they count as absent.
  double width = 0, height = 0;
  bool haveWidth = false, haveHeight = false, percent = false;
  if (const std::string* text = XmlReader::Find(event, "width")) {
    if (!ParseLength(*text, HorizontalLength, nullptr, &width, &percent))
      return Fail(event, "width: '" + *text + "' is not a length");
    if (!percent && width <= 0) return Fail(event, "width must be positive");
    haveWidth = !percent;
  }
  if (const std::string* text = XmlReader::Find(event, "height")) {
    if (!ParseLength(*text, VerticalLength, nullptr, &height, &percent))
      return Fail(event, "height: '" + *text + "' is not a length");
    if (!percent && height <= 0) return Fail(event, "height must be positive");
    haveHeight = !percent;
  }
  if (box.present) {
    if (!haveWidth && !haveHeight) {
      width = box.width;
      height = box.height;
    } else if (!haveWidth) {
      width = height * box.width / box.height;
    } else if (!haveHeight) {
      height = width * box.height / box.width;
    }
    haveWidth = haveHeight = true;
  }
  const bool declared = haveWidth && haveHeight;
  const bool sizeGiven = options_.documentWidth > 0 && options_.documentHeight > 0;
  if (sizeGiven) {
    result_.documentWidth = options_.documentWidth;
    result_.documentHeight = options_.documentHeight;
  } else {
    if (!declared)
      return Fail(event, "the SVG declares no size (width and height or viewBox); give the document size");
    if (width > MaxSvgDocumentSide || height > MaxSvgDocumentSide)
      return Fail(event, "the declared size " + std::to_string(width) + " x " + std::to_string(height) +
                             " exceeds " + std::to_string(MaxSvgDocumentSide) + " pixels");
    result_.documentWidth = std::max<int32_t>(1, static_cast<int32_t>(std::lround(width)));
    result_.documentHeight = std::max<int32_t>(1, static_cast<int32_t>(std::lround(height)));
  }
  if (sizeGiven && options_.fitToDocument) {
    // The document is the viewport; without a viewBox the declared size
    // plays its part.
    if (!box.present && declared) {
      box.present = true;
      box.width = width;
      box.height = height;
    }
    width = result_.documentWidth;
    height = result_.documentHeight;
  } else if (!declared) {
    width = result_.documentWidth;
    height = result_.documentHeight;
  }
  Affine map;
  std::string error;
  if (box.present &&
      !ViewBoxTransform(box, 0, 0, width, height, XmlReader::Find(event, "preserveAspectRatio"), &map, &error))
    return Fail(event, error);
  frame->transform = map;
  if (!OwnTransform(event, *frame, &frame->transform)) return false;
  frame->viewportWidth = box.present ? box.width : width;
  frame->viewportHeight = box.present ? box.height : height;
  return true;
}

bool SvgWalker::SetUpNestedSvg(const XmlEvent& event, const Frame& parent, Frame* frame) {
  double x, y, width, height;
  if (!Length(event, parent, "x", HorizontalLength, 0.0, &x) ||
      !Length(event, parent, "y", VerticalLength, 0.0, &y) ||
      !Length(event, parent, "width", HorizontalLength, parent.viewportWidth, &width) ||
      !Length(event, parent, "height", VerticalLength, parent.viewportHeight, &height))
    return false;
  if (width < 0 || height < 0) return Fail(event, "width and height must not be negative");
  ViewBox box;
  if (!ReadViewBox(event, &box)) return false;
  Affine map = Translation(x, y);
  std::string error;
  if (box.present &&
      !ViewBoxTransform(box, x, y, width, height, XmlReader::Find(event, "preserveAspectRatio"), &map, &error))
    return Fail(event, error);
  if (!OwnTransform(event, parent, &frame->transform)) return false;
  frame->transform = Compose(frame->transform, map);
  frame->viewportWidth = box.present ? box.width : width;
  frame->viewportHeight = box.present ? box.height : height;
  frame->skip = width == 0 || height == 0;
  return true;
}

bool SvgWalker::DrawRect(const XmlEvent& event, const Frame& frame) {
  double x, y, width, height, rx, ry;
  if (!Length(event, frame, "x", HorizontalLength, 0.0, &x) || !Length(event, frame, "y", VerticalLength, 0.0, &y) ||
      !NonNegativeLength(event, frame, "width", HorizontalLength, &width) ||
      !NonNegativeLength(event, frame, "height", VerticalLength, &height) ||
      !NonNegativeLength(event, frame, "rx", HorizontalLength, &rx) ||
      !NonNegativeLength(event, frame, "ry", VerticalLength, &ry))
    return false;
  if (width == 0 || height == 0) return true;  // draws nothing
  // A missing corner radius takes the other's value; both stop at half a side.
  const bool haveRx = XmlReader::Find(event, "rx") != nullptr, haveRy = XmlReader::Find(event, "ry") != nullptr;
  if (!haveRx) rx = ry;
  if (!haveRy) ry = rx;
  rx = std::fmin(rx, width / 2);
  ry = std::fmin(ry, height / 2);
  const Affine& m = frame.transform;
  double px, py;
  auto lineTo = [&](double ux, double uy) {
    m.Apply(ux, uy, &px, &py);
    if (px != builder_.CurrentX() || py != builder_.CurrentY()) builder_.LineTo(px, py);
  };
  auto cornerTo = [&](double fromX, double fromY, double toX, double toY) {
    AddSvgArc(fromX, fromY, rx, ry, 0, false, true, toX, toY, m, builder_);
  };
  if (rx == 0 || ry == 0) {
    m.Apply(x, y, &px, &py);
    builder_.MoveTo(px, py);
    lineTo(x + width, y);
    lineTo(x + width, y + height);
    lineTo(x, y + height);
  } else {
    const double right = x + width, bottom = y + height;
    m.Apply(x + rx, y, &px, &py);
    builder_.MoveTo(px, py);
    lineTo(right - rx, y);
    cornerTo(right - rx, y, right, y + ry);
    lineTo(right, bottom - ry);
    cornerTo(right, bottom - ry, right - rx, bottom);
    lineTo(x + rx, bottom);
    cornerTo(x + rx, bottom, x, bottom - ry);
    lineTo(x, y + ry);
    cornerTo(x, y + ry, x + rx, y);
  }
  builder_.Close();
  return true;
}

bool SvgWalker::DrawEllipse(const XmlEvent& event, const Frame& frame, bool circle) {
  double cx, cy, rx, ry;
  if (!Length(event, frame, "cx", HorizontalLength, 0.0, &cx) || !Length(event, frame, "cy", VerticalLength, 0.0, &cy))
    return false;
  if (circle) {
    if (!NonNegativeLength(event, frame, "r", DiagonalLength, &rx)) return false;
    ry = rx;
  } else if (!NonNegativeLength(event, frame, "rx", HorizontalLength, &rx) ||
             !NonNegativeLength(event, frame, "ry", VerticalLength, &ry)) {
    return false;
  }
  if (rx == 0 || ry == 0) return true;  // draws nothing
  const Affine& m = frame.transform;
  double px, py;
  m.Apply(cx + rx, cy, &px, &py);
  builder_.MoveTo(px, py);
  // Four quarter arcs in the direction of increasing angle, from the
  // rightmost point, as SVG defines the shape.
  const double points[5][2] = {{cx + rx, cy}, {cx, cy + ry}, {cx - rx, cy}, {cx, cy - ry}, {cx + rx, cy}};
  for (int i = 0; i < 4; ++i)
    AddSvgArc(points[i][0], points[i][1], rx, ry, 0, false, true, points[i + 1][0], points[i + 1][1], m, builder_);
  builder_.Close();
  return true;
}

bool SvgWalker::DrawPoints(const XmlEvent& event, const Frame& frame, bool closed) {
  const std::string* text = XmlReader::Find(event, "points");
  if (text == nullptr) return true;
  std::vector<double> numbers;
  std::string error;
  if (!ParseNumberList(*text, &numbers, &error)) return Fail(event, "points: " + error);
  if (numbers.size() % 2 != 0) return Fail(event, "points: an odd number of coordinates");
  if (numbers.size() < 4) return true;
  double px, py;
  for (size_t i = 0; i < numbers.size(); i += 2) {
    frame.transform.Apply(numbers[i], numbers[i + 1], &px, &py);
    if (i == 0) builder_.MoveTo(px, py);
    else builder_.LineTo(px, py);
  }
  if (closed) builder_.Close();
  else builder_.EndOpen();
  return true;
}

bool SvgWalker::DrawShape(const std::string& name, const XmlEvent& event, const Frame& frame) {
  if (name == "path") {
    const std::string* data = XmlReader::Find(event, "d");
    if (data == nullptr) return true;
    std::string error;
    if (!ParseSvgPathData(*data, frame.transform, builder_, &error)) return Fail(event, "d: " + error);
    builder_.EndOpen();
    return true;
  }
  if (name == "rect") return DrawRect(event, frame);
  if (name == "circle") return DrawEllipse(event, frame, true);
  if (name == "ellipse") return DrawEllipse(event, frame, false);
  if (name == "polyline") return DrawPoints(event, frame, false);
  if (name == "polygon") return DrawPoints(event, frame, true);
  // line
  double x1, y1, x2, y2, px, py;
  if (!Length(event, frame, "x1", HorizontalLength, 0.0, &x1) || !Length(event, frame, "y1", VerticalLength, 0.0, &y1) ||
      !Length(event, frame, "x2", HorizontalLength, 0.0, &x2) || !Length(event, frame, "y2", VerticalLength, 0.0, &y2))
    return false;
  frame.transform.Apply(x1, y1, &px, &py);
  builder_.MoveTo(px, py);
  frame.transform.Apply(x2, y2, &px, &py);
  builder_.LineTo(px, py);
  builder_.EndOpen();
  return true;
}

bool IsOneOf(const std::string& name, std::initializer_list<const char*> names) {
  for (const char* candidate : names)
    if (name == candidate) return true;
  return false;
}

bool SvgWalker::Run(const std::string& text, std::string& error) {
  XmlReader reader(text);
  XmlEvent event;
  std::vector<Frame> frames;
  bool rootDone = false;
  while (true) {
    if (!reader.Next(&event, &error)) return false;
    if (event.kind == XmlEndOfDocument) break;
    if (event.kind == XmlEndElement) {
      frames.pop_back();
      if (frames.empty()) rootDone = true;
      continue;
    }
    // Elements may carry an "svg:" namespace prefix.
    std::string name = event.name;
    if (name.compare(0, 4, "svg:") == 0) name.erase(0, 4);
    Frame frame;
    if (frames.empty()) {
      if (name != "svg") {
        error = "line " + std::to_string(event.line) + ": the root element is <" + event.name + ">, not <svg>";
        return false;
      }
      if (!SetUpRoot(event, &frame)) {
        error = message_;
        return false;
      }
      frames.push_back(frame);
      continue;
    }
    const Frame& parent = frames.back();
    frame = parent;
    bool ok = true;
    if (parent.skip || Hidden(event)) {
      frame.skip = true;
    } else if (IsOneOf(name, {"g", "a", "switch"})) {
      ok = OwnTransform(event, parent, &frame.transform);
    } else if (name == "svg") {
      ok = SetUpNestedSvg(event, parent, &frame);
    } else if (IsOneOf(name, {"path", "rect", "circle", "ellipse", "line", "polyline", "polygon"})) {
      ok = OwnTransform(event, parent, &frame.transform) && DrawShape(name, event, frame);
      frame.skip = true;  // children of shapes (titles, animations) draw nothing
    } else {
      if (IsOneOf(name, {"use", "text", "image", "foreignObject"}))
        result_.warnings.push_back("line " + std::to_string(event.line) + ": <" + event.name +
                                   "> is not supported; ignored");
      frame.skip = true;
    }
    if (!ok) {
      error = message_;
      return false;
    }
    frames.push_back(frame);
  }
  if (!rootDone) {
    error = "the file contains no <svg> element";
    return false;
  }
  result_.path = builder_.Take();
  MarkSmoothKnots(result_.path);
  return true;
}

}  // namespace

bool ReadSvgText(const std::string& text, const SvgReadOptions& options, SvgReadResult& result,
                 std::string& error) {
  result = SvgReadResult();
  if ((options.documentWidth != 0 || options.documentHeight != 0) &&
      (options.documentWidth <= 0 || options.documentHeight <= 0 || options.documentWidth > MaxSvgDocumentSide ||
       options.documentHeight > MaxSvgDocumentSide)) {
    error = "the document size must be between 1 and " + std::to_string(MaxSvgDocumentSide) + " pixels";
    return false;
  }
  SvgWalker walker(options, result);
  return walker.Run(text, error);
}

bool ReadSvgFile(const std::string& fileName, const SvgReadOptions& options, SvgReadResult& result,
                 std::string& error) {
  FILE* file = std::fopen(fileName.c_str(), "rb");
  if (file == nullptr) {
    error = fileName + ": cannot open the file (" + std::strerror(errno) + ")";
    return false;
  }
  std::string text;
  char chunk[65536];
  size_t got;
  bool tooLarge = false;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
    if (text.size() + got > MaxSvgFileBytes) {
      tooLarge = true;
      break;
    }
    text.append(chunk, got);
  }
  const bool readError = std::ferror(file) != 0;
  std::fclose(file);
  if (tooLarge || readError) {
    error = fileName + (tooLarge ? ": the file is larger than " + std::to_string(MaxSvgFileBytes >> 20) + " MB"
                                 : std::string(": cannot read the file"));
    return false;
  }
  if (!ReadSvgText(text, options, result, error)) {
    error = fileName + ": " + error;
    return false;
  }
  return true;
}

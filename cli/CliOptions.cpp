#include "cli/CliOptions.h"

#include "cli/StyleOptions.h"
#include "style/StyleRecord.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* UsageText =
    R"~(Usage: bevelforge [INPUT.png|INPUT.tif | --size WxH] [path options] --out OUT.png [options]

Runs the Bevel Forge filter module headless, through the tool's own filter
host, on a document built from the command line, and writes the filtered
layer as a PNG file. The filter runs as after choosing it from a Filter menu
(parameters, prepare, start, finish), its dialog answered with OK unseen.

Document
  INPUT                 PNG or TIFF image (8 or 16 bits; palette, gray,
                        RGB, with or without alpha). Its size is the
                        document size.
  --size WxH            a blank canvas of W x H pixels instead of an image
  --mode gray|rgb|duotone
                        document mode (default: from the image, RGB for a
                        blank canvas); images are converted (gray from RGB
                        by luma 0.299/0.587/0.114; duotone uses the gray
                        values as its ink channel)
  --fill V | R,G,B      blank canvas colour, 0..255 (default 255: white)
  --layer               make the document a layer with editable
                        transparency (its alpha: the image's, or --opacity)
  --flat                make the document the background (no transparency;
                        an image's alpha is composited over white)
  --opacity A           transparency value 0..255 of a blank layer (default 255)
  --locked-transparency the layer's transparency is protected (implies a layer)
  --selection MASK      PNG or TIFF of the document's size; its gray values
                        (luma of colour images) are the selection

Target path (both may be given; their subpaths are combined)
  --svg FILE            shapes of an SVG file: path, rect, circle, ellipse,
                        line, polyline, polygon with their transforms. The
                        SVG's viewport is fitted to the document; without
                        INPUT or --size the SVG's own size is the document
                        size.
  --svg-actual-size     place the SVG at its declared size (1 CSS pixel =
                        1 document pixel) instead of fitting it
  --text STRING         text set along a baseline ("\n" starts a new line)
  --font FILE           outline font file for --text (TrueType, OpenType, ...)
  --face N              face index within a font collection (default 0)
  --font-size PX        em size in pixels
  --at X,Y              left end of the first baseline, in pixels (default:
                        the text is centred in the document)
  --no-kerning          ignore the font's kerning pairs
  Without --svg, --text or a traced path the document has no path; the filter
  then says so.

Target path traced from a picture (added to the --svg and --text subpaths)
  --path-from-alpha [THRESHOLD]
                        trace the input image's transparency: pixels whose
                        alpha is at least THRESHOLD (1..255, default 128)
                        are inside
  --path-from-mask FILE [THRESHOLD]
                        trace a gray or colour PNG or TIFF of the document's
                        size (or, without INPUT and --size, of any size, which
                        becomes the document size): pixels whose luma is at
                        least THRESHOLD are inside (white inside, as in a
                        layer mask; transparent parts count as black)
  --path-from-selection [THRESHOLD]
                        trace the --selection mask the same way
  --speckle-size PIXELS shapes and holes of at most this many pixels are
                        dropped as noise (default 2; 0 keeps every pixel)
  --corner-threshold A  how sharp a bend must be to stay a corner: 0 keeps
                        every step of the pixel staircase, 1.333 rounds every
                        bend (default 1: right angles stay sharp, round
                        shapes become smooth curves)
  --curve-tolerance PX  join curve segments into fewer ones while they stay
                        within PX pixels (default 0.2)
  --no-curve-optimization
                        keep every curve segment the tracer fits
  The traced outlines lie on the document's pixel grid, holes and the islands
  inside them kept.

Style
  --preset FILE         use the style of a preset file (.bfs): a private
                        copy of the module is run with the preset as its
                        last-used settings file (the module's Maps folder
                        stays in reach).
  --fresh               run a private copy of the module with no last-used
                        settings (the default style); without --fresh or
                        --preset the module reads and updates the last-used
                        settings file next to itself, as in a real host
  --save-preset FILE    after a successful run, save the style it used as a
                        preset: the settings file the module wrote
  --print-style FILE    print the settings of a preset file and stop

  Each option below overrides one setting, on top of --preset when given,
  else of the default style. They reach the module as the recorded action
  a host replays (without the dialog). Percentages are as the dialog shows
  them; colours RRGGBB (hex) or R,G,B. Giving an element a material value
  gives it its own material unless its --*-link is given too.
%STYLE_OPTIONS%
Module and output
  --module PATH         the filter module (default: BevelForge.so in the
                        frame folder of this build, or next to this tool)
  --out OUT.png         where to write the layer: gray or RGB, with alpha
                        when the document is a layer
  --compression N       PNG compression level 0..9 (default 1: fast, larger
                        files; 9: smallest files, slow)
  --path-out FILE       also write the target path's raw path records
  --path-out-svg FILE   also write the target path as an SVG of the
                        document's size (it overlays the picture exactly)
  --verbose             print the selector calls and the host's summary
  --help                print this text

Dialog (the Windows tool)
  --dialog-script FILE  show the filter's dialog for real and play the
                        script FILE on it (one step a line: click, tab,
                        slider, type, light, contour, color, menu, file,
                        zoom-in, zoom-out, scroll, shot, wait, ok, cancel);
                        the style options above are what the dialog opens
                        with. A step that cannot be played fails the run.
  --dialog-shots DIR    where the script's "shot NAME" pictures go
                        (default: the current folder)

Output
  Every message box the filter shows is printed as
    message [icon] caption: text
  followed by "result: CODE (meaning)". Warnings of the readers (SVG
  elements that are ignored, characters without a glyph) are printed first.

Exit status
  0  the filter ran and the output was written
  1  the filter ended with an error or a message code (nothing written)
  2  the command line is wrong (a value out of range names its option
     and the range)
  3  an input or output file, or the module, could not be used (a picture
     to trace with nothing in it, or a mask of another size, included)
)~";

bool StartsWith(const char* text, const char* prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }

bool ParseInteger(const std::string& text, long minimum, long maximum, long* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const long parsed = std::strtol(text.c_str(), &end, 10);
  if (*end != 0 || parsed < minimum || parsed > maximum) return false;
  *value = parsed;
  return true;
}

bool ParseReal(const std::string& text, double* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const double parsed = std::strtod(text.c_str(), &end);
  if (*end != 0 || !std::isfinite(parsed)) return false;
  *value = parsed;
  return true;
}

// Splits "a<separator>b"; returns 0 unless exactly one separator occurs.
bool SplitPair(const std::string& text, char separator, std::string* first, std::string* second) {
  const size_t at = text.find(separator);
  if (at == std::string::npos || text.find(separator, at + 1) != std::string::npos) return false;
  *first = text.substr(0, at);
  *second = text.substr(at + 1);
  return true;
}

// A value that the optional THRESHOLD of the --path-from-* options may take:
// anything that reads as a number (so that 300 or 0.5 are refused, not taken
// for an input image).
bool LooksNumeric(const char* text) {
  if (*text == 0) return false;
  char* end = nullptr;
  std::strtod(text, &end);
  return *end == 0;
}

// Replaces the two-character sequences "\n" and "\\" of a --text value.
std::string UnescapeText(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'n' || text[i + 1] == '\\')) {
      out.push_back(text[i + 1] == 'n' ? '\n' : '\\');
      ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

}  // namespace

std::string CliUsageText() {
  std::string text = UsageText;
  const std::string marker = "%STYLE_OPTIONS%";
  text.replace(text.find(marker), marker.size(), StyleOptionsHelp() + MapOptionsHelp());
  return text;
}

bool ParseCliArguments(int argc, const char* const* argv, CliOptions* options, std::string* error) {
  CliOptions o;
  bool haveSize = false;
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i];
    std::string value;
    bool inlineValue = false;
    if (StartsWith(argv[i], "--")) {
      const size_t equals = name.find('=');
      if (equals != std::string::npos) {
        value = name.substr(equals + 1);
        name.erase(equals);
        inlineValue = true;
      }
    }
    // Takes the option's value: "--name=value" or the next argument.
    auto takeValue = [&]() {
      if (inlineValue) return true;
      if (i + 1 >= argc) {
        *error = name + " needs a value";
        return false;
      }
      value = argv[++i];
      return true;
    };
    auto flag = [&](bool* target) {
      if (inlineValue) {
        *error = name + " takes no value";
        return false;
      }
      *target = true;
      return true;
    };
    auto bad = [&](const char* expected) {
      *error = name + ": '" + value + "' is not " + expected;
      return false;
    };
    long number = 0;
    if (name == "--help" || name == "-h") {
      if (!flag(&o.help)) return false;
    } else if (name == "--verbose" || name == "-v") {
      if (!flag(&o.verbose)) return false;
    } else if (name == "--size") {
      std::string w, h;
      long width = 0, height = 0;
      if (!takeValue()) return false;
      if (!SplitPair(value, 'x', &w, &h) || !ParseInteger(w, 1, 30000, &width) || !ParseInteger(h, 1, 30000, &height))
        return bad("a size WxH with sides from 1 to 30000");
      o.width = static_cast<int32_t>(width);
      o.height = static_cast<int32_t>(height);
      haveSize = true;
    } else if (name == "--mode") {
      if (!takeValue()) return false;
      if (value == "gray" || value == "grey" || value == "grayscale") o.mode = ModeChoice::Gray;
      else if (value == "rgb") o.mode = ModeChoice::Rgb;
      else if (value == "duotone") o.mode = ModeChoice::Duotone;
      else return bad("gray, rgb or duotone");
    } else if (name == "--fill") {
      if (!takeValue()) return false;
      std::string parts[3];
      size_t count = 0, start = 0;
      while (count < 3) {
        const size_t comma = value.find(',', start);
        parts[count++] = value.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (comma == std::string::npos) {
          start = std::string::npos;
          break;
        }
        start = comma + 1;
      }
      if (start != std::string::npos || (count != 1 && count != 3)) return bad("a value V or R,G,B");
      for (size_t k = 0; k < count; ++k) {
        if (!ParseInteger(parts[k], 0, 255, &number)) return bad("a value V or R,G,B of 0..255");
        o.fill[k] = static_cast<uint8_t>(number);
      }
      if (count == 1) o.fill[1] = o.fill[2] = o.fill[0];
    } else if (name == "--opacity") {
      if (!takeValue()) return false;
      if (!ParseInteger(value, 0, 255, &number)) return bad("a value of 0..255");
      o.opacity = static_cast<uint8_t>(number);
    } else if (name == "--layer") {
      bool set = false;
      if (!flag(&set)) return false;
      if (o.layer == LayerChoice::Flat) {
        *error = "--layer and --flat contradict each other";
        return false;
      }
      o.layer = LayerChoice::Layer;
    } else if (name == "--flat") {
      bool set = false;
      if (!flag(&set)) return false;
      if (o.layer == LayerChoice::Layer) {
        *error = "--layer and --flat contradict each other";
        return false;
      }
      o.layer = LayerChoice::Flat;
    } else if (name == "--locked-transparency") {
      if (!flag(&o.lockedTransparency)) return false;
    } else if (name == "--selection") {
      if (!takeValue()) return false;
      o.selectionMask = value;
    } else if (name == "--svg") {
      if (!takeValue()) return false;
      o.svgFile = value;
    } else if (name == "--svg-actual-size") {
      if (!flag(&o.svgActualSize)) return false;
    } else if (name == "--text") {
      if (!takeValue()) return false;
      o.text = UnescapeText(value);
      o.haveText = true;
    } else if (name == "--font") {
      if (!takeValue()) return false;
      o.fontFile = value;
    } else if (name == "--face") {
      if (!takeValue()) return false;
      if (!ParseInteger(value, 0, 65535, &number)) return bad("a face index");
      o.faceIndex = static_cast<int32_t>(number);
    } else if (name == "--font-size") {
      if (!takeValue()) return false;
      if (!ParseReal(value, &o.fontSize) || o.fontSize <= 0) return bad("a positive size in pixels");
    } else if (name == "--at") {
      std::string x, y;
      if (!takeValue()) return false;
      if (!SplitPair(value, ',', &x, &y) || !ParseReal(x, &o.originX) || !ParseReal(y, &o.originY))
        return bad("a position X,Y in pixels");
      o.haveOrigin = true;
    } else if (name == "--no-kerning") {
      bool set = false;
      if (!flag(&set)) return false;
      o.kerning = false;
    } else if (name == "--preset") {
      if (!takeValue()) return false;
      o.presetFile = value;
    } else if (name == "--reflection") {
      if (!takeValue()) return false;
      if (value == "background") {
        *error = "--reflection takes a TIFF or PNG file; the document itself can only be a map (--map color:background)";
        return false;
      }
      o.reflectionImage = value;
    } else if (name == "--map") {
      if (!takeValue()) return false;
      MapRequest request;
      if (!ParseMapRequest(value, &request, error)) return false;
      o.maps.push_back(request);
    } else if (name == "--save-preset") {
      if (!takeValue()) return false;
      o.savePresetFile = value;
    } else if (name == "--print-style") {
      if (!takeValue()) return false;
      o.printStyleFile = value;
    } else if (bool takesValue = false; IsStyleOption(name, &takesValue)) {
      bool set = false;
      if (takesValue ? !takeValue() : !flag(&set)) return false;
      // Checked now, so a wrong value is a command-line error with its range.
      StyleRecord scratch{};
      SetDefaultStyle(&scratch);
      if (!ApplyStyleOption(name, value, &scratch, error)) return false;
      o.styleOptions.emplace_back(name, value);
    } else if (name == "--fresh") {
      if (!flag(&o.freshSettings)) return false;
    } else if (name == "--module") {
      if (!takeValue()) return false;
      o.modulePath = value;
    } else if (name == "--out" || name == "-o") {
      if (!takeValue()) return false;
      o.outputImage = value;
    } else if (name == "--compression") {
      if (!takeValue()) return false;
      long number = 0;
      if (!ParseInteger(value, 0, 9, &number)) return bad("a PNG compression level of 0..9");
      o.compression = int32_t(number);
    } else if (name == "--dialog-script") {
      if (!takeValue()) return false;
      o.dialogScript = value;
    } else if (name == "--dialog-shots") {
      if (!takeValue()) return false;
      o.dialogShots = value;
    } else if (name == "--path-out") {
      if (!takeValue()) return false;
      o.pathRecordsOut = value;
    } else if (name == "--path-from-alpha" || name == "--path-from-mask" || name == "--path-from-selection") {
      if (o.traceSource != TraceSource::None) {
        *error = "give only one of --path-from-alpha, --path-from-mask and --path-from-selection";
        return false;
      }
      if (name == "--path-from-mask") {
        if (!takeValue()) return false;
        if (value.empty()) {
          *error = name + " needs a value";
          return false;
        }
        o.traceMask = value;
        o.traceSource = TraceSource::Mask;
        inlineValue = false;  // the threshold is always the next argument
      } else {
        o.traceSource = name == "--path-from-alpha" ? TraceSource::Alpha : TraceSource::Selection;
      }
      if (!inlineValue && i + 1 < argc && LooksNumeric(argv[i + 1])) {
        value = argv[++i];
        inlineValue = true;
      }
      if (inlineValue) {
        if (!ParseInteger(value, 1, 255, &number)) return bad("a threshold of 1..255");
        o.traceThreshold = static_cast<uint8_t>(number);
      }
    } else if (name == "--speckle-size") {
      if (!takeValue()) return false;
      if (!ParseInteger(value, 0, MaxSpeckleSize, &number)) return bad("a speckle size of 0..1000000 pixels");
      o.trace.speckleSize = static_cast<int32_t>(number);
      o.haveTraceSettings = true;
    } else if (name == "--corner-threshold") {
      if (!takeValue()) return false;
      if (!ParseReal(value, &o.trace.cornerThreshold) || o.trace.cornerThreshold < 0 ||
          o.trace.cornerThreshold > MaxCornerThreshold)
        return bad("a corner threshold of 0..1.333");
      o.haveTraceSettings = true;
    } else if (name == "--curve-tolerance") {
      if (!takeValue()) return false;
      if (!ParseReal(value, &o.trace.curveTolerance) || o.trace.curveTolerance < 0 ||
          o.trace.curveTolerance > MaxCurveTolerance)
        return bad("a curve tolerance of 0..10 pixels");
      o.haveTraceSettings = true;
    } else if (name == "--no-curve-optimization") {
      bool set = false;
      if (!flag(&set)) return false;
      o.trace.optimizeCurves = false;
      o.haveTraceSettings = true;
    } else if (name == "--path-out-svg") {
      if (!takeValue()) return false;
      o.pathSvgOut = value;
    } else if (StartsWith(argv[i], "-") && std::strlen(argv[i]) > 1) {
      *error = "unknown option " + name + " (see --help)";
      return false;
    } else {
      if (!o.inputImage.empty()) {
        *error = "more than one input image: " + o.inputImage + " and " + name;
        return false;
      }
      o.inputImage = argv[i];
    }
    if (inlineValue && value.empty()) {
      *error = name + " needs a value";
      return false;
    }
  }
  if (o.help || !o.printStyleFile.empty()) {
    *options = o;
    return true;
  }
  if (!o.inputImage.empty() && haveSize) {
    *error = "give either an input image or --size, not both";
    return false;
  }
  if (o.inputImage.empty() && !haveSize && o.svgFile.empty() && o.traceMask.empty()) {
    *error = "no document: give an input image, --size WxH, or an --svg file that declares its size";
    return false;
  }
  if (o.traceSource == TraceSource::Alpha && o.inputImage.empty()) {
    *error = "--path-from-alpha traces the input image's transparency: give an input image";
    return false;
  }
  if (o.traceSource == TraceSource::Selection && o.selectionMask.empty()) {
    *error = "--path-from-selection traces the --selection mask: give --selection MASK";
    return false;
  }
  if (o.traceSource == TraceSource::None && o.haveTraceSettings) {
    *error = "--speckle-size, --corner-threshold, --curve-tolerance and --no-curve-optimization only apply to a "
             "path traced with --path-from-alpha, --path-from-mask or --path-from-selection";
    return false;
  }
  if (o.haveText && (o.fontFile.empty() || o.fontSize <= 0)) {
    *error = "--text needs --font FILE and --font-size PX";
    return false;
  }
  if (!o.haveText && (!o.fontFile.empty() || o.fontSize > 0 || o.haveOrigin)) {
    *error = "--font, --font-size and --at only apply to --text";
    return false;
  }
  if (o.lockedTransparency && o.layer == LayerChoice::Flat) {
    *error = "--locked-transparency needs a layer; it contradicts --flat";
    return false;
  }
  if (o.outputImage.empty()) {
    *error = "no output: give --out OUT.png";
    return false;
  }
  *options = o;
  return true;
}

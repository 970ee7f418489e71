#include "cli/SvgGeometry.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double QuarterTurn = Pi / 2;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

void SkipSpace(const std::string& text, size_t* pos) {
  while (*pos < text.size() && IsSpace(text[*pos])) ++*pos;
}

// White space, then at most one comma with white space around it.
void SkipSeparator(const std::string& text, size_t* pos) {
  SkipSpace(text, pos);
  if (*pos < text.size() && text[*pos] == ',') {
    ++*pos;
    SkipSpace(text, pos);
  }
}

std::string Near(const std::string& text, size_t pos) {
  if (pos >= text.size()) return "at the end";
  std::string excerpt = text.substr(pos, 12);
  for (char& c : excerpt)
    if (IsSpace(c)) c = ' ';
  return "at offset " + std::to_string(pos) + " ('" + excerpt + "')";
}

double Radians(double degrees) { return degrees * Pi / 180.0; }

// Angle from vector u to vector v, in (-pi, pi].
double VectorAngle(double ux, double uy, double vx, double vy) {
  return std::atan2(ux * vy - uy * vx, ux * vx + uy * vy);
}

}  // namespace

Affine Compose(const Affine& second, const Affine& first) {
  Affine r;
  r.a = second.a * first.a + second.c * first.b;
  r.b = second.b * first.a + second.d * first.b;
  r.c = second.a * first.c + second.c * first.d;
  r.d = second.b * first.c + second.d * first.d;
  r.e = second.a * first.e + second.c * first.f + second.e;
  r.f = second.b * first.e + second.d * first.f + second.f;
  return r;
}

Affine Translation(double tx, double ty) {
  Affine r;
  r.e = tx;
  r.f = ty;
  return r;
}

Affine Scaling(double sx, double sy) {
  Affine r;
  r.a = sx;
  r.d = sy;
  return r;
}

Affine Rotation(double degrees) {
  // Exact values at multiples of a quarter turn keep rectangles rectangular.
  double s, c;
  const double turns = degrees / 90.0;
  if (turns == std::floor(turns)) {
    static const double sines[4] = {0, 1, 0, -1};
    const int quarter = static_cast<int>(std::fmod(std::fmod(turns, 4.0) + 4.0, 4.0));
    s = sines[quarter];
    c = sines[(quarter + 1) % 4];
  } else {
    s = std::sin(Radians(degrees));
    c = std::cos(Radians(degrees));
  }
  Affine r;
  r.a = c;
  r.b = s;
  r.c = -s;
  r.d = c;
  return r;
}

bool ReadSvgNumber(const std::string& text, size_t* pos, double* value) {
  size_t i = *pos;
  const size_t n = text.size();
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = 0;
  while (i < n && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return false;
  // An exponent only counts when digits follow, so "1em" ends before 'e'.
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    if (j < n && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < n && text[j] >= '0' && text[j] <= '9') {
      while (j < n && text[j] >= '0' && text[j] <= '9') ++j;
      i = j;
    }
  }
  // strtod would accept more ("0x1p3", "inf") than SVG; it only converts the
  // span checked above, copied so that it cannot read past it.
  const std::string span = text.substr(*pos, i - *pos);
  errno = 0;
  char* end = nullptr;
  const double parsed = std::strtod(span.c_str(), &end);
  if (end != span.c_str() + span.size() || !std::isfinite(parsed)) return false;
  *value = parsed;
  *pos = i;
  return true;
}

bool ParseNumberList(const std::string& text, std::vector<double>* numbers, std::string* error) {
  size_t pos = 0;
  SkipSpace(text, &pos);
  while (pos < text.size()) {
    double value;
    if (!ReadSvgNumber(text, &pos, &value)) {
      *error = "expected a number " + Near(text, pos);
      return false;
    }
    numbers->push_back(value);
    SkipSeparator(text, &pos);
  }
  return true;
}

bool ParseTransformList(const std::string& text, Affine* transform, std::string* error) {
  Affine result;
  size_t pos = 0;
  SkipSpace(text, &pos);
  while (pos < text.size()) {
    const size_t nameStart = pos;
    while (pos < text.size() && std::isalpha(static_cast<unsigned char>(text[pos]))) ++pos;
    const std::string name = text.substr(nameStart, pos - nameStart);
    SkipSpace(text, &pos);
    if (name.empty() || pos >= text.size() || text[pos] != '(') {
      *error = "expected a transform name and '(' " + Near(text, nameStart);
      return false;
    }
    ++pos;
    double args[6];
    int count = 0;
    SkipSpace(text, &pos);
    while (pos < text.size() && text[pos] != ')') {
      if (count == 6 || !ReadSvgNumber(text, &pos, &args[count])) {
        *error = "bad argument of " + name + " " + Near(text, pos);
        return false;
      }
      ++count;
      SkipSeparator(text, &pos);
    }
    if (pos >= text.size()) {
      *error = name + "( is not closed with ')'";
      return false;
    }
    ++pos;
    Affine step;
    bool countOk;
    if (name == "matrix") {
      countOk = count == 6;
      if (countOk) step = Affine{args[0], args[1], args[2], args[3], args[4], args[5]};
    } else if (name == "translate") {
      countOk = count == 1 || count == 2;
      if (countOk) step = Translation(args[0], count == 2 ? args[1] : 0.0);
    } else if (name == "scale") {
      countOk = count == 1 || count == 2;
      if (countOk) step = Scaling(args[0], count == 2 ? args[1] : args[0]);
    } else if (name == "rotate") {
      countOk = count == 1 || count == 3;
      if (countOk) {
        step = Rotation(args[0]);
        if (count == 3)
          step = Compose(Translation(args[1], args[2]), Compose(step, Translation(-args[1], -args[2])));
      }
    } else if (name == "skewX" || name == "skewY") {
      countOk = count == 1;
      const double slope = countOk ? std::tan(Radians(args[0])) : 0.0;
      if (countOk && !std::isfinite(slope)) countOk = false;
      if (name == "skewX") step.c = slope;
      else step.b = slope;
    } else {
      *error = "unknown transform '" + name + "'";
      return false;
    }
    if (!countOk) {
      *error = name + " does not take " + std::to_string(count) + " argument(s)";
      return false;
    }
    result = Compose(result, step);
    SkipSeparator(text, &pos);
  }
  *transform = result;
  return true;
}

void AddSvgArc(double fromX, double fromY, double rx, double ry, double rotationDegrees, bool largeArc,
               bool sweep, double toX, double toY, const Affine& transform, PathBuilder& builder) {
  double px, py;
  if (fromX == toX && fromY == toY) return;
  rx = std::fabs(rx);
  ry = std::fabs(ry);
  if (rx == 0 || ry == 0) {
    transform.Apply(toX, toY, &px, &py);
    builder.LineTo(px, py);
    return;
  }
  // Endpoint to centre parameterisation: work in the frame of the ellipse's
  // axes, with the origin halfway between the end points.
  const double phi = Radians(rotationDegrees);
  const double cosPhi = std::cos(phi), sinPhi = std::sin(phi);
  const double hx = (fromX - toX) / 2, hy = (fromY - toY) / 2;
  const double x1 = cosPhi * hx + sinPhi * hy;
  const double y1 = -sinPhi * hx + cosPhi * hy;
  // Radii too small to span the end points grow uniformly until they do.
  const double lambda = (x1 * x1) / (rx * rx) + (y1 * y1) / (ry * ry);
  if (lambda > 1) {
    const double grow = std::sqrt(lambda);
    rx *= grow;
    ry *= grow;
  }
  const double rx2 = rx * rx, ry2 = ry * ry;
  const double denominator = rx2 * y1 * y1 + ry2 * x1 * x1;
  double factor = denominator > 0 ? std::sqrt(std::fmax(0.0, (rx2 * ry2 - denominator) / denominator)) : 0.0;
  if (largeArc == sweep) factor = -factor;
  const double cxPrime = factor * rx * y1 / ry;
  const double cyPrime = -factor * ry * x1 / rx;
  const double cx = cosPhi * cxPrime - sinPhi * cyPrime + (fromX + toX) / 2;
  const double cy = sinPhi * cxPrime + cosPhi * cyPrime + (fromY + toY) / 2;
  const double startAngle = VectorAngle(1, 0, (x1 - cxPrime) / rx, (y1 - cyPrime) / ry);
  double sweepAngle = VectorAngle((x1 - cxPrime) / rx, (y1 - cyPrime) / ry, (-x1 - cxPrime) / rx,
                                  (-y1 - cyPrime) / ry);
  if (!sweep && sweepAngle > 0) sweepAngle -= 2 * Pi;
  if (sweep && sweepAngle < 0) sweepAngle += 2 * Pi;
  // Radii or end points at the limits of double range leave no usable
  // ellipse; the arc then degrades to its chord, as for a zero radius.
  if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(rx) || !std::isfinite(ry) ||
      !std::isfinite(startAngle) || !std::isfinite(sweepAngle)) {
    transform.Apply(toX, toY, &px, &py);
    builder.LineTo(px, py);
    return;
  }

  // Unit-circle point at angle t mapped onto the ellipse and through `transform`.
  auto onEllipse = [&](double ux, double uy, double* outX, double* outY) {
    const double ex = cx + rx * cosPhi * ux - ry * sinPhi * uy;
    const double ey = cy + rx * sinPhi * ux + ry * cosPhi * uy;
    transform.Apply(ex, ey, outX, outY);
  };
  int segments = static_cast<int>(std::ceil(std::fabs(sweepAngle) / QuarterTurn - 1e-9));
  if (segments < 1) segments = 1;
  const double step = sweepAngle / segments;
  // Control distance of a cubic matching a circular arc of `step` at both
  // ends and at its middle.
  const double k = 4.0 / 3.0 * std::tan(step / 4);
  double t = startAngle;
  for (int i = 0; i < segments; ++i) {
    const double t1 = (i + 1 == segments) ? startAngle + sweepAngle : t + step;
    const double c0 = std::cos(t), s0 = std::sin(t), c1 = std::cos(t1), s1 = std::sin(t1);
    double ax, ay, bx, by, ex, ey;
    onEllipse(c0 - k * s0, s0 + k * c0, &ax, &ay);
    onEllipse(c1 + k * s1, s1 - k * c1, &bx, &by);
    if (i + 1 == segments) transform.Apply(toX, toY, &ex, &ey);  // land exactly on the end point
    else onEllipse(c1, s1, &ex, &ey);
    builder.CubicTo(ax, ay, bx, by, ex, ey);
    t = t1;
  }
}

namespace {

// Number of arguments per repetition of each path command.
int ArgumentCount(char command) {
  switch (command) {
    case 'M': case 'L': case 'T': return 2;
    case 'H': case 'V': return 1;
    case 'C': return 6;
    case 'S': case 'Q': return 4;
    case 'A': return 7;
    case 'Z': return 0;
    default: return -1;
  }
}

// Arc flags are single digits and need no separator after them ("a1 1 0 01 5 5").
bool ReadFlag(const std::string& text, size_t* pos, double* value) {
  if (*pos < text.size() && (text[*pos] == '0' || text[*pos] == '1')) {
    *value = text[*pos] - '0';
    ++*pos;
    return true;
  }
  return false;
}

}  // namespace

bool ParseSvgPathData(const std::string& data, const Affine& transform, PathBuilder& builder,
                      std::string* error) {
  size_t pos = 0;
  // Current point, subpath start and the last control point, in user space.
  double x = 0, y = 0, startX = 0, startY = 0, lastCx = 0, lastCy = 0;
  char previous = 0;  // upper-case command of the previous segment
  char command = 0;
  bool relative = false;
  auto map = [&](double ux, double uy, double* outX, double* outY) { transform.Apply(ux, uy, outX, outY); };
  SkipSpace(data, &pos);
  while (pos < data.size()) {
    const char c = data[pos];
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (std::isalpha(static_cast<unsigned char>(c))) {
      if (ArgumentCount(upper) < 0) {
        *error = "unknown path command '" + std::string(1, c) + "' " + Near(data, pos);
        return false;
      }
      command = upper;
      relative = c != upper;
      ++pos;
      SkipSpace(data, &pos);
    } else if (command == 0) {
      *error = "path data must start with a moveto command " + Near(data, pos);
      return false;
    } else if (command == 'Z') {
      *error = "numbers after a closepath command " + Near(data, pos);
      return false;
    }
    if (previous == 0 && command != 'M') {
      *error = "path data must start with a moveto command";
      return false;
    }
    if (command == 'Z') {
      builder.Close();
      x = startX;
      y = startY;
      previous = 'Z';
      SkipSpace(data, &pos);
      continue;
    }
    const int count = ArgumentCount(command);
    double a[7];
    for (int i = 0; i < count; ++i) {
      if (i > 0) SkipSeparator(data, &pos);
      const bool ok = (command == 'A' && (i == 3 || i == 4)) ? ReadFlag(data, &pos, &a[i])
                                                             : ReadSvgNumber(data, &pos, &a[i]);
      if (!ok) {
        *error = std::string(command == 'A' && (i == 3 || i == 4) ? "expected an arc flag (0 or 1) "
                                                                  : "expected a number ") +
                 "for '" + std::string(1, relative ? static_cast<char>(std::tolower(command)) : command) +
                 "' " + Near(data, pos);
        return false;
      }
    }
    const double ox = relative ? x : 0, oy = relative ? y : 0;
    double p1x, p1y, p2x, p2y, p3x, p3y;
    switch (command) {
      case 'M':
        x = a[0] + ox;
        y = a[1] + oy;
        startX = x;
        startY = y;
        map(x, y, &p1x, &p1y);
        builder.MoveTo(p1x, p1y);
        command = 'L';  // further pairs are implicit linetos
        break;
      case 'L':
      case 'H':
      case 'V':
        if (command == 'L') {
          x = a[0] + ox;
          y = a[1] + oy;
        } else if (command == 'H') {
          x = a[0] + ox;
        } else {
          y = a[0] + oy;
        }
        map(x, y, &p1x, &p1y);
        builder.LineTo(p1x, p1y);
        break;
      case 'C':
      case 'S': {
        double c1x, c1y;
        int i = 0;
        if (command == 'C') {
          c1x = a[0] + ox;
          c1y = a[1] + oy;
          i = 2;
        } else if (previous == 'C' || previous == 'S') {
          c1x = 2 * x - lastCx;
          c1y = 2 * y - lastCy;
        } else {
          c1x = x;
          c1y = y;
        }
        lastCx = a[i] + ox;
        lastCy = a[i + 1] + oy;
        x = a[i + 2] + ox;
        y = a[i + 3] + oy;
        map(c1x, c1y, &p1x, &p1y);
        map(lastCx, lastCy, &p2x, &p2y);
        map(x, y, &p3x, &p3y);
        builder.CubicTo(p1x, p1y, p2x, p2y, p3x, p3y);
        break;
      }
      case 'Q':
      case 'T': {
        int i = 0;
        if (command == 'Q') {
          lastCx = a[0] + ox;
          lastCy = a[1] + oy;
          i = 2;
        } else if (previous == 'Q' || previous == 'T') {
          lastCx = 2 * x - lastCx;
          lastCy = 2 * y - lastCy;
        } else {
          lastCx = x;
          lastCy = y;
        }
        const double x0 = x, y0 = y;
        x = a[i] + ox;
        y = a[i + 1] + oy;
        // The equal cubic, built in user space so the map stays affine-exact.
        map(x0 + 2.0 / 3.0 * (lastCx - x0), y0 + 2.0 / 3.0 * (lastCy - y0), &p1x, &p1y);
        map(x + 2.0 / 3.0 * (lastCx - x), y + 2.0 / 3.0 * (lastCy - y), &p2x, &p2y);
        map(x, y, &p3x, &p3y);
        builder.CubicTo(p1x, p1y, p2x, p2y, p3x, p3y);
        break;
      }
      case 'A': {
        const double toX = a[5] + ox, toY = a[6] + oy;
        AddSvgArc(x, y, a[0], a[1], a[2], a[3] != 0, a[4] != 0, toX, toY, transform, builder);
        x = toX;
        y = toY;
        break;
      }
      default:
        break;
    }
    previous = command;
    SkipSeparator(data, &pos);
  }
  return true;
}

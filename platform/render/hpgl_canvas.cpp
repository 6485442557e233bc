#include "platform/render/hpgl_canvas.h"

#include <plot.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "platform/model/error.h"

namespace velmora::platform {

namespace {

int level16(double v) {
  return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 65535));
}

}  // namespace

HpglCanvas::HpglCanvas(std::FILE* out, double widthPx, double heightPx) : width_(widthPx), height_(heightPx) {
  params_ = pl_newplparams();
  // Plain HP-GL, as pen plotters and their readers understand it: outlines drawn with numbered pens.
  // The HP-GL/2 polygon and fill commands are lost on most readers, which then show a blank page.
  pl_setplparam(params_, "HPGL_VERSION", const_cast<char*>("1"));
  pl_setplparam(params_, "PAGESIZE", const_cast<char*>("a4"));
  plotter_ = pl_newpl_r("hpgl", nullptr, out, nullptr, params_);
  if (!plotter_ || pl_openpl_r(plotter_) < 0) throw Error("cannot start the HP-GL plot");
  open_ = true;
  // The canvas (y downwards) centred in the square plotting area (y upwards).
  const double side = std::max(widthPx, heightPx);
  const double x0 = -(side - widthPx) / 2, y0 = -(side - heightPx) / 2;
  pl_fspace_r(plotter_, x0, y0, x0 + side, y0 + side);
  pl_joinmod_r(plotter_, "round");
  pl_capmod_r(plotter_, "round");
  // libplot maps the square onto the 19.7 cm drawing area of an A4 sheet.
  constexpr double kDrawingAreaMm = 197, kPenMm = 0.35;
  penWidth_ = kPenMm / (kDrawingAreaMm / side);
}

HpglCanvas::~HpglCanvas() {
  if (open_) pl_closepl_r(plotter_);
  if (plotter_) pl_deletepl_r(plotter_);
  if (params_) pl_deleteplparams(params_);
}

void HpglCanvas::finish() {
  if (!open_) return;
  open_ = false;
  if (pl_closepl_r(plotter_) < 0) throw Error("HP-GL output failed");
}

void HpglCanvas::path(std::span<const Point> points, bool close) {
  pl_fmove_r(plotter_, points[0].x, height_ - points[0].y);
  for (std::size_t i = 1; i < points.size(); ++i) pl_fcont_r(plotter_, points[i].x, height_ - points[i].y);
  if (close) pl_closepath_r(plotter_);
  pl_endpath_r(plotter_);
}

void HpglCanvas::setPen(const Stroke& s) {
  pl_pentype_r(plotter_, 1);
  pl_pencolor_r(plotter_, level16(s.color.r), level16(s.color.g), level16(s.color.b));
  pl_flinewidth_r(plotter_, s.width);
  switch (s.style) {
    case LineStyle::Solid:
      pl_linemod_r(plotter_, "solid");
      break;
    case LineStyle::Dashed:
      pl_linemod_r(plotter_, "shortdashed");
      break;
    case LineStyle::Dotted:
      pl_linemod_r(plotter_, "dotted");
      break;
    case LineStyle::DashDot:
      pl_linemod_r(plotter_, "dotdashed");
      break;
  }
}

void HpglCanvas::polyline(std::span<const Point> points, const Stroke& stroke) {
  if (points.size() < 2) return;
  setPen(stroke);
  pl_filltype_r(plotter_, 0);
  path(points, false);
}

double HpglCanvas::hatchAngle(std::optional<std::size_t> band) {
  static constexpr double kBandAngles[] = {45, 135, 0, 90, 22.5, 112.5, 67.5, 157.5};
  return band ? kBandAngles[*band % std::size(kBandAngles)] : 45;
}

void HpglCanvas::polygon(std::span<const Point> points, const std::optional<Rgb>& fill,
                         const std::optional<Stroke>& edge) {
  if (points.size() < 3) return;
  // Plotter paper is white: a white area needs no ink.
  if (fill && !(fill->r >= 1 && fill->g >= 1 && fill->b >= 1)) hatch(points, *fill, hatchAngle(band_));
  // The outline of a band piece only closes seams on screen; on paper it would draw the pieces' lattice.
  if (edge && !band_) {
    setPen(*edge);
    pl_filltype_r(plotter_, 0);
    path(points, true);
  }
}

void HpglCanvas::hatch(std::span<const Point> points, const Rgb& color, double angleDegrees) {
  // In coordinates turned by the angle, the strokes are the lines v = k * spacing; each is cut where it
  // crosses the outline and drawn between alternate crossings (even-odd), so it ends exactly at the edge.
  // The lines sit at whole multiples of the spacing, so the strokes of neighbouring pieces of one band
  // continue each other.
  const double a = angleDegrees * std::numbers::pi / 180, c = std::cos(a), s = std::sin(a);
  std::vector<std::pair<double, double>> uv;
  uv.reserve(points.size());
  double vmin = HUGE_VAL, vmax = -HUGE_VAL;
  for (const Point& p : points) {
    uv.emplace_back(p.x * c + p.y * s, -p.x * s + p.y * c);
    vmin = std::min(vmin, uv.back().second);
    vmax = std::max(vmax, uv.back().second);
  }
  const double step = hatchSpacing();
  if (!std::isfinite(vmin) || !std::isfinite(vmax) || (vmax - vmin) / step > 1e5) return;
  setPen(Stroke{color, penWidth_, LineStyle::Solid});
  pl_filltype_r(plotter_, 0);
  std::vector<double> crossings;
  for (double k = std::ceil(vmin / step); k * step <= vmax; ++k) {
    const double v = k * step;
    crossings.clear();
    for (std::size_t i = 0, j = uv.size() - 1; i < uv.size(); j = i++) {
      const auto& [ui, vi] = uv[i];
      const auto& [uj, vj] = uv[j];
      if ((vi <= v) != (vj <= v)) crossings.push_back(ui + (v - vi) / (vj - vi) * (uj - ui));
    }
    std::sort(crossings.begin(), crossings.end());
    for (std::size_t m = 0; m + 1 < crossings.size(); m += 2) {
      const double u0 = crossings[m], u1 = crossings[m + 1];
      pl_fline_r(plotter_, u0 * c - v * s, height_ - (u0 * s + v * c), u1 * c - v * s,
                 height_ - (u1 * s + v * c));
    }
  }
  pl_endpath_r(plotter_);
}

void HpglCanvas::selectFont(const Font& font) {
  const bool serif =
      font.name.find("Times") != std::string::npos || font.name.find("Serif") != std::string::npos;
  const bool bold = font.weight == FontWeight::Bold || font.weight == FontWeight::Demi;
  std::string name = serif ? "HersheySerif" : "HersheySans";
  if (bold) name += "-Bold";
  if (font.italic) name += serif ? "-Italic" : "-Oblique";
  if (bold && font.italic) name = serif ? "HersheySerif-BoldItalic" : "HersheySans-BoldOblique";
  pl_fontname_r(plotter_, name.c_str());
  pl_ffontsize_r(plotter_, font.size);
}

std::string HpglCanvas::plotterText(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      if (c == '\\')
        out += "\\\\";  // a backslash starts an escape in libplot labels
      else
        out += static_cast<char>(c);
      ++i;
      continue;
    }
    // Decode one UTF-8 sequence.
    unsigned cp = 0;
    std::size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    cp = len == 1 ? c : c & (0xFF >> (len + 1));
    for (std::size_t k = 1; k < len && i + k < s.size(); ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    i += len;
    static constexpr struct {
      unsigned cp;
      const char* escape;
    } kGreek[] = {{0x0391, "\\*A"}, {0x0392, "\\*B"}, {0x0393, "\\*G"}, {0x0394, "\\*D"}, {0x0398, "\\*H"},
                  {0x039B, "\\*L"}, {0x03A0, "\\*P"}, {0x03A3, "\\*S"}, {0x03A6, "\\*F"}, {0x03A9, "\\*W"},
                  {0x03B1, "\\*a"}, {0x03B2, "\\*b"}, {0x03B3, "\\*g"}, {0x03B4, "\\*d"}, {0x03B5, "\\*e"},
                  {0x03B8, "\\*h"}, {0x03BB, "\\*l"}, {0x03BC, "\\*m"}, {0x03C0, "\\*p"}, {0x03C1, "\\*r"},
                  {0x03C3, "\\*s"}, {0x03C4, "\\*t"}, {0x03C6, "\\*f"}, {0x03C9, "\\*w"}};
    bool done = false;
    for (const auto& g : kGreek) {
      if (g.cp == cp) {
        out += g.escape;
        done = true;
        break;
      }
    }
    if (done) continue;
    out += cp >= 0xA0 && cp <= 0xFF ? static_cast<char>(cp) : '?';
  }
  return out;
}

TextMetrics HpglCanvas::measureText(std::string_view utf8, const Font& font) {
  selectFont(font);
  const double w = pl_flabelwidth_r(plotter_, plotterText(utf8).c_str());
  return {w, font.size * 0.75, font.size * 0.25};
}

void HpglCanvas::text(Point origin, std::string_view utf8, const Font& font, const Rgb& color,
                      double angleDegrees) {
  selectFont(font);
  pl_pencolor_r(plotter_, level16(color.r), level16(color.g), level16(color.b));
  pl_flinewidth_r(plotter_, std::max(0.5, font.size / 14));
  pl_linemod_r(plotter_, "solid");
  pl_ftextangle_r(plotter_, angleDegrees);
  pl_fmove_r(plotter_, origin.x, height_ - origin.y);
  pl_alabel_r(plotter_, 'l', 'x', plotterText(utf8).c_str());
  pl_ftextangle_r(plotter_, 0);
}

}  // namespace velmora::platform

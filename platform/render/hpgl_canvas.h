#pragma once

#include <cstdio>

#include "platform/render/canvas.h"

struct plPlotterStruct;
struct plPlotterParamsStruct;

namespace velmora::platform {

// An HP-GL plotter file through GNU libplot. The canvas is centred on the plotter's square drawing area;
// texts use libplot's stroked vector fonts. A pen plotter fills an area by hatching it: parallel strokes
// of the area's pen cut exactly at its outline, with one angle per colour band so that neighbouring
// bands differ even where the plotter's few pens give them one colour.
class HpglCanvas : public Canvas {
 public:
  HpglCanvas(std::FILE* out, double widthPx, double heightPx);
  ~HpglCanvas() override;
  HpglCanvas(const HpglCanvas&) = delete;
  HpglCanvas& operator=(const HpglCanvas&) = delete;

  // Ends the plot; raises an Error when libplot failed.
  void finish();

  double width() const override { return width_; }
  double height() const override { return height_; }
  // A plotter has no clipping of its own; the renderer cuts geometry to the box before it arrives here.
  void setClip(const std::optional<PixelRect>&) override {}
  bool clipsItself() const override { return false; }
  void polyline(std::span<const Point> points, const Stroke& stroke) override;
  void polygon(std::span<const Point> points, const std::optional<Rgb>& fill,
               const std::optional<Stroke>& edge) override;
  void setColorBand(std::optional<std::size_t> row) override { band_ = row; }
  TextMetrics measureText(std::string_view utf8, const Font& font) override;
  void text(Point origin, std::string_view utf8, const Font& font, const Rgb& color,
            double angleDegrees) override;

  // The hatch angle of a colour band in degrees (neighbouring bands differ), and of other areas.
  static double hatchAngle(std::optional<std::size_t> band);
  // Distance between hatch strokes in canvas pixels: three pen widths, so strokes stay apart.
  double hatchSpacing() const { return 3 * penWidth_; }

  // UTF-8 text in the form libplot's vector fonts read: ISO Latin-1, Greek letters as escapes.
  static std::string plotterText(std::string_view utf8);

 private:
  void path(std::span<const Point> points, bool close);
  void setPen(const Stroke& s);
  void selectFont(const Font& font);
  void hatch(std::span<const Point> points, const Rgb& color, double angleDegrees);

  double width_, height_;
  plPlotterParamsStruct* params_ = nullptr;
  plPlotterStruct* plotter_ = nullptr;
  bool open_ = false;
  std::optional<std::size_t> band_;
  double penWidth_ = 1;  // a fine plotter pen (0.35 mm) in canvas pixels
};

}  // namespace velmora::platform

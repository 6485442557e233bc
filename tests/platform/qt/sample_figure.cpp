#include "sample_figure.h"

#include "platform/model/colormaps.h"

namespace velmora::platform::testing {

SampleFigure makeSampleFigure(Graphics& g) {
  SampleFigure s;
  s.figure = g.create(ObjectType::Figure, kRoot);
  g.setRow(s.figure, "position", {100, 100, 640, 560});
  g.set(s.figure, "colormap", jetColormap());

  s.barAxes = g.create(ObjectType::Axes, s.figure);
  g.setRow(s.barAxes, "position", {0.89, 0.2, 0.05, 0.6});
  g.set(s.barAxes, "xtick", Matrix{});
  g.setText(s.barAxes, "yaxislocation", "right");
  g.setRow(s.barAxes, "ticklength", {0, 0});
  g.setRow(s.barAxes, "xlim", {0, 1});
  g.setRow(s.barAxes, "ylim", {-0.5, 4.5});
  g.setRow(s.barAxes, "ytick", {0, 1, 2, 3, 4});
  g.setText(s.barAxes, "box", "on");
  g.setRow(s.barAxes, "clim", {0, 4});
  s.barPatch = g.create(ObjectType::Patch, s.barAxes);
  g.setRow(s.barPatch, "xdata", {0, 1, 1, 0});
  g.setRow(s.barPatch, "ydata", {-0.5, -0.5, 4.5, 4.5});
  g.setRow(s.barPatch, "cdata", {0, 0, 4, 4});
  g.setText(s.barPatch, "facecolor", "interp");
  g.setText(s.barPatch, "edgecolor", "none");

  s.axes = g.create(ObjectType::Axes, s.figure);
  g.setRow(s.axes, "position", {0, 0.05, 0.9, 0.9});
  g.setText(s.axes, "box", "on");
  g.set(s.axes, "xtick", Matrix{});
  g.set(s.axes, "ytick", Matrix{});
  g.setRow(s.axes, "dataaspectratio", {1, 1, 1});
  g.setRow(s.axes, "xlim", {0, 20});
  g.setRow(s.axes, "ylim", {-10, 10});
  g.setRow(s.axes, "clim", {0, 4});

  s.xAxis = g.create(ObjectType::Line, s.axes);
  g.setRow(s.xAxis, "xdata", {-100000, 100000});
  g.setRow(s.xAxis, "ydata", {0, 0});
  g.setRow(s.xAxis, "zdata", {-2, -2});
  g.setText(s.xAxis, "color", "k");

  // The map: 0..4 from left to right over x 2..18, y 2..8, slightly behind the room.
  s.surface = g.create(ObjectType::Surface, s.axes);
  Matrix x = Matrix::zeros(5, 5), y = Matrix::zeros(5, 5), z = Matrix::zeros(5, 5), c = Matrix::zeros(5, 5);
  for (std::size_t r = 0; r < 5; ++r) {
    for (std::size_t k = 0; k < 5; ++k) {
      x(r, k) = 2 + 4.0 * k;
      y(r, k) = 2 + 1.5 * r;
      z(r, k) = -0.01;
      c(r, k) = static_cast<double>(k);
    }
  }
  g.set(s.surface, "xdata", x);
  g.set(s.surface, "ydata", y);
  g.set(s.surface, "zdata", z);
  g.set(s.surface, "cdata", c);
  g.setText(s.surface, "facecolor", "interp");
  g.setText(s.surface, "edgecolor", "none");

  s.wall = g.create(ObjectType::Line, s.axes);
  g.setRow(s.wall, "xdata", {1, 19});
  g.setRow(s.wall, "ydata", {-8, -8});
  g.setText(s.wall, "color", "k");
  g.setNumber(s.wall, "linewidth", 2);

  s.source = g.create(ObjectType::Line, s.axes);
  g.setRow(s.source, "xdata", {5});
  g.setRow(s.source, "ydata", {-4});
  g.setText(s.source, "marker", "o");
  g.setNumber(s.source, "markersize", 8);
  g.setText(s.source, "markerfacecolor", "r");
  g.setText(s.source, "markeredgecolor", "k");

  s.receptor = g.create(ObjectType::Line, s.axes);
  g.setRow(s.receptor, "xdata", {15});
  g.setRow(s.receptor, "ydata", {-4});
  g.setText(s.receptor, "marker", "pentagram");
  g.setNumber(s.receptor, "markersize", 12);
  g.setText(s.receptor, "markerfacecolor", "y");
  g.setText(s.receptor, "markeredgecolor", "k");

  s.status = g.create(ObjectType::Text, s.axes);
  g.setText(s.status, "string", "L_p^d = 80 dB  \\Delta_{R}=0");
  g.setText(s.status, "units", "normalized");
  g.setRow(s.status, "position", {0.5, 1.015});
  g.setText(s.status, "horizontalalignment", "center");
  g.setText(s.status, "verticalalignment", "bottom");
  g.setText(s.status, "fontname", "Times New Roman");
  return s;
}

}  // namespace velmora::platform::testing

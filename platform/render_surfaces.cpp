#include "platform/render_internal.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace velmora::platform::render_detail {

namespace {

// Up to this many bands, a map's cells that are not of one colour are drawn as band polygons; beyond,
// a canvas of pixels paints them as one picture, which costs the same at any number of cells.
constexpr std::size_t kBandsAsShapes = 1000;

using TableRows = std::vector<std::optional<std::size_t>>;

// How many band polygons the cells of an interpolated map that are not of one colour take, given the
// table row of each grid point.
std::size_t bandCount(const TableRows& rowAt, std::size_t rows, std::size_t cols) {
  std::size_t bands = 0;
  for (std::size_t c = 0; c + 1 < cols; ++c) {
    for (std::size_t r = 0; r + 1 < rows; ++r) {
      const std::size_t idx[4] = {c * rows + r, c * rows + r + 1, (c + 1) * rows + r + 1, (c + 1) * rows + r};
      std::optional<std::size_t> row[4];
      for (int k = 0; k < 4; ++k) row[k] = rowAt[idx[k]];
      if (row[0] && row[0] == row[1] && row[0] == row[2] && row[0] == row[3]) continue;
      for (const auto& [i, j, k] : {std::array<int, 3>{0, 1, 2}, std::array<int, 3>{0, 2, 3}}) {
        if (row[i] && row[j] && row[k])
          bands += std::max({*row[i], *row[j], *row[k]}) - std::min({*row[i], *row[j], *row[k]}) + 1;
      }
      if (bands > kBandsAsShapes) return bands;
    }
  }
  return bands;
}

// Whether the grid points first + from .. first + to lie on one line, to well under a pixel.
bool straight(const std::vector<Point>& pixel, std::size_t first, std::size_t from, std::size_t to) {
  const Point a = pixel[first + from], b = pixel[first + to];
  const double dx = b.x - a.x, dy = b.y - a.y, length = std::hypot(dx, dy);
  for (std::size_t r = from + 1; r < to; ++r) {
    const Point q = pixel[first + r];
    if (std::abs(dx * (q.y - a.y) - dy * (q.x - a.x)) > 1e-6 * length) return false;
  }
  return true;
}

}  // namespace

void drawSurface(AxesContext& ctx, const GraphicsObject& o) {
  const Matrix& z = matrixOf(o, "zdata");
  if (z.rows < 2 || z.cols < 2) return;
  const Matrix& xd = matrixOf(o, "xdata");
  const Matrix& yd = matrixOf(o, "ydata");
  const Matrix& given = matrixOf(o, "cdata");
  const Matrix& cd = given.empty() ? z : given;
  const std::size_t rows = z.rows, cols = z.cols;
  // x and y given as vectors (one per column / row) or as matrices of the grid's size.
  auto xAt = [&](std::size_t r, std::size_t c) {
    if (xd.rows == rows && xd.cols == cols) return xd(r, c);
    return c < xd.numel() ? xd.data[c] : static_cast<double>(c + 1);
  };
  auto yAt = [&](std::size_t r, std::size_t c) {
    if (yd.rows == rows && yd.cols == cols) return yd(r, c);
    return r < yd.numel() ? yd.data[r] : static_cast<double>(r + 1);
  };
  const bool clip = onOr(o, "clipping", true);
  setClipFor(ctx, o);
  const ScaleFor mapping(ctx, o);
  const ColorChoice face = colorChoice(o, "facecolor", "flat");
  if (!face.none()) {
    // Each grid point's pixel, and whether it is drawn at all, worked out once: up to four cells and a
    // strip share it.
    std::vector<Point> pixel(rows * cols);
    std::vector<unsigned char> finiteAt(rows * cols);
    for (std::size_t c = 0; c < cols; ++c) {
      for (std::size_t r = 0; r < rows; ++r) {
        const std::size_t k = c * rows + r;
        const double x = xAt(r, c), y = yAt(r, c);
        pixel[k] = ctx.toPixel(x, y);
        finiteAt[k] = std::isfinite(x) && std::isfinite(y) && std::isfinite(z.data[k]);
      }
    }
    std::vector<ShadedTriangle> tris;
    const bool indexedInterp = !face.rgb && face.word == "interp" && cd.pages != 3;
    TableRows rowAt;  // the table row of each grid point
    if (indexedInterp) {
      rowAt.resize(rows * cols);
      for (std::size_t k = 0; k < rowAt.size(); ++k) rowAt[k] = tableRow(ctx.scale, colorData(cd, k));
    }
    // A canvas of pixels colours each pixel of the cells that are not of one colour by its table row
    // itself, instead of cutting them into many bands.
    const bool byPixel =
        indexedInterp && ctx.canvas.paintsTableTriangles() && bandCount(rowAt, rows, cols) > kBandsAsShapes;
    std::vector<TableTriangle> tableTris;
    if (byPixel) tableTris.reserve(2 * (rows - 1) * (cols - 1));
    const double tableRows = static_cast<double>(ctx.scale.rows()), span = ctx.scale.cmax - ctx.scale.cmin;
    auto position = [&](double value) {
      return span > 0 ? (value - ctx.scale.cmin) / span * tableRows : 0.0;
    };
    for (std::size_t c = 0; c + 1 < cols; ++c) {
      // Cells whose four corners fall in one table row are joined down the column into one strip, so
      // wide areas of one colour cost one polygon instead of a pair of triangles per cell.
      std::size_t stripStart = 0;
      std::optional<std::size_t> stripRow;
      auto flushStrip = [&](std::size_t endRow) {
        if (!stripRow) return;
        if (byPixel) {
          // Painted with the other cells, pixel by pixel: one band row throughout, as two triangles when
          // both sides of the strip are straight (a grid over a four-cornered area), else cell by cell.
          const double t = static_cast<double>(*stripRow) + 0.5;
          const auto add = [&](std::size_t from, std::size_t to) {
            const Point a = pixel[c * rows + from], b = pixel[c * rows + to], d = pixel[(c + 1) * rows + to],
                        e = pixel[(c + 1) * rows + from];
            tableTris.push_back({{a, b, d}, {t, t, t}});
            tableTris.push_back({{a, d, e}, {t, t, t}});
          };
          if (straight(pixel, c * rows, stripStart, endRow) &&
              straight(pixel, (c + 1) * rows, stripStart, endRow)) {
            add(stripStart, endRow);
          } else {
            for (std::size_t r = stripStart; r < endRow; ++r) add(r, r + 1);
          }
          stripRow.reset();
          return;
        }
        std::vector<Point> pts;
        pts.reserve(2 * (endRow - stripStart + 1));
        for (std::size_t r = stripStart; r <= endRow; ++r) pts.push_back(pixel[c * rows + r]);
        for (std::size_t r = endRow + 1; r-- > stripStart;) pts.push_back(pixel[(c + 1) * rows + r]);
        const Rgb color = colormapRow(ctx.scale.map, *stripRow);
        const std::vector<Point> poly = clip ? clipPoints(pts, ctx.clipRect) : pts;
        if (poly.size() >= 3) {
          ctx.canvas.setColorBand(*stripRow);
          ctx.canvas.polygon(poly, color, Stroke{color, 1.0, LineStyle::Solid});
          ctx.canvas.setColorBand(std::nullopt);
        }
        stripRow.reset();
      };
      for (std::size_t r = 0; r + 1 < rows; ++r) {
        if (indexedInterp) {
          const std::size_t corners[4] = {c * rows + r, c * rows + r + 1, (c + 1) * rows + r + 1,
                                          (c + 1) * rows + r};
          const std::optional<std::size_t> row = rowAt[corners[0]];
          bool uniform = row.has_value();
          for (int k = 1; k < 4 && uniform; ++k) uniform = rowAt[corners[k]] == row;
          for (int k = 0; k < 4 && uniform; ++k) uniform = finiteAt[corners[k]] != 0;
          if (uniform) {
            if (stripRow != row) {
              flushStrip(r);
              stripStart = r;
              stripRow = row;
            }
            continue;
          }
          flushStrip(r);
        }
        const std::size_t idx[4] = {c * rows + r, c * rows + r + 1, (c + 1) * rows + r + 1,
                                    (c + 1) * rows + r};
        if (!finiteAt[idx[0]] || !finiteAt[idx[1]] || !finiteAt[idx[2]] || !finiteAt[idx[3]]) continue;
        const Point p[4] = {pixel[idx[0]], pixel[idx[1]], pixel[idx[2]], pixel[idx[3]]};
        if (face.rgb) {
          fillFlat(ctx, {p[0], p[1], p[2], p[3]}, *face.rgb, clip);
        } else if (face.word == "interp") {
          VertexColor vc[4];
          for (int k = 0; k < 4; ++k) vc[k] = colorData(cd, idx[k]);
          if (byPixel) {
            if (!vc[0].valid() || !vc[2].valid()) continue;  // NaN colour data is not drawn
            const double t[4] = {position(vc[0].value), position(vc[1].value), position(vc[2].value),
                                 position(vc[3].value)};
            if (vc[1].valid()) tableTris.push_back({{p[0], p[1], p[2]}, {t[0], t[1], t[2]}});
            if (vc[3].valid()) tableTris.push_back({{p[0], p[2], p[3]}, {t[0], t[2], t[3]}});
            continue;
          }
          const Point t1[3] = {p[0], p[1], p[2]};
          const VertexColor c1[3] = {vc[0], vc[1], vc[2]};
          const Point t2[3] = {p[0], p[2], p[3]};
          const VertexColor c2[3] = {vc[0], vc[2], vc[3]};
          addShadedTriangle(ctx, tris, t1, c1);
          addShadedTriangle(ctx, tris, t2, c2);
        } else {  // "flat": the colour of the cell's first corner
          const VertexColor v = colorData(cd, idx[0]);
          if (v.valid()) fillFlat(ctx, {p[0], p[1], p[2], p[3]}, resolve(ctx, v), clip);
        }
      }
      flushStrip(rows - 1);
    }
    if (!tris.empty()) ctx.canvas.shadedTriangles(tris);
    if (!tableTris.empty()) {
      std::vector<Rgb> table;
      for (std::size_t row = 0; row < ctx.scale.rows(); ++row)
        table.push_back(colormapRow(ctx.scale.map, row));
      ctx.canvas.tableTriangles(tableTris, table);
    }
  }
  const ColorChoice edge = colorChoice(o, "edgecolor", "none");
  bool noLine = false;
  const LineStyle style = lineStyleOf(textOr(o, "linestyle", "-"), noLine);
  if (edge.none() || noLine) return;
  const Rgb edgeColor = edge.rgb ? *edge.rgb : Rgb{0, 0, 0};
  const Stroke stroke{edgeColor, strokeWidth(o), style};
  for (std::size_t r = 0; r < rows; ++r) {
    std::vector<Point> pts;
    for (std::size_t c = 0; c < cols; ++c) pts.push_back(ctx.toPixel(xAt(r, c), yAt(r, c)));
    strokePolyline(ctx, pts, stroke, clip);
  }
  for (std::size_t c = 0; c < cols; ++c) {
    std::vector<Point> pts;
    for (std::size_t r = 0; r < rows; ++r) pts.push_back(ctx.toPixel(xAt(r, c), yAt(r, c)));
    strokePolyline(ctx, pts, stroke, clip);
  }
}

}  // namespace velmora::platform::render_detail

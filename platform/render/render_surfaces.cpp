#include "platform/render/render_internal.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace velmora::platform::render_detail {

namespace {

// Up to this many bands, a map's cells that are not of one colour are drawn as band polygons; beyond (or
// at any number on a canvas that paints every map so: the screen), a canvas of pixels paints them as one
// picture, which costs the same at any number of cells.
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

// A surface's grid: z, x and y (as vectors, one per column / row, or as matrices of the grid's size)
// and the colour data, column-major.
struct SurfaceGrid {
  const Matrix& z;
  const Matrix& xd;
  const Matrix& yd;
  const Matrix& cd;
  std::size_t rows, cols;
  double xAt(std::size_t r, std::size_t c) const {
    if (xd.rows == rows && xd.cols == cols) return xd(r, c);
    return c < xd.numel() ? xd.data[c] : static_cast<double>(c + 1);
  }
  double yAt(std::size_t r, std::size_t c) const {
    if (yd.rows == rows && yd.cols == cols) return yd(r, c);
    return r < yd.numel() ? yd.data[r] : static_cast<double>(r + 1);
  }
};

// The faces of a surface, drawn column by column: flat cells, interpolated cells as shaded triangles,
// or, for colours through the table, strips of cells of one table row and the other cells as bands
// or as triangles a canvas of pixels paints itself.
class SurfaceFaces {
 public:
  SurfaceFaces(AxesContext& ctx, const SurfaceGrid& grid, const ColorChoice& face, bool clip)
      : ctx_(ctx), grid_(grid), face_(face), clip_(clip) {
    tableTris_.clear();
  }

  void draw() {
    locateGridPoints();
    rowsOfTable();
    for (std::size_t c = 0; c + 1 < grid_.cols; ++c) drawColumn(c);
    paintCollected();
  }

 private:
  AxesContext& ctx_;
  const SurfaceGrid& grid_;
  const ColorChoice& face_;
  const bool clip_;
  const bool interp_ = face_.word == "interp";
  // The lists of one grid point or triangle each are kept from one map to the next on this thread: a
  // window paints the same map size again and again, and fresh memory of that size costs page faults.
  struct Lists {
    std::vector<Point> pixel;
    std::vector<unsigned char> finiteAt;
    TableRows rowAt;
    std::vector<double> positionAt;
    std::vector<unsigned char> validAt;
    std::vector<TableTriangle> tableTris;
  };
  static Lists& lists() {
    static thread_local Lists kept;
    return kept;
  }
  std::vector<Point>& pixel_ = lists().pixel;
  std::vector<unsigned char>& finiteAt_ = lists().finiteAt;
  bool indexedInterp_ = false;
  TableRows& rowAt_ = lists().rowAt;  // the table row of each grid point
  std::vector<double>& positionAt_ = lists().positionAt;  // its position in the table
  std::vector<unsigned char>& validAt_ = lists().validAt;  // whether its colour value is a number
  bool byPixel_ = false;
  std::vector<ShadedTriangle> tris_;
  std::vector<TableTriangle>& tableTris_ = lists().tableTris;
  std::vector<std::optional<std::array<Point, 2>>> columnLine_;  // see straightColumns
  // The line of column c for a triangle's side: null when the column is not straight.
  const std::array<Point, 2>* lineOf(std::size_t c) const { return columnLine_[c] ? &*columnLine_[c] : nullptr; }
  // The strip of cells of one table row being joined down the current column.
  std::size_t stripStart_ = 0;
  std::optional<std::size_t> stripRow_;

  // Each grid point's pixel, and whether it is drawn at all, worked out once: up to four cells and a
  // strip share it.
  void locateGridPoints() {
    const std::size_t rows = grid_.rows, cols = grid_.cols;
    pixel_.resize(rows * cols);
    finiteAt_.resize(rows * cols);
    for (std::size_t c = 0; c < cols; ++c) {
      for (std::size_t r = 0; r < rows; ++r) {
        const std::size_t k = c * rows + r;
        const double x = grid_.xAt(r, c), y = grid_.yAt(r, c);
        pixel_[k] = ctx_.toPixel(x, y);
        finiteAt_[k] = std::isfinite(x) && std::isfinite(y) && std::isfinite(grid_.z.data[k]);
      }
    }
  }

  // The table row of each grid point when the faces are interpolated through the table, and whether a
  // canvas of pixels colours each pixel of the cells that are not of one colour by its table row
  // itself, instead of cutting them into many bands.
  void rowsOfTable() {
    indexedInterp_ = !face_.rgb && interp_ && grid_.cd.pages != 3;
    if (indexedInterp_) {
      // Each grid point's position once: up to four cells and a strip read it.
      const std::size_t n = grid_.rows * grid_.cols;
      rowAt_.resize(n);
      positionAt_.resize(n);
      validAt_.resize(n);
      const double tableRows = static_cast<double>(ctx_.scale.rows());
      for (std::size_t k = 0; k < n; ++k) {
        const VertexColor v = colorData(grid_.cd, k);  // a value: the data has no colour pages
        validAt_[k] = v.valid();
        positionAt_[k] = v.valid() ? position(v.value) : 0.0;
        // The row ColorScale::row gives, from the same position.
        rowAt_[k] = v.valid() ? std::optional<std::size_t>(static_cast<std::size_t>(
                                    std::min(std::clamp(positionAt_[k], 0.0, tableRows) + ColorScale::kWhole,
                                             tableRows - 1)))
                              : std::nullopt;
      }
    }
    byPixel_ = indexedInterp_ && ctx_.canvas.paintsTableTriangles() &&
               (ctx_.canvas.paintsEveryMapByPixel() || bandCount(rowAt_, grid_.rows, grid_.cols) > kBandsAsShapes);
    if (byPixel_) straightColumns();
  }

  // The line of each grid column that is straight end to end (a grid over a four-cornered area): the
  // strips beside it have one long side on it, their neighbours short ones, and all test pixels
  // against the line itself.
  void straightColumns() {
    const std::size_t rows = grid_.rows;
    columnLine_.assign(grid_.cols, std::nullopt);
    for (std::size_t c = 0; c < grid_.cols; ++c) {
      bool finite = true;
      for (std::size_t r = 0; r < rows && finite; ++r) finite = finiteAt_[c * rows + r] != 0;
      if (finite && straight(pixel_, c * rows, 0, rows - 1))
        columnLine_[c] = std::array<Point, 2>{pixel_[c * rows], pixel_[c * rows + rows - 1]};
    }
  }

  // A colour value's position in the table (0 where the first row starts).
  double position(double value) const {
    const double tableRows = static_cast<double>(ctx_.scale.rows()), span = ctx_.scale.cmax - ctx_.scale.cmin;
    return span > 0 ? (value - ctx_.scale.cmin) / span * tableRows : 0.0;
  }

  // Cells whose four corners fall in one table row are joined down the column into one strip, so wide
  // areas of one colour cost one polygon instead of a pair of triangles per cell.
  void drawColumn(std::size_t c) {
    const std::size_t rows = grid_.rows;
    stripStart_ = 0;
    stripRow_.reset();
    for (std::size_t r = 0; r + 1 < rows; ++r) {
      if (indexedInterp_) {
        const std::size_t corners[4] = {c * rows + r, c * rows + r + 1, (c + 1) * rows + r + 1,
                                        (c + 1) * rows + r};
        const std::optional<std::size_t> row = rowAt_[corners[0]];
        bool uniform = row.has_value();
        for (int k = 1; k < 4 && uniform; ++k) uniform = rowAt_[corners[k]] == row;
        for (int k = 0; k < 4 && uniform; ++k) uniform = finiteAt_[corners[k]] != 0;
        if (uniform) {
          if (stripRow_ != row) {
            flushStrip(c, r);
            stripStart_ = r;
            stripRow_ = row;
          }
          continue;
        }
        flushStrip(c, r);
      }
      drawCell(c, r);
    }
    flushStrip(c, rows - 1);
  }

  // Draws the strip ending at grid row `endRow` of column c, if one is open.
  void flushStrip(std::size_t c, std::size_t endRow) {
    if (!stripRow_) return;
    const std::size_t rows = grid_.rows;
    if (byPixel_) {
      addStripTriangles(c, endRow);
      stripRow_.reset();
      return;
    }
    std::vector<Point> pts;
    pts.reserve(2 * (endRow - stripStart_ + 1));
    for (std::size_t r = stripStart_; r <= endRow; ++r) pts.push_back(pixel_[c * rows + r]);
    for (std::size_t r = endRow + 1; r-- > stripStart_;) pts.push_back(pixel_[(c + 1) * rows + r]);
    const Rgb color = colormapRow(ctx_.scale.map, *stripRow_);
    const std::vector<Point> poly = clip_ ? clipPoints(pts, ctx_.clipRect) : pts;
    if (poly.size() >= 3) {
      ctx_.canvas.setColorBand(*stripRow_);
      ctx_.canvas.polygon(poly, color, Stroke{color, 1.0, LineStyle::Solid});
      ctx_.canvas.setColorBand(std::nullopt);
    }
    stripRow_.reset();
  }

  // A strip painted with the other cells, pixel by pixel: one band row throughout, as two triangles
  // when both grid columns beside it are straight (a grid over a four-cornered area), else cell by cell.
  void addStripTriangles(std::size_t c, std::size_t endRow) {
    const std::size_t rows = grid_.rows;
    const double t = static_cast<double>(*stripRow_) + 0.5;
    const auto add = [&](std::size_t from, std::size_t to) {
      const Point a = pixel_[c * rows + from], b = pixel_[c * rows + to], d = pixel_[(c + 1) * rows + to],
                  e = pixel_[(c + 1) * rows + from];
      tableTris_.push_back({{a, b, d}, {t, t, t}, {lineOf(c), nullptr, nullptr}});
      tableTris_.push_back({{a, d, e}, {t, t, t}, {nullptr, lineOf(c + 1), nullptr}});
    };
    // Two triangles cover the strip only when it is convex: a grid that folds over itself twists
    // its strips.
    const auto convex = [&] {
      const Point q[4] = {pixel_[c * rows + stripStart_], pixel_[c * rows + endRow], pixel_[(c + 1) * rows + endRow],
                          pixel_[(c + 1) * rows + stripStart_]};
      int positive = 0, negative = 0;
      for (int k = 0; k < 4; ++k) {
        const Point u = q[k], v = q[(k + 1) % 4], w = q[(k + 2) % 4];
        const double turn = (v.x - u.x) * (w.y - v.y) - (v.y - u.y) * (w.x - v.x);
        positive += turn > 0;
        negative += turn < 0;
      }
      return positive == 4 || negative == 4;
    };
    if (columnLine_[c] && columnLine_[c + 1] && convex()) {
      add(stripStart_, endRow);
    } else {
      for (std::size_t r = stripStart_; r < endRow; ++r) add(r, r + 1);
    }
  }

  // One cell that is not part of a strip: flat, interpolated or of its first corner's colour.
  void drawCell(std::size_t c, std::size_t r) {
    const std::size_t rows = grid_.rows;
    const std::size_t idx[4] = {c * rows + r, c * rows + r + 1, (c + 1) * rows + r + 1, (c + 1) * rows + r};
    if (!finiteAt_[idx[0]] || !finiteAt_[idx[1]] || !finiteAt_[idx[2]] || !finiteAt_[idx[3]]) return;
    const Point p[4] = {pixel_[idx[0]], pixel_[idx[1]], pixel_[idx[2]], pixel_[idx[3]]};
    if (face_.rgb) {
      fillFlat(ctx_, {p[0], p[1], p[2], p[3]}, *face_.rgb, clip_);
    } else if (interp_) {
      if (byPixel_) {
        const double t[4] = {positionAt_[idx[0]], positionAt_[idx[1]], positionAt_[idx[2]], positionAt_[idx[3]]};
        if (!validAt_[idx[0]] || !validAt_[idx[2]]) return;  // NaN colour data is not drawn
        if (validAt_[idx[1]]) tableTris_.push_back({{p[0], p[1], p[2]}, {t[0], t[1], t[2]}, {lineOf(c), nullptr, nullptr}});
        if (validAt_[idx[3]]) tableTris_.push_back({{p[0], p[2], p[3]}, {t[0], t[2], t[3]}, {nullptr, lineOf(c + 1), nullptr}});
        return;
      }
      VertexColor vc[4];
      for (int k = 0; k < 4; ++k) vc[k] = colorData(grid_.cd, idx[k]);
      const Point t1[3] = {p[0], p[1], p[2]};
      const VertexColor c1[3] = {vc[0], vc[1], vc[2]};
      const Point t2[3] = {p[0], p[2], p[3]};
      const VertexColor c2[3] = {vc[0], vc[2], vc[3]};
      addShadedTriangle(ctx_, tris_, t1, c1);
      addShadedTriangle(ctx_, tris_, t2, c2);
    } else {  // "flat": the colour of the cell's first corner
      const VertexColor v = colorData(grid_.cd, idx[0]);
      if (v.valid()) fillFlat(ctx_, {p[0], p[1], p[2], p[3]}, resolve(ctx_, v), clip_);
    }
  }

  // The shaded and table triangles gathered over all cells, each kind in one call.
  void paintCollected() {
    if (!tris_.empty()) ctx_.canvas.shadedTriangles(tris_);
    if (!tableTris_.empty()) {
      std::vector<Rgb> table;
      for (std::size_t row = 0; row < ctx_.scale.rows(); ++row)
        table.push_back(colormapRow(ctx_.scale.map, row));
      ctx_.canvas.tableTriangles(tableTris_, table);
    }
  }
};

// The grid lines along rows and columns.
void drawSurfaceEdges(AxesContext& ctx, const GraphicsObject& o, const SurfaceGrid& grid, bool clip) {
  const ColorChoice edge = colorChoice(o, "edgecolor", "none");
  bool noLine = false;
  const LineStyle style = lineStyleOf(textOr(o, "linestyle", "-"), noLine);
  if (edge.none() || noLine) return;
  const Rgb edgeColor = edge.rgb ? *edge.rgb : Rgb{0, 0, 0};
  const Stroke stroke{edgeColor, strokeWidth(o), style};
  for (std::size_t r = 0; r < grid.rows; ++r) {
    std::vector<Point> pts;
    for (std::size_t c = 0; c < grid.cols; ++c) pts.push_back(ctx.toPixel(grid.xAt(r, c), grid.yAt(r, c)));
    strokePolyline(ctx, pts, stroke, clip);
  }
  for (std::size_t c = 0; c < grid.cols; ++c) {
    std::vector<Point> pts;
    for (std::size_t r = 0; r < grid.rows; ++r) pts.push_back(ctx.toPixel(grid.xAt(r, c), grid.yAt(r, c)));
    strokePolyline(ctx, pts, stroke, clip);
  }
}

}  // namespace

void drawSurface(AxesContext& ctx, const GraphicsObject& o) {
  const Matrix& z = matrixOf(o, "zdata");
  if (z.rows < 2 || z.cols < 2) return;
  const Matrix& given = matrixOf(o, "cdata");
  const SurfaceGrid grid{z,     matrixOf(o, "xdata"), matrixOf(o, "ydata"), given.empty() ? z : given, z.rows,
                         z.cols};
  const bool clip = onOr(o, "clipping", true);
  setClipFor(ctx, o);
  const ScaleFor mapping(ctx, o);
  const ColorChoice face = colorChoice(o, "facecolor", "flat");
  if (!face.none()) SurfaceFaces(ctx, grid, face, clip).draw();
  drawSurfaceEdges(ctx, o, grid, clip);
}

}  // namespace velmora::platform::render_detail

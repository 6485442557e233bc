#include "platform/render_internal.h"

#include <cmath>

namespace velmora::platform::render_detail {

void drawPatch(AxesContext& ctx, const GraphicsObject& o) {
  const Matrix& xd = matrixOf(o, "xdata");
  const Matrix& yd = matrixOf(o, "ydata");
  if (xd.empty() || xd.numel() != yd.numel()) return;
  // A vector is one face; a matrix holds one face per column.
  const bool vector = xd.rows == 1 || xd.cols == 1;
  const std::size_t perFace = vector ? xd.numel() : xd.rows;
  const std::size_t faces = vector ? 1 : xd.cols;
  const Matrix& cd = matrixOf(o, "cdata");
  const bool clip = onOr(o, "clipping", true);
  setClipFor(ctx, o);
  const ScaleFor mapping(ctx, o);
  const ColorChoice face = colorChoice(o, "facecolor", "flat");
  const ColorChoice edge = colorChoice(o, "edgecolor", "none");
  bool noLine = false;
  const LineStyle style = lineStyleOf(textOr(o, "linestyle", "-"), noLine);
  // Colour data per vertex (as many values as vertices) or per face.
  const bool perVertex = cd.rows * cd.cols == xd.numel() && xd.numel() > 1;
  std::vector<ShadedTriangle> tris;
  for (std::size_t f = 0; f < faces; ++f) {
    std::vector<Point> pts;
    std::vector<VertexColor> colors;
    for (std::size_t k = 0; k < perFace; ++k) {
      const std::size_t i = f * perFace + k;
      if (!std::isfinite(xd.data[i]) || !std::isfinite(yd.data[i])) continue;
      pts.push_back(ctx.toPixel(xd.data[i], yd.data[i]));
      colors.push_back(colorData(cd, perVertex ? i : f));
    }
    if (pts.size() < 2) continue;
    if (pts.size() >= 3 && !face.none()) {
      if (face.rgb) {
        fillFlat(ctx, pts, *face.rgb, clip);
      } else if (face.word == "interp") {
        for (std::size_t k = 1; k + 1 < pts.size(); ++k) {  // a fan over the face
          const Point t[3] = {pts[0], pts[k], pts[k + 1]};
          const VertexColor c[3] = {colors[0], colors[k], colors[k + 1]};
          addShadedTriangle(ctx, tris, t, c);
        }
      } else if (colors[0].valid()) {  // "flat"
        fillFlat(ctx, pts, resolve(ctx, colors[0]), clip);
      }
    }
    if (!edge.none() && !noLine) {
      std::optional<Rgb> ec = edge.rgb;
      if (!ec && colors[0].valid()) ec = resolve(ctx, colors[0]);
      if (!ec) continue;
      std::vector<Point> ring = pts;
      ring.push_back(pts.front());
      if (!tris.empty()) {  // keep the faces below their outline
        ctx.canvas.shadedTriangles(tris);
        tris.clear();
      }
      strokePolyline(ctx, ring, Stroke{*ec, strokeWidth(o), style}, clip);
    }
  }
  if (!tris.empty()) ctx.canvas.shadedTriangles(tris);
}

}  // namespace velmora::platform::render_detail

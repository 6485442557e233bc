#include "platform/render/render.h"

#include <algorithm>
#include <tuple>

#include "platform/model/numbers.h"
#include "platform/render/render_internal.h"

namespace velmora::platform::render_detail {

AxesContext makeContext(const Graphics& g, Handle axes, Canvas& canvas, const AxesMapping& map) {
  AxesContext ctx{g, axes, canvas, map, colorScale(g, axes), {}, {1, 1, 1}};
  // A canvas that clips (QPainter, cairo) cuts at the plot box itself; its geometry is only trimmed to
  // a guard frame one canvas size around the box, because far data (radius lines run a million times
  // past the walls) would overflow fixed-point rasterisers. A canvas that cannot clip (a pen plotter,
  // Qt's SVG writer) gets its geometry cut at the box exactly.
  const double guard = std::max(canvas.width(), canvas.height());
  ctx.clipRect = expanded(map.box, canvas.clipsItself() ? guard : 0);
  const ColorChoice c = colorChoice(g.at(axes), "color", "none");
  if (c.rgb) {
    ctx.axesColor = *c.rgb;
  } else if (const Handle fig = g.figureOf(axes); fig != kNoHandle) {
    ctx.axesColor = colorOr(g.at(fig), "color", {0.8, 0.8, 0.8});
  }
  return ctx;
}

void renderAxesWith(const Graphics& g, Handle axes, Canvas& canvas, const AxesMapping& map) {
  const GraphicsObject& a = g.at(axes);
  AxesContext ctx = makeContext(g, axes, canvas, map);
  const bool visible = isOn(a);
  if (visible) {
    const ColorChoice bg = colorChoice(a, "color", "none");
    if (bg.rgb) {
      canvas.setClip(std::nullopt);
      const PixelRect& b = map.box;
      const Point r[4] = {
          {b.x, b.y}, {b.x + b.width, b.y}, {b.x + b.width, b.y + b.height}, {b.x, b.y + b.height}};
      canvas.polygon(r, bg.rgb, std::nullopt);
    }
  }
  // One order for the objects and the texts after them: it reads every child's properties.
  const std::vector<Handle> order = drawOrder(g, axes);
  for (Handle h : order) {
    const GraphicsObject& o = g.at(h);
    switch (o.type()) {
      case ObjectType::Line:
        drawLine(ctx, o);
        break;
      case ObjectType::Surface:
        drawSurface(ctx, o);
        break;
      case ObjectType::Patch:
        drawPatch(ctx, o);
        break;
      case ObjectType::Image:
        drawImage(ctx, o);
        break;
      case ObjectType::Text:
        break;  // after the frame
      default:
        break;
    }
  }
  if (visible) drawAxesDecorations(ctx);
  for (Handle h : order) {
    const GraphicsObject& o = g.at(h);
    if (o.type() == ObjectType::Text) drawText(ctx, o);
  }
  canvas.setClip(std::nullopt);
}

AxesMapping mappingInRect(const GraphicsObject& a, const PixelRect& rect) {
  AxesMapping m;
  m.box = rect;
  std::tie(m.xmin, m.xmax) = limits(a, "xlim");
  std::tie(m.ymin, m.ymax) = limits(a, "ylim");
  m.xReverse = equalsIgnoreCase(textOr(a, "xdir", "normal"), "reverse");
  m.yReverse = equalsIgnoreCase(textOr(a, "ydir", "normal"), "reverse");
  if (equalAspectRequested(a) && m.box.width > 0 && m.box.height > 0) {
    const auto dar = numbersOf(a, "dataaspectratio");
    const double ax = dar[0] > 0 ? dar[0] : 1, ay = dar[1] > 0 ? dar[1] : 1;
    // Equal scale: the side with room to spare shrinks, and the box stays centred.
    const double spanX = (m.xmax - m.xmin) / ax, spanY = (m.ymax - m.ymin) / ay;
    const double scale = std::min(m.box.width / spanX, m.box.height / spanY);
    const double w = spanX * scale, h = spanY * scale;
    m.box.x += (m.box.width - w) / 2;
    m.box.y += (m.box.height - h) / 2;
    m.box.width = w;
    m.box.height = h;
  }
  return m;
}

}  // namespace velmora::platform::render_detail

namespace velmora::platform {

using namespace render_detail;

AxesMapping axesMapping(const Graphics& g, Handle axes, double width, double height) {
  const GraphicsObject& a = g.at(axes);
  return mappingInRect(a, positionRect(a, width, height));
}

void renderAxes(const Graphics& g, Handle axes, Canvas& canvas, const PixelRect& rect) {
  renderAxesWith(g, axes, canvas, mappingInRect(g.at(axes), rect));
}

void renderFigure(const Graphics& g, Handle figure, Canvas& canvas, const RenderOptions& options) {
  const GraphicsObject& fig = g.at(figure);
  const double w = canvas.width(), h = canvas.height();
  canvas.setClip(std::nullopt);
  const Point all[4] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
  canvas.polygon(all, options.whiteBackground ? Rgb{1, 1, 1} : colorOr(fig, "color", {0.8, 0.8, 0.8}),
                 std::nullopt);
  const auto& kids = fig.children();
  // The first child is on top: draw from the last to the first.
  for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
    const GraphicsObject& o = g.at(*it);
    if (o.type() != ObjectType::Axes) continue;
    renderAxesWith(g, *it, canvas, axesMapping(g, *it, w, h));
  }
}

}  // namespace velmora::platform

// The scan window: tracing a room over a plan image with the pointer, then the result in metres with
// its straightening menus and the "save" and "update"/"open" buttons.

#include "plan/scan.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "document/drawing_objects.h"
#include "document/window.h"
#include "platform/model/error.h"
#include "platform/files/image_reader.h"
#include "platform/files/matfile.h"
#include "platform/model/numbers.h"

namespace velmora::plan {

using document::createObject;
using document::setProperties;
using platform::Graphics;
using platform::List;
using platform::Matrix;
using platform::ObjectType;
using platform::Record;
using platform::Value;

platform::Value ScanButtonRecord::toValue() const {
  Record r;
  r.set("ha", Value::handle(ha));
  r.set("xso", xso ? Value(*xso) : Value(Matrix{}));
  r.set("yso", yso ? Value(*yso) : Value(Matrix{}));
  if (hf0) r.set("hf0", *hf0 == platform::kNoHandle ? Value(Matrix{}) : Value::handle(*hf0));
  return Value(std::move(r));
}

platform::Value ScanWallLinks::toValue() const {
  return Value(List{{Value::handle(previous), Value::handle(next)}});
}

namespace {

// The tracing ends at once (the key "q", "Quit" in a question, or no more pointer input).
struct QuitScan {};

constexpr const char* kYes = "Yes";
constexpr const char* kNo = "No";
constexpr const char* kQuit = "Quit";

// The x values, or the y values as flip - y (image rows to data units).
Value rowOf(const std::vector<Point>& pts, bool x, double flip = 0) {
  std::vector<double> v;
  v.reserve(pts.size());
  for (const Point& p : pts) v.push_back(x ? p.x : flip - p.y);
  return Value::row(std::move(v));
}

std::string extensionOf(const std::string& file) {
  return std::filesystem::path(file).extension().string();
}

// Grey images are shown through all three colour planes.
Matrix trueColour(const Matrix& m) {
  if (m.pages == 3) return m;
  Matrix out = m;
  out.pages = 3;
  out.data.resize(m.data.size() * 3);
  std::copy(m.data.begin(), m.data.end(), out.data.begin() + static_cast<std::ptrdiff_t>(m.data.size()));
  std::copy(m.data.begin(), m.data.end(), out.data.begin() + static_cast<std::ptrdiff_t>(2 * m.data.size()));
  return out;
}

Matrix cutOut(const Matrix& m, const CropBox& b) {
  Matrix out;
  out.rows = static_cast<std::size_t>(b.j2 - b.j1 + 1);
  out.cols = static_cast<std::size_t>(b.i2 - b.i1 + 1);
  out.pages = m.pages;
  out.data.resize(out.rows * out.cols * out.pages);
  for (std::size_t p = 0; p < m.pages; ++p)
    for (std::size_t c = 0; c < out.cols; ++c)
      for (std::size_t r = 0; r < out.rows; ++r)
        out.data[(p * out.cols + c) * out.rows + r] =
            m.at3(r + static_cast<std::size_t>(b.j1 - 1), c + static_cast<std::size_t>(b.i1 - 1), p);
  return out;
}

// One interactive import in its window.
class ScanSession {
 public:
  ScanSession(platform::Runtime& rt, std::optional<Handle> origin)
      : rt_(rt), g_(rt.graphics()), origin_(origin) {}

  void run() {
    makeWindow();
    try {
      if (!openImage()) {
        close();
        return;
      }
      crop();
      traceOutline();
      placeSource();
      const auto orientation = pickOrientation();
      const auto [pixels, metres] = pickScale();
      bool reversed = false;
      const Tracing result = toMetres(tracing(), orientation, pixels, metres, &reversed);
      if (reversed) rt_.console("change wall order");
      clearTracing();
      showScanResult(rt_, fig_, axes_, result, origin_);
    } catch (const QuitScan&) {
      close();
    } catch (...) {
      close();
      throw;
    }
  }

 private:
  // ---- window ----

  void makeWindow() {
    const auto [sw, sh] = rt_.ui().screenSize();
    fig_ = g_.create(ObjectType::Figure, platform::kRoot);
    setProperties(g_, fig_,
                  {{"tag", std::string(kScanWindowTag)},
                   {"name", std::string(kScanWindowName)},
                   {"position", Value::row({std::floor(sw * 0.05), std::floor(sh * 0.05),
                                            std::floor(sw * 0.9), std::floor(sh * 0.9)})},
                   {"menubar", "none"},
                   {"numbertitle", "off"},
                   {"interruptible", "off"},
                   {"renderer", "zbuffer"},
                   {"colormap", Value(Matrix{2, 3, {0, 1, 0, 1, 0, 1}, 1})}});
    document::setControlDefaults(g_, fig_);
    // The instructions live in an axes of their own over the whole window; the image axes, made
    // last, is the current one that pointer positions refer to.
    textAxes_ =
        createObject(g_, ObjectType::Axes, fig_,
                     {{"position", Value::row({0, 0, 1, 1})}, {"visible", "off"}, {"hittest", "off"}});
    text_ = createObject(g_, ObjectType::Text, textAxes_,
                         {{"units", "normalized"},
                          {"position", Value::row({0.5, 0.02, 0})},
                          {"fontname", "arial"},
                          {"fontsize", 8.0},
                          {"horizontalalignment", "center"},
                          {"verticalalignment", "bottom"},
                          {"interpreter", "none"},
                          {"hittest", "off"},
                          {"string", ""}});
    axes_ = createObject(g_, ObjectType::Axes, fig_,
                         {{"position", Value::row({0.03, 0.08, 0.94, 0.9})},
                          {"dataaspectratio", Value::row({1, 1, 1})},
                          {"box", "on"}});
  }

  void close() {
    if (g_.exists(fig_)) g_.remove(fig_);
  }

  void instructions(const std::string& line1, const std::string& line2) {
    if (g_.exists(text_)) g_.set(text_, "string", Value(List{{Value(line1), Value(line2)}}));
  }

  void showImage(const Matrix& m) {
    const Matrix shown = trueColour(m);
    if (image_ == platform::kNoHandle || !g_.exists(image_)) {
      image_ = createObject(g_, ObjectType::Image, axes_, {{"cdatamapping", "direct"}});
    }
    setProperties(g_, image_,
                  {{"cdata", Value(shown)},
                   {"xdata", Value::row({1, static_cast<double>(m.cols)})},
                   {"ydata", Value::row({static_cast<double>(m.rows), 1})}});
    flip_ = static_cast<double>(m.rows) + 1;
    setProperties(g_, axes_,
                  {{"xlim", Value::row({0.5, m.cols + 0.5})}, {"ylim", Value::row({0.5, m.rows + 0.5})}});
  }

  // ---- input ----

  // One click or key in the scan window.
  platform::PointerInput next() {
    for (;;) {
      if (!g_.exists(fig_)) throw QuitScan{};
      g_.setCurrentFigure(fig_);
      const auto in = rt_.pointerInput();
      if (!in || !g_.exists(fig_)) throw QuitScan{};
      if (g_.currentFigure() != fig_) continue;  // input meant for another window
      platform::PointerInput p = *in;
      p.y = flip_ - p.y;  // image rows
      return p;
    }
  }

  static std::string keyOf(const platform::PointerInput& in) {
    return in.button == 0 ? platform::lower(in.key) : std::string();
  }

  std::string ask(const std::string& text, const std::string& title, const std::string& def) {
    const auto answer = rt_.ui().question({text, title, {kYes, kNo, kQuit}, def});
    if (answer && *answer == kQuit) throw QuitScan{};
    return answer.value_or("");
  }

  // ---- steps ----

  bool openImage() {
    const auto choice = rt_.ui().openFile({std::string(kScanImageFilter), "Select scanned image file", ""});
    if (!choice || !platform::isPlanImageExtension(extensionOf(choice->file))) return false;
    full_ = platform::readImageFile(rt_, choice->path());
    showImage(full_);
    return true;
  }

  void crop() {
    const int width = static_cast<int>(full_.cols), height = static_cast<int>(full_.rows);
    if (ask("Reduce image size for better precision ?", "Reduce image size", kNo) != kYes) return;
    for (;;) {
      g_.setText(fig_, "pointer", "fullcrosshair");
      const Point c1 = nextClick();
      const Handle h = createObject(g_, ObjectType::Line, axes_,
                                    {{"xdata", Value::row({-10000, 10000})},
                                     {"ydata", Value::row({dataY(c1.y), dataY(c1.y)})},
                                     {"color", "k"}});
      const Handle v = createObject(
          g_, ObjectType::Line, axes_,
          {{"xdata", Value::row({c1.x, c1.x})}, {"ydata", Value::row({-10000, 10000})}, {"color", "k"}});
      const Point c2 = nextClick();
      for (Handle l : {h, v})
        if (g_.exists(l)) g_.remove(l);
      g_.setText(fig_, "pointer", "arrow");
      const CropBox box = cropBox(c1, c2, width, height);
      const Matrix part = cutOut(full_, box);
      showImage(part);
      const std::string answer = ask("Accept ?", "Accept reduced image", kNo);
      if (answer == kYes) {
        full_ = part;
        return;
      }
      showImage(full_);
    }
  }

  Point nextClick() {
    for (;;) {
      const auto in = next();
      if (keyOf(in) == "q") throw QuitScan{};
      if (in.button != 0) return {in.x, in.y};
    }
  }

  void outlineInstructions() {
    instructions(
        "Left button to create a new straight edge (COUNTER-CLOCKWISE ORDER!), right button to remove last "
        "edge",
        "[C] to create a circle, [P] to create a parabola, [E] to end polygon, [Q] to quit");
  }

  Handle scanLine(Point a, Point b, const char* colour) {
    return createObject(g_, ObjectType::Line, axes_,
                        {{"xdata", Value::row({a.x, b.x})},
                         {"ydata", Value::row({dataY(a.y), dataY(b.y)})},
                         {"color", colour},
                         {"linewidth", 2.0},
                         {"tag", "scanline"}});
  }

  void remove(Handle h) {
    if (h != platform::kNoHandle && g_.exists(h)) g_.remove(h);
  }

  void addVertex(Point p) {
    if (vertices_.empty()) {
      start_ = createObject(g_, ObjectType::Line, axes_,
                            {{"xdata", Value::row({p.x})},
                             {"ydata", Value::row({dataY(p.y)})},
                             {"linestyle", "none"},
                             {"marker", "."},
                             {"markersize", 20.0},
                             {"color", "r"},
                             {"tag", "startpoint"}});
    } else {
      lines_.push_back(scanLine(vertices_.back(), p, "r"));
    }
    vertices_.push_back(p);
  }

  void removeLast() {
    const std::size_t n = vertices_.size();
    if (n == 0) return;
    if (n == 1) {
      vertices_.clear();
      remove(start_);
      return;
    }
    if (!curves_.empty() && static_cast<std::size_t>(curves_.back()[8]) == n - 1) {
      // The last edge ends an arc: the whole arc goes.
      const auto keep = static_cast<std::size_t>(curves_.back()[7]);
      vertices_.resize(keep);
      while (lines_.size() > keep - 1) {
        remove(lines_.back());
        lines_.pop_back();
      }
      remove(curveLines_.back());
      curveLines_.pop_back();
      curves_.pop_back();
      return;
    }
    vertices_.pop_back();
    remove(lines_.back());
    lines_.pop_back();
  }

  void traceOutline() {
    outlineInstructions();
    for (;;) {
      const auto in = next();
      const std::string key = keyOf(in);
      if (key == "q") throw QuitScan{};
      if (key == "e") break;
      if (key == "c" && vertices_.size() > 1) arcMode(true);
      if (key == "p" && vertices_.size() > 1) arcMode(false);
      if (in.button == 1) addVertex({in.x, in.y});
      if (in.button == 3) removeLast();
    }
    if (vertices_.size() < 3) {
      close();
      throw Error("less than 3 walls");
    }
    lines_.push_back(scanLine(vertices_.back(), vertices_.front(), "r"));
  }

  // Circle or parabola mode: the arc replaces the last wall, from P1 to P2.
  void arcMode(bool circle) {
    if (circle) {
      instructions("Left button to click on a third circle point, [A] to accept circle",
                   "[R] to escape from circle creation, [Q] to quit");
    } else {
      instructions("Left button to click on the mid point of parabola, [A] to accept parabola",
                   "[R] to escape from parabola creation, [Q] to quit");
    }
    const Point p1 = vertices_[vertices_.size() - 2], p2 = vertices_.back();
    Handle preview = platform::kNoHandle;
    std::optional<Point> p3;
    for (;;) {
      const auto in = next();
      const std::string key = keyOf(in);
      if (key == "q") throw QuitScan{};
      if (key == "r") {
        remove(preview);
        break;
      }
      if (key == "a") {
        // Nothing to accept before a valid third point (collinear points give no circle).
        if (!p3 || preview == platform::kNoHandle) {
          rt_.ui().beep();
          continue;
        }
        const auto m = askWallNumber(circle);
        if (!m) {
          remove(preview);
          break;
        }
        acceptArc(circle, p1, p2, *p3, *m, preview);
        break;
      }
      if (in.button == 1) {
        remove(preview);
        preview = platform::kNoHandle;
        p3 = Point{in.x, in.y};
        std::vector<Point> pts;
        if (circle) {
          if (const auto c = circlePreview(p1, p2, *p3)) pts = *c;
        } else {
          for (int i = 0; i <= 100; ++i) pts.push_back(parabolaAt(p1, p2, *p3, i / 100.0));
        }
        if (!pts.empty()) {
          preview = createObject(g_, ObjectType::Line, axes_,
                                 {{"xdata", rowOf(pts, true)},
                                  {"ydata", rowOf(pts, false, flip_)},
                                  {"color", "g"},
                                  {"linewidth", 2.0},
                                  {"tag", "temporaryline"}});
        }
      }
    }
    outlineInstructions();
  }

  std::optional<int> askWallNumber(bool circle) {
    const auto answer = rt_.ui().input(
        {{circle ? "Enter wall number for circular segment:" : "Enter wall number for parabola:"},
         "Set wall number",
         1,
         {"10"}});
    if (!answer || answer->empty()) return std::nullopt;
    const auto nums = platform::readNumbers(answer->front());
    if (!nums || nums->empty() || std::isnan(nums->front())) return std::nullopt;
    return static_cast<int>(platform::roundHalfAway(std::clamp(nums->front(), 3.0, 100.0)));
  }

  void acceptArc(bool circle, Point p1, Point p2, Point p3, int m, Handle preview) {
    const std::vector<Point> pts =
        circle ? *circleArcPoints(p1, p2, p3, m) : parabolaArcPoints(p1, p2, p3, m);
    setProperties(g_, preview, {{"color", "b"}, {"linestyle", ":"}, {"linewidth", 0.5}, {"tag", "curve"}});
    curveLines_.push_back(preview);
    const auto k = static_cast<double>(vertices_.size());
    curves_.push_back({circle ? 2.0 : 1.0, p1.x, p1.y, p2.x, p2.y, p3.x, p3.y, k - 1, k + m - 2});
    // The chord gives way to the arc's walls.
    remove(lines_.back());
    lines_.pop_back();
    vertices_.pop_back();
    for (const Point& p : pts) {
      lines_.push_back(scanLine(vertices_.back(), p, "b"));
      vertices_.push_back(p);
    }
  }

  void placeSource() {
    instructions(
        "Set source position (left button), skip (middle button) or accept current source position "
        "(right button)",
        "");
    Point c{0, 0};
    for (const Point& p : vertices_) {
      c.x += p.x / static_cast<double>(vertices_.size());
      c.y += p.y / static_cast<double>(vertices_.size());
    }
    sourceDot_ = createObject(g_, ObjectType::Line, axes_,
                              {{"xdata", Value::row({c.x})},
                               {"ydata", Value::row({dataY(c.y)})},
                               {"linestyle", "none"},
                               {"marker", "."},
                               {"markersize", 16.0},
                               {"color", "g"}});
    source_ = c;
    for (;;) {
      const auto in = next();
      if (keyOf(in) == "q") throw QuitScan{};
      if (in.button == 1) {
        source_ = Point{in.x, in.y};
        setProperties(g_, sourceDot_, {{"xdata", Value::row({in.x})}, {"ydata", Value::row({dataY(in.y)})}});
      } else if (in.button == 3) {
        return;
      } else if (in.button == 2) {
        source_.reset();
        remove(sourceDot_);
        return;
      }
    }
  }

  // The traced line under the last click, if any.
  std::optional<Handle> clickedLine() {
    const Handle h = g_.currentObject(fig_);
    if (h == platform::kNoHandle || !g_.exists(h)) return std::nullopt;
    if (g_.at(h).type() != ObjectType::Line || g_.at(h).tag() != "scanline") return std::nullopt;
    return h;
  }

  std::pair<Point, Point> ends(Handle line) {
    const auto x = g_.at(line).numbers("xdata");
    const auto y = g_.at(line).numbers("ydata");
    return {{x.at(0), flip_ - y.at(0)}, {x.at(1), flip_ - y.at(1)}};
  }

  // Highlights a line while a question about it is open; gives back its look afterwards.
  struct Highlight {
    Highlight(Graphics& g, Handle h)
        : g_(g), h_(h), colour_(g.get(h, "color")), width_(g.get(h, "linewidth")) {
      setProperties(g, h, {{"color", "g"}, {"linewidth", 4.0}});
    }
    ~Highlight() {
      if (g_.exists(h_)) setProperties(g_, h_, {{"color", colour_}, {"linewidth", width_}});
    }
    Graphics& g_;
    Handle h_;
    Value colour_, width_;
  };

  std::optional<OrientationReference> pickOrientation() {
    instructions("Select a line to set vertical or horizontal reference, middle button to skip", "");
    for (;;) {
      const auto in = next();
      if (keyOf(in) == "q") throw QuitScan{};
      if (in.button == 2) return std::nullopt;
      if (in.button == 0) continue;
      const auto line = clickedLine();
      if (!line) continue;
      const auto [a, b] = ends(*line);
      const bool horizontal = std::abs(a.x - b.x) > std::abs(a.y - b.y);
      const Highlight lit(g_, *line);
      const std::string word = horizontal ? "horizontal" : "vertical";
      if (ask("Confirm this line is the " + word + " reference ?", "Confirm", kYes) == kYes)
        return OrientationReference{a, b, horizontal};
    }
  }

  std::pair<double, double> pickScale() {
    instructions("Select a line with a known length to set drawing scale", "");
    for (;;) {
      const auto in = next();
      if (keyOf(in) == "q") throw QuitScan{};
      if (in.button == 0) continue;
      const auto line = clickedLine();
      if (!line) continue;
      const auto [a, b] = ends(*line);
      const double pixels = std::hypot(b.x - a.x, b.y - a.y);
      const Highlight lit(g_, *line);
      if (ask("Confirm this line is the scale reference ?", "Confirm", kYes) != kYes) continue;
      const auto answer = rt_.ui().input({{"Enter wall length in meters:"}, "Set drawing scale", 1, {""}});
      if (!answer || answer->empty()) continue;
      const auto nums = platform::readNumbers(answer->front());
      if (!nums || nums->size() != 1) continue;
      const double metres = nums->front();
      // A length that is not positive, or a line of no length, would fold the room onto itself.
      if (!(metres > 0) || !std::isfinite(metres) || !(pixels > 0)) {
        rt_.ui().beep();
        rt_.console(!(pixels > 0) ? "this line has no length: choose another scale reference"
                                  : "the wall length must be a positive number of meters");
        continue;
      }
      return {pixels, metres};
    }
  }

  Tracing tracing() const {
    Tracing t;
    t.vertices = vertices_;
    t.source = source_;
    t.curves = Matrix::zeros(curves_.size(), curves_.empty() ? 0 : 9);
    for (std::size_t r = 0; r < curves_.size(); ++r)
      for (std::size_t c = 0; c < 9; ++c) t.curves(r, c) = curves_[r][c];
    return t;
  }

  void clearTracing() {
    for (Handle h : std::vector<Handle>(g_.at(axes_).children())) remove(h);
    remove(textAxes_);
    full_ = Matrix{};
  }

  platform::Runtime& rt_;
  Graphics& g_;
  std::optional<Handle> origin_;
  Handle fig_ = platform::kNoHandle, axes_ = platform::kNoHandle, textAxes_ = platform::kNoHandle;
  Handle text_ = platform::kNoHandle, image_ = platform::kNoHandle;
  Matrix full_;
  // The axes shows y upwards with image row 1 at the top: data y = flip_ - row.
  double flip_ = 1;
  double dataY(double row) const { return flip_ - row; }
  std::vector<Point> vertices_;
  std::vector<Handle> lines_;  // line i joins vertex i to vertex i+1
  Handle start_ = platform::kNoHandle;
  std::vector<std::array<double, 9>> curves_;
  std::vector<Handle> curveLines_;
  std::optional<Point> source_;
  Handle sourceDot_ = platform::kNoHandle;
};

Handle scanWindowOf(const platform::Runtime& rt) {
  const Graphics& g = rt.graphics();
  const auto isScan = [&g](Handle f) {
    return f != platform::kNoHandle && g.exists(f) && g.at(f).tag() == kScanWindowTag;
  };
  if (const Handle f = rt.callbackFigure(); isScan(f)) return f;
  if (const Handle f = g.currentFigure(); isScan(f)) return f;
  for (Handle f : g.figures())
    if (isScan(f)) return f;
  throw Error("no scan window");
}

// The buttons of a result window: "save" first, then "update" or "open".
std::vector<Handle> resultButtons(const platform::Runtime& rt, Handle fig) {
  std::vector<Handle> out = rt.graphics().findIf(
      fig, [](const platform::GraphicsObject& o) { return o.userdataAs<ScanButtonRecord>(); });
  std::reverse(out.begin(), out.end());
  return out;
}

const ScanButtonRecord& buttonRecord(const platform::Runtime& rt, Handle fig, bool second) {
  const Handle cbo = rt.callbackObject();
  const Graphics& g = rt.graphics();
  if (cbo != platform::kNoHandle && g.exists(cbo) && g.figureOf(cbo) == fig) {
    if (const auto* r = g.at(cbo).userdataAs<ScanButtonRecord>(); r && r->hf0.has_value() == second)
      return *r;
  }
  for (Handle b : resultButtons(rt, fig)) {
    const auto* r = g.at(b).userdataAs<ScanButtonRecord>();
    if (r->hf0.has_value() == second) return *r;
  }
  throw Error("the scan window has no result yet");
}

void straighten(platform::Runtime& rt, bool horizontal) {
  Graphics& g = rt.graphics();
  const Handle item = rt.callbackObject();
  if (item == platform::kNoHandle || !g.exists(item)) return;
  const auto* data = g.at(item).userdataAs<platform::ValueUserData>();
  if (!data || !data->value.isObject()) return;
  const Handle line = data->value.object();
  if (!g.exists(line)) return;
  const char* axis = horizontal ? "ydata" : "xdata";
  const auto v = g.at(line).numbers(axis);
  const double mean = (v.at(0) + v.at(1)) / 2;
  g.set(line, axis, Value::row({mean, mean}));
  if (const auto* links = g.at(line).userdataAs<ScanWallLinks>()) {
    if (g.exists(links->previous)) {
      auto p = g.at(links->previous).numbers(axis);
      p.at(1) = mean;
      g.set(links->previous, axis, Value::row(p));
    }
    if (g.exists(links->next)) {
      auto n = g.at(links->next).numbers(axis);
      n.at(0) = mean;
      g.set(links->next, axis, Value::row(n));
    }
  }
}

void saveResult(platform::Runtime& rt, Handle fig) {
  document::CaseDescription prop = scanDescription(rt, fig);
  const auto choice = rt.ui().saveFile({"*.ac", "Save case", ""});
  if (!choice) return;  // the traced room stays on screen
  std::string file = choice->file;
  if (platform::lower(extensionOf(file)) != ".ac") file += ".ac";
  prop.name = std::filesystem::path(file).stem().string();
  platform::writeMatVariable(choice->folder + file, "prop", prop.toValue());
}

void updateResult(platform::Runtime& rt, Handle fig) {
  document::CaseDescription prop = scanDescription(rt, fig);
  prop.scan = "yes";
  const std::optional<Handle> origin = buttonRecord(rt, fig, true).hf0;
  Graphics& g = rt.graphics();
  g.remove(fig);
  // A main window of origin closed meanwhile: the room opens in a new window instead.
  if (origin && *origin != platform::kNoHandle && g.exists(*origin) && document::isMainWindow(rt, *origin)) {
    g.setCurrentFigure(*origin);
    rt.dispatch({Value("update"), prop.toValue()});
  } else {
    rt.dispatch({prop.toValue()});
  }
}

}  // namespace

void showScanResult(platform::Runtime& rt, Handle fig, Handle axes, const Tracing& result,
                    std::optional<Handle> origin) {
  Graphics& g = rt.graphics();
  const std::size_t n = result.vertices.size();
  std::vector<Handle> walls;
  for (std::size_t i = 0; i < n; ++i) {
    const Point a = result.vertices[i], b = result.vertices[(i + 1) % n];
    walls.push_back(createObject(g, ObjectType::Line, axes,
                                 {{"xdata", Value::row({a.x, b.x})},
                                  {"ydata", Value::row({a.y, b.y})},
                                  {"color", "k"},
                                  {"linewidth", 2.0},
                                  {"tag", "scanline"}}));
  }
  for (std::size_t i = 0; i < n; ++i) {
    ScanWallLinks links;
    links.previous = walls[(i + n - 1) % n];
    links.next = walls[(i + 1) % n];
    g.setUserdata(walls[i], links);
    const Point a = result.vertices[i], b = result.vertices[(i + 1) % n];
    const bool h = nearHorizontal(a, b), v = nearVertical(a, b);
    if (!h && !v) continue;
    const document::MenuItem item =
        h ? document::MenuItem{"make horizontal", "velmoracopy('scancasehorizontal')"}
          : document::MenuItem{"make vertical", "velmoracopy('scancasevertical')"};
    const Handle menu = document::makeContextMenu(g, fig, std::span(&item, 1), walls[i]);
    for (Handle it : g.at(menu).children())
      g.setUserdata(it, platform::ValueUserData(Value::handle(walls[i])));
  }
  if (result.source) {
    createObject(g, ObjectType::Line, axes,
                 {{"xdata", Value::row({result.source->x})},
                  {"ydata", Value::row({result.source->y})},
                  {"linestyle", "none"},
                  {"marker", "."},
                  {"markersize", 16.0},
                  {"color", "g"}});
  }
  const auto lim = resultLimits(result.vertices);
  setProperties(g, axes,
                {{"ydir", "normal"},
                 {"xlim", Value::row({lim[0], lim[1]})},
                 {"ylim", Value::row({lim[2], lim[3]})},
                 {"dataaspectratio", Value::row({1, 1, 1})},
                 {"box", "on"}});
  g.setUserdata(fig, platform::ValueUserData(Value(result.curves)));

  ScanButtonRecord rec;
  rec.ha = axes;
  if (result.source) {
    rec.xso = result.source->x;
    rec.yso = result.source->y;
  }
  const double width = g.at(fig).numbers("position").at(2);
  const double x0 = std::floor(width / 2) - 52;
  const Handle save = createObject(g, ObjectType::UiControl, fig,
                                   {{"style", "pushbutton"},
                                    {"string", "save"},
                                    {"position", Value::row({x0, 5, 50, 20})},
                                    {"tooltipstring", "Save drawing"},
                                    {"callback", "velmoracopy('scancasesave')"}});
  g.setUserdata(save, rec);
  const bool fromMain = origin && *origin != platform::kNoHandle;
  rec.hf0 = fromMain ? *origin : platform::kNoHandle;
  const Handle second =
      createObject(g, ObjectType::UiControl, fig,
                   {{"style", "pushbutton"},
                    {"string", fromMain ? "update" : "open"},
                    {"position", Value::row({x0 + 54, 5, 50, 20})},
                    {"tooltipstring", fromMain ? "Update current case" : "Open drawing in a new window"},
                    {"callback", "velmoracopy('scancaseupdate')"}});
  g.setUserdata(second, rec);
}

document::CaseDescription scanDescription(const platform::Runtime& rt, Handle fig) {
  const Graphics& g = rt.graphics();
  const ScanButtonRecord& rec = buttonRecord(rt, fig, false);
  std::vector<Handle> lines = g.findobj(rec.ha, "scanline");
  std::reverse(lines.begin(), lines.end());  // creation order: wall order
  if (lines.size() < 3) throw Error("the scan window has no room");
  document::CaseDescription d;
  std::vector<double> xs, ys;
  for (Handle l : lines) {
    xs.push_back(g.at(l).numbers("xdata").at(0));
    ys.push_back(g.at(l).numbers("ydata").at(0));
  }
  const auto [xmin, xmax] = std::minmax_element(xs.begin(), xs.end());
  const auto [ymin, ymax] = std::minmax_element(ys.begin(), ys.end());
  d.xwall = xs;
  d.ywall = ys;
  if (rec.xso && rec.yso) {
    d.xso = *rec.xso;
    d.yso = *rec.yso;
  } else {
    d.xso = (*xmin + *xmax) / 2;
    d.yso = (*ymin + *ymax) / 2;
  }
  d.xaud = std::vector<double>{*xmin, *xmax, *xmax, *xmin};
  d.yaud = std::vector<double>{*ymax, *ymax, *ymin, *ymin};
  d.Nsurface = 20;
  if (const auto* c = g.at(fig).userdataAs<platform::ValueUserData>(); c && c->value.isMatrix()) {
    if (!c->value.matrix().empty()) d.curves = c->value.matrix();
  }
  return d;
}

void scancase(platform::Runtime& rt) {
  std::optional<Handle> origin;
  const Handle caller = rt.callbackFigure();
  if (caller != platform::kNoHandle && rt.graphics().exists(caller) && document::isMainWindow(rt, caller))
    origin = caller;
  ScanSession(rt, origin).run();
}

void scancasecbfcn(platform::Runtime& rt, const std::string& action) {
  const Handle fig = scanWindowOf(rt);
  const std::string a = platform::lower(action);
  if (a == "horizontal" || a == "vertical") {
    straighten(rt, a == "horizontal");
  } else if (a == "save") {
    saveResult(rt, fig);
  } else if (a == "update") {
    updateResult(rt, fig);
  } else {
    throw Error("unknown argument");
  }
}

void registerScanOperations(document::Operations& ops) {
  ops.add(document::makeOperation("scancase", 0, 0, document::withoutArguments(scancase)));
  ops.add(document::makeOperation("scancasecbfcn", 1, 0,
                                  [](platform::Runtime& rt, const std::vector<Value>& args) {
                                    if (args.empty() || !args.front().isText())
                                      throw Error("unknown argument");
                                    scancasecbfcn(rt, args.front().text());
                                    return std::vector<Value>{};
                                  }));
}

}  // namespace velmora::plan

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <numbers>
#include <optional>
#include <sstream>
#include <string>

#include <unistd.h>

#include "platform/model/colormaps.h"
#include "platform/model/error.h"
#include "platform/render/hpgl_canvas.h"
#include "platform/qt/painter_canvas.h"
#include "platform/qt/print_service.h"
#include "platform/qt/vector_canvases.h"
#include "platform/render/render.h"
#include "sample_figure.h"
#include "support/qt_application.h"

namespace velmora::platform {
namespace {

namespace fs = std::filesystem;

// Rendering needs fonts, so an application must exist; the other tests of this program use a widget
// application, which serves here too, so whichever test comes first makes one that all can share.
bool haveTool(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a command and returns its standard output; `status` receives the exit status.
std::string run(const std::string& command, int* status = nullptr, bool withErrors = false) {
  std::string out;
  FILE* p = popen((command + (withErrors ? " 2>&1" : " 2>/dev/null")).c_str(), "r");
  if (!p) return out;
  std::array<char, 4096> buf{};
  std::size_t n = 0;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
  const int rc = pclose(p);
  if (status) *status = rc;
  return out;
}

class PrintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test_support::qtApplication();
    dir_ = fs::temp_directory_path() / ("velmora_print_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    fig_ = testing::makeSampleFigure(g_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string file(const std::string& name) const { return (dir_ / name).string(); }

  Graphics g_;
  testing::SampleFigure fig_;
  fs::path dir_;
};

// Each raster device read back by ImageMagick: its format, the window's pixel size and real content.
TEST_F(PrintTest, RasterDevicesReadBackWithTheirFormatAndSize) {
  if (!haveTool("identify")) GTEST_SKIP() << "ImageMagick identify is not installed";
  struct Row {
    const char* device;
    const char* name;
    const char* format;  // as identify names it
  };
  const Row rows[] = {
      {"-djpeg90 ", "case.jpg", "JPEG"}, {"-dbmp ", "case.bmp", "BMP"},    {"-dbitmap ", "polar.bmp", "BMP"},
      {"-dtiff ", "case.tif", "TIFF"},   {"-dpcx24b ", "case.pcx", "PCX"},
  };
  qt::QtPrintService service(g_);
  for (const Row& r : rows) {
    service.print(fig_.figure, r.device, file(r.name));
    ASSERT_TRUE(fs::exists(file(r.name))) << r.device;
    const std::string info =
        run("identify -format '%m %w %h %[fx:standard_deviation]' '" + file(r.name) + "'");
    char format[32] = {};
    int w = 0, h = 0;
    double deviation = 0;
    ASSERT_EQ(std::sscanf(info.c_str(), "%31s %d %d %lf", format, &w, &h, &deviation), 4)
        << r.device << ": " << info;
    EXPECT_EQ(std::string(format).rfind(r.format, 0), 0u) << r.device << ": " << info;  // BMP3 is a BMP
    EXPECT_EQ(w, 640) << r.device;
    EXPECT_EQ(h, 560) << r.device;
    EXPECT_GT(deviation, 0.1) << r.device << " looks blank";
  }
  // The JPEG carries quality 90.
  EXPECT_EQ(run("identify -format '%Q' '" + file("case.jpg") + "'"), "90");
}

TEST_F(PrintTest, PostScriptIsLevelTwoAndRendersInGreyOrColour) {
  qt::QtPrintService service(g_);
  service.print(fig_.figure, "-dps2 ", file("gray.ps"));
  service.print(fig_.figure, "-dpsc2 ", file("color.ps"));
  for (const char* name : {"gray.ps", "color.ps"}) {
    const std::string head = run("head -c 400 '" + file(name) + "'");
    EXPECT_EQ(head.rfind("%!PS-Adobe-3.0", 0), 0u) << name;
    EXPECT_NE(head.find("%%LanguageLevel: 2"), std::string::npos) << name;
  }
  if (!haveTool("gs") || !haveTool("identify")) GTEST_SKIP() << "Ghostscript or ImageMagick is not installed";
  for (const char* name : {"gray.ps", "color.ps"}) {
    int status = -1;
    run("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -r72 -sOutputFile='" + file(name) + ".png' '" +
            file(name) + "'",
        &status);
    EXPECT_EQ(status, 0) << name;
    const std::string info = run("identify -format '%[fx:standard_deviation]' '" + file(name) + ".png'");
    double deviation = 0;
    ASSERT_EQ(std::sscanf(info.c_str(), "%lf", &deviation), 1) << name << ": " << info;
    EXPECT_GT(deviation, 0.1) << name << " renders blank";
  }
  // Grey output has no colour: every pixel of the rendered page has equal channels.
  auto colourfulness = [](const QImage& img) {
    int most = 0;
    for (int y = 0; y < img.height(); ++y) {
      for (int x = 0; x < img.width(); ++x) {
        const QColor c = img.pixelColor(x, y);
        most = std::max({most, std::abs(c.red() - c.green()), std::abs(c.green() - c.blue())});
      }
    }
    return most;
  };
  const QImage gray(QString::fromStdString(file("gray.ps.png")));
  const QImage color(QString::fromStdString(file("color.ps.png")));
  ASSERT_FALSE(gray.isNull());
  ASSERT_FALSE(color.isNull());
  EXPECT_LE(colourfulness(gray), 2) << "grey PostScript holds colour";
  EXPECT_GE(colourfulness(color), 200) << "colour PostScript lost its colour";
}

TEST_F(PrintTest, HpglParsesInAnIndependentReader) {
  qt::QtPrintService service(g_);
  service.print(fig_.figure, "-dhpgl ", file("case.hpg"));
  const std::string head = run("head -c 16 '" + file("case.hpg") + "'");
  EXPECT_NE(head.find("IN;"), std::string::npos) << head;  // an HP-GL program initialises the plotter
  if (!haveTool("hp2xx")) GTEST_SKIP() << "hp2xx is not installed";
  int status = -1;
  const std::string log = run("cd '" + dir_.string() + "' && hp2xx -m pcx -f hp.pcx case.hpg", &status, true);
  EXPECT_EQ(status, 0) << log;
  EXPECT_NE(log.find("Unexpected event(s):  0"), std::string::npos) << log;
  ASSERT_TRUE(fs::exists(dir_ / "hp.pcx"));
  // The reader draws the whole window, not a narrow strip of it, and not a blank sheet.
  if (!haveTool("identify")) return;
  std::istringstream size(run("identify -format '%w %h' '" + (dir_ / "hp.pcx").string() + "'"));
  int w = 0, h = 0;
  size >> w >> h;
  EXPECT_GT(w, 400) << w << "x" << h;
  EXPECT_GT(h, 400) << w << "x" << h;
  const std::string spread =
      run("convert '" + (dir_ / "hp.pcx").string() + "' -format '%[fx:standard_deviation]' info:");
  EXPECT_GT(std::stod(spread.empty() ? "0" : spread), 0.01);
}

TEST_F(PrintTest, BadDevicesAndPathsRaiseClearErrorsAndLeaveNothing) {
  qt::QtPrintService service(g_);
  struct Row {
    const char* device;
    std::string path;
    std::string message;
  };
  const std::string missing = file("no such folder/case.jpg");
  const Row rows[] = {
      {"-dgif ", file("case.gif"), "unknown print device: -dgif"},
      {"-djpeg90 ", missing, "cannot write file " + missing + ": No such file or directory"},
      {"-dps2 ", file("nowhere/x.ps"),
       "cannot write file " + file("nowhere/x.ps") + ": No such file or directory"},
      {"-dhpgl ", file("nowhere/x.hpg"),
       "cannot write file " + file("nowhere/x.hpg") + ": No such file or directory"},
      {"-dpcx24b ", dir_.string(), "cannot write file " + dir_.string() + ": it is a folder"},
  };
  for (const Row& r : rows) {
    try {
      service.print(fig_.figure, r.device, r.path);
      ADD_FAILURE() << r.device << " printed to " << r.path;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), r.message);
    }
  }
  EXPECT_TRUE(fs::is_empty(dir_)) << "a failed print left a file behind";
}

// The screen picture: colours at known pixels.
QImage renderOnScreen(const Graphics& g, Handle fig, double dpr) {
  QImage img(static_cast<int>(640 * dpr), static_cast<int>(560 * dpr), QImage::Format_RGB32);
  img.setDevicePixelRatio(dpr);
  img.fill(Qt::white);
  QPainter painter(&img);
  qt::PainterCanvas canvas(painter, 640, 560);
  renderFigure(g, fig, canvas);
  painter.end();
  return img;
}

void expectColor(const QImage& img, double x, double y, double dpr, const Rgb& want, int tolerance,
                 const char* what) {
  const QColor c = img.pixelColor(static_cast<int>(x * dpr), static_cast<int>(y * dpr));
  EXPECT_NEAR(c.red(), want.r * 255, tolerance) << what;
  EXPECT_NEAR(c.green(), want.g * 255, tolerance) << what;
  EXPECT_NEAR(c.blue(), want.b * 255, tolerance) << what;
}

TEST_F(PrintTest, ScreenRenderPutsColoursWhereTheModelSays) {
  const AxesMapping m = axesMapping(g_, fig_.axes, 640, 560);
  const AxesMapping bar = axesMapping(g_, fig_.barAxes, 640, 560);
  const Matrix jet = jetColormap();
  for (double dpr : {1.0, 2.0}) {
    const QImage img = renderOnScreen(g_, fig_.figure, dpr);
    expectColor(img, m.toPixelX(5), m.toPixelY(-4), dpr, {1, 0, 0}, 10, "red source marker");
    expectColor(img, m.toPixelX(15), m.toPixelY(-4), dpr, {1, 1, 0}, 10, "yellow receptor");
    expectColor(img, m.toPixelX(10), m.toPixelY(-8), dpr, {0, 0, 0}, 40, "black wall");
    expectColor(img, m.toPixelX(10), m.toPixelY(-2), dpr, {1, 1, 1}, 2, "white axes background");
    expectColor(img, 600, 540, dpr, {0.8, 0.8, 0.8}, 2, "window colour");
    // The map: colour value 0..4 from x 2 to 18 through the table with clim (0, 4).
    for (double x : {2.3, 6.0, 10.0, 14.0, 17.7}) {
      const double value = (x - 2) / 4;
      const auto row = static_cast<std::size_t>(std::min(255.0, std::floor(value / 4 * 256)));
      expectColor(img, m.toPixelX(x), m.toPixelY(5), dpr, colormapRow(jet, row), 14, "map colour");
    }
    // The colour bar: value 0 at its bottom edge (y -0.5) to 4 at its top (y 4.5), dark blue to dark red.
    for (double y : {-0.45, 1.0, 2.0, 3.0, 4.45}) {
      const double value = (y + 0.5) / 5 * 4;
      const auto row = static_cast<std::size_t>(std::min(255.0, std::floor(value / 4 * 256)));
      expectColor(img, bar.toPixelX(0.5), bar.toPixelY(y), dpr, colormapRow(jet, row), 14, "colour bar");
    }
  }
  // A printed raster shows the same picture on white paper.
  qt::QtPrintService service(g_);
  service.print(fig_.figure, "-dbmp", file("same.bmp"));
  const QImage printed(QString::fromStdString(file("same.bmp")));
  ASSERT_FALSE(printed.isNull());
  expectColor(printed, m.toPixelX(5), m.toPixelY(-4), 1, {1, 0, 0}, 10, "printed source marker");
  expectColor(printed, 600, 540, 1, {1, 1, 1}, 2, "printed paper");
}

// A screen paints maps of many colour bands pixel by pixel: a whole table position (a count mapped
// directly) keeps its row inside every triangle, whatever rounding the triangle's slopes bring. Vector
// files keep the bands as shapes.
TEST_F(PrintTest, PixelPaintedMapKeepsWholePositionsInTheirRow) {
  const std::vector<Rgb> table = {{0, 0, 1}, {0, 1, 1}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}};
  std::vector<TableTriangle> mesh;
  const double x0 = 13.3, y0 = 7.7, step = 300.0 / 23;  // cell corners off the pixel grid
  for (int i = 0; i < 23; ++i) {
    for (int j = 0; j < 23; ++j) {
      const Point a{x0 + i * step, y0 + j * step}, b{a.x + step, a.y}, c{a.x + step, a.y + step},
          d{a.x, a.y + step};
      mesh.push_back({{a, b, c}, {4, 4, 4}, {}});
      mesh.push_back({{a, c, d}, {4, 4, 4}, {}});
    }
  }
  QImage img(340, 340, QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter painter(&img);
  qt::PainterCanvas canvas(painter, 340, 340);
  ASSERT_TRUE(canvas.paintsTableTriangles());
  canvas.tableTriangles(mesh, table);
  painter.end();
  int wrong = 0;
  for (int y = 9; y < 306; ++y)
    for (int x = 15; x < 312; ++x) wrong += img.pixel(x, y) != qRgb(255, 0, 0);
  EXPECT_EQ(wrong, 0);

  EXPECT_FALSE(qt::PdfCanvas(100, 100, "").paintsTableTriangles());
  EXPECT_FALSE(qt::SvgCanvas(100, 100, "").paintsTableTriangles());
}

// Runs of pixels that keep to one table row are filled at once: every pixel of a mesh whose positions
// climb gently across wide cells (many runs of one row, a row's change inside others) shows the row of
// its own position, as worked out here apart from the canvas; no pixel between cells stays unpainted.
TEST_F(PrintTest, PixelPaintedMapShowsEachPixelsOwnRowInWideCells) {
  const std::vector<Rgb> table = {{0, 0, 1}, {0, 1, 1}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}, {1, 0, 1}};
  constexpr int kCells = 8;
  const double x0 = 10.25, y0 = 6.6, step = 37.3;
  // Positions 0 .. 6 over the mesh, off whole numbers and beyond the table at one corner.
  const auto positionAt = [](int i, int j) { return 0.37 + 0.41 * i + 0.33 * j + 0.05 * ((i * 7 + j * 3) % 5); };
  const auto corner = [&](int i, int j) { return Point{x0 + i * step, y0 + j * step}; };
  std::vector<TableTriangle> mesh;
  for (int i = 0; i < kCells; ++i) {
    for (int j = 0; j < kCells; ++j) {
      const Point a = corner(i, j), b = corner(i + 1, j), c = corner(i + 1, j + 1), d = corner(i, j + 1);
      mesh.push_back({{a, b, c}, {positionAt(i, j), positionAt(i + 1, j), positionAt(i + 1, j + 1)}, {}});
      mesh.push_back({{a, c, d}, {positionAt(i, j), positionAt(i + 1, j + 1), positionAt(i, j + 1)}, {}});
    }
  }
  QImage img(320, 320, QImage::Format_RGB32);
  img.fill(Qt::white);
  {
    QPainter painter(&img);
    qt::PainterCanvas canvas(painter, 320, 320);
    canvas.tableTriangles(mesh, table);
  }
  // The position at a pixel centre, by the triangle of its cell that holds it; nothing on a border.
  const auto expected = [&](double px, double py) -> std::optional<double> {
    const double u = (px - x0) / step, v = (py - y0) / step;
    const int i = static_cast<int>(std::floor(u)), j = static_cast<int>(std::floor(v));
    const double fu = u - i, fv = v - j;
    if (i < 0 || j < 0 || i >= kCells || j >= kCells || std::abs(fu - fv) < 1e-6) return std::nullopt;
    const double p00 = positionAt(i, j), p10 = positionAt(i + 1, j), p11 = positionAt(i + 1, j + 1),
                 p01 = positionAt(i, j + 1);
    return fu > fv ? p00 + fu * (p10 - p00) + fv * (p11 - p10) : p00 + fv * (p01 - p00) + fu * (p11 - p01);
  };
  int judged = 0, wrong = 0, changes = 0;
  for (int y = 0; y < 320; ++y) {
    int lastRow = -1;
    for (int x = 0; x < 320; ++x) {
      const auto t = expected(x + 0.5, y + 0.5);
      if (!t) continue;
      const double whole = std::round(*t);
      if (std::abs(*t - whole) < 1e-6) continue;  // on a row's start: either row may be right
      const int row = std::clamp(static_cast<int>(std::floor(*t)), 0, static_cast<int>(table.size()) - 1);
      changes += lastRow >= 0 && row != lastRow;
      lastRow = row;
      const Rgb& want = table[static_cast<std::size_t>(row)];
      ++judged;
      wrong += img.pixel(x, y) != qRgb(static_cast<int>(want.r * 255), static_cast<int>(want.g * 255),
                                      static_cast<int>(want.b * 255));
    }
  }
  EXPECT_GT(judged, 80000);
  EXPECT_GT(changes, 500);  // rows change inside cells, not only at their borders
  EXPECT_EQ(wrong, 0);
}

// ---- vector and high-resolution files, read back by independent readers ----

// The colours the sample figure shows at known points of its map and colour bar, checked in a picture
// of the window drawn at `scale` pixels per window pixel.
void expectSampleColours(const Graphics& g, const testing::SampleFigure& fig, const QImage& img, double scale,
                         const char* what) {
  ASSERT_FALSE(img.isNull()) << what;
  const AxesMapping m = axesMapping(g, fig.axes, 640, 560);
  const AxesMapping bar = axesMapping(g, fig.barAxes, 640, 560);
  const Matrix jet = jetColormap();
  auto rowOf = [](double value) {
    return static_cast<std::size_t>(std::min(255.0, std::floor(value / 4 * 256)));
  };
  for (double x : {2.3, 6.0, 10.0, 14.0, 17.7}) {
    expectColor(img, m.toPixelX(x), m.toPixelY(5), scale, colormapRow(jet, rowOf((x - 2) / 4)), 16, what);
  }
  for (double y : {-0.3, 1.0, 2.0, 3.0, 4.3}) {
    expectColor(img, bar.toPixelX(0.5), bar.toPixelY(y), scale, colormapRow(jet, rowOf((y + 0.5) / 5 * 4)),
                16, what);
  }
  expectColor(img, m.toPixelX(5), m.toPixelY(-4), scale, {1, 0, 0}, 16, what);
  expectColor(img, 600, 540, scale, {1, 1, 1}, 2, what);
}

TEST_F(PrintTest, PdfKeepsItsTextAndRendersTheMapInPlace) {
  if (!haveTool("pdftotext") || !haveTool("pdftoppm")) GTEST_SKIP() << "poppler-utils are not installed";
  qt::QtPrintService service(g_);
  service.print(fig_.figure, "-dpdf ", file("case.pdf"));
  // The status line is text, found by a text search.
  const std::string text = run("pdftotext '" + file("case.pdf") + "' -");
  EXPECT_NE(text.find("80 dB"), std::string::npos) << text;
  int status = -1;
  run("pdftoppm -r 96 -png -singlefile '" + file("case.pdf") + "' '" + file("page") + "'", &status);
  ASSERT_EQ(status, 0);
  const QImage page(QString::fromStdString(file("page.png")));
  EXPECT_EQ(page.size(), QSize(640, 560));
  expectSampleColours(g_, fig_, page, 1, "PDF page");
  // A report puts several figures into one document, a page each.
  qt::PdfCanvas report(640, 560, "report");
  renderFigure(g_, fig_.figure, report, RenderOptions{true});
  report.newPage();
  renderFigure(g_, fig_.figure, report, RenderOptions{true});
  const auto bytes = report.finish();
  FILE* out = std::fopen(file("report.pdf").c_str(), "wb");
  ASSERT_NE(out, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), out);
  std::fclose(out);
  const std::string info = run("pdfinfo '" + file("report.pdf") + "'");
  EXPECT_NE(info.find("Pages:           2"), std::string::npos) << info;
  EXPECT_NE(info.find("480 x 420 pts"), std::string::npos) << info;
}

TEST_F(PrintTest, SvgIsValidXmlWithTextAndRendersTheMapInPlace) {
  if (!haveTool("xmllint") || !haveTool("rsvg-convert")) GTEST_SKIP() << "xmllint or rsvg-convert is missing";
  qt::writeSvg(g_, fig_.figure, file("case.svg"));
  int status = -1;
  const std::string log = run("xmllint --noout '" + file("case.svg") + "'", &status, true);
  EXPECT_EQ(status, 0) << log;
  const std::string svg = run("cat '" + file("case.svg") + "'");
  EXPECT_NE(svg.find("<text"), std::string::npos);
  EXPECT_NE(svg.find("80 dB"), std::string::npos);
  run("rsvg-convert -w 640 -h 560 -b white -o '" + file("svg.png") + "' '" + file("case.svg") + "'", &status);
  ASSERT_EQ(status, 0);
  const QImage picture(QString::fromStdString(file("svg.png")));
  EXPECT_EQ(picture.size(), QSize(640, 560));
  expectSampleColours(g_, fig_, picture, 1, "SVG picture");
  // Qt's SVG writer cannot clip, so the far axis line is cut at the plot box: nothing beyond it.
  const AxesMapping m = axesMapping(g_, fig_.axes, 640, 560);
  expectColor(picture, m.box.x - 3, m.toPixelY(0), 1, {1, 1, 1}, 2, "left of the plot box");
}

TEST_F(PrintTest, PngHasThePixelsAndResolutionAsked) {
  if (!haveTool("identify")) GTEST_SKIP() << "ImageMagick identify is not installed";
  qt::QtPrintService service(g_);
  service.print(fig_.figure, "-dpng -r300", file("case.png"));
  const std::string info =
      run("identify -units PixelsPerInch -format '%m %w %h %x' '" + file("case.png") + "'");
  EXPECT_EQ(info.substr(0, 13), "PNG 2000 1750") << info;
  EXPECT_NEAR(std::atof(info.substr(std::min<std::size_t>(14, info.size())).c_str()), 300, 0.5) << info;
  expectSampleColours(g_, fig_, QImage(QString::fromStdString(file("case.png"))), 300.0 / 96,
                      "PNG at 300 dpi");
  // Without a resolution the picture has the window's pixels.
  service.print(fig_.figure, "-dpng", file("screen.png"));
  EXPECT_EQ(run("identify -format '%w %h' '" + file("screen.png") + "'"), "640 560");
}

// The hatch direction of a stretch of a plotter drawing: the one of the band angles along which ink
// pixels continue furthest. Ink is whatever differs from the paper.
double dominantHatchAngle(const QImage& img, QRgb paper, const QRect& area) {
  auto ink = [&](int x, int y) { return img.valid(x, y) && img.pixel(x, y) != paper; };
  double best = -1, bestScore = -1;
  for (std::size_t band = 0; band < 8; ++band) {
    const double a = HpglCanvas::hatchAngle(band) * std::numbers::pi / 180;
    long hits = 0, inked = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
      for (int x = area.left(); x <= area.right(); ++x) {
        if (!ink(x, y)) continue;
        ++inked;
        bool along = true;
        for (double d : {3.0, 6.0, 9.0}) {
          along = along && ink(x + static_cast<int>(std::lround(d * std::cos(a))),
                               y + static_cast<int>(std::lround(d * std::sin(a))));
        }
        hits += along;
      }
    }
    const double score = inked ? static_cast<double>(hits) / inked : 0;
    if (score > bestScore) {
      bestScore = score;
      best = HpglCanvas::hatchAngle(band);
    }
  }
  return best;
}

// A colour bar of five bands printed on a plotter and drawn by hp2xx: every band is hatched, at the
// angle of its band, so that neighbouring bands differ.
TEST_F(PrintTest, HpglHatchesEachColourBandAtItsOwnAngle) {
  if (!haveTool("hp2xx") || !haveTool("convert")) GTEST_SKIP() << "hp2xx or ImageMagick is not installed";
  Graphics g;
  const Handle fig = g.create(ObjectType::Figure, kRoot);
  g.setRow(fig, "position", {0, 0, 200, 400});
  g.set(fig, "colormap", jetColormap(5));
  const Handle axes = g.create(ObjectType::Axes, fig);
  g.setRow(axes, "position", {0, 0, 1, 1});
  g.setText(axes, "visible", "off");
  g.setRow(axes, "xlim", {0, 1});
  g.setRow(axes, "ylim", {-0.5, 4.5});
  g.setRow(axes, "clim", {0, 5});
  const Handle patch = g.create(ObjectType::Patch, axes);
  g.setRow(patch, "xdata", {0, 1, 1, 0});
  g.setRow(patch, "ydata", {-0.5, -0.5, 4.5, 4.5});
  g.setRow(patch, "cdata", {0, 0, 5, 5});
  g.setText(patch, "facecolor", "interp");
  g.setText(patch, "edgecolor", "none");
  qt::QtPrintService service(g);
  service.print(fig, "-dhpgl", file("bar.hpg"));
  int status = -1;
  const std::string log =
      run("cd '" + dir_.string() + "' && hp2xx -m pcx -d 150 -f bar.pcx bar.hpg && convert bar.pcx bar.png",
          &status, true);
  ASSERT_EQ(status, 0) << log;
  const QImage img = QImage(QString::fromStdString(file("bar.png"))).convertToFormat(QImage::Format_RGB32);
  ASSERT_FALSE(img.isNull());
  // The paper is the commonest colour; the ink covers the bar, which the bands split evenly, the first
  // at the bottom.
  std::map<QRgb, long> counts;
  for (int y = 0; y < img.height(); ++y) {
    for (int x = 0; x < img.width(); ++x) ++counts[img.pixel(x, y)];
  }
  const QRgb paper = std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
                       return a.second < b.second;
                     })->first;
  QRect inked;
  for (int y = 0; y < img.height(); ++y) {
    for (int x = 0; x < img.width(); ++x) {
      if (img.pixel(x, y) != paper) inked |= QRect(x, y, 1, 1);
    }
  }
  ASSERT_GT(inked.height(), 100) << inked.width() << "x" << inked.height();
  const double bandHeight = inked.height() / 5.0;
  for (int band = 0; band < 5; ++band) {
    const int top = inked.bottom() - static_cast<int>((band + 1) * bandHeight);
    const QRect inner(inked.left() + inked.width() / 6, top + static_cast<int>(bandHeight / 6),
                      inked.width() * 2 / 3, static_cast<int>(bandHeight * 2 / 3));
    EXPECT_EQ(dominantHatchAngle(img, paper, inner), HpglCanvas::hatchAngle(static_cast<std::size_t>(band)))
        << "band " << band;
  }
}

TEST_F(PrintTest, VectorAndPngFailuresNameTheFileAndLeaveNothing) {
  qt::QtPrintService service(g_);
  const std::string missing = file("no such folder/case");
  struct Row {
    const char* device;
    std::string path, message;
  };
  const Row rows[] = {
      {"-dpdf", missing + ".pdf", "cannot write file " + missing + ".pdf: No such file or directory"},
      {"-dsvg", missing + ".svg", "cannot write file " + missing + ".svg: No such file or directory"},
      {"-dpng -r300", missing + ".png", "cannot write file " + missing + ".png: No such file or directory"},
      {"-dpng -r1200", file("big.png"),
       "cannot write file " + file("big.png") + ": the PNG resolution must be 24 to 600 dpi, not 1200"},
      {"-dpng -rhigh", file("odd.png"), "unknown print option: -rhigh"},
  };
  for (const Row& r : rows) {
    try {
      service.print(fig_.figure, r.device, r.path);
      ADD_FAILURE() << r.device << " printed to " << r.path;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), r.message);
    }
  }
  EXPECT_TRUE(fs::is_empty(dir_)) << "a failed print left a file behind";
}

}  // namespace
}  // namespace velmora::platform

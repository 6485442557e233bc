// The real main window under the offscreen platform: what `init` builds is drawn as specified, and
// every print device writes a file that independent tools read back, without the window's controls.

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/operation_table.h"
#include "document/window.h"
#include "platform/model/error.h"
#include "platform/qt/figure_window.h"
#include "platform/qt/print_service.h"
#include "platform/qt/qt_front_end.h"
#include "platform/render/render.h"
#include "platform/model/runtime.h"
#include "platform/automation/scripted_ui.h"
#include "shell/dispatcher.h"
#include "support/main_window.h"
#include "support/qt_application.h"

namespace velmora::shell {
using namespace velmora::document;
namespace {

using platform::Handle;
using platform::ScriptedAnswer;
using platform::Value;

// Output of a shell command; nothing when it failed.
std::optional<std::string> run(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen((command + " 2>/dev/null").c_str(), "r"), pclose);
  if (!pipe) return std::nullopt;
  std::string out;
  std::array<char, 256> buffer{};
  while (fgets(buffer.data(), buffer.size(), pipe.get()) != nullptr) out += buffer.data();
  const int status = pclose(pipe.release());
  if (status != 0) return std::nullopt;
  return out;
}

bool have(const char* tool) {
  return run(std::string("command -v ") + tool).has_value();
}

class MainWindowQtTest : public test_support::MainWindowFixture<> {
 protected:
  void SetUp() override {
    test_support::qtApplication();
    frontEnd = std::make_unique<platform::qt::QtFrontEnd>(rt);
    printer = std::make_unique<platform::qt::QtPrintService>(rt.graphics());
    rt.setPrintService(printer.get());
    fig = openMainWindow();
    frontEnd->flush();
    dir = std::filesystem::temp_directory_path() / ("velmora_print_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
  }
  void TearDown() override {
    frontEnd.reset();
    std::filesystem::remove_all(dir);
  }

  QImage screenshot() {
    frontEnd->flush();
    auto* window = frontEnd->window(fig);
    EXPECT_NE(window, nullptr);
    return window->grab().toImage().convertToFormat(QImage::Format_RGB32);
  }
  // The pixel of the screenshot where a data point of an axes is drawn.
  QColor pixelAt(const QImage& image, Handle axes, double x, double y) {
    const auto map = platform::axesMapping(rt.graphics(), axes, 640, 560);
    const double sx = image.width() / 640.0, sy = image.height() / 560.0;
    return image.pixelColor(static_cast<int>(map.toPixelX(x) * sx), static_cast<int>(map.toPixelY(y) * sy));
  }
  std::string folder() const { return dir.string() + "/"; }

  std::unique_ptr<platform::qt::QtFrontEnd> frontEnd;
  std::unique_ptr<platform::qt::QtPrintService> printer;
  std::filesystem::path dir;
};

bool isRed(const QColor& c) {
  return c.red() > 180 && c.green() < 90 && c.blue() < 90;
}
bool isWhite(const QColor& c) {
  return c.red() > 240 && c.green() > 240 && c.blue() > 240;
}

// The automation's "render": a picture in the extension's format, written as every output file is.
TEST_F(MainWindowQtTest, WindowPictureIsWrittenLikeEveryOutput) {
  const std::string png = folder() + "window.png";
  frontEnd->saveWindowImage(fig, png);
  QImage image;
  ASSERT_TRUE(image.load(QString::fromStdString(png), "PNG"));
  EXPECT_EQ(image.width() * 560, image.height() * 640);

  const std::string kept = folder() + "kept.png";
  std::ofstream(kept) << "old";
  std::filesystem::permissions(kept, std::filesystem::perms(0444));
  const std::vector<std::pair<std::string, std::string>> refusals = {
      {kept, "cannot write file " + kept + ": Permission denied"},
      {folder() + "missing/w.png", "cannot write file " + folder() + "missing/w.png: No such file or directory"},
      {folder() + "w.xyz", "cannot write the picture \"" + folder() + "w.xyz\" (unknown image type)"},
  };
  for (const auto& [path, message] : refusals) {
    try {
      frontEnd->saveWindowImage(fig, path);
      ADD_FAILURE() << path;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), message);
    }
  }
  std::ifstream in(kept);
  std::string content;
  in >> content;
  EXPECT_EQ(content, "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator{}), 2);
}

TEST_F(MainWindowQtTest, ScreenshotShowsRoomMapMarkersAndColourBar) {
  const QImage image = screenshot();
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.width() * 560, image.height() * 640);  // 640 by 560 at any pixel density
  const Handle axes = drawingAxes(rt, fig);
  // Every point of the audience map gets all four reflections: the top colour of the scale, red.
  for (const auto& [x, y] : std::vector<std::pair<double, double>>{{10, 2}, {6, -4}, {14, 4}, {7, 3}}) {
    const QColor c = pixelAt(image, axes, x, y);
    EXPECT_TRUE(isRed(c)) << x << "," << y << " " << c.name().toStdString();
  }
  // Inside the room, beside the map: white; the walls: black.
  EXPECT_TRUE(isWhite(pixelAt(image, axes, 4, 6)));
  const QColor wall = pixelAt(image, axes, 10, -7);
  EXPECT_LT(wall.lightness(), 80) << wall.name().toStdString();
  // Source red, receptor yellow.
  EXPECT_TRUE(isRed(pixelAt(image, axes, 3.5, 0)));
  const QColor receptor = pixelAt(image, axes, 16.5, 0);
  EXPECT_TRUE(receptor.red() > 200 && receptor.green() > 200 && receptor.blue() < 100)
      << receptor.name().toStdString();
  // Colour bar: reflection counts 0 (blue) to 4 (red).
  const Handle cb = objectInWindow(rt, fig, "acoucbaxes");
  EXPECT_TRUE(isRed(pixelAt(image, cb, 0.5, 4.3)));
  const QColor low = pixelAt(image, cb, 0.5, -0.3);
  EXPECT_TRUE(low.blue() > 120 && low.red() < 60) << low.name().toStdString();
  // The controls are on screen: the bottom strip holds darker text of the buttons.
  bool dark = false;
  for (int x = 0; x < image.width(); ++x) {
    for (int y = image.height() * 540 / 560; y < image.height(); ++y)
      dark = dark || image.pixelColor(x, y).lightness() < 90;
  }
  EXPECT_TRUE(dark);
}

TEST_F(MainWindowQtTest, EveryPrintDeviceWritesAReadableFileWithoutControls) {
  if (!have("identify") || !have("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  struct Row {
    std::string file, written, format;
  };
  const std::vector<Row> raster = {{"room", "room.jpg", "JPEG"},
                                   {"room.bmp", "room.bmp", "BMP"},
                                   {"room.pcx", "room.pcx", "PCX"},
                                   {"room.tif", "room.tif", "TIFF"},
                                   {"room.dat", "room.dat", "JPEG"}};
  for (const Row& row : raster) {
    ops.call(rt, "printcase", {Value(folder()), Value(row.file)});
    const std::string path = folder() + row.written;
    ASSERT_TRUE(std::filesystem::exists(path)) << path;
    const auto info = run("identify -format '%m %w %h' '" + path + "'");
    ASSERT_TRUE(info) << path;
    EXPECT_EQ(info->substr(0, info->find(' ')).rfind(row.format, 0), 0u) << *info;
    EXPECT_NE(info->find(" 640 560"), std::string::npos) << *info;
    // Not blank, and the strip of buttons at the bottom is empty paper.
    const auto spread = run("convert '" + path + "' -format '%[fx:standard_deviation]' info:");
    ASSERT_TRUE(spread);
    EXPECT_GT(std::stod(*spread), 0.05) << path;
    const auto strip = run("convert '" + path + "' -crop 640x18+0+541 +repage -format '%[fx:minima]' info:");
    ASSERT_TRUE(strip);
    EXPECT_GT(std::stod(*strip), 0.85) << path << ": controls in the picture";
    // The map is there: red at the centre of the audience area.
    const auto map = platform::axesMapping(rt.graphics(), drawingAxes(rt, fig), 640, 560);
    const auto centre = run(
        "convert '" + path + "' -format '%[fx:int(255*p{" + std::to_string(int(map.toPixelX(10))) + "," +
        std::to_string(int(map.toPixelY(2))) + "}.r)] %[fx:int(255*p{" +
        std::to_string(int(map.toPixelX(10))) + "," + std::to_string(int(map.toPixelY(2))) + "}.g)]' info:");
    ASSERT_TRUE(centre);
    int r = 0, g = 0;
    ASSERT_EQ(std::sscanf(centre->c_str(), "%d %d", &r, &g), 2);
    EXPECT_GT(r, 180) << path;
    EXPECT_LT(g, 90) << path;
  }
}

TEST_F(MainWindowQtTest, PostScriptInColourOrGreyAndPlotterFile) {
  ops.call(rt, "printcase", {Value(folder()), Value("colour.ps")});
  CaseRecord record = readCase(rt, fig);
  record.colormap = "gray";
  storeCase(rt, fig, record);
  ops.call(rt, "printcase", {Value(folder()), Value("grey.PS")});
  ops.call(rt, "printcase", {Value(folder()), Value("plot.hpg")});
  for (const char* f : {"colour.ps", "grey.PS", "plot.hpg"})
    ASSERT_TRUE(std::filesystem::exists(folder() + f)) << f;

  if (have("gs") && have("convert")) {
    // Saturation of the page rendered by Ghostscript: colour shows the red map, grey shows none.
    const auto saturation = [&](const std::string& ps) {
      const std::string png = folder() + ps + ".png";
      EXPECT_TRUE(run("gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=png16m -r36 -o '" + png + "' '" + folder() +
                      ps + "'"));
      const auto out =
          run("convert '" + png + "' -colorspace HSL -channel G -separate -format '%[fx:maxima]' info:");
      EXPECT_TRUE(out);
      return out ? std::stod(*out) : -1.0;
    };
    EXPECT_GT(saturation("colour.ps"), 0.5);
    EXPECT_LT(saturation("grey.PS"), 0.1);
    const auto bbox = run("gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=bbox '" + folder() + "colour.ps' 2>&1");
    ASSERT_TRUE(bbox);
  }
  if (have("hp2xx") && have("convert")) {
    const std::string png = folder() + "plot.png";
    ASSERT_TRUE(run("hp2xx -q -m png -f '" + png + "' '" + folder() + "plot.hpg'"));
    const auto spread = run("convert '" + png + "' -format '%[fx:standard_deviation]' info:");
    ASSERT_TRUE(spread);
    EXPECT_GT(std::stod(*spread), 0.01);
  }
  // The window is back in its screen colours.
  for (Handle h : objectsByTag(rt, fig, "acouwallvertex")) EXPECT_TRUE(rt.graphics().at(h).visible());
}

// The main and the polar window as PDF, SVG and PNG, from the print dialogs, read back by poppler,
// xmllint and ImageMagick: text stays text, the map is in place, the PNG has the resolution asked.
TEST_F(MainWindowQtTest, PdfSvgAndPngOfBothWindows) {
  if (!have("pdftotext") || !have("pdftoppm") || !have("xmllint") || !have("identify") || !have("convert"))
    GTEST_SKIP() << "poppler-utils, xmllint or ImageMagick is not installed";
  auto print = [&](const char* verb, const std::string& file, std::optional<std::string> dpi) {
    ui.push(ScriptedAnswer::chosenFile(folder() + file));
    if (dpi) answer(*dpi);
    velmoracopy(rt, ops, {Value(verb)});
    return folder() + file;
  };
  const std::string pdf = print("print", "room.PDF", std::nullopt);
  const auto text = run("pdftotext '" + pdf + "' -");
  ASSERT_TRUE(text);
  EXPECT_NE(text->find("first reflection number"), std::string::npos) << "[" << *text << "]";
  ASSERT_TRUE(run("pdftoppm -r 96 -png -singlefile '" + pdf + "' '" + folder() + "page'"));
  const QImage page(QString::fromStdString(folder() + "page.png"));
  EXPECT_TRUE(isRed(pixelAt(page, drawingAxes(rt, fig), 10, 2))) << "the map in the PDF";
  EXPECT_TRUE(isWhite(page.pixelColor(20, 550))) << "controls in the PDF";

  const std::string png = print("print", "room.png", "150");
  EXPECT_EQ(run("identify -format '%w %h' '" + png + "'"), "1000 875");

  velmoracopy(rt, ops, {Value("polardiagram")});
  const std::string svg = print("printpolar", "polar.svg", std::nullopt);
  EXPECT_TRUE(run("xmllint --noout '" + svg + "'")) << "not well-formed XML";
  const auto polarText = run("grep -c '<text' '" + svg + "'");
  ASSERT_TRUE(polarText);
  EXPECT_GT(std::stoi(*polarText), 3);
  EXPECT_TRUE(run("pdftotext '" + print("printpolar", "polar.pdf", std::nullopt) + "' - | grep -q refl"));
}

// A change repaints only the pixels of the drawing that changed (the controls over the rest are not
// painted again): what the screen holds after each change is what a whole new paint of the window shows.
TEST_F(MainWindowQtTest, ScreenAfterEachChangeShowsTheWholeNewDrawing) {
  auto* window = frontEnd->window(fig);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(window->isVisible());
  QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_NE(screen, nullptr);
  const auto settle = [&] {
    frontEnd->flush();
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  };
  settle();
  const QImage first = screen->grabWindow(window->winId()).toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_FALSE(first.isNull());
  // An L room, then its source moved and the map made finer.
  CaseDescription room;
  room.xwall = std::vector<double>{0, 10, 10, 5, 5, 0};
  room.ywall = std::vector<double>{0, 0, 10, 10, 5, 5};
  room.alpha = std::vector<double>(6, 20.0);
  room.xaud = std::vector<double>{0.5, 9.5, 9.5, 0.5};
  room.yaud = std::vector<double>{0.5, 0.5, 9.5, 9.5};
  room.xso = 2;
  room.yso = 2;
  room.Nsurface = 40;
  CaseDescription moved = room;
  moved.xso = 3;
  moved.Nsurface = 60;
  const std::vector<std::vector<Value>> changes = {{Value("update"), room.toValue()},
                                                   {Value("update"), moved.toValue()}};
  for (std::size_t k = 0; k < changes.size(); ++k) {
    velmoracopy(rt, ops, changes[k]);
    if (k == 1) {
      frontEnd->flush();
      window->grab();  // a picture of the window before the change has reached the screen
    }
    settle();
    const QImage shown = screen->grabWindow(window->winId()).toImage().convertToFormat(QImage::Format_RGB32);
    const QImage whole = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), whole.size()) << k;
    EXPECT_TRUE(shown == whole) << "change " << k;
    if (k == 0) {
      EXPECT_FALSE(shown == first);  // the change shows
    }
  }
}

TEST_F(MainWindowQtTest, ClosingTheWindowDiscardsTheCase) {
  frontEnd->close(fig);
  EXPECT_FALSE(rt.graphics().exists(fig));
  EXPECT_FALSE(findMainWindow(rt));
}

}  // namespace
}  // namespace velmora::shell

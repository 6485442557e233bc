// The Qt decoder of scanned plan images: JPEG, BMP and TIFF in colour and grey, and the files it
// refuses (missing, not an image, too large) with their messages.

#include "platform/qt/image_reader.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QImage>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/model/error.h"
#include "platform/model/runtime.h"
#include "platform/automation/scripted_ui.h"
#include "support/qt_application.h"

namespace velmora::platform::qt {
namespace {

namespace fs = std::filesystem;

std::string messageOf(QtImageReader& reader, const std::string& path) {
  try {
    reader.read(path);
  } catch (const Error& e) {
    return e.what();
  }
  return "";
}

TEST(QtImageReader, ReadsEveryPlanFormat) {
  test_support::qtApplication();
  struct Row {
    const char* file;
    const char* format;
    bool grey;
  };
  for (const Row& r : std::vector<Row>{{"plan.bmp", "BMP", false},
                                       {"plan.tif", "TIFF", false},
                                       {"plan.jpg", "JPEG", false},
                                       {"grey.bmp", "BMP", true},
                                       {"grey.jpeg", "JPEG", true}}) {
    SCOPED_TRACE(r.file);
    QImage img(30, 20, r.grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    img.fill(QColor(255, 255, 255));
    for (int x = 0; x < 10; ++x)
      for (int y = 0; y < 5; ++y) img.setPixelColor(x, y, r.grey ? QColor(0, 0, 0) : QColor(255, 0, 0));
    const std::string path = (fs::current_path() / r.file).string();
    ASSERT_TRUE(img.save(QString::fromStdString(path), r.format, 100));
    QtImageReader reader;
    const Matrix m = reader.read(path);
    EXPECT_EQ(m.rows, 20u);
    EXPECT_EQ(m.cols, 30u);
    EXPECT_EQ(m.pages, r.grey ? 1u : 3u);
    // Row 1 is the top: the dark (or red) block is at the top left.
    EXPECT_NEAR(m.at3(1, 1, 0), r.grey ? 0 : 1, 0.05);
    EXPECT_NEAR(m.at3(15, 20, 0), 1, 0.05);
    if (!r.grey) {
      EXPECT_NEAR(m.at3(1, 1, 1), 0, 0.05);
    }
  }
}

TEST(QtImageReader, RefusesBadFilesWithMessages) {
  test_support::qtApplication();
  QtImageReader reader;
  const std::string missing = (fs::current_path() / "missing.jpg").string();
  EXPECT_EQ(messageOf(reader, missing), "image file " + missing + " not found");

  const std::string garbage = (fs::current_path() / "garbage.jpg").string();
  std::ofstream(garbage) << "this is not a picture";
  EXPECT_EQ(messageOf(reader, garbage).rfind("cannot read image file " + garbage, 0), 0u);

  // A bitmap header announcing 5000 x 4200 pixels: refused before anything is decoded.
  const std::string huge = (fs::current_path() / "huge.bmp").string();
  {
    std::vector<std::uint8_t> h(54, 0);
    const auto put32 = [&h](std::size_t at, std::uint32_t v) {
      for (int i = 0; i < 4; ++i) h[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    h[0] = 'B';
    h[1] = 'M';
    put32(2, 54 + 4200u * 15000u);
    put32(10, 54);
    put32(14, 40);
    put32(18, 5000);
    put32(22, 4200);
    h[26] = 1;
    h[28] = 24;
    std::ofstream out(huge, std::ios::binary);
    out.write(reinterpret_cast<const char*>(h.data()), static_cast<std::streamsize>(h.size()));
  }
  fs::resize_file(huge, 54 + 4200u * 15000u);  // sparse: the pixels take no room
  EXPECT_EQ(messageOf(reader, huge),
            "image file " + huge + " is too large (5000 x 4200 pixels; at most 20 million)");

  // Through the runtime: no reader installed, then the installed one.
  ScriptedUi ui;
  Runtime rt(ui);
  try {
    readImageFile(rt, garbage);
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "reading images is not available in this session");
  }
  installImageReader(rt);
  EXPECT_THROW(readImageFile(rt, garbage), Error);
}

}  // namespace
}  // namespace velmora::platform::qt

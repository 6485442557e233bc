#pragma once
// Reading image files (".jpg", ".jpeg", ".bmp", ".tif") into pixel arrays for the scanned-plan
// import. The decoder belongs to the front end; the program only sees this interface.

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/model/value.h"

namespace velmora::platform {

class Runtime;

// The largest image accepted, in pixels (a plan scanned at 300 dpi on A3 is about 17.4 million).
inline constexpr std::size_t kMaxImagePixels = 20'000'000;

class ImageReader {
 public:
  virtual ~ImageReader() = default;
  // The image as rows x columns x planes (1 for grey, 3 for colour), values in [0, 1], row 1 at the
  // top. Raises an Error with a clear message for a missing, unreadable or too large file.
  virtual Matrix read(const std::string& path) = 0;
};

// True for the extensions the import reads, compared ignoring case (".jpg", ".jpeg", ".bmp", ".tif").
bool isPlanImageExtension(std::string_view extension);

// Reads through the runtime's reader. Raises "reading images is not available in this session" when
// no front end installed one, and checks what the reader gives (planes, size, values).
Matrix readImageFile(Runtime& rt, const std::string& path);

// Messages shared by the readers.
std::string imageNotFoundMessage(const std::string& path);
std::string imageUnreadableMessage(const std::string& path, const std::string& reason);
std::string imageTooLargeMessage(const std::string& path, std::size_t width, std::size_t height);

}  // namespace velmora::platform

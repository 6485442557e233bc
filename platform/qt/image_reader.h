#pragma once

#include "platform/files/image_reader.h"
#include "platform/model/runtime.h"

namespace velmora::platform::qt {

// Decodes JPEG, BMP and TIFF files with Qt's image readers: grey images give one plane, all others
// three. The size is checked from the file header before any pixel is decoded.
class QtImageReader : public ImageReader {
 public:
  Matrix read(const std::string& path) override;
};

// Gives the runtime the process's one Qt image reader.
void installImageReader(Runtime& rt);

}  // namespace velmora::platform::qt

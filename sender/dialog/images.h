// The dialog's images (icons 103 and 108, bitmap 109), compiled into the program from res/.
#pragma once

#include <cstddef>

namespace dialog {

struct EmbeddedImage {
  int resource_id;
  const unsigned char* data;  // the file's bytes (.ico or .bmp)
  std::size_t size;
};

// The image with this resource id, or nullptr.
const EmbeddedImage* FindEmbeddedImage(int resource_id);

}  // namespace dialog

// PNG writing through libpng's simplified interface, at its usual compression.
#include "common/png_file.h"

#include <vector>

#include "platform/file_names.h"

#if QUARVEL_HAVE_LIBPNG
#include <png.h>
#endif

namespace quarvel::tools {

#if QUARVEL_HAVE_LIBPNG

bool pngSupported() {
  return true;
}

bool writePng(const std::filesystem::path& path, const std::uint32_t* pixels, std::uint32_t width,
              std::uint32_t height, std::uint32_t stride) {
  if (stride == 0) stride = width;
  // The fourth byte carries no colour: the file holds red, green and blue only.
  std::vector<std::uint8_t> rgb(std::size_t{width} * height * 3);
  for (std::size_t y = 0; y < height; ++y) {
    for (std::size_t x = 0; x < width; ++x) {
      const std::uint32_t pixel = pixels[y * stride + x];
      const std::size_t i = y * width + x;
      rgb[3 * i] = static_cast<std::uint8_t>(pixel >> 16);
      rgb[3 * i + 1] = static_cast<std::uint8_t>(pixel >> 8);
      rgb[3 * i + 2] = static_cast<std::uint8_t>(pixel);
    }
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  image.format = PNG_FORMAT_RGB;
  std::FILE* file = platform::openFile(path, "wb");
  if (file == nullptr) return false;
  bool ok = png_image_write_to_stdio(&image, file, 0, rgb.data(), 0, nullptr) != 0;
  png_image_free(&image);
  ok = std::fclose(file) == 0 && ok;
  if (!ok) std::filesystem::remove(path);
  return ok;
}

#else

bool pngSupported() {
  return false;
}

bool writePng(const std::filesystem::path&, const std::uint32_t*, std::uint32_t, std::uint32_t,
              std::uint32_t) {
  return false;
}

#endif

}  // namespace quarvel::tools

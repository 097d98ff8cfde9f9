// The bitmap's portable part: construction with a fill colour, and saving as PNG.
#include "KVL/UI/Bitmap.h"

#include <limits>

#include "KVL/Base/Streams.h"

namespace KVL::UI {

TKVLBitmap::TKVLBitmap(int width, int height, uint32_t fill) {
  if (width < 0 || height < 0) throw EKVLGraphics("Invalid bitmap size");
  // An empty bitmap has no pixels at all, whichever side is zero.
  if (width == 0 || height == 0) return;
  if (static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > std::numeric_limits<int32_t>::max() / 4)
    throw EKVLGraphics("Invalid bitmap size");
  width_ = width;
  height_ = height;
  pixels_.assign(static_cast<size_t>(width) * static_cast<size_t>(height), fill);
}

void SavePNG(const TKVLBitmap& bitmap, const std::string& fileName) {
  std::vector<uint8_t> bytes = EncodePNG(bitmap);
  Streams::TKVLFileStream file(fileName, Platform::TFileOpenMode::fomCreate);
  file.WriteBuffer(bytes.data(), bytes.size());
}

} // namespace KVL::UI

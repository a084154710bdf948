#include "editor_size.h"

#include <algorithm>
#include <cmath>

namespace qr47 {
namespace {

std::uint32_t physical(double logical, double scale) {
  return static_cast<std::uint32_t>(std::lround(logical * scale));
}

}  // namespace

void EditorSize::setScale(double scale) {
  scaleFactor = std::clamp(scale, kEditorMinScale, kEditorMaxScale);
}

std::uint32_t EditorSize::width() const {
  return physical(logicalWide, scaleFactor);
}

std::uint32_t EditorSize::height() const {
  return physical(logicalHigh, scaleFactor);
}

void EditorSize::adjust(std::uint32_t* width, std::uint32_t* height) const {
  *width = std::clamp(*width, physical(kEditorMinWidth, scaleFactor),
                      physical(kEditorMaxWidth, scaleFactor));
  *height = std::clamp(*height, physical(kEditorMinHeight, scaleFactor),
                       physical(kEditorMaxHeight, scaleFactor));
}

bool EditorSize::set(std::uint32_t width, std::uint32_t height) {
  std::uint32_t w = width, h = height;
  adjust(&w, &h);
  if (w != width || h != height) return false;
  follow(width, height);
  return true;
}

void EditorSize::follow(std::uint32_t width, std::uint32_t height) {
  logicalWide = width / scaleFactor;
  logicalHigh = height / scaleFactor;
}

}  // namespace qr47

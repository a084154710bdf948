// The editor's size as hosts count it, in physical pixels, kept as a logical size and a scale so
// that a new scale keeps the layout and only the pixels follow: what an adapter knows before
// there is a window, and what the window takes when it opens.
#pragma once

#include <cstdint>

namespace qr47 {

// The editor's logical size: the one it opens at, and the limits of resizing.
constexpr std::uint32_t kEditorWidth = 640;
constexpr std::uint32_t kEditorHeight = 400;
constexpr std::uint32_t kEditorMinWidth = 480;
constexpr std::uint32_t kEditorMinHeight = 300;
constexpr std::uint32_t kEditorMaxWidth = 1600;
constexpr std::uint32_t kEditorMaxHeight = 1000;
// The scales the editor draws at; others are taken at these ends.
constexpr double kEditorMinScale = 1.0;
constexpr double kEditorMaxScale = 4.0;

class EditorSize {
 public:
  void setScale(double scale);
  double scale() const { return scaleFactor; }
  double logicalWidth() const { return logicalWide; }
  double logicalHeight() const { return logicalHigh; }
  std::uint32_t width() const;
  std::uint32_t height() const;
  // The nearest size within the limits at the current scale.
  void adjust(std::uint32_t* width, std::uint32_t* height) const;
  // False, changing nothing, for a size outside the limits.
  bool set(std::uint32_t width, std::uint32_t height);
  // The size a host gave the window itself, whatever it is.
  void follow(std::uint32_t width, std::uint32_t height);

 private:
  double scaleFactor = kEditorMinScale;
  double logicalWide = kEditorWidth;
  double logicalHigh = kEditorHeight;
};

}  // namespace qr47

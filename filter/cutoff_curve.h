// The Cutoff parameter's curve: three segments in Hz over the parameter range, bounded by two
// thresholds. The lowest segment runs from 270 Hz up to 1170 Hz; the middle one starts afresh at
// 900 Hz and meets the top one at 5000 Hz.
#pragma once

namespace qr47 {

constexpr float kCutoffLowHz = 900.0f;
constexpr float kCutoffMidHz = 5000.0f;
constexpr float kCutoffHighHz = 20000.0f;
constexpr float kFirstThreshold = 0.33333f;
constexpr float kSecondThreshold = 0.66666f;
constexpr float kLowestSegmentOffset = 0.1f;

}  // namespace qr47

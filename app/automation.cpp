#include "automation.h"

#include <sstream>
#include <stdexcept>

namespace qr47 {

float Automation::valueAt(double seconds) const {
  if (seconds <= points.front().seconds) return points.front().value;
  for (std::size_t i = 1; i < points.size(); ++i) {
    const AutomationPoint& a = points[i - 1];
    const AutomationPoint& b = points[i];
    if (seconds < b.seconds) {
      const double t = (seconds - a.seconds) / (b.seconds - a.seconds);
      return static_cast<float>(a.value + t * (static_cast<double>(b.value) - a.value));
    }
  }
  return points.back().value;
}

Automation parseAutomation(const ParameterTable& table, const std::string& text) {
  const auto malformed = [&](const std::string& why) {
    return std::invalid_argument("malformed automation '" + text + "': " + why +
                                 " (expected PARAM=T0:V0,T1:V1,...)");
  };
  const auto equals = text.find('=');
  if (equals == std::string::npos) throw malformed("no '='");
  Automation automation{parameterIndex(table, text.substr(0, equals)), {}};
  std::istringstream list(text.substr(equals + 1));
  std::string point;
  while (std::getline(list, point, ',')) {
    const auto colon = point.find(':');
    if (colon == std::string::npos) throw malformed("point '" + point + "' has no ':'");
    const double seconds = parseNumber(point.substr(0, colon), "time in seconds");
    if (seconds < 0.0) throw malformed("negative time in '" + point + "'");
    if (!automation.points.empty() && seconds < automation.points.back().seconds) {
      throw malformed("times go backwards at '" + point + "'");
    }
    automation.points.push_back(
        {seconds, parameterValue(table, automation.index, point.substr(colon + 1))});
  }
  if (automation.points.empty()) throw malformed("no points");
  return automation;
}

}  // namespace qr47

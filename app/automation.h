// A parameter ramp given on the command line: PARAM=T0:V0,T1:V1,... with times in seconds.
#pragma once

#include <string>
#include <vector>

#include "parameter_names.h"

namespace qr47 {

struct AutomationPoint {
  double seconds;
  float value;
};

struct Automation {
  int index;
  std::vector<AutomationPoint> points;  // times never decrease

  // The first value before the first point, the last after the last, straight lines between.
  float valueAt(double seconds) const;
};

// Throws std::invalid_argument naming what was malformed.
Automation parseAutomation(const ParameterTable& table, const std::string& text);

}  // namespace qr47

#include "report/number_format.h"

#include <cstdio>

namespace kelvora::report {

std::string FormatNumber(const char* format, double v) {
  char buf[48];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

std::string PercentText(double rate) { return FormatNumber("%.2f%%", rate * 100); }

std::string ProbabilityText(double p) { return FormatNumber("%.2g", p); }

}  // namespace kelvora::report

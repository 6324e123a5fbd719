// How the engine's figures read to a person, the same in the tool and the
// report: rates as percentages with two decimals, probabilities with two
// significant digits.
#pragma once

#include <string>

namespace kelvora::report {

// `v` through the printf conversion `format` (one double).
std::string FormatNumber(const char* format, double v);
// 0.3838 -> "38.38%".
std::string PercentText(double rate);
// 0.000072 -> "7.2e-05", 0.76 -> "0.76".
std::string ProbabilityText(double p);

}  // namespace kelvora::report

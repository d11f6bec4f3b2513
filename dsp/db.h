#pragma once
#include <cmath>

namespace dsp {

inline double dbToAmplitude(double db) { return std::pow(10.0, db / 20.0); }
inline double dbToPower(double db) { return std::pow(10.0, db / 10.0); }
inline double amplitudeToDb(double a) { return 20.0 * std::log10(a); }
inline double powerToDb(double p) { return 10.0 * std::log10(p); }

}  // namespace dsp

// Small helpers shared by the benchmarks: a monotonic stopwatch in microseconds
// and the order statistics the figures are given in.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

inline double NowUs() {
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The value at fraction q (0..1) of the sorted samples, nearest rank.
inline double Quantile(std::vector<double> samples, double q) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  size_t index = static_cast<size_t>(q * static_cast<double>(samples.size() - 1) + 0.5);
  return samples[std::min(index, samples.size() - 1)];
}

inline double Median(const std::vector<double>& samples) { return Quantile(samples, 0.5); }

// One line: name, count, median, p10, p90, min, max, in the unit given.
inline void PrintSummary(const std::string& name, const std::vector<double>& samples, double scale,
                         const char* unit) {
  std::printf("%-28s n=%-5zu median %9.3f %s   p10 %9.3f   p90 %9.3f   min %9.3f   max %9.3f\n", name.c_str(),
              samples.size(), Median(samples) * scale, unit, Quantile(samples, 0.1) * scale,
              Quantile(samples, 0.9) * scale, Quantile(samples, 0.0) * scale, Quantile(samples, 1.0) * scale);
}

}  // namespace bench

// Small helpers the benchmark programs share for their figures.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <vector>

namespace bench {

// Milliseconds of a steady-clock duration.
inline double Ms(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The p-quantile (0 < p <= 1) by nearest rank; 0 for no values.
inline double Percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t rank = static_cast<size_t>(std::max(1.0, p * static_cast<double>(v.size()) + 0.5));
    return v[std::min(rank, v.size()) - 1];
}

}  // namespace bench

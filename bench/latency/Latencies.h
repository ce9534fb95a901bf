// Latency samples of one measurement and their order statistics.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace latency {

// One frame at the host: when its last byte arrived and how long after its stamp, in
// nanoseconds of the monotonic clock.
struct Sample {
    std::int64_t arrival = 0;
    std::int64_t latency = 0;
};

class Latencies {
  public:
    void Add(std::int64_t nanoseconds) { values_.push_back(nanoseconds / 1e6); }
    void Append(const Latencies& other) {
        values_.insert(values_.end(), other.values_.begin(), other.values_.end());
    }
    std::size_t Count() const { return values_.size(); }
    // Every sum of a sample of `a` and a sample of `b`: the latency of two steps taken one after
    // the other, each as long as it was measured alone.
    static Latencies Sums(const Latencies& a, const Latencies& b) {
        Latencies sums;
        sums.values_.reserve(a.values_.size() * b.values_.size());
        for (double x : a.values_) {
            for (double y : b.values_)
                sums.values_.push_back(x + y);
        }
        return sums;
    }
    // The value below which `fraction` of the samples lie, in milliseconds (nearest rank).
    double Percentile(double fraction) const {
        if (values_.empty())
            return 0;
        std::vector<double> sorted = values_;
        std::sort(sorted.begin(), sorted.end());
        std::size_t rank = static_cast<std::size_t>(fraction * sorted.size() + 0.999999);
        return sorted[std::min(sorted.size(), std::max<std::size_t>(rank, 1)) - 1];
    }
    double P50() const { return Percentile(0.50); }
    double P99() const { return Percentile(0.99); }
    double Max() const { return Percentile(1.0); }

  private:
    std::vector<double> values_;  // milliseconds
};

}  // namespace latency

// A bounded record of a stream of timed values as an envelope: each point covers a run of values
// (its first time, lowest and highest value, and how many). The points cover one value each until
// the series is full, then neighbouring points are merged pairwise and each new point takes twice
// as many values, so the series spans the whole stream and no outlier is thinned away.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

struct EnvelopePoint {
    double time = 0.0;  // of the first value covered
    double low = 0.0;
    double high = 0.0;
    uint64_t count = 0;  // values covered
};

class EnvelopeSeries {
  public:
    explicit EnvelopeSeries(std::size_t capacity) : capacity_(capacity < 2 ? 2 : capacity) {}

    void add(double time, double value) {
        if (points_.empty() || points_.back().count >= per_point_) {
            if (points_.size() == capacity_)
                merge_pairs();
            if (points_.empty() || points_.back().count >= per_point_)
                points_.push_back({time, value, value, 0});
        }
        EnvelopePoint& p = points_.back();
        p.low = std::min(p.low, value);
        p.high = std::max(p.high, value);
        ++p.count;
    }

    const std::vector<EnvelopePoint>& points() const { return points_; }

  private:
    void merge_pairs() {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < points_.size(); i += 2) {
            EnvelopePoint p = points_[i];
            if (i + 1 < points_.size()) {
                p.low = std::min(p.low, points_[i + 1].low);
                p.high = std::max(p.high, points_[i + 1].high);
                p.count += points_[i + 1].count;
            }
            points_[kept++] = p;
        }
        points_.resize(kept);
        per_point_ *= 2;
    }

    std::size_t capacity_;
    std::vector<EnvelopePoint> points_;
    uint64_t per_point_ = 1;
};

// A bounded, evenly thinned record of a stream of values: every value is kept until the series is
// full, then every other one is dropped and from then on only every second value is taken (then
// every fourth, ...), so the series always spans the whole stream at the coarsest needed step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

template <class T>
class DecimatedSeries {
  public:
    explicit DecimatedSeries(std::size_t capacity) : capacity_(capacity < 2 ? 2 : capacity) {}

    void add(const T& value) {
        offer([&] { return value; });
    }

    // As add(), with the value made by `make()` only when the series keeps it: a value costly to
    // gather (a tally over a whole epoch) is gathered only for the values kept.
    template <class Make>
    void offer(Make make) {
        if (offered_++ % stride_ != 0)
            return;
        values_.push_back(make());
        if (values_.size() < capacity_)
            return;
        std::size_t kept = 0;
        for (std::size_t i = 0; i < values_.size(); i += 2)
            values_[kept++] = values_[i];
        values_.resize(kept);
        stride_ *= 2;
    }

    const std::vector<T>& values() const { return values_; }
    // Values offered, kept or not.
    uint64_t offered() const { return offered_; }

  private:
    std::size_t capacity_;
    std::vector<T> values_;
    uint64_t stride_ = 1;
    uint64_t offered_ = 0;
};

// The growable sequence the store keeps its records in. Writers use only size(), empty(),
// operator[], front(), back() and range-for, so the container can change without touching them.
#pragma once

#include <vector>

template <class T>
using Sequence = std::vector<T>;

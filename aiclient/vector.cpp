#include "aiclient/vector.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace tessra::aiclient {
namespace {

// Summed from the first position upwards, so results are the same on every machine.
double dot(const std::vector<double>& a, const std::vector<double>& b) {
  const std::size_t length = std::min(a.size(), b.size());
  double sum = 0.0;
  for (std::size_t i = 0; i < length; ++i) sum += a[i] * b[i];
  return sum;
}

}  // namespace

double Vector::cosineSimilarity(const std::vector<double>& a, const std::vector<double>& b) {
  // The two magnitudes are multiplied first: [1, 1] against [-1, -1] then gives
  // -0.9999999999999998, the value other implementations of this formula agree on.
  const double magnitudes = std::sqrt(dot(a, a)) * std::sqrt(dot(b, b));
  return dot(a, b) / magnitudes;
}

double Vector::cosineDifference(const std::vector<double>& a, const std::vector<double>& b) {
  return 1.0 - cosineSimilarity(a, b);
}

}  // namespace tessra::aiclient

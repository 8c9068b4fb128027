// Similarity of embedding vectors (lists of doubles), as the embeddings endpoint returns them.
//
// Only the positions both vectors have take part; a vector of zeros or an empty one has no
// direction, and the result is then NaN rather than an error.
#pragma once

#include <vector>

namespace tessra::aiclient {

struct Vector {
  Vector() = delete;

  // dot(a, b) / (|a| × |b|): 1 for the same direction, 0 for orthogonal, -1 for opposite.
  static double cosineSimilarity(const std::vector<double>& a, const std::vector<double>& b);
  // 1 − cosineSimilarity(a, b).
  static double cosineDifference(const std::vector<double>& a, const std::vector<double>& b);
};

}  // namespace tessra::aiclient

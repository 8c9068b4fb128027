#include "constraints/constraint_relation.h"

namespace tessra::constraints {

std::optional<ConstraintRelation> constraintRelation(int rawValue) {
  switch (rawValue) {
    case -1:
      return ConstraintRelation::equalOrLess;
    case 0:
      return ConstraintRelation::equal;
    case 1:
      return ConstraintRelation::equalOrGreater;
    default:
      return std::nullopt;
  }
}

platform::LayoutRelation layoutRelation(ConstraintRelation relation) {
  switch (relation) {
    case ConstraintRelation::equalOrLess:
      return platform::LayoutRelation::lessThanOrEqual;
    case ConstraintRelation::equalOrGreater:
      return platform::LayoutRelation::greaterThanOrEqual;
    case ConstraintRelation::equal:
      break;
  }
  return platform::LayoutRelation::equal;
}

}  // namespace tessra::constraints

// The relation of a constraint made by the compact constraint interface.
//
// The raw values are the conventional relation codes: less-or-equal -1, equal 0,
// greater-or-equal 1. Equality and hashing follow the raw value.
#pragma once

#include <optional>

#include "platform/layout/layout_anchor.h"

namespace tessra::constraints {

enum class ConstraintRelation : int { equal = 0, equalOrLess = -1, equalOrGreater = 1 };

// The relation of a raw value; no relation for anything but -1, 0 and 1.
std::optional<ConstraintRelation> constraintRelation(int rawValue);

constexpr int rawValue(ConstraintRelation relation) { return static_cast<int>(relation); }

platform::LayoutRelation layoutRelation(ConstraintRelation relation);

}  // namespace tessra::constraints

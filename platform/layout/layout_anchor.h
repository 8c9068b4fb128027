// Items, attributes and anchors of constraint-based layout for Qt widgets.
//
// A layout item is a widget or a `LayoutGuide`. Its anchors name one edge, centre or dimension
// and make constraints against other anchors of the same kind: a horizontal-axis anchor only with
// horizontal-axis anchors, a vertical-axis one with vertical ones, a dimension with a dimension
// (times a multiplier) or with a constant. Coordinates are those of the items' common container,
// y growing downwards; leading and trailing follow the container's layout direction.
//
// Every creating call returns a new, inactive constraint; activating it hands it to the layout of
// the items' container (see `LayoutConstraint`). GUI thread only.
#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>

namespace tessra::platform {

class LayoutGuide;
class LayoutConstraint;
using LayoutConstraintPtr = std::shared_ptr<LayoutConstraint>;

// The attribute codes are the conventional ones (centre X is 9, centre Y is 10).
enum class LayoutAttribute {
  notAnAttribute = 0,
  left = 1,
  right = 2,
  top = 3,
  bottom = 4,
  leading = 5,
  trailing = 6,
  width = 7,
  height = 8,
  centerX = 9,
  centerY = 10,
};

enum class LayoutRelation { lessThanOrEqual = -1, equal = 0, greaterThanOrEqual = 1 };

// Priorities run from 1 to 1000; 1000 is required, the others are preferences.
using LayoutPriority = float;
inline constexpr LayoutPriority kLayoutPriorityRequired = 1000;
inline constexpr LayoutPriority kLayoutPriorityDefaultHigh = 750;
inline constexpr LayoutPriority kLayoutPriorityDefaultLow = 250;

enum class LayoutAxisKind { horizontal, vertical, dimension, none };
LayoutAxisKind axisKind(LayoutAttribute attribute);

// A widget or a layout guide, held weakly: an item that is destroyed reads as null.
class LayoutItem {
 public:
  LayoutItem() = default;
  LayoutItem(QWidget* view);       // NOLINT(google-explicit-constructor)
  LayoutItem(LayoutGuide* guide);  // NOLINT(google-explicit-constructor)

  QObject* object() const { return m_object.data(); }
  QWidget* view() const;
  LayoutGuide* guide() const;
  bool isNull() const { return m_object.isNull(); }
  explicit operator bool() const { return !isNull(); }
  bool operator==(const LayoutItem& other) const { return object() == other.object(); }

 private:
  QPointer<QObject> m_object;
  bool m_isGuide = false;
};

// What all anchors share: the item and the attribute.
class LayoutAnchor {
 public:
  LayoutAnchor(LayoutItem item, LayoutAttribute attribute)
      : m_item(std::move(item)), m_attribute(attribute) {}
  const LayoutItem& item() const { return m_item; }
  LayoutAttribute attribute() const { return m_attribute; }

 protected:
  LayoutConstraintPtr relate(const LayoutAnchor& other, LayoutRelation relation, double multiplier,
                             double constant) const;

 private:
  LayoutItem m_item;
  LayoutAttribute m_attribute;
};

// Left, right, leading, trailing, centre X. Each anchor type relates only to its own kind.
template <LayoutAxisKind Kind>
class LayoutPositionAnchor : public LayoutAnchor {
 public:
  using LayoutAnchor::LayoutAnchor;

  LayoutConstraintPtr constraintEqualTo(const LayoutPositionAnchor& other,
                                        double constant = 0) const {
    return relate(other, LayoutRelation::equal, 1.0, constant);
  }
  LayoutConstraintPtr constraintLessThanOrEqualTo(const LayoutPositionAnchor& other,
                                                  double constant = 0) const {
    return relate(other, LayoutRelation::lessThanOrEqual, 1.0, constant);
  }
  LayoutConstraintPtr constraintGreaterThanOrEqualTo(const LayoutPositionAnchor& other,
                                                     double constant = 0) const {
    return relate(other, LayoutRelation::greaterThanOrEqual, 1.0, constant);
  }
};

using LayoutXAxisAnchor = LayoutPositionAnchor<LayoutAxisKind::horizontal>;
using LayoutYAxisAnchor = LayoutPositionAnchor<LayoutAxisKind::vertical>;

// Width and height: to another dimension times a multiplier plus a constant, or to a constant.
class LayoutDimension : public LayoutAnchor {
 public:
  using LayoutAnchor::LayoutAnchor;

  LayoutConstraintPtr constraintEqualTo(const LayoutDimension& other, double multiplier = 1,
                                        double constant = 0) const {
    return relate(other, LayoutRelation::equal, multiplier, constant);
  }
  LayoutConstraintPtr constraintLessThanOrEqualTo(const LayoutDimension& other,
                                                  double multiplier = 1,
                                                  double constant = 0) const {
    return relate(other, LayoutRelation::lessThanOrEqual, multiplier, constant);
  }
  LayoutConstraintPtr constraintGreaterThanOrEqualTo(const LayoutDimension& other,
                                                     double multiplier = 1,
                                                     double constant = 0) const {
    return relate(other, LayoutRelation::greaterThanOrEqual, multiplier, constant);
  }
  LayoutConstraintPtr constraintEqualToConstant(double constant) const;
  LayoutConstraintPtr constraintLessThanOrEqualToConstant(double constant) const;
  LayoutConstraintPtr constraintGreaterThanOrEqualToConstant(double constant) const;
};

// The ten anchors of an item.
LayoutYAxisAnchor topAnchor(const LayoutItem& item);
LayoutYAxisAnchor bottomAnchor(const LayoutItem& item);
LayoutXAxisAnchor leftAnchor(const LayoutItem& item);
LayoutXAxisAnchor rightAnchor(const LayoutItem& item);
LayoutXAxisAnchor leadingAnchor(const LayoutItem& item);
LayoutXAxisAnchor trailingAnchor(const LayoutItem& item);
LayoutXAxisAnchor centerXAnchor(const LayoutItem& item);
LayoutYAxisAnchor centerYAnchor(const LayoutItem& item);
LayoutDimension widthAnchor(const LayoutItem& item);
LayoutDimension heightAnchor(const LayoutItem& item);

}  // namespace tessra::platform

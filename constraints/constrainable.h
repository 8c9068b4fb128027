// The compact constraint interface: one short call per layout rule.
//
//   ConstrainableView(panel).edgesToSuperview();
//   Constrainable(prompt).height(fontSize + 4);
//   Constrainable(badge).top(title, {.offset = 8, .priority = 250});
//
// Every creating call does the same steps: it prepares the receiver for constraint-based layout
// (a widget stops keeping its own frame; a layout guide is unchanged), makes one constraint with
// the requested relation, sets its priority, activates it unless told not to and returns it.
// Calls that make several constraints return them as `Constraints` in a fixed order. The options
// structs carry the defaults: offset 0, multiplier 1, relation equal, priority 1000, active.
// Offsets are used as given on every edge: `bottom(to, {.offset = 8})` puts the bottom 8 points
// below the other bottom. Only the edge operations negate the bottom and right insets.
//
// A superview operation on a widget without a parent is a caller's error: it is logged, and the
// operation returns an inactive constraint (or no constraints) instead of stopping the program.
//
// The interface keeps no state. GUI thread only, like the widgets.
#pragma once

#include <QPointF>
#include <QSizeF>
#include <QWidget>

#include <optional>
#include <span>
#include <vector>

#include "constraints/constraint_relation.h"
#include "constraints/edge_insets.h"
#include "constraints/layout_edge.h"
#include "platform/layout/layout_constraint.h"
#include "platform/layout/layout_guide.h"

namespace tessra::constraints {

using platform::LayoutConstraintPtr;
using platform::LayoutDimension;
using platform::LayoutPriority;
using platform::LayoutXAxisAnchor;
using platform::LayoutYAxisAnchor;

inline constexpr LayoutPriority kRequiredPriority = platform::kLayoutPriorityRequired;

// An ordered list of constraints, in the order in which they were made.
class Constraints : public std::vector<LayoutConstraintPtr> {
 public:
  using std::vector<LayoutConstraintPtr>::vector;
  // Hands the whole list to the batch activation (or deactivation); priorities are untouched.
  void activate() const;
  void deactivate() const;
};

// Sets the priority and returns the same constraint, so that creation chains.
LayoutConstraintPtr with(LayoutConstraintPtr constraint, LayoutPriority priority);
// Sets the active flag and returns the same constraint.
LayoutConstraintPtr set(LayoutConstraintPtr constraint, bool active);

// The options of a single edge against another item, with an optional explicit anchor.
template <class Anchor>
struct EdgeOptions {
  std::optional<Anchor> anchor = std::nullopt;
  double offset = 0;
  ConstraintRelation relation = ConstraintRelation::equal;
  LayoutPriority priority = kRequiredPriority;
  bool isActive = true;
};
using XEdgeOptions = EdgeOptions<LayoutXAxisAnchor>;
using YEdgeOptions = EdgeOptions<LayoutYAxisAnchor>;

// The options of the cross-edge operations, whose anchor is fixed.
struct CrossEdgeOptions {
  double offset = 0;
  ConstraintRelation relation = ConstraintRelation::equal;
  LayoutPriority priority = kRequiredPriority;
  bool isActive = true;
};

struct DimensionOptions {
  std::optional<LayoutDimension> anchor = std::nullopt;
  double multiplier = 1;
  double offset = 0;
  ConstraintRelation relation = ConstraintRelation::equal;
  LayoutPriority priority = kRequiredPriority;
  bool isActive = true;
};

struct CrossDimensionOptions {
  double multiplier = 1;
  double offset = 0;
  ConstraintRelation relation = ConstraintRelation::equal;
  LayoutPriority priority = kRequiredPriority;
  bool isActive = true;
};

// Centres are always equal.
template <class Anchor>
struct CenterOptions {
  std::optional<Anchor> anchor = std::nullopt;
  double multiplier = 1;
  double offset = 0;
  LayoutPriority priority = kRequiredPriority;
  bool isActive = true;
};
using CenterXOptions = CenterOptions<LayoutXAxisAnchor>;
using CenterYOptions = CenterOptions<LayoutYAxisAnchor>;

struct ConstantOptions {
  ConstraintRelation relation = ConstraintRelation::equal;
  LayoutPriority priority = kRequiredPriority;
  bool isActive = true;
};

struct Bounds {
  std::optional<double> min = std::nullopt;
  std::optional<double> max = std::nullopt;
  LayoutPriority priority = kRequiredPriority;
  bool isActive = true;
};

struct SizeToOptions {
  double multiplier = 1;
  QSizeF insets = QSizeF(0, 0);
  ConstraintRelation relation = ConstraintRelation::equal;
  LayoutPriority priority = kRequiredPriority;
  bool isActive = true;
};

struct OriginOptions {
  EdgeInsets insets = EdgeInsets::zero;
  ConstraintRelation relation = ConstraintRelation::equal;
  LayoutPriority priority = kRequiredPriority;
  bool isActive = true;
};

struct CenterInOptions {
  QPointF offset = QPointF(0, 0);
  LayoutPriority priority = kRequiredPriority;
  bool isActive = true;
};

struct EdgesOptions {
  LayoutEdge excluding = LayoutEdge::none;
  EdgeInsets insets = EdgeInsets::zero;
  ConstraintRelation relation = ConstraintRelation::equal;
  LayoutPriority priority = kRequiredPriority;
  bool isActive = true;
};

// An item that takes constraints: a widget or a layout guide.
class Constrainable {
 public:
  Constrainable(QWidget* view);                 // NOLINT(google-explicit-constructor)
  Constrainable(platform::LayoutGuide* guide);  // NOLINT(google-explicit-constructor)

  const platform::LayoutItem& item() const { return m_item; }

  LayoutYAxisAnchor topAnchor() const;
  LayoutYAxisAnchor bottomAnchor() const;
  LayoutXAxisAnchor leftAnchor() const;
  LayoutXAxisAnchor rightAnchor() const;
  LayoutXAxisAnchor leadingAnchor() const;
  LayoutXAxisAnchor trailingAnchor() const;
  LayoutXAxisAnchor centerXAnchor() const;
  LayoutYAxisAnchor centerYAnchor() const;
  LayoutDimension widthAnchor() const;
  LayoutDimension heightAnchor() const;

  // A widget stops keeping its own frame; a guide is unchanged. Idempotent.
  const Constrainable& prepareForLayout() const;

  // One edge to the same edge of another item (or to the explicit anchor).
  LayoutConstraintPtr top(const Constrainable& to, const YEdgeOptions& options = {}) const;
  LayoutConstraintPtr bottom(const Constrainable& to, const YEdgeOptions& options = {}) const;
  LayoutConstraintPtr left(const Constrainable& to, const XEdgeOptions& options = {}) const;
  LayoutConstraintPtr right(const Constrainable& to, const XEdgeOptions& options = {}) const;
  LayoutConstraintPtr leading(const Constrainable& to, const XEdgeOptions& options = {}) const;
  LayoutConstraintPtr trailing(const Constrainable& to, const XEdgeOptions& options = {}) const;

  // A dimension to another item's same dimension (or the explicit anchor), times the multiplier
  // plus the offset.
  LayoutConstraintPtr width(const Constrainable& to, const DimensionOptions& options = {}) const;
  LayoutConstraintPtr height(const Constrainable& to, const DimensionOptions& options = {}) const;

  // With an explicit anchor: centre = anchor + offset (the multiplier is not used). Without one:
  // centre = other centre x multiplier + offset.
  LayoutConstraintPtr centerX(const Constrainable& to, const CenterXOptions& options = {}) const;
  LayoutConstraintPtr centerY(const Constrainable& to, const CenterYOptions& options = {}) const;

  LayoutConstraintPtr leftToRight(const Constrainable& of,
                                  const CrossEdgeOptions& options = {}) const;
  LayoutConstraintPtr rightToLeft(const Constrainable& of,
                                  const CrossEdgeOptions& options = {}) const;
  LayoutConstraintPtr topToBottom(const Constrainable& of,
                                  const CrossEdgeOptions& options = {}) const;
  LayoutConstraintPtr bottomToTop(const Constrainable& of,
                                  const CrossEdgeOptions& options = {}) const;
  LayoutConstraintPtr leadingToTrailing(const Constrainable& of,
                                        const CrossEdgeOptions& options = {}) const;
  LayoutConstraintPtr trailingToLeading(const Constrainable& of,
                                        const CrossEdgeOptions& options = {}) const;
  LayoutConstraintPtr widthToHeight(const Constrainable& of,
                                    const CrossDimensionOptions& options = {}) const;
  LayoutConstraintPtr heightToWidth(const Constrainable& of,
                                    const CrossDimensionOptions& options = {}) const;
  // Width related to the receiver's own height times the ratio.
  LayoutConstraintPtr aspectRatio(double ratio, const ConstantOptions& options = {}) const;

  // A dimension related to a constant.
  LayoutConstraintPtr width(double constant, const ConstantOptions& options = {}) const;
  LayoutConstraintPtr height(double constant, const ConstantOptions& options = {}) const;

  // Minimum first, then maximum; zero, one or two constraints.
  Constraints width(const Bounds& bounds) const;
  Constraints height(const Bounds& bounds) const;

  // Width then height.
  Constraints size(QSizeF size, const ConstantOptions& options = {}) const;
  Constraints size(const Constrainable& to, const SizeToOptions& options = {}) const;
  // Left then top; the bottom and right insets are not used.
  Constraints origin(const Constrainable& to, const OriginOptions& options = {}) const;
  // Centre X then centre Y, both in the item-and-attribute form.
  Constraints center(const Constrainable& in, const CenterInOptions& options = {}) const;
  // Top, left, bottom, right, less the excluded ones; bottom and right insets negated.
  Constraints edges(const Constrainable& to, const EdgesOptions& options = {}) const;

 private:
  platform::LayoutItem m_item;
};

struct StackOptions {
  Qt::Orientation axis = Qt::Vertical;
  std::optional<double> width = std::nullopt;
  std::optional<double> height = std::nullopt;
  double spacing = 0;
};

// A widget: everything a constrainable item offers, plus the operations to its parent widget
// (its superview), the stack and the content priorities.
class ConstrainableView : public Constrainable {
 public:
  ConstrainableView(QWidget* view);  // NOLINT(google-explicit-constructor)

  QWidget* view() const { return m_view; }

  LayoutConstraintPtr topToSuperview(const YEdgeOptions& options = {}) const;
  LayoutConstraintPtr bottomToSuperview(const YEdgeOptions& options = {}) const;
  LayoutConstraintPtr leftToSuperview(const XEdgeOptions& options = {}) const;
  LayoutConstraintPtr rightToSuperview(const XEdgeOptions& options = {}) const;
  LayoutConstraintPtr widthToSuperview(const DimensionOptions& options = {}) const;
  LayoutConstraintPtr heightToSuperview(const DimensionOptions& options = {}) const;
  LayoutConstraintPtr centerXToSuperview(const CenterXOptions& options = {}) const;
  LayoutConstraintPtr centerYToSuperview(const CenterYOptions& options = {}) const;
  Constraints centerInSuperview(const CenterInOptions& options = {}) const;
  Constraints originToSuperview(const OriginOptions& options = {}) const;
  // Top, left, right, bottom (those not excluded), equal, required and active. Left and right are
  // left out when either their own bit or the leading or trailing bit is excluded.
  Constraints edgesToSuperview(LayoutEdge excluding = LayoutEdge::none,
                               EdgeInsets insets = EdgeInsets::zero) const;

  // Adds the views to this widget one after another along the axis, each stretched across the
  // other axis, the first and last pinned to this widget's ends, `spacing` between neighbours.
  // Returns every constraint made, in creation order, all equal, required and active.
  Constraints stack(std::span<QWidget* const> views, const StackOptions& options = {}) const;

  void setHugging(LayoutPriority priority, Qt::Orientation orientation) const;
  void setCompressionResistance(LayoutPriority priority, Qt::Orientation orientation) const;

 private:
  // The parent widget, or null after logging the caller's error.
  QWidget* superview() const;
  LayoutConstraintPtr missingSuperview(platform::LayoutAttribute attribute, double offset,
                                       double multiplier, ConstraintRelation relation,
                                       LayoutPriority priority) const;

  QWidget* m_view;
};

}  // namespace tessra::constraints

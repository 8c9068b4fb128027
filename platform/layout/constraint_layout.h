// The layout of a container widget that solves the active constraints of its children.
//
// Activating a constraint creates this layout on the items' container when the container has no
// layout yet. Each pass (on a resize, on a changed constraint, on a child's new size hint)
// brings the solver up to date with what changed: the container's size, the constraints added,
// removed or changed, the children's intrinsic sizes and the frames of children that keep their
// own frame. It then sets the frame of every child that takes part and whose autoresizing-mask
// translation is off, and of every layout guide of the container. A quantity that no constraint
// decides keeps its present value (the item's own position or size).
//
// The container's size hint is its fitting size: on each axis where the constraints and the
// children's intrinsic sizes decide the container's size, that size; elsewhere none. A changed
// constant (an animation's frame) lays out the container alone; the layouts around it are asked
// to look again only when it changes the fitting size.
//
// GUI thread only: the layout lives with its container.
#pragma once

#include <QLayout>
#include <QRectF>

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "platform/layout/layout_constraint.h"

namespace tessra::platform {

class ConstraintLayout : public QLayout {
  Q_OBJECT

 public:
  explicit ConstraintLayout(QWidget* container);
  ~ConstraintLayout() override;

  // The constraint layout of the container, made when it has no layout; null when the container
  // is run by a layout of another kind.
  static ConstraintLayout* forContainer(QWidget* container);

  // The active constraints held here, in the order of their activation.
  std::vector<LayoutConstraintPtr> constraints() const;
  // The solved frame of a child or guide in the container's coordinates after the last pass.
  std::optional<QRectF> solvedFrame(const QObject* item) const;
  // Runs a pending pass now.
  void layoutIfNeeded();

  void addItem(QLayoutItem* item) override;
  QLayoutItem* itemAt(int index) const override;
  QLayoutItem* takeAt(int index) override;
  int count() const override;
  QSize sizeHint() const override;
  QSize minimumSize() const override;
  Qt::Orientations expandingDirections() const override { return {}; }
  void setGeometry(const QRect& rect) override;
  void invalidate() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class LayoutConstraint;
  struct System;

  void install(const LayoutConstraintPtr& constraint);
  void constantChanged();
  void uninstall(const LayoutConstraint* constraint);
  static void setConflict(LayoutConstraint& constraint, bool conflict);
  bool itemsStillHere(const LayoutConstraint& constraint) const;
  // Whether a child leaving the container can take constraints with it.
  bool mayHoldConstraints(const QObject* child) const;
  std::vector<LayoutConstraintPtr> liveConstraints() const;
  void dropConstraintsOfGoneItems();
  void solve(QSize size);
  void apply();

  QWidget* m_container;
  std::vector<LayoutConstraintPtr> m_constraints;
  std::vector<QLayoutItem*> m_items;
  std::unique_ptr<System> m_system;
  // The systems of the fitting size, pulled in and pushed out.
  mutable std::unique_ptr<System> m_hugSystem;
  mutable std::unique_ptr<System> m_expandSystem;
  std::map<const QObject*, QRectF> m_frames;
  bool m_dirty = true;
  // A pass of the container alone is on its way through the event loop.
  bool m_passPosted = false;
  mutable std::optional<QSize> m_fittingSize;
};

}  // namespace tessra::platform

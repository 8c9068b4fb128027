// An incremental simplex solver for linear equalities and inequalities with strengths.
//
// The layout engine turns every active layout constraint into one linear relation over the frame
// variables of the items (left, top, width, height) and keeps them in this solver. Required
// relations must hold exactly; the others are met as far as the required ones allow, in strict
// order of strength: a stronger relation is met as far as it can be before any number of weaker
// ones count, and among relations of one strength the sum of their errors is made smallest.
// Relations can be added and removed one at a time, and edit variables take a suggested value that
// is met unless a stronger relation says otherwise; both keep the tableau and only pivot as far as
// the change needs.
//
// A required relation that cannot hold together with the ones already in the solver is refused:
// `addConstraint` returns no identifier and leaves the solver exactly as it was.
//
// Not thread-safe: one solver belongs to one layout, on the GUI thread.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace tessra::platform {

class SimplexSolver {
 public:
  using Variable = int;
  using ConstraintId = int;

  struct Term {
    Variable variable;
    double coefficient;
    bool operator==(const Term&) const = default;
  };

  // Sum of the terms plus the constant.
  struct Expression {
    std::vector<Term> terms;
    double constant = 0;
    bool operator==(const Expression&) const = default;
  };

  // The relation of an expression to zero.
  enum class Relation { lessOrEqual, equal, greaterOrEqual };

  // Strengths at or above this one are required.
  static constexpr double kRequired = 1.0e9;

  SimplexSolver();
  ~SimplexSolver();
  SimplexSolver(const SimplexSolver&) = delete;
  SimplexSolver& operator=(const SimplexSolver&) = delete;

  Variable addVariable();
  // The value from the last change; 0 for a variable nothing has decided yet.
  double value(Variable variable) const;

  // Adds `expression relation 0` with the strength. Returns no identifier for a required relation
  // that cannot be satisfied; the solver is then unchanged.
  std::optional<ConstraintId> addConstraint(const Expression& expression, Relation relation,
                                            double strength);
  void removeConstraint(ConstraintId id);
  bool hasConstraint(ConstraintId id) const;

  // An edit variable prefers its suggested value with the given (non-required) strength.
  void addEditVariable(Variable variable, double strength);
  void removeEditVariable(Variable variable);
  bool hasEditVariable(Variable variable) const;
  void suggestValue(Variable variable, double value);

 private:
  struct Tableau;
  struct Definition {
    Expression expression;
    Relation relation;
    double strength;
  };
  struct Edit {
    ConstraintId constraint;
    double value;
  };

  bool insert(ConstraintId id, const Definition& definition);
  void rebuildWithout(ConstraintId refused);

  std::unique_ptr<Tableau> m_tableau;
  Variable m_nextVariable = 0;
  ConstraintId m_nextConstraint = 0;
  // Every accepted relation and edit, kept so that a refused one can be undone by replaying them.
  std::map<ConstraintId, Definition> m_definitions;
  std::map<Variable, Edit> m_edits;
};

}  // namespace tessra::platform

// The accessibility errors by name, for log lines: "AXError.CannotComplete".
//
// Nothing logs one yet: X11 has no accessibility permission to refuse, so no call the program
// makes returns these codes. The names stay for a desktop service that reports them.
#pragma once

#include <string>

namespace tessra {

enum class AXError : int {
  success = 0,
  failure = -25200,
  illegalArgument = -25201,
  invalidUIElement = -25202,
  invalidUIElementObserver = -25203,
  cannotComplete = -25204,
  attributeUnsupported = -25205,
  actionUnsupported = -25206,
  notificationUnsupported = -25207,
  notImplemented = -25208,
  notificationAlreadyRegistered = -25209,
  notificationNotRegistered = -25210,
  apiDisabled = -25211,
  noValue = -25212,
  parameterizedAttributeUnsupported = -25213,
  notEnoughPrecision = -25214,
};

// "AXError." followed by the error's name; "AXError.Unknown" for a code outside the table.
std::string description(AXError error);

}  // namespace tessra

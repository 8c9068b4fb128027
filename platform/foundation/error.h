// The common base of every error the program throws or hands across threads.
//
// `what()` is the description a user may see; `debugDescription()` adds the underlying cause
// for logs. Errors that cross threads travel as `ErrorPtr` (a `std::exception_ptr`) so that
// the receiver can still catch them by their own type.
#pragma once

#include <exception>
#include <expected>
#include <stdexcept>
#include <string>

namespace tessra {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& description, std::string cause = {});

  const std::string& cause() const { return m_cause; }

  // The description followed by the cause, when there is one.
  virtual std::string debugDescription() const;

 private:
  std::string m_cause;
};

// Any text thrown as an error: its description is the text itself.
class TextError : public Error {
 public:
  explicit TextError(const std::string& text) : Error(text) {}
};

using ErrorPtr = std::exception_ptr;

// A value or the error that kept it from being made.
template <class T>
using Result = std::expected<T, ErrorPtr>;

// The description of any error: `what()` of a standard exception, a fixed text otherwise.
std::string describe(const ErrorPtr& error);

// `debugDescription()` for tessra errors, `what()` for other exceptions.
std::string debugDescribe(const ErrorPtr& error);

}  // namespace tessra

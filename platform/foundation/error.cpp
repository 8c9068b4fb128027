#include "platform/foundation/error.h"

namespace tessra {

Error::Error(const std::string& description, std::string cause)
    : std::runtime_error(description), m_cause(std::move(cause)) {}

std::string Error::debugDescription() const {
  if (m_cause.empty()) return what();
  return std::string(what()) + " (" + m_cause + ")";
}

namespace {

template <class Describe>
std::string describeWith(const ErrorPtr& error, Describe&& describeTessra) {
  if (!error) return "No error";
  try {
    std::rethrow_exception(error);
  } catch (const Error& e) {
    return describeTessra(e);
  } catch (const std::exception& e) {
    return e.what();
  } catch (const std::string& text) {
    return text;
  } catch (const char* text) {
    return text;
  } catch (...) {
    // Only thrown non-exception values land here; they carry nothing we could print.
    return "Unknown error";
  }
}

}  // namespace

std::string describe(const ErrorPtr& error) {
  return describeWith(error, [](const Error& e) { return std::string(e.what()); });
}

std::string debugDescribe(const ErrorPtr& error) {
  return describeWith(error, [](const Error& e) { return e.debugDescription(); });
}

}  // namespace tessra

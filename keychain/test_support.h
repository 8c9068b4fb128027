// Helpers of the keychain tests: a capture of standard output, where the keychain writes its
// status lines, and a service name no other test (or test process) uses.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <string>

#include "platform/foundation/uuid.h"

namespace tessra::keychain::testing {

// Sends everything written to standard output into a temporary file until `finish()`.
class StdoutCapture {
 public:
  StdoutCapture() {
    std::fflush(stdout);
    m_file = std::tmpfile();
    if (!m_file) throw std::runtime_error("Cannot make a temporary file");
    m_saved = dup(STDOUT_FILENO);
    dup2(fileno(m_file), STDOUT_FILENO);
  }
  ~StdoutCapture() { finish(); }
  StdoutCapture(const StdoutCapture&) = delete;
  StdoutCapture& operator=(const StdoutCapture&) = delete;

  // Restores standard output and returns what was written.
  std::string finish() {
    if (m_saved >= 0) {
      std::fflush(stdout);
      dup2(m_saved, STDOUT_FILENO);
      close(m_saved);
      m_saved = -1;
      std::rewind(m_file);
      char buffer[4096];
      std::size_t read = 0;
      while ((read = std::fread(buffer, 1, sizeof buffer, m_file)) > 0) m_text.append(buffer, read);
      std::fclose(m_file);
    }
    return m_text;
  }

 private:
  std::FILE* m_file = nullptr;
  int m_saved = -1;
  std::string m_text;
};

inline std::string uniqueService(const std::string& purpose) {
  return "org.tessra.test." + purpose + "." + platform::makeUuidString();
}

}  // namespace tessra::keychain::testing

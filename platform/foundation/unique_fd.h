// The sole owner of a POSIX file descriptor: closes it when it goes, hands it over on a move.
//
//   platform::UniqueFd fd(::open(path, O_RDONLY | O_CLOEXEC));
//   if (!fd) return failure(errno);
//   ::read(fd.get(), ...);
//   if (fd.close() != 0) ...  // where a late write error matters
#pragma once

#include <unistd.h>

#include <utility>

namespace tessra::platform {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) noexcept : m_fd(fd) {}
  ~UniqueFd() { reset(); }
  UniqueFd(UniqueFd&& other) noexcept : m_fd(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const noexcept { return m_fd; }
  explicit operator bool() const noexcept { return m_fd >= 0; }

  // Gives the descriptor up without closing it.
  int release() noexcept { return std::exchange(m_fd, -1); }
  // Closes the descriptor held, if any, and takes `fd`.
  void reset(int fd = -1) noexcept {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;
  }
  // Closes now and answers what close() answered (0 when nothing was held): closing can report
  // a late write error, which a writer must not miss.
  int close() noexcept { return m_fd < 0 ? 0 : ::close(release()); }

 private:
  int m_fd = -1;
};

}  // namespace tessra::platform

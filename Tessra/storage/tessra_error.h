// The program's own errors. `TessraError`: a conversation of that name already exists; it has no
// text of its own, the new-conversation panel shows its localized message when it catches it.
#pragma once

#include "platform/foundation/error.h"

namespace tessra {

class TessraError : public Error {
 public:
  enum class Kind { alreadyExists };

  static TessraError alreadyExists() { return TessraError(Kind::alreadyExists); }

  Kind kind() const { return m_kind; }
  bool operator==(const TessraError& other) const { return m_kind == other.m_kind; }

 private:
  explicit TessraError(Kind kind) : Error("TessraError.alreadyExists"), m_kind(kind) {}

  Kind m_kind;
};

// A session key that cannot name a session file inside the storage folder ("../../x", "",
// "a/b", "conversations").
class InvalidSessionIdError : public Error {
 public:
  explicit InvalidSessionIdError(const std::string& id)
      : Error("Invalid session identifier \"" + id + "\"") {}
};

// "conversations.json" could not be written: the change the caller asked for is not stored.
class ListWriteError : public Error {
 public:
  ListWriteError() : Error("Failed to save changes") {}
};

}  // namespace tessra

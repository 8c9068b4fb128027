// Whole-file writes that never leave half a file behind: the bytes go to a temporary file in the
// same folder, which is flushed to disk and then renamed over the target, so a reader (or a
// crash) sees either the whole old content or the whole new one.
//
// A new file gets mode 0600 (the program's files hold the user's conversations); a replaced file
// keeps its mode; a symbolic link is kept and the file it points to is replaced. On failure the
// temporary file is removed and the target is untouched.
//
// A process killed during a write leaves its temporary file (".<name>.tmp-XXXXXX") behind. The
// writer holds an exclusive lock on the temporary file from its creation until it is renamed, so
// `removeStaleTemporaryFiles` can tell a leftover from a write under way in any process.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>

namespace tessra::platform {

struct AtomicWriteOptions {
  // Make the target's folder (and its parents) first when it is missing, as `createPrivateFolders`
  // does.
  bool createFolders = false;
  // Fail with EEXIST instead of replacing an existing file.
  bool withoutOverwriting = false;
};

// Throws std::system_error naming the step that failed.
void writeFileAtomically(const std::filesystem::path& file, std::span<const std::uint8_t> bytes,
                         AtomicWriteOptions options = {});
void writeFileAtomically(const std::filesystem::path& file, std::string_view bytes,
                         AtomicWriteOptions options = {});

// Makes `folder` and each missing parent with mode 0700: the program's folders hold the user's
// conversations and caches, as its files do with 0600. Folders that exist keep their mode.
// Throws std::system_error; an existing folder is no failure, an existing file is.
void createPrivateFolders(const std::filesystem::path& folder);

// Removes from `folder` (not its subfolders) the temporary files of writes that did not finish:
// only regular files named as this writer names them, and only those no live process holds the
// lock of. Returns how many were removed; never throws. For the program's own folders at start.
std::size_t removeStaleTemporaryFiles(const std::filesystem::path& folder);

}  // namespace tessra::platform

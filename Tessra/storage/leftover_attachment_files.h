// `LeftoverAttachmentFiles`: the image files a run left in the attachment files folder when it
// ended between writing them and saving the conversation that names them (a quit while a
// question's image, or an image the model asked for, was being written). The next start removes
// them.
//
//   LeftoverAttachmentFiles found = LeftoverAttachmentFiles::inFolder(Paths::filesDirectory());
//   platform::globalQueue().async([found, storage] { found.removeUnreferenced(storage); });
//
// Only what the program itself writes there is a candidate: a regular file named by a UUID and
// ".jpg", directly inside the files folder, found when the store loaded, so nothing this run
// writes later is one. A candidate is removed only when no file of the storage folder (the
// sessions, readable or not, and the lists) holds its name; when any of them cannot be read,
// nothing is removed.
//
// `inFolder` lists one folder; `removeUnreferenced` reads every file of the storage folder and
// belongs on a worker. Neither throws.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <unordered_set>

namespace tessra {

class LeftoverAttachmentFiles {
 public:
  // The candidates in `filesFolder`.
  static LeftoverAttachmentFiles inFolder(const std::filesystem::path& filesFolder);

  std::size_t candidateCount() const { return m_names.size(); }

  // Removes the candidates no file of `storageFolder` names; returns how many went. Logged.
  std::size_t removeUnreferenced(const std::filesystem::path& storageFolder) const;

 private:
  std::filesystem::path m_folder;
  std::unordered_set<std::string> m_names;
};

}  // namespace tessra

#include "Tessra/storage/chat_session_manager.h"

#include <QString>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <span>
#include <system_error>
#include <unordered_set>
#include <utility>

#include "Tessra/localized_text/localized_text.h"
#include "Tessra/storage/leftover_attachment_files.h"
#include "Tessra/storage/notification_names.h"
#include "Tessra/storage/paths.h"
#include "Tessra/storage/settings_table.h"
#include "Tessra/storage/welcome.h"
#include "files/data_io.h"
#include "files/file_error.h"
#include "files/json_file.h"
#include "platform/foundation/atomic_file.h"
#include "platform/foundation/logger.h"
#include "platform/foundation/percent_encoding.h"
#include "platform/foundation/queue.h"
#include "platform/foundation/uuid.h"

namespace tessra {

namespace {

constexpr std::string_view kFileScheme = "file://";

// One console line of the store: the quoted text, then the error's debug description.
void logFailure(std::string_view text, const std::exception_ptr& error) {
  platform::logError("\"{}\" {}", text, debugDescribe(error));
}

// Whether a failed delete found nothing at its path.
bool foundNothing(const files::FileError& failure) {
  if (!failure.error()) return false;
  try {
    std::rethrow_exception(failure.error());
  } catch (const std::system_error& cause) {
    return cause.code() == std::errc::no_such_file_or_directory;
  } catch (const std::exception&) {
    return false;
  }
}

std::string timestampForFileName() {
  std::string stamp = platform::Date::now().iso8601();
  std::erase(stamp, ':');
  std::erase(stamp, '-');
  return stamp;
}

bool isAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The form in which the store compares names and identifiers: one for all canonically equivalent
// sequences (`sameText`).
std::string comparedForm(std::string_view text) {
  if (isAscii(text)) return std::string(text);
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
      .normalized(QString::NormalizationForm_C)
      .toStdString();
}

// What went wrong underneath a file operation, in the system's words ("No space left on
// device"): the part of a failure the user can act on.
std::string failureReason(const ErrorPtr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const files::FileError& failure) {
    return failure.error() ? failureReason(failure.error()) : failure.what();
  } catch (const std::system_error& failure) {
    return failure.code().message();
  } catch (const std::exception& failure) {
    return failure.what();
  } catch (...) {
    return describe(error);
  }
}

// Which file, and why: where the user looks to mend it or make room.
std::string fileFailure(const files::Path& file, const ErrorPtr& error) {
  return file.rawValue() + ": " + failureReason(error);
}

// The user-perceived characters of `text`, each as its own string.
QStringList graphemes(const QString& text) {
  QStringList characters;
  QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
  qsizetype start = 0;
  for (qsizetype end = finder.toNextBoundary(); end != -1; end = finder.toNextBoundary()) {
    characters.append(text.mid(start, end - start));
    start = end;
  }
  return characters;
}

// A name for a conversation found only as its session file: the mark of a recovered
// conversation, a space and the first question on one line, within the length of a title and
// unlike the names in `taken` ("... 2" when it is).
std::string recoveredName(const ChatSession& session, const std::vector<Conversation>& taken) {
  static const QString kMark = QStringLiteral("\U0001F4AC");  // speech balloon
  QString question = session.messages.empty()
                         ? QString()
                         : QString::fromStdString(session.messages.front().question).simplified();
  QStringList title = graphemes(question);
  if (title.size() < kMinimumConversationTitleLength)
    title = graphemes(LocalizedText::Conversation::untitledSession());
  const auto nameWith = [&](const QString& suffix) {
    const qsizetype room = kMaximumConversationTitleLength - suffix.size();
    QString cut = title.size() > room ? title.mid(0, room - 1).join(QString()).trimmed() + u'…'
                                      : title.join(QString());
    return (kMark + u' ' + cut + suffix).toStdString();
  };
  std::string name = nameWith(QString());
  for (int n = 2;
       std::any_of(taken.begin(), taken.end(),
                   [&](const Conversation& entry) { return sameText(entry.name, name); });
       ++n)
    name = nameWith(QStringLiteral(" %1").arg(n));
  return name;
}

}  // namespace

bool sameText(std::string_view a, std::string_view b) {
  if (a == b) return true;
  if (isAscii(a) && isAscii(b)) return false;
  return comparedForm(a) == comparedForm(b);
}

ChatSessionManager& ChatSessionManager::shared() {
  static ChatSessionManager instance(platform::NotificationCenter::defaultCenter(),
                                     platform::UserDefaults::standard());
  return instance;
}

ChatSessionManager::ChatSessionManager(platform::NotificationCenter& center,
                                       platform::UserDefaults& defaults, QObject* parent)
    : QObject(parent),
      m_center(center),
      m_defaults(defaults),
      m_self(std::make_shared<ChatSessionManager*>(this)) {
  std::weak_ptr<ChatSessionManager*> self = m_self;
  m_writer = std::make_unique<SessionWriter>(
      [self](const std::string& id, std::uint64_t number, Result<void> outcome) {
        if (!outcome) logFailure("Failed to save changes", outcome.error());
        platform::mainQueue().async([self, id, number, outcome = std::move(outcome)] {
          if (const auto store = self.lock()) (*store)->applySaveOutcome(id, number, outcome);
        });
      });
}

ChatSessionManager::~ChatSessionManager() {
  m_writer.reset();
  m_self.reset();
}

files::Path ChatSessionManager::sessionPath(const std::string& id) const {
  if (!isPlainFileName(id) || !isPlainFileName(id + ".json")) throw InvalidSessionIdError(id);
  const files::Path path = Paths::sessionFile(id);
  // The list shares the folder: a session keyed "conversations" would read, write and delete it.
  if (path == Paths::conversationsFile()) throw InvalidSessionIdError(id);
  return path;
}

const ChatSession* ChatSessionManager::session(const std::string& id) const {
  const auto cached = m_sessions.find(id);
  return cached == m_sessions.end() ? nullptr : &cached->second;
}

void ChatSessionManager::announceConversations() {
  emit conversationsChanged();
  m_center.post(std::string(notification_names::kConversationListDidChanged));
}

const Conversation* ChatSessionManager::conversation(const std::string& id) const {
  if (!m_conversationList) return nullptr;
  for (const Conversation& entry : m_conversationList->conversations)
    if (sameText(entry.id, id)) return &entry;
  return nullptr;
}

Conversation* ChatSessionManager::findConversation(const std::string& id) {
  if (!m_conversationList) return nullptr;
  for (Conversation& entry : m_conversationList->conversations)
    if (sameText(entry.id, id)) return &entry;
  return nullptr;
}

void ChatSessionManager::load() {
  const files::Path& storage = Paths::storageDirectory();
  try {
    platform::createPrivateFolders(storage.systemText());
  } catch (const std::exception&) {
    logFailure("Failed to create storage directory", std::current_exception());
  }
  if (m_conversationList) return;
  // Saves cut short by a killed process leave temporary files, which may hold the text of a
  // conversation deleted since.
  platform::removeStaleTemporaryFiles(storage.rawValue());
  platform::removeStaleTemporaryFiles(Paths::filesDirectory().rawValue());
  // So do image files written for a question or an answer whose conversation was never saved
  // with them. Reading every session to tell takes a while: it runs beside the start.
  if (LeftoverAttachmentFiles leftovers =
          LeftoverAttachmentFiles::inFolder(Paths::filesDirectory().systemText());
      leftovers.candidateCount() > 0) {
    platform::globalQueue().async(
        [leftovers = std::move(leftovers), folder = storage.systemText()] {
          (void)leftovers.removeUnreferenced(folder);
        });
  }

  try {
    m_conversationList = files::JsonFile<ConversationList>(Paths::conversationsFile()).read();
    giveDuplicatesTheirOwnIds();
  } catch (const std::exception&) {
    if (Paths::conversationsFile().itemExists()) {
      logFailure("Failed to read the conversation list", std::current_exception());
      m_listWritable = moveUnreadableListAside();
    }
    seed();
  }
  announceConversations();
}

void ChatSessionManager::giveDuplicatesTheirOwnIds() {
  auto& entries = m_conversationList->conversations;
  // How many entries hold each id as it is written, byte for byte: the entries that share one
  // session file.
  std::unordered_map<std::string, std::size_t> holders;
  for (const Conversation& entry : entries) ++holders[entry.id];
  std::unordered_set<std::string> seen;
  bool changed = false;
  for (Conversation& entry : entries) {
    // Ids compare as the store compares them everywhere else.
    if (seen.insert(comparedForm(entry.id)).second) continue;
    const std::string old = std::exchange(entry.id, platform::makeUuidString());
    changed = true;
    copySessionFile(old, entry.id, --holders[old] > 0);
    platform::logError("Gave a conversation the id {}: another one has its id {}", entry.id, old);
  }
  if (changed) saveConversationList();
}

void ChatSessionManager::copySessionFile(const std::string& from, const std::string& to,
                                         bool shared) {
  files::Path source;
  try {
    source = sessionPath(from);
  } catch (const InvalidSessionIdError&) {
    return;  // no file could be read under that id
  }
  if (!source.itemExists()) return;
  const files::Path target = Paths::sessionFile(to);
  try {
    // A file that another entry still opens stays where it is; one this entry alone opened
    // moves with it.
    if (!shared) {
      source.moveFile(target);
      return;
    }
    const Bytes content = files::readData(source);
    platform::writeFileAtomically(target.systemText(), std::span(content),
                                  {.withoutOverwriting = true});
  } catch (const std::exception&) {
    logFailure(
        "Failed to copy the session of a conversation given a new id; its messages stay in " +
            source.rawValue(),
        std::current_exception());
  }
}

bool ChatSessionManager::moveUnreadableListAside() {
  const files::Path& list = Paths::conversationsFile();
  const std::string stem = list.rawValue() + ".unreadable-" + timestampForFileName();
  for (int attempt = 1; attempt < 100; ++attempt) {
    const files::Path target(attempt == 1 ? stem : stem + "-" + std::to_string(attempt));
    if (target.itemExists()) continue;
    try {
      list.moveFile(target);
      platform::logError("Moved the unreadable conversation list aside to {}",
                         target.debugDescription());
      return true;
    } catch (const std::exception&) {
      logFailure("Failed to move the unreadable conversation list aside", std::current_exception());
      return false;
    }
  }
  platform::logError("Failed to move the unreadable conversation list aside: no free name");
  return false;
}

void ChatSessionManager::seed() {
  m_conversationList = initialConversationList();
  m_sessions.clear();
  const std::string welcomeId(kWelcomeSessionId);
  // A welcome session the user already has stays as it is; it is read when it is opened.
  if (Paths::sessionFile(welcomeId).itemExists()) {
    platform::logError("Kept the existing session {} while seeding",
                       Paths::sessionFile(welcomeId).debugDescription());
  } else {
    m_sessions.emplace(welcomeId, welcomeSession());
    saveSession(welcomeId);
  }
  recoverSessionFiles();
  saveConversationList();
}

void ChatSessionManager::recoverSessionFiles() {
  namespace fs = std::filesystem;
  struct Found {
    std::string id;
    ChatSession session;
    platform::Date createdAt;
  };
  std::vector<Found> found;
  std::error_code listing;
  for (fs::directory_iterator entry(Paths::storageDirectory().rawValue(), listing), end;
       !listing && entry != end; entry.increment(listing)) {
    const std::string fileName = entry->path().filename().string();
    std::error_code kind;
    if (!fileName.ends_with(".json") || !entry->is_regular_file(kind)) continue;
    const std::string id = fileName.substr(0, fileName.size() - std::string_view(".json").size());
    if (id == kWelcomeSessionId || conversation(id) != nullptr) continue;
    files::Path path;
    try {
      path = sessionPath(id);
    } catch (const InvalidSessionIdError&) {
      continue;  // not a session's file
    }
    try {
      ChatSession session = files::JsonFile<ChatSession>(path).read();
      const auto& messages = session.messages;
      const platform::Date createdAt = !messages.empty() && messages.front().createdAt
                                           ? *messages.front().createdAt
                                           : platform::Date::now();
      found.push_back({id, std::move(session), createdAt});
    } catch (const std::exception&) {
      // A session that cannot be read stays as it is, for the user to mend or to keep.
      logFailure("Left a session file that cannot be read as it is", std::current_exception());
    }
  }
  if (found.empty()) return;
  // Oldest first; the older of two conversations with the same first question keeps its name.
  std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    return a.createdAt.timeIntervalSince1970() < b.createdAt.timeIntervalSince1970();
  });
  auto& entries = m_conversationList->conversations;
  for (const Found& session : found) {
    // As if it were made now: on the default model, with all its messages as context.
    ConversationConfig config;
    config.model = setting::openAiModel.read(m_defaults);
    config.contextWindow = 0;
    entries.push_back(Conversation{session.id, recoveredName(session.session, entries),
                                   session.createdAt, config});
  }
  platform::logInfo("Recovered {} conversations from their session files", found.size());
}

void ChatSessionManager::loadSession(const std::string& id, bool markAsLatest) {
  if (m_sessions.contains(id)) return;
  const files::Path path = sessionPath(id);

  // Whatever is at the path is the user's: a link is read through, and anything that does not
  // read as a session is reported rather than taken for a missing file, whose empty session
  // would later be written over it (through a link, over the file it points to).
  if (path.itemExists()) {
    ChatSession session;
    try {
      session = files::JsonFile<ChatSession>(path).read();
    } catch (const std::exception&) {
      setReadError(id, fileFailure(path, std::current_exception()));
      throw;
    }
    setReadError(id, std::nullopt);
    // An unfinished message was cut short by an earlier run: nothing of this run streams into a
    // session that was not cached yet.
    for (ChatMessage& message : session.messages) {
      message.finished = true;
      endRunningCalls(message);
    }
    m_sessions.insert_or_assign(id, std::move(session));
  } else {
    ChatSession session;
    if (const Conversation* entry = conversation(id)) {
      session.id = entry->id;
      session.name = entry->name;
    } else {
      session.id = platform::makeUuidString();
      session.name = LocalizedText::Conversation::untitledSession().toStdString();
    }
    m_sessions.insert_or_assign(id, std::move(session));
    if (markAsLatest) saveSession(id);
  }

  if (!markAsLatest) return;
  if (m_conversationList) m_conversationList->latestSessionID = id;
  saveConversationList();
}

void ChatSessionManager::setLatestSessionID(const std::string& id) {
  if (!m_conversationList || m_conversationList->latestSessionID == id) return;
  m_conversationList->latestSessionID = id;
  saveConversationList();
}

void ChatSessionManager::saveSession(const std::string& id) {
  const auto cached = m_sessions.find(id);
  if (cached == m_sessions.end()) return;
  const std::uint64_t number = ++m_saves;
  // This write has the latest content: a background save still waiting is no longer needed, and
  // one under way must land first.
  m_writer->drop(id);
  m_writer->waitForWrites();
  Result<void> outcome;
  try {
    files::JsonFile<ChatSession>(sessionPath(id)).write(cached->second);
  } catch (const std::exception&) {
    logFailure("Failed to save changes", std::current_exception());
    outcome = std::unexpected(std::current_exception());
  }
  applySaveOutcome(id, number, outcome);
}

void ChatSessionManager::saveSessionInBackground(const std::string& id,
                                                 std::function<void()> then) {
  if (const auto cached = m_sessions.find(id); cached != m_sessions.end()) {
    try {
      files::Path path = sessionPath(id);
      m_writer->writeLater(id, std::move(path), ++m_saves, cached->second);
    } catch (const std::exception&) {
      logFailure("Failed to save changes", std::current_exception());
    }
  }
  if (!then) return;
  // Behind the outcome on the main queue: the writer reports each write before its next job.
  m_writer->afterWrites(
      [then = std::move(then)]() mutable { platform::mainQueue().async(std::move(then)); });
}

void ChatSessionManager::waitForSaves() { m_writer->waitForWrites(); }

std::optional<std::string> ChatSessionManager::readError(const std::string& id) const {
  const auto state = m_fileStates.find(id);
  return state == m_fileStates.end() ? std::nullopt : state->second.readError;
}

std::optional<std::string> ChatSessionManager::saveError(const std::string& id) const {
  const auto state = m_fileStates.find(id);
  return state == m_fileStates.end() ? std::nullopt : state->second.saveError;
}

void ChatSessionManager::applySaveOutcome(const std::string& id, std::uint64_t number,
                                          const Result<void>& outcome) {
  // A conversation deleted meanwhile has no file left to tell about.
  if (!m_sessions.contains(id)) return;
  FileState& state = m_fileStates[id];
  if (number < state.reportedSave) return;
  state.reportedSave = number;
  setSaveError(id, outcome ? std::nullopt
                           : std::optional(fileFailure(Paths::sessionFile(id), outcome.error())));
}

void ChatSessionManager::setReadError(const std::string& id, std::optional<std::string> error) {
  FileState& state = m_fileStates[id];
  if (state.readError == error) return;
  state.readError = std::move(error);
  emit sessionFileStateChanged(id);
}

void ChatSessionManager::setSaveError(const std::string& id, std::optional<std::string> error) {
  FileState& state = m_fileStates[id];
  if (state.saveError == error) return;
  state.saveError = std::move(error);
  emit sessionFileStateChanged(id);
}

bool ChatSessionManager::saveConversationList() {
  if (!m_conversationList) return true;
  if (!m_listWritable) {
    platform::logError(
        "\"Failed to save changes\" the unreadable conversation list could not be moved aside");
    return false;
  }
  try {
    files::JsonFile<ConversationList>(Paths::conversationsFile()).write(*m_conversationList);
    return true;
  } catch (const std::exception&) {
    logFailure("Failed to save changes", std::current_exception());
    return false;
  }
}

Conversation ChatSessionManager::createConversation(const std::string& name) {
  if (m_conversationList) {
    for (const Conversation& entry : m_conversationList->conversations)
      if (sameText(entry.name, name)) throw TessraError::alreadyExists();
  }
  ConversationConfig config;
  config.model = setting::openAiModel.read(m_defaults);
  config.contextWindow = 0;
  Conversation created{platform::makeUuidString(), name, platform::Date::now(), config};

  if (m_conversationList) {
    m_conversationList->conversations.push_back(created);
    if (!saveConversationList()) {
      m_conversationList->conversations.pop_back();
      throw ListWriteError();
    }
  }
  m_sessions.insert_or_assign(created.id, ChatSession{created.id, created.name, {}});
  if (m_conversationList) announceConversations();
  return created;
}

void ChatSessionManager::renameConversation(const std::string& id, const std::string& name) {
  loadSession(id, false);
  Conversation* entry = findConversation(id);
  if (entry == nullptr) {
    platform::logError("\"Conversation not found\"");
    return;
  }
  entry->name = name;
  const bool listSaved = saveConversationList();
  if (const auto cached = m_sessions.find(id); cached != m_sessions.end()) {
    cached->second.name = name;
    saveSession(id);
  }
  // Memory holds the new name whether or not the list was written: the windows show it.
  emit conversationChanged(id);
  m_center.post(std::string(notification_names::kConversationListDidChanged));
  m_center.post(std::string(notification_names::kConversationSettingDidChanged));
  if (!listSaved) throw ListWriteError();
}

void ChatSessionManager::updateConversation(const std::string& id,
                                            const Conversation& replacement) {
  loadSession(id, false);
  Conversation* entry = findConversation(id);
  if (entry == nullptr) {
    platform::logError("\"Conversation not found\"");
    return;
  }
  *entry = replacement;
  const bool listSaved = saveConversationList();
  emit conversationChanged(id);
  m_center.post(std::string(notification_names::kConversationSettingDidChanged));
  if (!listSaved) throw ListWriteError();
}

void ChatSessionManager::deleteConversation(const std::string& id) {
  if (!m_sessions.contains(id)) {
    try {
      loadSession(id, false);
    } catch (const std::exception&) {
      // The conversation goes whatever its session holds; its attachments cannot be known.
      logFailure("Failed to read the session of a deleted conversation", std::current_exception());
    }
  }
  std::vector<ChatMessage> messages;
  if (const auto cached = m_sessions.find(id); cached != m_sessions.end())
    messages = cached->second.messages;

  if (m_conversationList) {
    auto& entries = m_conversationList->conversations;
    const auto found = std::find_if(entries.begin(), entries.end(), [&](const Conversation& entry) {
      return sameText(entry.id, id);
    });
    if (found != entries.end()) entries.erase(found);
  }
  saveConversationList();
  m_sessions.erase(id);
  deleteSessionFile(id);
  m_fileStates.erase(id);
  announceConversations();

  for (const ChatMessage& message : messages)
    if (message.questionFile) deleteAttachmentFiles(*message.questionFile);
  for (const ChatMessage& message : messages)
    if (message.answerFiles)
      for (const ChatMessageFile& file : *message.answerFiles) deleteAttachmentFiles(file);
}

void ChatSessionManager::replaceConversations(const std::vector<Conversation>& conversations) {
  std::vector<std::string> ids;
  ids.reserve(conversations.size());
  for (const Conversation& entry : conversations) ids.push_back(entry.id);
  reorderConversations(ids);
}

void ChatSessionManager::reorderConversations(const std::vector<std::string>& ids) {
  if (!m_conversationList) return;
  auto& entries = m_conversationList->conversations;
  std::vector<Conversation> ordered;
  ordered.reserve(entries.size());
  std::vector<bool> taken(entries.size(), false);
  for (const std::string& id : ids) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (taken[i] || !sameText(entries[i].id, id)) continue;
      taken[i] = true;
      ordered.push_back(entries[i]);
      break;
    }
  }
  for (std::size_t i = 0; i < entries.size(); ++i)
    if (!taken[i]) ordered.push_back(entries[i]);
  entries = std::move(ordered);
  saveConversationList();
  announceConversations();
}

void ChatSessionManager::upsertMessage(const ChatMessage& message, const std::string& sessionID) {
  const auto cached = m_sessions.find(sessionID);
  if (cached == m_sessions.end()) return;
  auto& messages = cached->second.messages;
  // The message being streamed sits at the end.
  const auto found = std::find_if(messages.rbegin(), messages.rend(),
                                  [&](const ChatMessage& m) { return m.id == message.id; });
  if (found != messages.rend())
    *found = message;
  else
    messages.push_back(message);
  emit messageChanged(sessionID, message);
}

void ChatSessionManager::deleteMessage(const std::string& id, const std::string& sessionID) {
  const auto cached = m_sessions.find(sessionID);
  if (cached == m_sessions.end()) return;
  auto& messages = cached->second.messages;
  const auto found = std::find_if(messages.begin(), messages.end(),
                                  [&](const ChatMessage& m) { return m.id == id; });
  if (found == messages.end()) return;
  const auto index = static_cast<std::size_t>(found - messages.begin());
  const ChatMessage removed = *found;

  moveEndContextToPreviousMessage(index, sessionID);
  messages.erase(messages.begin() + static_cast<std::ptrdiff_t>(index));
  emit conversationChanged(sessionID);
  saveSession(sessionID);

  deleteAttachmentFiles(removed);
}

void ChatSessionManager::clearMessages(const std::string& sessionID) {
  const auto cached = m_sessions.find(sessionID);
  std::vector<ChatMessage> removed;
  if (cached != m_sessions.end()) removed = std::exchange(cached->second.messages, {});
  if (!removed.empty()) emit conversationChanged(sessionID);
  saveSession(sessionID);
  for (const ChatMessage& message : removed) deleteAttachmentFiles(message);
}

void ChatSessionManager::deleteAttachmentFiles(const ChatMessage& message) {
  if (message.questionFile) deleteAttachmentFiles(*message.questionFile);
  if (message.answerFiles)
    for (const ChatMessageFile& file : *message.answerFiles) deleteAttachmentFiles(file);
}

void ChatSessionManager::moveEndContextToPreviousMessage(std::size_t index,
                                                         const std::string& sessionID) {
  auto& messages = m_sessions.at(sessionID).messages;
  if (index == 0 || index >= messages.size() || !messages[index].endContext) return;
  messages[index - 1].endContext = true;
}

std::optional<std::size_t> ChatSessionManager::previousMessageIndex(
    const std::string& id, const std::string& sessionID) const {
  const auto cached = m_sessions.find(sessionID);
  if (cached == m_sessions.end()) return std::nullopt;
  const auto& messages = cached->second.messages;
  const auto found = std::find_if(messages.begin(), messages.end(),
                                  [&](const ChatMessage& m) { return m.id == id; });
  if (found == messages.end() || found == messages.begin()) return std::nullopt;
  return static_cast<std::size_t>(found - messages.begin()) - 1;
}

std::optional<ChatMessage> ChatSessionManager::lastMessage(const std::string& sessionID) const {
  const auto cached = m_sessions.find(sessionID);
  if (cached == m_sessions.end() || cached->second.messages.empty()) return std::nullopt;
  return cached->second.messages.back();
}

std::vector<ChatMessage> ChatSessionManager::contextMessages(const std::string& sessionID) const {
  const auto cached = m_sessions.find(sessionID);
  if (cached == m_sessions.end()) return {};
  const auto& messages = cached->second.messages;
  const auto lastBreak = std::find_if(messages.rbegin(), messages.rend(),
                                      [](const ChatMessage& m) { return m.endContext; });
  if (lastBreak == messages.rend()) return messages;
  return std::vector<ChatMessage>(lastBreak.base(), messages.end());
}

void ChatSessionManager::deleteSessionFile(const std::string& id) {
  // A background save still waiting would write the file again; one under way must end first.
  m_writer->drop(id);
  m_writer->waitForWrites();
  try {
    sessionPath(id).deleteFile();
  } catch (const files::FileError& failure) {
    // A conversation that never had a message has no file: nothing to delete is no failure.
    if (!foundNothing(failure)) {
      logFailure("Failed to delete session file", std::current_exception());
      return;
    }
    platform::logDebug("\"Failed to delete session file\" {}",
                       debugDescribe(std::current_exception()));
  } catch (const std::exception&) {
    logFailure("Failed to delete session file", std::current_exception());
  }
}

void ChatSessionManager::deleteAttachmentFiles(const ChatMessageFile& file) {
  if (file.path) deleteAttachmentFile(*file.path);
  if (file.thumbnailPath) deleteAttachmentFile(*file.thumbnailPath);
}

void ChatSessionManager::deleteAttachmentFile(const std::string& url) {
  std::string text = url;
  for (auto at = text.find(kFileScheme); at != std::string::npos; at = text.find(kFileScheme))
    text.erase(at, kFileScheme.size());
  const std::string decoded = platform::percentDecode(text).value_or("");

  std::string folder = Paths::filesDirectory().rawValue();
  if (!folder.ends_with('/')) folder += '/';
  const files::Path path(decoded);
  if (!decoded.starts_with(folder) || !isPlainFileName(decoded.substr(folder.size()))) {
    platform::logError("\"Refused to delete an attachment outside the files folder\" {}",
                       path.debugDescription());
    return;
  }
  if (!path.itemExists()) return;
  if (!path.isRegular()) {
    platform::logError("\"Refused to delete an attachment that is not a regular file\" {}",
                       path.debugDescription());
    return;
  }
  try {
    path.deleteFile();
  } catch (const std::exception&) {
    platform::logError("{}", debugDescribe(std::current_exception()));
  }
}

}  // namespace tessra

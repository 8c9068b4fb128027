// `ChatSessionManager`: the one owner of the user's conversations at run time and the only code
// that reads and writes the conversation files in the storage folder (Tessra/storage/paths.h).
//
// It holds the loaded `ConversationList` and a cache of the sessions opened in this run, and
// writes each of them back as one whole JSON file, atomically. Sessions are read lazily, the
// first time a conversation is opened. The very first start seeds the welcome conversation.
//
//   auto& store = ChatSessionManager::shared();
//   store.load();
//   store.loadSession(*store.conversationList()->latestSessionID, true);
//   store.upsertMessage(message, sessionID);  // memory only
//   store.saveSession(sessionID);
//   store.saveSessionInBackground(sessionID);  // while an answer streams
//   connect(&store, &ChatSessionManager::conversationsChanged, list, &List::reload);
//
// The list and the sessions are read through const accessors and changed only through the
// store's operations, so the store is the one that announces every change: `conversationsChanged`
// when conversations come, go or move (also posted as "conversationListDidChanged", the name the
// other windows know it by), `conversationChanged` when one conversation's entry or cached session
// changes (a rename or new settings also posted as "conversationSettingDidChanged", a rename also
// as "conversationListDidChanged"), and `messageChanged` when a message is put into a session.
// What reaches the files is what a save writes.
//
// Failures: only `loadSession` and the two operations built on it (`renameConversation`,
// `updateConversation`) throw: the read or decode error of an existing session file, or
// `InvalidSessionIdError` for a key that cannot name a file in the storage folder;
// `createConversation` throws `TessraError::alreadyExists()` for a duplicate name. The three
// operations a user confirms in a panel (create, rename, update) also throw `ListWriteError`
// when "conversations.json" cannot be written, so a panel never reports a change that is not on
// disk: a rename or update stays in memory for the next save, a create is taken back. Every other
// failure is logged ("Failed to save changes", "Failed to delete session file", ...) and the
// operation goes on; memory keeps the change, the next save writes it.
//
// What is never lost: a "conversations.json" that exists but cannot be read is moved aside
// ("conversations.json.unreadable-<timestamp>") before the welcome conversation is seeded, and
// when it cannot be moved the list is kept in memory only and never written; the seed never
// writes over an existing "welcome.json", and every other session file that reads comes back as
// a conversation named by its first question; a session that cannot be read is not cached, so
// nothing is written into its file; identifiers and attachment paths from the files are used for
// a file operation only when they are plain names inside their folder, and deleting an
// attachment removes one regular file inside the files folder, never a folder (nor does
// deleting a session's file). Two entries of the list with one id each stay reachable: the later
// one is given a fresh id with the session file it was read from, so an operation by id reaches
// the entry it was asked for. Image files that no session names, left by a run that ended while
// writing them, are removed after the load (`LeftoverAttachmentFiles`).
//
// What the user is told: why a session's file could not be read (`readError`) and why its latest
// save failed (`saveError`), each until a later read or save succeeds; every change of either is
// signalled by `sessionFileStateChanged`.
//
// Session files are written in the order the saves were asked for, whichever way: a save in the
// background (`saveSessionInBackground`) runs on the store's writer, and `saveSession`, a delete
// of the file and `waitForSaves` wait for the background saves asked for before.
//
// GUI thread only: the store has no lock, and its signals are emitted on the GUI thread. The chat
// engine takes what it needs (the context messages, the conversation's settings) on the GUI thread
// before it starts a request.
#pragma once

#include <QObject>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Tessra/storage/chat_message.h"
#include "Tessra/storage/chat_session.h"
#include "Tessra/storage/conversation.h"
#include "Tessra/storage/session_writer.h"
#include "Tessra/storage/tessra_error.h"
#include "files/path.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/user_defaults.h"

namespace tessra {

class ChatSessionManager final : public QObject {
  Q_OBJECT

 public:
  // The instance, created on first use over the program's storage folder, the default
  // notification centre and the standard defaults; kept until the program quits.
  static ChatSessionManager& shared();

  // A store over the program's storage folder with another centre and defaults suite (tests).
  ChatSessionManager(platform::NotificationCenter& center, platform::UserDefaults& defaults,
                     QObject* parent = nullptr);
  // Finishes the background saves asked for.
  ~ChatSessionManager() override;

  // The loaded list; absent until `load()` has run.
  const std::optional<ConversationList>& conversationList() const { return m_conversationList; }
  // The cached sessions, keyed by the identifier they were asked for under; never evicted.
  const std::unordered_map<std::string, ChatSession>& sessions() const { return m_sessions; }
  // The cached session of `id`; null when it is not cached.
  const ChatSession* session(const std::string& id) const;

  // Makes sure the storage folder exists. The first call reads the list, or seeds the welcome
  // conversation when there is none to read, and posts "conversationListDidChanged".
  void load();
  // Puts the session of `id` into the cache: from its file, or as a new empty session named
  // like its conversation ("Untitled" when no conversation has that id). With `markAsLatest`, a
  // session that was not cached becomes the list's latest and the files are written. A message
  // read unfinished was cut short by an earlier run: it is finished, in memory.
  void loadSession(const std::string& id, bool markAsLatest);
  // Writes the cached session of `id` to its file; nothing when it is not cached.
  void saveSession(const std::string& id);
  // Writes a copy of the cached session of `id` taken now, on the store's writer, and returns at
  // once; nothing when it is not cached. The outcome reaches `saveError` through the main queue;
  // `then` runs on the main queue after it, once the file holds this copy or a later one (or the
  // write has failed, or there was nothing to write).
  void saveSessionInBackground(const std::string& id, std::function<void()> then = {});
  // Returns once the background saves asked for so far have ended (their outcomes are then on
  // their way through the main queue).
  void waitForSaves();
  // Why the session's file could not be read, for the user: the file and the reason ("<path>:
  // ..."); nothing once it has been read.
  std::optional<std::string> readError(const std::string& id) const;
  // Why the latest save of the session's file failed, for the user, in the same form ("<path>:
  // No space left on device"); nothing when it succeeded.
  std::optional<std::string> saveError(const std::string& id) const;
  // Writes the loaded list; nothing when there is none. False (and logged) when the list could
  // not be written.
  bool saveConversationList();
  // Records `id` as the list's latest session and writes the list; nothing when it is already
  // the latest or there is no list.
  void setLatestSessionID(const std::string& id);

  // Appends a new conversation on the default model and caches its empty session; writes the
  // list. Throws TessraError::alreadyExists() when a conversation has that name already, and
  // ListWriteError (with nothing created) when the list cannot be written.
  Conversation createConversation(const std::string& name);
  // Renames the list entry and the session, and writes both. Throws ListWriteError when the list
  // cannot be written (memory keeps the new name).
  void renameConversation(const std::string& id, const std::string& name);
  // Replaces the list entry of `id` by `conversation` and writes the list. Throws ListWriteError
  // when the list cannot be written (memory keeps the new entry).
  void updateConversation(const std::string& id, const Conversation& conversation);
  // Removes the conversation with that id from the list, its cached session, its session file
  // and the attachment files of its messages; writes the list.
  void deleteConversation(const std::string& id);
  void deleteConversation(const Conversation& conversation) { deleteConversation(conversation.id); }
  // Puts the list in the order of the given conversations' ids, taking each entry's current
  // value from the list; entries the sequence does not name keep their order after them, and
  // ids the list does not hold are ignored. Writes the list and announces it, also when the
  // order stays.
  void replaceConversations(const std::vector<Conversation>& conversations);
  void reorderConversations(const std::vector<std::string>& ids);

  // Replaces the last message with the same id, or appends; memory only.
  void upsertMessage(const ChatMessage& message, const std::string& sessionID);
  // Removes the first message with that id (moving its context break to the message before it),
  // writes the session and deletes the message's attachment files.
  void deleteMessage(const std::string& id, const std::string& sessionID);
  // Removes every message of the cached session, writes the session (also when it had none or
  // is not cached: then nothing is written) and deletes the messages' attachment files.
  void clearMessages(const std::string& sessionID);
  // The position before the first message with that id; nothing for the first message, or
  // when the message or the session is not there.
  std::optional<std::size_t> previousMessageIndex(const std::string& id,
                                                  const std::string& sessionID) const;
  std::optional<ChatMessage> lastMessage(const std::string& sessionID) const;
  // The messages after the last one that closes a context; all of them when none does.
  std::vector<ChatMessage> contextMessages(const std::string& sessionID) const;

  // The conversation with that id in the loaded list.
  const Conversation* conversation(const std::string& id) const;

 signals:
  // Conversations came, went or moved: the list was loaded, a conversation created or deleted,
  // or the order stored.
  void conversationsChanged();
  // The entry of the conversation `id` (its name or settings) or its cached session changed,
  // other than by `upsertMessage`.
  void conversationChanged(const std::string& id);
  // `message` was put into the cached session of `sessionID` (`upsertMessage`).
  void messageChanged(const std::string& sessionID, const tessra::ChatMessage& message);
  // The `readError` or the `saveError` of the session `sessionID` changed.
  void sessionFileStateChanged(const std::string& sessionID);

 private:
  friend struct ChatSessionManagerTestAccess;

  // Emits `conversationsChanged` and posts "conversationListDidChanged".
  void announceConversations();
  Conversation* findConversation(const std::string& id);
  // The file of a session key; throws InvalidSessionIdError for a key that is no plain name or
  // whose file would be the list's.
  files::Path sessionPath(const std::string& id) const;
  void seed();
  // Gives every entry whose id an earlier entry holds already a fresh id, with the session file
  // it was read from, and writes the list: a delete or a rename by id reaches the one picked.
  void giveDuplicatesTheirOwnIds();
  // Puts the session file of `from` under `to`: a copy while other entries still hold `from`
  // (`shared`), else the file itself. A failure is logged; the file stays where it was.
  void copySessionFile(const std::string& from, const std::string& to, bool shared);
  // Adds a conversation for each readable session file the list does not name.
  void recoverSessionFiles();
  void applySaveOutcome(const std::string& id, std::uint64_t number, const Result<void>& outcome);
  void setReadError(const std::string& id, std::optional<std::string> error);
  void setSaveError(const std::string& id, std::optional<std::string> error);
  // Moves an unreadable list file aside; false when it is still in the way.
  bool moveUnreadableListAside();
  void moveEndContextToPreviousMessage(std::size_t index, const std::string& sessionID);
  void deleteSessionFile(const std::string& id);
  void deleteAttachmentFiles(const ChatMessage& message);
  void deleteAttachmentFiles(const ChatMessageFile& file);
  void deleteAttachmentFile(const std::string& url);

  // What the user is told about a session's file.
  struct FileState {
    std::optional<std::string> readError;
    std::optional<std::string> saveError;
    // The number of the latest save whose outcome is in `saveError`; outcomes of earlier saves
    // that arrive later are stale.
    std::uint64_t reportedSave = 0;
  };

  platform::NotificationCenter& m_center;
  platform::UserDefaults& m_defaults;
  std::optional<ConversationList> m_conversationList;
  std::unordered_map<std::string, ChatSession> m_sessions;
  // False when an unreadable list file could not be moved aside: it must not be overwritten.
  bool m_listWritable = true;
  std::unordered_map<std::string, FileState> m_fileStates;
  std::uint64_t m_saves = 0;
  // Lets an outcome that reaches the main queue after destruction see that the store is gone.
  std::shared_ptr<ChatSessionManager*> m_self;
  std::unique_ptr<SessionWriter> m_writer;
};

// Text equality as the store compares names and identifiers: canonically equivalent Unicode
// sequences (a precomposed letter and its decomposed form) are equal.
bool sameText(std::string_view a, std::string_view b);

}  // namespace tessra

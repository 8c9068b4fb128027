#include "Tessra/ui_foundation/localized_text.h"

#include <QLocale>

#include <mutex>

#include "Tessra/ui_foundation/string_formatter.h"

namespace tessra {

namespace {

std::mutex& providerMutex() {
  static std::mutex mutex;
  return mutex;
}

LocalizedText::ChosenLanguageProvider& chosenLanguageProvider() {
  static LocalizedText::ChosenLanguageProvider provider;  // guarded by providerMutex()
  return provider;
}

QString plainText(QStringView key, QStringView english) {
  return LocalizedText::tr(LocalizedText::kTableName.toString(), key.toString(), {},
                           english.toString());
}

QString formatText(QStringView key, QStringView english, const QString& argument) {
  return LocalizedText::tr(LocalizedText::kTableName.toString(), key.toString(), {argument},
                           english.toString());
}

}  // namespace

void LocalizedText::setChosenLanguageProvider(ChosenLanguageProvider provider) {
  const std::lock_guard lock(providerMutex());
  chosenLanguageProvider() = std::move(provider);
}

QString LocalizedText::tr(const QString& table, const QString& key, const QStringList& arguments,
                          const QString& fallback) {
  return formatLocalized(languageBundle()->localizedString(key, fallback, table), arguments);
}

std::shared_ptr<const LanguageBundle> LocalizedText::languageBundle() {
  ChosenLanguageProvider provider;
  {
    const std::lock_guard lock(providerMutex());
    provider = chosenLanguageProvider();
  }
  std::optional<QString> chosen;
  if (provider) {
    if (const auto code = provider()) chosen = QString::fromStdString(*code);
  }
  return bundles().bundleFor(chosen);
}

LanguageBundles& LocalizedText::bundles() {
  static LanguageBundles shared(kResourceRoot.toString(),
                                [] { return QLocale::system().uiLanguages(); });
  return shared;
}

QString LocalizedText::Conversation::editTitle(const QString& name) {
  return formatText(u"Conversation.editTitle", u"Edit %@", name);
}

QString LocalizedText::General::updaterDescription(const QString& version) {
  return formatText(u"General.updaterDescription", u"Version %@ is now available", version);
}

QString LocalizedText::General::lastNItems(std::int64_t count) {
  return formatText(u"General.lastNItems", u"Last %@", QString::number(count));
}

const QString& LocalizedText::ApiKey::apiKeyRequired() {
  static const QString text = plainText(u"ApiKey.apiKeyRequired", u"API Key Required");
  return text;
}

const QString& LocalizedText::ApiKey::apiKeyStoredSecurely() {
  static const QString text = plainText(
      u"ApiKey.apiKeyStoredSecurely",
      u"Your API Key is securely stored in the login keyring and is never transmitted elsewhere.");
  return text;
}

const QString& LocalizedText::ApiKey::getYourApiKey() {
  static const QString text = plainText(u"ApiKey.getYourApiKey", u"Get your API Key");
  return text;
}

const QString& LocalizedText::ApiKey::openAiApiKey() {
  static const QString text = plainText(u"ApiKey.openAiApiKey", u"OpenAI API Key");
  return text;
}

const QString& LocalizedText::ApiKey::openAiInstruction() {
  static const QString text =
      plainText(u"ApiKey.openAiInstruction",
                u"To utilize the ChatGPT features, you will be redirected to the OpenAI website to "
                u"sign up for an API key. On the site, choose \"Create new secret key\" and follow "
                u"the provided steps to obtain your API key. Please ensure that your OpenAI API "
                u"key is linked to a valid payment method, which is a requirement separate from "
                u"holding a ChatGPT Plus subscription, to fully enable ChatGPT functionalities.");
  return text;
}

const QString& LocalizedText::ApiKey::updateApiKey() {
  static const QString text = plainText(u"ApiKey.updateApiKey", u"Update API Key");
  return text;
}

const QString& LocalizedText::ApiKey::validationErrorLength() {
  static const QString text = plainText(u"ApiKey.validationError.length",
                                        u"The API Key provided does not meet the required length.");
  return text;
}

const QString& LocalizedText::Chat::allMessagesDeletionTitle() {
  static const QString text = plainText(
      u"Chat.allMessagesDeletionTitle",
      u"Are you certain you wish to delete all the messages? This action cannot be undone.");
  return text;
}

const QString& LocalizedText::Chat::clearContext() {
  static const QString text = plainText(u"Chat.clearContext", u"Clear context");
  return text;
}

const QString& LocalizedText::Chat::clearContextCommand() {
  static const QString text = plainText(u"Chat.clearContextCommand", u"🧹 Clear Context");
  return text;
}

const QString& LocalizedText::Chat::deleteAllMessages() {
  static const QString text = plainText(u"Chat.deleteAllMessages", u"Delete all messages");
  return text;
}

const QString& LocalizedText::Chat::deleteAllMessagesCommand() {
  static const QString text =
      plainText(u"Chat.deleteAllMessagesCommand", u"🗑️ Delete All Messages");
  return text;
}

const QString& LocalizedText::Chat::listTopicsCommand() {
  static const QString text = plainText(u"Chat.listTopicsCommand", u"📚 List Topics");
  return text;
}

const QString& LocalizedText::Chat::messageDeletionTitle() {
  static const QString text =
      plainText(u"Chat.messageDeletionTitle",
                u"Are you certain you wish to delete this message? This action cannot be undone.");
  return text;
}

const QString& LocalizedText::Chat::newConversation() {
  static const QString text = plainText(u"Chat.newConversation", u"New Conversation");
  return text;
}

const QString& LocalizedText::Chat::openConversationCommand() {
  static const QString text = plainText(u"Chat.openConversationCommand", u"🔍 Open Conversation");
  return text;
}

const QString& LocalizedText::Chat::pinWindow() {
  static const QString text = plainText(u"Chat.pinWindow", u"Pin window");
  return text;
}

const QString& LocalizedText::Chat::pinWindowCommand() {
  static const QString text = plainText(u"Chat.pinWindowCommand", u"📌 Pin Window");
  return text;
}

const QString& LocalizedText::Chat::promptPlaceholder() {
  static const QString text = plainText(u"Chat.promptPlaceholder", u"What's on your mind?");
  return text;
}

const QString& LocalizedText::Chat::settingsCommand() {
  static const QString text = plainText(u"Chat.settingsCommand", u"⚙️ Settings");
  return text;
}

const QString& LocalizedText::Chat::showTopics() {
  static const QString text = plainText(u"Chat.showTopics", u"Show Topics");
  return text;
}

const QString& LocalizedText::Conversation::alreadyExistsError() {
  static const QString text =
      plainText(u"Conversation.alreadyExistsError", u"Conversation already exists");
  return text;
}

const QString& LocalizedText::Conversation::deletionDescription() {
  static const QString text = plainText(
      u"Conversation.deletionDescription",
      u"Are you sure you want to delete this conversation? This action cannot be undone.");
  return text;
}

const QString& LocalizedText::Conversation::deletionTitle() {
  static const QString text = plainText(u"Conversation.deletionTitle", u"Confirm Deletion");
  return text;
}

const QString& LocalizedText::Conversation::editDescription() {
  static const QString text = plainText(u"Conversation.editDescription",
                                        u"Rename your conversation and choose a new emoji. Don't "
                                        u"worry, you can change it again any time.");
  return text;
}

const QString& LocalizedText::Conversation::failedToUpdateError() {
  static const QString text =
      plainText(u"Conversation.failedToUpdateError", u"Failed to update conversation");
  return text;
}

const QString& LocalizedText::Conversation::nameTooLongError() {
  static const QString text = plainText(u"Conversation.nameTooLongError", u"Name too long");
  return text;
}

const QString& LocalizedText::Conversation::nameTooShortError() {
  static const QString text = plainText(u"Conversation.nameTooShortError", u"Name too short");
  return text;
}

const QString& LocalizedText::Conversation::newDescription() {
  static const QString text =
      plainText(u"Conversation.newDescription",
                u"Personalize your chat with a unique name and emoji. Remember, you can edit these "
                u"details later if you want to.");
  return text;
}

const QString& LocalizedText::Conversation::newTitle() {
  static const QString text = plainText(u"Conversation.newTitle", u"New Conversation");
  return text;
}

const QString& LocalizedText::Conversation::untitledSession() {
  static const QString text = plainText(u"Conversation.untitledSession", u"Untitled");
  return text;
}

const QString& LocalizedText::ConversationSettings::contextLimit() {
  static const QString text = plainText(u"ConversationSettings.contextLimit", u"Context Limit");
  return text;
}

const QString& LocalizedText::ConversationSettings::contextLimitDescription() {
  static const QString text =
      plainText(u"ConversationSettings.contextLimitDescription",
                u"How many messages the AI assistant can see. If you set it to 1, the AI will only "
                u"remember the last message you sent.");
  return text;
}

const QString& LocalizedText::ConversationSettings::frequencyPenalty() {
  static const QString text =
      plainText(u"ConversationSettings.frequencyPenalty", u"Frequency Penalty");
  return text;
}

const QString& LocalizedText::ConversationSettings::frequencyPenaltyDescription() {
  static const QString text =
      plainText(u"ConversationSettings.frequencyPenaltyDescription",
                u"Reduces the likelihood of repeating the same words or phrases.");
  return text;
}

const QString& LocalizedText::ConversationSettings::presencePenalty() {
  static const QString text =
      plainText(u"ConversationSettings.presencePenalty", u"Presence Penalty");
  return text;
}

const QString& LocalizedText::ConversationSettings::presencePenaltyDescription() {
  static const QString text =
      plainText(u"ConversationSettings.presencePenaltyDescription",
                u"Discourages repeating the same information or context already mentioned.");
  return text;
}

const QString& LocalizedText::ConversationSettings::temperatureDescription() {
  static const QString text =
      plainText(u"ConversationSettings.temperatureDescription",
                u"Controls creativity; lower values make responses more predictable, higher values "
                u"increase randomness. Select a temperature value based on the desired trade-off "
                u"between coherence and creativity for your specific application.");
  return text;
}

const QString& LocalizedText::ConversationSettings::topP() {
  static const QString text = plainText(u"ConversationSettings.topP", u"top_p");
  return text;
}

const QString& LocalizedText::ConversationSettings::topPDescription() {
  static const QString text = plainText(u"ConversationSettings.topPDescription",
                                        u"Filters out less likely responses, focusing on the top "
                                        u"percentage, making the model's replies more focused.");
  return text;
}

const QString& LocalizedText::General::actionListNavigationInstructions() {
  static const QString text =
      plainText(u"General.actionListNavigationInstructions",
                u"**↑ ↓** to navigate, **⮐** to select, **ESC** to dismiss");
  return text;
}

const QString& LocalizedText::General::advanced() {
  static const QString text = plainText(u"General.advanced", u"Advanced");
  return text;
}

const QString& LocalizedText::General::allMessages() {
  static const QString text = plainText(u"General.allMessages", u"All Messages");
  return text;
}

const QString& LocalizedText::General::build() {
  static const QString text = plainText(u"General.build", u"Build");
  return text;
}

const QString& LocalizedText::General::cancel() {
  static const QString text = plainText(u"General.cancel", u"Cancel");
  return text;
}

const QString& LocalizedText::General::checkForUpdates() {
  static const QString text = plainText(u"General.checkForUpdates", u"Check for Updates…");
  return text;
}

const QString& LocalizedText::General::continueAction() {
  static const QString text = plainText(u"General.continue", u"Continue");
  return text;
}

const QString& LocalizedText::General::conversations() {
  static const QString text = plainText(u"General.conversations", u"Conversations");
  return text;
}

const QString& LocalizedText::General::copyEmail() {
  static const QString text = plainText(u"General.copyEmail", u"Copy Email");
  return text;
}

const QString& LocalizedText::General::create() {
  static const QString text = plainText(u"General.create", u"Create");
  return text;
}

const QString& LocalizedText::General::deleteAction() {
  static const QString text = plainText(u"General.delete", u"Delete");
  return text;
}

const QString& LocalizedText::General::tessraAI() {
  static const QString text = plainText(u"General.tessraAI", u"Tessra AI");
  return text;
}

const QString& LocalizedText::General::model() {
  static const QString text = plainText(u"General.Model", u"Model");
  return text;
}

const QString& LocalizedText::General::openEmail() {
  static const QString text = plainText(u"General.openEmail", u"Open Email");
  return text;
}

const QString& LocalizedText::General::openTessra() {
  static const QString text = plainText(u"General.openTessra", u"Open Tessra");
  return text;
}

const QString& LocalizedText::General::prompt() {
  static const QString text = plainText(u"General.prompt", u"Prompt");
  return text;
}

const QString& LocalizedText::General::quit() {
  static const QString text = plainText(u"General.quit", u"Quit");
  return text;
}

const QString& LocalizedText::General::random() {
  static const QString text = plainText(u"General.random", u"Random");
  return text;
}

const QString& LocalizedText::General::rename() {
  static const QString text = plainText(u"General.rename", u"Rename");
  return text;
}

const QString& LocalizedText::General::save() {
  static const QString text = plainText(u"General.save", u"Save");
  return text;
}

const QString& LocalizedText::General::search() {
  static const QString text = plainText(u"General.search", u"Search");
  return text;
}

const QString& LocalizedText::General::sendFeedback() {
  static const QString text = plainText(u"General.sendFeedback", u"Send Feedback");
  return text;
}

const QString& LocalizedText::General::settings() {
  static const QString text = plainText(u"General.settings", u"Settings");
  return text;
}

const QString& LocalizedText::General::share() {
  static const QString text = plainText(u"General.share", u"Share");
  return text;
}

const QString& LocalizedText::General::temperature() {
  static const QString text = plainText(u"General.temperature", u"Temperature");
  return text;
}

const QString& LocalizedText::General::update() {
  static const QString text = plainText(u"General.update", u"Update");
  return text;
}

const QString& LocalizedText::General::updaterTitle() {
  static const QString text = plainText(u"General.updaterTitle", u"A new update is available");
  return text;
}

const QString& LocalizedText::General::version() {
  static const QString text = plainText(u"General.version", u"Version");
  return text;
}

const QString& LocalizedText::Settings::sizeExtraLarge() {
  static const QString text = plainText(u"Settings.sizeExtraLarge", u"Extra Large - 900px");
  return text;
}

const QString& LocalizedText::Settings::sizeExtraSmall() {
  static const QString text = plainText(u"Settings.sizeExtraSmall", u"Extra Small - 500px");
  return text;
}

const QString& LocalizedText::Settings::sizeLarge() {
  static const QString text = plainText(u"Settings.sizeLarge", u"Large - 800px");
  return text;
}

const QString& LocalizedText::Settings::sizeMedium() {
  static const QString text = plainText(u"Settings.sizeMedium", u"Default - 700px");
  return text;
}

const QString& LocalizedText::Settings::sizeSmall() {
  static const QString text = plainText(u"Settings.sizeSmall", u"Small - 600px");
  return text;
}

const QString& LocalizedText::Settings::sizeUltraWide() {
  static const QString text = plainText(u"Settings.sizeUltraWide", u"Ultra Wide - 1000px");
  return text;
}

const QString& LocalizedText::Settings::unimplementedMessage() {
  static const QString text =
      plainText(u"Settings.unimplementedMessage",
                u"We're building something exciting for you! This new feature is currently in the "
                u"works and will be available in future releases. Stay tuned! For the latest "
                u"updates, visit our website.");
  return text;
}

const QString& LocalizedText::Settings::visitOurWebsite() {
  static const QString text = plainText(u"Settings.visitOurWebsite", u"Visit our website");
  return text;
}

const QString& LocalizedText::Settings::aboutDescription() {
  static const QString text = plainText(u"Settings.About.description",
                                        u"Made with care, for conversations one keystroke away.");
  return text;
}

const QString& LocalizedText::Settings::General::appearanceHeader() {
  static const QString text = plainText(u"Settings.General.appearanceHeader", u"Appearance");
  return text;
}

const QString& LocalizedText::Settings::General::language() {
  static const QString text = plainText(u"Settings.General.language", u"Language");
  return text;
}

const QString& LocalizedText::Settings::General::languageDescription() {
  static const QString text =
      plainText(u"Settings.General.languageDescription",
                u"To apply changes in language, please restart the app manually.");
  return text;
}

const QString& LocalizedText::Settings::General::launchAtLogin() {
  static const QString text = plainText(u"Settings.General.launchAtLogin", u"Launch at Login");
  return text;
}

const QString& LocalizedText::Settings::General::openTessra() {
  static const QString text = plainText(u"Settings.General.openTessra", u"Open Tessra");
  return text;
}

const QString& LocalizedText::Settings::General::position() {
  static const QString text = plainText(u"Settings.General.position", u"Position");
  return text;
}

const QString& LocalizedText::Settings::General::shortcutsHeader() {
  static const QString text = plainText(u"Settings.General.shortcutsHeader", u"Shortcuts");
  return text;
}

const QString& LocalizedText::Settings::General::showInMenuBar() {
  static const QString text = plainText(u"Settings.General.showInMenuBar", u"Show in Tray");
  return text;
}

const QString& LocalizedText::Settings::General::showOverlayIcon() {
  static const QString text =
      plainText(u"Settings.General.showOverlayIcon", u"Show Side Icon Overlay");
  return text;
}

const QString& LocalizedText::Settings::General::size() {
  static const QString text = plainText(u"Settings.General.size", u"Size");
  return text;
}

const QString& LocalizedText::Settings::General::soundEffects() {
  static const QString text = plainText(u"Settings.General.soundEffects", u"Sound Effects");
  return text;
}

const QString& LocalizedText::MessagePage::attachment() {
  static const QString text = plainText(u"MessagePage.attachment", u"Attachment");
  return text;
}

const QString& LocalizedText::MessagePage::contextCleared() {
  static const QString text = plainText(u"MessagePage.contextCleared", u"Context cleared");
  return text;
}

const QString& LocalizedText::MessagePage::deleteAction() {
  static const QString text = plainText(u"MessagePage.delete", u"Delete");
  return text;
}

const QString& LocalizedText::MessagePage::error() {
  static const QString text = plainText(u"MessagePage.error", u"Error");
  return text;
}

const QString& LocalizedText::MessagePage::generating() {
  static const QString text = plainText(u"MessagePage.generating", u"Generating…");
  return text;
}

const QString& LocalizedText::MessagePage::loading() {
  static const QString text = plainText(u"MessagePage.loading", u"Loading…");
  return text;
}

const QString& LocalizedText::MessagePage::openInWindow() {
  static const QString text = plainText(u"MessagePage.openInWindow", u"Open in Window");
  return text;
}

const QString& LocalizedText::Settings::General::verticalPadding() {
  static const QString text = plainText(u"Settings.General.verticalPadding", u"Vertical Padding");
  return text;
}

}  // namespace tessra

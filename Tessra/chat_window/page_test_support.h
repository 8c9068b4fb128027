// Helpers the message page's tests and benchmarks share: running a script in the real page and
// waiting for its answer, and waiting for the view to load and to settle.
#pragma once

#include <QString>
#include <QVariant>

#include <string>

#include "Tessra/chat_window/messages_web_view.h"
#include "Tessra/storage/chat_message.h"

namespace tessra::testing {

// The waits below are only nets for a page that never gets there. Eight page tests at once beside
// twice as many busy loops as cores give each renderer a fraction of a core: a browser then starts
// in half a minute, and the largest pages of the tests (thousands of messages, answers of
// megabytes) take a minute and more to render.
//
// The result of `script` run in the page's main world; an invalid value after `timeoutMs`.
QVariant evaluate(QWebEngineView& view, const QString& script, int timeoutMs = 60000);
// True once the page has loaded, defined its functions and run what the view sent on load.
bool waitForPage(MessagesWebView& view, int timeoutMs = 120000);
// True once every script call the view asked for has run.
bool waitIdle(MessagesWebView& view, int timeoutMs = 120000);
// A finished message dated at `seconds` after 2001.
ChatMessage pageMessage(const std::string& id, const std::string& question,
                        const std::string& answer, double seconds = 0);

}  // namespace tessra::testing

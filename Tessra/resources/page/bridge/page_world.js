// Runs in the page's own world of every frame before any of its scripts: the functions through
// which the page asks the program for something, the clipboard and context-menu rules, and the
// page's texts in every language. A message is handed to the channel's world as JSON text in a
// document event; that world forwards only what the top frame posts.
(function () {
  'use strict';

  function postMessage(body) {
    let detail;
    try {
      detail = JSON.stringify(body);
    } catch (error) {
      return;
    }
    document.dispatchEvent(new CustomEvent('tessra-bridge-post', { detail }));
  }

  const handler = Object.freeze({ postMessage });
  Object.defineProperty(window, 'webkit', {
    value: Object.freeze({ messageHandlers: Object.freeze({ handler }) }),
  });

  window.openMessage = (id) => handler.postMessage({ type: 'show_message', id });
  window.openFile = (path) => handler.postMessage({ type: 'open_file', path });
  window.askToDeleteMessage = (id) => handler.postMessage({ type: 'delete_message', id });

  // Only the selection's plain text reaches the clipboard, never its markup.
  document.addEventListener('copy', (event) => {
    event.preventDefault();
    event.clipboardData.setData('text/plain', String(window.getSelection()));
  });
  // The menu offers nothing but Copy, so without a selection there is none.
  document.addEventListener('contextmenu', (event) => {
    if (String(window.getSelection()) === '') event.preventDefault();
  });

  Object.defineProperty(window, 'tessraPageTexts', { value: Object.freeze(/*PAGE_TEXTS*/null) });
})();

// Runs in a world of its own, which page scripts cannot reach: the web channel to the program.
// Only the top frame talks to the program; a message waits until the channel is open.
(function () {
  'use strict';
  if (window.top !== window) return;
  if (typeof qt === 'undefined' || !qt.webChannelTransport) return;

  let handler = null;
  const waiting = [];
  new QWebChannel(qt.webChannelTransport, (channel) => {
    handler = channel.objects.handler;
    for (const body of waiting.splice(0)) handler.postMessage(body);
  });

  document.addEventListener('tessra-bridge-post', (event) => {
    if (typeof event.detail !== 'string') return;
    let body;
    try {
      body = JSON.parse(event.detail);
    } catch (error) {
      return;
    }
    if (handler) {
      handler.postMessage(body);
    } else {
      waiting.push(body);
    }
  });
})();

// The message page: renders the conversation the program hands it, applies its updates, searches
// it, and calls back through the functions the program defines before this script runs
// (window.openMessage, window.openFile, window.askToDeleteMessage).
//
// Messages arrive as Base64 of their UTF-8 JSON. An answer is Markdown, rendered and then
// sanitised; a remote image in it is shown as its link, never loaded. A restore renders what is
// on screen first and the rest in short slices, so a long conversation opens at once.
'use strict';

(function () {
  // Seconds between 1970 and 2001, the epoch of the dates in a message.
  const REFERENCE_DATE_MS = 978307200000;
  // How long one slice of background rendering may take, in milliseconds.
  const SLICE_MS = 8;
  // Auto-detecting the language of a long code block costs more than it is worth.
  const AUTO_HIGHLIGHT_LIMIT = 2000;
  const HIGHLIGHT_CACHE_SIZE = 256;
  const NEAR_BOTTOM_PX = 48;

  const state = {
    texts: {},
    dateLocale: undefined,
    dateFormat: null,
    // id -> { message, element, rendered }, in the order shown.
    entries: new Map(),
    // Ids waiting to be rendered; the next one is taken from the end.
    pending: [],
    // Whether rendering the pending messages must keep the view's distance from the bottom.
    pendingAbove: false,
    sliceTimer: null,
    marks: [],
    markIndex: -1,
  };

  // Read back by tests and benchmarks: how many times a message was rendered and a conversation
  // restored.
  window.pageStats = { renders: 0, restores: 0 };

  marked.setOptions({ gfm: true, breaks: false, headerIds: false, mangle: false });

  const PURIFY_CONFIG = {
    USE_PROFILES: { html: true },
    FORBID_TAGS: ['style', 'form', 'input', 'button', 'textarea', 'select', 'iframe', 'object',
      'embed'],
    FORBID_ATTR: ['style', 'srcset', 'target'],
    ALLOW_DATA_ATTR: false,
    RETURN_DOM_FRAGMENT: true,
  };

  const highlightCache = new Map();

  function messagesRoot() {
    return document.getElementById('messages');
  }

  function element(tag, className, textKey) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    if (textKey) {
      node.dataset.text = textKey;
      node.textContent = text(textKey);
    }
    return node;
  }

  function text(key) {
    const value = state.texts[key];
    return typeof value === 'string' ? value : '';
  }

  function decodeBase64Json(base64) {
    const binary = atob(base64);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
    return JSON.parse(new TextDecoder('utf-8').decode(bytes));
  }

  // --- Rendering ------------------------------------------------------------------------------

  function highlightCode(code) {
    const match = /(?:^|\s)language-([\w+#.-]+)/.exec(code.className);
    const language = match && hljs.getLanguage(match[1]) ? match[1] : null;
    const source = code.textContent;
    if (!language && source.length > AUTO_HIGHLIGHT_LIMIT) return;
    const key = (language || '') + '\u0000' + source;
    let html = highlightCache.get(key);
    if (html === undefined) {
      try {
        html = language ? hljs.highlight(language, source, true).value
          : hljs.highlightAuto(source).value;
      } catch (error) {
        html = null;
      }
      highlightCache.set(key, html);
      if (highlightCache.size > HIGHLIGHT_CACHE_SIZE) {
        highlightCache.delete(highlightCache.keys().next().value);
      }
    }
    if (html === null) return;
    // The highlighter escapes the source; its markup is only spans with classes.
    code.innerHTML = html;
    code.classList.add('hljs');
  }

  // The page may not read file: URLs itself; the program serves the attachment files under a
  // scheme of its own.
  function attachmentSource(url) {
    return /^file:/i.test(url) ? 'tessra-file:' + url.slice('file:'.length) : url;
  }

  function isLocalImage(source) {
    return /^(data:image\/|file:)/i.test(source);
  }

  function remoteImageAsLink(image) {
    const source = image.getAttribute('src') || '';
    const label = image.getAttribute('alt') || source;
    let replacement;
    if (/^https?:/i.test(source)) {
      replacement = document.createElement('a');
      replacement.href = source;
      replacement.className = 'remote-image';
    } else {
      replacement = document.createElement('span');
    }
    replacement.textContent = label;
    image.replaceWith(replacement);
  }

  function renderMarkdown(source) {
    const fragment = DOMPurify.sanitize(marked.parse(source || ''), PURIFY_CONFIG);
    for (const image of fragment.querySelectorAll('img')) {
      const source = image.getAttribute('src') || '';
      if (isLocalImage(source)) {
        image.setAttribute('src', attachmentSource(source));
      } else {
        remoteImageAsLink(image);
      }
    }
    for (const code of fragment.querySelectorAll('pre code')) highlightCode(code);
    return fragment;
  }

  function fileView(file) {
    const view = element('button', 'file file-' + (file.type === 'text' ? 'text' : 'image'));
    view.type = 'button';
    const picture = file.type === 'image' ? (file.thumbnailPath || file.path) : null;
    if (picture) {
      const image = document.createElement('img');
      image.src = attachmentSource(picture);
      image.alt = file.fileName || '';
      view.append(image);
    } else {
      view.append(element('span', 'file-icon'));
      const name = element('span', 'file-name');
      if (file.fileName) {
        name.textContent = file.fileName;
      } else {
        name.dataset.text = 'attachment';
        name.textContent = text('attachment');
      }
      view.append(name);
    }
    if (typeof file.path === 'string' && file.path !== '') {
      view.title = file.fileName || '';
      view.addEventListener('click', () => window.openFile(file.path));
    } else {
      view.disabled = true;
    }
    return view;
  }

  function formatDate(seconds) {
    if (typeof seconds !== 'number' || !isFinite(seconds)) return '';
    if (!state.dateFormat) {
      try {
        state.dateFormat = new Intl.DateTimeFormat(state.dateLocale,
          { dateStyle: 'medium', timeStyle: 'short' });
      } catch (error) {
        state.dateFormat = new Intl.DateTimeFormat(undefined,
          { dateStyle: 'medium', timeStyle: 'short' });
      }
    }
    return state.dateFormat.format(new Date(seconds * 1000 + REFERENCE_DATE_MS));
  }

  function renderMessage(entry) {
    const message = entry.message;
    const article = entry.element;
    article.replaceChildren();
    article.classList.toggle('streaming', !message.finished);
    article.classList.toggle('failed', typeof message.error === 'string');

    const question = element('section', 'question');
    const questionText = element('div', 'question-text');
    questionText.textContent = typeof message.question === 'string' ? message.question : '';
    question.append(questionText);
    if (message.questionFile) {
      const files = element('div', 'files');
      files.append(fileView(message.questionFile));
      question.append(files);
    }
    article.append(question);

    const answer = element('section', 'answer');
    if (Array.isArray(message.functionCalls) && message.functionCalls.length) {
      const calls = element('div', 'calls');
      for (const call of message.functionCalls) {
        const status = ['loading', 'done', 'failed'].includes(call.status) ? call.status : 'failed';
        const line = element('div', 'call call-' + status);
        line.append(element('span', 'call-icon'));
        const label = element('span', 'call-text');
        label.textContent = call.text || '';
        line.append(label);
        calls.append(line);
      }
      answer.append(calls);
    }
    const markdown = element('div', 'markdown');
    markdown.append(renderMarkdown(message.answer));
    answer.append(markdown);
    if (Array.isArray(message.answerFiles) && message.answerFiles.length) {
      const files = element('div', 'files');
      for (const file of message.answerFiles) files.append(fileView(file));
      answer.append(files);
    }
    if (typeof message.error === 'string') {
      const failure = element('div', 'error');
      failure.append(element('span', 'error-label', 'error'));
      const detail = element('span', 'error-text');
      detail.textContent = message.error;
      failure.append(detail);
      answer.append(failure);
    }
    if (!message.finished) answer.append(element('div', 'streaming-indicator', 'generating'));
    article.append(answer);

    const meta = element('footer', 'meta');
    const time = element('time', 'date');
    if (typeof message.createdAt === 'number') {
      time.dataset.seconds = String(message.createdAt);
      time.textContent = formatDate(message.createdAt);
    }
    meta.append(time);
    const open = element('button', 'action open', 'openInWindow');
    open.type = 'button';
    open.addEventListener('click', () => window.openMessage(message.id));
    const remove = element('button', 'action delete', 'delete');
    remove.type = 'button';
    remove.addEventListener('click', () => window.askToDeleteMessage(message.id));
    meta.append(open, remove);
    article.append(meta);

    if (message.endContext) article.append(element('div', 'context-break', 'contextCleared'));

    entry.rendered = true;
    window.pageStats.renders++;
  }

  function newEntry(message) {
    const entry = { message, element: element('article', 'message'), rendered: false };
    state.entries.set(message.id, entry);
    return entry;
  }

  // --- Scrolling and background rendering -----------------------------------------------------

  function scroller() {
    return document.scrollingElement || document.documentElement;
  }

  function isNearBottom() {
    const view = scroller();
    return view.scrollHeight - view.scrollTop - view.clientHeight <= NEAR_BOTTOM_PX;
  }

  function scrollToEnd() {
    const view = scroller();
    view.scrollTop = view.scrollHeight;
  }

  function renderPending(budgetMs) {
    const view = scroller();
    const fromBottom = view.scrollHeight - view.scrollTop;
    const start = performance.now();
    while (state.pending.length && (budgetMs === undefined || performance.now() - start < budgetMs)) {
      const entry = state.entries.get(state.pending.pop());
      if (entry && !entry.rendered) renderMessage(entry);
    }
    if (state.pendingAbove) view.scrollTop = view.scrollHeight - fromBottom;
  }

  function renderSlice() {
    state.sliceTimer = null;
    renderPending(SLICE_MS);
    scheduleSlice();
  }

  function scheduleSlice() {
    if (state.sliceTimer === null && state.pending.length) {
      state.sliceTimer = setTimeout(renderSlice, 0);
    }
  }

  function renderAllPending() {
    if (state.sliceTimer !== null) {
      clearTimeout(state.sliceTimer);
      state.sliceTimer = null;
    }
    renderPending();
  }

  function reset() {
    searchClear();
    if (state.sliceTimer !== null) clearTimeout(state.sliceTimer);
    state.sliceTimer = null;
    state.pending = [];
    state.entries = new Map();
    messagesRoot().replaceChildren();
  }

  // --- Texts ----------------------------------------------------------------------------------

  function applyTexts() {
    for (const node of document.querySelectorAll('[data-text]')) {
      node.textContent = text(node.dataset.text);
    }
    for (const time of document.querySelectorAll('time[data-seconds]')) {
      time.textContent = formatDate(Number(time.dataset.seconds));
    }
  }

  // --- Search ---------------------------------------------------------------------------------

  function selectMark(index) {
    const current = state.marks[state.markIndex];
    if (current) current.classList.remove('current');
    state.markIndex = index;
    const mark = state.marks[index];
    mark.classList.add('current');
    mark.scrollIntoView({ block: 'center' });
  }

  function step(delta) {
    state.marks = state.marks.filter((mark) => mark.isConnected);
    const count = state.marks.length;
    if (!count) return 0;
    const from = Math.min(Math.max(state.markIndex, 0), count - 1);
    selectMark(state.markIndex < 0 ? 0 : (from + delta + count) % count);
    return state.markIndex + 1;
  }

  function searchClear() {
    for (const mark of state.marks) {
      const parent = mark.parentNode;
      if (!parent) continue;
      mark.replaceWith(...mark.childNodes);
      parent.normalize();
    }
    state.marks = [];
    state.markIndex = -1;
  }

  function search(query) {
    searchClear();
    if (typeof query !== 'string' || query === '') return 0;
    renderAllPending();
    const lowerQuery = query.toLowerCase();
    const walker = document.createTreeWalker(messagesRoot(), NodeFilter.SHOW_TEXT, {
      acceptNode: (node) => node.parentElement.closest('.meta')
        ? NodeFilter.FILTER_REJECT : NodeFilter.FILTER_ACCEPT,
    });
    const nodes = [];
    while (walker.nextNode()) nodes.push(walker.currentNode);
    for (const node of nodes) {
      const lower = node.data.toLowerCase();
      // Lower-casing may change a text's length; such a text is searched as it stands.
      const sameLength = lower.length === node.data.length;
      const haystack = sameLength ? lower : node.data;
      const needle = sameLength ? lowerQuery : query;
      const starts = [];
      for (let at = haystack.indexOf(needle); at !== -1; at = haystack.indexOf(needle, at + needle.length)) {
        starts.push(at);
      }
      const marks = [];
      for (let k = starts.length - 1; k >= 0; k--) {
        const match = node.splitText(starts[k]);
        match.splitText(needle.length);
        const mark = element('mark', 'search-hit');
        match.replaceWith(mark);
        mark.append(match);
        marks.unshift(mark);
      }
      state.marks.push(...marks);
    }
    if (state.marks.length) selectMark(0);
    return state.marks.length;
  }

  // --- What the program calls -----------------------------------------------------------------

  window.setLocale = function (code) {
    const table = window.tessraPageTexts || {};
    state.texts = table[code] || table.system || table.en || {};
    state.dateLocale = code === 'system' ? table.systemTag : code;
    state.dateFormat = null;
    document.documentElement.lang = state.dateLocale || 'en';
    applyTexts();
  };

  window.showLoading = function (shown) {
    document.getElementById('loading').hidden = !shown;
  };

  window.restoreMessages = function (base64, toEnd) {
    window.showLoading(false);
    window.pageStats.restores++;
    const session = decodeBase64Json(base64);
    reset();
    const messages = Array.isArray(session.messages) ? session.messages : [];
    const fragment = document.createDocumentFragment();
    const entries = [];
    for (const message of messages) {
      const entry = newEntry(message);
      entries.push(entry);
      fragment.append(entry.element);
    }
    messagesRoot().append(fragment);

    // What shows first is rendered now: the end when scrolling to it, else the start.
    const screenful = window.innerHeight * 1.5;
    let filled = 0;
    if (toEnd) {
      let i = entries.length - 1;
      for (; i >= 0 && filled < screenful; i--) {
        renderMessage(entries[i]);
        filled += entries[i].element.offsetHeight;
      }
      state.pending = entries.slice(0, i + 1).map((entry) => entry.message.id);
      state.pendingAbove = true;
      scrollToEnd();
    } else {
      let i = 0;
      for (; i < entries.length && filled < screenful; i++) {
        renderMessage(entries[i]);
        filled += entries[i].element.offsetHeight;
      }
      state.pending = entries.slice(i).map((entry) => entry.message.id).reverse();
      state.pendingAbove = false;
    }
    scheduleSlice();
  };

  window.appendMessage = function (base64) {
    const message = decodeBase64Json(base64);
    if (state.entries.has(message.id)) {
      window.editMessage(base64);
      return;
    }
    const entry = newEntry(message);
    messagesRoot().append(entry.element);
    renderMessage(entry);
    scrollToEnd();
  };

  window.editMessage = function (base64) {
    const message = decodeBase64Json(base64);
    const entry = state.entries.get(message.id);
    if (!entry) return;
    const follow = isNearBottom();
    entry.message = message;
    renderMessage(entry);
    if (follow) scrollToEnd();
  };

  window.deleteMessageById = function (id) {
    const entry = state.entries.get(id);
    if (!entry) return;
    entry.element.remove();
    state.entries.delete(id);
  };

  window.scrollToMessageById = function (id) {
    const entry = state.entries.get(id);
    if (!entry) return;
    renderAllPending();
    entry.element.scrollIntoView({ block: 'start' });
  };

  window.clearMessages = function () {
    reset();
  };

  window.search = search;
  window.searchClear = searchClear;
  window.searchNext = () => step(1);
  window.searchPrevious = () => step(-1);
})();

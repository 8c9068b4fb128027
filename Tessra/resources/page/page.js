// The message page: renders the conversation the program hands it, applies its updates, searches
// it, and calls back through the functions the program defines before this script runs
// (window.openMessage, window.openFile, window.askToDeleteMessage).
//
// Messages arrive as Base64 of their UTF-8 JSON. An answer is Markdown, rendered block by block
// and then sanitised; a remote image in it is shown as its link, never loaded. An answer takes
// none of the page's ids, names or classes and draws only inside its own box. What a page costs
// follows what it shows:
// - A conversation opens with what is on screen rendered at once; the other messages wait, as
//   boxes of about their height, until they come near the visible area.
// - A growing answer comes as its new end (window.appendToAnswer) and is split again and
//   rendered only from its last block on (all of it again when its link definitions change), so
//   a piece costs the same however long the answer has grown; an open code fence shows as the
//   code block it will become, highlighted once it closes or the answer ends.
// - A finished answer is rendered once and kept, also for the next time its conversation opens.
// - Input no reader writes cannot stall the page: a block nested deeper than MAX_NESTING or with
//   a line longer than BLOCK_LIMIT shows as its text, an answer shows as Markdown only for its
//   first MARKDOWN_LIMIT characters and as text after, and a message that fails to render shows
//   as text without stopping the others.
'use strict';

(function () {
  // Seconds between 1970 and 2001, the epoch of the dates in a message.
  const REFERENCE_DATE_MS = 978307200000;
  // Auto-detecting the language of a long code block costs more than it is worth, and so does
  // highlighting a very long one of a named language.
  const AUTO_HIGHLIGHT_LIMIT = 2000;
  const HIGHLIGHT_LIMIT = 64 * 1024;
  const NEAR_BOTTOM_PX = 48;
  // The Markdown parser's cost grows faster than the length of a block and its stack with the
  // nesting: blocks are cut to about this size, and deeper nesting is no answer a person reads.
  const BLOCK_LIMIT = 4 * 1024;
  const MAX_NESTING = 16;
  const MAX_INDENT_COLUMNS = 64;
  const MARKDOWN_LIMIT = 64 * 1024;
  // Finished answers kept rendered for conversations opened again.
  const RENDERED_ANSWERS = 400;
  // How far beyond the visible area waiting messages are rendered, above and below, in screens.
  const RENDER_AHEAD_SCREENS = 1.5;
  const NOTICE_MS = 5000;
  const GROWTH_QUIET_MS = 1000;

  const FENCE = /^[ \t]*(`{3,}|~{3,})(.*)$/;
  const BLANK = /^[ \t]*$/;
  const LINK_DEFINITION = /^ {0,3}\[[^\]]+\]:[ \t]*\S/;
  // What a search ignores in a message's source when it picks the messages to render: the marks
  // of emphasis and code, which the rendered text does not show.
  const MARKUP = /[*_`~\\]/g;

  const state = {
    texts: {},
    dateLocale: undefined,
    dateFormat: null,
    // id -> entry, in the order shown; see newEntry.
    entries: new Map(),
    // Whether the end stays in view whatever changes: on when a conversation opens at its end or
    // a message is added, off once the user scrolls away from the end, on when they come back.
    followEnd: true,
    // Where the view was at the end when the page last put it there, until the next scroll event:
    // an event that finds the view there was raised before, by the page or by messages that
    // changed, and says nothing of where the user wants to be (the messages may have grown since).
    endScrollTop: null,
    marks: [],
    markIndex: -1,
    noticeTimer: null,
  };

  // Read back by tests and benchmarks: how many messages and Markdown blocks were rendered, and
  // how many conversations restored.
  window.pageStats = { renders: 0, blocks: 0, restores: 0 };

  marked.setOptions({ gfm: true, breaks: false, headerIds: false, mangle: false });

  // An answer keeps no id, name or class of its own: the page finds its nodes and styles them by
  // these, and an answer must not take them (a "notice" of its own, a "loading" cover over the
  // transcript). The one class kept is the language the Markdown renderer gives a code block.
  const PURIFY_CONFIG = {
    USE_PROFILES: { html: true },
    FORBID_TAGS: ['style', 'form', 'input', 'button', 'textarea', 'select', 'iframe', 'object',
      'embed', 'dialog'],
    FORBID_ATTR: ['style', 'srcset', 'target', 'id', 'name'],
    ALLOW_DATA_ATTR: false,
    RETURN_DOM_FRAGMENT: true,
  };
  const CODE_LANGUAGE = /^language-[\w+#.-]+$/;
  DOMPurify.addHook('uponSanitizeAttribute', (node, data) => {
    if (data.attrName !== 'class') return;
    const kept = node.nodeName === 'CODE'
      ? data.attrValue.split(/\s+/).filter((name) => CODE_LANGUAGE.test(name)) : [];
    data.attrValue = kept.join(' ');
    data.keepAttr = kept.length > 0;
  });
  // Set once: a configuration handed to each call is read anew by every call, which costs an
  // answer that renders block by block a good part of its sanitizing.
  DOMPurify.setConfig(PURIFY_CONFIG);

  // The page's own nodes, found before any answer is shown.
  const pageNodes = {
    messages: document.getElementById('messages'),
    loading: document.getElementById('loading'),
    notice: document.getElementById('notice'),
  };

  // Message id -> { answer, view }: finished answers as rendered, least recently used first.
  const renderedAnswers = new Map();
  // Article -> entry, for the messages that wait to be rendered.
  const waitingEntries = new WeakMap();

  function messagesRoot() {
    return pageNodes.messages;
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

  function stringOr(value, fallback) {
    return typeof value === 'string' ? value : fallback;
  }

  function decodeBase64Json(base64) {
    const binary = atob(base64);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
    return JSON.parse(new TextDecoder('utf-8').decode(bytes));
  }

  // --- Markdown, block by block ---------------------------------------------------------------

  // Whether a line opens its block deeper than a reader follows: the quote and list markers it
  // starts with, or the columns it is indented by.
  function nestsTooDeep(line) {
    let depth = 0;
    let columns = 0;
    for (let i = 0; i < line.length;) {
      const c = line[i];
      if (c === ' ' || c === '\t') {
        columns += c === '\t' ? 4 : 1;
        i++;
      } else if (c === '>') {
        depth++;
        i++;
      } else if ((c === '*' || c === '-' || c === '+') && /^[ \t]?$/.test(line[i + 1] || '')) {
        depth++;
        i++;
      } else {
        const item = /^\d{1,9}[.)](?=[ \t]|$)/.exec(line.slice(i, i + 11));
        if (!item) break;
        depth++;
        i += item[0].length;
      }
      if (depth > MAX_NESTING || columns > MAX_INDENT_COLUMNS) return true;
    }
    return false;
  }

  function closesFence(line, fence) {
    const trimmed = line.trim();
    return trimmed.length >= fence.marker.length &&
      trimmed === fence.marker[0].repeat(trimmed.length);
  }

  // Where a split starts: the offset of a line that begins a block, the number of blocks above it
  // and the link definitions above it. Nothing below such a line changes what is above it, so a
  // growing answer is split again only from its last block on.
  const SPLIT_START = { offset: 0, blocks: 0, definitions: [] };

  // Cuts Markdown into blocks that render alone, in order: at a blank line followed by a line at
  // the margin (so a list item's later paragraphs stay with it), never inside a code fence, and
  // before a line that would grow a block past BLOCK_LIMIT. Starts at `from` (a `resume` of an
  // earlier split of the same text up to there). Returns the blocks from there on
  // ({ source, plain }), the line that closes the fence left open at the end ('' for none), the
  // link definitions of the whole text, which every block needs, and where the last block begins.
  function splitMarkdown(markdown, from = SPLIT_START) {
    const blocks = [];
    const definitions = from.definitions.slice();
    let lines = [];
    let size = 0;
    let plain = false;
    let fence = null;
    let afterBlank = false;
    let last = { offset: from.offset, blocks: from.blocks, definitions: definitions.length };
    const finish = () => {
      while (lines.length && BLANK.test(lines[lines.length - 1])) lines.pop();
      if (lines.length) blocks.push({ source: lines.join('\n'), plain });
      lines = [];
      size = 0;
      plain = false;
    };
    const beginsBlock = (offset) => {
      last = { offset, blocks: from.blocks + blocks.length, definitions: definitions.length };
    };
    for (let offset = from.offset; offset <= markdown.length;) {
      let lineEnd = markdown.indexOf('\n', offset);
      if (lineEnd === -1) lineEnd = markdown.length;
      const line = markdown.slice(offset, lineEnd);
      const lineStart = offset;
      offset = lineEnd + 1;
      if (fence) {
        lines.push(line);
        if (closesFence(line, fence)) fence = null;
        continue;
      }
      const blank = BLANK.test(line);
      if (!blank && ((afterBlank && !/^[ \t]/.test(line)) || size + line.length > BLOCK_LIMIT)) {
        finish();
      }
      afterBlank = blank;
      if (line.length > BLOCK_LIMIT) {
        finish();
        beginsBlock(lineStart);
        blocks.push({ source: line, plain: true });
        continue;
      }
      if (!lines.length) beginsBlock(lineStart);
      if (nestsTooDeep(line)) plain = true;
      const opener = FENCE.exec(line);
      // A backtick fence's info string holds no backtick; else it is inline code.
      if (opener && !(opener[1][0] === '`' && opener[2].includes('`'))) {
        fence = { marker: opener[1], indent: /^[ \t]*/.exec(line)[0] };
      }
      if (LINK_DEFINITION.test(line)) definitions.push(line);
      lines.push(line);
      size += line.length + 1;
    }
    finish();
    return {
      blocks,
      closingFence: fence ? fence.indent + fence.marker : '',
      definitions: definitions.join('\n'),
      resume: {
        offset: last.offset,
        blocks: last.blocks,
        definitions: definitions.slice(0, last.definitions),
      },
    };
  }

  function highlightCode(code) {
    const match = /(?:^|\s)language-([\w+#.-]+)/.exec(code.className);
    const language = match && hljs.getLanguage(match[1]) ? match[1] : null;
    const source = code.textContent;
    if (source.length > (language ? HIGHLIGHT_LIMIT : AUTO_HIGHLIGHT_LIMIT)) return;
    let html;
    try {
      html = language ? hljs.highlight(language, source, true).value
        : hljs.highlightAuto(source).value;
    } catch (error) {
      return;
    }
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

  function renderMarkdown(source, highlight) {
    const fragment = DOMPurify.sanitize(marked.parse(source));
    for (const image of fragment.querySelectorAll('img')) {
      const source = image.getAttribute('src') || '';
      if (isLocalImage(source)) {
        image.setAttribute('src', attachmentSource(source));
      } else {
        remoteImageAsLink(image);
      }
    }
    if (highlight) {
      for (const code of fragment.querySelectorAll('pre code')) highlightCode(code);
    }
    return fragment;
  }

  function plainBlock(source) {
    const node = element('div', 'block plain');
    node.textContent = source;
    return node;
  }

  function renderBlock(source, plain, highlight) {
    window.pageStats.blocks++;
    if (plain) return plainBlock(source);
    try {
      const node = element('div', 'block');
      node.append(renderMarkdown(source, highlight));
      return node;
    } catch (error) {
      return plainBlock(source);
    }
  }

  // The rendered answer of one message: its blocks as rendered ({ text, source, plain,
  // unhighlighted, node }: the block's own text, the source rendered, with the definitions and a
  // closing fence, and whether it is a code block still being written, shown unhighlighted),
  // the Markdown they came from, where its split starts again and the definitions they were
  // rendered with, and the text shown after the Markdown part, with its node (see fillRest).
  let answerViews = 0;
  function newAnswerView() {
    return {
      serial: ++answerViews,
      root: element('div', 'markdown'),
      blocks: [],
      markdown: '',
      resume: null,
      definitions: '',
      rest: '',
      restNode: null,
      // Where the last piece of the text after the Markdown part starts.
      restOpen: 0,
    };
  }

  // Where a long answer's Markdown part ends: at a line's end, on a whole character.
  function markdownEnd(answer) {
    if (answer.length <= MARKDOWN_LIMIT) return answer.length;
    const lineEnd = answer.lastIndexOf('\n', MARKDOWN_LIMIT);
    if (lineEnd > 0) return lineEnd + 1;
    const code = answer.charCodeAt(MARKDOWN_LIMIT - 1);
    return code >= 0xd800 && code <= 0xdbff ? MARKDOWN_LIMIT - 1 : MARKDOWN_LIMIT;
  }

  // Brings the view to `answer`, rendering only the blocks whose source changed. `grown` says that
  // `answer` continues the answer the view shows; else that is checked, and the split starts
  // again from the view's last block only while what is above it stayed the same. While the
  // answer is `streaming`, a code block whose fence is still open is shown unhighlighted:
  // highlighting it again for every piece would cost the most of a piece, and it is highlighted
  // once its fence closes or the answer ends.
  function updateAnswer(view, answer, grown, streaming) {
    const end = markdownEnd(answer);
    const markdown = answer.slice(0, end);
    const resumes = view.resume && markdown.length >= view.resume.offset &&
      (grown || markdown.startsWith(view.markdown.slice(0, view.resume.offset)));
    const from = resumes ? view.resume : SPLIT_START;
    const split = splitMarkdown(markdown, from);
    const count = from.blocks + split.blocks.length;
    // A new definition may change any block: then every block is compared again.
    const first = split.definitions === view.definitions ? from.blocks : 0;
    for (let index = first; index < count; index++) {
      const block = index < from.blocks ? view.blocks[index] : split.blocks[index - from.blocks];
      const text = index < from.blocks ? block.text : block.source;
      let source = text;
      const open = Boolean(split.closingFence) && index === count - 1;
      if (open) source += '\n' + split.closingFence;
      if (split.definitions && !block.plain) source += '\n\n' + split.definitions;
      const unhighlighted = open && streaming;
      const shown = view.blocks[index];
      if (shown && shown.source === source && shown.plain === block.plain &&
        shown.unhighlighted === unhighlighted) {
        shown.text = text;
        continue;
      }
      const node = renderBlock(source, block.plain, !unhighlighted);
      if (shown) {
        shown.node.replaceWith(node);
      } else {
        view.root.insertBefore(node, view.restNode);
      }
      view.blocks[index] = { text, source, plain: block.plain, unhighlighted, node };
    }
    for (const block of view.blocks.splice(count)) block.node.remove();
    view.markdown = markdown;
    view.resume = split.resume;
    view.definitions = split.definitions;

    const rest = answer.slice(end);
    const restGrows = view.restNode && rest.startsWith(view.rest);
    if (!restGrows) {
      if (view.restNode) view.restNode.remove();
      view.restNode = rest ? element('div', 'block plain') : null;
      view.restOpen = 0;
      if (view.restNode) view.root.append(view.restNode);
    }
    if (view.restNode && (!restGrows || rest.length > view.rest.length)) fillRest(view, rest);
    view.rest = rest;
  }

  // Shows the text after the Markdown part from its open piece on. The text is cut into pieces
  // of at most BLOCK_LIMIT, each ending where a line ends when one does (that line break is the
  // pieces' border), so that a growing text lays out again only its last piece. The cuts depend
  // only on the text before them: a streamed text is cut as the same text shown at once.
  function fillRest(view, rest) {
    const root = view.restNode;
    if (root.lastChild) root.lastChild.remove();
    for (let start = view.restOpen; ;) {
      let end = rest.length;
      let next = end;
      if (end - start > BLOCK_LIMIT) {
        const lineEnd = rest.lastIndexOf('\n', start + BLOCK_LIMIT);
        if (lineEnd >= start) {
          end = lineEnd;
          next = lineEnd + 1;
        } else {
          const code = rest.charCodeAt(start + BLOCK_LIMIT - 1);
          end = code >= 0xd800 && code <= 0xdbff ? start + BLOCK_LIMIT - 1 : start + BLOCK_LIMIT;
          next = end;
        }
      }
      const piece = document.createElement('div');
      piece.textContent = rest.slice(start, end);
      root.append(piece);
      if (end === rest.length) {
        view.restOpen = start;
        return;
      }
      start = next;
    }
  }

  // The rendered answer for a message: kept from an earlier showing when it is finished and the
  // same, else brought up to date from what it showed before.
  function answerViewFor(entry) {
    const message = entry.message;
    const answer = stringOr(message.answer, '');
    const grown = entry.answerGrew && entry.answer !== null;
    entry.answerGrew = false;
    const kept = renderedAnswers.get(message.id);
    if (!entry.answer && kept && kept.answer === answer && !kept.view.root.isConnected) {
      entry.answer = kept.view;
    }
    if (!entry.answer) entry.answer = newAnswerView();
    updateAnswer(entry.answer, answer, grown, !message.finished);
    renderedAnswers.delete(message.id);
    if (message.finished) {
      renderedAnswers.set(message.id, { answer, view: entry.answer });
      if (renderedAnswers.size > RENDERED_ANSWERS) {
        renderedAnswers.delete(renderedAnswers.keys().next().value);
      }
    }
    return entry.answer.root;
  }

  // --- Messages -------------------------------------------------------------------------------

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

  function callsView(calls) {
    const view = element('div', 'calls');
    for (const call of calls) {
      const status = ['loading', 'done', 'failed'].includes(call.status) ? call.status : 'failed';
      const line = element('div', 'call call-' + status);
      line.append(element('span', 'call-icon'));
      const label = element('span', 'call-text');
      label.textContent = stringOr(call.text, '');
      line.append(label);
      view.append(line);
    }
    return view;
  }

  function metaView(message) {
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
    return meta;
  }

  function questionView(message) {
    const question = element('section', 'question');
    const questionText = element('div', 'question-text');
    questionText.textContent = stringOr(message.question, '');
    question.append(questionText);
    if (message.questionFile) {
      const files = element('div', 'files');
      files.append(fileView(message.questionFile));
      question.append(files);
    }
    return question;
  }

  function filesView(files) {
    const view = element('div', 'files');
    for (const file of files) view.append(fileView(file));
    return view;
  }

  function errorView(error) {
    const failure = element('div', 'error');
    failure.append(element('span', 'error-label', 'error'));
    const detail = element('span', 'error-text');
    detail.textContent = error;
    failure.append(detail);
    return failure;
  }

  // Brings `parent`'s children to `parts` ({ name, data, build } in order, data undefined for a
  // part that is absent), rebuilding only the parts whose data changed: an edit of a growing
  // answer then touches nothing but what grew, and the page repaints only that.
  function syncParts(parent, shown, parts) {
    let next = parent.firstChild;
    for (const part of parts) {
      const key = part.data === undefined ? undefined : JSON.stringify(part.data);
      const old = shown.get(part.name);
      if (old && old.key === key) {
        next = old.node.nextSibling;
        continue;
      }
      if (old) {
        if (old.node === next) next = next.nextSibling;
        old.node.remove();
      }
      shown.delete(part.name);
      if (key === undefined) continue;
      const node = part.build();
      parent.insertBefore(node, next);
      shown.set(part.name, { key, node });
    }
  }

  function buildMessage(entry) {
    const message = entry.message;
    const article = entry.element;
    article.classList.toggle('streaming', !message.finished);
    if (message.finished) {
      clearTimeout(entry.growthTimer);
      article.classList.remove('growing');
    }
    article.classList.toggle('failed', typeof message.error === 'string');
    if (!entry.parts) {
      entry.parts = { article: new Map(), answer: new Map() };
      article.replaceChildren();
    }
    const calls = Array.isArray(message.functionCalls) && message.functionCalls.length
      ? message.functionCalls : undefined;
    const files = Array.isArray(message.answerFiles) && message.answerFiles.length
      ? message.answerFiles : undefined;
    const error = typeof message.error === 'string' ? message.error : undefined;
    const markdown = answerViewFor(entry);

    const answer = entry.parts.article.get('answer');
    const answerNode = answer ? answer.node : element('section', 'answer');
    syncParts(answerNode, entry.parts.answer, [
      { name: 'calls', data: calls, build: () => callsView(calls) },
      { name: 'markdown', data: entry.answer.serial, build: () => markdown },
      { name: 'files', data: files, build: () => filesView(files) },
      { name: 'error', data: error, build: () => errorView(error) },
      {
        name: 'indicator',
        data: message.finished ? undefined : true,
        build: () => element('div', 'streaming-indicator', 'generating'),
      },
    ]);
    syncParts(article, entry.parts.article, [
      {
        name: 'question',
        data: [message.question, message.questionFile],
        build: () => questionView(message),
      },
      { name: 'answer', data: true, build: () => answerNode },
      { name: 'meta', data: [message.id, message.createdAt], build: () => metaView(message) },
      {
        name: 'context',
        data: message.endContext ? true : undefined,
        build: () => element('div', 'context-break', 'contextCleared'),
      },
    ]);
  }

  // A message that cannot be rendered shows its question and answer as text.
  function buildPlainMessage(entry) {
    entry.answer = null;
    entry.parts = null;
    const question = element('section', 'question');
    const questionText = element('div', 'question-text');
    questionText.textContent = stringOr(entry.message.question, '');
    question.append(questionText);
    const answer = element('section', 'answer');
    const markdown = element('div', 'markdown');
    markdown.append(plainBlock(stringOr(entry.message.answer, '')));
    answer.append(markdown);
    entry.element.replaceChildren(question, answer);
  }

  function renderMessage(entry) {
    if (!entry.rendered) {
      waitingObserver.unobserve(entry.element);
      waitingEntries.delete(entry.element);
      entry.element.classList.remove('waiting');
      entry.element.style.removeProperty('height');
      entry.rendered = true;
    }
    try {
      buildMessage(entry);
    } catch (error) {
      buildPlainMessage(entry);
    }
    window.pageStats.renders++;
  }

  function newEntry(message) {
    const entry = {
      message,
      element: element('article', 'message'),
      rendered: false,
      answer: null,
      // Whether the answer only grew since its view last showed it.
      answerGrew: false,
      growthTimer: null,
      parts: null,
    };
    state.entries.set(message.id, entry);
    return entry;
  }

  // --- Messages that wait until they come near ------------------------------------------------

  // About the height a message will have, so that the scroll bar is right before it renders.
  function estimatedHeight(message, width) {
    const charactersPerLine = Math.max(width, 200) / 7.5;
    let lines = 0;
    for (const value of [message.question, message.answer]) {
      const source = stringOr(value, '');
      let breaks = 0;
      for (let at = source.indexOf('\n'); at !== -1; at = source.indexOf('\n', at + 1)) breaks++;
      lines += breaks + 1 + source.length / charactersPerLine;
    }
    return Math.round(80 + lines * 21);
  }

  const waitingObserver = new IntersectionObserver((records) => {
    for (const record of records) {
      const entry = record.isIntersecting && waitingEntries.get(record.target);
      if (entry) renderMessage(entry);
    }
    keepEnd();
  }, { rootMargin: `${RENDER_AHEAD_SCREENS * 100}% 0px` });

  function waitToRender(entry, width) {
    entry.element.classList.add('waiting');
    entry.element.style.height = estimatedHeight(entry.message, width) + 'px';
    waitingEntries.set(entry.element, entry);
    waitingObserver.observe(entry.element);
  }

  function renderWaiting(filter) {
    for (const entry of state.entries.values()) {
      if (!entry.rendered && (!filter || filter(entry.message))) renderMessage(entry);
    }
  }

  // --- Scrolling ------------------------------------------------------------------------------

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
    state.endScrollTop = view.scrollTop;
  }

  function setFollowEnd(follow) {
    state.followEnd = follow;
    // The browser keeps what is at the top of the view in place as messages above it change
    // height; while the end is followed that would only move the view away from the end first.
    document.documentElement.classList.toggle('following-end', follow);
  }

  // Whatever changes the messages or the view (an answer, an image that loaded, a message
  // rendered late, a new size) keeps the end in view while it is followed. The page's own changes
  // put the view back at once: one that shrinks the messages moves the view, and the event of
  // that move, coming later, must find it where the page put it.
  function keepEnd() {
    if (state.followEnd) scrollToEnd();
  }
  new ResizeObserver(keepEnd).observe(messagesRoot());
  window.addEventListener('resize', keepEnd);

  document.addEventListener('scroll', () => {
    const own = scroller().scrollTop === state.endScrollTop;
    state.endScrollTop = null;
    if (!own) setFollowEnd(isNearBottom());
  }, { passive: true });

  // Scrolls `node` into view, placed as `block` says. A waiting message only holds about its
  // height, and those near the view render as it arrives: the message holding the node and those
  // near it are rendered first, so that nothing above the node changes its height once the view
  // is there.
  function scrollIntoViewSettled(node, block) {
    let article = node;
    while (article && article.parentNode !== messagesRoot()) article = article.parentNode;
    const entries = [...state.entries.values()];
    const at = entries.findIndex((entry) => entry.element === article);
    if (at >= 0) {
      if (!entries[at].rendered) renderMessage(entries[at]);
      // Beyond the message: the screen the view may show of it and the distance rendered ahead.
      const distance = window.innerHeight * (1 + RENDER_AHEAD_SCREENS);
      for (const direction of [-1, 1]) {
        let covered = 0;
        for (let i = at + direction; i >= 0 && i < entries.length && covered < distance;
          i += direction) {
          if (!entries[i].rendered) renderMessage(entries[i]);
          covered += entries[i].element.offsetHeight;
        }
      }
    }
    node.scrollIntoView({ block });
  }

  function reset() {
    searchClear();
    waitingObserver.disconnect();
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

  function withoutMarkup(value) {
    return value.toLowerCase().replace(MARKUP, '');
  }

  // Whether a message that waits may show the query once rendered, judged from its source.
  function mayMatch(message, query) {
    const sources = [message.question, message.answer, message.error];
    for (const file of [message.questionFile, ...(message.answerFiles || [])]) {
      if (file) sources.push(file.fileName, text('attachment'));
    }
    for (const call of message.functionCalls || []) sources.push(call && call.text);
    if (typeof message.error === 'string') sources.push(text('error'));
    if (!message.finished) sources.push(text('generating'));
    if (message.endContext) sources.push(text('contextCleared'));
    return sources.some((value) => typeof value === 'string' && withoutMarkup(value).includes(query));
  }

  function selectMark(index) {
    const current = state.marks[state.markIndex];
    if (current) current.classList.remove('current');
    state.markIndex = index;
    const mark = state.marks[index];
    mark.classList.add('current');
    scrollIntoViewSettled(mark, 'center');
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
    const sourceQuery = withoutMarkup(query);
    renderWaiting((message) => mayMatch(message, sourceQuery));
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

  window.setAnimationsEnabled = function (enabled) {
    document.documentElement.classList.toggle('no-animations', !enabled);
  };

  window.showLoading = function (shown) {
    pageNodes.loading.hidden = !shown;
  };

  window.showNotice = function (key) {
    const notice = pageNodes.notice;
    notice.dataset.text = key;
    notice.textContent = text(key);
    notice.hidden = false;
    clearTimeout(state.noticeTimer);
    state.noticeTimer = setTimeout(() => { notice.hidden = true; }, NOTICE_MS);
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
      if (!message || typeof message !== 'object') continue;
      const entry = newEntry(message);
      entries.push(entry);
      fragment.append(entry.element);
    }
    messagesRoot().append(fragment);

    // What shows first is rendered now, the end when scrolling to it, else the start; the rest
    // waits until it comes near.
    const order = toEnd ? [...entries].reverse() : entries;
    const screenful = window.innerHeight * 1.5;
    const width = messagesRoot().clientWidth;
    let filled = 0;
    for (const entry of order) {
      if (filled < screenful) {
        renderMessage(entry);
        filled += entry.element.offsetHeight;
      } else {
        waitToRender(entry, width);
      }
    }
    setFollowEnd(Boolean(toEnd));
    if (toEnd) {
      scrollToEnd();
    } else {
      scroller().scrollTop = 0;
    }
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
    setFollowEnd(true);
    scrollToEnd();
  };

  window.editMessage = function (base64) {
    const message = decodeBase64Json(base64);
    const entry = state.entries.get(message.id);
    if (!entry) return;
    entry.message = message;
    if (entry.rendered) {
      renderMessage(entry);
    } else {
      entry.element.style.height = estimatedHeight(message, messagesRoot().clientWidth) + 'px';
    }
    keepEnd();
  };

  // While the pieces of an answer keep coming, its text shows that it grows: the indicator's
  // pulse holds, so that the page draws a frame per piece and not one more for each step of the
  // pulse. It pulses again once no piece came for GROWTH_QUIET_MS.
  function holdPulse(entry) {
    entry.element.classList.add('growing');
    clearTimeout(entry.growthTimer);
    entry.growthTimer = setTimeout(() => entry.element.classList.remove('growing'),
      GROWTH_QUIET_MS);
  }

  // A streamed answer's new end: the message is the one shown, with `text` added to its answer.
  window.appendToAnswer = function (id, text) {
    const entry = state.entries.get(id);
    if (!entry || typeof text !== 'string') return;
    entry.message.answer = stringOr(entry.message.answer, '') + text;
    if (entry.rendered) {
      entry.answerGrew = true;
      renderMessage(entry);
      if (!entry.message.finished) holdPulse(entry);
    } else {
      entry.element.style.height =
        estimatedHeight(entry.message, messagesRoot().clientWidth) + 'px';
    }
    keepEnd();
  };

  window.deleteMessageById = function (id) {
    const entry = state.entries.get(id);
    if (!entry) return;
    waitingObserver.unobserve(entry.element);
    entry.element.remove();
    state.entries.delete(id);
    keepEnd();
  };

  window.scrollToMessageById = function (id) {
    const entry = state.entries.get(id);
    if (!entry) return;
    setFollowEnd(false);
    scrollIntoViewSettled(entry.element, 'start');
  };

  window.clearMessages = function () {
    reset();
  };

  window.search = search;
  window.searchClear = searchClear;
  window.searchNext = () => step(1);
  window.searchPrevious = () => step(-1);
})();

// Brings the page up to date in place: the nodes of one element between two of its children (or
// its ends) become what the browser's own parser makes of their new source in that element,
// which is what a load of the whole page makes of them when the program's reading of the source
// says so (PagePatch) and what is checked here holds. Runs in the program's own script world,
// after morphdom; answers [first, removed, ...names] of the elements, or why it could not.

const quorvaneXhtml = 'http://www.w3.org/1999/xhtml';

// Start tags that close a <p> left open around them.
const quorvaneClosesP = new Set(['address', 'article', 'aside', 'blockquote', 'center', 'details',
  'dialog', 'dir', 'div', 'dl', 'fieldset', 'figcaption', 'figure', 'footer', 'header', 'hgroup',
  'main', 'menu', 'nav', 'ol', 'p', 'search', 'section', 'summary', 'ul', 'h1', 'h2', 'h3', 'h4',
  'h5', 'h6', 'pre', 'listing', 'hr', 'xmp', 'li', 'dd', 'dt']);
// Start tags that end svg or math around them.
const quorvaneBreaksOut = new Set(['b', 'big', 'blockquote', 'body', 'br', 'center', 'code', 'dd',
  'div', 'dl', 'dt', 'em', 'embed', 'h1', 'h2', 'h3', 'h4', 'h5', 'h6', 'head', 'hr', 'i', 'img',
  'li', 'listing', 'menu', 'meta', 'nobr', 'ol', 'p', 'pre', 'ruby', 's', 'small', 'span',
  'strong', 'strike', 'sub', 'sup', 'table', 'tt', 'u', 'ul', 'var', 'font']);
const quorvaneFormatting = new Set(['a', 'b', 'big', 'code', 'em', 'font', 'i', 'nobr', 's',
  'small', 'strike', 'strong', 'tt', 'u']);
// Elements in which the parser reads content by rules other than a body's.
const quorvaneOwnRules = new Set(['table', 'tbody', 'thead', 'tfoot', 'tr', 'colgroup', 'select',
  'optgroup', 'option', 'html', 'head', 'frameset', 'template', 'textarea', 'title', 'style',
  'script', 'noscript', 'iframe', 'xmp', 'noembed', 'noframes', 'plaintext']);
// Closed without a word by an end tag of an element around them.
const quorvaneImplied = new Set(['dd', 'dt', 'li', 'optgroup', 'option', 'p', 'rb', 'rp', 'rt',
  'rtc']);
// Where the parser stops looking up for an open <p>, <li> and the like.
const quorvaneSpecial = new Set(['applet', 'button', 'caption', 'html', 'table', 'td', 'th',
  'marquee', 'object', 'template', 'body', 'ol', 'ul', 'dl', 'select', 'fieldset', 'form']);

// Whether one of these start tags, in parent, would close an element around parent: a load
// would then differ from parsing the part in parent alone.
function quorvaneClosesAround(parent, names) {
  if (parent.namespaceURI !== quorvaneXhtml)
    return names.some(n => quorvaneBreaksOut.has(n));
  if (quorvaneOwnRules.has(parent.localName)) return true;
  const has = n => names.includes(n);
  const above = (wanted, stopAt) => {
    for (let e = parent; e && e.namespaceURI === quorvaneXhtml; e = e.parentElement) {
      if (wanted.includes(e.localName)) return true;
      if (stopAt.has(e.localName)) return false;
    }
    return false;
  };
  return (names.some(n => quorvaneClosesP.has(n)) && above(['p'], quorvaneSpecial)) ||
    (has('li') && above(['li'], quorvaneSpecial)) ||
    ((has('dd') || has('dt')) && above(['dd', 'dt'], quorvaneSpecial)) ||
    (names.some(n => /^h[1-6]$/.test(n)) && /^h[1-6]$/.test(parent.localName)) ||
    (has('a') && parent.closest('a') !== null) ||
    (has('button') && parent.closest('button') !== null) ||
    (['rb', 'rp', 'rt', 'rtc'].some(has) && parent.closest('ruby') !== null);
}

// The old nodes become the new: those alike stay, those of a kind are morphed, the rest are
// replaced.
function quorvaneMorph(old, now, parent, after) {
  let i = 0;
  while (i < old.length && i < now.length && old[i].isEqualNode(now[i])) ++i;
  let j = 0;
  while (j < old.length - i && j < now.length - i &&
         old[old.length - 1 - j].isEqualNode(now[now.length - 1 - j])) ++j;
  const from = old.slice(i, old.length - j), to = now.slice(i, now.length - j);
  if (from.length === to.length &&
      from.every((n, k) => n.nodeType === to[k].nodeType && n.nodeName === to[k].nodeName)) {
    from.forEach((n, k) => {
      if (n.nodeType !== Node.ELEMENT_NODE) {
        n.data = to[k].data;
        return;
      }
      const wanted = to[k].cloneNode(true);
      try {
        morphdom(n, to[k]);
      } catch (e) {
        // An attribute name the parser takes and setAttribute refuses ("a<b"): replaced below.
      }
      if (!n.isEqualNode(wanted)) n.replaceWith(wanted);
    });
    return;
  }
  const next = j ? old[old.length - j] : after;
  for (const n of from) n.remove();
  const fragment = document.createDocumentFragment();
  fragment.append(...to);
  parent.insertBefore(fragment, next);
}

function quorvanePatch(p) {
  const all = document.getElementsByTagName('*');
  const at = (k, name) => {
    const e = k >= 0 ? all[k] : null;
    return e && e.localName.toLowerCase() === name ? e : null;
  };
  if (p.style) {
    const style = at(p.parent, 'style');
    if (!style || style.textContent !== p.old) return 'page';
    style.textContent = p.now;
    return [-1, 0];
  }
  let parent = p.parent >= 0 ? at(p.parent, p.parentName) : null;
  const before = p.before >= 0 ? at(p.before, p.beforeName) : null;
  if (p.before >= 0) {
    if (!before) return 'page';
    parent = before.parentNode;
  }
  if (!parent || parent.nodeType !== Node.ELEMENT_NODE) return 'page';
  let after = p.after >= 0 ? at(p.after, p.afterName) : null;
  if (p.after >= 0 && !after) return 'page';
  if (after && after.parentNode !== parent) {
    // A start tag that closed the element: the part runs to its end.
    if (parent.contains(after) ||
        !(parent.compareDocumentPosition(after) & Node.DOCUMENT_POSITION_FOLLOWING))
      return 'page';
    after = null;
  }
  const body = document.body;
  if (!body || !body.contains(parent) || parent.getRootNode() !== document) return 'head';
  if (p.toBodyEnd && parent !== body) return 'page';
  if (quorvaneClosesAround(parent, p.names)) return 'context';
  // The end tag after the slice closes the element it is in: the parser may have closed that
  // element long before and dropped the end tag, and a load puts the slice somewhere else.
  if (p.closedBy) {
    let e = parent;
    for (; e && e.localName.toLowerCase() !== p.closedBy; e = e.parentElement)
      if (e.namespaceURI === quorvaneXhtml && !quorvaneImplied.has(e.localName)) return 'context';
    if (!e) return 'context';
  }
  // Formatting elements left open and closed around by blocks are made anew in what follows:
  // more open in the source than enclose the element means some would be here.
  let enclosing = 0;
  for (let e = parent; e; e = e.parentElement)
    if (quorvaneFormatting.has(e.localName)) ++enclosing;
  if (enclosing < p.formatting) return 'context';

  const old = [];
  for (let n = before ? before.nextSibling : parent.firstChild; n && n !== after; n = n.nextSibling)
    old.push(n);
  // The parser drops the line break right after <pre>'s start tag; parsing in it, it is first.
  const dropsBreak = !before && (parent.localName === 'pre' || parent.localName === 'listing') &&
    parent.namespaceURI === quorvaneXhtml;
  const range = document.createRange();
  range.selectNodeContents(parent);
  // A comment after the slice is read into what the slice leaves open, as a load would read
  // the rest of the page: a slice with more of the page after it must leave nothing open (an
  // HTML tag's "/>" in MathML's <mi> closes nothing). At the page's end all is closed.
  const marker = 'quorvane-slice-end';
  const more = p.after >= 0 || p.closedBy !== '';
  const parse = text => {
    const nodes = Array.from(range.createContextualFragment(
      (dropsBreak && text.startsWith('\n') ? text.slice(1) : text) +
      (more ? `<!--${marker}-->` : '')).childNodes);
    if (!more) return nodes;
    const last = nodes.pop();
    return last && last.nodeType === Node.COMMENT_NODE && last.data === marker ? nodes : null;
  };
  // What the page shows must be what the old source made: not changed by the page's scripts,
  // nor by what the parser carried over from before it.
  const was = parse(p.old + p.tail);
  if (!was || was.length !== old.length || was.some((n, i) => !n.isEqualNode(old[i])))
    return 'page';
  const now = parse(p.now + p.tail);
  if (!now) return 'context';

  const count = nodes => nodes.reduce((c, n) =>
    c + (n.nodeType === Node.ELEMENT_NODE ? 1 + n.getElementsByTagName('*').length : 0), 0);
  const first = before ? p.before + 1 + before.getElementsByTagName('*').length : p.parent + 1;
  const removed = count(old);
  quorvaneMorph(old, now, parent, after);
  const names = [];
  for (let n = before ? before.nextSibling : parent.firstChild; n && n !== after;
       n = n.nextSibling) {
    if (n.nodeType !== Node.ELEMENT_NODE) continue;
    names.push(n.localName.toLowerCase());
    for (const e of n.getElementsByTagName('*')) names.push(e.localName.toLowerCase());
  }
  return [first, removed, ...names];
}

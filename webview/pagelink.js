// The program's questions to the page, asked in a script world of the program's own: the page's
// scripts see none of these names, and no change the page makes to its globals reaches them.

// The elements in document order, kept for the questions below; their names.
function quorvaneFindElements() {
  const all = Array.from(document.getElementsByTagName('*'));
  window.quorvane = { all, index: new Map(all.map((e, i) => [e, i])) };
  return all.map(e => e.localName).join(' ');
}

// The elements as the page has them now: an update in place adds and replaces elements after
// they were found, and the numbers are of the page as it stands.
function quorvaneCurrent() {
  const q = window.quorvane;
  if (!q) return null;
  const live = document.getElementsByTagName('*');
  for (let i = 0; i < live.length || i < q.all.length; ++i)
    if (live[i] !== q.all[i]) {
      const all = Array.from(live);
      window.quorvane = { all, index: new Map(all.map((e, k) => [e, k])) };
      break;
    }
  return window.quorvane;
}

// The element's box in the view, brought into view first when asked and out of it.
function quorvaneBoxOf(k, bring) {
  const q = quorvaneCurrent(), e = q && q.all[k];
  if (!e || !e.isConnected || e.getClientRects().length === 0) return null;
  let r = e.getBoundingClientRect();
  if (bring && (r.bottom <= 0 || r.top >= innerHeight || r.right <= 0 || r.left >= innerWidth)) {
    e.scrollIntoView({ block: 'center', inline: 'nearest', behavior: 'instant' });
    r = e.getBoundingClientRect();
  }
  return [r.left, r.top, r.width, r.height, e.localName];
}

// The element at a point of the view, then its ancestors.
function quorvaneElementsAt(x, y) {
  const q = quorvaneCurrent(), chain = [];
  for (let e = q ? document.elementFromPoint(x, y) : null; e; e = e.parentElement) {
    const i = q.index.get(e);
    if (i !== undefined) chain.push(i);
  }
  return chain;
}

// Brings the element's top to the top of the view; one with no box, the nearest before it that
// has one. Only the page's own scroll moves.
function quorvaneScrollTo(k) {
  const q = quorvaneCurrent();
  for (let i = q ? Math.min(k, q.all.length - 1) : -1; i >= 0; --i) {
    const e = q.all[i];
    if (!e.isConnected || e.getClientRects().length === 0) continue;
    window.scrollTo({ left: scrollX, top: scrollY + e.getBoundingClientRect().top,
                      behavior: 'instant' });
    return i;
  }
  return -1;
}

// The innermost element at the top edge of the view, then its ancestors. Where the edge meets
// only the body (a margin between blocks), the last element that starts above it.
function quorvaneTopElements() {
  const q = quorvaneCurrent();
  if (!q) return [];
  let best = -1;
  for (const x of [0.5, 0.2, 0.8, 0.05, 0.95]) {
    const i = q.index.get(document.elementFromPoint(innerWidth * x, 1));
    if (i !== undefined && i > best) best = i;
  }
  const e = q.all[best];
  if (!e || e === document.documentElement || e === document.body) {
    const top = i => {
      for (let j = i; j < q.all.length; ++j)
        if (q.all[j].isConnected && q.all[j].getClientRects().length)
          return q.all[j].getBoundingClientRect().top;
      return Infinity;
    };
    let lo = Math.max(best, 0), hi = q.all.length - 1;
    while (lo < hi) {
      const mid = (lo + hi + 1) >> 1;
      if (top(mid) <= 1) lo = mid; else hi = mid - 1;
    }
    best = lo;
  }
  const chain = [];
  for (let p = q.all[best]; p; p = p.parentElement) {
    const i = q.index.get(p);
    if (i !== undefined) chain.push(i);
  }
  return chain;
}

// The element at the top stays at the top when the page is laid out at another width.
function quorvaneKeepTopOnResize() {
  const chain = quorvaneTopElements(), asked = Date.now();
  if (chain.length)
    addEventListener('resize', () => Date.now() - asked < 2000 && quorvaneScrollTo(chain[0]),
                     { once: true });
}

// The sheets of the page (or imported by one) served from the file at path.
function quorvaneSheetsOf(path) {
  const found = [];
  const visit = sheet => {
    try {
      if (sheet.href && decodeURIComponent(new URL(sheet.href).pathname).endsWith(path))
        found.push(sheet);
      // Imports come before any other rule.
      for (const rule of sheet.cssRules) {
        if (rule instanceof CSSImportRule) {
          if (rule.styleSheet) visit(rule.styleSheet);
        } else if (rule.constructor.name !== 'CSSLayerStatementRule') {
          break;
        }
      }
    } catch (e) {
      // Another origin's rules cannot be read.
    }
  };
  for (const sheet of document.styleSheets) visit(sheet);
  return found;
}

// For each sheet restyled here, which of the text's rules it holds: a rule the browser cannot
// read is dropped, as a load drops it. These scripts are given again with every question.
var quorvaneHeld = quorvaneHeld || new WeakMap();

// A stylesheet the page uses, given new text as its rules: each sheet served from the file is
// emptied and given them, so the page restyles with no load. False where that cannot be (an
// @import, which would fetch anew; a sheet of another origin; none found): the page loads instead.
function quorvaneRestyle(path, rules) {
  const found = quorvaneSheetsOf(path);
  if (!found.length || rules.some(rule => /^@import/i.test(rule))) return false;
  for (const sheet of found) {
    try {
      while (sheet.cssRules.length) sheet.deleteRule(sheet.cssRules.length - 1);
      quorvaneHeld.set(sheet, rules.map(rule => quorvaneInsert(sheet, rule, sheet.cssRules.length)));
    } catch (e) {
      quorvaneHeld.delete(sheet);
      return false;
    }
  }
  return true;
}

function quorvaneInsert(sheet, rule, at) {
  try {
    sheet.insertRule(rule, at);
    return true;
  } catch (e) {
    return false;
  }
}

// The sheets at path, each with which rules it holds, while they are as restyled here last.
function quorvaneHeldSheets(path, first, removed) {
  const found = quorvaneSheetsOf(path);
  for (const sheet of found) {
    const held = quorvaneHeld.get(sheet);
    if (!held || first + removed > held.length ||
        held.reduce((n, kept) => n + kept, 0) !== sheet.cssRules.length) {
      quorvaneHeld.delete(sheet);
      return [];
    }
  }
  return found.map(sheet => [sheet, quorvaneHeld.get(sheet)]);
}

// The rule at first keeps its selector and is given these declarations. A rule the browser
// dropped stays dropped: only its selector can have made it so.
function quorvaneRestyleStyle(path, first, declarations) {
  const found = quorvaneHeldSheets(path, first, 1);
  for (const [sheet, held] of found) {
    if (!held[first]) continue;
    let at = 0;
    for (let i = 0; i < first; ++i) at += held[i];
    const rule = sheet.cssRules[at];
    if (!(rule instanceof CSSStyleRule)) {
      quorvaneHeld.delete(sheet);
      return false;
    }
    rule.style.cssText = declarations;
  }
  return found.length > 0;
}

// Only the rules an edit touched: removed of them from first give way to inserted. False where
// a sheet was not restyled here whole first, or has changed since (the page's scripts may add
// rules): the whole text follows.
function quorvaneRestyleRules(path, first, removed, inserted) {
  const found = quorvaneHeldSheets(path, first, removed);
  if (!found.length || inserted.some(rule => /^@import/i.test(rule))) return false;
  for (const [sheet, held] of found) {
    let at = 0;
    for (let i = 0; i < first; ++i) at += held[i];
    try {
      for (let i = first; i < first + removed; ++i)
        if (held[i]) sheet.deleteRule(at);
    } catch (e) {
      quorvaneHeld.delete(sheet);
      return false;
    }
    const added = inserted.map(rule => {
      const kept = quorvaneInsert(sheet, rule, at);
      at += kept;
      return kept;
    });
    held.splice(first, removed, ...added);
  }
  return true;
}

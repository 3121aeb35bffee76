// The program's questions to the page, asked in a script world of the program's own: the page's
// scripts see none of these names, and no change the page makes to its globals reaches them.

// The elements in document order, kept for the questions below; their names.
function quorvaneFindElements() {
  const all = Array.from(document.getElementsByTagName('*'));
  window.quorvane = { all, index: new Map(all.map((e, i) => [e, i])) };
  return all.map(e => e.localName).join(' ');
}

// The element's box in the view, brought into view first when asked and out of it.
function quorvaneBoxOf(k, bring) {
  const q = window.quorvane, e = q && q.all[k];
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
  const q = window.quorvane, chain = [];
  for (let e = q ? document.elementFromPoint(x, y) : null; e; e = e.parentElement) {
    const i = q.index.get(e);
    if (i !== undefined) chain.push(i);
  }
  return chain;
}

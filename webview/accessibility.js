// The page's accessibility, checked by axe-core in the program's own script world: the page's
// scripts can neither see the checker nor change it. One rule runs a task, on a tree of the page
// made once, so that the page goes on between rules: its updates, its scrolls, its own scripts.

// The check under way or done; a var, as this file may be given again.
var quorvaneCheck = null;

// What is asked of each rule: only what fails, with the elements themselves.
var quorvaneCheckOptions = {
  resultTypes: ['violations'], elementRef: true, selectors: false, preload: false
};

// Starts checking the page as it stands by WCAG 2.1 A and AA, a check under way given up; not a
// page of more elements than most (0 for any), which returns -1.
function quorvaneCheckStart(most) {
  quorvaneCheckStop();
  if (most && document.getElementsByTagName('*').length > most) return -1;
  const rules = axe.getRules(['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa'])
    .filter(rule => !rule.tags.includes('experimental')).map(rule => rule.ruleId);
  const check = { rules, next: -1, results: [], found: null, longest: 0, slices: 0 };
  quorvaneCheck = check;
  setTimeout(() => quorvaneCheckStep(check), 0);
  return rules.length;
}

function quorvaneCheckStop() {
  if (quorvaneCheck && axe._tree) axe.teardown();
  quorvaneCheck = null;
}

function quorvaneCheckStep(check) {
  if (quorvaneCheck !== check) return;
  const began = performance.now();
  const next = () => setTimeout(() => quorvaneCheckStep(check), 0);
  const sliced = () => {
    check.longest = Math.max(check.longest, performance.now() - began);
    ++check.slices;
  };
  const failed = error => {
    if (axe._tree) axe.teardown();
    check.found = { error: String(error && error.message || error) };
  };
  try {
    if (check.next < 0) {
      if (axe._tree) axe.teardown();
      axe.setup(document);
      check.context = new axe._thisWillBeDeletedDoNotUse.base.Context(document, axe._tree);
      check.next = 0;
      sliced();
      next();
    } else if (check.next < check.rules.length) {
      const options = Object.assign({}, quorvaneCheckOptions,
                                    { runOnly: { type: 'rule', values: [check.rules[check.next++]] } });
      axe._audit.normalizeOptions(options);
      // A rule's result comes a task later; a rule that fails to run is left out.
      axe._audit.run(check.context, options, results => {
        if (quorvaneCheck !== check) return;
        check.results.push(...results);
        next();
      }, () => next());
      sliced();
    } else {
      axe.finishRun([{ results: check.results, frames: [], environmentData: {} }],
                    quorvaneCheckOptions).then(report => {
        if (quorvaneCheck !== check) return;
        sliced();
        axe.teardown();
        check.found = { violations: report.violations };
      }, failed);
    }
  } catch (error) {
    failed(error);
  }
}

// What the check found, once it is done: each element's finding as [elements, message, rule],
// the element then its ancestors as the page map numbers them, at most most of them, and how
// many there were; or the error that ended it; null while it runs.
function quorvaneCheckFound(most) {
  const check = quorvaneCheck;
  if (!check || !check.found) return null;
  if (check.found.error) return { error: check.found.error };
  const q = quorvaneCurrent(), rows = [];
  let count = 0;
  for (const violation of check.found.violations)
    for (const node of violation.nodes) {
      if (++count > most) continue;
      // The check that failed says how, the contrast with its colours: the first of them.
      const failed = [...node.none, ...node.all, ...node.any].find(c => c.message);
      const chain = [];
      for (let e = q ? node.element : null; e; e = e.parentElement)
        if (q.index.has(e)) chain.push(q.index.get(e));
      rows.push([chain, violation.help + (failed ? ': ' + failed.message : ''), violation.id]);
    }
  return { rows, count, longest: check.longest, slices: check.slices };
}

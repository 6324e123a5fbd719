#!/usr/bin/env python3
"""The report in a real browser (headless Chromium): the demo's page loads
with no console error and every chart's canvas has drawn pixels. (The tool's
tests compare the page's data block with `kelvora show --json`.) A screenshot
is left in the build folder for people to look at.

usage: report_browser_test.py KELVORA CHROMIUM OUT_DIR
"""
import json
import os
import re
import subprocess
import sys
import tempfile

KELVORA, CHROMIUM, OUT_DIR = sys.argv[1:4]

# Installed before the page's own scripts: every error the page meets.
CATCH = """<script>
window.__errors = [];
window.addEventListener('error', e => window.__errors.push(String(e.message)));
const __consoleError = console.error;
console.error = (...args) => { window.__errors.push(args.join(' ')); __consoleError(...args); };
</script>"""

# Run after them: what the canvases hold.
CHECK = """<script>
{
  const out = {errors: window.__errors, canvases: []};
  for (const c of document.querySelectorAll('canvas')) {
    const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
    let painted = 0;
    for (let i = 3; i < d.length; i += 4) if (d[i] !== 0) painted++;
    out.canvases.push({id: c.id, painted: painted});
  }
  const pre = document.body.appendChild(document.createElement('pre'));
  pre.id = 'kelvora-check';
  pre.textContent = JSON.stringify(out);
}
</script>"""


def browser(*args):
    return subprocess.run([CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu",
                           "--hide-scrollbars", "--virtual-time-budget=5000", *args],
                          capture_output=True, text=True, timeout=60)


def main():
    failures = []

    def check(ok, what):
        if not ok:
            failures.append(what)

    with tempfile.TemporaryDirectory() as tmp:
        book = os.path.join(tmp, "demo.xlsx")
        demo = subprocess.run([KELVORA, "-w", book, "demo"], capture_output=True, text=True)
        check(demo.returncode == 0, "demo: exit status %d: %s" % (demo.returncode, demo.stderr))
        page_path = os.path.join(tmp, "demo-report.html")
        check(demo.stdout.strip().endswith(page_path), "demo prints the report's path")
        with open(page_path, encoding="utf-8") as f:
            page = f.read()
        check(len(page.encode()) < 1_000_000, "the page is under 1 MB")
        check(not re.search(r"<(script|img|link|iframe)[^>]+(src|href)=", page),
              "the page loads nothing from elsewhere")

        data = json.loads(re.search(r'<script type="application/json" id="kelvora-data">(.*?)'
                                    r'</script>', page, re.S).group(1))

        checked = os.path.join(tmp, "checked.html")
        with open(checked, "w", encoding="utf-8") as f:
            f.write(page.replace("<head>", "<head>\n" + CATCH, 1)
                        .replace("</body>", CHECK + "\n</body>", 1))
        dom = browser("--dump-dom", "file://" + checked).stdout
        found = re.search(r'<pre id="kelvora-check">(.*?)</pre>', dom, re.S)
        check(found is not None, "the check ran in the page")
        if found:
            result = json.loads(found.group(1).replace("&quot;", '"').replace("&amp;", "&"))
            check(result["errors"] == [], "no console errors: %s" % result["errors"])
            stages = sum(1 for s in data["stages"] if s["state"] == "current")
            check(len(result["canvases"]) == 10 * stages + 1,
                  "three charts a method, the sizes and the gans: %d canvases"
                  % len(result["canvases"]))
            for c in result["canvases"]:
                check(c["painted"] > 100, "canvas %s has drawn pixels" % c["id"])

        shot = os.path.join(OUT_DIR, "report-screenshot.png")
        browser("--window-size=1000,4200", "--screenshot=" + shot, "file://" + page_path)
        check(os.path.exists(shot), "a screenshot is written")

    for f in failures:
        print("FAIL:", f)
    print("%d passed, %d failed" % (1 if not failures else 0, 1 if failures else 0))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/python3
"""Under a Vietnamese locale no line of the tool's own is left in English.

Each case runs once under C, where the checker must find English lines of the
tool's own (so that it can fail), and once under vi_VN.UTF-8, where it must
find none. A line is English when it holds a word run of one of the extracted
messages (kelvora.pot) or one of the English words below.

Usage: language_test.py KELVORA KELVORA_POT DATA_DIR
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

KELVORA = POT = DATA = None
ENGLISH = re.compile(r"\b(the|and|not|with|from|for|is|are|was|has|this|that|of|"
                     r"required|expected|error|failed|usage|options|workbook|draws?|"
                     r"stage|exists?|unknown|missing|should)\b", re.IGNORECASE)


# Options and the tool's and its verbs' names, the same in every language.
NAMES = re.compile(r"-[-a-z]+|\bDRAW=RESULT\b|\b(kelvora|telex|digest|numbers|init|adopt|set|"
                   r"show|sweep|gan|report|demo|help|fix|export|import)\b")


def english_runs(pot):
    """Each msgid's literal runs between placeholders and line breaks, without
    names, that hold two words of three letters or one of four."""
    text = open(pot, encoding="utf-8").read()
    runs = set()
    for m in re.finditer(r'^msgid(?:_plural)? ((?:".*"\n)+)', text, re.M):
        msgid = "".join(re.findall(r'"(.*)"', m.group(1)))
        msgid = re.sub(r"\\(.)", lambda e: "\n" if e.group(1) == "n" else e.group(1), msgid)
        for run in re.split(r"\{\d\}|\n", msgid):
            run = NAMES.sub("", run).strip()
            words = re.findall(r"\b[a-z]{3,}\b", run)
            # A heading is one word: "Rate", "Head".
            if len(words) >= 2 or any(len(w) > 3 for w in words) or re.fullmatch(
                    r"[A-Z][a-z]{2,}", msgid):
                runs.add(run)
    return re.compile("|".join(r"(?<!\w)" + re.escape(r) + r"(?!\w)" for r in runs))


# One or more runs per verb, refusals included, and what some read.
CASES = ("--help|help sweep|help adopt|frobnicate|show --bogus|-w thieu.xlsx show|init so.xlsx|"
         "init so.xlsx|telex|digest|numbers --width 4 --size 2 x|-w so.xlsx set Z9=1|"
         "-w so.xlsx set B2=12,5|-w so.xlsx sweep|-w so.xlsx gan|-w so.xlsx report|adopt so.xlsx|"
         "-w so.xlsx DanKQXSDB --clipboard -|-w so.xlsx sweep --stage 3|-w so.xlsx gan --last 0|"
         "-w so.xlsx Copy1|-w demo.xlsx demo|-w demo.xlsx sweep --sizes 38..40|-w demo.xlsx gan|"
         "-w demo.xlsx show|-w demo.xlsx export -o demo.xlsx|-w demo.xlsx import -|"
         "-w demo.xlsx fix 1=2").split("|")
STDIN = {"-w so.xlsx DanKQXSDB --clipboard -": "sample_special_prize.txt",
         "-w demo.xlsx import -": b"1,2\n"}


class LanguageTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="kelvora-lang-")
        self.addCleanup(shutil.rmtree, self.dir, ignore_errors=True)

    def run_tool(self, lang, args, stdin=b""):
        env = {k: v for k, v in os.environ.items()
               if not k.startswith("LC_") and k not in ("LANG", "LANGUAGE", "DISPLAY")}
        p = subprocess.run([KELVORA, *args], cwd=self.dir, env=dict(env, LANG=lang, LC_ALL=lang),
                           timeout=300, input=stdin, capture_output=True)
        return p.stdout.decode("utf-8"), p.stderr.decode("utf-8")

    def test_no_english_line_under_vi(self):
        runs = english_runs(POT)
        self.assertGreater(runs.pattern.count("|"), 100)
        for lang, want_english in (("C", True), ("vi_VN.UTF-8", False)):
            self.dir = tempfile.mkdtemp(dir=self.dir)  # each language from an empty folder
            for args in CASES:
                stdin = STDIN.get(args, b"")
                if isinstance(stdin, str):
                    stdin = open(os.path.join(DATA, stdin), "rb").read()
                with self.subTest(lang=lang, args=args):
                    lines = "".join(self.run_tool(lang, args.split(), stdin)).splitlines()
                    english = [l for l in map(NAMES.sub, [""] * len(lines), lines)
                               if ENGLISH.search(l) or runs.search(l)]
                    self.assertTrue(lines)
                    self.assertEqual(bool(english), want_english,
                                     english or "nothing of the tool's own to check")

    def test_decimal_mark_only_where_a_person_reads(self):
        self.run_tool("C", ["-w", "demo.xlsx", "demo"])
        for args in (["sweep", "--sizes", "38..40"], ["sweep", "--csv"], ["sweep", "--json"],
                     ["gan"], ["gan", "--json"], ["show"], ["show", "--json"]):
            c, _ = self.run_tool("C", ["-w", "demo.xlsx", *args])
            vi, _ = self.run_tool("vi_VN.UTF-8", ["-w", "demo.xlsx", *args])
            if "--json" in args or "--csv" in args:
                self.assertEqual(vi, c, args)
            else:
                self.assertRegex(c, r"\d\.\d\d", args)
                self.assertRegex(vi, r"\d,\d\d", args)
                self.assertNotRegex(vi, r"\d\.\d", args)


if __name__ == "__main__":
    KELVORA, POT, DATA = sys.argv[1:4]
    if "vi_VN.utf8" not in subprocess.run(["locale", "-a"], capture_output=True,
                                          text=True).stdout.split():
        sys.exit("language_test: no vi_VN.UTF-8 locale; generate it with scripts/install-locale")
    unittest.main(argv=sys.argv[:1])

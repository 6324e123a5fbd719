#!/usr/bin/python3
"""The command-line contract of the kelvora tool, checked against workbook
files read and written by openpyxl as an independent implementation.

Usage: tool_test.py KELVORA [DATA_DIR (default tests/data)]
"""
import json
import os
import pty
import re
import shutil
import subprocess
import sys
import tempfile
import unicodedata
import unittest
import zipfile

import openpyxl
from openpyxl.comments import Comment
from openpyxl.styles import Font, PatternFill

KELVORA = None
DATA = None


def entries(path):
    """Every entry of a zip file: name -> (uncompressed bytes)."""
    with zipfile.ZipFile(path) as z:
        return {i.filename: z.read(i.filename) for i in z.infolist()}


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def stored_entries(path):
    """Every entry of a zip file as stored: name -> (CRC, method, compressed bytes)."""
    data = read_bytes(path)
    out = {}
    with zipfile.ZipFile(path) as z:
        for i in z.infolist():
            at = i.header_offset
            start = (at + 30 + int.from_bytes(data[at + 26:at + 28], "little") +
                     int.from_bytes(data[at + 28:at + 30], "little"))
            out[i.filename] = (i.CRC, i.compress_type, data[start:start + i.compress_size])
    return out


def nfd(text):
    return unicodedata.normalize("NFD", text)


def changed_span(old, new):
    """How many bytes of `new` differ from `old` between their common ends."""
    p = len(os.path.commonprefix([old, new]))
    return len(new) - p - len(os.path.commonprefix([old[p:][::-1], new[p:][::-1]]))


class ToolTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="kelvora-tool-")
        # The tool's own lines in English, whatever the caller's locale
        # (language_test.py checks them under Vietnamese).
        self.env = {k: v for k, v in os.environ.items()
                    if k not in ("DISPLAY", "WAYLAND_DISPLAY", "LANGUAGE")}
        self.env["LC_ALL"] = "C"

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def path(self, name):
        return os.path.join(self.dir, name)

    def run_tool(self, *args, stdin=b""):
        p = subprocess.run([KELVORA, *args], cwd=self.dir, input=stdin,
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                           env=self.env, timeout=300)
        return p.returncode, p.stdout.decode("utf-8"), p.stderr.decode("utf-8")

    def init(self, name="book.xlsx"):
        rc, _, err = self.run_tool("init", name)
        self.assertEqual(rc, 0, err)
        return self.path(name)

    def stored_book(self, draws=60, name="store.xlsx", first=24100):
        """A template book whose store openpyxl filled with `draws` rows."""
        path = self.init(name)
        wb = openpyxl.load_workbook(path)
        ws = wb.worksheets[0]
        for i in range(draws):
            ws.cell(17 + i, 1, first - i)
            ws.cell(17 + i, 2, "%05d" % ((i * 7919 + 12345) % 100000))
        ws["B15"] = draws
        wb.save(path)
        return path

    # ------------------------------------------------------------------
    def test_init_creates_the_template(self):
        path = self.init()
        wb = openpyxl.load_workbook(path)
        self.assertEqual([s.sheet_properties.codeName for s in wb.worksheets],
                         ["Sheet1", "Sheet2", "Sheet3"])
        self.assertEqual(wb.sheetnames, ["Thống kê", "Dán kết quả", "Cài đặt"])
        names = {d.name: d.attr_text for d in wb.defined_names.definedName}
        self.assertEqual(names["KieuDanh"], "'Cài đặt'!$A$1:$A$6")
        main, settings = wb.worksheets[0], wb.worksheets[2]
        kinds = [settings.cell(r, 1).value for r in range(1, 7)]
        self.assertEqual(len(set(kinds)), 6)
        self.assertTrue({main["B1"].value, main["B7"].value} <= set(kinds))
        self.assertEqual(main["B6"].value, "OFF")
        self.assertIsInstance(main["B2"].value, int)
        self.assertIsNotNone(main["A10"].value)
        self.assertEqual([main.cell(r, 1).value for r in range(11, 17)], [None] * 6)
        self.assertEqual([main[c].number_format for c in ("B17", "B65016", "L3", "L9", "B65017")],
                         ["@"] * 4 + ["General"])
        dv = main.data_validations.dataValidation
        self.assertEqual([(str(d.sqref), d.formula1) for d in dv], [("B1 B7", "KieuDanh")])
        self.assertGreater(main.column_dimensions["L"].width, 30)

        before = read_bytes(path)
        rc, _, err = self.run_tool("init", "book.xlsx")
        self.assertEqual(rc, 1)
        self.assertIn("--force", err)
        self.assertEqual(read_bytes(path), before)
        self.assertEqual(self.run_tool("init", "--force", "book.xlsx")[0], 0)

    def test_default_book_is_made_when_a_command_needs_it(self):
        rc, out, err = self.run_tool("main")
        self.assertEqual(rc, 3, err)  # an empty store: not enough data
        self.assertIn("kelvora.xlsx", err)
        self.assertIn("Thông Báo: Không đủ dữ liệu để thống kê", err)
        wb = openpyxl.load_workbook(self.path("kelvora.xlsx"))
        self.assertEqual(wb.worksheets[0].sheet_properties.codeName, "Sheet1")
        # show does not make one.
        os.remove(self.path("kelvora.xlsx"))
        self.assertEqual(self.run_tool("show")[0], 1)
        self.assertFalse(os.path.exists(self.path("kelvora.xlsx")))

    def test_set_writes_parameter_cells_only(self):
        path = self.init()
        cases = [  # B3 and B9 are Text cells: they keep "07" and "3" as text
            (["B2=35"], 0, {"B2": 35}), (["b4=150", "B6=ON"], 0, {"B4": 150, "B6": "ON"}),
            (["B3=07"], 0, {"B3": "07"}), (["B9=3"], 0, {"B9": "3"}),
            (["B1=Đề đầu"], 0, {"B1": "Đề đầu"}), (["B8=2.5e2"], 0, {"B8": 250}),
            (["B4=2"], 0, {"B4": 2}), (["B5=1"], 2, {}), (["A17=1"], 2, {}), (["B2"], 2, {}),
            (["B2=1", "L3=x"], 2, {}),
            # What no run could use: a kind in another case, a size past its
            # kind's limits (with the kind written or stored), the switch in
            # lower case, a decimal comma.
            (["B1=Đề Đầu"], 2, {}), (["B2=66"], 2, {}), (["B1=Một số"], 2, {}),
            (["B1=Một số", "B2=9"], 0, {"B1": "Một số", "B2": 9}), (["B6=on"], 2, {}),
            (["B4=1,5"], 2, {}), (["B8=521", "B7=Ba càng đuôi"], 2, {}),
            # A kind typed decomposed is written as KieuDanh spells it.
            (["B1=" + nfd("Đề đầu")], 0, {"B1": "Đề đầu"}), (["B1=" + nfd("Đề Đầu")], 2, {}),
            (["B7=" + nfd("Ba càng đuôi"), "B8=520"], 0, {"B7": "Ba càng đuôi", "B8": 520}),
            # Windows no run can use.
            *[([c + "=" + v], 2, {}) for c in ("B4", "B10")
              for v in ("abc", "0", "-5", "1", "", "99999999999999999999")],
        ]
        for args, status, expect in cases:
            before = read_bytes(path)
            rc, _, err = self.run_tool("-w", "book.xlsx", "set", *args)
            self.assertEqual(rc, status, (args, err))
            if status != 0:
                self.assertEqual(read_bytes(path), before, args)
            if args[0][:3] in ("B4=", "B10") and status and "," not in args[0]:
                self.assertIn("the window is a number of draws from 2 to 2147483647", err)
            ws = openpyxl.load_workbook(path).worksheets[0]
            for cell, value in expect.items():
                self.assertEqual(ws[cell].value, value, (args, cell))

    def test_usage_errors_help_and_demo(self):
        os.mkdir(self.path("demo"))
        self.init("demo/demo.xlsx")  # replaced: demo refuses it without --force
        rc, out, err = self.run_tool("-w", "demo/demo.xlsx", "demo", "--force")
        self.assertIn(rc, (0, 3), err)
        self.assertIn("Workbook: demo/demo.xlsx", out)
        wb = openpyxl.load_workbook(self.path("demo/demo.xlsx"))
        self.assertEqual(wb.worksheets[0].sheet_properties.codeName, "Sheet1")
        self.init("kelvora.xlsx")
        for args in (["nosuchcommand"], ["main", "--yes", "--no"], ["main", "--bogus"], []):
            self.assertEqual(self.run_tool(*args)[0], 2, args)
        for args in (["nosuchcommand"], ["help", "nosuchcommand"]):
            rc, _, err = self.run_tool(*args)
            self.assertEqual(rc, 2)
            self.assertIn("unknown command nosuchcommand; the commands are: telex", err)
        for args in (["--help"], ["help"]):
            rc, out, _ = self.run_tool(*args)
            self.assertEqual(rc, 0)
            self.assertIn("Exit status", out)
        # A verb's help shows only what it takes.
        for args in (["help", "copy5"], ["Copy5", "--help"]):
            rc, out, _ = self.run_tool(*args)
            self.assertEqual(rc, 0)
            self.assertIn("--clipboard", out)
            self.assertNotIn("Exit status", out)

    def test_digest_and_numbers(self):
        # UTF-8 input: U+0141 is one code unit, hashed as its low byte 0x41.
        cases = [
            ("digest Ł", "559aead08264d5795d3909718cdd05abd49572e84fe55590eef31a88a08fdffd\n"),
            ("digest -- -abc", "649d85fcc5d7e13d1217fc85fc746817f31c16fcf850002545dda492fd8caffc\n"),
            ("numbers --width 2 --size 3 abc", "16,78,81\n"),
        ]
        for args, out in cases:
            self.assertEqual(self.run_tool(*args.split())[:2], (0, out), args)
        for args in ("--width 2 --size 0", "--width 1 --size 11", "--width 4 --size 1",
                     "--width 2 --size x", "--width 2"):
            self.assertEqual(self.run_tool("numbers", *args.split(), "abc")[:2], (2, ""), args)

    def test_main_copy_and_show_on_a_store_openpyxl_wrote(self):
        path = self.stored_book()
        rc, out, err = self.run_tool("-w", "store.xlsx", "MAIN")
        self.assertEqual(rc, 0, err)
        self.assertIn("kelvora: Main: stage 1 tested 59 draws (window 200, the store holds "
                      "60 draws); stage 2 is off", err)
        ws = openpyxl.load_workbook(path).worksheets[0]
        size = ws["B2"].value
        sets = [ws.cell(r, 12).value for r in (3, 4, 5)]
        self.assertRegex(sets[0], r"^\d\d(,\d\d){%d}$" % (size - 1))
        self.assertTrue(ws["D1"].value.endswith("24101"), ws["D1"].value)
        self.assertEqual(ws["O3"].value, 24100)
        # Copy prints the cell and changes nothing; show gives what openpyxl reads.
        before = read_bytes(path)
        rc, out, err = self.run_tool("-w", "store.xlsx", "show", "--json")
        self.assertEqual(rc, 0, err)
        shown = json.loads(out)
        self.assertEqual((shown["stored_draws"], shown["newest_draw"]), (60, 24100))
        self.assertEqual(shown["heading"], ws["D1"].value)
        self.assertEqual(shown["parameters"]["set_size"], size)
        self.assertEqual([m["next_set"] for m in shown["methods"]], sets)
        self.assertEqual([m["hit_rate"] for m in shown["methods"]],
                         [ws.cell(r, 11).value for r in (3, 4, 5)])
        rc, out, _ = self.run_tool("-w", "store.xlsx", "show")
        self.assertEqual(rc, 0)
        self.assertIn(sets[0], out)
        stale = "L3 holds the set of an earlier run: Thông số hoặc kho dữ liệu đã đổi"
        copies = [  # (a change first, the copy, its output, what it says, what it never says)
            ([], "Copy3", sets[2] + "\n", "Thông Báo: Đã Copy PP3", "earlier run"),
            ([], "copy4", "", "kelvora: Copy4: L9 is empty", "Đã Copy PP4"),
            (["set", "B2=10"], "Copy1", sets[0] + "\n", "kelvora: Copy1: " + stale, "empty"),
        ]
        for change, copy, output, says, never in copies:
            if change:
                self.assertEqual(self.run_tool("-w", "store.xlsx", *change)[0], 0)
                before = read_bytes(path)
            rc, out, err = self.run_tool("-w", "store.xlsx", copy)
            self.assertEqual((rc, out, read_bytes(path) == before), (0, output, True), err)
            self.assertIn(says, err)
            self.assertNotIn(never, err)

    def test_statistics_verbs_read_only_and_their_refusals(self):
        path = self.stored_book(draws=80)
        empty = self.init("empty.xlsx")
        before = read_bytes(path)
        rc, _, err = self.run_tool("-w", "store.xlsx", "report")
        self.assertEqual(rc, 3, err)
        self.assertIn("Main", err)
        self.assertEqual(self.run_tool("-w", "store.xlsx", "Main")[0], 0)
        analysed = read_bytes(path)
        shown = json.loads(self.run_tool("-w", "store.xlsx", "show", "--json")[1])
        chance = shown["methods"][0]["chance"]
        self.assertEqual((chance["rate"], shown["rerun_main"]), (0.4, False))
        self.assertTrue(0 <= chance["p_value"] <= chance["p_value_holm"] <= 1)
        self.assertEqual(shown["store_quality"], {"results_not_five_digits": 0, "examples": []})
        self.assertIsNone(shown["methods_2"][0]["chance"])
        rc, out, err = self.run_tool("-w", "store.xlsx", "report")
        self.assertEqual((rc, out), (0, "store-report.html\n"), err)
        self.assertTrue(os.path.exists(self.path("store-report.html")))
        sweep = json.loads(self.run_tool("-w", "store.xlsx", "sweep", "--json")[1])
        self.assertEqual((len(sweep["rows"]), sweep["rows"][117]["size"]), (195, 40))
        self.assertEqual(sweep["rows"][117]["hits"], shown["methods"][0]["hits"])
        gan = json.loads(self.run_tool("-w", "store.xlsx", "gan", "--json", "--last", "50")[1])
        self.assertEqual((len(gan["endings"]), gan["last"], sum(gan["dau"])), (100, 50, 50))
        # Ranges at their bounds and one past (the stage's kind allows 1..65).
        for args, status in [(("sweep", "--sizes", "60..70"), 2), (("sweep", "--stage", "3"), 2),
                             (("sweep", "--json", "--csv"), 2), (("gan", "--last", "0"), 2),
                             (("gan", "--last", "1"), 0), (("sweep", "--sizes", "1..65"), 0),
                             (("sweep", "--sizes", "0..65"), 2), (("sweep", "--sizes", "1..66"), 2),
                             (("sweep", "--sizes", "65"), 0), (("sweep", "--sizes", "66"), 2),
                             (("sweep", "--sizes", "40..40"), 0), (("sweep", "--sizes", "41..40"), 2),
                             (("sweep", "--sizes", "1.."), 2)]:
            self.assertEqual(self.run_tool("-w", "store.xlsx", *args)[0], status, args)
        for verb in ("sweep", "gan"):
            self.assertEqual(self.run_tool("-w", "empty.xlsx", verb)[0], 3, verb)
        self.assertEqual(read_bytes(path), analysed)
        self.assertNotEqual(analysed, before)
        # Changed parameters and results that lost their leading zeros.
        self.assertEqual(self.run_tool("-w", "store.xlsx", "set", "B2=30")[0], 0)
        wb = openpyxl.load_workbook(path)
        wb.worksheets[0]["B20"] = 1234
        wb.save(path)
        shown = json.loads(self.run_tool("-w", "store.xlsx", "show", "--json")[1])
        self.assertEqual((shown["rerun_main"], shown["methods"][0]["chance"]), (True, None))
        quality = {"results_not_five_digits": 1, "examples": [1234]}
        self.assertEqual(shown["store_quality"], quality)
        self.assertIn("Main", self.run_tool("-w", "store.xlsx", "show")[1])
        # Every view of the store carries the same warning and no verdict
        # against chance: (arguments, the stream of the warning, a verdict).
        warning = ("Kho dữ liệu có kết quả không đúng 5 chữ số; số liệu tính trên đó không so "
                   'sánh được với ngẫu nhiên (1/80: "1234")')
        for args, stream, verdict in [
                (["show"], 1, "khác ngẫu nhiên"), (["sweep"], 1, "from chance"),
                (["sweep", "--csv"], 2, "from chance"), (["gan"], 1, "khác ngẫu nhiên"),
                (["report", "-o", "-"], 1, "khác ngẫu nhiên")]:
            shown = self.run_tool("-w", "store.xlsx", *args)
            self.assertEqual(shown[0], 0, args)
            self.assertIn(warning, shown[stream].replace("&quot;", '"'), args)
            self.assertNotIn(verdict, shown[1].lower(), args)
        for verb in ("sweep", "gan"):
            shown = json.loads(self.run_tool("-w", "store.xlsx", verb, "--json")[1])
            self.assertEqual(shown["store_quality"], quality, verb)
        self.assertTrue(os.path.exists(empty))

    def test_report_replaces_only_its_own_pages(self):
        path = self.stored_book(draws=80)
        self.assertEqual(self.run_tool("-w", "store.xlsx", "Main")[0], 0)
        other = self.init("other.xlsx")
        os.symlink("store.xlsx", self.path("link.html"))
        with open(self.path("notes.txt"), "w") as f:
            f.write("mine")
        rc, page, err = self.run_tool("-w", "store.xlsx", "report", "-o", "-")
        self.assertEqual(rc, 0, err)
        self.assertIn('id="kelvora-data"', page)
        self.assertFalse(os.path.exists(self.path("-")))
        cases = [  # (the page's file, --force, status, what the message says)
            ("store.xlsx", True, 1, "the workbook the report is made from"),
            ("link.html", True, 1, "the workbook the report is made from"),
            ("other.xlsx", True, 1, "zip package"),
            ("notes.txt", False, 1, "use --force"),
            ("notes.txt", True, 0, ""),
            ("notes.txt", False, 0, ""),  # now one of its own pages
        ]
        for name, force, status, message in cases:
            before = {p: read_bytes(p) for p in (path, other)}
            rc, _, err = self.run_tool("-w", "store.xlsx", "report", "-o", name,
                                       *(["--force"] if force else []))
            self.assertEqual(rc, status, (name, err))
            self.assertIn(message, err, name)
            self.assertEqual({p: read_bytes(p) for p in (path, other)}, before, name)
        self.assertTrue(os.path.islink(self.path("link.html")))
    def test_export_and_import_round_trip_the_store(self):
        path = self.stored_book()
        wb = openpyxl.load_workbook(path)
        wb.worksheets[0]["B20"] = "00017"
        wb.save(path)
        store = lambda: [(c.value, type(c.value)) for row in openpyxl.load_workbook(path)
                         .worksheets[0]["A15:B80"] for c in row]
        before = store()
        rc, out, err = self.run_tool("-w", "store.xlsx", "export")
        self.assertEqual(rc, 0, err)
        lines = out.split("\n")
        self.assertEqual(lines[:5], ["draw,result", "24100,12345", "24099,20264", "24098,28183",
                                     "24097,00017"])
        rows = json.loads(self.run_tool("-w", "store.xlsx", "export", "--json")[1])
        self.assertEqual(rows[3], {"draw": 24097, "result": "00017"})
        self.assertEqual(self.run_tool("-w", "store.xlsx", "export", "-o", "s.csv")[0], 0)
        self.assertEqual(read_bytes(self.path("s.csv")).decode(), out)
        self.assertEqual(self.run_tool("-w", "store.xlsx", "XoaDuLieu", "--yes")[0], 0)
        rc, _, err = self.run_tool("-w", "store.xlsx", "import", "-",
                                   stdin=b"\xef\xbb\xbf" + out.replace("\n", "\r\n").encode())
        self.assertEqual(rc, 0, err)
        self.assertIn("60 new draws", err)
        self.assertEqual(store(), before)
        # Nothing new, a bad row, an export over a workbook: the file stays.
        self.init("other.xlsx")
        saved = read_bytes(path)
        bad = out.replace("24099,20264", "24099,20264\n24096,123")
        for args, stdin, status, message in [
                (["import", "s.csv"], b"", 3, "Không có dữ liệu mới đuợc thêm vào\n"),
                (["import", "-"], out.replace("24100,12345", "24100,12346").encode(), 3,
                 "kelvora -w store.xlsx fix 24100=12346"),
                (["import", "-"], bad.encode(), 3, 'line 4: "24096,123": the result must be'),
                (["export", "-o", "store.xlsx"], b"", 1, "is the workbook being exported"),
                (["export", "-o", "other.xlsx"], b"", 1, "is a workbook (a zip package)")]:
            others = read_bytes(self.path("other.xlsx"))
            rc, _, err = self.run_tool("-w", "store.xlsx", *args, stdin=stdin)
            self.assertEqual(rc, status, (args, err))
            self.assertIn(message, err)
            self.assertEqual((read_bytes(path), read_bytes(self.path("other.xlsx"))),
                             (saved, others), args)

    def test_paths_users_trip_on(self):
        os.symlink("gone.xlsx", self.path("link.xlsx"))
        cases = [  # (arguments, status, message)
            (["-w", "", "Main"], 2, "the workbook's name is empty"),
            (["-w", "link.xlsx", "Main"], 1, "link.xlsx is a symbolic link to gone.xlsx, which"),
            (["init", "--force", "link.xlsx"], 1, "a symbolic link to gone.xlsx, which does not"),
            (["init", "a.txt"], 2, "ends in .xlsx or .xlsm"),
            (["init", "a.xls"], 2, "ends in .xlsx or .xlsm"),
            (["init", "A.XLSM"], 0, "created A.XLSM"),
        ]
        for args, status, message in cases:
            rc, _, err = self.run_tool(*args)
            self.assertEqual(rc, status, (args, err))
            self.assertIn(message, err, args)
        self.assertEqual(sorted(os.listdir(self.dir)), ["A.XLSM", "link.xlsx"])

    def test_second_stage_methods_are_numbered_four_to_six(self):
        self.init("empty.xlsx")
        rc, out, _ = self.run_tool("-w", "empty.xlsx", "show")
        self.assertIn("The store is empty", out)
        self.assertEqual(json.loads(self.run_tool("-w", "empty.xlsx", "show", "--json")[1])
                         ["stored_draws"], 0)
        self.stored_book(name="book.xlsx")
        self.assertEqual(self.run_tool("-w", "book.xlsx", "set", "B6=ON")[0], 0)
        self.assertEqual(self.run_tool("-w", "book.xlsx", "Main")[0], 0)
        rc, out, _ = self.run_tool("-w", "book.xlsx", "show")
        stage2 = out[out.index("Stage 2, methods 4 to 6 (D9:L11):"):].split("\n")
        self.assertEqual([line.split()[0] for line in stage2[2:5]], ["4", "5", "6"])
        shown = json.loads(self.run_tool("-w", "book.xlsx", "show", "--json")[1])
        self.assertEqual([m["method"] for m in shown["methods_2"]], [4, 5, 6])
        sweep = json.loads(self.run_tool("-w", "book.xlsx", "sweep", "--stage", "2", "--json")[1])
        self.assertEqual({r["method"] for r in sweep["rows"]}, {4, 5, 6})
        self.assertEqual(self.run_tool("-w", "book.xlsx", "report", "-o", "r.html")[0], 0)
        page = read_bytes(self.path("r.html")).decode()
        data = json.loads(re.search(r'id="kelvora-data">(.*?)</script>', page, re.S).group(1))
        # Both views give the same figures of the book; only the name differs.
        shared = ("heading", "stored_draws", "newest_draw", "methods", "methods_2", "rerun_main",
                  "store_quality")
        self.assertEqual({k: data[k] for k in shared}, {k: shown[k] for k in shared})
        self.assertEqual([s["state"] for s in data["stages"]], ["current", "current"])

    def test_clear_asks_and_no_is_the_default(self):
        path = self.stored_book()
        for args, kept in (([], [24100, 60]), (["--no"], [24100, 60]), (["--yes"], [None, None])):
            rc, _, err = self.run_tool("-w", "store.xlsx", "xoadulieu", *args)
            self.assertEqual(rc, 0, err)
            self.assertIn("Thông Báo: Bạn có chắc muốn xóa tất cả dữ liệu cũ", err)
            ws = openpyxl.load_workbook(path).worksheets[0]
            self.assertEqual([ws["A17"].value, ws["B15"].value], kept, args)

    def ask_on_a_terminal(self, path, answer, meanwhile=None, args=("XoaDuLieu",)):
        """Runs a command (XoaDuLieu) with a terminal as standard input,
        answers its question, and returns (status, standard error)."""
        master, slave = pty.openpty()
        p = subprocess.Popen([KELVORA, "-w", path, *args], cwd=self.dir, stdin=slave,
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=self.env)
        os.close(slave)
        err = b""
        while b"[y/N]" not in err:
            chunk = os.read(p.stderr.fileno(), 4096)
            if not chunk:
                break
            err += chunk
        if meanwhile:
            meanwhile()
        os.write(master, answer + b"\n")
        rest = p.communicate(timeout=120)[1]
        os.close(master)
        return p.returncode, (err + rest).decode("utf-8")

    def test_question_on_a_terminal_and_a_file_changed_meanwhile(self):
        path = self.stored_book()
        rc, err = self.ask_on_a_terminal(path, b"n")
        self.assertEqual(rc, 0, err)
        self.assertIn("[y/N]", err)
        self.assertEqual(openpyxl.load_workbook(path).worksheets[0]["A17"].value, 24100)
        # Another program writes the file while the question waits: the
        # command's result is not saved over it.
        rc, err = self.ask_on_a_terminal(path, b"y", lambda: os.utime(path, (1, 1)))
        self.assertEqual(rc, 1, err)
        self.assertIn("another program changed the file", err)
        self.assertEqual(openpyxl.load_workbook(path).worksheets[0]["A17"].value, 24100)
        rc, err = self.ask_on_a_terminal(path, b"y")
        self.assertEqual(rc, 0, err)
        self.assertIsNone(openpyxl.load_workbook(path).worksheets[0]["A17"].value)

    def test_failed_command_leaves_the_file_as_it_was(self):
        path = self.stored_book()
        # Main writes its method table, then fails on a draw number that is
        # not a number: nothing of it reaches the file. A Copy of a cell that
        # holds an error value fails before the clipboard.
        for cell, value, command in (("A17", "abc", "Main"), ("L3", "#N/A", "Copy1")):
            wb = openpyxl.load_workbook(path)
            wb.worksheets[0][cell] = value
            wb.save(path)
            before = read_bytes(path)
            rc, out, err = self.run_tool("-w", "store.xlsx", command)
            self.assertEqual((rc, out), (1, ""), err)
            self.assertIn("error 13", err)
            self.assertNotIn("Đã Copy", err)
            self.assertEqual(read_bytes(path), before)

    def test_refuses_files_it_cannot_use(self):
        with open(self.path("page.xlsx"), "wb") as f:
            f.write(b"<html>not a workbook</html>")
        wb = openpyxl.Workbook()
        wb.save(self.path("plain.xlsx"))
        bomb = self.path("bomb.xlsx")
        with zipfile.ZipFile(bomb, "w", zipfile.ZIP_DEFLATED) as z:
            z.writestr("[Content_Types].xml", "<Types/>")
            z.writestr("xl/worksheets/sheet1.xml", b"\0" * (8 << 20))
        cases = [("page.xlsx", "zip"), ("plain.xlsx", "Sheet1"), ("bomb.xlsx", "bomb"),
                 ("missing.xlsx", "does not exist")]
        for name, message in cases:
            before = read_bytes(self.path(name)) if os.path.exists(self.path(name)) else None
            rc, _, err = self.run_tool("-w", name, "Main")
            self.assertEqual(rc, 1, name)
            self.assertIn(message, err, name)
            if before is not None:
                self.assertEqual(read_bytes(self.path(name)), before, name)
            self.assertFalse(os.path.exists(self.path("kelvora.xlsx")))

    def test_every_untouched_part_stays_byte_identical(self):
        path = self.stored_book(name="rich.xlsm")
        wb = openpyxl.load_workbook(path, keep_vba=True)
        main = wb.worksheets[0]
        main["C20"] = "=B15*2"
        main["C21"] = "kept text"
        main["C21"].font = Font(bold=True, color="FF0000")
        main["C21"].fill = PatternFill("solid", fgColor="FFFF00")
        main.merge_cells("M1:N1")
        main["M1"] = "merged"
        main["C5"].comment = Comment("a note", "tester")
        notes = wb.create_sheet("Ghi chú")
        notes["A1"] = 3
        notes["A2"] = "=A1*7"
        notes.merge_cells("B1:C2")
        notes["A1"].comment = Comment("another note", "tester")
        wb.create_sheet("Trống")
        wb.save(path)
        with zipfile.ZipFile(path, "a") as z:
            z.writestr("xl/vbaProject.bin", b"\xd0\xcf\x11\xe0 not really a macro project")
        before = entries(path)
        self.assertIn(b"macroEnabled", before["[Content_Types].xml"])

        for run in [("DanKQXS", "--clipboard", os.path.join(DATA, "sample_100_draws.html")),
                    ("Main",)]:
            rc, _, err = self.run_tool("-w", "rich.xlsm", *run)
            self.assertEqual(rc, 0, (run, err))
        after = entries(path)
        changed = {n for n in before if after.get(n) != before[n]}
        allowed = {"xl/worksheets/sheet1.xml", "xl/worksheets/sheet2.xml", "xl/workbook.xml"}
        self.assertTrue(changed <= allowed, changed - allowed)
        # The workbook holds formulas, so it asks for a recalculation on load;
        # nothing else of it changes.
        self.assertIn(b'fullCalcOnLoad="1"', after["xl/workbook.xml"])
        strip = lambda b: re.sub(rb'<calcPr[^>]*/>', b'', re.sub(rb'^<\?xml[^>]*\?>\s*', b'', b))
        self.assertEqual(strip(after["xl/workbook.xml"]), strip(before["xl/workbook.xml"]))
        self.assertIn("xl/worksheets/sheet1.xml", changed)
        self.assertEqual(set(after), set(before))

        wb = openpyxl.load_workbook(path)
        main = wb.worksheets[0]
        self.assertEqual(main["C20"].value, "=B15*2")
        self.assertEqual(main["C21"].value, "kept text")
        self.assertTrue(main["C21"].font.b)
        self.assertIn("M1:N1", [str(r) for r in main.merged_cells.ranges])
        self.assertEqual(main["C5"].comment.text, "a note")
        self.assertEqual(wb["Ghi chú"]["A2"].value, "=A1*7")
        self.assertEqual(main.data_validations.dataValidation[0].formula1, "KieuDanh")
        self.assertRegex(main["L3"].value, r"^\d\d(,\d\d)+$")

    def test_adopt_gives_a_workbook_libreoffice_saved_its_shape(self):
        # LibreOffice keeps no code names; the name KieuDanh is gone too.
        path = self.stored_book(name="lo.xlsx")
        wb = openpyxl.load_workbook(path)
        for ws in wb.worksheets:
            ws.sheet_properties.codeName = None
        del wb.defined_names["KieuDanh"]
        wb.save(path)
        before = read_bytes(path)
        rc, _, err = self.run_tool("-w", "lo.xlsx", "Main")
        self.assertEqual(rc, 1, err)
        self.assertIn("its worksheets are 'Thống kê' (no code name), 'Dán kết quả' (no code "
                      "name), 'Cài đặt' (no code name)", err)
        self.assertIn("run: kelvora adopt lo.xlsx --main TAB --paste TAB --settings TAB", err)
        tabs = ["--main", "Thống kê", "--paste", "Dán kết quả", "--settings", "Cài đặt"]
        refusals = [  # the tabs given do not fit, or the first three are a guess left unasked
            (tabs[:5] + ["Ghi chú"], 2, "no sheet has the tab 'Ghi chú' (given as the settings "
             "sheet); the worksheets are 'Thống kê', 'Dán kết quả', 'Cài đặt'"),
            ([], 1, "give --main, --paste and --settings"),
        ]
        for args, status, message in refusals:
            rc, _, err = self.run_tool("adopt", "lo.xlsx", *args)
            self.assertEqual(rc, status, (args, err))
            self.assertIn(message, err)
            self.assertEqual(read_bytes(path), before, args)
        old, old_stored = entries(path), stored_entries(path)
        rc, err = self.ask_on_a_terminal(path, b"y", args=("adopt",))
        self.assertEqual(rc, 0, err)
        self.assertIn("'Cài đặt' (no code name) -> Sheet3, the settings sheet", err)
        self.assertIn("KieuDanh -> 'Cài đặt'!A1:A6 (added)", err)
        # Only the workbook part and the three sheets changed, each by one
        # attribute or element; every other entry is stored as it was.
        edited = {"xl/workbook.xml"} | {"xl/worksheets/sheet%d.xml" % i for i in (1, 2, 3)}
        new, stored = entries(path), stored_entries(path)
        self.assertEqual({n for n in old if stored.get(n) != old_stored[n]}, edited)
        self.assertEqual(set(new), set(old))
        for name in edited:
            self.assertLess(changed_span(old[name], new[name]), 120, name)
        wb = openpyxl.load_workbook(path)
        self.assertEqual([ws.sheet_properties.codeName for ws in wb.worksheets],
                         ["Sheet1", "Sheet2", "Sheet3"])
        self.assertEqual(wb.defined_names["KieuDanh"].attr_text, "'Cài đặt'!$A$1:$A$6")
        adopted = read_bytes(path)
        rc, _, err = self.run_tool("adopt", "-w", "lo.xlsx", *tabs)
        self.assertEqual(rc, 0, err)
        self.assertIn("has its shape already", err)
        self.assertEqual(read_bytes(path), adopted)
        rc, _, err = self.run_tool("-w", "lo.xlsx", "Main")
        self.assertEqual(rc, 0, err)
        shown = json.loads(self.run_tool("-w", "lo.xlsx", "show", "--json")[1])
        self.assertEqual(shown["stored_draws"], 60)

    def test_workbooks_without_their_shape_are_refused_before_any_command(self):
        def remove(wb):
            del wb.defined_names["KieuDanh"]
        cases = [  # how openpyxl changes a template book; what Main and adopt say
            (remove, "the workbook has no name KieuDanh",
             0, "KieuDanh -> 'Cài đặt'!A1:A6 (added)"),
            (lambda wb: setattr(wb.defined_names["KieuDanh"], "attr_text",
                                "'Cài đặt'!$A$1:$A$4"), "'Cài đặt'!A1:A4: 4 rows", 1, "of 4 rows"),
            (lambda wb: setattr(wb.defined_names["KieuDanh"], "attr_text",
                                "'Thống kê'!$A$1:$A$6"), "not to the settings sheet 'Cài đặt'", 1,
             "make 'Thống kê' the settings sheet"),
        ]
        for change, refusal, adopt_status, adopted in cases:
            path = self.path("book.xlsx")
            self.assertEqual(self.run_tool("init", "--force", path)[0], 0)
            wb = openpyxl.load_workbook(path)
            change(wb)
            wb.save(path)
            before = read_bytes(path)
            for verb in (["set", "B2=30"], ["show"], ["Main"]):
                rc, _, err = self.run_tool("-w", "book.xlsx", *verb)
                self.assertEqual(rc, 1, (verb, err))
                self.assertIn(refusal, err)
                self.assertEqual(read_bytes(path), before)
            rc, _, err = self.run_tool("adopt", "book.xlsx")
            self.assertEqual(rc, adopt_status, err)
            self.assertIn(adopted, err)
            if adopt_status != 0:
                self.assertEqual(read_bytes(path), before)

    def test_special_prize_page_from_files_and_standard_input(self):
        # The page as HTML gives the text a browser copies: results with their
        # leading zeros. (The engine's tests compare it with the text itself.)
        path = self.init("kelvora.xlsx")
        rc, _, err = self.run_tool("DanKQXSDB", "--clipboard",
                                   os.path.join(DATA, "sample_special_prize.html"))
        self.assertEqual(rc, 0, err)
        self.assertIn("kelvora: DanKQXSDB: 60 new draws; the store holds 60 draws", err)
        ws = openpyxl.load_workbook(path).worksheets[0]
        self.assertIn((24315, "06235"), [(ws.cell(r, 1).value, ws.cell(r, 2).value)
                                         for r in range(17, 17 + ws["B15"].value)])
        # Checks that stop a command (status 3) and leave the file: another
        # game; a table intake given no table or no clipboard.
        blocks = "".join("Kỳ %d\nĐB\t%05d\n" % (30000 - i, i) for i in range(60))
        stops = [
            ("dankqxsdb", "Kết quả xổ số 6 giải 2024\n" + blocks, "27 giải"),
            ("DanKQXSDB", "27 giải\n" + blocks[:blocks.index("Kỳ 29951\n")], "sai định dạng\nkelvora: "
             "DanKQXSDB: a special-prize text must hold at least 50 draws, each starting with the "
             "word Kỳ; this one holds 49"),
            ("dankqxsngay", "just some text\n", "Thông Báo: Vui Lòng Copy Đúng Bảng Kết Quả"),
            ("DanKQXS", None, ""),
        ]
        for command, text, message in stops:
            before = read_bytes(path)
            args = [] if text is None else ["--clipboard", "-"]
            rc, _, err = self.run_tool(command, *args, stdin=(text or "").encode())
            self.assertEqual(rc, 3, (command, err))
            self.assertIn(message, err)
            self.assertEqual(read_bytes(path), before)

    def test_two_writers_on_one_workbook_run_one_after_the_other(self):
        path = self.init()
        for i in range(20):
            runs = [subprocess.Popen([KELVORA, "-w", "book.xlsx", "set", cell], cwd=self.dir,
                                     env=self.env, stderr=subprocess.DEVNULL)
                    for cell in ("B2=%d" % (20 + i), "B4=%d" % (100 + i))]
            self.assertEqual([p.wait(timeout=120) for p in runs], [0, 0], i)
            ws = openpyxl.load_workbook(path, read_only=True).worksheets[0]
            self.assertEqual([ws["B2"].value, ws["B4"].value], [20 + i, 100 + i], i)

    def test_refusals_that_leave_the_workbook_as_it_was(self):
        path = self.init()
        touch = lambda name: lambda: open(self.path(name), "wb").close()
        cases = [  # (what happens first, the command, what the message says)
            (touch("~$book.xlsx"), ["set", "B2=30"], "close the workbook in Excel first"),
            (touch(".~lock.book.xlsx#"), ["XoaDuLieu", "--yes"],
             "close the workbook in LibreOffice first"),
            (lambda: os.chmod(path, 0o444), ["set", "B2=30"], "read-only"),  # even as root
            (lambda: None, ["demo"], "already exists (use --force to replace it)"),
        ]
        for setup, args, message in cases:
            for name in ("~$book.xlsx", ".~lock.book.xlsx#"):
                if os.path.exists(self.path(name)):
                    os.remove(self.path(name))
            os.chmod(path, 0o644)
            setup()
            before = read_bytes(path)
            rc, _, err = self.run_tool("-w", "book.xlsx", *args)
            self.assertEqual(rc, 1, (args, err))
            self.assertIn(message, err)
            self.assertEqual(read_bytes(path), before, args)

    def test_refused_intakes_save_nothing_and_fix_mends_a_result(self):
        path = self.init()
        row = lambda draw, digits: "<tr><td>%d</td><td>x</td>%s</tr>" % (
            draw, "".join("<td>%s</td>" % d for d in digits))
        pages = {"a.html": [row(10, "01234"), row(11, "22222")],
                 "b.html": [row(10, "01235"), row(12, "33333")]}
        for name, rows in pages.items():
            with open(self.path(name), "w") as f:
                f.write("<table>%s</table>" % "".join(rows))
        self.assertEqual(self.run_tool("-w", "book.xlsx", "DanKQXSNgay", "--clipboard",
                                       "a.html")[0], 0)
        before = read_bytes(path)
        for command in ("DanKQXS", "DanKQXSNgay"):  # a refused intake saves nothing
            rc, _, err = self.run_tool("-w", "book.xlsx", command, "--clipboard", "b.html")
            self.assertEqual((rc, read_bytes(path) == before), (3, True), err)
        self.assertIn("01234", err)
        self.assertIn("kelvora -w book.xlsx fix 10=01235", err)
        for arg, status in [("10=1235", 2), ("99=12345", 1), ("10=01235", 0)]:
            self.assertEqual(self.run_tool("-w", "book.xlsx", "fix", arg)[0], status, arg)
        self.assertEqual(self.run_tool("-w", "book.xlsx", "DanKQXSNgay", "--clipboard",
                                       "b.html")[0], 0)

    def test_every_intake_says_nothing_new_alike(self):
        path = self.init()
        for command, page in [("DanKQXS", "sample_100_draws.html"),
                              ("DanKQXSNgay", "sample_by_date.html"),
                              ("DanKQXSDB", "sample_special_prize.txt")]:
            args = ["-w", "book.xlsx", command, "--clipboard", os.path.join(DATA, page)]
            self.run_tool(*args)
            before = read_bytes(path)
            rc, _, err = self.run_tool(*args)
            self.assertEqual((rc, read_bytes(path) == before), (3, True), (command, err))
            self.assertIn("Thông Báo: Không có dữ liệu mới đuợc thêm vào\n", err)

    def test_stale_temporary_files_of_gone_processes_are_removed(self):
        self.init()
        gone = subprocess.Popen(["true"])
        gone.wait()
        kept = {".book.xlsx.kelvora-%d-aB3dE9.tmp" % gone.pid: False,
                ".book.xlsx.kelvora-%d-aB3dE9.tmp" % os.getpid(): True,  # still running
                ".other.xlsx.kelvora-%d-aB3dE9.tmp" % gone.pid: True,  # another book's
                ".book.xlsx.aB3dE9": True, ".book.xlsx.kelvora-%d.tmp" % gone.pid: True}
        for name in kept:
            open(self.path(name), "wb").close()
        self.assertEqual(self.run_tool("-w", "book.xlsx", "set", "B2=30")[0], 0)
        self.assertEqual({n: os.path.exists(self.path(n)) for n in kept}, kept)

    def test_clipboard_files_as_users_hand_them(self):
        text = read_bytes(os.path.join(DATA, "sample_special_prize.txt")).decode()
        text = text.replace("\r\n", "\n")
        os.mkdir(self.path("folder"))
        cases = [  # (clipboard file, its bytes, status, message)
            ("/dev/stdin", text.encode(), 0, "60 new draws"),
            ("le.txt", b"\xff\xfe" + text.encode("utf-16-le"), 0, "60 new draws"),
            ("be.txt", b"\xfe\xff" + text.encode("utf-16-be"), 0, "60 new draws"),
            ("cr.txt", text.replace("\n", "\r").encode(), 0, "60 new draws"),
            ("cp1258.txt", text.encode().replace("Kỳ".encode(), b"K\xfd"), 1, "wrong encoding"),
            ("folder", None, 1, "folder is a folder, not a file"),
        ]
        for i, (name, data, status, message) in enumerate(cases):
            book = self.init("b%d.xlsx" % i)
            if data and not name.startswith("/"):
                with open(self.path(name), "wb") as f:
                    f.write(data)
            before = read_bytes(book)
            rc, _, err = self.run_tool("-w", book, "DanKQXSDB", "--clipboard", name,
                                       stdin=data or b"")
            self.assertEqual(rc, status, (name, err))
            self.assertIn(message, err, name)
            if status:
                self.assertEqual(read_bytes(book), before, name)


def main():
    global KELVORA, DATA
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    KELVORA = os.path.abspath(sys.argv[1])
    DATA = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 else
                           os.path.join(os.path.dirname(__file__), "..", "data"))
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(ToolTest)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    failed = len(result.failures) + len(result.errors)
    print("%d passed, %d failed" % (result.testsRun - failed, failed))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())

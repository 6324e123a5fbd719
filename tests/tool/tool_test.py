#!/usr/bin/python3
"""The command-line contract of the kelvora tool, checked against workbook
files read and written by openpyxl as an independent implementation.

Usage: tool_test.py KELVORA [DATA_DIR (default tests/data)]
"""
import json
import os
import pty
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import unicodedata
import unittest
import zipfile
from pathlib import Path

import openpyxl
from openpyxl.comments import Comment

KELVORA = DATA = None


def stored_entries(path):
    """Every entry of a zip file as stored: name -> (CRC, method, compressed bytes)."""
    data, out = path.read_bytes(), {}
    with zipfile.ZipFile(path) as z:
        for i in z.infolist():
            at = i.header_offset  # past a 30-byte header, the name and the extra field
            at += 30 + sum(int.from_bytes(data[o:o + 2], "little") for o in (at + 26, at + 28))
            out[i.filename] = (i.CRC, i.compress_type, data[at:at + i.compress_size])
    return out


def folder(path):
    """Every entry of a folder: its bytes, a link's target, or None for a folder."""
    return {p.name: "-> " + os.readlink(p) if p.is_symlink() else None if p.is_dir() else
            p.read_bytes() for p in path.iterdir()}


class ToolTest(unittest.TestCase):
    def setUp(self):
        self.dir = Path(tempfile.mkdtemp(prefix="kelvora-tool-"))
        self.addCleanup(shutil.rmtree, self.dir, ignore_errors=True)
        # The tool's lines in English (language_test.py checks them in Vietnamese).
        self.env = dict({k: v for k, v in os.environ.items()
                         if k not in ("DISPLAY", "WAYLAND_DISPLAY", "LANGUAGE")}, LC_ALL="C")

    def run_tool(self, *args, stdin=b""):
        p = subprocess.run([KELVORA, *args], cwd=self.dir, input=stdin, capture_output=True,
                           env=self.env, timeout=300)
        return p.returncode, p.stdout.decode("utf-8"), p.stderr.decode("utf-8")

    def ok(self, *args, stdin=b""):
        """Standard output of a run that must succeed."""
        rc, out, err = self.run_tool(*args, stdin=stdin)
        self.assertEqual(rc, 0, (args, err))
        return out

    def json_of(self, *args):
        return json.loads(self.ok(*args))

    def runs(self, cases, prefix=""):
        """Runs each (arguments, status, what it says[, standard input]): arguments a list or
        a shell-quoted string after `prefix`, what it says a text or a tuple of texts. A run
        that fails says it on standard error and leaves every file as it was."""
        for args, status, says, *stdin in cases:
            args = shlex.split(prefix) + (shlex.split(args) if isinstance(args, str) else args)
            before = folder(self.dir)
            rc, out, err = self.run_tool(*args, stdin=stdin[0] if stdin else b"")
            self.assertEqual(rc, status, (args, err))
            for text in (says,) if isinstance(says, str) else says:
                self.assertIn(text, err if status else out + err, args)
            if status:
                self.assertEqual(folder(self.dir), before, args)

    def init(self, name="book.xlsx"):
        self.ok("init", name)
        return self.dir / name

    def put(self, path, **cells):
        wb = openpyxl.load_workbook(path)
        for cell, value in cells.items():
            wb.worksheets[0][cell] = value
        wb.save(path)
        return path

    def main_sheet(self, path):  # a path, or a name in the test's folder
        return openpyxl.load_workbook(self.dir / path).worksheets[0]

    def stored_book(self, draws=60, name="store.xlsx"):
        """A template book whose store openpyxl filled with `draws` rows from 24100 down."""
        cells = {"B15": draws}
        for i in range(draws):
            cells["A%d" % (17 + i)] = 24100 - i
            cells["B%d" % (17 + i)] = "%05d" % ((i * 7919 + 12345) % 100000)
        return self.put(self.init(name), **cells)

    def test_init_creates_the_template_and_refuses_paths_users_trip_on(self):
        wb = openpyxl.load_workbook(self.init())
        self.assertEqual([s.sheet_properties.codeName for s in wb.worksheets],
                         ["Sheet1", "Sheet2", "Sheet3"])
        self.assertEqual(wb.sheetnames, ["Thống kê", "Dán kết quả", "Cài đặt"])
        self.assertEqual(wb.defined_names["KieuDanh"].attr_text, "'Cài đặt'!$A$1:$A$6")
        main, settings = wb.worksheets[0], wb.worksheets[2]
        kinds = [settings.cell(r, 1).value for r in range(1, 7)]
        self.assertEqual(len(set(kinds)), 6)
        self.assertTrue({main["B1"].value, main["B7"].value} <= set(kinds))
        self.assertEqual((main["B6"].value, type(main["B2"].value)), ("OFF", int))
        self.assertIsNotNone(main["A10"].value)
        self.assertEqual([main.cell(r, 1).value for r in range(11, 17)], [None] * 6)
        self.assertEqual([main[c].number_format for c in ("B17", "B65016", "L3", "L9", "B65017")],
                         ["@"] * 4 + ["General"])
        dv = main.data_validations.dataValidation
        self.assertEqual([(str(d.sqref), d.formula1) for d in dv], [("B1 B7", "KieuDanh")])
        self.assertGreater(main.column_dimensions["L"].width, 30)
        os.symlink("gone.xlsx", self.dir / "link.xlsx")
        self.runs([
            ("init book.xlsx", 1, "--force"),
            ("-w book.xlsx demo", 1, "already exists (use --force to replace it)"),
            ("-w '' Main", 2, "the workbook's name is empty"),
            ("-w link.xlsx Main", 1, "link.xlsx is a symbolic link to gone.xlsx, which"),
            ("init --force link.xlsx", 1, "a symbolic link to gone.xlsx, which does not"),
            ("init a.txt", 2, "ends in .xlsx or .xlsm"), ("init a.xls", 2, "ends in .xlsx or .xlsm"),
            ("init A.XLSM", 0, "created A.XLSM"), ("init --force book.xlsx", 0, "")])
        self.assertEqual(sorted(os.listdir(self.dir)), ["A.XLSM", "book.xlsx", "link.xlsx"])

    def test_default_book_is_made_when_a_command_needs_it(self):
        rc, out, err = self.run_tool("main")
        self.assertEqual(rc, 3, err)  # an empty store: not enough data
        self.assertIn("kelvora.xlsx", err)
        self.assertIn("Thông Báo: Không đủ dữ liệu để thống kê", err)
        self.assertEqual(self.main_sheet("kelvora.xlsx").sheet_properties.codeName, "Sheet1")
        os.remove(self.dir / "kelvora.xlsx")
        self.runs([("show", 1, "")])  # show does not make one: the folder stays empty

    def test_set_writes_parameter_cells_only(self):
        path = self.init()
        window = "the window is a number of draws from 2 to 2147483647"
        nfd = lambda text: unicodedata.normalize("NFD", text)
        for args, status, expect in [  # expect: the cells written or what the refusal says
                ("B2=35", 0, {"B2": 35}), ("b4=150 B6=ON", 0, {"B4": 150, "B6": "ON"}),
                # B3 and B9 are Text cells: they keep "07" and "3" as text
                ("B3=07", 0, {"B3": "07"}), ("B9=3", 0, {"B9": "3"}), ("B4=2", 0, {"B4": 2}),
                ("'B1=Đề đầu'", 0, {"B1": "Đề đầu"}), ("B8=2.5e2", 0, {"B8": 250}),
                ("B5=1", 2, ""), ("A17=1", 2, ""), ("B2", 2, ""), ("B2=1 L3=x", 2, ""),
                # What no run could use: a kind in another case, a size past its kind's limits
                # (with the kind written or stored), the switch in lower case, a decimal comma.
                ("'B1=Đề Đầu'", 2, ""), ("B2=66", 2, ""), ("'B1=Một số'", 2, ""),
                ("'B1=Một số' B2=9", 0, {"B1": "Một số", "B2": 9}), ("B6=on", 2, ""),
                ("B4=1,5", 2, ""), ("B8=521 'B7=Ba càng đuôi'", 2, ""),
                # A kind typed decomposed is written as KieuDanh spells it.
                (["B1=" + nfd("Đề đầu")], 0, {"B1": "Đề đầu"}), (["B1=" + nfd("Đề Đầu")], 2, ""),
                (["B7=" + nfd("Ba càng đuôi"), "B8=520"], 0, {"B7": "Ba càng đuôi", "B8": 520}),
                *[(c + "=" + v, 2, window) for c in ("B4", "B10")  # windows no run can use
                  for v in ("abc", "0", "-5", "1", "''", "99999999999999999999")]]:
            self.runs([(args, status, expect if status else "")], "-w book.xlsx set")
            if not status:
                self.assertEqual({c: self.main_sheet(path)[c].value for c in expect}, expect, args)

    def test_usage_errors_help_and_demo(self):
        os.mkdir(self.dir / "demo")
        self.init("demo/demo.xlsx")  # replaced: demo refuses it without --force
        rc, out, err = self.run_tool("-w", "demo/demo.xlsx", "demo", "--force")
        self.assertIn(rc, (0, 3), err)
        self.assertIn("Workbook: demo/demo.xlsx", out)
        self.assertEqual(self.main_sheet("demo/demo.xlsx")["B15"].value, 100)
        self.init("kelvora.xlsx")
        unknown = "unknown command nosuchcommand; the commands are: telex"
        self.runs([("nosuchcommand", 2, unknown), ("help nosuchcommand", 2, unknown),
                   ("main --yes --no", 2, ""), ("main --bogus", 2, ""), ("", 2, ""),
                   ("--help", 0, "Exit status"), ("help", 0, "Exit status")])
        for args in (["help", "copy5"], ["Copy5", "--help"]):  # only what the verb takes
            out = self.ok(*args)
            self.assertEqual(("--clipboard" in out, "Exit status" in out), (True, False), args)

    def test_digest_and_numbers(self):
        # UTF-8 input: U+0141 is one code unit, hashed as its low byte 0x41.
        for args, out in [
                ("digest Ł", "559aead08264d5795d3909718cdd05abd49572e84fe55590eef31a88a08fdffd\n"),
                ("digest -- -abc",
                 "649d85fcc5d7e13d1217fc85fc746817f31c16fcf850002545dda492fd8caffc\n"),
                ("numbers --width 2 --size 3 abc", "16,78,81\n"),
                ("numbers --width 1 --size 10 abc", "0,1,2,3,4,5,6,7,8,9\n")]:
            self.assertEqual(self.run_tool(*args.split())[:2], (0, out), args)
        for args in ("--width 2 --size 0", "--width 1 --size 11", "--width 4 --size 1",
                     "--width 2 --size x", "--width 2"):
            self.assertEqual(self.run_tool("numbers", *args.split(), "abc")[:2], (2, ""), args)

    def test_main_copy_and_show_on_a_store_openpyxl_wrote(self):
        path = self.stored_book()
        self.assertEqual(self.run_tool("-w", "store.xlsx", "MAIN")[::2], (0, "kelvora: Main: "
                         "stage 1 tested 59 draws (window 200, the store holds 60 draws); stage 2 "
                         "is off\n"))
        ws = self.main_sheet(path)
        size, sets = ws["B2"].value, [ws.cell(r, 12).value for r in (3, 4, 5)]
        self.assertRegex(sets[0], r"^\d\d(,\d\d){%d}$" % (size - 1))
        # Copy prints the cell and changes nothing; show gives what openpyxl reads.
        before = path.read_bytes()
        shown = self.json_of("-w", "store.xlsx", "show", "--json")
        self.assertEqual((shown["stored_draws"], shown["newest_draw"], shown["heading"],
                          shown["parameters"]["set_size"]), (60, 24100, ws["D1"].value, size))
        self.assertEqual([(m["next_set"], m["hit_rate"]) for m in shown["methods"]],
                         [(ws.cell(r, 12).value, ws.cell(r, 11).value) for r in (3, 4, 5)])
        self.assertIn(sets[0], self.ok("-w", "store.xlsx", "show"))
        stale = "L3 holds the set of an earlier run: Thông số hoặc kho dữ liệu đã đổi"
        for change, copy, output, says, never in [
                ([], "Copy3", sets[2] + "\n", "Thông Báo: Đã Copy PP3", "earlier run"),
                ([], "copy4", "", "kelvora: Copy4: L9 is empty", "Đã Copy PP4"),
                (["set", "B2=10"], "Copy1", sets[0] + "\n", "kelvora: Copy1: " + stale, "empty")]:
            if change:
                self.ok("-w", "store.xlsx", *change)
                before = path.read_bytes()
            rc, out, err = self.run_tool("-w", "store.xlsx", copy)
            self.assertEqual((rc, out, path.read_bytes() == before), (0, output, True), err)
            self.assertIn(says, err)
            self.assertNotIn(never, err)

    def test_statistics_verbs_read_only_and_their_refusals(self):
        path = self.stored_book(draws=80)
        self.init("empty.xlsx")
        before = path.read_bytes()
        self.runs([("report", 3, "Main"), ("Main", 0, "")], "-w store.xlsx")
        analysed = path.read_bytes()
        # The figures are the engine's; here the views carry the stage's parameters.
        shown = self.json_of("-w", "store.xlsx", "show", "--json")
        self.assertFalse(shown["rerun_main"])
        self.assertEqual(self.ok("-w", "store.xlsx", "report"), "store-report.html\n")
        self.assertTrue((self.dir / "store-report.html").exists())
        rows = self.json_of("-w", "store.xlsx", "sweep", "--json")["rows"]
        self.assertEqual((len(rows), rows[117]["size"], rows[117]["hits"]),
                         (195, 40, shown["methods"][0]["hits"]))
        gan = self.json_of("-w", "store.xlsx", "gan", "--json", "--last", "50")
        self.assertEqual((len(gan["endings"]), gan["last"], sum(gan["dau"])), (100, 50, 50))
        # Ranges at their bounds and one past (the stage's kind allows 1..65).
        self.runs([("sweep --stage 3", 2, ""), ("sweep --json --csv", 2, ""),
                   ("gan --last 0", 2, ""), ("gan --last 1", 0, "")] +
                  [("sweep --sizes " + s, 0, "") for s in "1..65 65 40..40".split()] +
                  [("sweep --sizes " + s, 2, "") for s in "0..65 1..66 66 41..40 1..".split()],
                  "-w store.xlsx")
        self.runs([("sweep", 3, ""), ("gan", 3, "")], "-w empty.xlsx")
        self.assertIn("The store is empty", self.ok("-w", "empty.xlsx", "show"))
        self.assertEqual(self.json_of("-w", "empty.xlsx", "show", "--json")["stored_draws"], 0)
        self.assertEqual(path.read_bytes(), analysed)
        self.assertNotEqual(analysed, before)
        # Changed parameters and results that lost their leading zeros.
        self.ok("-w", "store.xlsx", "set", "B2=30")
        self.put(path, B20=1234)
        shown = self.json_of("-w", "store.xlsx", "show", "--json")
        quality = {"results_not_five_digits": 1, "examples": [1234]}
        self.assertEqual([shown["rerun_main"], shown["methods"][0]["chance"],
                          shown["store_quality"]], [True, None, quality])
        self.assertIn("Main", self.ok("-w", "store.xlsx", "show"))
        # Every view of the store carries the same warning and no verdict against chance.
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
        self.assertEqual([self.json_of("-w", "store.xlsx", v, "--json")["store_quality"]
                          for v in ("sweep", "gan")], [quality] * 2)

    def test_report_replaces_only_its_own_pages(self):
        self.stored_book(draws=80)
        self.ok("-w", "store.xlsx", "Main")
        self.init("other.xlsx")
        os.symlink("store.xlsx", self.dir / "link.html")
        (self.dir / "notes.txt").write_text("mine")
        self.assertIn('id="kelvora-data"', self.ok("-w", "store.xlsx", "report", "-o", "-"))
        self.assertFalse((self.dir / "-").exists())
        made_from = "the workbook the report is made from"
        self.runs([("store.xlsx --force", 1, made_from), ("link.html --force", 1, made_from),
                   ("other.xlsx --force", 1, "zip package"), ("notes.txt", 1, "use --force"),
                   ("notes.txt --force", 0, ""), ("notes.txt", 0, "")],  # now one of its own pages
                  "-w store.xlsx report -o")
        self.assertEqual((self.dir / "notes.txt").read_bytes()[:15], b"<!DOCTYPE html>")

    def test_export_and_import_round_trip_the_store(self):
        path = self.stored_book()
        self.put(path, B20="00017")
        store = lambda: [(c.value, type(c.value)) for row in self.main_sheet(path)["A15:B80"]
                         for c in row]
        before = store()
        out = self.ok("-w", "store.xlsx", "export")
        self.assertEqual(out.split("\n")[:5], ["draw,result", "24100,12345", "24099,20264",
                                               "24098,28183", "24097,00017"])
        rows = self.json_of("-w", "store.xlsx", "export", "--json")
        self.assertEqual(rows[3], {"draw": 24097, "result": "00017"})
        bom_crlf = b"\xef\xbb\xbf" + out.replace("\n", "\r\n").encode()
        self.runs([("export -o s.csv", 0, ""), ("XoaDuLieu --yes", 0, ""),
                   ("import -", 0, "60 new draws", bom_crlf)], "-w store.xlsx")
        self.assertEqual(((self.dir / "s.csv").read_bytes().decode(), store()), (out, before))
        # Nothing new, a bad row, an export over a workbook: the files stay.
        self.init("other.xlsx")
        bad = out.replace("24099,20264", "24099,20264\n24096,123")
        whole = "24096," + "1" * 114  # 120 bytes: quoted whole, without "..."
        self.runs([
            ("import s.csv", 3, "Không có dữ liệu mới đuợc thêm vào\n"),
            ("import -", 3, "kelvora -w store.xlsx fix 24100=12346",
             out.replace("24100,12345", "24100,12346").encode()),
            ("import -", 3, 'line 4: "24096,123": the result must be', bad.encode()),
            ("import -", 3, '"%s": the result' % whole, bad.replace("24096,123", whole).encode()),
            ("export -o store.xlsx", 1, "is the workbook being exported"),
            ("export -o other.xlsx", 1, "is a workbook (a zip package)")], "-w store.xlsx")

    def test_second_stage_methods_are_numbered_four_to_six(self):
        self.stored_book(name="book.xlsx")
        self.runs([("set B6=ON", 0, ""), ("Main", 0, "")], "-w book.xlsx")
        out = self.ok("-w", "book.xlsx", "show")
        stage2 = out[out.index("Stage 2, methods 4 to 6 (D9:L11):"):].split("\n")
        self.assertEqual([line.split()[0] for line in stage2[2:5]], ["4", "5", "6"])
        shown = self.json_of("-w", "book.xlsx", "show", "--json")
        self.assertEqual([m["method"] for m in shown["methods_2"]], [4, 5, 6])
        sweep = self.json_of("-w", "book.xlsx", "sweep", "--stage", "2", "--json")
        self.assertEqual({r["method"] for r in sweep["rows"]}, {4, 5, 6})
        page = self.ok("-w", "book.xlsx", "report", "-o", "-")
        data = json.loads(re.search(r'id="kelvora-data">(.*?)</script>', page, re.S).group(1))
        # Both views give the same figures of the book; only the name differs.
        shared = ("heading", "stored_draws", "newest_draw", "methods", "methods_2", "rerun_main",
                  "store_quality")
        self.assertEqual({k: data[k] for k in shared}, {k: shown[k] for k in shared})
        self.assertEqual([s["state"] for s in data["stages"]], ["current", "current"])

    def ask_on_a_terminal(self, path, answer, meanwhile=None, args=("XoaDuLieu",)):
        """Answers the question of a run on a terminal; returns (status, standard error)."""
        master, slave = pty.openpty()
        p = subprocess.Popen([KELVORA, "-w", path, *args], cwd=self.dir, stdin=slave,
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=self.env)
        os.close(slave)
        err = b""
        while b"[y/N]" not in err and (chunk := os.read(p.stderr.fileno(), 4096)):
            err += chunk
        if meanwhile:
            meanwhile()
        os.write(master, answer + b"\n")
        rest = p.communicate(timeout=120)[1]
        os.close(master)
        return p.returncode, (err + rest).decode("utf-8")

    def test_clear_asks_and_no_is_the_default(self):
        path = self.stored_book()
        ask = "Thông Báo: Bạn có chắc muốn xóa tất cả dữ liệu cũ"
        changed = "another program changed the file"
        for args, answer, meanwhile, status, says, kept in [  # answer: on a terminal
                # --no holds on a terminal too, where a "y" would clear.
                ([], None, None, 0, ask, [24100, 60]), (["--no"], b"y", None, 0, ask, [24100, 60]),
                ([], b"n", None, 0, ask + " [y/N]", [24100, 60]),
                # Another program writes the file while the question waits: nothing is saved.
                ([], b"y", lambda: os.utime(path, (1, 1)), 1, changed, [24100, 60]),
                ([], b"y", None, 0, ask, [None, None]), (["--yes"], None, None, 0, ask, [None, None])]:
            rc, err = (self.ask_on_a_terminal(path, answer, meanwhile, ("XoaDuLieu", *args))
                       if answer else self.run_tool("-w", "store.xlsx", "xoadulieu", *args)[::2])
            self.assertEqual(rc, status, err)
            self.assertIn(says, err)
            self.assertEqual([self.main_sheet(path)[c].value for c in ("A17", "B15")], kept, args)

    def test_every_untouched_part_stays_byte_identical(self):
        path = self.stored_book(name="rich.xlsm")
        wb = openpyxl.load_workbook(path, keep_vba=True)
        main = wb.worksheets[0]
        main["C20"] = "=B15*2"
        main.merge_cells("M1:N1")
        main["C5"].comment = Comment("a note", "tester")
        wb.save(path)
        with zipfile.ZipFile(path, "a") as z:
            z.writestr("xl/vbaProject.bin", b"\xd0\xcf\x11\xe0 not really a macro project")
        before = stored_entries(path)
        self.assertIn(b"macroEnabled", zipfile.ZipFile(path).read("[Content_Types].xml"))
        self.ok("-w", "rich.xlsm", "DanKQXS", "--clipboard", DATA / "sample_100_draws.html")
        self.ok("-w", "rich.xlsm", "Main")
        after = stored_entries(path)
        changed = {n for n in before if after.get(n) != before[n]}
        allowed = {"xl/worksheets/sheet1.xml", "xl/worksheets/sheet2.xml", "xl/workbook.xml"}
        self.assertTrue("xl/worksheets/sheet1.xml" in changed <= allowed, changed - allowed)
        self.assertEqual(set(after), set(before))
        main = self.main_sheet(path)
        self.assertEqual((main["C20"].value, main["C5"].comment.text), ("=B15*2", "a note"))
        self.assertIn("M1:N1", [str(r) for r in main.merged_cells.ranges])
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
        tabs = "--main 'Thống kê' --paste 'Dán kết quả' --settings 'Cài đặt'"
        self.runs([  # the tabs given do not fit, or the first three are a guess left unasked
            ("-w lo.xlsx Main", 1, ("its worksheets are 'Thống kê' (no code name), 'Dán kết "
             "quả' (no code name), 'Cài đặt' (no code name)", "run: kelvora adopt lo.xlsx --main "
             "TAB --paste TAB --settings TAB")),
            ("adopt lo.xlsx " + tabs.replace("'Cài đặt'", "'Ghi chú'"), 2, "no sheet has the "
             "tab 'Ghi chú' (given as the settings sheet); the worksheets are 'Thống kê', "
             "'Dán kết quả', 'Cài đặt'"),
            ("adopt lo.xlsx", 1, "give --main, --paste and --settings")])
        rc, err = self.ask_on_a_terminal(path, b"y", args=("adopt",))
        self.assertEqual(rc, 0, err)
        self.assertIn("'Cài đặt' (no code name) -> Sheet3, the settings sheet", err)
        self.assertIn("KieuDanh -> 'Cài đặt'!A1:A6 (added)", err)
        adopted = path.read_bytes()
        self.runs([("adopt -w lo.xlsx " + tabs, 0, "has its shape already")])
        self.assertEqual(path.read_bytes(), adopted)

    def test_a_workbook_without_its_shape_is_refused_before_any_command(self):
        # Which shape faults exist and what adopt makes of them, the engine's
        # tests pin; here every verb refuses before it runs, with the remedy.
        path = self.init()
        wb = openpyxl.load_workbook(path)
        wb.defined_names["KieuDanh"].attr_text = "'Cài đặt'!$A$1:$A$4"
        wb.save(path)
        refusal = ("'Cài đặt'!A1:A4: 4 rows", "so that it refers to the six rows of bet kinds")
        self.runs([("-w book.xlsx " + v, 1, refusal) for v in ("set B2=30", "show", "Main")] +
                  [("adopt book.xlsx", 1, "of 4 rows")])

    def test_special_prize_page_from_files_and_standard_input(self):
        # The page as HTML gives the text a browser copies (that its results
        # keep their leading zeros, the samples' agreement shows).
        self.init("kelvora.xlsx")
        self.runs([(["DanKQXSDB", "--clipboard", DATA / "sample_special_prize.html"],
                    0, "kelvora: DanKQXSDB: 60 new draws; the store holds 60 draws")])
        # Checks that stop a command (status 3) and leave the file: too few draws; a table
        # intake given no table or no clipboard.
        blocks = "".join("Kỳ %d\nĐB\t%05d\n" % (30000 - i, i) for i in range(49))
        self.runs([
            ("DanKQXSDB --clipboard -", 3, "sai định dạng\nkelvora: DanKQXSDB: a special-prize "
             "text must hold at least 50 draws, each starting with the word Kỳ; this one holds 49",
             ("27 giải\n" + blocks).encode()),
            ("dankqxsngay --clipboard -", 3, "Thông Báo: Vui Lòng Copy Đúng Bảng Kết Quả",
             b"just some text\n"),
            ("DanKQXS", 3, "")])

    def test_two_writers_on_one_workbook_run_one_after_the_other(self):
        path = self.init()
        for i in range(20):
            want = {"B2": 20 + i, "B4": 100 + i}
            runs = [subprocess.Popen([KELVORA, "-w", "book.xlsx", "set", "%s=%d" % c], cwd=self.dir,
                                     env=self.env, stderr=subprocess.DEVNULL) for c in want.items()]
            self.assertEqual([p.wait(timeout=120) for p in runs], [0, 0], i)
            self.assertEqual({c: self.main_sheet(path)[c].value for c in want}, want, i)

    def test_refusals_that_leave_the_workbook_as_it_was(self):
        # Main writes its method table, then fails on a draw that is not a number: it saves nothing.
        self.put(self.stored_book(), A17="abc")
        (self.dir / "page.xlsx").write_bytes(b"<html>not a workbook</html>")
        self.runs([("-w store.xlsx Main", 1, "error 13"), ("-w page.xlsx Main", 1, "zip"),
                   ("-w missing.xlsx Main", 1, "does not exist")])
        path = self.init()
        for lock, args, message in [  # (the other program's lock file, the command, the message)
                ("~$book.xlsx", "set B2=30", "close the workbook in Excel first"),
                (".~lock.book.xlsx#", "XoaDuLieu --yes", "close the workbook in LibreOffice")]:
            (self.dir / lock).touch()
            self.runs([(args, 1, message)], "-w book.xlsx")
            (self.dir / lock).unlink()
        path.chmod(0o444)
        self.runs([("set B2=30", 1, "read-only")], "-w book.xlsx")  # even as root

    def test_refused_intakes_save_nothing_and_fix_mends_a_result(self):
        self.init()
        (self.dir / "b.html").write_text("<table>%s</table>" % "".join(
            "<tr><td>%d</td><td>x</td><td>%s</td></tr>" % (draw, "</td><td>".join(digits))
            for draw, digits in [(10, "01235"), (12, "33333")]))
        self.ok("-w", "book.xlsx", "import", "-", stdin=b"10,01234\n11,22222\n")
        self.runs([  # a refused intake saves nothing
            ("DanKQXSNgay --clipboard b.html", 3, ("01234", "kelvora -w book.xlsx fix 10=01235")),
            ("fix 10=1235", 2, ""), ("fix 99=12345", 1, ""), ("fix 10=01235", 0, ""),
            ("DanKQXSNgay --clipboard b.html", 0, "")], "-w book.xlsx")

    def test_the_samples_agree_and_every_intake_says_nothing_new_alike(self):
        # The hundred draws hold the other samples' draws with the same results: after them each
        # sample (the special-prize page as text and as HTML too) is nothing new, said alike.
        self.init()
        sample = lambda command, page: [command, "--clipboard", DATA / ("sample_" + page)]
        self.runs([(sample("DanKQXS", "100_draws.html"), 0, "100 new draws")] + [
            (sample(command, page), 3, "Thông Báo: Không có dữ liệu mới đuợc thêm vào\n")
            for command, page in [("DanKQXS", "100_draws.html"), ("DanKQXSNgay", "by_date.html"),
                                  ("DanKQXSDB", "special_prize.txt"),
                                  ("DanKQXSDB", "special_prize.html")]], "-w book.xlsx")

    def test_stale_temporary_files_of_gone_processes_are_removed(self):
        self.init()
        gone = subprocess.Popen(["true"])
        gone.wait()
        kept = {".book.xlsx.kelvora-%d-aB3dE9.tmp" % gone.pid: False,
                ".book.xlsx.kelvora-%d-aB3dE9.tmp" % os.getpid(): True,  # still running
                ".other.xlsx.kelvora-%d-aB3dE9.tmp" % gone.pid: True,  # another book's
                ".book.xlsx.aB3dE9": True, ".book.xlsx.kelvora-%d.tmp" % gone.pid: True}
        for name in kept:
            (self.dir / name).touch()
        self.ok("-w", "book.xlsx", "set", "B2=30")
        self.assertEqual({n: (self.dir / n).exists() for n in kept}, kept)

    def test_clipboard_files_as_users_hand_them(self):
        text = (DATA / "sample_special_prize.txt").read_bytes().decode().replace("\r\n", "\n")
        (self.dir / "folder").mkdir()
        for i, (name, data, status, message) in enumerate([  # data: the file's bytes
                ("/dev/stdin", text.encode(), 0, "60 new draws"),
                ("le.txt", b"\xff\xfe" + text.encode("utf-16-le"), 0, "60 new draws"),
                ("cr.txt", text.replace("\n", "\r").encode(), 0, "60 new draws"),
                ("cp1258.txt", text.encode().replace("Kỳ".encode(), b"K\xfd"), 1, "wrong encoding"),
                ("folder", b"", 1, "folder is a folder, not a file")]):
            self.init(f"b{i}.xlsx")
            if data and not name.startswith("/"):
                (self.dir / name).write_bytes(data)
            self.runs([(f"-w b{i}.xlsx DanKQXSDB --clipboard {name}", status, message, data)])


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    KELVORA = os.path.abspath(sys.argv[1])
    DATA = Path(sys.argv[2] if len(sys.argv) > 2 else Path(__file__).parent / "../data").resolve()
    unittest.main(argv=sys.argv[:1], verbosity=2)

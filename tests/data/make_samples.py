#!/usr/bin/env python3
"""Writes the sample result pages used by the intake tests and the demo.

Every draw here is synthetic: the results come from a seeded pseudo-random
generator and are not real lottery results. Run from any directory:
    python3 tests/data/make_samples.py
With --by-date N PATH it writes only a by-date page of N draws (1 to N,
newest first) to PATH instead, for the benchmarks; such a page is made at
bench time and never kept here.
"""
import argparse
import datetime
import os
import random

HERE = os.path.dirname(os.path.abspath(__file__))
MARK = "SAMPLE DATA: synthetic draw results made by make_samples.py, not real results."

rng = random.Random(20241206)
RESULTS = {draw: "%05d" % rng.randrange(100000) for draw in range(24201, 24361)}
FIRST_DATE = 739000  # ordinal day of the first draw


def date_of(draw):
    return datetime.date.fromordinal(FIRST_DATE + (draw - 24201)).strftime("%d/%m/%Y")


def write(name, text, newline="\n"):
    with open(os.path.join(HERE, name), "w", encoding="utf-8", newline="") as f:
        f.write(text.replace("\n", newline))


def page(title, body):
    return ("<!DOCTYPE html>\n<!-- %s -->\n<html lang=\"vi\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<title>%s</title>\n<style>td,th{padding:2px 6px}</style>\n</head>\n<body>\n%s</body>\n"
            "</html>\n" % (MARK, title, body))


def hundred_draws():
    # Twelve text blocks, then a table whose header row lands in row 13 and
    # whose 100 draws land in rows 14 to 113 after the paste.
    blocks = [
        "<h1>Kết quả xổ số điện toán 5 số</h1>",
        "<p>Dữ liệu mẫu (tổng hợp), không phải kết quả thật</p>",
        "<nav><a href=\"#\">Trang chủ</a> &raquo; <a href=\"#\">Thống kê</a></nav>",
        "<h2>100 kỳ quay gần nhất</h2>",
        "<p>Cập nhật: %s</p>" % date_of(24360),
        "<ul>\n<li>Kỳ mới nhất: #24360</li>\n<li>Kỳ cũ nhất: #24261</li>\n</ul>",
        "<div>Mỗi hàng là một kỳ quay, năm chữ số của giải đặc biệt</div>",
        "<div>Chọn cả bảng bên dưới rồi bấm Copy</div>",
        "<p>Nguồn: máy sinh số giả lập</p>",
        "<h3>Bảng kết quả</h3>",
        "<p>&nbsp;Đơn vị: chữ số&nbsp;</p>",
    ]
    rows = ["<tr><th>Kỳ</th>%s</tr>" % "".join("<th>Số %d</th>" % i for i in range(1, 6))]
    rows += ["<tr><td>%d</td>%s</tr>" % (draw, "".join("<td>%s</td>" % d for d in RESULTS[draw]))
             for draw in range(24360, 24260, -1)]
    body = "\n".join(blocks) + "\n<table border=\"1\">\n<thead>\n" + rows[0] + \
        "\n</thead>\n<tbody>\n" + "\n".join(rows[1:]) + "\n</tbody>\n</table>\n"
    return page("100 kỳ (mẫu)", body)


def by_date(first=24301, last=24360, results=RESULTS):
    # Heading rows, then one draw per row, newest first: draw number in A,
    # date in B, the five digits in C to G, then sum and parity columns (H, I).
    head = ("<h1>Kết quả theo ngày (dữ liệu mẫu)</h1>\n<p>Từ %s đến %s</p>\n"
            % (date_of(first), date_of(last)))
    rows = ["<tr><th>Kỳ</th><th>Ngày</th><th colspan=\"5\">Giải đặc biệt</th><th>Tổng</th>"
            "<th>Chẵn/Lẻ</th></tr>"]
    for draw in range(last, first - 1, -1):
        r = results[draw]
        total = sum(int(c) for c in r)
        rows.append("<tr><td>%d</td><td>%s</td>%s<td>%d</td><td>%s</td></tr>" % (
            draw, date_of(draw), "".join("<td>%s</td>" % c for c in r), total,
            "Chẵn" if total % 2 == 0 else "Lẻ"))
    body = head + "<table>\n" + "\n".join(rows) + "\n</table>\n<p>Hết bảng</p>\n"
    return page("Kết quả theo ngày (mẫu)", body)


def special_prize_text():
    lines = ["KẾT QUẢ GIẢI ĐẶC BIỆT - " + MARK, "Thống kê theo kỳ, cập nhật " + date_of(24360),
             "Loại vé: 27 giải"]
    for draw in range(24360, 24300, -1):
        lines += ["Kỳ %d" % draw,
                  "Giải ĐB\t%s-%02d\t%s" % (RESULTS[draw], draw % 100, date_of(draw))]
    return "\n".join(lines) + "\n"


def special_prize_html():
    head = ("<h1>Kết quả giải đặc biệt</h1>\n<p>Dữ liệu mẫu, cập nhật %s</p>\n"
            "<p>Loại vé: 27 giải</p>\n" % date_of(24360))
    blocks = ["<div class=\"ky\">Kỳ %d</div>\n<table><tr><td>Giải ĐB</td><td>%s-%02d</td>"
              "<td>%s</td></tr></table>" % (draw, RESULTS[draw], draw % 100, date_of(draw))
              for draw in range(24360, 24300, -1)]
    return page("Giải đặc biệt (mẫu)", head + "\n".join(blocks) + "\n")


def large_by_date(draws, path):
    big = random.Random(draws)
    results = {draw: "%05d" % big.randrange(100000) for draw in range(1, draws + 1)}
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write(by_date(1, draws, results))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--by-date", nargs=2, metavar=("N", "PATH"),
                    help="write only a by-date page of N draws to PATH")
    args = ap.parse_args()
    if args.by_date:
        large_by_date(int(args.by_date[0]), args.by_date[1])
        return
    write("sample_100_draws.html", hundred_draws())
    write("sample_by_date.html", by_date())
    write("sample_special_prize.txt", special_prize_text(), newline="\r\n")
    write("sample_special_prize.html", special_prize_html())


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Builds the user guide that ships inside Lintora.exe from its one source:

  make_guide.py docs/user_guide.md VERSION OUT.html

The Markdown the guide uses (headings, paragraphs, lists, tables, **bold**,
`code`) becomes one plain HTML page with its style inline: nothing fetched
from anywhere, no scripts.
"""
import html
import re
import sys

STYLE = ("body{font-family:Segoe UI,Tahoma,sans-serif;max-width:44em;margin:2em auto;padding:0 1em;"
         "line-height:1.45;color:#222}h1,h2{color:#7a1010}code{background:#f2f2f2;padding:0 .2em}"
         "table{border-collapse:collapse}td,th{border:1px solid #bbb;padding:.2em .5em;text-align:left}"
         ".version{color:#666}")


def inline(text):
    text = html.escape(text, quote=False)
    text = re.sub(r"`([^`]+)`", r"<code>\1</code>", text)
    return re.sub(r"\*\*([^*]+)\*\*", r"<strong>\1</strong>", text)


def cells(line):
    return [c.strip() for c in line.strip().strip("|").split("|")]


def convert(markdown, version):
    out, paragraph, items, rows = [], [], [], []

    def flush():
        if paragraph:
            out.append("<p>" + inline(" ".join(paragraph)) + "</p>")
            paragraph.clear()
        if items:
            out.append("<ul>" + "".join(f"<li>{inline(i)}</li>" for i in items) + "</ul>")
            items.clear()
        if rows:
            head, body = rows[0], [r for r in rows[2:]]
            out.append("<table><tr>" + "".join(f"<th>{inline(c)}</th>" for c in head) + "</tr>" +
                       "".join("<tr>" + "".join(f"<td>{inline(c)}</td>" for c in r) + "</tr>" for r in body) +
                       "</table>")
            rows.clear()

    title = "Lintora user guide"
    for line in markdown.splitlines():
        heading = re.match(r"(#{1,3}) (.*)", line)
        if heading:
            flush()
            level = len(heading.group(1))
            if level == 1:
                title = heading.group(2)
            out.append(f"<h{level}>{inline(heading.group(2))}</h{level}>")
            if level == 1:
                out.append(f'<p class="version">Version {html.escape(version)}</p>')
        elif line.startswith("|"):
            if paragraph or items:
                flush()
            rows.append(cells(line))
        elif line.startswith("- "):
            if paragraph or rows:
                flush()
            items.append(line[2:])
        elif line.startswith("  ") and items and line.strip():
            items[-1] += " " + line.strip()
        elif not line.strip():
            flush()
        else:
            if items or rows:
                flush()
            paragraph.append(line.strip())
    flush()
    return ("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
            f"<title>{html.escape(title)}</title><style>{STYLE}</style></head><body>\n" +
            "\n".join(out) + "\n</body></html>\n")


def main(source, version, target):
    with open(source, encoding="utf-8") as f:
        page = convert(f.read(), version)
    with open(target, "w", encoding="utf-8", newline="\r\n") as f:
        f.write(page)


if __name__ == "__main__":
    main(*sys.argv[1:])

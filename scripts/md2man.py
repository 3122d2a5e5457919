#!/usr/bin/python3
"""md2man.py PAGE MARKDOWN FROM > OUT: the man page PAGE with the line
'.\\" REFERENCE' replaced by the sections of MARKDOWN from the '## FROM'
heading on, turned into roff. Knows the Markdown the documentation uses:
headings, paragraphs, '-' lists, tables, fenced code and `code` spans."""
import re
import sys


def escape(text):
    text = text.replace("\\", "\\e").replace("-", "\\-")
    text = re.sub(r"`([^`]*)`", lambda m: "\\fB" + m.group(1) + "\\fR", text)
    text = re.sub(r"\*\*([^*]+)\*\*", r"\\fB\1\\fR", text)
    return text.replace("\\|", "|")


def line_out(out, text):
    # roff takes a leading dot or quote as a request.
    out.append(("\\&" + text) if text[:1] in (".", "'") else text)


def cells(row):
    return [c.strip() for c in re.split(r"(?<!\\)\|", row.strip().strip("|"))]


def convert(lines):
    out = []
    i = 0
    while i < len(lines):
        line = lines[i].rstrip("\n")
        if line.startswith("```"):
            out.append(".PP\n.nf\n.RS 4")
            i += 1
            while i < len(lines) and not lines[i].startswith("```"):
                line_out(out, lines[i].rstrip("\n").replace("\\", "\\e").replace("-", "\\-"))
                i += 1
            out.append(".RE\n.fi")
        elif line.startswith("### "):
            out.append(".SS " + escape(line[4:]))
        elif line.startswith("## "):
            out.append(".SH " + escape(line[3:].upper()))
        elif line.startswith("|"):
            header = cells(line)
            i += 2  # the header and its rule
            while i < len(lines) and lines[i].startswith("|"):
                row = cells(lines[i])
                out.append(".TP\n" + escape(row[0]))
                rest = ["%s: %s" % (h, c) for h, c in zip(header[1:], row[1:]) if c]
                line_out(out, escape("; ".join(rest)) if rest else "\\&")
                i += 1
            continue
        elif line.startswith("- "):
            out.append(".IP \\(bu 2")
            line_out(out, escape(line[2:]))
        elif not line.strip():
            out.append(".PP")
        else:
            line_out(out, escape(line.strip()))
        i += 1
    return "\n".join(out) + "\n"


def main():
    page, markdown, heading = sys.argv[1:4]
    with open(markdown, encoding="utf-8") as f:
        lines = f.readlines()
    start = next(n for n, l in enumerate(lines) if l.strip() == "## " + heading)
    with open(page, encoding="utf-8") as f:
        text = f.read()
    marker = '.\\" REFERENCE\n'
    if marker not in text:
        sys.exit("md2man.py: %s has no reference marker" % page)
    sys.stdout.write(text.replace(marker, convert(lines[start:])))


if __name__ == "__main__":
    main()

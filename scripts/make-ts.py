#!/usr/bin/env python3
"""Writes i18n/marvoline_en.ts and marvoline_ja.ts from i18n/strings.tsv
(key, English, Japanese), and checks that every qtTrId key used in src/ has a
row and that every //% text matches the English column."""
import pathlib, re, sys
from xml.sax.saxutils import escape

root = pathlib.Path(__file__).resolve().parent.parent
rows = {}
for line in (root / "i18n/strings.tsv").read_text(encoding="utf-8").splitlines():
    if line.strip():
        key, en, ja = line.split("\t")
        rows[key] = (en, ja)

used = {}
pattern = re.compile(r'//%\s*"((?:[^"\\]|\\.)*)"\s*\n[^\n]*?qtTrId\("([^"]+)"', re.M)
for path in (root / "src").rglob("*.cpp"):
    text = path.read_text(encoding="utf-8")
    for m in re.finditer(r'qtTrId\("([^"]+)"', text):
        used.setdefault(m.group(1), None)
    for m in pattern.finditer(text):
        used[m.group(2)] = m.group(1).encode().decode("unicode_escape").encode("latin-1").decode("utf-8")
problems = [f"no row for {k}" for k in used if k not in rows]
problems += [f"{k}: //% text {t!r} differs from {rows[k][0]!r}"
             for k, t in used.items() if t is not None and k in rows and t != rows[k][0]]
for lang, col, code in (("en", 0, "en_US"), ("ja", 1, "ja_JP")):
    out = ['<?xml version="1.0" encoding="utf-8"?>', "<!DOCTYPE TS>",
           f'<TS version="2.1" language="{code}">', "<context>", "    <name></name>"]
    for key, texts in rows.items():
        out += [f'    <message id="{key}">', f"        <source>{escape(texts[0])}</source>",
                f"        <translation>{escape(texts[col])}</translation>", "    </message>"]
    out += ["</context>", "</TS>", ""]
    (root / f"i18n/marvoline_{lang}.ts").write_text("\n".join(out), encoding="utf-8")
if problems:
    print("\n".join(problems), file=sys.stderr)
    sys.exit(1)

#!/usr/bin/env python3
"""Writes i18n/marvoline_en.ts and marvoline_ja.ts from i18n/strings.tsv
(key, English, Japanese) and checks the texts against the sources:

- every qtTrId("key") call and QT_TRID_NOOP("key") marker in src/ has its
  //% English text in a comment before it (since the previous call);
- that text matches the English column of the key's row;
- every key used has a row, and every row has English and a Japanese
  translation (a Japanese text equal to the English one counts as missing);
- a text with a count (qtTrId("key", n), "%n" in it) has its plural forms
  separated by " | ": English "%n file | %n files", Japanese one form; its
  //% text is the English cell as it stands.

    scripts/make-ts.py            write the .ts files, then report problems
    scripts/make-ts.py --check    write nothing; also report .ts files that
                                  differ from what the table gives
Exits 1 when there is a problem."""
import pathlib, re, sys
from xml.sax.saxutils import escape

root = pathlib.Path(__file__).resolve().parent.parent
check_only = "--check" in sys.argv[1:]
problems = []

rows = {}
tsv = root / "i18n/strings.tsv"
for number, line in enumerate(tsv.read_text(encoding="utf-8").splitlines(), 1):
    if not line.strip():
        continue
    cells = line.split("\t")
    if len(cells) != 3:
        problems.append(f"i18n/strings.tsv:{number}: expected key, English and Japanese "
                        f"separated by tabs, got {len(cells)} cell(s)")
        continue
    key, en, ja = cells
    if key in rows:
        problems.append(f"i18n/strings.tsv:{number}: {key} has a second row")
    rows[key] = (en, ja)
    if not en.strip():
        problems.append(f"i18n/strings.tsv:{number}: {key} has no English text")
    if not ja.strip():
        problems.append(f"i18n/strings.tsv:{number}: {key} has no Japanese translation")
    elif ja == en and re.search(r"[A-Za-z]", en):
        problems.append(f"i18n/strings.tsv:{number}: {key} is not translated into Japanese")


def c_string(literals):
    """The text of adjacent C string literals ("a" "b"), escapes resolved."""
    raw = "".join(re.findall(r'"((?:[^"\\]|\\.)*)"', literals))
    return raw.encode("utf-8").decode("unicode_escape").encode("latin-1").decode("utf-8")


# A //% comment, or a call that takes a text id.
token = re.compile(
    r'//%\s*(?P<text>(?:"(?:[^"\\]|\\.)*"\s*)+)'
    r'|\b(?P<call>qtTrId|QT_TRID_NOOP|QT_TRID_N_NOOP)\s*\(\s*(?P<arg>"[^"]*"|[^,)]*)')
used = {}
for path in sorted((root / "src").rglob("*.[ch]*")):
    if path.suffix not in (".cpp", ".h"):
        continue
    text = path.read_text(encoding="utf-8")
    rel = path.relative_to(root)
    pending = None
    for m in token.finditer(text):
        if m.group("text") is not None:
            pending = c_string(m.group("text"))
            continue
        where = f"{rel}:{text.count(chr(10), 0, m.start()) + 1}"
        arg = m.group("arg").strip()
        if not arg.startswith('"'):
            # A key chosen at run time: its texts are checked where the key
            # is marked with QT_TRID_NOOP.
            if m.group("call") != "qtTrId":
                problems.append(f"{where}: {m.group('call')} needs a literal key")
            pending = None
            continue
        key = arg.strip('"')
        if pending is None:
            problems.append(f'{where}: {m.group("call")}("{key}") lacks its //% text')
        elif key in rows and pending != rows[key][0]:
            problems.append(f"{where}: {key}: //% text {pending!r} differs from "
                            f"{rows[key][0]!r} in i18n/strings.tsv")
        used.setdefault(key, where)
        pending = None

problems += [f"{where}: {key} has no row in i18n/strings.tsv"
             for key, where in used.items() if key not in rows]
for key in rows:
    if key not in used:
        print(f"note: {key} is in i18n/strings.tsv but not used in src/", file=sys.stderr)

for lang, col, code in (("en", 0, "en_US"), ("ja", 1, "ja_JP")):
    out = ['<?xml version="1.0" encoding="utf-8"?>', "<!DOCTYPE TS>",
           f'<TS version="2.1" language="{code}">', "<context>", "    <name></name>"]
    for key, texts in rows.items():
        forms = texts[col].split(" | ")
        if " | " in texts[0]:
            out += [f'    <message id="{key}" numerus="yes">',
                    f"        <source>{escape(texts[0].split(' | ')[-1])}</source>",
                    "        <translation>"]
            out += [f"            <numerusform>{escape(form)}</numerusform>" for form in forms]
            out += ["        </translation>", "    </message>"]
            continue
        out += [f'    <message id="{key}">', f"        <source>{escape(texts[0])}</source>",
                f"        <translation>{escape(texts[col])}</translation>", "    </message>"]
    out += ["</context>", "</TS>", ""]
    target = root / f"i18n/marvoline_{lang}.ts"
    generated = "\n".join(out)
    if check_only:
        if not target.exists() or target.read_text(encoding="utf-8") != generated:
            problems.append(f"{target.relative_to(root)} differs from i18n/strings.tsv: "
                            "run scripts/make-ts.py")
    else:
        target.write_text(generated, encoding="utf-8")

if problems:
    print("\n".join(problems), file=sys.stderr)
    sys.exit(1)

#!/usr/bin/env python3
"""Every text the window shows has an English translation.

lupdate reads app/ afresh into a scratch .ts; every message it finds must be in the .ts file under version
control with a finished, non-empty translation that carries the same %1, %2 ... placeholders as its source.
Usage: translations_complete.py LUPDATE SOURCE_DIR TS_FILE
"""
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
from pathlib import Path


def messages(ts_file):
    found = {}
    for context in ET.parse(ts_file).getroot().iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            translation = message.find("translation")
            found[(name, message.findtext("source"))] = translation
    return found


def placeholders(text):
    return sorted(re.findall(r"%\d", text or ""))


def main():
    lupdate, source_dir, ts_file = sys.argv[1], Path(sys.argv[2]), Path(sys.argv[3])
    kept = messages(ts_file)
    problems = []
    with tempfile.TemporaryDirectory() as scratch:
        fresh_file = Path(scratch) / "fresh.ts"
        subprocess.run([lupdate, "-silent", "-I", str(source_dir), str(source_dir / "app"), "-ts", str(fresh_file),
                        "-locations", "none"], check=True)
        fresh = messages(fresh_file)
    if len(fresh) < 100:
        problems.append(f"lupdate found only {len(fresh)} texts in app/")
    for (context, source), _ in sorted(fresh.items()):
        translation = kept.get((context, source))
        if translation is None:
            problems.append(f"not in {ts_file.name}: {context}: {source!r}")
        elif translation.get("type") in ("unfinished", "vanished", "obsolete") or not (translation.text or "").strip():
            problems.append(f"not translated: {source!r}")
        elif placeholders(translation.text) != placeholders(source):
            problems.append(f"placeholders differ: {source!r} -> {translation.text!r}")
        elif re.search(r"[\u4e00-\u9fff]", translation.text) and "Language" not in translation.text:
            problems.append(f"Chinese left in the translation: {translation.text!r}")
    for problem in problems:
        print(problem)
    print(f"{len(fresh)} texts, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())

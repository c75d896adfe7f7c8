#!/usr/bin/env python3
"""Scores the general article extractors on the corpus chapter pages the way realeval.py scores lekto-cli.

    /usr/bin/python3 bench/peer_chapters.py ../shared/corpus [--node-dir DIR]

For each chapter page of MANIFEST.tsv, read in the encoding its bytes have: readability-lxml (the Debian package
python3-readability, for measuring only) and, when DIR/node_modules holds @mozilla/readability and jsdom
(`npm install --prefix DIR @mozilla/readability jsdom`, outside the repository), Readability.js. Each text is
judged with realeval's rules: the first 30 Chinese characters (one short heading line may stand before), or for
English the prose's first 8 words within the first 25. Prints one line per page, then the totals.
"""
import argparse, csv, os, re, subprocess, sys
import lxml.html
from readability import Document

han = lambda t: ''.join(re.findall('[\u4e00-\u9fff]', t))
words = lambda t: re.findall(r"[A-Za-z0-9']+", t)
JS = r"""
const {JSDOM} = require('jsdom'); const {Readability} = require('@mozilla/readability');
let html = require('fs').readFileSync(0, 'utf8');
const dom = new JSDOM(html, {url: process.argv[1]});
const a = new Readability(dom.window.document).parse();
process.stdout.write(a ? a.textContent : '');
"""

def begins_with_body(text, want):
    if han(text)[:30] == want:
        return True
    lines = [l for l in text.splitlines() if han(l)]
    return len(lines) >= 2 and len(han(lines[0])) <= 24 and han(''.join(lines[1:]))[:30] == want

def judge(site, text, want):
    if site.startswith('EN_'):
        w, got = words(want)[:8], words(text)
        return len(w) >= 3 and any(got[k:k + len(w)] == w for k in range(25))
    return begins_with_body(text, want)

def html_text(fragment):
    if not fragment.strip():
        return ''
    root = lxml.html.fromstring(fragment)
    for br in root.iter('br', 'p', 'div'):
        br.tail = '\n' + (br.tail or '')
    return root.text_content()

def lxml_readability(html):
    try:
        return html_text(Document(html).summary())
    except Exception:
        return ''

def mozilla(html, node_dir):
    if not node_dir or not os.path.isdir(os.path.join(node_dir, 'node_modules', '@mozilla')):
        return None
    p = subprocess.run(['node', '-e', JS, 'http://127.0.0.1/page.html'], input=html.encode(), capture_output=True,
                       cwd=node_dir, timeout=120)
    return p.stdout.decode('utf-8', 'replace')

parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
parser.add_argument('corpus', nargs='+')
parser.add_argument('--node-dir', default=os.environ.get('LEKTO_READABILITY_JS', ''))
args = parser.parse_args()
tally = {}
for root in args.corpus:
    for r in csv.DictReader(open(os.path.join(root, 'MANIFEST.tsv'), encoding='utf-8'), delimiter='\t'):
        if r['kind'].split()[0] != 'chapter' or not r.get('chapter_first30_cjk'):
            continue
        raw = open(os.path.join(root, r['file']), 'rb').read()
        enc = r['actual_encoding'].lower().split()[0]
        enc = {'gb2312': 'gbk', 'ascii': 'utf-8'}.get(enc, enc)
        html = raw.decode('utf-8-sig' if enc == 'utf-8' else enc, 'replace')
        want = r['chapter_first30_cjk'].removeprefix('(English)').strip()
        site = r['file'].split('/')[0]
        line = []
        for name, fn in (('readability-lxml', lxml_readability),
                         ('Readability.js', lambda h: mozilla(h, args.node_dir))):
            text = fn(html)
            if text is None:
                continue
            ok = judge(site, text, want)
            t = tally.setdefault(name, [0, 0]); t[0] += ok; t[1] += 1
            line.append(f"{name} {'ok  ' if ok else 'MISS'}")
        print(f"{r['file']:32} " + '  '.join(line), flush=True)
print(', '.join(f'{k} {v[0]}/{v[1]}' for k, v in tally.items()))

// Writes dialect_table.inc: what a JavaScript RegExp does with each pattern below, the reference for the
// ECMAScript dialect of RegexEngine. Run by hand with node after changing the list:
//   node tests/regex/make_dialect_table.js > tests/regex/dialect_table.inc
// The tests only read the generated table. Every subject must be representable in GBK (the engine's subjects
// are GBK), while patterns may name any character through \u escapes.
// One difference is known and left out: ECMAScript forgets the groups inside a repeated group at every
// repetition ("((a)|b)+" on "ab" leaves group 2 unset), PCRE2 keeps the value of the last repetition that set it.
'use strict';

// [pattern, subject, flags (default "gim"), replacement (default "[$&]")]
const cases = [
  // The program's own patterns on small realistic snippets.
  ['(https*://.*?)/', 'http://www.example.com/book/1.html'],
  ['(https*://.*?)/', 'HTTPS://m.example.com/'],
  ['<title>([\\u4e00-\\u9fa5-a-z-A-Z\\d]+).*?</title>', '<title>书名_某站</title>'],
  ['<title>([\\u4e00-\\u9fa5-a-z-A-Z\\d]+).*?</title>', '<TITLE>斗破-Sky2最新章节 笔趣阁</TITLE>'],
  ['<title>([\\u4e00-\\u9fa5-a-z-A-Z\\d]+).*?</title>', '<title>书名\n</title>'],
  ['href\\s*=["\']*([\\w/:\\-\\.\\?&=]+)["\'\\s]*.*?>(.*?)<',
   '<li><a href="/1_1/123.html">第一章 开始</a></li>\r\n<li><a href = \'/1_1/124.html\' title="x">第二章\n跨行</a></li>'],
  ['href=["\']*([\\w/:\\-\\.]+)["\']*["\'\\w\\s=]*>下一页[:\\u4e00-\\u9fa5\\s\\(\\)\\w]*</a>',
   '<a href="/1_1/123.html">上一页</a><a href="/1_1/123_2.html" class="next">下一页（第2页）</a>'],
  ['href=["\']*([\\w/:\\-\\.]+)["\']*["\'\\w\\s=]*>下一页[:\\u4e00-\\u9fa5\\s\\(\\)\\w]*</a>',
   '<a href="/1_1/123_2.html">下一页(2/3)</a>'],
  ['href=["\']*([\\w/:\\-\\.]+)["\']*["\'\\w\\s=]*>下一章</a>', '<a href="124.html" id=next>下一章</a>'],
  ['charset=[\'"]*([-\\w]+)[\'"]*', '<meta http-equiv="Content-Type" content="text/html; charset=GBK" />'],
  ['charset=[\'"]*([-\\w]+)[\'"]*', '<meta charset="utf-8">'],
  ['<div.*?>([\\s\\S]*?)</div>|<span.*?>([\\s\\S]*?)</span>',
   '<div class="a">甲\r\n乙</div><span>丙</span>\n<DIV id=b>\n丁</DIV><span\nx>no</span>'],
  ['id="content">([\\s\\S]*?)</div>', '<div id="content">　　正文一<br />\r\n　　正文二</div></div>'],
  ['[\\u4e00-\\u9fa5]', '中文abc，。字'],
  ['<[\\w\\s\\.=\\-,:;%"\'/\\(\\)]+>', 'a<b>c<i>d', 'gim', ''],
  ['<[\\w\\s\\.=\\-,:;%"\'/\\(\\)]+>', '<p class="x">t</p><a href="a?b=1">q</a><!-- c --><span 中>', 'gim', ''],
  ['\\n\\s*\\r', 'a\r\n\r\n  \r\n　\r\nb\n\nc', 'gim', ''],
  // \s and \S: ECMAScript's white space, also inside classes.
  ['\\s', 'a\u3000b\tc\u000bd\u000ce f'],
  ['\\S+', 'a\u3000bb\r\ncc　dd'],
  ['[\\s]+', 'x \u3000\t\r\ny'],
  ['[^\\s]+', 'x \u3000y'],
  ['[\\S]+', 'x \u3000y'],
  ['[^\\S]+', 'x \u3000y'],
  ['[\\s\\S]+', 'a\r\nb'],
  ['[^\\s\\S]', 'a\r\nb'],
  ['[\\sa]+', 'ba a\u3000ab'],
  ['[^\\sa]+', 'ba a\u3000cb'],
  ['[\\Sa]+', ' a b'],
  ['[^\\Sa]+', ' a \u3000b'],
  ['[\\s\\d]+', 'a 1\u30002b'],
  ['\\u3000+', 'a\u3000\u3000b'],
  ['[\\u00a0\\u2028]', 'a b'],
  // The dot: not a line terminator.
  ['.', 'a\rb\nc'],
  ['a.b', 'a\rb a\nb a b a中b'],
  ['.+', '第一行\r\n第二行\n'],
  ['.*', 'ab\ncd'],
  // ^ and $ in multi-line and single-line mode.
  ['^\\w+$', 'ab\r\ncd\r\n'],
  ['^', 'ab\r\ncd\n'],
  ['$', 'ab\r\ncd\n'],
  ['^$', 'a\n\nb\r\n\r\nc'],
  ['^\\s*$', 'a\n  \nb'],
  ['a$', 'a\r\na'],
  ['^\\w+$', 'ab\ncd', 'gi'],
  ['ab$', 'ab\n', 'gi'],
  ['ab$', 'ab', 'gi'],
  ['^b', 'a\nb', 'gi'],
  ['$', 'ab\n', 'gi'],
  ['^', 'ab\n', 'gi'],
  // \u and \x escapes; a malformed one is the plain letter.
  ['\\u4e00', '一二'],
  ['\\u4E8C', '一二'],
  ['\\u4e0', 'u4e0'],
  ['\\ug', 'ug'],
  ['\\u{4}', 'uuuu'],
  ['\\x41', 'aA'],
  ['\\x4', 'x4'],
  ['\\xg1', 'xg1'],
  ['[\\x41-\\x43]+', 'xABCD'],
  ['[\\u4e00-\\u4e03]+', '一丁七万丈'],
  ['\\uD800', 'a'],
  ['[\\uD800-\\uDFFF]', 'a中'],
  ['[^\\uD800-\\uDFFF]+', 'a中'],
  ['[\\u0000-\\uffff]+', 'a中\r\n'],
  // A hyphen next to a class escape is a literal hyphen.
  ['[\\w-.]+', 'a-b.c d'],
  ['[\\d-z]+', '1-z9a'],
  ['[a-\\d]+', 'a-5b'],
  ['[\\w-]+', 'a-b c'],
  ['[-\\w]+', 'a-b c'],
  ['[\\s-\\d]+', 'a 1-2b'],
  ['[\\u4e00-\\u9fa5-a-z-A-Z\\d]+', '中文-abc-XYZ_12'],
  ['[a-]+', 'a-b'],
  ['[z-a]', 'a'],
  ['[a-a]', 'a'],
  // Unknown letter escapes are the plain letter.
  ['\\e', 'e'], ['\\h', 'h'], ['\\Q', 'Q'], ['\\p', 'p'], ['\\E', 'E'], ['\\z', 'z'], ['\\Z', 'Z'],
  ['\\A', 'A'], ['\\G', 'G'], ['\\K', 'K'], ['\\R', 'R'], ['\\X', 'X'], ['\\N', 'N'], ['\\H', 'H'],
  ['\\a', 'a'], ['\\g', 'g'], ['\\i', 'i'], ['\\l', 'l'], ['\\o', 'o'], ['\\y', 'y'], ['\\j', 'j'],
  ['\\m', 'm'], ['\\q', 'q'], ['\\L', 'L'], ['\\U', 'U'], ['\\C', 'C'], ['\\P', 'P'],
  ['\\p{L}', 'p{L}'], ['\\Qa.b\\E', 'Qa.bE'], ['[\\e\\h]+', 'eh'], ['\\中', '中'], ['\\-', '-'], ['\\/', '/'],
  ['\\k', 'k'],
  // Empty classes.
  ['[]', 'a'],
  ['a[]b', 'ab'],
  ['[^]', 'a\nb'],
  ['a[^]b', 'a\nb a\rb'],
  ['[^]*', 'ab\r\nc'],
  ['[]*', 'ab'],
  // \d, \w and \b are ASCII.
  ['\\d+', '12３４5'],
  ['\\w+', 'ab中文12_ｘ'],
  ['\\W+', 'ab中文12_，'],
  ['\\D+', 'a1中2'],
  ['\\b', '中a文 bc'],
  ['\\bcat\\b', 'cat scat cats cat'],
  ['\\B', 'ab 中'],
  ['[\\w]+', 'ab中'],
  ['[^\\w]+', 'ab中文c'],
  ['[\\W\\d]+', 'a1中b'],
  ['[^\\D]+', 'a12b'],
  // A brace that does not make a quantifier is a literal.
  ['a{', 'a{'],
  ['{abc}', 'x{abc}'],
  ['a{1', 'a{1'],
  ['a{1,', 'a{1,'],
  ['a{,2}', 'a{,2}'],
  ['a{1,x}', 'a{1,x}'],
  ['x{2}', 'xxxxx'],
  ['x{2,}', 'xxxxx'],
  ['x{1,2}', 'xxxxx'],
  ['x{1,2}?', 'xxxxx'],
  ['x{0}', 'x'],
  ['{2}', 'xx'],
  ['a{2,1}', 'aa'],
  ['}', 'a}'],
  [']', 'a]'],
  ['a}', 'a}'],
  ['{', '{'],
  ['{}', '{}'],
  // \0, octal escapes and back references.
  ['\\0', 'a'],
  ['a\\0', 'a'],
  ['\\08', '8'],
  ['\\101', 'A'],
  ['\\1011', 'A1'],
  ['\\18', '\u00018'],
  ['\\400', ' 0'],
  ['[\\101]', 'A'],
  ['[\\1]', '\u0001'],
  ['(a)\\1', 'aa aA'],
  ['(a)\\2', 'aa a\u0002'],
  ['\\1(a)', 'aa'],
  ['(a)|\\1b', 'b ab'],
  ['(a\\1)', 'aa'],
  ['(a)\\10', 'a\u0008 a0'],
  ['(a)\\8', 'a8'],
  ['\\8', '8'],
  ['\\9', '9'],
  ['(?:(a)|b)\\1', 'ba aa'],
  ['(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)\\10', 'abcdefghijj'],
  ['(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)\\11', 'abcdefghij\u0009'],
  ['(\\w)\\1', 'aabbcd'],
  ['(?<n>a)\\k<n>', 'aa'],
  ['(?<n>a)\\k', 'ak'],
  ['(?<n>a)\\k<m>', 'aa'],
  // Control escapes.
  ['\\cA', '\u0001'],
  ['\\ca', '\u0001'],
  ['\\c1', '\\c1'],
  ['\\c', '\\c'],
  ['[\\c1]', '\u0011'],
  ['[\\c_]', '\u001f'],
  ['[\\c]+', 'c\\'],
  ['\\t\\n\\v\\f\\r', '\t\n\u000b\u000c\r'],
  ['[\\b]', 'a\u0008b'],
  // Quantifiers and errors.
  ['*a', 'a'],
  ['a**', 'a'],
  ['a*+', 'a'],
  ['a++', 'aa'],
  ['a?+', 'a'],
  ['a{2}{3}', 'aaaaaa'],
  ['a{2}*', 'aaaa'],
  ['(?=a)*', 'a'],
  ['(?=a)+a', 'a'],
  ['(?!a){2}b', 'b'],
  ['(?<=a)*', 'a'],
  ['^*', 'a'],
  ['$+', 'a'],
  ['\\b+', 'a'],
  ['a|*', 'a'],
  ['a+?', 'aaa'],
  ['a*?b', 'aab'],
  ['<.*?>', '<a><b>'],
  ['a??', 'aa'],
  // Groups.
  ['(?:a)+', 'aaa'],
  ['(?=a)', 'ba'],
  ['(?!a)', 'ab'],
  ['(?<=a)b', 'ab cb'],
  ['(?<!a)b', 'ab cb'],
  ['(?<=中)文', '中文 英文'],
  ['(?<n>a)(b)', 'ab'],
  ['(?#x)', 'a'],
  ['(?i)a', 'a'],
  ['(?P<n>a)', 'a'],
  ['(?s).', 'a'],
  ['(*ANY)a', 'a'],
  ['(a', 'a'],
  ['a)', 'a'],
  ['[a', 'a'],
  ['a]', 'a]'],
  ['()', 'ab'],
  ['(a)|(b)', 'ab'],
  ['(a|ab)(c|bcd)(d*)', 'abcd'],
  ['(a)?b', 'b'],
  ['\\\\', 'a\\b'],
  ['a\\', 'a'],
  // Empty patterns and empty matches in the global loop.
  ['', 'ab'],
  ['|', 'ab'],
  ['a|', 'ba'],
  ['x*', 'abc'],
  ['a*?', 'aa'],
  ['(?:)', '中文'],
  ['x*|b', 'b'],
  ['\\b', 'ab cd'],
  ['a*', 'baaac'],
  ['(?=中)', '中文中'],
  ['', '中文'],
  // Letter case.
  ['ABC', 'abc aBc'],
  ['ABC', 'abc aBc ABC', 'gm'],
  ['[A-Z]+', 'abcDEF', 'gm'],
  ['[A-Z]+', 'abcDEF'],
  ['[a-c]+', 'ABCD'],
  ['[^a]', 'A'],
  ['[^a]+', 'bAa'],
  ['Ω', 'ω'],
  ['я', 'Я'],
  ['ａ', 'Ａ'],
  ['[ａ-ｃ]+', 'ＡＢＣＤ'],
  ['\\u03a9', 'ω'],
  // Global and not global.
  ['a', 'aaa', 'im'],
  ['(a)(b)?', 'aab', 'im'],
  ['x', 'aaa', 'im'],
  // Replacement patterns.
  ['(a)(b)?', 'xaby', 'gim', '<$1|$2|$&|$$|$`|$\'>'],
  ['(a)', 'xay', 'gim', '$10$01$2$0$00$'],
  ['(a)', 'xay', 'gim', '$<n>'],
  ['(?<n>a)', 'xay', 'gim', '[$<n>][$<m>][$<n]'],
  ['(中)(文)', '中文字', 'gim', '$2$1'],
  ['', 'ab', 'gim', '-'],
  ['x*', 'abc', 'gim', '-'],
  ['(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)', 'abcdefghij', 'gim', '$10$11$9'],
];

function cxx(text) {
  let out = '"';
  for (const ch of text) {
    const code = ch.codePointAt(0);
    if (ch === '"' || ch === '\\') out += '\\' + ch;
    else if (code < 0x20 || code === 0x7f) out += '\\' + code.toString(8).padStart(3, '0');
    else if (ch === '?') out += '\\?';  // no trigraphs
    else out += ch;
  }
  return 'u8' + out + '"';
}

function describe(pattern, subject, flags, replacement) {
  let re;
  try {
    re = new RegExp(pattern, flags);
  } catch (e) {
    return {valid: false, matches: [], replaced: ''};
  }
  const matches = [];
  if (flags.includes('g')) {
    for (const m of subject.matchAll(re)) matches.push(m);
  } else {
    const m = re.exec(subject);
    if (m) matches.push(m);
  }
  const rows = matches.map((m) => m.map((g) => (g === undefined ? '' : g)));
  return {valid: true, matches: rows, replaced: subject.replace(re, replacement)};
}

const lines = ['// Generated by make_dialect_table.js from JavaScript RegExp results. Do not edit by hand.'];
for (const [pattern, subject, flags = 'gim', replacement = '[$&]'] of cases) {
  const r = describe(pattern, subject, flags, replacement);
  const matches = r.matches.map((m) => '{' + m.map(cxx).join(', ') + '}').join(', ');
  lines.push(`{${cxx(pattern)}, ${cxx(subject)}, ${cxx(flags)}, ${cxx(replacement)}, ${r.valid}, {${matches}}, ` +
             `${cxx(r.replaced)}},`);
}
console.log(lines.join('\n'));

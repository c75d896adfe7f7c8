#include "regex/ecma_dialect.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace lekto::regex {
namespace {

using Range = std::pair<char32_t, char32_t>;

// ECMAScript's \s: the white-space characters (TAB, VT, FF, U+FEFF and the Zs category) and the line
// terminators (LF, CR, U+2028, U+2029). PCRE2's \s lacks most of the non-ASCII ones.
constexpr Range kSpaces[] = {{0x09, 0x0D},     {0x20, 0x20},     {0xA0, 0xA0},     {0x1680, 0x1680}, {0x2000, 0x200A},
                             {0x2028, 0x2029}, {0x202F, 0x202F}, {0x205F, 0x205F}, {0x3000, 0x3000}, {0xFEFF, 0xFEFF}};
constexpr char32_t kMaxChar = 0x10FFFF;
constexpr const char* kNotLineEnd = "[^\\n\\r\\x{2028}\\x{2029}]";
constexpr const char* kNever = "(?:(?!))";
constexpr const char* kAny = "(?s:.)";
// Groups nest no deeper than PCRE2 accepts (its default limit), which also bounds the recursion of the
// translation: a pattern of a million "(" would otherwise overflow the thread's stack.
constexpr int kMaxNesting = 250;
// A callout: the matcher calls back into the engine whenever it passes one, which is where the run's budget is
// checked (compiled_pattern.cpp).
constexpr const char* kCheckpoint = "(?C)";

bool IsSurrogate(char32_t c) {
  return c >= 0xD800 && c <= 0xDFFF;
}
bool IsDigit(char32_t c) {
  return c >= '0' && c <= '9';
}
bool IsOctal(char32_t c) {
  return c >= '0' && c <= '7';
}
bool IsAsciiLetter(char32_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
int HexValue(char32_t c) {
  if (IsDigit(c)) return static_cast<int>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
  return -1;
}

void AppendHex(std::string& out, char32_t c) {
  static constexpr char kDigits[] = "0123456789abcdef";
  char buffer[8];
  int n = 0;
  do {
    buffer[n++] = kDigits[c & 0xF];
    c >>= 4;
  } while (c != 0);
  out += "\\x{";
  while (n > 0) out += buffer[--n];
  out += '}';
}

// One literal character outside a class. Letters and digits stay readable; everything else is written as a
// hexadecimal escape so that no PCRE2 metacharacter can slip through. A lone surrogate cannot occur in a
// subject that came from GBK, so it matches nothing.
void AppendLiteral(std::string& out, char32_t c) {
  if (IsSurrogate(c)) {
    out += kNever;
  } else if (c < 0x80 && (IsDigit(c) || IsAsciiLetter(c))) {
    out += static_cast<char>(c);
  } else {
    AppendHex(out, c);
  }
}

// Sorted, merged ranges without the surrogate block (PCRE2 in UTF mode rejects surrogates).
std::vector<Range> Normalize(std::vector<Range> ranges) {
  std::vector<Range> split;
  for (auto [lo, hi] : ranges) {
    if (hi < 0xD800 || lo > 0xDFFF) {
      split.emplace_back(lo, hi);
      continue;
    }
    if (lo < 0xD800) split.emplace_back(lo, 0xD7FF);
    if (hi > 0xDFFF) split.emplace_back(0xE000, hi);
  }
  std::sort(split.begin(), split.end());
  std::vector<Range> merged;
  for (auto r : split) {
    if (!merged.empty() && r.first <= merged.back().second + 1) {
      merged.back().second = std::max(merged.back().second, r.second);
    } else {
      merged.push_back(r);
    }
  }
  return merged;
}

bool CoversEverything(const std::vector<Range>& merged) {
  return merged.size() == 2 && merged[0] == Range{0, 0xD7FF} && merged[1] == Range{0xE000, kMaxChar};
}

void AppendRanges(std::string& out, const std::vector<Range>& ranges) {
  for (auto [lo, hi] : ranges) {
    AppendHex(out, lo);
    if (hi != lo) {
      out += '-';
      AppendHex(out, hi);
    }
  }
}

std::vector<Range> Complement(const std::vector<Range>& merged) {
  std::vector<Range> result;
  char32_t next = 0;
  for (auto [lo, hi] : merged) {
    if (lo > next) result.emplace_back(next, lo - 1);
    next = hi + 1;
  }
  if (next <= kMaxChar) result.emplace_back(next, kMaxChar);
  return result;
}

const std::vector<Range>& Spaces() {
  static const std::vector<Range> spaces = Normalize({std::begin(kSpaces), std::end(kSpaces)});
  return spaces;
}
const std::vector<Range>& NonSpaces() {
  static const std::vector<Range> nonSpaces = Complement(Spaces());
  return nonSpaces;
}

// One recursive-descent pass over the pattern (ECMAScript's grammar with its web-compatibility annex), writing
// the PCRE2 equivalent as it goes. Any syntax error of ECMAScript fails the whole translation.
class Translator {
 public:
  Translator(std::u32string_view pattern, bool multiLine) : p_(pattern), multiLine_(multiLine) { CountGroups(); }

  // Checkpoints are placed so that a match attempt never does more than a short, straight stretch of work
  // without passing one: one where each attempt starts, one after every quantifier (each character a repeat
  // gives back or takes on leads past it) and one at the end of every alternative (each alternative tried
  // passes it). Backtracking, however it explodes, is then a stream of checkpoints.
  std::optional<std::string> Run() {
    out_ = kCheckpoint;
    if (!Disjunction() || i_ != p_.size()) return std::nullopt;
    return std::move(out_);
  }

 private:
  bool AtEnd() const { return i_ >= p_.size(); }
  char32_t Peek(std::size_t ahead = 0) const { return i_ + ahead < p_.size() ? p_[i_ + ahead] : 0; }
  bool Has(std::size_t ahead) const { return i_ + ahead < p_.size(); }

  // Capture groups are counted over the whole pattern first: "\2" is a back reference only when the pattern
  // has at least two groups, wherever they are.
  void CountGroups() {
    bool inClass = false;
    for (std::size_t i = 0; i < p_.size(); ++i) {
      char32_t c = p_[i];
      if (c == '\\') {
        ++i;
      } else if (inClass) {
        if (c == ']') inClass = false;
      } else if (c == '[') {
        inClass = true;
      } else if (c == '(') {
        if (i + 1 >= p_.size() || p_[i + 1] != '?') {
          ++groups_;
        } else if (i + 3 < p_.size() && p_[i + 2] == '<' && p_[i + 3] != '=' && p_[i + 3] != '!') {
          ++groups_;
          namedGroups_ = true;
        }
      }
    }
  }

  bool Disjunction() {
    for (bool alternatives = false;; alternatives = true) {
      while (!AtEnd() && Peek() != '|' && Peek() != ')') {
        if (!Term()) return false;
      }
      if (AtEnd() || Peek() != '|') {
        if (alternatives) out_ += kCheckpoint;
        return true;
      }
      out_ += kCheckpoint;
      out_ += '|';
      ++i_;
    }
  }

  // {n}, {n,} or {n,m} at the current position; `length` receives its length. A brace that does not start one
  // of these forms is an ordinary character.
  bool BracedQuantifier(std::size_t& length, std::string& text, bool& outOfOrder) const {
    std::size_t j = i_ + 1;
    auto digits = [&](std::string& into, unsigned long long& value) {
      std::size_t start = j;
      value = 0;
      while (j < p_.size() && IsDigit(p_[j])) {
        value = std::min<unsigned long long>(value * 10 + (p_[j] - '0'), 1ULL << 40);
        into += static_cast<char>(p_[j]);
        ++j;
      }
      return j > start;
    };
    std::string low, high;
    unsigned long long lowValue = 0, highValue = 0;
    if (!digits(low, lowValue)) return false;
    bool comma = j < p_.size() && p_[j] == ',';
    if (comma) ++j;
    bool hasHigh = comma && digits(high, highValue);
    if (j >= p_.size() || p_[j] != '}') return false;
    length = j + 1 - i_;
    text = "{" + low + (comma ? "," : "") + high + "}";
    outOfOrder = hasHigh && highValue < lowValue;
    return true;
  }

  bool Term() {
    char32_t c = Peek();
    bool quantifiable = true;
    std::size_t atomStart = out_.size();
    switch (c) {
      case '^':
        out_ += multiLine_ ? "(?<![^\\n\\r\\x{2028}\\x{2029}])" : "\\A";
        ++i_;
        quantifiable = false;
        break;
      case '$':
        out_ += multiLine_ ? "(?![^\\n\\r\\x{2028}\\x{2029}])" : "\\z";
        ++i_;
        quantifiable = false;
        break;
      case '.':
        out_ += kNotLineEnd;
        ++i_;
        break;
      case '*':
      case '+':
      case '?':
        return false;  // nothing to repeat
      case '{': {
        std::size_t length = 0;
        std::string text;
        bool outOfOrder = false;
        if (BracedQuantifier(length, text, outOfOrder)) return false;  // nothing to repeat
        AppendLiteral(out_, c);
        ++i_;
        break;
      }
      case '(':
        if (!Group(quantifiable)) return false;
        break;
      case '[':
        if (!Class()) return false;
        break;
      case '\\':
        if (!AtomEscape(quantifiable)) return false;
        break;
      default:
        AppendLiteral(out_, c);
        ++i_;
    }
    return Quantifier(quantifiable, atomStart);
  }

  bool Quantifier(bool quantifiable, std::size_t atomStart) {
    std::string text;
    char32_t c = Peek();
    if (c == '*' || c == '+' || c == '?') {
      text = static_cast<char>(c);
      ++i_;
    } else if (c == '{') {
      std::size_t length = 0;
      bool outOfOrder = false;
      if (!BracedQuantifier(length, text, outOfOrder)) return true;
      if (outOfOrder) return false;
      i_ += length;
    } else {
      return true;
    }
    if (!quantifiable) return false;
    if (Peek() == '?' && Has(0)) {
      text += '?';
      ++i_;
    }
    // The atom is one PCRE2 item already except for a lookahead, which gets a group of its own.
    if (out_.compare(atomStart, 3, "(?=") == 0 || out_.compare(atomStart, 3, "(?!") == 0) {
      out_.insert(atomStart, "(?:");
      out_ += ')';
    }
    out_ += text;
    out_ += kCheckpoint;
    return true;
  }

  bool Group(bool& quantifiable) {
    if (nesting_ == kMaxNesting) return false;
    ++i_;  // "("
    if (Peek() != '?') {
      out_ += '(';
    } else if (Peek(1) == ':' || Peek(1) == '=' || Peek(1) == '!') {
      out_ += "(?";
      out_ += static_cast<char>(Peek(1));
      i_ += 2;
    } else if (Peek(1) == '<' && (Peek(2) == '=' || Peek(2) == '!')) {
      out_ += "(?<";
      out_ += static_cast<char>(Peek(2));
      i_ += 3;
      quantifiable = false;  // a lookbehind cannot be repeated
    } else if (Peek(1) == '<') {
      i_ += 2;
      std::string name;
      if (!GroupName(name)) return false;
      out_ += "(?<" + name + ">";
    } else {
      return false;
    }
    ++nesting_;
    if (!Disjunction() || Peek() != ')' || AtEnd()) return false;
    --nesting_;
    ++i_;
    out_ += ')';
    return true;
  }

  // A group name up to and including its ">"; only ASCII identifiers, the names PCRE2 accepts.
  bool GroupName(std::string& name) {
    while (!AtEnd() && Peek() != '>') {
      char32_t c = Peek();
      bool ok = IsAsciiLetter(c) || c == '_' || (IsDigit(c) && !name.empty());
      if (!ok) return false;
      name += static_cast<char>(c);
      ++i_;
    }
    if (AtEnd() || name.empty()) return false;
    ++i_;
    return true;
  }

  // Up to three octal digits worth at most 0377 (the legacy octal escape); the first digit is at i_.
  char32_t LegacyOctal() {
    char32_t value = p_[i_++] - '0';
    if (!AtEnd() && IsOctal(Peek())) {
      bool threeAllowed = value <= 3;
      value = value * 8 + (p_[i_++] - '0');
      if (threeAllowed && !AtEnd() && IsOctal(Peek())) value = value * 8 + (p_[i_++] - '0');
    }
    return value;
  }

  // The escapes that stand for one character, outside and inside classes; i_ is just after the backslash.
  // A "\c" not followed by a control letter stands for the backslash itself, and the "c" is read again as the
  // next character.
  char32_t CharacterEscape(bool inClass) {
    char32_t value = 0;
    char32_t c = Peek();
    switch (c) {
      case 'f':
        value = 0x0C;
        break;
      case 'n':
        value = 0x0A;
        break;
      case 'r':
        value = 0x0D;
        break;
      case 't':
        value = 0x09;
        break;
      case 'v':
        value = 0x0B;
        break;
      case 'c': {
        char32_t letter = Peek(1);
        bool control = Has(1) && (IsAsciiLetter(letter) || (inClass && (IsDigit(letter) || letter == '_')));
        if (!control) {
          value = '\\';
          return value;
        }
        value = letter % 32;
        i_ += 2;
        return value;
      }
      case 'x':
        if (Has(2) && HexValue(Peek(1)) >= 0 && HexValue(Peek(2)) >= 0) {
          value = static_cast<char32_t>(HexValue(Peek(1)) * 16 + HexValue(Peek(2)));
          i_ += 3;
          return value;
        }
        value = 'x';
        break;
      case 'u':
        if (Has(4) && HexValue(Peek(1)) >= 0 && HexValue(Peek(2)) >= 0 && HexValue(Peek(3)) >= 0 &&
            HexValue(Peek(4)) >= 0) {
          value = static_cast<char32_t>(HexValue(Peek(1)) << 12 | HexValue(Peek(2)) << 8 | HexValue(Peek(3)) << 4 |
                                        HexValue(Peek(4)));
          i_ += 5;
          return value;
        }
        value = 'u';
        break;
      default:
        if (IsOctal(c)) {
          value = LegacyOctal();
          return value;
        }
        value = c;  // any other character stands for itself, "\8" and "\9" included
    }
    ++i_;
    return value;
  }

  bool AtomEscape(bool& quantifiable) {
    ++i_;  // "\"
    if (AtEnd()) return false;
    char32_t c = Peek();
    switch (c) {
      case 'b':
      case 'B':
        out_ += '\\';
        out_ += static_cast<char>(c);
        ++i_;
        quantifiable = false;
        return true;
      case 'd':
      case 'D':
      case 'w':
      case 'W':
        out_ += '\\';
        out_ += static_cast<char>(c);
        ++i_;
        return true;
      case 's':
        out_ += '[';
        AppendRanges(out_, Spaces());
        out_ += ']';
        ++i_;
        return true;
      case 'S':
        out_ += "[^";
        AppendRanges(out_, Spaces());
        out_ += ']';
        ++i_;
        return true;
      case 'k':
        if (!namedGroups_) break;
        if (Peek(1) != '<') return false;
        {
          i_ += 2;
          std::string name;
          if (!GroupName(name)) return false;
          out_ += "\\k<" + name + ">";
        }
        return true;
      default:
        break;
    }
    if (c >= '1' && c <= '9') {
      std::size_t j = i_;
      unsigned long long number = 0;
      while (j < p_.size() && IsDigit(p_[j])) {
        number = std::min<unsigned long long>(number * 10 + (p_[j] - '0'), 1ULL << 40);
        ++j;
      }
      if (number <= static_cast<unsigned long long>(groups_)) {
        out_ += "\\g{" + std::to_string(number) + "}";
        i_ = j;
        return true;
      }
    }
    AppendLiteral(out_, CharacterEscape(false));
    return true;
  }

  // One class atom: a character, or one of the class escapes \d \D \w \W \s \S (returned in `escape`).
  bool ClassAtom(char32_t& value, char& escape) {
    escape = 0;
    if (Peek() != '\\') {
      value = p_[i_++];
      return true;
    }
    ++i_;
    if (AtEnd()) return false;
    char32_t c = Peek();
    if (c == 'd' || c == 'D' || c == 'w' || c == 'W' || c == 's' || c == 'S') {
      escape = static_cast<char>(c);
      ++i_;
      return true;
    }
    if (c == 'b') {
      value = 0x08;
      ++i_;
      return true;
    }
    if (c == 'k' && namedGroups_) return false;
    value = CharacterEscape(true);
    return true;
  }

  void AddEscape(char escape, std::vector<Range>& ranges, std::string& natives) {
    if (escape == 's') {
      ranges.insert(ranges.end(), Spaces().begin(), Spaces().end());
    } else if (escape == 'S') {
      ranges.insert(ranges.end(), NonSpaces().begin(), NonSpaces().end());
    } else {
      natives += '\\';
      natives += escape;
    }
  }

  bool Class() {
    ++i_;  // "["
    bool negated = Peek() == '^' && Has(0);
    if (negated) ++i_;
    std::vector<Range> ranges;
    std::string natives;  // \d \D \w \W stay PCRE2's own: ASCII, and untouched by case folding
    while (!AtEnd() && Peek() != ']') {
      char32_t low = 0;
      char lowEscape = 0;
      if (!ClassAtom(low, lowEscape)) return false;
      if (Peek() == '-' && Has(1) && Peek(1) != ']') {
        ++i_;
        char32_t high = 0;
        char highEscape = 0;
        if (!ClassAtom(high, highEscape)) return false;
        if (lowEscape || highEscape) {
          // A class escape cannot end a range: both sides and the hyphen are members.
          if (lowEscape)
            AddEscape(lowEscape, ranges, natives);
          else
            ranges.emplace_back(low, low);
          if (highEscape)
            AddEscape(highEscape, ranges, natives);
          else
            ranges.emplace_back(high, high);
          ranges.emplace_back('-', '-');
          continue;
        }
        if (high < low) return false;
        ranges.emplace_back(low, high);
        continue;
      }
      if (lowEscape)
        AddEscape(lowEscape, ranges, natives);
      else
        ranges.emplace_back(low, low);
    }
    if (AtEnd()) return false;
    ++i_;  // "]"
    std::vector<Range> merged = Normalize(std::move(ranges));
    bool everything = CoversEverything(merged);
    if (natives.empty() && (merged.empty() || everything)) {
      out_ += (merged.empty() != negated) ? kNever : kAny;
      return true;
    }
    if (everything) {
      merged.clear();
      natives = "\\s\\S";
    }
    out_ += negated ? "[^" : "[";
    out_ += natives;
    AppendRanges(out_, merged);
    out_ += ']';
    return true;
  }

  std::u32string_view p_;
  bool multiLine_;
  std::size_t i_ = 0;
  int groups_ = 0;
  int nesting_ = 0;
  bool namedGroups_ = false;
  std::string out_;
};

}  // namespace

std::optional<std::string> TranslateEcmaPattern(std::u32string_view pattern, bool multiLine) {
  return Translator(pattern, multiLine).Run();
}

}  // namespace lekto::regex

#include "expr/lexer.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

#include "values/cp850.h"

namespace kor::expr {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
char up(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

bool equalsUpper(std::string_view a, std::string_view upperWord) {
  if (a.size() != upperWord.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (up(a[i]) != upperWord[i]) return false;
  return true;
}

bool endsOperand(Tok t) {
  switch (t) {
    case Tok::Number:
    case Tok::String:
    case Tok::Ident:
    case Tok::True:
    case Tok::False:
    case Tok::RParen:
    case Tok::RBracket:
    case Tok::RBrace:
    case Tok::Inc:
    case Tok::Dec:
      return true;
    default:
      return false;
  }
}

}  // namespace

Token Lexer::make(Tok t, size_t start, size_t end) {
  Token k;
  k.t = t;
  k.pos = static_cast<uint32_t>(start);
  k.end = static_cast<uint32_t>(end);
  k.text = s_.substr(start, end - start);
  i_ = end;
  return k;
}

Token Lexer::error(size_t at, std::string_view why) {
  Token k;
  k.t = Tok::Error;
  k.pos = k.end = static_cast<uint32_t>(at);
  k.text = why;
  return k;
}

Token Lexer::next() {
  if (done_) return last_;
  while (i_ < s_.size() && isBlank(s_[i_])) ++i_;
  Token k;
  if (i_ >= s_.size()) {
    k = make(Tok::End, i_, i_);
  } else {
    size_t st = i_;
    char c = s_[i_];
    char n1 = i_ + 1 < s_.size() ? s_[i_ + 1] : '\0';
    char n2 = i_ + 2 < s_.size() ? s_[i_ + 2] : '\0';
    auto op = [&](Tok t, size_t len) { return make(t, st, st + len); };
    if (isDigit(c)) {
      k = number(st);
    } else if (isAlpha(c)) {
      size_t j = st;
      while (j < s_.size() && (isAlpha(s_[j]) || isDigit(s_[j]))) ++j;
      k = make(Tok::Ident, st, j);
    } else {
      switch (c) {
        case '.': k = isDigit(n1) ? number(st) : dotWord(st); break;
        case '"': k = quoted(st, '"'); break;
        case '\'': k = quoted(st, '\''); break;
        case '[':
          k = afterOperand_ ? op(Tok::LBracket, 1) : quoted(st, ']');
          break;
        case '+':
          k = n1 == '+' ? op(Tok::Inc, 2) : n1 == '=' ? op(Tok::PlusAssign, 2) : op(Tok::Plus, 1);
          break;
        case '-':
          k = n1 == '-'   ? op(Tok::Dec, 2)
              : n1 == '=' ? op(Tok::MinusAssign, 2)
              : n1 == '>' ? op(Tok::Arrow, 2)
                          : op(Tok::Minus, 1);
          break;
        case '*':
          if (n1 == '*')
            k = n2 == '=' ? op(Tok::PowerAssign, 3) : op(Tok::Power, 2);
          else
            k = n1 == '=' ? op(Tok::StarAssign, 2) : op(Tok::Star, 1);
          break;
        case '/': k = n1 == '=' ? op(Tok::SlashAssign, 2) : op(Tok::Slash, 1); break;
        case '%': k = n1 == '=' ? op(Tok::PercentAssign, 2) : op(Tok::Percent, 1); break;
        case '^': k = n1 == '=' ? op(Tok::PowerAssign, 2) : op(Tok::Power, 1); break;
        case '=': k = n1 == '=' ? op(Tok::EqEq, 2) : op(Tok::Eq, 1); break;
        case '!': k = n1 == '=' ? op(Tok::Ne, 2) : op(Tok::Not, 1); break;
        case '#': k = op(Tok::Ne, 1); break;
        case '<':
          k = n1 == '=' ? op(Tok::Le, 2) : n1 == '>' ? op(Tok::Ne, 2) : op(Tok::Lt, 1);
          break;
        case '>': k = n1 == '=' ? op(Tok::Ge, 2) : op(Tok::Gt, 1); break;
        case '$': k = op(Tok::Dollar, 1); break;
        case ':': k = n1 == '=' ? op(Tok::Assign, 2) : op(Tok::Colon, 1); break;
        case '(': k = op(Tok::LParen, 1); break;
        case ')': k = op(Tok::RParen, 1); break;
        case ']': k = op(Tok::RBracket, 1); break;
        case '{': k = op(Tok::LBrace, 1); break;
        case '}': k = op(Tok::RBrace, 1); break;
        case ',': k = op(Tok::Comma, 1); break;
        case '|': k = op(Tok::Pipe, 1); break;
        case '@': k = op(Tok::At, 1); break;
        case '&': k = op(Tok::Amp, 1); break;
        default: k = error(st, "caractere inválido"_cp); break;
      }
    }
  }
  afterOperand_ = endsOperand(k.t);
  if (k.t == Tok::End || k.t == Tok::Error) {
    done_ = true;
    last_ = k;
  }
  return k;
}

// number ::= digits [ '.' [digits] ] | '.' digits | '0x' hexdigits
// The count of digits written after the point is the number's decimals.
Token Lexer::number(size_t st) {
  size_t j = st;
  if (s_[j] == '0' && j + 1 < s_.size() && (s_[j + 1] == 'x' || s_[j + 1] == 'X')) {
    size_t h = j + 2;
    double v = 0;
    while (h < s_.size() && std::isxdigit(static_cast<unsigned char>(s_[h]))) {
      char d = s_[h];
      int dv = isDigit(d) ? d - '0' : (up(d) - 'A' + 10);
      v = v * 16 + dv;
      ++h;
    }
    if (h == j + 2) return error(st, "número inválido"_cp);
    if (h < s_.size() && (isAlpha(s_[h]) || isDigit(s_[h]))) return error(st, "número inválido"_cp);
    if (!std::isfinite(v) || v > 9007199254740992.0) return error(st, "número fora do intervalo"_cp);
    Token k = make(Tok::Number, st, h);
    k.num = v;
    return k;
  }
  while (j < s_.size() && isDigit(s_[j])) ++j;
  size_t digitsEnd = j;
  int dec = 0;
  if (j < s_.size() && s_[j] == '.') {
    char after = j + 1 < s_.size() ? s_[j + 1] : '\0';
    if (isDigit(after)) {
      size_t f = j + 1;
      while (f < s_.size() && isDigit(s_[f])) ++f;
      dec = static_cast<int>(f - j - 1);
      j = f;
    } else if (!isAlpha(after)) {
      // "1." is the number 1; "1.AND." leaves the point to the operator.
      ++j;
    }
  }
  if (j < s_.size() && isAlpha(s_[j])) return error(st, "número inválido"_cp);
  std::string_view digits = s_.substr(st, j - st);
  double v = 0;
  auto res = std::from_chars(digits.data(), digits.data() + digits.size(), v);
  if (res.ec == std::errc::result_out_of_range || !std::isfinite(v))
    return error(st, "número fora do intervalo"_cp);
  if (res.ec != std::errc() && digitsEnd > st) {
    // "1." is not read by from_chars in every library; read the digits alone.
    res = std::from_chars(digits.data(), s_.data() + digitsEnd, v);
    if (res.ec != std::errc() || !std::isfinite(v)) return error(st, "número fora do intervalo"_cp);
  }
  Token k = make(Tok::Number, st, j);
  k.num = v;
  k.dec = dec > 255 ? 255 : dec;
  return k;
}

// dotword ::= '.T.' | '.F.' | '.Y.' | '.N.' | '.AND.' | '.OR.' | '.NOT.'
Token Lexer::dotWord(size_t st) {
  size_t j = st + 1;
  while (j < s_.size() && isAlpha(s_[j]) && j - st < 6) ++j;
  if (j < s_.size() && s_[j] == '.') {
    std::string_view w = s_.substr(st + 1, j - st - 1);
    Tok t = Tok::Error;
    if (equalsUpper(w, "T") || equalsUpper(w, "Y")) t = Tok::True;
    else if (equalsUpper(w, "F") || equalsUpper(w, "N")) t = Tok::False;
    else if (equalsUpper(w, "AND")) t = Tok::And;
    else if (equalsUpper(w, "OR")) t = Tok::Or;
    else if (equalsUpper(w, "NOT")) t = Tok::Not;
    if (t != Tok::Error) return make(t, st, j + 1);
  }
  return error(st, "operador inválido"_cp);
}

// text ::= '"' chars '"' | "'" chars "'" | '[' chars ']'  (no escapes)
Token Lexer::quoted(size_t st, char close) {
  size_t e = s_.find(close, st + 1);
  if (e == std::string_view::npos) return error(st, "texto não terminado"_cp);
  Token k = make(Tok::String, st, e + 1);
  k.text = s_.substr(st + 1, e - st - 1);
  return k;
}

}  // namespace kor::expr

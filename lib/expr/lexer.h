// The tokens of expression texts. Internal to lib/expr.
//
// Texts are CP850 bytes. Outside quoted texts only printable ASCII and the
// blanks (space, tab, CR, LF) may appear; anything else (NUL, control or high
// bytes) is an invalid character. Keywords and names are matched without
// regard to case.
#pragma once

#include <cstdint>
#include <string_view>

namespace kor::expr {

enum class Tok : uint8_t {
  End,
  Error,   // text: the reason
  Number,  // num, dec
  String,  // text: the content without its delimiters
  Ident,   // text: the name as written
  True,
  False,
  And,
  Or,
  Not,  // .NOT. and !
  Plus,
  Minus,
  Star,
  Slash,
  Percent,
  Power,  // ** and ^
  Eq,
  EqEq,
  Ne,  // != <> #
  Lt,
  Le,
  Gt,
  Ge,
  Dollar,
  Assign,  // :=
  PlusAssign,
  MinusAssign,
  StarAssign,
  SlashAssign,
  PercentAssign,
  PowerAssign,
  Inc,
  Dec,
  Arrow,
  LParen,
  RParen,
  LBracket,
  RBracket,
  LBrace,
  RBrace,
  Comma,
  Pipe,
  Colon,
  At,
  Amp,
};

struct Token {
  Tok t = Tok::End;
  uint32_t pos = 0;  // offset of the token in the text
  uint32_t end = 0;  // offset just past it
  double num = 0;
  int dec = 0;
  std::string_view text;
};

class Lexer {
 public:
  explicit Lexer(std::string_view src) : s_(src) {}
  // The next token. After End or Error it keeps returning the same.
  Token next();

 private:
  Token make(Tok t, size_t start, size_t end);
  Token error(size_t at, std::string_view why);
  Token number(size_t start);
  Token dotWord(size_t start);
  Token quoted(size_t start, char close);

  std::string_view s_;
  size_t i_ = 0;
  // Whether the previous token ends an operand: then "[" indexes, otherwise
  // it opens a [bracketed] text.
  bool afterOperand_ = false;
  bool done_ = false;
  Token last_;
};

}  // namespace kor::expr

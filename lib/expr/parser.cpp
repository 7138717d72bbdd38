// The parser: precedence climbing over one table of binary operators, the
// grammar rule written above each function. It builds a Program (program.h)
// and resolves callback parameters to slots; every other name is resolved
// when the program runs.
//
// Precedence, lowest first (the usual order of this family of languages):
//   ,   :=  +=  -=  *=  /=  %=  ^=   (right to left)
//   .OR.   .AND.   .NOT. (prefix)   = == != <> # < <= > >= $
//   + -    * / %    ** ^    unary + -    ++ -- (prefix)    postfix
// .NOT. binds looser than the comparisons: "!Recno() == n" is
// "!(Recno() == n)". The sign binds tighter than the power: -2 ** 2 is 4.
#include <algorithm>
#include <string>
#include <vector>

#include "expr/internal.h"
#include "expr/lexer.h"
#include "values/cp850.h"
#include "values/textform.h"

namespace kor::expr {

namespace {

struct SyntaxError {
  std::string why;
  uint32_t pos;
};

enum Prec : int { kOr = 1, kAnd, kRel, kAdd, kMul, kPow };

struct BinaryInfo {
  Op op;
  int prec;
};

// The one table of binary operators.
bool binaryOf(Tok t, BinaryInfo& out) {
  switch (t) {
    case Tok::Or: out = {Op::Or, kOr}; return true;
    case Tok::And: out = {Op::And, kAnd}; return true;
    case Tok::Eq: out = {Op::Eq, kRel}; return true;
    case Tok::EqEq: out = {Op::ExactEq, kRel}; return true;
    case Tok::Ne: out = {Op::Ne, kRel}; return true;
    case Tok::Lt: out = {Op::Lt, kRel}; return true;
    case Tok::Le: out = {Op::Le, kRel}; return true;
    case Tok::Gt: out = {Op::Gt, kRel}; return true;
    case Tok::Ge: out = {Op::Ge, kRel}; return true;
    case Tok::Dollar: out = {Op::In, kRel}; return true;
    case Tok::Plus: out = {Op::Add, kAdd}; return true;
    case Tok::Minus: out = {Op::Sub, kAdd}; return true;
    case Tok::Star: out = {Op::Mul, kMul}; return true;
    case Tok::Slash: out = {Op::Div, kMul}; return true;
    case Tok::Percent: out = {Op::Mod, kMul}; return true;
    case Tok::Power: out = {Op::Pow, kPow}; return true;
    default: return false;
  }
}

// Assignment operators: the binary operator they apply (Const for ":=").
bool assignOf(Tok t, Op& out) {
  switch (t) {
    case Tok::Assign: out = Op::Const; return true;
    case Tok::PlusAssign: out = Op::Add; return true;
    case Tok::MinusAssign: out = Op::Sub; return true;
    case Tok::StarAssign: out = Op::Mul; return true;
    case Tok::SlashAssign: out = Op::Div; return true;
    case Tok::PercentAssign: out = Op::Mod; return true;
    case Tok::PowerAssign: out = Op::Pow; return true;
    default: return false;
  }
}

bool assignable(const Node& n) {
  if (n.op == Op::Send) return n.sub == 0;  // obj:field, not obj:method()
  switch (n.op) {
    case Op::Name:
    case Op::Local:
    case Op::MemVar:
    case Op::Field:
    case Op::AliasField:
    case Op::AreaField:
    case Op::DynAliasField:
    case Op::Index:
    case Op::Macro:
      return true;
    default:
      return false;
  }
}

class Parser {
 public:
  explicit Parser(std::string_view src) : lex_(src) {
    prog_ = std::make_shared<Program>();
    prog_->source = std::string(src);
    tok_ = lex_.next();
  }

  // text ::= [ list ] End
  std::shared_ptr<Program> run() {
    if (tok_.t != Tok::End) prog_->root = parseList();
    if (tok_.t != Tok::End) fail(tok_.t == Tok::Error ? tok_.text : "texto inesperado após a expressão"_cp);
    if (prog_->root >= 0 && prog_->nodes[prog_->root].op == Op::Block)
      prog_->rootBlock = prog_->nodes[prog_->root].a;
    return std::move(prog_);
  }

  [[noreturn]] void fail(std::string_view why) { throw SyntaxError{std::string(why), tok_.pos}; }

 private:
  struct Scope {
    std::vector<std::string> params;
    int32_t block;
  };

  // Counts the parser's recursion so that "((((..." ends in an error, not a
  // stack overflow.
  struct Nest {
    explicit Nest(Parser& p) : p_(p) {
      if (++p_.depth_ > kMaxNesting) p_.fail("expressão muito complexa"_cp);
    }
    ~Nest() { --p_.depth_; }
    Parser& p_;
  };

  // --- tokens --------------------------------------------------------------
  void advance() { tok_ = lex_.next(); }
  bool accept(Tok t) {
    if (tok_.t != t) return false;
    advance();
    return true;
  }
  void expect(Tok t, std::string_view what) {
    if (tok_.t == Tok::Error) fail(tok_.text);
    if (tok_.t != t) fail(what);
    advance();
  }

  // --- nodes ---------------------------------------------------------------
  int depthOf(int32_t i) const { return i < 0 ? 0 : depths_[static_cast<size_t>(i)]; }

  int32_t add(Node n, int childDepth) {
    int d = childDepth + 1;
    if (d > kMaxTreeDepth) fail("expressão muito complexa"_cp);
    prog_->nodes.push_back(n);
    depths_.push_back(static_cast<uint16_t>(d));
    return static_cast<int32_t>(prog_->nodes.size() - 1);
  }
  int32_t add1(Op op, int32_t a, uint8_t sub = 0) {
    Node n;
    n.op = op;
    n.a = a;
    n.sub = sub;
    return add(n, depthOf(a));
  }
  int32_t add2(Op op, int32_t a, int32_t b, uint8_t sub = 0) {
    Node n;
    n.op = op;
    n.a = a;
    n.b = b;
    n.sub = sub;
    return add(n, std::max(depthOf(a), depthOf(b)));
  }
  // Puts a run of child nodes into the lists and returns its depth.
  int putList(Node& n, const std::vector<int32_t>& items) {
    n.c = static_cast<int32_t>(prog_->lists.size());
    n.d = static_cast<int32_t>(items.size());
    int d = 0;
    for (int32_t i : items) {
      prog_->lists.push_back(i);
      d = std::max(d, depthOf(i));
    }
    return d;
  }
  int32_t constant(Value v) {
    prog_->consts.push_back(std::move(v));
    Node n;
    n.op = Op::Const;
    n.a = static_cast<int32_t>(prog_->consts.size() - 1);
    return add(n, 0);
  }
  int32_t name(std::string_view s) {
    std::string u = upper(s);
    auto& names = prog_->names;
    for (size_t i = 0; i < names.size(); ++i)
      if (names[i] == u) return static_cast<int32_t>(i);
    names.push_back(std::move(u));
    return static_cast<int32_t>(names.size() - 1);
  }
  int32_t nameCache() {
    prog_->nameCache.emplace_back();
    return static_cast<int32_t>(prog_->nameCache.size() - 1);
  }
  // A node reading a field (Field, AliasField, AreaField, DynAliasField).
  int32_t fieldNode(Op op, std::string_view field, int32_t b, int childDepth) {
    Node n;
    n.op = op;
    n.a = name(field);
    n.b = b;
    n.c = nameCache();
    return add(n, childDepth);
  }

  // A name as an operand: a parameter of an enclosing callback literal, or a
  // name resolved at run time.
  int32_t nameRef(std::string_view s) {
    std::string u = upper(s);
    for (size_t k = scopes_.size(); k-- > 0;) {
      auto& ps = scopes_[k].params;
      auto it = std::find(ps.begin(), ps.end(), u);
      if (it == ps.end()) continue;
      size_t up = scopes_.size() - 1 - k;
      // An inner callback reaches this slot: the owner's slots, and those of
      // every callback between, must outlive their calls.
      for (size_t j = k; j + 1 < scopes_.size(); ++j) prog_->blocks[static_cast<size_t>(scopes_[j].block)].heapEnv = true;
      Node n;
      n.op = Op::Local;
      n.a = static_cast<int32_t>(up);
      n.b = static_cast<int32_t>(it - ps.begin());
      return add(n, 0);
    }
    Node n;
    n.op = Op::Name;
    n.a = name(s);
    n.c = nameCache();
    return add(n, 0);
  }

  // --- grammar -------------------------------------------------------------

  // list ::= assign { ',' assign }
  int32_t parseList() {
    int32_t first = parseAssign();
    if (tok_.t != Tok::Comma) return first;
    std::vector<int32_t> items{first};
    while (accept(Tok::Comma)) items.push_back(parseAssign());
    Node n;
    n.op = Op::List;
    int d = putList(n, items);
    return add(n, d);
  }

  // assign ::= binary(.OR.) [ assignop assign ]
  int32_t parseAssign() {
    Nest nest(*this);
    int32_t lhs = parseBinary(kOr);
    Op op;
    if (!assignOf(tok_.t, op)) return lhs;
    if (!assignable(prog_->nodes[static_cast<size_t>(lhs)])) fail("destino de atribuição inválido"_cp);
    advance();
    int32_t rhs = parseAssign();
    return add2(Op::Assign, lhs, rhs, static_cast<uint8_t>(op));
  }

  // binary(p) ::= unary { binop binary(prec(binop) + 1) }   for binop with prec >= p
  // The loop applies its operators left to right, each to the result so far:
  // one operator gives a binary node, more a flat Chain node (the same fold).
  int32_t parseBinary(int minPrec) {
    int32_t left = parseUnary();
    BinaryInfo info;
    std::vector<int32_t> chain;
    while (binaryOf(tok_.t, info) && info.prec >= minPrec) {
      advance();
      int32_t right = parseBinary(info.prec + 1);
      if (chain.empty()) chain.push_back(left);
      chain.push_back(static_cast<int32_t>(info.op));
      chain.push_back(right);
    }
    if (chain.empty()) return left;
    if (chain.size() == 3) return add2(static_cast<Op>(chain[1]), chain[0], chain[2]);
    Node n;
    n.op = Op::Chain;
    n.c = static_cast<int32_t>(prog_->lists.size());
    n.d = static_cast<int32_t>(chain.size());
    int d = 0;
    for (size_t i = 0; i < chain.size(); ++i) {
      prog_->lists.push_back(chain[i]);
      if (i % 2 == 0) d = std::max(d, depthOf(chain[i]));
    }
    return add(n, d);
  }

  // unary ::= ( '.NOT.' | '!' ) binary(relational)
  //         | ( '-' | '+' ) unary
  //         | ( '++' | '--' ) unary
  //         | postfix
  int32_t parseUnary() {
    switch (tok_.t) {
      case Tok::Not: {
        Nest nest(*this);
        advance();
        return add1(Op::Not, parseBinary(kRel));
      }
      case Tok::Minus: {
        Nest nest(*this);
        advance();
        int32_t x = parseUnary();
        Node& n = prog_->nodes[static_cast<size_t>(x)];
        // Fold the sign of a number literal.
        if (n.op == Op::Const && prog_->consts[static_cast<size_t>(n.a)].isNumber()) {
          Value& v = prog_->consts[static_cast<size_t>(n.a)];
          v = Value::number(-v.num(), v.decimals());
          return x;
        }
        return add1(Op::Neg, x);
      }
      case Tok::Plus: {
        Nest nest(*this);
        advance();
        return add1(Op::Plus, parseUnary());
      }
      case Tok::Inc:
      case Tok::Dec: {
        Nest nest(*this);
        uint8_t dec = tok_.t == Tok::Dec;
        advance();
        int32_t x = parseUnary();
        if (!assignable(prog_->nodes[static_cast<size_t>(x)])) fail("destino de atribuição inválido"_cp);
        return add1(Op::PreInc, x, dec);
      }
      default:
        return parsePostfix();
    }
  }

  // postfix ::= primary { '[' assign { ',' assign } ']' | ':' ident [ '(' args ')' ] } [ '++' | '--' ]
  int32_t parsePostfix() {
    int32_t x = parsePrimary();
    for (;;) {
      if (tok_.t == Tok::LBracket) {
        advance();
        do {
          int32_t i = parseAssign();
          x = add2(Op::Index, x, i);
        } while (accept(Tok::Comma));
        expect(Tok::RBracket, "falta ']'"_cp);
      } else if (tok_.t == Tok::Colon) {
        advance();
        if (tok_.t != Tok::Ident) fail("falta o nome da mensagem"_cp);
        Node n;
        n.op = Op::Send;
        n.b = name(tok_.text);
        advance();
        std::vector<int32_t> args;
        if (accept(Tok::LParen)) {
          args = parseArgs();
          n.sub = 1;
        }
        n.a = x;
        int d = std::max(putList(n, args), depthOf(x));
        x = add(n, d);
      } else {
        break;
      }
    }
    if (tok_.t == Tok::Inc || tok_.t == Tok::Dec) {
      if (!assignable(prog_->nodes[static_cast<size_t>(x)])) return x;
      uint8_t dec = tok_.t == Tok::Dec;
      advance();
      x = add1(Op::PostInc, x, dec);
    }
    return x;
  }

  // args ::= [ arg ] { ',' [ arg ] } ')'      arg ::= '@' ident | assign
  // An empty argument is nil: f(a,,c) has three.
  std::vector<int32_t> parseArgs() {
    std::vector<int32_t> args;
    if (accept(Tok::RParen)) return args;
    for (;;) {
      if (tok_.t == Tok::Comma || tok_.t == Tok::RParen) {
        args.push_back(-1);
      } else if (tok_.t == Tok::At) {
        advance();
        if (tok_.t != Tok::Ident) fail("'@' exige o nome de uma variável"_cp);
        std::string_view id = tok_.text;
        advance();
        int32_t target;
        if (accept(Tok::Arrow)) {
          std::string u = upper(id);
          if (u != "M" && u != "MEMVAR") fail("'@' exige o nome de uma variável"_cp);
          if (tok_.t != Tok::Ident) fail("falta o nome após '->'"_cp);
          Node n;
          n.op = Op::MemVar;
          n.a = name(tok_.text);
          n.c = nameCache();
          advance();
          target = add(n, 0);
        } else {
          target = nameRef(id);
        }
        args.push_back(add1(Op::ByRef, target));
      } else {
        args.push_back(parseAssign());
      }
      if (accept(Tok::Comma)) continue;
      expect(Tok::RParen, "falta ')'"_cp);
      return args;
    }
  }

  // primary ::= number | text | '.T.' | '.F.' | 'NIL'
  //           | ident '(' args ')'                          a routine (IIF/IF: the conditional)
  //           | ident [ '->' aliased ]                      a name, or an alias
  //           | number '->' aliased                         an area number
  //           | '(' list ')' [ '->' aliased ]               a dynamic alias
  //           | '{' '|' [ ident { ',' ident } ] '|' [ list ] '}'
  //           | '{' [ [assign] { ',' [assign] } ] '}'
  //           | '&' ( ident | '(' list ')' )
  int32_t parsePrimary() {
    Token t = tok_;
    switch (t.t) {
      case Tok::Number: {
        advance();
        if (tok_.t == Tok::Arrow) return parseAliased(AliasKind::Area, t, -1);
        return constant(Value::number(t.num, t.dec));
      }
      case Tok::String: advance(); return constant(Value(t.text));
      case Tok::True: advance(); return constant(Value::logical(true));
      case Tok::False: advance(); return constant(Value::logical(false));
      case Tok::Ident: {
        advance();
        if (tok_.t == Tok::LParen) {
          advance();
          return call(t.text, parseArgs());
        }
        if (tok_.t == Tok::Arrow) return parseAliased(AliasKind::Named, t, -1);
        if (upper(t.text) == "NIL") return constant(Value());
        return nameRef(t.text);
      }
      case Tok::LParen: {
        advance();
        int32_t x = parseList();
        expect(Tok::RParen, "falta ')'"_cp);
        if (tok_.t == Tok::Arrow) return parseAliased(AliasKind::Dynamic, t, x);
        return x;
      }
      case Tok::LBrace: return parseBrace();
      case Tok::Amp: {
        advance();
        int32_t src;
        if (tok_.t == Tok::Ident) {
          src = nameRef(tok_.text);
          advance();
        } else if (accept(Tok::LParen)) {
          src = parseList();
          expect(Tok::RParen, "falta ')'"_cp);
        } else {
          fail("'&' exige uma variável ou '('"_cp);
        }
        prog_->macroCache.emplace_back();
        Node n;
        n.op = Op::Macro;
        n.a = src;
        n.b = static_cast<int32_t>(prog_->macroCache.size() - 1);
        return add(n, depthOf(src));
      }
      case Tok::Error: fail(t.text);
      case Tok::End: fail("expressão incompleta"_cp);
      default: fail("expressão esperada"_cp);
    }
  }

  int32_t call(std::string_view fn, std::vector<int32_t> args) {
    std::string u = upper(fn);
    bool anyRef = false;
    for (int32_t a : args)
      if (a >= 0 && prog_->nodes[static_cast<size_t>(a)].op == Op::ByRef) anyRef = true;
    if ((u == "IIF" || u == "IF") && (args.size() == 2 || args.size() == 3) && args[0] >= 0 && !anyRef) {
      // The conditional evaluates only the branch it takes.
      Node n;
      n.op = Op::Iif;
      n.a = args[0];
      n.b = args[1];
      n.c = args.size() == 3 ? args[2] : -1;
      return add(n, std::max({depthOf(n.a), depthOf(n.b), depthOf(n.c)}));
    }
    Node n;
    n.op = Op::Call;
    n.a = name(fn);
    prog_->routineCache.push_back(nullptr);
    n.b = static_cast<int32_t>(prog_->routineCache.size() - 1);
    int d = putList(n, args);
    return add(n, d);
  }

  enum class AliasKind { Named, Area, Dynamic };

  // aliased ::= '->' ( ident | '(' list ')' )
  // The left side: FIELD (the current area), M / MEMVAR (a variable), an
  // alias name, an area number, or a parenthesised expression giving either.
  int32_t parseAliased(AliasKind kind, const Token& left, int32_t dynNode) {
    advance();  // '->'
    std::string alias = kind == AliasKind::Named ? upper(left.text) : std::string();
    if (tok_.t == Tok::Ident) {
      std::string_view field = tok_.text;
      advance();
      if (kind == AliasKind::Named) {
        if (alias == "FIELD" || alias == "_FIELD") return fieldNode(Op::Field, field, -1, 0);
        if (alias == "M" || alias == "MEMVAR") {
          Node n;
          n.op = Op::MemVar;
          n.a = name(field);
          n.c = nameCache();
          return add(n, 0);
        }
        return fieldNode(Op::AliasField, field, name(alias), 0);
      }
      if (kind == AliasKind::Area) return fieldNode(Op::AreaField, field, areaNumber(left), 0);
      return fieldNode(Op::DynAliasField, field, dynNode, depthOf(dynNode));
    }
    if (accept(Tok::LParen)) {
      int32_t x = parseList();
      expect(Tok::RParen, "falta ')'"_cp);
      if (kind == AliasKind::Named) {
        if (alias == "FIELD" || alias == "_FIELD" || alias == "M" || alias == "MEMVAR") return x;
        Node n;
        n.op = Op::AliasExpr;
        n.a = x;
        n.b = name(alias);
        return add(n, depthOf(x));
      }
      if (kind == AliasKind::Area) {
        Node n;
        n.op = Op::AreaExpr;
        n.a = x;
        n.b = areaNumber(left);
        return add(n, depthOf(x));
      }
      return add2(Op::DynAliasExpr, x, dynNode);
    }
    fail("falta o nome após '->'"_cp);
  }

  int32_t areaNumber(const Token& t) {
    if (t.dec != 0 || t.num < 0 || t.num > 65535) fail("número de área inválido"_cp);
    return static_cast<int32_t>(t.num);
  }

  // brace ::= '{' '|' params '|' [ list ] '}' | '{' elements '}'
  int32_t parseBrace() {
    uint32_t start = tok_.pos;
    advance();  // '{'
    if (tok_.t == Tok::Pipe) return parseBlock(start);
    std::vector<int32_t> items;
    if (!accept(Tok::RBrace)) {
      for (;;) {
        items.push_back(tok_.t == Tok::Comma || tok_.t == Tok::RBrace ? -1 : parseAssign());
        if (accept(Tok::Comma)) continue;
        expect(Tok::RBrace, "falta '}'"_cp);
        break;
      }
    }
    Node n;
    n.op = Op::ArrayLit;
    int d = putList(n, items);
    return add(n, d);
  }

  // block ::= '{' '|' [ ident { ',' ident } ] '|' [ list ] '}'
  int32_t parseBlock(uint32_t start) {
    advance();  // '|'
    Scope scope;
    scope.block = static_cast<int32_t>(prog_->blocks.size());
    prog_->blocks.emplace_back();
    if (tok_.t != Tok::Pipe) {
      for (;;) {
        if (tok_.t != Tok::Ident) fail("parâmetro inválido"_cp);
        std::string p = upper(tok_.text);
        if (std::find(scope.params.begin(), scope.params.end(), p) != scope.params.end())
          fail("parâmetro repetido"_cp);
        scope.params.push_back(std::move(p));
        advance();
        if (!accept(Tok::Comma)) break;
      }
    }
    expect(Tok::Pipe, "falta '|'"_cp);
    int32_t nparams = static_cast<int32_t>(scope.params.size());
    scopes_.push_back(std::move(scope));
    int32_t body = tok_.t == Tok::RBrace ? -1 : parseList();
    uint32_t end = tok_.end;
    expect(Tok::RBrace, "falta '}'"_cp);
    int32_t idx = scopes_.back().block;
    scopes_.pop_back();
    BlockInfo& bi = prog_->blocks[static_cast<size_t>(idx)];
    bi.body = body;
    bi.nparams = nparams;
    bi.srcStart = start;
    bi.srcLen = end - start;
    Node n;
    n.op = Op::Block;
    n.a = idx;
    return add(n, depthOf(body));
  }

  Lexer lex_;
  Token tok_;
  std::shared_ptr<Program> prog_;
  std::vector<uint16_t> depths_;
  std::vector<Scope> scopes_;
  int depth_ = 0;
};

}  // namespace

std::shared_ptr<Program> parseProgram(std::string_view text, std::string* why) {
  try {
    Parser p(text);
    return p.run();
  } catch (SyntaxError& e) {
    if (why) *why = e.why + " (posição "_cp.data() + std::to_string(e.pos + 1) + ")";
    return nullptr;
  }
}

}  // namespace kor::expr

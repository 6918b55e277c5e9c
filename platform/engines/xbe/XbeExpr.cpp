#include "platform/engines/xbe/XbeExpr.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <cstdlib>

#include "platform/engines/XbeEntries.h"
#include "platform/engines/xbe/XbeDate.h"

namespace xbe {

enum class TOp {
  Literal, Field, Neg, Not, And, Or, Add, Sub, Mul, Div,
  Eq, ExactEq, Ne, Lt, Le, Gt, Ge, Contains, Call
};

enum class TFunc { Upper, Dtos, Stod, Date, Left, Str, Deleted, Substr, Trim, Val };

struct TExpression::TNode {
  TOp Op = TOp::Literal;
  TType Type = TType::Character;
  TValue Literal;
  int Field = -1;
  TFunc Func = TFunc::Upper;
  int Depth = 1;  // of the tree below and including this node
  std::vector<std::shared_ptr<const TNode>> Args;
};

using TNode = TExpression::TNode;
using PNode = std::shared_ptr<const TNode>;

namespace {

// Parsing and evaluation recurse: deeper expressions are refused before they can exhaust the
// stack. Nesting counts parentheses, calls and prefix operators; the tree's depth bounds
// evaluation (a long chain of "+" is as deep as it is long).
constexpr int kMaxNesting = 100;
constexpr int kMaxTreeDepth = 1000;

enum class TTok { End, Number, String, Ident, True, False, And, Or, Not, LParen, RParen, Comma, Operator };

struct TToken {
  TTok Kind = TTok::End;
  std::string Text;
  std::size_t Pos = 0;
};

std::string Upper(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return r;
}

bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

const char* TypeName(TType t) {
  switch (t) {
    case TType::Character: return "character";
    case TType::Numeric: return "numeric";
    case TType::Logical: return "logical";
    default: return "date";
  }
}

class TParser {
public:
  TParser(std::string_view text, const TRecordSource& fields, std::vector<std::string>& names)
      : FText(text), FFields(fields), FNames(names) {
    next();
  }

  PNode ParseAll() {
    PNode n = parseOr();
    if (FTok.Kind != TTok::End) fail("unexpected \"" + FTok.Text + "\"");
    return n;
  }

private:
  [[noreturn]] void fail(const std::string& what) const { failAt(FTok.Pos, what); }
  [[noreturn]] void failAt(std::size_t pos, const std::string& what) const {
    throw EExprError("Expression error at position " + std::to_string(pos + 1) + ": " + what);
  }

  void next() {
    while (FPos < FText.size() && std::isspace(static_cast<unsigned char>(FText[FPos]))) ++FPos;
    FTok = TToken{};
    FTok.Pos = FPos;
    if (FPos >= FText.size()) return;
    char c = FText[FPos];
    if (c == '.' && FPos + 1 < FText.size() && !IsDigit(FText[FPos + 1])) {
      std::size_t close = FText.find('.', FPos + 1);
      std::string word = close == std::string_view::npos ? "" : Upper(FText.substr(FPos + 1, close - FPos - 1));
      static const struct { const char* Word; TTok Kind; } words[] = {
          {"T", TTok::True}, {"Y", TTok::True}, {"F", TTok::False}, {"N", TTok::False},
          {"AND", TTok::And}, {"OR", TTok::Or}, {"NOT", TTok::Not}};
      for (const auto& w : words)
        if (word == w.Word) {
          FTok.Kind = w.Kind;
          FTok.Text = "." + word + ".";
          FPos = close + 1;
          return;
        }
      fail("unknown word starting with \".\"");
    }
    if (IsDigit(c) || c == '.') {
      std::size_t start = FPos;
      while (FPos < FText.size() && (IsDigit(FText[FPos]) || FText[FPos] == '.')) ++FPos;
      FTok.Kind = TTok::Number;
      FTok.Text = std::string(FText.substr(start, FPos - start));
      if (std::count(FTok.Text.begin(), FTok.Text.end(), '.') > 1) fail("malformed number");
      return;
    }
    if (c == '"' || c == '\'') {
      std::size_t close = FText.find(c, FPos + 1);
      if (close == std::string_view::npos) fail("unterminated text");
      FTok.Kind = TTok::String;
      FTok.Text = std::string(FText.substr(FPos + 1, close - FPos - 1));
      FPos = close + 1;
      return;
    }
    if (IsIdentStart(c)) {
      std::size_t start = FPos;
      while (FPos < FText.size() && IsIdentChar(FText[FPos])) ++FPos;
      FTok.Kind = TTok::Ident;
      FTok.Text = Upper(FText.substr(start, FPos - start));
      return;
    }
    ++FPos;
    switch (c) {
      case '(': FTok.Kind = TTok::LParen; FTok.Text = "("; return;
      case ')': FTok.Kind = TTok::RParen; FTok.Text = ")"; return;
      case ',': FTok.Kind = TTok::Comma; FTok.Text = ","; return;
      case '!': FTok.Kind = TTok::Not; FTok.Text = "!"; return;
      case '+': case '-': case '*': case '/': case '$': case '#':
        FTok.Kind = TTok::Operator; FTok.Text = std::string(1, c); return;
      case '=': case '<': case '>': {
        FTok.Kind = TTok::Operator;
        FTok.Text = std::string(1, c);
        char n = FPos < FText.size() ? FText[FPos] : '\0';
        if ((c == '=' && n == '=') || (c == '<' && (n == '=' || n == '>')) || (c == '>' && n == '=')) {
          FTok.Text += n;
          ++FPos;
        }
        return;
      }
      default:
        --FPos;
        fail(std::string("unexpected character \"") + c + "\"");
    }
  }

  bool isOp(const char* op) const { return FTok.Kind == TTok::Operator && FTok.Text == op; }

  PNode make(TOp op, TType type, std::vector<PNode> args) const {
    auto n = std::make_shared<TNode>();
    n->Op = op;
    n->Type = type;
    n->Args = std::move(args);
    setDepth(*n);
    return n;
  }

  void setDepth(TNode& n) const {
    for (const auto& a : n.Args) n.Depth = std::max(n.Depth, a->Depth + 1);
    if (n.Depth > kMaxTreeDepth) fail("expression deeper than " + std::to_string(kMaxTreeDepth) + " levels");
  }

  // Counts one level of nesting while it lives.
  struct TNest {
    explicit TNest(const TParser& p) : FParser(const_cast<TParser&>(p)) {
      if (++FParser.FNesting > kMaxNesting) FParser.fail("expression nested deeper than " + std::to_string(kMaxNesting) + " levels");
    }
    ~TNest() { --FParser.FNesting; }
    TParser& FParser;
  };

  void expect(PNode n, TType t, std::size_t pos, const std::string& what) const {
    if (n->Type != t) failAt(pos, what + " needs a " + TypeName(t) + " value, not " + TypeName(n->Type));
  }

  PNode parseOr() {
    TNest nest(*this);
    return parseLogical(TTok::Or, TOp::Or, ".OR.", &TParser::parseAnd);
  }
  PNode parseAnd() { return parseLogical(TTok::And, TOp::And, ".AND.", &TParser::parseNot); }

  // A chain of operands joined by one logical operator.
  PNode parseLogical(TTok kind, TOp op, const char* name, PNode (TParser::*operand)()) {
    PNode l = (this->*operand)();
    while (FTok.Kind == kind) {
      std::size_t pos = FTok.Pos;
      next();
      PNode r = (this->*operand)();
      expect(l, TType::Logical, pos, name);
      expect(r, TType::Logical, pos, name);
      l = make(op, TType::Logical, {l, r});
    }
    return l;
  }

  PNode parseNot() {
    if (FTok.Kind == TTok::Not) {
      TNest nest(*this);
      std::size_t pos = FTok.Pos;
      next();
      PNode n = parseNot();
      expect(n, TType::Logical, pos, ".NOT.");
      return make(TOp::Not, TType::Logical, {n});
    }
    return parseRelation();
  }

  PNode parseRelation() {
    PNode l = parseAdditive();
    static const struct { const char* Text; TOp Op; } ops[] = {
        {"=", TOp::Eq}, {"==", TOp::ExactEq}, {"<>", TOp::Ne}, {"#", TOp::Ne}, {"<", TOp::Lt},
        {"<=", TOp::Le}, {">", TOp::Gt}, {">=", TOp::Ge}, {"$", TOp::Contains}};
    for (const auto& o : ops) {
      if (!isOp(o.Text)) continue;
      std::size_t pos = FTok.Pos;
      next();
      PNode r = parseAdditive();
      if (o.Op == TOp::Contains) {
        expect(l, TType::Character, pos, "\"$\"");
        expect(r, TType::Character, pos, "\"$\"");
      } else if (l->Type != r->Type) {
        failAt(pos, std::string("cannot compare ") + TypeName(l->Type) + " with " + TypeName(r->Type));
      }
      return make(o.Op, TType::Logical, {l, r});
    }
    return l;
  }

  PNode parseAdditive() {
    PNode l = parseMultiplicative();
    while (isOp("+") || isOp("-")) {
      bool add = FTok.Text == "+";
      std::size_t pos = FTok.Pos;
      next();
      PNode r = parseMultiplicative();
      TType a = l->Type, b = r->Type, t;
      if (a == b && (a == TType::Numeric || a == TType::Character)) t = a;
      else if (a == TType::Date && b == TType::Numeric) t = TType::Date;
      else if (add && a == TType::Numeric && b == TType::Date) t = TType::Date;
      else if (!add && a == TType::Date && b == TType::Date) t = TType::Numeric;
      else failAt(pos, std::string("cannot ") + (add ? "add " : "subtract ") + TypeName(b) + " and " + TypeName(a));
      l = make(add ? TOp::Add : TOp::Sub, t, {l, r});
    }
    return l;
  }

  PNode parseMultiplicative() {
    PNode l = parseUnary();
    while (isOp("*") || isOp("/")) {
      bool mul = FTok.Text == "*";
      std::size_t pos = FTok.Pos;
      next();
      PNode r = parseUnary();
      expect(l, TType::Numeric, pos, mul ? "\"*\"" : "\"/\"");
      expect(r, TType::Numeric, pos, mul ? "\"*\"" : "\"/\"");
      l = make(mul ? TOp::Mul : TOp::Div, TType::Numeric, {l, r});
    }
    return l;
  }

  PNode parseUnary() {
    if (isOp("-") || isOp("+")) {
      TNest nest(*this);
      bool neg = FTok.Text == "-";
      std::size_t pos = FTok.Pos;
      next();
      PNode n = parseUnary();
      expect(n, TType::Numeric, pos, "a sign");
      return neg ? make(TOp::Neg, TType::Numeric, {n}) : n;
    }
    return parsePrimary();
  }

  PNode literal(TValue v) {
    auto n = std::make_shared<TNode>();
    n->Type = v.Type;
    n->Literal = std::move(v);
    next();
    return n;
  }

  PNode parsePrimary() {
    switch (FTok.Kind) {
      case TTok::Number: {
        TValue v;
        v.Type = TType::Numeric;
        v.Num = std::strtod(FTok.Text.c_str(), nullptr);
        return literal(v);
      }
      case TTok::String: {
        TValue v;
        v.Str = FTok.Text;
        return literal(v);
      }
      case TTok::True:
      case TTok::False: {
        TValue v;
        v.Type = TType::Logical;
        v.Log = FTok.Kind == TTok::True;
        return literal(v);
      }
      case TTok::LParen: {
        next();
        PNode n = parseOr();
        if (FTok.Kind != TTok::RParen) fail("\")\" expected");
        next();
        return n;
      }
      case TTok::Ident: return parseName();
      case TTok::End: fail("expression ends too early");
      default: fail("unexpected \"" + FTok.Text + "\"");
    }
  }

  PNode parseName() {
    std::string name = FTok.Text;
    std::size_t pos = FTok.Pos;
    next();
    if (FTok.Kind != TTok::LParen) {
      int index = FFields.FieldIndex(name);
      if (index < 0) failAt(pos, "unknown field " + name);
      auto n = std::make_shared<TNode>();
      n->Op = TOp::Field;
      n->Field = index;
      n->Type = FFields.FieldValueType(index);
      const std::string& fieldName = FFields.FieldNameAt(index);
      if (std::find(FNames.begin(), FNames.end(), fieldName) == FNames.end()) FNames.push_back(fieldName);
      return n;
    }
    next();
    std::vector<PNode> args;
    if (FTok.Kind != TTok::RParen)
      for (;;) {
        args.push_back(parseOr());
        if (FTok.Kind != TTok::Comma) break;
        next();
      }
    if (FTok.Kind != TTok::RParen) fail("\")\" expected");
    next();
    return call(name, pos, std::move(args));
  }

  PNode call(const std::string& name, std::size_t pos, std::vector<PNode> args) {
    static const struct {
      const char* Name;
      TFunc Func;
      TType Result;
      const char* Params;  // C, N, D; a lower-case letter is optional
    } funcs[] = {
        {"UPPER", TFunc::Upper, TType::Character, "C"}, {"DTOS", TFunc::Dtos, TType::Character, "D"},
        {"STOD", TFunc::Stod, TType::Date, "C"},        {"DATE", TFunc::Date, TType::Date, ""},
        {"LEFT", TFunc::Left, TType::Character, "CN"},  {"STR", TFunc::Str, TType::Character, "Nnn"},
        {"DELETED", TFunc::Deleted, TType::Logical, ""}, {"SUBSTR", TFunc::Substr, TType::Character, "CNn"},
        {"TRIM", TFunc::Trim, TType::Character, "C"},   {"VAL", TFunc::Val, TType::Numeric, "C"},
    };
    for (const auto& f : funcs) {
      if (name != f.Name) continue;
      std::string params = f.Params;
      std::size_t required = static_cast<std::size_t>(
          std::count_if(params.begin(), params.end(), [](char c) { return std::isupper(static_cast<unsigned char>(c)); }));
      if (args.size() < required || args.size() > params.size())
        failAt(pos, "wrong number of arguments to " + name + "()");
      for (std::size_t i = 0; i < args.size(); ++i) {
        char p = static_cast<char>(std::toupper(static_cast<unsigned char>(params[i])));
        TType want = p == 'C' ? TType::Character : p == 'N' ? TType::Numeric : TType::Date;
        expect(args[i], want, pos, name + "()");
      }
      auto n = std::make_shared<TNode>();
      n->Op = TOp::Call;
      n->Func = f.Func;
      n->Type = f.Result;
      n->Args = std::move(args);
      setDepth(*n);
      return n;
    }
    failAt(pos, "unknown function " + name + "()");
  }

  std::string_view FText;
  const TRecordSource& FFields;
  std::vector<std::string>& FNames;
  std::size_t FPos = 0;
  TToken FTok;
  int FNesting = 0;
};

TValue MakeLogical(bool b) {
  TValue v;
  v.Type = TType::Logical;
  v.Log = b;
  return v;
}

TValue MakeNumber(double d) {
  TValue v;
  v.Type = TType::Numeric;
  v.Num = d;
  return v;
}

TValue MakeText(std::string s) {
  TValue v;
  v.Str = std::move(s);
  return v;
}

TValue MakeDate(int64_t day) {
  TValue v;
  v.Type = TType::Date;
  v.Day = day;
  return v;
}

int Compare(const TValue& a, const TValue& b) {
  switch (a.Type) {
    case TType::Character: return CompareText(a.Str, b.Str);
    case TType::Numeric: return a.Num < b.Num ? -1 : a.Num > b.Num ? 1 : 0;
    case TType::Logical: return int(a.Log) - int(b.Log);
    default: return a.Day < b.Day ? -1 : a.Day > b.Day ? 1 : 0;
  }
}

int ToInt(double d) {
  if (!(d > -1e9)) return -1000000000;
  if (d > 1e9) return 1000000000;
  return static_cast<int>(d);
}

TValue Eval(const TNode& n, const TRecordSource& r, bool exact);

TValue CallFunc(const TNode& n, const TRecordSource& r, bool exact) {
  std::vector<TValue> a;
  for (const auto& arg : n.Args) a.push_back(Eval(*arg, r, exact));
  switch (n.Func) {
    case TFunc::Upper: {
      std::string s = a[0].Str;
      for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      return MakeText(s);
    }
    case TFunc::Dtos: return MakeText(DtosFromDay(a[0].Day));
    case TFunc::Stod: return MakeDate(DayFromDtos(a[0].Str));
    case TFunc::Date: return MakeDate(Today());
    case TFunc::Left: {
      int len = std::max(0, ToInt(a[1].Num));
      return MakeText(a[0].Str.substr(0, static_cast<std::size_t>(len)));
    }
    case TFunc::Str: {
      int width = a.size() > 1 ? ToInt(a[1].Num) : 10;
      int decimals = a.size() > 2 ? ToInt(a[2].Num) : 0;
      return MakeText(FormatNumber(a[0].Num, std::clamp(width, 1, 255), std::clamp(decimals, 0, 15)));
    }
    case TFunc::Deleted: return MakeLogical(r.RecordDeleted());
    case TFunc::Substr: {
      const std::string& s = a[0].Str;
      int start = std::max(1, ToInt(a[1].Num));
      if (static_cast<std::size_t>(start) > s.size()) return MakeText("");
      std::size_t len = a.size() > 2 ? static_cast<std::size_t>(std::max(0, ToInt(a[2].Num))) : std::string::npos;
      return MakeText(s.substr(static_cast<std::size_t>(start - 1), len));
    }
    case TFunc::Trim: return MakeText(TrimTrailingBlanks(a[0].Str));
    case TFunc::Val: return MakeNumber(std::strtod(a[0].Str.c_str(), nullptr));
  }
  return TValue{};
}

TValue Eval(const TNode& n, const TRecordSource& r, bool exact) {
  switch (n.Op) {
    case TOp::Literal: return n.Literal;
    case TOp::Field: return r.FieldValue(n.Field);
    case TOp::Call: return CallFunc(n, r, exact);
    case TOp::Neg: return MakeNumber(-Eval(*n.Args[0], r, exact).Num);
    case TOp::Not: return MakeLogical(!Eval(*n.Args[0], r, exact).Log);
    case TOp::And: return MakeLogical(Eval(*n.Args[0], r, exact).Log && Eval(*n.Args[1], r, exact).Log);
    case TOp::Or: return MakeLogical(Eval(*n.Args[0], r, exact).Log || Eval(*n.Args[1], r, exact).Log);
    default: break;
  }
  TValue a = Eval(*n.Args[0], r, exact);
  TValue b = Eval(*n.Args[1], r, exact);
  switch (n.Op) {
    case TOp::Add:
      if (n.Type == TType::Character) return MakeText(a.Str + b.Str);
      if (n.Type == TType::Date) return MakeDate(a.Type == TType::Date ? a.Day + ToInt(b.Num) : b.Day + ToInt(a.Num));
      return MakeNumber(a.Num + b.Num);
    case TOp::Sub:
      if (n.Type == TType::Character) {
        // Trailing blanks of the left text move to the end of the result.
        std::size_t keep = a.Str.find_last_not_of(' ') + 1;
        return MakeText(a.Str.substr(0, keep) + b.Str + std::string(a.Str.size() - keep, ' '));
      }
      if (a.Type == TType::Date && b.Type == TType::Date) return MakeNumber(static_cast<double>(a.Day - b.Day));
      if (n.Type == TType::Date) return MakeDate(a.Day - ToInt(b.Num));
      return MakeNumber(a.Num - b.Num);
    case TOp::Mul: return MakeNumber(a.Num * b.Num);
    case TOp::Div:
      if (b.Num == 0) throw EExprError("Division by zero");
      return MakeNumber(a.Num / b.Num);
    case TOp::Eq:
      return MakeLogical(a.Type == TType::Character ? TextEquals(a.Str, b.Str, exact) : Compare(a, b) == 0);
    case TOp::Ne:
      return MakeLogical(a.Type == TType::Character ? !TextEquals(a.Str, b.Str, exact) : Compare(a, b) != 0);
    case TOp::ExactEq: return MakeLogical(a.Type == TType::Character ? a.Str == b.Str : Compare(a, b) == 0);
    case TOp::Lt: return MakeLogical(Compare(a, b) < 0);
    case TOp::Le: return MakeLogical(Compare(a, b) <= 0);
    case TOp::Gt: return MakeLogical(Compare(a, b) > 0);
    case TOp::Ge: return MakeLogical(Compare(a, b) >= 0);
    case TOp::Contains: return MakeLogical(b.Str.find(a.Str) != std::string::npos);
    default: return TValue{};
  }
}

}  // namespace

TExpression TExpression::Parse(std::string_view text, const TRecordSource& fields) {
  TExpression e;
  e.FText = std::string(text);
  if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) return e;
  TParser p(text, fields, e.FFields);
  e.FRoot = p.ParseAll();
  return e;
}

TType TExpression::Type() const { return FRoot ? FRoot->Type : TType::Character; }

TValue TExpression::Evaluate(const TRecordSource& record, bool exact) const {
  if (!FRoot) return TValue{};
  return Eval(*FRoot, record, exact);
}

bool TextEquals(std::string_view a, std::string_view b, bool exact) {
  if (exact) {
    auto trim = [](std::string_view s) { return s.substr(0, s.find_last_not_of(' ') + 1); };
    return trim(a) == trim(b);
  }
  return a.size() >= b.size() && a.substr(0, b.size()) == b;
}

int CompareText(std::string_view a, std::string_view b) {
  std::size_t n = std::min(a.size(), b.size());
  if (int c = n ? std::memcmp(a.data(), b.data(), n) : 0) return c < 0 ? -1 : 1;
  // The shorter text counts as padded with blanks.
  int sign = a.size() > n ? 1 : -1;
  std::string_view tail = a.size() > n ? a.substr(n) : b.substr(n);
  for (char ch : tail)
    if (ch != ' ') return static_cast<unsigned char>(ch) < ' ' ? -sign : sign;
  return 0;
}

std::string FormatNumber(double value, int width, int decimals) {
  char buf[512];
  if (!std::isfinite(value)) return std::string(static_cast<std::size_t>(width), '*');
  int n = std::snprintf(buf, sizeof buf, "%*.*f", width, decimals, value);
  if (n < 0 || n > width) return std::string(static_cast<std::size_t>(width), '*');
  return buf;
}

}  // namespace xbe

// Reading and applying the criteria texts of Filter and Find (see criteria.hpp).
#include "runtime/criteria.hpp"

#include <cmath>

#include "runtime/dates.hpp"
#include "runtime/decimal_text.hpp"
#include "runtime/raise.hpp"
#include "runtime/text.hpp"
#include "tarnwick/error.hpp"

namespace tarnwick::runtime {
namespace {

constexpr int kMaxNesting = 64;


bool Holds(int cmp, CompareOp op) {
  switch (op) {
    case CompareOp::Less: return cmp < 0;
    case CompareOp::Greater: return cmp > 0;
    case CompareOp::LessEqual: return cmp <= 0;
    case CompareOp::GreaterEqual: return cmp >= 0;
    case CompareOp::NotEqual: return cmp != 0;
    case CompareOp::Equal:
    case CompareOp::Like: return cmp == 0;
  }
  return false;
}

int CompareNumbers(double a, double b) { return a < b ? -1 : (a > b ? 1 : 0); }

enum class ColumnKind { Text, Number, Boolean, Date, Binary, Any };

ColumnKind KindOf(DataType t) {
  switch (t) {
    case DataType::SmallInt:
    case DataType::Integer:
    case DataType::Double:
    case DataType::Currency:
    case DataType::BigInt: return ColumnKind::Number;
    case DataType::Boolean: return ColumnKind::Boolean;
    case DataType::Date:
    case DataType::DBTimeStamp: return ColumnKind::Date;
    case DataType::Binary:
    case DataType::VarBinary:
    case DataType::LongVarBinary: return ColumnKind::Binary;
    case DataType::BSTR:
    case DataType::Char:
    case DataType::WChar:
    case DataType::VarChar:
    case DataType::LongVarChar:
    case DataType::VarWChar:
    case DataType::LongVarWChar: return ColumnKind::Text;
    case DataType::Empty:
    case DataType::Variant: return ColumnKind::Any;
  }
  return ColumnKind::Any;
}

[[noreturn]] void Bad() { Raise(err::kBadCriteria, kRecordsetSource); }

class Parser {
 public:
  Parser(std::string_view text, const std::vector<Column>& columns, const ColumnLookup& lookup, bool single)
      : s_(text), columns_(columns), lookup_(lookup), single_(single) {}

  CriteriaNode Parse() {
    CriteriaNode root = single_ ? Leaf() : Expression(0);
    SkipBlanks();
    if (i_ != s_.size()) Bad();
    return root;
  }

 private:
  // Clauses and groups joined left to right; an OR-group may not be AND-ed.
  CriteriaNode Expression(int depth) {
    CriteriaNode left = Primary(depth);
    for (;;) {
      SkipBlanks();
      if (i_ >= s_.size() || (depth > 0 && s_[i_] == ')')) return left;
      std::string_view word = Word();
      CriteriaNode::Kind kind;
      if (Same(word, "and")) kind = CriteriaNode::Kind::And;
      else if (Same(word, "or")) kind = CriteriaNode::Kind::Or;
      else Bad();
      CriteriaNode right = Primary(depth);
      if (kind == CriteriaNode::Kind::And &&
          (left.kind == CriteriaNode::Kind::Or || right.kind == CriteriaNode::Kind::Or)) {
        Bad();
      }
      left = Join(kind, std::move(left), std::move(right));
    }
  }

  static CriteriaNode Join(CriteriaNode::Kind kind, CriteriaNode left, CriteriaNode right) {
    CriteriaNode node;
    node.kind = kind;
    for (CriteriaNode* part : {&left, &right}) {
      if (part->kind == kind) {
        for (CriteriaNode& c : part->children) node.children.push_back(std::move(c));
      } else {
        node.children.push_back(std::move(*part));
      }
    }
    return node;
  }

  CriteriaNode Primary(int depth) {
    SkipBlanks();
    if (i_ < s_.size() && s_[i_] == '(') {
      if (depth >= kMaxNesting) Bad();
      ++i_;
      CriteriaNode inner = Expression(depth + 1);
      SkipBlanks();
      if (i_ >= s_.size() || s_[i_] != ')') Bad();
      ++i_;
      return inner;
    }
    return Leaf();
  }

  CriteriaNode Leaf() {
    CriteriaNode node;
    node.kind = CriteriaNode::Kind::Clause;
    Clause& c = node.clause;
    SkipBlanks();
    std::string_view name = FieldName();
    std::optional<std::int32_t> column = lookup_(name);
    if (!column) Raise(err::kItemNotFound, kRecordsetSource);
    c.column = *column;
    c.op = Operator();
    Literal(c, KindOf(columns_[static_cast<std::size_t>(c.column)].type));
    return node;
  }

  std::string_view FieldName() {
    if (i_ < s_.size() && s_[i_] == '[') {
      std::size_t close = s_.find(']', i_ + 1);
      if (close == std::string_view::npos || close == i_ + 1) Bad();
      std::string_view name = s_.substr(i_ + 1, close - i_ - 1);
      i_ = close + 1;
      return name;
    }
    std::size_t start = i_;
    while (i_ < s_.size() && !IsWhiteSpace(s_[i_]) && std::string_view("<>=()'#[]").find(s_[i_]) == std::string_view::npos) {
      ++i_;
    }
    if (i_ == start) Bad();
    return s_.substr(start, i_ - start);
  }

  CompareOp Operator() {
    SkipBlanks();
    auto two = s_.substr(i_, 2);
    if (two == "<=") return i_ += 2, CompareOp::LessEqual;
    if (two == ">=") return i_ += 2, CompareOp::GreaterEqual;
    if (two == "<>") return i_ += 2, CompareOp::NotEqual;
    if (i_ < s_.size()) {
      switch (s_[i_]) {
        case '<': return ++i_, CompareOp::Less;
        case '>': return ++i_, CompareOp::Greater;
        case '=': return ++i_, CompareOp::Equal;
        default: break;
      }
    }
    if (Same(Word(), "like")) return CompareOp::Like;
    Bad();
  }

  void Literal(Clause& c, ColumnKind kind) {
    SkipBlanks();
    if (i_ >= s_.size()) Bad();
    bool isText = false;
    std::string raw;
    if (s_[i_] == '\'') {
      isText = true;
      for (++i_;; ++i_) {
        if (i_ >= s_.size()) Bad();  // unterminated text
        if (s_[i_] == '\'') {
          if (i_ + 1 < s_.size() && s_[i_ + 1] == '\'') {
            raw.push_back('\'');
            ++i_;
            continue;
          }
          ++i_;
          break;
        }
        raw.push_back(s_[i_]);
      }
      NumericParse n = ParseNumericText(raw);
      if (n.status == NumericStatus::Ok) c.number = ToDouble(n.number);
      if (std::optional<Date> d = dates::ParseText(raw)) c.serial = d->serial;
    } else if (s_[i_] == '#') {
      std::size_t close = s_.find('#', i_ + 1);
      if (close == std::string_view::npos) Bad();
      std::optional<Date> d = dates::ParseText(s_.substr(i_ + 1, close - i_ - 1));
      if (!d) Bad();
      i_ = close + 1;
      c.serial = d->serial;
      c.number = d->serial;
      raw = dates::GeneralText(*d);
    } else {
      std::size_t start = i_;
      while (i_ < s_.size() && !IsWhiteSpace(s_[i_]) && s_[i_] != ')' && s_[i_] != '(') ++i_;
      raw = std::string(s_.substr(start, i_ - start));
      NumericParse n = ParseNumericText(raw);
      if (n.status != NumericStatus::Ok) Bad();  // Null, bare words and the like are no values
      c.number = ToDouble(n.number);
      if (!c.number) Bad();
      c.serial = c.number;
    }

    if (c.op == CompareOp::Like) {
      if (!isText) Bad();
      Pattern(c, raw);
      return;
    }
    c.text = ToLower(raw);
    // A literal that cannot stand for a value of a typed column is an error,
    // never a silent non-match.
    switch (kind) {
      case ColumnKind::Number:
        if (!c.number) Bad();
        break;
      case ColumnKind::Boolean:
        if (isText && (c.text == "true" || c.text == "false")) c.number = c.text == "true" ? -1.0 : 0.0;
        if (!c.number) Bad();
        c.number = *c.number != 0.0 ? -1.0 : 0.0;
        break;
      case ColumnKind::Date:
        if (!c.serial) Bad();
        break;
      case ColumnKind::Binary: Bad();
      case ColumnKind::Text:
      case ColumnKind::Any: break;
    }
  }

  // LIKE takes "*" or "%" at the end ("Smit*") or at both ends ("*mit*").
  static void Pattern(Clause& c, std::string_view p) {
    auto wild = [](char ch) { return ch == '*' || ch == '%'; };
    std::size_t count = 0;
    for (char ch : p) count += wild(ch) ? 1 : 0;
    if (count == 0) {
      c.like = Clause::LikeShape::Whole;
    } else if (count == 1 && wild(p.back())) {
      c.like = Clause::LikeShape::Prefix;
      p.remove_suffix(1);
    } else if (count == 2 && p.size() >= 2 && wild(p.front()) && wild(p.back())) {
      c.like = Clause::LikeShape::Contains;
      p = p.substr(1, p.size() - 2);
    } else {
      Bad();
    }
    c.text = ToLower(p);
  }

  std::string_view Word() {
    SkipBlanks();
    std::size_t start = i_;
    while (i_ < s_.size() && IsAsciiLetter(s_[i_])) ++i_;
    // A keyword stands alone: "ANDx" is no AND.
    if (i_ < s_.size() && !IsWhiteSpace(s_[i_]) && std::string_view("(['#").find(s_[i_]) == std::string_view::npos) Bad();
    return s_.substr(start, i_ - start);
  }

  static bool Same(std::string_view word, std::string_view lowered) { return CompareNoCase(word, lowered) == 0; }
  void SkipBlanks() {
    while (i_ < s_.size() && IsWhiteSpace(s_[i_])) ++i_;
  }

  std::string_view s_;
  std::size_t i_ = 0;
  const std::vector<Column>& columns_;
  const ColumnLookup& lookup_;
  bool single_;
};

}  // namespace

bool IsTextType(DataType t) { return KindOf(t) == ColumnKind::Text; }

bool Clause::Matches(const Variant& cell) const {
  switch (cell.Type()) {
    case VarType::String: {
      const std::string s = cell.CStr();
      if (op != CompareOp::Like) return Holds(CompareNoCase(s, text), op);
      break;
    }
    case VarType::Boolean:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Double:
    case VarType::Currency:
      if (op != CompareOp::Like) {
        if (!number) return false;
        double v = cell.CDbl();
        if (cell.Type() == VarType::Boolean) return Holds(CompareNumbers(v, *number != 0.0 ? -1.0 : 0.0), op);
        return Holds(CompareNumbers(v, *number), op);
      }
      break;
    case VarType::Date:
      if (op != CompareOp::Like) return serial && Holds(CompareNumbers(cell.CDate().serial, *serial), op);
      break;
    default: return false;  // Null, Empty, bytes and objects match nothing
  }
  // LIKE against the text form of the value.
  const std::string s = cell.CStr();
  switch (like) {
    case LikeShape::Whole: return CompareNoCase(s, text) == 0;
    case LikeShape::Prefix: return s.size() >= text.size() && CompareNoCase(std::string_view(s).substr(0, text.size()), text) == 0;
    case LikeShape::Contains: return FindNoCase(s, text) != std::string_view::npos;
  }
  return false;
}

bool CriteriaNode::Matches(const Variant* row) const {
  switch (kind) {
    case Kind::Clause: return clause.Matches(row[clause.column]);
    case Kind::And:
      for (const CriteriaNode& c : children) {
        if (!c.Matches(row)) return false;
      }
      return true;
    case Kind::Or:
      for (const CriteriaNode& c : children) {
        if (c.Matches(row)) return true;
      }
      return false;
  }
  return false;
}

CriteriaNode ParseCriteria(std::string_view text, const std::vector<Column>& columns, const ColumnLookup& lookup,
                           bool singleClause) {
  return Parser(text, columns, lookup, singleClause).Parse();
}

}  // namespace tarnwick::runtime

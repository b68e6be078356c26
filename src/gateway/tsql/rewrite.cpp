// Planning rewrites (see rewrite.hpp).
//
// Left joins that a condition makes inner. An engine must read the tables of
// a chain of left joins in the order written: the document search, which
// left-joins the committee, its candidate and its report link to every
// document, reads every document even when the condition asks for one
// committee's name. Written as the inner joins they are, the engine may
// start from the few committees that match and reach their documents by
// index.
//
// The rule: a join `L LEFT JOIN R ON c` becomes `L INNER JOIN R ON c` when a
// condition that applies to the whole result (a conjunct of WHERE, or of the
// ON of an inner join that is not itself inside the optional side of an
// outer join) cannot be true on a row whose R columns are all Null. Such a
// row is exactly what the left join adds over the inner join: an L row with
// no match, every column of R Null. The condition would drop every such row,
// so both joins give the same rows, each as often, and the same order once
// the query's ORDER BY applies. A condition cannot be true on all-Null R
// columns when it is
//   - a comparison (=, <>, <, ...), LIKE or NOT LIKE, [NOT] BETWEEN or
//     [NOT] IN (list) whose tested value is Null when R's columns are, or
//     IN (sub-select) with such a value (NOT IN (sub-select) is true for a
//     Null value when the sub-select is empty, so it does not count);
//   - IS NOT NULL of such a value;
//   - an AND with such a part, or an OR whose parts all are such.
// A value is Null when R's columns are if it is a column of R (named with
// R's alias, or its table's name), or arithmetic, a sign, or a CAST of such
// a value: each is Null when an operand is. Function calls and CASE do not
// count (ISNULL and COALESCE turn a Null into a value). A bare column name
// does not count either, since the pass cannot tell which table it names.
//
// Once a join is inner, its ON conjuncts and its right side apply to the
// whole result as well, so the rule runs again until nothing changes: a
// condition on the committee's name makes the committee join inner, whose ON
// (the link's committee equals the committee) then makes the link join inner.
//
// The pass itself, the left joins made inner, the conditions pushed into a
// derived table, NOT IN asked as NOT EXISTS and the tests for a missing row
// made on the join's own column stand here; the optional sub-select read as
// two joins in rewrite_unnest.cpp.
#include "gateway/tsql/rewrite.hpp"

#include <memory>
#include <string>
#include <vector>

#include "gateway/tsql/rewrite_detail.hpp"
#include "runtime/text.hpp"

namespace tarnwick::tsql {

using ast::Expr;
using ast::ExprKind;
using ast::JoinKind;
using ast::TableRef;

namespace rewrite_detail {

void CollectNames(const TableRef& t, Names& out) {
  if (t.isJoin) {
    if (t.left) CollectNames(*t.left, out);
    if (t.right) CollectNames(*t.right, out);
    return;
  }
  if (!t.alias.empty()) out.push_back(runtime::ToUpper(t.alias));
  else if (!t.name.empty()) out.push_back(runtime::ToUpper(t.name.back()));
}

bool Names_Contain(const Names& names, const std::string& qualifier) {
  const std::string up = runtime::ToUpper(qualifier);
  for (const std::string& n : names) {
    if (n == up) return true;
  }
  return false;
}

namespace {

// True when `e` is Null whenever every column of the named tables is.
bool NullWith(const Expr& e, const Names& names) {
  switch (e.kind) {
    case ExprKind::Column:
      return e.parts.size() >= 2 && Names_Contain(names, e.parts[e.parts.size() - 2]);
    case ExprKind::Unary:
      return e.op != "NOT" && NullWith(*e.args[0], names);
    case ExprKind::Binary: {
      static const char* const kArithmetic[] = {"+", "-", "*", "/", "%", "&", "|", "^"};
      for (const char* op : kArithmetic) {
        if (e.op == op) return NullWith(*e.args[0], names) || NullWith(*e.args[1], names);
      }
      return false;
    }
    case ExprKind::Cast:
      return NullWith(*e.args[0], names);
    default:
      return false;
  }
}

bool IsComparison(const std::string& op) {
  static const char* const kComparisons[] = {"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"};
  for (const char* c : kComparisons) {
    if (op == c) return true;
  }
  return false;
}

}  // namespace

bool RejectsNulls(const Expr& e, const Names& names) {
  switch (e.kind) {
    case ExprKind::Binary:
      if (e.op == "AND") return RejectsNulls(*e.args[0], names) || RejectsNulls(*e.args[1], names);
      if (e.op == "OR") return RejectsNulls(*e.args[0], names) && RejectsNulls(*e.args[1], names);
      return IsComparison(e.op) && (NullWith(*e.args[0], names) || NullWith(*e.args[1], names));
    case ExprKind::Like:
      return NullWith(*e.args[0], names) || NullWith(*e.args[1], names);
    case ExprKind::Between:
    case ExprKind::InList:
      return NullWith(*e.args[0], names);
    case ExprKind::InQuery:
      return !e.negated && NullWith(*e.args[0], names);
    case ExprKind::IsNull:
      return e.negated && NullWith(*e.args[0], names);
    default:
      return false;
  }
}

namespace {

void Conjuncts(const Expr* e, std::vector<const Expr*>& out) {
  if (e == nullptr) return;
  if (e->kind == ExprKind::Binary && e->op == "AND") {
    Conjuncts(e->args[0].get(), out);
    Conjuncts(e->args[1].get(), out);
    return;
  }
  out.push_back(e);
}

// The conditions that apply to the whole result of a FROM entry, and its
// left joins whose optional side is not itself optional.
struct Reach {
  std::vector<const Expr*> conditions;
  std::vector<TableRef*> leftJoins;
};

void Gather(TableRef& t, Reach& reach) {
  if (!t.isJoin) return;
  switch (t.join) {
    case JoinKind::Inner:
    case JoinKind::Comma:
    case JoinKind::Cross:
      Conjuncts(t.on.get(), reach.conditions);
      Gather(*t.left, reach);
      Gather(*t.right, reach);
      break;
    case JoinKind::Left:
      reach.leftJoins.push_back(&t);
      Gather(*t.left, reach);
      break;
    case JoinKind::Right:
      Gather(*t.right, reach);
      break;
    case JoinKind::Full:
      break;
  }
}

}  // namespace

void InnerJoins(ast::SelectCore& core) {
  bool changed = true;
  while (changed) {
    changed = false;
    Reach reach;
    Conjuncts(core.where.get(), reach.conditions);
    for (ast::TableRefPtr& entry : core.from) Gather(*entry, reach);
    for (TableRef* join : reach.leftJoins) {
      Names names;
      CollectNames(*join->right, names);
      for (const Expr* condition : reach.conditions) {
        if (RejectsNulls(*condition, names)) {
          join->join = JoinKind::Inner;
          changed = true;
          break;
        }
      }
    }
  }
}

// ----- conditions pushed into the sub-select they belong to -----
//
// A derived table is answered as a whole before the query around it filters
// it: the document search gathers every open candidate term with its name
// (the `cnd` sub-select) and only then keeps the candidates of one last name.
// A condition of the outer WHERE that names only columns of an inner-joined
// derived table D is copied into D's own WHERE, each column replaced by the
// expression D selects for it. The rule: a row of D that fails the condition
// is dropped from the result in any case, since the outer WHERE tests the
// same values on it; D is joined inner (or listed after a comma), so a row of
// D no outer row meets was never in the result, and no row is padded with
// Nulls in its place. The outer condition stays where it was. D must be one
// plain SELECT (no UNION, TOP, DISTINCT, GROUP BY or HAVING, whose rows
// depend on the rows they see), each named column must be selected exactly
// once and as a plain column, and the condition must read no sub-select, no
// clock and no function, so that it gives the same answer on both sides.
// Inside D the copied condition may in turn make a left join inner.

namespace {

ast::QueryPtr CloneQuery(const ast::Query& q);

std::unique_ptr<TableRef> CloneTable(const TableRef& t) {
  auto copy = std::make_unique<TableRef>();
  copy->name = t.name;
  if (t.query) copy->query = CloneQuery(*t.query);
  copy->alias = t.alias;
  copy->join = t.join;
  if (t.left) copy->left = CloneTable(*t.left);
  if (t.right) copy->right = CloneTable(*t.right);
  if (t.on) copy->on = Clone(*t.on);
  copy->isJoin = t.isJoin;
  return copy;
}

ast::QueryPtr CloneQuery(const ast::Query& q) {
  auto copy = std::make_unique<ast::Query>();
  for (const ast::SelectCore& core : q.cores) {
    ast::SelectCore c;
    c.distinct = core.distinct;
    if (core.top) c.top = Clone(*core.top);
    for (const ast::SelectItem& item : core.items) c.items.push_back({Clone(*item.expr), item.alias});
    for (const ast::TableRefPtr& entry : core.from) c.from.push_back(CloneTable(*entry));
    if (core.where) c.where = Clone(*core.where);
    for (const ast::ExprPtr& g : core.groupBy) c.groupBy.push_back(Clone(*g));
    if (core.having) c.having = Clone(*core.having);
    copy->cores.push_back(std::move(c));
  }
  copy->ops = q.ops;
  for (const ast::OrderItem& item : q.orderBy) copy->orderBy.push_back({Clone(*item.expr), item.descending});
  return copy;
}

}  // namespace

ast::ExprPtr Clone(const Expr& e) {
  auto copy = std::make_unique<Expr>();
  copy->kind = e.kind;
  copy->pos = e.pos;
  copy->height = e.height;
  copy->text = e.text;
  copy->op = e.op;
  copy->parts = e.parts;
  for (const ast::ExprPtr& arg : e.args) copy->args.push_back(Clone(*arg));
  if (e.query) copy->query = CloneQuery(*e.query);
  copy->type = e.type;
  copy->negated = e.negated;
  copy->distinct = e.distinct;
  copy->star = e.star;
  copy->hasOperand = e.hasOperand;
  copy->hasElse = e.hasElse;
  return copy;
}

namespace {

// `a op b`, for a binary operator.
ast::ExprPtr Joined(const char* op, ast::ExprPtr a, ast::ExprPtr b) {
  auto e = std::make_unique<Expr>();
  e->kind = ExprKind::Binary;
  e->op = op;
  e->pos = a->pos;
  e->height = 1 + std::max(a->height, b->height);
  e->args.push_back(std::move(a));
  e->args.push_back(std::move(b));
  return e;
}

}  // namespace

ast::ExprPtr Both(ast::ExprPtr a, ast::ExprPtr b) { return Joined("AND", std::move(a), std::move(b)); }

bool OnlyColumnsOf(const Expr& e, const std::string& alias) {
  if (e.query || e.kind == ExprKind::Now || e.kind == ExprKind::Star || e.kind == ExprKind::Function) return false;
  if (e.kind == ExprKind::Column) return e.parts.size() == 2 && runtime::EqualsNoCase(e.parts[0], alias);
  for (const ast::ExprPtr& arg : e.args) {
    if (!OnlyColumnsOf(*arg, alias)) return false;
  }
  return true;
}

const Expr* SelectedAs(const ast::SelectCore& core, const std::string& name) {
  const Expr* found = nullptr;
  for (const ast::SelectItem& item : core.items) {
    const Expr& e = *item.expr;
    const bool named = item.alias.empty()
                           ? e.kind == ExprKind::Column && runtime::EqualsNoCase(e.parts.back(), name)
                           : runtime::EqualsNoCase(item.alias, name);
    if (e.kind == ExprKind::Star) return nullptr;
    if (!named) continue;
    if (found || e.kind != ExprKind::Column) return nullptr;
    found = &e;
  }
  return found;
}

namespace {

// `e` with each column of D replaced by what D selects for it; null when a
// column cannot be replaced.
ast::ExprPtr Substitute(const Expr& e, const ast::SelectCore& core) {
  if (e.kind == ExprKind::Column) {
    const Expr* selected = SelectedAs(core, e.parts.back());
    return selected ? Clone(*selected) : nullptr;
  }
  ast::ExprPtr copy = Clone(e);
  for (std::size_t i = 0; i < e.args.size(); ++i) {
    copy->args[i] = Substitute(*e.args[i], core);
    if (!copy->args[i]) return nullptr;
  }
  return copy;
}

// The derived tables of a FROM entry joined inner at the top of the result.
void InnerDerived(TableRef& t, std::vector<TableRef*>& out) {
  if (!t.isJoin) {
    if (t.query && !t.alias.empty()) out.push_back(&t);
    return;
  }
  if (t.join == JoinKind::Inner || t.join == JoinKind::Comma || t.join == JoinKind::Cross) {
    InnerDerived(*t.left, out);
    InnerDerived(*t.right, out);
  } else if (t.join == JoinKind::Left) {
    InnerDerived(*t.left, out);
  } else if (t.join == JoinKind::Right) {
    InnerDerived(*t.right, out);
  }
}

}  // namespace

void PushIntoDerived(ast::SelectCore& core) {
  std::vector<TableRef*> derived;
  for (ast::TableRefPtr& entry : core.from) InnerDerived(*entry, derived);
  if (derived.empty()) return;
  std::vector<const Expr*> conditions;
  Conjuncts(core.where.get(), conditions);
  for (TableRef* d : derived) {
    ast::Query& q = *d->query;
    if (q.cores.size() != 1) continue;
    ast::SelectCore& inner = q.cores.front();
    if (inner.distinct || inner.top || !inner.groupBy.empty() || inner.having) continue;
    for (const Expr* condition : conditions) {
      if (!OnlyColumnsOf(*condition, d->alias)) continue;
      ast::ExprPtr pushed = Substitute(*condition, inner);
      if (!pushed) continue;
      inner.where = inner.where ? Both(std::move(inner.where), std::move(pushed)) : std::move(pushed);
    }
  }
}

// ----- NOT IN a column that is never Null, asked as NOT EXISTS -----
//
// `x NOT IN (SELECT c FROM T WHERE w)` gives the server's planner a set it
// cannot count: for the documents linked to no committee it expects half of
// all documents to stay (a thirtieth do) and builds the current-committee
// view for each of them. Asked as
//   NOT EXISTS (SELECT 1 FROM T WHERE w AND x = c)
//   AND (x IS NOT NULL OR NOT EXISTS (SELECT 1 FROM T WHERE w))
// the first part is an anti-join whose rows the planner counts from the link
// table's statistics, reaching T by its index on c; the second is asked once.
//
// The rule: when c is never Null, x NOT IN the set is true when the set is
// empty, or when x is not Null and no row's c equals it; it is Null when x is
// Null and the set is not empty, and false otherwise. The new condition is
// true in exactly the same cases (a Null x equals no c, so the first part is
// true and the second asks for the empty set), and false wherever NOT IN is
// false or Null. A condition that stands in WHERE, alone or inside ANDs and
// ORs, keeps a row only when it is true, and an AND or OR is true for the
// same rows whether a part is Null or false, so the rows kept are the same;
// under NOT, or anywhere else, Null and false differ and nothing is changed.
// c is never Null when it is a column of the sub-select's one named table
// that the database says is never Null. Both engines compare
// `x IN (SELECT c ...)` by the rules of `x = c` (the same conversions and
// letter case), and x stays on the left. x must be a column named with its
// table, a table the sub-select's does not answer to, so that x names the
// same column inside the sub-select. The sub-select must be one SELECT of the
// one column c, with no TOP, GROUP BY or HAVING (which decide its rows by the
// rows they see).

namespace {

bool AnswersTo(const TableRef& t, const std::string& qualifier) {
  return runtime::EqualsNoCase(t.name.back(), qualifier) ||
         (!t.alias.empty() && runtime::EqualsNoCase(t.alias, qualifier));
}

ast::ExprPtr Node(ExprKind kind, std::size_t pos, std::string op = {}) {
  auto e = std::make_unique<Expr>();
  e->kind = kind;
  e->pos = pos;
  e->op = std::move(op);
  return e;
}

// NOT EXISTS (query).
ast::ExprPtr NotExists(ast::QueryPtr query, std::size_t pos) {
  ast::ExprPtr exists = Node(ExprKind::Exists, pos);
  exists->query = std::move(query);
  ast::ExprPtr negation = Node(ExprKind::Unary, pos, "NOT");
  negation->height = 2;
  negation->args.push_back(std::move(exists));
  return negation;
}

// True when the rule applies to `e`, a NOT IN (sub-select).
bool AntiJoinAllowed(const Expr& e, const ColumnLookup& columns) {
  const Expr& x = *e.args[0];
  if (x.kind != ExprKind::Column || x.parts.size() != 2) return false;
  const ast::Query& q = *e.query;
  if (q.cores.size() != 1 || !q.orderBy.empty()) return false;
  const ast::SelectCore& inner = q.cores.front();
  if (inner.top || !inner.groupBy.empty() || inner.having || inner.items.size() != 1 || inner.from.size() != 1) {
    return false;
  }
  const TableRef& t = *inner.from.front();
  if (t.isJoin || t.name.empty() || AnswersTo(t, x.parts[0])) return false;
  const Expr& c = *inner.items.front().expr;
  if (c.kind != ExprKind::Column || c.parts.empty() || c.parts.size() > 2) return false;
  if (c.parts.size() == 2 && !AnswersTo(t, c.parts[0])) return false;
  return columns(t.name.back(), c.parts.back()) == ColumnIs::NeverNull;
}

// Rewrites the NOT INs the rule allows among `e` and, through AND and OR,
// its parts.
void AntiJoinsIn(ast::ExprPtr& e, const ColumnLookup& columns) {
  if (e->kind == ExprKind::Binary && (e->op == "AND" || e->op == "OR")) {
    AntiJoinsIn(e->args[0], columns);
    AntiJoinsIn(e->args[1], columns);
    e->height = 1 + std::max(e->args[0]->height, e->args[1]->height);
    return;
  }
  if (e->kind != ExprKind::InQuery || !e->negated || !AntiJoinAllowed(*e, columns)) return;
  const std::size_t pos = e->pos;
  ast::ExprPtr x = std::move(e->args[0]);
  ast::QueryPtr set = std::move(e->query);
  ast::SelectItem& item = set->cores.front().items.front();
  ast::ExprPtr c = std::move(item.expr);
  ast::ExprPtr one = Node(ExprKind::Number, c->pos);
  one->text = "1";
  item = {std::move(one), ""};
  ast::QueryPtr matching = CloneQuery(*set);
  ast::ExprPtr& where = matching->cores.front().where;
  ast::ExprPtr equal = Joined("=", Clone(*x), std::move(c));
  where = where ? Both(std::move(where), std::move(equal)) : std::move(equal);
  ast::ExprPtr known = Node(ExprKind::IsNull, pos);
  known->negated = true;
  known->height = 1 + x->height;
  known->args.push_back(std::move(x));
  e = Both(NotExists(std::move(matching), pos), Joined("OR", std::move(known), NotExists(std::move(set), pos)));
}

}  // namespace

void AntiJoins(ast::SelectCore& core, const ColumnLookup& columns) {
  if (columns && core.where) AntiJoinsIn(core.where, columns);
}

// ----- a test for a missing row made on the column its join matches -----
//
// `L LEFT JOIN R ON R.k = v ... WHERE R.a IS NULL` keeps the L rows that no
// R row meets, when R.a is never Null in R. The server's planner reads such a
// test as the anti-join it is only when it names a column of the join's own
// condition; on R.a it counts the rows by R.a's Nulls (there are none) and
// expects one document where half a million stay. The test is made on R.k.
//
// The rule: a row of the result either carries an R row that met the ON
// condition, or is padded with Nulls in R's place. In the first case R.a is
// not Null (the database says it never is) and neither is R.k (R.k = v was
// true, so it is not Null); in the second both are Null. So R.a IS NULL and
// R.k IS NULL are true on the same rows, wherever the test stands in WHERE,
// and likewise IS NOT NULL. R must be a named table that the query names
// once, k a column of R compared with = to a value that reads no column of R,
// as a conjunct of the ON condition.

namespace {

bool ReadsTable(const Expr& e, const std::string& qualifier) {
  if (e.query) return true;  // a sub-select might read it
  if (e.kind == ExprKind::Column) return e.parts.size() != 2 || runtime::EqualsNoCase(e.parts[0], qualifier);
  for (const ast::ExprPtr& arg : e.args) {
    if (ReadsTable(*arg, qualifier)) return true;
  }
  return false;
}

// A left-joined table and the column its ON condition matches by =.
struct MatchedOn {
  const TableRef* table;
  std::string qualifier, key;
};

void LeftJoinKeys(const TableRef& t, std::vector<MatchedOn>& out) {
  if (!t.isJoin) return;
  LeftJoinKeys(*t.left, out);
  LeftJoinKeys(*t.right, out);
  const TableRef& r = *t.right;
  if (t.join != JoinKind::Left || r.isJoin || r.name.empty()) return;
  const std::string qualifier = r.alias.empty() ? r.name.back() : r.alias;
  std::vector<const Expr*> conjuncts;
  Conjuncts(t.on.get(), conjuncts);
  for (const Expr* c : conjuncts) {
    if (c->kind != ExprKind::Binary || c->op != "=") continue;
    for (int side = 0; side < 2; ++side) {
      const Expr& key = *c->args[side];
      if (key.kind == ExprKind::Column && key.parts.size() == 2 && runtime::EqualsNoCase(key.parts[0], qualifier) &&
          !ReadsTable(*c->args[1 - side], qualifier)) {
        out.push_back({&r, qualifier, key.parts[1]});
        return;
      }
    }
  }
}

void NullTestsOnKeys(Expr* e, const std::vector<MatchedOn>& keys, const Names& names, const ColumnLookup& columns) {
  if (e == nullptr) return;
  for (ast::ExprPtr& arg : e->args) NullTestsOnKeys(arg.get(), keys, names, columns);
  if (e->kind != ExprKind::IsNull) return;
  Expr& tested = *e->args[0];
  if (tested.kind != ExprKind::Column || tested.parts.size() != 2) return;
  for (const MatchedOn& m : keys) {
    if (!runtime::EqualsNoCase(tested.parts[0], m.qualifier) || runtime::EqualsNoCase(tested.parts[1], m.key)) continue;
    int answering = 0;
    for (const std::string& n : names) answering += runtime::EqualsNoCase(n, m.qualifier) ? 1 : 0;
    if (answering == 1 && columns(m.table->name.back(), tested.parts[1]) == ColumnIs::NeverNull) {
      tested.parts[1] = m.key;
    }
    return;
  }
}

}  // namespace

void NullTestsOnJoinKeys(ast::SelectCore& core, const ColumnLookup& columns) {
  if (!columns || !core.where) return;
  std::vector<MatchedOn> keys;
  Names names;
  for (const ast::TableRefPtr& entry : core.from) {
    LeftJoinKeys(*entry, keys);
    CollectNames(*entry, names);
  }
  if (!keys.empty()) NullTestsOnKeys(core.where.get(), keys, names, columns);
}

}  // namespace rewrite_detail

namespace {

using namespace rewrite_detail;

void RewriteQuery(ast::Query& query, const ColumnLookup& columns);

void RewriteExpr(Expr* e, const ColumnLookup& columns) {
  if (e == nullptr) return;
  if (e->query) RewriteQuery(*e->query, columns);
  for (ast::ExprPtr& arg : e->args) RewriteExpr(arg.get(), columns);
}

void RewriteTable(TableRef* t, const ColumnLookup& columns) {
  if (t == nullptr) return;
  if (t->query) RewriteQuery(*t->query, columns);
  RewriteTable(t->left.get(), columns);
  RewriteTable(t->right.get(), columns);
  RewriteExpr(t->on.get(), columns);
}

void RewriteQuery(ast::Query& query, const ColumnLookup& columns) {
  for (ast::SelectCore& core : query.cores) {
    InnerJoins(core);
    PushIntoDerived(core);
    AntiJoins(core, columns);
    NullTestsOnJoinKeys(core, columns);
  }
  // What stays optional after the conditions had their say.
  UnnestOptionalSubSelects(query, columns);
  for (ast::SelectCore& core : query.cores) {
    for (ast::SelectItem& item : core.items) RewriteExpr(item.expr.get(), columns);
    for (ast::TableRefPtr& entry : core.from) RewriteTable(entry.get(), columns);
    RewriteExpr(core.where.get(), columns);
    RewriteExpr(core.having.get(), columns);
  }
}

}  // namespace

void RewriteForPlanning(ast::Query& query, const ColumnLookup& columns) { RewriteQuery(query, columns); }

}  // namespace tarnwick::tsql

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
#include "gateway/tsql/rewrite.hpp"

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/text.hpp"

namespace tarnwick::tsql {

using ast::Expr;
using ast::ExprKind;
using ast::JoinKind;
using ast::TableRef;

namespace {

// The names a join's tables answer to: the alias, or the table's own name.
using Names = std::vector<std::string>;

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

// True when condition `e` cannot be true while every column of the named
// tables is Null.
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
// clock and no function, so that it gives the same answer on both sides. Inside D the copied condition may in
// turn make a left join inner.

ast::ExprPtr Clone(const Expr& e);

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

// `a AND b`.
ast::ExprPtr Both(ast::ExprPtr a, ast::ExprPtr b) {
  auto both = std::make_unique<Expr>();
  both->kind = ExprKind::Binary;
  both->op = "AND";
  both->pos = a->pos;
  both->height = 1 + std::max(a->height, b->height);
  both->args.push_back(std::move(a));
  both->args.push_back(std::move(b));
  return both;
}

// True when every column `e` names is qualified by `alias`, and `e` reads
// no sub-select, no clock and calls no function (which might not give the
// same answer twice).
bool OnlyColumnsOf(const Expr& e, const std::string& alias) {
  if (e.query || e.kind == ExprKind::Now || e.kind == ExprKind::Star || e.kind == ExprKind::Function) return false;
  if (e.kind == ExprKind::Column) return e.parts.size() == 2 && runtime::EqualsNoCase(e.parts[0], alias);
  for (const ast::ExprPtr& arg : e.args) {
    if (!OnlyColumnsOf(*arg, alias)) return false;
  }
  return true;
}

// The column D selects under `name`, or null when it selects none, more than
// one, or a computed value (whose letter-case rules for comparisons differ
// from a column's).
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

// ----- an optional sub-select of two tables read as two joins -----
//
// A sub-select on the optional side of a left join is answered whole before
// the join: the committee searches gather every open candidate and treasurer
// term with its name, tens of thousands of rows, to show the few committees
// a search keeps. Written as joins of its two tables, each committee reaches
// its officers by index instead.
//
// The rule: `L LEFT JOIN (SELECT cols FROM A LEFT JOIN B ON p WHERE w) D ON c`
// gives the rows of `(L LEFT JOIN A ON c' AND w) LEFT JOIN B ON p`, where c'
// is c with each column of D replaced by the column of A or B it selects:
//   - for each L row, the rows of D that meet c are the rows of A LEFT JOIN B
//     that meet w and c'; w and c' read only A (and L), so the A rows that
//     meet them are the same whether B is joined before or after, and each
//     keeps all its B rows, or one row of Nulls without one;
//   - an L row without such an A row keeps one row with A's columns Null,
//     and p, which cannot be true when A's columns are Null, joins it to no
//     B row: it keeps its one row, all of D's columns Null, as before.
// So each row comes out as often as before, with the same values, and the
// query's ORDER BY orders them the same way. The sub-select must be one plain
// SELECT (no UNION, TOP, DISTINCT, GROUP BY or HAVING) of plain columns, each
// selected once; w must read only A's columns and no function or sub-select,
// c only L's and A's columns; A and B must be named tables whose names the
// query does not use already. The query around it must name every column
// with its table outside its sub-selects (ORDER BY may name a selected
// column alone), and select no `*`, so that the two tables now in its FROM
// change what no bare name means. In sub-selects elsewhere in the query, and
// in the conditions that move out of D, a bare name must be one their own
// tables give (the column lookup says so): any other is looked for in the
// tables of the query, where A or B could take it.

// True when `e`, outside its sub-selects, names every column with a table.
bool AllQualified(const Expr* e) {
  if (e == nullptr) return true;
  if (e->kind == ExprKind::Star) return false;
  if (e->kind == ExprKind::Column && e->parts.size() < 2) return false;
  for (const ast::ExprPtr& arg : e->args) {
    if (!AllQualified(arg.get())) return false;
  }
  return true;
}

bool TablesQualified(const TableRef& t) {
  if (!t.isJoin) return true;
  return AllQualified(t.on.get()) && TablesQualified(*t.left) && TablesQualified(*t.right);
}

bool CoreQualified(const ast::SelectCore& core) {
  for (const ast::SelectItem& item : core.items) {
    if (!AllQualified(item.expr.get())) return false;
  }
  for (const ast::TableRefPtr& entry : core.from) {
    if (!TablesQualified(*entry)) return false;
  }
  for (const ast::ExprPtr& g : core.groupBy) {
    if (!AllQualified(g.get())) return false;
  }
  return AllQualified(core.where.get()) && AllQualified(core.having.get());
}

// True when every bare name in ORDER BY is a name the select list gives.
bool OrderByQualified(const ast::Query& query, const ast::SelectCore& core) {
  for (const ast::OrderItem& item : query.orderBy) {
    const Expr& e = *item.expr;
    if (e.kind != ExprKind::Column || e.parts.size() >= 2) {
      if (!AllQualified(&e)) return false;
      continue;
    }
    bool listed = false;
    for (const ast::SelectItem& s : core.items) {
      const std::string& name = !s.alias.empty()                                       ? s.alias
                                : s.expr->kind == ExprKind::Column && !s.expr->parts.empty() ? s.expr->parts.back()
                                                                                             : std::string();
      listed = listed || runtime::EqualsNoCase(name, e.parts.front());
    }
    if (!listed) return false;
  }
  return true;
}

// Calls `visit` on every column expression of the query, sub-selects included.
void EachColumn(Expr* e, const std::function<void(ast::ExprPtr&)>& visit);
void EachColumnIn(ast::Query& q, const std::function<void(ast::ExprPtr&)>& visit);

void EachColumnPtr(ast::ExprPtr& e, const std::function<void(ast::ExprPtr&)>& visit) {
  if (!e) return;
  if (e->kind == ExprKind::Column) {
    visit(e);
    return;
  }
  EachColumn(e.get(), visit);
}

void EachColumnInTable(TableRef* t, const std::function<void(ast::ExprPtr&)>& visit) {
  if (t == nullptr) return;
  if (t->query) EachColumnIn(*t->query, visit);
  EachColumnInTable(t->left.get(), visit);
  EachColumnInTable(t->right.get(), visit);
  EachColumnPtr(t->on, visit);
}

void EachColumn(Expr* e, const std::function<void(ast::ExprPtr&)>& visit) {
  if (e->query) EachColumnIn(*e->query, visit);
  for (ast::ExprPtr& arg : e->args) EachColumnPtr(arg, visit);
}

void EachColumnIn(ast::Query& q, const std::function<void(ast::ExprPtr&)>& visit) {
  for (ast::SelectCore& core : q.cores) {
    for (ast::SelectItem& item : core.items) EachColumnPtr(item.expr, visit);
    for (ast::TableRefPtr& entry : core.from) EachColumnInTable(entry.get(), visit);
    EachColumnPtr(core.where, visit);
    for (ast::ExprPtr& g : core.groupBy) EachColumnPtr(g, visit);
    EachColumnPtr(core.having, visit);
    EachColumnPtr(core.top, visit);
  }
  for (ast::OrderItem& item : q.orderBy) EachColumnPtr(item.expr, visit);
}

// A table or view of the query's FROM, or a sub-select's, that gives a
// column of this name: a named one when the database says it has one, a
// derived table when its select list gives the name.
bool GivesColumn(const TableRef& t, const std::string& name, const ColumnLookup& columns) {
  if (t.isJoin) return GivesColumn(*t.left, name, columns) || GivesColumn(*t.right, name, columns);
  if (t.query) {
    for (const ast::SelectItem& item : t.query->cores.front().items) {
      const Expr& e = *item.expr;
      const std::string& given = !item.alias.empty()                                 ? item.alias
                                 : e.kind == ExprKind::Column && !e.parts.empty() ? e.parts.back()
                                                                                  : std::string();
      if (runtime::EqualsNoCase(given, name)) return true;
    }
    return false;
  }
  return columns && !t.name.empty() && columns(t.name.back(), name);
}

// The FROM lists a bare name inside a sub-select is looked up in, from the
// sub-select's own out to (not including) the query being rewritten.
struct Scope {
  const ast::SelectCore* core;
  const Scope* up;
};

bool Settled(const std::string& name, const Scope* scope, const ColumnLookup& columns) {
  for (; scope != nullptr; scope = scope->up) {
    for (const ast::TableRefPtr& entry : scope->core->from) {
      if (GivesColumn(*entry, name, columns)) return true;
    }
  }
  return false;
}

bool Unsettled(ast::Query& q, const Scope* up, const ColumnLookup& columns);

bool Unsettled(Expr* e, const Scope* scope, const ColumnLookup& columns) {
  if (e == nullptr) return false;
  if (e->kind == ExprKind::Column && e->parts.size() < 2 && !e->parts.empty() &&
      !Settled(e->parts.front(), scope, columns)) {
    return true;
  }
  if (e->query && Unsettled(*e->query, scope, columns)) return true;
  for (ast::ExprPtr& arg : e->args) {
    if (Unsettled(arg.get(), scope, columns)) return true;
  }
  return false;
}

bool Unsettled(TableRef* t, const Scope* scope, const Scope* up, const ColumnLookup& columns) {
  if (t == nullptr) return false;
  // A derived table sees the scopes around its query, not its neighbours.
  if (t->query && Unsettled(*t->query, up, columns)) return true;
  return Unsettled(t->left.get(), scope, up, columns) || Unsettled(t->right.get(), scope, up, columns) ||
         Unsettled(t->on.get(), scope, columns);
}

// True when `q` (a sub-select) names a column without its table that its own
// tables, or those of the sub-selects around it, do not give: such a name is
// looked for in the tables of the query being rewritten, which a change to
// those tables could make ambiguous or point elsewhere. Without a column
// lookup every bare name counts as unsettled.
bool Unsettled(ast::Query& q, const Scope* up, const ColumnLookup& columns) {
  for (ast::SelectCore& core : q.cores) {
    const Scope scope{&core, up};
    for (ast::SelectItem& item : core.items) {
      if (Unsettled(item.expr.get(), &scope, columns)) return true;
    }
    for (ast::TableRefPtr& entry : core.from) {
      if (Unsettled(entry.get(), &scope, up, columns)) return true;
    }
    for (ast::ExprPtr& g : core.groupBy) {
      if (Unsettled(g.get(), &scope, columns)) return true;
    }
    if (Unsettled(core.where.get(), &scope, columns) || Unsettled(core.having.get(), &scope, columns)) return true;
  }
  // ORDER BY may also name the select list's columns.
  const Scope last{&q.cores.back(), up};
  for (ast::OrderItem& item : q.orderBy) {
    Expr* e = item.expr.get();
    if (e->kind == ExprKind::Column && e->parts.size() == 1) {
      bool listed = false;
      for (const ast::SelectItem& s : q.cores.front().items) {
        listed = listed || runtime::EqualsNoCase(s.alias, e->parts.front()) ||
                 (s.expr->kind == ExprKind::Column && runtime::EqualsNoCase(s.expr->parts.back(), e->parts.front()));
      }
      if (listed) continue;
    }
    if (Unsettled(e, &last, columns)) return true;
  }
  return false;
}

// True when a sub-select within `e` (outside `skip`) names a column its own
// tables do not give.
bool UnsettledInSubSelects(Expr* e, const ColumnLookup& columns) {
  if (e == nullptr) return false;
  if (e->query && Unsettled(*e->query, nullptr, columns)) return true;
  for (ast::ExprPtr& arg : e->args) {
    if (UnsettledInSubSelects(arg.get(), columns)) return true;
  }
  return false;
}

bool UnsettledInSubSelects(TableRef* t, const TableRef* skip, const ColumnLookup& columns) {
  if (t == nullptr || t == skip) return false;
  if (t->query && Unsettled(*t->query, nullptr, columns)) return true;
  return UnsettledInSubSelects(t->left.get(), skip, columns) || UnsettledInSubSelects(t->right.get(), skip, columns) ||
         UnsettledInSubSelects(t->on.get(), columns);
}

// The same for every sub-select of `core` and of the query's ORDER BY, but for `skip`.
bool UnsettledInSubSelects(ast::Query& query, ast::SelectCore& core, const TableRef* skip,
                           const ColumnLookup& columns) {
  for (ast::SelectItem& item : core.items) {
    if (UnsettledInSubSelects(item.expr.get(), columns)) return true;
  }
  for (ast::TableRefPtr& entry : core.from) {
    if (UnsettledInSubSelects(entry.get(), skip, columns)) return true;
  }
  for (ast::ExprPtr& g : core.groupBy) {
    if (UnsettledInSubSelects(g.get(), columns)) return true;
  }
  for (ast::OrderItem& item : query.orderBy) {
    if (UnsettledInSubSelects(item.expr.get(), columns)) return true;
  }
  return UnsettledInSubSelects(core.where.get(), columns) || UnsettledInSubSelects(core.having.get(), columns);
}

// True when `e` names every column with its table, and its sub-selects every
// column their own tables do not give.
bool WhollyQualified(Expr* e, const ColumnLookup& columns) {
  return AllQualified(e) && !UnsettledInSubSelects(e, columns);
}

bool NamesColumnOf(const Expr& e, const std::string& name) {
  return e.kind == ExprKind::Column && e.parts.size() == 2 && runtime::EqualsNoCase(e.parts[0], name);
}

// Unnests the optional sub-select `join->right` when the rule allows it.
bool UnnestOptional(ast::Query& query, ast::SelectCore& core, TableRef& join, const ColumnLookup& columns) {
  TableRef& d = *join.right;
  if (!d.query || d.alias.empty() || d.query->cores.size() != 1 || !d.query->orderBy.empty()) return false;
  ast::SelectCore& inner = d.query->cores.front();
  if (inner.distinct || inner.top || !inner.groupBy.empty() || inner.having || inner.from.size() != 1) return false;
  TableRef& ab = *inner.from.front();
  if (!ab.isJoin || ab.join != JoinKind::Left || !ab.on || ab.left->isJoin || ab.right->isJoin ||
      ab.left->query || ab.right->query || ab.left->name.empty() || ab.right->name.empty()) {
    return false;
  }
  Names a, b, outer;
  CollectNames(*ab.left, a);
  CollectNames(*ab.right, b);
  for (const ast::TableRefPtr& entry : core.from) CollectNames(*entry, outer);
  if (a.front() == b.front() || Names_Contain(outer, a.front()) || Names_Contain(outer, b.front())) return false;
  if (!RejectsNulls(*ab.on, a)) return false;
  if (inner.where && !OnlyColumnsOf(*inner.where, a.front())) return false;
  for (const ast::SelectItem& item : inner.items) {
    const Expr& e = *item.expr;
    if (!NamesColumnOf(e, a.front()) && !NamesColumnOf(e, b.front())) return false;
  }
  if (!CoreQualified(core) || !OrderByQualified(query, core)) return false;
  // A bare name in another sub-select of the query, or in the conditions
  // that move out of D, could come to mean a column of A or B, or stop
  // meaning one of D's: only fully named ones leave every name as it was.
  if (UnsettledInSubSelects(query, core, &d, columns) || !WhollyQualified(ab.on.get(), columns) ||
      (inner.where && !WhollyQualified(inner.where.get(), columns))) {
    return false;
  }
  // Every column of D the query names must be selected once; the join's own
  // condition may name only those of A.
  bool mapped = true;
  const auto check = [&](ast::ExprPtr& column) {
    if (!NamesColumnOf(*column, d.alias)) return;
    const Expr* selected = SelectedAs(inner, column->parts.back());
    mapped = mapped && selected != nullptr;
  };
  EachColumnIn(query, check);
  if (!mapped) return false;
  bool onReadsB = false;
  EachColumnPtr(join.on, [&](ast::ExprPtr& column) {
    if (NamesColumnOf(*column, b.front())) onReadsB = true;
    if (!NamesColumnOf(*column, d.alias)) return;
    onReadsB = onReadsB || NamesColumnOf(*SelectedAs(inner, column->parts.back()), b.front());
  });
  if (onReadsB) return false;

  // Rewrite every column of D, then the joins.
  const std::string alias = d.alias;
  EachColumnIn(query, [&](ast::ExprPtr& column) {
    if (NamesColumnOf(*column, alias)) column = Clone(*SelectedAs(inner, column->parts.back()));
  });
  ast::ExprPtr on = std::move(join.on);
  if (inner.where) on = Both(std::move(on), std::move(inner.where));
  auto first = std::make_unique<TableRef>();
  first->isJoin = true;
  first->join = JoinKind::Left;
  first->left = std::move(join.left);
  first->right = std::move(ab.left);
  first->on = std::move(on);
  ast::ExprPtr p = std::move(ab.on);
  std::unique_ptr<TableRef> bTable = std::move(ab.right);
  join.left = std::move(first);
  join.right = std::move(bTable);  // releases D
  join.on = std::move(p);
  return true;
}

void UnnestJoins(ast::Query& query, ast::SelectCore& core, TableRef& t, const ColumnLookup& columns) {
  if (!t.isJoin) return;
  UnnestJoins(query, core, *t.left, columns);
  if (t.join == JoinKind::Left) UnnestOptional(query, core, t, columns);
  UnnestJoins(query, core, *t.right, columns);
}

void UnnestOptionalSubSelects(ast::Query& query, const ColumnLookup& columns) {
  if (query.cores.size() != 1) return;
  ast::SelectCore& core = query.cores.front();
  for (ast::TableRefPtr& entry : core.from) UnnestJoins(query, core, *entry, columns);
}

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

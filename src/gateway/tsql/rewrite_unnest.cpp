// Planning rewrites: an optional sub-select of two tables read as two joins
// (see rewrite.hpp; the pass and the other rules stand in rewrite.cpp).
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gateway/tsql/rewrite_detail.hpp"
#include "runtime/text.hpp"

namespace tarnwick::tsql::rewrite_detail {

using ast::Expr;
using ast::ExprKind;
using ast::JoinKind;
using ast::TableRef;

namespace {

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
  return columns && !t.name.empty() && columns(t.name.back(), name) != ColumnIs::Absent;
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

}  // namespace

void UnnestOptionalSubSelects(ast::Query& query, const ColumnLookup& columns) {
  if (query.cores.size() != 1) return;
  ast::SelectCore& core = query.cores.front();
  for (ast::TableRefPtr& entry : core.from) UnnestJoins(query, core, *entry, columns);
}

}  // namespace tarnwick::tsql::rewrite_detail

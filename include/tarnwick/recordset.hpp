// Recordset: a scrollable, updatable, client-side set of rows with a current
// row, the stand-in for the platform's recordset that the data gateway hands
// back and every data object owns.
//
// Positions. The cursor stands on a row, before the first row (BOF) or after
// the last (EOF). An open set with no rows has BOF() and EndOfFile() both
// true. A filter hides rows that do not pass it from every member: moves,
// RecordCount, AbsolutePosition and Find.
//
// Writes change the rows held in memory only; nothing is sent to a database.
// OriginalValue keeps the value as it was read.
//
// Errors are RuntimeError: 3704 on a closed set, 3021 when an operation needs a
// current row, 3265 for an unknown column, 3001 for criteria that do not parse.
//
// Thread safety: a Recordset and its Fields belong to one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tarnwick/variant.hpp"

namespace tarnwick {

enum class DataType : std::int32_t {
  Empty = 0, SmallInt = 2, Integer = 3, Double = 5, Currency = 6, Date = 7, BSTR = 8,
  Boolean = 11, Variant = 12, BigInt = 20, Binary = 128, Char = 129, WChar = 130,
  DBTimeStamp = 135, VarChar = 200, LongVarChar = 201, VarWChar = 202, LongVarWChar = 203,
  VarBinary = 204, LongVarBinary = 205 };
enum class ObjectState : std::int32_t { Closed = 0, Open = 1 };
enum class SearchDirection : std::int32_t { Forward = 1, Backward = -1 };
inline constexpr std::int32_t PosUnknown = -1, PosBOF = -2, PosEOF = -3;

struct Column {
  std::string name;
  DataType type;
};

class Recordset;

// One column of the current row.
class Field {
 public:
  const std::string& Name() const;
  DataType Type() const;
  // REQUIRES: a current row (else 3021) on an open set (else 3704).
  const Variant& Value() const;
  // Coerces v to the column's type; a value that cannot be stored throws
  // -2147217887. REQUIRES: as Value().
  void Value(Variant v);
  // The value as read; Null on an added row. REQUIRES: as Value().
  const Variant& OriginalValue() const;

 private:
  friend class Recordset;
  Field(Recordset* owner, std::int32_t index) : owner_(owner), index_(index) {}
  Recordset* owner_;
  std::int32_t index_;
};

class FieldCollection {
 public:
  std::int32_t Count() const;
  // Case-insensitive; the first column of that name. Throws 3265 if absent.
  Field& Item(std::string_view name);
  // 0-based ordinal. Throws 3265 if out of range.
  Field& Item(std::int32_t index);

 private:
  friend class Recordset;
  explicit FieldCollection(Recordset* owner) : owner_(owner) {}
  Recordset* owner_;
};

class Recordset : public std::enable_shared_from_this<Recordset> {
 public:
  // A new, closed set.
  static std::shared_ptr<Recordset> Create();
  // An open set over these rows, on the first row (BOF and EOF when rows is
  // empty). Every row must have columns.size() values.
  static std::shared_ptr<Recordset> FromRows(std::vector<Column> columns,
                                             std::vector<std::vector<Variant>> rows);
  // The same over the values of every row one after the other, columns.size()
  // values a row: the set takes the values as they are, without a copy.
  // REQUIRES: cells.size() is a multiple of columns.size() (no cells without columns).
  static std::shared_ptr<Recordset> FromCells(std::vector<Column> columns, std::vector<Variant> cells);

  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;
  ~Recordset();

  ObjectState State() const;
  bool BOF() const;
  bool EndOfFile() const;
  // Rows that pass the filter, counting a pending added row.
  std::int32_t RecordCount() const;

  // MoveFirst/MoveLast: 3021 on an empty set. MoveNext: 3021 at EOF.
  // MovePrevious: 3021 at BOF. Move(n) stops at BOF/EOF when it overshoots;
  // Move(0) needs a current row.
  void MoveFirst();
  void MoveLast();
  void MoveNext();
  void MovePrevious();
  void Move(std::int32_t n);

  // Appends a row with every value Null and makes it current.
  void AddNew();

  FieldCollection& Fields();
  Variant Collect(std::string_view name) const;
  void Collect(std::string_view name, Variant v);

  // 1-based among passing rows; PosBOF, PosEOF, or PosUnknown when empty.
  std::int32_t AbsolutePosition() const;

  // The criteria text, or Long 0 when there is none.
  Variant Filter() const;
  // A criteria text ("a = 'x' AND b > 3"), or "" / Long 0 to remove the
  // filter. Moves to the first passing row. Bad criteria throw 3001, an
  // unknown column 3265; the set is then unchanged.
  void Filter(const Variant& criteria);
  // One clause; starts skipRows away from the current row. Found: that row is
  // current. Not found: EOF (forward) or BOF (backward).
  void Find(std::string_view criteria, std::int32_t skipRows = 0,
            SearchDirection direction = SearchDirection::Forward);

  // Drops the rows; the set may be opened again. Throws 3704 when closed.
  void Close();

  // Column metadata without touching rows (used by the gateway and the cursor).
  const std::vector<Column>& Columns() const;

 private:
  friend class Field;
  friend class FieldCollection;
  struct Impl;
  Recordset();
  std::unique_ptr<Impl> impl_;
};

}  // namespace tarnwick

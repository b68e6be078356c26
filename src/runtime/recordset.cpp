// Result sets: rows of Variants with named columns, the cursor over them,
// Filter, Find and the edits a client makes.
#include "tarnwick/recordset.hpp"

#include <algorithm>
#include <limits>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "runtime/criteria.hpp"
#include "runtime/raise.hpp"
#include "runtime/text.hpp"
#include "tarnwick/error.hpp"

namespace tarnwick {
namespace {

using runtime::IsTextType;
using runtime::Raise;

// Column names are looked up without regard to letter case.
using runtime::NoCaseEqual;
using runtime::NoCaseHash;

// The kind of value a column of type t holds, as a refused value's error names it.
VarType Holds(DataType t) {
  switch (t) {
    case DataType::SmallInt: return VarType::Integer;
    case DataType::Integer: return VarType::Long;
    case DataType::Double:
    case DataType::BigInt: return VarType::Double;
    case DataType::Currency: return VarType::Currency;
    case DataType::Date:
    case DataType::DBTimeStamp: return VarType::Date;
    case DataType::Boolean: return VarType::Boolean;
    case DataType::Binary:
    case DataType::VarBinary:
    case DataType::LongVarBinary: return VarType::Bytes;
    default: return IsTextType(t) ? VarType::String : VarType::Empty;
  }
}

// The value a column of type t stores for v; throws the runtime's conversion
// errors when it cannot be converted.
Variant ConvertForColumn(const Variant& v, DataType t) {
  if (v.IsNull()) return v;
  switch (t) {
    case DataType::SmallInt: return Variant(v.CInt());
    case DataType::Integer: return Variant(v.CLng());
    case DataType::Double:
    case DataType::BigInt: return Variant(v.CDbl());
    case DataType::Currency: return Variant(v.CCur());
    case DataType::Date:
    case DataType::DBTimeStamp: return Variant(v.CDate());
    case DataType::Boolean: return Variant(v.CBool());
    case DataType::Binary:
    case DataType::VarBinary:
    case DataType::LongVarBinary:
      if (v.Type() != VarType::Bytes) Raise(err::kTypeMismatch);
      return v;
    case DataType::Empty:
    case DataType::Variant: return v;
    default:
      if (IsTextType(t)) {
        if (v.Type() == VarType::String) return v;
        return Variant(v.CStr());
      }
      return v;
  }
}

}  // namespace

struct Recordset::Impl {
  explicit Impl(FieldCollection collection) : fieldCollection(collection) {}

  bool open = false;
  std::vector<Column> columns;
  // One Field per column, made once when the set opens; kept until the set
  // is destroyed so references handed out by Fields().Item stay valid.
  std::vector<Field> fields;
  FieldCollection fieldCollection;
  std::unordered_map<std::string, std::int32_t, NoCaseHash, NoCaseEqual> byName;  // first column of each name

  // Rows, row after row, columns.size() cells each. Rows at or past
  // loadedRows were appended by AddNew.
  std::vector<Variant> cells;
  std::size_t rowCount = 0;
  std::size_t loadedRows = 0;
  // Cells of loaded rows written since they were read: the value as read.
  std::unordered_map<std::size_t, Variant> originals;
  std::unordered_set<std::size_t> editedRows;

  Variant filter = Variant(std::int32_t{0});
  bool filtered = false;
  std::vector<std::size_t> visible;  // rows passing the filter, in order (when filtered)
  // Position among the visible rows: -1 is BOF, VisibleCount() is EOF.
  std::int64_t pos = -1;

  std::size_t Width() const { return columns.size(); }
  std::int64_t VisibleCount() const { return static_cast<std::int64_t>(filtered ? visible.size() : rowCount); }
  bool AtBOF() const { return VisibleCount() == 0 || pos < 0; }
  bool AtEOF() const { return VisibleCount() == 0 || pos >= VisibleCount(); }
  bool HasRow() const { return !AtBOF() && !AtEOF(); }
  std::size_t CurrentRow() const { return filtered ? visible[static_cast<std::size_t>(pos)] : static_cast<std::size_t>(pos); }
  const Variant* Row(std::size_t r) const { return cells.data() + r * Width(); }

  void RequireOpen(std::string_view source) const {
    if (!open) Raise(err::kObjectClosed, source);
  }
  void RequireRow(std::string_view source) const {
    if (!HasRow()) Raise(err::kNoCurrentRow, source);
  }
  std::int32_t ColumnIndex(std::string_view name) const {
    auto it = byName.find(name);
    if (it == byName.end()) Raise(err::kItemNotFound, runtime::kFieldsSource);
    return it->second;
  }

  const Variant& Cell(std::int32_t column) const { return cells[CurrentRow() * Width() + static_cast<std::size_t>(column)]; }

  // Stores v, converted to the column's type, into the current row.
  void Write(std::int32_t column, Variant v, std::string_view source) {
    const Column& c = columns[static_cast<std::size_t>(column)];
    Variant stored;
    try {
      stored = ConvertForColumn(v, c.type);
    } catch (const RuntimeError& e) {
      throw RuntimeError(err::kMultipleStep, std::string(source),
                         runtime::RefusedValue(c.name, v, Holds(c.type), e.Number()) + ". " +
                             std::string(runtime::StandardMessage(err::kMultipleStep)));
    }
    const std::size_t row = CurrentRow();
    const std::size_t cell = row * Width() + static_cast<std::size_t>(column);
    if (row < loadedRows) {
      originals.try_emplace(cell, cells[cell]);
      editedRows.insert(row);
    }
    cells[cell] = std::move(stored);
  }

  const Variant& Original(std::int32_t column) const {
    static const Variant kNull = Variant::Null();
    const std::size_t row = CurrentRow();
    if (row >= loadedRows) return kNull;
    const std::size_t cell = row * Width() + static_cast<std::size_t>(column);
    auto it = originals.find(cell);
    return it != originals.end() ? it->second : cells[cell];
  }

  runtime::CriteriaNode Parse(std::string_view text, bool single) const {
    runtime::ColumnLookup lookup = [this](std::string_view name) -> std::optional<std::int32_t> {
      auto it = byName.find(name);
      if (it == byName.end()) return std::nullopt;
      return it->second;
    };
    return runtime::ParseCriteria(text, columns, lookup, single);
  }
};

// ---- Field --------------------------------------------------------------

const std::string& Field::Name() const { return owner_->impl_->columns[static_cast<std::size_t>(index_)].name; }

DataType Field::Type() const { return owner_->impl_->columns[static_cast<std::size_t>(index_)].type; }

const Variant& Field::Value() const {
  const Recordset::Impl& im = *owner_->impl_;
  im.RequireOpen(runtime::kFieldSource);
  im.RequireRow(runtime::kFieldSource);
  return im.Cell(index_);
}

void Field::Value(Variant v) {
  Recordset::Impl& im = *owner_->impl_;
  im.RequireOpen(runtime::kFieldSource);
  im.RequireRow(runtime::kFieldSource);
  im.Write(index_, std::move(v), runtime::kFieldSource);
}

const Variant& Field::OriginalValue() const {
  const Recordset::Impl& im = *owner_->impl_;
  im.RequireOpen(runtime::kFieldSource);
  im.RequireRow(runtime::kFieldSource);
  return im.Original(index_);
}

// ---- FieldCollection ----------------------------------------------------

std::int32_t FieldCollection::Count() const {
  owner_->impl_->RequireOpen(runtime::kFieldsSource);
  return static_cast<std::int32_t>(owner_->impl_->fields.size());
}

Field& FieldCollection::Item(std::string_view name) {
  Recordset::Impl& im = *owner_->impl_;
  im.RequireOpen(runtime::kFieldsSource);
  return im.fields[static_cast<std::size_t>(im.ColumnIndex(name))];
}

Field& FieldCollection::Item(std::int32_t index) {
  Recordset::Impl& im = *owner_->impl_;
  im.RequireOpen(runtime::kFieldsSource);
  if (index < 0 || static_cast<std::size_t>(index) >= im.fields.size()) {
    Raise(err::kItemNotFound, runtime::kFieldsSource);
  }
  return im.fields[static_cast<std::size_t>(index)];
}

// ---- Recordset ----------------------------------------------------------

Recordset::Recordset() : impl_(std::make_unique<Impl>(FieldCollection(this))) {}
Recordset::~Recordset() = default;

std::shared_ptr<Recordset> Recordset::Create() { return std::shared_ptr<Recordset>(new Recordset()); }

std::shared_ptr<Recordset> Recordset::FromRows(std::vector<Column> columns, std::vector<std::vector<Variant>> rows) {
  const std::size_t width = columns.size();
  if (rows.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    Raise(err::kOverflow, runtime::kRecordsetSource);
  }
  for (const auto& row : rows) {
    if (row.size() != width) Raise(err::kBadCriteria, runtime::kRecordsetSource);
  }
  std::vector<Variant> cells;
  cells.reserve(rows.size() * width);
  for (auto& row : rows) {
    for (Variant& v : row) cells.push_back(std::move(v));
    row = {};  // release each row's block as we go
  }
  if (width == 0) {
    // Rows without columns: keep their count.
    std::shared_ptr<Recordset> rs = FromCells(std::move(columns), {});
    rs->impl_->rowCount = rs->impl_->loadedRows = rows.size();
    return rs;
  }
  return FromCells(std::move(columns), std::move(cells));
}

std::shared_ptr<Recordset> Recordset::FromCells(std::vector<Column> columns, std::vector<Variant> cells) {
  const std::size_t width = columns.size();
  if (columns.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()) ||
      (width != 0 && cells.size() / width >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))) {
    Raise(err::kOverflow, runtime::kRecordsetSource);
  }
  if ((width == 0 && !cells.empty()) || (width != 0 && cells.size() % width != 0)) {
    Raise(err::kBadCriteria, runtime::kRecordsetSource);
  }
  std::shared_ptr<Recordset> rs(new Recordset());
  Impl& im = *rs->impl_;
  im.fields.reserve(width);
  for (std::size_t c = 0; c < width; ++c) {
    im.fields.push_back(Field(rs.get(), static_cast<std::int32_t>(c)));
    im.byName.try_emplace(columns[c].name, static_cast<std::int32_t>(c));  // the first of equal names wins
  }
  im.columns = std::move(columns);
  const std::size_t rows = width == 0 ? 0 : cells.size() / width;
  im.cells = std::move(cells);
  im.rowCount = rows;
  im.loadedRows = rows;
  im.open = true;
  im.pos = 0;
  return rs;
}

ObjectState Recordset::State() const { return impl_->open ? ObjectState::Open : ObjectState::Closed; }

bool Recordset::BOF() const {
  impl_->RequireOpen(runtime::kRecordsetSource);
  return impl_->AtBOF();
}

bool Recordset::EndOfFile() const {
  impl_->RequireOpen(runtime::kRecordsetSource);
  return impl_->AtEOF();
}

std::int32_t Recordset::RecordCount() const {
  impl_->RequireOpen(runtime::kRecordsetSource);
  return static_cast<std::int32_t>(impl_->VisibleCount());
}

void Recordset::MoveFirst() {
  Impl& im = *impl_;
  im.RequireOpen(runtime::kRecordsetSource);
  if (im.VisibleCount() == 0) Raise(err::kNoCurrentRow, runtime::kRecordsetSource);
  im.pos = 0;
}

void Recordset::MoveLast() {
  Impl& im = *impl_;
  im.RequireOpen(runtime::kRecordsetSource);
  if (im.VisibleCount() == 0) Raise(err::kNoCurrentRow, runtime::kRecordsetSource);
  im.pos = im.VisibleCount() - 1;
}

void Recordset::MoveNext() { Move(1); }

void Recordset::MovePrevious() { Move(-1); }

void Recordset::Move(std::int32_t n) {
  Impl& im = *impl_;
  im.RequireOpen(runtime::kRecordsetSource);
  // Moving towards an end needs not to be standing on that end already;
  // Move(0) needs a current row. An overshoot stops on BOF or EOF.
  if ((n == 0 && !im.HasRow()) || (n > 0 && im.AtEOF()) || (n < 0 && im.AtBOF())) {
    Raise(err::kNoCurrentRow, runtime::kRecordsetSource);
  }
  const std::int64_t target = im.pos + n;
  im.pos = std::clamp<std::int64_t>(target, -1, im.VisibleCount());
}

void Recordset::AddNew() {
  Impl& im = *impl_;
  im.RequireOpen(runtime::kRecordsetSource);
  if (im.rowCount + 1 >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    Raise(err::kOverflow, runtime::kRecordsetSource);
  }
  im.cells.resize(im.cells.size() + im.Width(), Variant::Null());
  const std::size_t row = im.rowCount++;
  if (im.filtered) im.visible.push_back(row);
  im.pos = im.VisibleCount() - 1;
}

FieldCollection& Recordset::Fields() {
  impl_->RequireOpen(runtime::kRecordsetSource);
  return impl_->fieldCollection;
}

Variant Recordset::Collect(std::string_view name) const {
  const Impl& im = *impl_;
  im.RequireOpen(runtime::kRecordsetSource);
  const std::int32_t column = im.ColumnIndex(name);
  im.RequireRow(runtime::kRecordsetSource);
  return im.Cell(column);
}

void Recordset::Collect(std::string_view name, Variant v) {
  Impl& im = *impl_;
  im.RequireOpen(runtime::kRecordsetSource);
  const std::int32_t column = im.ColumnIndex(name);
  im.RequireRow(runtime::kRecordsetSource);
  im.Write(column, std::move(v), runtime::kRecordsetSource);
}

std::int32_t Recordset::AbsolutePosition() const {
  const Impl& im = *impl_;
  im.RequireOpen(runtime::kRecordsetSource);
  if (im.VisibleCount() == 0) return PosUnknown;
  if (im.AtBOF()) return PosBOF;
  if (im.AtEOF()) return PosEOF;
  if (im.CurrentRow() >= im.loadedRows) return PosUnknown;  // an added row is not placed yet
  return static_cast<std::int32_t>(im.pos + 1);
}

Variant Recordset::Filter() const {
  impl_->RequireOpen(runtime::kRecordsetSource);
  return impl_->filter;
}

void Recordset::Filter(const Variant& criteria) {
  Impl& im = *impl_;
  im.RequireOpen(runtime::kRecordsetSource);
  std::vector<std::size_t> passing;
  bool filtered = true;
  Variant stored;
  switch (criteria.Type()) {
    case VarType::String: {
      const std::string text = criteria.CStr();
      if (text.empty()) {
        filtered = false;
        stored = Variant(std::int32_t{0});
        break;
      }
      const runtime::CriteriaNode tree = im.Parse(text, false);
      for (std::size_t r = 0; r < im.rowCount; ++r) {
        if (tree.Matches(im.Row(r))) passing.push_back(r);
      }
      stored = Variant(text);
      break;
    }
    case VarType::Integer:
    case VarType::Long:
    case VarType::Double:
    case VarType::Currency: {
      const double number = criteria.CDbl();
      // Groups of rows: 0 none (all rows), 1 rows with pending changes,
      // 3 every fetched row; 2 affected and 5 conflicting concern rows sent
      // to the database, and a set never sends, so those groups are empty.
      if (number == 0) {
        filtered = false;
      } else if (number == 1) {
        for (std::size_t r = 0; r < im.rowCount; ++r) {
          if (r >= im.loadedRows || im.editedRows.count(r) != 0) passing.push_back(r);
        }
      } else if (number == 3) {
        for (std::size_t r = 0; r < im.rowCount; ++r) passing.push_back(r);
      } else if (number != 2 && number != 5) {
        Raise(err::kBadCriteria, runtime::kRecordsetSource);
      }
      stored = Variant(static_cast<std::int32_t>(number));
      break;
    }
    default: Raise(err::kBadCriteria, runtime::kRecordsetSource);
  }
  im.filtered = filtered;
  im.visible = std::move(passing);
  im.filter = std::move(stored);
  im.pos = 0;
}

void Recordset::Find(std::string_view criteria, std::int32_t skipRows, SearchDirection direction) {
  Impl& im = *impl_;
  im.RequireOpen(runtime::kRecordsetSource);
  const runtime::CriteriaNode tree = im.Parse(criteria, true);
  const std::int64_t count = im.VisibleCount();
  if (count == 0) Raise(err::kNoCurrentRow, runtime::kRecordsetSource);
  auto rowAt = [&im](std::int64_t p) {
    return im.filtered ? im.visible[static_cast<std::size_t>(p)] : static_cast<std::size_t>(p);
  };
  if (direction == SearchDirection::Backward) {
    if (im.AtBOF()) return;  // nothing lies before BOF
    for (std::int64_t p = std::min<std::int64_t>(im.pos - skipRows, count - 1); p >= 0; --p) {
      if (tree.Matches(im.Row(rowAt(p)))) {
        im.pos = p;
        return;
      }
    }
    im.pos = -1;
  } else {
    if (im.AtEOF()) return;  // nothing lies past EOF
    for (std::int64_t p = std::max<std::int64_t>(im.pos + skipRows, 0); p < count; ++p) {
      if (tree.Matches(im.Row(rowAt(p)))) {
        im.pos = p;
        return;
      }
    }
    im.pos = count;
  }
}

void Recordset::Close() {
  Impl& im = *impl_;
  im.RequireOpen(runtime::kRecordsetSource);
  im.open = false;
  std::vector<Variant>().swap(im.cells);
  im.rowCount = 0;
  im.loadedRows = 0;
  im.originals.clear();
  im.editedRows.clear();
  im.filter = Variant(std::int32_t{0});
  im.filtered = false;
  std::vector<std::size_t>().swap(im.visible);
  im.pos = -1;
}

const std::vector<Column>& Recordset::Columns() const { return impl_->columns; }

}  // namespace tarnwick

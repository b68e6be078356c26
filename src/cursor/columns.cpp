// The column families' read and write rules: how a declared column property
// reads the current row and writes a change back (see columns.hpp).
#include "cursor/columns.hpp"

#include "frame/report_error.hpp"
#include "runtime/dates.hpp"
#include "runtime/raise.hpp"
#include "tarnwick/error.hpp"

namespace tarnwick::cursor {
namespace {

const Variant& CurrentValue(const Recordset& rs, std::string_view column) {
  return const_cast<Recordset&>(rs).Fields().Item(column).Value();
}

Variant EmptyValue(Family f) {
  switch (f) {
    case Family::Text:
    case Family::DateText: return Variant(std::string());
    case Family::Long: return Variant(std::int32_t{0});
    case Family::Integer: return Variant(std::int16_t{0});
    case Family::Date: return Variant(tarnwick::Date{0});
    case Family::Currency: return Variant(tarnwick::Currency{0});
    case Family::Boolean: return Variant(false);
    case Family::Bytes: return Variant(tarnwick::Bytes{});
  }
  return Variant();
}

}  // namespace

bool Ready(const Recordset* rs) {
  if (rs == nullptr || rs->State() == ObjectState::Closed) return false;
  // End-of-file is read before begin-of-file, as the record cursor always has.
  const bool eof = rs->EndOfFile();
  const bool bof = rs->BOF();
  return !(eof && bof);
}

Variant Read(const Recordset* rs, const ColumnProperty& p) {
  if (p.guard == Guard::None && rs == nullptr) runtime::Raise(err::kObjectNotSet);
  if (p.guard == Guard::Ready && !Ready(rs)) return EmptyValue(p.family);
  const Variant& v = CurrentValue(*rs, p.column);
  const bool zeroForNull = v.IsNull() && p.null == NullRule::Zero;
  switch (p.family) {
    case Family::Text: return Variant(v.Text());
    case Family::DateText: {
      const std::string text = v.Text();
      return Variant(text.empty() ? text : dates::FormatMmDdYyyy(text));
    }
    case Family::Long: return v.IsNull() ? Variant(std::int32_t{0}) : Variant(v.CLng());
    case Family::Integer: return zeroForNull ? EmptyValue(p.family) : Variant(v.CInt());
    case Family::Date: return zeroForNull ? EmptyValue(p.family) : Variant(v.CDate());
    case Family::Currency: return zeroForNull ? EmptyValue(p.family) : Variant(v.CCur());
    case Family::Boolean: return zeroForNull ? EmptyValue(p.family) : Variant(v.CBool());
    case Family::Bytes:
      if (zeroForNull) return EmptyValue(p.family);
      return Variant(v.AsBytes());
  }
  return Variant();
}

namespace {

// The kind of value a family's column holds, as a refused value's error names it.
VarType Holds(Family f) {
  switch (f) {
    case Family::Date:
    case Family::DateText: return VarType::Date;
    case Family::Long: return VarType::Long;
    case Family::Integer: return VarType::Integer;
    case Family::Currency: return VarType::Currency;
    case Family::Boolean: return VarType::Boolean;
    case Family::Bytes: return VarType::Bytes;
    case Family::Text: break;
  }
  return VarType::String;
}

void Collect(Recordset* rs, const ColumnProperty& p, const Variant& v) {
  switch (p.family) {
    case Family::Text: {
      std::string text = v.CStr();
      rs->Collect(p.column, text.empty() ? Variant::Null() : Variant(std::move(text)));
      return;
    }
    case Family::DateText: {
      const std::string text = v.CStr();
      rs->Collect(p.column, text.empty() ? Variant::Null() : Variant(dates::FormatMmDdYyyy(text)));
      return;
    }
    case Family::Long: rs->Collect(p.column, Variant(v.CLng())); return;
    case Family::Integer: rs->Collect(p.column, Variant(v.CInt())); return;
    case Family::Date: rs->Collect(p.column, Variant(v.CDate())); return;
    case Family::Currency: rs->Collect(p.column, Variant(v.CCur())); return;
    case Family::Boolean: rs->Collect(p.column, Variant(v.CBool())); return;
    case Family::Bytes: rs->Collect(p.column, v); return;
  }
}

}  // namespace

void Write(Recordset* rs, const ColumnProperty& p, const Variant& v) {
  if (!Ready(rs)) return;
  try {
    Collect(rs, p, v);
  } catch (const RuntimeError& e) {
    // A value the column cannot hold is told by the property's name and the
    // value given, with the number the conversion or the result set raised.
    const bool refused = runtime::IsConversionError(e.Number()) || e.Number() == err::kMultipleStep;
    if (!refused) throw;
    throw RuntimeError(e.Number(), e.Source(),
                       runtime::RefusedValue(p.property, v, Holds(p.family), e.Number()) + ". " +
                           std::string(runtime::StandardMessage(e.Number())));
  }
}

std::string ReadText(const DataObject& o, const ColumnProperty& p) {
  return Read(CursorAccess::ResultSet(o).get(), p).CStr();
}
std::int32_t ReadLong(const DataObject& o, const ColumnProperty& p) {
  return Read(CursorAccess::ResultSet(o).get(), p).CLng();
}
std::int16_t ReadInteger(const DataObject& o, const ColumnProperty& p) {
  return Read(CursorAccess::ResultSet(o).get(), p).CInt();
}
tarnwick::Currency ReadCurrency(const DataObject& o, const ColumnProperty& p) {
  return Read(CursorAccess::ResultSet(o).get(), p).CCur();
}
tarnwick::Date ReadDate(const DataObject& o, const ColumnProperty& p) {
  return Read(CursorAccess::ResultSet(o).get(), p).CDate();
}
bool ReadBoolean(const DataObject& o, const ColumnProperty& p) {
  return Read(CursorAccess::ResultSet(o).get(), p).CBool();
}
tarnwick::Bytes ReadBytes(const DataObject& o, const ColumnProperty& p) {
  // The family's rules, with the bytes copied once: images run to many megabytes.
  const Recordset* rs = CursorAccess::ResultSet(o).get();
  if (p.family != Family::Bytes) return Read(rs, p).AsBytes();
  if (p.guard == Guard::None && rs == nullptr) runtime::Raise(err::kObjectNotSet);
  if (p.guard == Guard::Ready && !Ready(rs)) return {};
  const Variant& v = CurrentValue(*rs, p.column);
  if (v.IsNull() && p.null == NullRule::Zero) return {};
  return v.AsBytes();
}
void WriteValue(DataObject& o, const ColumnProperty& p, const Variant& v) {
  Write(CursorAccess::ResultSet(o).get(), p, v);
}

void BindColumns(frame::Bindings& b, std::span<const ColumnProperty> columns) {
  for (const ColumnProperty& p : columns) {
    b.Get(p.property, [&p](Object& self, std::span<Variant>) {
      return Read(CursorAccess::ResultSet(static_cast<DataObject&>(self)).get(), p);
    });
    bool writable = false;
    for (const MemberInfo* m : b.Class().Find(p.property)) writable |= m->kind == InvokeKind::PropertyPut;
    if (writable) {
      b.Put(p.property, [&p](Object& self, std::span<Variant> args) {
        frame::detail::CheckArgumentCount(args.size(), 1);
        Write(CursorAccess::ResultSet(static_cast<DataObject&>(self)).get(), p, args[0]);
        return Variant();
      });
    }
  }
}

void BindCursorMembers(frame::Bindings& b) {
  const ClassInfo& info = b.Class();
  auto has = [&](std::string_view name) { return !info.Find(name).empty(); };
  auto self = [](Object& o) -> DataObject& { return static_cast<DataObject&>(o); };
  using A = CursorAccess;
  auto getter = [&](std::string_view name, auto fn) {
    if (has(name)) {
      b.Get(name, [self, fn](Object& o, std::span<Variant> args) {
        frame::detail::CheckArgumentCount(args.size(), 0);
        return frame::ToVariant(fn(self(o)));
      });
    }
  };
  auto method = [&](std::string_view name, auto fn) {
    if (has(name)) {
      b.Method(name, [self, fn](Object& o, std::span<Variant> args) {
        frame::detail::CheckArgumentCount(args.size(), 0);
        return frame::ToVariant(fn(self(o)));
      });
    }
  };
  if (has("ConnectionVariables")) {
    b.Method("ConnectionVariables", [self](Object& o, std::span<Variant> args) {
      frame::detail::CheckArgumentCount(args.size(), 5);
      return Variant(A::ConnectionVariables(self(o), args[0].CStr(), args[1].CStr(), args[2].CStr(),
                                            args[3].CStr(), args[4].CBool()));
    });
  }
  getter("Table", [](DataObject& o) { return A::Table(o); });
  getter("DataReady", [](DataObject& o) { return A::DataReady(o); });
  getter("BOF", [](DataObject& o) { return A::BOF(o); });
  getter("EOF", [](DataObject& o) { return A::EndOfFile(o); });
  if (has("RecordCount")) {
    const MemberInfo* rc = info.Find("RecordCount").front();
    if (rc->result == TypeCode::Integer) {
      getter("RecordCount", [](DataObject& o) { return A::RecordCountInteger(o); });
    } else {
      getter("RecordCount", [](DataObject& o) { return A::RecordCount(o); });
    }
  }
  method("MoveFirst", [](DataObject& o) { return A::MoveFirst(o); });
  method("MovePrevious", [](DataObject& o) { return A::MovePrevious(o); });
  method("MoveNext", [](DataObject& o) { return A::MoveNext(o); });
  method("MoveLast", [](DataObject& o) { return A::MoveLast(o); });
  method("ValidateData", [](DataObject&) { return false; });
}

bool KeyedLoad(DataObject& o, std::int32_t key, std::string_view existingCondition, std::string_view newRowCondition) {
  bool& newRecord = CursorAccess::NewRecord(o);
  std::string sql = "select * from " + CursorAccess::Table(o) + " ";
  if (key >= 1) {
    newRecord = false;
    sql.append(existingCondition).append(std::to_string(key)).append(" ");
  } else {
    newRecord = true;
    sql.append(newRowCondition);
  }
  std::shared_ptr<Recordset>& rs = CursorAccess::ResultSet(o);
  const std::string errorText = CursorAccess::Gateway(o).OpenRecordset(sql, rs, 0, true);
  if (!errorText.empty()) throw frame::EnterHandler{};
  if (!rs) return false;
  if (newRecord) {
    rs->AddNew();
    return true;
  }
  return !(rs->EndOfFile() && rs->BOF());
}

ListOutcome OpenList(DataObject& o, const std::string& sql) {
  std::shared_ptr<Recordset>& rs = CursorAccess::ResultSet(o);
  if (!CursorAccess::Gateway(o).OpenRecordset(sql, rs, 0, true).empty()) return ListOutcome::ErrorText;
  if (!rs || (rs->EndOfFile() && rs->BOF())) return ListOutcome::NoRows;
  return ListOutcome::Rows;
}

Recordset& RequireResultSet(const std::shared_ptr<Recordset>& rs) {
  if (!rs) runtime::Raise(err::kObjectNotSet);
  return *rs;
}

}  // namespace tarnwick::cursor

// The embedded engine's forward-only reading: one select stepped a row at a
// time, so that an export of any length holds one row in memory.
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "gateway/sqlite/engine.hpp"
#include "tarnwick/error.hpp"

namespace tarnwick::sqlite {

using namespace engine_detail;

namespace {

constexpr const char* kNotConnected = "Not connected to a database";
constexpr std::int32_t kDatabaseFailure = -2147467259;

// How an untyped (expression) column reads. A result set decides from all of
// its values: the first non-null value gives the kind, and a text column
// whose every value is an ISO date reads as dates.
enum class Untyped { Open, Dates, Values };

class StatementStream final : public RowStream {
 public:
  StatementStream(StatementLease lease, std::optional<ProcedureCall> call, std::string sql, Session& session)
      : call_(std::move(call)), lease_(std::move(lease)), sql_(std::move(sql)), session_(session), db_(session.db) {}

  // Steps to the first row and describes the columns. An error text, empty on success.
  std::string Start() {
    sqlite3_stmt* stmt = lease_.get();
    // Columns are read after the first step: a kept statement is compiled
    // again there when the schema changed since, and only then describes
    // what it returns.
    pending_ = sqlite3_step(stmt);
    if (pending_ != SQLITE_ROW && pending_ != SQLITE_DONE) return sqlite3_errmsg(db_);
    const int count = sqlite3_column_count(stmt);
    kinds_.resize(static_cast<std::size_t>(count));
    untyped_.assign(static_cast<std::size_t>(count), Untyped::Values);
    bool anyUntyped = false;
    for (int c = 0; c < count; ++c) {
      const char* declared = sqlite3_column_decltype(stmt, c);
      const SqlKind kind = KindOfDeclaredType(declared ? declared : "");
      kinds_[static_cast<std::size_t>(c)] = kind;
      const char* name = sqlite3_column_name(stmt, c);
      columns_.push_back(Column{name ? name : "", DataTypeOfKind(kind)});
      if (kind == SqlKind::None) {
        untyped_[static_cast<std::size_t>(c)] = Untyped::Open;
        anyUntyped = true;
      }
    }
    if (anyUntyped) return TypeUntypedColumns();
    return {};
  }

  const std::vector<Column>& Columns() override { return columns_; }

  bool Next() override {
    // A finished statement stepped again would start over.
    if (done_) return false;
    // Each row is held to the time limit on its own: the reader's pace
    // between rows is not the engine's work.
    Deadline deadline(session_);
    sqlite3_stmt* stmt = lease_.get();
    const int rc = pending_ != 0 ? std::exchange(pending_, 0) : sqlite3_step(stmt);
    if (rc == SQLITE_DONE) {
      done_ = true;
      return false;
    }
    if (rc != SQLITE_ROW) Fail();
    row_.resize(columns_.size());
    for (std::size_t c = 0; c < columns_.size(); ++c) {
      Variant value = ReadColumn(stmt, static_cast<int>(c), kinds_[c]);
      if (untyped_[c] == Untyped::Dates && value.Type() == VarType::String) {
        if (auto date = ParseIsoDate(value.CStr())) value = Variant(*date);
      }
      row_[c] = std::move(value);
    }
    return true;
  }

  const std::vector<Variant>& Row() const override { return row_; }

 private:
  [[noreturn]] void Fail() const {
    std::string why = sqlite3_errmsg(db_);
    if (session_.stopped) why += " (" + tsql::TimeLimitNote(session_.limitSeconds) + ")";
    throw RuntimeError(kDatabaseFailure, "DataGateway.OpenForwardOnly", "OpenRecordset \"" + sql_ + "\": " + why);
  }

  // Reads ahead as far as the untyped columns need to be decided, then goes
  // back to the first row. Most columns are decided by their first value;
  // only a column of dates (or of Nulls) is read to the end.
  std::string TypeUntypedColumns() {
    sqlite3_stmt* stmt = lease_.get();
    std::vector<bool> dates(columns_.size(), false);
    int rc = pending_;
    bool stepped = false;
    auto open = [&] {
      for (Untyped u : untyped_)
        if (u == Untyped::Open) return true;
      return false;
    };
    for (; rc == SQLITE_ROW && open(); rc = sqlite3_step(stmt), stepped = true) {
      for (std::size_t c = 0; c < columns_.size(); ++c) {
        if (untyped_[c] != Untyped::Open) continue;
        const int storage = sqlite3_column_type(stmt, static_cast<int>(c));
        if (storage == SQLITE_NULL) continue;
        const bool isDate =
            storage == SQLITE_TEXT &&
            ParseIsoDate(std::string_view(reinterpret_cast<const char*>(sqlite3_column_text(stmt, static_cast<int>(c))),
                                          static_cast<std::size_t>(sqlite3_column_bytes(stmt, static_cast<int>(c)))))
                .has_value();
        if (columns_[c].type == DataType::Variant) {
          // The first value seen: it gives the column's kind.
          columns_[c].type = storage == SQLITE_INTEGER ? DataType::Integer
                             : storage == SQLITE_FLOAT ? DataType::Double
                             : storage == SQLITE_BLOB  ? DataType::LongVarBinary
                             : isDate                  ? DataType::DBTimeStamp
                                                       : DataType::VarChar;
          if (!isDate) untyped_[c] = Untyped::Values;
        } else if (!isDate) {
          columns_[c].type = DataType::VarChar;
          untyped_[c] = Untyped::Values;
        }
      }
    }
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) return sqlite3_errmsg(db_);
    for (std::size_t c = 0; c < columns_.size(); ++c) {
      if (untyped_[c] == Untyped::Open) untyped_[c] = columns_[c].type == DataType::DBTimeStamp ? Untyped::Dates
                                                                                              : Untyped::Values;
    }
    if (stepped) {
      // Back to the first row; the bindings stay.
      sqlite3_reset(stmt);
      pending_ = sqlite3_step(stmt);
      if (pending_ != SQLITE_ROW && pending_ != SQLITE_DONE) return sqlite3_errmsg(db_);
    }
    return {};
  }

  std::optional<ProcedureCall> call_;  // holds the values bound to the statement, so it outlives it
  StatementLease lease_;
  std::string sql_;
  Session& session_;
  sqlite3* db_;
  std::vector<Column> columns_;
  std::vector<SqlKind> kinds_;
  std::vector<Untyped> untyped_;
  std::vector<Variant> row_;
  int pending_ = 0;  // the result of a step not yet handed out by Next
  bool done_ = false;
};

// True when nothing but blanks, semicolons and line ends follow.
bool OnlyBlanksAfter(std::string_view text, std::size_t from) {
  for (std::size_t i = from; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\0') break;
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != ';') return false;
  }
  return true;
}

}  // namespace

std::string Engine::MapArguments(tsql::Translation& translation, ProcedureCall& call) {
  call.values.resize(call.procedure->parameters.size());
  std::size_t position = 0;
  std::vector<bool> given(call.values.size(), false);
  for (auto& argument : translation.arguments) {
    int index;
    if (argument.name.empty()) {
      if (position >= call.values.size())
        return "procedure " + call.procedure->name + " takes " + std::to_string(call.values.size()) + " parameters";
      index = static_cast<int>(position++);
    } else {
      index = call.procedure->IndexOf(argument.name);
      if (index < 0) return "procedure " + call.procedure->name + " has no parameter " + argument.name;
    }
    if (given[static_cast<std::size_t>(index)])
      return "parameter " + call.procedure->parameters[static_cast<std::size_t>(index)].name + " is given twice";
    given[static_cast<std::size_t>(index)] = true;
    call.values[static_cast<std::size_t>(index)] = std::move(argument.value);
  }
  return {};
}

std::string Engine::OpenForwardOnly(const std::string& sql, std::unique_ptr<RowStream>& rows) {
  rows.reset();
  if (!db_) return kNotConnected;
  const auto failed = [this, &sql](const std::string& what) { return Note("OpenRecordset \"" + sql + "\": " + what); };
  Deadline deadline(*session_);
  try {
    tsql::Translation translation;
    if (auto e = Translate(sql, translation); !e.empty()) return failed(e);
    std::optional<ProcedureCall> call;
    std::string body;
    if (translation.kind == tsql::Translation::Kind::Exec) {
      call.emplace();
      if (auto e = LoadProcedure(*session_, translation.procedure, call->procedure); !e.empty()) return failed(e);
      if (call->procedure->builtin != BuiltinProcedure::None) return DataGateway::OpenForwardOnly(sql, rows);
      if (auto e = MapArguments(translation, *call); !e.empty()) return failed(e);
      body = call->procedure->body;
    } else {
      body = std::move(translation.sql);
    }
    StatementLease lease;
    std::size_t taken = 0;
    // A client's own text is compiled under the client's rules; a procedure's body is the office's.
    std::optional<ClientText> client;
    if (!call) client.emplace(*session_);
    // Anything but one reading statement that returns rows (several
    // statements, a command, a select that sets output parameters) runs as
    // the result set would have it, and is then walked.
    if (session_->statements.Prepare(db_, body, lease, taken) != SQLITE_OK || lease.get() == nullptr ||
        !OnlyBlanksAfter(body, taken) || !sqlite3_stmt_readonly(lease.get()) ||
        sqlite3_column_count(lease.get()) == 0 ||
        (call && sqlite3_column_name(lease.get(), 0) != nullptr && sqlite3_column_name(lease.get(), 0)[0] == '@')) {
      lease = StatementLease();
      return DataGateway::OpenForwardOnly(sql, rows);
    }
    const std::string what = call ? "Procedure " + call->procedure->name : std::string("the text");
    if (auto e = BindCallParameters(lease.get(), what, call ? &*call : nullptr, db_); !e.empty()) return failed(e);
    auto stream = std::make_unique<StatementStream>(std::move(lease), std::move(call), sql, *session_);
    if (auto e = stream->Start(); !e.empty()) return failed(what + ": " + e);
    rows = std::move(stream);
    return {};
  } catch (const std::exception& e) {
    return failed(e.what());
  }
}

}  // namespace tarnwick::sqlite

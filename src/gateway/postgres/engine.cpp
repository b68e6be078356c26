// The office server engine: connecting and checking the office, running
// rendered texts and procedure calls, and units of work (see engine.hpp).
#include "gateway/postgres/engine.hpp"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <exception>
#include <thread>
#include <utility>

#include "gateway/postgres/catalog.hpp"
#include "gateway/postgres/create.hpp"
#include "gateway/postgres/pool.hpp"
#include "runtime/text.hpp"
#include "tarnwick/error.hpp"

namespace tarnwick::postgres {

namespace {

constexpr const char* kNotConnected = "Not connected to a database";
// The number a failed database operation raises with (the provider's general failure).
constexpr std::int32_t kDatabaseFailure = -2147467259;
// How often a call that lost to a concurrent one is tried again, outside a unit of work.
constexpr int kRetries = 5;
// Longer texts are translated every time rather than kept; at most this many are kept.
constexpr std::size_t kLongestKeptText = 16 * 1024;
constexpr std::size_t kTranslationsKept = 128;

// A serialization failure or a deadlock: the call lost to another one and may be run again.
bool Retryable(const PGresult* result) {
  const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  if (!state) return false;
  const std::string_view s = state;
  return s == "40001" || s == "40P01";
}

std::string Lower(std::string_view name) { return runtime::ToLower(name); }

// Splits the text of a one-dimensional array of simple words ("{a,b,c}").
std::vector<std::string> ArrayWords(std::string_view text) {
  std::vector<std::string> out;
  if (text.size() < 2 || text.front() != '{' || text.back() != '}') return out;
  text = text.substr(1, text.size() - 2);
  while (!text.empty()) {
    std::size_t comma = text.find(',');
    std::string_view word = text.substr(0, comma);
    if (word.size() >= 2 && word.front() == '"' && word.back() == '"') word = word.substr(1, word.size() - 2);
    out.emplace_back(word);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return out;
}

std::string Value(const PGresult* r, int row, int col) {
  return PQgetisnull(r, row, col) ? std::string() : std::string(PQgetvalue(r, row, col), PQgetlength(r, row, col));
}

}  // namespace

int ProcedureInfo::IndexOf(std::string_view wanted) const {
  if (!wanted.empty() && wanted.front() == '@') wanted.remove_prefix(1);
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    if (runtime::EqualsNoCase(parameters[i].name, wanted)) return static_cast<int>(i);
  }
  return -1;
}

Engine::Engine() = default;

Engine::~Engine() { Close(); }

void Engine::Close() {
  call_.reset();
  executed_ = false;
  inUnit_ = false;
  office_.clear();
  procedures_.clear();
  translations_.clear();
  types_ = TypeMap();
  // Closing abandons an open unit of work: such a connection is never kept.
  GiveBack(settings_, std::move(conn_));
}

std::string Engine::Note(std::string error) {
  if (!error.empty()) lastError_ = error;
  return error;
}

bool Engine::Lost() const { return !conn_ || PQstatus(conn_.get()) != CONNECTION_OK; }

std::string Engine::Failure(const PGresult* result) {
  std::string text = ErrorText(conn_.get(), result);
  if (Lost()) {
    inUnit_ = false;
    return "The connection to the office server was lost: " + text;
  }
  // The server says "canceling statement due to statement timeout"; the
  // note says which limit it was and how long.
  const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  if (state && std::string_view(state) == "57014" && text.find("statement timeout") != std::string::npos)
    text += " (" + tsql::TimeLimitNote(limitSeconds_) + ")";
  else if (state && std::string_view(state) == "55P03" && text.find("lock timeout") != std::string::npos)
    text += " (waited the lock-wait limit of " + std::to_string(tsql::kLockWaitSeconds) +
            " s for what another unit of work holds)";
  return text;
}

// The limits every office connection works under: one statement, a wait for
// a lock, a unit of work left idle, and a client gone while its statement ran
// (the server looks every few seconds and stops working for it); and how its
// statements are planned.
std::string Engine::ApplyLimits() {
  const std::string sql = std::string(kOfficeSessionSettings) + "; SET statement_timeout = " + std::to_string(std::max(limitSeconds_, 0) * 1000) +
                          "; SET lock_timeout = " + std::to_string(tsql::kLockWaitSeconds * 1000) +
                          "; SET idle_in_transaction_session_timeout = " + std::to_string(kIdleUnitSeconds * 1000) +
                          "; SET client_connection_check_interval = 5000";
  return Exec(sql.c_str());
}

void Engine::SetCommandTimeout(std::int32_t seconds) {
  limitSeconds_ = seconds;
  if (conn_) ApplyLimits();
}

std::string Engine::Exec(const char* sql) {
  Result r(PQexec(conn_.get(), sql));
  return Succeeded(r.get()) ? std::string() : Failure(r.get());
}

bool Engine::SetConnection(const std::string& databaseName, const std::string& server, const std::string& userName,
                           const std::string& password, bool trusted, std::int32_t timeout, const std::string&,
                           const std::string&) {
  Close();
  ConnectionSettings settings;
  settings.server = server;
  settings.database = databaseName;
  settings.user = userName;
  settings.password = password;
  settings.trusted = trusted;
  settings.timeoutSeconds = timeout;
  std::string error;
  Connection conn = TakeConnection(settings, error);
  if (!conn) {
    lastError_ = std::move(error);
    return false;
  }
  conn_ = std::move(conn);
  settings_ = std::move(settings);
  if (auto e = ApplyLimits(); !e.empty()) {
    Close();
    lastError_ = "The database '" + databaseName + "' on the server '" + server + "' takes no time limits: " + e;
    return false;
  }
  if (auto e = Load(); !e.empty()) {
    Close();
    lastError_ = "The database '" + databaseName + "' on the server '" + server + "' " + e;
    return false;
  }
  lastError_.clear();
  return true;
}

// Checks the office's version and reads the catalog the engine works from.
std::string Engine::Load() {
  PGconn* c = conn_.get();
  {
    Result r(PQexec(c, "SELECT version FROM tw_office"));
    if (!Succeeded(r.get()) || PQntuples(r.get()) != 1) return "is not a filing-office database";
    const std::string version = Value(r.get(), 0, 0);
    if (version != std::to_string(kServerSchemaVersion))
      return "has schema version " + version + "; this library works with version " +
             std::to_string(kServerSchemaVersion) +
             (std::atoi(version.c_str()) < kServerSchemaVersion
                  ? " (an older office is brought up to it by `tarnwick upgrade`)"
                  : "");
  }
  {
    Result r(PQexec(c,
                    "SELECT t.oid, t.typname, t.typtype, t.typbasetype FROM pg_type t "
                    "JOIN pg_namespace n ON n.oid = t.typnamespace "
                    "WHERE n.nspname NOT IN ('pg_catalog', 'information_schema') AND t.typtype IN ('b', 'd')"));
    if (!Succeeded(r.get())) return "cannot be read: " + Failure(r.get());
    for (int i = 0; i < PQntuples(r.get()); ++i) {
      const Oid oid = static_cast<Oid>(std::stoul(Value(r.get(), i, 0)));
      if (Value(r.get(), i, 2) == "d") types_.AddDomain(oid, static_cast<Oid>(std::stoul(Value(r.get(), i, 3))));
      else types_.AddNamed(oid, Value(r.get(), i, 1));
    }
  }
  {
    Result r(PQexec(c,
                    "SELECT c.relname, a.attname, a.atttypid, a.attnotnull FROM pg_attribute a "
                    "JOIN pg_class c ON c.oid = a.attrelid JOIN pg_namespace n ON n.oid = c.relnamespace "
                    "WHERE n.nspname = current_schema() AND c.relkind IN ('r', 'v', 'm', 'p') "
                    "AND a.attnum > 0 AND NOT a.attisdropped"));
    if (!Succeeded(r.get())) return "cannot be read: " + Failure(r.get());
    for (int i = 0; i < PQntuples(r.get()); ++i) {
      const Oid type = static_cast<Oid>(std::stoul(Value(r.get(), i, 2)));
      ColumnKind& column = office_[Lower(Value(r.get(), i, 0))][Lower(Value(r.get(), i, 1))];
      column = types_.KindOf(type);
      column.notNull = Value(r.get(), i, 3) == "t";
    }
  }
  {
    Result r(PQexec(c,
                    "SELECT p.proname, array_to_string(coalesce(p.proallargtypes, p.proargtypes::oid[]), ','), "
                    "p.proargnames, p.proargmodes FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace "
                    "WHERE n.nspname = current_schema() AND p.prokind = 'p'"));
    if (!Succeeded(r.get())) return "cannot be read: " + Failure(r.get());
    for (int i = 0; i < PQntuples(r.get()); ++i) {
      ProcedureInfo info;
      info.name = Value(r.get(), i, 0);
      const std::string typeList = Value(r.get(), i, 1);
      std::vector<std::string> typeTexts;
      for (std::size_t at = 0; !typeList.empty() && at != std::string::npos;) {
        const std::size_t comma = typeList.find(',', at);
        typeTexts.push_back(typeList.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
        at = comma == std::string::npos ? comma : comma + 1;
      }
      const std::vector<std::string> names = ArrayWords(Value(r.get(), i, 2));
      const std::vector<std::string> modes = ArrayWords(Value(r.get(), i, 3));
      for (std::size_t k = 0; k < typeTexts.size(); ++k) {
        ProcedureParameter p;
        p.name = k < names.size() ? names[k] : std::string();
        p.type = static_cast<Oid>(std::stoul(typeTexts[k]));
        p.output = k < modes.size() && (modes[k] == "b" || modes[k] == "o");
        info.parameters.push_back(std::move(p));
      }
      info.returnsCursor = !info.parameters.empty() && runtime::EqualsNoCase(info.parameters.back().name, "tw_result");
      procedures_[Lower(info.name)] = std::move(info);
    }
  }
  return {};
}

bool Engine::InTransaction() { return conn_ && inUnit_; }

void Engine::BeginTransaction() {
  if (!conn_) return;
  if (inUnit_)
    throw RuntimeError(kDatabaseFailure, "DataGateway.BeginTransaction", Note("A unit of work is already open"));
  if (auto e = Exec("BEGIN"); !e.empty())
    throw RuntimeError(kDatabaseFailure, "DataGateway.BeginTransaction", Note("Cannot begin a unit of work: " + e));
  inUnit_ = true;
  unitClean_ = true;
}

void Engine::EndTransaction(bool commit) {
  if (!conn_) return;
  if (!inUnit_) {
    // The connection was lost inside the unit: its work is gone, and a
    // commit must not pass for done.
    if (commit && Lost())
      throw RuntimeError(kDatabaseFailure, "DataGateway.EndTransaction",
                         Note("Cannot commit the unit of work: the connection to the office server was lost"));
    return;
  }
  inUnit_ = false;
  if (!commit) {
    Exec("ROLLBACK");
    return;
  }
  Result r(PQexec(conn_.get(), "COMMIT"));
  if (!Succeeded(r.get())) {
    std::string why = Note("Cannot commit the unit of work: " + Failure(r.get()));
    if (!Lost() && PQtransactionStatus(conn_.get()) != PQTRANS_IDLE) Exec("ROLLBACK");
    throw RuntimeError(kDatabaseFailure, "DataGateway.EndTransaction", why);
  }
  // A transaction that had failed ends in a rollback even when asked to commit.
  if (std::string_view(PQcmdStatus(r.get())) == "ROLLBACK")
    throw RuntimeError(kDatabaseFailure, "DataGateway.EndTransaction",
                       Note("Cannot commit the unit of work: a failed step had undone it"));
}

std::string Engine::SqlSafeText(const std::string& text) { return runtime::DoubleApostrophes(text); }

std::string Engine::Translate(const std::string& sql, tsql::Translation& out) {
  if (auto kept = translations_.find(sql); kept != translations_.end()) {
    out = kept->second;
    return {};
  }
  if (auto e = tsql::Translate(sql, Renderer(office_), out); !e.empty()) return e;
  if (sql.size() <= kLongestKeptText) {
    if (translations_.size() >= kTranslationsKept) translations_.clear();
    translations_.emplace(sql, out);
  }
  return {};
}

std::string Engine::Render(const std::string& sql, std::string& out, tsql::Rewrites rewrites) {
  if (!conn_) return kNotConnected;
  tsql::Translation t;
  const std::string e = rewrites == tsql::Rewrites::Apply ? Translate(sql, t)
                                                           : tsql::Translate(sql, Renderer(office_, rewrites), t);
  if (!e.empty()) return e;
  if (t.kind == tsql::Translation::Kind::Exec) return "An exec text renders as a procedure call, not as a query";
  out = t.sql;
  return {};
}

template <typename Work>
std::string Engine::Atomically(Work&& work) {
  if (inUnit_) {
    if (auto e = Exec("SAVEPOINT tw_call"); !e.empty()) return "Cannot begin the call: " + e;
    bool retryable = false;
    std::string error = work(retryable);
    if (!Lost()) {
      if (!error.empty()) Exec("ROLLBACK TO SAVEPOINT tw_call");
      Exec("RELEASE SAVEPOINT tw_call");
    }
    // What ran may have written: a later failure must not undo it with the unit.
    if (error.empty()) unitClean_ = false;
    return error;
  }
  for (int attempt = 0;; ++attempt) {
    if (auto e = Exec("BEGIN"); !e.empty()) return "Cannot begin the call: " + e;
    bool retryable = false;
    std::string error = work(retryable);
    if (error.empty()) {
      Result r(PQexec(conn_.get(), "COMMIT"));
      if (!Succeeded(r.get())) {
        retryable = Retryable(r.get());
        error = "Cannot commit the call: " + Failure(r.get());
      }
    } else if (!Lost()) {
      Exec("ROLLBACK");
    }
    if (error.empty() || !retryable || attempt + 1 >= kRetries || Lost()) return error;
    // Lost to a concurrent call: wait a little, longer each time, and try again.
    std::this_thread::sleep_for(std::chrono::milliseconds(5 << attempt));
  }
}

namespace {

// Collects a result's columns and rows.
template <typename RowsT>
void Collect(const TypeMap& types, const PGresult* r, RowsT& out) {
  const int columns = PQnfields(r);
  const int rows = PQntuples(r);
  std::vector<TypeClass> classes(static_cast<std::size_t>(columns));
  std::vector<int> mods(static_cast<std::size_t>(columns));
  out.columns.clear();
  for (int c = 0; c < columns; ++c) {
    classes[static_cast<std::size_t>(c)] = types.ClassOf(PQftype(r, c));
    mods[static_cast<std::size_t>(c)] = PQfmod(r, c);
    out.columns.push_back({PQfname(r, c), DataTypeOf(classes[static_cast<std::size_t>(c)], PQfmod(r, c))});
  }
  out.rows.clear();
  out.rows.reserve(static_cast<std::size_t>(rows));
  for (int i = 0; i < rows; ++i) {
    std::vector<Variant> row;
    row.reserve(static_cast<std::size_t>(columns));
    for (int c = 0; c < columns; ++c) {
      if (PQgetisnull(r, i, c)) {
        row.push_back(Variant::Null());
        continue;
      }
      const std::size_t k = static_cast<std::size_t>(c);
      row.push_back(ReadValue(classes[k], mods[k], std::string_view(PQgetvalue(r, i, c), PQgetlength(r, i, c))));
    }
    out.rows.push_back(std::move(row));
  }
  out.hasRows = true;
}

}  // namespace

std::string Engine::RunQuery(const std::string& sql, Rows& rows) {
  // One statement is atomic by itself; inside a unit of work it still needs
  // a savepoint, so that its failure leaves the unit usable.
  const auto run = [&](bool& retryable) -> std::string {
    Result r(PQexecParams(conn_.get(), sql.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0));
    if (!Succeeded(r.get())) {
      retryable = Retryable(r.get());
      return Failure(r.get());
    }
    Collect(types_, r.get(), rows);
    return {};
  };
  if (inUnit_) return Atomically(run);
  for (int attempt = 0;; ++attempt) {
    bool retryable = false;
    std::string error = run(retryable);
    if (error.empty() || !retryable || attempt + 1 >= kRetries) return error;
    std::this_thread::sleep_for(std::chrono::milliseconds(5 << attempt));
  }
}

std::string Engine::RunCall(Call& call, bool keepRows, Rows& rows) {
  const ProcedureInfo& p = *call.procedure;
  std::string sql = "CALL " + QuoteIdentifier(p.name) + "(";
  std::vector<std::optional<std::string>> texts;
  // The general update takes the column it writes as a parameter of its own:
  // a refused @value names the column it was meant for.
  const auto column = [&] {
    for (std::size_t i = 0; i < p.parameters.size() && i < call.values.size(); ++i) {
      if (runtime::EqualsNoCase(p.parameters[i].name, "column") && call.values[i].Type() == VarType::String)
        return " (column '" + call.values[i].CStr() + "')";
    }
    return std::string();
  };
  int n = 0;
  for (std::size_t i = 0; i < p.parameters.size(); ++i) {
    const ProcedureParameter& param = p.parameters[i];
    if (p.returnsCursor && i + 1 == p.parameters.size()) {
      sql += std::string(n > 0 ? ", " : "") + QuoteIdentifier(param.name) + " => NULL";
      ++n;
      continue;
    }
    const Variant& value = call.values[i];
    // Inputs not given take their default (Null); outputs are always passed.
    if (value.IsEmpty() && !param.output) continue;
    std::optional<std::string> text;
    if (auto e = ParameterText(value, types_.ClassOf(param.type), text); !e.empty())
      return "Procedure " + p.name + ", parameter @" + param.name + column() + ": " + e;
    texts.push_back(std::move(text));
    sql += std::string(n > 0 ? ", " : "") + QuoteIdentifier(param.name) + " => $" + std::to_string(texts.size());
    ++n;
  }
  sql += ")";
  std::vector<const char*> values;
  for (const auto& t : texts) values.push_back(t ? t->c_str() : nullptr);
  const int count = static_cast<int>(values.size());
  const auto send = [&]() {
    return Result(PQexecParams(conn_.get(), sql.c_str(), count, nullptr, values.data(), nullptr, nullptr, 0));
  };
  if (!p.returnsCursor) {
    // A CALL is atomic by itself: outside a unit of work it needs no
    // transaction around it, inside one its savepoint travels with it.
    if (inUnit_) return CallUnderSavepoint(sql, values, call);
    for (int attempt = 0;; ++attempt) {
      Result r = send();
      if (Succeeded(r.get())) {
        std::string cursor;
        ReadOutputs(r.get(), call, cursor);
        return {};
      }
      std::string error = "Procedure " + p.name + ": " + Failure(r.get());
      if (!Retryable(r.get()) || attempt + 1 >= kRetries || Lost()) return error;
      std::this_thread::sleep_for(std::chrono::milliseconds(5 << attempt));
    }
  }
  const auto run = [&](bool& retryable) -> std::string {
    Result r = send();
    if (!Succeeded(r.get())) {
      retryable = Retryable(r.get());
      return "Procedure " + p.name + ": " + Failure(r.get());
    }
    std::string cursor;
    ReadOutputs(r.get(), call, cursor);
    if (cursor.empty()) return {};
    const std::string name = QuoteIdentifier(cursor);
    if (keepRows) {
      Result f(PQexec(conn_.get(), ("FETCH ALL FROM " + name).c_str()));
      if (!Succeeded(f.get())) {
        retryable = Retryable(f.get());
        return "Procedure " + p.name + ": " + Failure(f.get());
      }
      Collect(types_, f.get(), rows);
    }
    if (auto e = Exec(("CLOSE " + name).c_str()); !e.empty()) return "Procedure " + p.name + ": " + e;
    return {};
  };
  return Atomically(run);
}

void Engine::ReadOutputs(const PGresult* r, Call& call, std::string& cursor) const {
  const ProcedureInfo& p = *call.procedure;
  if (PQntuples(r) != 1) return;
  for (int c = 0; c < PQnfields(r); ++c) {
    const int index = p.IndexOf(PQfname(r, c));
    if (index < 0) continue;
    if (p.returnsCursor && static_cast<std::size_t>(index) + 1 == p.parameters.size()) {
      cursor = Value(r, 0, c);
      continue;
    }
    call.values[static_cast<std::size_t>(index)] =
        PQgetisnull(r, 0, c) ? Variant::Null()
                             : ReadValue(types_.ClassOf(PQftype(r, c)), PQfmod(r, c),
                                         std::string_view(PQgetvalue(r, 0, c), PQgetlength(r, 0, c)));
  }
}

// SAVEPOINT, the CALL and RELEASE go to the server together (libpq's
// pipeline), so a call inside a unit of work costs one round trip; when the
// call fails, the savepoint undoes it.
std::string Engine::CallUnderSavepoint(const std::string& sql, const std::vector<const char*>& values, Call& call) {
  PGconn* c = conn_.get();
  const std::string& name = call.procedure->name;
  if (unitClean_) {
    Result r(PQexecParams(c, sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(), nullptr, nullptr, 0));
    if (Succeeded(r.get())) {
      unitClean_ = false;
      std::string cursor;
      ReadOutputs(r.get(), call, cursor);
      return {};
    }
    std::string error = "Procedure " + name + ": " + Failure(r.get());
    if (Lost()) return error;
    // Nothing else was done in the unit: undoing it all undoes only this call.
    Exec("ROLLBACK");
    if (auto e = Exec("BEGIN"); !e.empty()) {
      inUnit_ = false;
      return error + "; the unit of work could not be begun again: " + e;
    }
    return error;
  }
  if (!PQenterPipelineMode(c)) return "Procedure " + name + ": " + Failure(nullptr);
  const bool sent = PQsendQueryParams(c, "SAVEPOINT tw_call", 0, nullptr, nullptr, nullptr, nullptr, 0) &&
                    PQsendQueryParams(c, sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(),
                                      nullptr, nullptr, 0) &&
                    PQsendQueryParams(c, "RELEASE SAVEPOINT tw_call", 0, nullptr, nullptr, nullptr, nullptr, 0) &&
                    PQpipelineSync(c);
  std::string error;
  if (!sent) error = Failure(nullptr);
  // One result (and its end) per statement, then the sync.
  for (int step = 0; sent && step < 3; ++step) {
    Result r(PQgetResult(c));
    if (!r) {
      if (error.empty()) error = Failure(nullptr);
      break;
    }
    const ExecStatusType status = PQresultStatus(r.get());
    if (status == PGRES_PIPELINE_ABORTED) {
      // skipped after an earlier failure
    } else if (!Succeeded(r.get())) {
      if (error.empty()) error = Failure(r.get());
    } else if (step == 1) {
      std::string cursor;
      ReadOutputs(r.get(), call, cursor);
    }
    while (PGresult* rest = PQgetResult(c)) PQclear(rest);
  }
  // Up to the sync's own result.
  for (int guard = 0; sent && !Lost() && guard < 8; ++guard) {
    Result r(PQgetResult(c));
    if (!r) continue;
    if (PQresultStatus(r.get()) == PGRES_PIPELINE_SYNC) break;
  }
  PQexitPipelineMode(c);
  if (!error.empty() && !Lost()) {
    Exec("ROLLBACK TO SAVEPOINT tw_call");
    Exec("RELEASE SAVEPOINT tw_call");
  }
  if (Lost()) inUnit_ = false;
  return error.empty() ? error : "Procedure " + name + ": " + error;
}

std::string Engine::PrepareProcedure(const std::string& name) {
  call_.reset();
  executed_ = false;
  if (!conn_) return Note(kNotConnected);
  auto found = procedures_.find(Lower(name));
  if (found == procedures_.end()) return Note("Could not find stored procedure '" + name + "'");
  Call call;
  call.procedure = &found->second;
  call.values.resize(found->second.parameters.size());
  call_ = std::move(call);
  return {};
}

std::string Engine::AddParameter(const std::string& name, const Variant& value) {
  if (!conn_) return Note(kNotConnected);
  if (!call_) return Note("AddParameter " + name + ": no procedure has been prepared");
  const int index = call_->procedure->IndexOf(name);
  if (index < 0 || (call_->procedure->returnsCursor && static_cast<std::size_t>(index) + 1 == call_->values.size()))
    return Note("Procedure " + call_->procedure->name + " has no parameter " + name);
  call_->values[static_cast<std::size_t>(index)] = value;
  return {};
}

std::string Engine::GetParameter(const std::string& name, Variant& value) {
  value = Variant::Null();
  if (!conn_) return Note(kNotConnected);
  if (!call_) return Note("GetParameter " + name + ": no procedure has been prepared");
  const int index = call_->procedure->IndexOf(name);
  if (index < 0) return Note("Procedure " + call_->procedure->name + " has no parameter " + name);
  if (!executed_) return Note("GetParameter " + name + ": procedure " + call_->procedure->name + " has not run");
  const Variant& held = call_->values[static_cast<std::size_t>(index)];
  if (!held.IsEmpty()) value = held;
  return {};
}

void Engine::FinishProcedure() {
  call_.reset();
  executed_ = false;
}

std::string Engine::ExecuteProcedure(std::int32_t& rowsAffected, bool returnsRows, std::shared_ptr<Recordset>& result,
                                     std::int32_t) {
  rowsAffected = 0;
  if (!conn_) return Note(kNotConnected);
  if (!call_) return Note("ExecuteProcedure: no procedure has been prepared");
  try {
    // The run works on a copy so that a failed call leaves the outputs unset.
    Call working = *call_;
    Rows rows;
    std::string error = RunCall(working, returnsRows, rows);
    executed_ = true;
    if (!error.empty()) return Note(std::move(error));
    *call_ = std::move(working);
    rowsAffected = -1;
    if (returnsRows) {
      result = rows.hasRows ? Recordset::FromRows(std::move(rows.columns), std::move(rows.rows)) : Recordset::Create();
    }
    return {};
  } catch (const std::exception& e) {
    return Note("Procedure " + call_->procedure->name + ": " + e.what());
  }
}

std::string Engine::MapArguments(const tsql::Translation& translation, Call& call) const {
  const ProcedureInfo& p = *call.procedure;
  const std::size_t inputs = p.parameters.size() - (p.returnsCursor ? 1 : 0);
  std::size_t position = 0;
  for (const tsql::ExecArgument& a : translation.arguments) {
    std::size_t index = 0;
    if (a.name.empty()) {
      if (position >= inputs) return "Procedure " + p.name + " has too many arguments specified";
      index = position++;
    } else {
      const int found = p.IndexOf(a.name);
      if (found < 0 || static_cast<std::size_t>(found) >= inputs)
        return "Procedure " + p.name + " has no parameter " + a.name;
      index = static_cast<std::size_t>(found);
    }
    call.values[index] = a.value;
  }
  return {};
}

std::string Engine::OpenRecordset(const std::string& sql, std::shared_ptr<Recordset>& result, std::int32_t, bool) {
  const auto failed = [&](const std::string& what) {
    result = Recordset::Create();
    return Note("OpenRecordset \"" + sql + "\": " + what);
  };
  if (!conn_) return failed(kNotConnected);
  try {
    tsql::Translation translation;
    if (auto e = Translate(sql, translation); !e.empty()) return failed(e);
    Rows rows;
    if (translation.kind == tsql::Translation::Kind::Exec) {
      auto found = procedures_.find(Lower(translation.procedure));
      if (found == procedures_.end()) return failed("Could not find stored procedure '" + translation.procedure + "'");
      Call call;
      call.procedure = &found->second;
      call.values.resize(found->second.parameters.size());
      if (auto e = MapArguments(translation, call); !e.empty()) return failed(e);
      if (auto e = RunCall(call, true, rows); !e.empty()) return failed(e);
    } else if (auto e = RunQuery(translation.sql, rows); !e.empty()) {
      return failed(e);
    }
    result = rows.hasRows ? Recordset::FromRows(std::move(rows.columns), std::move(rows.rows)) : Recordset::Create();
    return {};
  } catch (const std::exception& e) {
    return failed(e.what());
  }
}

std::unique_ptr<DataGateway> CreateServerEngine() { return std::make_unique<Engine>(); }

}  // namespace tarnwick::postgres

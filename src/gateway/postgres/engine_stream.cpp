// OpenForwardOnly on the office server: libpq's single-row mode hands the
// rows over as the server sends them, so an export of any length holds one
// row at a time.
#include <exception>
#include <utility>

#include "gateway/postgres/engine.hpp"
#include "gateway/row_stream.hpp"
#include "tarnwick/error.hpp"

namespace tarnwick::postgres {

namespace {
constexpr std::int32_t kDatabaseFailure = -2147467259;
constexpr const char* kSource = "DataGateway.OpenForwardOnly";
}  // namespace

class Engine::Stream final : public RowStream {
 public:
  explicit Stream(Engine& engine) : engine_(engine) {}
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  ~Stream() override {
    if (!done_) Abandon();
    if (savepoint_ && !engine_.Lost()) {
      if (failed_) engine_.Exec("ROLLBACK TO SAVEPOINT tw_call");
      engine_.Exec("RELEASE SAVEPOINT tw_call");
    }
  }

  // Sends the query; reads up to its first row. An error text on failure.
  std::string Start(const std::string& sql) {
    PGconn* c = engine_.conn_.get();
    if (engine_.inUnit_) {
      if (auto e = engine_.Exec("SAVEPOINT tw_call"); !e.empty()) return "Cannot begin the call: " + e;
      savepoint_ = true;
    }
    if (!PQsendQueryParams(c, sql.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0)) {
      done_ = failed_ = true;
      return engine_.Failure(nullptr);
    }
    PQsetSingleRowMode(c);
    Result first(PQgetResult(c));
    const ExecStatusType status = first ? PQresultStatus(first.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_SINGLE_TUPLE && status != PGRES_TUPLES_OK) {
      failed_ = true;
      std::string error = engine_.Failure(first.get());
      Drain();
      return error;
    }
    const PGresult* r = first.get();
    for (int i = 0; i < PQnfields(r); ++i) {
      classes_.push_back(engine_.types_.ClassOf(PQftype(r, i)));
      mods_.push_back(PQfmod(r, i));
      columns_.push_back({PQfname(r, i), DataTypeOf(classes_.back(), mods_.back())});
    }
    if (status == PGRES_SINGLE_TUPLE) {
      pending_ = std::move(first);
    } else {
      Drain();
    }
    return {};
  }

  const std::vector<Column>& Columns() override { return columns_; }

  bool Next() override {
    if (done_ && !pending_) return false;
    Result r = pending_ ? std::move(pending_) : Result(PQgetResult(engine_.conn_.get()));
    if (!r) {
      done_ = true;
      return false;
    }
    const ExecStatusType status = PQresultStatus(r.get());
    if (status == PGRES_SINGLE_TUPLE) {
      Read(r.get());
      return true;
    }
    if (status == PGRES_TUPLES_OK) {
      Drain();
      return false;
    }
    failed_ = true;
    std::string error = engine_.Failure(r.get());
    Drain();
    throw RuntimeError(kDatabaseFailure, kSource, engine_.Note("Reading the rows failed: " + error));
  }

  const std::vector<Variant>& Row() const override { return row_; }

 private:
  void Read(const PGresult* r) {
    row_.clear();
    for (int c = 0; c < PQnfields(r); ++c) {
      if (PQgetisnull(r, 0, c)) {
        row_.push_back(Variant::Null());
        continue;
      }
      const std::size_t k = static_cast<std::size_t>(c);
      row_.push_back(ReadValue(classes_[k], mods_[k], std::string_view(PQgetvalue(r, 0, c), PQgetlength(r, 0, c))));
    }
  }

  // Reads what is left of the results, so the connection is ready for the next call.
  void Drain() {
    while (PGresult* r = PQgetResult(engine_.conn_.get())) PQclear(r);
    done_ = true;
  }

  // Stops a query the reader left before its end: the server is asked to
  // cancel it rather than send every remaining row.
  void Abandon() {
    pending_.reset();
    if (PGcancel* cancel = PQgetCancel(engine_.conn_.get())) {
      char buffer[256];
      if (PQcancel(cancel, buffer, sizeof buffer)) failed_ = true;
      PQfreeCancel(cancel);
    }
    Drain();
  }

  Engine& engine_;
  std::vector<Column> columns_;
  std::vector<TypeClass> classes_;
  std::vector<int> mods_;
  std::vector<Variant> row_;
  Result pending_;
  bool done_ = false;
  bool failed_ = false;
  bool savepoint_ = false;
};

std::string Engine::OpenForwardOnly(const std::string& sql, std::unique_ptr<RowStream>& rows) {
  rows.reset();
  if (!conn_) return Note("Not connected to a database");
  tsql::Translation translation;
  try {
    if (auto e = Translate(sql, translation); !e.empty()) return Note("OpenForwardOnly \"" + sql + "\": " + e);
  } catch (const std::exception& e) {
    return Note("OpenForwardOnly \"" + sql + "\": " + e.what());
  }
  // A procedure's rows come through its cursor: they are collected first.
  if (translation.kind == tsql::Translation::Kind::Exec) return DataGateway::OpenForwardOnly(sql, rows);
  auto stream = std::make_unique<Stream>(*this);
  if (auto e = stream->Start(translation.sql); !e.empty()) return Note("OpenForwardOnly \"" + sql + "\": " + e);
  rows = std::move(stream);
  return {};
}

}  // namespace tarnwick::postgres

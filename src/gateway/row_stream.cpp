// The base way through a result forward only: open the whole result set, then
// walk it. Gateways that can stream rows override OpenForwardOnly.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "gateway/row_stream.hpp"
#include "runtime/raise.hpp"
#include "tarnwick/error.hpp"
#include "tarnwick/gateway.hpp"

namespace tarnwick {
namespace {

class RecordsetStream final : public RowStream {
 public:
  explicit RecordsetStream(std::shared_ptr<Recordset> rs) : rs_(std::move(rs)) {}

  const std::vector<Column>& Columns() override {
    if (rs_->State() == ObjectState::Closed) runtime::Raise(err::kObjectClosed);
    return rs_->Columns();
  }

  bool Next() override {
    if (started_) {
      if (!rs_->EndOfFile()) rs_->MoveNext();
    } else {
      Columns();
      started_ = true;
    }
    if (rs_->EndOfFile()) return false;
    FieldCollection& fields = rs_->Fields();
    row_.resize(static_cast<std::size_t>(fields.Count()));
    for (std::int32_t c = 0; c < fields.Count(); ++c) row_[static_cast<std::size_t>(c)] = fields.Item(c).Value();
    return true;
  }

  const std::vector<Variant>& Row() const override { return row_; }

 private:
  std::shared_ptr<Recordset> rs_;
  std::vector<Variant> row_;
  bool started_ = false;
};

}  // namespace

std::unique_ptr<RowStream> StreamOverRecordset(std::shared_ptr<Recordset> rs) {
  if (!rs) return nullptr;
  return std::make_unique<RecordsetStream>(std::move(rs));
}

std::string DataGateway::OpenForwardOnly(const std::string& sql, std::unique_ptr<RowStream>& rows) {
  rows.reset();
  std::shared_ptr<Recordset> rs;
  std::string error = OpenRecordset(sql, rs, 0, true);
  if (!error.empty()) return error;
  rows = StreamOverRecordset(std::move(rs));
  return {};
}

}  // namespace tarnwick

// The record cursor every data class shares: its result set, the moves over
// it, and the state properties (BOF, EOF, record count) clients read.
#include "tarnwick/data_object.hpp"
#include "runtime/raise.hpp"

#include "cursor/columns.hpp"
#include "tarnwick/error.hpp"

namespace tarnwick {
namespace {

Recordset& Require(const std::shared_ptr<Recordset>& rs) {
  if (!rs) runtime::Raise(err::kObjectNotSet);
  return *rs;
}

}  // namespace

// InitObjects: the object's own gateway and its fixed table name.
DataObject::DataObject(std::string_view className, std::string tableName)
    : Object(className), gateway_(CreateGateway()), table_(std::move(tableName)) {
  if (!gateway_) throw RuntimeError(err::kCannotCreateObject, "Tarnwick", "The data gateway could not be created");
}

// ReleaseObjects: the result set first, then the gateway; nothing is closed explicitly.
DataObject::~DataObject() {
  recordset_.reset();
  gateway_.reset();
}

DataGateway& DataObject::Gateway() const {
  if (!gateway_) runtime::Raise(err::kObjectNotSet);
  return *gateway_;
}

std::string DataObject::LastErrorText() const { return gateway_ ? gateway_->LastErrorText() : std::string(); }

bool DataObject::ConnectionVariables(const std::string& DatabaseName, const std::string& Source,
                                     const std::string& UsrName, const std::string& Pass, bool UseTrusted) {
  return Gateway().SetConnection(DatabaseName, Source, UsrName, Pass, UseTrusted, 0, "", "");
}

bool DataObject::DataReady() const { return cursor::Ready(recordset_.get()); }
bool DataObject::BOF() const { return DataReady() && recordset_->BOF(); }
bool DataObject::EndOfFile() const { return DataReady() && recordset_->EndOfFile(); }
std::int32_t DataObject::RecordCount() const { return DataReady() ? recordset_->RecordCount() : 0; }
std::int16_t DataObject::RecordCountInteger() const { return Variant(RecordCount()).CInt(); }

bool DataObject::MoveFirst() {
  Require(recordset_).MoveFirst();
  return false;
}

bool DataObject::MovePrevious() {
  Recordset& rs = Require(recordset_);
  if (rs.BOF()) rs.MoveFirst();
  else rs.MovePrevious();
  return false;
}

bool DataObject::MoveNext() {
  Recordset& rs = Require(recordset_);
  if (rs.EndOfFile()) rs.MoveLast();
  else rs.MoveNext();
  return false;
}

bool DataObject::MoveLast() {
  Require(recordset_).MoveLast();
  return false;
}

}  // namespace tarnwick

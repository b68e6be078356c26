// DataObject: the record cursor every data class shares.
//
// An object owns one data gateway (made through the gateway factory when the
// object is created) and the result set of its last query. Column properties
// read and write the current row of that result set; nothing reaches the
// database until a class's SaveData sends it.
//
// Cursor states: no result set (after creation), empty result set, and
// positioned. DataReady() is true only when positioned: a result set exists,
// is open, and is not at both BOF and EOF. Getters return their empty value
// and setters do nothing while DataReady() is false.
//
// The members below are protected; each class makes public exactly the ones
// it has. None of them reports through an error handler: a failure of the
// result set or the gateway reaches the caller unchanged.
//
// Thread safety: an object is called only on the thread that created it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "tarnwick/gateway.hpp"
#include "tarnwick/object.hpp"
#include "tarnwick/recordset.hpp"

namespace tarnwick {
namespace cursor {
class CursorAccess;
}

class DataObject : public Object {
 public:
  ~DataObject() override;
  // Why the object's last failing database operation failed, in the gateway's
  // words (the file and the cause for a connection, the statement and the
  // engine's reason for a query or a procedure). A method answers False on
  // such a failure; this tells the client why. Empty while nothing failed.
  std::string LastErrorText() const;

 protected:
  // Creates the object's gateway and stores its fixed table name ("" for none).
  DataObject(std::string_view className, std::string tableName);

  // Passes the settings to the gateway's SetConnection and returns its verdict.
  bool ConnectionVariables(const std::string& DatabaseName, const std::string& Source,
                           const std::string& UsrName, const std::string& Pass, bool UseTrusted);
  std::string Table() const { return table_; }
  bool DataReady() const;
  // REQUIRES nothing; false unless DataReady().
  bool BOF() const;
  bool EndOfFile() const;
  // The result set's row count when DataReady(), else 0.
  std::int32_t RecordCount() const;
  // The same count as a 16-bit Integer; above 32,767 raises overflow (6).
  std::int16_t RecordCountInteger() const;

  // REQUIRES: a query ran (else 91). The result set's own move rules apply
  // (3021 on an empty set). MovePrevious at BOF goes to the first row,
  // MoveNext at EOF to the last. Each returns false.
  bool MoveFirst();
  bool MovePrevious();
  bool MoveNext();
  bool MoveLast();
  bool ValidateData() { return false; }

  // The per-object state every data class shares.
  std::shared_ptr<Recordset>& ResultSet() { return recordset_; }
  const std::shared_ptr<Recordset>& ResultSet() const { return recordset_; }
  DataGateway& Gateway() const;
  bool& NewRecord() { return newRecord_; }
  bool NewRecord() const { return newRecord_; }

 private:
  friend class cursor::CursorAccess;
  bool newRecord_ = false;
  std::shared_ptr<Recordset> recordset_;
  std::unique_ptr<DataGateway> gateway_;
  std::string table_;
};

}  // namespace tarnwick

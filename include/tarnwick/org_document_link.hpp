// OrgDocumentLink: the record of a link between a filed document and a
// committee, shared by the two link classes (the committee that filed the
// document, and the committees the document affects). The members are
// protected; each class makes public the ones its interface has.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tarnwick/column_accessors.hpp"
#include "tarnwick/data_object.hpp"

namespace tarnwick {

class OrgDocumentLink : public DataObject {
 protected:
  // deleteProcedure: the delete procedure's name, which the filing link fixes
  // and the affected link builds from its table name.
  OrgDocumentLink(std::string_view className, std::string tableName, std::string deleteProcedure);

  TARNWICK_COLUMN(std::string, OrgID);
  TARNWICK_COLUMN(std::string, DocumentID);
  std::int32_t NewOrgID() const { return newOrgId_; }
  void NewOrgID(std::int32_t value) { newOrgId_ = value; }

  // Deletes the link of that committee and that document. True without
  // deleting anything when no link is loaded; false on a gateway error text.
  bool DeleteData(std::int32_t OrgID, std::int32_t DocumentID);
  // Loads every link of the document (DocumentID >= 1) or prepares one new
  // empty link row (anything else). False when none was found or on an error text.
  bool GetData(std::int32_t DocumentID = -1);
  // The group identifier of the committee, or 0.
  std::int32_t GetOrgGroupID(std::int32_t OrgID);
  // Inserts the current row as a new link, or moves the loaded link to
  // NewOrgID. False on a gateway error text.
  bool SaveData();

 private:
  std::string Source(std::string_view method) const;
  std::int32_t newOrgId_ = 0;
  std::string deleteProcedure_;
};

}  // namespace tarnwick

// clsXrf_Aff_Org_Document: the link between a filed document and a committee the document affects.
//
// Typical use: GetData(documentId) to load the links of a document (or
// GetData() for a new link), OrgID/DocumentID to read or set the current
// link, NewOrgID + SaveData to move a loaded link to another committee.
#pragma once

#include <cstdint>
#include <string>

#include "tarnwick/org_document_link.hpp"

namespace tarnwick {

class clsXrf_Aff_Org_Document : public OrgDocumentLink {
 public:
  clsXrf_Aff_Org_Document();
  ~clsXrf_Aff_Org_Document() override;

  using DataObject::Table;
  using DataObject::DataReady;
  using OrgDocumentLink::OrgID;
  using OrgDocumentLink::DocumentID;
  using OrgDocumentLink::NewOrgID;
  using DataObject::BOF;
  using DataObject::EndOfFile;
  // The row count as a 16-bit Integer: above 32,767 rows it raises overflow (6).
  std::int16_t RecordCount() const { return RecordCountInteger(); }
  using DataObject::ConnectionVariables;
  using OrgDocumentLink::DeleteData;
  using OrgDocumentLink::GetData;
  using OrgDocumentLink::GetOrgGroupID;
  using OrgDocumentLink::SaveData;
  using DataObject::ValidateData;
  using DataObject::MoveFirst;
  using DataObject::MovePrevious;
  using DataObject::MoveNext;
  using DataObject::MoveLast;

 protected:
  Variant Dispatch(const MemberInfo& member, std::span<Variant> args) override;
};

}  // namespace tarnwick

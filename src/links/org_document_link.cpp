// The committee–document link record, shared by the filing link and the
// affected-committee link: keyed load by document, insert or move through the
// table's procedures, delete, and the committee's group identifier.
#include "tarnwick/org_document_link.hpp"
#include "runtime/raise.hpp"

#include "cursor/columns.hpp"
#include "cursor/procedure.hpp"
#include "frame/report_error.hpp"
#include "tarnwick/error.hpp"

namespace tarnwick {
namespace {

#define TW_LINK_COLUMNS(COLUMN)                   \
  COLUMN(OrgID, "org_id", Text, ReadWrite)        \
  COLUMN(DocumentID, "document_id", Text, ReadWrite)
TW_COLUMN_TABLE(OrgDocumentLink, TW_LINK_COLUMNS);

}  // namespace

OrgDocumentLink::OrgDocumentLink(std::string_view className, std::string tableName, std::string deleteProcedure)
    : DataObject(className, std::move(tableName)), deleteProcedure_(std::move(deleteProcedure)) {}

std::string OrgDocumentLink::Source(std::string_view method) const {
  return std::string(Class().name) + "." + std::string(method);
}

TW_COLUMN_ACCESSORS(TW_LINK_COLUMNS)

bool OrgDocumentLink::GetData(std::int32_t DocumentID) {
  const std::string source = Source("GetData");
  return frame::Guarded({source.c_str()}, [&] {
    return cursor::KeyedLoad(*this, DocumentID, "where document_id = ", "where document_id is null ");
  });
}

std::int32_t OrgDocumentLink::GetOrgGroupID(std::int32_t OrgID) {
  const std::string source = Source("GetOrgGroupID");
  return frame::Guarded({source.c_str()}, [&] {
    const std::string sql = "SELECT group_id FROM ref_org where unique_id = " + std::to_string(OrgID) + " ";
    std::shared_ptr<Recordset> local = Recordset::Create();
    std::int32_t result = 0;
    const std::string errorText = Gateway().OpenRecordset(sql, local, 0, true);
    if (errorText.empty() && local && !(local->BOF() && local->EndOfFile())) {
      const Variant& groupId = local->Fields().Item("group_id").Value();
      if (!groupId.IsNull()) result = groupId.CLng();
    }
    // The local result set is closed on every way out; one the gateway left
    // unopened cannot be closed, and that failure is reported.
    if (!local) runtime::Raise(err::kObjectNotSet);
    local->Close();
    return result;
  });
}

bool OrgDocumentLink::SaveData() {
  DataGateway& gateway = Gateway();
  const std::string source = Source("SaveData");
  return frame::Guarded({source.c_str(), [&gateway] { cursor::EndOpenWork(gateway); }}, [&] {
    const auto current = [this](std::string_view column) {
      return std::function<Variant()>([this, column] {
        if (!ResultSet()) {
          runtime::Raise(err::kObjectNotSet);
        }
        return ResultSet()->Fields().Item(column).Value();
      });
    };
    std::vector<cursor::Parameter> inputs{{"@Org_id", current("org_id")}, {"@Document_id", current("document_id")}};
    std::string procedure;
    if (NewRecord()) {
      procedure = "sp_insert_" + Table() + "";
    } else {
      procedure = "sp_update_" + Table() + "";
      inputs.push_back({"@Value", Variant(newOrgId_)});
    }
    bool result = false;
    if (cursor::RunProcedure(gateway, procedure, inputs).empty()) {
      gateway.FinishProcedure();
      result = true;
    }
    cursor::EndOpenWork(gateway);
    return result;
  });
}

bool OrgDocumentLink::DeleteData(std::int32_t OrgID, std::int32_t DocumentID) {
  return cursor::DeleteThrough(Gateway(), DataReady(), Source("DeleteData"), deleteProcedure_,
                               {{"@org_id", Variant(OrgID)}, {"@document_id", Variant(DocumentID)}});
}

}  // namespace tarnwick

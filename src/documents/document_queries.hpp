// The text of the document search, shared by the document object and the
// programs that measure it: the select with its joins, and its order.
#pragma once

#include <string_view>

namespace tarnwick::documents {

// The document search: the columns of the document, its committee and its
// report link, joined to the candidate of a candidate committee.
inline constexpr std::string_view kDocumentListSelect =
    "SELECT RD.unique_id, RD.doc_type_code, rd.doc_type_desc, RD.doc_sub_type_code, rd.doc_sub_type_desc, "
    "RD.doc_year, RD.name_listed, RD.title, RD.delivery_method_code, rd.delivery_method_desc, "
    "RD.Doc_reason_code, rd.Doc_reason_desc, RD.receive_send_date, RD.orig_date, RD.delete_date, "
    "RD.update_date, RD.orig_user_id as user_id, rd.has_image, OC.org_name, OC.inhouse_name, rd.report_version_code, "
    "OC.id_1 + '-' + OC.id_2 + '-' + OC.id_3 + '-' + OC.id_4 as 'comm_id', "
    "OC.ref_group_id as 'org_group_id', rd.is_amendment, oc.previous_id, oc.status_desc, oc.comm_type_desc, "
    "rd.update_date, rd.begin_date, rd.end_date, xrd.report_id, "
    "case when isnull(xrd.report_id,'') = '' then '' else 'X' end as has_rpt_link "
    "FROM vw_zub_REF_document_detail RD "
    "left outer join XRF_Org_Document XCD ON RD.unique_id = XCD.document_id "
    "left outer join vw_zub_ORG_Committee_ref_current OC ON XCD.org_id = OC.ref_group_id "
    "left outer join (select oo1.ref_group_id, oo1.name_type_code,  "
    "  ona1.first_name , ona1.middle_name, ona1.last_name, ona1.suffix, ona1.nick_name "
    "  from VW_ZUB_ORG_Officers_Ref_Current as oo1 "
    "  left outer join VW_ZUB_ORG_Name_address_detail as ona1 on oo1.entity_id = ona1.unique_id "
    "  where oo1.name_type_code = 'cnd') as cnd "
    "  on oc.ref_group_id = cnd.ref_group_id and oc.Comm_type_code = 'cnc' "
    "left outer join xrf_report_document xrd ON RD.unique_id = xrd.document_id ";
inline constexpr std::string_view kDocumentListOrder =
    "ORDER BY inhouse_name, RD.name_listed, RD.receive_send_date desc, RD.orig_date, RD.Doc_type_code, "
    "RD.doc_sub_type_code ";

}  // namespace tarnwick::documents

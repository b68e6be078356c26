// The texts of the committee searches, shared by the committee object and the
// programs that measure it. Each search is these pieces joined as they stand,
// then the caller's condition text.
#pragma once

#include <string_view>

namespace tarnwick::committees {

// The committee list row: identifiers, names, type, the candidate (filled for
// candidate committees only), the treasurer, status and party.
inline constexpr std::string_view kCommitteeListSelect =
    "SELECT distinct fn.org_id, ro.group_id, ro.id_1, ro.id_2, ro.id_3, ro.id_4, fn.previous_id, "
    "fn.org_name, fn.comm_type_code, "
    "fn.comm_type_desc, cand.name_type_code, "
    "case fn.comm_type_code when 'cnc' then cand.first_name else '' end as 'cand_first_name', "
    "case fn.comm_type_code when 'cnc' then cand.middle_name else '' end as 'cand_middle_name', "
    "case fn.comm_type_code when 'cnc' then cand.last_name else '' end as 'cand_last_name', "
    "case fn.comm_type_code when 'cnc' then cand.suffix else '' end as 'cand_suffix', "
    "case fn.comm_type_code when 'cnc' then cand.nick_name else '' end as 'cand_nick_name', "
    "treas.name_type_code, "
    "treas.first_name as 'treas_first_name', treas.middle_name as 'treas_middle_name', "
    "treas.last_name as 'treas_last_name', treas.suffix as 'treas_suffix', "
    "treas.nick_name as 'treas_nick_name', fn.inhouse_name, ro.current_status_desc, fn.party_code, "
    "ro.current_status_code ";

// Reference rows joined to their detail rows (the first two pieces of the joins).
inline constexpr std::string_view kCommitteeDetailJoin =
    "FROM vw_zub_ref_org_detail ro "
    "left outer join vw_Zub_org_committee_detail fn on ro.group_id = fn.org_group_id ";

// The open candidate and treasurer terms with their names.
inline constexpr std::string_view kCommitteeOfficerJoins =
    "left outer join ( select oo1.org_group_id, oo1.name_type_code, na1.first_name, "
    "na1.middle_name, na1.last_name, "
    "na1.suffix , na1.nick_name, oo1.cand_office_code "
    "from org_officers oo1 "
    "left outer join org_name_address na1 on oo1.entity_id = na1.unique_id "
    "where (oo1.name_type_code = 'cnd' or oo1.name_type_code is null) "
    "AND oo1.trans_end_date is null ) cand on cand.org_group_id = fn.org_group_id "
    "left outer join ( select oo2.org_group_id, oo2.name_type_code, na2.first_name, "
    "na2.middle_name, na2.last_name, "
    "na2.suffix , na2.nick_name "
    "from org_officers oo2 "
    "left outer join org_name_address na2 on oo2.entity_id = na2.unique_id "
    "where (oo2.name_type_code = 'trs' or oo2.name_type_code is null) "
    "AND oo2.trans_end_date is null ) treas on treas.org_group_id = fn.org_group_id ";

// The current committee: its open detail row and the group's latest reference
// row (or a reference row without a date).
inline constexpr std::string_view kCurrentCommittee =
    "WHERE fn.trans_end_date is null "
    "AND (ro.trans_date = (SELECT max(trans_date) from ref_org where group_id = ro.group_id) "
    "or ro.trans_date is null) ";

// The committee list leaves out the non-registered reporting entities.
inline constexpr std::string_view kWithoutNrr = "and fn.comm_type_code <> 'NRR' ";

inline constexpr std::string_view kAffectedLinkJoin =
    "left outer join XRF_AFF_ORG_DOCUMENT xaod on ro.Group_id = xaod.Org_id ";
inline constexpr std::string_view kAffectedDocument = "and xaod.document_id = ";

// The short committee row.
inline constexpr std::string_view kCommitteeSelect =
    "SELECT distinct ro.group_id, ro.id_1, ro.id_2, ro.id_3, ro.id_4, fn.previous_id, "
    "fn.org_name, fn.comm_type_desc, fn.inhouse_name, ro.current_status_desc ";

}  // namespace tarnwick::committees

-- The correspondence list the office exports for mail merges: one row per
-- correspondence document (not deleted) with the committee it was sent to or
-- received from and the mailing address of that committee's treasurer.
--
-- Choices, each ignored when empty: comm_type_code (the committee's type),
-- doc_type_code (the document type; empty means correspondence, COR),
-- doc_sub_type_code, and the send/receive date range
-- receive_send_date_from .. receive_send_date_to (whole days, both ends
-- included). Dates may be written '3/5/2004' or ISO; in the list they read
-- mm/dd/yyyy. Documents linked to no committee are listed with empty
-- committee columns unless a committee type is chosen.
create procedure sp_misc_data_list_export(
  comm_type_code citext default null,
  doc_type_code citext default null,
  doc_sub_type_code citext default null,
  receive_send_date_from text default null,
  receive_send_date_to text default null,
  inout tw_result refcursor default null)
language plpgsql as $$
#variable_conflict use_column
declare
  v_comm_type citext := nullif(btrim(sp_misc_data_list_export.comm_type_code), '');
  v_doc_type citext := coalesce(nullif(btrim(sp_misc_data_list_export.doc_type_code), ''), 'COR');
  v_sub_type citext := nullif(btrim(sp_misc_data_list_export.doc_sub_type_code), '');
  v_b date := tw_date_text(sp_misc_data_list_export.receive_send_date_from);
  v_e date := tw_date_text(sp_misc_data_list_export.receive_send_date_to);
begin
  open tw_result for
  with treasurer as (
    select o.org_group_id, na.first_name, na.middle_name, na.last_name, na.suffix,
           na.address_1, na.address_2, na.city, na.state_code, na.zip
    from org_officers o
    join org_name_address na on na.unique_id = o.entity_id
    where o.name_type_code = 'TRS' and o.trans_end_date is null)
  select oc.id_1 || '-' || oc.id_2 || '-' || oc.id_3 || '-' || oc.id_4 as comm_id,
         oc.org_name as committee_name, oc.comm_type_desc as committee_type,
         btrim(coalesce(t.first_name, '') || ' ' || coalesce(t.middle_name, '')) || ' '
           || coalesce(t.last_name, '') || coalesce(' ' || t.suffix, '') as treasurer,
         t.address_1, t.address_2, t.city, t.state_code as state, t.zip,
         rd.doc_type_desc as document_type, rd.doc_sub_type_desc as document_sub_type,
         rd.Title as title, rd.Doc_reason_desc as reason,
         to_char(rd.receive_send_date, 'MM/DD/YYYY') as receive_send_date,
         rd.delivery_method_desc as delivery_method, rd.unique_id as document_id
  from vw_zub_ref_document_detail rd
  left outer join xrf_org_document x on x.document_id = rd.unique_id
  left outer join vw_zub_ORG_Committee_ref_current oc on oc.ref_group_id = x.org_id
  left outer join treasurer t on t.org_group_id = x.org_id
  where rd.doc_type_code = v_doc_type and rd.delete_date is null
    and (v_sub_type is null or rd.doc_sub_type_code = v_sub_type)
    and (v_comm_type is null or oc.comm_type_code = v_comm_type)
    and (v_b is null or rd.receive_send_date >= v_b)
    and (v_e is null or rd.receive_send_date < v_e + 1)
  order by rd.receive_send_date::date nulls first, oc.org_name nulls first, rd.unique_id;
end
$$;

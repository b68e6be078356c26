-- Removes committee org_id from the committees document document_id affects.
create procedure sp_delete_XRF_AFF_ORG_DOCUMENT(
  org_id integer default null,
  document_id integer default null)
language plpgsql as $$
#variable_conflict use_column
begin
  delete from XRF_AFF_ORG_DOCUMENT x where x.org_id = sp_delete_XRF_AFF_ORG_DOCUMENT.org_id and x.document_id = sp_delete_XRF_AFF_ORG_DOCUMENT.document_id;
end
$$;

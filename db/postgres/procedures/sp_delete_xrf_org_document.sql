-- Removes the link between committee org_id and document document_id.
create procedure sp_delete_xrf_org_document(
  org_id integer default null,
  document_id integer default null)
language plpgsql as $$
#variable_conflict use_column
begin
  delete from xrf_org_document x where x.org_id = sp_delete_xrf_org_document.org_id and x.document_id = sp_delete_xrf_org_document.document_id;
end
$$;

-- Moves a document's link from committee Org_id to committee Value.
-- When the document is already linked to Value the old link is dropped
-- instead, so that a document never carries the same committee twice.
create procedure sp_update_xrf_org_document(
  Org_id integer default null,
  Document_id integer default null,
  Value integer default null)
language plpgsql as $$
#variable_conflict use_column
begin
  delete from xrf_org_document x
  where x.org_id = sp_update_xrf_org_document.Org_id and x.document_id = sp_update_xrf_org_document.Document_id
    and sp_update_xrf_org_document.Value <> sp_update_xrf_org_document.Org_id
    and exists (select 1 from xrf_org_document y
                where y.org_id = sp_update_xrf_org_document.Value and y.document_id = sp_update_xrf_org_document.Document_id);
  update xrf_org_document x set org_id = sp_update_xrf_org_document.Value
  where x.org_id = sp_update_xrf_org_document.Org_id and x.document_id = sp_update_xrf_org_document.Document_id;
end
$$;

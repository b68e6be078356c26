-- Moves an affected-committee row of a document from committee Org_id to
-- committee Value; when Value is already recorded the old row is dropped.
create procedure sp_update_XRF_AFF_ORG_DOCUMENT(
  Org_id integer default null,
  Document_id integer default null,
  Value integer default null)
language plpgsql as $$
#variable_conflict use_column
begin
  delete from XRF_AFF_ORG_DOCUMENT x
  where x.org_id = sp_update_XRF_AFF_ORG_DOCUMENT.Org_id and x.document_id = sp_update_XRF_AFF_ORG_DOCUMENT.Document_id
    and sp_update_XRF_AFF_ORG_DOCUMENT.Value <> sp_update_XRF_AFF_ORG_DOCUMENT.Org_id
    and exists (select 1 from XRF_AFF_ORG_DOCUMENT y
                where y.org_id = sp_update_XRF_AFF_ORG_DOCUMENT.Value and y.document_id = sp_update_XRF_AFF_ORG_DOCUMENT.Document_id);
  update XRF_AFF_ORG_DOCUMENT x set org_id = sp_update_XRF_AFF_ORG_DOCUMENT.Value
  where x.org_id = sp_update_XRF_AFF_ORG_DOCUMENT.Org_id and x.document_id = sp_update_XRF_AFF_ORG_DOCUMENT.Document_id;
end
$$;

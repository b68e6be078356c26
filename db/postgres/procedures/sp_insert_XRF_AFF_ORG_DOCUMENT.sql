-- Records that a document affects committee Org_id (a complaint names it, a
-- penalty concerns it). Recording it twice leaves one row.
create procedure sp_insert_XRF_AFF_ORG_DOCUMENT(
  Org_id integer default null,
  Document_id integer default null)
language plpgsql as $$
#variable_conflict use_column
begin
  insert into XRF_AFF_ORG_DOCUMENT (org_id, document_id, orig_date)
  select sp_insert_XRF_AFF_ORG_DOCUMENT.Org_id, sp_insert_XRF_AFF_ORG_DOCUMENT.Document_id, localtimestamp(0)
  where not exists (select 1 from XRF_AFF_ORG_DOCUMENT x
                    where x.org_id = sp_insert_XRF_AFF_ORG_DOCUMENT.Org_id and x.document_id = sp_insert_XRF_AFF_ORG_DOCUMENT.Document_id);
end
$$;

-- Links a document to the committee that filed it. Org_id is the committee
-- group. Linking a document to a committee it is already linked to leaves
-- the one link there is.
create procedure sp_insert_xrf_org_document(
  Org_id integer default null,
  Document_id integer default null)
language plpgsql as $$
#variable_conflict use_column
begin
  insert into xrf_org_document (org_id, document_id, orig_date)
  select sp_insert_xrf_org_document.Org_id, sp_insert_xrf_org_document.Document_id, localtimestamp(0)
  where not exists (select 1 from xrf_org_document x
                    where x.org_id = sp_insert_xrf_org_document.Org_id and x.document_id = sp_insert_xrf_org_document.Document_id);
end
$$;

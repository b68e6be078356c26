-- Links a document to the committee that filed it. @Org_id is the committee
-- group. Linking a document to a committee it is already linked to leaves
-- the one link there is.
create procedure sp_insert_xrf_org_document
  @Org_id int,
  @Document_id int
as
insert into xrf_org_document (org_id, document_id, orig_date)
select @Org_id, @Document_id, datetime('now', 'localtime')
where not exists (select 1 from xrf_org_document
                  where org_id = @Org_id and document_id = @Document_id);

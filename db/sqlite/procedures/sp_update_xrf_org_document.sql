-- Moves a document's link from committee @Org_id to committee @Value.
-- When the document is already linked to @Value the old link is dropped
-- instead, so that a document never carries the same committee twice.
create procedure sp_update_xrf_org_document
  @Org_id int,
  @Document_id int,
  @Value int
as
delete from xrf_org_document
where org_id = @Org_id and document_id = @Document_id
  and @Value <> @Org_id
  and exists (select 1 from xrf_org_document
              where org_id = @Value and document_id = @Document_id);
update xrf_org_document set org_id = @Value
where org_id = @Org_id and document_id = @Document_id;

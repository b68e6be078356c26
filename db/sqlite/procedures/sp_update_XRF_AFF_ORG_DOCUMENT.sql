-- Moves an affected-committee row of a document from committee @Org_id to
-- committee @Value; when @Value is already recorded the old row is dropped.
create procedure sp_update_XRF_AFF_ORG_DOCUMENT
  @Org_id int,
  @Document_id int,
  @Value int
as
delete from XRF_AFF_ORG_DOCUMENT
where org_id = @Org_id and document_id = @Document_id
  and @Value <> @Org_id
  and exists (select 1 from XRF_AFF_ORG_DOCUMENT
              where org_id = @Value and document_id = @Document_id);
update XRF_AFF_ORG_DOCUMENT set org_id = @Value
where org_id = @Org_id and document_id = @Document_id;

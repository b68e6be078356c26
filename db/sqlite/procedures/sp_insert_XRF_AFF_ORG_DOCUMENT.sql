-- Records that a document affects committee @Org_id (a complaint names it, a
-- penalty concerns it). Recording it twice leaves one row.
create procedure sp_insert_XRF_AFF_ORG_DOCUMENT
  @Org_id int,
  @Document_id int
as
insert into XRF_AFF_ORG_DOCUMENT (org_id, document_id, orig_date)
select @Org_id, @Document_id, datetime('now', 'localtime')
where not exists (select 1 from XRF_AFF_ORG_DOCUMENT
                  where org_id = @Org_id and document_id = @Document_id);

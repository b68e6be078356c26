-- Removes committee @org_id from the committees document @document_id affects.
create procedure sp_delete_XRF_AFF_ORG_DOCUMENT
  @org_id int,
  @document_id int
as
delete from XRF_AFF_ORG_DOCUMENT where org_id = @org_id and document_id = @document_id;

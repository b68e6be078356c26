-- Removes the link between committee @org_id and document @document_id.
create procedure sp_delete_xrf_org_document
  @org_id int,
  @document_id int
as
delete from xrf_org_document where org_id = @org_id and document_id = @document_id;

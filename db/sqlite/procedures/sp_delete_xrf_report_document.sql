-- Removes the link between report @report_id and document @document_id.
create procedure sp_delete_xrf_report_document
  @report_id int,
  @document_id int
as
delete from xrf_report_document where report_id = @report_id and document_id = @document_id;

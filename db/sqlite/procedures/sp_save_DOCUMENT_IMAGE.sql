-- Saves the page images of document @document_id, or removes them.
--
-- With an image or a page count, the document's image row is written (added
-- or replaced in whole), the sizes are taken from the images, and the
-- document is marked as having an image when its document image is not empty.
-- Called with the document identifier alone (every other parameter null),
-- the document's images are removed and the mark is cleared.
create procedure sp_save_DOCUMENT_IMAGE
  @document_id int,
  @doc_page_ct int,
  @alt_doc_page_ct int,
  @doc_image image,
  @alt_doc_image image
as
-- Images belong to a document: saving them under an identifier that names no
-- document (or none at all) fails here, naming the reason, rather than
-- keeping them where no one would find them. (A trigger on the image table
-- would do the same but copy every image it sees.)
insert into images_need_a_document (document_id)
select (select unique_id from ref_document where unique_id = @document_id)
where not (@doc_page_ct is null and @alt_doc_page_ct is null
           and @doc_image is null and @alt_doc_image is null);
delete from images_need_a_document;
delete from DOCUMENT_IMAGE
where document_id = @document_id
  and @doc_page_ct is null and @alt_doc_page_ct is null
  and @doc_image is null and @alt_doc_image is null;
-- The first save's orig_date stays: a replacement leaves it out of the update.
-- (The select reads no table: one that read the image table would make
-- SQLite set the new row aside, and copy each image twice more, first.)
insert into DOCUMENT_IMAGE (document_id, doc_page_ct, alt_doc_page_ct, doc_image, alt_doc_image,
                            doc_image_sz, alt_doc_image_sz, orig_date, update_date)
select @document_id, @doc_page_ct, @alt_doc_page_ct, @doc_image, @alt_doc_image,
       length(@doc_image), length(@alt_doc_image),
       datetime('now', 'localtime'), datetime('now', 'localtime')
where not (@doc_page_ct is null and @alt_doc_page_ct is null
           and @doc_image is null and @alt_doc_image is null)
on conflict (document_id) do update set
  doc_page_ct = excluded.doc_page_ct,
  alt_doc_page_ct = excluded.alt_doc_page_ct,
  doc_image = excluded.doc_image,
  alt_doc_image = excluded.alt_doc_image,
  doc_image_sz = excluded.doc_image_sz,
  alt_doc_image_sz = excluded.alt_doc_image_sz,
  update_date = excluded.update_date;
-- The mark follows the image just saved (or removed): reading the size back
-- from the image row would walk the whole image to reach the column after it.
update ref_document
set has_image = coalesce(length(@doc_image) > 0, 0),
    update_date = datetime('now', 'localtime')
where unique_id = @document_id;

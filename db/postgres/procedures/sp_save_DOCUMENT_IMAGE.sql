-- Saves the page images of document document_id, or removes them.
--
-- With an image or a page count, the document's image row is written (added
-- or replaced in whole), the sizes are taken from the images, and the
-- document is marked as having an image when its document image is not empty.
-- Called with the document identifier alone (every other parameter null),
-- the document's images are removed and the mark is cleared.
create procedure sp_save_DOCUMENT_IMAGE(
  document_id integer default null,
  doc_page_ct integer default null,
  alt_doc_page_ct integer default null,
  doc_image bytea default null,
  alt_doc_image bytea default null)
language plpgsql as $$
#variable_conflict use_column
declare
  id integer := sp_save_DOCUMENT_IMAGE.document_id;
  removing boolean := sp_save_DOCUMENT_IMAGE.doc_page_ct is null and sp_save_DOCUMENT_IMAGE.alt_doc_page_ct is null
                      and sp_save_DOCUMENT_IMAGE.doc_image is null and sp_save_DOCUMENT_IMAGE.alt_doc_image is null;
begin
  if removing then
    delete from DOCUMENT_IMAGE di where di.document_id = id;
  else
    -- Images belong to a document: saving them under an identifier that
    -- names no document (or none at all) fails, naming the reason, rather
    -- than keeping them where no one would find them.
    if id is null or not exists (select 1 from ref_document rd where rd.unique_id = id) then
      raise exception using errcode = '23502',
        message = 'Images need a document: no ref_document row with unique_id ' || coalesce(id::text, 'null');
    end if;
    -- The first save's orig_date stays: a replacement leaves it out of the update.
    insert into DOCUMENT_IMAGE (document_id, doc_page_ct, alt_doc_page_ct, doc_image, alt_doc_image,
                                doc_image_sz, alt_doc_image_sz, orig_date, update_date)
    values (id, sp_save_DOCUMENT_IMAGE.doc_page_ct, sp_save_DOCUMENT_IMAGE.alt_doc_page_ct,
            sp_save_DOCUMENT_IMAGE.doc_image, sp_save_DOCUMENT_IMAGE.alt_doc_image,
            length(sp_save_DOCUMENT_IMAGE.doc_image), length(sp_save_DOCUMENT_IMAGE.alt_doc_image),
            localtimestamp(0), localtimestamp(0))
    on conflict (document_id) do update set
      doc_page_ct = excluded.doc_page_ct,
      alt_doc_page_ct = excluded.alt_doc_page_ct,
      doc_image = excluded.doc_image,
      alt_doc_image = excluded.alt_doc_image,
      doc_image_sz = excluded.doc_image_sz,
      alt_doc_image_sz = excluded.alt_doc_image_sz,
      update_date = excluded.update_date;
  end if;
  -- The mark follows the image just saved (or removed).
  update ref_document rd
  set has_image = coalesce(length(sp_save_DOCUMENT_IMAGE.doc_image) > 0, false),
      update_date = localtimestamp(0)
  where rd.unique_id = id;
end
$$;

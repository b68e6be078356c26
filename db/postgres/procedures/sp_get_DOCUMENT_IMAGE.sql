-- The page images of document document_id: one row for an existing
-- document, whether or not it has images yet (the image columns are then
-- null and the sizes 0), and no row for an identifier that names no document,
-- which is how a client asks for the columns of a new image row.
create procedure sp_get_DOCUMENT_IMAGE(
  document_id integer default null,
  inout tw_result refcursor default null)
language plpgsql as $$
#variable_conflict use_column
begin
  open tw_result for
  select rd.unique_id as document_id, di.doc_page_ct, di.alt_doc_page_ct,
         di.doc_image, di.alt_doc_image,
         coalesce(di.doc_image_sz, 0) as doc_image_sz,
         coalesce(di.alt_doc_image_sz, 0) as alt_doc_image_sz,
         di.orig_date, di.update_date
  from ref_document rd
  left outer join DOCUMENT_IMAGE di on di.document_id = rd.unique_id
  where rd.unique_id = sp_get_DOCUMENT_IMAGE.document_id;
end
$$;

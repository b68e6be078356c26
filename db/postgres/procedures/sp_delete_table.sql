-- Removes one record of one of the office's tables (letter case of the name
-- ignored; the name is quoted, never run). Deleting a record that is already
-- gone leaves the database as the caller wants it and is not an error.
create procedure sp_delete_table(
  "table" text default null,
  unique_id integer default null)
language plpgsql as $$
declare
  table_oid oid := tw_office_table('sp_delete_table', btrim(sp_delete_table."table"));
  table_name text := (select c.relname from pg_class c where c.oid = table_oid);
begin
  if not exists (select 1 from pg_attribute a where a.attrelid = table_oid and a.attname = 'unique_id'
                 and not a.attisdropped) then
    raise exception using errcode = '42703',
      message = 'sp_delete_table: table ''' || table_name || ''' has no unique_id column';
  end if;
  if sp_delete_table.unique_id is null then
    raise exception using errcode = '22023', message = 'sp_delete_table: @unique_id must be given';
  end if;
  execute format('delete from %I where unique_id = $1', table_name) using sp_delete_table.unique_id;
end
$$;

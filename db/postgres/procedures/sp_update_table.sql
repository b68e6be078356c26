-- Sets one column of one record: the value arrives as the text the library
-- makes of it ('3/4/2005', '2005-03-04 00:00:00', '1234.5', '$1,234.50',
-- 'True', '-1') and goes to the column's type: dates as a clerk types them or
-- ISO, yes/no as 1, -1, True, 0 or False, whole numbers rounded to even,
-- amounts with "$" and "," allowed, images as '\x' and hex figures. An empty
-- text is Null except in a text column. The table and the column must be the
-- office's own (letter case ignored); their names are looked up, never run. A
-- record that is not there is an error: the library would otherwise count an
-- edit as saved that was not.
--
-- The office's tables and columns, with their types, are known to
-- tw_office_column, and tw_set_column writes them: both are written from the
-- office's catalog when the office is built or upgraded (see
-- src/office/update_table_sql.hpp). A call reads no catalog, and each
-- column's UPDATE is a fixed statement whose plan the session keeps.
create or replace procedure sp_update_table(
  "table" text default null,
  "column" text default null,
  unique_id integer default null,
  value text default null)
language plpgsql as $$
declare
  wanted_table text := btrim(sp_update_table."table");
  wanted_column text := btrim(sp_update_table."column");
  id integer := sp_update_table.unique_id;
  given text := sp_update_table.value;
  target record;
  table_name text;
  column_name text;
  column_type text;
  type_name text;
  stored text;
  number numeric;
begin
  if wanted_table is null or wanted_table = '' then
    raise exception using errcode = '22023', message = 'sp_update_table: @table must name a table';
  end if;
  target := tw_office_column(wanted_table, wanted_column);
  table_name := target.table_name;
  column_name := target.column_name;
  column_type := target.column_type;
  type_name := target.type_name;
  if table_name is null then
    raise exception using errcode = '42P01',
      message = 'sp_update_table: the database has no table named ''' || wanted_table || '''';
  end if;
  if wanted_column is null or wanted_column = '' then
    raise exception using errcode = '22023', message = 'sp_update_table: @column must name a column';
  end if;
  if column_name is null then
    raise exception using errcode = '42703',
      message = 'sp_update_table: table ''' || table_name || ''' has no column ''' || sp_update_table."column" || '''';
  end if;
  if not target.keyed then
    raise exception using errcode = '42703',
      message = 'sp_update_table: table ''' || table_name || ''' has no unique_id column';
  end if;
  if id is null then
    raise exception using errcode = '22023', message = 'sp_update_table: @unique_id must be given';
  end if;

  -- The value as the column's type reads it.
  if given is null or (btrim(given) = '' and type_name not in ('citext', 'text', 'varchar', 'bpchar')) then
    stored := null;
  elsif type_name = 'bool' then
    if upper(btrim(given)) in ('TRUE', 'FALSE') then
      stored := upper(btrim(given)) = 'TRUE';
    else
      number := tw_number_text(given);
      if number is null then
        raise exception using errcode = '22P02', message = 'sp_update_table: @value for column ''' || column_name ||
          ''' of table ''' || table_name || ''': ''' || given || ''' cannot be stored as bit';
      end if;
      stored := number <> 0;
    end if;
  elsif type_name in ('int2', 'int4', 'int8', 'numeric', 'float4', 'float8') then
    if upper(btrim(given)) in ('TRUE', 'FALSE') then
      number := case when upper(btrim(given)) = 'TRUE' then 1 else 0 end;
    else
      number := tw_number_text(given);
    end if;
    if number is null then
      raise exception using errcode = '22P02', message = 'sp_update_table: @value for column ''' || column_name ||
        ''' of table ''' || table_name || ''': ''' || given || ''' cannot be stored as ' || column_type;
    end if;
    if type_name in ('int2', 'int4', 'int8') then
      -- Halves go to the even neighbour, as the library rounds.
      number := case when number - floor(number) = 0.5 and floor(number)::numeric % 2 = 0 then floor(number)
                     when number - floor(number) = 0.5 then floor(number) + 1
                     else round(number) end;
    end if;
    stored := number::text;
  elsif type_name in ('timestamp', 'date') then
    stored := tw_datetime_text(given)::text;
    if stored is null then
      raise exception using errcode = '22007', message = 'sp_update_table: @value for column ''' || column_name ||
        ''' of table ''' || table_name || ''': ''' || given || ''' cannot be stored as datetime';
    end if;
  elsif type_name = 'bytea' then
    if given !~ '^\\x([0-9a-fA-F]{2})*$' then
      raise exception using errcode = '22P02', message = 'sp_update_table: @value for column ''' || column_name ||
        ''' of table ''' || table_name || ''': a text cannot be stored as image';
    end if;
    stored := given;
  else
    stored := given;
  end if;

  if tw_set_column(table_name, column_name, id, stored) = 0 then
    raise exception using errcode = 'P0002',
      message = 'sp_update_table: table ''' || table_name || ''' has no row with unique_id ' || id;
  end if;
end
$$;

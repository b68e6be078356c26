-- Sets one column of one record: the value arrives as the text the library
-- makes of it ('3/4/2005', '2005-03-04 00:00:00', '1234.5', '$1,234.50',
-- 'True', '-1') and goes to the column's type: dates as a clerk types them or
-- ISO, yes/no as 1, -1, True, 0 or False, whole numbers rounded to even,
-- amounts with "$" and "," allowed, images as '\x' and hex figures. An empty
-- text is Null except in a text column. The table and the column must be the
-- office's own (letter case ignored); their names are quoted, never run. A
-- record that is not there is an error: the library would otherwise count an
-- edit as saved that was not.
create procedure sp_update_table(
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
  table_oid oid;
  table_name text;
  column_name text;
  column_type text;
  type_name text;
  stored text;
  number numeric;
  changed bigint;
begin
  table_oid := tw_office_table('sp_update_table', wanted_table);
  table_name := (select c.relname from pg_class c where c.oid = table_oid);
  if wanted_column is null or wanted_column = '' then
    raise exception using errcode = '22023', message = 'sp_update_table: @column must name a column';
  end if;
  -- Columns are named in lower case: the catalog's index finds them at once,
  -- and only a column named in other letters needs the table's columns read.
  select a.attname, format_type(a.atttypid, a.atttypmod), t.typname
  into column_name, column_type, type_name
  from pg_attribute a join pg_type t on t.oid = a.atttypid
  where a.attrelid = table_oid and a.attname = lower(wanted_column) and a.attnum > 0 and not a.attisdropped;
  if column_name is null then
    select a.attname, format_type(a.atttypid, a.atttypmod), t.typname
    into column_name, column_type, type_name
    from pg_attribute a join pg_type t on t.oid = a.atttypid
    where a.attrelid = table_oid and a.attnum > 0 and not a.attisdropped and lower(a.attname) = lower(wanted_column);
  end if;
  if column_name is null then
    raise exception using errcode = '42703',
      message = 'sp_update_table: table ''' || table_name || ''' has no column ''' || sp_update_table."column" || '''';
  end if;
  if not exists (select 1 from pg_attribute a where a.attrelid = table_oid and a.attname = 'unique_id'
                 and not a.attisdropped) then
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

  execute format('update %I set %I = $1::%s where unique_id = $2', table_name, column_name, column_type)
  using stored, id;
  get diagnostics changed = row_count;
  if changed = 0 then
    raise exception using errcode = 'P0002',
      message = 'sp_update_table: table ''' || table_name || ''' has no row with unique_id ' || id;
  end if;
end
$$;

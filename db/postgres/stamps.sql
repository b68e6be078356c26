-- Every change to a row of a table with an update_date stamps it with the
-- time of the change, unless the change itself sets update_date. Run by the
-- office builder after the schema and by the upgrade of an older office;
-- running it again changes nothing.
create or replace function tw_stamp_update() returns trigger
language plpgsql as $$
begin
  if new.update_date is not distinct from old.update_date then
    new.update_date := localtimestamp(0);
  end if;
  return new;
end
$$;

do $$
declare
  t record;
begin
  for t in select c.relname from pg_class c join pg_attribute a on a.attrelid = c.oid
           where c.relnamespace = 'public'::regnamespace and c.relkind = 'r'
             and a.attname = 'update_date' and not a.attisdropped loop
    execute format('drop trigger if exists tr_stamp_update on %I', t.relname);
    execute format('create trigger tr_stamp_update before update on %I for each row '
                   'execute function tw_stamp_update()', t.relname);
  end loop;
end
$$;

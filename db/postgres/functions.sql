-- Functions the office's procedures use to read the texts clerks type.
-- Each replaces any older one of its name, so that the upgrade of an office
-- runs this file again.

-- A day that exists, or Null: years 100 to 9999, months 1 to 12, days of the month.
create or replace function tw_make_date(y integer, m integer, d integer) returns date
language plpgsql immutable as $$
begin
  if y is null or m is null or d is null or y < 100 or y > 9999 or m < 1 or m > 12 or d < 1 then
    return null;
  end if;
  if d > extract(day from (make_date(y, m, 1) + interval '1 month' - interval '1 day')) then
    return null;
  end if;
  return make_date(y, m, d);
end
$$;

-- A year as typed: two figures (or one) 00-29 are 2000-2029, 30-99 are
-- 1930-1999; three or four figures stand as written.
create or replace function tw_year_text(y text) returns integer
language sql immutable as $$
  select case when length(y) <= 2 then
              case when y::integer < 30 then 2000 + y::integer else 1900 + y::integer end
         else y::integer end
$$;

-- The month a name stands for: "January" to "December", their three-letter
-- abbreviations and "Sept", in any letter case; Null for another word.
create or replace function tw_month_name(word text) returns integer
language sql immutable as $$
  select case
    when lower(word) = 'sept' then 9
    else (select k from unnest(array['january', 'february', 'march', 'april', 'may', 'june', 'july',
                                     'august', 'september', 'october', 'november', 'december'])
                        with ordinality as n(name, k)
          where lower(word) = name or lower(word) = left(name, 3))
  end
$$;

-- The date and time a clerk's text names, read as every date text of the
-- office is: "3/5/2004", "3-5-04", "3.5.2004", "3 5 2004" (month, day, year;
-- day, month, year when that is no date; a first field of three or four
-- figures is the year: "2004-03-05"), "March 5, 2004", "5-Mar-2004",
-- "2004 Mar 5", optionally followed by a time "h:mm", "h:mm:ss" with AM or
-- PM ("3/5/2004 2:30:00 PM", "2004-03-05 14:30:00", "2004-03-05T14:30").
-- Null for Null, an empty text, or a text that names no date (a day that
-- does not exist, a year outside 100-9999, other words).
create or replace function tw_datetime_text(value text) returns timestamp(0)
language plpgsql stable as $$
declare
  t text := lower(btrim(value, E' \t'));
  part text[];
  seconds integer := 0;
  h integer;
  mi integer;
  s integer;
  suffix text;
  fields text[];
  word text;
  numbers text[];
  month integer;
  day date;
  year_now integer := extract(year from localtimestamp)::integer;
begin
  if t is null or t = '' then
    return null;
  end if;
  -- A time alone ("12:00:00 AM", "14:30", "2 PM") is that time on the
  -- runtime's first day, 30 December 1899, as the client's own reader has it.
  part := regexp_match(t, '^(\d{1,2})(?::(\d{1,2})(?::(\d{1,2}))?)?\s*(am|pm|a|p)?$');
  if part is not null and (part[2] is not null or part[4] is not null) then
    h := part[1]::integer;
    mi := coalesce(part[2]::integer, 0);
    s := coalesce(part[3]::integer, 0);
    if mi > 59 or s > 59 or h > 23 or (part[4] is not null and (h > 12 or h = 0)) then
      return null;
    end if;
    if part[4] in ('am', 'a') and h = 12 then
      h := 0;
    elsif part[4] in ('pm', 'p') and h < 12 then
      h := h + 12;
    end if;
    return timestamp '1899-12-30 00:00:00' + make_interval(secs => h * 3600 + mi * 60 + s);
  end if;
  -- The time at the end, after a blank (or a "T" after an ISO date).
  part := regexp_match(t, '^(.*?\d)(?:\s+|(?<=^\d{4}-\d{1,2}-\d{1,2})t)(\d{1,2})(?::(\d{1,2}))?(?::(\d{1,2})(?:\.\d+)?)?\s*(am|pm|a|p)?$');
  if part is not null and (part[3] is not null or part[5] is not null) then
    h := part[2]::integer;
    mi := coalesce(part[3]::integer, 0);
    s := coalesce(part[4]::integer, 0);
    suffix := part[5];
    if mi > 59 or s > 59 or h > 23 then
      return null;
    end if;
    if suffix in ('am', 'a') then
      if h > 12 then
        return null;
      end if;
      if h = 12 then
        h := 0;
      end if;
    elsif suffix in ('pm', 'p') then
      if h = 0 then
        h := 12;
      elsif h < 12 then
        h := h + 12;
      end if;
    end if;
    seconds := h * 3600 + mi * 60 + s;
    t := btrim(part[1]);
  end if;

  -- Three numbers.
  fields := regexp_match(t, '^(\d{1,4})(?:\s*[-/.]\s*|\s+)(\d{1,4})(?:\s*[-/.]\s*|\s+)(\d{1,4})$');
  if fields is not null then
    if length(fields[1]) >= 3 then
      day := tw_make_date(fields[1]::integer, fields[2]::integer, fields[3]::integer);
    else
      day := coalesce(tw_make_date(tw_year_text(fields[3]), fields[1]::integer, fields[2]::integer),
                      tw_make_date(tw_year_text(fields[3]), fields[2]::integer, fields[1]::integer));
    end if;
    return day + make_interval(secs => seconds);
  end if;

  -- Two numbers: month and day of this year, else day and month, else month
  -- and year; a field of three or four figures is the year.
  fields := regexp_match(t, '^(\d{1,4})(?:\s*[-/.]\s*|\s+)(\d{1,4})$');
  if fields is not null then
    if length(fields[1]) >= 3 then
      day := tw_make_date(fields[1]::integer, fields[2]::integer, 1);
    elsif length(fields[2]) >= 3 then
      day := tw_make_date(fields[2]::integer, fields[1]::integer, 1);
    else
      day := coalesce(tw_make_date(year_now, fields[1]::integer, fields[2]::integer),
                      tw_make_date(year_now, fields[2]::integer, fields[1]::integer),
                      tw_make_date(tw_year_text(fields[2]), fields[1]::integer, 1));
    end if;
    return day + make_interval(secs => seconds);
  end if;

  -- A month name with one or two numbers, in any order.
  if t ~ '^[a-z0-9]+(?:[\s,./-]*[a-z0-9]+){0,2}$' and t ~ '[a-z]' then
    word := (regexp_match(t, '[a-z]+'))[1];
    if t ~ '[a-z]+[^a-z]+[a-z]+' then
      return null;
    end if;
    month := tw_month_name(word);
    if month is null then
      return null;
    end if;
    select array_agg(x[1]) into numbers from regexp_matches(t, '(\d+)', 'g') as x;
    if numbers is null or array_length(numbers, 1) > 2 or exists (select 1 from unnest(numbers) n where length(n) > 4) then
      return null;
    end if;
    if array_length(numbers, 1) = 1 then
      if length(numbers[1]) >= 3 or numbers[1]::integer > 31 then
        day := tw_make_date(tw_year_text(numbers[1]), month, 1);
      else
        day := tw_make_date(year_now, month, numbers[1]::integer);
      end if;
    elsif length(numbers[1]) >= 3 and t ~ '^\d' then
      day := tw_make_date(numbers[1]::integer, month, numbers[2]::integer);
    else
      day := coalesce(tw_make_date(tw_year_text(numbers[2]), month, numbers[1]::integer),
                      tw_make_date(tw_year_text(numbers[1]), month, numbers[2]::integer));
    end if;
    return day + make_interval(secs => seconds);
  end if;
  return null;
end
$$;

-- The day a date argument of a procedure names (its time left out), or
-- Null. Only texts shaped as the office writes dates count: ISO
-- ("2004-03-05", "2004-03-05 14:30:00", "20040305"), month/day/year with
-- "/", "-" or "." between one or two figures and a year of two or four
-- ("3/5/2004", "3-5-04", a time may follow after a blank), or a month name
-- with a four-figure year ("March 5, 2004"). Anything else ("2004", "3/5",
-- "cnc") sets no limit.
create or replace function tw_date_text(value text) returns date
language plpgsql stable as $$
declare
  t text := btrim(value, ' ');
begin
  if t is null or t = '' then
    return null;
  elsif t ~ '^\d{8}$' then
    return tw_make_date(substr(t, 1, 4)::integer, substr(t, 5, 2)::integer, substr(t, 7, 2)::integer);
  elsif t ~ '^\d{4}-\d{2}-\d{2}([ Tt]\d{2}:\d{2}(:\d{2}(\.\d+)?)?)?$'
        or t ~ '^\d{1,2}([-/.])\d{1,2}\1(\d{2}|\d{4})( |$)'
        or (t ~* '[a-z]{3}' and t ~ '\d{4}') then
    return tw_datetime_text(t)::date;
  end if;
  return null;
end
$$;

-- An amount typed as text: "1,234.50" and "$1234.50" read as 1234.5. Null
-- for Null or an empty text; a text that starts with no number reads as 0,
-- and the number it starts with is read.
create or replace function tw_money_text(value text) returns numeric
language sql immutable as $$
  select case
    when nullif(btrim(replace(replace(value, ',', ''), '$', '')), '') is null then null
    else coalesce((regexp_match(btrim(replace(replace(value, ',', ''), '$', '')),
                                '^[+-]?(?:\d+\.?\d*|\.\d+)(?:e[+-]?\d+)?', 'i'))[1]::numeric, 0)
  end
$$;

-- A yes/no as the library sends it: 1, -1 or True is yes, 0 or False is no
-- (any letter case); Null or an empty text is Null. Another text is refused.
create or replace function tw_yes_no_text(value text) returns boolean
language plpgsql immutable as $$
begin
  if value is null or btrim(value) = '' then
    return null;
  elsif upper(btrim(value)) in ('1', '-1', 'TRUE') then
    return true;
  elsif upper(btrim(value)) in ('0', 'FALSE') then
    return false;
  end if;
  raise exception using errcode = '22P02', message = 'a yes/no value must be 1, -1, True, 0 or False, not ''' || value || '''';
end
$$;

-- A date argument of a procedure that stores it: Null for Null or an empty
-- text, the date and time the text names, and an error naming the argument
-- for a text that names no date (a date column cannot keep it as typed).
create or replace function tw_document_date(value text, argument text) returns timestamp(0)
language plpgsql stable as $$
declare
  result timestamp(0);
begin
  if value is null or btrim(value) = '' then
    return null;
  end if;
  result := tw_datetime_text(value);
  if result is null then
    raise exception using errcode = '22007',
      message = argument || ': ''' || value || ''' is no date';
  end if;
  return result;
end
$$;

-- A number typed as text ("1234.5", "-3", "$1,234.50", "1e3"), or Null for
-- a text that is no number.
create or replace function tw_number_text(value text) returns numeric
language plpgsql immutable as $$
declare
  t text := btrim(replace(replace(value, ',', ''), '$', ''));
begin
  if t !~* '^[+-]?(\d+\.?\d*|\.\d+)(e[+-]?\d+)?$' then
    return null;
  end if;
  return t::numeric;
end
$$;

-- The office table a general procedure names (letter case ignored): one of
-- the office's own tables, never the server's catalogs nor the office marker.
-- An error names the procedure and the table that is not there.
create or replace function tw_office_table(procedure_name text, wanted text) returns oid
language plpgsql stable as $$
declare
  found oid;
begin
  if wanted is null or wanted = '' then
    raise exception using errcode = '22023', message = procedure_name || ': @table must name a table';
  end if;
  -- The office's tables are named in lower case, which the catalog's index
  -- finds at once; only a name in other letters needs the whole catalog read.
  select c.oid into found
  from pg_class c
  where c.relname = lower(wanted) and c.relnamespace = 'public'::regnamespace and c.relkind = 'r'
    and c.relname not like 'tw\_%';
  if found is null then
    select c.oid into found
    from pg_class c
    where c.relnamespace = 'public'::regnamespace and c.relkind = 'r'
      and lower(c.relname) = lower(wanted) and c.relname not like 'tw\_%';
  end if;
  if found is null then
    raise exception using errcode = '42P01',
      message = procedure_name || ': the database has no table named ''' || wanted || '''';
  end if;
  return found;
end
$$;

-- A whole number typed as text, read as the office's file engine casts a
-- text: the number it starts with ("2004", " 42 ", "12abc" reads 12), 0 when
-- it starts with none, Null for Null or an empty text.
create or replace function tw_integer_text(value text) returns integer
language sql immutable as $$
  select case
    when nullif(btrim(value), '') is null then null
    else coalesce((regexp_match(btrim(value), '^[+-]?\d{1,9}'))[1]::integer, 0)
  end
$$;

-- The forgiving name search: the committees one of whose names has every
-- word of find_text as the start of one of its words, in any order, blind to
-- case, accents and apostrophes (tw_name_words), or whose acronym is
-- find_text whole. name_kinds lists the kinds of name that count, among
-- 'committee', 'candidate' and 'treasurer', separated by commas. At most
-- row_limit rows.
--
-- One row per committee, for its best name. The rows come ranked: a name
-- whose every word was typed whole before one matched by prefixes; then the
-- committee's own names before its candidates' and those before its
-- treasurers'; then active committees (ACT), then the others, terminated
-- ones (TRM) last; then the latest filing first (none last); then the
-- committee's number. Names compare byte by byte (collate "C"), as written.
create procedure sp_find_names(
  find_text text default null,
  name_kinds text default null,
  row_limit integer default null,
  inout tw_result refcursor default null)
-- The planner cannot tell how few names a prefix finds and would read the
-- name table whole; the search is planned with the indexes alone.
language plpgsql set enable_seqscan = off as $$
#variable_conflict use_column
declare
  v_words text[] := string_to_array(nullif(tw_name_words(sp_find_names.find_text, 1), ''), ' ');
  v_kinds text := ',' || replace(sp_find_names.name_kinds, ' ', '') || ',';
  v_prefixes tsquery;
  v_whole tsquery;
  v_squashed text := array_to_string(v_words, '');
begin
  -- Each word a quoted lexeme (a quote doubled, a backslash escaped), taken
  -- as it is: no parser, no dictionary.
  select string_agg(q || ':*', ' & ')::tsquery, string_agg(q, ' & ')::tsquery
    into v_prefixes, v_whole
  from (select '''' || replace(replace(w, '\', '\\'), '''', '''''') || '''' as q from unnest(v_words) w) t;

  -- Each name found keyed by how well it matched (whole words first, then
  -- the committee's order of its names); each committee's least key is its
  -- best name, which no other name of the committee shares.
  open tw_result for
  with hits as (
    select n.org_id, n.kind, n.name,
           case when n.words_tsv @@ v_whole then 0 else 1000000 end + n.name_rank as k
    from tw_name n where n.words_tsv @@ v_prefixes and strpos(v_kinds, ',' || n.kind || ',') > 0
    union all
    select n.org_id, n.kind, n.name, n.name_rank
    from tw_name n where n.acronym_key = v_squashed and strpos(v_kinds, ',' || n.kind || ',') > 0),
  best as (select distinct on (h.org_id) h.org_id, h.k, h.kind, h.name from hits h order by h.org_id, h.k)
  select b.kind, b.org_id, c.org_name, b.name as matched_name, c.status_code, c.last_filed as last_filed_date
  from best b join tw_name_committee c on c.org_id = b.org_id
  order by b.k >= 1000000, case b.kind when 'committee' then 0 when 'candidate' then 1 else 2 end,
           case when c.status_code = 'ACT' then 0 when c.status_code = 'TRM' then 2 else 1 end,
           c.last_filed desc nulls last, b.org_id
  limit case when sp_find_names.row_limit >= 0 then sp_find_names.row_limit end;
end
$$;

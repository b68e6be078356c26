-- The forgiving name search: the committees one of whose names has every
-- word of @find_text as the start of one of its words, in any order, blind to
-- case, accents and apostrophes (tw_name_words), or whose acronym is @find_text
-- whole. @name_kinds lists the kinds of name that count, among 'committee',
-- 'candidate' and 'treasurer', separated by commas. At most @row_limit rows.
--
-- One row per committee, for its best name. The rows come ranked: a name
-- whose every word was typed whole before one matched by prefixes; then the
-- committee's own names before its candidates' and those before its
-- treasurers'; then active committees (ACT), then the others, terminated
-- ones (TRM) last; then the latest filing first (none last); then the
-- committee's number.
create procedure sp_find_names
  @find_text varchar(4000),
  @name_kinds varchar(100),
  @row_limit int
as
with q as (select tw_name_words(@find_text, 1) as w),
  m as (select '"' || replace(w, ' ', '"* "') || '"*' as prefixes,
               '"' || replace(w, ' ', '" "') || '"' as whole,
               replace(w, ' ', '') as squashed,
               ',' || replace(@name_kinds, ' ', '') || ',' as kinds
        from q where w <> ''),
  -- Each name found, keyed by how well it matched: a name whose words were
  -- typed whole before one matched by prefixes, then the committee's order of
  -- its names (name_rank).
  hits as (
    select n.org_id, n.kind, n.name,
           (n.unique_id not in (select rowid from tw_name_fts where tw_name_fts match (select whole from m)))
             * 1000000 + n.name_rank as k
    from tw_name_fts join tw_name n on n.unique_id = tw_name_fts.rowid
    where tw_name_fts match (select prefixes from m)
      and instr((select kinds from m), ',' || n.kind || ',') > 0
    union all
    select n.org_id, n.kind, n.name, n.name_rank
    from tw_name n where n.acronym_key = (select squashed from m)
      and instr((select kinds from m), ',' || n.kind || ',') > 0),
  -- Each committee's best name: kind and name are those of the row with the
  -- least key, which no other name of the committee shares.
  best as (select org_id, min(k) as k, kind, name from hits group by org_id)
select b.kind, b.org_id, c.org_name, b.name as matched_name, c.status_code,
       c.last_filed as last_filed_date
from best b join tw_name_committee c on c.org_id = b.org_id
order by b.k >= 1000000, case b.kind when 'committee' then 0 when 'candidate' then 1 else 2 end,
         case when c.status_code = 'ACT' then 0 when c.status_code = 'TRM' then 2 else 1 end,
         c.last_filed is null, c.last_filed desc, b.org_id
limit @row_limit;

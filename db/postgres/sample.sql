-- Fixed rows of the sample office, loaded before its generated committees,
-- staff and documents: the counties of its state, and codes that are no
-- longer or not yet in force, so that lists as of a date differ from the
-- full tables.

insert into LKS_COUNTY (Code, Description, Sequence, effective_date, expire_date, Velm_id) values
  ('ASH', 'Ashford',     1, '1900-01-01 00:00:00', null, 1),
  ('BEL', 'Bellmont',    2, '1900-01-01 00:00:00', null, 2),
  ('BRK', 'Brookhaven',  3, '1900-01-01 00:00:00', null, 3),
  ('CAL', 'Caldwell',    4, '1900-01-01 00:00:00', null, 4),
  ('CED', 'Cedar',       5, '1900-01-01 00:00:00', null, 5),
  ('DUN', 'Dunmore',     6, '1900-01-01 00:00:00', null, 6),
  ('ELM', 'Elmwood',     7, '1900-01-01 00:00:00', null, 7),
  ('FAI', 'Fairbank',    8, '1900-01-01 00:00:00', null, 8),
  ('GRA', 'Granite',     9, '1900-01-01 00:00:00', null, 9),
  ('HAR', 'Harlow',     10, '1900-01-01 00:00:00', null, 10),
  ('IRV', 'Irving',     11, '1900-01-01 00:00:00', null, 11),
  ('JAS', 'Jasper',     12, '1900-01-01 00:00:00', null, 12),
  ('KEN', 'Kendall',    13, '1900-01-01 00:00:00', null, 13),
  ('LAK', 'Lakeview',   14, '1900-01-01 00:00:00', null, 14),
  ('MAR', 'Marlow',     15, '1900-01-01 00:00:00', null, 15),
  ('NOR', 'Northfield', 16, '1900-01-01 00:00:00', null, 16),
  ('OAK', 'Oakridge',   17, '1900-01-01 00:00:00', null, 17),
  ('PIN', 'Pine Hill',  18, '1900-01-01 00:00:00', null, 18),
  ('RIV', 'Riverton',   19, '1900-01-01 00:00:00', null, 19),
  ('STO', 'Stonebridge',20, '1900-01-01 00:00:00', null, 20),
  -- merged into Stonebridge at the end of 2001
  ('TUL', 'Tulley',     21, '1990-01-01 00:00:00', '2002-01-01 00:00:00', 21),
  -- created by the next redistricting act
  ('WES', 'Westgate',   22, '2090-01-01 00:00:00', null, 22);

-- Codes no longer in force.
insert into lks_document_type (Code, Description, Sequence, effective_date, expire_date, has_subset) values
  ('MFI', 'Microfilm index card', 9, '1990-01-01 00:00:00', '2003-01-01 00:00:00', false);
insert into lks_delivery_method (Code, Description, Sequence, effective_date, expire_date, date_name) values
  ('TLX', 'Telex', 9, '1990-01-01 00:00:00', '1999-07-01 00:00:00', 'Date sent');
insert into lks_report_version (Code, Description, Sequence, effective_date, expire_date) values
  ('SUP', 'Supplement', 3, '1990-01-01 00:00:00', '2005-01-01 00:00:00');
insert into lku_report_sub_type (Code, Description, Sequence, effective_date, expire_date, is_scheduled, Delta) values
  ('SA',  'Semi-annual report', 9, '1990-01-01 00:00:00', '2001-01-01 00:00:00', true, 31);
insert into lku_document_sub_type (Code, Description, Sequence, effective_date, expire_date, doc_type_code) values
  ('SA',  'Semi-annual report', 9, '1990-01-01 00:00:00', '2001-01-01 00:00:00', 'RPT'),
  ('TLG', 'Telegram',           9, '1990-01-01 00:00:00', '1999-07-01 00:00:00', 'COR');
insert into lku_office (Code, Description, Sequence, effective_date, expire_date) values
  ('SUP', 'Superintendent of public instruction', 11, '1990-01-01 00:00:00', '2006-01-01 00:00:00');
insert into lku_party (Code, Description, Sequence, effective_date, expire_date) values
  ('REF', 'Reform', 7, '1995-01-01 00:00:00', '2004-01-01 00:00:00');
insert into lks_org_status (Code, Description, Sequence, effective_date, expire_date) values
  ('PND', 'Registration pending', 5, '1990-01-01 00:00:00', '2000-01-01 00:00:00');
insert into lks_committee_type (Code, Description, Sequence, effective_date, expire_date) values
  ('LOB', 'Lobbyist principal', 8, '1990-01-01 00:00:00', '2000-01-01 00:00:00');
insert into lks_committee_level (Code, Description, Sequence, effective_date, expire_date) values
  ('DST', 'District', 5, '1990-01-01 00:00:00', '2002-01-01 00:00:00');
insert into lks_document_reason (Code, Description, Sequence, effective_date, expire_date, group_code) values
  ('DUP', 'Duplicate filing', 5, '1990-01-01 00:00:00', '2002-01-01 00:00:00', 'COR');
insert into lks_name_type (Code, Description, Sequence, effective_date, expire_date, is_officer) values
  ('SPK', 'Spokesperson', 7, '1990-01-01 00:00:00', '2001-01-01 00:00:00', false);
insert into lks_penalty_appeal_decision (Code, Description, Sequence, effective_date, expire_date) values
  ('RMD', 'Remanded for hearing', 6, '1990-01-01 00:00:00', '2002-01-01 00:00:00');

-- Codes not yet in force.
insert into lks_document_type (Code, Description, Sequence, effective_date, has_subset) values
  ('EFL', 'Electronic filing log', 6, '2090-01-01 00:00:00', false);
insert into lku_document_sub_type (Code, Description, Sequence, effective_date, doc_type_code) values
  ('M1',  'Monthly report',     10, '2090-01-01 00:00:00', 'RPT');
insert into lku_office (Code, Description, Sequence, effective_date) values
  ('CMP', 'State comptroller', 12, '2090-01-01 00:00:00');
insert into lks_committee_type (Code, Description, Sequence, effective_date) values
  ('SSF', 'Separate segregated fund', 7, '2090-01-01 00:00:00');
insert into lks_penalty_appeal_decision (Code, Description, Sequence, effective_date) values
  ('WDR', 'Appeal withdrawn', 5, '2090-01-01 00:00:00');

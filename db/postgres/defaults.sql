-- The settings and standard codes every new office starts with. An office
-- changes them to its own with any SQL tool; the codes the library's
-- searches rely on are CNC (candidate committee), NRR (non-registered
-- reporting entity), CND (candidate) and TRS (treasurer).

-- Folders of the document images and the electronic-filing thresholds.
insert into lks_system_info (Code, Description, Sequence, effective_date, update_date) values
  ('PATH_TIF',          '/var/lib/tarnwick/images/tif/',        1, '1900-01-01 00:00:00', '2004-01-01 00:00:00'),
  ('PATH_TIF_ALT',      '/var/lib/tarnwick/images/tif_alt/',    2, '1900-01-01 00:00:00', '2004-01-01 00:00:00'),
  ('PATH_PDF',          '/var/lib/tarnwick/images/pdf/',        3, '1900-01-01 00:00:00', '2004-01-01 00:00:00'),
  ('PATH_PDF_ALT',      '/var/lib/tarnwick/images/pdf_alt/',    4, '1900-01-01 00:00:00', '2004-01-01 00:00:00'),
  ('PATH_PDF_CREATE',   '/var/lib/tarnwick/images/pdf_create/', 5, '1900-01-01 00:00:00', '2004-01-01 00:00:00'),
  ('PATH_BATCH_SCAN',   '/var/lib/tarnwick/scan/batch/',        6, '1900-01-01 00:00:00', '2004-01-01 00:00:00'),
  ('MEF_THRESHOLD',     '5000',                                 7, '1900-01-01 00:00:00', '2004-01-01 00:00:00'),
  ('NOTICE_48H_AMOUNT', '1000',                                 8, '1900-01-01 00:00:00', '2004-01-01 00:00:00'),
  ('NOTICE_48H_HOURS',  '48',                                   9, '1900-01-01 00:00:00', '2004-01-01 00:00:00');

insert into lks_delivery_method (Code, Description, Sequence, effective_date, date_name, reason_name) values
  ('MAI', 'Mail',            1, '1900-01-01 00:00:00', 'Postmark date', null),
  ('HAN', 'Hand delivered',  2, '1900-01-01 00:00:00', 'Date received', null),
  ('FAX', 'Fax',             3, '1900-01-01 00:00:00', 'Date faxed',    null),
  ('ELE', 'Electronic filing', 4, '1998-01-01 00:00:00', 'Date filed',  null),
  ('EML', 'Email',           5, '2001-01-01 00:00:00', 'Date sent',     null),
  ('COU', 'Courier',         6, '1900-01-01 00:00:00', 'Date received', 'Courier service');

insert into lks_document_type (Code, Description, Sequence, effective_date, has_subset) values
  ('RPT', 'Campaign finance report', 1, '1900-01-01 00:00:00', true),
  ('COR', 'Correspondence',          2, '1900-01-01 00:00:00', true),
  ('REG', 'Registration',            3, '1900-01-01 00:00:00', true),
  ('PEN', 'Penalty',                 4, '1900-01-01 00:00:00', true),
  ('MSC', 'Miscellaneous',           5, '1900-01-01 00:00:00', false);

insert into lku_document_sub_type (Code, Description, Sequence, effective_date, doc_type_code) values
  ('Q1',   'First quarter report',        1, '1900-01-01 00:00:00', 'RPT'),
  ('Q2',   'Second quarter report',       2, '1900-01-01 00:00:00', 'RPT'),
  ('Q3',   'Third quarter report',        3, '1900-01-01 00:00:00', 'RPT'),
  ('YE',   'Year-end report',             4, '1900-01-01 00:00:00', 'RPT'),
  ('PRE',  'Pre-election report',         5, '1900-01-01 00:00:00', 'RPT'),
  ('POST', 'Post-election report',        6, '1900-01-01 00:00:00', 'RPT'),
  ('48H',  '48-hour notice',              7, '1900-01-01 00:00:00', 'RPT'),
  ('TER',  'Termination report',          8, '1900-01-01 00:00:00', 'RPT'),
  ('LTR',  'Letter',                      1, '1900-01-01 00:00:00', 'COR'),
  ('EMA',  'Email message',               2, '2001-01-01 00:00:00', 'COR'),
  ('LFN',  'Late filing notice',          3, '1900-01-01 00:00:00', 'COR'),
  ('CMP',  'Complaint',                   4, '1900-01-01 00:00:00', 'COR'),
  ('SOO',  'Statement of organization',   1, '1900-01-01 00:00:00', 'REG'),
  ('SOA',  'Amended statement of organization', 2, '1900-01-01 00:00:00', 'REG'),
  ('DOC',  'Declaration of candidacy',    3, '1900-01-01 00:00:00', 'REG'),
  ('ASM',  'Penalty assessment',          1, '1900-01-01 00:00:00', 'PEN'),
  ('APL',  'Penalty appeal',              2, '1900-01-01 00:00:00', 'PEN'),
  ('PAY',  'Penalty payment',             3, '1900-01-01 00:00:00', 'PEN');

insert into lks_document_reason (Code, Description, Sequence, effective_date, group_code) values
  ('LATE', 'Late filing',            1, '1900-01-01 00:00:00', 'COR'),
  ('INC',  'Incomplete report',      2, '1900-01-01 00:00:00', 'COR'),
  ('ADR',  'Change of address',      3, '1900-01-01 00:00:00', 'COR'),
  ('GEN',  'General inquiry',        4, '1900-01-01 00:00:00', 'COR'),
  ('NFL',  'Failure to file',        1, '1900-01-01 00:00:00', 'PEN'),
  ('LFL',  'Late filing',            2, '1900-01-01 00:00:00', 'PEN'),
  ('ORG',  'New committee',          1, '1900-01-01 00:00:00', 'REG'),
  ('CHG',  'Change of officers',     2, '1900-01-01 00:00:00', 'REG');

insert into lks_report_version (Code, Description, Sequence, effective_date) values
  ('ORI', 'Original',  1, '1900-01-01 00:00:00'),
  ('AMD', 'Amendment', 2, '1900-01-01 00:00:00');

insert into lku_report_sub_type (Code, Description, Sequence, effective_date, is_scheduled, Delta) values
  ('Q1',   'First quarter report',  1, '1900-01-01 00:00:00', true, 15),
  ('Q2',   'Second quarter report', 2, '1900-01-01 00:00:00', true, 15),
  ('Q3',   'Third quarter report',  3, '1900-01-01 00:00:00', true, 15),
  ('YE',   'Year-end report',       4, '1900-01-01 00:00:00', true, 31),
  ('PRE',  'Pre-election report',   5, '1900-01-01 00:00:00', false, 5),
  ('POST', 'Post-election report',  6, '1900-01-01 00:00:00', false, 10),
  ('48H',  '48-hour notice',        7, '1900-01-01 00:00:00', false, 2),
  ('TER',  'Termination report',    8, '1900-01-01 00:00:00', false, 30);

insert into lks_committee_type (Code, Description, Sequence, effective_date) values
  ('CNC', 'Candidate committee',               1, '1900-01-01 00:00:00'),
  ('PTY', 'Political party committee',         2, '1900-01-01 00:00:00'),
  ('PAC', 'Political action committee',        3, '1900-01-01 00:00:00'),
  ('IEC', 'Independent expenditure committee', 4, '1900-01-01 00:00:00'),
  ('BQC', 'Ballot question committee',         5, '1900-01-01 00:00:00'),
  ('NRR', 'Non-registered reporting entity',   6, '1900-01-01 00:00:00');

insert into lks_committee_level (Code, Description, Sequence, effective_date) values
  ('STA', 'Statewide',   1, '1900-01-01 00:00:00'),
  ('LEG', 'Legislative', 2, '1900-01-01 00:00:00'),
  ('CTY', 'County',      3, '1900-01-01 00:00:00'),
  ('MUN', 'Municipal',   4, '1900-01-01 00:00:00');

insert into lks_org_status (Code, Description, Sequence, effective_date) values
  ('ACT', 'Active',     1, '1900-01-01 00:00:00'),
  ('INA', 'Inactive',   2, '1900-01-01 00:00:00'),
  ('SUS', 'Suspended',  3, '1900-01-01 00:00:00'),
  ('TRM', 'Terminated', 4, '1900-01-01 00:00:00');

insert into lks_name_type (Code, Description, Sequence, effective_date, is_officer) values
  ('CND', 'Candidate',          1, '1900-01-01 00:00:00', false),
  ('TRS', 'Treasurer',          2, '1900-01-01 00:00:00', true),
  ('DTR', 'Deputy treasurer',   3, '1900-01-01 00:00:00', true),
  ('CHR', 'Chairperson',        4, '1900-01-01 00:00:00', true),
  ('AGT', 'Registered agent',   5, '1900-01-01 00:00:00', false),
  ('CNT', 'Contact person',     6, '1900-01-01 00:00:00', false);

insert into lku_office (Code, Description, Sequence, effective_date) values
  ('GOV', 'Governor',               1, '1900-01-01 00:00:00'),
  ('LTG', 'Lieutenant governor',    2, '1900-01-01 00:00:00'),
  ('ATG', 'Attorney general',       3, '1900-01-01 00:00:00'),
  ('SOS', 'Secretary of state',     4, '1900-01-01 00:00:00'),
  ('TRE', 'State treasurer',        5, '1900-01-01 00:00:00'),
  ('SEN', 'State senator',          6, '1900-01-01 00:00:00'),
  ('REP', 'State representative',   7, '1900-01-01 00:00:00'),
  ('JUD', 'Circuit judge',          8, '1900-01-01 00:00:00'),
  ('CCM', 'County commissioner',    9, '1900-01-01 00:00:00'),
  ('MAY', 'Mayor',                 10, '1900-01-01 00:00:00');

insert into lku_party (Code, Description, Sequence, effective_date) values
  ('DEM', 'Democratic',   1, '1900-01-01 00:00:00'),
  ('REP', 'Republican',   2, '1900-01-01 00:00:00'),
  ('LIB', 'Libertarian',  3, '1900-01-01 00:00:00'),
  ('GRN', 'Green',        4, '1900-01-01 00:00:00'),
  ('IND', 'Independent',  5, '1900-01-01 00:00:00'),
  ('NP',  'Nonpartisan',  6, '1900-01-01 00:00:00');

insert into lks_penalty_appeal_decision (Code, Description, Sequence, effective_date) values
  ('PND', 'Pending',          1, '1900-01-01 00:00:00'),
  ('GRA', 'Appeal granted',   2, '1900-01-01 00:00:00'),
  ('PAR', 'Partly granted',   3, '1900-01-01 00:00:00'),
  ('DEN', 'Appeal denied',    4, '1900-01-01 00:00:00');

insert into lks_election_type (Code, Description, Sequence, effective_date) values
  ('PRI', 'Primary election',   1, '1900-01-01 00:00:00'),
  ('GEN', 'General election',   2, '1900-01-01 00:00:00'),
  ('MUN', 'Municipal election', 3, '1900-01-01 00:00:00'),
  ('SPC', 'Special election',   4, '1900-01-01 00:00:00');

-- Workstation defaults, per application function.
insert into adm_default_reg_setting
  (app_function_lbl, app_function_value, setting_path, setting_key, setting_type, setting_value, Sequence) values
  ('SCAN',     'BATCH',   'Software\Tarnwick\Scan',      'Resolution',       'REG_DWORD', '300',   1),
  ('SCAN',     'BATCH',   'Software\Tarnwick\Scan',      'ColorMode',        'REG_SZ',    'BW',    2),
  ('SCAN',     'BATCH',   'Software\Tarnwick\Scan',      'Duplex',           'REG_DWORD', '1',     3),
  ('SCAN',     'SINGLE',  'Software\Tarnwick\Scan',      'Resolution',       'REG_DWORD', '200',   1),
  ('SCAN',     'SINGLE',  'Software\Tarnwick\Scan',      'Duplex',           'REG_DWORD', '0',     2),
  ('VIEWER',   'DEFAULT', 'Software\Tarnwick\Viewer',    'ZoomPercent',      'REG_DWORD', '100',   1),
  ('VIEWER',   'DEFAULT', 'Software\Tarnwick\Viewer',    'FitToWidth',       'REG_DWORD', '1',     2),
  ('DOCUMENT', 'ENTRY',   'Software\Tarnwick\Documents', 'DeliveryMethod',   'REG_SZ',    'MAI',   1),
  ('DOCUMENT', 'ENTRY',   'Software\Tarnwick\Documents', 'ReportVersion',    'REG_SZ',    'ORI',   2),
  ('EXPORT',   'REPORTS', 'Software\Tarnwick\Export',    'Folder',           'REG_SZ',    '/var/lib/tarnwick/export/', 1);

-- The default workstation settings of an application function.
--
-- get_type_flag 1: the settings of function app_function_lbl with value
-- app_function_value, in their order; an empty value gives every value of
-- that function, an empty label every function.
-- get_type_flag 2: the functions that have settings, one row per label and
-- value, with the setting columns empty.
create procedure usp_adm_get_default_reg_setting(
  get_type_flag integer default null,
  app_function_lbl citext default null,
  app_function_value citext default null,
  inout tw_result refcursor default null)
language plpgsql as $$
#variable_conflict use_column
declare
  flag integer := usp_adm_get_default_reg_setting.get_type_flag;
  label citext := nullif(btrim(usp_adm_get_default_reg_setting.app_function_lbl), '');
  value citext := nullif(btrim(usp_adm_get_default_reg_setting.app_function_value), '');
begin
  open tw_result for
  select s.app_function_lbl, s.app_function_value, s.setting_path, s.setting_key, s.setting_type, s.setting_value
  from (
    select a.app_function_lbl, a.app_function_value, a.setting_path, a.setting_key, a.setting_type,
           a.setting_value, a.Sequence, a.unique_id
    from adm_default_reg_setting a
    where flag = 1
      and (label is null or a.app_function_lbl = label)
      and (value is null or a.app_function_value = value)
    union all
    select a.app_function_lbl, a.app_function_value, null, null, null, null, 0, min(a.unique_id)
    from adm_default_reg_setting a
    where flag = 2
      and (label is null or a.app_function_lbl = label)
    group by a.app_function_lbl, a.app_function_value
  ) s
  order by s.app_function_lbl, s.app_function_value, s.Sequence, s.unique_id;
end
$$;

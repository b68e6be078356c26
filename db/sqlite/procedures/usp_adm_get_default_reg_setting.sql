-- The default workstation settings of an application function.
--
-- @get_type_flag 1: the settings of function @app_function_lbl with value
-- @app_function_value, in their order; an empty value gives every value of
-- that function, an empty label every function.
-- @get_type_flag 2: the functions that have settings, one row per label and
-- value, with the setting columns empty.
create procedure usp_adm_get_default_reg_setting
  @get_type_flag int,
  @app_function_lbl varchar(50),
  @app_function_value varchar(100)
as
select app_function_lbl, app_function_value, setting_path, setting_key, setting_type, setting_value
from (
  select app_function_lbl, app_function_value, setting_path, setting_key, setting_type,
         setting_value, Sequence, unique_id
  from adm_default_reg_setting
  where @get_type_flag = 1
    and (coalesce(trim(@app_function_lbl), '') = '' or app_function_lbl = trim(@app_function_lbl))
    and (coalesce(trim(@app_function_value), '') = '' or app_function_value = trim(@app_function_value))
  union all
  select app_function_lbl, app_function_value, null, null, null, null, 0, min(unique_id)
  from adm_default_reg_setting
  where @get_type_flag = 2
    and (coalesce(trim(@app_function_lbl), '') = '' or app_function_lbl = trim(@app_function_lbl))
  group by app_function_lbl, app_function_value
)
order by app_function_lbl, app_function_value, Sequence, unique_id;

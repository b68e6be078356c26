// Reading the office's system settings from lks_system_info (see system_info.hpp).
#include "cursor/system_info.hpp"

#include <memory>

#include "runtime/raise.hpp"
#include "tarnwick/error.hpp"
#include "tarnwick/recordset.hpp"

namespace tarnwick::cursor {

void ReadSystemSettings(DataGateway& gateway, std::span<const SystemSetting> settings) {
  std::shared_ptr<Recordset> rows;
  if (!gateway.OpenRecordset("select * from lks_system_info", rows, 0, true).empty()) return;
  if (!rows) runtime::Raise(err::kObjectNotSet);
  Recordset& rs = *rows;
  while (!rs.EndOfFile()) {
    const Variant& code = rs.Fields().Item("Code").Value();
    if (!code.IsNull()) {
      const std::string text = code.Text();
      for (const SystemSetting& setting : settings) {
        if (text == setting.code) {
          *setting.value = rs.Fields().Item("Description").Value().CStr();
          break;
        }
      }
    }
    rs.MoveNext();
  }
}

}  // namespace tarnwick::cursor

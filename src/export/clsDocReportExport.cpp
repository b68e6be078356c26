// The report export object: the filed-reports and correspondence lists of the
// database written as comma-separated files.
#include "tarnwick/clsDocReportExport.hpp"

#include <exception>
#include <initializer_list>
#include <memory>
#include <vector>

#include "cursor/columns.hpp"
#include "export/text_file.hpp"
#include "frame/binding.hpp"

namespace tarnwick {
namespace {

// Column positions are counted as a 16-bit Integer: a wider result fails.
constexpr std::size_t kMostColumns = 32767;

const frame::Bindings& Members() {
  static const frame::Bindings bindings = [] {
    frame::Bindings b("clsDocReportExport");
    cursor::BindCursorMembers(b);
    b.Method("CreateFile", frame::Bind(&clsDocReportExport::CreateFile));
    b.Method("CreateFileCorrExport", frame::Bind(&clsDocReportExport::CreateFileCorrExport));
    return b;
  }();
  return bindings;
}

// A procedure call with every argument quoted: "Exec name 'a', 'b'".
std::string ExecText(std::string_view procedure, std::initializer_list<std::string> quotedArguments) {
  std::string sql = "Exec ";
  sql.append(procedure);
  const char* separator = " ";
  for (const std::string& argument : quotedArguments) {
    sql.append(separator).append(argument);
    separator = ", ";
  }
  return sql;
}

// One line: each item in double quotes, commas between.
template <class Item>
void WriteLine(exports::TextFileWriter& file, const std::vector<Item>& items, auto&& text) {
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) file.Append(',');
    file.Append('"');
    file.Append(text(items[i]));
    file.Append('"');
  }
  file.EndLine();
}

}  // namespace

clsDocReportExport::clsDocReportExport() : DataObject("clsDocReportExport", "") {}
clsDocReportExport::~clsDocReportExport() = default;

Variant clsDocReportExport::Dispatch(const MemberInfo& member, std::span<Variant> args) {
  return Members().Run(*this, member, args);
}

std::string clsDocReportExport::Quoted(const std::string& text) { return "'" + Gateway().SqlSafeText(text) + "'"; }

bool clsDocReportExport::CreateFile(const std::string& CommitteeType, const std::string& ReportYear,
                                    const std::string& ReportSubType, const std::string& DueDate,
                                    const std::string& ReportExportType, const std::string& BeginDate,
                                    const std::string& EndDate, const std::string& Filename,
                                    const std::string& EnteredDate) {
  try {
    return Export(ExecText("sp_misc_reports_filed_lists",
                           {Quoted(CommitteeType), Quoted(ReportYear), Quoted(ReportSubType), Quoted(DueDate),
                            Quoted(ReportExportType), Quoted(BeginDate), Quoted(EndDate), Quoted(EnteredDate)}),
                  Filename);
  } catch (...) {
    return false;
  }
}

bool clsDocReportExport::CreateFileCorrExport(const std::string& CommitteeType, const std::string& DocumentType,
                                              const std::string& DocumentSubType,
                                              const std::string& SendReceiveDateFrom,
                                              const std::string& SendReceiveDateTo, const std::string& Filename) {
  try {
    return Export(ExecText("sp_misc_data_list_export",
                           {Quoted(CommitteeType), Quoted(DocumentType), Quoted(DocumentSubType),
                            Quoted(SendReceiveDateFrom), Quoted(SendReceiveDateTo)}),
                  Filename);
  } catch (...) {
    return false;
  }
}

bool clsDocReportExport::Export(const std::string& sql, const std::string& Filename) {
  try {
    std::unique_ptr<RowStream> rows;
    // A failed query creates no file.
    if (!Gateway().OpenForwardOnly(sql, rows).empty() || !rows) return false;
    exports::TextFileWriter file(Filename);
    const std::vector<Column>& columns = rows->Columns();
    if (columns.size() > kMostColumns) return false;
    WriteLine(file, columns, [](const Column& c) -> const std::string& { return c.name; });
    while (rows->Next()) WriteLine(file, rows->Row(), [](const Variant& v) { return v.Text(); });
    file.Commit();
    return true;
  } catch (...) {
    // Whatever failed (the file, the rows, memory), the file was not put in place.
    return false;
  }
}

}  // namespace tarnwick

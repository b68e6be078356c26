// clsDocReportExport: comma-separated export files of filed reports and of
// correspondence.
//
// Each export runs one report procedure of the database and writes its result
// to a file: a header line with the column names, then one line per row, in
// the procedure's column and row order. Every name and value is enclosed in
// double quotes (quotes and commas inside are written as they are, not
// doubled), the quoted items are separated by single commas, and every line
// ends with CR LF. A Null value is written as nothing between its quotes;
// other values in their default text form. Text is written as UTF-8.
//
// The rows are read one at a time as the database produces them and the file
// is written under a temporary name next to Filename, which it replaces only
// when complete: a failed export leaves no partial file and an earlier file
// of that name as it was.
//
// The arguments are sent to the procedure as quoted texts, apostrophes made
// safe; Filename is not sent.
//
// Failures: the exports never raise. They return false when the procedure
// fails, the file cannot be created or written, or the result cannot be
// read or has more than 32,767 columns.
//
// Thread safety: an object is called only on the thread that created it.
#pragma once

#include <string>

#include "tarnwick/data_object.hpp"

namespace tarnwick {

class clsDocReportExport : public DataObject {
 public:
  clsDocReportExport();
  ~clsDocReportExport() override;

  using DataObject::ConnectionVariables;

  // The filed-reports list of sp_misc_reports_filed_lists, chosen by its eight
  // arguments (all but Filename), written to Filename. True when the file was
  // written completely.
  bool CreateFile(const std::string& CommitteeType, const std::string& ReportYear, const std::string& ReportSubType,
                  const std::string& DueDate, const std::string& ReportExportType, const std::string& BeginDate,
                  const std::string& EndDate, const std::string& Filename, const std::string& EnteredDate);
  // The correspondence list of sp_misc_data_list_export, chosen by its five
  // arguments, written to Filename as CreateFile does.
  bool CreateFileCorrExport(const std::string& CommitteeType, const std::string& DocumentType,
                            const std::string& DocumentSubType, const std::string& SendReceiveDateFrom,
                            const std::string& SendReceiveDateTo, const std::string& Filename);

 protected:
  Variant Dispatch(const MemberInfo& member, std::span<Variant> args) override;

 private:
  // The export steps both lists share: the query, the file, its lines.
  bool Export(const std::string& sql, const std::string& Filename);
  // "'text'" with the text made safe for the literal.
  std::string Quoted(const std::string& text);
};

}  // namespace tarnwick

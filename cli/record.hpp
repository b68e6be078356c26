// Reading and setting the column properties of any public class by name,
// through late binding and the type library, so that each subcommand lists
// a row's columns without naming them one by one.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "output.hpp"
#include "tarnwick/object.hpp"

namespace tarnwick::cli {

// The column properties of a class: readable properties without arguments
// whose value is text or a number, less the cursor's own members (DataReady,
// BOF, EOF, RecordCount, Count, Table) and those listed in skip.
std::vector<std::string> ColumnProperties(const Object& object, const std::vector<std::string>& skip = {});

// The value of a column property as the client lists it: its text as the
// class gives it, and for JSON the value in the kind the office stores it in
// (an identifier the class gives as text is a number, a date text a date).
Cell ColumnCell(const std::string& property, const Variant& value);

// The current row as name/value pairs. A property whose column the last
// query did not select (the result set's error 3265) is left out.
Record CurrentRow(Object& object, const std::vector<std::string>& properties);

// Walks the rows from the current one to the end and collects the given
// properties, less those whose column the query did not select (3265 on the
// first row). At most limit rows when limit > 0.
Table Rows(Object& object, const std::vector<std::string>& properties, long limit = 0);

// Sets a writable property from "Name=value" text; the property name is
// matched without regard to case. Unknown or read-only names are a usage
// Failure that lists the settable names.
void SetProperty(Object& object, const std::string& assignment);

}  // namespace tarnwick::cli

namespace tarnwick {
class Recordset;
}

namespace tarnwick::cli {

// Every column of a result set from its current row to the end, by the
// result set's own column names (for rows whose columns a procedure decides).
Table AllColumns(Recordset& rows);

}  // namespace tarnwick::cli

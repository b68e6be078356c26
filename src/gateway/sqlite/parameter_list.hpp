// The parameter list of a stored procedure, "@Org_id int, @Value int output",
// read by one set of rules both where the office builder writes a procedure
// into the catalog and where the engine reads it back, so that a procedure
// the builder accepts is one the engine can call.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::sqlite {

struct DeclaredParameter {
  std::string name;  // "@Org_id", as declared
  std::string type;  // "int", "decimal(10, 2)": as written, white space around it removed
  bool output = false;
};

// A character of a parameter name after the "@": an ASCII letter, figure or
// "_", or a byte of a multi-byte UTF-8 letter (the server accepts accented
// letters in names). A name starts with anything of these but a figure.
bool IsParameterNameChar(char c);

// Reads a parameter list: entries parted by commas outside parentheses, each
// "@name type" with "output" (or "out") after the type of an output
// parameter. Every entry needs a name and a type; a name may be declared only
// once, in any letter case; default values ("@a int = 4") are refused. An
// empty or blank text declares no parameters. Returns an error text, empty
// on success.
std::string ParseDeclaredParameters(std::string_view text, std::vector<DeclaredParameter>& out);

// The list as the catalog stores it: "@Org_id int, @Value int output".
std::string ParameterListText(const std::vector<DeclaredParameter>& parameters);

}  // namespace tarnwick::sqlite

// Reading the office database's SQL sources and its procedure files.
#include "office/sql_sources.hpp"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <set>
#include <sstream>
#include <system_error>

#include "office/internal.hpp"
#include "runtime/text.hpp"

namespace tarnwick::office {
namespace {

using detail::LineOf;
using runtime::EqualsNoCase;
using sqlite::DeclaredParameter;
using runtime::ToLower;

bool IsIdentifierStart(char c) { return runtime::IsAsciiLetter(c) || c == '_'; }
bool IsIdentifierChar(char c) { return IsIdentifierStart(c) || runtime::IsAsciiDigit(c); }
bool IsBlank(char c) { return runtime::IsWhiteSpace(c); }
std::string_view Trim(std::string_view text) { return runtime::Trim(text, runtime::kWhiteSpace); }

// The types a parameter may be declared with: those of the schema.
std::string NormalizeType(std::string_view declared, std::string& error) {
  std::string type;
  for (char c : declared) {
    if (!IsBlank(c)) type += runtime::FoldLower(c);
  }
  static const std::set<std::string> kPlain = {"int",  "integer", "smallint", "bit",   "money",
                                              "datetime", "date", "text",   "image", "float", "real"};
  if (kPlain.count(type) != 0) return type;
  for (std::string_view sized : {"varchar(", "char("}) {
    if (type.rfind(sized, 0) == 0 && type.size() > sized.size() + 1 && type.back() == ')') {
      std::string digits = type.substr(sized.size(), type.size() - sized.size() - 1);
      if (!digits.empty() && digits.size() <= 5 &&
          std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
          std::stoi(digits) > 0) {
        return type;
      }
    }
  }
  error = "unknown parameter type '" + std::string(Trim(declared)) + "'";
  return {};
}

}  // namespace

std::string ProcedureDefinition::ParameterText() const { return sqlite::ParameterListText(parameters); }

std::string ReadSqlFiles(const std::filesystem::path& directory, std::vector<SqlFile>& out) {
  out.clear();
  std::error_code ec;
  if (!std::filesystem::is_directory(directory, ec)) {
    return "the SQL folder " + directory.string() + " does not exist";
  }
  std::filesystem::recursive_directory_iterator it(directory, ec), end;
  if (ec) return "cannot read the SQL folder " + directory.string() + ": " + ec.message();
  for (; it != end; it.increment(ec)) {
    if (ec) return "cannot read the SQL folder " + directory.string() + ": " + ec.message();
    if (!it->is_regular_file(ec) || it->path().extension() != ".sql") continue;
    std::ifstream in(it->path(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in.good() && !in.eof()) return "cannot read " + it->path().string();
    out.push_back({std::filesystem::relative(it->path(), directory).generic_string(), text.str()});
  }
  std::sort(out.begin(), out.end(), [](const SqlFile& a, const SqlFile& b) { return a.path < b.path; });
  return {};
}

std::string ParseProcedureFile(std::string_view source, ProcedureDefinition& out) {
  out = {};
  // The description: the comment lines before the header.
  std::size_t pos = 0;
  std::vector<std::string> description;
  while (pos < source.size()) {
    std::size_t eol = source.find('\n', pos);
    if (eol == std::string_view::npos) eol = source.size();
    std::string_view line = Trim(source.substr(pos, eol - pos));
    if (line.rfind("--", 0) == 0) {
      line.remove_prefix(2);
      if (!line.empty() && line[0] == ' ') line.remove_prefix(1);
      description.emplace_back(line);
    } else if (!line.empty()) {
      break;
    }
    pos = eol + 1;
  }
  while (!description.empty() && description.back().empty()) description.pop_back();
  for (std::size_t i = 0; i < description.size(); ++i) {
    if (i != 0) out.description += '\n';
    out.description += description[i];
  }
  if (pos >= source.size()) return "no 'create procedure' header";

  // "create procedure NAME", words separated by blanks.
  const int headerLine = LineOf(source, pos);
  auto word = [&](std::size_t& at) {
    while (at < source.size() && IsBlank(source[at])) ++at;
    std::size_t begin = at;
    while (at < source.size() && IsIdentifierChar(source[at])) ++at;
    return source.substr(begin, at - begin);
  };
  std::size_t at = pos;
  std::string_view create = word(at);
  std::string_view procedure = word(at);
  if (!EqualsNoCase(create, "create") || !EqualsNoCase(procedure, "procedure")) {
    return "line " + std::to_string(headerLine) + ": expected 'create procedure NAME'";
  }
  std::size_t nameAt = at;
  while (nameAt < source.size() && IsBlank(source[nameAt])) ++nameAt;
  std::string_view name = word(at);
  if (name.empty() || !IsIdentifierStart(name[0])) {
    return "line " + std::to_string(LineOf(source, nameAt)) + ": expected the procedure's name";
  }
  out.name = std::string(name);

  // The parameters run up to the word "as".
  std::size_t asAt = std::string_view::npos;
  for (std::size_t i = at; i + 2 <= source.size(); ++i) {
    if (source[i] == '-' && i + 1 < source.size() && source[i + 1] == '-') {
      return "line " + std::to_string(LineOf(source, i)) + ": no comments inside the procedure header";
    }
    if ((i == 0 || IsBlank(source[i - 1])) && EqualsNoCase(source.substr(i, 2), "as") &&
        (i + 2 == source.size() || IsBlank(source[i + 2]))) {
      asAt = i;
      break;
    }
  }
  if (asAt == std::string_view::npos) {
    return "line " + std::to_string(headerLine) + ": the header of " + out.name + " has no 'as'";
  }
  std::string error = sqlite::ParseDeclaredParameters(source.substr(at, asAt - at), out.parameters);
  // The office declares its parameters with the schema's types only, written one way.
  for (DeclaredParameter& p : out.parameters) {
    if (!error.empty()) break;
    const std::string type = NormalizeType(p.type, error);
    if (error.empty()) p.type = type;
    else error = "parameter " + p.name + ": " + error;
  }
  if (!error.empty()) return "line " + std::to_string(LineOf(source, at)) + ": " + error;

  std::string_view body = Trim(source.substr(asAt + 2));
  if (body.empty()) return "procedure " + out.name + " has an empty body";
  out.body = std::string(body);
  return {};
}

std::string CheckProcedure(sqlite3* db, const ProcedureDefinition& procedure) {
  auto find = [&](std::string_view name) -> const DeclaredParameter* {
    for (const DeclaredParameter& p : procedure.parameters) {
      if (EqualsNoCase(p.name, name)) return &p;
    }
    return nullptr;
  };
  // Every @name of the body, outside literals and comments, is a parameter.
  const std::string& body = procedure.body;
  for (std::size_t i = 0; i < body.size();) {
    const char c = body[i];
    if (c == '\'') {
      std::size_t close = body.find('\'', i + 1);
      while (close != std::string::npos && close + 1 < body.size() && body[close + 1] == '\'') {
        close = body.find('\'', close + 2);
      }
      if (close == std::string::npos) return "unterminated text literal in the body";
      i = close + 1;
    } else if (c == '-' && i + 1 < body.size() && body[i + 1] == '-') {
      i = body.find('\n', i);
      if (i == std::string::npos) break;
    } else if (c == '/' && i + 1 < body.size() && body[i + 1] == '*') {
      std::size_t close = body.find("*/", i + 2);
      if (close == std::string::npos) return "unterminated comment in the body";
      i = close + 2;
    } else if (c == '"') {
      std::size_t close = body.find('"', i + 1);
      if (close == std::string::npos) return "unterminated quoted name in the body";
      std::string_view quoted(body.data() + i + 1, close - i - 1);
      if (!quoted.empty() && quoted[0] == '@') {
        const DeclaredParameter* p = find(quoted);
        if (p == nullptr || !p->output || p->name != quoted) {
          return "the body sets \"" + std::string(quoted) + "\", which is not an output parameter";
        }
      }
      i = close + 1;
    } else if (c == '@') {
      std::size_t end = i + 1;
      while (end < body.size() && sqlite::IsParameterNameChar(body[end])) ++end;
      std::string_view used(body.data() + i, end - i);
      const DeclaredParameter* p = find(used);
      if (p == nullptr) return "the body uses " + std::string(used) + ", which is not a parameter";
      if (p->name != used) {
        return "the body writes " + std::string(used) + " for the parameter " + p->name;
      }
      i = end;
    } else {
      ++i;
    }
  }

  // Every statement compiles against the schema.
  const char* tail = body.c_str();
  int statement = 0;
  while (*tail != '\0') {
    sqlite3_stmt* stmt = nullptr;
    const char* start = tail;
    const int rc = sqlite3_prepare_v2(db, start, -1, &stmt, &tail);
    if (rc != SQLITE_OK) {
      std::string message = sqlite3_errmsg(db);
      sqlite3_finalize(stmt);
      return "statement " + std::to_string(statement + 1) + " (line " +
             std::to_string(LineOf(body, static_cast<std::size_t>(start - body.c_str()))) +
             " of the body): " + message;
    }
    if (stmt == nullptr) break;  // only blanks or comments left
    ++statement;
    sqlite3_finalize(stmt);
  }
  if (statement == 0) return "the body holds no statement";
  return {};
}

}  // namespace tarnwick::office

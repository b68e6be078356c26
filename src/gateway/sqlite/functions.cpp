// Registers the SQLite functions of the T-SQL front end on a connection
// (see functions.hpp); they stand in functions_casts.cpp, functions_text.cpp
// and functions_dates.cpp.
#include "gateway/sqlite/functions.hpp"

#include <sqlite3.h>

#include "gateway/sqlite/functions_support.hpp"

namespace tarnwick::sqlite {

namespace {

using namespace function_detail;

struct FunctionDef {
  const char* name;
  int args;
  void (*fn)(sqlite3_context*, int, sqlite3_value**);
};

constexpr FunctionDef kFunctions[] = {
    {"tw_add", 2, TwAdd},
    {"tw_sub", 2, TwSub},
    {"tw_bitxor", 2, TwBitXor},
    {"tw_cast_date", 1, TwCastDate},
    {"tw_cast_datetime", 1, TwCastDateTime},
    {"tw_cast_text", 3, TwCastText},
    {"tw_cast_int", 2, TwCastInt},
    {"tw_cast_bit", 1, TwCastBit},
    {"tw_cast_num", 3, TwCastNum},
    {"tw_format_date", 2, TwFormatDate},
    {"tw_substring", 3, TwSubstring},
    {"tw_left", 2, TwLeft},
    {"tw_right", 2, TwRight},
    {"tw_charindex", 2, TwCharIndex},
    {"tw_charindex", 3, TwCharIndex},
    {"tw_replace", 3, TwReplace},
    {"tw_replicate", 2, TwReplicate},
    {"tw_name_words", 2, TwNameWords},
    {"tw_isnumeric", 1, TwIsNumeric},
    {"tw_isdate", 1, TwIsDate},
    {"tw_like", 2, TwLike},
    {"tw_like", 3, TwLike},
    {"like", 2, Like},
    {"like", 3, Like},
    {"tw_date_text", 1, TwDateText},
    {"tw_datepart", 2, TwDatePart},
    {"tw_dateadd", 3, TwDateAdd},
    {"tw_datediff", 3, TwDateDiff},
};

}  // namespace

int RegisterTsqlFunctions(sqlite3* db) {
  for (const FunctionDef& f : kFunctions) {
    const int rc = sqlite3_create_function_v2(db, f.name, f.args, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS,
                                              nullptr, f.fn, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}

}  // namespace tarnwick::sqlite

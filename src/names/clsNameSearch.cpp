// The name search object: its column properties over the procedure
// sp_find_names, which both engines answer from their name index.
#include "tarnwick/clsNameSearch.hpp"

#include <algorithm>
#include <array>
#include <string_view>

#include "cursor/columns.hpp"
#include "cursor/procedure.hpp"
#include "frame/binding.hpp"
#include "frame/report_error.hpp"
#include "runtime/name_words.hpp"
#include "runtime/raise.hpp"
#include "runtime/text.hpp"

namespace tarnwick {
namespace {

#define TW_NAME_SEARCH_COLUMNS(COLUMN)                  \
  COLUMN(Kind, "kind", Text, Read)                      \
  COLUMN(OrgID, "org_id", Long, Read)                   \
  COLUMN(OrgName, "org_name", Text, Read)               \
  COLUMN(MatchedName, "matched_name", Text, Read)       \
  COLUMN(StatusCode, "status_code", Text, Read)         \
  COLUMN(LastFiledDate, "last_filed_date", DateText, Read)
TW_COLUMN_TABLE(clsNameSearch, TW_NAME_SEARCH_COLUMNS);

constexpr std::array<std::string_view, 3> kKinds = {"committee", "candidate", "treasurer"};
constexpr const char* kFindSource = "clsNameSearch.Find";

const frame::Bindings& Members() {
  static const frame::Bindings bindings = [] {
    frame::Bindings b("clsNameSearch");
    cursor::BindCursorMembers(b);
    cursor::BindColumns(b, kColumns);
    b.Method("Find", frame::Bind(&clsNameSearch::Find));
    return b;
  }();
  return bindings;
}

[[noreturn]] void Refuse(const std::string& why) {
  throw RuntimeError(err::kInvalidArgument, std::string(runtime::kProjectSource), why);
}

// The procedure's list of kinds: each named kind once, in the order of kKinds.
std::string KindList(const std::string& kinds) {
  std::array<bool, kKinds.size()> wanted{};
  const std::string_view all = runtime::Trim(kinds);
  if (all.empty() || runtime::EqualsNoCase(all, "any")) {
    wanted.fill(true);
  } else {
    std::size_t start = 0;
    while (start <= all.size()) {
      const std::size_t comma = std::min(all.find(',', start), all.size());
      const std::string kind(runtime::Trim(all.substr(start, comma - start)));
      const auto* it = std::find_if(kKinds.begin(), kKinds.end(),
                                    [&](std::string_view k) { return runtime::EqualsNoCase(kind, k); });
      if (it == kKinds.end())
        Refuse("Kinds: '" + kind + "' is no kind of name (committee, candidate, treasurer or any)");
      wanted[static_cast<std::size_t>(it - kKinds.begin())] = true;
      start = comma + 1;
    }
  }
  std::string list;
  for (std::size_t i = 0; i < kKinds.size(); ++i) {
    if (wanted[i]) list.append(list.empty() ? "" : ",").append(kKinds[i]);
  }
  return list;
}

}  // namespace

clsNameSearch::clsNameSearch() : DataObject("clsNameSearch", "") {}
clsNameSearch::~clsNameSearch() = default;

Variant clsNameSearch::Dispatch(const MemberInfo& member, std::span<Variant> args) {
  return Members().Run(*this, member, args);
}

TW_COLUMN_ACCESSORS(TW_NAME_SEARCH_COLUMNS)

bool clsNameSearch::Find(const std::string& Text, const std::string& Kinds, std::int32_t Limit) {
  return frame::Guarded({kFindSource}, [&] {
    const std::string kinds = KindList(Kinds);
    if (Limit < 1 || Limit > kMaxFindRows)
      Refuse("Limit: " + std::to_string(Limit) + " is not a number of rows from 1 to " + std::to_string(kMaxFindRows));
    const std::string words = runtime::NameWords(Text, runtime::NameWordsUse::Query);
    const auto count = static_cast<std::size_t>(std::count(words.begin(), words.end(), ' ')) + 1;
    if (!words.empty() && count > kMaxFindWords)
      Refuse("Text: " + std::to_string(count) + " words; a name is found by at most " +
             std::to_string(kMaxFindWords));
    ResultSet().reset();
    if (words.empty()) return false;
    // The words go to the engine rather than the text: they are whole UTF-8
    // characters whatever the client sent, which the server requires.
    std::shared_ptr<Recordset> rows;
    const std::string error = cursor::RunProcedure(
        Gateway(), "sp_find_names", {{"@find_text", Variant(words)}, {"@name_kinds", Variant(kinds)}, {"@row_limit", Variant(Limit)}},
        true, &rows);
    if (!error.empty()) throw frame::EnterHandler{};
    ResultSet() = std::move(rows);
    return cursor::Ready(ResultSet().get());
  });
}

}  // namespace tarnwick

// clsNameSearch: the forgiving name search, "who is Babcock?", walked as a
// record cursor. One row per committee found, for its best-matching name.
//
// Typical use: ConnectionVariables; Find(Text, Kinds, Limit); then the column
// properties read the current row and MoveNext walks the rows.
//
// What matches: every word of Text must start a word of one name of the
// committee (its official or in-house name, current or former, or the name
// of a candidate or treasurer of any term), in any order, blind to case,
// accents and apostrophes ("bab sus", "S Babcock", "muller" for "Müller",
// "ohare" or "o hare" for "O'Hare"); an acronym matches only when Text is the
// whole acronym. Text is only ever words: quotes, operators and wildcards in
// it are blanks.
//
// The rows come ranked: names whose every word was typed whole first; the
// committee's own names before its candidates' and those before its
// treasurers'; active committees first, terminated ones last; the latest
// filing first; then by OrgID, so the same office gives the same order.
//
// Failures: a gateway error text makes Find return false (LastErrorText says
// why); Kinds that names no kind, a Limit outside 1..kMaxFindRows, or a Text
// of more than kMaxFindWords words raise 5 with " (clsNameSearch.Find)" in
// the source.
//
// Thread safety: an object is called only on the thread that created it.
#pragma once

#include <cstdint>
#include <string>

#include "tarnwick/data_object.hpp"
#include "tarnwick/variant.hpp"

namespace tarnwick {

class clsNameSearch : public DataObject {
 public:
  static constexpr std::int32_t kMaxFindRows = 1000;
  static constexpr std::size_t kMaxFindWords = 16;

  clsNameSearch();
  ~clsNameSearch() override;

  // The kind of the name that matched: "committee", "candidate" or "treasurer".
  std::string Kind() const;
  std::int32_t OrgID() const;        // the committee's group id
  std::string OrgName() const;       // its current official name
  std::string MatchedName() const;   // the name that matched, as the office holds it
  std::string StatusCode() const;    // of its latest reference row: ACT, INA, SUS, TRM
  std::string LastFiledDate() const; // "mm/dd/yyyy" the latest document it filed was received; "" for none
  using DataObject::DataReady;
  using DataObject::BOF;
  using DataObject::EndOfFile;
  using DataObject::RecordCount;
  using DataObject::ConnectionVariables;

  // Kinds: "any" or "" for every kind, else kind names separated by commas
  // ("committee", "candidate", "treasurer"; letter case ignored). True when
  // a row came back; false with no rows when Text has no word.
  bool Find(const std::string& Text, const std::string& Kinds, std::int32_t Limit);

  using DataObject::MoveFirst;
  using DataObject::MovePrevious;
  using DataObject::MoveNext;
  using DataObject::MoveLast;

 protected:
  Variant Dispatch(const MemberInfo& member, std::span<Variant> args) override;
};

}  // namespace tarnwick

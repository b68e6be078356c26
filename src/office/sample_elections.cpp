// The sample office's elections: one in November of every sample year.
#include "office/sample_detail.hpp"

namespace tarnwick::office::detail::sample {

void SampleOffice::MakeElections() {
  Statement insert(db_,
                   "insert into ref_election (unique_id, election_date, election_type_code, Description, doc_year, "
                   "notice_window_days) values (?, ?, ?, ?, ?, ?)");
  std::int64_t id = 0;
  auto add = [&](Day d, const char* type, const std::string& description) {
    ++id;
    insert.Bind(1, id).Bind(2, Iso(d)).Bind(3, type).Bind(4, description).Bind(5, YearOf(d)).Bind(6, 17);
    insert.Run();
    return id;
  };
  for (int y = kFirstYear; y <= kLastYear + 1; ++y) {
    if (y % 7 == 0) add(NthWeekday(y, 3, chr::Tuesday, 2), "SPC", "Special election " + std::to_string(y));
    if (y % 2 == 0) {
      add(NthWeekday(y, 8, chr::Tuesday, 1), "PRI", "Primary election " + std::to_string(y));
      november_.push_back({add(NovemberElection(y), "GEN", "General election " + std::to_string(y)),
                           NovemberElection(y)});
    } else {
      november_.push_back({add(NovemberElection(y), "MUN", "Municipal election " + std::to_string(y)),
                           NovemberElection(y)});
    }
  }
}

const Election& SampleOffice::NovemberOf(int year) { return november_[static_cast<std::size_t>(year - kFirstYear)]; }

}  // namespace tarnwick::office::detail::sample

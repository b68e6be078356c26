// The sample office: a believable filing office generated from a fixed seed.
//
// Staff with past and present rows, elections of every year, committees of
// every type with their reference history, detail history, candidates,
// treasurers and other officers (ended and open terms), and documents of
// every type from 1998 to 2024 linked to the committees that filed them, to
// the committees they affect and to the report data of filed reports, plus
// a few scanned pages. Everything is drawn from one pseudo-random sequence
// of our own (not the standard library's distributions, whose results
// differ between library versions), so a seed and a document count always
// give the same database.
#include "office/sample_detail.hpp"

namespace tarnwick::office::detail {

OfficeSummary FillSampleOffice(sqlite3* db, std::int64_t documents, std::uint64_t seed,
                               const OfficeProgressCallback& progress) {
  sample::SampleOffice office(db, seed, progress);
  return office.Fill(documents);
}

}  // namespace tarnwick::office::detail

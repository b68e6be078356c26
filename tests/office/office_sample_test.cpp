// The sample office: the same seed and size give the same office, and it
// holds the kinds of rows the library's searches tell apart.

#include <set>
#include <tuple>

#include "support/sample_office.hpp"

namespace tarnwick::test {
namespace {

TEST(OfficeSample, SameSeedAndSizeGiveTheSameOffice) {
  TempDir dir;
  ASSERT_TRUE(MakeOffice(dir.File("a.db"), 300).ok() && MakeOffice(dir.File("b.db"), 300).ok());
  ASSERT_TRUE(MakeOffice(dir.File("c.db"), 300, office::kSampleSeed + 1).ok() && MakeOffice(dir.File("d.db"), 301).ok());
  const std::string a = FileContent(dir.File("a.db"));
  EXPECT_GT(a.size(), 100000u);
  EXPECT_TRUE(a == FileContent(dir.File("b.db")) && a != FileContent(dir.File("c.db")) &&
              a != FileContent(dir.File("d.db")));
}

class SampleOfficeTest : public SampleOfficeSuite<1500, Engines::File> {};

// Each text counts the rows of a kind the searches tell apart: the sample must
// hold some of them.
TEST_F(SampleOfficeTest, HoldsRowsOfEveryKindTheSearchesTellApart) {
  Db db(file_);
  const char* some[] = {
      // Committee history: groups with several dated rows, old rows without a date, closed names.
      "select count(*) from (select group_id from ref_org group by group_id having count(distinct trans_date) >= 3)",
      "select count(*) from ref_org where trans_date is null",
      "select count(*) from org_committee where trans_end_date is not null",
      // Ended treasurers; an officer record with an ended and an open row.
      "select count(*) from org_officers where name_type_code = 'TRS' and trans_end_date is not null",
      "select count(*) from (select group_id from org_officers group by group_id "
      "having count(*) = 2 and count(trans_end_date) = 1)",
      // Staff with past rows and staff who left.
      "select count(*) from ref_user where end_date is not null",
      "select count(*) from (select group_id from ref_user group by group_id having count(end_date) = count(*))",
      "select count(*) from adm_default_reg_setting",
      // Documents filed by nobody, affecting others, accounted for by reports, late, deleted.
      "select count(*) from ref_document where unique_id not in (select document_id from xrf_org_document)",
      "select count(*) from XRF_AFF_ORG_DOCUMENT",
      "select count(*) from xrf_report_document",
      "select count(*) from ref_document where doc_sub_type_code = '48H' and "
      "julianday(receive_send_date) - julianday(other_date) > 2",
      "select count(*) from ref_document where delete_date is not null",
      "select count(*) from ref_document where receive_send_date > due_date and doc_type_code = 'RPT'",
  };
  for (const char* sql : some) EXPECT_GT(db.Int(sql), 0) << sql;

  const char* none[] = {
      // The current view shows each committee's latest reference row.
      "select count(*) from vw_zub_ORG_Committee_ref_current oc where oc.trans_date < "
      "(select max(trans_date) from ref_org r where r.group_id = oc.ref_group_id)",
      "select count(*) from (select group_id from ref_org where trans_date is null group by group_id "
      "having count(*) > 1)",
      // Each candidate committee has one open candidate, each committee one open treasurer, no other type a candidate.
      "select count(*) from vw_zub_ORG_Committee_ref_current oc where oc.comm_type_code = 'CNC' and "
      "(select count(*) from VW_ZUB_ORG_Officers_Ref_Current o where o.ref_group_id = oc.ref_group_id "
      "and o.name_type_code = 'CND') <> 1",
      "select count(*) from vw_zub_ORG_Committee_ref_current oc where "
      "(select count(*) from VW_ZUB_ORG_Officers_Ref_Current o where o.ref_group_id = oc.ref_group_id "
      "and o.name_type_code = 'TRS') <> 1",
      "select count(*) from org_officers where name_type_code = 'CND' and org_group_id in "
      "(select org_group_id from org_committee where comm_type_code <> 'CNC')",
      "select count(*) from org_officers o left join org_name_address na on na.unique_id = o.entity_id "
      "where na.unique_id is null",
      "select count(*) from LKS_COUNTY where Code = 'STA' or Velm_id <= 0",
      // Sub-types belong to their type; links go to a group's first reference row; dates are ISO texts.
      "select count(*) from ref_document rd join lku_document_sub_type st on st.Code = rd.doc_sub_type_code "
      "where st.doc_type_code <> rd.doc_type_code",
      "select count(*) from xrf_org_document x left join ref_org r on r.unique_id = x.org_id "
      "where r.group_id is null or r.group_id <> x.org_id",
      "select count(*) from ref_document where receive_send_date not glob "
      "'[12][0-9][0-9][0-9]-[01][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9]'",
  };
  for (const char* sql : none) EXPECT_EQ(db.Int(sql), 0) << sql;

  // What building it reported; one current row per committee group; the
  // kinds, statuses, staff, elections, links, types and years of a sample.
  const std::string groups = db.Text("select count(distinct group_id) from ref_org");
  EXPECT_EQ(std::tuple(summary_.documents, std::to_string(summary_.committees)), std::tuple(1500, groups));
  const std::string current = " from vw_zub_ORG_Committee_ref_current)";
  EXPECT_EQ(db.Rows("select (select count(*) from ref_document), (select count(*)" + current +
                    ", (select count(distinct ref_group_id)" + current +
                    ", (select count(*) from ref_org r where r.group_id = r.unique_id), "
                    "(select count(*) from org_committee where trans_end_date is null), "
                    "(select count(distinct comm_type_code)" + current + ", (select count(distinct current_status_code)" +
                    current + ", (select count(*) > 5 from ref_user where end_date is null and is_system_user = 0), "
                    "(select count(*) from ref_user where is_system_user = 1), (select count(*) > 27 from ref_election), "
                    "(select count(*) > 1300 from xrf_org_document), (select group_concat(doc_type_code) from (select "
                    "distinct doc_type_code from ref_document order by 1)), (select min(doc_year) || '-' || "
                    "max(doc_year) from ref_document)")[0],
            (std::vector<std::string>{"1500", groups, groups, groups, groups, "6", "4", "1", "2", "1", "1",
                                      "COR,MFI,MSC,PEN,REG,RPT", "1998-2024"}));

  // Codes that expired or are not yet in force, beside codes in force since long ago.
  for (const char* table : {"lks_document_type", "lku_document_sub_type", "lku_office", "LKS_COUNTY"}) {
    EXPECT_EQ(db.Text(std::string("select sum(expire_date <= '2024-01-01' or effective_date > '2080-01-01') > 1 and "
                                  "sum(effective_date <= '2004-01-01' and expire_date is null) > 0 from ") + table),
              "1") << table;
  }
}

TEST_F(SampleOfficeTest, AFewDocumentsHaveScannedPages) {
  Db db(file_);
  // Twelve, each marked on its document and of the sizes it gives, some with an altered image.
  EXPECT_EQ(summary_.images, 12);
  EXPECT_EQ(db.Rows("select count(*), (select count(*) from ref_document where has_image = 1), sum(rd.has_image = 1 "
                    "and di.doc_image_sz = length(di.doc_image) and coalesce(di.alt_doc_image_sz, 0) = "
                    "coalesce(length(di.alt_doc_image), 0)), count(alt_doc_image) > 0 from DOCUMENT_IMAGE di "
                    "join ref_document rd on rd.unique_id = di.document_id")[0],
            (std::vector<std::string>{"12", "12", "12", "1"}));
  // Each image holds as many pages as its page count says, and between them
  // the images come in every compression the office receives.
  std::set<std::string> compressions;
  for (const auto& row : db.Rows("select hex(doc_image), doc_page_ct, document_id from DOCUMENT_IMAGE")) {
    Bytes image;
    for (std::size_t i = 0; i + 1 < row[0].size(); i += 2)
      image.push_back(static_cast<std::uint8_t>(std::stoi(row[0].substr(i, 2), nullptr, 16)));
    const auto pages = pages::ReadPages(image, "document " + row[2]);
    EXPECT_EQ(std::to_string(pages.size()), row[1]) << row[2];
    for (const auto& page : pages) compressions.insert(page.compression);
  }
  EXPECT_EQ(compressions, (std::set<std::string>{"none", "CCITT Group 4", "LZW", "PackBits", "JPEG", "Deflate", "PNG"}));
}

}  // namespace
}  // namespace tarnwick::test

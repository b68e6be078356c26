// Tarnwick: the business layer of a campaign-finance filing office.
//
// Clients create the seven public classes by programmatic identifier
// (CreateObject("Tarnwick.clsDocument")) or directly as C++ objects, hand
// each object its connection settings (ConnectionVariables), and use it as a
// record cursor over the rows of its last query.
#pragma once

#include "tarnwick/clsDocReportExport.hpp"
#include "tarnwick/clsDocument.hpp"
#include "tarnwick/clsDocumentImage.hpp"
#include "tarnwick/clsLookup_List.hpp"
#include "tarnwick/clsNameSearch.hpp"
#include "tarnwick/clsOrg.hpp"
#include "tarnwick/clsXrf_Aff_Org_Document.hpp"
#include "tarnwick/clsXrf_Org_Document.hpp"
#include "tarnwick/enums.hpp"
#include "tarnwick/error.hpp"
#include "tarnwick/gateway.hpp"
#include "tarnwick/host.hpp"
#include "tarnwick/object.hpp"
#include "tarnwick/pages.hpp"
#include "tarnwick/recordset.hpp"
#include "tarnwick/typelib.hpp"
#include "tarnwick/variant.hpp"

// clsXrf_Aff_Org_Document: the affiliated-committee links of a document, a
// link class over xrf_aff_org_document (see org_document_link.hpp).
#include "tarnwick/clsXrf_Aff_Org_Document.hpp"

#include "links/link_bindings.hpp"

namespace tarnwick {

// The affected-committee link names its delete procedure after its table.
clsXrf_Aff_Org_Document::clsXrf_Aff_Org_Document()
    : OrgDocumentLink("clsXrf_Aff_Org_Document", "XRF_AFF_ORG_DOCUMENT", "sp_delete_XRF_AFF_ORG_DOCUMENT") {}
clsXrf_Aff_Org_Document::~clsXrf_Aff_Org_Document() = default;

Variant clsXrf_Aff_Org_Document::Dispatch(const MemberInfo& member, std::span<Variant> args) {
  static const frame::Bindings bindings = links::LinkBindings<clsXrf_Aff_Org_Document>("clsXrf_Aff_Org_Document");
  return bindings.Run(*this, member, args);
}

}  // namespace tarnwick

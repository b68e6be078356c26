// clsXrf_Org_Document: the committee links of a document, a link class over
// xrf_org_document (see org_document_link.hpp).
#include "tarnwick/clsXrf_Org_Document.hpp"

#include "links/link_bindings.hpp"

namespace tarnwick {

clsXrf_Org_Document::clsXrf_Org_Document()
    : OrgDocumentLink("clsXrf_Org_Document", "xrf_org_document", "sp_delete_xrf_org_document") {}
clsXrf_Org_Document::~clsXrf_Org_Document() = default;

Variant clsXrf_Org_Document::Dispatch(const MemberInfo& member, std::span<Variant> args) {
  static const frame::Bindings bindings = links::LinkBindings<clsXrf_Org_Document>("clsXrf_Org_Document");
  return bindings.Run(*this, member, args);
}

}  // namespace tarnwick

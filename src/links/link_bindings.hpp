// The late-bound members of the two link classes, stated once.
#pragma once

#include "cursor/columns.hpp"
#include "frame/binding.hpp"
#include "tarnwick/org_document_link.hpp"

namespace tarnwick::links {

template <class Link>
frame::Bindings LinkBindings(std::string_view className) {
  using TextGet = std::string (OrgDocumentLink::*)() const;
  using TextPut = void (OrgDocumentLink::*)(const std::string&);
  using LongGet = std::int32_t (OrgDocumentLink::*)() const;
  using LongPut = void (OrgDocumentLink::*)(std::int32_t);
  frame::Bindings b(className);
  cursor::BindCursorMembers(b);
  b.Get("OrgID", frame::Bind(TextGet(&Link::OrgID)));
  b.Put("OrgID", frame::Bind(TextPut(&Link::OrgID)));
  b.Get("DocumentID", frame::Bind(TextGet(&Link::DocumentID)));
  b.Put("DocumentID", frame::Bind(TextPut(&Link::DocumentID)));
  b.Get("NewOrgID", frame::Bind(LongGet(&Link::NewOrgID)));
  b.Put("NewOrgID", frame::Bind(LongPut(&Link::NewOrgID)));
  b.Method("DeleteData", frame::Bind(&Link::DeleteData));
  b.Method("GetData", frame::Bind(&Link::GetData));
  b.Method("GetOrgGroupID", frame::Bind(&Link::GetOrgGroupID));
  b.Method("SaveData", frame::Bind(&Link::SaveData));
  return b;
}

}  // namespace tarnwick::links

// clsDocumentImage: the stored page images of a document and the image settings.
#pragma once

#include <cstdint>
#include <string>

#include "tarnwick/data_object.hpp"

namespace tarnwick {

class clsDocumentImage : public DataObject {
 public:
  clsDocumentImage();
  ~clsDocumentImage() override;

  using DataObject::DataReady;
  using DataObject::BOF;
  using DataObject::EndOfFile;
  using DataObject::ConnectionVariables;
  using DataObject::MoveFirst;
  using DataObject::MovePrevious;
  using DataObject::MoveNext;
  using DataObject::MoveLast;

 protected:
  Variant Dispatch(const MemberInfo& member, std::span<Variant> args) override;
};

}  // namespace tarnwick

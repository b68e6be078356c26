// clsOrg: a committee record and the committee searches with candidate and treasurer names.
#pragma once

#include <cstdint>
#include <string>

#include "tarnwick/data_object.hpp"

namespace tarnwick {

class clsOrg : public DataObject {
 public:
  clsOrg();
  ~clsOrg() override;

  using DataObject::Table;
  using DataObject::DataReady;
  using DataObject::BOF;
  using DataObject::EndOfFile;
  using DataObject::RecordCount;
  // Always 0: no operation of the committee object keeps a list count.
  std::int32_t Count() const { return 0; }
  using DataObject::ConnectionVariables;
  using DataObject::ValidateData;
  using DataObject::MoveFirst;
  using DataObject::MovePrevious;
  using DataObject::MoveNext;
  using DataObject::MoveLast;

 protected:
  Variant Dispatch(const MemberInfo& member, std::span<Variant> args) override;
};

}  // namespace tarnwick

// clsLookup_List: code lists in force on a date, and lookups by code.
#pragma once

#include <cstdint>
#include <string>

#include "tarnwick/data_object.hpp"

namespace tarnwick {

class clsLookup_List : public DataObject {
 public:
  clsLookup_List();
  ~clsLookup_List() override;

  using DataObject::DataReady;
  using DataObject::BOF;
  using DataObject::EndOfFile;
  using DataObject::RecordCount;
  using DataObject::ConnectionVariables;
  using DataObject::MoveFirst;
  using DataObject::MovePrevious;
  using DataObject::MoveNext;
  using DataObject::MoveLast;

 protected:
  Variant Dispatch(const MemberInfo& member, std::span<Variant> args) override;
};

}  // namespace tarnwick

// clsDocReportExport: comma-separated export files of filed reports and of correspondence.
#pragma once

#include <cstdint>
#include <string>

#include "tarnwick/data_object.hpp"

namespace tarnwick {

class clsDocReportExport : public DataObject {
 public:
  clsDocReportExport();
  ~clsDocReportExport() override;

  using DataObject::ConnectionVariables;

 protected:
  Variant Dispatch(const MemberInfo& member, std::span<Variant> args) override;
};

}  // namespace tarnwick

// The names client programs give the office's code lists and filing checks
// ("document-sub-type", "48h-list"), the same on the command line and in the
// service's paths.
#pragma once

#include <map>
#include <string>

#include "tarnwick/enums.hpp"

namespace tarnwick::client {

// The code lists by the names a clerk uses for them.
const std::map<std::string, zubList>& ListKinds();

// What a committee search's name is, by name: the search form's InfoType
// ("committee" names are "1", "id" "2", "previous-id" "7", "candidate" "3",
// "treasurer" "4").
const std::map<std::string, std::string>& CommitteeNameKinds();

// The filing checks by name.
const std::map<std::string, MEFRunType>& CheckKinds();

// The names of a map's keys, separated by ", ".
template <class Map>
std::string Names(const Map& kinds) {
  std::string names;
  for (const auto& [name, kind] : kinds) names += (names.empty() ? "" : ", ") + name;
  return names;
}

}  // namespace tarnwick::client

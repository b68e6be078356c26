// The classes the library serves, found by class name. The frame creates
// objects through this one function and knows none of the classes: the table
// itself stands above every class, in src/classes.cpp.
#pragma once

#include <memory>
#include <string_view>

#include "tarnwick/object.hpp"

namespace tarnwick::frame {

// A new object of the named class ("clsDocument"), or null when the library
// serves no class of that name.
std::shared_ptr<Object> ConstructClass(std::string_view className);

}  // namespace tarnwick::frame

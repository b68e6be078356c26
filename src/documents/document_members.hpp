// The late-bound members of clsDocument, stated once (for the class and for
// the tests that check every interface member is answered).
#pragma once

#include "frame/binding.hpp"

namespace tarnwick::documents {

const frame::Bindings& DocumentMembers();

}  // namespace tarnwick::documents

// The server's copy of the rule that turns a name into the words it is found
// by (runtime/name_words.hpp), written from the rule's own tables so that a
// name is the same words on either engine.
#pragma once

#include <string>

namespace tarnwick::office {

// The statement "create or replace function tw_name_words(text, integer)
// returns text ...": tw_name_words(x, 0) is NameWords(x, Index), any other
// use NameWords(x, Query); null in, null out. Set-based SQL throughout
// (translate, replace, one regular expression), so it costs little per name.
std::string NameWordsFunctionSql();

}  // namespace tarnwick::office

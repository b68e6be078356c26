// Rows of the public classes as the service answers with them: a row's
// columns in JSON, and a list a page at a time in the order of a
// whole-number key. Both routes' families (public and clerks') use these.
//
// Thread safety: an object passed in is called on the caller's thread only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "http.hpp"
#include "tarnwick/data_object.hpp"
#include "tarnwick/variant.hpp"

namespace tarnwick::service {

// The current row's columns, each in the kind the office stores it in; a
// column the query did not select is left out.
Json RowJson(Object& object, const std::vector<std::string>& columns);

// One page of the object's rows ordered by the whole-number column property
// `key`: the rows whose key is above `after`, one per key, at most `limit`,
// as {"items": [...], "next": key of the last item, or null when no row
// follows}. The classes keep the database's order, so the keys are read in a
// first pass and only the page's rows are read whole in a second.
Json KeysetPage(Object& object, std::string_view key, const std::vector<std::string>& columns, std::int64_t after,
                std::int64_t limit);

// A query that came back false: no rows, or the office's refusal (422, with
// what was refused and the office's reason).
void ThrowIfRefused(const DataObject& object, const std::string& what);

// Answers with page `page` (1 for the first) of a stored image as a PNG
// `width` pixels wide (0: the page's own); 404 when the image has fewer
// pages. `name` says whose pages they are in refusals ("filing 1050").
void SendPagePng(Call& c, const Bytes& image, const std::string& name, std::int64_t page, std::int64_t width);

}  // namespace tarnwick::service

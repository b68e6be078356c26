// Rows in JSON, and keyset pages over the classes' result sets.
#include "rows.hpp"

#include <fmt/core.h>

#include <algorithm>

#include "client/columns.hpp"
#include "client/json_value.hpp"
#include "tarnwick/pages.hpp"

namespace tarnwick::service {

void SendPagePng(Call& c, const Bytes& image, const std::string& name, std::int64_t page, std::int64_t width) {
  const auto pages = pages::ReadPages(image, name);
  if (static_cast<std::size_t>(page) > pages.size()) {
    throw Problem(404, fmt::format("{} has {} pages, not {}", name, pages.size(), page));
  }
  const Bytes png = pages::RenderPng(image, name, static_cast<std::uint32_t>(page), static_cast<std::uint32_t>(width));
  c.response.set_content(reinterpret_cast<const char*>(png.data()), png.size(), "image/png");
}

Json RowJson(Object& object, const std::vector<std::string>& columns) {
  Json row = Json::object();
  for (const std::string& name : columns) {
    if (auto value = client::ReadColumn(object, name)) row[name] = client::JsonValue(client::StoredValue(name, *value));
  }
  return row;
}

Json KeysetPage(Object& object, std::string_view key, const std::vector<std::string>& columns, std::int64_t after,
                std::int64_t limit) {
  std::vector<std::pair<std::int64_t, std::size_t>> keys;  // key, row index
  if (object.Get("DataReady").CBool()) {
    for (std::size_t i = 0; !object.Get("EOF").CBool(); ++i, object.Call("MoveNext")) {
      const Variant k = client::StoredValue(key, object.Get(key));
      if (k.Type() == VarType::Long && k.CLng() > after) keys.emplace_back(k.CLng(), i);
    }
  }
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.first == b.first; }),
             keys.end());
  const bool more = static_cast<std::int64_t>(keys.size()) > limit;
  if (more) keys.resize(static_cast<std::size_t>(limit));
  std::vector<std::pair<std::size_t, std::size_t>> wanted;  // row index, place in the page
  for (std::size_t place = 0; place < keys.size(); ++place) wanted.emplace_back(keys[place].second, place);
  std::sort(wanted.begin(), wanted.end());
  std::vector<Json> items(keys.size());
  if (!wanted.empty()) {
    object.Call("MoveFirst");
    std::size_t row = 0;
    for (const auto& [index, place] : wanted) {
      for (; row < index; ++row) object.Call("MoveNext");
      items[place] = RowJson(object, columns);
    }
  }
  return Json{{"items", items}, {"next", more ? Json(keys.back().first) : Json(nullptr)}};
}

void ThrowIfRefused(const DataObject& object, const std::string& what) {
  if (!object.LastErrorText().empty()) throw Problem(422, what + ": " + object.LastErrorText());
}

}  // namespace tarnwick::service

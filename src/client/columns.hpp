// What every client program of the library (the `tarnwick` command, the
// service) shares about the public classes' column properties: which
// properties are columns, reading one by name through late binding, the kind
// the office stores each in, and finding the property a name sets.
//
// Thread safety: the functions share no state; an object passed in is called
// on the caller's thread only, as the classes require.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tarnwick/object.hpp"
#include "tarnwick/typelib.hpp"
#include "tarnwick/variant.hpp"

namespace tarnwick::client {

// Member names are ASCII and match without regard to letter case.
bool SameName(std::string_view a, std::string_view b);

// The column properties of a class: readable properties without arguments
// whose value is text or a number, less the cursor's own members (DataReady,
// BOF, EOF, RecordCount, Count, Table) and those listed in skip.
std::vector<std::string> ColumnProperties(const Object& object, const std::vector<std::string>& skip = {});

// The value of a column property in the kind the office stores it in: an
// identifier or year the class gives as text is a Long, a flag a Boolean, a
// total money, a date text a Date; the empty text of such a column is Null.
// A text that does not read as its kind (data written around the library)
// stays text rather than being changed. Other properties pass unchanged.
Variant StoredValue(std::string_view property, const Variant& value);

// The kind the office stores a column property in when the class hands it
// out as another (text for a date, say); nothing for the others.
std::optional<VarType> StoredKind(std::string_view property);

// The property of the current row, as the class gives it; nothing when the
// last query did not select its column (the result set's 3265). Other
// failures pass unchanged.
std::optional<Variant> ReadColumn(Object& object, const std::string& property);

// The writable properties of the class, in type-library order.
std::vector<std::string> SettableProperties(const Object& object);

// The writable property called `name` (letter case ignored), as the type
// library spells it; nothing when there is none.
std::optional<std::string> SettableProperty(const Object& object, std::string_view name);

}  // namespace tarnwick::client

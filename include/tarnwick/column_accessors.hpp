// Declaring the column properties of the public classes, one line each:
//
//   TARNWICK_COLUMN(std::string, DueDate);
//       std::string DueDate() const;  void DueDate(const std::string& value);
//   TARNWICK_COLUMN(tarnwick::Currency, AmountDue);
//       tarnwick::Currency AmountDue() const;  void AmountDue(tarnwick::Currency value);
//   TARNWICK_BYTES_COLUMN(Image);
//       Bytes Image() const;  void Image(const Bytes& value);  void Image(Bytes&& value);
//
// A column a client only reads is declared as its reader alone
// ("std::string OrgName() const;"). The library defines every accessor from
// the class's column table.
#pragma once

#include <type_traits>

#include "tarnwick/variant.hpp"

namespace tarnwick {

// How a column's writer takes its value: numbers, Currency and Date by
// value, texts by reference.
template <class T>
using ColumnArgument = std::conditional_t<std::is_trivially_copyable_v<T>, T, const T&>;

}  // namespace tarnwick

// A column a client reads and sets.
#define TARNWICK_COLUMN(Type, Name) \
  Type Name() const;                \
  void Name(::tarnwick::ColumnArgument<Type> value)

// A byte-array column a client reads and sets; the second writer takes the
// caller's array instead of copying it.
#define TARNWICK_BYTES_COLUMN(Name)          \
  ::tarnwick::Bytes Name() const;            \
  void Name(const ::tarnwick::Bytes& value); \
  void Name(::tarnwick::Bytes&& value)

// Variant: the tagged value that travels between the library, its clients and
// the data gateway (Null, a number, a text, a date, money, bytes or an object).
//
// The C-prefixed members are the runtime's conversions under the United
// States English locale: CStr("12") to CLng gives 12, CStr of a Date gives the
// general date text, CLng of 2.5 gives 2 (banker's rounding), and so on. A
// conversion that cannot be made throws RuntimeError: 13 type mismatch, 6
// overflow, 94 invalid use of Null, 91 object not set.
//
// Thread safety: a Variant is a value; distinct Variants may be used from
// distinct threads, one Variant needs external synchronisation to be written.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace tarnwick {

class Recordset;
class Object;

struct Currency {
  std::int64_t scaled;  // money value x 10,000
  friend bool operator==(Currency, Currency) = default;
};
struct Date {
  double serial;  // OLE automation date: days since 1899-12-30, fraction = time of day
  friend bool operator==(Date, Date) = default;
};
using Bytes = std::vector<std::uint8_t>;

enum class VarType { Empty, Null, Boolean, Integer, Long, Double, Currency, Date, String, Bytes, Object };

class Variant {
 public:
  Variant() = default;  // Empty
  static Variant Null();
  Variant(bool v);
  Variant(std::int16_t v);
  Variant(std::int32_t v);
  Variant(double v);
  Variant(Currency v);
  Variant(Date v);
  Variant(std::string v);
  Variant(const char* v);
  Variant(Bytes v);
  Variant(std::shared_ptr<Recordset> v);  // Object kind; a null pointer is Nothing
  Variant(std::shared_ptr<Object> v);     // Object kind; a null pointer is Nothing

  VarType Type() const;
  bool IsNull() const;
  bool IsEmpty() const;
  bool IsNothing() const;  // Object kind holding no object

  // REQUIRES: Type() == VarType::Object; otherwise throws 13.
  std::shared_ptr<Recordset> AsRecordset() const;
  std::shared_ptr<Object> AsObject() const;

  std::string CStr() const;
  std::int32_t CLng() const;
  std::int16_t CInt() const;
  bool CBool() const;
  double CDbl() const;
  Currency CCur() const;
  Date CDate() const;
  const Bytes& AsBytes() const;  // REQUIRES: Type() == VarType::Bytes; otherwise throws 13.

  // The value joined to empty text (`value & ""`): as CStr, but Null gives "".
  std::string Text() const;

  // Same kind and same value (texts compared exactly). Not the runtime's `=`.
  friend bool operator==(const Variant& a, const Variant& b);

 private:
  struct NullTag {
    friend bool operator==(NullTag, NullTag) = default;
  };
  struct Boolean {
    bool value;
    friend bool operator==(Boolean, Boolean) = default;
  };
  struct ObjectRef {
    std::shared_ptr<Recordset> recordset;
    std::shared_ptr<Object> object;
    friend bool operator==(const ObjectRef&, const ObjectRef&) = default;
  };
  // A byte array is shared by the copies of its Variant and never changed
  // once stored, so that a page image of many megabytes passes between the
  // client, the result set and the gateway without being copied.
  struct SharedBytes {
    std::shared_ptr<const Bytes> bytes;
    friend bool operator==(const SharedBytes& a, const SharedBytes& b) { return *a.bytes == *b.bytes; }
  };
  using Storage = std::variant<std::monostate, NullTag, Boolean, std::int16_t, std::int32_t, double, Currency,
                               Date, std::string, SharedBytes, ObjectRef>;
  Storage v_;
};

}  // namespace tarnwick

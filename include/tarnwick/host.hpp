// The entry points through which a component host loads, registers and
// unloads the library file (libtarnwick.so). They use the C calling
// convention and return HRESULT-style codes: 0 success, 1 "false".
//
//   TarnwickSetRegistryFile("/var/lib/office/registry.ini");
//   DllRegisterServer();                   // records every class
//   void* factory = nullptr;
//   DllGetClassObject("{clsid}", &factory); // a tarnwick::ClassFactory*
//   auto obj = static_cast<tarnwick::ClassFactory*>(factory)->CreateInstance();
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "tarnwick/object.hpp"

namespace tarnwick {

// The entry points' result codes.
inline constexpr std::int32_t kTarnwickOk = 0;
inline constexpr std::int32_t kTarnwickFalse = 1;
inline constexpr std::int32_t kTarnwickClassNotAvailable = static_cast<std::int32_t>(0x80040111u);
inline constexpr std::int32_t kTarnwickPointer = static_cast<std::int32_t>(0x80004003u);
inline constexpr std::int32_t kTarnwickRegistryWrite = static_cast<std::int32_t>(0x80040151u);

// Creates new objects of one class; LockServer keeps the library loaded.
class ClassFactory {
 public:
  explicit ClassFactory(const ClassInfo& info) : info_(&info) {}
  std::shared_ptr<Object> CreateInstance() const;
  void LockServer(bool lock) const;
  const ClassInfo& Class() const { return *info_; }

 private:
  const ClassInfo* info_;
};

}  // namespace tarnwick

extern "C" {

// The file that holds the registration records; the host chooses it before registering.
std::int32_t TarnwickSetRegistryFile(const char* path);
// The class factory for a class identifier (or programmatic identifier); *factory is a tarnwick::ClassFactory*.
std::int32_t DllGetClassObject(const char* clsid, void** factory);
// 0 when no object of the library and no factory lock is alive, else 1.
std::int32_t DllCanUnloadNow(void);
// Writes, per class: programmatic identifier, class identifier, library path,
// threading model Apartment, and the type library with its version.
std::int32_t DllRegisterServer(void);
// Removes what DllRegisterServer wrote; other records of the file stay.
std::int32_t DllUnregisterServer(void);
}

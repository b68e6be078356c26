// Object creation and the library's entry points: class factories by class
// identifier or programmatic identifier, the unload test, and registration
// records kept in a text registry file that the host names.
#include "tarnwick/host.hpp"

#include <dlfcn.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "frame/class_table.hpp"
#include "runtime/replacing_file.hpp"
#include "tarnwick/error.hpp"
#include "tarnwick/typelib.hpp"

namespace tarnwick {
namespace {

std::atomic<std::int32_t> g_factoryLocks{0};

RuntimeError CannotCreate(std::string_view what) {
  return RuntimeError(err::kCannotCreateObject, "Tarnwick",
                      "ActiveX component can't create object: " + std::string(what));
}

// The registry file: sections "[key]" followed by "name=value" lines; "@" is a key's default value.
using Registry = std::map<std::string, std::map<std::string, std::string>>;

std::mutex g_registryMutex;
std::string g_registryFile;

bool ReadRegistry(const std::string& path, Registry& out) {
  std::ifstream in(path);
  if (!in) return !std::filesystem::exists(path);
  std::string line, section;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';') continue;
    if (line.front() == '[' && line.back() == ']') {
      section = line.substr(1, line.size() - 2);
      out[section];
    } else if (const auto eq = line.find('='); eq != std::string::npos && !section.empty()) {
      out[section][line.substr(0, eq)] = line.substr(eq + 1);
    }
  }
  return true;
}

// Written through the replacing file: a failure leaves the registry as it
// was, and the file keeps its permissions.
bool WriteRegistry(const std::string& path, const Registry& registry) {
  std::string text;
  for (const auto& [section, values] : registry) {
    text += '[' + section + "]\n";
    for (const auto& [name, value] : values) text += name + '=' + value + '\n';
    text += '\n';
  }
  try {
    runtime::ReplacingFile out(path);
    out.Write(text);
    out.Commit();
    return true;
  } catch (const RuntimeError&) {
    return false;
  }
}

std::string LibraryPath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&DllRegisterServer), &info) != 0 && info.dli_fname != nullptr) {
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(info.dli_fname, ec);
    return ec ? std::string(info.dli_fname) : absolute.string();
  }
  return "libtarnwick.so";
}

std::string VersionText(const TypeLibraryInfo& lib) {
  return std::to_string(lib.majorVersion) + "." + std::to_string(lib.minorVersion);
}

// The keys DllRegisterServer writes, with their values.
Registry OurRecords() {
  const TypeLibraryInfo& lib = TypeLibrary();
  const std::string path = LibraryPath();
  Registry r;
  for (const ClassInfo& c : lib.classes) {
    const std::string progId(c.progId), clsid(c.clsid);
    r["HKCR\\" + progId]["@"] = progId;
    r["HKCR\\" + progId + "\\Clsid"]["@"] = clsid;
    r["HKCR\\CLSID\\" + clsid]["@"] = progId;
    r["HKCR\\CLSID\\" + clsid + "\\InprocServer32"]["@"] = path;
    r["HKCR\\CLSID\\" + clsid + "\\InprocServer32"]["ThreadingModel"] = "Apartment";
    r["HKCR\\CLSID\\" + clsid + "\\ProgID"]["@"] = progId;
    r["HKCR\\CLSID\\" + clsid + "\\TypeLib"]["@"] = std::string(lib.libid);
    r["HKCR\\CLSID\\" + clsid + "\\VERSION"]["@"] = VersionText(lib);
    r["HKCR\\Interface\\" + std::string(c.iid)]["@"] = std::string(c.interfaceName);
    r["HKCR\\Interface\\" + std::string(c.iid) + "\\TypeLib"]["@"] = std::string(lib.libid);
    r["HKCR\\Interface\\" + std::string(c.iid) + "\\TypeLib"]["Version"] = VersionText(lib);
  }
  const std::string tl = "HKCR\\TypeLib\\" + std::string(lib.libid) + "\\" + VersionText(lib);
  r[tl]["@"] = std::string(lib.helpString);
  r[tl + "\\409\\linux"]["@"] = path;
  return r;
}

std::int32_t UpdateRegistry(bool add) {
  std::lock_guard lock(g_registryMutex);
  if (g_registryFile.empty()) return kTarnwickRegistryWrite;
  Registry registry;
  if (!ReadRegistry(g_registryFile, registry)) return kTarnwickRegistryWrite;
  for (auto& [section, values] : OurRecords()) {
    if (add) {
      for (auto& [name, value] : values) registry[section][name] = value;
    } else {
      registry.erase(section);
    }
  }
  return WriteRegistry(g_registryFile, registry) ? kTarnwickOk : kTarnwickRegistryWrite;
}

const ClassFactory* FactoryFor(std::string_view id) {
  static const std::vector<ClassFactory> factories = [] {
    std::vector<ClassFactory> v;
    for (const ClassInfo& c : TypeLibrary().classes) v.emplace_back(c);
    return v;
  }();
  const ClassInfo* info = TypeLibrary().FindClass(id);
  if (info == nullptr) return nullptr;
  for (const ClassFactory& f : factories) {
    if (&f.Class() == info) return &f;
  }
  return nullptr;
}

}  // namespace

std::shared_ptr<Object> ClassFactory::CreateInstance() const {
  auto object = frame::ConstructClass(info_->name);
  if (!object) throw CannotCreate(info_->progId);
  return object;
}

void ClassFactory::LockServer(bool lock) const {
  if (lock) ++g_factoryLocks;
  else if (g_factoryLocks.load() > 0) --g_factoryLocks;
}

std::shared_ptr<Object> CreateObject(std::string_view progIdOrClsid) {
  const ClassFactory* factory = FactoryFor(progIdOrClsid);
  // Only the programmatic identifier ("Tarnwick.clsDocument") or the class
  // identifier create an object; a bare class name is not a registered name.
  if (factory == nullptr || (progIdOrClsid.find('.') == std::string_view::npos &&
                             progIdOrClsid.find('{') == std::string_view::npos)) {
    throw CannotCreate(progIdOrClsid);
  }
  return factory->CreateInstance();
}

}  // namespace tarnwick

extern "C" {

std::int32_t TarnwickSetRegistryFile(const char* path) {
  if (path == nullptr) return tarnwick::kTarnwickPointer;
  std::lock_guard lock(tarnwick::g_registryMutex);
  tarnwick::g_registryFile = path;
  return tarnwick::kTarnwickOk;
}

std::int32_t DllGetClassObject(const char* clsid, void** factory) {
  if (factory == nullptr) return tarnwick::kTarnwickPointer;
  *factory = nullptr;
  if (clsid == nullptr) return tarnwick::kTarnwickClassNotAvailable;
  const tarnwick::ClassFactory* f = tarnwick::FactoryFor(clsid);
  if (f == nullptr) return tarnwick::kTarnwickClassNotAvailable;
  *factory = const_cast<tarnwick::ClassFactory*>(f);
  return tarnwick::kTarnwickOk;
}

std::int32_t DllCanUnloadNow(void) {
  return tarnwick::LiveObjectCount() == 0 && tarnwick::g_factoryLocks.load() == 0 ? tarnwick::kTarnwickOk
                                                                                    : tarnwick::kTarnwickFalse;
}

std::int32_t DllRegisterServer(void) { return tarnwick::UpdateRegistry(true); }
std::int32_t DllUnregisterServer(void) { return tarnwick::UpdateRegistry(false); }

}  // extern "C"

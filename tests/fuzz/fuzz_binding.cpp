// Late binding under arbitrary calls: the input picks a class, then a run of
// members (by name from the class's table, or a made-up name), an argument
// count and each argument's kind and value, and calls them through
// CreateObject / Invoke on an object connected to a small sample office.
// Every call must return or raise a RuntimeError, never crash or throw
// anything else. The office file is laid anew for every input so a crash
// found replays the same way.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "office/file_office.hpp"
#include "tarnwick/error.hpp"
#include "tarnwick/object.hpp"
#include "tarnwick/typelib.hpp"
#include "tarnwick/variant.hpp"

namespace {

namespace fs = std::filesystem;

// Reads the input a piece at a time; past its end every read gives zeros.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Done() const { return at_ >= size_; }
  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::uint32_t Word() {
    std::uint32_t w = 0;
    for (int i = 0; i < 4; ++i) w = (w << 8) | Byte();
    return w;
  }
  // A text of up to 31 bytes. Slashes and a leading dot are replaced so that
  // a text used as a file or folder name stays inside the scratch folder.
  std::string Text() {
    const std::size_t n = Byte() % 32;
    std::string s;
    for (std::size_t i = 0; i < n && !Done(); ++i) {
      char c = static_cast<char>(Byte());
      if (c == '/' || c == '\\' || c == '\0') c = '_';
      s.push_back(c);
    }
    if (!s.empty() && s[0] == '.') s[0] = '_';
    return s;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

struct Scratch {
  fs::path dir, pristine, office;
};

const Scratch& Setup() {
  static const Scratch scratch = [] {
    Scratch s;
    std::string pattern = (fs::temp_directory_path() / "tw_fuzz_binding_XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    s.dir = pattern;
    s.pristine = s.dir / "pristine.tarnwick";
    s.office = s.dir / "office.tarnwick";
    tarnwick::office::OfficeOptions options;
    options.sampleDocuments = 12;
    if (tarnwick::office::CreateFileOffice(s.pristine, options).status != tarnwick::office::OfficeStatus::Ok)
      std::abort();
    return s;
  }();
  return scratch;
}

void LayOffice(const Scratch& s) {
  std::error_code ec;
  // Now and then clear away the files and folders earlier inputs made.
  static unsigned runs = 0;
  if (++runs % 1024 == 0) {
    for (const auto& entry : fs::directory_iterator(s.dir, ec)) {
      if (entry.path() != s.pristine) fs::remove_all(entry.path(), ec);
    }
  }
  fs::remove(s.office.string() + "-wal", ec);
  fs::remove(s.office.string() + "-shm", ec);
  fs::copy_file(s.pristine, s.office, fs::copy_options::overwrite_existing, ec);
  if (ec) std::abort();
}

tarnwick::Variant Argument(Input& in) {
  using tarnwick::Variant;
  switch (in.Byte() % 12) {
    case 0: return Variant();
    case 1: return Variant::Null();
    case 2: return Variant((in.Byte() & 1) != 0);
    case 3: return Variant(static_cast<std::int16_t>(in.Word()));
    case 4: return Variant(static_cast<std::int32_t>(in.Word() % 64) - 8);  // small keys hit real rows
    case 5: return Variant(static_cast<std::int32_t>(in.Word()));
    case 6: {
      const std::uint64_t bits = (static_cast<std::uint64_t>(in.Word()) << 32) | in.Word();
      double d = 0;
      static_assert(sizeof d == sizeof bits);
      __builtin_memcpy(&d, &bits, sizeof d);
      return Variant(d);
    }
    case 7: return Variant(tarnwick::Currency{static_cast<std::int64_t>(static_cast<std::int32_t>(in.Word())) * 97});
    case 8: return Variant(tarnwick::Date{static_cast<double>(static_cast<std::int32_t>(in.Word()) % 3000000) / 7.0});
    case 9: {
      tarnwick::Bytes b(in.Byte() % 16);
      for (auto& x : b) x = in.Byte();
      return Variant(std::move(b));
    }
    case 10: return Variant(std::shared_ptr<tarnwick::Object>());
    default: return Variant(in.Text());
  }
}

}  // namespace

// Export files and image folders named by the input are made in the working
// folder, so the fuzzer works in a scratch folder of its own. The corpus
// folders and files named on the command line are made absolute first, and
// crash reports still go to the folder the fuzzer was started in.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  static std::vector<std::string> texts;
  static std::vector<char*> pointers;
  const fs::path started = fs::current_path();
  bool prefix = false;
  for (int i = 0; i < *argc; ++i) {
    std::string a = (*argv)[i];
    std::error_code ec;
    if (i > 0 && a[0] != '-' && fs::exists(a, ec)) a = fs::absolute(a).string();
    prefix = prefix || a.rfind("-artifact_prefix=", 0) == 0;
    texts.push_back(a);
  }
  if (!prefix) texts.push_back("-artifact_prefix=" + (started / "").string());
  for (auto& t : texts) pointers.push_back(t.data());
  pointers.push_back(nullptr);
  *argc = static_cast<int>(texts.size());
  *argv = pointers.data();
  fs::current_path(Setup().dir);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Scratch& scratch = Setup();
  LayOffice(scratch);
  Input in(data, size);
  const auto& classes = tarnwick::TypeLibrary().classes;
  const tarnwick::ClassInfo& info = classes[in.Byte() % classes.size()];
  try {
    auto object = tarnwick::CreateObject(info.progId);
    object->Call("ConnectionVariables", {scratch.office.string(), "embedded", "", "", false});
    for (int call = 0; call < 8 && !in.Done(); ++call) {
      const std::uint8_t pick = in.Byte();
      std::vector<tarnwick::Variant> args(in.Byte() % 7);
      for (auto& a : args) a = Argument(in);
      try {
        if (pick == 255) {
          // A name the class may not have: 438, or the member of that name.
          object->Call(in.Text(), args);
        } else {
          const tarnwick::MemberInfo& m = info.members[pick % info.members.size()];
          object->Invoke(m.dispid, m.kind, args);
        }
      } catch (const tarnwick::RuntimeError&) {
        // The expected way for a call to fail.
      }
    }
  } catch (const tarnwick::RuntimeError&) {
  }
  return 0;
}

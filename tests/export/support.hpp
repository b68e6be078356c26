// Helpers of the export tests: reading a file whole and a scratch folder.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "documents/support.hpp"
#include "office/support.hpp"

namespace tarnwick::test {

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

}  // namespace tarnwick::test

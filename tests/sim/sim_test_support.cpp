#include "sim_test_support.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

namespace quorvane::sim::testing {
namespace {

std::string UniquePath(const std::string& stem) {
  std::random_device random;
  const auto folder = std::filesystem::temp_directory_path();
  return (folder / ("quorvane_sim_" + stem + "_" + std::to_string(random()) + ".tmp")).string();
}

void PutU32(std::vector<char>* out, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void PutU16(std::vector<char>* out, uint16_t value) {
  out->push_back(static_cast<char>(value & 0xFF));
  out->push_back(static_cast<char>(value >> 8));
}

}  // namespace

std::string WriteWaveFile(const std::string& stem, double seconds) {
  const auto frames = static_cast<uint32_t>(seconds * 48000.0);
  const uint32_t dataSize = frames * 4;
  std::vector<char> bytes;
  for (char c : std::string("RIFF"))
    bytes.push_back(c);
  PutU32(&bytes, dataSize + 36);
  for (char c : std::string("WAVEfmt "))
    bytes.push_back(c);
  PutU32(&bytes, 16);
  PutU16(&bytes, 1);
  PutU16(&bytes, 2);
  PutU32(&bytes, 48000);
  PutU32(&bytes, 192000);
  PutU16(&bytes, 4);
  PutU16(&bytes, 16);
  for (char c : std::string("data"))
    bytes.push_back(c);
  PutU32(&bytes, dataSize);
  bytes.resize(bytes.size() + dataSize, 0);
  const std::string path = UniquePath(stem);
  std::ofstream file(path, std::ios::binary);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::string WriteTextFile(const std::string& stem, const std::string& text) {
  const std::string path = UniquePath(stem);
  std::ofstream file(path, std::ios::binary);
  file << text;
  return path;
}

void RemoveFile(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
}

}  // namespace quorvane::sim::testing

// The click file as other programs see it: the header read byte by byte, and the samples read
// back by sox, an independent WAV reader, against the click's formula.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "practise/count_in_player.h"
#include "temp_folder.h"

namespace quorvane::practise {
namespace {

using testing::FromUtf8;
using testing::ReadFileBytes;
using testing::ScopedTempFolder;

// The click as the sound is defined: 1600 Hz at 0.8 on the accents (the first beat, and the fifth
// of eight), 1000 Hz at 0.55 otherwise, 10 ms decaying with exp(-700 t), at 48 kHz.
std::vector<int16_t> ExpectedClick(double bpm, int beats) {
  const long framesPerBeat = std::lround(60.0 / bpm * 48000.0);
  std::vector<int16_t> samples(static_cast<size_t>(beats * framesPerBeat + 480) * 2, 0);
  for (int b = 0; b < beats; ++b) {
    const bool accent = b == 0 || (beats == 8 && b == 4);
    const double frequency = accent ? 1600.0 : 1000.0;
    const double amplitude = accent ? 0.8 : 0.55;
    for (int n = 0; n < 480; ++n) {
      const double t = n / 48000.0;
      const double value =
          std::sin(2.0 * std::numbers::pi * frequency * t) * amplitude * std::exp(-700.0 * t);
      const float clamped = std::clamp(static_cast<float>(value), -1.0f, 1.0f);
      const auto sample = static_cast<int16_t>(std::lrintf(clamped * 32767.0f));
      const size_t frame = static_cast<size_t>(b * framesPerBeat + n);
      samples[frame * 2] = sample;
      samples[frame * 2 + 1] = sample;
    }
  }
  return samples;
}

uint32_t U32At(const std::vector<unsigned char>& bytes, size_t at) {
  return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
         (static_cast<uint32_t>(bytes[at + 3]) << 24);
}
uint16_t U16At(const std::vector<unsigned char>& bytes, size_t at) {
  return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}
std::string TagAt(const std::vector<unsigned char>& bytes, size_t at) {
  return std::string(bytes.begin() + static_cast<long>(at),
                     bytes.begin() + static_cast<long>(at) + 4);
}

struct ClickCase {
  double bpm;
  int beats;
  uint32_t frames;
};

class ClickFileTest : public ::testing::TestWithParam<ClickCase> {
 protected:
  ScopedTempFolder folder_;
};

TEST_P(ClickFileTest, HeaderAndSamplesAreWhatTheHostIsPromised) {
  const ClickCase c = GetParam();
  const platform::TempFile file = WriteClickFile(c.bpm, c.beats);
  ASSERT_FALSE(file.Empty());
  const std::vector<unsigned char> bytes = ReadFileBytes(FromUtf8(file.Path()));
  const uint32_t dataSize = c.frames * 4;
  ASSERT_EQ(bytes.size(), 44u + dataSize);
  EXPECT_EQ(TagAt(bytes, 0), "RIFF");
  EXPECT_EQ(U32At(bytes, 4), dataSize + 36);
  EXPECT_EQ(TagAt(bytes, 8), "WAVE");
  EXPECT_EQ(TagAt(bytes, 12), "fmt ");
  EXPECT_EQ(U32At(bytes, 16), 16u);
  EXPECT_EQ(U16At(bytes, 20), 1);
  EXPECT_EQ(U16At(bytes, 22), 2);
  EXPECT_EQ(U32At(bytes, 24), 48000u);
  EXPECT_EQ(U32At(bytes, 28), 192000u);
  EXPECT_EQ(U16At(bytes, 32), 4);
  EXPECT_EQ(U16At(bytes, 34), 16);
  EXPECT_EQ(TagAt(bytes, 36), "data");
  EXPECT_EQ(U32At(bytes, 40), dataSize);

  const std::vector<int16_t> expected = ExpectedClick(c.bpm, c.beats);
  ASSERT_EQ(expected.size() * 2, dataSize);
  size_t mismatches = 0;
  for (size_t i = 0; i < expected.size(); ++i) {
    if (static_cast<int16_t>(U16At(bytes, 44 + i * 2)) != expected[i]) ++mismatches;
  }
  EXPECT_EQ(mismatches, 0u);
}

#ifndef _WIN32
std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::vector<unsigned char> RunAndCapture(const std::string& command) {
  std::vector<unsigned char> output;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return output;
  unsigned char buffer[65536];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
    output.insert(output.end(), buffer, buffer + got);
  }
  pclose(pipe);
  return output;
}

std::string SoxInfo(const std::string& option, const std::string& path) {
  const std::vector<unsigned char> out =
      RunAndCapture("sox --i " + option + " " + ShellQuoted(path) + " 2>/dev/null");
  std::string text(out.begin(), out.end());
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
    text.pop_back();
  return text;
}
#endif

TEST_P(ClickFileTest, SoxReadsTheClickSampleBySample) {
#ifdef _WIN32
  GTEST_SKIP() << "sox is a Linux program; the header and samples are checked byte by byte above";
#else
  ASSERT_EQ(std::system("sox --version >/dev/null 2>&1"), 0) << "sox must be installed";
  const ClickCase c = GetParam();
  const platform::TempFile file = WriteClickFile(c.bpm, c.beats);
  ASSERT_FALSE(file.Empty());
  // sox knows the file by its content alone, as the host must (the name ends in .tmp).
  EXPECT_EQ(SoxInfo("-t", file.Path()), "wav");
  EXPECT_EQ(SoxInfo("-r", file.Path()), "48000");
  EXPECT_EQ(SoxInfo("-c", file.Path()), "2");
  EXPECT_EQ(SoxInfo("-b", file.Path()), "16");
  EXPECT_EQ(SoxInfo("-e", file.Path()), "Signed Integer PCM");
  EXPECT_EQ(SoxInfo("-s", file.Path()), std::to_string(c.frames));

  const std::vector<unsigned char> raw =
      RunAndCapture("sox " + ShellQuoted(file.Path()) + " -t raw -e signed -b 16 -L - 2>/dev/null");
  const std::vector<int16_t> expected = ExpectedClick(c.bpm, c.beats);
  ASSERT_EQ(raw.size(), expected.size() * 2);
  std::vector<int16_t> read(expected.size());
  for (size_t i = 0; i < read.size(); ++i) {
    read[i] = static_cast<int16_t>(raw[i * 2] | (raw[i * 2 + 1] << 8));
  }
  EXPECT_EQ(read, expected);

  // Every click starts at zero, accented ones stay under 0.8 of full scale.
  const size_t framesPerBeat = (c.frames - 480) / static_cast<uint32_t>(c.beats);
  int accentPeak = 0;
  for (int b = 0; b < c.beats; ++b) {
    const size_t first = static_cast<size_t>(b) * framesPerBeat;
    EXPECT_EQ(read[first * 2], 0) << "beat " << b;
    if (b == 0 || (c.beats == 8 && b == 4)) {
      for (size_t n = 0; n < 480; ++n) {
        accentPeak = std::max(accentPeak, std::abs(static_cast<int>(read[(first + n) * 2])));
      }
    }
  }
  EXPECT_GT(accentPeak, 0);
  EXPECT_LT(accentPeak, 0.8 * 32767);
#endif
}

INSTANTIATE_TEST_SUITE_P(Tempos, ClickFileTest,
                         ::testing::Values(ClickCase{120.0, 4, 96480}, ClickCase{120.0, 8, 192480},
                                           ClickCase{97.3, 8, 8 * 29599 + 480}),
                         [](const ::testing::TestParamInfo<ClickCase>& param) {
                           return std::to_string(static_cast<int>(param.param.bpm)) + "Bpm" +
                                  std::to_string(param.param.beats) + "Beats";
                         });

TEST(ClickSynthesis, AccentsOnlyOnTheFirstBeatAndTheFifthOfEight) {
  const std::vector<int16_t> four = SynthesiseClick(120.0, 4);
  const std::vector<int16_t> eight = SynthesiseClick(120.0, 8);
  // The second sample of a click tells the voices apart: 1600 Hz at 0.8 rises faster.
  const auto second = [](const std::vector<int16_t>& s, int beat) {
    return s[static_cast<size_t>(beat * 24000 + 1) * 2];
  };
  const int16_t accent = second(four, 0);
  const int16_t plain = second(four, 1);
  ASSERT_GT(accent, plain);
  for (int b = 1; b < 4; ++b)
    EXPECT_EQ(second(four, b), plain);
  for (int b = 0; b < 8; ++b)
    EXPECT_EQ(second(eight, b), (b == 0 || b == 4) ? accent : plain);
}

TEST(ClickSynthesis, RefusesWhatCannotBeACountIn) {
  ScopedTempFolder folder;
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_TRUE(WriteClickFile(120.0, 3).Empty());
  EXPECT_TRUE(WriteClickFile(120.0, 0).Empty());
  EXPECT_TRUE(WriteClickFile(0.0, 4).Empty());
  EXPECT_TRUE(WriteClickFile(-120.0, 4).Empty());
  EXPECT_TRUE(WriteClickFile(inf, 4).Empty());
  EXPECT_TRUE(WriteClickFile(nan, 8).Empty());
  // 91500 BPM: a beat of 31.5 frames rounds to 31, under the 32-frame minimum.
  EXPECT_TRUE(WriteClickFile(91500.0, 4).Empty());
  EXPECT_TRUE(folder.ClickFiles().empty());

  // 90000 BPM is exactly 32 frames a beat: the shortest click there is.
  EXPECT_EQ(SynthesiseClick(90000.0, 4).size(), (4u * 32 + 480) * 2);
}

TEST(ClickSynthesis, UnwritableTemporaryFolderLeavesNothing) {
  ScopedTempFolder folder;
  folder.Redirect(folder.Path() / "missing");
  EXPECT_TRUE(WriteClickFile(120.0, 4).Empty());

  const std::filesystem::path plainFile = folder.Path() / "QRV-not-a-folder";
  { std::ofstream(plainFile) << "x"; }
  folder.Redirect(plainFile);
  EXPECT_TRUE(WriteClickFile(120.0, 4).Empty());
  ASSERT_EQ(folder.ClickFiles().size(), 1u);  // only the plain file itself
  EXPECT_EQ(folder.ClickFiles()[0], plainFile);
}

TEST(ClickSynthesis, PathTooLongToHandOnIsRefusedAndRemoved) {
#ifdef _WIN32
  GTEST_SKIP() << "the temporary folder and file name stay within MAX_PATH, under the limit";
#endif
  ScopedTempFolder folder;
  std::filesystem::path deep = folder.Path();
  for (int level = 0; level < 4; ++level)
    deep /= std::string(250, static_cast<char>('a' + level));
  std::error_code error;
  if (!std::filesystem::create_directories(deep, error)) {
    GTEST_SKIP() << "this file system refuses a folder that deep: " << error.message();
  }
  folder.Redirect(deep);
  EXPECT_TRUE(WriteClickFile(120.0, 4).Empty());
  EXPECT_TRUE(std::filesystem::is_empty(deep));
}

TEST(ClickSynthesis, FileLandsInATemporaryFolderOutsideTheAnsiCodePage) {
  ScopedTempFolder folder("qrv-\xCE\xA9\xD0\xBC\xD0\xB8\xD1\x80-\xE6\xB8\xAC\xE8\xA9\xA6");
  platform::TempFile file = WriteClickFile(120.0, 4);
  ASSERT_FALSE(file.Empty());
  const std::filesystem::path onDisk = FromUtf8(file.Path());
  EXPECT_TRUE(std::filesystem::equivalent(onDisk.parent_path(), folder.Path()));
  const std::u8string name = onDisk.filename().u8string();
  EXPECT_TRUE(name.starts_with(u8"QRV"));
  std::u8string extension = onDisk.extension().u8string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](char8_t c) { return c >= u8'A' && c <= u8'Z' ? char8_t(c + 32) : c; });
  EXPECT_EQ(extension, u8".tmp");
  EXPECT_EQ(std::filesystem::file_size(onDisk), 44u + 96480u * 4);

  file.Reset();
  EXPECT_FALSE(std::filesystem::exists(onDisk));
  EXPECT_TRUE(folder.ClickFiles().empty());
}

}  // namespace
}  // namespace quorvane::practise

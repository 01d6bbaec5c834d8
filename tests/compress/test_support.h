// Shared helpers for the compression library's tests: sample data and a scratch directory that
// catches the ERROR.LOG file the library creates.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace xqtest {

using Bytes = std::vector<uint8_t>;

enum class Kind { Text, Zeros, Random, Periodic };
const char* KindName(Kind kind);

// n bytes of the given kind; the same seed gives the same bytes.
Bytes MakeData(Kind kind, size_t n, uint32_t seed = 1);

// A 5,916-byte song state: tempo, size, 32 tracks of 64 two-byte cells, 50 positions and 16
// instrument records. Busy fills most tracks with notes; otherwise it is a new, empty song.
Bytes MakeSongState(bool busy);

std::string ReadFile(const std::filesystem::path& path);

// Runs each test in a fresh temporary working directory, so that the ERROR.LOG the library
// opens lands there; closes the log, resets the log switch and removes the directory after.
class ScratchDirTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    std::string LogText() const { return ReadFile(dir_ / "ERROR.LOG"); }
    std::filesystem::path dir_;

  private:
    std::filesystem::path previous_;
};

} // namespace xqtest

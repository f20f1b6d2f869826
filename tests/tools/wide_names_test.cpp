// Files in a folder whose name no ANSI code page spells: what Windows' narrow API cannot open.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/wav_file.h"
#include "mesh/mesh_loader.h"
#include "music/file_ops.h"
#include "music/loader.h"
#include "music/playback.h"
#include "platform/file_names.h"
#include "support/scratch.h"

namespace quarvel::tools {
namespace {

namespace fs = std::filesystem;
using platform::pathFromUtf8;
using platform::utf8FromPath;

TEST(WideFileNames, DataFilesAreReadAndAWavWrittenInAFolderOutsideTheCodePage) {
  const fs::path scratch = quarvel::testing::scratchDirectory();
  const fs::path dir = scratch / pathFromUtf8("\u00dcbung \u2713");
  fs::create_directories(dir);
  const fs::path data = QUARVEL_DATA_DIR;
  for (const char* name : {"star.df", "zyl-mirvash2.xm"}) fs::copy_file(data / name, dir / name);

  mesh::MeshList original, copy;
  mesh::loadMeshFile(original, utf8FromPath(data / "star.df").c_str());
  mesh::loadMeshFile(copy, utf8FromPath(dir / "star.df").c_str());
  ASSERT_FALSE(original.empty());
  ASSERT_EQ(copy.size(), original.size());
  EXPECT_EQ(copy[0].vertices.size(), original[0].vertices.size());

  music::installMemoryFileOps();
  music::Song* song = music::loadSong(utf8FromPath(dir / "zyl-mirvash2.xm").c_str());
  ASSERT_NE(song, nullptr);
  EXPECT_GT(song->numChannels, 0);
  music::freeSong(song);

  const fs::path wav = dir / pathFromUtf8("\u00dcbung \u2713.wav");
  ASSERT_TRUE(writeWav(wav, {1, -2, 3, -32768}, 44100));
  std::vector<unsigned char> bytes;
  {
    std::ifstream in(wav, std::ios::binary);  // closed before the folder goes
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  ASSERT_EQ(bytes.size(), 44u + 8u);
  EXPECT_EQ(std::vector<unsigned char>(bytes.end() - 8, bytes.end()),
            (std::vector<unsigned char>{1, 0, 0xFE, 0xFF, 3, 0, 0, 0x80}));
  fs::remove_all(scratch);
}

}  // namespace
}  // namespace quarvel::tools

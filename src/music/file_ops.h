// File operations the module parser reads through, and the in-memory file behind them.
#pragma once

#include <cstdint>

namespace quarvel::music {

// A whole file held in memory.
struct MemoryFile {
  std::int32_t length;    // file size in bytes, >= 0
  std::int32_t position;  // read position, 0..length
  std::uint8_t* data;     // length bytes, owned (new[]); null when length is 0
};

// Seek origins.
inline constexpr std::int32_t kSeekStart = 0;
inline constexpr std::int32_t kSeekCurrent = 1;
inline constexpr std::int32_t kSeekEnd = 2;

// The five operations the parser calls. Handles are opaque to the parser.
struct FileOps {
  void* (*open)(const char* fileName);  // UTF-8; null when no handle can be given
  void (*close)(void* handle);
  // Copies up to `count` bytes into `buffer`; gives the number copied.
  std::int32_t (*read)(void* buffer, std::int32_t count, void* handle);
  void (*seek)(void* handle, std::int32_t offset, std::int32_t origin);
  std::int32_t (*tell)(void* handle);
};

// The memory-file operations: open reads the whole file (an unreadable file gives an
// empty MemoryFile, never null), read/seek/tell work on the image, close frees it.
const FileOps& memoryFileOps();

// Installs `ops` as the process-wide table used by loadSong. Call before loading,
// never while a load runs. Every operation must be non-null.
void installFileOps(const FileOps& ops);

// Installs memoryFileOps(); what the player and the tools call before loading.
void installMemoryFileOps();

// The installed table; the memory-file operations until something else is installed.
const FileOps& fileOps();

// The parser's stream: a handle from FileOps::open. Reads on a null handle give 0.
struct Stream {
  void* handle;
};

}  // namespace quarvel::music

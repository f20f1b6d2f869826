// The memory-file operations and the process-wide FileOps table.
#include "music/file_ops.h"

#include <cstdio>
#include <cstring>

#include "music/engine_state.h"
#include "platform/file_names.h"

namespace quarvel::music {
namespace {

void* memoryOpen(const char* fileName) {
  auto* file = new MemoryFile{0, 0, nullptr};
  std::FILE* f =
      fileName != nullptr ? platform::openFile(platform::pathFromUtf8(fileName), "rb") : nullptr;
  if (f == nullptr) return file;
  long size = -1;
  if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
  // Files of 2 GiB or more do not fit the 32-bit length: treat them as unreadable.
  if (size > 0 && size <= INT32_MAX && std::fseek(f, 0, SEEK_SET) == 0) {
    auto* data = new std::uint8_t[static_cast<std::size_t>(size)];
    const std::size_t got = std::fread(data, 1, static_cast<std::size_t>(size), f);
    file->data = data;
    file->length = static_cast<std::int32_t>(got);
  }
  std::fclose(f);
  return file;
}

void memoryClose(void* handle) {
  auto* file = static_cast<MemoryFile*>(handle);
  if (file == nullptr) return;
  delete[] file->data;
  delete file;
}

std::int32_t memoryRead(void* buffer, std::int32_t count, void* handle) {
  auto* file = static_cast<MemoryFile*>(handle);
  if (file == nullptr || buffer == nullptr || count <= 0) return 0;
  std::int32_t available = file->length - file->position;
  if (available <= 0) return 0;
  const std::int32_t n = count < available ? count : available;
  std::memcpy(buffer, file->data + file->position, static_cast<std::size_t>(n));
  file->position += n;
  return n;
}

void memorySeek(void* handle, std::int32_t offset, std::int32_t origin) {
  auto* file = static_cast<MemoryFile*>(handle);
  if (file == nullptr) return;
  std::int64_t position = file->position;
  if (origin == kSeekStart) {
    position = offset;
  } else if (origin == kSeekCurrent) {
    position += offset;
  } else if (origin == kSeekEnd) {
    position = static_cast<std::int64_t>(file->length) + offset;
  }
  if (position > file->length) position = file->length;
  if (position < 0) position = 0;  // a position before the start would make reads unsafe
  file->position = static_cast<std::int32_t>(position);
}

std::int32_t memoryTell(void* handle) {
  auto* file = static_cast<MemoryFile*>(handle);
  return file != nullptr ? file->position : 0;
}

constexpr FileOps kMemoryFileOps{memoryOpen, memoryClose, memoryRead, memorySeek, memoryTell};

}  // namespace

const FileOps& memoryFileOps() {
  return kMemoryFileOps;
}

// A table is installed only whole; one with a missing operation clears it.
void installFileOps(const FileOps& ops) {
  const bool complete = ops.open != nullptr && ops.close != nullptr && ops.read != nullptr &&
                        ops.seek != nullptr && ops.tell != nullptr;
  engineState().fileOps = complete ? ops : FileOps{};
}

void installMemoryFileOps() {
  installFileOps(kMemoryFileOps);
}

const FileOps& fileOps() {
  return engineState().fileOps;
}

}  // namespace quarvel::music

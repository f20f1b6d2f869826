// Reader of .df mesh files: a sequence of named chunks of vertices and triangles.
#pragma once

#include <istream>
#include <string>

#include "mesh/mesh.h"

namespace quarvel::mesh {

// Reads bytes up to a zero byte (consumed, not stored) or the end of the input.
std::string readZeroTerminatedString(std::istream& input);

// Appends one Mesh per chunk of the file `name` (UTF-8) to `list`, printing
// each chunk's name on its own line. A file that cannot be opened prints
// "error opening file : <name>" and leaves `list` unchanged. Damaged files
// never make it read past the data or yield an index outside its mesh; see the
// source for what is kept of a damaged chunk.
void loadMeshFile(MeshList& list, const char* name);

// Appends one Mesh per chunk read from `input` (opened in binary mode) to
// `list`, printing each chunk's name on its own line, with the same handling of
// damaged data as loadMeshFile. Reads until the input ends or a chunk is damaged.
void loadMeshStream(MeshList& list, std::istream& input);

}  // namespace quarvel::mesh

#pragma once

#include <span>
#include <string>

#include "app/file_list.h"
#include "platform/file_system.h"

// Searches each mask in turn and loads every file it matches, in search
// order, before offering its bare name to the list; the first file collected
// under a name is the one kept. Throws EMatrixFileError at the first bad file.
FileList CollectFiles(std::span<const std::string> masks, FileSystem& file_system);

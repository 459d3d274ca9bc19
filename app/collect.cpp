#include "app/collect.h"

FileList CollectFiles(std::span<const std::string> masks, FileSystem& file_system) {
  FileList list;
  for (const std::string& mask : masks) {
    const std::string directory(MaskDirectory(mask));
    for (std::string& name : file_system.FindFiles(mask)) {
      const TCustomMatrix matrix = LoadMatrix(file_system, directory + name);
      list.Add(std::move(name), matrix);
    }
  }
  return list;
}

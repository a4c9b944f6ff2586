#include "archive/data_location.h"

#include "archive/folder_location.h"

namespace plovant {

std::shared_ptr<const DataLocation> OpenDataLocation(const std::string& path) {
    return std::make_shared<FolderLocation>(path);
}

}  // namespace plovant

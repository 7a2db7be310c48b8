#include "SystemIntegrity.h"

namespace vorn {

bool isTranslocated(std::string_view bundlePath) {
    return bundlePath.find("/AppTranslocation/") != std::string_view::npos;
}

}  // namespace vorn

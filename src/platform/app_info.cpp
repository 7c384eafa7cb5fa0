#include "platform/app_info.h"

namespace tessarel {

const AppInfo& TheAppInfo() {
    static const AppInfo info = {
        "Tessarel",
        TESSAREL_VERSION_MAJOR,
        TESSAREL_VERSION_MINOR,
        TESSAREL_VERSION_PATCH,
        "A utility to split files into variable-sized files, and then join them again.",
        "Questions and ideas are welcome wherever you found Tessarel.",
        "Tessarel " TESSAREL_VERSION ". Free to use, copy and share; it comes with no warranty.",
    };
    return info;
}

}  // namespace tessarel

// What the program says about itself. The version comes from the build, in one place.
#pragma once

namespace tessarel {

struct AppInfo {
    const char* title;
    int major;
    int minor;
    int revision;
    const char* file_description;
    const char* comments;
    const char* legal_notice;
};

const AppInfo& TheAppInfo();

}  // namespace tessarel

// The About window's behaviour, for both window front ends: what it shows of the program, and
// finding and starting the system-information tool.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/app_info.h"

#include "platform/message_box.h"
#include "platform/registry.h"

namespace tessarel {

// What the About window shows of the program: its title bar, and each label's text by the
// label's name in the design.
struct AboutTexts {
    std::string caption;
    std::vector<std::pair<std::string, std::string>> labels;
};
AboutTexts AboutTextsOf(const AppInfo& app);

// What starting the tool needs from the system besides the registry.
struct SysInfoSystem {
    // Starts the program at path, detached; a failure is raised as a run-time error.
    std::function<void(const std::string& path)> start_program;
    // True when an ordinary file exists at path.
    std::function<bool(const std::string& path)> normal_file_exists;
};

// Reads value SubKeyRef of key KeyName under KeyRoot into KeyVal: text as it is, a number as
// an "&h" literal. False, with KeyVal empty, when the key or value cannot be read.
bool GetKeyValue(Registry& registry, uint32_t KeyRoot, const std::string& KeyName,
                 const std::string& SubKeyRef, std::string& KeyVal);

// Starts the tool the registry names; any failure shows kSysInfoUnavailable (OK, app_title).
void StartSysInfo(Registry& registry, const SysInfoSystem& system, MessageBox& message_box,
                  const std::string& app_title);

}  // namespace tessarel

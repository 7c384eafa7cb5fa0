#include "control/sys_info.h"

#include <cstdio>
#include <vector>

#include "control/messages.h"
#include "platform/runtime_error.h"

namespace tessarel {

AboutTexts AboutTextsOf(const AppInfo& app) {
    AboutTexts texts;
    texts.caption = std::string("About ") + app.title;
    texts.labels = {
        {"lblVersion", "Version " + std::to_string(app.major) + "." + std::to_string(app.minor) +
                           "." + std::to_string(app.revision)},
        {"lblTitle", app.title},
        {"lblDisclaimer", app.legal_notice},
        {"lblDescription", app.file_description},
        {"lblComments", app.comments},
    };
    return texts;
}

namespace {

constexpr char kToolKey[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr char kToolValue[] = "PATH";
constexpr char kToolFolderKey[] = "SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr char kToolFolderValue[] = "MSINFO";
constexpr char kToolFile[] = "\\MSINFO32.EXE";
constexpr uint32_t kKeyAccess = 0x2003F;
constexpr uint32_t kBufferSize = 1024;

}  // namespace

bool GetKeyValue(Registry& registry, uint32_t KeyRoot, const std::string& KeyName,
                 const std::string& SubKeyRef, std::string& KeyVal) {
    Registry::Handle key = 0;
    bool found = false;
    if (registry.OpenKey(KeyRoot, KeyName, 0, kKeyAccess, &key) == 0) {
        std::vector<uint8_t> buffer(kBufferSize, 0);
        uint32_t size = kBufferSize;
        uint32_t type = 0;
        if (registry.QueryValue(key, SubKeyRef, &type, buffer.data(), &size) == 0) {
            // Text values end in a NUL that is not part of them. A value without data has no
            // last character to look at: that failure rises to the caller, after the key is
            // closed.
            if (size == 0 || size > kBufferSize) {
                registry.CloseKey(key);
                throw RuntimeError(kErrInvalidArgument);
            }
            const std::string text(buffer.begin(), buffer.begin() + size);
            const std::string trimmed = text[size - 1] == '\0' ? text.substr(0, size - 1) : text;
            if (type == kRegSz) {
                KeyVal = trimmed;
            } else if (type == kRegDword) {
                // The bytes from the last to the first, two hex digits each: the number's literal.
                std::string hex;
                for (auto it = trimmed.rbegin(); it != trimmed.rend(); ++it) {
                    char digits[3];
                    std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(*it));
                    hex += digits;
                }
                KeyVal = "&h" + hex;
            }
            found = true;
        }
    }
    if (!found) {
        KeyVal.clear();
    }
    registry.CloseKey(key);
    return found;
}

void StartSysInfo(Registry& registry, const SysInfoSystem& system, MessageBox& message_box,
                  const std::string& app_title) {
    try {
        std::string path;
        if (!GetKeyValue(registry, HKEY_LOCAL_MACHINE_ROOT, kToolKey, kToolValue, path)) {
            if (!GetKeyValue(registry, HKEY_LOCAL_MACHINE_ROOT, kToolFolderKey, kToolFolderValue,
                             path)) {
                throw RuntimeError(kErrFileNotFound);
            }
            if (!system.normal_file_exists(path + kToolFile)) {
                throw RuntimeError(kErrFileNotFound);
            }
            path += kToolFile;
        }
        system.start_program(path);
    } catch (...) {
        message_box.Show({MsgKind::kInformation, kSysInfoUnavailable, kStylePlain, app_title});
    }
}

}  // namespace tessarel

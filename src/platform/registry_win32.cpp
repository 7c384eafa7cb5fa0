// The system registry on Windows.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/registry.h"
#include "platform/wide.h"

namespace tessarel {
namespace {

// Key and value names cross as UTF-16; a text value comes back as UTF-8, its ending NUL kept.
class WindowsRegistry : public Registry {
  public:
    int32_t OpenKey(uint32_t root, const std::string& key, uint32_t options, uint32_t access,
                    Handle* handle) override {
        HKEY opened = nullptr;
        const LONG result = RegOpenKeyExW(reinterpret_cast<HKEY>(static_cast<uintptr_t>(root)),
                                          Wide(key).c_str(), options, access, &opened);
        *handle = reinterpret_cast<Handle>(opened);
        return result;
    }
    int32_t QueryValue(Handle handle, const std::string& name, uint32_t* type, uint8_t* data,
                       uint32_t* size) override {
        std::vector<uint8_t> raw(*size * 2);
        DWORD value_type = 0;
        DWORD value_size = static_cast<DWORD>(raw.size());
        const LONG result = RegQueryValueExW(reinterpret_cast<HKEY>(handle), Wide(name).c_str(),
                                             nullptr, &value_type, raw.data(), &value_size);
        *type = value_type;
        if (result != ERROR_SUCCESS) {
            return result;
        }
        std::string bytes(raw.begin(), raw.begin() + value_size);
        if (value_type == REG_SZ || value_type == REG_EXPAND_SZ) {
            bytes = Narrow(reinterpret_cast<const wchar_t*>(raw.data()), value_size / 2);
        }
        *size = static_cast<uint32_t>(std::min<size_t>(bytes.size(), *size));
        std::copy(bytes.begin(), bytes.begin() + *size, data);
        return result;
    }
    void CloseKey(Handle handle) override {
        if (handle) {
            RegCloseKey(reinterpret_cast<HKEY>(handle));
        }
    }
};

}  // namespace

std::unique_ptr<Registry> SystemRegistry() {
    return std::make_unique<WindowsRegistry>();
}

}  // namespace tessarel

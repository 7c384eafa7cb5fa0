#include "platform/registry.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tessarel {
namespace {

#ifdef _WIN32
class WindowsRegistry : public Registry {
  public:
    int32_t OpenKey(uint32_t root, const std::string& key, uint32_t options, uint32_t access,
                    Handle* handle) override {
        HKEY opened = nullptr;
        const LONG result = RegOpenKeyExA(reinterpret_cast<HKEY>(static_cast<uintptr_t>(root)),
                                          key.c_str(), options, access, &opened);
        *handle = reinterpret_cast<Handle>(opened);
        return result;
    }
    int32_t QueryValue(Handle handle, const std::string& name, uint32_t* type, uint8_t* data,
                       uint32_t* size) override {
        DWORD value_type = 0;
        DWORD value_size = *size;
        const LONG result = RegQueryValueExA(reinterpret_cast<HKEY>(handle), name.c_str(), nullptr,
                                             &value_type, data, &value_size);
        *type = value_type;
        *size = value_size;
        return result;
    }
    void CloseKey(Handle handle) override {
        if (handle) {
            RegCloseKey(reinterpret_cast<HKEY>(handle));
        }
    }
};
#else
class NoRegistry : public Registry {
  public:
    int32_t OpenKey(uint32_t, const std::string&, uint32_t, uint32_t, Handle* handle) override {
        *handle = 0;
        return 2;  // the registry's "file not found"
    }
    int32_t QueryValue(Handle, const std::string&, uint32_t*, uint8_t*, uint32_t*) override {
        return 2;
    }
    void CloseKey(Handle) override {}
};
#endif

}  // namespace

std::unique_ptr<Registry> SystemRegistry() {
#ifdef _WIN32
    return std::make_unique<WindowsRegistry>();
#else
    return std::make_unique<NoRegistry>();
#endif
}

}  // namespace tessarel

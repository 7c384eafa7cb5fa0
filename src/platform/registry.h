// The system registry, reduced to the three calls the About window makes. Results are the
// registry's own: 0 for success, anything else a failure.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tessarel {

constexpr uint32_t HKEY_LOCAL_MACHINE_ROOT = 0x80000002u;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegDword = 4;

class Registry {
  public:
    using Handle = uintptr_t;
    virtual ~Registry() = default;
    virtual int32_t OpenKey(uint32_t root, const std::string& key, uint32_t options,
                            uint32_t access, Handle* handle) = 0;
    // Reads value name of the open key into data (size bytes at most); on return size holds
    // the length of the value's data and type its type.
    virtual int32_t QueryValue(Handle handle, const std::string& name, uint32_t* type,
                               uint8_t* data, uint32_t* size) = 0;
    virtual void CloseKey(Handle handle) = 0;
};

// The registry of this system: the real one on Windows, one in which every key is missing
// elsewhere.
std::unique_ptr<Registry> SystemRegistry();

}  // namespace tessarel

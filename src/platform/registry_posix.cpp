// Elsewhere than on Windows there is no registry: every key is missing.
#include "platform/registry.h"

namespace tessarel {
namespace {

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

}  // namespace

std::unique_ptr<Registry> SystemRegistry() {
    return std::make_unique<NoRegistry>();
}

}  // namespace tessarel

// Refuses access the way the OS refuses it to an ordinary user: by real permissions when the
// tests run as one, and through the file layer's fault hook when they run as root, whom no
// file mode stops. Either way the program meets EACCES at the same call.
#pragma once

#include <filesystem>
#include <string>

#include "platform/file.h"
#include "support/temp_dir.h"

namespace tessarel {

class RefuseAccess {
  public:
    enum Kind {
        kWritingIn,  // no file can be created or opened for writing in the folder at path
        kReading,    // the file at path cannot be opened for reading
        kWriting,    // the file at path cannot be opened for writing
    };

    RefuseAccess(Kind kind, const std::string& path) : kind_(kind), path_(path) {
        namespace fs = std::filesystem;
        if (UseHook()) {
            SetFileFaultHook(&RefuseAccess::Hook, this);
        } else {
            fs::permissions(path_, kind_ == kWritingIn
                                       ? fs::perms::owner_read | fs::perms::owner_exec
                                   : kind_ == kWriting ? fs::perms::owner_read
                                                       : fs::perms::none);
        }
    }
    ~RefuseAccess() {
        namespace fs = std::filesystem;
        if (UseHook()) {
            SetFileFaultHook(nullptr, nullptr);
        } else {
            fs::permissions(path_, fs::perms::owner_all);  // so the folder can be cleaned up
        }
    }
    RefuseAccess(const RefuseAccess&) = delete;
    RefuseAccess& operator=(const RefuseAccess&) = delete;

  private:
    // No file mode stops root; Windows permissions are not file modes.
    static bool UseHook() {
#ifdef _WIN32
        return true;
#else
        return RunningAsRoot();
#endif
    }
    static Fault Hook(FileOp op, const std::string& path, int64_t, int32_t, void* context) {
        const auto* self = static_cast<const RefuseAccess*>(context);
        const bool refused = self->kind_ == kReading ? op == FileOp::OpenRead && path == self->path_
                             : self->kind_ == kWriting
                                 ? op == FileOp::OpenWrite && path == self->path_
                                 : op == FileOp::OpenWrite && path.rfind(self->path_ + "/", 0) == 0;
        return refused ? Fault::kAccessDenied : Fault::kNone;
    }

    Kind kind_;
    std::string path_;
};

}  // namespace tessarel

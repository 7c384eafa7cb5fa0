// A file system of a few kilobytes that fills as a real disk does (a tmpfs, mounted for the
// test in a folder of its own and unmounted afterwards). Only root can mount: elsewhere the
// test that needs one is skipped.
#pragma once

#ifndef _WIN32
#include <sys/mount.h>
#endif

#include <string>

#include "support/temp_dir.h"

namespace tessarel {

class TinyDisk {
  public:
    explicit TinyDisk(int kilobytes) {
#ifndef _WIN32
        const std::string options = "size=" + std::to_string(kilobytes) + "k";
        mounted_ = ::mount("tmpfs", dir_.path().c_str(), "tmpfs", 0, options.c_str()) == 0;
#else
        (void)kilobytes;  // a disk that fills is given through the fault hook there
#endif
    }
    ~TinyDisk() {
#ifndef _WIN32
        if (mounted_) {
            ::umount2(dir_.path().c_str(), MNT_DETACH);
        }
#endif
    }
    TinyDisk(const TinyDisk&) = delete;
    TinyDisk& operator=(const TinyDisk&) = delete;

    bool mounted() const {
        return mounted_;
    }
    std::string operator/(const std::string& name) const {
        return dir_ / name;
    }
    const std::string& path() const {
        return dir_.path();
    }

  private:
    TempDir dir_;
    bool mounted_ = false;
};

}  // namespace tessarel

#!/usr/bin/python3
"""A slow medium for the benchmarks: a file system in memory that takes writes at a limited rate.

    slowfs.py MOUNTPOINT [MB_PER_SECOND]        default 20 MB/s; runs until unmounted

Writes are accepted as a USB stick accepts them: a little ahead of the medium (half a second's
worth), then only as fast as the medium writes; fsync waits until the medium has written
everything handed to it. Reads come from memory at once.
"""
import errno
import stat
import sys
import threading
import time

import fusepy

AHEAD_SECONDS = 0.5


class SlowFs(fusepy.Operations):
    def __init__(self, rate):
        self.rate = rate * 1e6
        self.files = {}  # path -> bytearray
        self.folders = {"/"}
        self.modes = {}
        self.times = {}
        self.mutex = threading.Lock()
        self.medium_free_at = time.monotonic()  # when the medium has written all it was given

    def _now(self):
        return time.monotonic()

    def getattr(self, path, fh=None):
        now = time.time()
        if path in self.folders:
            return dict(st_mode=stat.S_IFDIR | 0o755, st_nlink=2, st_size=0, st_ctime=now,
                        st_mtime=now, st_atime=now)
        if path in self.files:
            t = self.times.get(path, now)
            return dict(st_mode=stat.S_IFREG | self.modes.get(path, 0o644), st_nlink=1,
                        st_size=len(self.files[path]), st_ctime=t, st_mtime=t, st_atime=t)
        raise fusepy.FuseOSError(errno.ENOENT)

    def readdir(self, path, fh):
        prefix = path.rstrip("/") + "/"
        names = {p[len(prefix):].split("/")[0] for p in list(self.files) + list(self.folders)
                 if p.startswith(prefix) and p != prefix}
        return [".", ".."] + sorted(names)

    def mkdir(self, path, mode):
        self.folders.add(path)

    def create(self, path, mode, fi=None):
        with self.mutex:
            self.files[path] = bytearray()
            self.modes[path] = mode & 0o777
            self.times[path] = time.time()
        return 0

    def open(self, path, flags):
        if path not in self.files:
            raise fusepy.FuseOSError(errno.ENOENT)
        if flags & 0o1000:  # O_TRUNC
            self.files[path] = bytearray()
        return 0

    def truncate(self, path, length, fh=None):
        data = self.files[path]
        del data[length:]
        data.extend(b"\0" * (length - len(data)))

    def read(self, path, size, offset, fh):
        return bytes(self.files[path][offset:offset + size])

    def write(self, path, data, offset, fh):
        with self.mutex:
            start = max(self._now(), self.medium_free_at)
            self.medium_free_at = start + len(data) / self.rate
            wait = self.medium_free_at - AHEAD_SECONDS - self._now()
        if wait > 0:
            time.sleep(wait)
        buffer = self.files[path]
        if len(buffer) < offset:
            buffer.extend(b"\0" * (offset - len(buffer)))
        buffer[offset:offset + len(data)] = data
        self.times[path] = time.time()
        return len(data)

    def fsync(self, path, datasync, fh):
        wait = self.medium_free_at - self._now()
        if wait > 0:
            time.sleep(wait)
        return 0

    def fsyncdir(self, path, datasync, fh):
        return 0

    def flush(self, path, fh):
        return 0

    def release(self, path, fh):
        return 0

    def unlink(self, path):
        self.files.pop(path, None)

    def rmdir(self, path):
        self.folders.discard(path)

    def rename(self, old, new):
        self.files[new] = self.files.pop(old)
        self.modes[new] = self.modes.pop(old, 0o644)
        self.times[new] = self.times.pop(old, time.time())

    def chmod(self, path, mode):
        self.modes[path] = mode & 0o777

    def utimens(self, path, times=None):
        self.times[path] = time.time()

    def statfs(self, path):
        return dict(f_bsize=4096, f_frsize=4096, f_blocks=1 << 22, f_bfree=1 << 21,
                    f_bavail=1 << 21, f_namemax=255)


if __name__ == "__main__":
    rate = float(sys.argv[2]) if len(sys.argv) > 2 else 20.0
    fusepy.FUSE(SlowFs(rate), sys.argv[1], foreground=True, nothreads=False, big_writes=True,
                max_write=1 << 20)

#!/usr/bin/python3
"""A stick that says it holds more than it keeps: a file system with one file, stick.img, as large
as the stick claims, which keeps only its first bytes (what lies beyond reads as zeros, whatever
was written there), or flips a byte of each mebibyte it gives back from FLIP_FROM on.

    forgetful_stick.py MOUNTPOINT CLAIMED_BYTES KEPT_BYTES [FLIP_FROM]

Nothing is cached by the kernel (direct_io): every read comes from here. Runs until unmounted.
"""
import errno
import stat
import sys
import threading
import time

import fusepy


class ForgetfulStick(fusepy.Operations):
    def __init__(self, claimed, kept, flip_at):
        self.claimed = claimed
        self.kept = bytearray(kept)
        self.flip_at = flip_at
        self.mutex = threading.Lock()
        self.time = time.time()

    def getattr(self, path, fh=None):
        if path == "/":
            return dict(st_mode=stat.S_IFDIR | 0o755, st_nlink=2, st_size=0, st_ctime=self.time,
                        st_mtime=self.time, st_atime=self.time)
        if path == "/stick.img":
            return dict(st_mode=stat.S_IFREG | 0o600, st_nlink=1, st_size=self.claimed,
                        st_ctime=self.time, st_mtime=self.time, st_atime=self.time)
        raise fusepy.FuseOSError(errno.ENOENT)

    def readdir(self, path, fh):
        return [".", "..", "stick.img"]

    def open(self, path, flags):
        if path != "/stick.img":
            raise fusepy.FuseOSError(errno.ENOENT)
        return 0

    def read(self, path, size, offset, fh):
        end = min(offset + size, self.claimed)
        with self.mutex:
            data = bytearray(self.kept[offset:end])
        data += bytes(max(0, end - offset - len(data)))  # what was not kept
        if self.flip_at is not None:
            for at in range(max(offset, self.flip_at), end):
                if (at - self.flip_at) % (1 << 20) == 0:
                    data[at - offset] ^= 0x01
        return bytes(data)

    def write(self, path, data, offset, fh):
        with self.mutex:
            keep = max(0, min(len(data), len(self.kept) - offset))
            self.kept[offset:offset + keep] = data[:keep]
        return len(data)  # taken, kept or not

    def truncate(self, path, length, fh=None):
        return 0

    def flush(self, path, fh):
        return 0

    def fsync(self, path, datasync, fh):
        return 0


if __name__ == "__main__":
    flip = int(sys.argv[4]) if len(sys.argv) > 4 else None
    fusepy.FUSE(ForgetfulStick(int(sys.argv[2]), int(sys.argv[3]), flip), sys.argv[1],
                foreground=True, nothreads=False, direct_io=True)

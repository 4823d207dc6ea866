"""Small file systems (a full disk, a read-only folder) that only the runs of one case
see: a mount namespace of its own, held open by a sleeping process that the suite
tracks, so the mounts go when it goes, even if the driver dies. The program runs in
the namespace through nsenter; the test reads its files through /proc/PID/root."""
import os
import subprocess

from servers import wait_until


class MountsUnavailable(Exception):
    pass


class PrivateMounts:
    def __init__(self, track):
        try:
            self._holder = subprocess.Popen(
                ['unshare', '--mount', '--propagation', 'private', 'sleep', 'infinity'],
                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        except OSError as why:
            raise MountsUnavailable(str(why))
        track(self._holder.pid)
        mine = os.readlink('/proc/self/ns/mnt')
        if not wait_until(lambda: self._holder.poll() is not None or
                          os.readlink('/proc/%d/ns/mnt' % self._holder.pid) != mine, 5) \
                or self._holder.poll() is not None:
            why = self._holder.stderr.read().decode().strip()
            raise MountsUnavailable('unshare --mount: ' + why)
        self.pid = self._holder.pid

    def _inside(self, *command):
        done = subprocess.run(['nsenter', '-t', str(self.pid), '-m', '--'] + list(command),
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              universal_newlines=True)
        if done.returncode != 0:
            raise MountsUnavailable('%s: %s' % (' '.join(command), done.stdout.strip()))

    def tmpfs(self, folder, kilobytes):
        """A tmpfs of this size on `folder` (which must exist)."""
        self._inside('mount', '-t', 'tmpfs', '-o', 'size=%dk,mode=0755' % kilobytes, 'tmpfs',
                     folder)

    def make_read_only(self, folder):
        self._inside('mount', '-o', 'remount,ro', folder)

    def outside(self, path):
        """Where the test reads and writes `path` as the namespace sees it."""
        return '/proc/%d/root%s' % (self.pid, os.path.abspath(path))

    def prefix(self, cwd):
        """Runs a command in the namespace, in `cwd`, keeping its process id."""
        return ['nsenter', '-t', str(self.pid), '-m', '--wd=' + cwd, '--']

    def fill(self, folder):
        """Fills the file system of `folder` to the last byte."""
        fd = os.open(self.outside(os.path.join(folder, 'filler')), os.O_WRONLY | os.O_CREAT, 0o644)
        try:
            for size in (65536, 4096, 1):
                try:
                    while os.write(fd, b'\0' * size) > 0:
                        pass
                except OSError:
                    pass
        finally:
            os.close(fd)

    def stop(self):
        if self._holder.poll() is None:
            self._holder.kill()
        self._holder.wait()

"""A saturated machine, as at a log-in where every autostart program starts at once:
two busy loops per processor and a disk writer that syncs what it writes. Each load
process ends by itself after `seconds` however its starter ends, is listed with the
servers' processes (so the scratch script ends it too), and is ended on leaving the
`with` block."""
import os
import signal
import subprocess

LOOPS_PER_CPU = 2
DISK_WRITE_MB = 32  # per synced write; the file lives in the scratch folder


class BusyLoad:
    def __init__(self, root, track, seconds=600):
        self.root = root
        self.track = track
        self.seconds = int(seconds)
        self.procs = []
        self.disk_file = os.path.join(root, 'busy-disk.dat')

    def _spawn(self, command):
        # A session of its own: ending it ends a dd that its shell started.
        proc = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, start_new_session=True)
        self.track(proc.pid)
        self.procs.append(proc)

    def __enter__(self):
        spin = ('import time\nend = time.monotonic() + %d\nwhile time.monotonic() < end:\n'
                '    pass\n' % self.seconds)
        try:
            for _ in range(LOOPS_PER_CPU * (os.cpu_count() or 1)):
                self._spawn(['python3', '-c', spin])
            self._spawn(['sh', '-c', 'end=$(($(date +%%s) + %d)); while [ "$(date +%%s)" -lt '
                         '"$end" ]; do dd if=/dev/zero of="$0" bs=1M count=%d conv=fsync '
                         'status=none; done' % (self.seconds, DISK_WRITE_MB), self.disk_file])
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def __exit__(self, *_):
        for proc in self.procs:
            try:
                os.killpg(proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            proc.wait()
        self.procs = []
        try:
            os.unlink(self.disk_file)
        except FileNotFoundError:
            pass

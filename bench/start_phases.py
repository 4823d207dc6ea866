"""Where the time goes before the first sample, read from an strace of the real
program (no tracing code in it): the milliseconds from its execve to

  settings read       its first open of TOLVERA.INI (the start of the greeting)
  song opened         its first open of the song file
  device open         the connect to the sound server of the socket that then
                      carries the first samples
  first buffer        the first write of 1 kB or more on that socket
  toolkit up          its connect to the X server's socket
  first window shown  the first MapWindow request it sends there (the launch window;
                      the main window is never shown)

The greeting runs on its own thread from the top of the program, so the sound phases
and the toolkit phases overlap.

strace slows every system call down, so these are upper bounds, good for seeing
which phase is large rather than for adding up to the untraced figure."""
import os
import re
import struct
import subprocess

TRACED = 'execve,connect,openat,write,writev,sendmsg,sendto'
PHASES = ('settings read', 'song opened', 'device open', 'first buffer', 'toolkit up',
          'first window shown')
LARGE = 1024
MAP_WINDOW = 8

_LINE = re.compile(r'^(\d+) +(\d+\.\d+) (\w+)\((.*)$')
_STRING = re.compile(r'"((?:\\x[0-9a-f]{2})*)"')


def strace_command(log, command):
    # -xx writes every string as hex escapes; -s is large enough for whole requests.
    return ['strace', '-f', '-ttt', '-xx', '-s', '1000000', '-o', log,
            '-e', 'trace=' + TRACED] + command


def _strings(text):
    return [bytes.fromhex(s.replace('\\x', '')) for s in _STRING.findall(text)]


def _fd(args):
    head = args.split(',', 1)[0]
    return int(head) if head.isdigit() else None


class _XRequests:
    """Walks the client's side of an X connection: the set-up block, then requests
    of 4-byte units (length 0 means the BIG-REQUESTS form), noting when the first
    MapWindow went out."""

    def __init__(self):
        self.data = b''
        self.walked = 0
        self.setup_done = False
        self.mapped_at = None

    def add(self, chunk, when):
        self.data += chunk
        while self.mapped_at is None:
            rest = self.data[self.walked:]
            if not self.setup_done:
                if len(rest) < 12:
                    return
                order = '<' if rest[:1] == b'l' else '>'
                name, auth = struct.unpack(order + 'HH', rest[6:10])
                size = 12 + (name + 3) // 4 * 4 + (auth + 3) // 4 * 4
                self.order = order
                self.setup_done = True
            else:
                if len(rest) < 4:
                    return
                units = struct.unpack(self.order + 'H', rest[2:4])[0]
                if units == 0:
                    if len(rest) < 8:
                        return
                    units = struct.unpack(self.order + 'I', rest[4:8])[0]
                size = 4 * units
                if rest[0] == MAP_WINDOW:
                    self.mapped_at = when
            if len(rest) < size:
                return
            self.walked += size


def phases(log, song, settings, sound_socket):
    """{phase: milliseconds after execve} from a trace written by strace_command."""
    found = {}
    start = None
    x_socket = None       # fd of the X connection, while it is open
    x_requests = _XRequests()
    sound_fds = {}        # fd -> when it was connected to the sound server
    with open(log) as f:
        for line in f:
            m = _LINE.match(line)
            if not m:
                continue
            when, call, args = float(m.group(2)), m.group(3), m.group(4)
            if call == 'execve' and start is None:
                start = when
            if start is None:
                continue
            strings = _strings(args)
            if call == 'connect' and strings:
                path = strings[0].decode('latin-1')
                if '.X11-unix/X' in path and x_socket is None:
                    x_socket = _fd(args)
                    found.setdefault('toolkit up', when)
                elif path == sound_socket:
                    sound_fds[_fd(args)] = when
            elif call == 'openat' and len(strings) == 1:
                path = strings[0].decode('latin-1')
                if path == settings:
                    found.setdefault('settings read', when)
                elif path == song:
                    found.setdefault('song opened', when)
            elif call in ('write', 'writev', 'sendmsg', 'sendto'):
                fd = _fd(args)
                if fd == x_socket:
                    for chunk in strings:
                        x_requests.add(chunk, when)
                elif fd in sound_fds and 'first buffer' not in found and \
                        sum(map(len, strings)) >= LARGE:
                    found['first buffer'] = when
                    found['device open'] = sound_fds[fd]
    if x_requests.mapped_at is not None:
        found['first window shown'] = x_requests.mapped_at
    return {name: 1000 * (when - start) for name, when in found.items()}


def traced_run(binary, env, cwd, root, song, settings, sound_socket):
    """Runs the program once under strace; returns its phases. The sound server is
    told not to use shared memory, so that the samples travel over the socket."""
    conf = os.path.join(root, 'no-shm.conf')
    with open(conf, 'w') as f:
        f.write('enable-shm = no\n')
    log = os.path.join(root, 'strace.log')
    env = dict(env, PULSE_CLIENTCONFIG=conf)
    subprocess.run(strace_command(log, [binary]), env=env, cwd=cwd, timeout=60,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return phases(log, song, settings, sound_socket)

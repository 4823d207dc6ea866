"""The program's windows on sway, seen and driven from outside, as morrowby_run.Driver
does it on X: the windows in sway's tree through swaymsg, the layer surfaces (not in
the tree) by their pixels through grim, clicks and named keys through a virtual
pointer and keyboard of our own, text through wtype.

The screen is a terminal whose every colour is TERMINAL_COLOUR, so that any other
pixel belongs to a window of the program."""
import contextlib
import glob
import json
import os
import socket
import struct
import subprocess
import time

from morrowby_run import LAUNCH_NAME, Driver
from servers import missing_tools, wait_until

TERMINAL_COLOUR = (0x10, 0x20, 0x30)
# The corner that is searched for a layer surface: more than the launch window needs.
CORNER = (400, 200)
# A layer surface has no id of its own among the tree's windows.
LAYER = 'layer'
BTN_LEFT = 0x110


def _string(text):
    raw = text.encode() + b'\0'
    return struct.pack('<I', len(raw)) + raw + b'\0' * (-len(raw) % 4)


# The keyboard's layout: the common one, as the compositor finds it in its own xkb
# data, and the named keys that are typed with it, by their evdev codes. (Keys typed
# through wtype come with a layout of wtype's making; GTK reads its key bindings
# through the layout it last saw, which by then is this one again.)
KEYMAP = b"""xkb_keymap {
xkb_keycodes { include "evdev+aliases(qwerty)" };
xkb_types { include "complete" };
xkb_compat { include "complete" };
xkb_symbols { include "pc+us+inet(evdev)" };
};
\0"""
KEYS = {'Escape': 1, 'BackSpace': 14, 'Tab': 15, 'Return': 28, 'space': 57, 'Left': 105}


class VirtualDevices:
    """A pointer and a keyboard on the compositor's seat (zwlr_virtual_pointer_v1,
    zwp_virtual_keyboard_v1), spoken to in the Wayland wire format. A seat of the
    headless back end has no devices of its own, and clients take pointer and key
    events only while the seat has such a device: these live as long as the
    compositor, so that the devices wtype makes and ends on each call come and go
    unseen, and the pointer clicks."""

    def __init__(self, socket_path, width, height):
        self.size = (width, height)
        self.sock = socket.socket(socket.AF_UNIX)
        self.sock.connect(socket_path)
        self._next = 2  # 1 is the display
        registry = self._new()
        self._send(1, 1, struct.pack('<I', registry))  # wl_display.get_registry
        done = self._new()
        self._send(1, 0, struct.pack('<I', done))  # wl_display.sync
        bound = {}
        wanted = ('wl_seat', 'zwlr_virtual_pointer_manager_v1', 'zwp_virtual_keyboard_manager_v1')
        for obj, opcode, body in self._events(until=done):
            if obj == registry and opcode == 0:  # wl_registry.global
                name = struct.unpack_from('<I', body)[0]
                length = struct.unpack_from('<I', body, 4)[0]
                interface = body[8:8 + length - 1].decode()
                if interface in wanted and interface not in bound:
                    bound[interface] = self._new()
                    self._send(registry, 0, struct.pack('<I', name) + _string(interface) +
                               struct.pack('<II', 1, bound[interface]))
        if len(bound) < len(wanted):
            raise RuntimeError('the compositor offers no virtual pointer or keyboard')
        self.pointer = self._new()
        self._send(bound['zwlr_virtual_pointer_manager_v1'], 0,
                   struct.pack('<II', bound['wl_seat'], self.pointer))
        self.keyboard = self._new()
        self._send(bound['zwp_virtual_keyboard_manager_v1'], 0,
                   struct.pack('<II', bound['wl_seat'], self.keyboard))
        keymap = os.memfd_create('keymap')
        os.write(keymap, KEYMAP)
        body = struct.pack('<II', 1, len(KEYMAP))  # format xkb_v1; the fd goes aside
        self.sock.sendmsg([struct.pack('<II', self.keyboard, (8 + len(body)) << 16) + body],
                          [(socket.SOL_SOCKET, socket.SCM_RIGHTS, struct.pack('i', keymap))])
        os.close(keymap)

    def _new(self):
        self._next += 1
        return self._next - 1

    def _send(self, obj, opcode, body=b''):
        self.sock.sendall(struct.pack('<II', obj, (8 + len(body)) << 16 | opcode) + body)

    def _events(self, until):
        data = b''
        while True:
            while len(data) < 8 or len(data) < struct.unpack_from('<I', data, 4)[0] >> 16:
                chunk = self.sock.recv(65536)
                if not chunk:
                    raise RuntimeError('the compositor closed the connection')
                data += chunk
            obj, word = struct.unpack_from('<II', data)
            size = word >> 16
            if obj == until:
                return
            yield obj, word & 0xffff, data[8:size]
            data = data[size:]

    def _time(self):
        return int(time.monotonic() * 1000) & 0xffffffff

    def move(self, x, y):
        self._send(self.pointer, 1, struct.pack('<IIIII', self._time(), x, y, *self.size))
        self._send(self.pointer, 4)  # frame

    def button(self, pressed):
        self._send(self.pointer, 2, struct.pack('<III', self._time(), BTN_LEFT, int(pressed)))
        self._send(self.pointer, 4)

    def key(self, name):
        """Presses and releases one of KEYS."""
        for state in (1, 0):
            self._send(self.keyboard, 1, struct.pack('<III', self._time(), KEYS[name], state))

    def close(self):
        self.sock.close()


def screen_pixels(env, x, y, width, height):
    """The rows of (r, g, b) of a part of the screen, from grim."""
    ppm = subprocess.run(['grim', '-t', 'ppm', '-g', '%d,%d %dx%d' % (x, y, width, height), '-'],
                         env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
    if not ppm.startswith(b'P6'):
        return []
    fields = ppm.split(maxsplit=4)
    w, h, data = int(fields[1]), int(fields[2]), fields[4]
    return [[tuple(data[3 * (r * w + c):3 * (r * w + c) + 3]) for c in range(w)] for r in range(h)]


def foreign_box(rows, covered=()):
    """(x, y, width, height) holding every pixel that is not the terminal's colour
    nor inside one of the `covered` rectangles; None when there is none."""
    xs, ys = [], []
    for y, row in enumerate(rows):
        for x, pixel in enumerate(row):
            if pixel != TERMINAL_COLOUR and not any(
                    cx <= x < cx + cw and cy <= y < cy + ch for cx, cy, cw, ch in covered):
                xs.append(x)
                ys.append(y)
    if not xs:
        return None
    return min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1


def sway_tree(env):
    out = subprocess.run(['swaymsg', '-r', '-t', 'get_tree'], env=env, stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, universal_newlines=True).stdout
    try:
        return json.loads(out)
    except ValueError:
        return {}


def views(tree):
    """Every window in the tree: tiled and floating, each a dict of sway's."""
    found, queue = [], [tree]
    while queue:
        node = queue.pop()
        if node.get('type') in ('con', 'floating_con') and node.get('pid'):
            found.append(node)
        queue += node.get('nodes', []) + node.get('floating_nodes', [])
    return found


def content_rect(view):
    """The window's own pixels on the screen, its border and title bar left out."""
    r, w = view['rect'], view['window_rect']
    return r['x'] + w['x'], r['y'] + w['y'], w['width'], w['height']


# Where sway keeps its windows: one output of this size.
SWAY_SIZE = (1280, 800)


class Sway:
    """sway on its headless back end, as an ordinary user in a user namespace of its
    own (it refuses to run as root), with a virtual pointer and keyboard (VirtualDevices),
    and a terminal that fills the screen and has the keyboard, as after a log-in. Its
    processes end with the servers' window manager."""

    def __init__(self, servers):
        missing = missing_tools('sway', 'swaymsg', 'foot', 'wtype', 'grim', 'unshare')
        if missing:
            raise RuntimeError(' '.join(missing) + ' not installed')
        self.servers = servers
        self.size = SWAY_SIZE
        self.devices = None
        self._terminal = None
        config = os.path.join(servers.root, 'sway.config')
        with open(config, 'w') as f:
            f.write('output * resolution %dx%d position 0 0\n' % SWAY_SIZE +
                    'default_border none\nxwayland disable\nfocus_follows_mouse no\n'
                    # Drawn into the screen's pixels, the pointer would count as a window.
                    'seat * hide_cursor 100\n')
        before = set(glob.glob(os.path.join(servers.run_dir, 'wayland-?')))
        env = servers.env(DISPLAY=None, WLR_BACKENDS='headless', WLR_RENDERER='pixman',
                          WLR_LIBINPUT_NO_DEVICES='1', WLR_HEADLESS_OUTPUTS='1')
        self._spawn(['unshare', '--user', '--map-user=1000', '--map-group=1000',
                     'sway', '-c', config], env, 'sway.log')
        sway = servers._wm_procs[-1]

        def sockets():
            ipc = glob.glob(os.path.join(servers.run_dir, 'sway-ipc.*.%d.sock' % sway.pid))
            new = set(glob.glob(os.path.join(servers.run_dir, 'wayland-?'))) - before
            return ipc and new and (ipc[0], sorted(new)[0])
        found = wait_until(lambda: sway.poll() is not None or sockets(), 20, 0.1)
        if not isinstance(found, tuple):
            raise RuntimeError('sway did not start; see %s/sway.log' % servers.root)
        self._env = {'SWAYSOCK': found[0], 'WAYLAND_DISPLAY': os.path.basename(found[1])}
        self.devices = VirtualDevices(found[1], *SWAY_SIZE)
        self.devices.move(SWAY_SIZE[0] - 1, SWAY_SIZE[1] - 1)

    def env(self, base):
        return dict(base, **self._env)

    def _spawn(self, command, env, log, cwd=None):
        with open(os.path.join(self.servers.root, log), 'ab') as out:
            proc = subprocess.Popen(command, env=env, cwd=cwd, stdin=subprocess.DEVNULL,
                                    stdout=out, stderr=out)
        self.servers.track(proc.pid)
        self.servers._wm_procs.append(proc)  # ended with the window manager
        return proc

    def _focused_terminal(self, proc):
        env = self.env(self.servers.env())
        mine = [v for v in views(sway_tree(env)) if v['pid'] == proc.pid]
        if mine and not mine[0]['focused']:
            subprocess.run(['swaymsg', '[con_id=%d] focus' % mine[0]['id']], env=env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return mine and mine[0]['focused'] and mine[0]['id']

    def terminal(self, folder=None):
        """The terminal, running a shell in `folder` (a new one when given), with the
        keyboard; returns its process and its window's id in the tree."""
        if folder is not None or self._terminal is None or self._terminal.poll() is not None:
            if self._terminal is not None and self._terminal.poll() is None:
                self._terminal.terminate()
                self._terminal.wait()
            colour = '%02x%02x%02x' % TERMINAL_COLOUR
            colours = ['-o', 'colors.background=' + colour, '-o', 'colors.foreground=' + colour]
            self._terminal = self._spawn(['foot', '-T', 'mbterm'] + colours + ['sh'],
                                         self.env(self.servers.env()), 'foot.log',
                                         cwd=folder or self.servers.home)
        con = wait_until(lambda: self._focused_terminal(self._terminal), 15, 0.1)
        if not con:
            raise RuntimeError('the terminal on sway did not get the keyboard')
        return self._terminal, con

    def stop(self):
        if self.devices:
            self.devices.close()


class WaylandDriver(Driver):
    """Driver's account of windows and input for a run on sway (Sway)."""

    def __init__(self, sway, env, proc, result):
        self.sway = sway
        self.wenv = sway.env(env)
        super().__init__(env, proc, result)

    def _visible_windows(self):
        """The program's windows in the tree, with a layer surface found by its pixels
        in the screen's corner (under no window of the tree) as a LAYER window."""
        mine = [v for v in views(sway_tree(self.wenv)) if v['pid'] == self._program_pid()]
        windows = [(v['id'],) + content_rect(v) + (v.get('name') or '',) for v in mine]
        covered = [w[1:5] for w in windows]
        box = foreign_box(screen_pixels(self.wenv, 0, 0, *CORNER), covered)
        if box is not None:
            windows.append((LAYER,) + box + (LAUNCH_NAME,))
        self.result.windows_seen = repr(windows)
        return windows

    def strays(self, launch):
        """The box (x, y, width, height) holding every pixel on the screen that is
        neither the terminal's nor in the `launch` window; None when there is none."""
        width, height = self.sway.size
        return foreign_box(screen_pixels(self.wenv, 0, 0, width, height), [launch[1:5]])

    def darkest(self, window):
        """The darkest grey level (0-255) drawn in `window`: its label's ink."""
        grey = [(299 * r + 587 * g + 114 * b) // 1000
                for row in screen_pixels(self.wenv, *window[1:5]) for r, g, b in row]
        return min(grey) if grey else None

    def frame_origin(self, window):
        if window[0] == LAYER:
            return window[1], window[2]
        view = self._view(window[0])
        return (view['rect']['x'], view['rect']['y']) if view else window[1:3]

    def _view(self, con_id):
        return next((v for v in views(sway_tree(self.wenv)) if v['id'] == con_id), None)

    def click(self, window, times=1, at=None):
        _, x, y, width, height, _ = window
        dx, dy = at if at else (width // 2, height // 2)
        self.sway.devices.move(x + dx, y + dy)
        for i in range(times):
            if i:
                time.sleep(0.3)  # not taken for a double click
            self.sway.devices.button(True)
            self.sway.devices.button(False)
        # Out of the way of the pixels looked at (and hidden there soon after).
        self.sway.devices.move(self.sway.size[0] - 1, self.sway.size[1] - 1)

    def _focus(self, window):
        """Gives a window of the tree the keyboard, as a user's click would."""
        if window[0] != LAYER:
            self.swaymsg('[con_id=%d] focus' % window[0])
            wait_until(lambda: self.focused() == window[0], 5)

    def press_key(self, window, key):
        self._focus(window)
        self.key_to_focus(key)

    def key_to_focus(self, key):
        self.sway.devices.key(key)

    def type_to_focus(self, text):
        for i, line in enumerate(text.split('\n')):
            if i:
                self.key_to_focus('Return')
            if line:
                self._wtype('-d', '10', line)

    def type_text(self, window, text):
        self._focus(window)
        self.type_to_focus(text)

    def _wtype(self, *args):
        subprocess.run(('wtype',) + args, env=self.wenv, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)

    def swaymsg(self, command):
        subprocess.run(['swaymsg', command], env=self.wenv, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)

    def focused(self):
        """The tree's window with the keyboard, or None: while a layer surface has the
        keyboard, no window of the tree has it."""
        return next((v['id'] for v in views(sway_tree(self.wenv)) if v.get('focused')), None)

    def active(self):
        return self.focused()

    def wait_active(self, window, managed=True, limit=10):
        """Waits until `window` has the keyboard; for a layer surface, until the keyboard
        has left every window of the tree."""
        expected = None if window[0] == LAYER else window[0]
        return wait_until(lambda: self.focused() == expected, limit)

    def settled(self, window, limit=5):
        last = [window]

        def still():
            view = self._view(window[0])
            if view is None:
                return last[0]
            now = (window[0],) + content_rect(view) + (window[5],)
            same = now == last[0]
            last[0] = now
            return same
        wait_until(still, limit, 0.1)
        return last[0]

    def transient_for(self, window):
        """Sway's tree does not tell a window's parent."""
        return None


@contextlib.contextmanager
def seatless_weston(servers):
    """weston on its headless back end, which has no seat: no keyboard, no pointer,
    nobody to answer a window. Yields the name of its display."""
    name = 'morrowby-seatless'
    with open(os.path.join(servers.root, 'weston.log'), 'ab') as log:
        proc = subprocess.Popen(['weston', '--backend=headless-backend.so', '--socket=' + name,
                                 '--idle-time=0'], env=servers.env(DISPLAY=None),
                                stdin=subprocess.DEVNULL, stdout=log, stderr=log)
    servers.track(proc.pid)
    try:
        # A listening socket: connections made from now on are answered in turn.
        wait_until(lambda: proc.poll() is not None or
                   os.path.exists(os.path.join(servers.run_dir, name)), 20, 0.05)
        if proc.poll() is not None or not os.path.exists(os.path.join(servers.run_dir, name)):
            raise RuntimeError('weston did not start; see %s/weston.log' % servers.root)
        yield name
    finally:
        proc.terminate()
        proc.wait()

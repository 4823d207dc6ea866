"""One run of the real program: its settings folder and song list, the process under
an optional faked clock, its windows as the X server sees them, and what it left
behind (exit status, stderr, the sound recorded at the sink)."""
import os
import struct
import subprocess
import threading
import time

from recording import Sound
from servers import wait_until
from x_events import FirstViews

LIST_BYTES = 818
LAUNCH_NAME = 'Morrowby Setup'  # the launch window's name, which no title bar shows
SLOT_BYTES = 81


def song_list_image(songs, mode=0, count=None, position=0, reserved=0):
    """The 818-byte record: ten 81-byte slots, then count, position, mode, reserved."""
    image = bytearray(LIST_BYTES)
    for slot, song in enumerate(songs):
        raw = song.encode('utf-8') if isinstance(song, str) else song
        if len(raw) > SLOT_BYTES - 1:
            raise ValueError('a slot holds at most 80 bytes: %r' % song)
        image[SLOT_BYTES * slot:SLOT_BYTES * slot + len(raw)] = raw
    count = sum(1 for s in songs if s) if count is None else count
    struct.pack_into('<hhhH', image, 810, count, position, mode, reserved)
    return bytes(image)


def serial_position(image):
    return struct.unpack_from('<h', image, 812)[0]


class Config:
    """A scratch XDG_CONFIG_HOME holding TOLVERA.INI, and the list file it names."""

    def __init__(self, folder):
        self.folder = folder
        os.makedirs(folder, exist_ok=True)
        self.settings_path = os.path.join(folder, 'TOLVERA.INI')
        self.list_path = os.path.join(folder, 'songs.dat')

    def write_settings(self, text):
        with open(self.settings_path, 'w') as f:
            f.write(text)

    def write_list(self, songs, **fields):
        """Writes the list file and a settings file whose CurFile names it."""
        with open(self.list_path, 'wb') as f:
            f.write(song_list_image(songs, **fields))
        self.write_settings('[Morrowby]\nCurFile=%s\n' % self.list_path)

    def list_bytes(self):
        with open(self.list_path, 'rb') as f:
            return f.read()

    def settings_text(self):
        with open(self.settings_path) as f:
            return f.read()


class RunResult:
    """What one run did, as seen from outside; times are from its spawn."""

    def __init__(self):
        self.status = None      # exit status; None when it had to be killed
        self.stderr = ''
        self.sound = None       # recording.Sound of everything the run sent to the sink
        self.launch_seen = None  # seconds from spawn to the launch window on screen
        self.launch_first_at = None  # where the launch window was first seen
        # Where the launch window's outer corner (its frame's, under a window manager)
        # was the moment it first became viewable, as the X server's events tell it.
        self.launch_first_frame = None
        self.launch_window_id = None  # its X window, where it is one
        self.ended = None       # seconds from spawn to exit
        self.setup_seen = False  # a window titled "Setup" was on screen
        self.main_seen = False  # the main window ("Daychime"), never shown, was mapped
        self.windows_seen = ''  # xdotool's last account of its windows, for failures
        self.focus = []  # (seconds, focused window) at each look, when the driver is asked

    def __repr__(self):
        return 'status %s, sound: %s, launch window at %s s, ended at %s s, stderr: %r' % (
            self.status, self.sound, _secs(self.launch_seen), _secs(self.ended),
            self.stderr.strip())


def _secs(value):
    return '-' if value is None else '%.2f' % value


class Session:
    """Runs the program on the servers and watches its windows with xdotool. Runs are
    sequential: each one's sound is the recording between its spawn and its end."""

    def __init__(self, binary, servers, recorder):
        self.binary = binary
        self.servers = servers
        self.recorder = recorder

    def run(self, config, fake_time=None, actions=(), cwd=None, limit=45, leave=False,
            prefix=(), args=(), binary=None, **env_changes):
        """`fake_time` "YYYY-MM-DD hh:mm:ss" starts the program's calendar clock there
        (the monotonic clock stays real: timers and the sound server depend on it).
        `actions` are called with a Driver while the program runs. `leave` ends the
        run with Escape as soon as the launch window shows, where its two seconds
        don't matter. `prefix` goes before the command (it must exec the program);
        `args` follow the program, which is `binary` when given."""
        env = self.servers.env(**dict({'XDG_CONFIG_HOME': config.folder}, **env_changes))
        command = [binary or self.binary] + list(args)
        if fake_time:
            command = ['faketime', '-m', '-f', '@' + fake_time] + command
            env['FAKETIME_DONT_FAKE_MONOTONIC'] = '1'
        command = list(prefix) + command
        if leave:
            actions = list(actions) + [leave_at_launch]
        result = RunResult()
        err_path = os.path.join(self.servers.root, 'stderr.txt')
        start = self.recorder.position()
        # Under sway the launch window is a layer surface, which no X event tells of.
        views = FirstViews(self.servers.env()) if not self.servers.sway else None
        with open(err_path, 'wb') as err:
            proc = subprocess.Popen(command, cwd=cwd or config.folder, env=env,
                                    stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                    stderr=err)
        self.servers.track(proc.pid)
        driver = Driver.on(self.servers, proc, result)
        try:
            for action in actions:
                action(driver)
            driver.watch_until_exit(limit)
        finally:
            if proc.poll() is None:
                # A case that failed half-way: its windows must not stay for the next.
                windows = windows_program(proc.pid)
                if windows is not None:
                    os.kill(windows, 9)
                proc.kill()
            proc.wait()
            if views:
                # Stopped first: every event the server sent until now has been read.
                views.stop()
                if result.launch_window_id:
                    result.launch_first_frame = views.first_frame(result.launch_window_id)
        result.sound = Sound(self.recorder.read(start, self.recorder.settle()))
        with open(err_path, 'rb') as f:
            result.stderr = f.read().decode('utf-8', 'replace')
        if os.environ.get('E2E_VERBOSE'):
            print('    run: %r' % result, flush=True)
        return result


def descendants(pid):
    """The process ids below `pid`, nearest first."""
    found, queue = [], [pid]
    while queue:
        children = subprocess.run(['pgrep', '-P', str(queue.pop(0))], stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL, universal_newlines=True).stdout.split()
        found += [int(c) for c in children]
        queue += [int(c) for c in children]
    return found


def windows_program(pid):
    """The windows program started below `pid`, or None."""
    for child in descendants(pid):
        try:
            with open('/proc/%d/comm' % child) as f:
                if f.read().strip().startswith('morrowby-window'):
                    return child
        except OSError:
            pass
    return None


def leave_at_launch(driver):
    window = driver.launch_window()
    if window is not None:
        driver.press_key(window, 'Escape')


class Driver:
    """The program's windows seen from outside, and real input through XTEST."""

    @staticmethod
    def on(servers, proc, result):
        """The driver for the servers' display: sway's own while it runs."""
        if servers.sway:
            from wayland_driver import WaylandDriver
            return WaylandDriver(servers.sway, servers.env(), proc, result)
        return Driver(servers.env(), proc, result)

    def __init__(self, env, proc, result):
        self.env = env
        self.proc = proc
        self.result = result
        self._windows = None  # the windows program's process id, once seen
        self.watch_focus = False  # note the focused window at every look
        # Under a window manager, windows sit in frames, which xdotool miscounts.
        self.framed = '#' in subprocess.run(
            ['xprop', '-root', '_NET_SUPPORTING_WM_CHECK'], env=env, stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL, universal_newlines=True).stdout
        self.t0 = time.monotonic()
        self._waiter = threading.Thread(target=self._wait_for_exit, daemon=True)
        self._waiter.start()

    def _wait_for_exit(self):
        self.proc.wait()
        self.result.ended = self.elapsed()

    def elapsed(self):
        return time.monotonic() - self.t0

    def xdotool(self, *args):
        done = subprocess.run(('xdotool',) + args, env=self.env, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, universal_newlines=True)
        return done.stdout

    def _visible_windows(self):
        """[(window, x, y, width, height, title)] of the mapped top-level windows."""
        # --all: the windows of the program that have a name (without it, xdotool
        # takes either, and a window manager's frames have names too).
        out = self.xdotool('search', '--all', '--onlyvisible', '--pid', str(self._program_pid()), '--name', '',
                           'getwindowgeometry', '--shell', '%@', 'getwindowname', '%@')
        self.result.windows_seen = out
        lines = out.split('\n')
        windows, current = [], {}
        while lines and '=' in lines[0]:
            key, _, value = lines.pop(0).partition('=')
            current[key] = value
            if key == 'SCREEN':
                windows.append([int(current[k]) for k in ('WINDOW', 'X', 'Y', 'WIDTH', 'HEIGHT')])
                current = {}
        # The titles follow, one line per window, in the same order.
        return [tuple(self._corrected(w)) + (title,) for w, title in zip(windows, lines)]

    def _program_pid(self):
        """The process whose windows are the run's: the windows program, which the
        greeting starts (under faketime, one level further down); until it is there,
        the process started."""
        if self._windows is None:
            self._windows = windows_program(self.proc.pid)
        return self._windows if self._windows is not None else self.proc.pid

    def _corrected(self, window):
        """xdotool counts a window's offset in a window manager's frame twice; xwininfo
        gives the true position on the screen."""
        if not self.framed:
            return window
        out = subprocess.run(['xwininfo', '-id', str(window[0])], env=self.env,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                             universal_newlines=True).stdout
        fields = dict(line.strip().partition(':')[::2] for line in out.split('\n') if ':' in line)
        try:
            return [window[0], int(fields['Absolute upper-left X']),
                    int(fields['Absolute upper-left Y'])] + window[3:]
        except (KeyError, ValueError):
            return window  # gone meanwhile

    def _observe(self):
        """Notes what is on screen now; returns the launch window or None."""
        if self.watch_focus:
            self.result.focus.append((self.elapsed(), self.focused()))
        launch = None
        for window in self._visible_windows():
            wid, x, y, width, height, title = window
            # The launch window is the small one named for its button.
            if 0 < width < 400 and 0 < height < 200 and title == LAUNCH_NAME:
                if self.result.launch_first_at is None:
                    self.result.launch_first_at = (x, y)
                    self.result.launch_window_id = wid
                if (x, y) == (0, 0):
                    launch = window
            if title == 'Setup':
                self.result.setup_seen = True
            if title == 'Daychime':
                self.result.main_seen = True
        if launch and self.result.launch_seen is None:
            self.result.launch_seen = self.elapsed()
        return launch

    def launch_window(self, limit=30):
        """Waits for the launch window; None if the program ended or time ran out."""
        def look():
            return 'ended' if self.proc.poll() is not None else self._observe()
        found = wait_until(look, limit)
        return found if isinstance(found, tuple) else None

    def click(self, window, times=1, at=None):
        """Clicks `times` times at `at` (pixels from the window's corner), by default
        in the window's middle."""
        wid, x, y, width, height, _ = window
        dx, dy = at if at else (width // 2, height // 2)
        # `mousemove --sync` to where the pointer already is (an earlier run clicked
        # the same spot) would wait for a motion that never comes: step beside the
        # spot first, unsynced, then onto it.
        self.xdotool('mousemove', str(x + dx + 1), str(y + dy + 1))
        self.xdotool('mousemove', '--sync', str(x + dx), str(y + dy))
        # 300 ms apart, so that two clicks are not taken for one double click.
        self.xdotool('click', '--repeat', str(times), '--delay', '300', '1')

    def press_key(self, window, key):
        # Without a window manager nobody gives focus: set it, then type through XTEST.
        self.xdotool('windowfocus', '--sync', str(window[0]), 'key', key)

    def key_to_focus(self, key):
        """A key through XTEST to whichever window has the focus, as a user types."""
        self.xdotool('key', key)

    def type_to_focus(self, text):
        self.xdotool('type', '--delay', '10', text)

    def focused(self):
        """The top-level window with the keyboard focus (its id), or None."""
        out = self.xdotool('getwindowfocus').strip()
        return int(out) if out.isdigit() else None

    def active(self):
        """The window the window manager names active (_NET_ACTIVE_WINDOW), or None."""
        out = subprocess.run(['xprop', '-root', '_NET_ACTIVE_WINDOW'], env=self.env,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                             universal_newlines=True).stdout
        if '#' not in out:
            return None
        value = int(out.split('#')[1].split(',')[0].strip(), 16)
        return value or None

    def wait_active(self, window, managed, limit=10):
        """Waits until `window` has the keyboard focus and, under a window manager
        (`managed`), is the active window as well."""
        return wait_until(lambda: self.focused() == window[0] and
                          (not managed or self.active() == window[0]), limit)

    def frame_origin(self, window):
        """The screen position of the window's outer corner, its frame included."""
        out = self.property(window, '_NET_FRAME_EXTENTS')
        left, top = 0, 0
        if '=' in out:
            left, _, top, _ = (int(v) for v in out.partition('=')[2].split(','))
        return window[1] - left, window[2] - top

    def property(self, window, name):
        """xprop's account of one property of `window`."""
        return subprocess.run(['xprop', '-id', str(window[0]), name], env=self.env,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              universal_newlines=True).stdout

    def darkest(self, window):
        """The darkest grey level (0-255) drawn in `window`: its label's ink."""
        # Bounded: on a saturated machine the window can go while it is read, and import
        # was seen to wait on for good.
        try:
            pixels = subprocess.run(['import', '-silent', '-window', str(window[0]), '-depth',
                                     '8', 'gray:-'],
                                    env=self.env, stdout=subprocess.PIPE,
                                    stderr=subprocess.DEVNULL, timeout=30).stdout
        except subprocess.TimeoutExpired:
            return None
        return min(pixels) if pixels else None

    def transient_for(self, window):
        """The window `window` is transient for (WM_TRANSIENT_FOR), or None."""
        out = self.property(window, 'WM_TRANSIENT_FOR')
        return int(out.split('#')[1].strip(), 16) if '#' in out else None

    def stacking(self):
        """The managed windows, bottom first (_NET_CLIENT_LIST_STACKING)."""
        out = subprocess.run(['xprop', '-root', '_NET_CLIENT_LIST_STACKING'], env=self.env,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                             universal_newlines=True).stdout
        return [int(v, 16) for v in out.partition('#')[2].split(',') if v.strip()]

    def type_text(self, window, text):
        self.xdotool('windowfocus', '--sync', str(window[0]), 'type', '--delay', '5', text)

    def setup_window(self, limit):
        """Waits for a window titled "Setup" while the program runs; None if none came."""
        return self.window('Setup', limit)

    def window(self, title, limit=10):
        """Waits for a window with this title while the program runs; None if none came."""
        def look():
            if self.proc.poll() is not None:
                return 'ended'
            self._observe()
            return next((w for w in self._visible_windows() if w[5] == title), None)
        found = wait_until(look, limit)
        return self.settled(found) if isinstance(found, tuple) else None

    def settled(self, window, limit=5):
        """`window` as it is once it has stopped moving: a window manager places a new
        window, and then the program may move it to its own place."""
        last = [window]

        def still():
            out = self.xdotool('getwindowgeometry', '--shell', str(window[0]))
            fields = dict(line.partition('=')[::2] for line in out.split('\n') if '=' in line)
            if 'X' not in fields:
                return last[0]  # gone: nothing more to wait for
            now = tuple(self._corrected([window[0], int(fields['X']), int(fields['Y']),
                                         int(fields['WIDTH']), int(fields['HEIGHT'])])) + (window[5],)
            same = now == last[0]
            last[0] = now
            return same
        wait_until(still, limit, 0.1)
        return last[0]

    def gone(self, window, limit=10):
        """Waits until `window` is off the screen (or the program has ended)."""
        return wait_until(lambda: self.proc.poll() is not None or all(
            w[0] != window[0] for w in self._visible_windows()), limit)

    def click_control(self, window, layout):
        """Clicks the middle of a control given by its layout rectangle: `layout` is
        (x, y, width, height, dialog width, dialog height) in dialog units; the
        program scales every rectangle of a layout alike, so fractions of the window
        find it."""
        x, y, w, h, dw, dh = layout
        width, height = window[3], window[4]
        self.click(window, at=(int((x + w / 2) * width / dw), int((y + h / 2) * height / dh)))

    def watch_until_exit(self, limit):
        deadline = self.t0 + limit
        while self.proc.poll() is None and time.monotonic() < deadline:
            self._observe()
            time.sleep(0.05)
        self._waiter.join(timeout=1)
        if self.proc.poll() is not None:
            self.result.status = self.proc.returncode


"""A private X server and a private PulseAudio server with a recordable null sink
("greet"), both living in one scratch folder, and on the X server, when asked, one of
the window managers users log in to. Every process started here is listed in
<root>/pids, so the calling shell script can end them even if this driver dies."""
import contextlib
import glob
import os
import shutil
import signal
import subprocess
import time

# Inherited settings that would send the program somewhere else than our servers.
_DROPPED = ('WAYLAND_DISPLAY', 'GDK_BACKEND', 'SDL_AUDIODRIVER', 'AUDIODEV', 'FAKETIME',
            'LD_PRELOAD', 'XDG_DATA_HOME', 'XDG_CONFIG_HOME', 'XAUTHORITY', 'DBUS_SESSION_BUS_ADDRESS')


def start_sway(servers):
    """sway beside the X server; see wayland_driver.Sway."""
    from wayland_driver import Sway
    return Sway(servers)


# The window managers the window cases run under, besides none at all: how each is
# started on the private X server (`{bus}` marks one that wants a D-Bus session bus),
# and the start of the name it gives itself (_NET_WM_NAME of its check window).
# "mutter-wayland" is GNOME's Wayland session: Mutter as a headless Wayland
# compositor with its own X server, Xwayland, which the program then uses. "sway" is
# a Wayland compositor of its own, beside the X server, started by a function.
WAYLAND_DISPLAY = 'morrowby-wayland'
WINDOW_MANAGERS = {
    'openbox': (['openbox', '--sm-disable'], 'openbox'),
    'xfwm4': (['{bus}', 'xfwm4', '--compositor=on', '--sm-client-disable'], 'xfwm4'),
    'mutter': (['{bus}', 'mutter', '--x11', '--replace', '--sm-disable'], 'mutter'),
    # A tiling manager: dialogs float, placed where they ask to be.
    'i3': (['i3', '-c', os.path.join(os.path.dirname(os.path.abspath(__file__)), 'i3.config')],
           'i3'),
    'icewm': (['icewm'], 'icewm'),
    # Plasma's window manager on X11.
    'kwin': (['{bus}', 'kwin_x11', '--replace'], 'kwin'),
    'mutter-wayland': (['{bus}', 'mutter', '--headless', '--wayland', '--virtual-monitor',
                        '1280x800', '--wayland-display=' + WAYLAND_DISPLAY, '--sm-disable'],
                       'mutter'),
    'sway': (start_sway, 'sway'),
}


def wait_until(condition, limit, step=0.02):
    """Polls `condition` until it is true; returns its last value."""
    deadline = time.monotonic() + limit
    while True:
        value = condition()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(step)


class Servers:
    def __init__(self, root):
        self.root = root
        self.run_dir = os.path.join(root, 'run')
        self.home = os.path.join(root, 'home')
        for folder in (self.run_dir, self.home):
            os.makedirs(folder, mode=0o700, exist_ok=True)
        self.socket = os.path.join(self.run_dir, 'native')
        self.display = None
        self._xvfb = None
        self._pulse_pid = None
        self.window_manager = None  # the name of the one running, None for none
        self._wm_procs = []
        self._xvfb_display = None  # while Xwayland stands in for Xvfb
        self._wayland_env = {}
        self.sway = None  # while sway runs
        self._a11y_bus = None  # the accessibility cases' session bus, once started
        self._buses = []

    def track(self, pid):
        with open(os.path.join(self.root, 'pids'), 'a') as f:
            f.write('%d\n' % pid)

    def env(self, **changes):
        """The environment of a client of both servers; None values remove a key."""
        env = {k: v for k, v in os.environ.items() if k not in _DROPPED}
        env.update(PULSE_RUNTIME_PATH=self.run_dir, XDG_RUNTIME_DIR=self.run_dir,
                   HOME=self.home, PULSE_SERVER='unix:' + self.socket, TZ='UTC',
                   XDG_DATA_DIRS='/usr/local/share:/usr/share', NO_AT_BRIDGE='1',
                   LC_ALL='C.UTF-8')
        if self.display:
            env['DISPLAY'] = self.display
        env.update(self._wayland_env)
        for key, value in changes.items():
            if value is None:
                env.pop(key, None)
            else:
                env[key] = value
        return env

    def start(self):
        self._start_xvfb()
        self._start_pulse()
        return self

    def _start_xvfb(self):
        # -displayfd: Xvfb picks a free display itself and names it once it accepts
        # connections, so there is no guessing and no waiting on a timer. -noreset: by
        # default the server resets whenever its last client leaves, and refuses the
        # connections that arrive meanwhile (the next run would find "no display").
        read_end, write_end = os.pipe()
        self._xvfb = subprocess.Popen(
            ['Xvfb', '-displayfd', str(write_end), '-screen', '0', '1280x800x24',
             '-nolisten', 'tcp', '-noreset'],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.track(self._xvfb.pid)
        os.close(write_end)
        number = b''
        with os.fdopen(read_end, 'rb') as pipe:
            while not number.endswith(b'\n'):
                chunk = pipe.read(1)
                if not chunk:
                    raise RuntimeError('Xvfb did not start')
                number += chunk
        self.display = ':' + number.decode().strip()

    def _start_pulse(self):
        subprocess.run(
            ['pulseaudio', '--daemonize=yes', '--exit-idle-time=-1', '--system=false', '-n',
             '--load=module-null-sink sink_name=greet rate=48000',
             '--load=module-native-protocol-unix auth-anonymous=1 socket=' + self.socket,
             '--log-target=file:' + os.path.join(self.root, 'pulse.log')],
            env=self.env(), check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        pid_file = os.path.join(self.run_dir, 'pid')
        if wait_until(lambda: os.path.exists(pid_file), 10):
            with open(pid_file) as f:
                self._pulse_pid = int(f.read().split()[0])
            self.track(self._pulse_pid)
        up = wait_until(lambda: subprocess.run(['pactl', 'info'], env=self.env(),
                                               stdout=subprocess.DEVNULL,
                                               stderr=subprocess.DEVNULL).returncode == 0, 15)
        if not up:
            raise RuntimeError('PulseAudio did not start; see ' + self.root + '/pulse.log')
        subprocess.run(['pactl', 'set-default-sink', 'greet'], env=self.env(), check=True)

    @contextlib.contextmanager
    def sound_server_stopped(self):
        """The PulseAudio server stopped (SIGSTOP) for the `with` block: its socket
        still accepts connections, and nothing answers on them."""
        os.kill(self._pulse_pid, signal.SIGSTOP)
        try:
            yield
        finally:
            os.kill(self._pulse_pid, signal.SIGCONT)

    def use_window_manager(self, name):
        """Runs window manager `name` (None: none) on the X server, ending any other
        first. Raises RuntimeError when it cannot run here."""
        if name == self.window_manager:
            if self.sway:
                self.sway.terminal()
            return
        self._stop_window_manager()
        if name is None:
            return
        command, wm_name = WINDOW_MANAGERS[name]
        if callable(command):
            self._start_compositor(command, name)
            return
        program = command[1] if command[0] == '{bus}' else command[0]
        if shutil.which(program) is None:
            raise RuntimeError(name + ' is not installed')
        env = self.env()
        log = open(os.path.join(self.root, name + '.log'), 'ab')
        if command[0] == '{bus}':
            env['DBUS_SESSION_BUS_ADDRESS'] = self._start_session_bus()
            command = command[1:]
        proc = subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL, stdout=log,
                                stderr=log)
        self.track(proc.pid)
        self._wm_procs.append(proc)
        if name == 'mutter-wayland' and not self._use_xwayland(proc, log.name):
            self._stop_window_manager()
            raise RuntimeError('mutter started no Xwayland; see %s' % log.name)
        if not wait_until(lambda: proc.poll() is None and
                          self.running_window_manager().lower().startswith(wm_name), 20, 0.1):
            self._stop_window_manager()
            raise RuntimeError('%s did not start; see %s/%s.log' % (name, self.root, name))
        self.window_manager = name

    def _start_compositor(self, start, name):
        """A Wayland compositor of its own, which the program reaches beside the X
        server's DISPLAY, as in a Wayland session with Xwayland."""
        try:
            self.sway = start(self)
            self.sway.terminal()
        except RuntimeError:
            self._stop_window_manager()
            raise
        self._wayland_env = {'WAYLAND_DISPLAY': self.sway.env({})['WAYLAND_DISPLAY']}
        self.window_manager = name

    def _use_xwayland(self, proc, log):
        """Points the X clients at the Xwayland that Mutter started (its display is in
        the log; its cookie in the runtime folder), and the program at the compositor."""
        def display():
            with open(log) as f:
                for line in f:
                    if 'Using public X11 display' in line:
                        return line.split('display')[1].split(',')[0].strip()
            return None
        number = wait_until(lambda: proc.poll() is not None or display(), 20, 0.1)
        cookies = sorted(glob.glob(os.path.join(self.run_dir, '.mutter-Xwaylandauth.*')),
                         key=os.path.getmtime)
        if not isinstance(number, str) or not cookies:
            return False
        self._xvfb_display, self.display = self.display, number
        self._wayland_env = {'XAUTHORITY': cookies[-1], 'WAYLAND_DISPLAY': WAYLAND_DISPLAY}
        return True

    def running_window_manager(self):
        """The name the running window manager gives itself, '' when there is none."""
        out = self._xprop('-root', '_NET_SUPPORTING_WM_CHECK')
        if '#' not in out:
            return ''
        check = out.split('#')[1].split(',')[0].strip()
        name = self._xprop('-id', check, '_NET_WM_NAME')
        return name.partition('=')[2].strip().strip('"') if '=' in name else ''

    def _xprop(self, *args):
        return subprocess.run(['xprop'] + list(args), env=self.env(), stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, universal_newlines=True).stdout

    def accessibility_env(self):
        """The environment changes that give a client the desktop's accessibility bus
        (AT-SPI, started on demand by a session bus of its own), as a screen reader
        needs it; the other cases run without it."""
        if self._a11y_bus is None:
            self._a11y_bus = self._start_session_bus(keep=False)
        return {'DBUS_SESSION_BUS_ADDRESS': self._a11y_bus, 'NO_AT_BRIDGE': None}

    def _start_session_bus(self, keep=True):
        bus = subprocess.Popen(['dbus-daemon', '--session', '--nofork', '--print-address=1'],
                               env=self.env(), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                               universal_newlines=True)
        self.track(bus.pid)
        (self._wm_procs if keep else self._buses).append(bus)
        address = bus.stdout.readline().strip()
        if not address:
            raise RuntimeError('no D-Bus session bus')
        return address

    def _stop_window_manager(self):
        for proc in reversed(self._wm_procs):
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()
        if self.sway:
            self.sway.stop()
            self.sway, self._wayland_env = None, {}
        self._wm_procs = []
        self.window_manager = None
        if self._xvfb_display:
            self.display, self._xvfb_display, self._wayland_env = self._xvfb_display, None, {}
        # What a manager leaves on the root window would mislead the next one's users.
        for prop in ('_NET_SUPPORTING_WM_CHECK', '_NET_ACTIVE_WINDOW', '_NET_CLIENT_LIST',
                     '_NET_CLIENT_LIST_STACKING'):
            self._xprop('-root', '-remove', prop)

    def stop(self):
        self._stop_window_manager()
        for bus in self._buses:
            bus.terminate()
            bus.wait(timeout=10)
        if self._pulse_pid:
            try:
                os.kill(self._pulse_pid, 15)
            except ProcessLookupError:
                pass
            self._pulse_pid = None
        if self._xvfb and self._xvfb.poll() is None:
            self._xvfb.terminate()
            self._xvfb.wait(timeout=10)


class PipeWire:
    """A private PipeWire server with WirePlumber and a null sink "greet", on a session
    bus and in a runtime folder of their own, and, when asked, PipeWire's PulseAudio
    service (pipewire-pulse). Its processes are tracked by `servers`."""

    def __init__(self, servers, name):
        self.servers = servers
        self.run_dir = os.path.join(servers.root, name)
        os.makedirs(self.run_dir, mode=0o700)
        self._procs = []
        self._bus = None

    def env(self, **changes):
        """A client's environment: PipeWire's folder, and no PulseAudio server but the
        one in it (pipewire-pulse's, when that runs)."""
        env = self.servers.env(XDG_RUNTIME_DIR=self.run_dir, PIPEWIRE_RUNTIME_DIR=self.run_dir,
                               PULSE_RUNTIME_PATH=os.path.join(self.run_dir, 'pulse'),
                               PULSE_SERVER=None)
        if self._bus:
            env['DBUS_SESSION_BUS_ADDRESS'] = self._bus
        env.update({k: v for k, v in changes.items() if v is not None})
        return env

    def _spawn(self, command, log, **env):
        with open(os.path.join(self.run_dir, log), 'ab') as out:
            proc = subprocess.Popen(command, env=self.env(**env), stdin=subprocess.DEVNULL,
                                    stdout=out, stderr=out)
        self.servers.track(proc.pid)
        self._procs.append(proc)
        return proc

    def _pw(self, *command):
        return subprocess.run(command, env=self.env(), stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, universal_newlines=True).stdout

    def start(self):
        """PipeWire, WirePlumber and the null sink, which becomes the default."""
        bus = subprocess.Popen(['dbus-daemon', '--session', '--nofork', '--print-address=1'],
                               env=self.env(), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                               universal_newlines=True)
        self.servers.track(bus.pid)
        self._procs.append(bus)
        self._bus = bus.stdout.readline().strip()
        self._spawn(['pipewire'], 'pipewire.log')
        if not wait_until(lambda: os.path.exists(os.path.join(self.run_dir, 'pipewire-0')), 10):
            raise RuntimeError('PipeWire did not start; see %s/pipewire.log' % self.run_dir)
        self._spawn(['wireplumber'], 'wireplumber.log')
        self._pw('pw-cli', 'create-node', 'adapter',
                 '{ factory.name=support.null-audio-sink node.name=greet media.class=Audio/Sink '
                 'object.linger=true audio.position=[ FL FR ] audio.rate=48000 }')
        if not wait_until(lambda: '*' in ''.join(l for l in self._pw('wpctl', 'status').split('\n')
                                                 if 'greet' in l), 15, 0.1):
            raise RuntimeError('WirePlumber did not take up the sink; see %s' % self.run_dir)
        return self

    def start_pulse(self):
        """pipewire-pulse, PipeWire's PulseAudio server, logging each stream's underflows."""
        self._spawn(['pipewire', '-c', 'pipewire-pulse.conf'], 'pipewire-pulse.log',
                    PIPEWIRE_DEBUG='3')
        if not wait_until(lambda: os.path.exists(os.path.join(self.run_dir, 'pulse', 'native')), 10):
            raise RuntimeError('pipewire-pulse did not start; see %s' % self.run_dir)

    def underflows(self, client):
        """How many times pipewire-pulse found the stream of `client` empty when the
        graph came to take from it. A stream that ends drains once; more means the
        client fell behind."""
        try:
            with open(os.path.join(self.run_dir, 'pipewire-pulse.log'), errors='replace') as log:
                return sum(1 for line in log if '[%s]: UNDERFLOW' % client in line)
        except FileNotFoundError:
            return 0

    def stop(self):
        for proc in reversed(self._procs):
            if proc.poll() is None:
                proc.terminate()
                proc.wait(timeout=10)
        self._procs = []


def missing_tools(*tools):
    return [t for t in tools if shutil.which(t) is None]

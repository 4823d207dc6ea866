"""A private X server and a private PulseAudio server with a recordable null sink
("greet"), both living in one scratch folder. Every process started here is listed in
<root>/pids, so the calling shell script can end them even if this driver dies."""
import os
import shutil
import subprocess
import time

# Inherited settings that would send the program somewhere else than our servers.
_DROPPED = ('WAYLAND_DISPLAY', 'GDK_BACKEND', 'SDL_AUDIODRIVER', 'AUDIODEV', 'FAKETIME',
            'LD_PRELOAD', 'XDG_DATA_HOME', 'XDG_CONFIG_HOME', 'XAUTHORITY', 'DBUS_SESSION_BUS_ADDRESS')


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

    def stop(self):
        if self._pulse_pid:
            try:
                os.kill(self._pulse_pid, 15)
            except ProcessLookupError:
                pass
            self._pulse_pid = None
        if self._xvfb and self._xvfb.poll() is None:
            self._xvfb.terminate()
            self._xvfb.wait(timeout=10)


def missing_tools(*tools):
    return [t for t in tools if shutil.which(t) is None]

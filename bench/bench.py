#!/usr/bin/env python3
"""Figures, not verdicts: how soon after its start the program's song is heard at the
sink, next to paplay and canberra-gtk-play playing the same file on the same server;
peak memory and CPU time of each run; and the CPU the program uses while its launch
button waits its two seconds.

How "start to first sample" is measured. parec records the null sink's monitor for
the whole benchmark; the null sink runs on its own steady clock and delivers silence
when nothing plays, so a frame's offset in the recording is a point in time. While a
player runs, a thread samples (monotonic time, frames on disk) every 2 ms; each sample
bounds the recording's lag from below, and the freshest of them, shifted along the
sample rate, maps the spawn instant onto the recording timeline. (The sink renders in
blocks a little ahead of its clock, so this point can sit ahead of the true one; that
bias is the same for every player, and the calibration below takes it off too.) The
first frame above the silence level after that point, minus the spawn's frame, is the
raw delay. It still holds the fixed path from the sink to the file (the monitor,
parec and its 20 ms fragments); that part is measured by calibration: an already
connected pacat with a 5 ms buffer is handed a click, and the median delay of those
clicks is taken off every figure. What remains uncertain is pacat's own few
milliseconds (shared by all rows alike) and the phase of the sink's blocks, about
+-10 ms per run; hence the median of several runs, with the range shown.

Where that time goes is shown by extra rows from strace runs (start_phases.py). Below
the table: a full announcement at a fixed moment, its clips located in the recording
(clip_alignment.py), with the silence the program added where clips join and its
recorded length over the length of its clips.

usage: bench.py --root SCRATCH_FOLDER BINARY [--runs N] [--servers pulseaudio,pipewire]
       [--wm openbox|xfwm4|mutter|none]"""
import argparse
import collections
import os
import statistics
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests', 'e2e'))

from busy_login import busy_login_rows  # noqa: E402
from clip_alignment import AlignmentError, Clips, align  # noqa: E402
from morrowby_run import Config, Driver, RunResult, Session  # noqa: E402
from recording import RATE, SILENCE_LEVEL, Recorder  # noqa: E402
from servers import PipeWire, Servers, missing_tools, wait_until  # noqa: E402
from sound_files import tone_frames, wav_image  # noqa: E402
from spoken_date import parse_moment, spoken_clips  # noqa: E402
from start_phases import PHASES, traced_run  # noqa: E402

ANNOUNCED = ('2025-01-06 18:15:00', 'yyyyyyyyyyy')  # a Monday; every word, 12-hour clock


class SinkTimeline:
    """Maps monotonic instants onto frames of the recording (see the top comment)."""

    def __init__(self, recorder):
        self.recorder = recorder
        self.samples = collections.deque(maxlen=5000)  # ten seconds at 2 ms
        self._running = True
        self._thread = threading.Thread(target=self._sample, daemon=True)
        self._thread.start()

    def _sample(self):
        while self._running:
            self.samples.append((time.monotonic(), self.recorder.position()))
            time.sleep(0.002)

    def frame_at(self, instant):
        near = [(t, f) for t, f in list(self.samples) if abs(t - instant) < 3]
        return max(f - (t - instant) * RATE for t, f in near)

    def stop(self):
        self._running = False
        self._thread.join()


def first_audible_frame(recorder, start, end):
    samples = recorder.read(start, end)
    for i, s in enumerate(samples):
        if abs(s) > SILENCE_LEVEL:
            return start + i
    return None


def private_dirty_kb(pid):
    """Private_Dirty of a live process in kB; 0 once it has gone."""
    try:
        with open('/proc/%d/smaps_rollup' % pid) as f:
            for line in f:
                if line.startswith('Private_Dirty:'):
                    return int(line.split()[1])
    except (OSError, ValueError):
        pass
    return 0


def proc_status_kb(pid, field):
    """A kB figure of /proc/PID/status; 0 once the process has gone."""
    try:
        with open('/proc/%d/status' % pid) as f:
            for line in f:
                if line.startswith(field):
                    return int(line.split()[1])
    except (OSError, ValueError):
        pass
    return 0


def child_pid(pid):
    """The greeting's windows program, a child of `pid`, or None; read from /proc,
    quick enough for the 2 ms sampling."""
    try:
        for task in os.listdir('/proc/%d/task' % pid):
            with open('/proc/%d/task/%s/children' % (pid, task)) as f:
                for child in f.read().split():
                    with open('/proc/%s/comm' % child) as comm:
                        if comm.read().startswith('morrowby-window'):
                            return int(child)
    except (OSError, ValueError):
        pass
    return None


def thread_cpu(pid):
    """{thread id: CPU seconds} of a live process's threads, from the scheduler's
    nanosecond counts (the tick counts in /proc/PID/stat are too coarse for a few
    milliseconds); None once it has gone."""
    times = {}
    try:
        for task in os.listdir('/proc/%d/task' % pid):
            with open('/proc/%d/task/%s/schedstat' % (pid, task)) as f:
                times[int(task)] = int(f.read().split()[0]) / 1e9
    except (OSError, IndexError, ValueError):
        return None
    return times


class Bench:
    """One sound server (`sound`: 'pulseaudio', or 'pipewire' with its PulseAudio
    service, which the players and the recorder then talk to) on an X server with the
    window manager `wm` (None: none)."""

    def __init__(self, root, binary, sound='pulseaudio', wm='openbox'):
        self.root = root
        self.binary = binary
        os.makedirs(root, exist_ok=True)
        self.servers = Servers(root).start()
        if wm:
            self.servers.use_window_manager(wm)
        self.pipewire = None
        self.socket = self.servers.socket
        if sound == 'pipewire':
            self.pipewire = PipeWire(self.servers, 'pipewire').start()
            self.pipewire.start_pulse()
            self.socket = os.path.join(self.pipewire.run_dir, 'pulse', 'native')
        self.recorder = Recorder(os.path.join(root, 'sink.raw'), self.env(),
                                 self.servers.track)
        self.timeline = SinkTimeline(self.recorder)
        self.song = os.path.join(root, 'second.wav')
        with open(self.song, 'wb') as f:
            f.write(wav_image(tone_frames(440, seconds=1.0)))
        self.config = Config(os.path.join(root, 'config'))
        self.config.write_list([self.song], mode=0)
        self.offset = 0.0
        self.clips = Clips()

    def env(self, **changes):
        """A client's environment on this bench's sound server and X server."""
        if self.pipewire:
            return self.pipewire.env(**changes)
        return self.servers.env(**changes)

    def calibrate(self, clicks=5):
        """The sink-to-file delay, from clicks handed to an already playing pacat."""
        log = os.path.join(self.root, 'pacat.log')
        with open(log, 'w') as err:
            pacat = subprocess.Popen(
                ['pacat', '-v', '--playback', '--raw', '--format=s16le', '--rate=%d' % RATE,
                 '--channels=2', '--latency-msec=5'],
                stdin=subprocess.PIPE, stderr=err, env=self.env())
        self.servers.track(pacat.pid)

        def connected():
            with open(log) as f:
                return 'Stream successfully created' in f.read()
        if not wait_until(connected, 10):
            raise RuntimeError('pacat did not connect')
        click = tone_frames(1000, seconds=0.03, rate=RATE)
        stereo = b''.join(click[i:i + 2] * 2 for i in range(0, len(click), 2))
        delays = []
        for _ in range(clicks):
            self.recorder.settle(0.2)
            start = self.recorder.position()
            instant = time.monotonic()
            pacat.stdin.write(stereo)
            pacat.stdin.flush()
            end = self.recorder.settle(0.3)
            heard = first_audible_frame(self.recorder, start, end)
            if heard is not None:
                delays.append((heard - self.timeline.frame_at(instant)) / RATE)
        pacat.stdin.close()
        pacat.wait(timeout=10)
        self.offset = statistics.median(delays)
        return delays

    def timed_run(self, command, env):
        """(seconds to the first audible sample, peak RSS in kB, peak private memory
        in kB, CPU seconds with its children's, and the peak RSS and private memory of
        its child, the windows program, if any) of one run of `command`. The memory
        figures are read from
        /proc while it runs: VmHWM (the kernel's own high-water mark of this program,
        unlike the wait status's, which also holds the forking parent's size) and the
        most Private_Dirty of smaps_rollup, the pages that are the process's own
        rather than shared libraries. smaps_rollup is read only every 20 ms, since it
        takes the process's memory lock while it starts."""
        self.recorder.settle(0.1)
        start = self.recorder.position()
        instant = time.monotonic()
        proc = subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.servers.track(proc.pid)
        peak = private = child_peak = child_private = 0
        child = None
        deadline = instant + 60
        turn = 0
        while True:
            pid, status, usage = os.wait4(proc.pid, os.WNOHANG)
            if pid:
                break
            peak = max(peak, proc_status_kb(proc.pid, 'VmHWM:'))
            child = child or child_pid(proc.pid)
            if child:
                child_peak = max(child_peak, proc_status_kb(child, 'VmHWM:'))
            if turn % 10 == 5:
                private = max(private, private_dirty_kb(proc.pid))
                if child:
                    child_private = max(child_private, private_dirty_kb(child))
            turn += 1
            if time.monotonic() > deadline:
                proc.kill()
            time.sleep(0.002)
        proc.returncode = os.waitstatus_to_exitcode(status)
        end = self.recorder.settle(0.3)
        heard = first_audible_frame(self.recorder, start, end)
        delay = None if heard is None else \
            (heard - self.timeline.frame_at(instant)) / RATE - self.offset
        return delay, peak, private, usage.ru_utime + usage.ru_stime, child_peak, child_private

    def launch_wait_cpu(self):
        """(CPU seconds used from the launch window's appearance to the program's end,
        length of that stretch), or None when no launch window came."""
        env = self.env(XDG_CONFIG_HOME=self.config.folder)
        proc = subprocess.Popen([self.binary], env=env, cwd=self.config.folder,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.servers.track(proc.pid)
        driver = Driver(self.servers.env(), proc, RunResult())
        if driver.launch_window() is None:
            proc.wait()
            return None
        windows = child_pid(proc.pid)

        # Each thread's last reading counts, so that a thread that ends meanwhile (the
        # sound device's, once the sound has been heard) takes its time with it.
        seen = {}

        def both():
            for p in (proc.pid, windows):
                times = thread_cpu(p) if p else {}
                if times is None:
                    return None
                seen.update(times)
            return sum(seen.values())
        first_cpu, first_at = both(), time.monotonic()
        last_cpu, last_at = first_cpu, first_at
        while proc.poll() is None:
            cpu = both()
            if cpu is not None:
                last_cpu, last_at = cpu, time.monotonic()
            time.sleep(0.02)
        return last_cpu - first_cpu, last_at - first_at

    def session_run(self, config, **options):
        """One greeting on `config` on this bench's sound server, ended with Escape at
        the launch window."""
        session = Session(self.binary, self.servers, self.recorder)
        on_pipewire = {}
        if self.pipewire:  # its folders, and no PulseAudio server but its own
            on_pipewire = {k: self.env().get(k) for k in (
                'XDG_RUNTIME_DIR', 'PIPEWIRE_RUNTIME_DIR', 'PULSE_RUNTIME_PATH',
                'DBUS_SESSION_BUS_ADDRESS', 'PULSE_SERVER')}
        return session.run(config, leave=True, **dict(options, **on_pipewire))

    def button_after_sound(self):
        """Seconds from the last sample heard at the sink to the launch button on
        screen, in one song-mode run; None when either was not seen."""
        result = self.session_run(self.config)
        if result.launch_seen is None or result.sound.silent:
            return None
        last = result.sound.spans[-1]
        return result.launch_seen - (last.start + last.duration) + self.offset

    def start_phases(self):
        """{phase: ms after execve} of one song-mode run under strace."""
        return traced_run(self.binary, self.env(XDG_CONFIG_HOME=self.config.folder),
                          self.config.folder, self.root, self.song, self.config.settings_path,
                          self.socket)

    def announcement(self):
        """(inserted silence per junction of each stretch between audible clips, in
        seconds; recorded length over the length of the clips) of one announcement
        at a fixed moment, ended with Escape at the launch window."""
        config = Config(os.path.join(self.root, 'announce'))
        config.write_list([], mode=3)
        config.write_settings('[Morrowby]\nCurFile=%s\nDateLine=%s\n' % (
            config.list_path, ANNOUNCED[1]))
        result = self.session_run(config, fake_time=ANNOUNCED[0])
        heard = align(result.sound.samples, spoken_clips(parse_moment(ANNOUNCED[0]), ANNOUNCED[1]),
                      self.clips)
        return [inserted / spanned for _, inserted, spanned in heard.junctions], heard.ratio

    def stop(self):
        self.timeline.stop()
        self.recorder.stop()
        if self.pipewire:
            self.pipewire.stop()
        self.servers.stop()


def spread(values, unit, scale=1.0, digits=0):
    """"median unit (min-max)" of the values that are there."""
    values = [v * scale for v in values if v is not None]
    if not values:
        return 'no sound'
    form = '%%.%df' % digits
    return (form + ' %s (' + form + '-' + form + ')') % (
        statistics.median(values), unit, min(values), max(values))


def ratio(values, reference):
    """Median over median, "-" when either has no sound."""
    values = [v for v in values if v is not None]
    reference = [v for v in reference if v is not None]
    if not values or not reference or statistics.median(reference) <= 0:
        return '-'
    return '%.2f' % (statistics.median(values) / statistics.median(reference))


def measure(bench, runs):
    """The table's rows. The players take turns, round after round, so that a busy
    moment of the machine falls on all of them alike."""
    players = [('morrowby (song mode)', [bench.binary],
                bench.env(XDG_CONFIG_HOME=bench.config.folder)),
               ('paplay FILE', ['paplay', bench.song], bench.env())]
    if missing_tools('canberra-gtk-play'):
        print('canberra-gtk-play is not installed (tools/install-deps.sh --bench)')
    else:
        players.append(('canberra-gtk-play -f FILE', ['canberra-gtk-play', '-f', bench.song],
                        bench.env()))
    results = {name: [] for name, _, _ in players}
    for _ in range(runs):
        for name, command, env in players:
            results[name].append(bench.timed_run(command, env))
    first_sample = {name: [r[0] for r in rs] for name, rs in results.items()}
    canberra = first_sample.get('canberra-gtk-play -f FILE', [])
    paplay = first_sample['paplay FILE']
    rows = []
    for name, _, _ in players:
        rs = results[name]
        rows.append((name, spread(first_sample[name], 'ms', 1000),
                     ratio(first_sample[name], canberra), ratio(first_sample[name], paplay),
                     spread([r[1] for r in rs], 'MB', 1 / 1024, 1),
                     spread([r[2] for r in rs], 'MB', 1 / 1024, 1),
                     spread([r[3] for r in rs], 'ms', 1000)))
        if any(r[4] for r in rs):
            rows.append(('  its windows program', '-', '-', '-',
                         spread([r[4] for r in rs], 'MB', 1 / 1024, 1),
                         spread([r[5] for r in rs], 'MB', 1 / 1024, 1), '-'))
            rows.append(('  the two together', '-', '-', '-',
                         spread([r[1] + r[4] for r in rs], 'MB', 1 / 1024, 1),
                         spread([r[2] + r[5] for r in rs], 'MB', 1 / 1024, 1), '-'))
    after = [bench.button_after_sound() for _ in range(runs)]
    rows.append(('morrowby, last sample to launch button', spread(after, 'ms', 1000),
                 '-', '-', '-', '-', '-'))
    waits = [w for w in (bench.launch_wait_cpu() for _ in range(3)) if w is not None]
    cpu = 'no launch window'
    if waits:
        cpu = '%s over %.2f s' % (spread([w[0] for w in waits], 'ms', 1000, 1),
                                  statistics.median(w[1] for w in waits))
    rows.append(('morrowby, launch button wait', '-', '-', '-', '-', '-', cpu))
    if missing_tools('strace'):
        print('strace is not installed: no start-up phases')
    else:
        traced = [bench.start_phases() for _ in range(runs)]
        for phase in PHASES:
            seen = [t.get(phase) for t in traced if t.get(phase) is not None]
            rows.append(('  under strace: ' + phase, spread(seen, 'ms') if seen else 'not seen',
                         '-', '-', '-', '-', '-'))
    return rows


def announcement_lines(bench, runs):
    """Inserted silence per clip junction and the length ratio of full announcements."""
    try:
        figures = [bench.announcement() for _ in range(runs)]
    except AlignmentError as why:  # a busy machine: the table above still stands
        return ['announcement %s %s: not aligned: %s' % (ANNOUNCED + (why,))]
    junctions = [j for per_run, _ in figures for j in per_run]
    worst = max(junctions, key=abs)
    return ['announcement %s %s, %d runs, measured at the sink:' % (ANNOUNCED + (runs,)),
            '  inserted silence per clip junction: mean %+.3f ms, worst %+.3f ms over %d stretches '
            '(target 0, at most 1 ms)' % (1000 * statistics.mean(junctions), 1000 * worst,
                                          len(junctions)),
            '  recorded length / sum of its clips: %s (target <= 1.01)'
            % ', '.join('%.5f' % ratio for _, ratio in figures)]


def print_table(header, rows):
    widths = [max(len(r[i]) for r in rows + [header]) for i in range(len(header))]
    for row in [header] + rows:
        print('  '.join(cell.ljust(w) for cell, w in zip(row, widths)).rstrip())


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--root', required=True)
    parser.add_argument('--runs', type=int, default=9)
    parser.add_argument('--servers', default='pulseaudio,pipewire',
                        help='sound servers to measure on, in turn')
    parser.add_argument('--wm', default='openbox', help="window manager, or 'none'")
    parser.add_argument('--no-announcement', action='store_true',
                        help='skip the announcement (a program built with other clips)')
    parser.add_argument('--busy', default='40,20', metavar='ANNOUNCEMENTS,SONGS',
                        help='runs of each on the busy log-in; 0,0 skips it')
    parser.add_argument('--busy-only', action='store_true',
                        help='only the busy log-in rows')
    parser.add_argument('binary')
    args = parser.parse_args()
    busy = [int(n) for n in args.busy.split(',')]
    wm = None if args.wm == 'none' else args.wm
    needed = ['Xvfb', 'pulseaudio', 'parec', 'pacat', 'paplay', 'xdotool', 'faketime']
    if 'pipewire' in args.servers:
        needed += ['pipewire', 'wireplumber', 'pw-cli', 'wpctl', 'dbus-daemon']
    if wm:
        needed.append(wm)
    missing = missing_tools(*needed)
    if missing:
        print('missing %s (tools/install-deps.sh --bench installs them)' % ' '.join(missing))
        return 1
    for sound in args.servers.split(','):
        bench = Bench(os.path.join(args.root, sound), os.path.abspath(args.binary), sound, wm)
        rows, spoken, busy_rows = [], [], []
        try:
            if not args.busy_only:
                calibration = bench.calibrate()
                rows = measure(bench, args.runs)
                spoken = announcement_lines(bench, min(args.runs, 3)) \
                    if sound == 'pulseaudio' and not args.no_announcement else []
            if any(busy) and not args.no_announcement:
                busy_rows = busy_login_rows(bench, ANNOUNCED[0], ANNOUNCED[1], *busy)
        finally:
            bench.stop()
        print('\n== %s, window manager %s, Xvfb -noreset' % (
            'PipeWire (with pipewire-pulse)' if sound == 'pipewire' else 'PulseAudio', wm or 'none'))
        if rows:
            print('%d interleaved rounds of a 1 s 44.1 kHz mono WAV; medians (range); '
                  'calibration %.1f ms (%s) taken off' % (
                      args.runs, 1000 * bench.offset,
                      ', '.join('%.1f' % (1000 * d) for d in calibration)))
            print_table(('', 'start to first sample', 'to canberra', 'to paplay', 'peak RSS',
                         'peak private', 'CPU (user+sys)'), rows)
        if spoken:
            print('\n'.join(spoken))
        if busy_rows:
            print_table(('busy log-in: 2 busy loops per CPU, a synced disk writer', 'player',
                         'runs with a dropout', 'worst inserted silence'), busy_rows)
        sys.stdout.flush()
    return 0


if __name__ == '__main__':
    sys.exit(main())

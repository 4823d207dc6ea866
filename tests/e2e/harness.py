"""The end-to-end suite's frame: case registry, checks, the shared servers and the
reference recordings, and the summary line."""
import os
import re
import signal
import subprocess
import sys
import tempfile
import time
import traceback

from clip_alignment import AlignmentError, Clips, align
from morrowby_run import Config, Session, windows_program
from recording import Recorder, Sound, same_sound
from servers import WINDOW_MANAGERS, Servers, wait_until
from sound_files import TONE_SECONDS, slot_frequency, slot_of_tone, write_slot_tones
from spoken_date import parse_moment, spoken_clips

# Clips follow each other without a break: a stretch between two audible clips may be
# off by at most this much (SDL's resampler alone drifts ~0.1 ms per second).
JUNCTION_LIMIT = 0.001

CASES = []


def case(name, known_fault=None):
    """Registers a test; it gets the Suite and raises Failure or Skip. A case marked
    with a `known_fault` of the program (not yet mended) that fails is listed as
    such and the suite stays green; once it passes, the mark must go, so that it
    counts as failed until then."""
    def register(function):
        CASES.append((name, function, known_fault))
        return function
    return register


WINDOW_CASES = []


def window_case(name, known_fault=None, managers=None):
    """Registers a case of the program's windows, to be run once on the bare X server
    and once under each window manager (register_window_cases), or only under those
    of `managers` (names; None for none); it gets the Suite and the name of the
    window manager, None for none."""
    def register(function):
        WINDOW_CASES.append((name, function, known_fault, managers))
        return function
    return register


def register_window_cases():
    """Adds the window cases after all others: first all of them with no window
    manager, then all under each manager in turn, so that each starts once."""
    for manager in [None] + list(WINDOW_MANAGERS):
        for name, function, known_fault, managers in WINDOW_CASES:
            if managers is not None and manager not in managers:
                continue
            label = name if manager is None else '%s [%s]' % (name, manager)
            CASES.append((label, _under(manager, function), known_fault))


def _under(manager, function):
    """The case under `manager`, with a terminal focused, as at a real log-in:
    suite.term is (its process, its window, the folder its shell runs in)."""
    def run(suite):
        try:
            suite.servers.use_window_manager(manager)
        except RuntimeError as why:
            raise Skip(str(why))
        folder = tempfile.mkdtemp(prefix='term-', dir=suite.root)
        term, window = suite.terminal(folder, manager)
        suite.term = (term, window, folder)
        try:
            function(suite, manager)
        finally:
            suite.term = None
            term.terminate()
            term.wait()
    return run


class Failure(Exception):
    pass


class Skip(Exception):
    pass


def check(condition, message, result=None):
    if not condition:
        if result is not None:
            message = '%s\n      run: %r\n      per 50 ms: %s' % (
                message, result, result.sound.profile())
            keep_for_inspection(result)
        raise Failure(message)


# What GTK and GLib print when the program misuses them.
TOOLKIT_COMPLAINTS = ('Gtk-CRITICAL', 'Gtk-WARNING', 'Gdk-CRITICAL', 'Gdk-WARNING',
                      'GLib-CRITICAL', 'GLib-GObject-CRITICAL', 'GLib-GObject-WARNING',
                      'Atk-CRITICAL', 'Atk-WARNING')


def expect_quiet_toolkit(result):
    lines = [l for l in result.stderr.splitlines() if any(c in l for c in TOOLKIT_COMPLAINTS)]
    check(not lines, 'the toolkit complained on stderr: %s' % lines[:3], result)


def _read(path):
    try:
        with open(path, 'rb') as f:
            return f.read()
    except FileNotFoundError:
        return None


def kept_files(config, blank_lines=False):
    """What a run must leave as it found it: the list file's bytes, and the settings
    file's lines but HomePath, which every run writes, and but blank lines, which the
    program's settings writer adds around sections and comments (a known fault)."""
    settings = _read(config.settings_path)
    if settings is not None:
        settings = b''.join(line for line in settings.splitlines(True)
                            if (blank_lines or line.strip()) and
                            not line.lower().startswith(b'homepath='))
    return _read(config.list_path), settings


def expect_files_kept(config, before, what='', blank_lines=False):
    after = kept_files(config, blank_lines)
    check(after[0] == before[0], what + 'the list file changed')
    check(after[1] == before[1], '%sthe settings file changed beyond HomePath: %r became %r'
          % (what, before[1], after[1]))


def stop_with_sigterm(driver, notes):
    """SIGTERM to the greeting program alone, as a session manager sends it; notes the
    windows program's process and the moment."""
    notes['windows'] = windows_program(driver.proc.pid)
    notes['sent'] = driver.elapsed()
    os.kill(driver.proc.pid, signal.SIGTERM)


def expect_stopped(result, notes, limit=2.0):
    """The run ended soon after SIGTERM, with status 0 and its windows program gone.
    (How soon exactly is the benchmark's business; the limit only tells "at once"
    from "at the end of the song".)"""
    check(result.status == 0, 'after SIGTERM the program did not end with status 0', result)
    check(result.ended is not None and result.ended - notes['sent'] < limit,
          'the program went on after SIGTERM', result)
    check(notes['windows'] is not None, 'the windows program was not running', result)
    check(not os.path.exists('/proc/%d' % notes['windows']),
          'the windows program outlived the greeting', result)


def ini_entries(data):
    """The (section, key, value) entries and the comments of a settings file, as any
    reader of such files sees them: names without regard to case, blanks trimmed."""
    text = data.decode('utf-8', 'replace').lstrip('\ufeff')
    section, entries = '', set()
    for line in text.splitlines():
        line = line.strip()
        if line.startswith((';', '#')):
            entries.add(('comment', line))
        elif line.startswith('[') and line.endswith(']'):
            section = line[1:-1].strip().lower()
        elif '=' in line:
            key, _, value = line.partition('=')
            entries.add((section, key.strip().lower(), value.strip()))
    return entries


def keep_for_inspection(result):
    """With E2E_ARTIFACTS set, a failed run's recording is kept there as a WAV."""
    folder = os.environ.get('E2E_ARTIFACTS')
    if folder:
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, 'failed-%d.wav' % len(os.listdir(folder)))
        result.sound.save_wav(path)
        print('    recording kept in ' + path)


def theme_sound_file(name):
    for folder in ('/usr/local/share', '/usr/share'):
        for ext in ('.oga', '.ogg', '.wav'):
            path = os.path.join(folder, 'sounds', 'freedesktop', 'stereo', name + ext)
            if os.path.isfile(path):
                return path
    return None


class StreamWatch:
    """An action: the properties of the program's stream while it plays, as
    `pactl list sink-inputs` shows them on a PulseAudio server (pipewire-pulse too)."""

    def __init__(self, env):
        self.env = env
        self.seen = ''

    def __call__(self, driver):
        def look():
            if driver.proc.poll() is not None:
                return True
            out = subprocess.run(['pactl', 'list', 'sink-inputs'], env=self.env,
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                 universal_newlines=True).stdout
            self.seen = out if 'media.name' in out else ''
            return self.seen
        # A look a tenth of a second apart: the sound being measured shares the machine.
        wait_until(look, 15, 0.1)
        if os.environ.get('E2E_VERBOSE'):
            print(self.seen, flush=True)

    def expect(self, media_name, result):
        """The mixer shows the program by its name and icon, the sound by `media_name`,
        and the role that the desktop's system-sound volume applies to."""
        found = dict(re.findall(r'^\s*([\w.]+) = "(.*)"$', self.seen, re.M))
        for key, value in (('application.name', 'Morrowby'), ('application.icon_name', 'morrowby'),
                           ('media.role', 'event'), ('media.name', media_name)):
            check(found.get(key) == value, 'the stream has %s = %r, not %r:\n%s' % (
                key, found.get(key), value, self.seen or '(no stream seen)'), result)


class Suite:
    """What every case shares: the servers, the recorder, a Session on the program,
    one tone per slot, and reference recordings of sound files played by paplay (a
    sequence of clips written into one WAV compares the same way as a theme sound)."""

    def __init__(self, root, binary):
        self.root = root
        self.servers = Servers(root).start()
        self.recorder = Recorder(os.path.join(root, 'sink.raw'), self.servers.env(),
                                 self.servers.track)
        self.session = Session(binary, self.servers, self.recorder)
        self.songs = os.path.join(root, 's')
        os.makedirs(self.songs)
        self.tones = write_slot_tones(self.songs)
        self._configs = 0
        self.placements = {}  # window title -> frame corner with no window manager
        self.term = None  # a window case's focused terminal (harness._under)
        self.pipewires = 0  # PipeWire servers started so far, each in a folder of its own
        self._references = {}
        self._clips = None

    def reference(self, path):
        """How the sound file at `path` sounds at the sink when paplay plays it, for
        comparing with what the program played (same_sound)."""
        if path not in self._references:
            start = self.recorder.position()
            subprocess.run(['paplay', path], env=self.servers.env(), check=True)
            self._references[path] = Sound(self.recorder.read(start, self.recorder.settle()))
        return self._references[path]

    def config(self):
        self._configs += 1
        return Config(os.path.join(self.root, 'c%d' % self._configs))

    def run(self, config, **options):
        return self.session.run(config, **options)

    # --- what a run should have done ---------------------------------------------

    def expect_windowed_end(self, result):
        """Exit status 0 after the launch window was shown, and never during a sound."""
        check(result.status == 0, 'the program did not end with status 0', result)
        expect_quiet_toolkit(result)
        check(result.launch_seen is not None, 'no launch window was seen; last windows:\n' +
              result.windows_seen, result)
        if not result.sound.silent:
            last = result.sound.spans[-1]
            check(result.launch_seen > last.start + last.duration - 0.1,
                  'the launch window was on screen while a sound played', result)

    def expect_tone(self, result, slots, what='', whole=True, unbroken=True):
        """The run played the tone of one of `slots` (a slot or several), when
        `unbroken` without a break, and when `whole` at full length; returns the slot
        heard."""
        slots = [slots] if isinstance(slots, int) else sorted(slots)
        gaps = result.sound.dropouts() if unbroken else []
        check(not gaps, '%sthe sound broke up: silent gaps of %s ms' % (
            what, ', '.join('%.1f' % (1000 * g) for g in gaps)), result)
        heard = slot_of_tone(result.sound.tone())
        check(heard in slots, '%sexpected the tone of slot %s (%s Hz), heard slot %s' % (
            what, ' or '.join(map(str, slots)),
            ' or '.join(str(slot_frequency(s)) for s in slots), heard), result)
        if whole:
            check(abs(result.sound.extent - TONE_SECONDS) < 0.05,
                  '%sthe tone of slot %d did not play whole' % (what, heard), result)
        return heard

    def expect_silence(self, result, what=''):
        check(result.sound.silent, what + 'expected no sound', result)

    def expect_theme_sound(self, result, name, what=''):
        path = theme_sound_file(name)
        if path is None:  # no theme installed: the program's own beep stands in
            check(not result.sound.silent and result.sound.tone() is None,
                  '%sexpected a stand-in for %s' % (what, name), result)
            return
        reference = self.reference(path)
        check(same_sound(result.sound, reference),
              '%sexpected the theme sound %s (%r)' % (what, name, reference), result)

    def expect_announcement(self, result, moment, date_line, windowed=True):
        """The run said, clip for clip and without added silence, what the rules give
        for `moment` and `date_line`, and ended as a greeting does (`windowed`) or at
        once with status 0 and no window; returns the Alignment."""
        if windowed:
            self.expect_windowed_end(result)
        else:
            check(result.status == 0, 'the program did not end with status 0', result)
            check(result.launch_seen is None and not result.setup_seen,
                  'a window showed: ' + result.windows_seen, result)
        if self._clips is None:
            self._clips = Clips()
        expected = spoken_clips(parse_moment(moment), date_line)
        try:
            heard = align(result.sound.samples, expected, self._clips)
        except AlignmentError as why:
            check(False, '%s with DateLine %r: %s' % (moment, date_line, why), result)
        for label, inserted, spanned in heard.junctions:
            check(abs(inserted) <= JUNCTION_LIMIT,
                  '%s: %.2f ms of silence added between clips %s' % (
                      moment, 1000 * inserted, label),
                  result)
        return heard

    def terminal(self, folder, manager):
        """An xterm running a shell in `folder`, over the screen's top-left corner (where
        the launch window comes), given the keyboard focus as a user would have it;
        returns its process and its window id."""
        if manager == 'sway':
            return self.servers.sway.terminal(folder)
        term = subprocess.Popen(['xterm', '-T', 'mbterm', '-geometry', '60x8+0+0', '-e', 'sh'],
                                cwd=folder, env=self.servers.env(), stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.servers.track(term.pid)
        env = self.servers.env()

        def xdotool(*args):
            return subprocess.run(('xdotool',) + args, env=env, stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL, universal_newlines=True).stdout

        found = wait_until(lambda: xdotool('search', '--onlyvisible', '--name', '^mbterm$').split(), 15)
        check(found, 'the xterm did not show')
        window = int(found[0])
        how = 'windowactivate' if manager else 'windowfocus'
        focused = wait_until(lambda: xdotool(how, '--sync', str(window)) is not None and
                             xdotool('getwindowfocus').strip() == str(window), 10, 0.2)
        check(focused, 'the xterm did not get the focus')
        return term, window

    def stop(self):
        self.recorder.stop()
        self.servers.stop()


def run_all(root, binary, selected):
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    passed, failed, skipped, known = 0, 0, [], []
    suite = Suite(root, binary)
    try:
        for name, function, known_fault in CASES:
            if selected and not any(s in name for s in selected):
                continue
            began = time.monotonic()
            try:
                function(suite)
                if known_fault:
                    failed += 1
                    verdict = 'FAIL: passes now; take the known-fault mark (%s) off' % known_fault
                else:
                    passed += 1
                    verdict = 'PASS'
            except Skip as why:
                skipped.append(name)
                verdict = 'SKIP (%s)' % why
            except Failure as why:
                if known_fault:
                    known.append(name)
                    verdict = 'KNOWN FAULT (%s): %s' % (known_fault, why)
                else:
                    failed += 1
                    verdict = 'FAIL: %s' % why
            except Exception:  # a broken case counts as failed, and the suite goes on
                failed += 1
                verdict = 'FAIL (error)\n' + traceback.format_exc()
            print('%s  %s  [%.1f s]' % (name, verdict, time.monotonic() - began), flush=True)
    finally:
        suite.stop()
    if skipped:
        print('%d skipped: %s' % (len(skipped), ', '.join(skipped)))
    if known:
        print('%d known faults of the program: %s' % (len(known), ', '.join(known)))
    print('%d passed, %d failed' % (passed, failed))
    return 1 if failed else 0

"""End-to-end cases of what the user's machine can do to the program: files it cannot
write, a full disk, list files of any size, settings files written by other hands.
Every run must end with status 0 after its launch window, and leave the user's files
as they were unless the run has a reason to write them."""
import array
import os
import random
import signal
import stat
import struct
import subprocess
import time

from harness import Skip, case, check, expect_files_kept, ini_entries, kept_files
from morrowby_run import LIST_BYTES, Config, Session, serial_position, song_list_image
from private_mounts import MountsUnavailable, PrivateMounts
from recording import RATE
from servers import wait_until

OPEN_WAIT = 10  # seconds the program waits for a sound server
GAVE_UP = 'morrowby: no sound server answered within 10 s (PulseAudio, PipeWire, ALSA); ' \
          'staying silent'


def private_mounts(suite):
    try:
        return PrivateMounts(suite.servers.track)
    except MountsUnavailable as why:
        raise Skip('no private mounts here (%s)' % why)


def expect_one_line_of_notice(result):
    check(len(result.stderr.strip().splitlines()) == 1, 'expected one line on stderr', result)


@case('read-only list file in serial mode: the song plays, the file stays, one notice')
def read_only_list(suite):
    config = suite.config()
    config.write_list(suite.tones[:3], mode=1)
    os.chmod(config.list_path, 0o444)
    before = config.list_bytes()
    result = suite.run(config, leave=True)
    suite.expect_windowed_end(result)
    suite.expect_tone(result, 1)
    check(config.list_bytes() == before, 'a read-only list file was written')
    expect_one_line_of_notice(result)


@case('list file in a missing folder: nothing plays and no folder is made')
def list_in_missing_folder(suite):
    config = suite.config()
    missing = os.path.join(config.folder, 'gone', 'songs.dat')
    config.write_settings('[Morrowby]\nCurFile=%s\n' % missing)
    result = suite.run(config, leave=True)
    suite.expect_windowed_end(result)
    suite.expect_silence(result)
    check(not os.path.exists(os.path.dirname(missing)), 'the run made the missing folder')
    check(missing + ': No such file or directory' in result.stderr,
          'the list that cannot be read is not named on stderr', result)


@case('list file on a full disk in serial mode: the song plays, the file stays whole')
def list_on_full_disk(suite):
    mounts = private_mounts(suite)
    try:
        disk = os.path.join(suite.root, 'full-disk')
        os.makedirs(disk)
        mounts.tmpfs(disk, 64)
        config = suite.config()
        inside = os.path.join(disk, 'songs.dat')
        image = song_list_image(suite.tones[:3], mode=1)
        with open(mounts.outside(inside), 'wb') as f:
            f.write(image)
        config.write_settings('[Morrowby]\nCurFile=%s\n' % inside)
        mounts.fill(disk)
        result = suite.run(config, leave=True, prefix=mounts.prefix(config.folder))
        suite.expect_windowed_end(result)
        suite.expect_tone(result, 1)
        with open(mounts.outside(inside), 'rb') as f:
            check(f.read() == image, 'the list file on the full disk changed')
        left = sorted(os.listdir(mounts.outside(disk)))
        check(left == ['filler', 'songs.dat'], 'the full disk now holds %r' % left)
        expect_one_line_of_notice(result)
    finally:
        mounts.stop()


@case('read-only configuration folder: the song still plays, the settings stay')
def read_only_settings_folder(suite):
    mounts = private_mounts(suite)
    try:
        songs = suite.config()
        songs.write_list(suite.tones[:1])
        folder = os.path.join(suite.root, 'read-only-config')
        os.makedirs(folder)
        mounts.tmpfs(folder, 64)
        text = '[Morrowby]\nCurFile=%s\nHomePath=/somewhere/else\n' % songs.list_path
        with open(mounts.outside(os.path.join(folder, 'TOLVERA.INI')), 'w') as f:
            f.write(text)
        mounts.make_read_only(folder)
        result = suite.run(songs, leave=True, prefix=mounts.prefix(songs.folder),
                           XDG_CONFIG_HOME=folder)
        suite.expect_windowed_end(result)
        suite.expect_tone(result, 0)
        with open(mounts.outside(os.path.join(folder, 'TOLVERA.INI'))) as f:
            check(f.read() == text, 'the settings file in a read-only folder changed')
        notices = [l for l in result.stderr.splitlines() if l.startswith('morrowby:')]
        check(notices, 'the failed settings write went unreported', result)
        print('    (%d notices: %s)' % (len(notices), notices[0]))
    finally:
        mounts.stop()


def after_the_run(content):
    """What the list file should hold after one run: the program reads at most 818
    bytes over a zeroed record, and only serial mode writes, the whole record with
    the position advanced, and never over a longer file (a sound file opened as the
    list by mistake). None when the position cannot be foretold (a damaged count or
    position); the caller then accepts any slot."""
    image = bytearray(LIST_BYTES)
    image[:min(len(content), LIST_BYTES)] = content[:LIST_BYTES]
    count, position, mode = struct.unpack_from('<hhh', image, 810)
    if mode != 1 or len(content) > LIST_BYTES:
        return content
    if not (0 <= count <= 10 and 0 <= position < 10):
        return None
    struct.pack_into('<h', image, 812, position + 1 if position + 1 < count else 0)
    return bytes(image)


def odd_list_files(tones):
    random_mode = song_list_image(tones[:2], mode=0)
    serial = song_list_image(tones[:2], mode=1)
    return [
        ('0 bytes', b''),
        ('1 byte', random_mode[:1]),
        ('810 bytes', random_mode[:810]),
        ('817 bytes, serial', serial[:817]),
        ('818 bytes', random_mode),
        ('819 bytes, serial', serial + b'X'),
        ('75 588 bytes, serial', serial + b'data' + bytes(range(256)) * 292 + b'\0' * 14),
        ('1 000 000 bytes', random_mode + bytes(range(256)) * 3903 + b'\xff' * 50),
        ('818 random bytes', random.Random(818).randbytes(LIST_BYTES)),
    ]


@case('list files of 0 to 1 000 000 bytes and of random bytes: no crash, no hang, '
      'no write but in serial mode, and never over a longer file')
def odd_list_sizes(suite):
    for name, content in odd_list_files(suite.tones):
        config = suite.config()
        config.write_list([])
        with open(config.list_path, 'wb') as f:
            f.write(content)
        result = suite.run(config, leave=True, limit=20)
        what = 'a list file of %s: ' % name
        check(result.status == 0, what + 'the program did not end with status 0', result)
        suite.expect_windowed_end(result)
        after = config.list_bytes()
        expected = after_the_run(content)
        if expected is content:
            check(after == content, what + 'the file was written')
            if len(content) > LIST_BYTES and content[814:816] == b'\x01\x00':
                suite.expect_tone(result, 1, what)
                expect_one_line_of_notice(result)
        elif expected is None:
            check(len(after) == LIST_BYTES and after[:812] == content[:812] and
                  after[814:] == content[814:LIST_BYTES], what + 'more than the position changed')
        else:
            check(after == expected, what + 'the serial run wrote %d bytes that are not the '
                  'advanced record' % len(after))


def _settings(text, crlf=False, bom=False):
    def make(list_path):
        content = text.format(ours='CurFile=' + list_path, other='[Other]\n; a note\nColour=blue\n')
        if crlf:
            content = content.replace('\n', '\r\n')
        return (('\ufeff' if bom else '') + content).encode()
    return make


# (name, content made from the list file's path, whether CurFile is where the
# program should find it)
ODD_SETTINGS = [
    ('CRLF line ends', _settings('[Morrowby]\n{ours}\n{other}', crlf=True), True),
    ('a byte-order mark', _settings('[Morrowby]\n{ours}\n{other}', bom=True), True),
    ('the section twice',
     _settings('[Morrowby]\n{ours}\n{other}[Morrowby]\nDateLine=yyyy\n'), True),
    ('a 100 000-character line', _settings('[Morrowby]\n{ours}\n{other}Long=%s\n' % ('x' * 100000)),
     True),
    ('no section at all', _settings('{ours}\nColour=blue\n'), False),
]


@case('settings files with CRLF, a BOM, a repeated section, a long line or no section: '
      'the run works and the rest survives')
def odd_settings(suite):
    for name, make, found in ODD_SETTINGS:
        config = suite.config()
        config.write_list(suite.tones[:1])
        content = make(config.list_path)
        with open(config.settings_path, 'wb') as f:
            f.write(content)
        result = suite.run(config, leave=True)
        what = 'settings with %s: ' % name
        suite.expect_windowed_end(result)
        if found:
            suite.expect_tone(result, 0, what)
        else:
            suite.expect_silence(result, what)
        with open(config.settings_path, 'rb') as f:
            after = ini_entries(f.read())
        lost = ini_entries(content) - after
        check(not lost, what + 'lost %s' % sorted(lost)[:3])
        check(('morrowby', 'homepath', config.folder) in after, what + 'HomePath was not recorded')


def expect_settings_kept(suite, text, blank_lines):
    """A silent run on a settings file of `text` (CurFile filled in) keeps it."""
    config = suite.config()
    config.write_list(suite.tones[:1], mode=4)
    config.write_settings(text % config.list_path)
    before = kept_files(config, blank_lines)
    suite.expect_windowed_end(suite.run(config, leave=True))
    expect_files_kept(config, before, blank_lines=blank_lines)


@case('a comment closing the settings file survives a run')
def closing_comment(suite):
    expect_settings_kept(suite, '[Morrowby]\nCurFile=%s\n[Other]\nColour=blue\n; keep me\n',
                         blank_lines=False)


@case('a run leaves the settings file byte for byte but HomePath')
def settings_byte_for_byte(suite):
    expect_settings_kept(suite, '; mine\n[Morrowby]\nCurFile=%s\n[Other]\nColour=blue\n',
                         blank_lines=True)


@case('CurFile and HomePath holding "=" and "[" read back and make no key or section')
def brackets_and_equals(suite):
    config = Config(os.path.join(suite.root, 'c=[brackets]'))
    config.list_path = os.path.join(config.folder, 'a=b[c]', 'songs]=[1.dat')
    os.makedirs(os.path.dirname(config.list_path))
    config.write_list(suite.tones[:1])
    start = os.path.join(suite.root, '[Start]=here')
    os.makedirs(start)
    for run in (1, 2):  # the second reads what the first wrote
        before = kept_files(config)
        result = suite.run(config, cwd=start, leave=True)
        suite.expect_windowed_end(result)
        suite.expect_tone(result, 0, 'run %d: ' % run)
        expect_files_kept(config, before, 'run %d: ' % run)
        with open(config.settings_path, 'rb') as f:
            entries = ini_entries(f.read())
        check(entries == {('morrowby', 'curfile', config.list_path),
                          ('morrowby', 'homepath', start)},
              'run %d left the settings %r' % (run, sorted(entries)))


def as_nobody(*folders):
    """A prefix that runs the program as user nobody, with the folders on the way to
    each of `folders` opened for it to pass through."""
    for folder in folders:
        while folder not in ('/', ''):
            os.chmod(folder, os.stat(folder).st_mode | 0o011)
            folder = os.path.dirname(folder)
    return ['setpriv', '--reuid=nobody', '--regid=nogroup', '--clear-groups', '--']


def say_time_to(suite, config, path, prefix=()):
    """--say-time --output PATH with no display and no sound server."""
    env = suite.servers.env(XDG_CONFIG_HOME=config.folder, DISPLAY=None,
                            PULSE_SERVER='unix:' + os.path.join(suite.root, 'no-server'))
    return subprocess.run(list(prefix) + [suite.session.binary, '--say-time', '--output', path],
                          env=env, cwd=config.folder, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          universal_newlines=True, timeout=60)


@case("the user's files beside the list, the settings and a WAV file survive every write, "
      'whatever they are called')
def users_files_beside_ours(suite):
    config = suite.config()
    config.write_list(suite.tones[:3], mode=1)
    theirs = ['TOLVERA.INI.Backup', 'TOLVERA.INI.241208', 'songs.dat.bak001', 'songs.dat.Old123',
              'now.wav.Take01', 'songs.dat.a1B2c3']
    for name in theirs:
        with open(os.path.join(config.folder, name), 'w') as f:
            f.write('mine')
        os.utime(os.path.join(config.folder, name), (time.time() - 3600,) * 2)
    config.write_settings('[Morrowby]\nCurFile=%s\nHomePath=/elsewhere\n' % config.list_path)
    result = suite.run(config, leave=True)
    suite.expect_windowed_end(result)
    suite.expect_tone(result, 1)
    written = say_time_to(suite, config, os.path.join(config.folder, 'now.wav'))
    check(written.returncode == 0, 'the WAV file was not written: ' + written.stderr)
    left = sorted(n for n in os.listdir(config.folder)
                  if os.path.isfile(os.path.join(config.folder, n)))
    check(left == sorted(theirs + ['TOLVERA.INI', 'songs.dat', 'now.wav']),
          'the folder holds %r' % left)


@case("a set-user-ID list that another user planted in a shared folder stays the planter's")
def planted_set_user_id_list(suite):
    config = suite.config()
    shared = os.path.join(config.folder, 'shared')
    os.makedirs(shared)
    os.chmod(shared, 0o777)
    config.list_path = os.path.join(shared, 'songs.dat')
    config.write_list(suite.tones[:3], mode=1)
    os.chown(config.list_path, 65534, 65534)
    os.chmod(config.list_path, 0o4777)
    result = suite.run(config, leave=True)
    suite.expect_windowed_end(result)
    suite.expect_tone(result, 1)
    st = os.stat(config.list_path)
    check(st.st_uid == 65534, 'the planted list now belongs to user %d' % st.st_uid)
    check(serial_position(config.list_bytes()) == 1, 'the turn was not saved')
    for name in os.listdir(shared):
        mine = os.lstat(os.path.join(shared, name))
        check(mine.st_uid != os.getuid() or not mine.st_mode & 0o7000,
              '%s is a set-user-ID file of the user running the program' % name)


@case('a link another user planted in a sticky folder is not followed by --output or the '
      'serial save (run as nobody)')
def planted_link_in_sticky_folder(suite):
    config = suite.config()
    sticky = os.path.join(config.folder, 'tmp')
    os.makedirs(sticky)
    os.chmod(sticky, 0o1777)
    victims = os.path.join(config.folder, 'victim')
    os.makedirs(victims)
    precious = os.path.join(victims, 'precious.wav')
    with open(precious, 'wb') as f:
        f.write(b'precious')
    planted = os.path.join(sticky, 'now.wav')
    os.symlink(precious, planted)
    for path in (victims, precious, config.folder):
        os.chown(path, 65534, 65534)
    os.lchown(planted, 4242, 4242)
    prefix = as_nobody(config.folder)
    result = say_time_to(suite, config, planted, prefix)
    check(result.returncode == 1, '--output through the planted link gave status %d: %s'
          % (result.returncode, result.stderr))
    check('link' in result.stderr and len(result.stderr.strip().splitlines()) == 1,
          'expected one line naming the link: ' + result.stderr)
    with open(precious, 'rb') as f:
        check(f.read() == b'precious', 'the file behind the link was replaced')
    # The same link as the current list: neither read nor written.
    os.unlink(planted)
    with open(precious, 'wb') as f:
        f.write(song_list_image(suite.tones[:3], mode=1))
    before = open(precious, 'rb').read()
    os.symlink(precious, planted)
    os.lchown(planted, 4242, 4242)
    config.write_settings('[Morrowby]\nCurFile=%s\n' % planted)
    os.chown(config.settings_path, 65534, 65534)
    run = suite.run(config, leave=True, prefix=prefix)
    suite.expect_windowed_end(run)
    suite.expect_silence(run)
    check(open(precious, 'rb').read() == before, 'the list behind the link changed')


@case('a FIFO or a device in place of the settings or the desktop sound settings: the '
      'greeting plays, nothing waits, and the FIFO stays')
def fifo_settings(suite):
    config = suite.config()
    config.write_list(['dialog-warning'])
    os.makedirs(os.path.join(config.folder, 'gtk-3.0'))
    os.mkfifo(os.path.join(config.folder, 'gtk-3.0', 'settings.ini'))
    os.symlink('/dev/zero', os.path.join(config.folder, 'kdeglobals'))
    # The greeting plays; the toolkit, which would wait on the pipe itself, is not started.
    result = suite.run(config, limit=30)
    check(result.status == 0, 'the run did not end with status 0', result)
    check(not result.sound.silent, 'no song was heard', result)
    check('settings.ini' in result.stderr and 'kdeglobals' in result.stderr,
          'the skipped files were not named', result)
    fifo = suite.config()
    os.mkfifo(fifo.settings_path)
    result = suite.run(fifo, leave=True)
    suite.expect_windowed_end(result)
    check(stat.S_ISFIFO(os.lstat(fifo.settings_path).st_mode), 'the FIFO was replaced')


@case('20 serial greetings at once each take their own turn')
def concurrent_serial_greetings(suite):
    config = suite.config()
    config.write_list(suite.tones[:7], mode=1)
    env = suite.servers.env(XDG_CONFIG_HOME=config.folder, DISPLAY=None, WAYLAND_DISPLAY=None,
                            SDL_AUDIODRIVER='dummy')
    runs = [subprocess.Popen([suite.session.binary], env=env, cwd=config.folder,
                             stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                             stderr=subprocess.PIPE, universal_newlines=True) for _ in range(20)]
    for run in runs:
        suite.servers.track(run.pid)
    statuses = [run.wait(timeout=120) for run in runs]
    notices = [run.stderr.read() for run in runs]
    check(statuses == [0] * 20, 'statuses %r' % statuses)
    check(not any('lock' in n for n in notices), 'a greeting gave up its turn: %r' % notices)
    check(serial_position(config.list_bytes()) == 20 % 7,
          'the serial position is %d after 20 turns' % serial_position(config.list_bytes()))


@case('WAV files whose names are 250 and 255 bytes long are written and replaced')
def long_file_names(suite):
    config = suite.config()
    config.write_settings('[Morrowby]\nDateLine=yyyyyyyyyyy\n')
    for length in (250, 255):
        path = os.path.join(config.folder, 'w' * (length - 4) + '.wav')
        for attempt in ('written', 'replaced'):
            result = say_time_to(suite, config, path)
            check(result.returncode == 0, 'a %d-byte name was not %s: %s'
                  % (length, attempt, result.stderr))
            check(os.path.getsize(path) > 44, 'a %d-byte name: no sound in the file' % length)
    left = [n for n in os.listdir(config.folder) if os.path.isfile(os.path.join(config.folder, n))]
    check(len(left) == 3, 'the folder holds %r' % left)


class NothingRecorded:
    """Stands for the recorder while the sound server is stopped, when nothing can be
    recorded."""

    def position(self):
        return 0

    def settle(self):
        return 0

    def read(self, start, end):
        return array.array('h')


def steady_recording(recorder):
    before = recorder.position()
    time.sleep(0.5)
    return recorder.position() - before < 0.75 * RATE


def note_give_up(path, notes):
    """An action: notes when the give-up line reaches the stderr file at `path`."""
    def watch(driver):
        def said():
            with open(path) as f:
                return 'no sound server' in f.read() or driver.proc.poll() is not None
        wait_until(said, OPEN_WAIT + 20, 0.05)
        notes['gave up'] = driver.elapsed()
    return watch


def sigterm_after(seconds, notes):
    def stop(driver):
        wait_until(lambda: driver.elapsed() > seconds or driver.proc.poll() is not None, 10)
        notes['sent'] = driver.elapsed()
        os.kill(driver.proc.pid, signal.SIGTERM)
    return stop


@case('a stopped sound server (SIGSTOP): the greeting and --say-time give up within the wait '
      'and a second, in one line, the button shows, status 0; SIGTERM in the wait ends them at once')
def stopped_sound_server(suite):
    config = suite.config()
    config.write_list(suite.tones[:1])
    config.write_settings('[Morrowby]\nCurFile=%s\nDateLine=yyyyyyyyyyy\n' % config.list_path)
    session = Session(suite.session.binary, suite.servers, NothingRecorded())
    notes = {}
    with suite.servers.sound_server_stopped():
        waited = session.run(config, leave=True, actions=[
            note_give_up(os.path.join(suite.root, 'stderr.txt'), notes)])
        stopped = session.run(config, actions=[sigterm_after(2, notes)])
        said = session.run(config, args=['--say-time'])
        said_notes = dict(sent=None)
        told = session.run(config, args=['--say-time'], actions=[sigterm_after(2, said_notes)])
    # Woken, the sink renders the time it was stopped at once: the next case's recording
    # must not start inside that.
    check(wait_until(lambda: steady_recording(suite.recorder), 60, 0),
          'the recording did not come back to its pace')
    suite.expect_windowed_end(waited)
    check(waited.stderr.strip() == GAVE_UP, 'not the one line of giving up', waited)
    check(notes.get('gave up', 99) < OPEN_WAIT + 1, 'the greeting gave up after %.1f s'
          % notes.get('gave up', 99), waited)
    for what, result, sent in (('the greeting', stopped, notes['sent']),
                               ('--say-time', told, said_notes['sent'])):
        check(result.status == 0 and result.ended is not None and result.ended - sent < 0.5,
              '%s went on %s s after SIGTERM' % (what, result.ended and round(result.ended - sent, 2)),
              result)
        check(result.launch_seen is None and not result.stderr.strip(),
              '%s said or showed something after SIGTERM' % what, result)
    check(said.status == 0 and said.ended is not None and said.ended < OPEN_WAIT + 1 and
          said.stderr.strip() == GAVE_UP, '--say-time did not give up in one line in time', said)
    print('    (gave up after %.1f s; --say-time after %.1f s; ended %.0f and %.0f ms after SIGTERM)'
          % (notes['gave up'], said.ended, 1000 * (stopped.ended - notes['sent']),
             1000 * (told.ended - said_notes['sent'])))

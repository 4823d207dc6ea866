#!/usr/bin/env python3
"""End-to-end cases: the real morrowby binary on a private X server and a private
PulseAudio server, its sound recorded at the sink, its windows driven by xdotool.

The cases of song modes and bad songs are here; the announcement, the Setup window
and the faults have files of their own.

usage: e2e.py --root SCRATCH_FOLDER BINARY [NAME_PART ...]"""
import argparse
import calendar
import os
import shutil
import socket
import subprocess
import sys
import time

import e2e_announce  # noqa: F401 (each of these registers its cases)
import e2e_desktop  # noqa: F401
import e2e_faults  # noqa: F401
import e2e_setup  # noqa: F401
from harness import (Failure, Skip, StreamWatch, case, check, expect_stopped, register_window_cases,
                     run_all, stop_with_sigterm)
from morrowby_run import LIST_BYTES, Session, serial_position, windows_program
from recording import Recorder
from servers import PipeWire, missing_tools, wait_until
from sound_files import BAD_SONGS, write_tone
from wayland_driver import seatless_weston


def random_slot(n, seconds):
    """The program's choice in random mode for a given calendar second."""
    if n < 1:
        return 0
    state = (seconds * 22695477 + 1) & 0xFFFFFFFF
    return ((state >> 16) & 32767) % n


def clock(seconds):
    return time.strftime('%Y-%m-%d %H:%M:%S', time.gmtime(seconds))


@case('a song in the list reaches the sink whole, named at the server')
def song_reaches_sink(suite):
    config = suite.config()
    config.write_list(suite.tones[:1])
    before = config.list_bytes()
    stream = StreamWatch(suite.servers.env())
    result = suite.run(config, leave=True, actions=[stream])
    suite.expect_windowed_end(result)
    suite.expect_tone(result, 0)
    stream.expect('tone0.wav', result)
    check(config.list_bytes() == before, 'random mode rewrote the list file')


@case('random mode plays the slot drawn for the start-up second')
def random_mode(suite):
    config = suite.config()
    config.write_list(suite.tones[:5])
    before = config.list_bytes()
    # Neighbouring seconds draw different slots, so the run tells which second the
    # program drew in: not before its start, and not after its sound began.
    first = calendar.timegm((2025, 3, 14, 9, 26, 0, 0, 0, 0))
    second = next(s for s in range(first + 60, first + 120)
                  if random_slot(5, s) != random_slot(5, first))
    for start in (first, second):
        result = suite.run(config, fake_time=clock(start), leave=True)
        suite.expect_windowed_end(result)
        check(not result.sound.silent, 'nothing played', result)
        began = int(result.sound.spans[0].start)
        drawn = {random_slot(5, start + k) for k in range(began + 1)}
        suite.expect_tone(result, drawn, 'started at %s: ' % clock(start))
    check(config.list_bytes() == before, 'random mode rewrote the list file')


@case('serial mode plays slots 1, 2, 0 and stores each position')
def serial_mode(suite):
    config = suite.config()
    config.write_list(suite.tones[:3], mode=1, position=0, reserved=0xBEEF)
    before = config.list_bytes()
    for run, slot in enumerate((1, 2, 0), 1):
        result = suite.run(config, leave=True)
        suite.expect_windowed_end(result)
        suite.expect_tone(result, slot, 'run %d: ' % run)
        after = config.list_bytes()
        check(len(after) == LIST_BYTES, 'the list file is %d bytes long' % len(after))
        check(serial_position(after) == slot,
              'run %d stored position %d, not %d' % (run, serial_position(after), slot))
        check(after[:812] == before[:812] and after[814:] == before[814:],
              'run %d changed more than the position in the list file' % run)


@case('day mode plays the weekday slot, an empty day plays nothing')
def day_mode(suite):
    config = suite.config()
    # Wednesday's slot is empty; slots 7 to 9 belong to no day.
    songs = list(suite.tones)
    songs[3] = ''
    config.write_list(songs, mode=2)
    before = config.list_bytes()
    for weekday in range(7):  # 7 January 2024 was a Sunday
        day = '2024-01-%02d 07:30:00' % (7 + weekday)
        result = suite.run(config, fake_time=day, leave=True)
        suite.expect_windowed_end(result)
        if weekday == 3:
            suite.expect_silence(result, 'on %s: ' % day)
        else:
            suite.expect_tone(result, weekday, 'on %s: ' % day)
    check(config.list_bytes() == before, 'day mode rewrote the list file')


@case('silent mode and a damaged mode play nothing and end normally')
def no_sound_modes(suite):
    for mode in (4, 7, -1):
        config = suite.config()
        config.write_list(suite.tones[:3], mode=mode)
        before = config.list_bytes()
        result = suite.run(config, leave=True)
        suite.expect_windowed_end(result)
        suite.expect_silence(result, 'mode %d: ' % mode)
        check(config.list_bytes() == before, 'mode %d rewrote the list file' % mode)


@case('settings: the start folder is recorded, everything else is kept')
def settings_file(suite):
    # First run ever: no settings file at all.
    config = suite.config()
    start = os.path.join(suite.root, 'Start Folder')
    os.makedirs(start)
    result = suite.run(config, cwd=start, leave=True)
    suite.expect_windowed_end(result)
    suite.expect_silence(result)
    lines = config.settings_text().splitlines()
    check(lines[0].strip() == '[Morrowby]' and 'HomePath=' + start in lines,
          'a first run wrote %r' % lines)
    check(not any(l.lower().startswith(('curfile', 'dateline')) for l in lines),
          'a first run wrote keys it has no value for: %r' % lines)

    # A stored folder in other letter case is replaced; the rest survives.
    config = suite.config()
    config.write_list(suite.tones[:1], mode=4)
    kept = ['; kept by the user', '[Other]', 'Colour=blue', '[Morrowby]',
            'CurFile=' + config.list_path, 'DateLine=yynnyyyyyyy']
    config.write_settings('\n'.join(kept[:4] + ['homepath=' + start.swapcase()] + kept[4:]) + '\n')
    result = suite.run(config, cwd=start, leave=True)
    suite.expect_windowed_end(result)
    lines = config.settings_text().splitlines()
    homes = [l for l in lines if l.lower().startswith('homepath')]
    check(homes == ['HomePath=' + start] or homes == ['homepath=' + start],
          'HomePath lines after the run: %r' % homes)
    for line in kept:
        check(line in lines, 'the line %r was lost: %r' % (line, lines))


@case('without a display, on one that fails, or on one with no seat, the song still plays whole, '
      'with one line of notice')
def no_display(suite):
    config = suite.config()
    config.write_list(suite.tones[:1])
    result = suite.run(config, DISPLAY=None)
    check(result.status == 0, 'the program did not end with status 0', result)
    suite.expect_tone(result, 0)
    check(result.stderr.strip() == 'morrowby: no display; the Setup button is not shown',
          'expected the one line about the display', result)
    # A display that nobody serves is not "no display": the line says which one failed.
    result = suite.run(config, DISPLAY=':4242')
    check(result.status == 0, 'the program did not end with status 0', result)
    check(result.stderr.strip() == 'morrowby: the toolkit could not start on display ":4242"; '
          'the Setup button is not shown', 'expected the one line naming the display', result)
    # Nor is a Wayland display with no seat, where nobody can press the button.
    if missing_tools('weston'):
        raise Skip('weston is not installed, for a display with no seat')
    with seatless_weston(suite.servers) as wayland:
        result = suite.run(config, DISPLAY=None, WAYLAND_DISPLAY=wayland)
    check(result.status == 0, 'with no seat, the program did not end with status 0', result)
    suite.expect_tone(result, 0, 'with no seat: ')
    check(result.stderr.strip() == 'morrowby: the Wayland display "%s" has no seat (no keyboard, '
          'no pointer); the Setup button is not shown' % wayland,
          'expected the one line about the seat', result)


@case('without a sound server the launch window still follows')
def no_sound_server(suite):
    dead = os.path.join(suite.root, 'dead-socket')
    listener = socket.socket(socket.AF_UNIX)
    listener.bind(dead)
    listener.close()  # the socket file stays; nobody answers on it
    config = suite.config()
    config.write_list(suite.tones[:1])
    # PulseAudio does not answer, and there is no PipeWire server nor a sound card.
    result = suite.run(config, leave=True, PULSE_SERVER='unix:' + dead)
    suite.expect_windowed_end(result)
    suite.expect_silence(result)
    check(result.stderr.strip() == 'morrowby: no sound server answered within 10 s '
          '(PulseAudio, PipeWire, ALSA); staying silent',
          'not the one line naming every sound server tried', result)
    print('    (launch window after %.1f s without a server)' % result.launch_seen)


@case('SIGTERM during a long song ends the greeting and its windows at once, status 0')
def sigterm_during_song(suite):
    config = suite.config()
    song = os.path.join(suite.songs, 'long.wav')
    if not os.path.exists(song):
        write_tone(song, 440, seconds=30)
    config.write_list([song])
    notes = {}

    def stop_while_playing(driver):
        # The song has been playing a while, and the windows program is up.
        wait_until(lambda: driver.elapsed() > 2.5 and windows_program(driver.proc.pid), 10)
        stop_with_sigterm(driver, notes)
    result = suite.run(config, actions=[stop_while_playing])
    expect_stopped(result, notes)
    check(not result.sound.silent and result.sound.extent < 10, 'the song was not cut short',
          result)
    check(result.launch_seen is None, 'the launch window showed after SIGTERM', result)
    print('    (ended %.0f ms after SIGTERM)' % (1000 * (result.ended - notes['sent'])))


@case('without its windows program the greeting still plays, says so in one line, status 0')
def windows_program_missing(suite):
    alone = os.path.join(suite.root, 'alone')
    os.makedirs(alone, exist_ok=True)
    binary = os.path.join(alone, 'morrowby')
    shutil.copy(suite.session.binary, binary)
    config = suite.config()
    config.write_list(suite.tones[:1])
    result = suite.run(config, binary=binary)
    check(result.status == 0, 'the program did not end with status 0', result)
    suite.expect_tone(result, 0)
    check(result.stderr.strip() == 'morrowby: cannot start its windows (morrowby-windows is '
          'missing); no Setup button', 'not the one line about the windows program', result)


@case('a windows program handed another hand-over version says so in one line, status 0')
def hand_over_version_mismatch(suite):
    windows = os.path.join(os.path.dirname(suite.session.binary), 'morrowby-windows')
    read_end, write_end = os.pipe()
    # The magic, then version 999 and a length: what a greeting of another release sends.
    os.write(write_end, b'MORROWBY' + (999).to_bytes(4, 'little') + (0).to_bytes(4, 'little'))
    os.close(write_end)
    # The shell puts the channel where the greeting puts it, as descriptor 3.
    proc = subprocess.run(['bash', '-c', 'exec "$0" 3<&%d' % read_end, windows],
                          env=suite.servers.env(XDG_CONFIG_HOME=suite.config().folder),
                          stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, universal_newlines=True, timeout=30,
                          pass_fds=(read_end,))
    os.close(read_end)
    check(proc.returncode == 0, 'the windows program ended with status %d' % proc.returncode)
    check(proc.stderr.strip() == 'morrowby: the greeting speaks hand-over version 999, the '
          'windows program version 2; no Setup button',
          'not the one line naming both versions: %r' % proc.stderr)


class StartedLater:
    """Stands for a recorder that starts while the run goes on; its recording begins
    at position 0."""

    def __init__(self):
        self.recorder = None

    def position(self):
        return self.recorder.position() if self.recorder else 0

    def settle(self):
        return self.recorder.settle()

    def read(self, start, end):
        return self.recorder.read(start, end)


def pipewire_case(pulse, late):
    """The song played to a PipeWire null sink and recorded with pw-record; with or
    without pipewire-pulse, the whole server started with the program or 3 s after
    it. E2E_SDL_AUDIODRIVER, when set, is handed to the program as SDL_AUDIODRIVER."""
    @case('PipeWire and WirePlumber %s pipewire-pulse%s: the song reaches the sink%s' % (
        'with' if pulse else 'without', ', started 3 s after the program' if late else '',
        ', named at the server' if pulse and not late else ''))
    def pipewire_song(suite):
        missing = missing_tools('pipewire', 'wireplumber', 'pw-cli', 'wpctl', 'pw-record', 'dbus-daemon')
        if missing:
            raise Skip('missing ' + ' '.join(missing))
        suite.pipewires += 1
        server = PipeWire(suite.servers, 'pw%d' % suite.pipewires)
        recorder = StartedLater()

        def start_servers(driver=None):
            if driver:  # late: once the program has waited 3 s for a sound server
                wait_until(lambda: driver.elapsed() >= 3 or driver.proc.poll() is not None, 5)
            server.start()
            recorder.recorder = Recorder(os.path.join(server.run_dir, 'sink.raw'), server.env(),
                                         suite.servers.track, Recorder.PW_RECORD)
            if pulse:
                server.start_pulse()
        config = suite.config()
        config.write_list(suite.tones[:1])
        session = Session(suite.session.binary, suite.servers, recorder)
        env = {k: v for k, v in server.env().items() if k in (
            'XDG_RUNTIME_DIR', 'PIPEWIRE_RUNTIME_DIR', 'PULSE_RUNTIME_PATH')}
        stream = StreamWatch(server.env()) if pulse and not late else None
        try:
            if not late:
                start_servers()
            actions = [start_servers] if late else [stream] if stream else []
            result = session.run(config, leave=True, actions=actions,
                                 PULSE_SERVER=None,
                                 SDL_AUDIODRIVER=os.environ.get('E2E_SDL_AUDIODRIVER'), **env)
        finally:
            if recorder.recorder:
                recorder.recorder.stop()
            server.stop()
        suite.expect_windowed_end(result)
        # A gap with no underflow at the server beyond the stream's last is a cycle the
        # server itself lost on a starved machine: the program's samples were there.
        gaps = result.sound.dropouts()
        server_lost = pulse and gaps and server.underflows('Morrowby') <= 1
        if server_lost:
            print('    (a silent gap of %s ms with no underflow at the server, which lost it)' %
                  ', '.join('%.1f' % (1000 * g) for g in gaps))
        # Started late, the recorder may join a moment after the song began.
        suite.expect_tone(result, 0, whole=not late, unbroken=not server_lost)
        if stream:
            stream.expect('tone0.wav', result)


for _pulse in (True, False):
    for _late in (False, True):
        pipewire_case(_pulse, _late)


def bad_slot_case(name, kind, make):
    @case('song slot naming %s: %s, no hang' % (name, kind))
    def bad_slot(suite):
        folder = os.path.join(suite.songs, 'bad')
        os.makedirs(folder, exist_ok=True)
        config = suite.config()
        config.write_list([make(folder)], count=1)
        result = suite.run(config, leave=True)
        suite.expect_windowed_end(result)
        if kind == 'default':
            suite.expect_theme_sound(result, 'dialog-warning')
        elif kind == 'tone':
            suite.expect_tone(result, 1)
        elif kind == 'half tone':
            suite.expect_tone(result, 1, whole=False)
            check(abs(result.sound.extent - 0.2) < 0.05, 'expected half the tone', result)
        else:
            try:
                suite.expect_tone(result, 1)
            except Failure:
                suite.expect_theme_sound(result, 'dialog-warning', 'neither the tone nor: ')


for _name, _kind, _make in BAD_SONGS:
    bad_slot_case(_name, _kind, _make)


@case('song slot naming a system sound plays that theme sound')
def system_sound(suite):
    config = suite.config()
    config.write_list(['service-login'])
    result = suite.run(config, leave=True)
    suite.expect_windowed_end(result)
    suite.expect_theme_sound(result, 'service-login')


def main():
    missing = missing_tools('Xvfb', 'pulseaudio', 'pactl', 'parec', 'paplay', 'faketime', 'xdotool',
                            'xprop', 'xterm')
    if missing:
        print('missing %s (tools/install-deps.sh installs them)' % ' '.join(missing))
        return 1
    parser = argparse.ArgumentParser()
    parser.add_argument('--root', required=True, help='an empty scratch folder')
    parser.add_argument('binary')
    parser.add_argument('only', nargs='*', help='run only the cases whose names hold one of these')
    args = parser.parse_args()
    register_window_cases()
    return run_all(args.root, os.path.abspath(args.binary), args.only)


if __name__ == '__main__':
    sys.exit(main())

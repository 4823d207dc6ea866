"""End-to-end cases of the spoken date and time (PlayMode 3): the real program under a
faked calendar clock, its recording matched clip by clip against what the rules say
(spoken_date), with the silence between clips measured; and the same on demand, heard
or written to a file."""
import os
import subprocess
import wave

from busy_load import BusyLoad
from clip_alignment import CLIP_RATE, Clips
from harness import StreamWatch, check, case, expect_files_kept, kept_files
from sound_files import write_tone
from spoken_date import OPENER, OPENERS, PAUSE, PAUSE_MS, parse_moment, spoken_clips


def announce(suite, moment, date_line, actions=()):
    """One announcing run at `moment` that leaves as soon as the launch window shows;
    checks that the files are as they were and returns the result."""
    config = suite.config()
    config.write_list(suite.tones[:1], mode=3)
    config.write_settings('[Morrowby]\nCurFile=%s\nDateLine=%s\n' % (config.list_path, date_line))
    before = kept_files(config)
    result = suite.run(config, fake_time=moment, leave=True, actions=actions)
    expect_files_kept(config, before, '%s: ' % moment)
    return result


def report(heard):
    worst = heard.worst_junction()
    print('    (%d clips; inserted silence per junction: worst %+.3f ms over %d stretches; '
          'length %.3f s, %.4f of the clips%s)' % (
              len(heard.placed), 1000 * worst, len(heard.junctions), heard.extent, heard.ratio,
              '' if heard.pause is None else ' and the %.0f ms pause' % (1000 * heard.pause)),
          flush=True)


@case('announcement of Monday 6 January 18:15, every word, in both clock styles')
def whole_sentence(suite):
    for date_line in ('yyyyyyyyyyy', 'yyyyyyyyyyn'):
        moment = '2025-01-06 18:15:00'
        stream = StreamWatch(suite.servers.env())
        result = announce(suite, moment, date_line, [stream])
        report(suite.expect_announcement(result, moment, date_line))
        stream.expect('Date and time', result)


@case('on a saturated machine (two busy loops per processor, a synced disk writer) the '
      'announcement and a song play with no silence inserted')
def busy_machine(suite):
    # What is counted is dropouts, not times: a stream that runs dry inserts silence.
    song = os.path.join(suite.songs, 'four-seconds.wav')
    write_tone(song, 440, seconds=4)
    sung = suite.config()
    sung.write_list([song])
    moment, date_line = '2025-01-06 18:15:00', 'yyyyyyyyyyy'
    with BusyLoad(suite.root, suite.servers.track, seconds=600):
        for run in range(3):
            report(suite.expect_announcement(announce(suite, moment, date_line), moment, date_line))
            result = suite.run(sung, leave=True)
            suite.expect_windowed_end(result)
            gaps = result.sound.dropouts()
            check(not result.sound.silent and not gaps, 'run %d: the song broke up: silent gaps of '
                  '%s ms' % (run, ', '.join('%.1f' % (1000 * g) for g in gaps)), result)


@case('announcement of the time alone: twelve thirty AM, oh nine ten')
def time_alone(suite):
    # The two mended rules: the hour after midnight is "twelve" on a 12-hour clock,
    # and a 24-hour clock says "oh" before minutes 1 to 9 only.
    for moment, date_line in (('2025-03-04 00:30:00', 'nnnnnnnynyy'),
                              ('2025-03-04 09:10:00', 'nnnnnnnynnn')):
        report(suite.expect_announcement(announce(suite, moment, date_line), moment, date_line))


@case('announcement of the 23rd waits 1 to 333 ms after the day')
def pause_after_day(suite):
    # "of January" follows, so the pause can be measured between the clips around it.
    moment, date_line = '2025-01-23 08:00:00', 'nnnnyyynnnn'
    heard = suite.expect_announcement(announce(suite, moment, date_line), moment, date_line)
    report(heard)
    check(heard.pause is not None and 0.0 <= heard.pause <= 0.335,
          'the pause after the 23rd lasted %s ms' % (
              None if heard.pause is None else round(1000 * heard.pause)))


@case('holidays say their own clip; an empty DateLine on another day says nothing')
def holidays(suite):
    for moment, date_line in (('2025-12-25 07:45:00', 'yyyyyyyyyyy'),
                              ('2025-12-25 07:45:00', 'nyyyyyyyyyy'),
                              ('2026-01-01 00:05:00', ''),
                              ('2026-01-02 00:05:00', '')):
        result = announce(suite, moment, date_line)
        suite.expect_announcement(result, moment, date_line)


def untouched(config):
    """The list file and the settings file byte for byte: a run on demand writes
    neither (not even HomePath)."""
    with open(config.settings_path, 'rb') as f:
        return config.list_bytes(), f.read()


def on_demand_config(suite, date_line):
    """Serial mode with songs: a greeting would play a tone and move the position."""
    config = suite.config()
    config.write_list(suite.tones[:3], mode=1, position=1)
    config.write_settings('[Morrowby]\nCurFile=%s\nDateLine=%s\n' % (config.list_path, date_line))
    return config


@case('--say-time speaks now at the sink, whatever the play mode: no window, files untouched')
def say_time(suite):
    moment, date_line = '2025-01-06 18:15:00', 'yyyyyyyyyyy'
    config = on_demand_config(suite, date_line)
    before = untouched(config)
    result = suite.run(config, fake_time=moment, args=['--say-time'])
    report(suite.expect_announcement(result, moment, date_line, windowed=False))
    check(untouched(config) == before, 'the list or the settings file changed')


def written_samples(suite, config, moment, path):
    """Runs --say-time --output PATH at `moment` with no display and no sound server;
    returns the finished process."""
    env = suite.servers.env(XDG_CONFIG_HOME=config.folder, DISPLAY=None,
                            PULSE_SERVER='unix:' + os.path.join(suite.root, 'no-server'),
                            FAKETIME_DONT_FAKE_MONOTONIC='1')
    return subprocess.run(['faketime', '-m', '-f', '@' + moment, suite.session.binary,
                           '--say-time', '--output', path], env=env, cwd=config.folder,
                          stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, universal_newlines=True, timeout=60)


def expect_clips_in(samples, expected, clips, what):
    """`samples` are the clips of `expected` back to back, the opener either
    recording, the pause 1 to 333 ms of the mid level."""
    at = 0
    for n, clip in enumerate(expected):
        if clip == OPENER:
            clip = next((c for c in OPENERS if samples.startswith(clips.raw(c), at)), OPENERS[0])
        if clip == PAUSE:
            rest = sum(len(clips.raw(c)) for c in expected[n + 1:])
            length = len(samples) - at - rest
            lengths = {CLIP_RATE * ms // 1000 for ms in range(PAUSE_MS[0], PAUSE_MS[1] + 1)}
            check(length in lengths, '%sa pause of %d samples' % (what, length))
            check(samples[at:at + length] == b'\x80' * length, what + 'the pause is not silent')
            at += length
            continue
        raw = clips.raw(clip)
        check(samples[at:at + len(raw)] == raw,
              '%sclip %d (number %d) is not at sample %d' % (what, clip, n, at))
        at += len(raw)
    check(at == len(samples), '%s%d samples more than the clips' % (what, len(samples) - at))


@case('--say-time --output: the clips and the pause sample for sample, 12 and 24 hours, '
      '1 January; an unwritable file ends with status 1')
def say_time_to_file(suite):
    clips = Clips()
    for moment, date_line in (('2025-01-23 18:15:00', 'yyyyyyyyyyy'),
                              ('2025-03-04 09:10:00', 'yyyyyyyyyyn'),
                              ('2026-01-01 00:05:00', 'yyyyyyyyyyy')):
        what = '%s, %s: ' % (moment, date_line)
        config = on_demand_config(suite, date_line)
        before = untouched(config)
        path = os.path.join(config.folder, 'said.wav')
        done = written_samples(suite, config, moment, path)
        check(done.returncode == 0 and done.stderr == '',
              '%sstatus %d, stderr %r' % (what, done.returncode, done.stderr))
        with wave.open(path) as w:
            check((w.getnchannels(), w.getsampwidth(), w.getframerate()) == (1, 1, CLIP_RATE),
                  what + 'not 8-bit mono at %d Hz' % CLIP_RATE)
            samples = w.readframes(w.getnframes())
        expect_clips_in(samples, spoken_clips(parse_moment(moment), date_line), clips, what)
        check(untouched(config) == before, what + 'the list or the settings file changed')

    missing = os.path.join(config.folder, 'no such folder', 'said.wav')
    done = written_samples(suite, config, '2025-01-23 18:15:00', missing)
    lines = done.stderr.splitlines()
    check(done.returncode == 1 and len(lines) == 1 and missing in lines[0],
          'to %s: status %d, stderr %r' % (missing, done.returncode, done.stderr))

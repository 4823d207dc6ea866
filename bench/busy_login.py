"""The busy log-in rows: the announcement and a song played while two busy loops per
processor and a disk writer run (tests/e2e/busy_load.py), each run beside paplay
playing the same sound as a WAV under the same load, in turns.

A run has a dropout when silence was inserted into its sound: for the announcement,
a clip heard more than 1 ms after the end of the one before it (clip_alignment.py), or
a clip that cannot be placed at all (heard broken up); for the song, a silent stretch
of 2 ms or more inside the tone (recording.Sound.dropouts). The worst inserted
silence is the longest such stretch over the runs."""
import os
import subprocess

from busy_load import BusyLoad
from clip_alignment import AlignmentError, align
from morrowby_run import Config
from recording import Sound
from sound_files import tone_frames, wav_image
from spoken_date import parse_moment, spoken_clips

SONG_SECONDS = 4.0
DROPOUT = 0.001  # inserted silence at a junction that counts as a dropout
# The load's own limit: far beyond the longest series, so that only a driver that dies
# leaves it running, and then not for long.
LOAD_SECONDS_PER_RUN = 60


class Tally:
    """Runs of one player, with a dropout, and the worst silence inserted."""

    def __init__(self):
        self.runs = self.dropouts = self.unplaced = 0
        self.worst = 0.0

    def add(self, inserted, placed=True):
        """`inserted`: the longest inserted silence of the run in seconds."""
        self.runs += 1
        self.unplaced += not placed
        if not placed or inserted > DROPOUT:
            self.dropouts += 1
        self.worst = max(self.worst, inserted)

    def cells(self):
        broken = ' (%d broken up)' % self.unplaced if self.unplaced else ''
        return ('%d of %d%s' % (self.dropouts, self.runs, broken), '%.1f ms' % (1000 * self.worst))


def announcement_silence(samples, moment, date_line, clips):
    """(longest silence inserted at a junction in seconds, whether every clip was
    placed)."""
    try:
        heard = align(samples, spoken_clips(parse_moment(moment), date_line), clips)
    except AlignmentError:
        return 0.0, False
    return max([0.0] + [inserted / spanned for _, inserted, spanned in heard.junctions]), True


def song_silence(samples):
    sound = Sound(samples)
    if sound.silent:
        return 0.0, False
    return max([0.0] + sound.dropouts()), True


def played_by_paplay(bench, path):
    """The samples heard at the sink while paplay plays `path`."""
    start = bench.recorder.position()
    subprocess.run(['paplay', path], env=bench.env(), stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
    return bench.recorder.read(start, bench.recorder.settle())


def rendered_announcement(bench, config, moment):
    """The announcement at `moment` as the program writes it with --output."""
    path = os.path.join(bench.root, 'busy-announcement.wav')
    env = bench.env(XDG_CONFIG_HOME=config.folder, FAKETIME_DONT_FAKE_MONOTONIC='1')
    subprocess.run(['faketime', '-m', '-f', '@' + moment, bench.binary, '--say-time',
                    '--output', path], env=env, cwd=config.folder, check=True, timeout=60,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
    return path


def busy_login_rows(bench, moment, date_line, announcements, songs):
    """The table's rows: (sound, player, runs with a dropout, worst inserted silence)."""
    spoken = Config(os.path.join(bench.root, 'busy-announce'))
    spoken.write_list([], mode=3)
    spoken.write_settings('[Morrowby]\nCurFile=%s\nDateLine=%s\n' % (spoken.list_path, date_line))
    wav = rendered_announcement(bench, spoken, moment)
    song = os.path.join(bench.root, 'busy-song.wav')
    with open(song, 'wb') as f:
        f.write(wav_image(tone_frames(440, seconds=SONG_SECONDS)))
    sung = Config(os.path.join(bench.root, 'busy-song'))
    sung.write_list([song], mode=0)
    tallies = {key: Tally() for key in ('spoken', 'spoken paplay', 'song', 'song paplay')}
    rounds = max(announcements, songs)
    with BusyLoad(bench.root, bench.servers.track, LOAD_SECONDS_PER_RUN * 4 * rounds):
        for turn in range(rounds):
            if turn < announcements:
                result = bench.session_run(spoken, fake_time=moment)
                tallies['spoken'].add(*announcement_silence(result.sound.samples, moment,
                                                            date_line, bench.clips))
                tallies['spoken paplay'].add(*announcement_silence(
                    played_by_paplay(bench, wav), moment, date_line, bench.clips))
            if turn < songs:
                tallies['song'].add(*song_silence(bench.session_run(sung).sound.samples))
                tallies['song paplay'].add(*song_silence(played_by_paplay(bench, song)))
    return [('announcement', 'morrowby') + tallies['spoken'].cells(),
            ('', 'paplay of its --output WAV') + tallies['spoken paplay'].cells(),
            ('song (%.0f s WAV)' % SONG_SECONDS, 'morrowby') + tallies['song'].cells(),
            ('', 'paplay FILE') + tallies['song paplay'].cells()]

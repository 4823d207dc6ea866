"""Finding the spoken clips of an announcement in a recording of the sink.

The clips are 8-bit 22050 Hz mono; the program chains them through one converter into
a 48 kHz stream, so in the recording each clip should start exactly where the one
before it ended. Each audible clip is placed by correlating 200 ms of it within a
window around where it is due, and then checked whole, piece by piece. Silent clips
(the gap) and the pause cannot be placed; they are measured as the distance between
the audible clips around them, and what lies there must be silent."""
import itertools
import math
import operator
import os
import wave

from recording import RATE, SILENCE_LEVEL
from spoken_date import OPENER, OPENERS, PAUSE, PAUSE_MS, SILENT_CLIPS

CLIP_RATE = 22050
STEP = RATE / CLIP_RATE          # recording samples per clip sample
SEARCH = 0.030                   # seconds either side of where a clip is due
SKIP = int(0.030 * RATE)         # into a clip, past what the monitor may miss
TEMPLATE = int(0.200 * RATE)     # of a clip, to place it by
MISSED = int(0.060 * RATE)       # the most of a first clip the monitor may miss
CANDIDATES = 5                   # coarse answers looked at closely
PIECE = int(0.020 * RATE)        # of a clip, to check it by
MARGIN = int(0.004 * RATE)       # the converter's ringing around a clip's edges
GOOD_MATCH = 0.85                # correlation of a clip heard whole and clean

CLIP_FOLDER = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                           '..', '..', 'resources', 'clips')


class AlignmentError(Exception):
    pass


class Clips:
    """The clip files, as the recording should hold them: centred, 16-bit scale, at
    48 kHz (linear interpolation is close enough to place them to a sample)."""

    def __init__(self, folder=CLIP_FOLDER):
        self.folder = folder
        self._raw = {}
        self._loud = {}

    def raw(self, clip):
        if clip not in self._raw:
            with wave.open(os.path.join(self.folder, '%d.wav' % clip)) as w:
                if (w.getframerate(), w.getsampwidth(), w.getnchannels()) != (CLIP_RATE, 1, 1):
                    raise AlignmentError('clip %d is not 8-bit 22050 Hz mono' % clip)
                self._raw[clip] = w.readframes(w.getnframes())
        return self._raw[clip]

    def length(self, clip):
        """In recording samples (fractional)."""
        return len(self.raw(clip)) * STEP

    def resampled(self, clip):
        if clip not in self._loud:
            raw = self.raw(clip)
            last = len(raw) - 1
            out = []
            for i in range(int(len(raw) * STEP)):
                x = i / STEP
                k = min(int(x), last)
                f = x - k
                a = raw[k]
                b = raw[min(k + 1, last)]
                out.append(((a + (b - a) * f) - 128) * 256)
            self._loud[clip] = out
        return self._loud[clip]


class Placed:
    def __init__(self, clip, start, length, match):
        self.clip = clip
        self.start = start      # recording sample where the clip's first sample lies
        self.length = length
        self.match = match      # correlation of the whole clip with the recording there

    @property
    def end(self):
        return self.start + self.length


class Alignment:
    """Where each audible clip was heard and what lay between them."""

    def __init__(self):
        self.placed = []
        self.junctions = []     # (label, inserted seconds, junctions spanned)
        self.pause = None       # seconds, when the sentence has one
        self.expected = 0.0     # seconds of clips (and pause) from first to last heard

    @property
    def extent(self):
        return (self.placed[-1].end - self.placed[0].start) / RATE if self.placed else 0.0

    @property
    def ratio(self):
        return self.extent / self.expected if self.expected else 1.0

    def worst_junction(self):
        """The largest silence (or overlap, negative) per junction, in seconds."""
        return max((j[1] / j[2] for j in self.junctions), key=abs, default=0.0)

    def summary(self):
        heard = ' '.join('%d(%.2f)' % (p.clip, p.match) for p in self.placed)
        inserted = ', '.join('%+.2f' % (1000 * j[1]) for j in self.junctions) or '-'
        text = 'clips(match): %s; inserted ms per stretch: %s; length %.3f s of %.3f s' % (
            heard, inserted, self.extent, self.expected)
        if self.pause is not None:
            text += '; pause %.0f ms' % (1000 * self.pause)
        return text


def first_audible(samples, start=0):
    for i in range(start, len(samples)):
        if abs(samples[i]) > SILENCE_LEVEL:
            return i
    return None


class _Aligner:
    """A recording (or a clip) with running sums, for correlations at any offset."""

    def __init__(self, samples, clips):
        self.samples = samples
        self.clips = clips
        self.sums = list(itertools.accumulate(samples, initial=0))
        self.squares = list(itertools.accumulate(map(operator.mul, samples, samples), initial=0))
        self.heard_from = first_audible(samples) or 0
        self._decimated = {}

    def correlation(self, template, s_t, s_tt, at):
        """Pearson correlation of `template` with the recording from sample `at`."""
        n = len(template)
        if at < 0 or at + n > len(self.samples):
            return -1.0
        s_r = self.sums[at + n] - self.sums[at]
        v_r = self.squares[at + n] - self.squares[at] - s_r * s_r / n
        v_t = s_tt - s_t * s_t / n
        if v_r <= 0 or v_t <= 0:
            return 0.0
        s_tr = sum(map(operator.mul, template, self.samples[at:at + n]))
        return (s_tr - s_t * s_r / n) / math.sqrt(v_r * v_t)

    def place(self, clip, earliest, latest):
        """Best position for `clip` starting between the two recording samples. Found
        with 200 ms of it, long enough that no vowel's pitch period can pass for the
        clip a few milliseconds away: first every fourth lag on every fourth sample,
        then each lag near the best few of those, at the full rate."""
        wave_ = self.clips.resampled(clip)
        # Past the clip's first sound, since the monitor can miss the first
        # milliseconds of a stream.
        u = min((first_audible(wave_) or 0) + SKIP, len(wave_) // 2)
        template = wave_[u:u + TEMPLATE]
        earliest, latest = max(0, int(earliest)), min(int(latest), len(self.samples) - len(wave_))
        if latest < earliest:
            return None
        phase = (earliest + u) % 4
        sparse = template[::4]
        decimated = self.decimated(phase)
        s_t, s_tt = sum(sparse), sum(map(operator.mul, sparse, sparse))
        first = (earliest + u - phase) // 4
        coarse = sorted(((decimated.correlation(sparse, s_t, s_tt, i), i)
                         for i in range(first, (latest + u - phase) // 4 + 1)), reverse=True)
        nearby = {i * 4 + phase - u + d for _, i in coarse[:CANDIDATES] for d in range(-3, 4)}
        return self.best_of(clip, template, u, nearby)

    def place_first(self, clip):
        """The first clip heard: where it lies is told by the first sound of the
        recording, which is some part of the clip's start, as the monitor may have
        missed the very first milliseconds: that part is looked up in the clip."""
        wave_ = self.clips.resampled(clip)
        at = self.heard_from + MARGIN
        heard = self.samples[at:at + SKIP]
        s_h, s_hh = sum(heard), sum(map(operator.mul, heard, heard))
        clip_start = _Aligner(wave_, self.clips)
        lead = first_audible(wave_) or 0
        offsets = range(max(0, lead + MARGIN - 48),
                        min(lead + MARGIN + MISSED, len(wave_) - len(heard)))
        offset = max(offsets, key=lambda o: clip_start.correlation(heard, s_h, s_hh, o))
        u = min(lead + SKIP, len(wave_) // 2)
        return self.best_of(clip, wave_[u:u + TEMPLATE], u,
                            range(at - offset - 3, at - offset + 4))

    def best_of(self, clip, template, u, starts):
        """The clip placed at whichever of `starts` its template fits best."""
        s_t, s_tt = sum(template), sum(map(operator.mul, template, template))
        start = max(starts, key=lambda p: self.correlation(template, s_t, s_tt, p + u))
        return Placed(clip, start, self.clips.length(clip),
                      self.match(self.clips.resampled(clip), start))

    def decimated(self, phase):
        if phase not in self._decimated:
            self._decimated[phase] = _Aligner(self.samples[phase::4], self.clips)
        return self._decimated[phase]

    def match(self, wave_, start):
        """How well the whole clip sounds at `start`: the energy-weighted correlation of
        its 20 ms pieces, each allowed to follow the resampler's drift. Pieces before
        the first sound of the recording are left out: the sink's monitor can miss the
        first milliseconds of a stream (paplay's too)."""
        total = weight = 0.0
        shift = 0
        for k in range(0, len(wave_) - PIECE + 1, PIECE):
            if start + k < self.heard_from:
                continue
            piece = wave_[k:k + PIECE]
            s_p, s_pp = sum(piece), sum(map(operator.mul, piece, piece))
            c, shift = max((self.correlation(piece, s_p, s_pp, start + k + d), d)
                           for d in range(shift - 2, shift + 3))
            total += c * s_pp
            weight += s_pp
        return total / weight if weight else 0.0

    def quiet(self, first, last):
        """True when nothing audible lies in recording samples [first, last)."""
        part = self.samples[max(0, int(first)):max(0, int(last))]
        return not part or (max(part) <= SILENCE_LEVEL and -min(part) <= SILENCE_LEVEL)


def align(samples, sequence, clips):
    """Places the clips of `sequence` (from spoken_date) in `samples`; raises
    AlignmentError naming the first clip not heard where it was due."""
    aligner = _Aligner(samples, clips)
    result = Alignment()
    audible = [i for i, item in enumerate(sequence) if item not in SILENT_CLIPS + (PAUSE,)]
    if not audible:
        if first_audible(samples) is not None:
            raise AlignmentError('expected silence, heard sound')
        return result
    heard_from = first_audible(samples)
    if heard_from is None:
        raise AlignmentError('expected %d clips, heard nothing' % len(audible))

    due = None          # where the next clip should start, when nothing was inserted
    late = 0.0          # how much later it may start: the pause
    spanned = 0         # junctions since the last clip placed
    stretch = 0.0       # samples of clips and pause since the first clip placed
    previous = None
    for index, item in enumerate(sequence):
        if item in SILENT_CLIPS:
            if due is not None:
                due += clips.length(item)
                stretch += clips.length(item)
                spanned += 1
            continue
        if item == PAUSE:
            late = (PAUSE_MS[1] + 1) / 1000 * RATE
            continue
        candidates = OPENERS if item == OPENER else (item,)
        best = None
        for clip in candidates:
            if due is None:
                placed = aligner.place_first(clip)
            else:
                placed = aligner.place(clip, due - SEARCH * RATE, due + late + SEARCH * RATE)
            if placed and (best is None or placed.match > best.match):
                best = placed
        name = 'the opener (671 or 672)' if item == OPENER else 'clip %d' % item
        if best is None or best.match < GOOD_MATCH:
            raise AlignmentError('%s (item %d) was not heard where it was due: best match %.2f; '
                                 'placed so far: %s' % (name, index, best.match if best else 0,
                                                        result.summary()))
        if previous is not None:
            inserted = (best.start - due) / RATE
            if late:
                result.pause = inserted
                stretch += best.start - due
            else:
                result.junctions.append(('%d>%d' % (previous.clip, best.clip), inserted,
                                         spanned + 1))
            if not aligner.quiet(previous.end + MARGIN, best.start - MARGIN):
                raise AlignmentError('sound between %d and %d, where only silence belongs'
                                     % (previous.clip, best.clip))
        stretch += best.length
        result.placed.append(best)
        previous, due, late, spanned = best, best.end, 0.0, 0
        result.expected = stretch / RATE
    first, last = result.placed[0], result.placed[-1]
    if not (aligner.quiet(0, first.start - MARGIN) and
            aligner.quiet(last.end + MARGIN, len(samples))):
        raise AlignmentError('sound before the first clip or after the last: ' + result.summary())
    return result

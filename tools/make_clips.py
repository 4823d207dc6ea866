#!/usr/bin/env python3
"""Render Morrowby's built-in clips 601..682 and the table in docs/clips.md.

Spoken clips come from RHVoice's English voice "slt" (LGPL-2.1+); sox turns
its 24 kHz output into 22050 Hz floats behind a 60 Hz high-pass.  Everything
after that (thump control, levelling, limiting, trimming, the expander that
makes pauses exact silence, fades, rounding to 8 bits, the WAV layout)
happens here, with no randomness, so two runs give byte-identical files.

Every clip is an 8-bit unsigned mono PCM WAV at 22050 Hz holding exactly a
"fmt " chunk and a "data" chunk (plus one 0x80 pad byte after odd data).
"""

import argparse
import array
import collections
import math
import multiprocessing
import os
import struct
import subprocess
import sys
import tempfile

RATE = 22050
VOICE = "slt"          # RHVoice voice; its data is LGPL-2.1+
VOICE_RATE = 110       # RHVoice speech rate in percent; 100 is the voice's own
GREETING_PITCH = 15    # percent higher for the greetings
LIFTED_THE_PITCH = 20  # and for the "lifted" take of "the"
TARGET_DB = -10.0      # active RMS level of every spoken clip, dBFS
LEVEL_FLOOR_DB = -10.9 # a clip the limiter cannot lift further may stay here
PEAK_LIMIT_DB = -0.7   # limiter ceiling; rounding stays under -0.5 dBFS
LIMIT_HOLD = 110       # 5 ms: the limiter averages its gain this far either side
TRIM_DB = -52.0        # envelope level (of the voice) that counts as sound
ENV_WINDOW = 110       # 5 ms envelope window
MARGIN = 220           # 10 ms kept beyond the first/last sound
MIN_SOUND = 220        # 10 ms: anything shorter above TRIM_DB is a blip
EXPAND_DB = -60.0      # below this (in the voice) the expander works 1:4
MUTE_DB = -70.0        # and below this it is exact silence
FADE = 176             # 8 ms raised-cosine fade at each end
BLOCK = 220            # 10 ms blocks for the active level
GATE_DB = 30.0         # blocks this far below the loudest one are not "active"
LOW_CUTOFF = 300.0     # Hz; the band where the voice's thumps sit
LOW_HEADROOM_DB = 6.0  # how far the low band may rise over its typical level
LIMIT_DEPTH = 10.5     # dB: the most the limiter may take off the loudest peaks
LIFT_BELOW = 12.0      # dB under the loudest moment where upward compression
LIFT_MAX = 15.0        # starts, and the most it raises anything
LIFT_RATIOS = [1.0, 1.5, 2.0, 3.0, 4.0]   # tried in turn, gentlest first
PHRASE_PAUSE = 0.02    # seconds under -45 dB that may end a phrase
TREBLE_CUTOFF = 3000.0 # Hz; the band (up to 11 kHz) whose share is kept
TREBLE_SLACK_DB = 1.0  # how far that share may drift from the voice's own
TREBLE_SHELF_MAX_DB = 12.0  # the most a shelf may cut (or add) to get there
PAD_BYTE = b"\x80"

GAP_SAMPLES = 6640
SILENCE_SAMPLES = 9786
CHIME_SAMPLES = 75544

ONES = ["one", "two", "three", "four", "five", "six", "seven", "eight",
        "nine", "ten", "eleven", "twelve", "thirteen", "fourteen", "fifteen",
        "sixteen", "seventeen", "eighteen", "nineteen"]
ORDINALS = ["first", "second", "third", "fourth", "fifth", "sixth",
            "seventh", "eighth", "ninth", "tenth", "eleventh", "twelfth",
            "thirteenth", "fourteenth", "fifteenth", "sixteenth",
            "seventeenth", "eighteenth", "nineteenth"]
MONTHS = ["January", "February", "March", "April", "May", "June", "July",
          "August", "September", "October", "November", "December"]
DAYS = ["Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday",
        "Saturday"]

# Two whole announcements written beside docs/clips.md for reviewers, in the
# order the program plays them: the chime, "It's Monday the sixth of January,
# six fifteen PM" (12-hour clock), and "It's Tuesday the fourth of March,
# oh nine ten" (24-hour clock).
ANNOUNCEMENTS = {
    "announcement-12h.wav": [679, 671, 654, 677, 668, 677, 625, 677, 676,
                             677, 641, 677, 677, 606, 677, 615, 677, 665],
    "announcement-24h.wav": [672, 655, 677, 668, 677, 623, 677, 676, 677,
                             643, 677, 677, 682, 609, 677, 682, 610],
}


class Spoken:
    """A clip rendered by the voice.

    words:    what the clip says (for the table).
    text:     what the voice is given.
    phrase:   if set (1 or 2), only that phrase of `text` is kept, cut in
              the pauses the voice makes at the commas around it.  The
              phrase then has the lively, leading-on melody of a sentence's
              opening or middle rather than the falling one of a word read
              out alone, and the second phrase starts where the voice has
              got to after the first rather than afresh.
    greeting: said a little higher, as a greeting rather than a reading.
    pitch:    percent higher than the voice's own (the greetings' is
              GREETING_PITCH).
    rate:     the voice's speech rate for this clip, in percent.
    shelf:    a fixed shelf over TREBLE_CUTOFF in dB, for words whose "s"
              and "th" a searched one would dull into an "f" (None: the
              shelf is searched for, as for every other word).
    onset:    milliseconds over which the first sound rises (soften_onset),
              or 0 for only the FADE every clip gets.
    """

    def __init__(self, words, text=None, phrase=False, greeting=False,
                 pitch=0, before=None, rate=None, shelf=None, onset=0):
        self.words = words
        self.text = text if text is not None else words
        self.phrase = phrase
        self.greeting = greeting
        self.before = before
        self.pitch = GREETING_PITCH if greeting else pitch
        self.rate = rate or VOICE_RATE
        self.shelf = shelf
        self.onset = onset


def greeting(words):
    return Spoken(words, words.rstrip("!") + ", everyone.", phrase=1,
                  greeting=True)


def leading(words, rest, before=None, **kw):
    """`words` in a sentence that goes on with `rest` (and, if given, comes
    after `before`): the words are cut out where the voice pauses at the
    commas around them, so their pitch goes on from the words before and
    stays up, ready for the next clip, instead of falling to an end."""
    if before is None:
        return Spoken(words, "%s, %s" % (words, rest), phrase=1, **kw)
    return Spoken(words, "%s, %s, %s" % (before, words, rest), phrase=2,
                  before=before, **kw)


def closing(words, before):
    """`words` as they end a sentence after `before`: the last phrase of
    "before, words.", falling to an end but started where the voice has got
    to, not afresh."""
    return Spoken(words, "%s, %s." % (before, words), phrase=2,
                  before=before)


# The ways of saying "the" that were tried (make_clips.py --the NAME).  Alone,
# the voice says a weak, falling "the" that is lost between the weekday and
# the day.
THE_TAKES = {
    "cut": leading("the", "sixth of June.", "Monday"),
    "thee": Spoken("the", "thee"),
    "lifted": Spoken("the", pitch=LIFTED_THE_PITCH),
}
THE = "cut"


def catalogue(the=THE):
    """id -> Spoken, or a string naming a clip made here ("gap", ...)."""
    # Words that something always follows in an announcement lead on into
    # it, in the words that follow them there.  The numbers and tens end
    # the time as minutes, so they keep their fall, as do the closing words.
    clips = {}
    for i, word in enumerate(ONES):
        clips[601 + i] = Spoken(word)
    for i, word in enumerate(ORDINALS + ["twentieth", "thirtieth"]):
        clips[620 + i] = leading(word, "of June.", "the")
    # Where a clip is made otherwise (fourth, six, sixth, April, Monday, AM,
    # twenty, of, oh, the "s" of "It's"), docs/clips.md says why (write_doc).
    clips[623] = Spoken("fourth", rate=VOICE_RATE + 10)
    clips[606] = Spoken("six", shelf=0)
    clips[625] = Spoken("sixth", "Sixth.", rate=VOICE_RATE + 15, shelf=0,
                        onset=20)
    for i, month in enumerate(MONTHS):
        clips[641 + i] = leading(month, "six fifteen.", "of")
    for i, day in enumerate(DAYS):
        clips[653 + i] = leading(day, "the sixth of June.")
    clips[644] = Spoken("April")
    clips[654].shelf = 3
    for i, tens in enumerate(["twenty", "thirty", "forty", "fifty"]):
        clips[660 + i] = Spoken(tens)
    clips[660].rate = VOICE_RATE + 10
    clips[664] = closing("A.M.", "eleven")
    clips[664].words = "AM"
    clips[665] = closing("PM", "eleven")
    clips[666] = Spoken("hundred hours")
    clips[667] = Spoken("o'clock")
    clips[668] = THE_TAKES[the]
    # Spare greetings; nothing plays them yet.
    clips[669] = greeting("Good morning!")
    clips[670] = greeting("Good afternoon!")
    clips[673] = greeting("Good evening!")
    clips[674] = greeting("Hello!")
    clips[675] = greeting("Welcome!")
    # Two takes of "It's", both leading on, from two different sentences.
    clips[671] = leading("It's", "Monday the sixth of June.")
    clips[672] = Spoken("It's", "It's, ten o'clock.", phrase=1)
    clips[671].shelf = clips[672].shelf = 0
    clips[676] = leading("of", "June.", "third", rate=VOICE_RATE + 10,
                         onset=30)
    clips[677] = "gap"
    clips[678] = "silence"
    clips[679] = "chime"
    clips[680] = greeting("Happy New Year!")
    clips[681] = greeting("Merry Christmas!")
    clips[682] = leading("oh", "two.", "ten", rate=VOICE_RATE + 35, onset=30)
    assert sorted(clips) == list(range(601, 683))
    return clips


# ---------------------------------------------------------------- the voice

def xml_text(s):
    return (s.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
            .replace("'", "&apos;").replace('"', "&quot;"))


def render_voice(clip, path):
    """Run RHVoice for one clip; it writes a 24 kHz 16-bit WAV to `path`."""
    cmd = ["RHVoice-test", "-p", VOICE, "-r", str(clip.rate), "-o", path]
    text = clip.text
    if clip.pitch:
        cmd.append("-s")
        text = '<speak><prosody pitch="+%d%%">%s</prosody></speak>' % (
            clip.pitch, xml_text(text))
    subprocess.run(cmd, input=text.encode("utf-8"), check=True,
                   stdout=subprocess.DEVNULL)
    if not os.path.exists(path) or os.path.getsize(path) <= 44:
        raise RuntimeError("the voice wrote nothing")


def load(path):
    """Mono 22050 Hz float samples of a WAV file, 60 Hz high-passed, via sox
    (no dither)."""
    raw = path + ".f32"
    subprocess.run(["sox", "-D", "-R", "-V1", path,
                    "-t", "raw", "-e", "floating-point", "-b", "32", "-L",
                    raw, "channels", "1", "highpass", "60",
                    "rate", "-v", str(RATE)],
                   check=True)
    samples = array.array("f")
    with open(raw, "rb") as f:
        samples.frombytes(f.read())
    if sys.byteorder != "little":
        samples.byteswap()
    return [float(x) for x in samples]


def pauses(x):
    """(first sound, [(start, length) of each pause after it]), in samples:
    PHRASE_PAUSE or more under -45 dB."""
    env = envelope(x)
    thr = 10.0 ** (-45.0 / 20.0)
    need = int(PHRASE_PAUSE * RATE)
    first, found, quiet = None, [], 0
    for i, e in enumerate(env):
        if e >= thr:
            if first is None:
                first = i
            elif quiet >= need:
                found.append((i - quiet, quiet))
            quiet = 0
        elif first is not None:
            quiet += 1
    return first, found


def nearest_pause(found, at):
    """The pause of `found` that starts nearest sample `at`."""
    return min(found, key=lambda p: abs(p[0] - at))


def cut_phrase(x, alone, before=None):
    """The samples of the words after `before` sound samples of a first
    phrase (or of the first phrase), from the middle of the pause the voice
    makes at the comma before them to the middle of the pause at the comma
    after them.  A stop inside a word ("April", "sixth") can be as long a
    pause as a comma's, so a comma's is taken to be the one that starts
    nearest to where the same words said alone (`alone` samples of sound,
    `before` for the words before) would end."""
    first, found = pauses(x)
    begin = 0
    if before is not None:
        if not found:
            raise RuntimeError("no pause before the second phrase")
        start, length = nearest_pause(found, first + before)
        found = [p for p in found if p[0] > start]
        begin, first = start + length // 2, start + length
    if not found:
        return x[begin:]              # the phrase ends the sentence
    start, length = nearest_pause(found, first + alone)
    return x[begin:start + length // 2]


def sounding_length(x):
    """Samples from the first sound to the end of the last one."""
    thr = 10.0 ** (-45.0 / 20.0)
    loud = [i for i, e in enumerate(envelope(x)) if e >= thr]
    return loud[-1] - loud[0] if loud else 0


# ------------------------------------------------------------ measurements

def db(x):
    return 20.0 * math.log10(x) if x > 0 else float("-inf")


def moving_mean(x, width):
    """Centred moving average over `width` samples (shorter at the ends)."""
    n = len(x)
    acc = [0.0] * (n + 1)
    for i, v in enumerate(x):
        acc[i + 1] = acc[i] + v
    half = width // 2
    out = []
    for i in range(n):
        lo, hi = max(0, i - half), min(n, i - half + width)
        out.append((acc[hi] - acc[lo]) / (hi - lo))
    return out


def moving_min(x, width):
    """Centred moving minimum, over the same windows as moving_mean."""
    half, ahead = width // 2, width - 1 - width // 2
    window = collections.deque()   # indices whose values increase
    out = []
    for j in range(len(x) + ahead):
        if j < len(x):
            while window and x[window[-1]] >= x[j]:
                window.pop()
            window.append(j)
        i = j - ahead              # the output whose window ends at j
        if i >= 0:
            while window[0] < i - half:
                window.popleft()
            out.append(x[window[0]])
    return out


def envelope(x, width=ENV_WINDOW):
    """Centred moving RMS over `width` samples."""
    return [math.sqrt(max(0.0, m)) for m in moving_mean([v * v for v in x],
                                                         width)]


def active_rms(x):
    """RMS over the 10 ms blocks within GATE_DB of the loudest block.

    This is the clip's loudness while it is actually sounding; leading
    silence, closures and breath do not pull it down.
    """
    powers = []
    for start in range(0, len(x), BLOCK):
        block = x[start:start + BLOCK]
        powers.append(sum(v * v for v in block) / len(block))
    if not powers or max(powers) <= 0:
        return 0.0
    floor = max(powers) * 10.0 ** (-GATE_DB / 10.0)
    active = [p for p in powers if p >= floor]
    return math.sqrt(sum(active) / len(active))


def whole_rms(x):
    return math.sqrt(sum(v * v for v in x) / len(x)) if x else 0.0


# --------------------------------------------------------------- shaping

def trim(x):
    """Cut to the sounding part plus MARGIN samples each side.

    Sound is where the envelope reaches TRIM_DB for at least MIN_SOUND
    samples running; shorter blips (the voice sometimes ticks before a
    closure) do not count.
    """
    thr = 10.0 ** (TRIM_DB / 20.0)
    runs, start = [], None
    for i, e in enumerate(envelope(x) + [0.0]):
        if e >= thr and start is None:
            start = i
        elif e < thr and start is not None:
            if i - start >= MIN_SOUND:
                runs.append((start, i))
            start = None
    if not runs:
        raise RuntimeError("clip is silent")
    first, last = runs[0][0], runs[-1][1]
    return x[max(0, first - MARGIN):min(len(x), last + MARGIN)]


def soften_onset(x, ms):
    """A raised-cosine rise over `ms` milliseconds from the first sample
    that is not at rest.

    A word that opens with a vowel or an "s" straight after a long pause
    ("oh" after the month, "of" after the twenty-somethings, "sixth"
    after "twenty") is otherwise heard to begin with a consonant: "oh" as
    "twelfth", "of" as "tenth".
    """
    x = list(x)
    n = int(ms * RATE / 1000)
    first = next((i for i, v in enumerate(x) if abs(v) >= 1e-4), len(x))
    for i in range(min(n, len(x) - first)):
        x[first + i] *= 0.5 - 0.5 * math.cos(math.pi * i / n)
    return x


def fade_ends(x, length=FADE):
    """Raised-cosine fade in and out; the first and last samples become 0."""
    x = list(x)
    n = min(length, len(x) // 2)
    for i in range(n):
        w = 0.5 - 0.5 * math.cos(math.pi * i / n)
        x[i] *= w
        x[-1 - i] *= w
    return x


def biquad(x, b0, b1, b2, a0, a1, a2):
    """One pass of a biquad filter (coefficients as in the RBJ cookbook)."""
    b0, b1, b2, a1, a2 = b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0
    out, x1, x2, y1, y2 = [], 0.0, 0.0, 0.0, 0.0
    for v in x:
        y = b0 * v + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2
        x2, x1, y2, y1 = x1, v, y1, y
        out.append(y)
    return out


def butterworth(x, cutoff, high=False):
    """Zero-phase 2nd-order Butterworth low- or high-pass, run forwards and
    back."""
    w = 2.0 * math.pi * cutoff / RATE
    alpha = math.sin(w) / math.sqrt(2.0)
    cos = math.cos(w)
    if high:
        b = ((1.0 + cos) / 2.0, -(1.0 + cos), (1.0 + cos) / 2.0)
    else:
        b = ((1.0 - cos) / 2.0, 1.0 - cos, (1.0 - cos) / 2.0)
    a = (1.0 + alpha, -2.0 * cos, 1.0 - alpha)
    return biquad(biquad(x, *b, *a)[::-1], *b, *a)[::-1]


def lowpass(x, cutoff=LOW_CUTOFF):
    return butterworth(x, cutoff)


def treble_db(x):
    """The share of the energy over TREBLE_CUTOFF (to 11 kHz), in dB."""
    total = sum(v * v for v in x)
    high = sum(v * v for v in butterworth(x, TREBLE_CUTOFF, high=True))
    return db(math.sqrt(high / total)) if total > 0 and high > 0 else 0.0


def high_shelf(x, gain_db):
    """A shelf of `gain_db` over TREBLE_CUTOFF (RBJ cookbook, slope 1)."""
    if gain_db == 0:
        return list(x)
    amp = 10.0 ** (gain_db / 40.0)
    w = 2.0 * math.pi * TREBLE_CUTOFF / RATE
    cos, root = math.cos(w), 2.0 * math.sqrt(amp) * math.sin(w) / math.sqrt(2.0)
    return biquad(x,
                  amp * ((amp + 1) + (amp - 1) * cos + root),
                  -2 * amp * ((amp - 1) + (amp + 1) * cos),
                  amp * ((amp + 1) + (amp - 1) * cos - root),
                  (amp + 1) - (amp - 1) * cos + root,
                  2 * ((amp - 1) - (amp + 1) * cos),
                  (amp + 1) - (amp - 1) * cos - root)


def tame_thumps(x):
    """Hold the low band (below LOW_CUTOFF) to LOW_HEADROOM_DB above its
    typical voiced level.

    At the end of a vowel before a voiceless sound or a pause, the voice
    sometimes puts out a short low-pitched thump 10 dB or more above the
    vowel itself ("six", "fourth").  Only those moments are turned down;
    elsewhere the gain is 1 and the samples pass unchanged.
    """
    low = lowpass(x)
    env = envelope(low, BLOCK)
    top = max(env)
    if top <= 0:
        return x
    voiced = sorted(e for e in env if e >= top * 10.0 ** (-20.0 / 20.0))
    ceiling = voiced[len(voiced) // 2] * 10.0 ** (LOW_HEADROOM_DB / 20.0)
    gain = [min(1.0, ceiling / e) if e > 0 else 1.0 for e in env]
    # Take the lowest gain within 5 ms either side, so the edges of a
    # thump are caught too, then smooth over 10 ms.
    smooth = moving_mean(moving_min(gain, BLOCK), BLOCK)
    return [v - (1.0 - g) * lo for v, g, lo in zip(x, smooth, low)]


def limit(x, ceiling):
    """Look-ahead limiter: no sample comes out louder than `ceiling`.

    The gain each sample needs is taken at its lowest within 2 LIMIT_HOLD
    samples either side and then averaged over LIMIT_HOLD samples either
    side.  Every average then only holds gains at or below the one its
    own sample needs, so the ceiling is never passed, and the gain moves
    over tens of milliseconds rather than bending single waves.
    """
    need = [min(1.0, ceiling / abs(v)) if v else 1.0 for v in x]
    if min(need) >= 1.0:
        return list(x)
    gain = moving_mean(moving_min(need, 4 * LIMIT_HOLD + 1),
                       2 * LIMIT_HOLD + 1)
    return [v * g for v, g in zip(x, gain)]


def expand(x):
    """Downward expander: where the envelope is under EXPAND_DB the signal
    is turned down 1:4, and under MUTE_DB it is exact silence.

    This is what keeps pauses and word tails at exact rest in 8 bits:
    voice noise and the last breath of a word would otherwise round to
    one step either side of 128, a hiss heard as a "th".
    """
    env = envelope(x)
    gain = []
    for e in env:
        level_db = db(e)
        if level_db >= EXPAND_DB:
            gain.append(1.0)
        elif level_db <= MUTE_DB:
            gain.append(0.0)
        else:
            gain.append(10.0 ** (3.0 * (level_db - EXPAND_DB) / 20.0))
    # Open at once (the highest gain within 5 ms either side), close
    # smoothly (averaged over 5 ms), so no onset is clipped.
    half = ENV_WINDOW // 2
    opened = [-g for g in moving_min([-g for g in gain], 2 * half + 1)]
    smooth = moving_mean(opened, ENV_WINDOW)
    return [v * g for v, g in zip(x, smooth)]


def lift_quiet(x, ratio):
    """Upward compression at `ratio`, above LOW_CUTOFF: sounds quieter
    than LIFT_BELOW dB under the loudest moment of the clip are raised
    towards it, by at most LIFT_MAX dB.  Under EXPAND_DB the lift fades out again, so the
    voice's noise and the expanded tails are not raised.

    Words made mostly of weak fricatives ("fifth", "sixth", "twelfth")
    need it to reach the common level: their vowel is short, and the
    limiter alone would flatten it long before the "f" and "th" were
    loud enough.  Other words get none (ratio 1).
    """
    if ratio <= 1.0:
        return x
    env = envelope(x, BLOCK)
    top = db(max(env))
    knee = top - LIFT_BELOW
    gain = []
    for e in env:
        level_db = db(e)
        lift = min(LIFT_MAX, max(0.0, (knee - level_db) * (1.0 - 1.0 / ratio)))
        if level_db < EXPAND_DB:
            lift *= max(0.0, (level_db - MUTE_DB) / (EXPAND_DB - MUTE_DB))
        gain.append(10.0 ** (lift / 20.0))
    smooth = moving_mean(gain, 2 * BLOCK)
    # Only the band over LOW_CUTOFF is lifted: fricatives live there, and
    # lifting the voice's low rumble under them would make a thump.
    low = lowpass(x)
    return [lo + (v - lo) * g for v, lo, g in zip(x, low, smooth)]


def level(x):
    """(8-bit samples, their active RMS in dBFS) of `x` brought as near
    TARGET_DB as the limiter allows with at most LIMIT_DEPTH dB more gain
    than plain levelling would give.

    The gain is found by measuring the finished clip: the limiter takes
    back part of each step up, so a few rounds are needed.
    """
    ceiling = 10.0 ** (PEAK_LIMIT_DB / 20.0)
    plain = TARGET_DB - db(active_rms(x))
    gain_db, tried, best = plain, [], None
    for _ in range(12):
        data = to_u8(limit([v * 10.0 ** (gain_db / 20.0) for v in x],
                           ceiling))
        got = db(active_rms(u8_to_float(data)))
        if best is None or abs(got - TARGET_DB) < abs(best[1] - TARGET_DB):
            best = (data, got)
        if abs(got - TARGET_DB) < 0.05:
            break
        tried.append((gain_db, got))
        # The level rises less than the gain where the limiter works:
        # step by the slope of the last two tries (a secant step).
        slope = 1.0
        if len(tried) > 1:
            (g0, l0), (g1, l1) = tried[-2], tried[-1]
            if g1 != g0 and l1 != l0:
                slope = min(1.0, max(0.1, (l1 - l0) / (g1 - g0)))
        gain_db = min(plain + LIMIT_DEPTH,
                      gain_db + (TARGET_DB - got) / slope)
        if gain_db == tried[-1][0]:
            break
    return best


def level_and_lift(x):
    """(8-bit samples, the upward compression ratio it needed) of `x` at
    the common level, or None where no ratio reaches LEVEL_FLOOR_DB."""
    for ratio in LIFT_RATIOS:
        data, got = level(lift_quiet(x, ratio))
        if got >= LEVEL_FLOOR_DB:
            return data, ratio
    return None


def make_spoken(x, fixed_shelf=None, onset=0):
    """Voice output (float, 22050 Hz) -> (finished 8-bit samples, the
    upward compression ratio it needed, the shelf over TREBLE_CUTOFF in dB,
    how far the finished treble share lies from the voice's own in dB).

    Trim, expander and fades work on the voice's own level, where its
    noise floor sits under EXPAND_DB, so no gain can lift that noise
    into the clip.  Limiting and lifting bring up the hiss of "s", "f" and
    "th" against the vowels; a shelf over TREBLE_CUTOFF takes that back
    until the finished clip has the voice's own balance again (within
    TREBLE_SLACK_DB), as far as the common level still can be reached.
    """
    if max(abs(v) for v in x) >= 0.98:
        raise RuntimeError("the voice clipped; try other words around it")
    voice = treble_db(x)
    x = fade_ends(expand(trim(tame_thumps(x))))
    if onset:
        x = soften_onset(x, onset)
    # The drift jumps where a shelf changes how much lift the level needs,
    # or which quiet sounds count towards it, so the shelves are tried in
    # steps of 1 dB, starting with none, and the nearest kept.
    best, step = None, None
    for k in range(1 if fixed_shelf is not None else
                   int(TREBLE_SHELF_MAX_DB) + 1):
        shelf = (float(fixed_shelf) if fixed_shelf is not None else
                 float(k * step) if step else 0.0)
        made = level_and_lift(high_shelf(x, shelf))
        if made is None:
            step = step or -1
            continue
        drift = treble_db(u8_to_float(made[0])) - voice
        if best is None or abs(drift) < abs(best[3]):
            best = made + (shelf, drift)
        if abs(drift) <= TREBLE_SLACK_DB:
            break
        if step is None:
            step = -1 if drift > 0 else 1
    if best is None:
        raise RuntimeError("cannot reach %g dBFS active RMS" % LEVEL_FLOOR_DB)
    return best


# --------------------------------------------------------------- the chime

def bell(freq):
    """Partials of one struck bell: (frequency, amplitude, decay seconds).

    A hum an octave down, the strike tone, a minor third, a fifth, the
    octave and one stretched partial; the higher ones die away sooner.
    """
    partials = [(0.5, 0.35, 1.6), (1.0, 1.00, 1.1), (1.19, 0.45, 0.7),
                (1.5, 0.30, 0.55), (2.0, 0.50, 0.45), (2.74, 0.18, 0.25)]
    return [(freq * r, a, d) for r, a, d in partials]


def make_chime():
    """Two strikes, "ding" on E5 then "dong" on C5 half-way in; peak -3 dBFS."""
    n = CHIME_SAMPLES
    strikes = [(0, bell(659.26)), (n // 2, bell(523.25))]
    attack = int(0.003 * RATE)
    out = [0.0] * n
    for start, partials in strikes:
        for freq, amp, decay in partials:
            step = 2.0 * math.pi * freq / RATE
            fall = math.exp(-1.0 / (decay * RATE))
            env = amp
            for i in range(start, n):
                k = i - start
                ramp = 1.0 if k >= attack else 0.5 - 0.5 * math.cos(
                    math.pi * k / attack)
                out[i] += env * ramp * math.sin(step * k)
                env *= fall
    tail = int(0.25 * RATE)
    for k in range(tail):
        out[n - 1 - k] *= 0.5 - 0.5 * math.cos(math.pi * k / tail)
    peak = max(abs(v) for v in out)
    scale = 10.0 ** (-3.0 / 20.0) / peak
    return [v * scale for v in out]


# ----------------------------------------------------------------- output

def to_u8(x):
    """Plain rounding to 8 bits: no dither, which would only add hiss."""
    out = bytearray(len(x))
    for i, v in enumerate(x):
        q = 128 + int(math.floor(v * 128.0 + 0.5))
        out[i] = min(255, max(0, q))
    return bytes(out)


def u8_to_float(data):
    return [(b - 128) / 128.0 for b in data]


def wav_bytes(data):
    pad = PAD_BYTE if len(data) % 2 else b""
    fmt = struct.pack("<HHIIHH", 1, 1, RATE, RATE, 1, 8)
    body = (b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt +
            b"data" + struct.pack("<I", len(data)) + data + pad)
    return b"RIFF" + struct.pack("<I", len(body)) + body


def peak_db(data):
    return db(max(abs(b - 128) for b in data) / 128.0)


def package_version(name):
    try:
        out = subprocess.run(["dpkg-query", "-W", "-f=${Version}", name],
                             check=True, capture_output=True, text=True)
        return out.stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        return "unknown"


def write_doc(path, rows, announcements):
    rate = {cid: clip.rate for cid, clip in catalogue().items()
            if isinstance(clip, Spoken)}

    def fmt(v):
        return "—" if v == float("-inf") else "%.1f" % v

    lines = [
        "# Built-in clips",
        "",
        "Written by `tools/make_clips.sh`; do not edit by hand.",
        "",
        "## The voice",
        "",
        "The spoken clips are RHVoice's English voice **%s** (Debian packages"
        % VOICE,
        "`rhvoice` %s and `rhvoice-english` %s), at speech rate %d%%."
        % (package_version("rhvoice"), package_version("rhvoice-english"),
           VOICE_RATE),
        "The voice data is under the **GNU LGPL 2.1 or later** (Debian's",
        "`/usr/share/doc/rhvoice-english/copyright`, section `data/*`),",
        "which allows shipping the rendered clips inside the program.  The",
        "package's other English voices `lyubov` and `evgeniy-eng` are",
        "CC-BY-NC-ND (non-commercial) and must not be used; MBROLA voices",
        "are non-commercial as well.",
        "",
        "The greetings (669, 670, 673, 674, 675, 680, 681) are the opening",
        "phrase of \"..., everyone.\", cut in the voice's pause at the comma",
        "and said %d%% higher, so they lead on like a greeting rather than"
        % GREETING_PITCH,
        "fall like a word read from a list.",
        "",
        "Every word that more words follow in an announcement is cut from a",
        "sentence, between the voice's pauses at the commas around it, so its",
        "pitch goes on from the word before and stays up for the next one:",
        "\"It's\" (671 from \"It's, Monday the sixth of June.\", 672 from",
        "\"It's, ten o'clock.\"), the weekdays (\"Monday, the sixth of June.\"),",
        "\"the\" (\"Monday, the, sixth of June.\"), the days (\"the, sixth, of",
        "June.\"), \"of\" (\"third, of, June.\", %d%%), the months (\"of, June,"
        % rate[676],
        "six fifteen.\") and \"oh\" (\"ten, oh, two.\", %d%%, short enough not"
        % rate[682],
        "to be heard twice).  AM and PM end a",
        "sentence (\"eleven, PM.\") and keep its fall; AM is given to the voice",
        "as \"A.M.\", since written \"AM\" it says something heard as \"oh\".",
        "The numbers and tens end the time as minutes and are said alone,",
        "falling, as are \"o'clock\" and \"hundred hours\"; \"twenty\" is said",
        "at %d%%, or its long tail and the \"s\" of \"sixth\" are heard as"
        % rate[660],
        "\"eighth\".  \"Fourth\" (at %d%%) and \"April\" are said alone too: cut"
        % rate[623],
        "from the sentence, \"fourth\" is heard as \"five\" and \"April\" as",
        "\"eight twelve\".  The \"s\" of \"six\"",
        "and of \"It's\" keeps its treble (no shelf, below): a shelf makes it",
        "an \"f\" or a \"th\", so that \"six\" is heard as \"fifth\" and",
        "\"It's\" as \"it's the\".  So does that of \"sixth\", said alone and",
        "quicker (rate %d%%); \"Monday\" has its treble raised by 3 dB, else"
        % rate[625],
        "\"It's Monday\" is heard as \"it's nine the\".",
        "Words that open a phrase after a long pause with a vowel or an \"s\"",
        "rise over more than the common fade: \"oh\" and \"of\" over 30 ms",
        "(else heard as \"twelfth\" and \"tenth\"), \"sixth\" over 20 ms.",
        "Of the takes of \"the\" tried",
        "(`--the`: cut from the sentence, \"thee\", and \"the\" said %d%%"
        % LIFTED_THE_PITCH,
        "higher), the one cut from the sentence is used: `tools/sentence_check.sh`",
        "hears it as well as \"thee\" and it joins its neighbours without a",
        "jump in pitch, where \"thee\" stresses a word nobody stresses.",
        "The chime (679) is synthesised here; the gap (677) and silence (678)",
        "are all 128.",
        "",
        "## Remaking them",
        "",
        "    tools/make_clips.sh",
        "",
        "It installs `rhvoice`, `rhvoice-english`, `sox` and `python3` if they",
        "are missing.  RHVoice is in Debian's `contrib`/`non-free` sections,",
        "which a default machine does not enable: the script says so, adds a",
        "temporary apt sources file for them, installs, then removes the file",
        "and refreshes the package lists again.  Nothing is needed at build or",
        "test time: the clips are committed.  Two runs give byte-identical",
        "files; the script prints the sha256 of the 82 files in id order",
        "(`cat resources/clips/6*.wav | sha256sum`).",
        "",
        "How well whole announcements are understood, and how often a word",
        "starts well above where the one before it ended, is measured by",
        "`tools/sentence_check.sh` on 70 announcements written by the program",
        "(build it first): each decoded whole, and cut at its pauses as a",
        "listener hears it, on a grammar of any of the clips' words and on one",
        "of the announcement's own form; each word clip is heard alone too.",
        "Give it `old=PROGRAM@CLIPS new=build/morrowby` to compare a program",
        "built from other clips.",
        "",
        "## The 8-bit conversion",
        "",
        "After the voice: a 60 Hz high-pass and resampling to 22050 Hz",
        "(sox); word-final low thumps held to %g dB over the voice's typical"
        % LOW_HEADROOM_DB,
        "level below %g Hz.  Then, on the voice's own level (its noise floor"
        % LOW_CUTOFF,
        "lies around -70 to -80 dBFS): a trim at %g dBFS keeping %d ms; a"
        % (TRIM_DB, round(MARGIN * 1000 / RATE)),
        "downward expander (1:4 under %g dBFS, exact silence under %g dBFS)"
        % (EXPAND_DB, MUTE_DB),
        "so pauses and word tails are exact 128; %d ms raised-cosine fades."
        % round(FADE * 1000 / RATE),
        "Last, the gain that brings the finished clip to %g dBFS active RMS,"
        % TARGET_DB,
        "with a look-ahead limiter (ceiling %g dBFS, gain averaged over"
        % PEAK_LIMIT_DB,
        "%d ms) and plain rounding to 8 bits (no dither, no noise shaping)."
        % round(2 * LIMIT_HOLD * 1000 / RATE),
        "A few words made mostly of weak fricatives cannot get there with",
        "at most %g dB of limiting; for those only, the quiet sounds are"
        % LIMIT_DEPTH,
        "lifted above %g Hz by upward compression (column *lift*), the" % LOW_CUTOFF,
        "gentlest ratio that reaches at least %g dBFS." % LEVEL_FLOOR_DB,
        "Limiting and lifting raise the hiss of \"s\", \"f\" and \"th\" against",
        "the vowels; but for the words above, a shelf over %g Hz"
        % TREBLE_CUTOFF,
        "(column *treble shelf*) takes it back",
        "until the share of the energy over %g Hz is within %g dB of the"
        % (TREBLE_CUTOFF, TREBLE_SLACK_DB),
        "voice's own, or as near as the level allows (column *treble vs",
        "voice*: words made mostly of \"s\", \"f\" and \"th\" cannot get",
        "there without leaving the common level).",
        "",
        "Levels are dB relative to a full-scale square wave (RMS 128 steps",
        "from 128).  *Active* RMS counts only the 10 ms blocks within %g dB"
        % GATE_DB,
        "of the loudest block.  The chime stays at its own level.",
        "",
        "## Two announcements",
        "",
        "Clips joined with nothing between them, as the program plays them",
        "(8-bit, 22050 Hz, like the clips):",
        "",
    ]
    for name, (ids, n) in sorted(announcements.items()):
        lines.append("- `%s` (%.2f s): %s" % (
            name, n / RATE, ", ".join(str(i) for i in ids)))
    lines += [
        "",
        "## The clips",
        "",
        "| id | words | samples | seconds | RMS dBFS (active) "
        "| RMS dBFS (whole) | peak dBFS | lift | treble shelf dB "
        "| treble vs voice dB |",
        "|---:|---|---:|---:|---:|---:|---:|---:|---:|---:|",
    ]
    for cid, words, n, act, whole, peak, ratio, treble in rows:
        lift = "—" if not ratio or ratio <= 1.0 else "%g:1" % ratio
        shelf, drift = ("—", "—") if treble is None else (
            "—" if not treble[0] else "%+.1f" % treble[0], "%+.1f" % treble[1])
        lines.append("| %d | %s | %d | %.3f | %s | %s | %s | %s | %s | %s |"
                     % (cid, words, n, n / RATE, fmt(act), fmt(whole),
                        fmt(peak), lift, shelf, drift))
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def make_one(job):
    """make_spoken for one clip of the catalogue: (id, its result), or (id,
    why it failed)."""
    cid, clip, work = job
    path = os.path.join(work, "%d-voice.wav" % cid)
    try:
        render_voice(clip, path)
        x = load(path)
        if clip.phrase:
            render_voice(Spoken(clip.words, pitch=clip.pitch, rate=clip.rate),
                         path)
            alone, before = sounding_length(load(path)), None
            if clip.before:
                render_voice(Spoken(clip.before, pitch=clip.pitch,
                                    rate=clip.rate), path)
                before = sounding_length(load(path))
            x = cut_phrase(x, alone, before)
        return cid, make_spoken(x, clip.shelf, clip.onset)
    except RuntimeError as e:
        return cid, "clip %d (%r): %s" % (cid, clip.text, e)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--out", default=os.path.join(root, "resources", "clips"))
    ap.add_argument("--doc", default=os.path.join(root, "docs", "clips.md"))
    ap.add_argument("--announcements", default=os.path.join(root, "docs"),
                    help="folder for the two rendered announcements")
    ap.add_argument("--the", choices=sorted(THE_TAKES), default=THE,
                    help="which take of \"the\" (668) to make")
    ap.add_argument("--jobs", type=int, default=2,
                    help="clips made at once (the result is the same)")
    args = ap.parse_args()

    clips = catalogue(args.the)
    spoken = {k: v for k, v in clips.items() if isinstance(v, Spoken)}
    samples, lifted, treble = {}, {}, {}
    with tempfile.TemporaryDirectory(prefix="morrowby-clips-") as work:
        jobs = [(cid, clip, work) for cid, clip in sorted(spoken.items())]
        with multiprocessing.Pool(max(1, args.jobs)) as pool:
            for cid, made in pool.imap(make_one, jobs):
                if isinstance(made, str):
                    raise SystemExit(made)
                samples[cid], lifted[cid] = made[0], made[1]
                treble[cid] = made[2:]
    samples[677] = bytes([128]) * GAP_SAMPLES
    samples[678] = bytes([128]) * SILENCE_SAMPLES
    samples[679] = to_u8(make_chime())

    os.makedirs(args.out, exist_ok=True)
    rows = []
    for cid in sorted(clips):
        data = samples[cid]
        with open(os.path.join(args.out, "%d.wav" % cid), "wb") as f:
            f.write(wav_bytes(data))
        x = u8_to_float(data)
        words = clips[cid].words if cid in spoken else "(%s)" % clips[cid]
        rows.append((cid, words, len(data), db(active_rms(x)),
                     db(whole_rms(x)), peak_db(data), lifted.get(cid),
                     treble.get(cid)))

    made = {}
    os.makedirs(args.announcements, exist_ok=True)
    for name, ids in ANNOUNCEMENTS.items():
        data = b"".join(samples[i] for i in ids)
        with open(os.path.join(args.announcements, name), "wb") as f:
            f.write(wav_bytes(data))
        made[name] = (ids, len(data))
    write_doc(args.doc, rows, made)

    digest = subprocess.run(
        ["sha256sum"], input=b"".join(
            open(os.path.join(args.out, "%d.wav" % c), "rb").read()
            for c in sorted(clips)),
        check=True, capture_output=True).stdout.decode().split()[0]
    said = [r for r in rows if r[0] in spoken]
    levels = [r[3] for r in said]
    print("wrote %d clips to %s" % (len(rows), args.out))
    print("spoken active RMS: %.2f .. %.2f dBFS (target %g); loudest peak"
          " %.2f dBFS" % (min(levels), max(levels), TARGET_DB,
                          max(r[5] for r in said)))
    print("spread %.2f dB; treble share off the voice's by %+.1f .. %+.1f dB"
          % (max(levels) - min(levels), min(t[1] for t in treble.values()),
             max(t[1] for t in treble.values())))
    for cid in sorted(lifted):
        if lifted[cid] > 1.0 or treble[cid][0]:
            print("clip %d: quiet sounds lifted %g:1, treble shelf %+.1f dB,"
                  " treble share %+.1f dB off the voice's"
                  % (cid, lifted[cid], treble[cid][0], treble[cid][1]))
    print("sha256 of the clip set (601..682 in order): %s" % digest)
    off = [r for r in said
           if not LEVEL_FLOOR_DB <= r[3] <= TARGET_DB + 0.05 or r[5] > -0.5]
    for r in off:
        print("WARNING: clip %d is %.1f dBFS active, peak %.1f dBFS"
              % (r[0], r[3], r[5]), file=sys.stderr)
    return 1 if off else 0


if __name__ == "__main__":
    sys.exit(main())

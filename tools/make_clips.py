#!/usr/bin/env python3
"""Render Morrowby's built-in clips 601..682 and the table in docs/clips.md.

Spoken clips come from Festival's HTS voice cmu_us_slt_arctic_hts; sox only
resamples them to 22050 Hz.  Everything after that (trimming, loudness,
fades, 8-bit conversion, the WAV layout) happens here, with no randomness,
so two runs give byte-identical files.

Every clip is an 8-bit unsigned mono PCM WAV at 22050 Hz holding exactly a
"fmt " chunk and a "data" chunk (plus one 0x80 pad byte after odd data).
"""

import argparse
import array
import collections
import math
import os
import struct
import subprocess
import sys
import tempfile

RATE = 22050
VOICE = "cmu_us_slt_arctic_hts"
SPEED = 1.1            # HTS speech rate; 1.0 is the voice's own pace
TARGET_DB = -18.0      # active RMS level of every spoken clip, dBFS
PEAK_LIMIT_DB = -1.0   # no spoken sample louder than this
TRIM_DB = -48.0        # envelope level (after levelling) that counts as sound
ENV_WINDOW = 110       # 5 ms envelope window
MARGIN = 110           # 5 ms kept beyond the first/last sound
MIN_SOUND = 220        # 10 ms: anything shorter above TRIM_DB is a blip
FADE = 88              # 4 ms raised-cosine fade at each end
BLOCK = 220            # 10 ms blocks for the active level
GATE_DB = 30.0         # blocks this far below the loudest one are not "active"
LOW_CUTOFF = 300.0     # Hz; the band where the voice's thumps sit
LOW_HEADROOM_DB = 6.0  # how far the low band may rise over its typical level
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


class Spoken:
    """A clip rendered by the voice.

    words: what the clip says (for the table).
    text:  what the voice is given.
    part:  if set, a slice of the words in `text`; only those are kept,
           cut at the word boundaries the voice reports.  This gives a
           word the prosody it has inside a sentence, or steers round a
           bad rendering of the word said alone.
    """

    def __init__(self, words, text=None, part=None):
        self.words = words
        self.text = text if text is not None else words
        self.part = part


def catalogue():
    """id -> Spoken, or a string naming a clip made here ("gap", ...)."""
    clips = {}
    for i, word in enumerate(ONES):
        clips[601 + i] = Spoken(word)
    for i, word in enumerate(ORDINALS):
        clips[620 + i] = Spoken(word)
    # Said alone, "fifth" overloads the voice's filter (the vowel clips).
    clips[624] = Spoken("fifth", "May fifth.", part=slice(1, None))
    clips[639] = Spoken("twentieth")
    clips[640] = Spoken("thirtieth")
    for i, month in enumerate(MONTHS):
        clips[641 + i] = Spoken(month)
    for i, day in enumerate(DAYS):
        clips[653 + i] = Spoken(day)
    for i, tens in enumerate(["twenty", "thirty", "forty", "fifty"]):
        clips[660 + i] = Spoken(tens)
    clips[664] = Spoken("AM", "A M")
    clips[665] = Spoken("PM", "P M")
    clips[666] = Spoken("hundred hours")
    clips[667] = Spoken("o'clock")
    clips[668] = Spoken("the")
    # Spare greetings; nothing plays them yet.
    clips[669] = Spoken("Good morning")
    clips[670] = Spoken("Good afternoon")
    clips[673] = Spoken("Good evening")
    clips[674] = Spoken("Hello")
    clips[675] = Spoken("Welcome")
    # Two takes of "It's": said alone (falling, final), and cut from the
    # start of a longer sentence (level, leading on).
    clips[671] = Spoken("It's")
    clips[672] = Spoken("It's", "It's ten o'clock.", part=slice(0, 1))
    clips[676] = Spoken("of")
    clips[677] = "gap"
    clips[678] = "silence"
    clips[679] = "chime"
    clips[680] = Spoken("Happy New Year!")
    clips[681] = Spoken("Merry Christmas!")
    clips[682] = Spoken("oh")
    assert sorted(clips) == list(range(601, 683))
    return clips


# ---------------------------------------------------------------- the voice

def scheme_string(s):
    return '"' + s.replace("\\", "\\\\").replace('"', '\\"') + '"'


def render_voice(spoken, workdir):
    """Run Festival once for all spoken clips.

    Returns id -> (path of the voice's WAV, [(word, end seconds), ...]).
    """
    lines = [
        "(voice_%s)" % VOICE,
        "(set! hts_engine_params (append hts_engine_params"
        " (list (list \"-r\" %s))))" % repr(SPEED),
        "(define (morrowby_render text wavfile wordfile)",
        "  (let ((utt (SynthText text)) (fd (fopen wordfile \"w\")))",
        "    (utt.save.wave utt wavfile 'riff)",
        "    (mapcar (lambda (w) (format fd \"%s %f\\n\" (item.name w)",
        "                                 (item.feat w \"word_end\")))",
        "            (utt.relation.items utt 'Word))",
        "    (fclose fd)))",
    ]
    out = {}
    for cid, clip in sorted(spoken.items()):
        wav = os.path.join(workdir, "%d-voice.wav" % cid)
        words = os.path.join(workdir, "%d-words.txt" % cid)
        lines.append("(morrowby_render %s %s %s)" % (
            scheme_string(clip.text), scheme_string(wav),
            scheme_string(words)))
        out[cid] = (wav, words)
    script = os.path.join(workdir, "render.scm")
    with open(script, "w") as f:
        f.write("\n".join(lines) + "\n")
    subprocess.run(["festival", "-b", script], check=True,
                   stdout=subprocess.DEVNULL)
    result = {}
    for cid, (wav, words) in out.items():
        if not os.path.exists(wav):
            raise RuntimeError("the voice wrote nothing for clip %d" % cid)
        ends = []
        with open(words) as f:
            for line in f:
                name, end = line.rsplit(None, 1)
                ends.append((name, float(end)))
        result[cid] = (wav, ends)
    return result


def resample(path, workdir):
    """Mono 22050 Hz float samples of a WAV file, via sox (no dither)."""
    raw = path + ".f32"
    subprocess.run(["sox", "-D", "-R", "-V1", path,
                    "-t", "raw", "-e", "floating-point", "-b", "32", "-L",
                    raw, "channels", "1", "rate", "-v", str(RATE)],
                   check=True)
    samples = array.array("f")
    with open(raw, "rb") as f:
        samples.frombytes(f.read())
    if sys.byteorder != "little":
        samples.byteswap()
    return [float(x) for x in samples]


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


def fade_ends(x, length=FADE):
    """Raised-cosine fade in and out; the first and last samples become 0."""
    x = list(x)
    n = min(length, len(x) // 2)
    for i in range(n):
        w = 0.5 - 0.5 * math.cos(math.pi * i / n)
        x[i] *= w
        x[-1 - i] *= w
    return x


def level(x):
    """Scale to TARGET_DB active RMS, keeping the peak at or below
    PEAK_LIMIT_DB.  Returns (samples, True if the peak limit cut the gain)."""
    gain = 10.0 ** (TARGET_DB / 20.0) / active_rms(x)
    peak = max(abs(v) for v in x)
    limit = 10.0 ** (PEAK_LIMIT_DB / 20.0)
    limited = peak * gain > limit
    if limited:
        gain = limit / peak
    return [v * gain for v in x], limited


def cut_words(x, ends, part):
    """Keep the words `part` (a slice) of a rendering whose words end at
    the times `ends` (seconds)."""
    first, stop = part.start or 0, part.stop
    a = int(round(ends[first - 1] * RATE)) if first > 0 else 0
    b = int(round(ends[stop - 1] * RATE)) if stop is not None else len(x)
    return x[a:b]


def lowpass(x, cutoff=LOW_CUTOFF):
    """Zero-phase low-pass: a 2nd-order Butterworth run forwards and back."""
    w = 2.0 * math.pi * cutoff / RATE
    alpha = math.sin(w) / math.sqrt(2.0)
    cos = math.cos(w)
    a0 = 1.0 + alpha
    b0 = b2 = (1.0 - cos) / 2.0 / a0
    b1 = (1.0 - cos) / a0
    a1, a2 = -2.0 * cos / a0, (1.0 - alpha) / a0

    def run(seq):
        out, x1, x2, y1, y2 = [], 0.0, 0.0, 0.0, 0.0
        for v in seq:
            y = b0 * v + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2
            x2, x1, y2, y1 = x1, v, y1, y
            out.append(y)
        return out

    return run(run(x)[::-1])[::-1]


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


def make_spoken(x):
    """Voice output (float, 22050 Hz) -> finished float samples."""
    if max(abs(v) for v in x) >= 0.98:
        raise RuntimeError("the voice clipped; try other words around it")
    x = tame_thumps(x)
    x, _ = level(x)          # rough level first so TRIM_DB means the same
    x = trim(x)              # for every clip
    x, limited = level(x)    # exact level of what is kept
    return fade_ends(x), limited


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


def write_table(path, rows):
    lines = [
        "# Built-in clips",
        "",
        "Written by `tools/make_clips.sh`; do not edit by hand.",
        "",
        "All clips: 8-bit unsigned mono PCM WAV, 22050 Hz.  Levels are dB",
        "relative to a full-scale square wave (RMS 128 steps from 128).",
        "*Active* RMS counts only the 10 ms blocks within %g dB of the"
        % GATE_DB,
        "loudest block; spoken clips are levelled to %g dBFS on it." % TARGET_DB,
        "",
        "| id | words | samples | seconds | RMS dBFS (active) "
        "| RMS dBFS (whole) |",
        "|---:|---|---:|---:|---:|---:|",
    ]
    for cid, words, n, act, whole in rows:
        def fmt(v):
            return "—" if v == float("-inf") else "%.1f" % v
        lines.append("| %d | %s | %d | %.3f | %s | %s |" % (
            cid, words, n, n / RATE, fmt(act), fmt(whole)))
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--out", default=os.path.join(root, "resources", "clips"))
    ap.add_argument("--doc", default=os.path.join(root, "docs", "clips.md"))
    args = ap.parse_args()

    clips = catalogue()
    spoken = {k: v for k, v in clips.items() if isinstance(v, Spoken)}
    samples = {}
    limited = []
    with tempfile.TemporaryDirectory(prefix="morrowby-clips-") as work:
        voiced = render_voice(spoken, work)
        for cid, clip in sorted(spoken.items()):
            wav, ends = voiced[cid]
            x = resample(wav, work)
            if clip.part is not None:
                x = cut_words(x, [end for _, end in ends], clip.part)
            try:
                x, was_limited = make_spoken(x)
            except RuntimeError as e:
                raise SystemExit("clip %d (%r): %s" % (cid, clip.text, e))
            samples[cid] = to_u8(x)
            if was_limited:
                limited.append(cid)
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
                     db(whole_rms(x))))
    write_table(args.doc, rows)

    levels = [r[3] for r in rows if r[0] in spoken]
    print("wrote %d clips to %s" % (len(rows), args.out))
    print("spoken active RMS: %.2f .. %.2f dBFS (target %g)" % (
        min(levels), max(levels), TARGET_DB))
    off = [r for r in rows if r[0] in spoken and abs(r[3] - TARGET_DB) > 2.0]
    for cid in limited:
        print("note: clip %d gain held back by the peak limit" % cid)
    for r in off:
        print("WARNING: clip %d is %.1f dBFS, more than 2 dB off target"
              % (r[0], r[3]), file=sys.stderr)
    return 1 if off else 0


if __name__ == "__main__":
    sys.exit(main())

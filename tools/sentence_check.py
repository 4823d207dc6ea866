#!/usr/bin/env python3
"""How well whole announcements are understood, and how they join.

For each program given (LABEL=PROGRAM, or LABEL=PROGRAM@CLIPS when the
program was built from clips other than resources/clips), 70 announcements
are written with `PROGRAM --say-time --output` under faketime: every weekday,
month and day 1-31, hours 0-23, minutes :00, :05, :10-:19 and more, both
clock styles, 1 January and 25 December.  Each is then

- heard by PocketSphinx (Debian's pocketsphinx and pocketsphinx-en-us) in
  two ways, and scored against what the announcement says (word error rate,
  the words most missed and most added):
  - decoded whole, as one utterance, on a grammar that allows any sequence
    of the clips' words ("one utterance");
  - as a listener meets it: with 0.2 s of silence at each end, cut into
    utterances wherever the recogniser hears a pause (nearly every word is
    followed by the 0.3 s gap), each utterance heard on the same any-word
    grammar ("any") and on one that allows only the announcement's own
    form, any weekday, day, month and time, every part optional as the
    DateLine can leave it out ("shape");
- each word clip alone, cut into utterances the same way, on a grammar of
  exactly one of the clips' words or phrases ("clips alone");
- cut into its clips (found byte for byte in the file), and the pitch at the
  start of each spoken clip compared with the pitch at the end of the one
  before: a "restart" is a word that begins more than 3 semitones higher.

Run it through tools/sentence_check.sh, which installs what it needs.
"""

import argparse
import collections
import datetime
import os
import subprocess
import sys
import tempfile

import numpy as np

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from spoken_date import OPENER, OPENERS, PAUSE, SILENT_CLIPS, spoken_clips  # noqa: E402

RATE = 22050
MODEL = "/usr/share/pocketsphinx/model/en-us"
RESTART_SEMITONES = 3.0
EDGE_FRAMES = 5          # voiced 5 ms frames whose median is a word's edge pitch
LONG_SILENCE = 0.2       # seconds of rest between two words that make a gap

# What each clip says, as the recogniser spells it.
WORDS = {682: "oh"}
for _i, _w in enumerate("one two three four five six seven eight nine ten eleven "
                        "twelve thirteen fourteen fifteen sixteen seventeen "
                        "eighteen nineteen".split()):
    WORDS[601 + _i] = _w
for _i, _w in enumerate("first second third fourth fifth sixth seventh eighth "
                        "ninth tenth eleventh twelfth thirteenth fourteenth "
                        "fifteenth sixteenth seventeenth eighteenth nineteenth "
                        "twentieth thirtieth".split()):
    WORDS[620 + _i] = _w
for _i, _w in enumerate("january february march april may june july august "
                        "september october november december".split()):
    WORDS[641 + _i] = _w
for _i, _w in enumerate("sunday monday tuesday wednesday thursday friday "
                        "saturday".split()):
    WORDS[653 + _i] = _w
for _i, _w in enumerate("twenty thirty forty fifty".split()):
    WORDS[660 + _i] = _w
WORDS.update({664: "am", 665: "pm", 666: "hundred hours", 667: "o'clock",
              668: "the", 669: "good morning", 670: "good afternoon",
              671: "it's", 672: "it's", 673: "good evening", 674: "hello",
              675: "welcome", 676: "of", 680: "happy new year",
              681: "merry christmas"})
VOCABULARY = sorted({w for words in WORDS.values() for w in words.split()})
# The clock's letters, as said; the dictionary's "am" is also the verb.
SPELLED = {"am": "EY EH M", "pm": "P IY EH M"}

DATE_LINE_12H = "nyyyyyyyyyy"   # every word but the chime, 12-hour clock
DATE_LINE_24H = "nyyyyyyyyyn"


def moments():
    """70 (moment, DateLine): a spread over weekdays, months, days 1-31,
    hours 0-23 and minutes, half in each clock style, and the two holidays."""
    minutes = [0, 5, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 30, 34,
               42, 45, 50, 59]
    out = []
    for i in range(68):
        day = i % 31 + 1
        month = (5 * i) % 12 + 1
        year = 2025 + i % 3
        while True:
            try:
                date = datetime.date(year, month, day)
            except ValueError:
                month = month % 12 + 1
                continue
            if (month, day) in ((1, 1), (12, 25)):
                month = month % 12 + 1
                continue
            break
        moment = datetime.datetime(year, month, day, (7 * i) % 24,
                                   minutes[(3 * i) % len(minutes)])
        out.append((moment, DATE_LINE_12H if i % 4 < 2 else DATE_LINE_24H))
    out.append((datetime.datetime(2025, 1, 1, 8, 30), DATE_LINE_12H))
    out.append((datetime.datetime(2025, 12, 25, 19, 5), DATE_LINE_24H))
    return out


def clip_samples(folder, cid):
    with open(os.path.join(folder, "%d.wav" % cid), "rb") as f:
        data = f.read()
    n = int.from_bytes(data[40:44], "little")
    return data[44:44 + n]


def render(program, moment, date_line, work, name):
    """The announcement's 8-bit samples, written by the program itself."""
    config = os.path.join(work, "config-" + name)
    os.makedirs(config, exist_ok=True)
    with open(os.path.join(config, "TOLVERA.INI"), "w") as f:
        f.write("[Morrowby]\nDateLine=%s\n" % date_line)
    out = os.path.join(work, name + ".wav")
    env = dict(os.environ, XDG_CONFIG_HOME=config, HOME=config)
    stamp = moment.strftime("%Y-%m-%d %H:%M:%S")
    subprocess.run(["faketime", "-f", "@" + stamp, program, "--say-time",
                    "--output", out], env=env, check=True, timeout=60,
                   stdin=subprocess.DEVNULL)
    with open(out, "rb") as f:
        data = f.read()
    n = int.from_bytes(data[40:44], "little")
    return out, data[44:44 + n]


def place(samples, expected, folder):
    """[(clip, start, end)] of the spoken clips of `expected` in `samples`,
    found byte for byte in order (either opener; silent clips and the pause
    are skipped)."""
    placed, at = [], 0
    for cid in expected:
        if cid == PAUSE or cid in SILENT_CLIPS:
            continue
        found = None
        for choice in (OPENERS if cid == OPENER else (cid,)):
            clip = clip_samples(folder, choice)
            # A clip lies after at most two gaps and the pause.
            where = samples.find(clip, at, at + len(clip) + 2 * 6640 + 8000)
            if where >= 0 and (found is None or where < found[1]):
                found = (choice, where, where + len(clip))
        if found is None:
            raise SystemExit("clip %s not found where due in the announcement"
                             % cid)
        placed.append(found)
        at = found[2]
    return placed


# ------------------------------------------------------------------ pitch

def pitch_track(x, lo=75.0, hi=450.0, hop=110, width=662, threshold=0.15):
    """YIN: one F0 in Hz (or 0 for unvoiced) every `hop` samples."""
    tmin, tmax = int(RATE / hi), int(RATE / lo)
    x = np.concatenate([x, np.zeros(width + tmax)])
    sq = np.concatenate([[0.0], np.cumsum(x * x)])
    out = []
    for start in range(0, len(x) - width - tmax, hop):
        frame = x[start:start + width + tmax]
        head = frame[:width]
        e0 = sq[start + width] - sq[start]
        if e0 / width < 10 ** (-40 / 10):        # under -40 dBFS: not voiced
            out.append(0.0)
            continue
        cross = np.correlate(frame, head, "valid")      # lags 0..tmax
        lagged = sq[start + width:start + width + tmax + 1] - sq[start:start + tmax + 1]
        d = e0 + lagged - 2 * cross
        d[0] = 0.0
        cum = np.cumsum(d[1:])
        cmnd = np.ones_like(d)
        cmnd[1:] = d[1:] * np.arange(1, len(d)) / np.maximum(cum, 1e-12)
        f0 = 0.0
        tau = tmin
        while tau <= tmax:
            if cmnd[tau] < threshold:
                while tau + 1 <= tmax and cmnd[tau + 1] < cmnd[tau]:
                    tau += 1
                f0 = RATE / tau
                break
            tau += 1
        out.append(f0)
    return out


_edges = {}


def edge_pitches(samples):
    """(F0 where the clip's voice starts, F0 where it ends), in Hz."""
    key = bytes(samples)
    if key not in _edges:
        x = (np.frombuffer(key, dtype=np.uint8).astype(float) - 128) / 128
        voiced = [f for f in pitch_track(x) if f > 0]
        if len(voiced) < EDGE_FRAMES:
            _edges[key] = None
        else:
            _edges[key] = (float(np.median(voiced[:EDGE_FRAMES])),
                           float(np.median(voiced[-EDGE_FRAMES:])))
    return _edges[key]


def restarts(samples, placed):
    """[(restarted?, after a gap?)] for each spoken clip after the first."""
    out = []
    for (a, a0, a1), (b, b0, b1) in zip(placed, placed[1:]):
        ea, eb = edge_pitches(samples[a0:a1]), edge_pitches(samples[b0:b1])
        if ea is None or eb is None:
            continue
        jump = 12 * np.log2(eb[0] / ea[1])
        out.append((jump > RESTART_SEMITONES, b0 - a1 >= LONG_SILENCE * RATE))
    return out


# --------------------------------------------------------------- hearing

def write_grammar(work):
    dictionary = {}
    with open(os.path.join(MODEL, "cmudict-en-us.dict")) as f:
        for line in f:
            word, _, phones = line.strip().partition(" ")
            base = word.split("(")[0]
            if base in VOCABULARY and base not in SPELLED:
                dictionary.setdefault(base, []).append(phones)
    for word, phones in SPELLED.items():
        dictionary[word] = [phones]
    missing = [w for w in VOCABULARY if w not in dictionary]
    if missing:
        raise SystemExit("no pronunciation for: " + " ".join(missing))
    dict_path = os.path.join(work, "words.dict")
    with open(dict_path, "w") as f:
        for word in VOCABULARY:
            for k, phones in enumerate(dictionary[word]):
                f.write("%s %s\n" % (word if k == 0 else "%s(%d)" % (word, k + 1),
                                     phones))
    gram_path = os.path.join(work, "words.gram")
    with open(gram_path, "w") as f:
        f.write("#JSGF V1.0;\ngrammar words;\npublic <any> = <word>+;\n")
        f.write("<word> = %s;\n" % " | ".join(VOCABULARY))
    return dict_path, gram_path


def shape_grammar(work):
    """The announcement's own form: the parts in their order, each of them
    optional (the DateLine may leave any out, and the recogniser may cut
    the sentence at any gap, as between the hour and the minutes), or one
    of the holidays' clips."""
    def alt(words):
        return "(%s)" % " | ".join(words)
    ones = [WORDS[601 + i] for i in range(19)]
    units, teens = ones[:9], ones[9:]
    tens = [WORDS[660 + i] for i in range(4)]
    ordinals = [WORDS[620 + i] for i in range(21)]
    rules = {
        "weekday": alt(WORDS[653 + i] for i in range(7)),
        "month": alt(WORDS[641 + i] for i in range(12)),
        "day": "(%s | (twenty | thirty) %s)" % (alt(ordinals),
                                                  alt(ordinals[:9])),
        # 12-hour: the hour after midnight is twelve.
        "minutes": "(%s | %s [%s])" % (alt(ones), alt(tens), alt(units)),
        "time12": "([%s] [o'clock | <minutes>] [am | pm])" % alt(ones[:12]),
        # 24-hour: "oh" before hours under ten and minutes under ten.
        "hour24": "(oh (oh | %s) | %s | twenty [one | two | three])"
                  % (alt(units), alt(teens)),
        "minutes24": "(hundred hours | oh %s | %s | %s [%s])"
                     % (alt(units), alt(teens), alt(tens), alt(units)),
        "time24": "([<hour24>] [<minutes24>])",
        "date": "([it's] [<weekday>] [the] [<day>] [of] [<month>] "
                "[<time12> | <time24>])",
    }
    path = os.path.join(work, "shape.gram")
    with open(path, "w") as f:
        f.write("#JSGF V1.0;\ngrammar shape;\n")
        f.write("public <said> = <date> | %s | %s;\n" % (WORDS[680], WORDS[681]))
        for name, rule in rules.items():
            f.write("<%s> = %s;\n" % (name, rule))
    return path


def alone_grammar(work, phrases):
    """Exactly one of `phrases`."""
    path = os.path.join(work, "alone.gram")
    with open(path, "w") as f:
        f.write("#JSGF V1.0;\ngrammar alone;\npublic <clip> = %s;\n"
                % " | ".join("(%s)" % p for p in sorted(set(phrases))))
    return path


def hear_segmenting(wavs, work, dict_path, gram_path):
    """What PocketSphinx hears in each file as a listener would meet it:
    with 0.2 s of silence at each end, cut into utterances at the pauses
    its own voice activity detector finds (its default options), each
    decoded on `gram_path`; the utterances' words in order."""
    folder = os.path.join(work, "padded")
    os.makedirs(folder, exist_ok=True)
    heard = []
    for k, wav in enumerate(wavs):
        padded = os.path.join(folder, "p%03d.wav" % k)
        subprocess.run(["sox", "-D", "-V1", wav, "-r", "16000", "-b", "16",
                        "-e", "signed-integer", padded, "pad", "0.2", "0.2"],
                       check=True)
        out = subprocess.run(
            ["pocketsphinx_continuous", "-infile", padded,
             "-hmm", os.path.join(MODEL, "en-us"), "-dict", dict_path,
             "-jsgf", gram_path,
             "-logfn", os.path.join(work, "pocketsphinx-continuous.log")],
            check=True, capture_output=True, text=True).stdout
        heard.append([w.split("(")[0] for w in out.split()])
    return heard


def hear(wavs, work, dict_path, gram_path):
    """What PocketSphinx hears in each file, as a list of words; each file is
    decoded whole, as one utterance."""
    folder = os.path.join(work, "raw")
    os.makedirs(folder, exist_ok=True)
    names = []
    for k, wav in enumerate(wavs):
        name = "u%03d" % k
        subprocess.run(["sox", "-D", "-V1", wav, "-r", "16000", "-b", "16",
                        "-e", "signed-integer", "-t", "raw",
                        os.path.join(folder, name + ".raw")], check=True)
        names.append(name)
    ctl = os.path.join(work, "files.ctl")
    with open(ctl, "w") as f:
        f.write("\n".join(names) + "\n")
    hyp = os.path.join(work, "heard.hyp")
    subprocess.run(["pocketsphinx_batch", "-hmm", os.path.join(MODEL, "en-us"),
                    "-dict", dict_path, "-jsgf", gram_path, "-ctl", ctl,
                    "-cepdir", folder, "-cepext", ".raw", "-adcin", "yes",
                    "-adchdr", "0", "-samprate", "16000", "-hyp", hyp,
                    "-logfn", os.path.join(work, "pocketsphinx.log")],
                   check=True)
    heard = {}
    with open(hyp) as f:
        for line in f:
            text, _, tail = line.rstrip().rpartition(" (")
            heard[tail.split()[0]] = [w.split("(")[0] for w in text.split()]
    return [heard.get(name, []) for name in names]


def align(ref, hyp):
    """(errors, [reference words missed], [words heard that were not said])
    of the Levenshtein alignment; a wrong word counts in both lists."""
    n, m = len(ref), len(hyp)
    cost = [[0] * (m + 1) for _ in range(n + 1)]
    for i in range(n + 1):
        cost[i][0] = i
    for j in range(m + 1):
        cost[0][j] = j
    for i in range(1, n + 1):
        for j in range(1, m + 1):
            cost[i][j] = min(cost[i - 1][j] + 1, cost[i][j - 1] + 1,
                             cost[i - 1][j - 1] + (ref[i - 1] != hyp[j - 1]))
    missed, added, i, j = [], [], n, m
    while i > 0 or j > 0:
        if i > 0 and j > 0 and cost[i][j] == cost[i - 1][j - 1] + (ref[i - 1] != hyp[j - 1]):
            if ref[i - 1] != hyp[j - 1]:
                missed.append(ref[i - 1])
                added.append(hyp[j - 1])
            i, j = i - 1, j - 1
        elif i > 0 and cost[i][j] == cost[i - 1][j] + 1:
            missed.append(ref[i - 1])
            i -= 1
        else:
            added.append(hyp[j - 1])
            j -= 1
    return cost[n][m], missed, added


# ------------------------------------------------------------------- main

METHODS = [("utterance", "one utterance"), ("any", "any, segmenting"),
           ("shape", "shape, segmenting")]


def score(words, heard, work, method):
    """Word error rate and what went wrong, over all announcements; the
    words said and heard of each are written to heard-METHOD.txt in `work`."""
    errors = total = right = 0
    missed, added, said = (collections.Counter() for _ in range(3))
    with open(os.path.join(work, "heard-%s.txt" % method), "w") as f:
        for k, (ref, hyp) in enumerate(zip(words, heard)):
            e, lost, extra = align(ref, hyp)
            errors += e
            total += len(ref)
            right += e == 0
            missed.update(lost)
            added.update(extra)
            said.update(ref)
            f.write("a%03d %d\n  said:  %s\n  heard: %s\n"
                    % (k, e, " ".join(ref), " ".join(hyp)))
    return {"wer": 100.0 * errors / total, "right": right, "words": total,
            "missed": missed, "added": added, "said": said}


def check(label, program, clips, work, pitch_only):
    cases = moments()
    wavs, words, joins = [], [], []
    for k, (moment, date_line) in enumerate(cases):
        expected = spoken_clips(moment, date_line)
        wav, samples = render(program, moment, date_line, work, "a%03d" % k)
        placed = place(samples, expected, clips)
        wavs.append(wav)
        words.append(" ".join(WORDS[c] for c, _, _ in placed).split())
        joins += restarts(samples, placed)
    result = {"label": label, "joins": joins, "cases": len(cases)}
    if pitch_only:
        return result
    dict_path, any_path = write_grammar(work)
    result["utterance"] = score(words, hear(wavs, work, dict_path, any_path),
                                work, "utterance")
    result["any"] = score(words, hear_segmenting(wavs, work, dict_path,
                                                 any_path), work, "any")
    result["shape"] = score(words, hear_segmenting(
        wavs, work, dict_path, shape_grammar(work)), work, "shape")
    # And each word clip on its own, as the recogniser hears it.
    alone = sorted(c for c in WORDS if c not in (669, 670, 673, 674, 675))
    heard = hear_segmenting(
        [os.path.join(clips, "%d.wav" % c) for c in alone], work, dict_path,
        alone_grammar(work, [WORDS[c] for c in alone]))
    result["alone"] = [(c, WORDS[c], " ".join(h)) for c, h in zip(alone, heard)]
    return result


def share(joins, after_gap=None):
    pick = [r for r, gap in joins if after_gap is None or gap == after_gap]
    return (100.0 * sum(pick) / len(pick) if pick else 0.0), len(pick)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("sets", nargs="*", metavar="LABEL=PROGRAM[@CLIPS]",
                    help="default: now=build/morrowby@resources/clips")
    ap.add_argument("--keep", help="keep the rendered files in this folder")
    ap.add_argument("--pitch-only", action="store_true",
                    help="skip the recogniser")
    args = ap.parse_args()
    sets = args.sets or ["now=%s" % os.path.join(ROOT, "build", "morrowby")]
    results = []
    for given in sets:
        label, _, rest = given.partition("=")
        program, _, clips = rest.partition("@")
        clips = clips or os.path.join(ROOT, "resources", "clips")
        if args.keep:
            work = os.path.join(args.keep, label)
            os.makedirs(work, exist_ok=True)
            results.append(check(label, program, clips, work, args.pitch_only))
        else:
            with tempfile.TemporaryDirectory(prefix="morrowby-sentences-") as work:
                results.append(check(label, program, clips, work, args.pitch_only))

    def most(counter, of=None):
        worst = sorted(counter.items(), key=lambda kv: (-kv[1], kv[0]))[:8]
        return ", ".join('"%s" %d%s' % (w, n, "" if of is None else
                                         " of %d" % of[w])
                         for w, n in worst) or "none"

    print("| set | %s | clips alone | pitch restarts > %g semitones: all "
          "joins | after a gap | straight on |"
          % (" | ".join("%s: word error rate (fully right)" % title
                        for _, title in METHODS), RESTART_SEMITONES))
    print("|---|" + "---:|" * (len(METHODS) + 4))
    for r in results:
        restart = [share(r["joins"], g) for g in (None, True, False)]
        heard = ["%.1f %% (%d of %d)" % (r[m]["wer"], r[m]["right"],
                                         r["cases"]) if m in r else "—"
                 for m, _ in METHODS]
        alone = ("%d of %d" % (sum(w == h for _, w, h in r["alone"]),
                               len(r["alone"])) if "alone" in r else "—")
        print("| %s | %s | %s | %s |" % (
            r["label"], " | ".join(heard), alone,
            " | ".join("%.0f %% of %d" % s for s in restart)))
    for r in results:
        if "alone" not in r:
            continue
        for m, title in METHODS:
            print("%s, %s: most missed: %s; most added: %s" % (
                r["label"], title, most(r[m]["missed"], r[m]["said"]),
                most(r[m]["added"])))
        wrong = [(c, w, h) for c, w, h in r["alone"] if w != h]
        print("%s, clips heard alone: %d of %d right%s" % (
            r["label"], len(r["alone"]) - len(wrong), len(r["alone"]),
            "".join('; %d "%s" as "%s"' % t for t in wrong)))
    return 0


if __name__ == "__main__":
    sys.exit(main())

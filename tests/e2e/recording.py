"""What reached the null sink: a continuous recording of its monitor, cut into one
segment per run, and the analysis that says which sound a segment holds."""
import array
import math
import os
import subprocess
import time
import wave

RATE = 48000
FRAME_BYTES = 4  # s16le, two channels
SILENCE_LEVEL = 100  # the null sink is digitally silent; anything above this is sound
BLOCK = RATE // 100  # 10 ms
BRIDGE_SECONDS = 0.1  # quieter stretches shorter than this stay inside one sound


class Recorder:
    """parec on the sink's monitor for the whole session, appending to one raw file.

    The null sink keeps its own clock and delivers silence when nothing plays, so a
    frame's offset in the file is a point on a steady timeline: `position()` read
    before a spawn marks where that run's sound can start at the earliest."""

    PAREC = ['parec', '-d', 'greet.monitor', '--format=s16le', '--rate=%d' % RATE,
             '--channels=2', '--raw', '--latency-msec=20']
    # The same from a PipeWire sink, in PipeWire's own terms.
    PW_RECORD = ['pw-record', '--target', 'greet', '-P', '{ stream.capture.sink=true }',
                 '--rate', str(RATE), '--channels', '2', '--format', 's16', '--latency', '20ms', '-']

    def __init__(self, path, env, track_pid, command=PAREC):
        self.path = path
        self._out = open(path, 'wb')
        self._proc = subprocess.Popen(command, stdout=self._out, stderr=subprocess.DEVNULL, env=env)
        track_pid(self._proc.pid)
        if not self.wait_for(RATE // 10, limit=15):
            raise RuntimeError('%s records nothing from the sink greet' % command[0])

    def position(self):
        """Frames recorded so far."""
        return os.path.getsize(self.path) // FRAME_BYTES

    def wait_for(self, frames, limit):
        """Waits until at least `frames` frames are on disk; False after `limit` s."""
        deadline = time.monotonic() + limit
        while self.position() < frames:
            if self._proc.poll() is not None or time.monotonic() > deadline:
                return False
            time.sleep(0.01)
        return True

    def settle(self, seconds=0.3):
        """Waits until the sink's output of the last `seconds` is recorded too, and
        returns the position then: what has left a client by now is in the file."""
        target = self.position() + int(seconds * RATE)
        if not self.wait_for(target, limit=10 + seconds):
            raise RuntimeError('the recording stopped growing')
        return self.position()

    def read(self, start, end):
        """The left channel of frames [start, end) as 16-bit samples."""
        with open(self.path, 'rb') as f:
            f.seek(start * FRAME_BYTES)
            raw = f.read((end - start) * FRAME_BYTES)
        samples = array.array('h')
        samples.frombytes(raw[:len(raw) // FRAME_BYTES * FRAME_BYTES])
        return samples[::2]

    def stop(self):
        if self._proc.poll() is None:
            self._proc.terminate()
            self._proc.wait(timeout=5)
        self._out.close()


class Span:
    """One stretch of sound: where it starts (seconds into its segment), how long it
    lasts, its frequency by zero crossings and how much of its energy lies there."""

    def __init__(self, samples, first, last):
        self.start = first / RATE
        self.duration = (last - first) / RATE
        part = samples[first:last]
        self.frequency = zero_crossing_frequency(part)
        self.purity = tone_purity(part, self.frequency) if self.frequency else 0.0

    def __repr__(self):
        return '%.0f Hz for %.3f s at %.3f s (purity %.2f)' % (
            self.frequency, self.duration, self.start, self.purity)


class Sound:
    """Everything audible in one segment."""

    def __init__(self, samples):
        self.samples = samples
        self.spans = [Span(samples, a, b) for a, b in audible_stretches(samples)]

    @property
    def silent(self):
        return not self.spans

    @property
    def extent(self):
        """Seconds from the first audible sample to the last."""
        if not self.spans:
            return 0.0
        return self.spans[-1].start + self.spans[-1].duration - self.spans[0].start

    def tone(self):
        """The frequency when the segment holds exactly one pure tone, else None."""
        if len(self.spans) == 1 and self.spans[0].purity > 0.8:
            return self.spans[0].frequency
        return None

    def __repr__(self):
        return 'silence' if self.silent else '; '.join(map(repr, self.spans))

    def dropouts(self, shortest=0.002, level=30):
        """Lengths in seconds of the silent gaps inside the audible part: a player
        that fell behind leaves these in the middle of a sound."""
        gaps, quiet = [], 0
        first = int(self.spans[0].start * RATE) if self.spans else 0
        for s in self.samples[first:first + int(self.extent * RATE)]:
            if -level < s < level:
                quiet += 1
                continue
            if quiet >= shortest * RATE:
                gaps.append(quiet / RATE)
            quiet = 0
        return gaps

    def profile(self, window=0.05):
        """Frequency and peak per window across the audible part: where a sound was
        cut, stretched or broken up shows here."""
        if self.silent:
            return 'silence'
        first = int(self.spans[0].start * RATE)
        last = first + int(self.extent * RATE)
        step = int(window * RATE)
        cells = []
        for at in range(first, last, step):
            part = self.samples[at:min(at + step, last)]
            cells.append('%.0f Hz/%d' % (zero_crossing_frequency(part), max(map(abs, part))))
        return ', '.join(cells)

    def save_wav(self, path):
        """The segment as a mono WAV, for listening to a failure."""
        with wave.open(path, 'wb') as out:
            out.setnchannels(1)
            out.setsampwidth(2)
            out.setframerate(RATE)
            out.writeframes(self.samples.tobytes())


def audible_stretches(samples):
    """(first, last) sample indexes of the audible stretches, 10 ms resolution."""
    stretches = []
    bridge = int(BRIDGE_SECONDS * RATE)
    for at in range(0, len(samples), BLOCK):
        block = samples[at:at + BLOCK]
        if max(block) <= SILENCE_LEVEL and -min(block) <= SILENCE_LEVEL:
            continue
        first = at + next(i for i, s in enumerate(block) if abs(s) > SILENCE_LEVEL)
        last = at + max(i for i, s in enumerate(block) if abs(s) > SILENCE_LEVEL) + 1
        if stretches and first - stretches[-1][1] < bridge:
            stretches[-1][1] = last
        else:
            stretches.append([first, last])
    return [tuple(s) for s in stretches]


def zero_crossing_frequency(samples, hysteresis=SILENCE_LEVEL * 3):
    """Cycles per second from upward crossings, with hysteresis against noise."""
    ups = []
    armed = False
    for i, s in enumerate(samples):
        if s < -hysteresis:
            armed = True
        elif armed and s > hysteresis:
            ups.append(i)
            armed = False
    if len(ups) < 3:
        return 0.0
    return (len(ups) - 1) * RATE / (ups[-1] - ups[0])


def tone_purity(samples, frequency):
    """The share of the energy at `frequency` (Goertzel), 1.0 for a clean sine."""
    n = len(samples)
    energy = sum(s * s for s in samples)
    if n == 0 or energy == 0:
        return 0.0
    coeff = 2 * math.cos(2 * math.pi * frequency / RATE)
    s1 = s2 = 0.0
    for x in samples:
        s1, s2 = x + coeff * s1 - s2, s1
    power = s1 * s1 + s2 * s2 - coeff * s1 * s2
    return min(1.0, 2 * power / (n * energy))


def same_sound(sound, reference, tolerance=0.1):
    """True when `sound` has the length and the pitch of `reference` (a recording of
    the same file played another way)."""
    if sound.silent or reference.silent:
        return False
    if abs(sound.extent - reference.extent) > max(0.05, tolerance * reference.extent):
        return False
    heard = max(sound.spans, key=lambda s: s.duration).frequency
    expected = max(reference.spans, key=lambda s: s.duration).frequency
    return abs(heard - expected) <= tolerance * expected

"""Song files for the runs: one clean test tone per slot, and the broken or odd
things a song slot can name."""
import math
import os
import struct

TONE_RATE = 44100
TONE_SECONDS = 0.4


def slot_frequency(slot):
    """Each slot gets its own pitch, 200 Hz apart, so a recording names the slot."""
    return 300 + 200 * slot


def slot_of_tone(frequency):
    """The slot whose tone has this frequency, or None."""
    if frequency is None:
        return None
    slot = round((frequency - 300) / 200)
    return slot if abs(frequency - slot_frequency(slot)) < 0.05 * slot_frequency(slot) else None


def tone_frames(frequency, seconds=TONE_SECONDS, rate=TONE_RATE, amplitude=12000):
    """16-bit mono PCM of a sine with 5 ms fades (no clicks at the edges)."""
    count = int(seconds * rate)
    fade = rate // 200
    out = bytearray()
    for i in range(count):
        gain = min(1.0, i / fade, (count - 1 - i) / fade)
        out += struct.pack('<h', int(amplitude * gain * math.sin(2 * math.pi * frequency * i / rate)))
    return bytes(out)


def wav_image(frames, rate=TONE_RATE, data_size=None, riff_size=None):
    """A PCM WAV image; `data_size`/`riff_size` override what the header claims."""
    data_size = len(frames) if data_size is None else data_size
    riff_size = 36 + data_size if riff_size is None else riff_size
    header = struct.pack('<4sI4s4sIHHIIHH4sI', b'RIFF', riff_size & 0xFFFFFFFF, b'WAVE',
                         b'fmt ', 16, 1, 1, rate, rate * 2, 2, 16,
                         b'data', data_size & 0xFFFFFFFF)
    return header + frames


def write_tone(path, frequency, seconds=TONE_SECONDS):
    with open(path, 'wb') as f:
        f.write(wav_image(tone_frames(frequency, seconds)))
    return path


def write_slot_tones(folder, count=10):
    """tone0.wav .. tone<count-1>.wav, one pitch per slot; returns their paths."""
    return [write_tone(os.path.join(folder, 'tone%d.wav' % slot), slot_frequency(slot))
            for slot in range(count)]


def _put(name, content):
    def make(folder):
        path = os.path.join(folder, name)
        with open(path, 'wb') as f:
            f.write(content() if callable(content) else content)
        return path
    return make


def _tone_wav(**header):
    return lambda: wav_image(tone_frames(slot_frequency(1)), **header)


def _fifo(folder):
    path = os.path.join(folder, 'pipe.wav')
    os.mkfifo(path)
    return path


def _folder(folder):
    path = os.path.join(folder, 'folder.wav')
    os.mkdir(path)
    return path


# What a song slot can name, and what should play then: 'default' (the theme's
# warning), 'tone' (slot 1's tone, whole), 'half tone', or 'tone or default'. Each
# maker puts the thing in a folder and returns the slot text.
BAD_SONGS = [
    ('missing file', 'default', lambda folder: os.path.join(folder, 'nosuch.wav')),
    ('folder', 'default', _folder),
    ('FIFO', 'default', _fifo),
    ('/dev/zero', 'default', lambda folder: '/dev/zero'),
    ('text file', 'default', _put('notes.wav', b'These are not samples.\n' * 40)),
    ('WAV cut inside its header', 'default', _put('cut-header.wav', lambda: _tone_wav()()[:30])),
    # Half the samples are there: they play, and nothing waits for the rest.
    ('WAV cut inside its samples', 'half tone',
     _put('cut-data.wav', lambda: _tone_wav()()[:44 + int(TONE_SECONDS * TONE_RATE)])),
    ('WAV claiming gigabytes', 'tone or default',
     _put('huge.wav', _tone_wav(data_size=0xFFFFFF00, riff_size=0xFFFFFFF0))),
    ('spaces and non-ASCII letters', 'tone', _put('Lied für Dich – Ça va.wav', _tone_wav())),
]

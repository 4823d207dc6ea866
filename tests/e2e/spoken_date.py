"""What the program should say for a moment and a DateLine, worked out here from the
announcement's rules (not asked of the program): the clip numbers in playing order,
with OPENER where either opening clip may stand and PAUSE for the wait after days 20
to 31."""
import datetime

OPENER = 'opener'   # 671 or 672, drawn at random
PAUSE = 'pause'     # 1 to 333 ms of silence
OPENERS = (671, 672)
PAUSE_MS = (1, 333)

GAP = 677
CHIME = 679
CHRISTMAS = 681
NEW_YEAR = 680
THE, OF, AM, PM = 668, 676, 664, 665
WHOLE_HOUR_12, WHOLE_HOUR_24 = 667, 666
ZERO = 682
SILENT_CLIPS = (677, 678)  # every sample at the mid level


def number(n):
    """0 to 19 as a clip: zero is said "oh"."""
    return ZERO if n == 0 else 600 + n


def tens(digit):
    """twenty, thirty, forty, fifty."""
    return 658 + digit


def ordinal(day):
    """first to nineteenth, twentieth, thirtieth."""
    return {20: 639, 30: 640}.get(day, 619 + day)


def spoken_clips(moment, date_line):
    """`moment` is a datetime (local time of the start); `date_line` the stored text."""
    def on(position):
        return position < len(date_line[:12]) and date_line[position] == 'y'

    said = []
    if on(0):
        said.append(CHIME)
    if (moment.month, moment.day) == (12, 25):
        return said + [CHRISTMAS]
    if (moment.month, moment.day) == (1, 1):
        return said + [NEW_YEAR]
    if on(1):
        said.append(OPENER)
    if on(2):
        said += [653 + moment.isoweekday() % 7, GAP]  # 653 is Sunday
    if on(3):
        said += [THE, GAP]
    if on(4):
        day = moment.day
        if day < 20:
            said.append(ordinal(day))
        elif day in (20, 30):
            said += [ordinal(day), PAUSE]
        else:
            said += [tens(day // 10), ordinal(day % 10), PAUSE]
        said.append(GAP)
    if on(5):
        said += [OF, GAP]
    if on(6):
        said.append(640 + moment.month)  # 641 is January
    if on(7):
        said += _twelve_hour(moment, on(9)) if on(10) else _twenty_four_hour(moment)
    return said


def _twelve_hour(moment, am_pm):
    h, m = moment.hour, moment.minute
    # The hour after midnight is twelve on a twelve-hour clock.
    said = [GAP, GAP, number(h - 12 if h > 12 else (h or 12)), GAP]
    if m == 0:
        said.append(WHOLE_HOUR_12)
    else:
        said += _minutes(m) + [GAP]
    if am_pm:
        said.append(AM if h < 12 else PM)
    return said


def _twenty_four_hour(moment):
    h, m = moment.hour, moment.minute
    said = [GAP, GAP]
    if h < 10:
        said.append(ZERO)
    said += [number(h)] if h < 20 else [tens(2)] + ([number(h - 20)] if h > 20 else [])
    said.append(GAP)
    if m == 0:
        said.append(WHOLE_HOUR_24)
    else:
        # "oh five", but "ten": the zero word comes before one-digit minutes only.
        said += ([ZERO] if m < 10 else []) + _minutes(m)
    return said


def _minutes(m):
    if m < 20:
        return [number(m)]
    return [tens(m // 10)] + ([number(m % 10)] if m % 10 else [])


def parse_moment(text):
    return datetime.datetime.strptime(text, '%Y-%m-%d %H:%M:%S')

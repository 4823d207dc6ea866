"""End-to-end cases of the spoken date and time (PlayMode 3): the real program under a
faked calendar clock, its recording matched clip by clip against what the rules say
(spoken_date), with the silence between clips measured."""
from harness import check, case, expect_files_kept, kept_files


def announce(suite, moment, date_line):
    """One announcing run at `moment` that leaves as soon as the launch window shows;
    checks that the files are as they were and returns the result."""
    config = suite.config()
    config.write_list(suite.tones[:1], mode=3)
    config.write_settings('[Morrowby]\nCurFile=%s\nDateLine=%s\n' % (config.list_path, date_line))
    before = kept_files(config)
    result = suite.run(config, fake_time=moment, leave=True)
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
        report(suite.expect_announcement(announce(suite, moment, date_line), moment, date_line))


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

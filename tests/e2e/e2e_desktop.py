"""End-to-end cases of the program as a desktop meets it: its faults shown once as
desktop notifications, the hourly chime quiet under Do Not Disturb, and a Say the Time
with no word to say. A notification server of the tests' own (notification_server.py)
answers on a session bus of the case's own."""
import json
import os
import subprocess
import tempfile

from harness import Skip, case, check
from servers import wait_until

SERVER = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'notification_server.py')
PYTHON = '/usr/bin/python3'  # Debian's, which python3-gi serves


class Desktop:
    """A session bus with the test notification server on it, and a state folder."""

    def __init__(self, suite, *flags):
        if subprocess.run([PYTHON, '-c', 'import gi'], stderr=subprocess.DEVNULL).returncode:
            raise Skip('python3-gi is not installed (tools/install-deps.sh installs it)')
        self.folder = tempfile.mkdtemp(prefix='desktop-', dir=suite.root)
        self.log = os.path.join(self.folder, 'notifications.jsonl')
        self.bus = suite.servers._start_session_bus(keep=False)
        env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=self.bus)
        self.server = subprocess.Popen([PYTHON, SERVER, '--log', self.log] + list(flags), env=env,
                                       stdout=subprocess.PIPE, universal_newlines=True)
        suite.servers.track(self.server.pid)
        check(self.server.stdout.readline().strip() == 'ready', 'the notification server did not start')

    def env(self):
        return {'DBUS_SESSION_BUS_ADDRESS': self.bus, 'XDG_STATE_HOME': os.path.join(self.folder, 'state')}

    def shown(self):
        if not os.path.exists(self.log):
            return []
        with open(self.log) as f:
            return [json.loads(line) for line in f]

    def stop(self):
        self.server.terminate()
        self.server.wait(10)


@case('a song that cannot be played is shown once as a notification naming it; the next '
      'log-in with the same fault shows none, one with another fault shows that')
def fault_shown_once(suite):
    desktop = Desktop(suite)
    try:
        config = suite.config()
        missing = os.path.join(config.folder, 'no such song.wav')
        config.write_list([missing])
        result = suite.run(config, leave=True, **desktop.env())
        suite.expect_windowed_end(result)
        shown = desktop.shown()
        check(len(shown) == 1, '%d notifications: %r' % (len(shown), shown), result)
        note = shown[0]
        check(note['summary'] == 'Morrowby cannot play a song' and missing in note['body'] and
              'No such file or directory' in note['body'], 'the notification: %r' % note)
        check(note['app'] == 'Morrowby' and note['desktop-entry'] == 'org.morrowby.morrowby',
              'the notification is not named for the program: %r' % note)
        suite.expect_windowed_end(suite.run(config, leave=True, **desktop.env()))
        check(len(desktop.shown()) == 1, 'the same fault was shown again: %r' % desktop.shown())
        other = os.path.join(config.folder, 'another.wav')
        config.write_list([other])
        suite.expect_windowed_end(suite.run(config, leave=True, **desktop.env()))
        shown = desktop.shown()
        check(len(shown) == 2 and other in shown[1]['body'], 'a new fault was not shown: %r' % shown)
    finally:
        desktop.stop()


def chime_config(suite, date_line='yyyyyyyyyyy'):
    config = suite.config()
    config.write_settings('[Morrowby]\nDateLine=%s\n' % date_line)
    return config


def gnome_banners_off(config):
    """GNOME's Do Not Disturb, in a settings keyfile of the run's own."""
    folder = os.path.join(config.folder, 'glib-2.0', 'settings')
    os.makedirs(folder)
    with open(os.path.join(folder, 'keyfile'), 'w') as f:
        f.write('[org/gnome/desktop/notifications]\nshow-banners=false\n')
    return {'GSETTINGS_BACKEND': 'keyfile'}


@case('the hourly chime keeps quiet while GNOME, KDE or Xfce is set to Do Not Disturb '
      'and speaks when none is; asked for by hand the time is spoken through it')
def chime_quiet_when_asked(suite):
    moment = '2025-01-06 18:15:00'
    for flags, gnome, args, quiet in ((['--inhibited'], False, ['--chime'], True),
                                      (['--xfce-dnd'], False, ['--chime'], True),
                                      ([], True, ['--chime'], True),
                                      ([], False, ['--chime'], False),
                                      (['--inhibited'], True, ['--say-time'], False)):
        what = '%s with %s%s: ' % (' '.join(args), ' '.join(flags) or 'no Do Not Disturb',
                                   ', GNOME\'s banners off' if gnome else '')
        desktop = Desktop(suite, *flags)
        config = chime_config(suite)
        env = dict(desktop.env(), **(gnome_banners_off(config) if gnome else {}))
        try:
            result = suite.run(config, fake_time=moment, args=args, **env)
        finally:
            desktop.stop()
        check(result.status == 0 and result.launch_seen is None, what + 'not a plain run', result)
        check(result.sound.silent == quiet, what + ('it spoke' if quiet else 'it kept quiet'), result)
        check(desktop.shown() == [], what + 'it showed %r' % desktop.shown())


@case('Say the Time with no word switched on says so in a notification pointing to '
      'Modify Date Words; the chime with none stays silent and shows nothing')
def nothing_to_say(suite):
    for args, notices in ((['--say-time'], 1), (['--chime'], 0)):
        desktop = Desktop(suite)
        try:
            result = suite.run(chime_config(suite, 'nnnnnnnnnnn'), fake_time='2025-03-04 09:10:00',
                               args=args, **desktop.env())
        finally:
            desktop.stop()
        shown = desktop.shown()
        check(result.status == 0 and result.sound.silent, '%s: not a silent run' % args, result)
        check(len(shown) == notices, '%s: %r' % (args, shown), result)
        if notices:
            check(shown[0]['summary'] == 'Morrowby has nothing to say' and
                  'Modify Date Words' in shown[0]['body'], 'the notice: %r' % shown[0])

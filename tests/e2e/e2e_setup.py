"""End-to-end cases of the launch button and the Setup window, driven with real clicks
and keys (xdotool) on the real program; each runs with no window manager and under
each window manager in turn (harness.window_case); and the installed menu entry with
its actions."""
import configparser
import json
import os
import select
import shlex
import shutil
import socket
import subprocess

from harness import (Skip, case, check, expect_files_kept, expect_quiet_toolkit, expect_stopped,
                     ini_entries, kept_files, stop_with_sigterm, window_case)
from morrowby_run import LAUNCH_NAME, Driver, RunResult, windows_program
from servers import wait_until

# Control rectangles and window sizes in dialog units, as the window layouts give them.
SETUP = (176, 82)
SETUP_CLOSE = (82, 25, 71, 11) + SETUP
SETUP_SET_MODE = (82, 7, 71, 11) + SETUP
SETUP_SAVE_AS = (93, 64, 48, 9) + SETUP
SETUP_DATE_WORDS = (6, 25, 71, 11) + SETUP
DATE_WORDS_TITLE = 'Personalise the Date/Time Announcement'
PLAY_MODE = (243, 126)
PLAY_MODE_SERIALLY = (23, 35, 70, 16) + PLAY_MODE
PLAY_MODE_OK = (179, 104, 50, 14) + PLAY_MODE
PLAY_MODE_CANCEL = (109, 104, 50, 14) + PLAY_MODE
FILE_CHOOSER = 'Select a file'
# Wayland compositors, which place ordinary windows themselves and tell no window's
# parent; the launch window is a layer surface there, found by its pixels.
COMPOSITOR_PLACES = ('sway',)
# Where a window manager cannot place the launch window in the corner from its first
# frame, and why; it is moved there as soon as it is mapped.
FIRST_FRAME_ELSEWHERE = {
    'i3': 'i3 centres every floating window that asks for (0, 0), taking it for one '
          'with no place of its own',
}
# The key of each window manager's own that reaches a window on no task bar (the
# launch window), where one does; the others' window switchers leave such windows out.
SWITCHER_KEYS = {'kwin': 'alt+Tab', 'icewm': 'alt+Tab', 'mutter': 'ctrl+alt+Tab'}
UNTRIED_KEYS = {
    'mutter-wayland': "the compositor's keys come from its own input devices, which XTEST "
                      "does not reach",
}


def on_launch_window(suite, then, config=None, **env_changes):
    """A run (silent, unless `config` says otherwise) in which `then(driver, window,
    notes)` acts on the launch window as soon as it shows; returns the run's result and
    the notes `then` made. `env_changes` go to the program's environment."""
    if config is None:
        config = suite.config()
        config.write_list([], mode=4)
    notes = {}

    def act(driver):
        window = driver.launch_window()
        check(window is not None, 'the launch window never showed')
        check(driver.frame_origin(window) == (0, 0), 'the launch window, frame included, is '
              'at %r, not in the top-left corner' % (driver.frame_origin(window),))
        then(driver, window, notes)
    return suite.run(config, actions=[act], **env_changes), notes


def click_and_cancel_setup(times):
    """Clicks the launch button; a Setup window that opens is noted and cancelled,
    so that the run ends."""
    def then(driver, window, notes):
        driver.click(window, times)
        notes['setup'] = driver.setup_window(limit=10)
        if notes['setup']:
            driver.press_key(notes['setup'], 'Escape')
    return then


def in_setup(then, manager):
    """Clicks the launch button once, waits for the Setup window (under a window
    manager, until it is active) and hands it to `then(driver, setup, notes)`, noting
    when that returned."""
    def act(driver, window, notes):
        driver.click(window)
        notes['setup'] = driver.setup_window(limit=10)
        check(notes['setup'] is not None, 'clicked once, the launch button opened no Setup window')
        note_setup_opened(driver, notes['setup'], manager, notes)
        then(driver, notes['setup'], notes)
        notes['done'] = driver.elapsed()
    return act


def note_setup_opened(driver, setup, manager, notes):
    """Notes where the Setup window opened and, under a window manager, waits until it
    is active."""
    notes['setup_frame'] = driver.frame_origin(setup)
    if manager:
        check(driver.wait_active(setup, managed=True),
              'the Setup window opened without the focus (focus %s, active %s)' % (
                  driver.focused(), driver.active()))


def expect_setup_in_corner(notes, manager):
    check(notes['setup_frame'] == (0, 0) or manager in COMPOSITOR_PLACES,
          'the Setup window, frame included, is not in the top-left corner: %r' % (
              notes['setup_frame'],))


def user_config(suite, mode=4):
    """A user's files with more in them than the program reads: songs, a reserved
    word, the date words, another section and a comment."""
    config = suite.config()
    config.write_list(suite.tones[:2], mode=mode, position=1, reserved=0x1234)
    config.write_settings('; my settings\n[Morrowby]\nCurFile=%s\nDateLine=yynyyyyyyyn\n'
                          '[Other]\nColour=blue\n' % config.list_path)
    return config


def escape_key(driver, window, manager):
    """Escape as a user presses it under a window manager: to the window with the
    focus. With none, nobody gives the focus, so it is set first."""
    if manager:
        driver.key_to_focus('Escape')
    else:
        driver.press_key(window, 'Escape')


def expect_placed_as_without_manager(suite, driver, window, manager):
    """A window opens where it opens with no window manager (its frame's corner)."""
    seen = driver.frame_origin(window)
    if manager is None:
        suite.placements[window[5]] = seen
    elif window[5] in suite.placements:
        check(seen == suite.placements[window[5]], 'the "%s" window opened at %r, without a '
              'window manager at %r' % (window[5], seen, suite.placements[window[5]]))


def expect_ended_from_setup(result, notes):
    check(result.status == 0, 'the program did not end with status 0', result)
    check(not result.main_seen, 'the main window "Daychime" was on screen', result)
    expect_quiet_toolkit(result)
    check(result.ended is not None and result.ended - notes['done'] < 2.0,
          'the program went on after the Setup window', result)


@window_case('launch button clicked once: Setup at the top-left; Close ends the run, files kept')
def setup_close(suite, manager):
    config = user_config(suite)
    before = kept_files(config)
    result, notes = on_launch_window(
        suite, in_setup(lambda driver, setup, notes: driver.click_control(setup, SETUP_CLOSE),
                        manager),
        config)
    expect_ended_from_setup(result, notes)
    expect_setup_in_corner(notes, manager)
    expect_files_kept(config, before)


@window_case('--setup from the focused terminal: Setup opens active at the top-left; Escape '
             'ends the run, files kept')
def setup_at_once(suite, manager):
    config = user_config(suite)
    before = kept_files(config)
    notes = {}

    def act(driver):
        setup = driver.setup_window(limit=30)
        check(setup is not None, '--setup showed no Setup window')
        note_setup_opened(driver, setup, manager, notes)
        escape_key(driver, setup, manager)
        notes['done'] = driver.elapsed()
    result = suite.run(config, args=['--setup'], actions=[act])
    expect_ended_from_setup(result, notes)
    expect_setup_in_corner(notes, manager)
    expect_files_kept(config, before)


@window_case('Date words cancelled with Escape, Setup active again; Setup cancelled with '
             'Escape ends the run, files kept')
def setup_escape(suite, manager):
    config = user_config(suite)
    before = kept_files(config)

    def escape_twice(driver, setup, notes):
        driver.click_control(setup, SETUP_DATE_WORDS)
        words = driver.window(DATE_WORDS_TITLE)
        check(words is not None, 'Modify Date Words opened no window')
        check(driver.transient_for(words) == setup[0] or manager in COMPOSITOR_PLACES,
              'the date words window is not transient for the Setup window')
        if manager:
            check(driver.wait_active(words, managed=True), 'the date words window opened '
                  'without the focus')
        escape_key(driver, words, manager)
        check(driver.gone(words), 'Escape left the date words window open')
        if manager:
            check(driver.wait_active(setup, managed=True), 'after the date words window, the '
                  'Setup window is not active: focus %s, active %s' % (driver.focused(),
                                                                        driver.active()))
        escape_key(driver, setup, manager)
    result, notes = on_launch_window(suite, in_setup(escape_twice, manager), config)
    expect_ended_from_setup(result, notes)
    expect_files_kept(config, before)


@window_case('Set Mode, Serially, OK writes PlayMode 1 to the list file at once; '
             'Setup is active again')
def set_mode_serially(suite, manager):
    config = user_config(suite)
    before = kept_files(config)

    def choose(driver, setup, notes):
        driver.click_control(setup, SETUP_SET_MODE)
        chooser = driver.window('Play Mode')
        check(chooser is not None, 'Set Mode opened no "Play Mode" window')
        if manager not in COMPOSITOR_PLACES:
            expect_placed_as_without_manager(suite, driver, chooser, manager)
            check(driver.transient_for(chooser) == setup[0], '"Play Mode" is not transient for '
                  'the Setup window (%s) but for %s' % (setup[0], driver.transient_for(chooser)))
        driver.click_control(chooser, PLAY_MODE_SERIALLY)
        driver.click_control(chooser, PLAY_MODE_OK)
        check(driver.gone(chooser), 'OK left the "Play Mode" window open')
        if manager:
            check(driver.wait_active(setup, managed=True), 'after "Play Mode", the Setup window '
                  'is not active: focus %s, active %s, Setup %s' % (
                      driver.focused(), driver.active(), setup[0]))
        # Written at once: before the Setup window closes.
        notes['written'] = wait_until(lambda: config.list_bytes() != before[0], 5)
        driver.click_control(setup, SETUP_CLOSE)
    result, notes = on_launch_window(suite, in_setup(choose, manager), config)
    expect_ended_from_setup(result, notes)
    check(notes['written'], 'the list file was not written while the Setup window was open')
    after = config.list_bytes()
    expected = bytearray(before[0])
    expected[814:816] = b'\x01\x00'
    check(after == bytes(expected), 'the list file should differ only in PlayMode (now 1): '
          'bytes %s differ' % [i for i in range(max(len(after), 818))
                               if after[i:i + 1] != expected[i:i + 1]][:20])
    check(kept_files(config)[1] == before[1], 'the settings file changed beyond HomePath')


@window_case('Save As through the file chooser to a name holding "=" and "[": '
             'the list goes there and CurFile names it')
def save_as(suite, manager):
    if manager == 'mutter-wayland':
        # Seen there in one run of three: the click on Close after the file chooser
        # has closed never reaches the program. Not yet understood.
        raise Skip('a click after the file chooser is lost now and then under Xwayland')
    config = user_config(suite)
    before = kept_files(config)
    folder = os.path.join(config.folder, 'saved=[here]')
    os.makedirs(folder)
    target = os.path.join(folder, 'list[1]=a.dat')

    def save(driver, setup, notes):
        driver.click_control(setup, SETUP_SET_MODE)  # cancelled, it still offers Save As
        chooser = driver.window('Play Mode')
        check(chooser is not None, 'Set Mode opened no "Play Mode" window')
        driver.click_control(chooser, PLAY_MODE_CANCEL)
        check(driver.gone(chooser), 'Cancel left the "Play Mode" window open')
        driver.click_control(setup, SETUP_SAVE_AS)
        files = driver.window(FILE_CHOOSER)
        check(files is not None, 'Save As opened no file chooser')
        driver.type_text(files, target)
        # The chooser checks a typed folder before it lets Save go: until then,
        # Return does nothing, and is pressed again.
        for _ in range(10):
            driver.press_key(files, 'Return')
            if driver.gone(files, limit=0.5):
                break
        check(driver.gone(files, limit=0), 'the file chooser stayed open')
        notes['written'] = wait_until(lambda: os.path.exists(target), 5)
        driver.click_control(setup, SETUP_CLOSE)
    result, notes = on_launch_window(suite, in_setup(save, manager), config)
    expect_ended_from_setup(result, notes)
    check(notes['written'], 'nothing was saved as ' + target)
    with open(target, 'rb') as f:
        check(f.read() == before[0], 'the saved list is not the list as loaded')
    check(config.list_bytes() == before[0], 'the list file saved from changed')
    with open(config.settings_path, 'rb') as f:
        entries = ini_entries(f.read())
    expected = ini_entries(before[1]) - {('morrowby', 'curfile', config.list_path)}
    expected |= {('morrowby', 'curfile', target), ('morrowby', 'homepath', config.folder)}
    check(entries == expected, 'the settings now hold %r' % sorted(entries - expected))


@case('SIGTERM at the launch button, and in the Setup window, ends both programs, status 0')
def sigterm_at_button_and_in_setup(suite):
    for where in ('button', 'setup'):
        notes = {}

        def stop(driver, window, _):
            if where == 'setup':
                driver.click(window)
                check(driver.setup_window(limit=10) is not None, 'no Setup window opened')
            stop_with_sigterm(driver, notes)
        result, _ = on_launch_window(suite, stop)
        expect_stopped(result, notes)
        print('    (%s: ended %.0f ms after SIGTERM)' % (where, 1000 * (result.ended - notes['sent'])))


@case('a second --setup brings the open Setup window to the front and ends; a plain run '
      'still greets')
def second_setup(suite):
    config = user_config(suite)
    folder = os.path.join(suite.root, 'second-setup')
    os.makedirs(folder, exist_ok=True)
    env = suite.servers.env(XDG_CONFIG_HOME=config.folder)
    notes = {}
    # A Setup that crashed left its socket behind: nobody answers there any more.
    private = os.path.join(env['XDG_RUNTIME_DIR'], 'morrowby')
    os.makedirs(private, mode=0o700, exist_ok=True)
    stale = socket.socket(socket.AF_UNIX)
    if os.path.exists(os.path.join(private, 'setup.socket')):
        os.unlink(os.path.join(private, 'setup.socket'))
    stale.bind(os.path.join(private, 'setup.socket'))
    stale.close()

    def second_run(args):
        proc = subprocess.Popen([suite.session.binary] + args, cwd=config.folder, env=env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        suite.servers.track(proc.pid)
        return proc

    def act(driver):
        first = driver.setup_window(limit=30)
        check(first is not None, 'the first --setup showed no Setup window')
        term, term_window = suite.terminal(folder, None)
        try:
            again = second_run(['--setup'])
            wait_until(lambda: again.poll() is not None, 20)
            setups = driver.xdotool('search', '--onlyvisible', '--name', '^Setup$').split()
            notes['setups'] = len(setups)
            if again.poll() is None:
                again.kill()
            notes['second_status'] = again.wait()
            notes['raised'] = wait_until(lambda: driver.focused() == first[0], 10)
            plain = second_run([])
            seen = Driver(suite.servers.env(), plain, RunResult()).launch_window()
            notes['plain_button'] = seen is not None
            notes['plain_status'] = plain.wait(timeout=30)
        finally:
            term.terminate()
            term.wait()
        driver.click_control(first, SETUP_CLOSE)
        notes['done'] = driver.elapsed()
    result = suite.run(config, args=['--setup'], actions=[act], limit=90)
    expect_ended_from_setup(result, notes)
    check(notes['setups'] == 1, '%d Setup windows were open' % notes['setups'])
    check(notes['second_status'] == 0, 'the second --setup did not end with status 0 (%r)' %
          notes['second_status'])
    check(notes['raised'], 'the open Setup window was not brought to the front')
    check(notes['plain_button'] and notes['plain_status'] == 0,
          'a plain run beside the open Setup window showed no launch button')


@window_case('launch button clicked twice: the run ends after its two seconds')
def clicked_twice(suite, manager):
    result, _ = on_launch_window(suite, click_and_cancel_setup(2))
    suite.expect_windowed_end(result)
    check(not result.setup_seen, 'a released button opened the Setup window', result)
    check(result.ended - result.launch_seen > 1.5,
          'the launch window went away before its two seconds', result)


@window_case('Escape on the launch window, once clicked, ends the run at once')
def escape(suite, manager):
    def then(driver, window, notes):
        driver.click(window)  # pressed in: still no Setup after Escape
        # The click gave the window the focus, so a plain Escape reaches it.
        check(driver.wait_active(window, manager), 'the clicked launch window has no focus '
              '(focus %s, active %s)' % (driver.focused(), driver.active()))
        driver.key_to_focus('Escape')
        notes['pressed'] = driver.elapsed()
    result, notes = on_launch_window(suite, then)
    suite.expect_windowed_end(result)
    check(not result.setup_seen, 'Escape led to the Setup window', result)
    check(result.ended - notes['pressed'] < 1.0, 'the run went on after Escape', result)


def setup_at_once(driver, notes):
    """The Setup window shows with no launch window before it; Close ends the run."""
    notes['setup'] = driver.setup_window(limit=30)
    check(notes['setup'] is not None, 'no Setup window showed')
    check(driver.result.launch_seen is None, 'the launch window showed first')
    driver.click_control(notes['setup'], SETUP_CLOSE)
    notes['done'] = driver.elapsed()


def installed_menu_entry(suite):
    """Installs the build into a scratch prefix; returns the menu entry's commands,
    {action name: argv} with the entry itself under "", the folder of the program, and
    the entry's StartupWMClass."""
    build = os.path.dirname(suite.session.binary)
    if not os.path.exists(os.path.join(build, 'cmake_install.cmake')):
        raise Skip('the program is not in a CMake build folder')
    prefix = os.path.join(suite.root, 'prefix')
    subprocess.run(['cmake', '--install', build, '--prefix', prefix], check=True,
                   stdout=subprocess.DEVNULL)
    entry = configparser.ConfigParser(interpolation=None)
    entry.optionxform = str
    entry.read(os.path.join(prefix, 'share', 'applications', 'org.morrowby.morrowby.desktop'))
    commands = {'': shlex.split(entry['Desktop Entry']['Exec'])}
    for action in entry['Desktop Entry']['Actions'].strip(';').split(';'):
        section = entry['Desktop Action ' + action]
        commands[section['Name']] = shlex.split(section['Exec'])
    return commands, os.path.join(prefix, 'bin'), entry['Desktop Entry'].get('StartupWMClass')


@case('in a German or a French session the Setup window has its title in that language, '
      'and the complaint about an option too')
def translated_session(suite):
    for locale, title, complaint in (
            ('de_DE.UTF-8', 'Einrichtung', "morrowby: Option „--bogus“ ist unbekannt"),
            ('fr_FR.UTF-8', 'Configuration', 'morrowby : option « --bogus » non reconnue')):
        config = user_config(suite)
        before = kept_files(config)
        notes = {}

        def act(driver):
            notes['setup'] = driver.window(title, limit=30)
            check(notes['setup'] is not None, 'no Setup window titled "%s" under %s' % (title, locale))
            driver.press_key(notes['setup'], 'Escape')
            notes['done'] = driver.elapsed()
        result = suite.run(config, args=['--setup'], actions=[act], LC_ALL=locale)
        expect_ended_from_setup(result, notes)
        result = suite.run(config, args=['--bogus'], leave=True, LC_ALL=locale)
        check(result.stderr.startswith(complaint), 'under %s the complaint is %r'
              % (locale, result.stderr), result)
        expect_files_kept(config, before)


@case("installed menu entry: its Exec (--setup) opens Setup at once with no sound and Close "
      "ends the run, the window of the entry's StartupWMClass; its actions say the time "
      "and greet")
def menu_entry_actions(suite):
    commands, bin_folder, wm_class = installed_menu_entry(suite)
    check(sorted(commands) == ['', 'Greet Me Now', 'Say the Time'],
          'the entry has the actions %r' % sorted(commands))

    def run(name, **options):
        argv = commands[name]
        binary = shutil.which(argv[0], path=bin_folder)
        check(binary is not None, '%r runs %s, which is not installed' % (name, argv[0]))
        config = user_config(suite, mode=3)
        before = kept_files(config)
        return config, before, suite.run(config, binary=binary, args=argv[1:], **options)

    notes = {}

    def open_setup(driver):
        setup = driver.setup_window(limit=30)
        # xprop: WM_CLASS(STRING) = "instance", "class"; docks match either part.
        notes['wm_class'] = driver.property(setup, 'WM_CLASS') if setup else ''
        setup_at_once(driver, notes)
    config, before, result = run('', actions=[open_setup])
    expect_ended_from_setup(result, notes)
    check(wm_class and '"%s"' % wm_class in notes['wm_class'], 'the entry\'s StartupWMClass %r '
          'is not the Setup window\'s %r' % (wm_class, notes['wm_class']))
    suite.expect_silence(result, 'the menu entry: ')
    expect_files_kept(config, before)

    config, before, result = run('Say the Time')
    check(result.status == 0 and result.launch_seen is None and not result.sound.silent,
          'Say the Time did not just speak', result)
    expect_files_kept(config, before)

    config, before, result = run('Greet Me Now', leave=True)
    suite.expect_windowed_end(result)
    check(not result.sound.silent, 'Greet Me Now did not greet', result)


@window_case('typing at log-in stays with the focused terminal, under the launch window too; '
             'the main window is never seen')
def typing_kept(suite, manager):
    _, term_window, folder = suite.term
    config = suite.config()
    config.write_list(suite.tones[:1])
    notes = {}

    def act(driver):
        driver.watch_focus = True
        # From the start, through the sound, then while the button is offered; the
        # space and Return would toggle the button if it took the keys.
        driver.type_to_focus('touch sound-time\n')
        window = driver.launch_window()
        check(window is not None, 'the launch window never showed')
        driver.type_to_focus('touch button-time\n')
        notes['launch'] = window
        notes['ink'] = driver.darkest(window)
        if manager in COMPOSITOR_PLACES:
            # A layer surface, on no stacking list: found by its pixels over the
            # focused terminal, which fills the screen, it is above it.
            notes['above'] = True
            notes['strays'] = driver.strays(window)
        elif manager:
            order = driver.stacking()
            notes['above'] = (window[0] in order and term_window in order and
                              order.index(window[0]) > order.index(term_window))
            notes['state'] = driver.property(window, '_NET_WM_STATE')
    result = suite.run(config, actions=[act])
    suite.expect_windowed_end(result)
    check(not result.main_seen, 'the main window "Daychime" was on screen', result)
    check(result.launch_first_at == (0, 0) or manager in FIRST_FRAME_ELSEWHERE, 'the launch '
          'window was first seen at %r, then moved to the corner' % (result.launch_first_at,),
          result)
    if manager not in COMPOSITOR_PLACES:
        check(result.launch_first_frame == (0, 0) or manager in FIRST_FRAME_ELSEWHERE,
              'the launch window was first mapped with its corner at %r, and only then moved '
              'to the corner' % (result.launch_first_frame,), result)
    check(not result.sound.silent, 'nothing played', result)
    check(not result.setup_seen, 'the typing opened the Setup window', result)
    # Unfocused, the button must not look disabled: the toolkit's greyed "backdrop"
    # label is lighter than this.
    check(notes['ink'] is not None and notes['ink'] < 0x60, 'the launch button\'s label is '
          'drawn grey (darkest level %r), as if disabled' % notes['ink'])
    elsewhere = [(round(t, 2), w) for t, w in result.focus if w != term_window]
    check(not elsewhere, 'the focus left the terminal (%s): %s' % (term_window, elsewhere[:5]),
          result)
    for name in ('sound-time', 'button-time'):
        check(wait_until(lambda: os.path.exists(os.path.join(folder, name)), 5),
              'the line typed at %s did not run in the terminal' % name, result)
    if manager in COMPOSITOR_PLACES:
        check(notes['strays'] is None, 'besides the launch window, something showed at %r '
              '(x, y, width, height)' % (notes['strays'],))
        check(not result.stderr.strip(), 'the run wrote to stderr', result)
    if manager:
        check(notes['above'], 'the launch window is not above the terminal')
    if manager and manager not in COMPOSITOR_PLACES:
        check('ATTENTION' not in notes['state'], 'the launch window asks for attention: '
              + notes['state'])
        check('SKIP_TASKBAR' in notes['state'] and 'SKIP_PAGER' in notes['state'],
              'the launch window is not kept off the task bar and the pager: ' + notes['state'])
    if manager not in COMPOSITOR_PLACES:
        print('    (first mapped at %r%s; %s)' % (
            result.launch_first_frame, ' (%s)' % FIRST_FRAME_ELSEWHERE[manager]
            if manager in FIRST_FRAME_ELSEWHERE else '',
            notes.get('state', '').partition('=')[2].strip() or 'no manager state'))



class ScreenReader:
    """The windows of a running program as a screen reader reads them, through AT-SPI
    (atspi_reader.py, with the system's Python, which has python3-pyatspi)."""
    READER = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'atspi_reader.py')

    def __init__(self, env, pid):
        self.proc = subprocess.Popen(['/usr/bin/python3', '-B', self.READER, str(pid)], env=env,
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, universal_newlines=True)

    def ask(self, what, limit=20):
        self.proc.stdin.write(what + '\n')
        self.proc.stdin.flush()
        ready, _, _ = select.select([self.proc.stdout], [], [], limit)
        check(ready, 'the accessibility bus did not answer "%s" in %d s' % (what, limit))
        answer = json.loads(self.proc.stdout.readline() or '{"error": "no answer"}')
        check('error' not in answer, 'reading the windows through AT-SPI: %s' % answer)
        return answer

    def window(self, title, limit=10):
        """The showing window of this title, once a screen reader can see it."""
        found = wait_until(lambda: next((w for w in self.ask('windows') if w['title'] == title),
                                        None), limit, 0.2)
        check(found, 'a screen reader finds no window "%s"' % title)
        return found

    def focus_on(self, title, name, limit=10):
        """Waits until the control `name` of window `title` has the focus; returns the
        focused control as last seen."""
        seen = wait_until(lambda: (lambda f: f if f.get('window') == title and
                                   f.get('name') == name else None)(self.ask('focus')), limit, 0.1)
        return seen or self.ask('focus')

    def close(self):
        self.proc.stdin.close()
        self.proc.wait(timeout=10)


# Each window reached from the Setup window: the caption of the button that opens it
# (from its opener), its title, and the controls Tab reaches in order, as the user's
# files below set them. A radio group is one stop, at its checked button.
SETUP_STOPS = ['Close', 'Morrowby', 'Set Mode', 'Modify Date Words']
SONG_LIST_STOPS = ['%d.' % n for n in range(1, 11)] + ['Add Opening Song', 'Help', 'Cancel',
                                                       'Open File', 'OK']
PLAY_MODE_STOPS = ['No Sounds at all', 'Help', 'Cancel', 'OK']
DATE_WORDS_STOPS = ['Cancel', 'Ding Dong', "It's", 'the', 'first', 'of', 'January', 'six',
                    'fifteen', 'OK', 'PM', '24 hour clock', 'Monday']
HELP_STOPS = ['Close']
KEYBOARD_TOUR = [
    ('Morrowby', 'Morrowby ', SONG_LIST_STOPS, [('Help', 'Song Entry Help', HELP_STOPS)]),
    ('Set Mode', 'Play Mode', PLAY_MODE_STOPS, [('Help', 'Selection Modes', HELP_STOPS)]),
    ('Modify Date Words', DATE_WORDS_TITLE, DATE_WORDS_STOPS, []),
]
BUTTON_ROLES = ('push button', 'toggle button', 'radio button')


def expect_read_whole(window, trees):
    """Every control of `window` as a screen reader gets it has a name and a role, and
    every button an access key; notes the window's tree in `trees`."""
    trees.append(window)
    for c in window['controls']:
        check(c['role'] and c['name'].strip(), 'in "%s", a screen reader finds a control with '
              'no name or role: %r' % (window['title'], c))
        if c['role'] in BUTTON_ROLES:
            check(any(k.startswith('<Alt>') for k in c['keys']), 'in "%s", the button "%s" has '
                  'no access key: %r' % (window['title'], c['name'], c['keys']))
    return window


def access_key(window, caption):
    """The xdotool key of a button's access key, as the screen reader tells it."""
    button = next((c for c in window['controls'] if c['name'] == caption), None)
    check(button is not None, 'no button "%s" in "%s"' % (caption, window['title']))
    return 'alt+' + next(k for k in button['keys'] if k.startswith('<Alt>'))[5:]


def expect_tab_order(driver, reader, title, stops):
    """From the first control, Tab goes through `stops` in order and back to the first."""
    seen = [reader.focus_on(title, stops[0]).get('name')]
    for expected in stops[1:] + stops[:1]:
        driver.key_to_focus('Tab')
        seen.append(reader.focus_on(title, expected).get('name'))
    check(seen == stops + stops[:1], 'in "%s", Tab goes %s, not %s' % (title, seen, stops))


def visit(driver, reader, opener, opener_focus, caption, title, stops, inner, trees):
    """Opens window `title` from `opener` with the access key of its button, reads it
    whole, goes round it with Tab, visits the windows it opens in turn, and leaves it
    with Escape: `opener` is active again, with the focus where it was (on
    `opener_focus`: an access key presses its button without moving the focus)."""
    key = access_key(reader.window(opener[5]), caption)
    driver.key_to_focus(key)
    window = driver.window(title)
    check(window is not None, '%s in "%s" opened no "%s" window' % (key, opener[5], title))
    check(driver.wait_active(window, managed=True), '"%s" opened without the focus' % title)
    expect_read_whole(reader.window(title), trees)
    expect_tab_order(driver, reader, title, stops)
    for inner_caption, inner_title, inner_stops in inner:
        visit(driver, reader, window, stops[0], inner_caption, inner_title, inner_stops, [], trees)
    driver.key_to_focus('Escape')
    check(driver.gone(window), 'Escape left "%s" open' % title)
    check(driver.wait_active(opener, managed=True), 'after "%s", "%s" is not active: focus %s, '
          'active %s, it %s' % (title, opener[5], driver.focused(), driver.active(), opener[0]))
    focus = reader.focus_on(opener[5], opener_focus)
    check(focus.get('name') == opener_focus, 'after "%s", the focus is on %r, not on "%s" in '
          '"%s"' % (title, focus, opener_focus, opener[5]))


@window_case('keyboard alone: Tab in each template\'s order, every window reached by its access '
             'key and left with Escape, the focus back where it was; a screen reader finds a '
             'name and a role for every control and an access key on every button',
             # Not Xfwm4: there, when Song Entry Help closes, the Setup window rather
             # than the song list is made active most times, and the program's request
             # for the song list refused; not yet understood.
             managers=('openbox', 'mutter', 'i3', 'icewm'))
def keyboard_tour(suite, manager):
    config = user_config(suite)
    before = kept_files(config)
    notes = {'trees': []}

    def act(driver):
        setup = driver.setup_window(limit=30)
        check(setup is not None, '--setup showed no Setup window')
        check(driver.wait_active(setup, managed=True), 'the Setup window opened without the focus')
        reader = ScreenReader(suite.servers.env(**suite.servers.accessibility_env()),
                              windows_program(driver.proc.pid) or driver.proc.pid)
        try:
            expect_read_whole(reader.window('Setup'), notes['trees'])
            expect_tab_order(driver, reader, 'Setup', SETUP_STOPS)
            for caption, title, stops, inner in KEYBOARD_TOUR:
                visit(driver, reader, setup, SETUP_STOPS[0], caption, title, stops, inner,
                      notes['trees'])
        finally:
            reader.close()
        driver.key_to_focus('Escape')
        notes['done'] = driver.elapsed()
    result = suite.run(config, args=['--setup'], actions=[act],
                       **suite.servers.accessibility_env())
    expect_ended_from_setup(result, notes)
    expect_files_kept(config, before)
    if os.environ.get('E2E_VERBOSE'):
        print(json.dumps(notes['trees'], indent=1))


@window_case('launch button reached from the keyboard with the window manager\'s own key: '
             'Space presses it and Setup opens; Space then Escape ends the run at once')
def keyboard_only(suite, manager):
    key = SWITCHER_KEYS.get(manager)
    if key is None:
        raise Skip(UNTRIED_KEYS.get(manager) or 'no key of %s reaches a window that is on no '
                   'task bar' % (manager or 'a bare X server'))
    for escape_after in (False, True):
        def then(driver, window, notes):
            driver.key_to_focus(key)
            check(driver.wait_active(window, managed=True, limit=1.5), '%s did not give the '
                  'launch window the keyboard (focus %s, active %s)' % (
                      key, driver.focused(), driver.active()))
            driver.key_to_focus('space')
            if escape_after:
                driver.key_to_focus('Escape')
                notes['pressed'] = driver.elapsed()
                return
            notes['setup'] = driver.setup_window(limit=10)
            if notes['setup']:
                driver.press_key(notes['setup'], 'Escape')
        result, notes = on_launch_window(suite, then)
        check(result.status == 0, 'the program did not end with status 0', result)
        if escape_after:
            check(not result.setup_seen, 'Escape after Space led to the Setup window', result)
            check(result.ended - notes['pressed'] < 1.0, 'the run went on after Escape', result)
        else:
            check(notes['setup'] is not None, 'pressed with Space, the launch button opened no '
                  'Setup window', result)
    print('    (%s reaches the launch button)' % key)



@case('the launch window read through AT-SPI, as a screen reader gets it: a notification '
      'named "Morrowby Setup", whose button has that name and an access key')
def launch_window_accessible(suite):
    notes = {}

    def read(driver, window, _):
        reader = ScreenReader(suite.servers.env(**suite.servers.accessibility_env()),
                              windows_program(driver.proc.pid))
        try:
            notes['launch'] = reader.window(LAUNCH_NAME)
        finally:
            reader.close()
        driver.press_key(window, 'Escape')
    result, _ = on_launch_window(suite, read, **suite.servers.accessibility_env())
    check(result.status == 0, 'the program did not end with status 0', result)
    expect_quiet_toolkit(result)
    launch = expect_read_whole(notes['launch'], [])
    check(launch['role'] == 'notification', 'the launch window is a "%s" to a screen reader, '
          'which does not announce it by itself' % launch['role'])
    named = [(c['role'], c['name']) for c in launch['controls']]
    check(named == [('toggle button', LAUNCH_NAME)], 'the launch window holds %r' % named)
    print('    (%s)' % json.dumps(launch))

"""End-to-end cases of the launch button and the Setup window, driven with real clicks
and keys (xdotool) on the real program; and the installed menu entry with its actions."""
import configparser
import os
import shlex
import shutil
import subprocess

from harness import Skip, case, check, expect_files_kept, ini_entries, kept_files
from servers import wait_until

# Control rectangles and window sizes in dialog units, as the window layouts give them.
SETUP = (176, 82)
SETUP_CLOSE = (82, 25, 71, 11) + SETUP
SETUP_SET_MODE = (82, 7, 71, 11) + SETUP
SETUP_SAVE_AS = (93, 64, 48, 9) + SETUP
PLAY_MODE = (243, 126)
PLAY_MODE_SERIALLY = (23, 35, 70, 16) + PLAY_MODE
PLAY_MODE_OK = (179, 104, 50, 14) + PLAY_MODE
PLAY_MODE_CANCEL = (109, 104, 50, 14) + PLAY_MODE
FILE_CHOOSER = 'Select a file'


def on_launch_window(suite, then, config=None):
    """A run (silent, unless `config` says otherwise) in which `then(driver, window,
    notes)` acts on the launch window as soon as it shows; returns the run's result and
    the notes `then` made."""
    if config is None:
        config = suite.config()
        config.write_list([], mode=4)
    notes = {}

    def act(driver):
        window = driver.launch_window()
        check(window is not None, 'the launch window never showed')
        then(driver, window, notes)
    return suite.run(config, actions=[act]), notes


def click_and_cancel_setup(times):
    """Clicks the launch button; a Setup window that opens is noted and cancelled,
    so that the run ends."""
    def then(driver, window, notes):
        driver.click(window, times)
        notes['setup'] = driver.setup_window(limit=10)
        if notes['setup']:
            driver.press_key(notes['setup'], 'Escape')
    return then


def in_setup(then):
    """Clicks the launch button once, waits for the Setup window and hands it to
    `then(driver, setup, notes)`, noting when that returned."""
    def act(driver, window, notes):
        driver.click(window)
        notes['setup'] = driver.setup_window(limit=10)
        check(notes['setup'] is not None, 'clicked once, the launch button opened no Setup window')
        then(driver, notes['setup'], notes)
        notes['done'] = driver.elapsed()
    return act


def user_config(suite, mode=4):
    """A user's files with more in them than the program reads: songs, a reserved
    word, the date words, another section and a comment."""
    config = suite.config()
    config.write_list(suite.tones[:2], mode=mode, position=1, reserved=0x1234)
    config.write_settings('; my settings\n[Morrowby]\nCurFile=%s\nDateLine=yynyyyyyyyn\n'
                          '[Other]\nColour=blue\n' % config.list_path)
    return config


def expect_ended_from_setup(result, notes):
    check(result.status == 0, 'the program did not end with status 0', result)
    check(result.ended is not None and result.ended - notes['done'] < 2.0,
          'the program went on after the Setup window', result)


@case('launch button clicked once: Setup at the top-left; Close ends the run, files kept')
def setup_close(suite):
    config = user_config(suite)
    before = kept_files(config)
    result, notes = on_launch_window(
        suite, in_setup(lambda driver, setup, notes: driver.click_control(setup, SETUP_CLOSE)),
        config)
    expect_ended_from_setup(result, notes)
    check(notes['setup'][1:3] == (0, 0), 'the Setup window is not in the top-left corner: %r'
          % (notes['setup'],))
    expect_files_kept(config, before)


@case('Setup cancelled with Escape ends the run, files kept')
def setup_escape(suite):
    config = user_config(suite)
    before = kept_files(config)
    result, notes = on_launch_window(
        suite, in_setup(lambda driver, setup, notes: driver.press_key(setup, 'Escape')), config)
    expect_ended_from_setup(result, notes)
    expect_files_kept(config, before)


@case('Set Mode, Serially, OK writes PlayMode 1 to the list file at once')
def set_mode_serially(suite):
    config = user_config(suite)
    before = kept_files(config)

    def choose(driver, setup, notes):
        driver.click_control(setup, SETUP_SET_MODE)
        chooser = driver.window('Play Mode')
        check(chooser is not None, 'Set Mode opened no "Play Mode" window')
        driver.click_control(chooser, PLAY_MODE_SERIALLY)
        driver.click_control(chooser, PLAY_MODE_OK)
        check(driver.gone(chooser), 'OK left the "Play Mode" window open')
        # Written at once: before the Setup window closes.
        notes['written'] = wait_until(lambda: config.list_bytes() != before[0], 5)
        driver.click_control(setup, SETUP_CLOSE)
    result, notes = on_launch_window(suite, in_setup(choose), config)
    expect_ended_from_setup(result, notes)
    check(notes['written'], 'the list file was not written while the Setup window was open')
    after = config.list_bytes()
    expected = bytearray(before[0])
    expected[814:816] = b'\x01\x00'
    check(after == bytes(expected), 'the list file should differ only in PlayMode (now 1): '
          'bytes %s differ' % [i for i in range(max(len(after), 818))
                               if after[i:i + 1] != expected[i:i + 1]][:20])
    check(kept_files(config)[1] == before[1], 'the settings file changed beyond HomePath')


@case('Save As through the file chooser to a name holding "=" and "[": '
      'the list goes there and CurFile names it')
def save_as(suite):
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
    result, notes = on_launch_window(suite, in_setup(save), config)
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


@case('launch button clicked twice: the run ends after its two seconds')
def clicked_twice(suite):
    result, _ = on_launch_window(suite, click_and_cancel_setup(2))
    suite.expect_windowed_end(result)
    check(not result.setup_seen, 'a released button opened the Setup window', result)
    check(result.ended - result.launch_seen > 1.5,
          'the launch window went away before its two seconds', result)


@case('Escape on the launch window ends the run at once')
def escape(suite):
    def then(driver, window, notes):
        driver.click(window)  # pressed in: still no Setup after Escape
        driver.press_key(window, 'Escape')
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
    {action name: argv} with the entry itself under "", and the folder of the program."""
    build = os.path.dirname(suite.session.binary)
    if not os.path.exists(os.path.join(build, 'cmake_install.cmake')):
        raise Skip('the program is not in a CMake build folder')
    prefix = os.path.join(suite.root, 'prefix')
    subprocess.run(['cmake', '--install', build, '--prefix', prefix], check=True,
                   stdout=subprocess.DEVNULL)
    entry = configparser.ConfigParser(interpolation=None)
    entry.optionxform = str
    entry.read(os.path.join(prefix, 'share', 'applications', 'morrowby.desktop'))
    commands = {'': shlex.split(entry['Desktop Entry']['Exec'])}
    for action in entry['Desktop Entry']['Actions'].strip(';').split(';'):
        section = entry['Desktop Action ' + action]
        commands[section['Name']] = shlex.split(section['Exec'])
    return commands, os.path.join(prefix, 'bin')


@case("installed menu entry: its Exec (--setup) opens Setup at once with no sound and Close "
      "ends the run; its actions say the time and greet")
def menu_entry_actions(suite):
    commands, bin_folder = installed_menu_entry(suite)
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
    config, before, result = run('', actions=[lambda d: setup_at_once(d, notes)])
    expect_ended_from_setup(result, notes)
    suite.expect_silence(result, 'the menu entry: ')
    expect_files_kept(config, before)

    config, before, result = run('Say the Time')
    check(result.status == 0 and result.launch_seen is None and not result.sound.silent,
          'Say the Time did not just speak', result)
    expect_files_kept(config, before)

    config, before, result = run('Greet Me Now', leave=True)
    suite.expect_windowed_end(result)
    check(not result.sound.silent, 'Greet Me Now did not greet', result)

"""The program's windows as a screen reader gets them, through AT-SPI: run with the
system's Python (python3-pyatspi) as `atspi_reader.py PID`, it answers each line on
standard input with one line of JSON on standard output:
  "windows": every window of process PID that is showing, with its controls;
  "focus": the control with the keyboard focus ({} when there is none)."""
import json
import sys

import pyatspi

# Objects that only hold others: no control of the program's own.
CONTAINERS = ('filler', 'panel')


def application(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except Exception:  # an application that went away meanwhile
            pass
    return None


def keys(node):
    try:
        action = node.queryAction()
    except NotImplementedError:
        return []
    return [action.getKeyBinding(i) for i in range(action.nActions) if action.getKeyBinding(i)]


def control(node):
    states = node.getState()
    return {'role': node.getRoleName(), 'name': node.name or '',
            'description': node.description or '', 'keys': keys(node),
            'focused': states.contains(pyatspi.STATE_FOCUSED),
            'checked': states.contains(pyatspi.STATE_CHECKED) or
            states.contains(pyatspi.STATE_PRESSED),
            'relations': [str(r.getRelationType()).split('RELATION_')[-1].split(' ')[0]
                          for r in node.getRelationSet()]}


def controls(node, out):
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is None or not child.getState().contains(pyatspi.STATE_SHOWING):
            continue
        if child.getRoleName() not in CONTAINERS:
            out.append(control(child))
        controls(child, out)
    return out


def windows(pid):
    app = application(pid)
    found = []
    for i in range(app.childCount if app else 0):
        window = app.getChildAtIndex(i)
        if window is None or not window.getState().contains(pyatspi.STATE_SHOWING):
            continue
        found.append({'title': window.name or '', 'role': window.getRoleName(),
                      'active': window.getState().contains(pyatspi.STATE_ACTIVE),
                      'controls': controls(window, [])})
    return found


def focus(pid):
    for window in windows(pid):
        if window['active']:
            for c in window['controls']:
                if c['focused']:
                    return dict(c, window=window['title'])
    return {}


def main():
    pid = int(sys.argv[1])
    for line in sys.stdin:
        try:
            answer = {'windows': windows, 'focus': focus}[line.strip()](pid)
        except Exception as why:  # told to the caller, which decides
            answer = {'error': repr(why)}
        print(json.dumps(answer), flush=True)


if __name__ == '__main__':
    main()

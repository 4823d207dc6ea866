"""Where windows first appear on the X server, told by its events rather than by
looking now and then: a watcher on a connection of its own follows the windows made
after it starts (created, reparented into a manager's frame, moved, mapped) and notes
where each top-level window (a frame, or a window no manager framed) had its corner
when it was first mapped. A look a moment later can miss a window that showed in the
wrong place and was then moved."""
import os
import sys
import threading

try:
    from Xlib import X, Xatom, display as xdisplay, error as xerror, ext as xext
except ImportError:  # a python3 that is not Debian's, beside Debian's python3-xlib
    sys.path.append('/usr/lib/python3/dist-packages')
    from Xlib import X, Xatom, display as xdisplay, error as xerror, ext as xext

# The core protocol is all the watcher needs; the library's RANDR support fails to load
# on Xwayland (python3-xlib 0.33).
xext.__extensions__ = []


class FirstViews:
    """Runs from its creation until stop(); then first_frame(window) tells where the
    top-level window around `window` had its outer corner when it was first mapped."""

    def __init__(self, env):
        """`env`: a client's environment, whose DISPLAY (and XAUTHORITY) it watches."""
        # The library reads the cookie's file from this process's own environment.
        saved = os.environ.get('XAUTHORITY')
        if env.get('XAUTHORITY'):
            os.environ['XAUTHORITY'] = env['XAUTHORITY']
        try:
            self._display = xdisplay.Display(env['DISPLAY'])
        finally:
            if saved is None:
                os.environ.pop('XAUTHORITY', None)
            else:
                os.environ['XAUTHORITY'] = saved
        # A window that goes while it is being looked at is no fault of anyone's.
        self._display.set_error_handler(lambda *_: None)
        self._root = self._display.screen().root.id
        self._parents = {}  # window -> its parent, for the windows followed
        self._places = {}  # top-level window -> its corner now
        self._first = {}  # top-level window -> its corner when first mapped
        self._first_home = {}  # window -> the first window it was reparented into
        self._lock = threading.Lock()
        self._end = self._display.intern_atom('_MORROWBY_WATCH_END')
        self._display.screen().root.change_attributes(event_mask=X.SubstructureNotifyMask)
        self._display.sync()
        self._thread = threading.Thread(target=self._run, daemon=True)
        self._thread.start()

    def first_frame(self, window):
        """Told by the root window's own events, which no delay of this watcher's can
        make it miss; None when that window was never mapped while watched."""
        with self._lock:
            # A manager puts a window it stops managing back on the root window.
            window = self._first_home.get(window, window)
            while self._parents.get(window, self._root) != self._root:
                window = self._parents[window]
            return self._first.get(window)

    def stop(self):
        """Ends the watch once every event the server has sent so far has been read."""
        # An event of our own, after all the others, ends the reading thread's work.
        self._display.screen().root.change_attributes(event_mask=X.SubstructureNotifyMask |
                                                      X.PropertyChangeMask)
        self._display.screen().root.change_property(self._end, Xatom.STRING, 8, b'')
        self._display.flush()
        self._thread.join(timeout=5)
        self._display.close()

    def _run(self):
        while True:
            try:
                event = self._display.next_event()
            except Exception:  # the server went away
                return
            if event.type == X.PropertyNotify and event.atom == self._end:
                return
            with self._lock:
                self._take(event)

    def _follow(self, window, parent):
        """Follows `window` and what is made in it; what was made in it before the watch
        began to listen there is read from the server."""
        self._parents[window] = parent
        handle = self._display.create_resource_object('window', window)
        handle.change_attributes(event_mask=X.SubstructureNotifyMask)
        try:
            children = handle.query_tree().children
        except (xerror.BadWindow, xerror.BadDrawable):
            return  # gone already: its DestroyNotify follows
        for child in children:
            if child.id not in self._parents:
                self._follow(child.id, window)

    def _take(self, event):
        kind = event.type
        if kind == X.CreateNotify:
            if event.window.id not in self._parents:
                self._follow(event.window.id, event.parent.id)
                if event.parent.id == self._root:
                    self._places[event.window.id] = (event.x, event.y)
        elif kind == X.ReparentNotify:
            window = event.window.id
            self._parents[window] = event.parent.id
            if event.parent.id == self._root:
                self._places[window] = (event.x, event.y)
            else:
                self._first_home.setdefault(window, event.parent.id)
        elif kind == X.ConfigureNotify and not event.send_event:
            # A manager's own (synthetic) notices give root positions: not the tree's.
            if self._parents.get(event.window.id) == self._root:
                self._places[event.window.id] = (event.x, event.y)
        elif kind == X.MapNotify:
            window = event.window.id
            if (self._parents.get(window) == self._root and window not in self._first and
                    window in self._places):
                self._first[window] = self._places[window]

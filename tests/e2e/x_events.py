"""Where windows first appear on the X server, told by its events rather than by
looking now and then: a watcher on a connection of its own follows every window made
after it starts (created, reparented into a manager's frame, moved, mapped) and notes,
for each, the moment it first became viewable (it and every window around it mapped)
and where it stood on the screen then. A look a moment later can miss a window that
showed in the wrong place and was then moved."""
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

_TREE_EVENTS = X.SubstructureNotifyMask | X.StructureNotifyMask


class _Node:
    __slots__ = ('parent', 'x', 'y', 'border', 'mapped')

    def __init__(self, parent, x, y, border, mapped):
        self.parent, self.x, self.y, self.border, self.mapped = parent, x, y, border, mapped


class FirstViews:
    """Runs from its creation until stop(); first(window) is where that window, made
    after the start, was when it first became viewable: (screen x, screen y of its own
    corner, screen x, screen y of the outer corner of the top-level window around it,
    such as a manager's frame), or None when it never was."""

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
        self._nodes = {}  # window id -> _Node, for the windows followed
        self._first = {}
        self._lock = threading.Lock()
        self._stopping = False
        self._display.screen().root.change_attributes(event_mask=X.SubstructureNotifyMask)
        self._display.sync()
        self._thread = threading.Thread(target=self._run, daemon=True)
        self._thread.start()

    def first(self, window):
        with self._lock:
            return self._first.get(window)

    def stop(self):
        self._stopping = True
        # An event of our own wakes the reading thread.
        self._display.screen().root.change_attributes(event_mask=X.SubstructureNotifyMask |
                                                      X.PropertyChangeMask)
        self._display.screen().root.change_property(
            self._display.intern_atom('_MORROWBY_WATCH_END'), Xatom.STRING, 8, b'')
        self._display.flush()
        self._thread.join(timeout=5)
        self._display.close()

    def _run(self):
        while not self._stopping:
            try:
                event = self._display.next_event()
            except Exception:  # the server went away
                return
            with self._lock:
                self._take(event)

    def _follow(self, window, parent, x, y, border, mapped):
        """Starts following `window` and everything inside it; what was made in it before
        the watch began to listen is read from the server."""
        self._nodes[window] = _Node(parent, x, y, border, mapped)
        handle = self._display.create_resource_object('window', window)
        handle.change_attributes(event_mask=_TREE_EVENTS)
        try:
            children = handle.query_tree().children
        except (xerror.BadWindow, xerror.BadDrawable):
            return  # gone already: its DestroyNotify follows
        for child in children:
            if child.id in self._nodes:
                continue
            try:
                g = child.get_geometry()
                mapped = child.get_attributes().map_state != X.IsUnmapped
            except (xerror.BadWindow, xerror.BadDrawable):
                continue
            self._follow(child.id, window, g.x, g.y, g.border_width, mapped)

    def _take(self, event):
        kind = event.type
        if kind == X.CreateNotify:
            if event.window.id not in self._nodes:
                self._follow(event.window.id, event.parent.id, event.x, event.y,
                             event.border_width, False)
            return
        node = self._nodes.get(event.window.id) if hasattr(event, 'window') else None
        if node is None:
            return
        if kind == X.ReparentNotify:
            node.parent, node.x, node.y = event.parent.id, event.x, event.y
        elif kind == X.ConfigureNotify and not event.send_event:
            # A manager's own (synthetic) notices give root positions: not the tree's.
            node.x, node.y, node.border = event.x, event.y, event.border_width
        elif kind == X.MapNotify:
            node.mapped = True
            self._note_viewable(event.window.id)
        elif kind == X.UnmapNotify:
            node.mapped = False
        elif kind == X.DestroyNotify:
            self._nodes.pop(event.window.id, None)

    def _place(self, window):
        """(x, y, top-level x, top-level y) when `window` and all around it are mapped."""
        x = y = 0
        top = None
        while window != self._root:
            node = self._nodes.get(window)
            if node is None or not node.mapped:
                return None
            if node.parent == self._root:
                top = (x + node.x, y + node.y)
            x, y = x + node.x + node.border, y + node.y + node.border
            window = node.parent
        return (x, y) + top if top is not None else None

    def _note_viewable(self, mapped):
        """Every followed window that the mapping of `mapped` made viewable."""
        for window in list(self._nodes):
            if window in self._first or not self._inside(window, mapped):
                continue
            place = self._place(window)
            if place is not None:
                self._first[window] = place

    def _inside(self, window, ancestor):
        while window in self._nodes:
            if window == ancestor:
                return True
            window = self._nodes[window].parent
        return False

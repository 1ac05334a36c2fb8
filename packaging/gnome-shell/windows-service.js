// The window list, activation and the guard of a typing for NORVAX, exported on the shell's
// own connection to the session bus (org.gnome.Shell, /org/norvax/Windows): GNOME offers other
// programs none of them. Shared by both formats of the extension; the build puts it into each
// one's extension.js, where Clutter, Gio, GLib, Meta and Main are bound.
//
// Only NORVAX's own programs are served: the executable of the caller's process must be one
// that the file `programs` beside this script names (one path a line: the installed norvax
// and norvaxctl). Every other caller gets AccessDenied.

const NORVAX_WINDOWS_INTERFACE = `<node>
  <interface name="org.norvax.Windows">
    <method name="List">
      <arg name="windows" type="a(tssub)" direction="out"/>
    </method>
    <method name="Activate">
      <arg name="id" type="t" direction="in"/>
      <arg name="found" type="b" direction="out"/>
    </method>
    <method name="Minimize">
      <arg name="id" type="t" direction="in"/>
    </method>
    <method name="Maximize">
      <arg name="id" type="t" direction="in"/>
    </method>
    <method name="Guard">
      <arg name="id" type="t" direction="in"/>
      <arg name="armed" type="b" direction="out"/>
    </method>
    <method name="Holds">
      <arg name="holds" type="b" direction="out"/>
    </method>
    <method name="Release">
      <arg name="held" type="b" direction="out"/>
    </method>
  </interface>
</node>`;

// A guard whose owner has not asked for this long ends by itself; so does the wait for the
// keys sent before a guard ends.
const NORVAX_GUARD_LAPSE_MS = 5000;

// Calls done once every input event queued before the call has reached its window: the keys
// of a remote desktop session go through Mutter's input thread, one task after another, and
// come back to this thread as events in the same order. A virtual keyboard of our own is made
// and disposed of; its removal, queued behind those keys, comes back after them.
function norvaxAfterQueuedInput(done) {
  const seat = Clutter.get_default_backend().get_default_seat();
  let device = null;
  let lapse = 0;
  const finish = () => {
    seat.disconnect(added);
    seat.disconnect(removed);
    GLib.source_remove(lapse);
    done();
  };
  const added = seat.connect('device-added', (_seat, d) => {
    if (!device && d.get_device_type() === Clutter.InputDeviceType.KEYBOARD_DEVICE &&
        !d.get_device_node())
      device = d;
  });
  const removed = seat.connect('device-removed', (_seat, d) => {
    if (d === device)
      finish();
  });
  lapse = GLib.timeout_add(GLib.PRIORITY_DEFAULT, NORVAX_GUARD_LAPSE_MS, () => {
    logError(new Error('the keys sent did not come back'), 'NORVAX Windows');
    finish();
    return GLib.SOURCE_REMOVE;
  });
  seat.create_virtual_device(Clutter.InputDeviceType.KEYBOARD_DEVICE).run_dispose();
}

// The guard of one typing: while it lasts, a window that takes the keyboard focus from the
// target gives it back at once, in the same turn of the shell's main loop, so that no key sent
// for the target reaches it; the first such window is kept as the taker. It ends (end) when its
// owner releases it, when the owner's connection to the bus goes, when the owner has not asked
// for NORVAX_GUARD_LAPSE_MS, and when the extension goes: each time only once the keys sent
// before have reached the target. When the target closes, it holds nothing any more.
class NorvaxGuard {
  constructor(owner, target, end) {
    this.owner = owner;
    this._target = target;
    this._end = end;
    this.taker = null;
    this.taken = false;
    this._ending = false;
    this._waiting = [];
    this._restoring = false;
    this._focus = global.display.connect('notify::focus-window', () => this._keepFocus());
    this._closing = target.connect('unmanaging', () => this._lose());
    this._watch = Gio.bus_watch_name_on_connection(Gio.DBus.session, owner,
      Gio.BusNameWatcherFlags.NONE, null, () => this.end());
    this._lapse = 0;
    this.renew();
  }

  // Whether the target has had the focus all along.
  holds() {
    return !this.taken && this._target !== null && !this._ending;
  }

  renew() {
    if (this._ending)
      return;
    if (this._lapse)
      GLib.source_remove(this._lapse);
    this._lapse = GLib.timeout_add(GLib.PRIORITY_DEFAULT, NORVAX_GUARD_LAPSE_MS, () => {
      this._lapse = 0;
      this.end();
      return GLib.SOURCE_REMOVE;
    });
  }

  // Ends the guard once the keys queued before have arrived; then the owner's end, and done
  // (if given) with whether the target held the focus all along.
  end(done = null) {
    if (done)
      this._waiting.push(done);
    if (this._ending)
      return;
    this._ending = true;
    if (this._lapse)
      GLib.source_remove(this._lapse);
    this._lapse = 0;
    Gio.bus_unwatch_name(this._watch);
    norvaxAfterQueuedInput(() => {
      const held = !this.taken && this._target !== null;
      this._stop();
      this._end(this);
      this._waiting.forEach(waiting => waiting(held));
    });
  }

  // Ends at once (the extension goes).
  destroy() {
    if (!this._ending) {
      if (this._lapse)
        GLib.source_remove(this._lapse);
      Gio.bus_unwatch_name(this._watch);
    }
    this._ending = true;
    this._stop();
  }

  _stop() {
    if (this._focus)
      global.display.disconnect(this._focus);
    this._focus = 0;
    this._lose();
  }

  _lose() {
    if (this._target && this._closing)
      this._target.disconnect(this._closing);
    this._closing = 0;
    this._target = null;
  }

  _keepFocus() {
    const focus = global.display.focus_window;
    if (this._restoring || !this._target || focus === this._target)
      return;
    if (!this.taken)
      this.taker = focus;
    this.taken = true;
    this._restoring = true;
    try {
      Main.activateWindow(this._target, global.get_current_time());
    } finally {
      this._restoring = false;
    }
  }
}

// Whether a caller (a unique name on the bus) is one of NORVAX's programs: its process's
// executable is the very file (device and inode) that `programs` names. Each name is checked
// once; the answer goes with the name.
class NorvaxCallers {
  constructor(programsFile) {
    this._programs = [];
    try {
      const [, bytes] = GLib.file_get_contents(programsFile);
      this._programs = new TextDecoder().decode(bytes).split('\n').filter(line => line !== '');
    } catch (e) {
      logError(e, 'NORVAX Windows: no list of programs; every caller is refused');
    }
    this._answers = new Map();
    this._gone = Gio.DBus.session.signal_subscribe('org.freedesktop.DBus',
      'org.freedesktop.DBus', 'NameOwnerChanged', '/org/freedesktop/DBus', null,
      Gio.DBusSignalFlags.NONE, (...args) => {
        const [name, , owner] = args[5].deepUnpack();
        if (owner === '')
          this._answers.delete(name);
      });
  }

  destroy() {
    Gio.DBus.session.signal_unsubscribe(this._gone);
  }

  // A promise of whether sender may call.
  allows(sender) {
    let answer = this._answers.get(sender);
    if (!answer) {
      answer = this._check(sender);
      this._answers.set(sender, answer);
    }
    return answer;
  }

  _check(sender) {
    return new Promise(resolve => {
      Gio.DBus.session.call('org.freedesktop.DBus', '/org/freedesktop/DBus',
        'org.freedesktop.DBus', 'GetConnectionUnixProcessID', new GLib.Variant('(s)', [sender]),
        new GLib.VariantType('(u)'), Gio.DBusCallFlags.NONE, -1, null, (bus, result) => {
          try {
            const [pid] = bus.call_finish(result).deepUnpack();
            const executable = norvaxFileId(`/proc/${pid}/exe`);
            resolve(executable !== null &&
              this._programs.some(program => norvaxFileId(program) === executable));
          } catch (e) {
            resolve(false);
          }
        });
    });
  }
}

// The device and inode of the file at path (a link is followed); null when there is none.
function norvaxFileId(path) {
  try {
    return Gio.File.new_for_path(path).query_info('id::file', Gio.FileQueryInfoFlags.NONE, null)
      .get_attribute_string('id::file');
  } catch (e) {
    return null;
  }
}

class NorvaxWindows {
  constructor(extensionPath) {
    this._callers = new NorvaxCallers(`${extensionPath}/programs`);
    this._guard = null;
    this._exported = Gio.DBusExportedObject.wrapJSObject(NORVAX_WINDOWS_INTERFACE, this);
    this._exported.export(Gio.DBus.session, '/org/norvax/Windows');
    this._overviewHidden = 0;
  }

  destroy() {
    if (this._overviewHidden)
      Main.overview.disconnect(this._overviewHidden);
    this._exported.unexport();
    this._guard?.destroy();
    this._guard = null;
    this._callers.destroy();
  }

  // Answers the call with what answer(sender) gives (a GLib.Variant, null for no value, or a
  // promise of one) once the caller is known to be one of NORVAX's programs.
  _serve(invocation, answer) {
    const sender = invocation.get_sender();
    this._callers.allows(sender).then(async allowed => {
      if (!allowed) {
        invocation.return_dbus_error('org.freedesktop.DBus.Error.AccessDenied',
          'Only NORVAX may ask for the windows');
        return;
      }
      try {
        invocation.return_value(await answer(sender));
      } catch (e) {
        logError(e, 'NORVAX Windows');
        invocation.return_dbus_error('org.freedesktop.DBus.Error.Failed', e.message);
      }
    });
  }

  // The windows of programs, topmost first: id, title, class, process id (0: unknown),
  // whether it has the keyboard focus.
  ListAsync(_params, invocation) {
    this._serve(invocation, () => {
      const kinds = [Meta.WindowType.NORMAL, Meta.WindowType.DIALOG, Meta.WindowType.MODAL_DIALOG];
      const windows = global.display.list_all_windows()
        .filter(w => kinds.includes(w.get_window_type()) && !w.is_override_redirect());
      return new GLib.Variant('(a(tssub))', [global.display.sort_windows_by_stacking(windows)
        .reverse().map(w => [
          w.get_id(), w.get_title() ?? '', w.get_wm_class() ?? '', Math.max(w.get_pid(), 0),
          w.has_focus(),
        ])]);
    });
  }

  // While the overview shows (as it does after the login) an activation is undone when it
  // closes: the window is activated once it has closed and the shell has given the focus
  // to the window it chose.
  ActivateAsync([id], invocation) {
    this._serve(invocation, () => new GLib.Variant('(b)', [this._activate(id)]));
  }

  MinimizeAsync([id], invocation) {
    this._serve(invocation, () => {
      this._find(id)?.minimize();
      return null;
    });
  }

  MaximizeAsync([id], invocation) {
    this._serve(invocation, () => {
      this._find(id)?.maximize(Meta.MaximizeFlags.BOTH);
      return null;
    });
  }

  // Starts the guard of the caller's typing into window id, which must have the keyboard
  // focus (while the overview shows, keys go to the shell). False when it has not, or while
  // another program's typing is guarded. A guard of the caller's that is still there goes.
  GuardAsync([id], invocation) {
    this._serve(invocation, sender => {
      const window = this._find(id);
      if (this._guard && this._guard.owner !== sender ||
          !window || !window.has_focus() || Main.overview.visible)
        return new GLib.Variant('(b)', [false]);
      this._guard?.destroy();
      this._guard = new NorvaxGuard(sender, window, guard => {
        if (this._guard === guard)
          this._guard = null;
      });
      return new GLib.Variant('(b)', [true]);
    });
  }

  // Whether the caller's guard is there and its window has had the focus all along (asked
  // before each key).
  HoldsAsync(_params, invocation) {
    this._serve(invocation, sender => {
      const guard = this._guard?.owner === sender ? this._guard : null;
      guard?.renew();
      return new GLib.Variant('(b)', [guard?.holds() ?? false]);
    });
  }

  // Ends the caller's guard once the keys it sent before have arrived, and gives the focus to
  // the window that took it meanwhile, if any: whether the guard held all along.
  ReleaseAsync(_params, invocation) {
    this._serve(invocation, sender => new Promise(resolve => {
      const guard = this._guard?.owner === sender ? this._guard : null;
      if (!guard) {
        resolve(new GLib.Variant('(b)', [false]));
        return;
      }
      guard.end(held => {
        if (guard.taker && this._find(guard.taker.get_id()) === guard.taker)
          Main.activateWindow(guard.taker, global.get_current_time());
        resolve(new GLib.Variant('(b)', [held]));
      });
    }));
  }

  _activate(id) {
    const window = this._find(id);
    if (!window)
      return false;
    if (this._overviewHidden)
      Main.overview.disconnect(this._overviewHidden);
    this._overviewHidden = 0;
    if (!Main.overview.visible) {
      Main.activateWindow(window);
      return true;
    }
    this._overviewHidden = Main.overview.connect('hidden', () => {
      Main.overview.disconnect(this._overviewHidden);
      this._overviewHidden = 0;
      GLib.idle_add(GLib.PRIORITY_DEFAULT_IDLE, () => {
        if (this._find(id) === window)
          Main.activateWindow(window);
        return GLib.SOURCE_REMOVE;
      });
    });
    Main.overview.hide();
    return true;
  }

  _find(id) {
    return global.display.list_all_windows().find(w => w.get_id() === id) ?? null;
  }
}

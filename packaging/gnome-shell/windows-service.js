// The window list and activation for NORVAX, exported on the shell's own connection to the
// session bus (org.gnome.Shell, /org/norvax/Windows): GNOME offers other programs neither.
// Shared by both formats of the extension; the build puts it into each one's extension.js,
// where Gio, GLib, Meta and Main are bound.

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
  </interface>
</node>`;

class NorvaxWindows {
  constructor() {
    this._exported = Gio.DBusExportedObject.wrapJSObject(NORVAX_WINDOWS_INTERFACE, this);
    this._exported.export(Gio.DBus.session, '/org/norvax/Windows');
    this._overviewHidden = 0;
  }

  destroy() {
    if (this._overviewHidden) Main.overview.disconnect(this._overviewHidden);
    this._exported.unexport();
  }

  // The windows of programs, topmost first: id, title, class, process id (0: unknown),
  // whether it has the keyboard focus.
  List() {
    const kinds = [Meta.WindowType.NORMAL, Meta.WindowType.DIALOG, Meta.WindowType.MODAL_DIALOG];
    const windows = global.display.list_all_windows()
      .filter(w => kinds.includes(w.get_window_type()) && !w.is_override_redirect());
    return global.display.sort_windows_by_stacking(windows).reverse().map(w => [
      w.get_id(), w.get_title() ?? '', w.get_wm_class() ?? '', Math.max(w.get_pid(), 0),
      w.has_focus(),
    ]);
  }

  // While the overview shows (as it does after the login) an activation is undone when it
  // closes: the window is activated once it has closed and the shell has given the focus
  // to the window it chose.
  Activate(id) {
    const window = this._find(id);
    if (!window) return false;
    if (this._overviewHidden) Main.overview.disconnect(this._overviewHidden);
    this._overviewHidden = 0;
    if (!Main.overview.visible) {
      Main.activateWindow(window);
      return true;
    }
    this._overviewHidden = Main.overview.connect('hidden', () => {
      Main.overview.disconnect(this._overviewHidden);
      this._overviewHidden = 0;
      GLib.idle_add(GLib.PRIORITY_DEFAULT_IDLE, () => {
        if (this._find(id) === window) Main.activateWindow(window);
        return GLib.SOURCE_REMOVE;
      });
    });
    Main.overview.hide();
    return true;
  }

  Minimize(id) {
    this._find(id)?.minimize();
  }

  Maximize(id) {
    this._find(id)?.maximize(Meta.MaximizeFlags.BOTH);
  }

  _find(id) {
    return global.display.list_all_windows().find(w => w.get_id() === id) ?? null;
  }
}

// Answers morvel_ax_helper on the session bus: the windows on screen with their
// process, title, application and rectangles, the pixels of a screen area, and
// when the screen was last drawn (or a redraw of it), so that the helper can
// tell a screen cast frame that shows the screen as it is. Nothing else is
// exported and nothing on the desktop is changed but for that redraw. Only the
// helper's executable is answered: the shell keeps window lists and screen
// pixels from ordinary programs, and so does this extension.
'use strict';

const { Gio, GLib, Meta, Shell } = imports.gi;

const BUS_NAME = 'org.morvel.AxHelper.Shell';
const OBJECT_PATH = '/org/morvel/AxHelper/Shell';
// Bumped when the reply of ListWindows changes in a way the helper must know.
const REPLY_VERSION = 1;
// Larger areas are refused: a capture is a PNG held in memory and sent whole.
const LARGEST_CAPTURE_PIXELS = 8192 * 8192;
// The executable answered: the installed helper, and those named in this
// variable of the shell's environment (colon-separated; a development build).
const INSTALLED_HELPER = '/usr/bin/morvel_ax_helper';
const TRUSTED_HELPERS_VARIABLE = 'MORVEL_AX_HELPER_TRUSTED';
// Verdicts are kept per connection (a unique bus name is never reused);
// forgotten all at once past this many, so that the map cannot grow without end.
const MOST_VERDICTS_KEPT = 64;
// A stage update comes within a frame or two; none at all (a frame clock held
// back) must not leave the caller waiting.
const SETTLE_TIMEOUT_MS = 1000;

const INTERFACE_XML = `
<node>
  <interface name="org.morvel.AxHelper.Shell1">
    <method name="ListWindows">
      <arg type="s" direction="out" name="windows_json"/>
    </method>
    <!-- Sent once after a list was asked for, when what it told has changed since. -->
    <signal name="WindowsChanged"/>
    <method name="CaptureArea">
      <arg type="i" direction="in" name="x"/>
      <arg type="i" direction="in" name="y"/>
      <arg type="i" direction="in" name="width"/>
      <arg type="i" direction="in" name="height"/>
      <arg type="ay" direction="out" name="png"/>
    </method>
    <!-- Has the whole stage drawn again; answers the shell's monotonic clock
         (microseconds) when asked: a screen cast frame recorded later shows
         what was on screen when the helper asked. -->
    <method name="Redraw">
      <arg type="x" direction="out" name="monotonic_us"/>
    </method>
    <!-- Answers once the shell has drawn all that had changed when asked,
         with the shell's monotonic clock (microseconds) when it last began
         drawing: a screen cast frame recorded since then shows the screen as
         it is. Nothing is drawn for it when nothing changed. -->
    <method name="Settle">
      <arg type="x" direction="out" name="last_paint_us"/>
    </method>
  </interface>
</node>`;

const WINDOW_TYPE_NAMES = {
    [Meta.WindowType.NORMAL]: 'normal',
    [Meta.WindowType.DIALOG]: 'dialog',
    [Meta.WindowType.MODAL_DIALOG]: 'dialog',
    [Meta.WindowType.UTILITY]: 'utility',
    [Meta.WindowType.TOOLBAR]: 'utility',
    [Meta.WindowType.SPLASHSCREEN]: 'splash',
};

function rectOf(rect) {
    return { x: rect.x, y: rect.y, width: rect.width, height: rect.height };
}

function isShown(window, workspace) {
    if (window.minimized || !window.showing_on_its_workspace())
        return false;
    return window.is_on_all_workspaces() || window.get_workspace() === workspace;
}

function describe(window) {
    const frame = window.get_frame_rect();
    const pid = window.get_pid();
    const xwayland = window.get_client_type() === Meta.WindowClientType.X11;
    // A Wayland client's frame is its window geometry, its own drawing without
    // the shadow; only an X client has a frame the shell draws around it.
    return {
        id: String(window.get_id()),
        pid: pid > 0 ? pid : null,
        title: window.get_title(),
        wmClass: window.get_wm_class(),
        applicationId: window.get_gtk_application_id() ?? window.get_sandboxed_app_id(),
        type: WINDOW_TYPE_NAMES[window.get_window_type()] ?? 'other',
        xwayland,
        focused: window.has_focus(),
        frame: rectOf(frame),
        client: rectOf(xwayland ? window.frame_rect_to_client_rect(frame) : frame),
        buffer: rectOf(window.get_buffer_rect()),
    };
}

// The file's identity (device and inode), which names one binary whatever the
// path or link it was reached through; absent when there is no such file.
function fileIdentity(path) {
    try {
        return Gio.File.new_for_path(path).query_info('id::file', Gio.FileQueryInfoFlags.NONE, null)
            .get_attribute_string('id::file');
    } catch (e) {
        return null;
    }
}

function trustedHelperPaths() {
    const named = (GLib.getenv(TRUSTED_HELPERS_VARIABLE) ?? '').split(':').filter(path => path.length > 0);
    return [INSTALLED_HELPER, ...named];
}

function processIdOf(connection, sender) {
    return new Promise((resolve, reject) => {
        connection.call('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
            'GetConnectionUnixProcessID', new GLib.Variant('(s)', [sender]), new GLib.VariantType('(u)'),
            Gio.DBusCallFlags.NONE, -1, null, (source, result) => {
                try {
                    resolve(source.call_finish(result).deepUnpack()[0]);
                } catch (e) {
                    reject(e);
                }
            });
    });
}

// Whether the caller runs one of the trusted executables. The binary running
// is compared, not its path: a rebuilt or replaced file is another binary.
async function runsTrustedHelper(connection, sender) {
    const running = fileIdentity(`/proc/${await processIdOf(connection, sender)}/exe`);
    return running !== null && trustedHelperPaths().some(path => fileIdentity(path) === running);
}

// Tells the helper, by one signal per list it asked for, that the list changed.
class WindowWatch {
    constructor(emit) {
        this._emit = emit;
        this._listed = false;
        this._connections = [];
        const changed = () => this.changed();
        this._follow(global.display, ['window-created', 'notify::focus-window', 'restacked', 'workareas-changed'],
            changed);
        this._follow(global.workspace_manager, ['active-workspace-changed'], changed);
        this._follow(Meta.MonitorManager.get(), ['monitors-changed'], changed);
        this._follow(global.display, ['window-created'], (display, window) => this._followWindow(window));
        global.get_window_actors().forEach(actor => this._followWindow(actor.get_meta_window()));
    }

    listed() {
        this._listed = true;
    }

    changed() {
        if (!this._listed)
            return;
        this._listed = false;
        this._emit();
    }

    stop() {
        this._connections.forEach(([object, id]) => object.disconnect(id));
        this._connections = [];
    }

    _follow(object, signals, handler) {
        signals.forEach(signal => this._connections.push([object, object.connect(signal, handler)]));
    }

    _followWindow(window) {
        if (!window)
            return;
        const changed = () => this.changed();
        this._follow(window, ['position-changed', 'size-changed', 'shown', 'workspace-changed', 'notify::title',
            'notify::minimized', 'notify::wm-class', 'notify::gtk-application-id'], changed);
        const ids = this._connections.filter(([object]) => object === window).map(([, id]) => id);
        const unmanagedId = window.connect('unmanaged', () => {
            ids.forEach(id => window.disconnect(id));
            window.disconnect(unmanagedId);
            this._connections = this._connections.filter(([object]) => object !== window);
            this.changed();
        });
        this._connections.push([window, unmanagedId]);
    }
}

// When the stage last began drawing, and the answers owed once every view has
// gone through the update asked for (damage queued before it is drawn by then).
class PaintWatch {
    constructor() {
        this._lastPaintStarted = GLib.get_monotonic_time();
        this._waiting = [];
        this._connections = [
            global.stage.connect('before-paint', () => {
                this._lastPaintStarted = GLib.get_monotonic_time();
            }),
            global.stage.connect('after-update', (stage, view) => this._updated(view)),
        ];
    }

    // Calls `answer` with the time the last drawing began, or with null when
    // the stage was not updated in time.
    settled(answer) {
        const views = global.stage.peek_stage_views();
        if (views.length === 0) {
            answer(this._lastPaintStarted);
            return;
        }
        const waiting = { views: new Set(views), answer };
        waiting.timeoutId = GLib.timeout_add(GLib.PRIORITY_DEFAULT, SETTLE_TIMEOUT_MS, () => {
            this._waiting = this._waiting.filter(other => other !== waiting);
            answer(null);
            return GLib.SOURCE_REMOVE;
        });
        this._waiting.push(waiting);
        global.stage.schedule_update();
    }

    stop() {
        this._connections.forEach(id => global.stage.disconnect(id));
        this._waiting.forEach(waiting => {
            GLib.source_remove(waiting.timeoutId);
            waiting.answer(null);
        });
        this._waiting = [];
    }

    _updated(view) {
        this._waiting = this._waiting.filter(waiting => {
            waiting.views.delete(view);
            if (waiting.views.size > 0)
                return true;
            GLib.source_remove(waiting.timeoutId);
            waiting.answer(this._lastPaintStarted);
            return false;
        });
    }
}

class AxHelperService {
    constructor(watch, paints) {
        this._watch = watch;
        this._paints = paints;
        this._verdicts = new Map();
    }

    ListWindowsAsync(parameters, invocation) {
        this._answerTrusted(invocation, () => {
            this._watch.listed();
            invocation.return_value(new GLib.Variant('(s)', [this._listWindows()]));
        });
    }

    CaptureAreaAsync(parameters, invocation) {
        this._answerTrusted(invocation, () => this._captureArea(parameters, invocation));
    }

    RedrawAsync(parameters, invocation) {
        this._answerTrusted(invocation, () => {
            const asked = GLib.get_monotonic_time();
            global.stage.queue_redraw();
            invocation.return_value(new GLib.Variant('(x)', [asked]));
        });
    }

    SettleAsync(parameters, invocation) {
        this._answerTrusted(invocation, () => this._paints.settled(lastPaint => {
            if (lastPaint === null)
                invocation.return_error_literal(Gio.DBusError, Gio.DBusError.TIMEOUT, 'the stage was not updated');
            else
                invocation.return_value(new GLib.Variant('(x)', [lastPaint]));
        }));
    }

    _answerTrusted(invocation, answer) {
        const sender = invocation.get_sender();
        if (!this._verdicts.has(sender)) {
            if (this._verdicts.size >= MOST_VERDICTS_KEPT)
                this._verdicts.clear();
            this._verdicts.set(sender, runsTrustedHelper(invocation.get_connection(), sender));
        }
        this._verdicts.get(sender).then(trusted => {
            if (trusted) {
                answer();
                return;
            }
            invocation.return_dbus_error('org.freedesktop.DBus.Error.AccessDenied',
                `only morvel_ax_helper (${INSTALLED_HELPER}, or one named in ${TRUSTED_HELPERS_VARIABLE} ` +
                'in the shell\'s environment) is answered');
        }).catch(e => {
            this._verdicts.delete(sender);
            invocation.return_error_literal(Gio.DBusError, Gio.DBusError.FAILED, String(e.message ?? e));
        });
    }

    _listWindows() {
        const workspace = global.workspace_manager.get_active_workspace();
        const windows = global.get_window_actors()
            .map(actor => actor.get_meta_window())
            .filter(window => window && isShown(window, workspace));
        const topFirst = global.display.sort_windows_by_stacking(windows).reverse();
        const [width, height] = global.display.get_size();
        return JSON.stringify({
            version: REPLY_VERSION,
            screen: { width, height, monitors: global.display.get_n_monitors() },
            windows: topFirst.map(describe),
        });
    }

    _captureArea([x, y, width, height], invocation) {
        if (width <= 0 || height <= 0 || width * height > LARGEST_CAPTURE_PIXELS) {
            invocation.return_error_literal(Gio.DBusError, Gio.DBusError.INVALID_ARGS,
                'the area is empty or too large');
            return;
        }
        const stream = Gio.MemoryOutputStream.new_resizable();
        const screenshot = new Shell.Screenshot();
        screenshot.screenshot_area(x, y, width, height, stream, (source, result) => {
            try {
                screenshot.screenshot_area_finish(result);
                stream.close(null);
                const png = GLib.Variant.new_from_bytes(new GLib.VariantType('ay'), stream.steal_as_bytes(), true);
                invocation.return_value(GLib.Variant.new_tuple([png]));
            } catch (e) {
                invocation.return_error_literal(Gio.DBusError, Gio.DBusError.FAILED, String(e.message ?? e));
            }
        });
    }
}

class Extension {
    enable() {
        this._watch = new WindowWatch(() => this._exported.emit_signal('WindowsChanged', null));
        this._paints = new PaintWatch();
        this._exported = Gio.DBusExportedObject.wrapJSObject(INTERFACE_XML,
            new AxHelperService(this._watch, this._paints));
        this._exported.export(Gio.DBus.session, OBJECT_PATH);
        this._nameId = Gio.bus_own_name_on_connection(Gio.DBus.session, BUS_NAME,
            Gio.BusNameOwnerFlags.NONE, null, null);
    }

    disable() {
        Gio.bus_unown_name(this._nameId);
        this._watch.stop();
        this._watch = null;
        this._paints.stop();
        this._paints = null;
        this._exported.unexport();
        this._exported = null;
    }
}

function init() {
    return new Extension();
}

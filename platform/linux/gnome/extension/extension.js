// Answers morvel_ax_helper on the session bus: the windows on screen with their
// process, title, application and rectangles, and the pixels of a screen area.
// Nothing else is exported and nothing is changed on the desktop.
'use strict';

const { Gio, GLib, Meta, Shell } = imports.gi;

const BUS_NAME = 'org.morvel.AxHelper.Shell';
const OBJECT_PATH = '/org/morvel/AxHelper/Shell';
// Bumped when the reply of ListWindows changes in a way the helper must know.
const REPLY_VERSION = 1;
// Larger areas are refused: a capture is a PNG held in memory and sent whole.
const LARGEST_CAPTURE_PIXELS = 8192 * 8192;

const INTERFACE_XML = `
<node>
  <interface name="org.morvel.AxHelper.Shell1">
    <method name="ListWindows">
      <arg type="s" direction="out" name="windows_json"/>
    </method>
    <method name="CaptureArea">
      <arg type="i" direction="in" name="x"/>
      <arg type="i" direction="in" name="y"/>
      <arg type="i" direction="in" name="width"/>
      <arg type="i" direction="in" name="height"/>
      <arg type="ay" direction="out" name="png"/>
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

class AxHelperService {
    ListWindows() {
        const workspace = global.workspace_manager.get_active_workspace();
        const windows = global.get_window_actors()
            .map(actor => actor.get_meta_window())
            .filter(window => window && isShown(window, workspace));
        const topFirst = global.display.sort_windows_by_stacking(windows).reverse();
        const [width, height] = global.display.get_size();
        return JSON.stringify({
            version: REPLY_VERSION,
            screen: { width, height },
            windows: topFirst.map(describe),
        });
    }

    CaptureAreaAsync([x, y, width, height], invocation) {
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
        this._exported = Gio.DBusExportedObject.wrapJSObject(INTERFACE_XML, new AxHelperService());
        this._exported.export(Gio.DBus.session, OBJECT_PATH);
        this._nameId = Gio.bus_own_name_on_connection(Gio.DBus.session, BUS_NAME,
            Gio.BusNameOwnerFlags.NONE, null, null);
    }

    disable() {
        Gio.bus_unown_name(this._nameId);
        this._exported.unexport();
        this._exported = null;
    }
}

function init() {
    return new Extension();
}
